#include "crptview.h"

#include "analysis/creportcsv.h"
#include "analysis/creportquery.h"
#include "cpreviewframe.h"
#include "creportprinter.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "records/ccategorybook.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringListModel>
#include <QStyle>
#include <QVBoxLayout>

namespace {
QLabel* IconLabel(QStyle::StandardPixmap ePixmap, QWidget* pParent) {
    auto* pLabel = new QLabel(pParent);
    pLabel->setPixmap(pParent->style()->standardIcon(ePixmap).pixmap(32, 32));
    pLabel->setFixedSize(36, 36);
    return pLabel;
}

QComboBox* Combo(int nId, QWidget* pParent) {
    auto* pCombo = new QComboBox(pParent);
    pCombo->setObjectName(QString::number(nId));
    pCombo->setMinimumWidth(150);
    pCombo->setMaxVisibleItems(15);
    return pCombo;
}

QPushButton* Button(int nId, const QString& strText, QWidget* pParent) {
    auto* pButton = new QPushButton(strText, pParent);
    pButton->setObjectName(QString::number(nId));
    pButton->setMinimumSize(110, 36);
    return pButton;
}

// Selects the entry whose text is str (none when there is none).
void SelectText(QComboBox* pCombo, const QString& str) {
    pCombo->setCurrentIndex(str.isEmpty() ? -1 : pCombo->findText(str));
}
} // namespace

CRptView::CRptView(const CSession* pSession, QWidget* pParent) : CFormView(pSession, pParent) {
    setObjectName(QStringLiteral("CRptView"));
    CreateControls();
}

void CRptView::CreateControls() {
    QWidget* pForm = Form();
    auto* pMain = new QVBoxLayout(pForm);
    pMain->setContentsMargins(10, 10, 10, 10);
    pMain->setSpacing(10);

    m_pGrid = new CMsflexgrid1(pForm);
    m_pPrinter = new CReportPrinter(m_pGrid);
    m_pGrid->setObjectName(QString::number(IDC_GRID));
    m_pGrid->setMinimumHeight(200);
    pMain->addWidget(m_pGrid, 1);
    m_pSummary = new QLabel(pForm);
    m_pSummary->setObjectName(QStringLiteral("ReportSummary"));
    m_pSummary->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pMain->addWidget(m_pSummary);

    auto* pBottom = new QHBoxLayout;
    pBottom->setSpacing(14);
    pMain->addLayout(pBottom);

    // Query conditions.
    auto* pQueryBox = new QGroupBox(pForm);
    auto* pQuery = new QGridLayout(pQueryBox);
    pQuery->setHorizontalSpacing(10);
    pQuery->setVerticalSpacing(10);
    auto* pPrompt = new QLabel(tr("请选择您要求查询财务记录的查询条件"), pQueryBox);
    pPrompt->setWordWrap(true);
    pPrompt->setMinimumWidth(150);
    auto* pIconRow = new QHBoxLayout;
    pIconRow->addWidget(IconLabel(QStyle::SP_FileDialogDetailedView, pQueryBox));
    pIconRow->addWidget(pPrompt, 1);
    pQuery->addLayout(pIconRow, 0, 0, 1, 2);

    m_pQueryKind = Combo(IDC_QUERY_KIND, pQueryBox);
    m_pQueryKind->addItems({tr("账户记录"), tr("转账记录"), tr("收入记录"), tr("支出记录")});
    // The category lists are the user's, read each time a kind of record is chosen.
    m_pInSort = Combo(IDC_IN_SORT, pQueryBox);
    m_pOutSort = Combo(IDC_OUT_SORT, pQueryBox);
    m_pStartDate = Combo(IDC_START_DATE, pQueryBox);
    m_pEndDate = Combo(IDC_END_DATE, pQueryBox);
    // The date lists hold every day with records, 7,300 of them in 20 years: plain string
    // lists cost a third of the default model's item per entry.
    for (QComboBox* pCombo : {m_pStartDate, m_pEndDate})
        pCombo->setModel(new QStringListModel(pCombo));
    for (QComboBox* pCombo : {m_pInSort, m_pOutSort, m_pStartDate, m_pEndDate})
        pCombo->setEnabled(false);
    m_pInSort->hide(); // the two category lists share one place; the outlay list lies on top

    pQuery->addWidget(new QLabel(tr("查询条件"), pQueryBox), 0, 2);
    pQuery->addWidget(m_pQueryKind, 0, 3);
    pQuery->addWidget(new QLabel(tr("起始日期"), pQueryBox), 1, 0);
    pQuery->addWidget(m_pStartDate, 1, 1);
    pQuery->addWidget(new QLabel(tr("查询分类"), pQueryBox), 1, 2);
    pQuery->addWidget(m_pInSort, 1, 3);
    pQuery->addWidget(m_pOutSort, 1, 3);
    pQuery->addWidget(new QLabel(tr(" 终止日期"), pQueryBox), 2, 0);
    pQuery->addWidget(m_pEndDate, 2, 1);
    QPushButton* pQueryButton = Button(IDC_QUERY, tr("开始查询"), pQueryBox);
    pQuery->addWidget(pQueryButton, 2, 3);
    pQuery->setColumnStretch(1, 1);
    pQuery->setColumnStretch(3, 1);
    pBottom->addWidget(pQueryBox, 302);

    // Printing and export.
    auto* pPrintBox = new QGroupBox(pForm);
    auto* pPrint = new QGridLayout(pPrintBox);
    pPrint->setHorizontalSpacing(12);
    pPrint->setVerticalSpacing(10);
    auto* pNote = new QLabel(tr("要使用打印功能请确保您的打印机已正确安装并能使用"), pPrintBox);
    pNote->setWordWrap(true);
    auto* pNoteRow = new QHBoxLayout;
    pNoteRow->addWidget(IconLabel(QStyle::SP_MessageBoxInformation, pPrintBox));
    pNoteRow->addWidget(pNote, 1);
    pPrint->addLayout(pNoteRow, 0, 0, 1, 2);
    QPushButton* pPreview = Button(IDC_PREVIEW, tr("打印预览"), pPrintBox);
    QPushButton* pPrintButton = Button(IDC_PRINT, tr("开始打印"), pPrintBox);
    QPushButton* pPdf = Button(IDC_EXPORT_PDF, tr("导出PDF"), pPrintBox);
    QPushButton* pCsv = Button(IDC_EXPORT_CSV, tr("导出CSV"), pPrintBox);
    pPrint->addWidget(pPreview, 1, 0);
    pPrint->addWidget(pPrintButton, 1, 1);
    pPrint->addWidget(pPdf, 2, 0);
    pPrint->addWidget(pCsv, 2, 1);
    pBottom->addWidget(pPrintBox, 230);

    connect(m_pQueryKind, &QComboBox::activated, this, &CRptView::OnSelchangeQueryKind);
    connect(m_pInSort, &QComboBox::activated, this, &CRptView::OnSelchangeInSort);
    connect(m_pOutSort, &QComboBox::activated, this, &CRptView::OnSelchangeOutSort);
    connect(m_pStartDate, &QComboBox::activated, this, &CRptView::OnSelchangeStartDate);
    connect(pQueryButton, &QPushButton::clicked, this, &CRptView::OnQuery);
    connect(pPreview, &QPushButton::clicked, this, &CRptView::OnPreview);
    connect(pPrintButton, &QPushButton::clicked, this, &CRptView::OnPrintReport);
    connect(pPdf, &QPushButton::clicked, this, &CRptView::OnExportPdf);
    connect(pCsv, &QPushButton::clicked, this, &CRptView::OnExportCsv);
}

void CRptView::OnInitialUpdate() {
    m_pQueryKind->setCurrentIndex(0);
    m_strQueryKind = m_pQueryKind->currentText();
    UpdateData(false);
}

void CRptView::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_strQueryKind = m_pQueryKind->currentText();
        m_strInSort = m_pInSort->currentText();
        m_strOutSort = m_pOutSort->currentText();
    } else {
        SelectText(m_pQueryKind, m_strQueryKind);
        SelectText(m_pInSort, m_strInSort);
        SelectText(m_pOutSort, m_strOutSort);
    }
}

void CRptView::OnSelchangeQueryKind() {
    UpdateData(true);
    m_strQueryKind = m_pQueryKind->currentText();
    const bool bIncome = m_strQueryKind == tr("收入记录");
    const bool bOutlay = m_strQueryKind == tr("支出记录");
    if (bIncome || bOutlay) {
        FillSortLists();
        for (QComboBox* pCombo : {m_pInSort, m_pOutSort, m_pStartDate, m_pEndDate})
            pCombo->setEnabled(true);
        m_pInSort->setVisible(bIncome);
        m_pOutSort->setVisible(bOutlay);
        if (bIncome) {
            m_pInSort->setCurrentIndex(0);
            m_strInSort = m_pInSort->currentText();
        }
        FillStartDates(bIncome);
        FillEndDates();
        m_pStartDate->setCurrentIndex(m_pStartDate->count() > 0 ? 0 : -1);
        m_pEndDate->setCurrentIndex(m_pEndDate->count() - 1);
        if (bOutlay) {
            m_pOutSort->setCurrentIndex(0);
            m_strOutSort = m_pOutSort->currentText();
        }
        UpdateData(false);
    } else {
        for (QComboBox* pCombo : {m_pInSort, m_pOutSort, m_pStartDate, m_pEndDate})
            pCombo->setEnabled(false);
        m_pStartDate->clear();
        m_pEndDate->clear();
        m_pOutSort->setCurrentIndex(-1);
    }
}

void CRptView::FillSortLists() {
    const auto fill = [this](QComboBox* pCombo, ERecordKind eKind, const QString& strAll) {
        QStringList items{strAll};
        CMessageBox::Guarded(this, [&] {
            const CCategoryBook book(eKind, SessionUser());
            items += book.AllNames();
            // Texts of the user's records that the list lacks are reported too.
            for (const CCategoryBook::SCategory& c : book.Found())
                items << c.strName;
        });
        pCombo->clear();
        pCombo->addItems(items);
    };
    fill(m_pInSort, ERecordKind::Income, tr("全部收入"));
    fill(m_pOutSort, ERecordKind::Outlay, tr("全部支出"));
}

void CRptView::OnSelchangeInSort() {
    m_strInSort = m_pInSort->currentText();
}

void CRptView::OnSelchangeOutSort() {
    m_strOutSort = m_pOutSort->currentText();
}

void CRptView::OnSelchangeStartDate() {
    FillEndDates();
    m_pEndDate->setCurrentIndex(m_pEndDate->count() - 1);
}

void CRptView::FillStartDates(bool bIncome) {
    m_pStartDate->clear();
    CMessageBox::Guarded(this, [&] {
        const QVector<QDate> dates = CReportQuery::RecordDates(
            SessionUser(), bIncome ? CReportQuery::ETable::Income : CReportQuery::ETable::Outlay);
        QStringList texts;
        texts.reserve(dates.size());
        for (const QDate& date : dates)
            texts << CReportQuery::FormatDate(date);
        m_pStartDate->addItems(texts);
    });
}

void CRptView::FillEndDates() {
    m_pEndDate->clear();
    const int nFrom = std::max(0, m_pStartDate->currentIndex());
    QStringList texts;
    for (int i = nFrom; i < m_pStartDate->count(); ++i)
        texts << m_pStartDate->itemText(i);
    m_pEndDate->addItems(texts);
}

void CRptView::SetHeader(int nCols, const QStringList& headers) {
    m_dTotal = 0;
    m_pGrid->SetCols(nCols);
    m_pGrid->SetRows(1);
    m_pGrid->SetRow(0);
    m_pGrid->SetColWidth(0, 500);
    for (int c = 1; c < nCols; ++c) {
        m_pGrid->SetCol(c);
        m_pGrid->SetText(headers.value(c - 1));
        m_pGrid->SetColWidth(c,
                             nCols == 5 && c == 3 && headers.value(2) == tr("摘要") ? 3000 : 2000);
    }
}

void CRptView::OnQuery() {
    CMessageBox::Guarded(this, [&] {
        // The grid takes the new kind's header first thing, even if the query then fails.
        const QString strKind = m_strQueryKind;
        if (strKind == tr("账户记录") || strKind == tr("转账记录") || strKind == tr("收入记录") ||
            strKind == tr("支出记录"))
            m_strShownKind = strKind;
        if (strKind == tr("账户记录"))
            ShowAccountReport();
        else if (strKind == tr("转账记录"))
            ShowTransferReport();
        else if (strKind == tr("收入记录"))
            ShowRecordReport(true);
        else if (strKind == tr("支出记录"))
            ShowRecordReport(false);
    });
    ShowSummary();
}

void CRptView::ShowSummary() {
    const int nRows = std::max(0, m_pGrid->GetRows() - 1);
    m_pSummary->setText(tr("共 %1 条记录　合计：%2元").arg(nRows).arg(CMoney::Format(m_dTotal)));
}

void CRptView::ShowRecordReport(bool bIncome) {
    SetHeader(5, {tr("日期"), bIncome ? tr("收入分类") : tr("支出分类"), tr("摘要"),
                  bIncome ? tr("收入金额") : tr("支出金额")});
    const QString& strSort = bIncome ? m_strInSort : m_strOutSort;
    // The first entry is "all", whatever a category of one's own may be called.
    const bool bAll = (bIncome ? m_pInSort : m_pOutSort)->currentIndex() <= 0;
    auto result = CReportQuery::RecordReport(
        SessionUser(), bIncome ? CReportQuery::ETable::Income : CReportQuery::ETable::Outlay,
        bAll ? std::nullopt : std::optional<QString>(strSort), m_pStartDate->currentText(),
        m_pEndDate->currentText());
    m_dTotal = result.Total();
    m_pGrid->SetAllRows(std::move(result.rows));
    const QString strFrom = m_pStartDate->currentText();
    const QString strTo = m_pEndDate->currentText();
    m_strShownCondition = strFrom.isEmpty() || strTo.isEmpty()
                              ? strSort
                              : tr("%1，%2 至 %3").arg(strSort, strFrom, strTo);
}

void CRptView::ShowAccountReport() {
    SetHeader(4, {tr("账号名"), tr("备注"), tr("金额")});
    auto result = CReportQuery::AccountReport(SessionUser());
    m_dTotal = result.Total();
    m_pGrid->SetAllRows(std::move(result.rows));
    m_strShownCondition = tr("全部账户");
}

void CRptView::ShowTransferReport() {
    SetHeader(5, {tr("日期"), tr("转出账号"), tr("转入账号"), tr("转账金额")});
    auto result = CReportQuery::TransferReport(SessionUser());
    m_dTotal = result.Total();
    m_pGrid->SetAllRows(std::move(result.rows));
    m_strShownCondition = tr("全部转账");
}

void CRptView::SetPrintState() {
    CReportPrinter* pPrinter = m_pPrinter;
    pPrinter->m_dReportTotal = m_dTotal;
    pPrinter->m_strUserName = SessionUser();
    pPrinter->m_strCondition = m_strShownCondition;
    const QString strKind = m_strShownKind.isEmpty() ? m_strQueryKind : m_strShownKind;
    if (strKind == tr("收入记录"))
        pPrinter->m_nReportKind = CReportPrinter::Income;
    else if (strKind == tr("支出记录"))
        pPrinter->m_nReportKind = CReportPrinter::Outlay;
    else if (strKind == tr("账户记录"))
        pPrinter->m_nReportKind = CReportPrinter::Account;
    else if (strKind == tr("转账记录"))
        pPrinter->m_nReportKind = CReportPrinter::Transfer;
}

FPageCallback CRptView::PageCallback() const {
    CReportPrinter* pPrinter = m_pPrinter;
    return
        [pPrinter](QPainter* pPainter, CPrintInfo* pInfo) { pPrinter->DrawPage(pPainter, pInfo); };
}

void CRptView::OnPreview() {
    SetPrintState();
    // The preview takes the main window's place until it is closed.
    auto* pPreview = new CPreViewFrame(PageCallback(), window(), false);
    m_pPrinter->m_pPreviewFrame = pPreview;
    pPreview->StartPreview();
}

void CRptView::OnPrintReport() {
    SetPrintState();
    // Never shown: the print dialog and the job run at once, the main window staying in place.
    auto* pPrint = new CPreViewFrame(PageCallback(), window(), true);
    m_pPrinter->m_pPreviewFrame = pPrint;
    pPrint->PrintDirect();
    pPrint->deleteLater();
}

void CRptView::OnExportPdf() {
    SetPrintState();
    QString strPath;
    if (CPreViewFrame::ExportPdf(this, PageCallback(), &strPath))
        Q_EMIT StatusText(tr("报表已导出为PDF文件：%1").arg(QDir::toNativeSeparators(strPath)));
}

void CRptView::OnExportCsv() {
    const QString strPath = CPreViewFrame::ChooseCsvFile(this, tr("财务报告.csv"));
    if (strPath.isEmpty())
        return;
    const int nCols = m_pGrid->GetCols();
    auto rowAt = [&](int nRow) {
        QStringList row;
        for (int c = 1; c < nCols; ++c)
            row << m_pGrid->GetTextMatrix(nRow, c);
        return row;
    };
    // Straight from the grid's compact rows: a copy as string lists would cost some 30 MB on a
    // report of 73,000 rows.
    QString strError;
    if (!CReportCsv::Write(strPath, rowAt(0), m_pGrid->DataRows(), 1, strError)) {
        CMessageBox::ShowMessage(tr("导出CSV失败：无法写入文件“%1”（%2）。")
                                     .arg(QDir::toNativeSeparators(strPath), strError),
                                 this);
        return;
    }
    Q_EMIT StatusText(tr("报表已导出为CSV文件：%1").arg(QDir::toNativeSeparators(strPath)));
}
