#pragma once

#include "cdatabase.h"

#include <QCoreApplication>
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

class QObject;
class QThread;

// Daily copies of an SQLite book into a "backups" folder beside it:
//   ~/…/ledgerkin.db  ->  ~/…/backups/ledgerkin-2026-12-07.db
// The copy is made with VACUUM INTO on a connection of its own, so it is a consistent
// snapshot even while another copy of the program writes, and includes rows still in the
// write-ahead log. Only the newest KeepCount copies of the book are kept.
class CBackup {
    Q_DECLARE_TR_FUNCTIONS(CBackup)

public:
    static constexpr int KeepCount = 7;

    // Called once at start-up. Makes today's backup (CToday) of the book behind strConnection
    // unless it exists already, then deletes the oldest beyond KeepCount.
    // Returns false only on failure, with strMessage a Chinese text for the status bar; the
    // program goes on either way. On success strMessage tells what was done ("" when nothing
    // was: a PostgreSQL book, a book not created yet, or today's backup already there).
    static bool RunDaily(QString& strMessage,
                         const QString& strConnection = CDatabase::DefaultConnection);

    // RunDaily's work on a thread of its own, with a connection of its own, so the window stays
    // usable while a large book is copied. onDone(bOk, strMessage) runs in pContext's thread
    // when the copy is done, unless pContext is gone by then. The returned thread deletes
    // itself when finished; a program quitting meanwhile waits for it, so no copy is cut short.
    using FDone = std::function<void(bool bOk, const QString& strMessage)>;
    static QThread* StartDaily(QObject* pContext, FDone onDone,
                               const QString& strConnection = CDatabase::DefaultConnection);

    // Where the backups of an SQLite book go, and the name of one day's copy.
    static QString FolderFor(const QString& strBookPath);
    static QString FileFor(const QString& strBookPath, const QDate& date);

    // This book's backups in the folder, newest first.
    static QStringList List(const QString& strBookPath);
    // The day in a backup's name (invalid when the name is not a backup's).
    static QDate DayOf(const QString& strBackupPath);

    // Puts the backup's content into the open SQLite book behind strConnection, in one
    // step, while other copies of the program may have the book open: they see the restored
    // book at their next read, as after any other write. Refuses (CDBException, book left as
    // it was) a backup that is damaged or not a book, a PostgreSQL book and a book whose file
    // was replaced. The book as it was is first copied beside the backups
    // ("<book>-before-restore-yyyyMMdd-hhmmss.db", never pruned); returns that copy's path.
    static QString Restore(const QString& strBackupPath,
                           const QString& strConnection = CDatabase::DefaultConnection);

private:
    // The work of RunDaily for the book at strBook (empty or a PostgreSQL URL: nothing to do);
    // touches no state shared with other threads.
    static bool RunDailyFor(const QString& strBook, const QDate& today, QString& strMessage);
};
