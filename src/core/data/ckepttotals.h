#pragma once

#include "csqldialect.h"

#include "cdatabase.h"

#include <QDate>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QVector>
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
//   "SortTotals"       per user, table and category: cents and row count over every date.
//
// Triggers on "Income" and "Outlay" (and on "DayTotals" and "MonthSortTotals" for the sums
// kept from them) keep them right
// whatever writes the records: this program, an older copy of it, or a hand edit in a database
// tool. A row counts under the day of its "Date" as CStoredDate reads it; a row whose "Date" is not
// a day is in no total, and a row without a date counts under day 0 (month 0), which only the
// totals over all dates include. Cents are those of CMoney::ToCents (half away from zero).
class CKeptTotals {
public:
    static const QString DayTable;      // quoted, as the SQL writes it
    static const QString MonthTable;    // quoted
    static const QString MonthSumTable; // quoted
    static const QString SortTable;     // quoted

    // Creates the tables and triggers when they are missing (or were made by another version)
    // and fills them from the records, all in one transaction that holds off writers, so two
    // copies opening the same old book at once build it once. Cheap when everything is there.
    // Runs on a freshly opened connection, outside any transaction. Throws CDBException.
    static void Ensure(QSqlDatabase db, const CSqlDialect& dialect);

    // Told before (bStarting) and after a build of an existing book's totals, with about how
    // many record rows it reads, so a window can say why opening takes a moment.
    using FBuildHook = std::function<void(bool bStarting, qint64 nRows)>;
    static void SetBuildHook(FBuildHook hook);

    // SQLite: the book holds all the kept tables (not so when they were dropped by hand, until
    // the next opening builds them). Throws CDBException.
    static bool SqliteHasTables(const QString& strConnection = CDatabase::DefaultConnection);

    // Adds to the totals the record rows whose 编号 is above nIncomeAfter / nOutlayAfter, which
    // were written without the triggers (CBulkRows). Throws CDBException.
    static void AddRowsAfter(qint64 nIncomeAfter, qint64 nOutlayAfter,
                             const QString& strConnection = CDatabase::DefaultConnection);

    // ---- reading: a few rows per day or month, whatever the number of records

    // Totals per year, month or day of [from, to) (from invalid: every date, and then the rows
    // without a date come first as period 0), in ascending order. Throws CDBException.
    enum class ELevel { Year, Month, Day };
    struct SPeriod {
        int nPeriod = 0;     // year, month (1-12) or day (1-31); 0: rows without a date
        qint64 nIncome = 0;  // cents
        qint64 nOutlay = 0;  // cents
        int nIncomeDays = 0; // days with an income row (placeholders included)
        int nOutlayDays = 0;
        bool bIncomeBank = false; // an income row names an account
        bool bOutlayBank = false;
    };
    static QVector<SPeriod> Periods(const QString& strUser, ELevel eLevel, const QDate& from = {},
                                    const QDate& to = {},
                                    const QString& strConnection = CDatabase::DefaultConnection);

    // Cents per category of one table (bOutlay) in the months of [from, to) (from invalid:
    // every date, rows without a date included). Throws CDBException.
    static QVector<QPair<QString, qint64>>
    SortCents(bool bOutlay, const QString& strUser, const QDate& from = {}, const QDate& to = {},
              const QString& strConnection = CDatabase::DefaultConnection);

    // The earliest (bFirst) or latest day with a row of either table in [from, to) (from
    // invalid: every date); an invalid date when there is none. Throws CDBException.
    static QDate Edge(bool bFirst, const QString& strUser, const QDate& from = {},
                      const QDate& to = {},
                      const QString& strConnection = CDatabase::DefaultConnection);

    // The months (their first days) in which one table has rows of the user, earliest first.
    // Throws CDBException.
    static QVector<QDate> Months(bool bOutlay, const QString& strUser,
                                 const QString& strConnection = CDatabase::DefaultConnection);

    // The days of [from, to) (from invalid: every date) on which one table has rows of the
    // user, earliest first. Throws CDBException.
    static QVector<QDate> Days(bool bOutlay, const QString& strUser, const QDate& from = {},
                               const QDate& to = {},
                               const QString& strConnection = CDatabase::DefaultConnection);

    // The day key (yyyymmdd, or NULL) and the cents of a record row as SQL expressions over
    // already quoted columns; the triggers and the first build both use these.
    static QString DayKeySql(const CSqlDialect& dialect, const QString& strDateCol);
    static QString CentsSql(const CSqlDialect& dialect, const QString& strAmountCol);
};
