#include "accounts/ctransfer.h"
#include "analysis/creportcsv.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "data/cdberrortext.h"
#include "data/cdbexception.h"
#include "data/ckepttotals.h"
#include "data/cschema.h"
#include "data/cuserset.h"
#include "import/cexporter.h"
#include "import/cimporter.h"
#include "import/cimporterror.h"
#include "import/cstatementfile.h"
#include "users/cuseradmin.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>
#include <atomic>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Books that cannot be used as they are: a file in a missing folder, a file that is not a
// book or is damaged, a read-only book, a book another copy of the program holds locked, a
// server that does not answer. Each gives a clear message, never a crash, and writes nothing.
namespace {

const QString g_strUser = QStringLiteral("张三");
const QString g_strCash = QStringLiteral("现金");
const QString g_strBank = QStringLiteral("银行");
const QDate g_day(2024, 5, 6);

// A message a person can read: Chinese, and not a driver's English text with Chinese names in
// it (PostgreSQL quotes the statement back).
bool HasChinese(const QString& str) {
    if (str.isEmpty() || (str[0].unicode() < 128 && str[0].isLetter()))
        return false;
    for (const QChar c : str)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

QByteArray FileHash(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// What the first few things a person does report on this book: the login list, a transfer,
// a new user. "" for a step that worked.
QStringList TryToUse(const QString& strConnection) {
    QStringList messages;
    auto attempt = [&messages](const std::function<void()>& fn) {
        try {
            fn();
            messages << QString();
        } catch (const CDBException& e) {
            messages << e.m_strError;
        }
    };
    attempt([&] { CUserAdmin::UserNames(strConnection); });
    // Logging in with an unchanged "保存密码" choice writes nothing, so it works read-only.
    attempt([&] {
        if (!CUserAdmin::CheckPassword(g_strUser, QStringLiteral("pw"), strConnection) ||
            !CUserAdmin::StoreSaveChoice(g_strUser, false, QStringLiteral("pw"), strConnection))
            throw CDBException(QStringLiteral("无法登录"));
    });
    attempt([&] {
        const auto eResult =
            CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 5, strConnection);
        if (eResult != CTransfer::EResult::Done)
            throw CDBException(CTransfer::Message(eResult));
    });
    attempt([&] {
        CUserAdmin::CreateUser(QStringLiteral("李四"), QStringLiteral("pw"),
                               {{g_strCash, QString(), 1}}, g_day, strConnection);
    });
    return messages;
}

// Files of the book (or its log and index) this process still holds open although they
// were deleted: a log another copy removed under this one.
QStringList DeletedFilesOf(const QString& strBook) {
    QStringList gone;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& strFd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char szTarget[4096];
        const ssize_t n = ::readlink(QFile::encodeName(fds.filePath(strFd)).constData(), szTarget,
                                     sizeof szTarget);
        const QString strTarget = QFile::decodeName(QByteArray(szTarget, n > 0 ? int(n) : 0));
        if (strTarget.startsWith(strBook) && strTarget.endsWith(QStringLiteral(" (deleted)")))
            gone << strTarget;
    }
    return gone;
}

// A small, closed book in dir: one user, two accounts, a few days.
QString MakeBook(const QTemporaryDir& dir, int nDays = 3,
                 const QString& strName = QStringLiteral("book.db")) {
    const QString strPath = dir.filePath(strName);
    const QString strConnection = QStringLiteral("maker");
    CDatabase::SetUrl(strPath, strConnection);
    CBookBuilder::SOptions o;
    o.nDays = nDays;
    CBookBuilder::AddUser(g_strUser, QStringLiteral("pw"), o, strConnection);
    CDatabase::Close(strConnection);
    return strPath;
}

} // namespace

class TestBrokenBook : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Missing folder, a text file, a damaged book, a folder in place of the file.
    void unusableFilesAreLeftAlone() {
        if (CTestBook::UsePostgres())
            QSKIP("file books are SQLite books");
        QTemporaryDir dir;
        const QString strConnection = QStringLiteral("broken");

        const QString strMissing = dir.filePath(QStringLiteral("不在/这里/book.db"));
        CDatabase::SetUrl(strMissing, strConnection);
        const QStringList missing = TryToUse(strConnection);
        for (const QString& s : missing)
            QVERIFY2(HasChinese(s), qPrintable(s));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("不在"))));

        const QString strGood = MakeBook(dir);
        QFile good(strGood);
        QVERIFY(good.open(QIODevice::ReadOnly));
        QByteArray damaged = good.readAll();
        good.close();
        // The header stays, the pages behind it are garbage: SQLite's own "not a database".
        for (int i = 100; i < damaged.size(); ++i)
            damaged[i] = char(i * 37);
        const QList<QPair<QString, QByteArray>> files = {
            {QStringLiteral("notes.txt"), QByteArray("日记：今天花了 12 元。\n").repeated(40)},
            {QStringLiteral("damaged.db"), damaged},
        };
        for (const auto& f : files) {
            const QString strPath = dir.filePath(f.first);
            QFile file(strPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(f.second);
            file.close();
            const QByteArray hash = FileHash(strPath);
            CDatabase::SetUrl(strPath, strConnection);
            for (const QString& s : TryToUse(strConnection))
                QVERIFY2(HasChinese(s), qPrintable(f.first + QLatin1String(": ") + s));
            CDatabase::Close(strConnection);
            QCOMPARE(FileHash(strPath), hash);
            QVERIFY(!QFileInfo::exists(strPath + QStringLiteral("-wal")));
        }

        // Another program's SQLite database: refused by name before anything is created in it.
        const QString strForeign = dir.filePath(QStringLiteral("notes.sqlite"));
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            db.setDatabaseName(strForeign);
            QVERIFY(db.open());
            QSqlQuery sql(db);
            QVERIFY(
                sql.exec(QStringLiteral("CREATE TABLE notes (id INTEGER PRIMARY KEY, t TEXT)")));
            QVERIFY(sql.exec(QStringLiteral("INSERT INTO notes (t) VALUES ('日记')")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        const QByteArray foreignHash = FileHash(strForeign);
        CDatabase::SetUrl(strForeign, strConnection);
        for (const QString& s : TryToUse(strConnection))
            QVERIFY2(s.contains(QStringLiteral("不是 Ledgerkin 账本")), qPrintable(s));
        CDatabase::Close(strConnection);
        QCOMPARE(FileHash(strForeign), foreignHash);

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.db")));
        CDatabase::SetUrl(dir.filePath(QStringLiteral("folder.db")), strConnection);
        for (const QString& s : TryToUse(strConnection))
            QVERIFY2(HasChinese(s), qPrintable(s));
        QVERIFY(QDir(dir.filePath(QStringLiteral("folder.db"))).isEmpty());
        CDatabase::Close(strConnection);
    }

    // A book the user may read but not write (a copy on a read-only medium, a file of
    // another account): reading may work, every write is refused clearly, the file stays.
    void readOnlyBookIsNotWritten() {
        if (CTestBook::UsePostgres())
            QSKIP("file books are SQLite books");
        QTemporaryDir dir;
        const QString strPath = MakeBook(dir);
        const QByteArray hash = FileHash(strPath);
        QVERIFY(
            QFile::setPermissions(strPath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0555);

        // root writes whatever the permissions say: try as nobody in a child process then.
        QStringList messages;
        if (::geteuid() != 0) {
            CDatabase::SetUrl(strPath, QStringLiteral("ro"));
            messages = TryToUse(QStringLiteral("ro"));
            CDatabase::Close(QStringLiteral("ro"));
        } else {
            int fds[2];
            QVERIFY(::pipe(fds) == 0);
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(fds[0]);
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(2);
                CDatabase::SetUrl(strPath, QStringLiteral("ro"));
                const QByteArray out =
                    TryToUse(QStringLiteral("ro")).join(QLatin1Char('\n')).toUtf8();
                if (::write(fds[1], out.constData(), size_t(out.size())) != out.size())
                    ::_exit(3);
                ::_exit(0);
            }
            ::close(fds[1]);
            QByteArray out;
            char buffer[4096];
            for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
                out.append(buffer, int(n));
            ::close(fds[0]);
            int nStatus = 0;
            ::waitpid(pid, &nStatus, 0);
            QVERIFY2(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0,
                     "the read-only attempt crashed");
            messages = QString::fromUtf8(out).split(QLatin1Char('\n'));
        }
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
        QCOMPARE(messages.size(), 4);
        // The login list may be read and the user may log in; the transfer and the new user
        // must be refused, saying why.
        QVERIFY2(messages[1].isEmpty(), qPrintable(messages.join(QLatin1Char('|'))));
        for (int i = 2; i < messages.size(); ++i)
            QVERIFY2(messages[i].contains(QStringLiteral("只读")), qPrintable(messages[i]));
        QCOMPARE(FileHash(strPath), hash);
    }

    // Another copy holds the write lock: a short hold is waited out, a long one is reported
    // and leaves the book as it was.
    void lockedBookIsWaitedForThenReported() {
        CTestBook book;
        CBookBuilder::SOptions o;
        o.nDays = 3;
        CBookBuilder::AddUser(g_strUser, QStringLiteral("pw"), o);
        const bool bPg = CTestBook::UsePostgres();

        for (const int nHoldMs : {200, 5000}) {
            const QStringList before = CBookBuilder::Dump();
            std::atomic<bool> bHolding{false};
            QString strHolderError; // written before bHolding, read after
            std::thread holder([&] {
                // The other copy: its own connection, its own thread.
                const QString strName = QStringLiteral("holder");
                {
                    QSqlDatabase db;
                    if (bPg) {
                        const QUrl url(book.Url());
                        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), strName);
                        db.setHostName(url.host());
                        db.setPort(url.port(5432));
                        db.setUserName(url.userName());
                        db.setPassword(url.password());
                        db.setDatabaseName(url.path().mid(1));
                    } else {
                        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), strName);
                        db.setDatabaseName(book.FilePath());
                    }
                    const QString strSchema =
                        QUrlQuery(QUrl(book.Url())).queryItemValue(QStringLiteral("schema"));
                    bool bOk = db.open();
                    QSqlQuery q(db);
                    bOk =
                        bOk &&
                        (!bPg ||
                         q.exec(QStringLiteral("SET search_path TO \"%1\"").arg(strSchema))) &&
                        q.exec(bPg ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN EXCLUSIVE")) &&
                        (!bPg || q.exec(QStringLiteral("LOCK TABLE \"Bank\" IN EXCLUSIVE MODE")));
                    if (!bOk)
                        strHolderError = db.lastError().text() + q.lastError().text();
                    bHolding = true;
                    if (bOk) {
                        QThread::msleep(nHoldMs);
                        q.exec(QStringLiteral("ROLLBACK"));
                    }
                    q = QSqlQuery();
                    db.close();
                }
                QSqlDatabase::removeDatabase(strName);
            });
            // Joined on every way out of this scope, a failed check included.
            struct SJoin {
                std::thread& t;
                ~SJoin() {
                    if (t.joinable())
                        t.join();
                }
            } join{holder};
            while (!bHolding)
                QThread::msleep(5);
            QVERIFY2(strHolderError.isEmpty(), qPrintable(strHolderError));

            // Our copy gives up after two and a half seconds here rather than its usual ten.
            QSqlQuery setting(CDatabase::Connection());
            QVERIFY(setting.exec(bPg ? QStringLiteral("SET lock_timeout = 2500")
                                     : QStringLiteral("PRAGMA busy_timeout = 2500")));
            QString strError;
            CTransfer::EResult eResult = CTransfer::EResult::BadAmount;
            try {
                eResult = CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 7.5);
            } catch (const CDBException& e) {
                strError = e.m_strError;
            }
            holder.join();
            if (nHoldMs < 2500) {
                QCOMPARE(strError, QString());
                QCOMPARE(eResult, CTransfer::EResult::Done);
                QCOMPARE(CTransfer::History(g_strUser).last().dAmount, 7.5);
            } else {
                QVERIFY2(HasChinese(strError), qPrintable(strError));
                QCOMPARE(CBookBuilder::Dump(), before);
            }
            QCOMPARE(CBookBuilder::BalanceProblems(), QStringList());
        }
    }

    // A server that is not there, or refuses the password.
    void unreachableServerIsReported() {
        QStringList urls{QStringLiteral("postgresql://ledgerkin:pw@127.0.0.1:1/ledgerkin")};
        if (CTestBook::UsePostgres()) {
            QUrl url(CTestBook::PostgresServer());
            url.setPassword(QStringLiteral("wrong-password"));
            urls << url.toString();
        }
        for (const QString& strUrl : urls) {
            CDatabase::SetUrl(strUrl, QStringLiteral("remote"));
            for (const QString& s : TryToUse(QStringLiteral("remote")))
                QVERIFY2(HasChinese(s), qPrintable(s));
            CDatabase::Close(QStringLiteral("remote"));
        }
    }

    // The book's file deleted, or replaced by a smaller or a larger book (a backup put in its
    // place), while two copies have it open and one has just written: the copies write
    // nothing more, say why, and leave the new file as it was put there.
    // Copied over in place ("cp backup.db book.db"), the file keeps its inode: only what it
    // holds tells.
    void bookReplacedUnderTheProgramIsLeftAlone_data() {
        QTest::addColumn<int>("nNewDays"); // 0: the file is deleted, nothing takes its place
        QTest::addColumn<bool>("bInPlace");
        QTest::newRow("deleted") << 0 << false;
        QTest::newRow("smaller") << 2 << false;
        QTest::newRow("larger") << 300 << false;
        QTest::newRow("smaller copied over") << 2 << true;
        QTest::newRow("larger copied over") << 300 << true;
    }
    void bookReplacedUnderTheProgramIsLeftAlone() {
        if (CTestBook::UsePostgres())
            QSKIP("file books are SQLite books");
        QFETCH(int, nNewDays);
        QFETCH(bool, bInPlace);
        QTemporaryDir dir;
        const QString strPath = MakeBook(dir, 60);
        const QString strCopy = QStringLiteral("copy"), strOther = QStringLiteral("other");
        CDatabase::SetUrl(strPath, strCopy);
        CDatabase::SetUrl(strPath, strOther);
        CUserAdmin::UserNames(strOther);
        // Rows in the write-ahead log, not yet in the file: what would be applied to a new one.
        for (int i = 0; i < 20; ++i)
            QCOMPARE(CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 1, strCopy),
                     CTransfer::EResult::Done);
        // The other copy's watcher has looked at the book since (it does so every moment).
        QVERIFY(CDatabase::IsSameBookFile(strOther));

        QByteArray newHash;
        QStringList newRows;
        const qint64 nOldSize = QFileInfo(strPath).size();
        // the log and index stay, as a file manager leaves them
        QVERIFY(bInPlace || QFile::remove(strPath));
        if (nNewDays > 0) {
            QTemporaryDir newDir;
            const QString strNew = MakeBook(newDir, nNewDays);
            QCOMPARE(QFileInfo(strNew).size() < nOldSize, nNewDays < 60);
            CDatabase::SetUrl(strNew, QStringLiteral("maker"));
            newRows = CBookBuilder::Dump(QStringLiteral("maker"));
            CDatabase::Close(QStringLiteral("maker"));
            newHash = FileHash(strNew);
            // Over the open book by another process: this one never opens the book's files.
            if (bInPlace)
                QCOMPARE(QProcess::execute(QStringLiteral("cp"), {strNew, strPath}), 0);
            else
                QVERIFY(QFile::copy(strNew, strPath));
        }

        for (const QString& strConnection : {strCopy, strOther}) {
            QVERIFY(!CDatabase::IsSameBookFile(strConnection));
            try {
                CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 1, strConnection);
                QFAIL("a transfer into a replaced book was not refused");
            } catch (const CDBException& e) {
                QCOMPARE(e.m_eKind, CDBException::EKind::BookReplaced);
                QVERIFY2(e.m_strError.contains(QStringLiteral("重新打开")),
                         qPrintable(e.m_strError));
            }
            // The list and the login only read; the writes must be refused.
            for (const QString& s : TryToUse(strConnection).mid(2))
                QVERIFY2(HasChinese(s), qPrintable(s));
        }
        CDatabase::Close(strCopy);
        CDatabase::Close(strOther);

        QCOMPARE(QFileInfo::exists(strPath), nNewDays > 0);
        if (nNewDays > 0)
            QCOMPARE(FileHash(strPath), newHash);
        // Whoever opens the path next finds the new book (or a new empty one), whole.
        CDatabase::SetUrl(strPath, strOther);
        QCOMPARE(CBookBuilder::IntegrityProblem(strOther), QString());
        QCOMPARE(CBookBuilder::Dump(strOther), newRows);
        CDatabase::Close(strOther);
    }

    // Another connection writing as fast as it can (a second copy, the import) moves the file
    // under this one all the time: the check for a book copied over in place must never take
    // that for another file.
    void bookOthersWriteIsNeverTakenForAnother() {
        if (CTestBook::UsePostgres())
            QSKIP("file books are SQLite books");
        QTemporaryDir dir;
        const QString strPath = MakeBook(dir);
        const QString strCopy = QStringLiteral("copy");
        CDatabase::SetUrl(strPath, strCopy);
        std::atomic<bool> bDone{false};
        std::atomic<int> nWritten{0};
        std::thread writer([&] {
            const QString strWriter = QStringLiteral("writer");
            CDatabase::SetUrl(strPath, strWriter);
            for (int i = 0; i < 300; ++i) {
                if (CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 1, strWriter) ==
                    CTransfer::EResult::Done)
                    ++nWritten;
                std::this_thread::sleep_for(std::chrono::microseconds((i * 7919) % 3000));
            }
            CDatabase::Close(strWriter);
            bDone = true;
        });
        int nChecks = 0, nAlarms = 0;
        while (!bDone) {
            CUserAdmin::UserNames(strCopy);
            nAlarms += CDatabase::IsSameBookFile(strCopy) ? 0 : 1;
            ++nChecks;
        }
        writer.join();
        QCOMPARE(nWritten.load(), 300);
        QVERIFY2(nAlarms == 0,
                 qPrintable(QStringLiteral("%1 of %2 checks").arg(nAlarms).arg(nChecks)));
        QCOMPARE(CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 1, strCopy),
                 CTransfer::EResult::Done);
        CDatabase::Close(strCopy);
    }

    // While a copy has the book open, nothing but SQLite opens the book's files: not a second
    // connection of the same process (the import's), not a check of the path, not the book
    // picked as a statement or as the file to export to. Closing any other descriptor of the
    // file would drop the copy's locks; another copy quitting then deletes the log under it and
    // what it writes next is lost. The copy's write must reach a copy started after.
    void logOfARunningCopyStaysWhileOthersComeAndGo() {
        if (CTestBook::UsePostgres())
            QSKIP("file books are SQLite books");
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("needs the sqlite3 command as the other copy");
        QTemporaryDir dir;
        const QString strPath = MakeBook(dir);
        const QString strCopy = QStringLiteral("copy"), strWorker = QStringLiteral("worker");
        CDatabase::SetUrl(strPath, strCopy);
        QCOMPARE(CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 1, strCopy),
                 CTransfer::EResult::Done);

        CDatabase::SetUrl(strPath, strWorker);
        CUserAdmin::UserNames(strWorker);
        CDatabase::Close(strWorker);
        QCOMPARE(CDatabase::CheckUrl(strPath), QString());
        auto otherCopy = [&](const QString& strSql) {
            QProcess sqlite;
            sqlite.start(QStringLiteral("sqlite3"), {strPath, strSql});
            return sqlite.waitForFinished(30000) && sqlite.exitCode() == 0
                       ? QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed()
                       : QStringLiteral("failed");
        };
        const QString strTransfers = otherCopy(QStringLiteral("SELECT count(*) FROM \"Trs\""));
        QVERIFY(QFileInfo::exists(strPath + QStringLiteral("-wal")));
        QCOMPARE(DeletedFilesOf(strPath), QStringList());
        QCOMPARE(CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 2, strCopy),
                 CTransfer::EResult::Done);
        QCOMPARE(otherCopy(QStringLiteral("SELECT count(*) FROM \"Trs\"")),
                 QString::number(strTransfers.toInt() + 1));
        for (const QString& strFile :
             {strPath, strPath + QStringLiteral("-wal"), strPath + QStringLiteral("-shm")}) {
            CStatementFile statement;
            QVERIFY_THROWS_EXCEPTION(CImportError, statement.Load(strFile));
            QVERIFY(!CExporter::Write(strFile, g_strUser, CExporter::EFormat::Csv, g_day, g_day)
                         .isEmpty());
            QString strError;
            QVERIFY(!CReportCsv::Write(strFile, {QStringLiteral("日期")}, {}, strError));
            QVERIFY2(strError.contains(QStringLiteral("正在使用的账本")), qPrintable(strError));
        }
        QCOMPARE(DeletedFilesOf(strPath), QStringList());
        CDatabase::Close(strCopy);
        QCOMPARE(otherCopy(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    }

    // Texts by backend: SQLite result codes (extended ones too), PostgreSQL SQLSTATEs.
    void errorTextsByBackend_data() {
        QTest::addColumn<bool>("bPostgres");
        QTest::addColumn<QString>("strCode");
        QTest::addColumn<QString>("strStart");
        const auto row = [](const char* szName, bool bPg, const char* szCode, const char* szStart) {
            QTest::newRow(szName) << bPg << QString::fromLatin1(szCode)
                                  << QString::fromUtf8(szStart);
        };
        row("sqlite busy", false, "5", "账本正忙");
        row("sqlite busy snapshot", false, "517", "账本正忙");
        row("sqlite readonly", false, "8", "账本是只读的");
        row("sqlite readonly dbmoved", false, "1032", "账本是只读的");
        row("sqlite ioerr", false, "10", "读写账本文件时出错");
        row("sqlite full", false, "13", "磁盘已满");
        row("sqlite notadb", false, "26", "账本文件已损坏");
        row("sqlite other", false, "1", "数据库错误");
        row("pg permission", true, "42501", "没有权限");
        row("pg not the sqlite busy", true, "42501", "没有权限"); // 42501 & 0xFF == 5
        row("pg connection", true, "08006", "与数据库服务器的连接已断开");
        row("pg admin shutdown", true, "57P01", "数据库服务器正在关闭或重新启动");
        row("pg serialization", true, "40001", "另一个程序同时在修改");
        row("pg deadlock", true, "40P01", "另一个程序同时在修改");
        row("pg too many connections", true, "53300", "数据库服务器的连接数已满");
        row("pg out of memory", true, "53200", "数据库服务器资源不足");
        row("pg bad password", true, "28P01", "数据库用户名或密码错误");
        row("pg no such role", true, "28000", "数据库用户名或密码错误");
        row("pg unknown", true, "P0001", "数据库错误");
    }
    void errorTextsByBackend() {
        QFETCH(bool, bPostgres);
        QFETCH(QString, strCode);
        QFETCH(QString, strStart);
        const QSqlError error(QStringLiteral("driver says"), QStringLiteral("something failed"),
                              QSqlError::StatementError, strCode);
        const QString strText =
            CDBErrorText::Of(error, bPostgres ? CSqlDialect::PostgreSQL : CSqlDialect::SQLite);
        QVERIFY2(strText.startsWith(strStart), qPrintable(strText));
        QVERIFY2(strText.contains(QStringLiteral("something failed")), qPrintable(strText));
    }

    // A PostgreSQL role without the right to write a table: said as a missing right, not as
    // a busy book.
    void permissionDeniedIsSaidAsSuch() {
        if (!CTestBook::UsePostgres())
            QSKIP("rights of database roles are PostgreSQL's");
        CTestBook book;
        CBookBuilder::SOptions o;
        o.nDays = 3;
        CBookBuilder::AddUser(g_strUser, QStringLiteral("pw"), o);
        const QStringList before = CBookBuilder::Dump();
        // A superuser ignores rights: act as a role that may only read, then.
        QSqlQuery sql(CDatabase::Connection());
        QVERIFY(
            sql.exec(QStringLiteral("SELECT rolsuper FROM pg_roles WHERE rolname = CURRENT_USER")));
        QVERIFY(sql.next());
        const QString strReader =
            QStringLiteral("ledgerkin_reader_%1").arg(QCoreApplication::applicationPid());
        const bool bSuper = sql.value(0).toBool();
        if (bSuper)
            for (const QString& strSql :
                 {QStringLiteral("CREATE ROLE %1 NOLOGIN"),
                  QStringLiteral("GRANT USAGE ON SCHEMA %2 TO %1"),
                  QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA %2 TO %1"),
                  QStringLiteral("SET ROLE %1")})
                QVERIFY2(sql.exec(strSql.arg(strReader, CDatabase::ChangePayload())),
                         qPrintable(sql.lastError().text()));
        else
            QVERIFY(sql.exec(QStringLiteral("REVOKE UPDATE ON \"Bank\" FROM CURRENT_USER")));
        try {
            CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, 5);
            QFAIL("a transfer without the right to write it was not refused");
        } catch (const CDBException& e) {
            QVERIFY2(e.m_strError.startsWith(QStringLiteral("数据库用户没有写入账本的权限")),
                     qPrintable(e.m_strError));
        }
        QCOMPARE(CBookBuilder::Dump(), before);
        if (bSuper)
            for (const char* szSql : {"RESET ROLE", "DROP OWNED BY %1", "DROP ROLE %1"})
                sql.exec(QString::fromLatin1(szSql).arg(strReader));
    }

    // A household server: the owner's role made the book; a member's role with the grants the
    // README gives opens it without creating anything, writes records, transfers and imports;
    // a role that may only read views it and is refused every write; a role that owns nothing
    // is told which right it lacks when something is missing. Logins that fail say why.
    void householdRolesOpenWithTheirGrants() {
        if (!CTestBook::UsePostgres())
            QSKIP("database roles are PostgreSQL's");
        CTestBook book;
        CBookBuilder::SOptions o;
        o.nDays = 4;
        CBookBuilder::AddUser(g_strUser, QStringLiteral("pw"), o);
        QSqlQuery sql(CDatabase::Connection());
        QVERIFY(sql.exec(QStringLiteral(
            "SELECT rolsuper OR rolcreaterole FROM pg_roles WHERE rolname = CURRENT_USER")));
        if (!sql.next() || !sql.value(0).toBool())
            QSKIP("the test's database role may not create roles (CREATEROLE)");
        const QString strTag = QString::number(QCoreApplication::applicationPid());
        const QString strMember = QStringLiteral("lk_member_") + strTag;
        const QString strReader = QStringLiteral("lk_reader_") + strTag;
        const QString strSchema = CDatabase::ChangePayload();
        const QString strTables =
            QStringLiteral("\"User\", \"Bank\", \"Income\", \"Outlay\", \"Trs\", \"DayTotals\", "
                           "\"MonthSortTotals\", \"MonthTotals\", \"SortTotals\", \"ImportedId\", "
                           "\"ImportRule\", \"ImportLayout\", \"SearchText\", \"Category\", "
                           "\"CategoryRename\", \"Budget\", \"Recurring\", \"RecurringDone\"");
        struct SRoles {
            QString strNames, strSchema;
            ~SRoles() {
                QSqlQuery sql(CDatabase::Connection());
                for (const char* szSql : {"REVOKE ALL ON ALL TABLES IN SCHEMA %1 FROM ",
                                          "REVOKE ALL ON ALL SEQUENCES IN SCHEMA %1 FROM ",
                                          "REVOKE ALL ON SCHEMA %1 FROM ", "DROP ROLE IF EXISTS "})
                    sql.exec(QString::fromLatin1(szSql).replace(QLatin1String("%1"),
                                                                CSchema::Quoted(strSchema)) +
                             strNames);
            }
        } roles{strMember + QStringLiteral(", ") + strReader, strSchema};
        // The grants the README gives a member and a reader.
        for (const QString& strSql :
             {QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'member-pw'").arg(strMember),
              QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'reader-pw'").arg(strReader),
              QStringLiteral("GRANT USAGE ON SCHEMA \"%1\" TO ").arg(strSchema) + roles.strNames,
              QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON TABLE %1 TO ")
                      .arg(strTables) +
                  strMember,
              QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA \"%1\" TO ").arg(strSchema) +
                  strMember,
              QStringLiteral("GRANT SELECT ON TABLE %1 TO ").arg(strTables) + strReader})
            QVERIFY2(sql.exec(strSql), qPrintable(sql.lastError().text()));
        const auto urlOf = [&book](const QString& strRole, const QString& strPwd) {
            QUrl url(book.Url());
            url.setUserName(strRole);
            url.setPassword(strPwd);
            return url.toString();
        };
        const QString strMemberConn = QStringLiteral("member"),
                      strReaderConn = QStringLiteral("reader");
        CDatabase::SetUrl(urlOf(strMember, QStringLiteral("member-pw")), strMemberConn);
        CDatabase::SetUrl(urlOf(strReader, QStringLiteral("reader-pw")), strReaderConn);

        // The member: logs in, makes a user of their own (accounts, days, records, transfers)
        // and imports; the kept totals follow through the owner's triggers.
        QVERIFY(CUserAdmin::LogIn(g_strUser, QStringLiteral("pw"), strMemberConn) != 0);
        CBookBuilder::AddUser(QStringLiteral("妈妈"), QStringLiteral("pw2"), o, strMemberConn);
        SStatement statement;
        for (int i = 0; i < 2; ++i) {
            SStatementRow row;
            row.date = o.firstDay.addDays(i);
            row.eType = i ? SStatementRow::EType::Income : SStatementRow::EType::Outlay;
            row.nCents = 1250 + i;
            row.strCounterpart = QStringLiteral("商店");
            row.strExtId = QStringLiteral("order-%1").arg(i);
            statement.rows << row;
        }
        CImporter importer(QStringLiteral("妈妈"), 0, strMemberConn);
        CPreviewRows preview;
        QVERIFY(importer.Preview(statement, CBookBuilder::AccountNames(1).first(), importer.Rules(),
                                 preview));
        const CImporter::SResult result = importer.Import(preview);
        QVERIFY(result.bDone);
        QCOMPARE(result.nIncome + result.nOutlay, 2);
        QCOMPARE(CBookBuilder::BalanceProblems(), QStringList());
        QCOMPARE(CBookBuilder::WholenessProblems(), QStringList());

        // The reader: views what everyone wrote, the same figures as the owner, and writes
        // nothing.
        QVERIFY(CUserAdmin::LogIn(QStringLiteral("妈妈"), QStringLiteral("pw2"), strReaderConn));
        for (const QString& strUser : {g_strUser, QStringLiteral("妈妈")}) {
            const auto seen =
                CKeptTotals::Periods(strUser, CKeptTotals::ELevel::Month, {}, {}, strReaderConn);
            const auto kept = CKeptTotals::Periods(strUser, CKeptTotals::ELevel::Month);
            QCOMPARE(seen.size(), kept.size());
            QVERIFY(!seen.isEmpty());
            for (int i = 0; i < seen.size(); ++i)
                QCOMPARE(seen[i].nOutlay, kept[i].nOutlay);
        }
        const QStringList before = CBookBuilder::Dump();
        const QStringList tried = TryToUse(strReaderConn);
        QCOMPARE(tried.mid(0, 2), QStringList(2, QString()));
        for (const QString& s : tried.mid(2))
            QVERIFY2(s.startsWith(QStringLiteral("数据库用户没有写入账本的权限")), qPrintable(s));
        QCOMPARE(CBookBuilder::Dump(), before);

        // Something missing that only the owner may make: the member is told which right it
        // lacks (and the book is left as it is); the owner's next opening makes it again.
        CDatabase::Close(strMemberConn);
        QVERIFY(sql.exec(QStringLiteral("DROP INDEX \"IX_Trs_User\"")));
        try {
            CDatabase::Open(strMemberConn);
            QFAIL("a missing index was not reported");
        } catch (const CDBException& e) {
            QVERIFY2(e.m_strError.contains(QStringLiteral("索引“IX_Trs_User”")) &&
                         e.m_strError.contains(strMember) &&
                         e.m_strError.contains(QStringLiteral("所有者")),
                     qPrintable(e.m_strError));
        }
        CDatabase::Close();
        CDatabase::Open();
        QSqlQuery again(CDatabase::Connection());
        QVERIFY(again.exec(QStringLiteral("SELECT to_regclass('\"IX_Trs_User\"') IS NOT NULL")) &&
                again.next() && again.value(0).toBool());
        CDatabase::Open(strMemberConn);

        // Logins that fail say why, not that the connection broke.
        const struct {
            QString strUrl, strStart;
        } logins[] = {
            {urlOf(strMember, QStringLiteral("wrong")), QStringLiteral("数据库用户名或密码错误")},
            {urlOf(QStringLiteral("lk_nobody_") + strTag, QStringLiteral("x")),
             QStringLiteral("数据库用户名或密码错误")},
        };
        for (const auto& login : logins) {
            CDatabase::SetUrl(login.strUrl, QStringLiteral("login"));
            try {
                CDatabase::Open(QStringLiteral("login"));
                QFAIL("a login that cannot work was accepted");
            } catch (const CDBException& e) {
                QVERIFY2(e.m_strError.startsWith(login.strStart), qPrintable(e.m_strError));
            }
        }
        // A book in a schema that is not there yet, which the member may not create.
        QUrl noSchema(urlOf(strMember, QStringLiteral("member-pw")));
        noSchema.setQuery(QStringLiteral("schema=lk_none_") + strTag);
        CDatabase::SetUrl(noSchema.toString(), QStringLiteral("login"));
        try {
            CDatabase::Open(QStringLiteral("login"));
            QFAIL("a schema the role may not create was not reported");
        } catch (const CDBException& e) {
            QVERIFY2(e.m_strError.startsWith(QStringLiteral("账本缺少模式“lk_none_")) &&
                         e.m_strError.contains(QStringLiteral("数据库的 CREATE 权限")),
                     qPrintable(e.m_strError));
        }
        QUrl noDatabase(urlOf(strMember, QStringLiteral("member-pw")));
        noDatabase.setPath(QStringLiteral("/lk_no_such_book"));
        CDatabase::SetUrl(noDatabase.toString(), QStringLiteral("login"));
        try {
            CDatabase::Open(QStringLiteral("login"));
            QFAIL("a missing database was not reported");
        } catch (const CDBException& e) {
            QVERIFY2(e.m_strError.startsWith(
                         QStringLiteral("数据库服务器上没有数据库“lk_no_such_book”")),
                     qPrintable(e.m_strError));
        }
        for (const QString& strConnection : {strMemberConn, strReaderConn, QStringLiteral("login")})
            CDatabase::Close(strConnection);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestBrokenBook)
#include "tst_brokenbook.moc"
