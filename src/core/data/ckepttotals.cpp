#include "ckepttotals.h"

#include "ckeptschema.h"

#include <QSqlQuery>
#include <QVariant>
#include <limits>

bool CKeptTotals::SqliteHasTables(const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(QStringLiteral("SELECT ") + CKeptSchema::SqliteTableCount(),
                                      {}, strConnection);
    return query.next() && query.value(0).toInt() == CKeptSchema::SqliteTables;
}

void CKeptTotals::AddRowsAfter(qint64 nIncomeAfter, qint64 nOutlayAfter,
                               const QString& strConnection) {
    const CSqlDialect& d = CDatabase::Dialect(strConnection);
    if (!d.IsSQLite()) {
        for (const QString& strSql : CKeptSchema::BuildStatements(d, true))
            CDatabase::Exec(strSql, {nIncomeAfter, nOutlayAfter}, strConnection);
        return;
    }
    // The new rows are read and grouped once, into a table of this connection, and both
    // kept tables are added to from it.
    const QString strNew = QStringLiteral("temp.\"kept_new_rows\"");
    CDatabase::Exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (u, k, kind, s, ic, ir, "
                                   "ib, oc, orows, ob)")
                        .arg(strNew),
                    {}, strConnection);
    CDatabase::Exec(QStringLiteral("DELETE FROM %1").arg(strNew), {}, strConnection);
    CDatabase::Exec(QStringLiteral("INSERT INTO %1 SELECT * FROM %2")
                        .arg(strNew, CKeptSchema::RowsSql(d, true)),
                    {nIncomeAfter, nOutlayAfter}, strConnection);
    for (const QString& strSql :
         CKeptSchema::TotalsStatements(strNew + QStringLiteral(" AS r"), true))
        CDatabase::Exec(strSql, {}, strConnection);
    CDatabase::Exec(QStringLiteral("DELETE FROM %1").arg(strNew), {}, strConnection);
}

namespace {

int DayKey(const QDate& day) {
    return day.year() * 10000 + day.month() * 100 + day.day();
}

QDate DayOf(int nKey) {
    return QDate(nKey / 10000, nKey / 100 % 100, nKey % 100);
}

// "AND ..." on column strCol (holding keys of nScale: 1 for days, 100 for months) for the days
// [from, to); nothing for an open range.
QString KeyRange(const QString& strCol, int nScale, const QDate& from, const QDate& to,
                 QVariantList& values) {
    if (!from.isValid())
        return QString();
    values << DayKey(from) / nScale << DayKey(to.addDays(-1)) / nScale;
    return QStringLiteral(" AND %1 >= ? AND %1 <= ?").arg(strCol);
}

} // namespace

QVector<CKeptTotals::SPeriod> CKeptTotals::Periods(const QString& strUser, ELevel eLevel,
                                                   const QDate& from, const QDate& to,
                                                   const QString& strConnection) {
    return Read(strUser, eLevel, from, to, true, strConnection);
}

QVector<CKeptTotals::SPeriod> CKeptTotals::Sums(const QString& strUser, ELevel eLevel,
                                                const QDate& from, const QDate& to,
                                                const QString& strConnection) {
    return Read(strUser, eLevel, from, to, false, strConnection);
}

QVector<CKeptTotals::SPeriod> CKeptTotals::Read(const QString& strUser, ELevel eLevel,
                                                const QDate& from, const QDate& to, bool bAll,
                                                const QString& strConnection) {
    // Years of whole years in an SQLite book read its year sums: a row a year; years and
    // months of whole months read the month sums: twelve rows a year whatever the records;
    // anything else reads the day totals of its range.
    const bool bMonths =
        eLevel != ELevel::Day && (!from.isValid() || (from.day() == 1 && to.day() == 1));
    const bool bYears = bMonths && eLevel == ELevel::Year &&
                        (!from.isValid() || (from.month() == 1 && to.month() == 1)) &&
                        CDatabase::Dialect(strConnection).IsSQLite();
    const int nDivisor = eLevel == ELevel::Day     ? 1
                         : eLevel == ELevel::Month ? (bMonths ? 1 : 100)
                         : bYears                  ? 1
                                                   : (bMonths ? 100 : 10000);
    const QString strKey = bYears    ? QStringLiteral("\"Year\"")
                           : bMonths ? QStringLiteral("\"Month\"")
                                     : QStringLiteral("\"Day\"");
    // A period that is the rows' own key is one row of the user: read as it is, in the key's
    // order. Anything else is summed per period.
    const bool bOwnRows = nDivisor == 1;
    const auto sum = [bOwnRows](const QString& strExpr) {
        return bOwnRows ? strExpr : QStringLiteral("SUM(%1)").arg(strExpr);
    };
    // A month or year row counts its days; a day row is a day when it has rows of the table.
    const auto days = [&](const char* szSide) {
        return sum(bMonths ? QStringLiteral("\"%1Days\"").arg(QLatin1String(szSide))
                           : QStringLiteral("CASE WHEN \"%1Rows\" > 0 THEN 1 ELSE 0 END")
                                 .arg(QLatin1String(szSide)));
    };
    QVariantList values{strUser};
    const QString strRange = KeyRange(strKey, bYears ? 10000 : bMonths ? 100 : 1, from, to, values);
    // The sums alone are what a brief shows: grouping two columns rather than six halves
    // the read of a brief of 40 years.
    const QString strMore =
        bAll ? QStringLiteral(", %1, %2, %3, %4")
                   .arg(days("In"), days("Out"), sum(QStringLiteral("\"InBankRows\"")),
                        sum(QStringLiteral("\"OutBankRows\"")))
             : QString();
    const QString strPeriod =
        bOwnRows ? strKey : QStringLiteral("%1 / %2").arg(strKey).arg(nDivisor);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT %1, %2, %3%4 FROM %5 WHERE \"UserName\" = ? AND "
                       "\"InRows\" + \"OutRows\" > 0%6%7 ORDER BY 1")
            .arg(strPeriod, sum(QStringLiteral("\"InCents\"")), sum(QStringLiteral("\"OutCents\"")),
                 strMore,
                 bYears    ? CKeptSchema::YearSumTable
                 : bMonths ? CKeptSchema::MonthSumTable
                           : CKeptSchema::DayTable,
                 strRange, bOwnRows ? QString() : QStringLiteral(" GROUP BY %1").arg(strPeriod)),
        values, strConnection);
    QVector<SPeriod> periods;
    while (query.next()) {
        SPeriod p;
        const int nKey = query.value(0).toInt();
        p.nPeriod = eLevel == ELevel::Year ? nKey : nKey % 100;
        p.nIncome = query.value(1).toLongLong();
        p.nOutlay = query.value(2).toLongLong();
        if (bAll) {
            if (nKey != 0) { // rows without a date make no day
                p.nIncomeDays = query.value(3).toInt();
                p.nOutlayDays = query.value(4).toInt();
            }
            p.bIncomeBank = query.value(5).toLongLong() > 0;
            p.bOutlayBank = query.value(6).toLongLong() > 0;
        }
        periods.push_back(p);
    }
    return periods;
}

QDate CKeptTotals::Edge(bool bFirst, const QString& strUser, const QDate& from, const QDate& to,
                        const QString& strConnection) {
    QVariantList values{strUser};
    const QString strRange = KeyRange(QStringLiteral("\"Day\""), 1, from, to, values);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"Day\" FROM %1 WHERE \"UserName\" = ? AND \"Day\" > 0 AND "
                       "\"InRows\" + \"OutRows\" > 0%2 ORDER BY \"Day\"%3 LIMIT 1")
            .arg(CKeptSchema::DayTable, strRange, bFirst ? QString() : QStringLiteral(" DESC")),
        values, strConnection);
    return query.next() ? DayOf(query.value(0).toInt()) : QDate();
}

namespace {
// Years (bYears) or months (1-12) of the month keys [nFrom, nTo] in which either table has rows
// of the user, earliest first, with the tables that have: one row per period and kind of
// month, not one per month. An SQLite book's years are read off its year sums.
QVector<CKeptTotals::SPeriodRows> PeriodRows(const QString& strUser, bool bYears, int nFrom,
                                             int nTo, const QString& strConnection) {
    const bool bYearRows = bYears && CDatabase::Dialect(strConnection).IsSQLite();
    QSqlQuery query = CDatabase::Exec(
        bYearRows ? QStringLiteral("SELECT \"Year\", \"InRows\" > 0, \"OutRows\" > 0 FROM %1 WHERE "
                                   "\"UserName\" = ? AND \"Year\" >= ? AND \"Year\" <= ? AND "
                                   "\"InRows\" + \"OutRows\" > 0 ORDER BY 1")
                        .arg(CKeptSchema::YearSumTable)
                  : QStringLiteral("SELECT DISTINCT \"Month\" %1, \"InRows\" > 0, \"OutRows\" > 0 "
                                   "FROM %2 WHERE \"UserName\" = ? AND \"Month\" >= ? AND "
                                   "\"Month\" <= ? AND \"InRows\" + \"OutRows\" > 0 ORDER BY 1")
                        .arg(bYears ? QStringLiteral("/ 100") : QStringLiteral("% 100"),
                             CKeptSchema::MonthSumTable),
        {strUser, bYearRows ? (nFrom + 99) / 100 : nFrom, bYearRows ? nTo / 100 : nTo},
        strConnection);
    QVector<CKeptTotals::SPeriodRows> periods;
    while (query.next()) {
        const int nPeriod = query.value(0).toInt();
        if (periods.isEmpty() || periods.last().nPeriod != nPeriod)
            periods.push_back({nPeriod, false, false});
        periods.last().bIncome |= query.value(1).toBool();
        periods.last().bOutlay |= query.value(2).toBool();
    }
    return periods;
}
} // namespace

QVector<CKeptTotals::SPeriodRows> CKeptTotals::Years(const QString& strUser,
                                                     const QString& strConnection) {
    return PeriodRows(strUser, true, 1, std::numeric_limits<int>::max(), strConnection);
}

QVector<CKeptTotals::SPeriodRows> CKeptTotals::Months(const QString& strUser, int nYear,
                                                      const QString& strConnection) {
    return PeriodRows(strUser, false, nYear * 100 + 1, nYear * 100 + 12, strConnection);
}

QVector<QPair<QString, qint64>> CKeptTotals::SortCents(bool bOutlay, const QString& strUser,
                                                       const QDate& from, const QDate& to,
                                                       const QString& strConnection) {
    QVariantList values{strUser, bOutlay ? 1 : 0};
    const QString strRange = KeyRange(QStringLiteral("\"Month\""), 100, from, to, values);
    // Every date: the sums per category, a row each, whatever the years.
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"Sort\", SUM(\"Cents\") FROM %1 WHERE \"UserName\" = ? AND "
                       "\"Kind\" = ? AND \"Rows\" > 0%2 GROUP BY \"Sort\"")
            .arg(from.isValid() ? CKeptSchema::MonthTable : CKeptSchema::SortTable, strRange),
        values, strConnection);
    QVector<QPair<QString, qint64>> sums;
    while (query.next())
        sums.push_back({query.value(0).toString(), query.value(1).toLongLong()});
    return sums;
}

QVector<CKeptTotals::SMonthSort> CKeptTotals::MonthSorts(bool bOutlay, const QString& strUser,
                                                         const QDate& from, const QDate& to,
                                                         const QString& strConnection) {
    QVariantList values{strUser, bOutlay ? 1 : 0};
    const QString strRange = KeyRange(QStringLiteral("\"Month\""), 100, from, to, values);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"Month\", \"Sort\", \"Cents\" FROM %1 WHERE \"UserName\" = ? "
                       "AND \"Kind\" = ? AND \"Rows\" > 0%2 ORDER BY \"Month\"")
            .arg(CKeptSchema::MonthTable, strRange),
        values, strConnection);
    QVector<SMonthSort> sums;
    while (query.next())
        sums.push_back(
            {query.value(0).toInt() % 100, query.value(1).toString(), query.value(2).toLongLong()});
    return sums;
}

QVector<QPair<QString, int>> CKeptTotals::SortRows(bool bOutlay, const QString& strUser,
                                                   const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"Sort\", \"Rows\" FROM %1 WHERE \"UserName\" = ? AND "
                       "\"Kind\" = ? AND \"Rows\" > 0")
            .arg(CKeptSchema::SortTable),
        {strUser, bOutlay ? 1 : 0}, strConnection);
    QVector<QPair<QString, int>> rows;
    while (query.next())
        rows.push_back({query.value(0).toString(), query.value(1).toInt()});
    return rows;
}

QVector<QDate> CKeptTotals::Days(bool bOutlay, const QString& strUser, const QDate& from,
                                 const QDate& to, const QString& strConnection) {
    QVariantList values{strUser};
    const QString strRange = KeyRange(QStringLiteral("\"Day\""), 1, from, to, values);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"Day\" FROM %1 WHERE \"UserName\" = ? AND \"Day\" > 0 AND "
                       "\"%2Rows\" > 0%3 ORDER BY \"Day\"")
            .arg(CKeptSchema::DayTable, bOutlay ? QStringLiteral("Out") : QStringLiteral("In"),
                 strRange),
        values, strConnection);
    QVector<QDate> days;
    while (query.next())
        days.push_back(DayOf(query.value(0).toInt()));
    return days;
}
