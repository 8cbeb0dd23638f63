#include "cdatabase.h"

#include "cdbexception.h"
#include "cschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

const QString CDatabase::DefaultConnection = QStringLiteral("ledgerkin");

namespace {

struct SConnectionInfo {
    QString strUrl;
    CSqlDialect dialect;
    bool bOpen = false;
};

QHash<QString, SConnectionInfo>& Connections() {
    static QHash<QString, SConnectionInfo> s_connections;
    return s_connections;
}

QString DriverText(const QSqlError& error) {
    return CDatabase::ErrorText(error);
}

// A file that exists but is not an SQLite database is refused before the driver
// touches it, so it is never rewritten.
void CheckSqliteFile(const QString& strPath) {
    // The C library would cut the name at the NUL and open another file.
    if (strPath.contains(QChar(0)))
        throw CDBException(
            QCoreApplication::translate("CDatabase", "帐本路径中有空字符（NUL），无法打开。"));
    const QFileInfo info(strPath);
    if (info.exists()) {
        if (info.isDir())
            throw CDBException(
                QCoreApplication::translate("CDatabase", "无法打开帐本“%1”：这是一个文件夹。")
                    .arg(strPath));
        QFile file(strPath);
        if (!file.open(QIODevice::ReadOnly))
            throw CDBException(QCoreApplication::translate("CDatabase", "无法读取帐本文件“%1”：%2")
                                   .arg(strPath, file.errorString()));
        const QByteArray head = file.read(16);
        if (!head.isEmpty() && !head.startsWith("SQLite format 3"))
            throw CDBException(
                QCoreApplication::translate("CDatabase",
                                            "文件“%1”不是 Ledgerkin 帐本（不是 SQLite 数据库）。")
                    .arg(strPath));
        return;
    }
    const QFileInfo dir(info.absolutePath());
    if (!dir.exists() || !dir.isDir())
        throw CDBException(
            QCoreApplication::translate("CDatabase", "无法创建帐本“%1”：文件夹“%2”不存在。")
                .arg(strPath, info.absolutePath()));
}

void OpenSqlite(QSqlDatabase& db, const QString& strPath) {
    CheckSqliteFile(strPath);
    db.setDatabaseName(strPath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open())
        throw CDBException(QCoreApplication::translate("CDatabase", "无法打开帐本“%1”：%2")
                               .arg(strPath, DriverText(db.lastError())));
    QSqlQuery query(db);
    // Reading the schema touches the file, so a damaged file is reported here.
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout = 10000")) ||
        !query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        throw CDBException(QCoreApplication::translate("CDatabase", "无法读取帐本“%1”：%2")
                               .arg(strPath, DriverText(query.lastError())));
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
        throw CDBException(DriverText(query.lastError()));
    query.exec(QStringLiteral("PRAGMA synchronous = FULL"));
}

void OpenPostgres(QSqlDatabase& db, const QString& strUrl) {
    const QUrl url(strUrl);
    if (!url.isValid() || url.host().isEmpty())
        throw CDBException(
            QCoreApplication::translate("CDatabase", "数据库地址“%1”无效。").arg(strUrl));
    db.setHostName(url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    db.setUserName(url.userName());
    db.setPassword(url.password());
    QString strDb = url.path();
    if (strDb.startsWith(QLatin1Char('/')))
        strDb.remove(0, 1);
    db.setDatabaseName(strDb);
    if (!db.open())
        throw CDBException(QCoreApplication::translate("CDatabase", "无法连接数据库服务器：%1")
                               .arg(DriverText(db.lastError())));
    const QString strSchema = QUrlQuery(url).queryItemValue(QStringLiteral("schema"));
    if (!strSchema.isEmpty()) {
        QSqlQuery query(db);
        const QString quoted =
            QLatin1Char('"') +
            QString(strSchema).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        if (!query.exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS %1").arg(quoted)) ||
            !query.exec(QStringLiteral("SET search_path TO %1").arg(quoted)))
            throw CDBException(DriverText(query.lastError()));
    }
}

} // namespace

QString CDatabase::ErrorText(const QSqlError& error) {
    const QString strDriver = error.text().trimmed();
    // The driver's words are English; say first what they mean for the person at the keyboard.
    const QString strCode = error.nativeErrorCode();
    const int nSqlite = strCode.toInt() & 0xFF;
    const char* szMeaning = nullptr;
    if (strCode == QLatin1String("55P03") || strCode == QLatin1String("40P01") ||
        strCode == QLatin1String("40001") || nSqlite == 5 || nSqlite == 6)
        szMeaning = QT_TRANSLATE_NOOP(
            "CDatabase", "帐本正忙：另一个程序正在写入，等待超时，这一步没有完成，请稍后再试。");
    else if (nSqlite == 8)
        szMeaning = QT_TRANSLATE_NOOP("CDatabase", "帐本是只读的，无法写入。");
    else if (nSqlite == 11 || nSqlite == 26)
        szMeaning = QT_TRANSLATE_NOOP("CDatabase", "帐本文件已损坏，或不是帐本。");
    else if (nSqlite == 13)
        szMeaning = QT_TRANSLATE_NOOP("CDatabase", "磁盘已满，无法写入帐本。");
    else if (nSqlite == 14)
        szMeaning = QT_TRANSLATE_NOOP("CDatabase", "无法打开帐本文件。");
    if (!szMeaning)
        return strDriver.isEmpty() ? QCoreApplication::translate("CDatabase", "数据库错误")
                                   : strDriver;
    const QString strMeaning = QCoreApplication::translate("CDatabase", szMeaning);
    return strDriver.isEmpty() ? strMeaning : strMeaning + QStringLiteral("（%1）").arg(strDriver);
}

QString CDatabase::CheckUrl(const QString& strUrl) {
    if (IsPostgresUrl(strUrl)) {
        const QUrl url(strUrl);
        if (!url.isValid() || url.host().isEmpty() || url.path().size() < 2)
            return QCoreApplication::translate(
                       "CDatabase", "数据库地址“%1”无效：应为 postgresql://用户:密码@主机:端口/数据库。")
                .arg(strUrl);
        return QString();
    }
    try {
        CheckSqliteFile(strUrl);
    } catch (const CDBException& e) {
        return e.m_strError;
    }
    return QString();
}

bool CDatabase::IsPostgresUrl(const QString& strUrl) {
    return strUrl.startsWith(QLatin1String("postgresql://")) ||
           strUrl.startsWith(QLatin1String("postgres://"));
}

void CDatabase::SetUrl(const QString& strUrl, const QString& strConnection) {
    Close(strConnection);
    SConnectionInfo info;
    info.strUrl = strUrl;
    info.dialect =
        CSqlDialect(IsPostgresUrl(strUrl) ? CSqlDialect::PostgreSQL : CSqlDialect::SQLite);
    Connections().insert(strConnection, info);
}

QString CDatabase::Url(const QString& strConnection) {
    return Connections().value(strConnection).strUrl;
}

void CDatabase::Open(const QString& strConnection) {
    auto it = Connections().find(strConnection);
    if (it == Connections().end() || it->strUrl.isEmpty())
        throw CDBException(QCoreApplication::translate("CDatabase", "没有指定帐本数据库。"));
    if (it->bOpen)
        return;
    const bool bPg = it->dialect.Kind() == CSqlDialect::PostgreSQL;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            bPg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), strConnection);
        try {
            if (!db.isValid())
                throw CDBException(
                    QCoreApplication::translate("CDatabase", "缺少数据库驱动 %1。")
                        .arg(bPg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE")));
            if (bPg)
                OpenPostgres(db, it->strUrl);
            else
                OpenSqlite(db, it->strUrl);
            CSchema::Ensure(db, it->dialect);
        } catch (...) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(strConnection);
            throw;
        }
    }
    it->bOpen = true;
}

void CDatabase::Close(const QString& strConnection) {
    auto it = Connections().find(strConnection);
    if (it != Connections().end())
        it->bOpen = false;
    if (QSqlDatabase::contains(strConnection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(strConnection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(strConnection);
    }
}

bool CDatabase::IsOpen(const QString& strConnection) {
    return Connections().value(strConnection).bOpen;
}

QSqlDatabase CDatabase::Connection(const QString& strConnection) {
    Open(strConnection);
    return QSqlDatabase::database(strConnection, false);
}

const CSqlDialect& CDatabase::Dialect(const QString& strConnection) {
    static const CSqlDialect s_sqlite;
    auto it = Connections().constFind(strConnection);
    return it == Connections().constEnd() ? s_sqlite : it->dialect;
}

QSqlQuery CDatabase::Exec(const QString& strSql, const QVariantList& values,
                          const QString& strConnection) {
    QSqlQuery query(Connection(strConnection));
    query.setForwardOnly(true);
    if (!query.prepare(strSql))
        throw CDBException(DriverText(query.lastError()));
    ExecPrepared(query, values);
    return query;
}

void CDatabase::ExecPrepared(QSqlQuery& query, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        // PostgreSQL's driver cuts a text at a NUL and fails with a syntax error, SQLite
        // would keep it: refuse it the same way on both.
        if (v.metaType().id() == QMetaType::QString && v.toString().contains(QChar(0)))
            throw CDBException(QCoreApplication::translate(
                "CDatabase", "文字中不能有空字符（NUL），这一步没有完成。"));
        query.bindValue(i, v);
    }
    if (!query.exec())
        throw CDBException(DriverText(query.lastError()));
}

QString CDatabase::DefaultBookPath() {
    const QString strDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(strDir);
    return QDir(strDir).filePath(QStringLiteral("ledgerkin.db"));
}
