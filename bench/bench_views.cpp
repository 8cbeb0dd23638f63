#include "cbookgenerator.h"
#include "ctoidle.h"

#include "app/cledgerkinapp.h"
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "data/cdatabase.h"
#include "data/ctoday.h"
#include "plans/cbudget.h"
#include "users/cpasswordhash.h"
#include "users/cuseradmin.h"

#include <QApplication>

// What a user waits for in the real main frame, logged in as the measured user, each step
// timed from the command to idle (ctoidle.h): opening each view from another one, choosing
// the user, a year or a month in the tree of the summary and of the outlay charts, and a login
// from the password check to the painted summary, with everything the login does (the look
// for unreadable dates included). Under xcb (bench/run starts an Xvfb) the window is a real
// X window of 1920×1080; offscreen it is the same size in memory.
namespace {

const bool g_bOffscreen = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();

const QString Password = QStringLiteral("bench");

CMainFrame& Frame() {
    static CMainFrame* s_pFrame = [] {
        const QString& strUser = CBookGenerator::DefaultUser();
        // The generated users have no usable password; the login benchmark needs one.
        CDatabase::Exec(
            QStringLiteral("UPDATE \"User\" SET \"UserPwd\" = ? WHERE \"UserName\" = ?"),
            {CPasswordHash::Hash(Password), strUser});
        CLedgerkinApp::UseChineseFont(); // the program's own font, as it starts
        auto* pFrame = new CMainFrame(false);
        pFrame->resize(kBenchWidth, kBenchHeight);
        pFrame->show();
        pFrame->SwitchUser(strUser, CUserAdmin::UserId(strUser));
        ToIdle();
        return pFrame;
    }();
    return *s_pFrame;
}

using EView = CMainFrame::EView;

// The timed step of OpenView, a function of its own like ChooseStep below.
Q_NEVER_INLINE void OpenStep(CMainFrame& frame, EView eView) {
    frame.OpenView(eView);
    ToIdle();
}

// Opens eView coming from eFrom, each time: the tree, the figures and the paint.
void OpenView(benchmark::State& state, EView eView, EView eFrom) {
    CMainFrame& frame = Frame();
    for (auto _ : state) {
        state.PauseTiming();
        frame.OpenView(eFrom);
        ToIdle();
        state.ResumeTiming();
        OpenStep(frame, eView);
    }
}

void BM_OpenView_Summary(benchmark::State& state) {
    OpenView(state, EView::SumList, EView::Income);
}
void BM_OpenView_Income(benchmark::State& state) {
    OpenView(state, EView::Income, EView::SumList);
}
void BM_OpenView_Outlay(benchmark::State& state) {
    OpenView(state, EView::Outlay, EView::SumList);
}
void BM_OpenView_InChart(benchmark::State& state) {
    OpenView(state, EView::InChart, EView::SumList);
}
void BM_OpenView_OutChart(benchmark::State& state) {
    OpenView(state, EView::OutChart, EView::SumList);
}

// ---- a click in the tree: the user (all years), a year or a month

enum class ELevel { User, Year, Month };

// The tree item of that level: the user, the middle year of the book, June of it.
QTreeWidgetItem* Item(CLeftView* pTree, ELevel eLevel) {
    const CBookGenerator::SOptions options = CBookGenerator::BenchOptions();
    QTreeWidgetItem* pUser = pTree->topLevelItem(0);
    if (eLevel == ELevel::User || !pUser)
        return pUser;
    QTreeWidgetItem* pYear =
        pTree->FindOrInsertYear(pUser, options.nFirstYear + options.nYears / 2);
    return eLevel == ELevel::Year ? pYear : pTree->FindOrInsertMonth(pYear, 6);
}

// The timed step of Choose in a function of its own, so that an instruction count can take it
// alone (valgrind --tool=callgrind --toggle-collect='*ChooseStep*'; '*OpenStep*' for OpenView).
Q_NEVER_INLINE void ChooseStep(CLeftView* pTree, QTreeWidgetItem* pTo) {
    pTree->setCurrentItem(pTo);
    ToIdle();
}

// In eView, from another item of the tree to the item of eLevel.
void Choose(benchmark::State& state, EView eView, ELevel eLevel) {
    CMainFrame& frame = Frame();
    frame.OpenView(eView);
    ToIdle();
    auto* pTree = frame.findChild<CLeftView*>();
    const ELevel eFrom = eLevel == ELevel::User ? ELevel::Year : ELevel::User;
    for (auto _ : state) {
        state.PauseTiming();
        pTree->setCurrentItem(Item(pTree, eFrom));
        ToIdle();
        QTreeWidgetItem* pTo = Item(pTree, eLevel);
        state.ResumeTiming();
        ChooseStep(pTree, pTo);
    }
}

void BM_SummaryScope_User(benchmark::State& state) {
    Choose(state, EView::SumList, ELevel::User);
}
void BM_SummaryScope_Year(benchmark::State& state) {
    Choose(state, EView::SumList, ELevel::Year);
}
void BM_SummaryScope_Month(benchmark::State& state) {
    Choose(state, EView::SumList, ELevel::Month);
}
// ---- the summary with budgets: the whole outlay and every category (three of them different in
// December), "today" in the book's last December; taken out again afterwards.

class CBudgetsSet {
public:
    CBudgetsSet() {
        m_amounts.push_back({QString(), 0, 1500000});
        const QStringList sorts = CBudget::Categories(m_strUser);
        for (const QString& strSort : sorts)
            m_amounts.push_back({strSort, 0, 100000});
        for (int i = 0; i < 3; ++i)
            m_amounts.push_back({sorts.value(i), 12, 150000});
        CBudget::Apply(m_strUser, m_amounts);
        const CBookGenerator::SOptions options = CBookGenerator::BenchOptions();
        CToday::Set(QDate(options.nFirstYear + options.nYears - 1, 12, 15));
    }
    ~CBudgetsSet() {
        for (CBudget::SAmount& a : m_amounts)
            a.nCents = 0;
        CBudget::Apply(m_strUser, m_amounts);
        CToday::Set({});
    }
    CBudgetsSet(const CBudgetsSet&) = delete;
    CBudgetsSet& operator=(const CBudgetsSet&) = delete;

private:
    const QString m_strUser = CBookGenerator::DefaultUser();
    QVector<CBudget::SAmount> m_amounts;
};

// This month's budgets beside the summary's figures.
void BM_OpenView_SummaryBudgets(benchmark::State& state) {
    Frame();
    const CBudgetsSet budgets;
    OpenView(state, EView::SumList, EView::Income);
}
// A year in the tree: budget against actual per month, table and chart.
void BM_SummaryScope_YearBudgets(benchmark::State& state) {
    Frame();
    const CBudgetsSet budgets;
    Choose(state, EView::SumList, ELevel::Year);
}

void BM_ChartScope_User(benchmark::State& state) {
    Choose(state, EView::OutChart, ELevel::User);
}
void BM_ChartScope_Year(benchmark::State& state) {
    Choose(state, EView::OutChart, ELevel::Year);
}
void BM_ChartScope_Month(benchmark::State& state) {
    Choose(state, EView::OutChart, ELevel::Month);
}

// From Enter in the login dialog: the password check (the hash included) and everything the
// frame does for a login, down to the painted summary ('*LoginStep*' for an instruction count).
Q_NEVER_INLINE bool LoginStep(CMainFrame& frame, const QString& strUser) {
    const qint64 nUserId = CUserAdmin::LogIn(strUser, Password);
    if (nUserId == 0)
        return false;
    frame.SwitchUser(strUser, nUserId);
    ToIdle();
    return true;
}

void BM_Login_ToSummary(benchmark::State& state) {
    CMainFrame& frame = Frame();
    const QString& strUser = CBookGenerator::DefaultUser();
    for (auto _ : state) {
        state.PauseTiming();
        frame.SetLoggedOut();
        ToIdle();
        state.ResumeTiming();
        if (!LoginStep(frame, strUser))
            state.SkipWithError("password refused");
    }
}

BENCHMARK(BM_OpenView_Summary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_SummaryBudgets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_Income)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_Outlay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_InChart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_OutChart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryScope_User)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryScope_Year)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryScope_Month)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryScope_YearBudgets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartScope_User)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartScope_Year)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartScope_Month)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Login_ToSummary)->Unit(benchmark::kMillisecond);

} // namespace

LEDGERKIN_BENCH_MAIN(QApplication)
