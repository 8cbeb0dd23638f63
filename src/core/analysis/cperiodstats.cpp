#include "cperiodstats.h"

#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/cstoreddate.h"

#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <map>

namespace {

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

QString TableName(int nTable) {
    return nTable == 0 ? QStringLiteral("Income") : QStringLiteral("Outlay");
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
    const QString strTable = TableName(eTable == ETable::Income ? 0 : 1);
    QVariantList values{strUser};
    try {
        const QString strSql =
            QStringLiteral("SELECT SUM(%1) FROM \"%2\" WHERE \"UserName\" = ?%3")
                .arg(Cents, strTable,
                     CStoredDate::Range(strTable, strUser, from, to, values, m_strConnection));
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
    const QString strAgg = bFirst ? QStringLiteral("MIN") : QStringLiteral("MAX");
    QVariantList values;
    QStringList parts;
    for (int t = 0; t < 2; ++t) {
        values << strUser;
        parts << QStringLiteral("SELECT %1(\"Date\") FROM \"%2\" WHERE \"UserName\" = ?%3")
                     .arg(strAgg, TableName(t),
                          CStoredDate::Range(TableName(t), strUser, from, to, values,
                                             m_strConnection));
    }
    QSqlQuery query =
        CDatabase::Exec(parts.join(QStringLiteral(" UNION ALL ")), values, m_strConnection);
    QDate result;
    while (query.next()) {
        const QDate d = CStoredDate::Day(query.value(0));
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

// Distinct days per table. The DISTINCT subquery walks the index in order and hands over each
// stored value once (a few thousand for a long book); only those are cut to their day, so
// "2014-09-20 00:00:00" and "2014-09-20T00:00:00" make one day, not two.
QString CPeriodStats::DayCountSql(int nTable, const QString& strUser, QVariantList& values) const {
    values << strUser;
    const QString strRange =
        CStoredDate::Range(TableName(nTable), strUser, QDate(), QDate(), values, m_strConnection);
    return QStringLiteral("(SELECT COUNT(DISTINCT %1) FROM (SELECT DISTINCT \"Date\" AS d FROM "
                          "\"%2\" WHERE \"UserName\" = ? AND \"Date\" IS NOT NULL%3) AS d)")
        .arg(CDatabase::Dialect(m_strConnection).DayKeyExpr(QStringLiteral("d")), TableName(nTable),
             strRange);
}

int CPeriodStats::GetDayCount(const QString& strUser) const {
    try {
        QVariantList values;
        const QString strOutlay = DayCountSql(1, strUser, values); // values in this order
        const QString strIncome = DayCountSql(0, strUser, values);
        const QString strSql = QStringLiteral("SELECT %1, %2").arg(strOutlay, strIncome);
        QSqlQuery query = CDatabase::Exec(strSql, values, m_strConnection);
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
    QVariantList values;
    QStringList parts;
    for (int t = 0; t < 2; ++t) {
        values << strUser;
        parts << QStringLiteral("SELECT %1, \"Date\", SUM(%2) FROM \"%3\" WHERE \"UserName\" = ?%4 "
                                "GROUP BY \"Date\"")
                     .arg(QString::number(t), Cents, TableName(t),
                          CStoredDate::Range(TableName(t), strUser, from, to, values,
                                             m_strConnection));
    }
    QSqlQuery query =
        CDatabase::Exec(parts.join(QStringLiteral(" UNION ALL ")), values, m_strConnection);
    QVector<SDayGroup> groups;
    while (query.next()) {
        SDayGroup g;
        g.nTable = query.value(0).toInt();
        g.day = CStoredDate::Day(query.value(1));
        g.nCents = ReadCents(query.value(2));
        groups.push_back(g);
    }
    return groups;
}

QVector<CPeriodStats::SBriefRow> CPeriodStats::Bucket(const QVector<SDayGroup>& groups,
                                                      int nLevel) {
    std::map<int, SBriefRow> periods;
    for (const SDayGroup& g : groups) {
        if (!g.day.isValid())
            continue;
        const int nPeriod = nLevel == 0 ? g.day.year() : nLevel == 1 ? g.day.month() : g.day.day();
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
    // Per table: first and last date, distinct days, and the rows without a date, which
    // count only in the totals. Each of these runs on the index alone or nearly so.
    QString strSql = QStringLiteral("SELECT ");
    QVariantList values;
    for (int t = 0; t < 2; ++t) {
        const QString strTable = TableName(t);
        QVariantList edge{strUser};
        const QString strWhere =
            QStringLiteral(" FROM \"%1\" WHERE \"UserName\" = ?%2")
                .arg(strTable,
                     CStoredDate::Range(strTable, strUser, QDate(), QDate(), edge, m_strConnection));
        strSql += QStringLiteral("%1(SELECT MIN(\"Date\")%2), (SELECT MAX(\"Date\")%2), ")
                      .arg(t == 0 ? QString() : QStringLiteral(", "), strWhere);
        values << edge << edge;
        strSql += DayCountSql(t, strUser, values);
        strSql += QStringLiteral(", (SELECT SUM(%1) FROM \"%2\" WHERE \"UserName\" = ? AND "
                                 "\"Date\" IS NULL)")
                      .arg(Cents, strTable);
        values << strUser;
    }
    QSqlQuery edges = CDatabase::Exec(strSql, values, m_strConnection);
    if (!edges.next())
        return false;
    QDate first, last;
    for (int t = 0; t < 2; ++t) {
        const QDate d0 = CStoredDate::Day(edges.value(4 * t));
        const QDate d1 = CStoredDate::Day(edges.value(4 * t + 1));
        if (!d0.isValid() || !d1.isValid())
            continue;
        first = first.isValid() ? std::min(first, d0) : d0;
        last = last.isValid() ? std::max(last, d1) : d1;
    }
    constexpr int MaxRangeYears = 200;
    if (first.isValid() && (last.year() - first.year() >= MaxRangeYears || last.year() > 9998))
        return false;

    SFigures result;
    result.nTotalIncome = ReadCents(edges.value(3));
    result.nTotalOutlay = ReadCents(edges.value(7));
    result.nDayCount = std::max(edges.value(2).toInt(), edges.value(6).toInt());
    result.firstDay = first;
    result.lastDay = last;
    if (first.isValid()) {
        QStringList parts;
        values.clear();
        for (int t = 0; t < 2; ++t) {
            for (int nYear = first.year(); nYear <= last.year(); ++nYear) {
                values << strUser;
                parts << QStringLiteral("SELECT %1, %2, (SELECT SUM(%3) FROM \"%4\" WHERE "
                                        "\"UserName\" = ?%5)")
                             .arg(QString::number(t), QString::number(nYear), Cents, TableName(t),
                                  CStoredDate::Range(TableName(t), strUser, YearStart(nYear),
                                                     YearEnd(nYear), values, m_strConnection));
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
    // One pass over both tables: each group is one distinct stored "Date" of one table, so
    // the groups give the totals, the all-years brief, the first and last days and, as
    // distinct days per table, the day count.
    const QVector<SDayGroup> groups = DayGroups(strUser, QDate(), QDate());
    SFigures figures;
    QSet<QDate> days[2];
    QDate first, last;
    for (const SDayGroup& g : groups) {
        (g.nTable == 0 ? figures.nTotalIncome : figures.nTotalOutlay) += g.nCents;
        if (!g.day.isValid()) // a row without a date counts only in the totals
            continue;
        days[g.nTable].insert(g.day);
        if (!first.isValid() || g.day < first)
            first = g.day;
        if (!last.isValid() || g.day > last)
            last = g.day;
    }
    figures.firstDay = first;
    figures.lastDay = last;
    figures.nDayCount = int(std::max(days[0].size(), days[1].size()));
    figures.years = Bucket(groups, 0);
    return figures;
}
