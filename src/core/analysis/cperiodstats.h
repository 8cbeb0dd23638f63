#pragma once

#include "data/cdatabase.h"

#include <QDate>
#include <QString>
#include <QVector>
#include <cstdint>
#include <functional>

class CDBException;

// The figures of one user's book that the summary shows: totals, sums per year, month and
// day, the first and last year / month / day with records, the number of recorded days,
// and whole briefs (one row per period).
//
// Everything reads the totals the book keeps per user and day (CKeptTotals): a brief is one
// query over a few rows per day, however many records the days hold. Sums are in whole
// cents, so the shown cents never depend on the order in which rows arrive. Placeholder rows
// (amount 0) add nothing to the sums but count as records for the first / last dates and the
// day count.
class CPeriodStats {
public:
    // Called with the error of a failed query by the single figures below, which then return
    // their error value (-1.0 for sums, -1 for the rest). The summary view shows the error.
    using FErrorHandler = std::function<void(const CDBException&)>;

    explicit CPeriodStats(FErrorHandler onError = {},
                          const QString& strConnection = CDatabase::DefaultConnection);

    // ---- single figures
    double GetTotalIncome(const QString& strUser) const;
    double GetTotalOutlay(const QString& strUser) const;
    double GetYearIncome(const QString& strUser, int nYear) const;
    double GetYearOutlay(const QString& strUser, int nYear) const;
    double GetMonthIncome(const QString& strUser, int nYear, int nMonth) const;
    double GetMonthOutlay(const QString& strUser, int nYear, int nMonth) const;
    double GetDayIncome(const QString& strUser, int nYear, int nMonth, int nDay) const;
    double GetDayOutlay(const QString& strUser, int nYear, int nMonth, int nDay) const;
    // Year of the earliest / latest row of either table; 0 when the user has none.
    int GetFirstYear(const QString& strUser) const;
    int GetLastYear(const QString& strUser) const;
    // Month of the earliest / latest row of that year; 0 when the year is 0 or has no rows.
    int GetFirstMonth(const QString& strUser, int nYear) const;
    int GetLastMonth(const QString& strUser, int nYear) const;
    // Day of the earliest / latest row of that month; 0 when the year is 0 or it has no rows.
    int GetFirstDay(const QString& strUser, int nYear, int nMonth) const;
    int GetLastDay(const QString& strUser, int nYear, int nMonth) const;
    // The larger of the two tables' counts of distinct recorded days (not the count of
    // days across both: income on 3 days and outlay on 4 others gives 4).
    int GetDayCount(const QString& strUser) const;

    // ---- whole briefs, one query each; throw CDBException
    struct SBriefRow {
        int nPeriod = 0;          // year, month (1-12) or day (1-31)
        std::int64_t nIncome = 0; // cents
        std::int64_t nOutlay = 0; // cents
    };
    // Only periods whose income or outlay is not zero, in ascending order.
    QVector<SBriefRow> UserBrief(const QString& strUser) const;                         // per year
    QVector<SBriefRow> YearBrief(const QString& strUser, int nYear) const;              // per month
    QVector<SBriefRow> MonthBrief(const QString& strUser, int nYear, int nMonth) const; // per day

    // Everything the summary shows on opening, from one query. Throws CDBException.
    struct SFigures {
        std::int64_t nTotalIncome = 0; // cents
        std::int64_t nTotalOutlay = 0; // cents
        QDate firstDay;                // invalid when the user has no rows
        QDate lastDay;
        int nDayCount = 0;
        QVector<SBriefRow> years; // the all-years brief, as UserBrief()
    };
    SFigures Figures(const QString& strUser) const;

private:
    enum class ETable { Income, Outlay };
    double Sum(ETable eTable, const QString& strUser, const QDate& from, const QDate& to) const;
    QDate Edge(bool bFirst, const QString& strUser, const QDate& from, const QDate& to) const;
    int EdgePart(bool bFirst, const QString& strUser, int nYear, int nMonth, int nPart) const;
    // Periods of nLevel (0 years, 1 months, 2 days) in [from, to) whose income or outlay is
    // not zero. Throws CDBException.
    QVector<SBriefRow> Brief(const QString& strUser, int nLevel, const QDate& from,
                             const QDate& to) const;
    void Report(const CDBException& e) const;

    FErrorHandler m_onError;
    QString m_strConnection;
};
