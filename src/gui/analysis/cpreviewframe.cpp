#include "cpreviewframe.h"

#include "data/cdatabase.h"
#include "widgets/cfilefolder.h"
#include "widgets/cmessagebox.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

namespace {
// Pages drawn on each side of the one on screen; the others stay blank until they come near.
constexpr int DrawAround = 6;

CPreViewFrame::FChooseFile& FileChooser() {
    static CPreViewFrame::FChooseFile fn;
    return fn;
}
CPreViewFrame::FPrintDialog& PrintDialog() {
    static CPreViewFrame::FPrintDialog fn;
    return fn;
}

// Every job starts on A4 portrait with narrow margins, like a printer's unprintable border.
void SetupPrinter(QPrinter& printer) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
}

int JobPageCount(const FPageCallback& fnPage) {
    CPrintInfo info;
    fnPage(nullptr, &info);
    return std::max(1, info.m_nMaxPage);
}
} // namespace

CPreViewFrame::CPreViewFrame(FPageCallback fnPage, QWidget* pOwner, bool bDirectPrint,
                             const QString& strCaption)
    : QMainWindow(nullptr), m_fnPage(std::move(fnPage)), m_pOwner(pOwner),
      m_bDirectPrint(bDirectPrint),
      m_pPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("CPreViewFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    QString strTitle = strCaption;
    if (strTitle.isEmpty()) {
        const QString strOwner = pOwner ? pOwner->windowTitle() : QString();
        strTitle = strOwner.isEmpty() ? tr("打印预览") : strOwner + tr(" (预览)");
    }
    setWindowTitle(strTitle);
    if (pOwner)
        setWindowIcon(pOwner->windowIcon());
    setGeometry(200, 200, 300, 300);
    SetupPrinter(*m_pPrinter);

    if (m_bDirectPrint)
        return; // nothing to show: the job runs from PrintDirect()

    m_pPreview = new QPrintPreviewWidget(m_pPrinter.get(), this);
    m_pPreview->setObjectName(QStringLiteral("CMyPreviewView"));
    setCentralWidget(m_pPreview);
    // A report of thousands of pages puts one page item each in the preview's scene; a search
    // tree as deep as the scene would pick for them costs megabytes, where a shallow one finds
    // the few pages on screen just as well.
    if (auto* pView = m_pPreview->findChild<QGraphicsView*>(); pView && pView->scene())
        pView->scene()->setBspTreeDepth(4);
    connect(m_pPreview, &QPrintPreviewWidget::paintRequested, this,
            &CPreViewFrame::OnPaintRequested);
    connect(m_pPreview, &QPrintPreviewWidget::previewChanged, this,
            &CPreViewFrame::OnPreviewChanged);
    CreateToolBar();
}

CPreViewFrame::~CPreViewFrame() {
    RestoreOwner();
}

void CPreViewFrame::CreateToolBar() {
    QToolBar* pBar = addToolBar(tr("预览"));
    pBar->setObjectName(QStringLiteral("59394"));
    pBar->setMovable(false);
    pBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [&](int nId, const QString& strText, void (CPreViewFrame::*pSlot)(),
                   QList<QKeySequence> keys = {}) {
        QAction* pAction = pBar->addAction(strText);
        pAction->setObjectName(QString::number(nId));
        // The keys work wherever the focus is in the window; the tip names them. A tool
        // button shows its text without the mnemonic's mark and so takes no Alt+letter of
        // its own: the action takes it.
        if (const QKeySequence mnemonic = QKeySequence::mnemonic(strText); !mnemonic.isEmpty())
            keys << mnemonic;
        pAction->setShortcuts(keys);
        if (!keys.isEmpty())
            pAction->setToolTip(QStringLiteral("%1 (%2)").arg(
                QString(strText).remove(QRegularExpression(QStringLiteral("\\(&.\\)|&"))),
                keys.first().toString(QKeySequence::NativeText)));
        connect(pAction, &QAction::triggered, this, pSlot);
        return pAction;
    };
    add(ID_PREVIEW_PRINT, tr("打印(&P)..."), &CPreViewFrame::OnPreviewPrint);
    add(ID_PREVIEW_FIRST, tr("首页(&F)"), &CPreViewFrame::OnFirstPage,
        {QKeySequence(Qt::Key_Home), QKeySequence(Qt::CTRL | Qt::Key_Home)});
    add(ID_PREVIEW_PREV, tr("上一页(&V)"), &CPreViewFrame::OnPrevPage,
        {QKeySequence(Qt::Key_PageUp)});
    add(ID_PREVIEW_NEXT, tr("下一页(&N)"), &CPreViewFrame::OnNextPage,
        {QKeySequence(Qt::Key_PageDown)});
    add(ID_PREVIEW_LAST, tr("末页(&L)"), &CPreViewFrame::OnLastPage,
        {QKeySequence(Qt::Key_End), QKeySequence(Qt::CTRL | Qt::Key_End)});
    add(ID_PREVIEW_NUMPAGE, tr("两页(&T)"), &CPreViewFrame::OnNumPage);
    add(ID_PREVIEW_ZOOMIN, tr("放大(&I)"), &CPreViewFrame::OnZoomIn,
        {QKeySequence(QKeySequence::ZoomIn)});
    add(ID_PREVIEW_ZOOMOUT, tr("缩小(&O)"), &CPreViewFrame::OnZoomOut,
        {QKeySequence(QKeySequence::ZoomOut)});
    add(ID_PREVIEW_EXPORT_PDF, tr("导出PDF"), &CPreViewFrame::OnExportPdf);
    add(ID_PREVIEW_CLOSE, tr("关闭(&C)"), &CPreViewFrame::OnPreviewClose,
        {QKeySequence(Qt::Key_Escape)});
    pBar->addSeparator();
    // Type a page number and press Enter to go there.
    auto* pGoTo = new QLabel(tr("转到第"), pBar);
    pGoTo->setContentsMargins(8, 0, 4, 0);
    pBar->addWidget(pGoTo);
    m_pPageBox = new QSpinBox(pBar);
    m_pPageBox->setObjectName(QStringLiteral("PageBox"));
    m_pPageBox->setRange(1, 1);
    m_pPageBox->setKeyboardTracking(false);
    m_pPageBox->setAccelerated(true);
    m_pPageBox->setToolTip(tr("输入页码后按回车转到该页"));
    pBar->addWidget(m_pPageBox);
    connect(m_pPageBox, &QSpinBox::valueChanged, this, [this](int nPage) {
        if (nPage != m_pPreview->currentPage())
            GoToPage(nPage);
    });
    m_pPageLabel = new QLabel(pBar);
    m_pPageLabel->setObjectName(QStringLiteral("PageLabel"));
    m_pPageLabel->setContentsMargins(4, 0, 8, 0);
    pBar->addWidget(m_pPageLabel);
}

QAction* CPreViewFrame::Action(int nCommandId) const {
    return findChild<QAction*>(QString::number(nCommandId));
}

void CPreViewFrame::StartPreview() {
    if (!m_pPreview)
        return;
    m_nDrawFrom = 1;
    m_nDrawTo = 1 + DrawAround;
    showMaximized(); // the preview widget draws its first pages as it is shown
    if (m_pOwner)
        m_pOwner->hide();
}

void CPreViewFrame::OnPaintRequested(QPrinter* pPrinter) {
    CPrintInfo info;
    info.m_bPreview = true;
    m_fnPage(nullptr, &info);
    m_nPageCount = std::max(1, info.m_nMaxPage);
    QPainter painter(pPrinter);
    for (int nPage = 1; nPage <= m_nPageCount; ++nPage) {
        if (nPage > 1)
            pPrinter->newPage();
        if (nPage < m_nDrawFrom || nPage > m_nDrawTo)
            continue;
        info.m_nCurPage = nPage;
        painter.save();
        m_fnPage(&painter, &info);
        painter.restore();
        ++m_nPagesDrawn;
    }
}

void CPreViewFrame::OnPreviewChanged() {
    // Each page item would keep a screen-sized picture of itself in the process-wide pixmap
    // cache, some 2 MB a page at the usual zoom, until that cache is full; drawing a page from
    // its recorded commands each time is quick enough and keeps the preview's memory flat.
    if (auto* pView = m_pPreview->findChild<QGraphicsView*>(); pView && pView->scene()) {
        for (QGraphicsItem* pItem : pView->scene()->items())
            pItem->setCacheMode(QGraphicsItem::NoCache);
    }
    UpdateToolBar();
    if (m_bRegenerating || m_nPageCount <= 0)
        return;
    // The pages on screen (two in the facing view) must have been drawn.
    const int nCur = m_pPreview->currentPage();
    const int nNeedFrom = std::max(1, nCur - 1);
    const int nNeedTo = std::min(m_nPageCount, nCur + 2);
    if (nNeedFrom >= m_nDrawFrom && nNeedTo <= m_nDrawTo)
        return;
    m_nDrawFrom = std::max(1, nCur - DrawAround);
    m_nDrawTo = std::min(m_nPageCount, nCur + DrawAround);
    m_bRegenerating = true;
    QTimer::singleShot(0, this, [this]() {
        m_pPreview->updatePreview();
        m_bRegenerating = false;
        UpdateToolBar();
    });
}

void CPreViewFrame::UpdateToolBar() {
    if (!m_pPreview)
        return;
    const int nCur = m_pPreview->currentPage();
    const int nCount = m_pPreview->pageCount();
    if (QAction* pPrev = Action(ID_PREVIEW_PREV))
        pPrev->setEnabled(nCur > 1);
    if (QAction* pNext = Action(ID_PREVIEW_NEXT))
        pNext->setEnabled(nCur < nCount);
    if (QAction* pFirst = Action(ID_PREVIEW_FIRST))
        pFirst->setEnabled(nCur > 1);
    if (QAction* pLast = Action(ID_PREVIEW_LAST))
        pLast->setEnabled(nCur < nCount);
    if (QAction* pNum = Action(ID_PREVIEW_NUMPAGE))
        pNum->setText(m_pPreview->viewMode() == QPrintPreviewWidget::FacingPagesView
                          ? tr("单页(&T)")
                          : tr("两页(&T)"));
    m_pPageLabel->setText(tr("页 / 共 %1 页").arg(nCount));
    const QSignalBlocker block(m_pPageBox);
    m_pPageBox->setRange(1, std::max(1, nCount));
    m_pPageBox->setValue(nCur);
}

void CPreViewFrame::GoToPage(int nPage) {
    if (!m_pPreview)
        return;
    // Setting the page scrolls without telling anyone, so the drawn range is checked here.
    m_pPreview->setCurrentPage(nPage);
    OnPreviewChanged();
}

void CPreViewFrame::OnNextPage() {
    GoToPage(m_pPreview->currentPage() + 1);
}

void CPreViewFrame::OnPrevPage() {
    GoToPage(m_pPreview->currentPage() - 1);
}

void CPreViewFrame::OnFirstPage() {
    GoToPage(1);
}

void CPreViewFrame::OnLastPage() {
    GoToPage(m_pPreview->pageCount());
}

void CPreViewFrame::OnNumPage() {
    m_pPreview->setViewMode(m_pPreview->viewMode() == QPrintPreviewWidget::FacingPagesView
                                ? QPrintPreviewWidget::SinglePageView
                                : QPrintPreviewWidget::FacingPagesView);
    UpdateToolBar();
}

void CPreViewFrame::OnZoomIn() {
    Zoom(true);
}

void CPreViewFrame::OnZoomOut() {
    Zoom(false);
}

// The preview zooms about the middle of the view, which carries the reader away from the
// page they were reading; afterwards the top of that page is brought back into view.
void CPreViewFrame::Zoom(bool bIn) {
    const int nCur = m_pPreview->currentPage();
    if (bIn && m_pPreview->zoomFactor() < 4.0)
        m_pPreview->zoomIn(1.25);
    else if (!bIn && m_pPreview->zoomFactor() > 0.1)
        m_pPreview->zoomOut(1.25);
    else
        return;
    // Setting the page scrolls only when the page changes, so step off it and back.
    const int nCount = m_pPreview->pageCount();
    if (nCount > 1) {
        m_pPreview->setCurrentPage(nCur > 1 ? nCur - 1 : nCur + 1);
        m_pPreview->setCurrentPage(nCur);
    } else if (auto* pView = m_pPreview->findChild<QGraphicsView*>()) {
        pView->verticalScrollBar()->setValue(pView->verticalScrollBar()->minimum());
    }
    OnPreviewChanged();
}

void CPreViewFrame::OnPreviewClose() {
    RestoreOwner();
    close();
}

void CPreViewFrame::OnPreviewPrint() {
    // The job is drawn again through the same callback, so paper shows what the preview showed.
    QPrinter printer(QPrinter::HighResolution);
    SetupPrinter(printer);
    if (ExecPrintDialog(&printer, this))
        PrintPages(&printer, m_fnPage);
    OnPreviewClose();
}

void CPreViewFrame::OnExportPdf() {
    QString strPath;
    if (ExportPdf(this, m_fnPage, &strPath))
        statusBar()->showMessage(tr("已导出PDF文件：%1").arg(QDir::toNativeSeparators(strPath)));
}

bool CPreViewFrame::PrintDirect() {
    QPrinter printer(QPrinter::HighResolution);
    SetupPrinter(printer);
    bool bPrinted = false;
    if (ExecPrintDialog(&printer, m_pOwner))
        bPrinted = PrintPages(&printer, m_fnPage) > 0;
    return bPrinted;
}

void CPreViewFrame::closeEvent(QCloseEvent* pEvent) {
    RestoreOwner();
    QMainWindow::closeEvent(pEvent);
}

void CPreViewFrame::RestoreOwner() {
    if (m_pOwner && !m_pOwner->isVisible()) {
        m_pOwner->show();
        m_pOwner->activateWindow();
    }
}

int CPreViewFrame::PrintPages(QPrinter* pPrinter, const FPageCallback& fnPage) {
    const int nCount = JobPageCount(fnPage);
    int nFrom = pPrinter->fromPage() > 0 ? pPrinter->fromPage() : 1;
    int nTo = pPrinter->toPage() > 0 ? std::min(pPrinter->toPage(), nCount) : nCount;
    if (nFrom > nTo)
        return 0;
    QPainter painter;
    if (!painter.begin(pPrinter))
        return -1;
    CPrintInfo info;
    info.SetMaxPage(nCount);
    int nDrawn = 0;
    for (int nPage = nFrom; nPage <= nTo; ++nPage) {
        if (nPage > nFrom)
            pPrinter->newPage();
        info.m_nCurPage = nPage;
        painter.save();
        fnPage(&painter, &info);
        painter.restore();
        ++nDrawn;
        if (nPage >= info.m_nMaxPage)
            break;
    }
    painter.end();
    return nDrawn;
}

bool CPreViewFrame::WritePdf(const QString& strPath, const FPageCallback& fnPage,
                             QString& strError) {
    if (CDatabase::IsOpenBookFile(strPath)) {
        strError = CDatabase::OpenBookFileText(strPath);
        return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    SetupPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(strPath);
    printer.setCreator(QStringLiteral("Ledgerkin"));
    printer.setDocName(tr("财务报告"));
    if (PrintPages(&printer, fnPage) < 0) {
        strError = tr("无法写入文件“%1”。").arg(QDir::toNativeSeparators(strPath));
        return false;
    }
    return true;
}

bool CPreViewFrame::ExportPdf(QWidget* pParent, const FPageCallback& fnPage, QString* pstrPath) {
    const QString strSuggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(tr("财务报告.pdf"));
    QString strPath = ChooseSaveFile(pParent, tr("导出PDF"), strSuggested, tr("PDF 文件 (*.pdf)"));
    if (strPath.isEmpty())
        return false;
    if (!strPath.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        strPath += QLatin1String(".pdf");
    QString strError;
    if (!WritePdf(strPath, fnPage, strError)) {
        CMessageBox::ShowMessage(tr("导出PDF失败：%1").arg(strError), pParent);
        return false;
    }
    if (pstrPath)
        *pstrPath = strPath;
    return true;
}

void CPreViewFrame::SetFileChooser(FChooseFile fn) {
    FileChooser() = std::move(fn);
}

void CPreViewFrame::SetPrintDialog(FPrintDialog fn) {
    PrintDialog() = std::move(fn);
}

QString CPreViewFrame::ChooseCsvFile(QWidget* pParent, const QString& strFileName) {
    const QString strSuggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(strFileName);
    QString strPath = ChooseSaveFile(pParent, tr("导出CSV"), strSuggested, tr("CSV 文件 (*.csv)"));
    if (!strPath.isEmpty() && !strPath.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        strPath += QLatin1String(".csv");
    return strPath;
}

QString CPreViewFrame::ChooseSaveFile(QWidget* pParent, const QString& strCaption,
                                      const QString& strSuggested, const QString& strFilter) {
    if (FileChooser())
        return FileChooser()(pParent, strCaption, strSuggested, strFilter);
    const QString strPath = QFileDialog::getSaveFileName(
        pParent, strCaption, CFileFolder::StartPath(strSuggested), strFilter);
    CFileFolder::Remember(strPath);
    return strPath;
}

bool CPreViewFrame::ExecPrintDialog(QPrinter* pPrinter, QWidget* pParent) {
    if (PrintDialog())
        return PrintDialog()(pPrinter, pParent);
    QPrintDialog dlg(pPrinter, pParent);
    dlg.setWindowTitle(tr("打印"));
    return dlg.exec() == QDialog::Accepted;
}
