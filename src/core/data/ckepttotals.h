#pragma once

#include "cdatabase.h"

#include <QDate>
#include <QPair>
#include <QString>
#include <QVector>

// Reading the totals the book keeps (CKeptSchema makes and keeps them): a few rows per day or
// month, whatever the number of records; and adding rows written without the triggers.
class CKeptTotals {
public:
    // SQLite: the book holds all the kept tables (not so when they were dropped by hand, until
    // the next opening builds them). Throws CDBException.
    static bool SqliteHasTables(const QString& strConnection = CDatabase::DefaultConnection);

    // Adds to the totals the record rows whose 编号 is above nIncomeAfter / nOutlayAfter, which
    // were written without the triggers (CBulkRows). Throws CDBException.
    static void AddRowsAfter(qint64 nIncomeAfter, qint64 nOutlayAfter,
                             const QString& strConnection = CDatabase::DefaultConnection);

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
    // The same periods with their income and outlay only (no days, no account flags).
    static QVector<SPeriod> Sums(const QString& strUser, ELevel eLevel, const QDate& from = {},
                                 const QDate& to = {},
                                 const QString& strConnection = CDatabase::DefaultConnection);

    // Cents per category of one table (bOutlay) in the months of [from, to) (from invalid:
    // every date, rows without a date included). Throws CDBException.
    static QVector<QPair<QString, qint64>>
    SortCents(bool bOutlay, const QString& strUser, const QDate& from = {}, const QDate& to = {},
              const QString& strConnection = CDatabase::DefaultConnection);

    // Cents per month and category of one table in the months of [from, to) (from on the first
    // of a month, to on the first of a later one), in ascending month order. Throws CDBException.
    struct SMonthSort {
        int nMonth = 0; // 1-12
        QString strSort;
        qint64 nCents = 0;
    };
    static QVector<SMonthSort>
    MonthSorts(bool bOutlay, const QString& strUser, const QDate& from, const QDate& to,
               const QString& strConnection = CDatabase::DefaultConnection);
    // Rows per category of one table (bOutlay) over every date, rows without a date included;
    // categories without rows are left out. Throws CDBException.
    static QVector<QPair<QString, int>>
    SortRows(bool bOutlay, const QString& strUser,
             const QString& strConnection = CDatabase::DefaultConnection);

    // The earliest (bFirst) or latest day with a row of either table in [from, to) (from
    // invalid: every date); an invalid date when there is none. Throws CDBException.
    static QDate Edge(bool bFirst, const QString& strUser, const QDate& from = {},
                      const QDate& to = {},
                      const QString& strConnection = CDatabase::DefaultConnection);

    // The years in which either table has rows of the user, or the months (1-12) of year
    // nYear, earliest first, each with the tables that have rows in it. Throws CDBException.
    struct SPeriodRows {
        int nPeriod = 0;
        bool bIncome = false;
        bool bOutlay = false;
    };
    static QVector<SPeriodRows> Years(const QString& strUser,
                                      const QString& strConnection = CDatabase::DefaultConnection);
    static QVector<SPeriodRows> Months(const QString& strUser, int nYear,
                                       const QString& strConnection = CDatabase::DefaultConnection);

    // The days of [from, to) (from invalid: every date) on which one table has rows of the
    // user, earliest first. Throws CDBException.
    static QVector<QDate> Days(bool bOutlay, const QString& strUser, const QDate& from = {},
                               const QDate& to = {},
                               const QString& strConnection = CDatabase::DefaultConnection);

private:
    static QVector<SPeriod> Read(const QString& strUser, ELevel eLevel, const QDate& from,
                                 const QDate& to, bool bAll, const QString& strConnection);
};
