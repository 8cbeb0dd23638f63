#include "cperiodstats.h"

#include "data/cdbexception.h"
#include "data/cmoney.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>

namespace {

const QString Date = QStringLiteral("\"Date\"");

// Whole cents of a row's amount; summed in SQL so a brief needs no second pass.
const QString Cents = QStringLiteral("ROUND(\"Amount\" * 100)");

std::int64_t ReadCents(const QVariant& v) {
    if (v.isNull())
        return 0;
    const double d = v.toDouble();
    return std::isfinite(d) ? std::llround(d) : 0;
}

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

double CPeriodStats::Sum(ETable eTable, const QString& strUser, const QDate& from,
                         const QDate& to) const {
    const CSqlDialect& dialect = CDatabase::Dialect(m_strConnection);
    QString strSql = QStringLiteral("SELECT SUM(%1) FROM %2 WHERE \"UserName\" = ?")
                         .arg(Cents, eTable == ETable::Income ? QStringLiteral("\"Income\"")
                                                              : QStringLiteral("\"Outlay\""));
    QVariantList values{strUser};
    if (from.isValid()) {
        strSql += QStringLiteral(" AND \"Date\" >= ? AND \"Date\" < ?");
        values << dialect.BindDate(from) << dialect.BindDate(to);
    }
    try {
        QSqlQuery query = CDatabase::Exec(strSql, values, m_strConnection);
        return CMoney::FromCents(query.next() ? ReadCents(query.value(0)) : 0);
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

// The earliest (bFirst) or latest row date of either table within [from, to) (no bound when
// from is invalid). Throws CDBException. Both MIN/MAX run on the index alone.
QDate CPeriodStats::Edge(bool bFirst, const QString& strUser, const QDate& from,
                         const QDate& to) const {
    const CSqlDialect& dialect = CDatabase::Dialect(m_strConnection);
    const QString strAgg = bFirst ? QStringLiteral("MIN") : QStringLiteral("MAX");
    QString strWhere = QStringLiteral("\"UserName\" = ?");
    QVariantList one{strUser};
    if (from.isValid()) {
        strWhere += QStringLiteral(" AND \"Date\" >= ? AND \"Date\" < ?");
        one << dialect.BindDate(from) << dialect.BindDate(to);
    }
    const QString strSql = QStringLiteral("SELECT %1(\"Date\") FROM \"Outlay\" WHERE %2 "
                                          "UNION ALL SELECT %1(\"Date\") FROM \"Income\" WHERE %2")
                               .arg(strAgg, strWhere);
    QSqlQuery query = CDatabase::Exec(strSql, one + one, m_strConnection);
    QDate result;
    while (query.next()) {
        const QDate d = dialect.ReadDateTime(query.value(0)).date();
        if (d.isValid() && (!result.isValid() || (bFirst ? d < result : d > result)))
            result = d;
    }
    return result;
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
    const QString strKey = CDatabase::Dialect(m_strConnection).DayKeyExpr(Date);
    const QString strSql =
        QStringLiteral("SELECT (SELECT COUNT(DISTINCT %1) FROM \"Outlay\" WHERE \"UserName\" = ?), "
                       "(SELECT COUNT(DISTINCT %1) FROM \"Income\" WHERE \"UserName\" = ?)")
            .arg(strKey);
    try {
        QSqlQuery query = CDatabase::Exec(strSql, {strUser, strUser}, m_strConnection);
        if (!query.next())
            return 0;
        return std::max(query.value(0).toInt(), query.value(1).toInt());
    } catch (const CDBException& e) {
        Report(e);
        return -1;
    }
}

// ---- briefs

QVector<CPeriodStats::SBriefRow> CPeriodStats::Brief(const QString& strUser, const QDate& from,
                                                     const QDate& to,
                                                     const QString& strPeriodExpr) const {
    const CSqlDialect& dialect = CDatabase::Dialect(m_strConnection);
    QString strWhere = QStringLiteral("\"UserName\" = ?");
    QVariantList one{strUser};
    if (from.isValid()) {
        strWhere += QStringLiteral(" AND \"Date\" >= ? AND \"Date\" < ?");
        one << dialect.BindDate(from) << dialect.BindDate(to);
    }
    const QString strSql =
        QStringLiteral("SELECT p, SUM(i), SUM(o) FROM ("
                       "SELECT %1 AS p, %2 AS i, 0 AS o FROM \"Income\" WHERE %3 "
                       "UNION ALL SELECT %1, 0, %2 FROM \"Outlay\" WHERE %3) s "
                       "GROUP BY p ORDER BY p")
            .arg(strPeriodExpr, Cents, strWhere);
    QSqlQuery query = CDatabase::Exec(strSql, one + one, m_strConnection);
    QVector<SBriefRow> rows;
    while (query.next()) {
        if (query.value(0).isNull())
            continue;
        SBriefRow row;
        row.nPeriod = query.value(0).toInt();
        row.nIncome = ReadCents(query.value(1));
        row.nOutlay = ReadCents(query.value(2));
        if (row.nIncome != 0 || row.nOutlay != 0)
            rows.push_back(row);
    }
    return rows;
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::UserBrief(const QString& strUser) const {
    return Brief(strUser, QDate(), QDate(), CDatabase::Dialect(m_strConnection).YearExpr(Date));
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::YearBrief(const QString& strUser, int nYear) const {
    if (!IsYear(nYear))
        return {};
    return Brief(strUser, YearStart(nYear), YearEnd(nYear),
                 CDatabase::Dialect(m_strConnection).MonthExpr(Date));
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::MonthBrief(const QString& strUser, int nYear,
                                                          int nMonth) const {
    const QDate from(nYear, nMonth, 1);
    if (!IsYear(nYear) || !from.isValid())
        return {};
    return Brief(strUser, from, from.addMonths(1),
                 CDatabase::Dialect(m_strConnection).DayExpr(Date));
}

CPeriodStats::SFigures CPeriodStats::Figures(const QString& strUser) const {
    const CSqlDialect& dialect = CDatabase::Dialect(m_strConnection);
    // One pass over both tables, grouped by table and year: the year sums give the totals
    // and the all-years brief, the per-year day counts add up to the table's day count (a
    // day lies in one year), and the per-year MIN / MAX give the first and last days.
    const QString strSql =
        QStringLiteral(
            "SELECT t, y, SUM(c), COUNT(DISTINCT k), MIN(d), MAX(d) FROM ("
            "SELECT 0 AS t, %1 AS y, %2 AS c, %3 AS k, \"Date\" AS d FROM \"Income\" "
            "WHERE \"UserName\" = ? "
            "UNION ALL SELECT 1, %1, %2, %3, \"Date\" FROM \"Outlay\" WHERE \"UserName\" = ?) s "
            "GROUP BY t, y ORDER BY y, t")
            .arg(dialect.YearExpr(Date), Cents, dialect.DayKeyExpr(Date));
    QSqlQuery query = CDatabase::Exec(strSql, {strUser, strUser}, m_strConnection);
    SFigures figures;
    int nDays[2] = {0, 0};
    while (query.next()) {
        const int nTable = query.value(0).toInt();
        const std::int64_t nCents = ReadCents(query.value(2));
        (nTable == 0 ? figures.nTotalIncome : figures.nTotalOutlay) += nCents;
        if (query.value(1).isNull()) // a row without a date counts only in the totals
            continue;
        const int nYear = query.value(1).toInt();
        nDays[nTable] += query.value(3).toInt();
        const QDate first = dialect.ReadDateTime(query.value(4)).date();
        const QDate last = dialect.ReadDateTime(query.value(5)).date();
        if (first.isValid() && (!figures.firstDay.isValid() || first < figures.firstDay))
            figures.firstDay = first;
        if (last.isValid() && (!figures.lastDay.isValid() || last > figures.lastDay))
            figures.lastDay = last;
        if (figures.years.isEmpty() || figures.years.back().nPeriod != nYear) {
            SBriefRow row;
            row.nPeriod = nYear;
            figures.years.push_back(row);
        }
        (nTable == 0 ? figures.years.back().nIncome : figures.years.back().nOutlay) += nCents;
    }
    figures.nDayCount = std::max(nDays[0], nDays[1]);
    figures.years.erase(
        std::remove_if(figures.years.begin(), figures.years.end(),
                       [](const SBriefRow& r) { return r.nIncome == 0 && r.nOutlay == 0; }),
        figures.years.end());
    return figures;
}
