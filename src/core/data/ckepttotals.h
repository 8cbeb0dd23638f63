#pragma once

#include "csqldialect.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>

// Totals of the record tables kept by the book itself, so that summaries, charts and trees
// read a few rows per day or month instead of every record:
//
//   "DayTotals"        per user and day (yyyymmdd): income and outlay in cents, their row
//                      counts (placeholder rows included, so a day with only a placeholder
//                      exists) and how many of those rows name an account;
//   "MonthSortTotals"  per user, table (0 income, 1 outlay), month (yyyymm) and category:
//                      cents and row count.
//
// Triggers on "Income" and "Outlay" keep them right whatever writes the records: this
// program, an older copy of it, or a hand edit in a database tool. A row counts under the
// calendar day its "Date" begins with; a row whose "Date" is missing or does not begin with
// a real "yyyy-MM-dd" day is in no total. Cents are those of CMoney::ToCents (half away from
// zero).
class CKeptTotals {
public:
    static const QString DayTable;   // quoted, as the SQL writes it
    static const QString MonthTable; // quoted

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
};
