#include "analysis/cfinddlg.h"

#include "analysis/creportcsv.h"
#include "analysis/creportprinter.h"
#include "analysis/creportquery.h"
#include "data/cmoney.h"
#include "data/csearchtext.h"
#include "data/ctoday.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Grid column widths in twips: date, kind, category, note, amount, account.
constexpr int ColTwips[] = {1900, 900, 1500, 3600, 1700, 2200};

QString Money(std::int64_t nCents) {
    return CMoney::Format(CMoney::FromCents(nCents));
}

} // namespace

CFindDlg::CFindDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CFindDlg"));
    setWindowTitle(tr("查找"));
    CreateControls();
}

void CFindDlg::CreateControls() {
    auto* pLayout = new QVBoxLayout(this);

    auto* pChoices = new QGridLayout;
    pChoices->setHorizontalSpacing(8);
    const auto label = [this](const QString& strText, QWidget* pBuddy) {
        auto* pLabel = new QLabel(strText, this);
        pLabel->setBuddy(pBuddy);
        return pLabel;
    };

    m_pWords = new QLineEdit(this);
    m_pWords->setObjectName(QString::number(IDC_FIND_WORDS));
    m_pWords->setPlaceholderText(tr("类别、摘要或账户中的文字，几个词用空格隔开"));
    m_pWords->setClearButtonEnabled(true);
    pChoices->addWidget(label(tr("查找(&W):"), m_pWords), 0, 0);
    pChoices->addWidget(m_pWords, 0, 1, 1, 5);

    m_pKind = new QComboBox(this);
    m_pKind->setObjectName(QString::number(IDC_FIND_KIND));
    m_pKind->addItems({tr("全部"), tr("收入"), tr("支出"), tr("转账")});
    pChoices->addWidget(label(tr("类型(&K):"), m_pKind), 1, 0);
    pChoices->addWidget(m_pKind, 1, 1);

    m_pMin = new QLineEdit(this);
    m_pMin->setObjectName(QString::number(IDC_FIND_MIN));
    m_pMin->setPlaceholderText(tr("金额"));
    m_pMax = new QLineEdit(this);
    m_pMax->setObjectName(QString::number(IDC_FIND_MAX));
    m_pMax->setPlaceholderText(tr("（可不填）"));
    pChoices->addWidget(label(tr("金额(&A):"), m_pMin), 1, 2);
    auto* pAmounts = new QHBoxLayout;
    pAmounts->addWidget(m_pMin);
    pAmounts->addWidget(new QLabel(tr("至"), this));
    pAmounts->addWidget(m_pMax);
    pChoices->addLayout(pAmounts, 1, 3, 1, 3);

    m_pDates = new QCheckBox(tr("日期(&D):"), this);
    m_pDates->setObjectName(QString::number(IDC_FIND_DATES));
    const QDate today = CToday::Get();
    m_pFrom = new QDateEdit(QDate(today.year(), 1, 1), this);
    m_pFrom->setObjectName(QString::number(IDC_FIND_FROM));
    m_pTo = new QDateEdit(today, this);
    m_pTo->setObjectName(QString::number(IDC_FIND_TO));
    for (QDateEdit* pEdit : {m_pFrom, m_pTo}) {
        pEdit->setCalendarPopup(true);
        pEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        pEdit->setEnabled(false);
        pEdit->setMinimumWidth(
            pEdit->fontMetrics().horizontalAdvance(QStringLiteral("8888-88-88")) + 48);
    }
    pChoices->addWidget(m_pDates, 2, 0);
    auto* pDates = new QHBoxLayout;
    pDates->addWidget(m_pFrom);
    pDates->addWidget(new QLabel(tr("至"), this));
    pDates->addWidget(m_pTo);
    pDates->addStretch(1);
    pChoices->addLayout(pDates, 2, 1, 1, 5);
    pChoices->setColumnStretch(1, 1);
    pChoices->setColumnStretch(3, 1);
    pLayout->addLayout(pChoices);

    m_pGrid = new CMsflexgrid1(this);
    m_pGrid->setObjectName(QString::number(IDC_FIND_GRID));
    m_pGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pGrid->SetCols(7);
    const QStringList headers = {tr("日期"), tr("类型"), tr("类别"),
                                 tr("摘要"), tr("金额"), tr("账户")};
    for (int c = 0; c < headers.size(); ++c) {
        m_pGrid->SetTextMatrix(0, c + 1, headers[c]);
        m_pGrid->SetColWidth(c + 1, ColTwips[c]);
    }
    m_pGrid->SetColWidth(0, 150);
    m_pGrid->installEventFilter(this);
    pLayout->addWidget(m_pGrid, 1);

    m_pSummary = new QLabel(this);
    m_pSummary->setObjectName(QString::number(IDC_FIND_SUMMARY));
    m_pSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pLayout->addWidget(m_pSummary);

    auto* pFill = new QHBoxLayout;
    m_pFillText =
        new QLabel(tr("正在为查找建立索引…（只需一次；关闭窗口即暂停，下次接着建立）"), this);
    m_pFillText->setObjectName(QString::number(IDC_FIND_BUILD_TEXT));
    m_pFillBar = new QProgressBar(this);
    m_pFillBar->setObjectName(QString::number(IDC_FIND_BUILD));
    m_pFillBar->setRange(0, 1000);
    m_pFillBar->setFormat(QStringLiteral("%p%"));
    pFill->addWidget(m_pFillText);
    pFill->addWidget(m_pFillBar, 1);
    pLayout->addLayout(pFill);
    m_pFillText->hide();
    m_pFillBar->hide();
    m_pFillTimer = new QTimer(this);
    m_pFillTimer->setInterval(0);
    connect(m_pFillTimer, &QTimer::timeout, this, &CFindDlg::OnFillStep);

    auto* pButtons = new QDialogButtonBox(this);
    const auto button = [&](int nId, const QString& strText) {
        QPushButton* pButton = pButtons->addButton(strText, QDialogButtonBox::ActionRole);
        pButton->setObjectName(QString::number(nId));
        pButton->setAutoDefault(false);
        return pButton;
    };
    QPushButton* pOpen = button(IDC_FIND_OPEN, tr("打开所在日(&O)"));
    QPushButton* pPreview = button(IDC_PREVIEW, tr("打印预览"));
    QPushButton* pPrint = button(IDC_PRINT, tr("打印"));
    QPushButton* pPdf = button(IDC_EXPORT_PDF, tr("导出PDF"));
    QPushButton* pCsv = button(IDC_EXPORT_CSV, tr("导出CSV"));
    QPushButton* pClose = pButtons->addButton(tr("关闭"), QDialogButtonBox::RejectRole);
    pClose->setObjectName(QStringLiteral("2"));
    pClose->setAutoDefault(false);
    pLayout->addWidget(pButtons);

    // A keystroke asks for a search; keystrokes that arrive while one runs are answered by one
    // search after them, not one each.
    m_pFindTimer = new QTimer(this);
    m_pFindTimer->setSingleShot(true);
    m_pFindTimer->setInterval(0);
    connect(m_pFindTimer, &QTimer::timeout, this, &CFindDlg::OnFind);
    connect(m_pWords, &QLineEdit::textChanged, m_pFindTimer, qOverload<>(&QTimer::start));
    connect(m_pWords, &QLineEdit::returnPressed, this, &CFindDlg::OnOpen);
    connect(m_pKind, &QComboBox::currentIndexChanged, this, &CFindDlg::OnFind);
    connect(m_pMin, &QLineEdit::textChanged, m_pFindTimer, qOverload<>(&QTimer::start));
    connect(m_pMax, &QLineEdit::textChanged, m_pFindTimer, qOverload<>(&QTimer::start));
    connect(m_pDates, &QCheckBox::toggled, this, [this](bool bOn) {
        m_pFrom->setEnabled(bOn);
        m_pTo->setEnabled(bOn);
        OnFind();
    });
    connect(m_pFrom, &QDateEdit::dateChanged, this, &CFindDlg::OnFind);
    connect(m_pTo, &QDateEdit::dateChanged, this, &CFindDlg::OnFind);
    connect(m_pGrid, &QAbstractItemView::doubleClicked, this, &CFindDlg::OnOpen);
    connect(pOpen, &QPushButton::clicked, this, &CFindDlg::OnOpen);
    connect(pPreview, &QPushButton::clicked, this, &CFindDlg::OnPreview);
    connect(pPrint, &QPushButton::clicked, this, &CFindDlg::OnPrint);
    connect(pPdf, &QPushButton::clicked, this, &CFindDlg::OnExportPdf);
    connect(pCsv, &QPushButton::clicked, this, &CFindDlg::OnExportCsv);
    connect(pClose, &QPushButton::clicked, this, &QDialog::reject);

    m_pPrinter = new CReportPrinter(m_pGrid);
    resize(860, 520);
}

void CFindDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    m_pWords->setFocus();
    m_pWords->selectAll();
    CSearchText::SFill fill;
    CMessageBox::Guarded(this, [&] { fill = CSearchText::Filled(); });
    if (!fill.IsDone()) {
        m_pFillBar->setValue(int(fill.nDone * 1000 / std::max<qint64>(fill.nTotal, 1)));
        m_pFillText->show();
        m_pFillBar->show();
        m_pFillTimer->start();
    }
    OnFind();
}

void CFindDlg::hideEvent(QHideEvent* pEvent) {
    m_pFillTimer->stop();
    QDialog::hideEvent(pEvent);
}

bool CFindDlg::IsFilling() const {
    return m_pFillTimer->isActive();
}

void CFindDlg::OnFillStep() {
    // Small steps: other copies' writes wait for one, and this window answers between them.
    constexpr qint64 StepRows = 2000;
    CSearchText::SFill fill;
    if (!CMessageBox::Guarded(this, [&] { fill = CSearchText::FillStep(StepRows); })) {
        m_pFillTimer->stop(); // said why; the next opening tries again
        return;
    }
    m_pFillBar->setValue(int(fill.nDone * 1000 / std::max<qint64>(fill.nTotal, 1)));
    if (!fill.IsDone())
        return;
    m_pFillTimer->stop();
    m_pFillText->hide();
    m_pFillBar->hide();
    OnFind(); // now from the index
}

bool CFindDlg::eventFilter(QObject* pObject, QEvent* pEvent) {
    if (pObject == m_pGrid && pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
            OnOpen();
            return true;
        }
    }
    return QDialog::eventFilter(pObject, pEvent);
}

bool CFindDlg::Query(CRecordSearch::SQuery& query, QString& strProblem) const {
    query = CRecordSearch::SQuery();
    query.strWords = m_pWords->text();
    query.eKinds = CRecordSearch::EKinds(m_pKind->currentIndex());
    std::optional<std::int64_t> amounts[2];
    const QLineEdit* edits[2] = {m_pMin, m_pMax};
    for (int i = 0; i < 2; ++i) {
        std::int64_t nCents = 0;
        const CMoney::EParse eParse = CMoney::Parse(edits[i]->text(), nCents);
        if (eParse == CMoney::EParse::Ok)
            amounts[i] = nCents;
        else if (eParse != CMoney::EParse::Empty) {
            strProblem = tr("金额“%1”无法识别：%2")
                             .arg(edits[i]->text().trimmed(),
                                  CMoney::ParseMessage(eParse, edits[i]->text()));
            return false;
        }
    }
    // One amount alone is that amount; the second alone is an upper bound.
    query.nMinCents = amounts[0];
    query.nMaxCents = amounts[1] ? amounts[1] : amounts[0];
    if (m_pDates->isChecked()) {
        query.from = m_pFrom->date();
        query.to = m_pTo->date();
    }
    return true;
}

void CFindDlg::OnFind() {
    m_pFindTimer->stop();
    if (!m_pSession->IsLoggedIn())
        return;
    CRecordSearch::SQuery query;
    QString strProblem;
    m_result = CRecordSearch::SResult();
    if (!Query(query, strProblem)) {
        m_pGrid->SetAllRows(CTextTable(7));
        m_pSummary->setText(strProblem);
        return;
    }
    // Nothing chosen would list every record of the user: on a book of many years that is
    // a wait, and no answer to any question.
    if (CRecordSearch::Words(query.strWords).isEmpty() && !query.nMinCents && !query.nMaxCents &&
        !query.from.isValid()) {
        m_pGrid->SetAllRows(CTextTable(7));
        m_pSummary->setText(tr("请输入要查找的文字、金额或日期。"));
        return;
    }
    // Every hit is counted and summed; only the rows in view are read and listed, the rest
    // as the list is scrolled to them.
    CTextTable rows;
    const bool bFound = CMessageBox::Guarded(this, [&] {
        m_result = CRecordSearch::Find(m_pSession->UserName(), query, CRecordSearch::EMethod::Kept,
                                       CRecordSearch::PageRows);
        rows = CRecordSearch::Table(m_result, 0, CRecordSearch::PageRows);
    });
    m_pGrid->SetAllRows(bFound ? std::move(rows) : CTextTable(7));
    if (bFound) {
        m_pGrid->SetMoreRows(int(m_result.rows.size()), CRecordSearch::PageRows,
                             [this](int nFrom, int nCount) {
                                 CTextTable more(7);
                                 CMessageBox::Guarded(this, [&] {
                                     CRecordSearch::Read(m_result, nFrom, nCount);
                                     more = CRecordSearch::Table(m_result, nFrom, nCount);
                                 });
                                 return more;
                             });
    }
    if (bFound && !m_result.rows.isEmpty())
        m_pGrid->setCurrentIndex(m_pGrid->model()->index(0, 0));
    ShowSummary();
}

void CFindDlg::ShowSummary() {
    const CRecordSearch::SResult& r = m_result;
    const int nRows = int(r.rows.size());
    if (nRows == 0) {
        m_pSummary->setText(tr("没有找到记录。"));
        return;
    }
    QStringList parts{tr("共 %1 条").arg(nRows)};
    if (r.nIncomeRows > 0)
        parts << tr("收入 %1 条，%2 元").arg(r.nIncomeRows).arg(Money(r.nIncomeCents));
    if (r.nOutlayRows > 0)
        parts << tr("支出 %1 条，%2 元").arg(r.nOutlayRows).arg(Money(r.nOutlayCents));
    if (r.nTransferRows > 0)
        parts << tr("转账 %1 条，%2 元").arg(r.nTransferRows).arg(Money(r.nTransferCents));
    m_pSummary->setText(parts.join(tr("；")));
}

void CFindDlg::OnOpen() {
    if (m_pFindTimer->isActive())
        OnFind(); // Enter right after a keystroke opens what that keystroke finds
    if (m_result.rows.isEmpty())
        return;
    const int nRow = m_pGrid->currentIndex().isValid() ? m_pGrid->currentIndex().row() : 0;
    if (nRow < 0 || nRow >= m_result.rows.size())
        return;
    Q_EMIT RecordChosen(m_result.rows[nRow]);
}

QString CFindDlg::Condition() const {
    QStringList parts;
    const QString strWords = m_pWords->text().simplified();
    if (!strWords.isEmpty())
        parts << tr("“%1”").arg(strWords);
    if (m_pKind->currentIndex() > 0)
        parts << m_pKind->currentText();
    const QString strMin = m_pMin->text().trimmed(), strMax = m_pMax->text().trimmed();
    if (!strMin.isEmpty() || !strMax.isEmpty())
        parts << (strMax.isEmpty()   ? tr("金额 %1").arg(strMin)
                  : strMin.isEmpty() ? tr("金额不超过 %1").arg(strMax)
                                     : tr("金额 %1 至 %2").arg(strMin, strMax));
    if (m_pDates->isChecked())
        parts << tr("%1 至 %2")
                     .arg(CReportQuery::FormatDate(m_pFrom->date()),
                          CReportQuery::FormatDate(m_pTo->date()));
    return parts.isEmpty() ? tr("全部记录") : parts.join(tr("，"));
}

void CFindDlg::SetPrintState() {
    m_pGrid->FetchAll();
    m_pPrinter->m_nReportKind = CReportPrinter::Found;
    m_pPrinter->m_strUserName = m_pSession->UserName();
    m_pPrinter->m_strCondition = Condition();
    m_pPrinter->m_strTotalText = m_pSummary->text();
}

FPageCallback CFindDlg::PageCallback() const {
    CReportPrinter* pPrinter = m_pPrinter;
    return
        [pPrinter](QPainter* pPainter, CPrintInfo* pInfo) { pPrinter->DrawPage(pPainter, pInfo); };
}

void CFindDlg::OnPreview() {
    SetPrintState();
    // The preview takes this window's place until it is closed.
    auto* pPreview = new CPreViewFrame(PageCallback(), this, false, tr("查找结果 (预览)"));
    m_pPrinter->m_pPreviewFrame = pPreview;
    pPreview->StartPreview();
}

void CFindDlg::OnPrint() {
    SetPrintState();
    auto* pPrint = new CPreViewFrame(PageCallback(), this, true);
    m_pPrinter->m_pPreviewFrame = pPrint;
    pPrint->PrintDirect();
    pPrint->deleteLater();
}

void CFindDlg::OnExportPdf() {
    SetPrintState();
    QString strPath;
    if (CPreViewFrame::ExportPdf(this, PageCallback(), &strPath))
        Q_EMIT StatusText(tr("查找结果已导出为PDF文件：%1").arg(QDir::toNativeSeparators(strPath)));
}

void CFindDlg::OnExportCsv() {
    const QString strPath = CPreViewFrame::ChooseCsvFile(this, tr("查找结果.csv"));
    if (strPath.isEmpty())
        return;
    m_pGrid->FetchAll();
    QStringList header;
    for (int c = 1; c < m_pGrid->GetCols(); ++c)
        header << m_pGrid->GetTextMatrix(0, c);
    QString strError;
    if (!CReportCsv::Write(strPath, header, m_pGrid->DataRows(), 1, strError)) {
        CMessageBox::ShowMessage(tr("导出CSV失败：无法写入文件“%1”（%2）。")
                                     .arg(QDir::toNativeSeparators(strPath), strError),
                                 this);
        return;
    }
    Q_EMIT StatusText(tr("查找结果已导出为CSV文件：%1").arg(QDir::toNativeSeparators(strPath)));
}
