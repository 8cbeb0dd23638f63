#include "ckeptcheck.h"

#include "data/cdatabase.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/csearchschema.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <array>
#include <map>
#include <tuple>
#include <vector>

namespace {

const char* const Tables[] = {"Income", "Outlay"};

// A read whose rows all arrive at once, so the next statement may run while it is read.
QSqlQuery Select(const QString& strSql) {
    QSqlQuery query(CDatabase::Connection());
    if (!query.exec(strSql))
        throw CDBException(query.lastError().text());
    return query;
}

} // namespace

namespace CKeptCheck {

// The kept tables as text lines, sorted by their keys.
QStringList KeptLines() {
    const struct {
        const char* pszLine;
        const char* pszSql;
    } tables[] = {
        {"day ", "SELECT \"UserName\", \"Day\", \"InCents\", \"InRows\", \"InBankRows\", "
                 "\"OutCents\", \"OutRows\", \"OutBankRows\" FROM \"DayTotals\" "
                 "WHERE \"InRows\" + \"OutRows\" > 0 ORDER BY 1, 2"},
        {"month ", "SELECT \"UserName\", \"Kind\", \"Month\", \"Sort\", \"Cents\", \"Rows\" "
                   "FROM \"MonthSortTotals\" WHERE \"Rows\" > 0 ORDER BY 1, 2, 3, 4"},
        {"sums ", "SELECT \"UserName\", \"Month\", \"InCents\", \"InRows\", \"InBankRows\", "
                  "\"InDays\", \"OutCents\", \"OutRows\", \"OutBankRows\", \"OutDays\" "
                  "FROM \"MonthTotals\" WHERE \"InRows\" + \"OutRows\" > 0 ORDER BY 1, 2"},
        {"sort ", "SELECT \"UserName\", \"Kind\", \"Sort\", \"Cents\", \"Rows\" "
                  "FROM \"SortTotals\" WHERE \"Rows\" > 0 ORDER BY 1, 2, 3"}};
    std::vector<std::pair<const char*, const char*>> reads;
    for (const auto& table : tables)
        reads.emplace_back(table.pszLine, table.pszSql);
    if (CDatabase::Dialect().IsSQLite())
        reads.emplace_back("years ", "SELECT \"UserName\", \"Year\", \"InCents\", \"InRows\", "
                                     "\"InBankRows\", \"InDays\", \"OutCents\", \"OutRows\", "
                                     "\"OutBankRows\", \"OutDays\" FROM \"YearTotals\" "
                                     "WHERE \"InRows\" + \"OutRows\" > 0 ORDER BY 1, 2");
    QStringList lines;
    for (const auto& [pszLine, pszSql] : reads) {
        QSqlQuery q = Select(QString::fromUtf8(pszSql));
        while (q.next()) {
            QStringList parts;
            for (int i = 0; i < q.record().count(); ++i)
                parts << q.value(i).toString();
            lines << QLatin1String(pszLine) + parts.join(QLatin1Char('|'));
        }
    }
    return lines;
}

// The same figures recomputed here from every record, row by row.
QStringList RecomputedLines() {
    struct SDay {
        qint64 n[6] = {};
    };
    std::map<std::pair<QString, int>, SDay> days;
    std::map<std::tuple<QString, int, int, QString>, std::pair<qint64, qint64>> months;
    for (int t = 0; t < 2; ++t) {
        QSqlQuery q =
            Select(QStringLiteral(
                       "SELECT \"UserName\", \"Date\", \"Sort\", \"Amount\", \"Bank\" FROM \"%1\"")
                       .arg(QLatin1String(Tables[t])));
        while (q.next()) {
            if (q.value(0).isNull())
                continue;
            const QVariant date = q.value(1);
            const QDate day =
                date.metaType().id() == QMetaType::QDateTime
                    ? date.toDateTime().date()
                    : QDate::fromString(date.toString().left(10), QStringLiteral("yyyy-MM-dd"));
            if (!date.isNull() && (!day.isValid() || day.year() < 1))
                continue;
            // A row without a date: day 0, in the totals over all dates only.
            const int nDay = date.isNull() ? 0 : day.year() * 10000 + day.month() * 100 + day.day();
            const qint64 nCents = CMoney::ToCents(q.value(3).toDouble());
            SDay& d = days[{q.value(0).toString(), nDay}];
            d.n[3 * t] += nCents;
            d.n[3 * t + 1] += 1;
            d.n[3 * t + 2] += q.value(4).toString().isEmpty() ? 0 : 1;
            auto& m = months[{q.value(0).toString(), t, nDay / 100, q.value(2).toString()}];
            m.first += nCents;
            m.second += 1;
        }
    }
    QStringList lines;
    for (const auto& [key, d] : days) {
        QStringList parts{key.first, QString::number(key.second)};
        for (qint64 n : d.n)
            parts << QString::number(n);
        lines << QStringLiteral("day ") + parts.join(QLatin1Char('|'));
    }
    // Each month: its days' sums, and how many of its days have rows of each table.
    std::map<std::pair<QString, int>, std::array<qint64, 8>> sums;
    for (const auto& [key, d] : days) {
        std::array<qint64, 8>& m = sums[{key.first, key.second / 100}];
        for (int t = 0; t < 2; ++t) {
            for (int i = 0; i < 3; ++i)
                m[4 * t + i] += d.n[3 * t + i];
            m[4 * t + 3] += d.n[3 * t + 1] > 0 ? 1 : 0;
        }
    }
    for (const auto& [key, m] : sums) {
        QStringList parts{key.first, QString::number(key.second)};
        for (qint64 n : m)
            parts << QString::number(n);
        lines << QStringLiteral("sums ") + parts.join(QLatin1Char('|'));
    }
    // An SQLite book's years: the sums of their months.
    std::map<std::pair<QString, int>, std::array<qint64, 8>> years;
    for (const auto& [key, m] : sums) {
        std::array<qint64, 8>& y = years[{key.first, key.second / 100}];
        for (size_t i = 0; i < m.size(); ++i)
            y[i] += m[i];
    }
    for (const auto& [key, y] : CDatabase::Dialect().IsSQLite() ? years : decltype(years)()) {
        QStringList parts{key.first, QString::number(key.second)};
        for (qint64 n : y)
            parts << QString::number(n);
        lines << QStringLiteral("years ") + parts.join(QLatin1Char('|'));
    }
    std::map<std::tuple<QString, int, QString>, std::pair<qint64, qint64>> sorts;
    for (const auto& [key, m] : months) {
        auto& t = sorts[{std::get<0>(key), std::get<1>(key), std::get<3>(key)}];
        t.first += m.first;
        t.second += m.second;
    }
    for (const auto& [key, t] : sorts)
        lines << QStringLiteral("sort %1|%2|%3|%4|%5")
                     .arg(std::get<0>(key))
                     .arg(std::get<1>(key))
                     .arg(std::get<2>(key))
                     .arg(t.first)
                     .arg(t.second);
    for (const auto& [key, m] : months)
        lines << QStringLiteral("month %1|%2|%3|%4|%5|%6")
                     .arg(std::get<0>(key))
                     .arg(std::get<1>(key))
                     .arg(std::get<2>(key))
                     .arg(std::get<3>(key))
                     .arg(m.first)
                     .arg(m.second);
    return lines;
}

// Lines only one side has, marked "kept" or "records"; empty when the totals are right.
QStringList Differences() {
    const QStringList kept = KeptLines();
    const QStringList records = RecomputedLines();
    QStringList diff;
    for (const QString& s : kept)
        if (!records.contains(s))
            diff << QStringLiteral("kept    ") + s;
    for (const QString& s : records)
        if (!kept.contains(s))
            diff << QStringLiteral("records ") + s;
    return diff;
}

} // namespace CKeptCheck

QStringList CKeptCheck::KeptWordsLines() {
    QStringList rows;
    QSqlQuery q = CDatabase::Exec(QStringLiteral(
        "SELECT \"Row\", \"UserName\", \"Words\", \"Day\", \"Cents\" FROM \"SearchText\" "
        "ORDER BY \"Row\""));
    while (q.next())
        rows << QStringLiteral("%1|%2|%3|%4|%5")
                    .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         q.value(3).toString(), q.value(4).toString());
    return rows;
}

int CKeptCheck::RecordRows() {
    QSqlQuery q = CDatabase::Exec(
        QStringLiteral("SELECT (SELECT COUNT(*) FROM \"Income\") + (SELECT COUNT(*) FROM "
                       "\"Outlay\") + (SELECT COUNT(*) FROM \"Trs\")"));
    return q.next() ? q.value(0).toInt() : -1;
}

void CKeptCheck::RemakeKeptWords(qint64 nOpeningFill) {
    QSqlQuery drop(CDatabase::Connection());
    if (!drop.exec(CDatabase::Dialect().IsSQLite()
                       ? QStringLiteral("DROP TRIGGER \"kept_search_3_Income_upd\"")
                       : QStringLiteral("DROP TRIGGER \"kept_search_3_Income_row\" ON \"Income\"")))
        throw CDBException(drop.lastError().text());
    const qint64 nWas = CSearchSchema::SetOpeningFill(nOpeningFill);
    CDatabase::Close(CDatabase::DefaultConnection);
    CDatabase::Open(CDatabase::DefaultConnection);
    CSearchSchema::SetOpeningFill(nWas);
}
