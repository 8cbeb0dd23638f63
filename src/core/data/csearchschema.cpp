#include "csearchschema.h"

#include "cdberrortext.h"
#include "cdbexception.h"
#include "cschema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

const QString CSearchSchema::Table = QStringLiteral("\"SearchText\"");
const QString CSearchSchema::Index = QStringLiteral("\"SearchIndex\"");

namespace {

// Part of every trigger's name; a book whose triggers carry another number is built again.
const QString TriggerPrefix = QStringLiteral("kept_search_2_");
const QString AnyTriggerPrefix = QStringLiteral("kept\\_search\\_%");
// PostgreSQL's trigger function. Not named "ledgerkin_…": the kept totals count theirs.
const QString RowFunction = QStringLiteral("kept_search_row");
const QString WordsIndex = QStringLiteral("\"IX_SearchText_Words\"");

struct STable {
    QString strName; // unquoted
    CSearchSchema::EKind eKind;
    QStringList columns; // the fields whose words are kept
};

const STable Tables[] = {
    {QStringLiteral("Income"),
     CSearchSchema::Income,
     {QStringLiteral("Sort"), QStringLiteral("Note"), QStringLiteral("Bank")}},
    {QStringLiteral("Outlay"),
     CSearchSchema::Outlay,
     {QStringLiteral("Sort"), QStringLiteral("Note"), QStringLiteral("Bank")}},
    {QStringLiteral("Trs"),
     CSearchSchema::Transfer,
     {QStringLiteral("TrsFrom"), QStringLiteral("TrsIn")}},
};

// Full-width forms and the ideographic space, with what each folds to.
struct SFoldPairs {
    QString strFrom, strTo;
};

const SFoldPairs& FoldPairs() {
    static const SFoldPairs pairs = [] {
        SFoldPairs p;
        for (char16_t c = 0xFF01; c <= 0xFF5E; ++c) {
            char16_t a = char16_t(c - 0xFEE0);
            if (a >= u'A' && a <= u'Z')
                a = char16_t(a + 32);
            p.strFrom += QChar(c);
            p.strTo += QChar(a);
        }
        p.strFrom += QChar(char16_t(0x3000));
        p.strTo += QLatin1Char(' ');
        return p;
    }();
    return pairs;
}

QString Literal(const QString& str) {
    return QLatin1Char('\'') + QString(str).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

void Exec(QSqlQuery& query, const QString& strSql, const CSqlDialect& d) {
    if (!query.exec(strSql))
        throw CDBException(CDBErrorText::Of(query.lastError(), d.Kind()));
}

// The words of a row of the record table t as SQL over its columns read through strRow
// ("NEW", an alias), fields joined by the separator. PostgreSQL folds them whole here; SQLite
// only to lower case, the full-width forms then going through FoldUpdates.
QString WordsSql(const CSqlDialect& d, const STable& t, const QString& strRow) {
    QStringList parts;
    for (const QString& strCol : t.columns)
        parts << QStringLiteral("COALESCE(%1.%2, '')").arg(strRow, CSchema::Quoted(strCol));
    const QString strWords = parts.join(d.IsSQLite() ? QStringLiteral(" || char(31) || ")
                                                     : QStringLiteral(" || chr(31) || "));
    const SFoldPairs& pairs = FoldPairs();
    if (d.IsSQLite())
        return QStringLiteral("lower(%1)").arg(strWords);
    QString strFrom = pairs.strFrom, strTo = pairs.strTo;
    for (char c = 'A'; c <= 'Z'; ++c) {
        strFrom += QLatin1Char(c);
        strTo += QLatin1Char(char(c + 32));
    }
    return QStringLiteral("translate(%1, %2, %3)").arg(strWords, Literal(strFrom), Literal(strTo));
}

// SQLite: the full-width forms of the kept words (strWhere: which rows) folded, in steps, as
// SQLite has no translate() and parses only so many nested calls. Only rows that hold such a
// form are written.
QStringList FoldUpdates(const CSqlDialect& d, const QString& strWhere) {
    if (!d.IsSQLite())
        return {};
    const SFoldPairs& pairs = FoldPairs();
    const QString strHasWide =
        QStringLiteral("\"Words\" GLOB '*[%1-%2%3]*'")
            .arg(QString(QChar(char16_t(0xFF01))), QString(QChar(char16_t(0xFF5E))),
                 QString(QChar(char16_t(0x3000))));
    constexpr int Step = 16;
    QStringList list;
    for (int i = 0; i < pairs.strFrom.size(); i += Step) {
        QString strChain = QStringLiteral("\"Words\"");
        for (int j = i; j < i + Step && j < pairs.strFrom.size(); ++j)
            strChain = QStringLiteral("replace(%1, %2, %3)")
                           .arg(strChain, Literal(pairs.strFrom.mid(j, 1)),
                                Literal(pairs.strTo.mid(j, 1)));
        list << QStringLiteral("UPDATE %1 SET \"Words\" = %2 WHERE %3 AND %4")
                    .arg(CSearchSchema::Table, strChain, strWhere, strHasWide);
    }
    return list;
}

QString RowKey(const CSqlDialect& d, const QString& strRow, CSearchSchema::EKind eKind) {
    return QStringLiteral("CAST(%1.\"编号\" AS %2) * 4 + %3")
        .arg(strRow, d.IsSQLite() ? QStringLiteral("INTEGER") : QStringLiteral("BIGINT"))
        .arg(int(eKind));
}

QString InsertRow(const CSqlDialect& d, const STable& t, const QString& strRow) {
    QString strSql =
        QStringLiteral("INSERT INTO %1 (\"Row\", \"UserName\", \"Words\") VALUES "
                       "(%2, COALESCE(%3.\"UserName\", ''), %4); ")
            .arg(CSearchSchema::Table, RowKey(d, strRow, t.eKind), strRow, WordsSql(d, t, strRow));
    for (const QString& strFold :
         FoldUpdates(d, QStringLiteral("\"Row\" = %1").arg(RowKey(d, strRow, t.eKind))))
        strSql += strFold + QStringLiteral("; ");
    return strSql;
}

QString DeleteRow(const CSqlDialect& d, const STable& t, const QString& strRow) {
    return QStringLiteral("DELETE FROM %1 WHERE \"Row\" = %2; ")
        .arg(CSearchSchema::Table, RowKey(d, strRow, t.eKind));
}

// The words of the rows of one table, those above a bound 编号 when bSince.
QString FillStatement(const CSqlDialect& d, const STable& t, bool bSince) {
    return QStringLiteral("INSERT INTO %1 (\"Row\", \"UserName\", \"Words\") SELECT %2, "
                          "COALESCE(r.\"UserName\", ''), %3 FROM \"%4\" r%5")
        .arg(CSearchSchema::Table, RowKey(d, QStringLiteral("r"), t.eKind),
             WordsSql(d, t, QStringLiteral("r")), t.strName,
             bSince ? QStringLiteral(" WHERE r.\"编号\" > ?") : QString());
}

QStringList CreateStatements(const CSqlDialect& d) {
    if (d.IsSQLite())
        return {QStringLiteral("CREATE TABLE %1 (\"Row\" INTEGER PRIMARY KEY, "
                               "\"UserName\" TEXT NOT NULL DEFAULT '', "
                               "\"Words\" TEXT NOT NULL DEFAULT '')")
                    .arg(CSearchSchema::Table),
                // The words of a user's rows of one kind read off the index alone when a word
                // is too short for the trigram index.
                QStringLiteral("CREATE INDEX \"IX_SearchText_User_Words\" ON %1 "
                               "(\"UserName\", (\"Row\" % 4), \"Words\")")
                    .arg(CSearchSchema::Table),
                QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(\"Words\", "
                               "content='SearchText', content_rowid='Row', "
                               "tokenize='trigram case_sensitive 1')")
                    .arg(CSearchSchema::Index)};
    // No B-tree index on "Words": a long note would pass its size limit and refuse the record.
    return {QStringLiteral("CREATE TABLE %1 (\"Row\" BIGINT PRIMARY KEY, "
                           "\"UserName\" TEXT NOT NULL DEFAULT '', "
                           "\"Words\" TEXT NOT NULL DEFAULT '')")
                .arg(CSearchSchema::Table),
            QStringLiteral("CREATE INDEX \"IX_SearchText_User\" ON %1 (\"UserName\")")
                .arg(CSearchSchema::Table)};
}

QStringList SqliteTriggers(const CSqlDialect& d) {
    QStringList list;
    for (const STable& t : Tables) {
        const QString strName = TriggerPrefix + t.strName;
        QStringList quoted;
        for (const QString& strCol : t.columns)
            quoted << CSchema::Quoted(strCol);
        // A row of the same key left behind (written while triggers were off) goes first.
        list << QStringLiteral("CREATE TRIGGER \"%1_ins\" AFTER INSERT ON \"%2\" BEGIN %3%4END")
                    .arg(strName, t.strName, DeleteRow(d, t, QStringLiteral("NEW")),
                         InsertRow(d, t, QStringLiteral("NEW")));
        list << QStringLiteral("CREATE TRIGGER \"%1_del\" AFTER DELETE ON \"%2\" BEGIN %3END")
                    .arg(strName, t.strName, DeleteRow(d, t, QStringLiteral("OLD")));
        list << QStringLiteral("CREATE TRIGGER \"%1_upd\" AFTER UPDATE OF \"编号\", \"UserName\", "
                               "%3 ON \"%2\" BEGIN %4%5%6END")
                    .arg(strName, t.strName, quoted.join(QStringLiteral(", ")),
                         DeleteRow(d, t, QStringLiteral("OLD")),
                         DeleteRow(d, t, QStringLiteral("NEW")),
                         InsertRow(d, t, QStringLiteral("NEW")));
    }
    // The trigram index follows the words (it keeps no copy of them).
    const QString strAdd = QStringLiteral("INSERT INTO %1 (rowid, \"Words\") VALUES (NEW.\"Row\", "
                                          "NEW.\"Words\"); ")
                               .arg(CSearchSchema::Index);
    const QString strTake = QStringLiteral("INSERT INTO %1 (%1, rowid, \"Words\") VALUES "
                                           "('delete', OLD.\"Row\", OLD.\"Words\"); ")
                                .arg(CSearchSchema::Index);
    const QString strName = TriggerPrefix + QStringLiteral("text");
    list << QStringLiteral("CREATE TRIGGER \"%1_ins\" AFTER INSERT ON %2 BEGIN %3END")
                .arg(strName, CSearchSchema::Table, strAdd);
    list << QStringLiteral("CREATE TRIGGER \"%1_del\" AFTER DELETE ON %2 BEGIN %3END")
                .arg(strName, CSearchSchema::Table, strTake);
    list << QStringLiteral("CREATE TRIGGER \"%1_upd\" AFTER UPDATE ON %2 BEGIN %3%4END")
                .arg(strName, CSearchSchema::Table, strTake, strAdd);
    return list;
}
constexpr int SqliteTriggerCount = 12;

QStringList PostgresTriggers(const CSqlDialect& d) {
    QString strInsert;
    for (const STable& t : Tables)
        strInsert += QStringLiteral("IF k = %1 THEN %2END IF; ")
                         .arg(int(t.eKind))
                         .arg(InsertRow(d, t, QStringLiteral("NEW")));
    // The search path of the book is fixed into the function, as the kept totals' is. It runs
    // with its owner's rights: a member's role granted the record tables before the words
    // were kept still writes records.
    QStringList list{
        QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql "
                       "SECURITY DEFINER SET search_path FROM CURRENT AS $f$ "
                       "DECLARE k integer := TG_ARGV[0]::integer; "
                       "BEGIN "
                       "IF TG_OP = 'TRUNCATE' THEN "
                       "  DELETE FROM %2 WHERE \"Row\" % 4 = k; RETURN NULL; "
                       "END IF; "
                       "IF TG_OP <> 'INSERT' THEN "
                       "  DELETE FROM %2 WHERE \"Row\" = CAST(OLD.\"编号\" AS BIGINT) * 4 + k; "
                       "END IF; "
                       "IF TG_OP <> 'DELETE' THEN "
                       "  DELETE FROM %2 WHERE \"Row\" = CAST(NEW.\"编号\" AS BIGINT) * 4 + k; "
                       "  %3"
                       "END IF; "
                       "RETURN NULL; "
                       "END $f$")
            .arg(RowFunction, CSearchSchema::Table, strInsert)};
    for (const STable& t : Tables) {
        const QString strName = TriggerPrefix + t.strName;
        QStringList quoted;
        for (const QString& strCol : t.columns)
            quoted << CSchema::Quoted(strCol);
        list << QStringLiteral("CREATE TRIGGER \"%1_row\" AFTER INSERT OR DELETE OR UPDATE OF "
                               "\"编号\", \"UserName\", %3 ON \"%2\" FOR EACH ROW EXECUTE "
                               "FUNCTION %4('%5')")
                    .arg(strName, t.strName, quoted.join(QStringLiteral(", ")), RowFunction)
                    .arg(int(t.eKind));
        list << QStringLiteral("CREATE TRIGGER \"%1_trunc\" AFTER TRUNCATE ON \"%2\" FOR EACH "
                               "STATEMENT EXECUTE FUNCTION %3('%4')")
                    .arg(strName, t.strName, RowFunction)
                    .arg(int(t.eKind));
    }
    return list;
}
constexpr int PostgresTriggerCount = 6;

QString PostgresTriggerTables() {
    return QStringLiteral("to_regclass('%1'), to_regclass('%2'), to_regclass('%3')")
        .arg(CSchema::Income, CSchema::Outlay, CSchema::Trs);
}

bool HasAll(QSqlQuery& query, const CSqlDialect& d) {
    if (d.IsSQLite()) {
        Exec(query,
             QStringLiteral("SELECT (SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                            "name IN ('SearchText', 'SearchIndex')), (SELECT COUNT(*) FROM "
                            "sqlite_master WHERE type = 'trigger' AND name LIKE '%1%')")
                 .arg(TriggerPrefix),
             d);
        return query.next() && query.value(0).toInt() == 2 &&
               query.value(1).toInt() == SqliteTriggerCount;
    }
    Exec(query,
         QStringLiteral("SELECT to_regclass('%1') IS NOT NULL, (SELECT COUNT(*) FROM pg_trigger "
                        "WHERE tgname LIKE '%2%' AND tgrelid IN (%3)), (SELECT COUNT(*) FROM "
                        "pg_proc WHERE proname = '%4' AND pronamespace = (SELECT oid FROM "
                        "pg_namespace WHERE nspname = current_schema()))")
             .arg(CSearchSchema::Table, TriggerPrefix, PostgresTriggerTables(), RowFunction),
         d);
    return query.next() && query.value(0).toBool() &&
           query.value(1).toInt() == PostgresTriggerCount && query.value(2).toInt() == 1;
}

void DropOld(QSqlQuery& query, const CSqlDialect& d) {
    QStringList drops;
    if (d.IsSQLite()) {
        Exec(query,
             QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND name LIKE "
                            "'%1' ESCAPE '\\'")
                 .arg(AnyTriggerPrefix),
             d);
        while (query.next())
            drops << QStringLiteral("DROP TRIGGER \"%1\"").arg(query.value(0).toString());
        drops << QStringLiteral("DROP TABLE IF EXISTS %1").arg(CSearchSchema::Index);
    } else {
        Exec(query,
             QStringLiteral("SELECT tgname, relname FROM pg_trigger JOIN pg_class ON pg_class.oid "
                            "= tgrelid WHERE tgname LIKE '%1' AND tgrelid IN (%2)")
                 .arg(AnyTriggerPrefix, PostgresTriggerTables()),
             d);
        while (query.next())
            drops << QStringLiteral("DROP TRIGGER \"%1\" ON \"%2\"")
                         .arg(query.value(0).toString(), query.value(1).toString());
    }
    drops << QStringLiteral("DROP TABLE IF EXISTS %1").arg(CSearchSchema::Table);
    for (const QString& strSql : drops)
        Exec(query, strSql, d);
}

// PostgreSQL: a trigram index on the words when the server has pg_trgm (installed, when the
// role may, in a schema of its own: dropping one book's schema never takes it from the others,
// and the book's schema holds only the book's functions). Without it the user's rows are read
// one by one, which is still right.
void EnsureTrigramIndex(QSqlDatabase db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT to_regclass('%1') IS NULL").arg(WordsIndex)) ||
        !query.next() || !query.value(0).toBool())
        return;
    const QString strSchemaSql =
        QStringLiteral("SELECT n.nspname FROM pg_extension e JOIN pg_namespace n ON n.oid = "
                       "e.extnamespace WHERE e.extname = 'pg_trgm'");
    QString strSchema;
    if (query.exec(strSchemaSql) && query.next())
        strSchema = query.value(0).toString();
    if (strSchema.isEmpty()) {
        query.exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS ledgerkin_trgm"));
        query.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA ledgerkin_trgm"));
        if (query.exec(strSchemaSql) && query.next())
            strSchema = query.value(0).toString();
    }
    if (strSchema.isEmpty())
        return;
    query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 USING gin (\"Words\" %3.%4)")
                   .arg(WordsIndex, CSearchSchema::Table, CSchema::Quoted(strSchema),
                        QStringLiteral("gin_trgm_ops")));
}

} // namespace

QString CSearchSchema::Fold(const QString& str) {
    QString strOut = str;
    for (QChar& c : strOut) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3000)
            c = QLatin1Char(' ');
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(char16_t(c.unicode() + 32));
    }
    return strOut;
}

void CSearchSchema::Ensure(QSqlDatabase db, const CSqlDialect& d) {
    QSqlQuery query(db);
    try {
        if (HasAll(query, d)) {
            if (!d.IsSQLite())
                EnsureTrigramIndex(db);
            return;
        }
    } catch (const CDBException&) {
        return;
    }
    // As the kept totals: the write lock first, so two copies opening an old book build once.
    if (!query.exec(d.IsSQLite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")))
        return;
    try {
        if (!d.IsSQLite()) {
            Exec(query,
                 QStringLiteral("LOCK TABLE %1, %2, %3 IN SHARE ROW EXCLUSIVE MODE")
                     .arg(CSchema::Income, CSchema::Outlay, CSchema::Trs),
                 d);
            // "does not exist, skipping" from the drops is no news.
            Exec(query, QStringLiteral("SET LOCAL client_min_messages TO warning"), d);
        }
        if (!HasAll(query, d)) {
            DropOld(query, d);
            for (const QString& strSql : CreateStatements(d))
                Exec(query, strSql, d);
            for (const STable& t : Tables)
                Exec(query, FillStatement(d, t, false), d);
            for (const QString& strSql : FoldUpdates(d, QStringLiteral("1 = 1")))
                Exec(query, strSql, d);
            if (d.IsSQLite())
                Exec(query, QStringLiteral("INSERT INTO %1 (%1) VALUES ('rebuild')").arg(Index), d);
            for (const QString& strSql : d.IsSQLite() ? SqliteTriggers(d) : PostgresTriggers(d))
                Exec(query, strSql, d);
        }
        Exec(query, QStringLiteral("COMMIT"), d);
    } catch (const CDBException&) {
        // Read-only, no right to create, no FTS5: the book opens, and searching reads the
        // records themselves.
        query.exec(QStringLiteral("ROLLBACK"));
        return;
    }
    if (!d.IsSQLite())
        EnsureTrigramIndex(db);
}

bool CSearchSchema::Present(QSqlDatabase db, const CSqlDialect& d) {
    QSqlQuery query(db);
    if (!HasAll(query, d))
        return false;
    // A member's role may write records (the triggers run with the owner's rights) but not
    // have been granted the words: it searches the records themselves.
    if (d.IsSQLite())
        return true;
    Exec(query, QStringLiteral("SELECT has_table_privilege('%1', 'SELECT')").arg(Table), d);
    return query.next() && query.value(0).toBool();
}

QStringList CSearchSchema::AddStatements(const CSqlDialect& d, EKind eKind) {
    for (const STable& t : Tables) {
        if (t.eKind != eKind)
            continue;
        QStringList list{QStringLiteral("DELETE FROM %1 WHERE \"Row\" IN (SELECT %2 FROM \"%3\" r "
                                        "WHERE r.\"编号\" > ?)")
                             .arg(Table, RowKey(d, QStringLiteral("r"), t.eKind), t.strName),
                         FillStatement(d, t, true)};
        return list + FoldUpdates(d, QStringLiteral("\"Row\" > ? * 4"));
    }
    return {};
}
