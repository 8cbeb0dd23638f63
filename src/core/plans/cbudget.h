#pragma once

#include "data/cdatabase.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

// A user's monthly outlay budgets: one for the whole outlay and / or one per outlay category,
// each for every month or, differently, for one month of the year. What was spent is read from
// the totals the book keeps per month (CKeptTotals), never from the records, so showing the
// budgets costs a few small queries whatever the size of the book. Sums are whole cents.
class CBudget {
public:
    // One amount as stored. strSort "" is the whole outlay; nMonth 0 every month, 1-12 that
    // month of every year (it takes the place of the every-month amount then).
    struct SAmount {
        QString strSort;
        int nMonth = 0;
        qint64 nCents = 0;
        bool operator==(const SAmount& o) const {
            return strSort == o.strSort && nMonth == o.nMonth && nCents == o.nCents;
        }
    };

    // The outlay categories a budget can be set for, in the order the lists show them.
    static QStringList Categories(const QString& strUser);
    // The name a line shows: "全部支出" for the whole outlay, else the category.
    static QString LineName(const QString& strSort);

    // The user's amounts. Throws CDBException.
    static QVector<SAmount> Amounts(const QString& strUser,
                                    const QString& strConnection = CDatabase::DefaultConnection);
    // Writes this copy's changes to the amounts, in one transaction: an amount above 0 is set,
    // 0 removes it. Amounts no change names stay as they are (another copy may have set them).
    // A negative amount or a month outside 0-12 is refused (CDBException, nothing written);
    // CSessionGone as the day's writes.
    static void Apply(const QString& strUser, const QVector<SAmount>& changes,
                      qint64 nSessionUser = 0,
                      const QString& strConnection = CDatabase::DefaultConnection);

    // One budget of a month: what it allows and what was spent against it.
    struct SLine {
        QString strSort; // "" the whole outlay
        qint64 nBudget = 0;
        qint64 nSpent = 0;
        qint64 Left() const { return nBudget - nSpent; }
        bool IsOver() const { return nSpent > nBudget; }
        // Spent as a share of the budget, in whole per cent (rounded down).
        int Percent() const;
    };
    // The budgets in force in the month of `month` (the whole outlay first, then the categories
    // in list order, then any other category by name). Throws CDBException.
    static QVector<SLine> MonthLines(const QString& strUser, const QDate& month,
                                     const QString& strConnection = CDatabase::DefaultConnection);

    // Budget against actual for each month of a year (twelve rows). With a whole-outlay budget
    // a month compares it with the whole outlay; with category budgets only, their sum with the
    // outlay of those categories; without any, the budget is 0 and the actual the whole outlay.
    struct SMonthRow {
        int nMonth = 0;
        qint64 nBudget = 0;
        qint64 nSpent = 0;
    };
    static QVector<SMonthRow> YearRows(const QString& strUser, int nYear,
                                       const QString& strConnection = CDatabase::DefaultConnection);

    // Days of the month still to come, today included: all of them for a later month, none for
    // an earlier one.
    static int DaysLeft(const QDate& month, const QDate& today);

    // What to say when confirming outlay took budgets of the month past 100 % (lines over
    // after that were not before); "" when none was crossed.
    static QString CrossedText(const QVector<SLine>& before, const QVector<SLine>& after);
};
