#include "cconnectiontable.h"
#include "cdatabase.h"
#include "cdberrortext.h"
#include "cdbexception.h"
#include "ckeptschema.h"
#include "csearchschema.h"
#include "cschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <sqlite3.h>

// CDatabase: opening and closing a book, and the discipline of an SQLite book's file (another
// file put at its path, or copied over it in place, is noticed before anything is written).

using CConnectionTable::BusyTimeoutMs;
using CConnectionTable::Connections;
using CConnectionTable::FileIdOf;
using CConnectionTable::FindInfo;
using CConnectionTable::ForgetPreparedWrites;
using CConnectionTable::NextGeneration;
using CConnectionTable::SqliteHandle;

namespace {

// A few figures of the book that nearly every write of the program changes, read cheaply from
// small tables and the ends of the record tables' keys.
const char* const g_szBookSignature =
    "SELECT (SELECT count(*) || ':' || ifnull(max(rowid), 0) FROM \"User\"), "
    "(SELECT ifnull(group_concat(rowid || '=' || \"CardCash\", ','), '') FROM \"Bank\"), "
    "(SELECT ifnull(max(rowid), 0) FROM \"Income\"), "
    "(SELECT ifnull(max(rowid), 0) FROM \"Outlay\"), "
    "(SELECT count(*) || ':' || ifnull(max(rowid), 0) FROM \"Trs\"), "
    "(SELECT count(*) || ':' || total(\"InCents\") || ':' || total(\"OutCents\") || ':' || "
    "total(\"InRows\") || ':' || total(\"OutRows\") FROM \"MonthTotals\")";

// No statement of the connection is part way through its rows, and no transaction is open:
// what it reads next is the book as it is now.
bool IsIdle(sqlite3* pDb) {
    if (!sqlite3_get_autocommit(pDb))
        return false;
    for (sqlite3_stmt* p = sqlite3_next_stmt(pDb, nullptr); p; p = sqlite3_next_stmt(pDb, p))
        if (sqlite3_stmt_busy(p))
            return false;
    return true;
}

// What PRAGMA data_version says on the connection; -1 when it cannot be read.
qint64 DataVersionOf(sqlite3* pDb) {
    qint64 nVersion = -1;
    sqlite3_stmt* pStmt = nullptr;
    if (sqlite3_prepare_v2(pDb, "PRAGMA data_version", -1, &pStmt, nullptr) == SQLITE_OK &&
        sqlite3_step(pStmt) == SQLITE_ROW)
        nVersion = sqlite3_column_int64(pStmt, 0);
    sqlite3_finalize(pStmt);
    return nVersion;
}

// The signature as a connection sees it, or SQLite's result code why it could not be read.
struct SSignature {
    QString str;
    int nError = SQLITE_OK;
    bool IsRead() const { return nError == SQLITE_OK && !str.isEmpty(); }
    // Another connection held the file a moment: nothing is known about its content.
    bool IsBusy() const {
        return (nError & 0xff) == SQLITE_BUSY || (nError & 0xff) == SQLITE_LOCKED;
    }
};

SSignature SignatureOf(sqlite3* pDb) {
    SSignature signature;
    sqlite3_stmt* pStmt = nullptr;
    signature.nError = sqlite3_prepare_v2(pDb, g_szBookSignature, -1, &pStmt, nullptr);
    if (signature.nError == SQLITE_OK) {
        const int rc = sqlite3_step(pStmt);
        if (rc == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(pStmt); ++i)
                signature.str += QString::fromUtf8(
                                     reinterpret_cast<const char*>(sqlite3_column_text(pStmt, i))) +
                                 QLatin1Char('|');
        } else {
            signature.nError = sqlite3_extended_errcode(pDb);
        }
    }
    sqlite3_finalize(pStmt);
    return signature;
}

// Takes what the connection knew of the file at one moment: the file's stamp, the data
// version and the signature. The version must have been read no later than the signature, so
// that an unchanged version later means an unchanged book.
void Remember(SConnectionInfo& info, const SFileStamp& stamp, qint64 nDataVersion,
              const SSignature& signature) {
    info.stamp = stamp;
    info.nDataVersion = signature.IsRead() ? nDataVersion : -1;
    info.strSignature = signature.str;
}

// The same, read now on the connection.
void Remember(SConnectionInfo& info, sqlite3* pDb) {
    SFileStamp stamp;
    FileIdOf(info.strFilePath, &stamp);
    if (!pDb) {
        info.stamp = stamp;
        return;
    }
    const qint64 nDataVersion = DataVersionOf(pDb);
    Remember(info, stamp, nDataVersion, SignatureOf(pDb));
}

// The signature of what the file holds now, read by a connection of its own that has nothing
// cached. It is SQLite's: within one process SQLite shares its locks on a file between its
// connections, so opening and closing this one drops nothing.
SSignature FreshSignatureOf(const QString& strPath) {
    sqlite3* pDb = nullptr;
    SSignature signature;
    signature.nError = sqlite3_open_v2(QFile::encodeName(strPath).constData(), &pDb,
                                       SQLITE_OPEN_READONLY, nullptr);
    if (signature.nError == SQLITE_OK) {
        sqlite3_busy_timeout(pDb, BusyTimeoutMs);
        signature = SignatureOf(pDb);
    }
    sqlite3_close(pDb);
    return signature;
}

// True when a connection of this process has that file open as its book.
bool IsOpenHere(const SFileId& id) {
    if (!id.bValid)
        return false;
    QMutexLocker lock(&Connections().mutex);
    for (const auto& entry : Connections().infos)
        if (entry.second.bOpen && entry.second.dialect.IsSQLite() && entry.second.fileId == id)
            return true;
    return false;
}

// A file that exists but is not an SQLite database is refused before the driver
// touches it, so it is never rewritten.
void CheckSqliteFile(const QString& strPath) {
    // The C library would cut the name at the NUL and open another file.
    if (strPath.contains(QChar(0)))
        throw CDBException(
            QCoreApplication::translate("CDatabase", "账本路径中有空字符（NUL），无法打开。"));
    const QFileInfo info(strPath);
    if (info.exists()) {
        if (info.isDir())
            throw CDBException(
                QCoreApplication::translate("CDatabase", "无法打开账本“%1”：这是一个文件夹。")
                    .arg(strPath));
        // A book this process has open is SQLite's alone: closing a descriptor of ours would
        // drop every lock the process holds on it.
        if (IsOpenHere(FileIdOf(strPath)))
            return;
        QFile file(strPath);
        if (!file.open(QIODevice::ReadOnly))
            throw CDBException(QCoreApplication::translate("CDatabase", "无法读取账本文件“%1”：%2")
                                   .arg(strPath, file.errorString()));
        const QByteArray head = file.read(16);
        if (!head.isEmpty() && !head.startsWith("SQLite format 3"))
            throw CDBException(
                QCoreApplication::translate("CDatabase",
                                            "文件“%1”不是 Ledgerkin 账本（不是 SQLite 数据库）。")
                    .arg(strPath));
        return;
    }
    const QFileInfo dir(info.absolutePath());
    if (!dir.exists() || !dir.isDir())
        throw CDBException(
            QCoreApplication::translate("CDatabase", "无法创建账本“%1”：文件夹“%2”不存在。")
                .arg(strPath, info.absolutePath()));
}

void OpenSqlite(QSqlDatabase& db, const QString& strPath) {
    CheckSqliteFile(strPath);
    db.setDatabaseName(strPath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open())
        throw CDBException(
            QCoreApplication::translate("CDatabase", "无法打开账本“%1”：%2")
                .arg(strPath, CDBErrorText::Of(db.lastError(), CSqlDialect::SQLite)));
    QSqlQuery query(db);
    // Reading the schema touches the file, so a damaged file is reported here.
    bool bRead = query.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(BusyTimeoutMs)) &&
                 query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (!bRead && (query.lastError().nativeErrorCode().toInt() & 0xFF) == 8 &&
        !QFileInfo(strPath).isWritable()) {
        // A book we may read but not write (a read-only medium, another account's file) whose
        // journal files cannot be made here: open it as unchanging, for viewing. Every write is
        // then refused as read-only.
        query = QSqlQuery();
        db.close();
        db.setDatabaseName(QUrl::fromLocalFile(strPath).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?immutable=1"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        if (db.open()) {
            query = QSqlQuery(db);
            bRead = query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        }
    }
    if (!bRead)
        throw CDBException(
            QCoreApplication::translate("CDatabase", "无法读取账本“%1”：%2")
                .arg(strPath, CDBErrorText::Of(query.lastError(), CSqlDialect::SQLite)));
    // Another program's database is left exactly as it is: nothing is created in it, and its
    // journal mode is not changed (that alone rewrites its header).
    if (!query.exec(QStringLiteral(
            "SELECT count(*), sum(CASE WHEN name IN ('User', 'Bank', 'Income', 'Outlay', 'Trs') "
            "THEN 1 ELSE 0 END) FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
            "'sqlite\\_%' ESCAPE '\\'")) ||
        !query.next())
        throw CDBException(
            QCoreApplication::translate("CDatabase", "无法读取账本“%1”：%2")
                .arg(strPath, CDBErrorText::Of(query.lastError(), CSqlDialect::SQLite)));
    const int nTables = query.value(0).toInt();
    const int nBookTables = query.value(1).toInt();
    query.finish();
    if (nTables > nBookTables && nBookTables < 5)
        throw CDBException(
            QCoreApplication::translate("CDatabase",
                                        "“%1”不是 Ledgerkin 账本：这个 SQLite 数据库属于别的程序，"
                                        "其中没有账本的表。为了不改动它，程序没有打开它。")
                .arg(QDir::toNativeSeparators(strPath)));
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
        throw CDBException(CDBErrorText::Of(query.lastError(), CSqlDialect::SQLite));
    query.exec(QStringLiteral("PRAGMA synchronous = FULL"));
}

// Why a connection to the server could not be made. The driver gives no SQLSTATE for a failed
// login, only libpq's message, which carries the server's words: read the usual ones, and keep
// the message itself beside the sentence for anything else.
QString PostgresOpenError(const QSqlError& error, const QUrl& url, const QString& strDb) {
    const QString strDriver = error.text().trimmed();
    const QString strUser =
        url.userName().isEmpty() ? qEnvironmentVariable("USER") : url.userName();
    const auto says = [&strDriver](const char* sz) {
        return strDriver.contains(QLatin1String(sz), Qt::CaseInsensitive);
    };
    QString strMeaning;
    if (says("password authentication failed") || says("authentication failed for user"))
        strMeaning =
            QCoreApplication::translate("CDatabase", "数据库用户名或密码错误（数据库用户“%1”）。")
                .arg(strUser);
    else if (says("no password supplied") || says("password is required"))
        strMeaning = QCoreApplication::translate(
            "CDatabase", "数据库服务器要求密码，但没有给出密码：请把密码写进 ~/.pgpass"
                         "（权限 0600），或写在数据库地址中。");
    else if (says("role \"") && says("does not exist"))
        strMeaning = QCoreApplication::translate("CDatabase", "数据库服务器上没有数据库用户“%1”。")
                         .arg(strUser);
    else if (says("database \"") && says("does not exist"))
        strMeaning =
            QCoreApplication::translate("CDatabase", "数据库服务器上没有数据库“%1”。").arg(strDb);
    else if (says("no pg_hba.conf entry") || says("not permitted to log in"))
        strMeaning = QCoreApplication::translate(
                         "CDatabase", "数据库服务器不允许数据库用户“%1”从这台电脑登录数据库“%2”。")
                         .arg(strUser, strDb);
    else if (says("Connection refused") || says("could not translate host name") ||
             says("timeout expired") || says("No route to host") ||
             says("Network is unreachable") || says("could not connect"))
        strMeaning =
            QCoreApplication::translate("CDatabase",
                                        "无法连接数据库服务器 %1：服务器没有运行，或网络不通。")
                .arg(url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port())
                                    : url.host());
    else
        strMeaning = QCoreApplication::translate("CDatabase", "无法连接数据库服务器。");
    return strDriver.isEmpty() ? strMeaning : strMeaning + QStringLiteral("（%1）").arg(strDriver);
}

// libpq's own options a URL may carry beside "?schema=", as "key='value'" for the driver
// (which reads ';' as a space between options). "" in strError when all are known.
QString PostgresConnectOptions(const QUrl& url, QString& strError) {
    static const QStringList known{QStringLiteral("service"), QStringLiteral("passfile"),
                                   QStringLiteral("sslmode"), QStringLiteral("sslrootcert"),
                                   QStringLiteral("connect_timeout")};
    QStringList options;
    strError.clear();
    for (const auto& item : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (item.first == QLatin1String("schema"))
            continue;
        if (!known.contains(item.first) || item.second.contains(QLatin1Char(';'))) {
            strError = QCoreApplication::translate("CDatabase",
                                                   "数据库地址中的“%1”无效：可用的有 schema、%2。")
                           .arg(item.first, known.join(QStringLiteral("、")));
            return QString();
        }
        QString strValue = item.second;
        strValue.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('\''), QStringLiteral("\\'"));
        options << item.first + QStringLiteral("='") + strValue + QLatin1Char('\'');
    }
    // libpq waits for an unreachable server as long as the system lets it (minutes): the
    // program says so after a while instead.
    if (!QUrlQuery(url).hasQueryItem(QStringLiteral("connect_timeout")))
        options << QStringLiteral("connect_timeout=10");
    // Likewise a step sent to a server that vanished (switched off, no network) would wait for
    // the system's retransmissions; after 15 s unanswered the connection counts as broken.
    options << QStringLiteral("tcp_user_timeout=15000");
    return options.join(QLatin1Char(';'));
}

// The schema named by "?schema=": used when it is there, created only when it is missing, so
// a role that may not create schemas still opens a book made for it.
void UsePostgresSchema(QSqlDatabase& db, const QString& strSchema) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT has_schema_privilege(oid, 'USAGE') FROM pg_namespace "
                                 "WHERE nspname = ?"));
    query.addBindValue(strSchema);
    if (!query.exec())
        throw CDBException(CDBErrorText::Of(query.lastError(), CSqlDialect::PostgreSQL));
    const QString quoted = CSchema::Quoted(strSchema);
    if (!query.next()) {
        if (!query.exec(QStringLiteral("CREATE SCHEMA %1").arg(quoted)) &&
            query.lastError().nativeErrorCode() != QLatin1String("42P06")) { // made meanwhile
            const QSqlError error = query.lastError();
            if (error.nativeErrorCode() == QLatin1String("42501"))
                throw CDBException(
                    CSchema::CreateRefusedText(
                        db, QCoreApplication::translate("CDatabase", "模式“%1”").arg(strSchema),
                        QCoreApplication::translate("CDatabase", "需要数据库的 CREATE 权限")) +
                    QStringLiteral("（%1）").arg(error.text().trimmed()));
            throw CDBException(CDBErrorText::Of(error, CSqlDialect::PostgreSQL));
        }
    } else if (!query.value(0).toBool()) {
        // The role as the server knows it: the URL may name none (libpq's default, a service).
        const QString strRole = query.exec(QStringLiteral("SELECT current_user")) && query.next()
                                    ? query.value(0).toString()
                                    : db.userName();
        throw CDBException(QCoreApplication::translate(
                               "CDatabase",
                               "数据库用户“%1”无权使用模式“%2”（缺少 USAGE 权限），无法打开账本。"
                               "请让数据库管理员授予：GRANT USAGE ON SCHEMA %3 TO %4;")
                               .arg(strRole, strSchema, quoted, CSchema::Quoted(strRole)));
    }
    if (!query.exec(QStringLiteral("SET search_path TO %1").arg(quoted)))
        throw CDBException(CDBErrorText::Of(query.lastError(), CSqlDialect::PostgreSQL));
}

void OpenPostgres(QSqlDatabase& db, const QString& strUrl) {
    const QUrl url(strUrl);
    if (!url.isValid() || url.host().isEmpty())
        throw CDBException(
            QCoreApplication::translate("CDatabase", "数据库地址“%1”无效。").arg(strUrl));
    db.setHostName(url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    // Without a user or password in the URL, libpq takes them as it always does: the login
    // name, ~/.pgpass (or PGPASSFILE), a service file (PGSERVICE, PGSERVICEFILE).
    db.setUserName(url.userName());
    db.setPassword(url.password());
    QString strDb = url.path();
    if (strDb.startsWith(QLatin1Char('/')))
        strDb.remove(0, 1);
    db.setDatabaseName(strDb);
    QString strError;
    db.setConnectOptions(PostgresConnectOptions(url, strError));
    if (!strError.isEmpty())
        throw CDBException(strError);
    if (!db.open())
        throw CDBException(PostgresOpenError(db.lastError(), url, strDb));
    const QString strSchema = QUrlQuery(url).queryItemValue(QStringLiteral("schema"));
    if (!strSchema.isEmpty())
        UsePostgresSchema(db, strSchema);
}

} // namespace

QString CDatabase::CheckUrl(const QString& strUrl) {
    if (IsPostgresUrl(strUrl)) {
        const QUrl url(strUrl);
        if (!url.isValid() || url.host().isEmpty() || url.path().size() < 2)
            return QCoreApplication::translate(
                       "CDatabase",
                       "数据库地址“%1”无效：应为 postgresql://用户:密码@主机:端口/数据库。")
                .arg(strUrl);
        QString strError;
        PostgresConnectOptions(url, strError);
        return strError;
    }
    try {
        CheckSqliteFile(strUrl);
    } catch (const CDBException& e) {
        return e.m_strError;
    }
    return QString();
}

bool CDatabase::IsOpenBookFile(const QString& strPath) {
    const SFileId id = FileIdOf(strPath);
    if (!id.bValid)
        return false;
    QMutexLocker lock(&Connections().mutex);
    for (const auto& entry : Connections().infos) {
        const SConnectionInfo& info = entry.second;
        if (!info.bOpen || !info.dialect.IsSQLite())
            continue;
        if (info.fileId == id || FileIdOf(info.strFilePath + QStringLiteral("-wal")) == id ||
            FileIdOf(info.strFilePath + QStringLiteral("-shm")) == id)
            return true;
    }
    return false;
}

QString CDatabase::OpenBookFileText(const QString& strPath) {
    return QCoreApplication::translate("CDatabase",
                                       "“%1”是正在使用的账本文件，程序不会读取或覆盖它。"
                                       "请选择别的文件。")
        .arg(QDir::toNativeSeparators(strPath));
}

void CDatabase::Open(const QString& strConnection) {
    SConnectionInfo* it = FindInfo(strConnection);
    if (!it || it->strUrl.isEmpty())
        throw CDBException(QCoreApplication::translate("CDatabase", "没有指定账本数据库。"));
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
            if (bPg) {
                OpenPostgres(db, it->strUrl);
            } else {
                OpenSqlite(db, it->strUrl);
                // Taken right after opening: from now on the path must keep naming this file.
                it->strFilePath = QFileInfo(it->strUrl).absoluteFilePath();
                it->fileId = FileIdOf(it->strFilePath);
                it->bLogEmptied = false;
                it->bReplacedInPlace = false;
            }
            // The five tables, then the program's own beside them: the kept totals (built
            // when a book lacks them) and those other parts added (the import's).
            CSchema::Ensure(db, it->dialect);
            CKeptSchema::Ensure(db, it->dialect);
            CSearchSchema::Ensure(db, it->dialect);
            CSchema::EnsureAdded(db, it->dialect);
            CKeptSchema::EnsureIndexes(db, it->dialect);
            if (!bPg)
                Remember(*it, SqliteHandle(db));
        } catch (...) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(strConnection);
            throw;
        }
    }
    it->bOpen = true;
    it->nGeneration = NextGeneration();
    it->bLost = false;
    it->bNotified = false;
    it->strSchema =
        bPg ? QUrlQuery(QUrl(it->strUrl)).queryItemValue(QStringLiteral("schema")) : QString();
}

void CDatabase::Close(const QString& strConnection) {
    // Prepared statements belong to the connection and must go before it does.
    ForgetPreparedWrites(strConnection);
    SConnectionInfo* it = FindInfo(strConnection);
    if (it) {
        // A log left at the path of a replaced book would be applied to the new file by
        // whoever opens it next: empty it into the file this connection opened first.
        if (it->bOpen && !IsSameBookFile(strConnection))
            try {
                CheckBookFile(strConnection);
            } catch (const CDBException&) {
            }
        if (it->bOpen)
            it->nGeneration = NextGeneration();
        it->bOpen = false;
    }
    if (QSqlDatabase::contains(strConnection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(strConnection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(strConnection);
    }
}

bool CDatabase::IsSameBookFile(const QString& strConnection) {
    SConnectionInfo* it = FindInfo(strConnection);
    if (!it || !it->bOpen || !it->dialect.IsSQLite() || !it->fileId.bValid)
        return true;
    if (it->bReplacedInPlace)
        return false;
    SFileStamp stamp;
    if (!(FileIdOf(it->strFilePath, &stamp) == it->fileId))
        return false;
    // Inside this copy's own transaction the book holds writes no other connection sees yet;
    // the content is compared before the transaction begins.
    if (stamp == it->stamp || InTransaction(strConnection))
        return true;
    // The file changed since this connection last knew it: another copy's checkpoint, or
    // another file copied over the book in place (same inode). In the second case this
    // connection's cache still holds pages of the old book, which a write would mix into the
    // new one. A fresh connection tells what the file holds now. When no other connection has
    // committed since (the data version stands), it must hold what this one last knew; when
    // one has, it must hold what this one sees now (read again: a write of another copy may
    // fall between the two readings). A file that cannot be read at all is not the book.
    const QSqlDatabase db = QSqlDatabase::database(strConnection, false);
    sqlite3* pDb = SqliteHandle(db);
    if (!pDb || !IsIdle(pDb))
        return true; // a read still in progress sees its own moment: compare later
    // A difference counts only when both readings worked and no other connection committed
    // while they were taken; a busy file or a write racing in says nothing, and is read again.
    // Two such differences (a file SQLite cannot read as a book is one) mean another file.
    int nDiffer = 0;
    for (int nTry = 0; nTry < 12; ++nTry) {
        if (nTry > 0)
            QThread::msleep(std::min(2 << nTry, 200));
        const qint64 nVersion = DataVersionOf(pDb);
        const SSignature fresh = FreshSignatureOf(it->strFilePath);
        const SSignature known = nVersion >= 0 && nVersion == it->nDataVersion
                                     ? SSignature{it->strSignature, SQLITE_OK}
                                     : SignatureOf(pDb);
        const bool bSteady = nVersion >= 0 && DataVersionOf(pDb) == nVersion;
        if (fresh.IsRead() && known.IsRead() && fresh.str == known.str) {
            // Nothing cached may outlive a change this check cannot see.
            sqlite3_db_release_memory(pDb);
            Remember(*it, stamp, nVersion, fresh);
            return true;
        }
        // SQLite cannot read the file as a book: that is no moment's doing.
        const bool bUnreadable = !fresh.IsRead() && !fresh.IsBusy();
        if (!bUnreadable && (!fresh.IsRead() || !known.IsRead() || !bSteady))
            continue;
        if (++nDiffer == 2) {
            it->bReplacedInPlace = true;
            return false;
        }
    }
    // Other copies kept the file busy or kept writing the whole time: the next check (every
    // write and every poll makes one) looks again.
    return true;
}

void CDatabase::Written(const QString& strConnection) {
    SConnectionInfo* it = FindInfo(strConnection);
    if (!it || !it->bOpen || !it->dialect.IsSQLite() || it->bReplacedInPlace)
        return;
    // The log goes into the book at once, so an idle book is one whole file: copied away it
    // loses nothing, and a file copied over it meets no log. Readers of other copies may hold
    // part of the log; what they hold follows with a later write.
    if (sqlite3* pDb = SqliteHandle(QSqlDatabase::database(strConnection, false))) {
        sqlite3_busy_timeout(pDb, 0);
        sqlite3_wal_checkpoint_v2(pDb, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        sqlite3_busy_timeout(pDb, BusyTimeoutMs);
    }
    if (FileIdOf(it->strFilePath) == it->fileId)
        Remember(*it, SqliteHandle(QSqlDatabase::database(strConnection, false)));
}

void CDatabase::CheckBookFile(const QString& strConnection) {
    if (IsSameBookFile(strConnection))
        return;
    SConnectionInfo* it = FindInfo(strConnection);
    // A file copied over the book in place is another book now: nothing of ours goes into it.
    if (!it->bLogEmptied && !it->bReplacedInPlace) {
        // Writes only into the file this connection opened (its inode, wherever it is now).
        QSqlQuery query(QSqlDatabase::database(strConnection, false));
        query.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        it->bLogEmptied = true;
    }
    const QString strPath = QDir::toNativeSeparators(it->strFilePath);
    throw CDBException(QFileInfo::exists(it->strFilePath)
                           ? QCoreApplication::translate(
                                 "CDatabase", "账本文件“%1”已被另一个文件替换，这一步没有写入。"
                                              "请在原位置重新打开账本。")
                                 .arg(strPath)
                           : QCoreApplication::translate(
                                 "CDatabase", "账本文件“%1”已被删除或移走，这一步没有写入。"
                                              "请在原位置重新打开账本。")
                                 .arg(strPath),
                       CDBException::EKind::BookReplaced);
}

QString CDatabase::DefaultBookPath() {
    const QString strDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(strDir);
    return QDir(strDir).filePath(QStringLiteral("ledgerkin.db"));
}
