#include "cbookgenerator.h"

#include "data/ctransaction.h"
#include "records/cdaybook.h"

#include <QCoreApplication>

// What a daily view does on a 20-year book with 10 records a day: show a day (its records
// of one account and every account's total), move between days, and confirm a day.
namespace {

const QDate g_day(2010, 6, 15); // well inside the generated years

CDayBook& Book(ERecordKind eKind) {
    static bool s_bOpen = false;
    if (!s_bOpen) {
        CBookGenerator::OpenCached(CBookGenerator::SOptions());
        s_bOpen = true;
    }
    static CDayBook s_income(ERecordKind::Income, CBookGenerator::UserName(0));
    static CDayBook s_outlay(ERecordKind::Outlay, CBookGenerator::UserName(0));
    return eKind == ERecordKind::Income ? s_income : s_outlay;
}

QString Account() {
    return CBookGenerator::AccountNames(1).front();
}

void BM_LoadDay(benchmark::State& state) {
    CDayBook& book = Book(ERecordKind::Income);
    int nDay = 0;
    for (auto _ : state) {
        const QVector<SDayRecord> rows = book.LoadDay(g_day.addDays(nDay++ % 300), Account());
        benchmark::DoNotOptimize(rows.size());
    }
}
BENCHMARK(BM_LoadDay)->Unit(benchmark::kMillisecond);

void BM_DaySummary(benchmark::State& state) {
    CDayBook& book = Book(ERecordKind::Income);
    int nDay = 0;
    for (auto _ : state) {
        const auto totals = book.DayTotals(g_day.addDays(nDay++ % 300));
        benchmark::DoNotOptimize(totals.size());
    }
}
BENCHMARK(BM_DaySummary)->Unit(benchmark::kMillisecond);

// Everything a view reads to show one day: accounts, totals, one account's records.
void BM_ShowDay(benchmark::State& state) {
    CDayBook& book = Book(ERecordKind::Outlay);
    int nDay = 0;
    for (auto _ : state) {
        const QDate day = g_day.addDays(nDay++ % 300);
        const QStringList accounts = book.Accounts();
        const auto totals = book.DayTotals(day);
        const QVector<SDayRecord> rows = book.LoadDay(day, accounts.front());
        benchmark::DoNotOptimize(rows.size() + totals.size());
    }
}
BENCHMARK(BM_ShowDay)->Unit(benchmark::kMillisecond);

void BM_Step(benchmark::State& state) {
    CDayBook& book = Book(ERecordKind::Income);
    const auto eStep = CDayBook::EStep(state.range(0));
    for (auto _ : state) {
        const QDate day = book.Step(eStep, g_day);
        benchmark::DoNotOptimize(day);
    }
}
BENCHMARK(BM_Step)
    ->Arg(int(CDayBook::EStep::Next))
    ->Arg(int(CDayBook::EStep::Prev))
    ->Arg(int(CDayBook::EStep::First))
    ->Arg(int(CDayBook::EStep::Last))
    ->Unit(benchmark::kMillisecond);

// Confirming a day, rolled back each time so the cached book stays as generated.
void BM_ReplaceDay(benchmark::State& state) {
    CDayBook& book = Book(ERecordKind::Income);
    const QVector<SDayRecord> rows = book.LoadDay(g_day, Account());
    for (auto _ : state) {
        CTransaction outer;
        benchmark::DoNotOptimize(book.ReplaceDay(g_day, Account(), rows));
    }
}
BENCHMARK(BM_ReplaceDay)->Unit(benchmark::kMillisecond);

} // namespace

LEDGERKIN_BENCH_MAIN(QCoreApplication)
