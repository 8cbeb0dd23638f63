#pragma once

#include "data/cdatabase.h"

#include <QCoreApplication>
#include <QDate>
#include <QString>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <cstdint>

// A deterministic book for the benchmarks: the same options always give the same rows.
//
// For every user: nAccounts accounts, and for every calendar day of nYears years from
// January 1 of nFirstYear one placeholder row (amount 0, no category, as the new-day
// dialog writes it) plus nRecordsPerDay income and nRecordsPerDay outlay records in the
// real categories, each against one of the user's accounts, with two-decimal amounts;
// nTransfersPerMonth transfers between two of the user's accounts each month. Account
// balances are written consistent with all of that (opening balance + income - outlay
// +/- transfers), so the book looks like one the program itself kept.
//
// Typical use in a bench_*.cpp:
//
//     static void BM_Something(benchmark::State& state) {
//         CBookGenerator::OpenCached(CBookGenerator::SOptions());   // 20 y x 365 x 10+10, 10 users
//         const QString strUser = CBookGenerator::UserName(0);
//         for (auto _ : state) { ... }
//     }
//     LEDGERKIN_BENCH_MAIN(QCoreApplication)   // QApplication for a benchmark that needs widgets
//
// The user rows carry no usable password: benchmarks that need a logged-in frame call
// CMainFrame::SetLoggedIn() directly.
class CBookGenerator {
public:
    struct SOptions {
        int nUsers = 10;
        int nYears = 20;
        int nFirstYear = 2000;
        int nRecordsPerDay = 10; // income records and outlay records, each, per day
        int nAccounts = 3;
        int nTransfersPerMonth = 2;
        bool bPlaceholders = true; // one placeholder row per day in each table
        std::uint64_t nSeed = 20240601;
    };

    // "用户01", "用户02", …: the name of user nIndex (0-based).
    static QString UserName(int nIndex);
    // The nAccounts account names every user has, in creation order ("现金", "工商银行", …).
    static QStringList AccountNames(int nAccounts);
    static QStringList IncomeCategories(); // the 8 income categories, in the program's order
    static QStringList OutlayCategories(); // the 12 outlay categories

    // The cache file for these options: <strDir>/book-<years>y-<users>u-<records>r-<hash>.db.
    static QString CachePath(const SOptions& options,
                             const QString& strDir = QStringLiteral("/tmp/ledgerkin-bench"));

    // Makes sure the cached SQLite book exists (writing it once, to a temporary file that is
    // renamed when complete, so a half-written book is never reused), then points
    // strConnection at it and opens it. Returns the file path. LEDGERKIN_BENCH_DIR names
    // another cache folder (a branch that changes the kept tables keeps its own copy, so
    // the shared book is not rebuilt back and forth). Throws CDBException.
    static QString OpenCached(const SOptions& options,
                              const QString& strConnection = CDatabase::DefaultConnection);

    // The options of the book the benchmarks measure: the default book, or the one that
    // LEDGERKIN_BENCH_BOOK names as "<years>y<users>u" (e.g. "40y1u").
    static SOptions BenchOptions();

    // Removes the kept totals and their triggers from the book behind strConnection, leaving
    // a book as a version before them wrote it. Throws CDBException.
    static void DropKeptTotals(const QString& strConnection = CDatabase::DefaultConnection);

    // Opens the PostgreSQL database strUrl (best a schema of its own: "?schema=NAME") and,
    // when it holds no user yet, writes the book into it. Throws CDBException.
    static void OpenPostgres(const SOptions& options, const QString& strUrl,
                             const QString& strConnection = CDatabase::DefaultConnection);

    // The first user of the BenchOptions() book, opened as the default connection once per
    // process: the user every benchmark measures. On PostgreSQL when LEDGERKIN_BENCH_PG
    // holds a database URL, else the cached SQLite book.
    static const QString& DefaultUser();

    // Writes the whole book into the (empty) book behind strConnection in one transaction.
    // Works on SQLite and PostgreSQL. Throws CDBException.
    static void Write(const SOptions& options,
                      const QString& strConnection = CDatabase::DefaultConnection);
};

// main() for a benchmark: the Qt application object that Qt SQL (and widgets) need, then
// Google Benchmark with its usual command-line flags.
#define LEDGERKIN_BENCH_MAIN(AppClass)                                                             \
    int main(int argc, char** argv) {                                                              \
        benchmark::Initialize(&argc, argv);                                                        \
        AppClass app(argc, argv);                                                                  \
        if (benchmark::ReportUnrecognizedArguments(argc, argv))                                    \
            return 1;                                                                              \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }
