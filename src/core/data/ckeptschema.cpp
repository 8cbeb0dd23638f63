#include "ckeptschema.h"

#include "cdberrortext.h"
#include "cdbexception.h"
#include "ckepttriggers.h"
#include "cschema.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <utility>

const QString CKeptSchema::DayTable = QStringLiteral("\"DayTotals\"");
const QString CKeptSchema::MonthTable = QStringLiteral("\"MonthSortTotals\"");
const QString CKeptSchema::MonthSumTable = QStringLiteral("\"MonthTotals\"");
const QString CKeptSchema::SortTable = QStringLiteral("\"SortTotals\"");
const QString CKeptSchema::YearSumTable = QStringLiteral("\"YearTotals\"");

namespace {

CKeptSchema::FBuildHook& BuildHook() {
    static CKeptSchema::FBuildHook s_hook;
    return s_hook;
}

struct STable {
    QString strName; // unquoted
    QString strKind; // "0" income, "1" outlay
};

const STable Tables[] = {{QStringLiteral("Income"), QStringLiteral("0")},
                         {QStringLiteral("Outlay"), QStringLiteral("1")}};

QString ErrorText(const QSqlQuery& query, const QSqlError& error) {
    const bool bPg = query.driver() && query.driver()->dbmsType() == QSqlDriver::PostgreSQL;
    return CDBErrorText::Of(error, bPg ? CSqlDialect::PostgreSQL : CSqlDialect::SQLite);
}

void Exec(QSqlQuery& query, const QString& strSql) {
    if (!query.exec(strSql))
        throw CDBException(ErrorText(query, query.lastError()));
}

// A write refused because the book may only be read (an SQLite file without write permission,
// a PostgreSQL role without the right to create, a read-only server).
bool IsReadOnlyError(const QSqlError& error, const CSqlDialect& dialect) {
    const QString strCode = error.nativeErrorCode();
    if (dialect.IsSQLite())
        return (strCode.toInt() & 0xFF) == 8;
    return strCode == QLatin1String("42501") || strCode == QLatin1String("25006");
}

QString BankFlag(const QString& strCol) {
    return QStringLiteral("CASE WHEN COALESCE(%1, '') <> '' THEN 1 ELSE 0 END").arg(strCol);
}

// The columns of a sum over whole periods ("MonthTotals", "YearTotals"); %1 is the type of text.
const char* const kPeriodSumColumns =
    "\"InCents\" BIGINT NOT NULL DEFAULT 0, \"InRows\" INTEGER NOT NULL DEFAULT 0, "
    "\"InBankRows\" INTEGER NOT NULL DEFAULT 0, \"InDays\" INTEGER NOT NULL DEFAULT 0, "
    "\"OutCents\" BIGINT NOT NULL DEFAULT 0, \"OutRows\" INTEGER NOT NULL DEFAULT 0, "
    "\"OutBankRows\" INTEGER NOT NULL DEFAULT 0, \"OutDays\" INTEGER NOT NULL DEFAULT 0";

QStringList CreateTables(const CSqlDialect& d, bool bTemp) {
    const QString strTemp = bTemp ? QStringLiteral("TEMP ") : QString();
    const QString strNoRowid = d.IsSQLite() ? QStringLiteral(" WITHOUT ROWID") : QString();
    QStringList list{QStringLiteral("CREATE %1TABLE IF NOT EXISTS %2 ("
                                    "\"UserName\" %3 NOT NULL, \"Day\" INTEGER NOT NULL, "
                                    "\"InCents\" BIGINT NOT NULL DEFAULT 0, "
                                    "\"InRows\" INTEGER NOT NULL DEFAULT 0, "
                                    "\"InBankRows\" INTEGER NOT NULL DEFAULT 0, "
                                    "\"OutCents\" BIGINT NOT NULL DEFAULT 0, "
                                    "\"OutRows\" INTEGER NOT NULL DEFAULT 0, "
                                    "\"OutBankRows\" INTEGER NOT NULL DEFAULT 0, "
                                    "PRIMARY KEY (\"UserName\", \"Day\"))%4")
                         .arg(strTemp, CKeptSchema::DayTable, d.TextType(), strNoRowid),
                     QStringLiteral("CREATE %1TABLE IF NOT EXISTS %2 ("
                                    "\"UserName\" %3 NOT NULL, \"Kind\" INTEGER NOT NULL, "
                                    "\"Month\" INTEGER NOT NULL, \"Sort\" %3 NOT NULL, "
                                    "\"Cents\" BIGINT NOT NULL DEFAULT 0, "
                                    "\"Rows\" INTEGER NOT NULL DEFAULT 0, "
                                    "PRIMARY KEY (\"UserName\", \"Kind\", \"Month\", \"Sort\"))%4")
                         .arg(strTemp, CKeptSchema::MonthTable, d.TextType(), strNoRowid),
                     QStringLiteral("CREATE %1TABLE IF NOT EXISTS %2 ("
                                    "\"UserName\" %3 NOT NULL, \"Month\" INTEGER NOT NULL, %5, "
                                    "PRIMARY KEY (\"UserName\", \"Month\"))%4")
                         .arg(strTemp, CKeptSchema::MonthSumTable, d.TextType(), strNoRowid,
                              QLatin1String(kPeriodSumColumns)),
                     QStringLiteral("CREATE %1TABLE IF NOT EXISTS %2 ("
                                    "\"UserName\" %3 NOT NULL, \"Kind\" INTEGER NOT NULL, "
                                    "\"Sort\" %3 NOT NULL, \"Cents\" BIGINT NOT NULL DEFAULT 0, "
                                    "\"Rows\" INTEGER NOT NULL DEFAULT 0, "
                                    "PRIMARY KEY (\"UserName\", \"Kind\", \"Sort\"))%4")
                         .arg(strTemp, CKeptSchema::SortTable, d.TextType(), strNoRowid)};
    // The years an SQLite book keeps too (see ckeptschema.h for why PostgreSQL does not).
    if (d.IsSQLite())
        list << QStringLiteral("CREATE %1TABLE IF NOT EXISTS %2 ("
                               "\"UserName\" %3 NOT NULL, \"Year\" INTEGER NOT NULL, %5, "
                               "PRIMARY KEY (\"UserName\", \"Year\"))%4")
                    .arg(strTemp, CKeptSchema::YearSumTable, d.TextType(), strNoRowid,
                         QLatin1String(kPeriodSumColumns));
    return list;
}

// The sums kept from other kept tables, built from them in one pass each: the month sums
// from the day totals, the sums per category over every date from the month-by-category
// totals. Their triggers (CKeptTriggers) keep them from then on.
QStringList RollupBuildStatements() {
    return {QStringLiteral(
                "INSERT INTO \"MonthTotals\" (\"UserName\", \"Month\", \"InCents\", \"InRows\", "
                "\"InBankRows\", \"InDays\", \"OutCents\", \"OutRows\", \"OutBankRows\", "
                "\"OutDays\") SELECT s.\"UserName\", s.\"Day\" / 100, SUM(s.\"InCents\"), "
                "SUM(s.\"InRows\"), SUM(s.\"InBankRows\"), "
                "SUM((CASE WHEN s.\"InRows\" > 0 THEN 1 ELSE 0 END)), SUM(s.\"OutCents\"), "
                "SUM(s.\"OutRows\"), SUM(s.\"OutBankRows\"), "
                "SUM((CASE WHEN s.\"OutRows\" > 0 THEN 1 ELSE 0 END)) FROM \"DayTotals\" AS s "
                "GROUP BY s.\"UserName\", s.\"Day\" / 100"),
            QStringLiteral("INSERT INTO \"SortTotals\" (\"UserName\", \"Kind\", \"Sort\", "
                           "\"Cents\", \"Rows\") SELECT s.\"UserName\", s.\"Kind\", s.\"Sort\", "
                           "SUM(s.\"Cents\"), SUM(s.\"Rows\") FROM \"MonthSortTotals\" AS s "
                           "GROUP BY s.\"UserName\", s.\"Kind\", s.\"Sort\"")};
}

// SQLite: the year sums made again from the month sums (after them, when all are built).
void BuildYears(QSqlQuery& query) {
    Exec(query, QStringLiteral("DELETE FROM %1").arg(CKeptSchema::YearSumTable));
    Exec(query,
         QStringLiteral(
             "INSERT INTO \"YearTotals\" (\"UserName\", \"Year\", \"InCents\", \"InRows\", "
             "\"InBankRows\", \"InDays\", \"OutCents\", \"OutRows\", \"OutBankRows\", "
             "\"OutDays\") SELECT s.\"UserName\", s.\"Month\" / 100, SUM(s.\"InCents\"), "
             "SUM(s.\"InRows\"), SUM(s.\"InBankRows\"), SUM(s.\"InDays\"), SUM(s.\"OutCents\"), "
             "SUM(s.\"OutRows\"), SUM(s.\"OutBankRows\"), SUM(s.\"OutDays\") "
             "FROM \"MonthTotals\" AS s GROUP BY s.\"UserName\", s.\"Month\" / 100"));
}

} // namespace

// The record rows as (u, k, kind, s, ic, ir, ib, oc, orows, ob): user, day key, table,
// category, then cents, rows and rows naming an account of income and of outlay. bSince:
// only the rows whose 编号 is above two bound values (income's, then outlay's).
QString CKeptSchema::RowsSql(const CSqlDialect& d, bool bSince) {
    // SQLite: the rows are first summed per user, first ten characters of "Date", table and
    // category, and the day key (the costly part) is computed once per such group; the key
    // reads nothing but those ten characters, so the result is the same.
    const bool bGroupFirst = d.IsSQLite();
    const QString strDay = bGroupFirst ? QStringLiteral("substr(\"Date\", 1, 10)")
                                       : CKeptSchema::DayKeySql(d, QStringLiteral("\"Date\""));
    QStringList rows;
    for (const STable& t : Tables) {
        const bool bIn = t.strKind == QLatin1String("0");
        const QString strCents = CKeptSchema::CentsSql(d, QStringLiteral("\"Amount\""));
        const QString strBank = BankFlag(QStringLiteral("\"Bank\""));
        // The new rows are a range of the key: SQLite would otherwise rather read the whole
        // table through its covering index, for the order the grouping wants.
        const QString strFrom =
            QStringLiteral("\"%1\"").arg(t.strName) +
            (bSince && d.IsSQLite() ? QStringLiteral(" NOT INDEXED") : QString());
        rows << QStringLiteral("SELECT \"UserName\" AS u, %1 AS k, %2 AS kind, "
                               "COALESCE(\"Sort\", '') AS s, %3 AS ic, %4 AS ir, %5 AS ib, "
                               "%6 AS oc, %7 AS orows, %8 AS ob FROM %9 "
                               "WHERE \"UserName\" IS NOT NULL")
                        .arg(strDay, t.strKind, bIn ? strCents : QStringLiteral("0"),
                             bIn ? QStringLiteral("1") : QStringLiteral("0"),
                             bIn ? strBank : QStringLiteral("0"),
                             bIn ? QStringLiteral("0") : strCents,
                             bIn ? QStringLiteral("0") : QStringLiteral("1"),
                             bIn ? QStringLiteral("0") : strBank, strFrom) +
                    (bSince ? QStringLiteral(" AND \"编号\" > ?") : QString());
    }
    // Groups are keyed with the user last: it is mostly one name, and comparing it first
    // would make every comparison of the sort read it whole.
    QString strRows = QStringLiteral("(%1)").arg(rows.join(QStringLiteral(" UNION ALL ")));
    if (bGroupFirst)
        strRows = QStringLiteral("(SELECT u, %1 AS k, kind, s, SUM(ic) AS ic, SUM(ir) AS ir, "
                                 "SUM(ib) AS ib, SUM(oc) AS oc, SUM(orows) AS orows, "
                                 "SUM(ob) AS ob FROM %2 AS g GROUP BY g.k, g.s, g.kind, g.u)")
                      .arg(CKeptSchema::DayKeySql(d, QStringLiteral("g.k")), strRows);
    return strRows;
}

// The two statements filling "DayTotals" and "MonthSortTotals" from strRows (a subquery or
// a table, aliased r); bAdd: added to the totals already there.
QStringList CKeptSchema::TotalsStatements(const QString& strRows, bool bAdd) {
    QString strDayAdd, strMonthAdd;
    if (bAdd) {
        strDayAdd = QStringLiteral(
            " ON CONFLICT (\"UserName\", \"Day\") DO UPDATE SET "
            "\"InCents\" = \"InCents\" + excluded.\"InCents\", \"InRows\" = \"InRows\" + "
            "excluded.\"InRows\", \"InBankRows\" = \"InBankRows\" + excluded.\"InBankRows\", "
            "\"OutCents\" = \"OutCents\" + excluded.\"OutCents\", \"OutRows\" = \"OutRows\" + "
            "excluded.\"OutRows\", \"OutBankRows\" = \"OutBankRows\" + excluded.\"OutBankRows\"");
        strMonthAdd = QStringLiteral(
            " ON CONFLICT (\"UserName\", \"Kind\", \"Month\", \"Sort\") DO UPDATE SET "
            "\"Cents\" = \"Cents\" + excluded.\"Cents\", \"Rows\" = \"Rows\" + excluded.\"Rows\"");
    }
    return {
        QStringLiteral("INSERT INTO %1 (\"UserName\", \"Day\", \"InCents\", \"InRows\", "
                       "\"InBankRows\", \"OutCents\", \"OutRows\", \"OutBankRows\") "
                       "SELECT u, k, SUM(ic), SUM(ir), SUM(ib), SUM(oc), SUM(orows), SUM(ob) "
                       "FROM %2 WHERE k IS NOT NULL GROUP BY k, u%3")
            .arg(CKeptSchema::DayTable, strRows, strDayAdd),
        QStringLiteral("INSERT INTO %1 (\"UserName\", \"Kind\", \"Month\", \"Sort\", \"Cents\", "
                       "\"Rows\") SELECT u, kind, k / 100, s, SUM(ic + oc), SUM(ir + orows) "
                       "FROM %2 WHERE k IS NOT NULL GROUP BY k / 100, s, kind, u%3")
            .arg(CKeptSchema::MonthTable, strRows, strMonthAdd)};
}

// One pass over both record tables per kept table; bSince: the new rows only, added to the
// totals already there.
QStringList CKeptSchema::BuildStatements(const CSqlDialect& d, bool bSince) {
    return TotalsStatements(RowsSql(d, bSince) + QStringLiteral(" AS r"), bSince);
}

namespace {

// How many of the kept tables an SQLite book holds, as an SQL expression: this version's
// (bYears), or those the version before kept, all but the year sums.
QString CountSqliteTables(bool bYears) {
    return QStringLiteral("(SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                          "('DayTotals', 'MonthSortTotals', 'MonthTotals', 'SortTotals'%1))")
        .arg(bYears ? QStringLiteral(", 'YearTotals'") : QString());
}

} // namespace

QString CKeptSchema::SqliteTableCount() {
    return CountSqliteTables(true);
}

namespace {

// The kept tables and this version's triggers are all there.
bool Present(QSqlQuery& query, const CSqlDialect& d) {
    if (d.IsSQLite()) {
        Exec(query, QStringLiteral("SELECT %1, (SELECT COUNT(*) FROM sqlite_master WHERE "
                                   "type = 'trigger' AND name LIKE '%2%')")
                        .arg(CKeptSchema::SqliteTableCount(), CKeptTriggers::SqlitePrefix()));
        return query.next() && query.value(0).toInt() == CKeptSchema::SqliteTables &&
               query.value(1).toInt() == CKeptTriggers::Sqlite().size();
    }
    // The functions too: the queries call some of them, and the triggers' functions may be
    // dropped apart from the triggers. Looked up in the book's schema, where they were made.
    Exec(query, QStringLiteral("SELECT to_regclass('\"DayTotals\"') IS NOT NULL AND "
                               "to_regclass('\"MonthSortTotals\"') IS NOT NULL AND "
                               "to_regclass('\"MonthTotals\"') IS NOT NULL AND "
                               "to_regclass('\"SortTotals\"') IS NOT NULL, "
                               "(SELECT COUNT(*) FROM pg_trigger WHERE tgname LIKE '%1%' AND "
                               "tgrelid IN (%2)), "
                               "(SELECT COUNT(*) FROM pg_proc WHERE proname LIKE 'ledgerkin\\_%' "
                               "AND pronamespace = (SELECT oid FROM pg_namespace WHERE nspname = "
                               "current_schema()))")
                    .arg(CKeptTriggers::PostgresPrefix(), CKeptTriggers::PostgresTriggerTables()));
    return query.next() && query.value(0).toBool() &&
           query.value(1).toInt() == CKeptTriggers::Postgres().size() &&
           query.value(2).toLongLong() == CKeptTriggers::PostgresFunctions().size();
}

// SQLite: the book holds the totals and triggers of the version before this one, which kept
// everything but the years.
bool KeptAllButYears(QSqlQuery& query) {
    Exec(query, QStringLiteral("SELECT %1, (SELECT COUNT(*) FROM sqlite_master WHERE type = "
                               "'trigger' AND name LIKE '%2%')")
                    .arg(CountSqliteTables(false), CKeptTriggers::PreviousSqlitePrefix()));
    return query.next() && query.value(0).toInt() == CKeptSchema::SqliteTables - 1 &&
           query.value(1).toInt() == CKeptTriggers::PreviousSqliteCount;
}

// PostgreSQL: true when this connection's role may write the records. Such a role must not
// fall back to totals of its own when it may not make the kept ones: its writes would leave
// the book's totals wrong.
bool MayWriteRecords(QSqlQuery& query) {
    return query.exec(QStringLiteral("SELECT has_table_privilege(%1, 'INSERT') OR "
                                     "has_table_privilege(%1, 'UPDATE') OR "
                                     "has_table_privilege(%1, 'DELETE')")
                          .arg(QStringLiteral("'%1'").arg(CSchema::Income))) &&
           query.next() && query.value(0).toBool();
}

void DropOldTriggers(QSqlQuery& query, const CSqlDialect& d) {
    QStringList drops;
    if (d.IsSQLite()) {
        Exec(query, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' "
                                   "AND name LIKE '%1%'")
                        .arg(CKeptTriggers::AnyPrefix()));
        while (query.next())
            drops << QStringLiteral("DROP TRIGGER \"%1\"").arg(query.value(0).toString());
    } else {
        Exec(query, QStringLiteral("SELECT tgname, relname FROM pg_trigger JOIN pg_class ON "
                                   "pg_class.oid = tgrelid WHERE tgname LIKE '%1%' AND "
                                   "tgrelid IN (%2)")
                        .arg(CKeptTriggers::AnyPrefix(), CKeptTriggers::PostgresTriggerTables()));
        while (query.next())
            drops << QStringLiteral("DROP TRIGGER \"%1\" ON \"%2\"")
                         .arg(query.value(0).toString(), query.value(1).toString());
    }
    for (const QString& strSql : drops)
        Exec(query, strSql);
}

qint64 RowEstimate(QSqlQuery& query) {
    // The largest key of each table: read off the key's index, unlike a count.
    if (!query.exec(QStringLiteral("SELECT (SELECT MAX(\"编号\") FROM %1), "
                                   "(SELECT MAX(\"编号\") FROM %2)")
                        .arg(CSchema::Income, CSchema::Outlay)) ||
        !query.next())
        return 0;
    return query.value(0).toLongLong() + query.value(1).toLongLong();
}

void Build(QSqlQuery& query, const CSqlDialect& d) {
    const qint64 nRows = RowEstimate(query);
    if (BuildHook())
        BuildHook()(true, nRows);
    try {
        Exec(query, QStringLiteral("DELETE FROM %1").arg(CKeptSchema::DayTable));
        Exec(query, QStringLiteral("DELETE FROM %1").arg(CKeptSchema::MonthTable));
        Exec(query, QStringLiteral("DELETE FROM %1").arg(CKeptSchema::MonthSumTable));
        Exec(query, QStringLiteral("DELETE FROM %1").arg(CKeptSchema::SortTable));
        for (const QString& strSql : CKeptSchema::BuildStatements(d))
            Exec(query, strSql);
        for (const QString& strSql : RollupBuildStatements())
            Exec(query, strSql);
        if (d.IsSQLite())
            BuildYears(query);
    } catch (...) {
        if (BuildHook())
            BuildHook()(false, nRows);
        throw;
    }
    if (BuildHook())
        BuildHook()(false, nRows);
}

// Totals for this connection only, when the book cannot be written: nothing writes the
// records through this connection either, so they need no triggers.
void BuildTemporary(QSqlDatabase db, const CSqlDialect& d) {
    QSqlQuery query(db);
    for (const QString& strSql : CreateTables(d, true))
        Exec(query, strSql);
    Build(query, d);
}

} // namespace

void CKeptSchema::SetBuildHook(FBuildHook hook) {
    BuildHook() = std::move(hook);
}

QString CKeptSchema::DayKeySql(const CSqlDialect& d, const QString& strCol) {
    if (!d.IsSQLite())
        return QStringLiteral("(CASE WHEN %1 IS NULL THEN 0 ELSE ledgerkin_day_key(%1) END)")
            .arg(strCol);
    // A day moved by '+0 days' comes back as itself only when it is a real day (30 February
    // would come back as 1 March); date() alone keeps it.
    return QStringLiteral("(CASE WHEN %1 IS NULL THEN 0 WHEN date(substr(%1, 1, 10), '+0 days') = "
                          "substr(%1, 1, 10) AND substr(%1, 1, 4) <> '0000' THEN "
                          "CAST(replace(substr(%1, 1, 10), '-', '') AS INTEGER) END)")
        .arg(strCol);
}

QString CKeptSchema::CentsSql(const CSqlDialect& d, const QString& strCol) {
    if (!d.IsSQLite())
        return QStringLiteral("ledgerkin_cents(%1)").arg(strCol);
    // ROUND goes half away from zero, as llround does.
    return QStringLiteral("CAST(ROUND(COALESCE(%1, 0) * 100.0) AS INTEGER)").arg(strCol);
}

QString CKeptSchema::OddDateCondition(const CSqlDialect& d, const QString& strColumn) {
    return DayKeySql(d, QStringLiteral("\"%1\"").arg(strColumn)) + QStringLiteral(" IS NULL");
}

QStringList CKeptSchema::OddDateIndexStatements(const CSqlDialect& d) {
    if (!d.IsSQLite())
        return {};
    QStringList list;
    for (const auto& [szTable, szColumn] :
         {std::pair{"Income", "Date"}, std::pair{"Outlay", "Date"}, std::pair{"Trs", "TrsDate"}})
        list << QStringLiteral("CREATE INDEX IF NOT EXISTS \"IX_%1_User_OddDate\" ON \"%1\" "
                               "(\"UserName\", \"%2\") WHERE %3")
                    .arg(QLatin1String(szTable), QLatin1String(szColumn),
                         OddDateCondition(d, QLatin1String(szColumn)));
    return list;
}

void CKeptSchema::EnsureIndexes(QSqlDatabase db, const CSqlDialect& d) {
    QSqlQuery query(db);
    for (const QString& strSql : OddDateIndexStatements(d))
        query.exec(strSql);
}

void CKeptSchema::Ensure(QSqlDatabase db, const CSqlDialect& d) {
    QSqlQuery query(db);
    if (Present(query, d))
        return;
    // SQLite: the write lock at once; another copy building now makes this wait, then the
    // second look below finds the totals built. PostgreSQL: the lock keeps writers of the
    // records (and a second builder) out until the triggers and the totals are committed.
    const QString strBegin =
        d.IsSQLite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
    bool bBegun = false;
    for (int nTry = 0; !bBegun; ++nTry) {
        bBegun = query.exec(strBegin);
        if (!bBegun) {
            const QSqlError error = query.lastError();
            if (IsReadOnlyError(error, d)) {
                BuildTemporary(db, d);
                return;
            }
            // The busy timeout ran out while another copy builds a large book: wait more.
            if (nTry >= 5)
                throw CDBException(ErrorText(query, error));
        }
    }
    try {
        if (!d.IsSQLite())
            Exec(query, QStringLiteral("LOCK TABLE %1, %2 IN SHARE ROW EXCLUSIVE MODE")
                            .arg(CSchema::Income, CSchema::Outlay));
        if (!Present(query, d)) {
            const bool bYearsOnly = d.IsSQLite() && KeptAllButYears(query);
            DropOldTriggers(query, d);
            for (const QString& strSql : CreateTables(d, false))
                Exec(query, strSql);
            if (!d.IsSQLite())
                for (const QString& strSql : CKeptTriggers::PostgresFunctions())
                    Exec(query, strSql);
            // Built first, then kept by the triggers made after it. A book the previous
            // version kept gets its years from its months, in a moment; its other totals stay.
            if (bYearsOnly)
                BuildYears(query);
            else
                Build(query, d);
            for (const QString& strSql :
                 d.IsSQLite() ? CKeptTriggers::Sqlite() : CKeptTriggers::Postgres())
                Exec(query, strSql);
        }
        Exec(query, QStringLiteral("COMMIT"));
    } catch (const CDBException& e) {
        const QSqlError error = query.lastError();
        query.exec(QStringLiteral("ROLLBACK"));
        if (IsReadOnlyError(error, d)) {
            if (!d.IsSQLite() && MayWriteRecords(query))
                throw CDBException(
                    CSchema::CreateRefusedText(
                        db, QCoreApplication::translate("CKeptTotals", "汇总表及其函数和触发器"),
                        QCoreApplication::translate("CKeptTotals",
                                                    "只有账本各表的所有者才能建立它们")) +
                    QStringLiteral("（%1）").arg(error.text().trimmed()));
            BuildTemporary(db, d);
            return;
        }
        throw;
    }
}
