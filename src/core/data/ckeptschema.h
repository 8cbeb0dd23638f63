#pragma once

#include "csqldialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

// Totals of the record tables kept by the book itself, so that summaries, charts and trees
// read a few rows per day or month instead of every record:
//
//   "DayTotals"        per user and day (yyyymmdd): income and outlay in cents, their row
//                      counts (placeholder rows included, so a day with only a placeholder
//                      exists) and how many of those rows name an account;
//   "MonthSortTotals"  per user, table (0 income, 1 outlay), month (yyyymm) and category:
//                      cents and row count;
//   "MonthTotals"      per user and month (yyyymm): the sums of its day totals, and the days
//                      with income rows and with outlay rows;
//   "SortTotals"       per user, table and category: cents and row count over every date;
//   "YearTotals"       SQLite only: per user and year, the sums of its month sums, so that
//                      the years of a long book are as many rows as there are years. A
//                      PostgreSQL book's members are granted its tables by name (README), so
//                      a new table there would shut them out until granted; the server groups
//                      the month sums itself.
//
// Triggers on "Income" and "Outlay" (and on "DayTotals", "MonthSortTotals" and "MonthTotals"
// for the sums kept from them) keep them right
// whatever writes the records: this program, an older copy of it, or a hand edit in a database
// tool. A row counts under the day of its "Date" as CStoredDate reads it; a row whose "Date" is not
// a day is in no total, and a row without a date counts under day 0 (month 0), which only the
// totals over all dates include. Cents are those of CMoney::ToCents (half away from zero).
class CKeptSchema {
public:
    static const QString DayTable;         // quoted, as the SQL writes it
    static const QString MonthTable;       // quoted
    static const QString MonthSumTable;    // quoted
    static const QString SortTable;        // quoted
    static const QString YearSumTable;     // quoted; SQLite only
    static constexpr int SqliteTables = 5; // the kept tables of an SQLite book

    // Creates the tables and triggers when they are missing (or were made by another version)
    // and fills them from the records, all in one transaction that holds off writers, so two
    // copies opening the same old book at once build it once. Cheap when everything is there.
    // Runs on a freshly opened connection, outside any transaction. Throws CDBException.
    static void Ensure(QSqlDatabase db, const CSqlDialect& dialect);

    // Told before (bStarting) and after a build of an existing book's totals, with about how
    // many record rows it reads, so a window can say why opening takes a moment.
    using FBuildHook = std::function<void(bool bStarting, qint64 nRows)>;
    static void SetBuildHook(FBuildHook hook);

    // The day key (yyyymmdd, or NULL) and the cents of a record row as SQL expressions over
    // already quoted columns; the triggers and the first build both use these.
    static QString DayKeySql(const CSqlDialect& dialect, const QString& strDateCol);
    static QString CentsSql(const CSqlDialect& dialect, const QString& strAmountCol);

    // The rows of a record table whose date is not a day by this reading (CStoredDate::Day's
    // rule), as an SQL condition on the date column; and SQLite's partial indexes of those
    // rows, so that finding them at login reads those rows only. The condition's text must
    // stay as the indexes' for SQLite to use them. The indexes are optional: a book that cannot
    // take them now (read-only, another copy writing) works without, only slower, and gets
    // them at a later opening (EnsureIndexes never fails).
    static QString OddDateCondition(const CSqlDialect& dialect, const QString& strDateColumn);
    static QStringList OddDateIndexStatements(const CSqlDialect& dialect);
    static void EnsureIndexes(QSqlDatabase db, const CSqlDialect& dialect);

    // For CKeptTotals, which adds rows written without the triggers: the statements that fill
    // the totals from the record rows (bSince: those with 编号 above two bound values, added
    // to what is there), the rows they read, the statements adding strRows to the totals,
    // and the number of kept tables an SQLite book holds, as an SQL expression.
    static QStringList BuildStatements(const CSqlDialect& dialect, bool bSince = false);
    static QString RowsSql(const CSqlDialect& dialect, bool bSince);
    static QStringList TotalsStatements(const QString& strRows, bool bAdd);
    static QString SqliteTableCount();
};
