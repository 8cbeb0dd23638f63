#include "cbackup.h"

#include "cdberrortext.h"
#include "cdbexception.h"
#include "cschema.h"
#include "ctoday.h"
#include "ctransaction.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>
#include <memory>
#include <mutex>
#include <sqlite3.h>

namespace {

// Matches "<book>-yyyy-MM-dd.db" exactly, so other files in the folder are never touched.
QRegularExpression BackupPattern(const QString& strBookPath) {
    return QRegularExpression(
        QStringLiteral("^%1-(\\d{4}-\\d{2}-\\d{2})\\.db$")
            .arg(QRegularExpression::escape(QFileInfo(strBookPath).completeBaseName())));
}

// Copies the book into strTarget; returns the driver's text on failure, a null string on success.
QString VacuumInto(const QString& strBook, const QString& strTarget) {
    // One name per thread: a copy on the worker thread and one made directly never share it.
    const QString strConnection =
        QStringLiteral("ledgerkin-backup-%1").arg(quintptr(QThread::currentThreadId()));
    QString strError;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), strConnection);
        db.setDatabaseName(strBook);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        if (!db.open()) {
            strError = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.prepare(QStringLiteral("VACUUM INTO ?"))) {
                strError = query.lastError().text();
            } else {
                query.addBindValue(strTarget);
                if (!query.exec())
                    strError = query.lastError().text();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(strConnection);
    return strError;
}

} // namespace

QString CBackup::FolderFor(const QString& strBookPath) {
    return QFileInfo(strBookPath).absoluteDir().filePath(QStringLiteral("backups"));
}

QString CBackup::FileFor(const QString& strBookPath, const QDate& date) {
    return QDir(FolderFor(strBookPath))
        .filePath(QStringLiteral("%1-%2.db")
                      .arg(QFileInfo(strBookPath).completeBaseName(),
                           date.toString(QStringLiteral("yyyy-MM-dd"))));
}

QStringList CBackup::List(const QString& strBookPath) {
    const QDir dir(FolderFor(strBookPath));
    const QRegularExpression pattern = BackupPattern(strBookPath);
    QStringList names;
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& strName : entries)
        if (pattern.match(strName).hasMatch())
            names << strName;
    // The date in the name decides the order, not the file times.
    std::sort(names.begin(), names.end(), std::greater<QString>());
    for (QString& strName : names)
        strName = dir.filePath(strName);
    return names;
}

bool CBackup::RunDaily(QString& strMessage, const QString& strConnection) {
    return RunDailyFor(CDatabase::Url(strConnection), CToday::Get(), strMessage);
}

QThread* CBackup::StartDaily(QObject* pContext, FDone onDone, const QString& strConnection) {
    // Read on this thread: the connection table and "today" belong to it.
    const QString strBook = CDatabase::Url(strConnection);
    const QDate today = CToday::Get();
    // The result crosses threads under a lock of its own: the queued "finished" alone orders
    // it too, but through Qt's event queue, which thread checkers cannot follow.
    struct SResult {
        std::mutex mutex;
        bool bOk = true;
        QString strMessage;
    };
    auto pResult = std::make_shared<SResult>();
    QThread* pThread = QThread::create([strBook, today, pResult] {
        QString strMessage;
        const bool bOk = RunDailyFor(strBook, today, strMessage);
        const std::lock_guard<std::mutex> lock(pResult->mutex);
        pResult->bOk = bOk;
        pResult->strMessage = strMessage;
    });
    // Delivered in pContext's thread, and not at all once pContext is gone.
    QObject::connect(pThread, &QThread::finished, pContext, [pResult, onDone = std::move(onDone)] {
        bool bOk = false;
        QString strMessage;
        {
            const std::lock_guard<std::mutex> lock(pResult->mutex);
            bOk = pResult->bOk;
            strMessage = pResult->strMessage;
        }
        onDone(bOk, strMessage);
    });
    QObject::connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    if (QCoreApplication* pApp = QCoreApplication::instance())
        QObject::connect(pApp, &QCoreApplication::aboutToQuit, pThread,
                         [pThread] { pThread->wait(); });
    pThread->start(QThread::LowPriority);
    return pThread;
}

bool CBackup::RunDailyFor(const QString& strBook, const QDate& today, QString& strMessage) {
    strMessage.clear();
    if (strBook.isEmpty() || CDatabase::IsPostgresUrl(strBook) || !QFileInfo(strBook).isFile())
        return true;

    const QString strFolder = FolderFor(strBook);
    const QString strTarget = FileFor(strBook, today);
    if (QFileInfo::exists(strTarget))
        return true;

    if (!QDir().mkpath(strFolder) || !QFileInfo(strFolder).isDir()) {
        strMessage =
            tr("账本备份失败：无法创建备份文件夹“%1”。").arg(QDir::toNativeSeparators(strFolder));
        return false;
    }

    // Written under a temporary name first, so a copy cut short never passes for today's.
    const QString strPart =
        strTarget + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
    QFile::remove(strPart);
    const QString strError = VacuumInto(strBook, strPart);
    if (!strError.isNull()) {
        QFile::remove(strPart);
        strMessage = tr("账本备份失败：无法写入“%1”：%2")
                         .arg(QDir::toNativeSeparators(strTarget),
                              strError.trimmed().isEmpty() ? tr("数据库错误") : strError.trimmed());
        return false;
    }
    QFile::setPermissions(strPart, QFile::permissions(strBook));
    if (!QFile::rename(strPart, strTarget)) {
        QFile::remove(strPart);
        // Another copy of the program may have made today's backup in the meantime.
        if (!QFileInfo::exists(strTarget)) {
            strMessage =
                tr("账本备份失败：无法写入“%1”。").arg(QDir::toNativeSeparators(strTarget));
            return false;
        }
        return true;
    }

    const QStringList backups = List(strBook);
    QStringList notRemoved;
    for (int i = KeepCount; i < backups.size(); ++i)
        if (!QFile::remove(backups.at(i)))
            notRemoved << QDir::toNativeSeparators(backups.at(i));
    if (!notRemoved.isEmpty()) {
        strMessage = tr("已备份账本，但无法删除旧的备份：%1").arg(notRemoved.join(tr("、")));
        return false;
    }
    strMessage = tr("已备份账本到“%1”。").arg(QDir::toNativeSeparators(strTarget));
    return true;
}

QDate CBackup::DayOf(const QString& strBackupPath) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("-(\\d{4}-\\d{2}-\\d{2})\\.db$")).match(strBackupPath);
    return match.hasMatch() ? QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"))
                            : QDate();
}

namespace {

// The five tables every book has; a file without them is not one.
bool IsBook(sqlite3* pDb) {
    sqlite3_stmt* pStmt = nullptr;
    bool bOk = false;
    if (sqlite3_prepare_v2(pDb,
                           "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                           "('User', 'Bank', 'Income', 'Outlay', 'Trs')",
                           -1, &pStmt, nullptr) == SQLITE_OK &&
        sqlite3_step(pStmt) == SQLITE_ROW)
        bOk = sqlite3_column_int(pStmt, 0) == 5;
    sqlite3_finalize(pStmt);
    if (!bOk)
        return false;
    bOk = false;
    if (sqlite3_prepare_v2(pDb, "PRAGMA quick_check", -1, &pStmt, nullptr) == SQLITE_OK &&
        sqlite3_step(pStmt) == SQLITE_ROW)
        bOk = qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(pStmt, 0)), "ok") == 0;
    sqlite3_finalize(pStmt);
    return bOk;
}

} // namespace

QString CBackup::Restore(const QString& strBackupPath, const QString& strConnection) {
    const QString strName = QDir::toNativeSeparators(strBackupPath);
    if (!CDatabase::Dialect(strConnection).IsSQLite())
        throw CDBException(tr("只有 SQLite 账本可以从备份恢复。"));
    if (CTransaction::IsActive(strConnection))
        throw CDBException(tr("正在保存其他数据，请稍后再恢复。"));
    QSqlDatabase db = CDatabase::Connection(strConnection);
    CDatabase::CheckBookFile(strConnection); // never into a file that is not the book's any more
    const QVariant handle = db.driver()->handle();
    sqlite3* pBook = qstrcmp(handle.typeName(), "sqlite3*") == 0
                         ? *static_cast<sqlite3* const*>(handle.constData())
                         : nullptr;
    if (!pBook)
        throw CDBException(tr("无法恢复备份：数据库驱动不是 SQLite。"));

    sqlite3* pBackup = nullptr;
    const int nOpen = sqlite3_open_v2(QFile::encodeName(strBackupPath).constData(), &pBackup,
                                      SQLITE_OPEN_READONLY, nullptr);
    if (nOpen != SQLITE_OK || !IsBook(pBackup)) {
        sqlite3_close(pBackup);
        throw CDBException(tr("备份“%1”无法读取、已损坏或不是账本，账本没有改变。").arg(strName));
    }
    // Whatever was written since the backup stays at hand, in case it is wanted back. Written
    // under a name of this process first, then given the first free name of the second: two
    // copies restoring in the same second each keep their own.
    const QString strBook = CDatabase::Url(strConnection);
    const QString strStem =
        QDir(FolderFor(strBook))
            .filePath(
                QStringLiteral("%1-before-restore-%2")
                    .arg(QFileInfo(strBook).completeBaseName(),
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    const QString strPart =
        strStem + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
    QFile::remove(strPart);
    QString strKept = strStem + QStringLiteral(".db");
    QString strKeepError =
        QDir().mkpath(FolderFor(strBook)) ? VacuumInto(strBook, strPart) : tr("无法创建备份文件夹");
    for (int n = 2; strKeepError.isNull() && !QFile::rename(strPart, strKept); ++n) {
        if (n > 100 || !QFileInfo::exists(strKept)) {
            strKeepError = tr("无法写入文件");
            break;
        }
        strKept = strStem + QStringLiteral("-%1.db").arg(n);
    }
    if (!strKeepError.isNull()) {
        sqlite3_close(pBackup);
        QFile::remove(strPart);
        throw CDBException(tr("无法先保存当前账本的副本“%1”，账本没有改变：%2")
                               .arg(QDir::toNativeSeparators(strKept), strKeepError));
    }
    // One write transaction of the book's own connection: other copies wait for it (their
    // busy timeout) and then read either the old book or the restored one, never a mix.
    sqlite3_backup* pCopy = sqlite3_backup_init(pBook, "main", pBackup, "main");
    int nResult = pCopy ? sqlite3_backup_step(pCopy, -1) : sqlite3_errcode(pBook);
    const QString strDriver = QString::fromUtf8(sqlite3_errmsg(pBook));
    if (pCopy && sqlite3_backup_finish(pCopy) != SQLITE_OK && nResult == SQLITE_DONE)
        nResult = sqlite3_errcode(pBook);
    sqlite3_close(pBackup);
    if (nResult != SQLITE_DONE)
        throw CDBException(tr("无法从备份“%1”恢复，账本没有改变：%2")
                               .arg(strName, CDBErrorText::Of(QSqlError(QString(), strDriver,
                                                                        QSqlError::StatementError,
                                                                        QString::number(nResult)),
                                                              CSqlDialect::SQLite)));
    // A backup of an older program lacks what this one adds to a book.
    CSchema::Ensure(db, CDatabase::Dialect(strConnection));
    CDatabase::Written(strConnection);
    return strKept;
}
