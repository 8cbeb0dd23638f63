#include "cbookgenerator.h"

#include "accounts/ctransfer.h"
#include "data/ctransaction.h"
#include "records/cdaybook.h"

#include <QCoreApplication>

// What a daily view does on a 20-year book with 10 records a day: show a day (its records
// of one account and every account's total), move between days, confirm a day; and a
// transfer.
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

// Confirming a day as the daily view does after one row was added, one changed and one
// removed; rolled back each time so the cached book stays as generated.
void BM_ConfirmDay(benchmark::State& state) {
    CDayBook& book = Book(ERecordKind::Income);
    const QVector<SDayRecord> rows = book.LoadDay(g_day, Account());
    SDayEdit edit;
    edit.added.append({rows.value(0).strSort, QStringLiteral("新增"), 12.5});
    if (rows.size() >= 2) {
        SDayRecord now = rows[0];
        now.dAmount += 1;
        edit.changed.append({rows[0], now});
        edit.removed.append(rows[1]);
    }
    for (auto _ : state) {
        CTransaction outer;
        benchmark::DoNotOptimize(book.Confirm(g_day, Account(), edit));
    }
}
BENCHMARK(BM_ConfirmDay)->Unit(benchmark::kMillisecond);

// One transfer between two of the user's accounts, rolled back likewise.
void BM_Transfer(benchmark::State& state) {
    const QStringList accounts = Book(ERecordKind::Income).Accounts();
    for (auto _ : state) {
        CTransaction outer;
        benchmark::DoNotOptimize(CTransfer::Transfer(CBookGenerator::UserName(0), g_day, accounts.value(0),
                                                     accounts.value(1), 1.25));
    }
}
BENCHMARK(BM_Transfer)->Unit(benchmark::kMillisecond);

} // namespace

LEDGERKIN_BENCH_MAIN(QCoreApplication)
