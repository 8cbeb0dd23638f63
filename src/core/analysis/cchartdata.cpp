#include "cchartdata.h"

#include "data/cmoney.h"
#include "data/cstoreddate.h"

#include <QDate>
#include <QHash>
#include <QSqlQuery>
#include <cmath>

namespace {

// Whole cents of each amount, summed as integers: exact whatever the row order.
const QLatin1String kCentsSum("SUM(CAST(ROUND(\"Amount\" * 100) AS BIGINT))");

std::int64_t CentsOf(const QVariant& v) {
    if (v.isNull())
        return 0;
    // PostgreSQL hands SUM(bigint) over as a numeric, which may arrive as text.
    bool bOk = false;
    const qlonglong n = v.toLongLong(&bOk);
    if (bOk)
        return n;
    return std::llround(v.toDouble());
}

QString Money(std::int64_t nCents) {
    return CMoney::Format(CMoney::FromCents(nCents));
}

QDate FirstOfMonth(int nYear, int nMonth) {
    if (nYear <= 0 || nMonth < 1 || nMonth > 12)
        return QDate();
    return QDate(nYear, nMonth, 1);
}

} // namespace

// The year, month or day of a stored "Date" as CStoredDate reads it; 0 when it is not a day.
int CChartData::KeyOf(const QVariant& v, EKey eKey) {
    const QDate d = CStoredDate::Day(v);
    if (!d.isValid())
        return 0;
    return eKey == EKey::Year ? d.year() : eKey == EKey::Month ? d.month() : d.day();
}

CChartData::CChartData(ETable eTable, const QString& strUser, const QString& strConnection)
    : m_eTable(eTable), m_strUser(strUser), m_strConnection(strConnection) {}

const QList<CChartData::SCategory>& CChartData::Categories(ETable eTable) {
    static const QList<SCategory> income = {
        {QStringLiteral("工资收入"), QStringLiteral("工资")},
        {QStringLiteral("奖金收入"), QStringLiteral("奖金")},
        {QStringLiteral("津贴收入"), QStringLiteral("津贴")},
        {QStringLiteral("股票收入"), QStringLiteral("股票")},
        {QStringLiteral("房地产收入"), QStringLiteral("房地产")},
        {QStringLiteral("债券收入"), QStringLiteral("债券")},
        {QStringLiteral("投资收入"), QStringLiteral("投资")},
        {QStringLiteral("其它收入"), QStringLiteral("其它")},
    };
    // "交通支出" is labelled "交通费" in the charts.
    static const QList<SCategory> outlay = {
        {QStringLiteral("用餐支出"), QStringLiteral("用餐")},
        {QStringLiteral("购物支出"), QStringLiteral("购物")},
        {QStringLiteral("零食支出"), QStringLiteral("零食")},
        {QStringLiteral("服装支出"), QStringLiteral("服装")},
        {QStringLiteral("生活用品支出"), QStringLiteral("生活用品")},
        {QStringLiteral("房租支出"), QStringLiteral("房租")},
        {QStringLiteral("交通支出"), QStringLiteral("交通费")},
        {QStringLiteral("电话费支出"), QStringLiteral("电话费")},
        {QStringLiteral("旅游支出"), QStringLiteral("旅游")},
        {QStringLiteral("娱乐支出"), QStringLiteral("娱乐")},
        {QStringLiteral("医疗保健支出"), QStringLiteral("医疗保健")},
        {QStringLiteral("其它支出"), QStringLiteral("其它")},
    };
    return eTable == ETable::Income ? income : outlay;
}

QStringList CChartData::CategoryLabels() const {
    QStringList labels;
    for (const SCategory& c : Categories())
        labels << c.strLabel;
    return labels;
}

QString CChartData::Table() const {
    return m_eTable == ETable::Income ? QStringLiteral("\"Income\"") : QStringLiteral("\"Outlay\"");
}

const QString* CChartData::SortOf(int nSort) const {
    const QList<SCategory>& cats = Categories();
    if (nSort < 1 || nSort > cats.size())
        return nullptr;
    return &cats[nSort - 1].strSort;
}

// A half-open range of plain days on "Date" keeps the (UserName, Date) index usable, which a
// year or month expression in the WHERE clause would not.
QString CChartData::DateRange(const QDate& from, const QDate& to, QVariantList& values) const {
    return CStoredDate::Range(m_eTable == ETable::Income ? QStringLiteral("Income")
                                                         : QStringLiteral("Outlay"),
                              m_strUser, from, to, values, m_strConnection);
}

std::int64_t CChartData::SumCents(const QDate& from, const QDate& to, const QString* pSort) const {
    QVariantList values{m_strUser};
    QString strSql =
        QStringLiteral("SELECT %1 FROM %2 WHERE \"UserName\" = ?").arg(kCentsSum, Table());
    if (pSort) {
        strSql += QStringLiteral(" AND \"Sort\" = ?");
        values << *pSort;
    }
    strSql += DateRange(from, to, values);
    QSqlQuery query = CDatabase::Exec(strSql, values, m_strConnection);
    return query.next() ? CentsOf(query.value(0)) : 0;
}

QList<CChartData::SGroup> CChartData::Groups(EKey eKey, const QDate& from, const QDate& to) const {
    // Grouped by the stored "Date" itself, the groups come straight off the (UserName, Date)
    // index with no sort step; the few thousand day groups of a whole book are then bucketed
    // here. Each row still counts in whole cents, so the buckets stay exact.
    QVariantList values{m_strUser};
    const QString strSql =
        QStringLiteral(
            "SELECT \"Date\", %1, MAX(CASE WHEN COALESCE(\"Bank\", '') <> '' THEN 1 ELSE 0 END) "
            "FROM %2 WHERE \"UserName\" = ?%3 GROUP BY \"Date\"")
            .arg(kCentsSum, Table(), DateRange(from, to, values));
    QSqlQuery query = CDatabase::Exec(strSql, values, m_strConnection);
    QList<SGroup> groups;
    QHash<int, qsizetype> index; // key -> position in groups
    while (query.next()) {
        const int nKey = KeyOf(query.value(0), eKey);
        // A date that cannot be taken apart has no place on any axis.
        if (nKey < 1 || nKey > 9999)
            continue;
        auto it = index.find(nKey);
        if (it == index.end()) {
            it = index.insert(nKey, groups.size());
            groups << SGroup{nKey, 0, false};
        }
        SGroup& g = groups[*it];
        g.nCents += CentsOf(query.value(1));
        g.bHasAccount = g.bHasAccount || query.value(2).toInt() != 0;
    }
    return groups;
}

QStringList CChartData::SortValues(const QDate& from, const QDate& to) const {
    // One filtered sum per category in a single row: a GROUP BY "Sort" would have SQLite sort
    // every row of the range first, which costs more than the comparisons.
    QVariantList values;
    QStringList sums;
    for (const SCategory& c : Categories()) {
        sums << QStringLiteral("%1 FILTER (WHERE \"Sort\" = ?)").arg(kCentsSum);
        values << c.strSort;
    }
    values << m_strUser;
    const QString strSql =
        QStringLiteral("SELECT %1 FROM %2 WHERE \"UserName\" = ?%3")
            .arg(sums.join(QStringLiteral(", ")), Table(), DateRange(from, to, values));
    QSqlQuery query = CDatabase::Exec(strSql, values, m_strConnection);
    const bool bRow = query.next();
    QStringList texts;
    for (int i = 0; i < Categories().size(); ++i)
        texts << Money(bRow ? CentsOf(query.value(i)) : 0);
    return texts;
}

// ---- the six totals

double CChartData::GetYearSum(int nYear) const {
    const QDate from = FirstOfMonth(nYear, 1);
    if (!from.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(from, from.addYears(1), nullptr));
}

double CChartData::GetMonthSum(int nYear, int nMonth) const {
    const QDate from = FirstOfMonth(nYear, nMonth);
    if (!from.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(from, from.addMonths(1), nullptr));
}

double CChartData::GetDaySum(int nYear, int nMonth, int nDay) const {
    const QDate day(nYear, nMonth, nDay);
    if (nYear <= 0 || !day.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(day, day.addDays(1), nullptr));
}

double CChartData::GetSortSum(int nSort) const {
    const QString* pSort = SortOf(nSort);
    if (!pSort)
        return 0.0;
    return CMoney::FromCents(SumCents(QDate(), QDate(), pSort));
}

double CChartData::GetYearSortSum(int nYear, int nSort) const {
    const QString* pSort = SortOf(nSort);
    const QDate from = FirstOfMonth(nYear, 1);
    if (!pSort || !from.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(from, from.addYears(1), pSort));
}

double CChartData::GetMonthSortSum(int nYear, int nMonth, int nSort) const {
    const QString* pSort = SortOf(nSort);
    const QDate from = FirstOfMonth(nYear, nMonth);
    if (!pSort || !from.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(from, from.addMonths(1), pSort));
}

// ---- line charts

// A whole book has thousands of days but only a few years: one range sum per year over the
// (UserName, Date) index hands back a row per year instead of a row per day. Books that span
// centuries take the per-day grouping.
QList<CChartData::SGroup> CChartData::YearGroups() const {
    QVariantList values{m_strUser};
    const QString strWhere = QStringLiteral("FROM %1 WHERE \"UserName\" = ?%2")
                                 .arg(Table(), DateRange(QDate(), QDate(), values));
    QSqlQuery edges = CDatabase::Exec(
        QStringLiteral("SELECT (SELECT MIN(\"Date\") %1), (SELECT MAX(\"Date\") %1)").arg(strWhere),
        values + values, m_strConnection);
    if (!edges.next())
        return {};
    const int nFirst = KeyOf(edges.value(0), EKey::Year);
    const int nLast = KeyOf(edges.value(1), EKey::Year);
    if (nFirst == 0)
        return {};
    constexpr int MaxRangeYears = 200;
    if (nLast > 9998 || nFirst > nLast || nLast - nFirst >= MaxRangeYears)
        return Groups(EKey::Year, QDate(), QDate());

    QStringList parts;
    values.clear();
    for (int nYear = nFirst; nYear <= nLast; ++nYear) {
        QVariantList one{m_strUser};
        const QString strRange = QStringLiteral("FROM %1 WHERE \"UserName\" = ?%2")
                                     .arg(Table(), DateRange(QDate(nYear, 1, 1),
                                                             QDate(nYear + 1, 1, 1), one));
        parts << QStringLiteral("SELECT %1, (SELECT %2 %3), EXISTS (SELECT 1 %3 AND "
                                "COALESCE(\"Bank\", '') <> '')")
                     .arg(QString::number(nYear), kCentsSum, strRange);
        values << one << one;
    }
    QSqlQuery query =
        CDatabase::Exec(parts.join(QStringLiteral(" UNION ALL ")), values, m_strConnection);
    QList<SGroup> groups;
    while (query.next()) {
        const SGroup g{query.value(0).toInt(), CentsOf(query.value(1)), query.value(2).toBool()};
        groups << g;
    }
    return groups;
}

CChartData::SLine CChartData::UserLine() const {
    const QList<SGroup> groups = YearGroups();
    int nFirst = UserFirstYear;
    int nLast = UserLastYear;
    for (const SGroup& g : groups) {
        nFirst = qMin(nFirst, g.nKey);
        nLast = qMax(nLast, g.nKey);
    }
    SLine line;
    for (int nYear = nFirst; nYear <= nLast; ++nYear) {
        line.labels << QStringLiteral("%1年").arg(nYear);
        line.data << QStringLiteral("0");
    }
    for (const SGroup& g : groups) {
        if (g.bHasAccount)
            line.data[g.nKey - nFirst] = Money(g.nCents);
    }
    return line;
}

CChartData::SLine CChartData::YearLine(int nYear) const {
    SLine line;
    for (int nMonth = 1; nMonth <= 12; ++nMonth) {
        line.labels << QStringLiteral("%1月").arg(nMonth);
        line.data << QStringLiteral("0");
    }
    const QDate from = FirstOfMonth(nYear, 1);
    if (!from.isValid())
        return line;
    for (const SGroup& g : Groups(EKey::Month, from, from.addYears(1))) {
        if (g.bHasAccount && g.nKey >= 1 && g.nKey <= 12)
            line.data[g.nKey - 1] = Money(g.nCents);
    }
    return line;
}

CChartData::SLine CChartData::MonthLine(int nYear, int nMonth) const {
    SLine line;
    const QDate from = FirstOfMonth(nYear, nMonth);
    // Only the month's own days: a 30th of February would read as a day without spending.
    const int nDays = from.isValid() ? from.daysInMonth() : MonthRows;
    for (int nDay = 1; nDay <= nDays; ++nDay) {
        line.labels << QString::number(nDay);
        line.data << QStringLiteral("0");
    }
    if (!from.isValid())
        return line;
    for (const SGroup& g : Groups(EKey::Day, from, from.addMonths(1))) {
        if (g.bHasAccount && g.nKey >= 1 && g.nKey <= nDays)
            line.data[g.nKey - 1] = Money(g.nCents);
    }
    return line;
}

// ---- bar and pie values

QStringList CChartData::UserSorts() const {
    return SortValues(QDate(), QDate());
}

QStringList CChartData::YearSorts(int nYear) const {
    const QDate from = FirstOfMonth(nYear, 1);
    if (!from.isValid())
        return QStringList(Categories().size(), Money(0));
    return SortValues(from, from.addYears(1));
}

QStringList CChartData::MonthSorts(int nYear, int nMonth) const {
    const QDate from = FirstOfMonth(nYear, nMonth);
    if (!from.isValid())
        return QStringList(Categories().size(), Money(0));
    return SortValues(from, from.addMonths(1));
}
