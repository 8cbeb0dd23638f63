#include "cperiodstats.h"

#include "data/cdbexception.h"
#include "data/ckepttotals.h"
#include "data/cmoney.h"

#include <algorithm>

namespace {

bool IsYear(int nYear) {
    return nYear >= 1 && nYear <= 9999;
}

// [first day of the year, first day of the next year)
QDate YearStart(int nYear) {
    return QDate(nYear, 1, 1);
}
QDate YearEnd(int nYear) {
    return QDate(nYear + 1, 1, 1);
}

} // namespace

CPeriodStats::CPeriodStats(FErrorHandler onError, const QString& strConnection)
    : m_onError(std::move(onError)), m_strConnection(strConnection) {}

void CPeriodStats::Report(const CDBException& e) const {
    if (m_onError)
        m_onError(e);
}

// ---- sums

// Every figure reads the kept day totals: a day is one row, a whole book a few thousand.
double CPeriodStats::Sum(ETable eTable, const QString& strUser, const QDate& from,
                         const QDate& to) const {
    try {
        std::int64_t nCents = 0;
        for (const CKeptTotals::SPeriod& p :
             CKeptTotals::Sums(strUser, CKeptTotals::ELevel::Year, from, to, m_strConnection))
            nCents += eTable == ETable::Income ? p.nIncome : p.nOutlay;
        return CMoney::FromCents(nCents);
    } catch (const CDBException& e) {
        Report(e);
        return -1.0;
    }
}

double CPeriodStats::GetTotalIncome(const QString& strUser) const {
    return Sum(ETable::Income, strUser, QDate(), QDate());
}

double CPeriodStats::GetTotalOutlay(const QString& strUser) const {
    return Sum(ETable::Outlay, strUser, QDate(), QDate());
}

// A period that cannot hold a row (year 0, month 13, February 30) sums to 0 without a query.
double CPeriodStats::GetYearIncome(const QString& strUser, int nYear) const {
    return IsYear(nYear) ? Sum(ETable::Income, strUser, YearStart(nYear), YearEnd(nYear)) : 0.0;
}

double CPeriodStats::GetYearOutlay(const QString& strUser, int nYear) const {
    return IsYear(nYear) ? Sum(ETable::Outlay, strUser, YearStart(nYear), YearEnd(nYear)) : 0.0;
}

double CPeriodStats::GetMonthIncome(const QString& strUser, int nYear, int nMonth) const {
    const QDate from(nYear, nMonth, 1);
    return IsYear(nYear) && from.isValid() ? Sum(ETable::Income, strUser, from, from.addMonths(1))
                                           : 0.0;
}

double CPeriodStats::GetMonthOutlay(const QString& strUser, int nYear, int nMonth) const {
    const QDate from(nYear, nMonth, 1);
    return IsYear(nYear) && from.isValid() ? Sum(ETable::Outlay, strUser, from, from.addMonths(1))
                                           : 0.0;
}

double CPeriodStats::GetDayIncome(const QString& strUser, int nYear, int nMonth, int nDay) const {
    const QDate day(nYear, nMonth, nDay);
    return IsYear(nYear) && day.isValid() ? Sum(ETable::Income, strUser, day, day.addDays(1)) : 0.0;
}

double CPeriodStats::GetDayOutlay(const QString& strUser, int nYear, int nMonth, int nDay) const {
    const QDate day(nYear, nMonth, nDay);
    return IsYear(nYear) && day.isValid() ? Sum(ETable::Outlay, strUser, day, day.addDays(1)) : 0.0;
}

// ---- first and last

// The earliest (bFirst) or latest day with a row of either table within [from, to) (no bound
// when from is invalid). Throws CDBException.
QDate CPeriodStats::Edge(bool bFirst, const QString& strUser, const QDate& from,
                         const QDate& to) const {
    return CKeptTotals::Edge(bFirst, strUser, from, to, m_strConnection);
}

int CPeriodStats::GetFirstYear(const QString& strUser) const {
    try {
        return Edge(true, strUser, QDate(), QDate()).year(); // an invalid date's year is 0
    } catch (const CDBException& e) {
        Report(e);
        return -1;
    }
}

int CPeriodStats::GetLastYear(const QString& strUser) const {
    try {
        return Edge(false, strUser, QDate(), QDate()).year();
    } catch (const CDBException& e) {
        Report(e);
        return -1;
    }
}

// nPart: 1 for the month within a year, 2 for the day within a month.
int CPeriodStats::EdgePart(bool bFirst, const QString& strUser, int nYear, int nMonth,
                           int nPart) const {
    if (nYear == 0 || !IsYear(nYear))
        return 0;
    const QDate from = nPart == 1 ? YearStart(nYear) : QDate(nYear, nMonth, 1);
    if (!from.isValid())
        return 0;
    const QDate to = nPart == 1 ? YearEnd(nYear) : from.addMonths(1);
    try {
        const QDate d = Edge(bFirst, strUser, from, to);
        if (!d.isValid())
            return 0;
        return nPart == 1 ? d.month() : d.day();
    } catch (const CDBException& e) {
        Report(e);
        return -1;
    }
}

int CPeriodStats::GetFirstMonth(const QString& strUser, int nYear) const {
    return EdgePart(true, strUser, nYear, 0, 1);
}

int CPeriodStats::GetLastMonth(const QString& strUser, int nYear) const {
    return EdgePart(false, strUser, nYear, 0, 1);
}

int CPeriodStats::GetFirstDay(const QString& strUser, int nYear, int nMonth) const {
    return EdgePart(true, strUser, nYear, nMonth, 2);
}

int CPeriodStats::GetLastDay(const QString& strUser, int nYear, int nMonth) const {
    return EdgePart(false, strUser, nYear, nMonth, 2);
}

int CPeriodStats::GetDayCount(const QString& strUser) const {
    try {
        return Figures(strUser).nDayCount;
    } catch (const CDBException& e) {
        Report(e);
        return -1;
    }
}

// ---- briefs

QVector<CPeriodStats::SBriefRow> CPeriodStats::Brief(const QString& strUser, int nLevel,
                                                     const QDate& from, const QDate& to) const {
    const CKeptTotals::ELevel eLevel = nLevel == 0   ? CKeptTotals::ELevel::Year
                                       : nLevel == 1 ? CKeptTotals::ELevel::Month
                                                     : CKeptTotals::ELevel::Day;
    QVector<SBriefRow> rows;
    for (const CKeptTotals::SPeriod& p :
         CKeptTotals::Sums(strUser, eLevel, from, to, m_strConnection)) {
        if (p.nPeriod != 0 && (p.nIncome != 0 || p.nOutlay != 0))
            rows.push_back({p.nPeriod, p.nIncome, p.nOutlay});
    }
    return rows;
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::UserBrief(const QString& strUser) const {
    return Brief(strUser, 0, QDate(), QDate());
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::YearBrief(const QString& strUser, int nYear) const {
    if (!IsYear(nYear))
        return {};
    return Brief(strUser, 1, YearStart(nYear), YearEnd(nYear));
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::MonthBrief(const QString& strUser, int nYear,
                                                          int nMonth) const {
    const QDate from(nYear, nMonth, 1);
    if (!IsYear(nYear) || !from.isValid())
        return {};
    return Brief(strUser, 2, from, from.addMonths(1));
}

CPeriodStats::SFigures CPeriodStats::Figures(const QString& strUser) const {
    // One read of the month sums, grouped by year: the totals (rows without a date
    // included), the all-years brief and, as days per table, the day count; then the first
    // and last days, each one step along the day totals' key.
    SFigures figures;
    int nDays[2] = {0, 0};
    for (const CKeptTotals::SPeriod& p : CKeptTotals::Periods(strUser, CKeptTotals::ELevel::Year,
                                                              QDate(), QDate(), m_strConnection)) {
        figures.nTotalIncome += p.nIncome;
        figures.nTotalOutlay += p.nOutlay;
        if (p.nPeriod == 0)
            continue;
        nDays[0] += p.nIncomeDays;
        nDays[1] += p.nOutlayDays;
        if (p.nIncome != 0 || p.nOutlay != 0)
            figures.years.push_back({p.nPeriod, p.nIncome, p.nOutlay});
    }
    figures.nDayCount = std::max(nDays[0], nDays[1]);
    if (!figures.years.isEmpty() || nDays[0] + nDays[1] > 0) {
        figures.firstDay = Edge(true, strUser, QDate(), QDate());
        figures.lastDay = Edge(false, strUser, QDate(), QDate());
    }
    return figures;
}
