#include "cbackup.h"

#include "ctoday.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>
#include <memory>

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
    struct SResult {
        bool bOk = true;
        QString strMessage;
    };
    auto pResult = std::make_shared<SResult>();
    QThread* pThread = QThread::create([strBook, today, pResult] {
        pResult->bOk = RunDailyFor(strBook, today, pResult->strMessage);
    });
    // Delivered in pContext's thread, and not at all once pContext is gone.
    QObject::connect(pThread, &QThread::finished, pContext,
                     [pResult, onDone = std::move(onDone)] {
                         onDone(pResult->bOk, pResult->strMessage);
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
            tr("帐本备份失败：无法创建备份文件夹“%1”。").arg(QDir::toNativeSeparators(strFolder));
        return false;
    }

    // Written under a temporary name first, so a copy cut short never passes for today's.
    const QString strPart =
        strTarget + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
    QFile::remove(strPart);
    const QString strError = VacuumInto(strBook, strPart);
    if (!strError.isNull()) {
        QFile::remove(strPart);
        strMessage = tr("帐本备份失败：无法写入“%1”：%2")
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
                tr("帐本备份失败：无法写入“%1”。").arg(QDir::toNativeSeparators(strTarget));
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
        strMessage = tr("已备份帐本，但无法删除旧的备份：%1").arg(notRemoved.join(tr("、")));
        return false;
    }
    strMessage = tr("已备份帐本到“%1”。").arg(QDir::toNativeSeparators(strTarget));
    return true;
}
