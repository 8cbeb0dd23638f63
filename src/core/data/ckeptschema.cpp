#include "ckeptschema.h"

#include "cdberrortext.h"
#include "cdbexception.h"
#include "cschema.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <iterator>
#include <utility>

const QString CKeptSchema::DayTable = QStringLiteral("\"DayTotals\"");
const QString CKeptSchema::MonthTable = QStringLiteral("\"MonthSortTotals\"");
const QString CKeptSchema::MonthSumTable = QStringLiteral("\"MonthTotals\"");
const QString CKeptSchema::SortTable = QStringLiteral("\"SortTotals\"");

namespace {

// Part of every trigger's name: when the way totals are kept changes, the number changes,
// and a book opened by this version drops the old triggers and builds its totals again.
const QString TriggerPrefix = QStringLiteral("kept_totals_5_");
// Every version's triggers start with this, so older ones can be found and dropped.
const QString AnyTriggerPrefix = QStringLiteral("kept_totals_");

CKeptSchema::FBuildHook& BuildHook() {
    static CKeptSchema::FBuildHook s_hook;
    return s_hook;
}

struct STable {
    QString strName;   // unquoted
    QString strKind;   // "0" income, "1" outlay
    QString strPrefix; // column prefix in "DayTotals"
};

const STable Tables[] = {{QStringLiteral("Income"), QStringLiteral("0"), QStringLiteral("In")},
                         {QStringLiteral("Outlay"), QStringLiteral("1"), QStringLiteral("Out")}};

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

QStringList CreateTables(const CSqlDialect& d, bool bTemp) {
    const QString strTemp = bTemp ? QStringLiteral("TEMP ") : QString();
    const QString strNoRowid = d.IsSQLite() ? QStringLiteral(" WITHOUT ROWID") : QString();
    return {QStringLiteral("CREATE %1TABLE IF NOT EXISTS %2 ("
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
                           "\"UserName\" %3 NOT NULL, \"Month\" INTEGER NOT NULL, "
                           "\"InCents\" BIGINT NOT NULL DEFAULT 0, "
                           "\"InRows\" INTEGER NOT NULL DEFAULT 0, "
                           "\"InBankRows\" INTEGER NOT NULL DEFAULT 0, "
                           "\"InDays\" INTEGER NOT NULL DEFAULT 0, "
                           "\"OutCents\" BIGINT NOT NULL DEFAULT 0, "
                           "\"OutRows\" INTEGER NOT NULL DEFAULT 0, "
                           "\"OutBankRows\" INTEGER NOT NULL DEFAULT 0, "
                           "\"OutDays\" INTEGER NOT NULL DEFAULT 0, "
                           "PRIMARY KEY (\"UserName\", \"Month\"))%4")
                .arg(strTemp, CKeptSchema::MonthSumTable, d.TextType(), strNoRowid),
            QStringLiteral("CREATE %1TABLE IF NOT EXISTS %2 ("
                           "\"UserName\" %3 NOT NULL, \"Kind\" INTEGER NOT NULL, "
                           "\"Sort\" %3 NOT NULL, \"Cents\" BIGINT NOT NULL DEFAULT 0, "
                           "\"Rows\" INTEGER NOT NULL DEFAULT 0, "
                           "PRIMARY KEY (\"UserName\", \"Kind\", \"Sort\"))%4")
                .arg(strTemp, CKeptSchema::SortTable, d.TextType(), strNoRowid)};
}

// ---- sums kept from other kept tables by triggers on those: the month sums from the day
// totals, the sums per category over every date from the month-by-category totals

// A kept table (target) summing the rows of another (source) by some of their keys. Key and
// value expressions read a source row through "%1" (NEW, OLD or a table alias).
struct SRollup {
    QString strTarget, strSource; // unquoted
    QStringList keys, keyValues;  // target key columns, and what a source row gives them
    QStringList columns, values;  // target sum columns, and what a source row adds to them
    QString strEmpty;             // a target row that sums no rows any more
    QString strFunction;          // PostgreSQL's trigger function
};

QString Quoted(const QString& strName) {
    return QStringLiteral("\"%1\"").arg(strName);
}

QStringList Over(const QStringList& exprs, const QString& strRow) {
    QStringList list;
    for (const QString& strExpr : exprs)
        list << strExpr.arg(strRow);
    return list;
}

// "UPDATE" moving each sum by strAdd's values minus strTake's (either may be empty), on the
// target row of strKeyRow's keys.
QString RollupMove(const SRollup& r, const QString& strAdd, const QString& strTake,
                   const QString& strKeyRow) {
    QStringList sets, where;
    for (int i = 0; i < r.columns.size(); ++i) {
        QString strValue = Quoted(r.columns[i]);
        if (!strAdd.isEmpty())
            strValue += QStringLiteral(" + ") + r.values[i].arg(strAdd);
        if (!strTake.isEmpty())
            strValue += QStringLiteral(" - ") + r.values[i].arg(strTake);
        sets << QStringLiteral("%1 = %2").arg(Quoted(r.columns[i]), strValue);
    }
    for (int i = 0; i < r.keys.size(); ++i)
        where << QStringLiteral("%1 = %2").arg(Quoted(r.keys[i]), r.keyValues[i].arg(strKeyRow));
    return QStringLiteral("UPDATE %1 SET %2 WHERE %3; ")
        .arg(Quoted(r.strTarget), sets.join(QStringLiteral(", ")),
             where.join(QStringLiteral(" AND ")));
}

// Adds the source row NEW, making the target row when it is the first.
QString RollupAdd(const SRollup& r) {
    QStringList cols, sets;
    for (const QString& strKey : r.keys)
        cols << Quoted(strKey);
    for (const QString& strCol : r.columns) {
        cols << Quoted(strCol);
        sets << QStringLiteral("%1 = %2.%1 + excluded.%1").arg(Quoted(strCol), Quoted(r.strTarget));
    }
    QStringList keys;
    for (const QString& strKey : r.keys)
        keys << Quoted(strKey);
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (%4) DO UPDATE SET %5; ")
        .arg(Quoted(r.strTarget), cols.join(QStringLiteral(", ")),
             (Over(r.keyValues, QStringLiteral("NEW")) + Over(r.values, QStringLiteral("NEW")))
                 .join(QStringLiteral(", ")),
             keys.join(QStringLiteral(", ")), sets.join(QStringLiteral(", ")));
}

// The target from the source rows already there, in one pass (the first build).
QString RollupBuild(const SRollup& r) {
    QStringList cols, sums;
    for (const QString& strKey : r.keys)
        cols << Quoted(strKey);
    for (int i = 0; i < r.columns.size(); ++i) {
        cols << Quoted(r.columns[i]);
        sums << QStringLiteral("SUM(%1)").arg(r.values[i].arg(QStringLiteral("s")));
    }
    const QStringList keys = Over(r.keyValues, QStringLiteral("s"));
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 AS s GROUP BY %5")
        .arg(Quoted(r.strTarget), cols.join(QStringLiteral(", ")),
             (keys + sums).join(QStringLiteral(", ")), Quoted(r.strSource),
             keys.join(QStringLiteral(", ")));
}

// A source row keeps its target row on every update the record triggers make; the second
// update trigger is for anything else that re-keys a source row.
QString SameTarget(const SRollup& r) {
    QStringList same;
    for (const QString& strValue : r.keyValues)
        same << QStringLiteral("%1 = %2").arg(strValue.arg(QStringLiteral("OLD")),
                                              strValue.arg(QStringLiteral("NEW")));
    return same.join(QStringLiteral(" AND "));
}

QStringList SqliteRollupTriggers(const SRollup& r) {
    const QString strName = TriggerPrefix + r.strSource;
    const QString strTakeOld =
        RollupMove(r, QString(), QStringLiteral("OLD"), QStringLiteral("OLD"));
    return {QStringLiteral("CREATE TRIGGER \"%1_ins\" AFTER INSERT ON \"%2\" BEGIN %3END")
                .arg(strName, r.strSource, RollupAdd(r)),
            QStringLiteral("CREATE TRIGGER \"%1_del\" AFTER DELETE ON \"%2\" BEGIN %3END")
                .arg(strName, r.strSource, strTakeOld),
            QStringLiteral("CREATE TRIGGER \"%1_upd\" AFTER UPDATE ON \"%2\" WHEN %3 BEGIN %4END")
                .arg(strName, r.strSource, SameTarget(r),
                     RollupMove(r, QStringLiteral("NEW"), QStringLiteral("OLD"),
                                QStringLiteral("NEW"))),
            QStringLiteral("CREATE TRIGGER \"%1_move\" AFTER UPDATE ON \"%2\" WHEN NOT (%3) "
                           "BEGIN %4%5END")
                .arg(strName, r.strSource, SameTarget(r), strTakeOld, RollupAdd(r))};
}

QStringList PostgresRollupTrigger(const SRollup& r) {
    QStringList where;
    for (int i = 0; i < r.keys.size(); ++i)
        where << QStringLiteral("%1 = %2").arg(Quoted(r.keys[i]),
                                               r.keyValues[i].arg(QStringLiteral("OLD")));
    const QString strEmpty =
        QStringLiteral("DELETE FROM %1 WHERE %2 AND %3; ")
            .arg(Quoted(r.strTarget), where.join(QStringLiteral(" AND ")), r.strEmpty);
    return {
        QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger "
                       "LANGUAGE plpgsql SET search_path FROM CURRENT AS $f$ "
                       "BEGIN "
                       "IF TG_OP = 'UPDATE' AND %2 THEN %3"
                       "ELSE "
                       "  IF TG_OP <> 'INSERT' THEN %4END IF; "
                       "  IF TG_OP <> 'DELETE' THEN %5END IF; "
                       "END IF; "
                       "IF TG_OP <> 'INSERT' THEN %6END IF; "
                       "RETURN NULL; "
                       "END $f$")
            .arg(r.strFunction, SameTarget(r),
                 RollupMove(r, QStringLiteral("NEW"), QStringLiteral("OLD"), QStringLiteral("NEW")),
                 RollupMove(r, QString(), QStringLiteral("OLD"), QStringLiteral("OLD")),
                 RollupAdd(r), strEmpty),
        QStringLiteral("CREATE TRIGGER \"%1%2_row\" AFTER INSERT OR DELETE OR UPDATE ON "
                       "\"%2\" FOR EACH ROW EXECUTE FUNCTION %3()")
            .arg(TriggerPrefix, r.strSource, r.strFunction)};
}

// A day row gives its month its sums, and a day for each table it has rows of.
const SRollup& MonthRollup() {
    static const SRollup s_rollup = [] {
        SRollup r;
        r.strTarget = QStringLiteral("MonthTotals");
        r.strSource = QStringLiteral("DayTotals");
        r.keys = QStringList{QStringLiteral("UserName"), QStringLiteral("Month")};
        r.keyValues =
            QStringList{QStringLiteral("%1.\"UserName\""), QStringLiteral("%1.\"Day\" / 100")};
        for (const char* szSide : {"In", "Out"}) {
            const QString strSide = QLatin1String(szSide);
            for (const char* szCol : {"Cents", "Rows", "BankRows"}) {
                r.columns << strSide + QLatin1String(szCol);
                r.values << QStringLiteral("%1.\"") + strSide + QLatin1String(szCol) +
                                QStringLiteral("\"");
            }
            r.columns << strSide + QStringLiteral("Days");
            r.values << QStringLiteral("(CASE WHEN %1.\"") + strSide +
                            QStringLiteral("Rows\" > 0 THEN 1 ELSE 0 END)");
        }
        r.strEmpty = QStringLiteral("\"InRows\" <= 0 AND \"OutRows\" <= 0");
        r.strFunction = QStringLiteral("ledgerkin_kept_month");
        return r;
    }();
    return s_rollup;
}

// A month's category row gives the category its sums over every date.
const SRollup& SortRollup() {
    static const SRollup s_rollup = [] {
        SRollup r;
        r.strTarget = QStringLiteral("SortTotals");
        r.strSource = QStringLiteral("MonthSortTotals");
        r.keys =
            QStringList{QStringLiteral("UserName"), QStringLiteral("Kind"), QStringLiteral("Sort")};
        r.keyValues = QStringList{QStringLiteral("%1.\"UserName\""), QStringLiteral("%1.\"Kind\""),
                                  QStringLiteral("%1.\"Sort\"")};
        r.columns = QStringList{QStringLiteral("Cents"), QStringLiteral("Rows")};
        r.values = QStringList{QStringLiteral("%1.\"Cents\""), QStringLiteral("%1.\"Rows\"")};
        r.strEmpty = QStringLiteral("\"Rows\" <= 0");
        r.strFunction = QStringLiteral("ledgerkin_kept_sort");
        return r;
    }();
    return s_rollup;
}

const SRollup* const Rollups[] = {&MonthRollup(), &SortRollup()};

// The record rows as (u, k, kind, s, ic, ir, ib, oc, orows, ob): user, day key, table,
// category, then cents, rows and rows naming an account of income and of outlay. bSince:
// only the rows whose 编号 is above two bound values (income's, then outlay's).
} // namespace

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

// ---- SQLite: three triggers per record table

// Trigger bodies are compiled into every statement that fires them, so they are kept short:
// each value is computed once, and rows whose counts reach zero stay (readers skip them).
QString SqliteValues(const QString& strRow) {
    const CSqlDialect d(CSqlDialect::SQLite);
    return QStringLiteral("(SELECT %1 AS k, %2 AS c, %3 AS b)")
        .arg(CKeptSchema::DayKeySql(d, strRow + QStringLiteral(".\"Date\"")),
             CKeptSchema::CentsSql(d, strRow + QStringLiteral(".\"Amount\"")),
             BankFlag(strRow + QStringLiteral(".\"Bank\"")));
}

QString SqliteTakeAway(const STable& t) {
    return QStringLiteral(
               "UPDATE \"DayTotals\" SET (\"%1Cents\", \"%1Rows\", \"%1BankRows\") = "
               "(SELECT \"%1Cents\" - c, \"%1Rows\" - 1, \"%1BankRows\" - b FROM %2) "
               "WHERE \"UserName\" = OLD.\"UserName\" AND \"Day\" = (SELECT k FROM %2); "
               "UPDATE \"MonthSortTotals\" SET (\"Cents\", \"Rows\") = "
               "(SELECT \"Cents\" - c, \"Rows\" - 1 FROM %2) "
               "WHERE \"UserName\" = OLD.\"UserName\" AND \"Kind\" = %3 AND "
               "\"Month\" = (SELECT k / 100 FROM %2) AND \"Sort\" = COALESCE(OLD.\"Sort\", ''); ")
        .arg(t.strPrefix, SqliteValues(QStringLiteral("OLD")), t.strKind);
}

QString SqliteAdd(const STable& t) {
    return QStringLiteral(
               "INSERT INTO \"DayTotals\" (\"UserName\", \"Day\", \"%1Cents\", \"%1Rows\", "
               "\"%1BankRows\") SELECT NEW.\"UserName\", k, c, 1, b FROM %2 "
               "WHERE k IS NOT NULL AND NEW.\"UserName\" IS NOT NULL "
               "ON CONFLICT (\"UserName\", \"Day\") DO UPDATE SET "
               "\"%1Cents\" = \"%1Cents\" + excluded.\"%1Cents\", \"%1Rows\" = \"%1Rows\" + 1, "
               "\"%1BankRows\" = \"%1BankRows\" + excluded.\"%1BankRows\"; "
               "INSERT INTO \"MonthSortTotals\" (\"UserName\", \"Kind\", \"Month\", \"Sort\", "
               "\"Cents\", \"Rows\") SELECT NEW.\"UserName\", %3, k / 100, "
               "COALESCE(NEW.\"Sort\", ''), c, 1 FROM %2 "
               "WHERE k IS NOT NULL AND NEW.\"UserName\" IS NOT NULL "
               "ON CONFLICT (\"UserName\", \"Kind\", \"Month\", \"Sort\") DO UPDATE SET "
               "\"Cents\" = \"Cents\" + excluded.\"Cents\", \"Rows\" = \"Rows\" + 1; ")
        .arg(t.strPrefix, SqliteValues(QStringLiteral("NEW")), t.strKind);
}

// A row that keeps its user, date and category (an amount or account corrected) moves only
// its cents and account count, by the difference, on the day and month-category rows it is in.
QString SqliteChange(const STable& t) {
    const CSqlDialect d(CSqlDialect::SQLite);
    const QString strDiff = QStringLiteral("(SELECT %1 AS k, %2 - %3 AS c, %4 - %5 AS b)")
                                .arg(CKeptSchema::DayKeySql(d, QStringLiteral("NEW.\"Date\"")),
                                     CKeptSchema::CentsSql(d, QStringLiteral("NEW.\"Amount\"")),
                                     CKeptSchema::CentsSql(d, QStringLiteral("OLD.\"Amount\"")),
                                     BankFlag(QStringLiteral("NEW.\"Bank\"")),
                                     BankFlag(QStringLiteral("OLD.\"Bank\"")));
    return QStringLiteral(
               "UPDATE \"DayTotals\" SET (\"%1Cents\", \"%1BankRows\") = "
               "(SELECT \"%1Cents\" + c, \"%1BankRows\" + b FROM %2) "
               "WHERE \"UserName\" = NEW.\"UserName\" AND \"Day\" = (SELECT k FROM %2); "
               "UPDATE \"MonthSortTotals\" SET \"Cents\" = \"Cents\" + (SELECT c FROM %2) "
               "WHERE \"UserName\" = NEW.\"UserName\" AND \"Kind\" = %3 AND "
               "\"Month\" = (SELECT k / 100 FROM %2) AND \"Sort\" = COALESCE(NEW.\"Sort\", ''); ")
        .arg(t.strPrefix, strDiff, t.strKind);
}

QStringList SqliteTriggers() {
    // The stored values, not only their meaning: the same key for certain.
    const QString strSameKey = QStringLiteral("OLD.\"UserName\" IS NEW.\"UserName\" AND "
                                              "OLD.\"Date\" IS NEW.\"Date\" AND "
                                              "OLD.\"Sort\" IS NEW.\"Sort\"");
    QStringList list;
    for (const STable& t : Tables) {
        const QString strName = TriggerPrefix + t.strName;
        list << QStringLiteral("CREATE TRIGGER \"%1_ins\" AFTER INSERT ON \"%2\" BEGIN %3END")
                    .arg(strName, t.strName, SqliteAdd(t));
        list << QStringLiteral("CREATE TRIGGER \"%1_del\" AFTER DELETE ON \"%2\" BEGIN %3END")
                    .arg(strName, t.strName, SqliteTakeAway(t));
        // A note changing moves no total.
        list << QStringLiteral("CREATE TRIGGER \"%1_upd\" AFTER UPDATE OF \"UserName\", \"Date\", "
                               "\"Sort\", \"Amount\", \"Bank\" ON \"%2\" WHEN %3 BEGIN %4END")
                    .arg(strName, t.strName, strSameKey, SqliteChange(t));
        list << QStringLiteral("CREATE TRIGGER \"%1_move\" AFTER UPDATE OF \"UserName\", "
                               "\"Date\", \"Sort\", \"Amount\", \"Bank\" ON \"%2\" WHEN NOT "
                               "(%3) BEGIN %4%5END")
                    .arg(strName, t.strName, strSameKey, SqliteTakeAway(t), SqliteAdd(t));
    }
    return list;
}

// ---- PostgreSQL: helper functions and one trigger function for both tables

QStringList PostgresFunctions() {
    QStringList list;
    // The day key of each type a "Date" column may have; PostgreSQL picks by the column's type.
    for (const char* type : {"timestamp", "date"}) {
        list << QStringLiteral(
                    "CREATE OR REPLACE FUNCTION ledgerkin_day_key(v %1) RETURNS integer "
                    "LANGUAGE sql IMMUTABLE AS $f$ SELECT CASE WHEN EXTRACT(YEAR FROM v) "
                    "BETWEEN 1 AND 9999 THEN CAST(EXTRACT(YEAR FROM v) * 10000 + "
                    "EXTRACT(MONTH FROM v) * 100 + EXTRACT(DAY FROM v) AS integer) END $f$")
                    .arg(QLatin1String(type));
    }
    list << QStringLiteral("CREATE OR REPLACE FUNCTION ledgerkin_day_key(v timestamptz) RETURNS "
                           "integer LANGUAGE sql STABLE AS $f$ SELECT ledgerkin_day_key(CAST(v AS "
                           "timestamp)) $f$");
    // A text column (a book made by another program): only text beginning with a real day.
    list << QStringLiteral(
        "CREATE OR REPLACE FUNCTION ledgerkin_day_key(v text) RETURNS integer LANGUAGE plpgsql "
        "IMMUTABLE AS $f$ BEGIN "
        "IF v IS NULL OR v !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}' OR substr(v, 1, 4) = '0000' THEN "
        "RETURN NULL; END IF; "
        "RETURN ledgerkin_day_key(make_date(substr(v, 1, 4)::int, substr(v, 6, 2)::int, "
        "substr(v, 9, 2)::int)); "
        "EXCEPTION WHEN others THEN RETURN NULL; END $f$");
    // Half away from zero, as CMoney::ToCents: whole part plus the sign when the rest is a half
    // or more (subtracting the whole part of a double is exact).
    list << QStringLiteral(
        "CREATE OR REPLACE FUNCTION ledgerkin_cents(v double precision) RETURNS bigint "
        "LANGUAGE sql IMMUTABLE AS $f$ SELECT CASE WHEN abs(COALESCE(v, 0) * 100) < 9.0e15 THEN "
        "CAST(trunc(COALESCE(v, 0) * 100) AS bigint) + CASE "
        "WHEN COALESCE(v, 0) * 100 - trunc(COALESCE(v, 0) * 100) >= 0.5 THEN 1 "
        "WHEN COALESCE(v, 0) * 100 - trunc(COALESCE(v, 0) * 100) <= -0.5 THEN -1 ELSE 0 END "
        "ELSE 0 END $f$");

    QString strBody;
    for (const STable& t : Tables) {
        const QString p = t.strPrefix;
        strBody +=
            QStringLiteral(
                "IF nKind = %1 THEN "
                "  IF nSign < 0 THEN "
                "    UPDATE \"DayTotals\" SET \"%2Cents\" = \"%2Cents\" - c, \"%2Rows\" = "
                "\"%2Rows\" - 1, "
                "      \"%2BankRows\" = \"%2BankRows\" - b WHERE \"UserName\" = u AND \"Day\" = k; "
                "  ELSE "
                "    INSERT INTO \"DayTotals\" (\"UserName\", \"Day\", \"%2Cents\", \"%2Rows\", "
                "\"%2BankRows\") "
                "    VALUES (u, k, c, 1, b) ON CONFLICT (\"UserName\", \"Day\") DO UPDATE SET "
                "      \"%2Cents\" = \"DayTotals\".\"%2Cents\" + c, \"%2Rows\" = "
                "\"DayTotals\".\"%2Rows\" + 1, "
                "      \"%2BankRows\" = \"DayTotals\".\"%2BankRows\" + b; "
                "  END IF; "
                "END IF; ")
                .arg(t.strKind, p);
    }
    // Applies one row (nSign -1: taken away, +1: added) to both kept tables.
    list << QStringLiteral(
                "CREATE OR REPLACE FUNCTION ledgerkin_kept_apply(nKind integer, nSign integer, "
                "u text, k integer, s text, c bigint, b integer) RETURNS void LANGUAGE plpgsql AS "
                "$f$ "
                "BEGIN "
                "IF u IS NULL OR k IS NULL THEN RETURN; END IF; "
                "s := COALESCE(s, ''); "
                "%1"
                "IF nSign < 0 THEN "
                "  DELETE FROM \"DayTotals\" WHERE \"UserName\" = u AND \"Day\" = k "
                "    AND \"InRows\" <= 0 AND \"OutRows\" <= 0; "
                "  UPDATE \"MonthSortTotals\" SET \"Cents\" = \"Cents\" - c, \"Rows\" = \"Rows\" - "
                "1 "
                "    WHERE \"UserName\" = u AND \"Kind\" = nKind AND \"Month\" = k / 100 AND "
                "\"Sort\" = s; "
                "  DELETE FROM \"MonthSortTotals\" WHERE \"UserName\" = u AND \"Kind\" = nKind "
                "    AND \"Month\" = k / 100 AND \"Sort\" = s AND \"Rows\" <= 0; "
                "ELSE "
                "  INSERT INTO \"MonthSortTotals\" (\"UserName\", \"Kind\", \"Month\", \"Sort\", "
                "\"Cents\", \"Rows\") "
                "    VALUES (u, nKind, k / 100, s, c, 1) "
                "    ON CONFLICT (\"UserName\", \"Kind\", \"Month\", \"Sort\") DO UPDATE SET "
                "    \"Cents\" = \"MonthSortTotals\".\"Cents\" + c, \"Rows\" = "
                "\"MonthSortTotals\".\"Rows\" + 1; "
                "END IF; "
                "END $f$")
                .arg(strBody);
    const auto apply = [](const QString& strRow, const QString& strSign) {
        return QStringLiteral("PERFORM ledgerkin_kept_apply(nKind, %2, %1.\"UserName\", "
                              "%4, %1.\"Sort\", "
                              "ledgerkin_cents(%1.\"Amount\"), %3); ")
            .arg(strRow, strSign, BankFlag(strRow + QStringLiteral(".\"Bank\"")),
                 CKeptSchema::DayKeySql(CSqlDialect(CSqlDialect::PostgreSQL),
                                        strRow + QStringLiteral(".\"Date\"")));
    };
    const QString strOld = apply(QStringLiteral("OLD"), QStringLiteral("-1"));
    const QString strNew = apply(QStringLiteral("NEW"), QStringLiteral("1"));
    // The search path of the book is fixed into the function, so a writer with another
    // search path (a tool naming the schema in each statement) still reaches these tables.
    list << QStringLiteral(
                "CREATE OR REPLACE FUNCTION ledgerkin_kept_row() RETURNS trigger "
                "LANGUAGE plpgsql SET search_path FROM CURRENT AS $f$ "
                "DECLARE nKind integer := TG_ARGV[0]::integer; "
                "BEGIN "
                "IF TG_OP = 'TRUNCATE' THEN "
                "  IF nKind = 0 THEN UPDATE \"DayTotals\" SET \"InCents\" = 0, \"InRows\" = 0, "
                "    \"InBankRows\" = 0; "
                "  ELSE UPDATE \"DayTotals\" SET \"OutCents\" = 0, \"OutRows\" = 0, "
                "    \"OutBankRows\" = 0; END IF; "
                "  DELETE FROM \"DayTotals\" WHERE \"InRows\" <= 0 AND \"OutRows\" <= 0; "
                "  DELETE FROM \"MonthSortTotals\" WHERE \"Kind\" = nKind; "
                "  RETURN NULL; "
                "END IF; "
                "IF TG_OP <> 'INSERT' THEN %1END IF; "
                "IF TG_OP <> 'DELETE' THEN %2END IF; "
                "RETURN NULL; "
                "END $f$")
                .arg(strOld, strNew);
    return list;
}

QStringList PostgresTriggers() {
    QStringList list;
    for (const STable& t : Tables) {
        const QString strName = TriggerPrefix + t.strName;
        list << QStringLiteral("CREATE TRIGGER \"%1_row\" AFTER INSERT OR DELETE OR UPDATE OF "
                               "\"UserName\", \"Date\", \"Sort\", \"Amount\", \"Bank\" ON \"%2\" "
                               "FOR EACH ROW EXECUTE FUNCTION ledgerkin_kept_row('%3')")
                    .arg(strName, t.strName, t.strKind);
        list << QStringLiteral("CREATE TRIGGER \"%1_trunc\" AFTER TRUNCATE ON \"%2\" "
                               "FOR EACH STATEMENT EXECUTE FUNCTION ledgerkin_kept_row('%3')")
                    .arg(strName, t.strName, t.strKind);
    }
    return list;
}

// PostgreSQL: the tables that carry this program's triggers, as regclass values.
QString TriggerTables() {
    QStringList tables{QStringLiteral("to_regclass('%1')").arg(CSchema::Income),
                       QStringLiteral("to_regclass('%1')").arg(CSchema::Outlay)};
    for (const SRollup* pRollup : Rollups)
        tables << QStringLiteral("to_regclass('\"%1\"')").arg(pRollup->strSource);
    return tables.join(QStringLiteral(", "));
}

} // namespace

QString CKeptSchema::SqliteTableCount() {
    return QStringLiteral("(SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                          "('DayTotals', 'MonthSortTotals', 'MonthTotals', 'SortTotals'))");
}

namespace {

// The kept tables and this version's triggers are all there.
bool Present(QSqlQuery& query, const CSqlDialect& d) {
    if (d.IsSQLite()) {
        Exec(query, QStringLiteral("SELECT %1, (SELECT COUNT(*) FROM sqlite_master WHERE "
                                   "type = 'trigger' AND name LIKE '%2%')")
                        .arg(CKeptSchema::SqliteTableCount(), TriggerPrefix));
        return query.next() && query.value(0).toInt() == 4 && query.value(1).toInt() == 16;
    }
    // The functions too: the queries call some of them, and the triggers' functions may be
    // dropped apart from the triggers. Looked up in the book's schema, where they were made.
    const qsizetype nFunctions = PostgresFunctions().size() + qsizetype(std::size(Rollups));
    Exec(query, QStringLiteral("SELECT to_regclass('\"DayTotals\"') IS NOT NULL AND "
                               "to_regclass('\"MonthSortTotals\"') IS NOT NULL AND "
                               "to_regclass('\"MonthTotals\"') IS NOT NULL AND "
                               "to_regclass('\"SortTotals\"') IS NOT NULL, "
                               "(SELECT COUNT(*) FROM pg_trigger WHERE tgname LIKE '%1%' AND "
                               "tgrelid IN (%2)), "
                               "(SELECT COUNT(*) FROM pg_proc WHERE proname LIKE 'ledgerkin\\_%' "
                               "AND pronamespace = (SELECT oid FROM pg_namespace WHERE nspname = "
                               "current_schema()))")
                    .arg(TriggerPrefix, TriggerTables()));
    return query.next() && query.value(0).toBool() && query.value(1).toInt() == 6 &&
           query.value(2).toLongLong() == nFunctions;
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
                        .arg(AnyTriggerPrefix));
        while (query.next())
            drops << QStringLiteral("DROP TRIGGER \"%1\"").arg(query.value(0).toString());
    } else {
        Exec(query, QStringLiteral("SELECT tgname, relname FROM pg_trigger JOIN pg_class ON "
                                   "pg_class.oid = tgrelid WHERE tgname LIKE '%1%' AND "
                                   "tgrelid IN (%2)")
                        .arg(AnyTriggerPrefix, TriggerTables()));
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
        for (const SRollup* pRollup : Rollups)
            Exec(query, QStringLiteral("DELETE FROM %1").arg(Quoted(pRollup->strTarget)));
        for (const QString& strSql : CKeptSchema::BuildStatements(d))
            Exec(query, strSql);
        for (const SRollup* pRollup : Rollups)
            Exec(query, RollupBuild(*pRollup));
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
            DropOldTriggers(query, d);
            for (const QString& strSql : CreateTables(d, false))
                Exec(query, strSql);
            if (!d.IsSQLite())
                for (const QString& strSql : PostgresFunctions())
                    Exec(query, strSql);
            // The sums kept from other kept tables are built from them in one pass, then kept
            // by the triggers on those tables, made after it.
            Build(query, d);
            QStringList triggers = d.IsSQLite() ? SqliteTriggers() : PostgresTriggers();
            for (const SRollup* pRollup : Rollups)
                triggers +=
                    d.IsSQLite() ? SqliteRollupTriggers(*pRollup) : PostgresRollupTrigger(*pRollup);
            for (const QString& strSql : triggers)
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
