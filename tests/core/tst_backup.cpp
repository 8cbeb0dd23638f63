#include "cbookbuilder.h"
#include "ctestbook.h"
#include "data/cbackup.h"
#include "data/cchangewatcher.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/ctoday.h"
#include "data/cuserset.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

namespace {
void AddRows(const QString& strUser, int nIncome) {
    CUserSet user;
    user.Open();
    user.AddNew();
    user.m_UserName = strUser;
    user.m_UserPwd = QStringLiteral("pw");
    user.Update();
    CIncomeSet income;
    income.Open();
    for (int i = 0; i < nIncome; ++i) {
        income.AddNew();
        income.m_UserName = strUser;
        income.m_Date = QDateTime(QDate(2026, 1, 1).addDays(i), QTime(0, 0));
        income.m_Sort = QStringLiteral("工资收入");
        income.m_Amount = 100.25 + i;
        income.Update();
    }
}

// Rows of each table as seen through a second connection to strFile.
QList<int> RowCounts(const QString& strFile) {
    const QString strConnection = QStringLiteral("check");
    CDatabase::SetUrl(strFile, strConnection);
    QList<int> counts;
    {
        CUserSet users(strConnection);
        users.Open();
        CIncomeSet income(strConnection);
        income.Open();
        counts << users.GetRecordCount() << income.GetRecordCount();
    }
    CDatabase::Close(strConnection);
    return counts;
}

bool SkipOnPostgres() {
    return CTestBook::UsePostgres();
}
} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { CToday::Set(QDate()); }

    // The copy is made on a thread of its own while this thread's event loop keeps running;
    // the result comes back on this thread.
    void dailyBackupRunsBesideTheEventLoop() {
        if (SkipOnPostgres())
            QSKIP("backups are made of SQLite books only");
        CTestBook book;
        AddRows(QStringLiteral("张三"), 400);
        CToday::Set(QDate(2026, 12, 8));
        QObject context;
        bool bDone = false, bOk = false;
        QString strMessage;
        QThread* pDoneIn = nullptr;
        QPointer<QThread> pThread =
            CBackup::StartDaily(&context, [&](bool bResult, const QString& strResult) {
                bDone = true;
                bOk = bResult;
                strMessage = strResult;
                pDoneIn = QThread::currentThread();
            });
        QVERIFY(pThread && pThread != QThread::currentThread());
        int nTicks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&nTicks] { ++nTicks; });
        ticker.start(0);
        QTRY_VERIFY(bDone);
        QVERIFY(nTicks > 0);
        QVERIFY2(bOk, qPrintable(strMessage));
        QCOMPARE(pDoneIn, QThread::currentThread());
        const QString strCopy = CBackup::FileFor(book.FilePath(), QDate(2026, 12, 8));
        QVERIFY(strMessage.contains(QDir::toNativeSeparators(strCopy)));
        QCOMPARE(RowCounts(strCopy), (QList<int>{1, 400}));
        QTRY_VERIFY(!pThread); // the thread cleans up after itself
    }

    void newDayMakesOneCompleteBackup() {
        if (SkipOnPostgres())
            QSKIP("backups are made of SQLite books only");
        CTestBook book;
        // The book's connection stays open in WAL mode: these rows are still in the log.
        AddRows(QStringLiteral("张三"), 40);
        CToday::Set(QDate(2026, 12, 7));

        QString strMessage;
        QVERIFY2(CBackup::RunDaily(strMessage), qPrintable(strMessage));
        const QString strFirst = CBackup::FileFor(book.FilePath(), QDate(2026, 12, 7));
        QCOMPARE(QFileInfo(strFirst).fileName(), QStringLiteral("book-2026-12-07.db"));
        QCOMPARE(CBackup::List(book.FilePath()), QStringList{strFirst});
        QVERIFY(strMessage.contains(QStringLiteral("已备份")));
        QCOMPARE(RowCounts(strFirst), (QList<int>{1, 40}));

        // A second start on the same day leaves today's copy alone.
        AddRows(QStringLiteral("李四"), 2);
        QVERIFY(CBackup::RunDaily(strMessage));
        QVERIFY(strMessage.isEmpty());
        QCOMPARE(RowCounts(strFirst), (QList<int>{1, 40}));

        // The next day's copy has the new rows, and no temporary file is left behind.
        CToday::Set(QDate(2026, 12, 8));
        QVERIFY(CBackup::RunDaily(strMessage));
        QCOMPARE(CBackup::List(book.FilePath()).size(), 2);
        QCOMPARE(RowCounts(CBackup::FileFor(book.FilePath(), QDate(2026, 12, 8))),
                 (QList<int>{2, 42}));
        QCOMPARE(QDir(CBackup::FolderFor(book.FilePath())).entryList(QDir::Files).size(), 2);
    }

    void eighthBackupDropsTheOldest() {
        if (SkipOnPostgres())
            QSKIP("backups are made of SQLite books only");
        CTestBook book;
        AddRows(QStringLiteral("u"), 1);
        const QString strFolder = CBackup::FolderFor(book.FilePath());
        // Files that are not this book's backups are never deleted.
        QDir().mkpath(strFolder);
        const QStringList others{QStringLiteral("other-2000-01-01.db"),
                                 QStringLiteral("book-2000-01-01.db.bak"),
                                 QStringLiteral("notes.txt")};
        for (const QString& strName : others) {
            QFile file(QDir(strFolder).filePath(strName));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        // Days cross a month and a year, so name order must match date order.
        const QDate first(2026, 12, 27);
        QString strMessage;
        for (int i = 0; i < 8; ++i) {
            CToday::Set(first.addDays(i));
            QVERIFY2(CBackup::RunDaily(strMessage), qPrintable(strMessage));
        }
        const QStringList kept = CBackup::List(book.FilePath());
        QCOMPARE(kept.size(), CBackup::KeepCount);
        QCOMPARE(kept.first(), CBackup::FileFor(book.FilePath(), QDate(2027, 1, 3)));
        QCOMPARE(kept.last(), CBackup::FileFor(book.FilePath(), QDate(2026, 12, 28)));
        QVERIFY(!QFileInfo::exists(CBackup::FileFor(book.FilePath(), first)));
        for (const QString& strName : others)
            QVERIFY2(QFileInfo::exists(QDir(strFolder).filePath(strName)), qPrintable(strName));
    }

    void failureGivesAMessageAndTheBookGoesOn() {
        if (SkipOnPostgres()) {
            // Nothing to copy: a server book is backed up by its server's own tools.
            CTestBook book;
            QString strMessage = QStringLiteral("x");
            QVERIFY(CBackup::RunDaily(strMessage));
            QVERIFY(strMessage.isEmpty());
            return;
        }
        CTestBook book;
        AddRows(QStringLiteral("u"), 3);
        CToday::Set(QDate(2026, 12, 7));
        // A plain file where the folder should be: mkdir fails, even for root.
        QFile blocker(CBackup::FolderFor(book.FilePath()));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString strMessage;
        QVERIFY(!CBackup::RunDaily(strMessage));
        QVERIFY2(strMessage.contains(QStringLiteral("备份失败")) &&
                     strMessage.contains(QStringLiteral("backups")),
                 qPrintable(strMessage));
        QCOMPARE(RowCounts(book.FilePath()), (QList<int>{1, 3}));
        AddRows(QStringLiteral("v"), 1);

        // A book that is not a database: the copy fails with the driver's reason.
        QTemporaryDir dir;
        const QString strJunk = dir.filePath(QStringLiteral("junk.db"));
        QFile junk(strJunk);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        CDatabase::SetUrl(strJunk, QStringLiteral("junk"));
        QVERIFY(!CBackup::RunDaily(strMessage, QStringLiteral("junk")));
        QVERIFY2(strMessage.contains(QStringLiteral("备份失败")), qPrintable(strMessage));
        QVERIFY(CBackup::List(strJunk).isEmpty());
        QCOMPARE(QDir(CBackup::FolderFor(strJunk)).entryList(QDir::Files).size(), 0);

        // A book not created yet is neither created nor copied.
        const QString strNew = dir.filePath(QStringLiteral("new.db"));
        CDatabase::SetUrl(strNew, QStringLiteral("junk"));
        QVERIFY(CBackup::RunDaily(strMessage, QStringLiteral("junk")));
        QVERIFY(!QFileInfo::exists(strNew));
        CDatabase::Close(QStringLiteral("junk"));
    }

    // A backup put back into the open book while another copy has it open: the book is the
    // backup again, whole, for both copies; the other copy's watcher notices. A file that is
    // not a whole book is refused and the book stays as it is.
    void restoreReplacesTheOpenBookInOneStep() {
        if (SkipOnPostgres())
            QSKIP("backups are made of SQLite books only");
        CTestBook book;
        AddRows(QStringLiteral("张三"), 30);
        CToday::Set(QDate(2026, 12, 7));
        QString strMessage;
        QVERIFY2(CBackup::RunDaily(strMessage), qPrintable(strMessage));
        const QString strBackup = CBackup::List(book.FilePath()).value(0);
        QCOMPARE(CBackup::DayOf(strBackup), QDate(2026, 12, 7));
        const QStringList backedUp = CBookBuilder::Dump();

        const QString strOther = QStringLiteral("other");
        CDatabase::SetUrl(book.FilePath(), strOther);
        CChangeWatcher watcher(strOther);
        QSignalSpy changed(&watcher, &CChangeWatcher::Changed);
        QCOMPARE(CBookBuilder::Dump(strOther), backedUp);
        watcher.Poll();
        AddRows(QStringLiteral("李四"), 500); // the book grows past the backup
        QVERIFY(CBookBuilder::Dump() != backedUp);

        QFile damaged(CBackup::FolderFor(book.FilePath()) + QStringLiteral("/book-2026-12-06.db"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray("SQLite format 3").append(char(0)).append(4000, 'x'));
        damaged.close();
        const QStringList grown = CBookBuilder::Dump();
        for (const QString& strBad :
             {damaged.fileName(), book.FilePath() + QStringLiteral(".none")}) {
            try {
                CBackup::Restore(strBad);
                QFAIL("a file that is not a book was restored");
            } catch (const CDBException& e) {
                QVERIFY2(e.m_strError.contains(QStringLiteral("没有改变")),
                         qPrintable(e.m_strError));
            }
            QCOMPARE(CBookBuilder::Dump(), grown);
        }
        QVERIFY(QFile::remove(damaged.fileName()));

        watcher.Poll();
        changed.clear();
        const QString strKept = CBackup::Restore(strBackup);
        QCOMPARE(CBookBuilder::Dump(), backedUp);
        QCOMPARE(CBackup::List(book.FilePath()), QStringList{strBackup}); // not a daily copy
        CDatabase::SetUrl(strKept, QStringLiteral("kept"));
        QCOMPARE(CBookBuilder::Dump(QStringLiteral("kept")), grown);
        CDatabase::Close(QStringLiteral("kept"));
        QCOMPARE(CBookBuilder::IntegrityProblem(), QString());
        watcher.Poll();
        QVERIFY(changed.count() > 0);
        QCOMPARE(CBookBuilder::Dump(strOther), backedUp);
        CDatabase::Close(strOther);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestBackup)
#include "tst_backup.moc"
