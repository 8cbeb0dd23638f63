#include "cschema.h"

#include "cdatabase.h"
#include "cdberrortext.h"
#include "cdbexception.h"
#include "ctransaction.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace CSchema {

QStringList CreateStatements(const CSqlDialect& d) {
    const QString text = d.TextType();
    const QString textDef = QStringLiteral("%1 NOT NULL DEFAULT ''").arg(text);
    QStringList list;
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"User\" ("
                           "\"UserID\" %1, "
                           "\"UserName\" %2 NOT NULL UNIQUE, "
                           "\"UserPwd\" %3, "
                           "\"IsSavePwd\" %4 NOT NULL DEFAULT %5, "
                           "\"SavePwd\" %3)")
                .arg(d.AutoKey(), text, textDef, d.BoolType(), d.FalseLiteral());
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"Bank\" ("
                           "\"编号\" %1, "
                           "\"UserName\" %2, "
                           "\"CardName\" %2, "
                           "\"CardSum\" %2, "
                           "\"CardCash\" %3 NOT NULL DEFAULT 0)")
                .arg(d.AutoKey(), textDef, d.DoubleType());
    for (const char* table : {"Income", "Outlay"}) {
        list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"%1\" ("
                               "\"编号\" %2, "
                               "\"UserName\" %3, "
                               "\"Date\" %4, "
                               "\"Sort\" %3, "
                               "\"Note\" %3, "
                               "\"Amount\" %5 NOT NULL DEFAULT 0, "
                               "\"Bank\" %3)")
                    .arg(QLatin1String(table), d.AutoKey(), textDef, d.DateType(), d.DoubleType());
    }
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"Trs\" ("
                           "\"编号\" %1, "
                           "\"UserName\" %2, "
                           "\"TrsDate\" %3, "
                           "\"TrsFrom\" %2, "
                           "\"TrsIn\" %2, "
                           "\"TrsAmount\" %4 NOT NULL DEFAULT 0)")
                .arg(d.AutoKey(), textDef, d.DateType(), d.DoubleType());
    // (UserName, Date) leads, so day lookups and ranges use it; the columns after it let
    // summaries and charts over many years read the index alone, not every row.
    for (const char* table : {"Income", "Outlay"}) {
        list << QStringLiteral(
                    "CREATE INDEX IF NOT EXISTS \"IX_%1_User_Date_Cover\" ON \"%1\" (%2)")
                    .arg(QLatin1String(table), d.RecordIndexColumns());
    }
    list << QStringLiteral("CREATE INDEX IF NOT EXISTS \"IX_Bank_User_Card\" ON \"Bank\" "
                           "(\"UserName\", \"CardName\")");
    list << QStringLiteral(
        "CREATE INDEX IF NOT EXISTS \"IX_Trs_User\" ON \"Trs\" (\"UserName\", \"TrsDate\")");
    return list;
}

namespace {

// What a CREATE … IF NOT EXISTS statement makes: "TABLE" or "INDEX", and the name.
bool CreatedObject(const QString& strSql, QString& strKind, QString& strName) {
    static const QRegularExpression re(
        QStringLiteral("^CREATE (?:UNIQUE )?(TABLE|INDEX) IF NOT EXISTS \"([^\"]+)\""));
    const QRegularExpressionMatch m = re.match(strSql);
    if (!m.hasMatch())
        return false;
    strKind = m.captured(1);
    strName = m.captured(2);
    return true;
}

// PostgreSQL checks the right to create before it looks whether the object is there, and only
// a table's owner may index it even "IF NOT EXISTS": a member's role, which may write the book
// but owns nothing, must not run a CREATE for what exists. The catalog says which are missing.
QStringList MissingOnServer(QSqlQuery& query, const QStringList& statements) {
    QStringList probes;
    for (const QString& strSql : statements) {
        QString strKind, strName;
        if (!CreatedObject(strSql, strKind, strName))
            probes << QStringLiteral("true");
        else
            probes << QStringLiteral("to_regclass('%1') IS NULL")
                          .arg(CSchema::Quoted(strName).replace(QLatin1Char('\''),
                                                                QStringLiteral("''")));
    }
    if (probes.isEmpty())
        return {};
    if (!query.exec(QStringLiteral("SELECT ") + probes.join(QStringLiteral(", "))) || !query.next())
        throw CDBException(CDBErrorText::Of(query.lastError(), CSqlDialect::PostgreSQL));
    QStringList missing;
    for (int i = 0; i < statements.size(); ++i)
        if (query.value(i).toBool())
            missing << statements[i];
    return missing;
}

} // namespace

QString Quoted(const QString& strName) {
    return QLatin1Char('"') + QString(strName).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QString CreateRefusedText(QSqlDatabase db, const QString& strWhat, const QString& strRight) {
    QSqlQuery query(db);
    QString strRole, strSchema;
    if (query.exec(QStringLiteral("SELECT current_user, current_schema()")) && query.next()) {
        strRole = query.value(0).toString();
        strSchema = query.value(1).toString();
    }
    return QCoreApplication::translate(
               "CSchema", "账本缺少%1，数据库用户“%2”无权创建（%3）。请用账本所有者的数据库用户"
                          "打开一次账本（它会创建缺少的部分），或让数据库管理员授予这个权限。")
        .arg(strWhat, strRole, QString(strRight).replace(QLatin1String("%1"), strSchema));
}

void Create(QSqlDatabase db, const CSqlDialect& dialect, const QStringList& statements) {
    QSqlQuery query(db);
    const QStringList todo = dialect.IsSQLite() ? statements : MissingOnServer(query, statements);
    for (const QString& sql : todo) {
        if (query.exec(sql))
            continue;
        const QSqlError error = query.lastError();
        QString strKind, strName;
        if (!dialect.IsSQLite() && error.nativeErrorCode() == QLatin1String("42501") &&
            CreatedObject(sql, strKind, strName)) {
            const bool bTable = strKind == QLatin1String("TABLE");
            throw CDBException(
                CreateRefusedText(
                    db,
                    (bTable ? QCoreApplication::translate("CSchema", "表“%1”")
                            : QCoreApplication::translate("CSchema", "索引“%1”"))
                        .arg(strName),
                    bTable ? QCoreApplication::translate("CSchema", "需要模式“%1”的 CREATE 权限")
                           : QCoreApplication::translate("CSchema",
                                                         "只有表的所有者才能为它建立索引")) +
                QStringLiteral("（%1）").arg(error.text().trimmed()));
        }
        throw CDBException(CDBErrorText::Of(error, dialect.Kind()));
    }
}

namespace {
struct SAdded {
    QMutex mutex; // a worker thread opens a connection of its own
    QVector<FEnsureTables> list;
};
SAdded& Added() {
    static SAdded s_added;
    return s_added;
}
} // namespace

void AddTables(FEnsureTables pfnEnsure) {
    QMutexLocker lock(&Added().mutex);
    if (!Added().list.contains(pfnEnsure))
        Added().list.push_back(pfnEnsure);
}

void Ensure(QSqlDatabase db, const CSqlDialect& dialect) {
    Create(db, dialect, CreateStatements(dialect));
}

void MakeReady(FEnsureTables pfnEnsure, const QString& strConnection) {
    AddTables(pfnEnsure);
    if (!CDatabase::IsOpen(strConnection))
        return; // the opening creates them
    static QMutex s_mutex;
    // (function, connection) → the generation of the connection made ready
    static QHash<QPair<quintptr, QString>, quint64> s_ready;
    const QPair<quintptr, QString> key{reinterpret_cast<quintptr>(pfnEnsure), strConnection};
    const quint64 nGeneration = CDatabase::Generation(strConnection);
    {
        QMutexLocker lock(&s_mutex);
        if (s_ready.value(key) == nGeneration)
            return;
    }
    pfnEnsure(CDatabase::Connection(strConnection), CDatabase::Dialect(strConnection));
    if (CTransaction::IsActive(strConnection))
        return;
    QMutexLocker lock(&s_mutex);
    s_ready.insert(key, nGeneration);
}

void EnsureAdded(QSqlDatabase db, const CSqlDialect& dialect) {
    QVector<FEnsureTables> added;
    {
        QMutexLocker lock(&Added().mutex);
        added = Added().list;
    }
    for (const FEnsureTables pfnEnsure : std::as_const(added))
        pfnEnsure(db, dialect);
}

} // namespace CSchema
