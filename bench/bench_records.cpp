#include "cbookgenerator.h"

#include "accounts/ctransfer.h"
#include "data/cbulkrows.h"
#include "data/cdatabase.h"
#include "data/ctransaction.h"
#include "records/ccategorybook.h"
#include "records/cdaybook.h"

#include <QCoreApplication>

#include <optional>

// What a daily view does on a 20-year book with 10 records a day: show a day (its records
// of one account and every account's total), move between days, confirm a day; and a
// transfer.
namespace {

// Well inside the generated years, whatever their number.
const QDate g_day = [] {
    const CBookGenerator::SOptions o = CBookGenerator::BenchOptions();
    return QDate(o.nFirstYear + o.nYears / 2, 6, 15);
}();

CDayBook& Book(ERecordKind eKind) {
    static bool s_bOpen = false;
    if (!s_bOpen) {
        CBookGenerator::OpenCached(CBookGenerator::BenchOptions());
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
        benchmark::DoNotOptimize(CTransfer::Transfer(CBookGenerator::UserName(0), g_day,
                                                     accounts.value(0), accounts.value(1), 1.25));
    }
}
BENCHMARK(BM_Transfer)->Unit(benchmark::kMillisecond);

// The cost of the kept totals' triggers on writes: the same work with the book as it is and
// with its triggers dropped, inside one transaction rolled back at the end (the drop too).
// Each iteration confirms the day as above (back to a savepoint after each), or imports
// 10,000 records. Both confirm variants run the same number of iterations: the savepoints'
// bookkeeping grows with the pages the one transaction has touched, so a variant left to run
// more iterations would look slower for that alone.
template <bool bTriggers> void ConfirmDay(benchmark::State& state) {
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
    CTransaction session;
    if (!bTriggers)
        CBookGenerator::DropKeptTotals();
    for (auto _ : state) {
        CDatabase::Exec(QStringLiteral("SAVEPOINT bench"));
        benchmark::DoNotOptimize(book.Confirm(g_day, Account(), edit));
        CDatabase::Exec(QStringLiteral("ROLLBACK TO bench"));
    }
}
void BM_ConfirmDay_KeptTotals(benchmark::State& state) {
    ConfirmDay<true>(state);
}
void BM_ConfirmDay_NoTriggers(benchmark::State& state) {
    ConfirmDay<false>(state);
}
BENCHMARK(BM_ConfirmDay_KeptTotals)->Unit(benchmark::kMillisecond)->Iterations(500);
BENCHMARK(BM_ConfirmDay_NoTriggers)->Unit(benchmark::kMillisecond)->Iterations(500);

// The import writes its rows with the triggers of its connection off and adds them to the
// kept totals at the end (PerRow: with the triggers firing on every row instead).
enum class EImport { NoTriggers, PerRow, Bulk };
void Import(benchmark::State& state, EImport eHow) {
    Book(ERecordKind::Income);
    const QStringList sorts = CBookGenerator::OutlayCategories();
    CTransaction session;
    if (eHow == EImport::NoTriggers)
        CBookGenerator::DropKeptTotals();
    const CSqlDialect& dialect = CDatabase::Dialect();
    for (auto _ : state) {
        std::optional<CBulkRows> bulk;
        if (eHow == EImport::Bulk)
            bulk.emplace();
        for (int i = 0; i < 10000; ++i)
            CDatabase::Exec(
                QStringLiteral("INSERT INTO \"Outlay\" (\"UserName\", \"Date\", \"Sort\", "
                               "\"Note\", \"Amount\", \"Bank\") VALUES (?, ?, ?, ?, ?, ?)"),
                {CBookGenerator::UserName(0), dialect.BindDate(g_day.addDays(i % 400)),
                 sorts[i % sorts.size()], QStringLiteral("导入"), 12.34 + i % 100, Account()});
        if (bulk)
            bulk->Finish();
    }
}
void BM_Import10k_KeptTotals(benchmark::State& state) {
    Import(state, EImport::Bulk);
}
void BM_Import10k_PerRowTriggers(benchmark::State& state) {
    Import(state, EImport::PerRow);
}
void BM_Import10k_NoTriggers(benchmark::State& state) {
    Import(state, EImport::NoTriggers);
}
BENCHMARK(BM_Import10k_KeptTotals)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Import10k_PerRowTriggers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Import10k_NoTriggers)->Unit(benchmark::kMillisecond)->Iterations(3);

// Renaming an outlay category over the user's 20 years (one twelfth of 73,000 records follow,
// the kept totals by their triggers), rolled back each time; bare SQL: the records' UPDATE
// alone, without the kept totals' triggers.
void BM_RenameCategory_Ours(benchmark::State& state) {
    Book(ERecordKind::Outlay);
    const QString strOld = CBookGenerator::OutlayCategories().front();
    for (auto _ : state) {
        CTransaction outer;
        CCategoryBook book(ERecordKind::Outlay, CBookGenerator::UserName(0));
        benchmark::DoNotOptimize(book.Rename(strOld, QStringLiteral("餐饮")));
    }
}
void BM_RenameCategory_BareSql(benchmark::State& state) {
    Book(ERecordKind::Outlay);
    const QString strOld = CBookGenerator::OutlayCategories().front();
    CTransaction session;
    CBookGenerator::DropKeptTotals();
    for (auto _ : state) {
        CDatabase::Exec(QStringLiteral("SAVEPOINT bench"));
        CDatabase::Exec(QStringLiteral("UPDATE \"Outlay\" SET \"Sort\" = ? WHERE \"UserName\" = ? "
                                       "AND \"Sort\" = ?"),
                        {QStringLiteral("餐饮"), CBookGenerator::UserName(0), strOld});
        CDatabase::Exec(QStringLiteral("ROLLBACK TO bench"));
    }
}
BENCHMARK(BM_RenameCategory_Ours)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RenameCategory_BareSql)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

LEDGERKIN_BENCH_MAIN(QCoreApplication)
