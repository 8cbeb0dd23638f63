#include "cperiodstats.h"

#include "data/cdbexception.h"
#include "data/cmoney.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <map>

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

// The year of a book's first or last stored date when every stored date of the book lies
// within [1 January of it, ...) of the range sums: 0 for a missing date, -1 for text that is
// not a plain "yyyy-MM-dd..." date.
int EdgeYear(const QVariant& v, const CSqlDialect& dialect) {
    if (v.isNull())
        return 0;
    const QDate d = dialect.ReadDateTime(v).date();
    if (!IsYear(d.year()) || d.year() > 9998)
        return -1;
    if (v.metaType().id() != QMetaType::QDateTime && v.metaType().id() != QMetaType::QDate &&
        (QDate::fromString(v.toString().left(10), Qt::ISODate) != d ||
         v.toString() < dialect.BindDate(YearStart(d.year())).toString()))
        return -1;
    return d.year();
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

// Distinct "Date" values per table, as a walk in date order counts changes of date. A
// DISTINCT subquery walks the index in order; COUNT(DISTINCT) would build a temporary set.
int CPeriodStats::GetDayCount(const QString& strUser) const {
    const QString strSql =
        QStringLiteral("SELECT (SELECT COUNT(*) FROM (SELECT DISTINCT \"Date\" FROM \"Outlay\" "
                       "WHERE \"UserName\" = ? AND \"Date\" IS NOT NULL) AS d), "
                       "(SELECT COUNT(*) FROM (SELECT DISTINCT \"Date\" FROM \"Income\" WHERE "
                       "\"UserName\" = ? AND \"Date\" IS NOT NULL) AS d)");
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

QVector<CPeriodStats::SDayGroup> CPeriodStats::DayGroups(const QString& strUser, const QDate& from,
                                                         const QDate& to) const {
    const CSqlDialect& dialect = CDatabase::Dialect(m_strConnection);
    QString strWhere = QStringLiteral("\"UserName\" = ?");
    QVariantList one{strUser};
    if (from.isValid()) {
        strWhere += QStringLiteral(" AND \"Date\" >= ? AND \"Date\" < ?");
        one << dialect.BindDate(from) << dialect.BindDate(to);
    }
    const QString strSql =
        QStringLiteral("SELECT 0, %1, %2, %3, SUM(%4) FROM \"Income\" WHERE %5 GROUP BY \"Date\" "
                       "UNION ALL "
                       "SELECT 1, %1, %2, %3, SUM(%4) FROM \"Outlay\" WHERE %5 GROUP BY \"Date\"")
            .arg(dialect.YearExpr(Date), dialect.MonthExpr(Date), dialect.DayExpr(Date), Cents,
                 strWhere);
    QSqlQuery query = CDatabase::Exec(strSql, one + one, m_strConnection);
    QVector<SDayGroup> groups;
    while (query.next()) {
        SDayGroup g;
        g.nTable = query.value(0).toInt();
        g.nYear = query.value(1).toInt();
        g.nMonth = query.value(2).toInt();
        g.nDay = query.value(3).toInt();
        g.nCents = ReadCents(query.value(4));
        groups.push_back(g);
    }
    return groups;
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::Bucket(const QVector<SDayGroup>& groups,
                                                      int nLevel) {
    std::map<int, SBriefRow> periods;
    for (const SDayGroup& g : groups) {
        if (g.nYear == 0)
            continue;
        const int nPeriod = nLevel == 0 ? g.nYear : nLevel == 1 ? g.nMonth : g.nDay;
        SBriefRow& row = periods[nPeriod];
        row.nPeriod = nPeriod;
        (g.nTable == 0 ? row.nIncome : row.nOutlay) += g.nCents;
    }
    QVector<SBriefRow> rows;
    for (const auto& [nPeriod, row] : periods) {
        if (row.nIncome != 0 || row.nOutlay != 0)
            rows.push_back(row);
    }
    return rows;
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::UserBrief(const QString& strUser) const {
    return Bucket(DayGroups(strUser, QDate(), QDate()), 0);
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::YearBrief(const QString& strUser, int nYear) const {
    if (!IsYear(nYear))
        return {};
    return Bucket(DayGroups(strUser, YearStart(nYear), YearEnd(nYear)), 1);
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::MonthBrief(const QString& strUser, int nYear,
                                                          int nMonth) const {
    const QDate from(nYear, nMonth, 1);
    if (!IsYear(nYear) || !from.isValid())
        return {};
    return Bucket(DayGroups(strUser, from, from.addMonths(1)), 2);
}

bool CPeriodStats::FiguresByYear(const QString& strUser, SFigures& figures) const {
    const CSqlDialect& dialect = CDatabase::Dialect(m_strConnection);
    // Per table: first and last date, distinct dates, and the rows without a date, which
    // count only in the totals. Each of these runs on the index alone or nearly so.
    QString strSql = QStringLiteral("SELECT ");
    QVariantList values;
    for (const QString& strTable : {QStringLiteral("\"Income\""), QStringLiteral("\"Outlay\"")}) {
        const QString strWhere = QStringLiteral(" FROM %1 WHERE \"UserName\" = ?").arg(strTable);
        strSql += QStringLiteral("%5(SELECT MIN(\"Date\")%1), (SELECT MAX(\"Date\")%1), "
                                 "(SELECT COUNT(*) FROM (SELECT DISTINCT \"Date\"%1 AND \"Date\" "
                                 "IS NOT NULL) AS d), "
                                 "(SELECT SUM(%2)%1 AND \"Date\" IS NULL)")
                      .arg(strWhere, Cents)
                      .arg(values.isEmpty() ? QString() : QStringLiteral(", "));
        values << strUser << strUser << strUser << strUser;
    }
    QSqlQuery edges = CDatabase::Exec(strSql, values, m_strConnection);
    if (!edges.next())
        return false;
    int nFirst = 0, nLast = 0;
    QDate first, last;
    for (int t = 0; t < 2; ++t) {
        const int nMin = EdgeYear(edges.value(4 * t), dialect);
        const int nMax = EdgeYear(edges.value(4 * t + 1), dialect);
        if (nMin < 0 || nMax < 0)
            return false;
        if (nMin == 0)
            continue;
        const QDate d0 = dialect.ReadDateTime(edges.value(4 * t)).date();
        const QDate d1 = dialect.ReadDateTime(edges.value(4 * t + 1)).date();
        first = first.isValid() ? std::min(first, d0) : d0;
        last = last.isValid() ? std::max(last, d1) : d1;
        nFirst = nFirst == 0 ? nMin : std::min(nFirst, nMin);
        nLast = std::max(nLast, nMax);
    }
    constexpr int MaxRangeYears = 200;
    if (nFirst != 0 && nLast - nFirst >= MaxRangeYears)
        return false;

    SFigures result;
    result.nTotalIncome = ReadCents(edges.value(3));
    result.nTotalOutlay = ReadCents(edges.value(7));
    result.nDayCount = std::max(edges.value(2).toInt(), edges.value(6).toInt());
    result.firstDay = first;
    result.lastDay = last;
    if (nFirst != 0) {
        QStringList parts;
        values.clear();
        for (int t = 0; t < 2; ++t) {
            for (int nYear = nFirst; nYear <= nLast; ++nYear) {
                parts << QStringLiteral("SELECT %1, %2, (SELECT SUM(%3) FROM %4 WHERE "
                                        "\"UserName\" = ? AND \"Date\" >= ? AND \"Date\" < ?)")
                             .arg(QString::number(t), QString::number(nYear), Cents,
                                  t == 0 ? QStringLiteral("\"Income\"")
                                         : QStringLiteral("\"Outlay\""));
                values << strUser << dialect.BindDate(YearStart(nYear))
                       << dialect.BindDate(YearEnd(nYear));
            }
        }
        QSqlQuery query =
            CDatabase::Exec(parts.join(QStringLiteral(" UNION ALL ")), values, m_strConnection);
        std::map<int, SBriefRow> years;
        while (query.next()) {
            const std::int64_t nCents = ReadCents(query.value(2));
            SBriefRow& row = years[query.value(1).toInt()];
            row.nPeriod = query.value(1).toInt();
            (query.value(0).toInt() == 0 ? result.nTotalIncome : result.nTotalOutlay) += nCents;
            (query.value(0).toInt() == 0 ? row.nIncome : row.nOutlay) += nCents;
        }
        for (const auto& [nYear, row] : years) {
            if (row.nIncome != 0 || row.nOutlay != 0)
                result.years.push_back(row);
        }
    }
    figures = result;
    return true;
}

CPeriodStats::SFigures CPeriodStats::Figures(const QString& strUser) const {
    SFigures byYear;
    if (FiguresByYear(strUser, byYear))
        return byYear;
    // One pass over both tables: each group is one distinct "Date" of one table, so the
    // groups give the totals, the all-years brief, the first and last days and, counted per
    // table, the day count.
    const QVector<SDayGroup> groups = DayGroups(strUser, QDate(), QDate());
    SFigures figures;
    int nDays[2] = {0, 0};
    QDate first, last;
    for (const SDayGroup& g : groups) {
        (g.nTable == 0 ? figures.nTotalIncome : figures.nTotalOutlay) += g.nCents;
        if (g.nYear == 0) // a row without a date counts only in the totals
            continue;
        ++nDays[g.nTable];
        const QDate day(g.nYear, g.nMonth, g.nDay);
        if (!first.isValid() || day < first)
            first = day;
        if (!last.isValid() || day > last)
            last = day;
    }
    figures.firstDay = first;
    figures.lastDay = last;
    figures.nDayCount = std::max(nDays[0], nDays[1]);
    figures.years = Bucket(groups, 0);
    return figures;
}
