#include "cbookgenerator.h"

#include "analysis/csumlistview.h"
#include "app/cmainframe.h"
#include "data/cdatabase.h"
#include "data/ctoday.h"
#include "plans/cbudget.h"
#include "users/cpasswordhash.h"
#include "users/cuseradmin.h"

#include <QApplication>
#include <functional>

// The real main frame, offscreen, logged in as the measured user: opening each view from
// another one (its tree, its figures and the paint), the all-years brief a click on the user
// in the tree shows, and a login from the password check to the painted summary.
namespace {

const bool g_bOffscreen = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();

const QString Password = QStringLiteral("bench");

void Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

CMainFrame& Frame() {
    static CMainFrame* s_pFrame = [] {
        const QString& strUser = CBookGenerator::DefaultUser();
        // The generated users have no usable password; the login benchmark needs one.
        CDatabase::Exec(
            QStringLiteral("UPDATE \"User\" SET \"UserPwd\" = ? WHERE \"UserName\" = ?"),
            {CPasswordHash::Hash(Password), strUser});
        auto* pFrame = new CMainFrame(false);
        pFrame->resize(1280, 800);
        pFrame->show();
        pFrame->SetLoggedIn(strUser, CUserAdmin::UserId(strUser));
        Settle();
        return pFrame;
    }();
    return *s_pFrame;
}

using EView = CMainFrame::EView;

// Opens eView coming from eFrom, each time: the tree, the figures and one paint.
void OpenView(benchmark::State& state, EView eView, EView eFrom) {
    CMainFrame& frame = Frame();
    for (auto _ : state) {
        state.PauseTiming();
        frame.OpenView(eFrom);
        Settle();
        state.ResumeTiming();
        frame.OpenView(eView);
        frame.repaint();
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

// The summary with budgets for the whole outlay and every category (three of them different
// in December) in the book's last month, then the year's budget against actual (the tree's
// year): what the summary costs once budgets are set. The budgets are taken out again after.
void BM_OpenView_SummaryBudgets(benchmark::State& state) {
    CMainFrame& frame = Frame();
    const QString& strUser = CBookGenerator::DefaultUser();
    QVector<CBudget::SAmount> amounts{{QString(), 0, 1500000}};
    for (const QString& strSort : CBudget::Categories(strUser))
        amounts.push_back({strSort, 0, 100000});
    for (int i = 0; i < 3; ++i)
        amounts.push_back({CBudget::Categories(strUser).value(i), 12, 150000});
    CBudget::Apply(strUser, amounts);
    CToday::Set(QDate(2019, 12, 15));
    for (auto _ : state) {
        state.PauseTiming();
        frame.OpenView(EView::Income);
        Settle();
        state.ResumeTiming();
        frame.OpenView(EView::SumList);
        frame.CurrentView()->ShowScope(CScope::OfYear(2019));
        frame.repaint();
    }
    for (CBudget::SAmount& a : amounts)
        a.nCents = 0;
    CBudget::Apply(strUser, amounts);
    CToday::Set({});
}

// What a click on the user in the summary's tree shows.
void BM_AllYearsBrief_View(benchmark::State& state) {
    const QString& strUser = CBookGenerator::DefaultUser();
    CSumListView view(nullptr);
    view.resize(900, 700);
    for (auto _ : state) {
        view.ShowUserBrief(strUser);
        view.repaint();
    }
}

// From Enter in the login dialog: the password check (the hash included) and the frame
// logging in, down to the painted summary.
void BM_Login_ToSummary(benchmark::State& state) {
    CMainFrame& frame = Frame();
    const QString& strUser = CBookGenerator::DefaultUser();
    for (auto _ : state) {
        state.PauseTiming();
        frame.SetLoggedOut();
        Settle();
        state.ResumeTiming();
        const qint64 nUserId = CUserAdmin::LogIn(strUser, Password);
        if (nUserId == 0)
            state.SkipWithError("password refused");
        frame.SetLoggedIn(strUser, nUserId);
        frame.repaint();
    }
}

BENCHMARK(BM_OpenView_Summary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_SummaryBudgets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_Income)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_Outlay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_InChart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenView_OutChart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllYearsBrief_View)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Login_ToSummary)->Unit(benchmark::kMillisecond);

} // namespace

LEDGERKIN_BENCH_MAIN(QApplication)
