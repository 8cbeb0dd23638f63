#include "analysis/csumlistview.h"

#include "accounts/caccountlist.h"
#include "analysis/cbudgetpanel.h"
#include "analysis/cperiodstats.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"
#include "widgets/cpicture.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// The order in which UpdateData moves the texts: 1001 to 1006, then 1009, 1007, 1008.
constexpr int g_editIds[9] = {1001, 1002, 1003, 1004, 1005, 1006, 1009, 1007, 1008};

QString DateText(const QDate& date) {
    // A user without rows has no first or last day: "0年0月0日".
    return QCoreApplication::translate("CSumListView", "%1年%2月%3日")
        .arg(date.isValid() ? date.year() : 0)
        .arg(date.isValid() ? date.month() : 0)
        .arg(date.isValid() ? date.day() : 0);
}

QLabel* Icon(const QString& strName, QWidget* pParent) {
    auto* pLabel = new QLabel(pParent);
    pLabel->setPixmap(CPicture::Icon(strName, 32));
    pLabel->setFixedSize(36, 36);
    return pLabel;
}

// The grids use a larger Song face; a grid takes its row heights from its font when it is
// built, so the font is set on the container before the grid is created inside it.
QWidget* GridHolder(QWidget* pParent) {
    auto* pHolder = new QWidget(pParent);
    QFont font(QStringList{QStringLiteral("宋体"), QStringLiteral("SimSun"),
                           QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")},
               12);
    pHolder->setFont(font);
    auto* pLayout = new QVBoxLayout(pHolder);
    pLayout->setContentsMargins(0, 0, 0, 0);
    return pHolder;
}

} // namespace

CSumListView::CSumListView(const CSession* pSession, QWidget* pParent)
    : CFormView(pSession, pParent) {
    setObjectName(QStringLiteral("CSumListView"));
    QWidget* pForm = Form();

    for (int i = 0; i < 9; ++i) {
        m_pEdits[i] = new QLineEdit(pForm);
        m_pEdits[i]->setObjectName(QString::number(g_editIds[i]));
        m_pEdits[i]->setReadOnly(true);
        m_pEdits[i]->setMinimumWidth(150);
    }
    QLineEdit* pEdit[10]; // by control id - 1000
    for (int i = 0; i < 9; ++i)
        pEdit[g_editIds[i] - 1000] = m_pEdits[i];

    // ---- top: picture, user line and the six figures
    auto* pFigures = new QGroupBox(pForm);
    auto* pFigLayout = new QGridLayout(pFigures);
    auto* pUserLine = new QHBoxLayout;
    pUserLine->addWidget(Icon(QStringLiteral("tree_user"), pFigures));
    pUserLine->addWidget(pEdit[9], 1);
    pFigLayout->addLayout(pUserLine, 0, 0, 1, 2);
    const struct {
        const char* szTitle;
        int nId;
    } boxes[6] = {{QT_TRANSLATE_NOOP("CSumListView", "总收入金额"), 1},
                  {QT_TRANSLATE_NOOP("CSumListView", "总支出金额"), 2},
                  {QT_TRANSLATE_NOOP("CSumListView", "起始日期"), 3},
                  {QT_TRANSLATE_NOOP("CSumListView", "结束日期"), 4},
                  {QT_TRANSLATE_NOOP("CSumListView", "平均每日消费"), 5},
                  {QT_TRANSLATE_NOOP("CSumListView", "平均每日收入"), 6}};
    for (int i = 0; i < 6; ++i) {
        auto* pBox = new QGroupBox(tr(boxes[i].szTitle), pFigures);
        auto* pBoxLayout = new QVBoxLayout(pBox);
        pBoxLayout->addWidget(pEdit[boxes[i].nId]);
        pFigLayout->addWidget(pBox, 1 + i / 2, i % 2);
    }
    // The budgets take the picture's place; without budgets they show the picture.
    m_pBudgets = new CBudgetPanel(pForm);
    m_pBudgets->setMinimumSize(200, 200);
    auto* pTopBox = new QGroupBox(pForm);
    auto* pTop = new QHBoxLayout(pTopBox);
    pTop->addWidget(m_pBudgets, 1);
    pTop->addWidget(pFigures, 1);

    // ---- bottom left: accounts
    auto* pAccounts = new QGroupBox(pForm);
    auto* pAccLayout = new QVBoxLayout(pAccounts);
    auto* pAccHead = new QHBoxLayout;
    pAccHead->addWidget(Icon(QStringLiteral("sum_view"), pAccounts));
    pAccHead->addStretch(1);
    pAccHead->addWidget(pEdit[7], 2);
    pAccLayout->addLayout(pAccHead);
    QWidget* pAccHolder = GridHolder(pAccounts);
    m_gridAccount = new CMsflexgrid1(pAccHolder);
    m_gridAccount->setObjectName(QString::number(IDC_ACCOUNT_GRID));
    pAccHolder->layout()->addWidget(m_gridAccount);
    pAccLayout->addWidget(pAccHolder, 1);

    // ---- bottom right: the brief
    auto* pBrief = new QGroupBox(pForm);
    auto* pBriefLayout = new QVBoxLayout(pBrief);
    auto* pBriefHead = new QHBoxLayout;
    pBriefHead->addWidget(Icon(QStringLiteral("tree_year"), pBrief));
    pBriefHead->addStretch(1);
    pBriefHead->addWidget(pEdit[8], 2);
    pBriefLayout->addLayout(pBriefHead);
    QWidget* pBriefHolder = GridHolder(pBrief);
    m_gridBrief = new CMsflexgrid1(pBriefHolder);
    m_gridBrief->setObjectName(QString::number(IDC_BRIEF_GRID));
    QPalette palette = m_gridBrief->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    m_gridBrief->setPalette(palette);
    pBriefHolder->layout()->addWidget(m_gridBrief);
    pBriefLayout->addWidget(pBriefHolder, 1);

    m_gridAccount->SetCols(3);
    m_gridBrief->SetCols(5);
    // Narrow enough that the summary fits beside the tree in a 1024 pixels wide window.
    m_gridAccount->setMinimumSize(300, 240);
    m_gridBrief->setMinimumSize(400, 240);

    auto* pBottom = new QHBoxLayout;
    pBottom->addWidget(pAccounts, 4);
    pBottom->addWidget(pBrief, 5);
    auto* pLayout = new QVBoxLayout(pForm);
    pLayout->addWidget(pTopBox);
    pLayout->addLayout(pBottom, 1);
}

void CSumListView::UpdateData(bool bSaveAndValidate) {
    QString* members[9] = {&m_strTotalIncome, &m_strTotalOutlay,  &m_strStartDate,
                           &m_strEndDate,     &m_strAvgOutlay,    &m_strAvgIncome,
                           &m_strUserTitle,   &m_strAccountTotal, &m_strBriefTitle};
    for (int i = 0; i < 9; ++i) {
        if (bSaveAndValidate)
            *members[i] = m_pEdits[i]->text();
        else if (m_pEdits[i]->text() != *members[i]) // a line edit lays out any text it is given
            m_pEdits[i]->setText(*members[i]);
    }
}

void CSumListView::OnInitialUpdate() {
    ShowSummary();
}

void CSumListView::ShowScope(const CScope& scope) {
    const QString strUser = SessionUser();
    ShowBudgets(strUser, scope);
    switch (scope.eLevel) {
    case CScope::User:
        ShowBrief(EBrief::User, strUser, 0, 0);
        break;
    case CScope::Year:
        ShowBrief(EBrief::Year, strUser, scope.date.year(), 0);
        break;
    case CScope::Month:
        ShowBrief(EBrief::Month, strUser, scope.date.year(), scope.date.month());
        break;
    case CScope::Day:
        break;
    }
}

void CSumListView::ShowSummary() {
    const QString strUser = SessionUser();
    m_strUserTitle = tr("用户名:  ") + strUser;
    m_strAccountTotal = tr("用户账户简报");
    WriteAccountHeader();

    // Everything but the account list comes from one pass over the book.
    CPeriodStats::SFigures figures;
    double dIncome = -1.0, dOutlay = -1.0;
    int nDays = -1;
    const bool bOk = CMessageBox::Guarded(this, [&] {
        figures = CPeriodStats().Figures(strUser);
        dIncome = CMoney::FromCents(figures.nTotalIncome);
        dOutlay = CMoney::FromCents(figures.nTotalOutlay);
        nDays = figures.nDayCount;
    });
    m_strTotalIncome = CMoney::FormatYuan(dIncome);
    m_strTotalOutlay = CMoney::FormatYuan(dOutlay);

    ShowAccountList();

    // The all-years brief, from the same figures.
    FillBrief(EBrief::User, 0, 0, figures.years);
    if (bOk) {
        m_strStartDate = DateText(figures.firstDay);
        m_strEndDate = DateText(figures.lastDay);
    } else {
        m_strStartDate = m_strEndDate = tr("%1年%2月%3日").arg(-1).arg(-1).arg(-1);
    }
    // A book without records has no days to average over.
    m_strAvgIncome = CMoney::FormatYuan(nDays == 0 ? 0.0 : dIncome / nDays);
    m_strAvgOutlay = CMoney::FormatYuan(nDays == 0 ? 0.0 : dOutlay / nDays);
    UpdateData(false);
    ShowBudgets(strUser, CScope::Whole());
}

void CSumListView::ShowBudgets(const QString& strUser, const CScope& scope) {
    const QDate today = CToday::Get();
    CMessageBox::Guarded(this, [&] {
        if (scope.eLevel == CScope::Year)
            m_pBudgets->ShowYear(strUser, scope.date.year());
        else if (scope.eLevel == CScope::Month)
            m_pBudgets->ShowMonth(strUser, scope.date, today);
        else if (scope.eLevel == CScope::User)
            m_pBudgets->ShowMonth(strUser, today, today);
    });
}

void CSumListView::WriteAccountHeader() {
    m_gridAccount->SetColWidth(0, 500);
    m_gridAccount->SetRow(0);
    m_gridAccount->SetCol(1);
    m_gridAccount->SetText(tr("账号"));
    m_gridAccount->SetColWidth(1, 2000);
    m_gridAccount->SetCol(2);
    m_gridAccount->SetText(tr("金额"));
    m_gridAccount->SetColWidth(2, 2000);
}

void CSumListView::ShowAccountList() {
    m_gridAccount->SetRows(1);
    QVector<CAccountList::SAccount> accounts;
    if (!CMessageBox::Guarded(this, [&] { accounts = CAccountList::Load(SessionUser()); }))
        return;
    int r = 1;
    for (const CAccountList::SAccount& account : accounts) {
        m_gridAccount->SetRows(++r);
        m_gridAccount->SetTextMatrix(r - 1, 1, account.strName);
        m_gridAccount->SetTextMatrix(r - 1, 2, CMoney::Format(account.dCash));
    }
    m_gridAccount->WidenColToFit(1);
    m_strAccountTotal =
        tr("合计金额   %1元")
            .arg(CMoney::Format(CMoney::FromCents(CAccountList::TotalCents(accounts))));
    UpdateData(false);
}

void CSumListView::ShowBrief(EBrief eBrief, const QString& strUser, int nYear, int nMonth) {
    QVector<CPeriodStats::SBriefRow> rows;
    CMessageBox::Guarded(this, [&] {
        const CPeriodStats stats;
        rows = eBrief == EBrief::User   ? stats.UserBrief(strUser)
               : eBrief == EBrief::Year ? stats.YearBrief(strUser, nYear)
                                        : stats.MonthBrief(strUser, nYear, nMonth);
    });
    FillBrief(eBrief, nYear, nMonth, rows);
}

void CSumListView::FillBrief(EBrief eBrief, int nYear, int nMonth,
                             const QVector<CPeriodStats::SBriefRow>& rows) {
    QString headings[4];
    QString strLabel;
    switch (eBrief) {
    case EBrief::User:
        headings[0] = tr("年度"), headings[1] = tr("年收入"), headings[2] = tr("年支出"),
        headings[3] = tr("年盈利");
        strLabel = tr("%1年");
        m_strBriefTitle = tr("用户财务记录简报");
        break;
    case EBrief::Year:
        headings[0] = tr("月份"), headings[1] = tr("月收入"), headings[2] = tr("月支出"),
        headings[3] = tr("月盈利");
        strLabel = tr("%1月");
        m_strBriefTitle = tr("用户%1年度财务简报").arg(nYear);
        break;
    case EBrief::Month:
        headings[0] = tr("日期"), headings[1] = tr("日收入"), headings[2] = tr("日支出"),
        headings[3] = tr("日盈利");
        strLabel = tr("%1日");
        m_strBriefTitle = tr("用户%1年度%2月份财务简报").arg(nYear).arg(nMonth);
        break;
    }

    m_gridBrief->SetRows(1);
    m_gridBrief->SetColWidth(0, 500);
    for (int c = 1; c <= 4; ++c) {
        m_gridBrief->SetRow(0);
        m_gridBrief->SetCol(c);
        m_gridBrief->SetText(headings[c - 1]);
        m_gridBrief->SetColWidth(c, c == 1 ? 1000 : 1500);
    }

    // The rows are made at once: one by one, each would be announced to the view on its own.
    m_gridBrief->SetRows(int(rows.size()) + 1);
    int r = 1;
    for (const CPeriodStats::SBriefRow& row : rows) {
        ++r;
        m_gridBrief->SetTextMatrix(r - 1, 1, strLabel.arg(row.nPeriod));
        m_gridBrief->SetTextMatrix(r - 1, 2, CMoney::FormatYuan(CMoney::FromCents(row.nIncome)));
        m_gridBrief->SetTextMatrix(r - 1, 3, CMoney::FormatYuan(CMoney::FromCents(row.nOutlay)));
        m_gridBrief->SetTextMatrix(
            r - 1, 4, CMoney::FormatYuan(CMoney::FromCents(row.nIncome - row.nOutlay)));
    }
    // A year's income of millions reads whole (the last column also fills what is left).
    for (int c = 1; c <= 4; ++c)
        m_gridBrief->WidenColToFit(c);
    UpdateData(false);
}
