#include "csearchschema.h"

#include "cdberrortext.h"
#include "cdbexception.h"
#include "ckeptschema.h"
#include "cschema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <utility>

const QString CSearchSchema::Table = QStringLiteral("\"SearchText\"");
const QString CSearchSchema::Index = QStringLiteral("\"SearchIndex\"");

namespace {

// Part of every trigger's name; a book whose triggers carry another number is built again.
const QString TriggerPrefix = QStringLiteral("kept_search_3_");
const QString AnyTriggerPrefix = QStringLiteral("kept\\_search\\_%");
// PostgreSQL's trigger function. Not named "ledgerkin_…": the kept totals count theirs.
const QString RowFunction = QStringLiteral("kept_search_row");
const QString WordsIndex = QStringLiteral("\"IX_SearchText_Words\"");
// PostgreSQL: the pieces of one and two characters of a user's words, and their GIN index.
const QString PiecesFunction = QStringLiteral("kept_search_pieces");
const QString PiecesIndex = QStringLiteral("\"IX_SearchText_Pieces\"");
// Between the user and a piece (the words never hold it but between their fields).
constexpr char16_t PieceSeparator = 31;

struct STable {
    QString strName; // unquoted
    CSearchSchema::EKind eKind;
    QStringList columns;        // the fields whose words are kept
    QString strDate, strAmount; // unquoted
    QString strAccount;         // a record needs one; empty: every row is a record
};

const STable Tables[] = {
    {QStringLiteral("Income"),
     CSearchSchema::Income,
     {QStringLiteral("Sort"), QStringLiteral("Note"), QStringLiteral("Bank")},
     QStringLiteral("Date"),
     QStringLiteral("Amount"),
     QStringLiteral("Bank")},
    {QStringLiteral("Outlay"),
     CSearchSchema::Outlay,
     {QStringLiteral("Sort"), QStringLiteral("Note"), QStringLiteral("Bank")},
     QStringLiteral("Date"),
     QStringLiteral("Amount"),
     QStringLiteral("Bank")},
    {QStringLiteral("Trs"),
     CSearchSchema::Transfer,
     {QStringLiteral("TrsFrom"), QStringLiteral("TrsIn")},
     QStringLiteral("TrsDate"),
     QStringLiteral("TrsAmount"),
     QString()},
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
// SQLite: the kept words hold a full-width form or the ideographic space.
QString HasWideSql() {
    return QStringLiteral("\"Words\" GLOB '*[%1-%2%3]*'")
        .arg(QString(QChar(char16_t(0xFF01))), QString(QChar(char16_t(0xFF5E))),
             QString(QChar(char16_t(0x3000))));
}

QStringList FoldUpdates(const CSqlDialect& d, const QString& strWhere) {
    if (!d.IsSQLite())
        return {};
    const SFoldPairs& pairs = FoldPairs();
    const QString strHasWide = HasWideSql();
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

// The day a row is listed under (yyyymmdd), or 0 / NULL when it is no record of a day: an
// income or outlay row without an account only makes its day exist, and a date that is no
// day (CStoredDate's reading, as the kept totals take it) is on no day.
QString DaySql(const CSqlDialect& d, const STable& t, const QString& strRow) {
    const QString strDay =
        CKeptSchema::DayKeySql(d, QStringLiteral("%1.%2").arg(strRow, CSchema::Quoted(t.strDate)));
    if (t.strAccount.isEmpty())
        return strDay;
    return QStringLiteral("CASE WHEN %1.%2 <> '' THEN %3 END")
        .arg(strRow, CSchema::Quoted(t.strAccount), strDay);
}

QString CentsSql(const CSqlDialect& d, const STable& t, const QString& strRow) {
    return CKeptSchema::CentsSql(d,
                                 QStringLiteral("%1.%2").arg(strRow, CSchema::Quoted(t.strAmount)));
}

QString RowKey(const CSqlDialect& d, const QString& strRow, CSearchSchema::EKind eKind) {
    return QStringLiteral("CAST(%1.\"编号\" AS %2) * 4 + %3")
        .arg(strRow, d.IsSQLite() ? QStringLiteral("INTEGER") : QStringLiteral("BIGINT"))
        .arg(int(eKind));
}

QString InsertRow(const CSqlDialect& d, const STable& t, const QString& strRow) {
    QString strSql =
        QStringLiteral("INSERT INTO %1 (\"Row\", \"UserName\", \"Words\", \"Day\", \"Cents\") "
                       "VALUES (%2, COALESCE(%3.\"UserName\", ''), %4, %5, %6); ")
            .arg(CSearchSchema::Table, RowKey(d, strRow, t.eKind), strRow, WordsSql(d, t, strRow),
                 DaySql(d, t, strRow), CentsSql(d, t, strRow));
    for (const QString& strFold :
         FoldUpdates(d, QStringLiteral("\"Row\" = %1").arg(RowKey(d, strRow, t.eKind))))
        strSql += strFold + QStringLiteral("; ");
    return strSql;
}

QString DeleteRow(const CSqlDialect& d, const STable& t, const QString& strRow) {
    return QStringLiteral("DELETE FROM %1 WHERE \"Row\" = %2; ")
        .arg(CSearchSchema::Table, RowKey(d, strRow, t.eKind));
}

enum class EFill {
    Since, // the rows above a bound 编号
    Range, // the rows above a bound 编号 up to a second one, leaving rows already kept
};

// The words of the rows of one table.
QString FillStatement(const CSqlDialect& d, const STable& t, EFill eFill) {
    const bool bRange = eFill == EFill::Range;
    return QStringLiteral("INSERT %1INTO %2 (\"Row\", \"UserName\", \"Words\", \"Day\", "
                          "\"Cents\") SELECT %3, COALESCE(r.\"UserName\", ''), %4, %5, %6 FROM "
                          "\"%7\" r WHERE r.\"编号\" > ?%8")
        .arg(bRange && d.IsSQLite() ? QStringLiteral("OR IGNORE ") : QString(),
             CSearchSchema::Table, RowKey(d, QStringLiteral("r"), t.eKind),
             WordsSql(d, t, QStringLiteral("r")), DaySql(d, t, QStringLiteral("r")),
             CentsSql(d, t, QStringLiteral("r")), t.strName,
             !bRange ? QString()
             : d.IsSQLite()
                 ? QStringLiteral(" AND r.\"编号\" <= ?")
                 : QStringLiteral(" AND r.\"编号\" <= ? ON CONFLICT (\"Row\") DO NOTHING"));
}

QStringList CreateStatements(const CSqlDialect& d) {
    if (d.IsSQLite())
        return {QStringLiteral("CREATE TABLE %1 (\"Row\" INTEGER PRIMARY KEY, "
                               "\"UserName\" TEXT NOT NULL DEFAULT '', "
                               "\"Words\" TEXT NOT NULL DEFAULT '', \"Day\" INTEGER, "
                               "\"Cents\" INTEGER NOT NULL DEFAULT 0)")
                    .arg(CSearchSchema::Table),
                // A user's rows read off the index alone (words, day and cents: what a search
                // tests and counts) when a word is too short for the trigram index or there is
                // no word.
                QStringLiteral("CREATE INDEX \"IX_SearchText_User_Words\" ON %1 "
                               "(\"UserName\", \"Words\", \"Day\", \"Cents\")")
                    .arg(CSearchSchema::Table),
                // An amount without words goes straight to the user's rows of that amount.
                QStringLiteral("CREATE INDEX \"IX_SearchText_User_Cents\" ON %1 "
                               "(\"UserName\", \"Cents\", \"Day\")")
                    .arg(CSearchSchema::Table),
                QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(\"Words\", "
                               "content='SearchText', content_rowid='Row', "
                               "tokenize='trigram case_sensitive 1')")
                    .arg(CSearchSchema::Index)};
    // No B-tree index on "Words": a long note would pass its size limit and refuse the record.
    return {QStringLiteral("CREATE TABLE %1 (\"Row\" BIGINT PRIMARY KEY, "
                           "\"UserName\" TEXT NOT NULL DEFAULT '', "
                           "\"Words\" TEXT NOT NULL DEFAULT '', \"Day\" INTEGER, "
                           "\"Cents\" BIGINT NOT NULL DEFAULT 0)")
                .arg(CSearchSchema::Table),
            QStringLiteral("CREATE INDEX \"IX_SearchText_User\" ON %1 (\"UserName\")")
                .arg(CSearchSchema::Table),
            QStringLiteral("CREATE INDEX \"IX_SearchText_User_Cents\" ON %1 (\"UserName\", "
                           "\"Cents\")")
                .arg(CSearchSchema::Table)};
}

QStringList SqliteTriggers(const CSqlDialect& d) {
    QStringList list;
    for (const STable& t : Tables) {
        const QString strName = TriggerPrefix + t.strName;
        QStringList quoted;
        for (const QString& strCol : t.columns)
            quoted << CSchema::Quoted(strCol);
        quoted << CSchema::Quoted(t.strDate) << CSchema::Quoted(t.strAmount);
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
        quoted << CSchema::Quoted(t.strDate) << CSchema::Quoted(t.strAmount);
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

// PostgreSQL: every piece of one and two characters of the words, each after the user's name,
// in a GIN index, so that a word (one too short for a trigram too) is found among the user's
// rows that hold its pieces, read off the index instead of the user's hundred thousand words.
// Needs no extension. A book whose words are kept already gets it at its next opening (a long
// one waits for the build, once); a role that may not create it leaves it to the owner, and
// searching then goes without it.
void EnsurePiecesIndex(QSqlDatabase db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT to_regclass('%1') IS NULL").arg(PiecesIndex)) ||
        !query.next() || !query.value(0).toBool())
        return;
    // Repeated pieces are left in: the index keeps each key of a row once anyway. A loop (the
    // array grows in place) is about twice as fast as the same in SQL over generate_series().
    // Only built-in functions, so the search path does not matter.
    query.exec(QStringLiteral("CREATE OR REPLACE FUNCTION %1(u text, w text) RETURNS text[] "
                              "LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$ "
                              "DECLARE r text[] := '{}'; n integer := char_length(w); "
                              "p text := u || chr(%2); "
                              "BEGIN "
                              "FOR i IN 1..n LOOP "
                              "  r := r || (p || substr(w, i, 1)); "
                              "  IF i < n THEN r := r || (p || substr(w, i, 2)); END IF; "
                              "END LOOP; "
                              "RETURN r; "
                              "END $f$")
                   .arg(PiecesFunction)
                   .arg(int(PieceSeparator)));
    query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 USING gin (%3)")
                   .arg(PiecesIndex, CSearchSchema::Table, CSearchSchema::PiecesSql(QString())));
}

qint64& OpeningFill() {
    static qint64 s_nRows = 20000;
    return s_nRows;
}

// Where filling a table's rows stands: a row of the words table of its own, "Row" below 0
// (no record's), "Cents" the 编号 up to which the table's rows are filled. None: filled.
qint64 MarkerRow(CSearchSchema::EKind eKind) {
    return -1 - qint64(eKind);
}

void Exec(QSqlQuery& query, const QString& strSql, const QVariantList& values,
          const CSqlDialect& d) {
    if (!query.prepare(strSql))
        throw CDBException(CDBErrorText::Of(query.lastError(), d.Kind()));
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec())
        throw CDBException(CDBErrorText::Of(query.lastError(), d.Kind()));
}

void LockRecords(QSqlQuery& query, const CSqlDialect& d) {
    Exec(query,
         QStringLiteral("LOCK TABLE %1, %2, %3 IN SHARE ROW EXCLUSIVE MODE")
             .arg(CSchema::Income, CSchema::Outlay, CSchema::Trs),
         d);
}

CSearchSchema::SFill ReadFill(QSqlQuery& query, const CSqlDialect& d, bool bLock) {
    CSearchSchema::SFill fill;
    Exec(query,
         QStringLiteral("SELECT \"Row\", \"Cents\" FROM %1 WHERE \"Row\" < 0%2")
             .arg(CSearchSchema::Table, bLock ? d.LockSql() : QString()),
         d);
    while (query.next()) {
        const qint64 nKind = -1 - query.value(0).toLongLong();
        if (nKind >= 0 && nKind < 3) {
            fill.places[nKind].bPending = true;
            fill.places[nKind].nDone = query.value(1).toLongLong();
        }
    }
    for (const STable& t : Tables) {
        Exec(query, QStringLiteral("SELECT MAX(\"编号\") FROM \"%1\"").arg(t.strName), d);
        CSearchSchema::SFill::SPlace& place = fill.places[t.eKind];
        place.nMax = query.next() ? query.value(0).toLongLong() : 0;
        fill.nTotal += place.nMax;
        fill.nDone += place.bPending ? std::min(place.nDone, place.nMax) : place.nMax;
    }
    return fill;
}

// A book with few rows left to fill gets them at once; a long one in steps (FillStep), so
// opening it is no wait.
void FillAtOpening(QSqlDatabase db, const CSqlDialect& d) {
    try {
        CSearchSchema::SFill fill = CSearchSchema::Filled(db, d);
        if (fill.IsDone() || fill.nTotal - fill.nDone > OpeningFill())
            return;
        while (!fill.IsDone())
            fill = CSearchSchema::FillStep(db, d, OpeningFill());
    } catch (const CDBException&) {
        // A role that may not write the words leaves them to a copy that may.
    }
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

qint64 CSearchSchema::SetOpeningFill(qint64 nRows) {
    return std::exchange(OpeningFill(), nRows);
}

void CSearchSchema::Ensure(QSqlDatabase db, const CSqlDialect& d) {
    QSqlQuery query(db);
    try {
        if (HasAll(query, d)) {
            if (!d.IsSQLite()) {
                EnsureTrigramIndex(db);
                EnsurePiecesIndex(db);
            }
            FillAtOpening(db, d);
            return;
        }
    } catch (const CDBException&) {
        return;
    }
    // As the kept totals: the write lock first, so two copies opening an old book make the
    // table once. Only the empty table, its triggers and the places where filling it starts
    // are made here: that is quick whatever the book holds.
    if (!query.exec(d.IsSQLite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")))
        return;
    try {
        if (!d.IsSQLite()) {
            LockRecords(query, d);
            // "does not exist, skipping" from the drops is no news.
            Exec(query, QStringLiteral("SET LOCAL client_min_messages TO warning"), d);
        }
        if (!HasAll(query, d)) {
            DropOld(query, d);
            for (const QString& strSql : CreateStatements(d))
                Exec(query, strSql, d);
            for (const QString& strSql : d.IsSQLite() ? SqliteTriggers(d) : PostgresTriggers(d))
                Exec(query, strSql, d);
            // Rows written from now on get their words from the triggers; those already there
            // are filled from the start of each table that has any.
            for (const STable& t : Tables)
                Exec(query,
                     QStringLiteral("INSERT INTO %1 (\"Row\", \"Cents\") SELECT %2, 0 WHERE "
                                    "EXISTS (SELECT 1 FROM \"%3\")")
                         .arg(Table)
                         .arg(MarkerRow(t.eKind))
                         .arg(t.strName),
                     d);
        }
        Exec(query, QStringLiteral("COMMIT"), d);
    } catch (const CDBException&) {
        // Read-only, no right to create, no FTS5: the book opens, and searching reads the
        // records themselves.
        query.exec(QStringLiteral("ROLLBACK"));
        return;
    }
    if (!d.IsSQLite()) {
        EnsureTrigramIndex(db);
        EnsurePiecesIndex(db);
    }
    FillAtOpening(db, d);
}

CSearchSchema::SFill CSearchSchema::Filled(QSqlDatabase db, const CSqlDialect& d) {
    QSqlQuery query(db);
    return ReadFill(query, d, false);
}

CSearchSchema::SFill CSearchSchema::FillStep(QSqlDatabase db, const CSqlDialect& d, qint64 nRows) {
    QSqlQuery query(db);
    Exec(query, d.IsSQLite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), d);
    try {
        // PostgreSQL: writers of the records wait for the step, so a trigger never meets a
        // row this step has not committed yet.
        if (!d.IsSQLite())
            LockRecords(query, d);
        SFill fill = ReadFill(query, d, true);
        for (const STable& t : Tables) {
            const SFill::SPlace& place = fill.places[t.eKind];
            if (!place.bPending)
                continue;
            const qint64 nTo = std::min(place.nMax, place.nDone + std::max<qint64>(nRows, 1));
            Exec(query, FillStatement(d, t, EFill::Range), {place.nDone, nTo}, d);
            for (const QString& strSql :
                 FoldUpdates(d, QStringLiteral("\"Row\" >= ? AND \"Row\" <= ?")))
                Exec(query, strSql, {(place.nDone + 1) * 4, nTo * 4 + 3}, d);
            if (nTo >= place.nMax)
                Exec(query, QStringLiteral("DELETE FROM %1 WHERE \"Row\" = ?").arg(Table),
                     {MarkerRow(t.eKind)}, d);
            else
                Exec(query,
                     QStringLiteral("UPDATE %1 SET \"Cents\" = ? WHERE \"Row\" = ?").arg(Table),
                     {nTo, MarkerRow(t.eKind)}, d);
            fill.nDone += nTo - place.nDone;
            break;
        }
        Exec(query, QStringLiteral("COMMIT"), d);
        return fill;
    } catch (const CDBException&) {
        query.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
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

bool CSearchSchema::HasPieces(QSqlDatabase db, const CSqlDialect& d) {
    if (d.IsSQLite())
        return false;
    QSqlQuery query(db);
    Exec(
        query,
        QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_index WHERE indexrelid = to_regclass('%1') "
                       "AND indisvalid)")
            .arg(PiecesIndex),
        d);
    return query.next() && query.value(0).toBool();
}

QString CSearchSchema::PiecesSql(const QString& strAlias) {
    const QString strDot = strAlias.isEmpty() ? QString() : strAlias + QLatin1Char('.');
    return QStringLiteral("%1(%2\"UserName\", %2\"Words\")").arg(PiecesFunction, strDot);
}

QString CSearchSchema::Piece(const QString& strUser, const QString& strPiece) {
    return strUser + QChar(PieceSeparator) + strPiece;
}

QVector<CSearchSchema::SAddStatement> CSearchSchema::AddStatements(const CSqlDialect& d,
                                                                   EKind eKind) {
    for (const STable& t : Tables) {
        if (t.eKind != eKind)
            continue;
        QVector<SAddStatement> list{
            {QStringLiteral("DELETE FROM %1 WHERE \"Row\" IN (SELECT %2 FROM \"%3\" r "
                            "WHERE r.\"编号\" > ?)")
                 .arg(Table, RowKey(d, QStringLiteral("r"), t.eKind), t.strName)},
            {FillStatement(d, t, EFill::Since)}};
        if (!d.IsSQLite())
            return list;
        // SQLite: the new rows holding a full-width form are found once, into a table of the
        // connection, and only those go through the folding steps; testing every new row in
        // each step made the words most of an import's time.
        const QString strWide = QStringLiteral("temp.\"search_wide_rows\"");
        list << SAddStatement{QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 "
                                             "(\"Row\" INTEGER PRIMARY KEY)")
                                  .arg(strWide),
                              false}
             << SAddStatement{QStringLiteral("DELETE FROM %1").arg(strWide), false}
             << SAddStatement{QStringLiteral("INSERT INTO %1 SELECT \"Row\" FROM %2 WHERE "
                                             "\"Row\" > ? * 4 AND \"Row\" % 4 = %3 AND %4")
                                  .arg(strWide, Table)
                                  .arg(int(t.eKind))
                                  .arg(HasWideSql())};
        for (const QString& strSql :
             FoldUpdates(d, QStringLiteral("\"Row\" IN (SELECT \"Row\" FROM %1)").arg(strWide)))
            list << SAddStatement{strSql, false};
        list << SAddStatement{QStringLiteral("DELETE FROM %1").arg(strWide), false};
        return list;
    }
    return {};
}
