// A small driver that works on a book through the program's core, for tests that need more
// than one process: two or more copies at once on one book, and copies killed with SIGKILL in
// the middle of their work.
//
//   ledgerkin_driver work --database URL --log FILE [--lane L --lanes K --run R --ops N
//                         --millis M --seed S --churn]
//   ledgerkin_driver setup --database URL
//   ledgerkin_driver check --database URL [--unfinished-ok] LOG...
//   ledgerkin_driver concurrency [--backend sqlite|pg] [--workers 2] [--millis 4000]
//   ledgerkin_driver crash [--kills 60] [--max-seconds 110]
//   ledgerkin_driver soak [--backend sqlite|pg] [--seconds 40] [--copies 3] [--seed S]
//   ledgerkin_driver household --as owner|member|reader|check --database URL
//   ledgerkin_driver recurring [--backend sqlite|pg] [--copies 3]
//   ledgerkin_driver recurring-copy --database URL --today yyyy-MM-dd --start-at MSECS
//
// "concurrency", "crash" and "soak" are the tests: they make a fresh book, run workers as
// child processes, check the book after them, and exit 0 (sound), 1 (a problem, listed) or 77
// (PostgreSQL asked for but LEDGERKIN_TEST_PG not set).
//
// "recurring" is the test of recurring records written once: several copies log in to one book
// at the same moment and each confirms every occurrence due (the same ones, in the same order);
// afterwards each occurrence is in the book exactly once and the balances add up.
//
// "household" is one member of a family on a shared server (scripts/household-server runs it
// with the roles its README sets up): the owner opens the book first and adds 爸爸; a member
// logs in as 爸爸, adds 妈妈 with days, records and transfers, and imports two rows; a reader logs
// in and reads both users' figures and must be refused a transfer in so many words; "check"
// finds balances and kept totals right and prints each user's cents and a digest of the rows.

#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "cstresschecker.h"
#include "cstresslog.h"
#include "cstressworker.h"
#include "data/cbackup.h"
#include "data/cdbexception.h"
#include "data/ckepttotals.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "import/cimporter.h"
#include "import/cimporttables.h"
#include "plans/cplantables.h"
#include "plans/crecurring.h"
#include "records/ccategorybook.h"
#include "users/cuseradmin.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <cstdio>

namespace {

const QString g_strCheck = QStringLiteral("check");

void Print(const QString& str) {
    std::fputs(qUtf8Printable(str + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void PrintProblems(const QStringList& problems) {
    for (const QString& s : problems)
        Print(QStringLiteral("  问题：") + s);
}

QStringList CheckBook(const QString& strUrl, const QStringList& logFiles, bool bAllowUnfinished,
                      CStressChecker::SCounts* pCounts = nullptr) {
    QVector<QVector<CStressLog::SEntry>> logs;
    for (const QString& strFile : logFiles) {
        QVector<CStressLog::SEntry> entries;
        QString strError;
        if (!CStressLog::Read(strFile, entries, strError))
            return {QStringLiteral("无法读取日志 %1：%2").arg(strFile, strError)};
        logs.append(entries);
    }
    QStringList problems;
    try {
        CDatabase::SetUrl(strUrl, g_strCheck);
        CStressChecker checker(g_strCheck);
        problems = checker.Check(logs, bAllowUnfinished);
        if (pCounts)
            *pCounts = checker.Counts();
    } catch (const CDBException& e) {
        problems << QStringLiteral("检查时数据库出错：") + e.m_strError;
    }
    CDatabase::Close(g_strCheck);
    return problems;
}

QStringList WorkArgs(const QString& strUrl, const QString& strLog,
                     const CStressWorker::SOptions& o) {
    QStringList args{QStringLiteral("work"),
                     QStringLiteral("--database"),
                     strUrl,
                     QStringLiteral("--log"),
                     strLog,
                     QStringLiteral("--lane"),
                     QString::number(o.nLane),
                     QStringLiteral("--lanes"),
                     QString::number(o.nLanes),
                     QStringLiteral("--run"),
                     QString::number(o.nRun),
                     QStringLiteral("--ops"),
                     QString::number(o.nOps),
                     QStringLiteral("--millis"),
                     QString::number(o.nMillis),
                     QStringLiteral("--seed"),
                     QString::number(o.nSeed)};
    if (o.bChurn)
        args << QStringLiteral("--churn");
    if (o.bFamily)
        args << QStringLiteral("--family") << QStringLiteral("--scratch") << o.strScratch;
    return args;
}

// A fresh book: an SQLite file in dir, or a schema of its own on the PostgreSQL server.
QString NewBook(bool bPostgres, const QTemporaryDir& dir, QString& strSchema) {
    if (!bPostgres)
        return dir.filePath(QStringLiteral("book.db"));
    strSchema = QStringLiteral("stress_%1_%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(QRandomGenerator::global()->generate(), 0, 16);
    QUrl url(qEnvironmentVariable("LEDGERKIN_TEST_PG"));
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("schema"));
    query.addQueryItem(QStringLiteral("schema"), strSchema);
    url.setQuery(query);
    return url.toString();
}

// Every row of the book, to compare before and after a worker that never began an operation.
QStringList DumpBook(const QString& strUrl) {
    QStringList rows;
    try {
        CDatabase::SetUrl(strUrl, g_strCheck);
        rows = CBookBuilder::Dump(g_strCheck);
    } catch (const CDBException& e) {
        rows = QStringList{QStringLiteral("无法读取账本：") + e.m_strError};
    }
    CDatabase::Close(g_strCheck);
    return rows;
}

void DropSchema(const QString& strUrl, const QString& strSchema) {
    if (strSchema.isEmpty())
        return;
    try {
        CDatabase::SetUrl(strUrl, g_strCheck);
        QSqlQuery query(CDatabase::Connection(g_strCheck));
        if (!query.exec(QStringLiteral("SET search_path TO public")) ||
            !query.exec(QStringLiteral("DROP SCHEMA \"%1\" CASCADE").arg(strSchema)))
            throw CDBException(query.lastError().text());
    } catch (const CDBException& e) {
        Print(QStringLiteral("注意：无法删除测试用的 schema %1：%2").arg(strSchema, e.m_strError));
    }
    CDatabase::Close(g_strCheck);
}

bool Setup(const QString& strUrl) {
    try {
        CDatabase::SetUrl(strUrl, g_strCheck);
        CStressWorker::Setup(g_strCheck);
    } catch (const CDBException& e) {
        Print(QStringLiteral("无法准备账本：") + e.m_strError);
        CDatabase::Close(g_strCheck);
        return false;
    }
    CDatabase::Close(g_strCheck);
    return true;
}

int Work(const QCommandLineParser& p) {
    CStressWorker::SOptions o;
    o.nLane = p.value(QStringLiteral("lane")).toInt();
    o.nLanes = qMax(1, p.value(QStringLiteral("lanes")).toInt());
    o.nRun = p.value(QStringLiteral("run")).toInt();
    o.nOps = p.value(QStringLiteral("ops")).toInt();
    o.nMillis = p.value(QStringLiteral("millis")).toInt();
    o.nSeed = p.value(QStringLiteral("seed")).toULongLong();
    o.bChurn = p.isSet(QStringLiteral("churn"));
    o.bFamily = p.isSet(QStringLiteral("family"));
    o.strScratch = p.value(QStringLiteral("scratch"));
    CStressLog log;
    if (!log.Open(p.value(QStringLiteral("log")))) {
        Print(QStringLiteral("无法写日志 ") + p.value(QStringLiteral("log")));
        return 3;
    }
    CDatabase::SetUrl(p.value(QStringLiteral("database")));
    try {
        CDatabase::Open();
    } catch (const CDBException& e) {
        Print(QStringLiteral("无法打开账本：") + e.m_strError);
        return 3;
    }
    CStressWorker worker(o, log);
    const CStressWorker::SSummary s = worker.Run();
    Print(QStringLiteral("lane %1: 成功 %2，忙而放弃 %3，出错 %4，重试 %5")
              .arg(o.nLane)
              .arg(s.nDone)
              .arg(s.nBusy)
              .arg(s.nErrors)
              .arg(s.nRetries));
    CDatabase::Close();
    return 0;
}

// Several workers at once on one book; afterwards every one of their successes is in it and
// the balances add up.
int Concurrency(const QCommandLineParser& p) {
    const bool bPostgres = p.value(QStringLiteral("backend")) == QLatin1String("pg");
    if (bPostgres && qEnvironmentVariableIsEmpty("LEDGERKIN_TEST_PG")) {
        Print(QStringLiteral("LEDGERKIN_TEST_PG is not set: PostgreSQL run skipped"));
        return 77;
    }
    QTemporaryDir dir;
    QString strSchema;
    const QString strUrl = NewBook(bPostgres, dir, strSchema);
    if (!Setup(strUrl))
        return 1;
    const int nWorkers = qMax(2, p.value(QStringLiteral("workers")).toInt());
    const int nMillis = p.value(QStringLiteral("millis")).toInt();
    QList<QProcess*> processes;
    QStringList logFiles;
    for (int i = 0; i < nWorkers; ++i) {
        CStressWorker::SOptions o;
        o.nLane = i;
        o.nLanes = nWorkers;
        o.nOps = 100000;
        o.nMillis = nMillis;
        o.nSeed = QRandomGenerator::global()->generate();
        logFiles << dir.filePath(QStringLiteral("lane-%1.log").arg(i));
        auto* pProcess = new QProcess;
        pProcess->setProcessChannelMode(QProcess::ForwardedChannels);
        pProcess->start(QCoreApplication::applicationFilePath(),
                        WorkArgs(strUrl, logFiles.last(), o));
        processes << pProcess;
    }
    QStringList problems;
    for (int i = 0; i < processes.size(); ++i) {
        QProcess* pProcess = processes[i];
        if (!pProcess->waitForFinished(nMillis + 60000)) {
            problems << QStringLiteral("第 %1 个进程没有按时结束").arg(i);
            pProcess->kill();
            pProcess->waitForFinished(5000);
        } else if (pProcess->exitStatus() != QProcess::NormalExit || pProcess->exitCode() != 0) {
            problems << QStringLiteral("第 %1 个进程异常结束（退出码 %2）")
                            .arg(i)
                            .arg(pProcess->exitCode());
        }
        delete pProcess;
    }
    problems << CheckBook(strUrl, logFiles, false);

    // Each worker must really have worked, and nothing but a busy book may have stopped it.
    int nConflicts = 0;
    for (const QString& strFile : logFiles) {
        QVector<CStressLog::SEntry> entries;
        QString strError;
        CStressLog::Read(strFile, entries, strError);
        int nDone = 0;
        for (const auto& e : entries) {
            if (e.strResult == QLatin1String("conflict"))
                ++nConflicts;
            else if (e.strState == QLatin1String("done"))
                ++nDone;
            else if (e.strResult == QLatin1String("error"))
                problems << QStringLiteral("操作失败：%1（%2）")
                                .arg(e.op.join(QLatin1Char(' ')), e.strMessage);
        }
        if (nDone < 20)
            problems << QStringLiteral("%1 只做成了 %2 个操作").arg(strFile).arg(nDone);
    }
    DropSchema(strUrl, strSchema);
    if (!problems.isEmpty()) {
        Print(QStringLiteral("并发测试失败："));
        PrintProblems(problems);
        dir.setAutoRemove(bPostgres);
        if (!bPostgres)
            Print(QStringLiteral("账本和日志留在 ") + dir.path());
        return 1;
    }
    Print(
        QStringLiteral("并发测试通过：%1 个进程，账本完好；%2 次确认因另一进程先改了同一行而被拒绝")
            .arg(nWorkers)
            .arg(nConflicts));
    return 0;
}

// A worker killed with SIGKILL at random moments, again and again on the same book; after
// every kill the book must be whole.
int Crash(const QCommandLineParser& p) {
    QTemporaryDir dir;
    QString strSchema;
    const QString strUrl = NewBook(false, dir, strSchema);
    if (!Setup(strUrl))
        return 1;
    const int nKills = p.value(QStringLiteral("kills")).toInt();
    const qint64 nMaxMillis = p.value(QStringLiteral("max-seconds")).toLongLong() * 1000;
    QElapsedTimer timer;
    timer.start();
    QHash<QString, int> inside; // operation a kill cut short -> count
    int nKilled = 0;
    for (int nRun = 1; nRun <= nKills; ++nRun) {
        if (timer.elapsed() > nMaxMillis) {
            Print(QStringLiteral("崩溃测试超时：%1 秒内只杀了 %2 次")
                      .arg(nMaxMillis / 1000)
                      .arg(nKilled));
            return 1;
        }
        CStressWorker::SOptions o;
        o.nRun = nRun;
        o.nOps = 1000000;
        o.nMillis = 60000;
        o.bChurn = true;
        o.nSeed = QRandomGenerator::global()->generate();
        const QString strLog = dir.filePath(QStringLiteral("run-%1.log").arg(nRun));
        const QStringList before = DumpBook(strUrl);
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), WorkArgs(strUrl, strLog, o));
        if (!process.waitForStarted(10000)) {
            Print(QStringLiteral("无法启动工作进程：") + process.errorString());
            return 1;
        }
        // Long enough to get past start-up most of the time, short enough to land anywhere.
        const int nDelay = 40 + int(QRandomGenerator::global()->bounded(560));
        if (process.waitForFinished(nDelay)) {
            Print(QStringLiteral("工作进程在被杀之前自己结束了（退出码 %1）")
                      .arg(process.exitCode()));
            return 1;
        }
        process.kill(); // SIGKILL
        process.waitForFinished(10000);
        ++nKilled;

        QVector<CStressLog::SEntry> entries;
        QString strError;
        QStringList problems;
        if (!CStressLog::Read(strLog, entries, strError) || entries.isEmpty()) {
            // Killed before it began its first operation — under load perhaps before it had
            // even created its log: then it wrote nothing either.
            ++inside[QStringLiteral("（启动）")];
            if (DumpBook(strUrl) != before)
                problems << QStringLiteral("工作进程还没开始任何操作，账本却变了");
        } else {
            if (entries.last().strState.isEmpty())
                ++inside[entries.last().op.value(0)];
            problems = CheckBook(strUrl, {strLog}, true);
        }
        if (!problems.isEmpty()) {
            Print(QStringLiteral("第 %1 次杀掉之后账本有问题：").arg(nRun));
            PrintProblems(problems);
            dir.setAutoRemove(false);
            Print(QStringLiteral("账本和日志留在 ") + dir.path());
            return 1;
        }
    }
    QStringList cut;
    for (auto it = inside.cbegin(); it != inside.cend(); ++it)
        cut << QStringLiteral("%1 %2 次").arg(it.key()).arg(it.value());
    cut.sort();
    Print(QStringLiteral("崩溃测试通过：杀了 %1 次（%2 秒），每次之后账本完好；被打断的操作：%3")
              .arg(nKilled)
              .arg(timer.elapsed() / 1000)
              .arg(cut.isEmpty() ? QStringLiteral("无") : cut.join(QStringLiteral("，"))));
    // Every kind of write must have been cut short at least once, or the test proved little.
    for (const char* szOp : {"confirm", "transfer", "create", "delete"})
        if (!inside.contains(QLatin1String(szOp)))
            Print(QStringLiteral("注意：没有一次杀在 %1 之中").arg(QLatin1String(szOp)));
    return 0;
}

struct SCopy {
    QProcess* pProcess = nullptr;
    QString strLog;
};

// Copies of the program started and quit at random on one book, as a family uses it (see
// CStressWorker's family mode), now and then one killed with SIGKILL. Afterwards the book is
// checked against every copy's log, and no copy may have seen the book's files deleted under
// it. Runs for --seconds; the seed is printed, so a failing run can be repeated.
int Soak(const QCommandLineParser& p) {
    const bool bPostgres = p.value(QStringLiteral("backend")) == QLatin1String("pg");
    if (bPostgres && qEnvironmentVariableIsEmpty("LEDGERKIN_TEST_PG")) {
        Print(QStringLiteral("LEDGERKIN_TEST_PG is not set: PostgreSQL run skipped"));
        return 77;
    }
    const qint64 nMillis = qMax(1, p.value(QStringLiteral("seconds")).toInt()) * qint64(1000);
    const int nCopies = qMax(2, p.value(QStringLiteral("copies")).toInt());
    const quint32 nSeed = p.isSet(QStringLiteral("seed")) ? p.value(QStringLiteral("seed")).toUInt()
                                                          : QRandomGenerator::global()->generate();
    QRandomGenerator random(nSeed);
    QTemporaryDir dir;
    QString strSchema;
    const QString strUrl = NewBook(bPostgres, dir, strSchema);
    if (!Setup(strUrl))
        return 1;
    Print(QStringLiteral("耐久测试：%1，%2 秒，最多 %3 个副本，种子 %4")
              .arg(bPostgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"))
              .arg(nMillis / 1000)
              .arg(nCopies)
              .arg(nSeed));

    QStringList problems; // how copies ended
    QStringList logFiles;
    QList<SCopy> running;
    int nKilled = 0;
    constexpr int MaxLifeMs = 8000;
    // A copy that ended by itself must have ended well.
    auto ended = [&](const SCopy& c) {
        if (c.pProcess->exitStatus() != QProcess::NormalExit || c.pProcess->exitCode() != 0) {
            QFile out(c.strLog + QStringLiteral(".out"));
            out.open(QIODevice::ReadOnly);
            problems << QStringLiteral("%1 异常结束（退出码 %2）%3")
                            .arg(QFileInfo(c.strLog).fileName())
                            .arg(c.pProcess->exitCode())
                            .arg(QString::fromUtf8(out.readAll()).trimmed());
        }
        delete c.pProcess;
    };
    QElapsedTimer timer;
    timer.start();
    int nTarget = 1;
    qint64 nNextTarget = 0;
    qint64 nNextSweep = 5000;
    while (timer.elapsed() < nMillis) {
        for (int i = running.size() - 1; i >= 0; --i)
            if (running[i].pProcess->waitForFinished(0)) {
                ended(running[i]);
                running.removeAt(i);
            }
        // How many copies are open changes now and then: at times one alone, at times all.
        if (timer.elapsed() >= nNextTarget) {
            nTarget = 1 + int(random.bounded(nCopies));
            nNextTarget = timer.elapsed() + 500 + random.bounded(3000);
        }
        while (running.size() < nTarget) {
            CStressWorker::SOptions o;
            o.nRun = logFiles.size() + 1;
            o.nOps = 1000000;
            // A quarter only start, log in and quit.
            o.nMillis = random.bounded(4) == 0 ? 100 + int(random.bounded(700))
                                               : 1000 + int(random.bounded(MaxLifeMs - 1000));
            o.nSeed = random.generate();
            o.bFamily = true;
            logFiles << dir.filePath(QStringLiteral("copy-%1.log").arg(o.nRun));
            o.strScratch = dir.filePath(QStringLiteral("copy-%1.csv").arg(o.nRun));
            SCopy c{new QProcess, logFiles.last()};
            // What a copy prints is shown only when it ended badly.
            c.pProcess->setProcessChannelMode(QProcess::MergedChannels);
            c.pProcess->setStandardOutputFile(c.strLog + QStringLiteral(".out"));
            c.pProcess->start(QCoreApplication::applicationFilePath(),
                              WorkArgs(strUrl, c.strLog, o));
            running << c;
        }
        // About one kill every three seconds, at any moment of a copy's work.
        if (!running.isEmpty() && random.bounded(150) == 0) {
            const int i = int(random.bounded(running.size()));
            running[i].pProcess->kill();
            running[i].pProcess->waitForFinished(10000);
            CStressLog::MarkKilled(running[i].strLog);
            delete running[i].pProcess;
            running.removeAt(i);
            ++nKilled;
        }
        // The copies a restore keeps of the book as it was pile up; nobody reads them here.
        if (!bPostgres && timer.elapsed() >= nNextSweep) {
            nNextSweep = timer.elapsed() + 5000;
            const QDir backups(CBackup::FolderFor(strUrl));
            const QStringList kept = backups.entryList({QStringLiteral("*-before-restore-*")});
            for (const QString& strName : kept)
                if (QFileInfo(backups.filePath(strName))
                        .lastModified()
                        .secsTo(QDateTime::currentDateTime()) > 10)
                    QFile::remove(backups.filePath(strName));
        }
        QThread::msleep(20);
    }
    for (const SCopy& c : running) {
        if (!c.pProcess->waitForFinished(MaxLifeMs + 60000)) {
            problems << QFileInfo(c.strLog).fileName() + QStringLiteral(" 没有按时结束");
            c.pProcess->kill();
            c.pProcess->waitForFinished(5000);
        }
        ended(c);
    }

    // What the copies saw of their own files, and how much they did.
    QStringList seenProblems;
    QStringList failures;
    QMap<QString, int> done;
    int nActions = 0;
    for (const QString& strFile : logFiles) {
        QVector<CStressLog::SEntry> entries;
        QList<QPair<int, QString>> seen;
        QString strError;
        if (!CStressLog::Read(strFile, entries, strError, &seen))
            continue; // killed before it wrote its log; the checker reports what matters
        for (const auto& s : seen) {
            // The steps that led there, from this copy's log.
            QStringList steps;
            for (const auto& e : entries)
                if (e.nSeq < s.first)
                    steps << e.op.mid(0, 2).join(QLatin1Char(' '));
            seenProblems << QStringLiteral("%1：%2；此前的步骤：%3")
                                .arg(QFileInfo(strFile).fileName(), s.second,
                                     steps.mid(steps.size() - 12).join(QStringLiteral("，")));
        }
        for (const auto& e : entries) {
            if (e.strState.isEmpty())
                continue;
            ++nActions;
            if (e.strState == QLatin1String("done"))
                ++done[e.op.value(0)];
            else if (e.strResult == QLatin1String("error"))
                failures << QStringLiteral("%1 的操作 %2 失败：%3")
                                .arg(QFileInfo(strFile).fileName(), e.op.join(QLatin1Char(' ')),
                                     e.strMessage);
        }
    }
    CStressChecker::SCounts counts;
    // The first sign of a fault first: files deleted under a copy, then the book itself.
    problems = seenProblems + CheckBook(strUrl, logFiles, false, &counts) + failures + problems;
    DropSchema(strUrl, strSchema);

    QStringList summary;
    for (auto it = done.cbegin(); it != done.cend(); ++it)
        summary << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    Print(QStringLiteral("  %1 个副本（kill -9 %2 个），%3 个操作结束（做成的：%4）")
              .arg(logFiles.size())
              .arg(nKilled)
              .arg(nActions)
              .arg(summary.join(QStringLiteral("，"))));
    Print(QStringLiteral("  核对的行和转账：必须在 %1，必须不在 %2，因杀掉或恢复而不定 %3")
              .arg(counts.nMustBe)
              .arg(counts.nMustNotBe)
              .arg(counts.nEither));
    if (!problems.isEmpty()) {
        Print(QStringLiteral("耐久测试失败（种子 %1）：").arg(nSeed));
        PrintProblems(problems.mid(0, 40));
        if (problems.size() > 40)
            Print(QStringLiteral("  ……另有 %1 个问题").arg(problems.size() - 40));
        dir.setAutoRemove(bPostgres);
        if (!bPostgres)
            Print(QStringLiteral("账本和日志留在 ") + dir.path());
        return 1;
    }
    Print(QStringLiteral("耐久测试通过：账本完好") +
          (bPostgres ? QString() : QStringLiteral("，没有副本的账本文件被删")));
    return 0;
}

const QString g_strDad = QStringLiteral("爸爸"), g_strMum = QStringLiteral("妈妈");

// Each user's income and outlay over every date, in cents, from the kept totals.
QString KeptCents(const QString& strUser) {
    qint64 nIncome = 0, nOutlay = 0;
    for (const CKeptTotals::SPeriod& period :
         CKeptTotals::Periods(strUser, CKeptTotals::ELevel::Year))
        nIncome += period.nIncome, nOutlay += period.nOutlay;
    return QStringLiteral("%1 %2 %3").arg(strUser).arg(nIncome).arg(nOutlay);
}

int Household(const QCommandLineParser& p) {
    const QString strAs = p.value(QStringLiteral("as"));
    CDatabase::SetUrl(p.value(QStringLiteral("database")));
    CBookBuilder::SOptions o;
    o.nDays = 8;
    try {
        CDatabase::Open();
        // Run again on a book that has the user, a role adds a transfer instead.
        const auto addOrTransfer = [&o](const QString& strUser, const QString& strPwd) {
            if (!CUserAdmin::UserExists(strUser)) {
                CBookBuilder::AddUser(strUser, strPwd, o);
                return;
            }
            const QStringList accounts = CBookBuilder::AccountNames(2);
            const auto eResult = CTransfer::Transfer(strUser, o.firstDay, accounts.constFirst(),
                                                     accounts.constLast(), 0.5);
            if (eResult != CTransfer::EResult::Done)
                throw CDBException(CTransfer::Message(eResult));
        };
        if (strAs == QLatin1String("owner")) {
            addOrTransfer(g_strDad, QStringLiteral("dad-pw"));
        } else if (strAs == QLatin1String("member")) {
            if (CUserAdmin::LogIn(g_strDad, QStringLiteral("dad-pw")) == 0)
                throw CDBException(QStringLiteral("爸爸无法登录"));
            o.nSeed = 2;
            addOrTransfer(g_strMum, QStringLiteral("mum-pw"));
            // Amounts of their own each run: rows like ones in the book already are unticked.
            const qint64 nStamp = QDateTime::currentMSecsSinceEpoch();
            SStatement statement;
            for (int i = 0; i < 2; ++i) {
                SStatementRow row;
                row.date = o.firstDay.addDays(20 + i);
                row.eType = i ? SStatementRow::EType::Income : SStatementRow::EType::Outlay;
                row.nCents = 4000 + nStamp % 9973 + i;
                row.strCounterpart = QStringLiteral("菜市场");
                row.strExtId = QStringLiteral("household-%1-%2").arg(nStamp).arg(i);
                statement.rows << row;
            }
            CImporter importer(g_strMum);
            CPreviewRows rows;
            if (!importer.Preview(statement, CBookBuilder::AccountNames(1).constFirst(),
                                  importer.Rules(), rows))
                throw CDBException(QStringLiteral("导入预览被取消"));
            const CImporter::SResult result = importer.Import(rows);
            if (!result.bDone || result.nIncome + result.nOutlay != 2)
                throw CDBException(QStringLiteral("导入没有写入两行"));
        } else if (strAs == QLatin1String("reader")) {
            if (CUserAdmin::UserNames().size() < 2 ||
                CUserAdmin::LogIn(g_strMum, QStringLiteral("mum-pw")) == 0)
                throw CDBException(QStringLiteral("只读用户看不到账本的用户，或妈妈无法登录"));
            Print(KeptCents(g_strDad));
            Print(KeptCents(g_strMum));
            try {
                CTransfer::Transfer(g_strMum, o.firstDay,
                                    CBookBuilder::AccountNames(2).constFirst(),
                                    CBookBuilder::AccountNames(2).constLast(), 1);
                Print(QStringLiteral("只读的数据库用户写入了账本"));
                return 1;
            } catch (const CDBException& e) {
                Print(e.m_strError);
                if (!e.m_strError.startsWith(QStringLiteral("数据库用户没有写入账本的权限")))
                    return 1;
            }
        } else if (strAs == QLatin1String("check")) {
            QStringList problems = CBookBuilder::BalanceProblems();
            problems << CBookBuilder::WholenessProblems();
            PrintProblems(problems);
            if (!problems.isEmpty())
                return 1;
            for (const QString& strUser : CUserAdmin::UserNames())
                Print(KeptCents(strUser));
            Print(QString::fromLatin1(
                QCryptographicHash::hash(CBookBuilder::Dump().join(QLatin1Char('\n')).toUtf8(),
                                         QCryptographicHash::Sha256)
                    .toHex()));
        } else {
            Print(QStringLiteral("--as 应为 owner、member、reader 或 check"));
            return 2;
        }
    } catch (const CDBException& e) {
        Print(e.m_strError);
        return 1;
    }
    CDatabase::Close();
    return 0;
}

const QString g_strPlanUser = QStringLiteral("房东");

// One copy: logs in at the agreed moment and writes every occurrence due, as 记入 does.
int RecurringCopy(const QCommandLineParser& p) {
    CToday::Set(QDate::fromString(p.value(QStringLiteral("today")), Qt::ISODate));
    CDatabase::SetUrl(p.value(QStringLiteral("database")));
    int nWritten = 0, nTaken = 0, nErrors = 0;
    try {
        CDatabase::Open();
        const QVector<CRecurring::SDue> due = CRecurring::Due(g_strPlanUser, CToday::Get());
        const qint64 nStart = p.value(QStringLiteral("start-at")).toLongLong();
        while (QDateTime::currentMSecsSinceEpoch() < nStart)
            QThread::msleep(1);
        for (const CRecurring::SDue& d : due) {
            for (int nTry = 0;; ++nTry) {
                try {
                    const CRecurring::EWrite e =
                        CRecurring::Write(g_strPlanUser, d.tmpl.nId, d.day, d.tmpl.nCents);
                    (e == CRecurring::EWrite::Written ? nWritten : nTaken)++;
                    if (e == CRecurring::EWrite::Changed)
                        ++nErrors;
                    break;
                } catch (const CDBException& e) {
                    // A busy book is clicked again, as a person would.
                    if (nTry == 5) {
                        Print(QStringLiteral("记入失败：") + e.m_strError);
                        ++nErrors;
                        break;
                    }
                }
            }
        }
    } catch (const CDBException& e) {
        Print(QStringLiteral("无法读取到期的周期记录：") + e.m_strError);
        return 1;
    }
    CDatabase::Close();
    Print(QStringLiteral("written %1 taken %2 errors %3").arg(nWritten).arg(nTaken).arg(nErrors));
    return nErrors == 0 ? 0 : 1;
}

int Recurring(const QCommandLineParser& p) {
    const bool bPostgres = p.value(QStringLiteral("backend")) == QLatin1String("pg");
    if (bPostgres && qEnvironmentVariableIsEmpty("LEDGERKIN_TEST_PG")) {
        Print(QStringLiteral("LEDGERKIN_TEST_PG is not set: PostgreSQL run skipped"));
        return 77;
    }
    QTemporaryDir dir;
    QString strSchema;
    const QString strUrl = NewBook(bPostgres, dir, strSchema);
    const QDate today(2026, 12, 31);
    // Rent, salary and a saving moved between accounts, owed daily or weekly for three months.
    QVector<CRecurring::STemplate> templates(6);
    int nDue = 0;
    try {
        CDatabase::SetUrl(strUrl, g_strCheck);
        CBookBuilder::SOptions o;
        o.nDays = 0;
        o.nTransfers = 0;
        o.firstDay = QDate(2026, 9, 1);
        CBookBuilder::AddUser(g_strPlanUser, QStringLiteral("pw"), o, g_strCheck);
        for (int i = 0; i < templates.size(); ++i) {
            CRecurring::STemplate& t = templates[i];
            t.eKind = CRecurring::EKind(i % 3);
            t.strSort = t.eKind == CRecurring::EKind::Income ? QStringLiteral("工资收入")
                                                             : QStringLiteral("房租支出");
            t.strNote = QStringLiteral("周期%1").arg(i);
            t.strBank = QStringLiteral("现金");
            t.strToBank = QStringLiteral("银行");
            t.nCents = 1000 + i * 137;
            t.eUnit = i < 3 ? CRecurring::EUnit::Day : CRecurring::EUnit::Week;
            t.start = QDate(2026, 10, 1).addDays(i);
            CRecurring::Add(g_strPlanUser, t, 0, g_strCheck);
        }
        nDue = CRecurring::Due(g_strPlanUser, today, g_strCheck).size();
    } catch (const CDBException& e) {
        Print(QStringLiteral("无法准备账本：") + e.m_strError);
        return 1;
    }
    CDatabase::Close(g_strCheck);

    const int nCopies = qMax(2, p.value(QStringLiteral("copies")).toInt());
    const qint64 nStartAt = QDateTime::currentMSecsSinceEpoch() + 1500;
    QList<QProcess*> processes;
    for (int i = 0; i < nCopies; ++i) {
        auto* pProcess = new QProcess;
        pProcess->setProcessChannelMode(QProcess::MergedChannels);
        pProcess->start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("recurring-copy"), QStringLiteral("--database"), strUrl,
                         QStringLiteral("--today"), today.toString(Qt::ISODate),
                         QStringLiteral("--start-at"), QString::number(nStartAt)});
        processes << pProcess;
    }
    QStringList problems;
    int nWritten = 0, nTaken = 0;
    for (int i = 0; i < processes.size(); ++i) {
        QProcess* pProcess = processes[i];
        if (!pProcess->waitForFinished(120000)) {
            problems << QStringLiteral("第 %1 个进程没有按时结束").arg(i);
            pProcess->kill();
            pProcess->waitForFinished(5000);
        }
        const QString strOut = QString::fromUtf8(pProcess->readAll()).trimmed();
        const QStringList words = strOut.section(QLatin1Char('\n'), -1).split(QLatin1Char(' '));
        if (pProcess->exitCode() != 0 || words.size() != 6)
            problems << QStringLiteral("第 %1 个进程：%2").arg(i).arg(strOut);
        else
            nWritten += words[1].toInt(), nTaken += words[3].toInt();
        delete pProcess;
    }
    if (nWritten != nDue)
        problems << QStringLiteral("到期 %1 笔，记入了 %2 笔").arg(nDue).arg(nWritten);
    try {
        CDatabase::SetUrl(strUrl, g_strCheck);
        problems << CBookBuilder::BalanceProblems(g_strCheck);
        if (!CRecurring::Due(g_strPlanUser, today, g_strCheck).isEmpty())
            problems << QStringLiteral("记入之后仍有到期的周期记录");
        // Every occurrence once in the book: a record (or transfer) per template and day.
        for (const CRecurring::STemplate& t : std::as_const(templates)) {
            const int nOwed = CRecurring::Occurrences(t, t.start, today).size();
            QSqlQuery q =
                t.eKind == CRecurring::EKind::Transfer
                    ? CDatabase::Exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT "
                                                     "\"TrsDate\") FROM \"Trs\" WHERE "
                                                     "\"TrsAmount\" = ?"),
                                      {CMoney::FromCents(t.nCents)}, g_strCheck)
                    : CDatabase::Exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT \"Date\") "
                                                     "FROM \"%1\" WHERE \"Note\" = ?")
                                          .arg(t.eKind == CRecurring::EKind::Income
                                                   ? QStringLiteral("Income")
                                                   : QStringLiteral("Outlay")),
                                      {t.strNote}, g_strCheck);
            if (!q.next() || q.value(0).toInt() != nOwed || q.value(1).toInt() != nOwed)
                problems << QStringLiteral("“%1”应有 %2 笔，账本里有 %3 笔（%4 天）")
                                .arg(t.strNote)
                                .arg(nOwed)
                                .arg(q.value(0).toInt())
                                .arg(q.value(1).toInt());
        }
    } catch (const CDBException& e) {
        problems << QStringLiteral("检查时数据库出错：") + e.m_strError;
    }
    CDatabase::Close(g_strCheck);
    DropSchema(strUrl, strSchema);
    if (!problems.isEmpty()) {
        Print(QStringLiteral("周期记录测试失败："));
        PrintProblems(problems);
        return 1;
    }
    Print(QStringLiteral("周期记录测试通过：%1 个进程同时记入 %2 笔到期记录，每笔只记入一次"
                         "（另 %3 次发现已被记入）")
              .arg(nCopies)
              .arg(nDue)
              .arg(nTaken));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Each run is a copy of the program: its books get every table.
    CImportTables::Install();
    CPlanTables::Install();
    CCategoryBook::Install();
    QCommandLineParser p;
    p.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("work, setup, check, concurrency, crash, soak, household, recurring"));
    auto add = [&p](const char* szName, const char* szDefault) {
        p.addOption(QCommandLineOption(QString::fromLatin1(szName), QString(), QStringLiteral("v"),
                                       QString::fromLatin1(szDefault)));
    };
    add("database", "");
    add("log", "");
    add("lane", "0");
    add("lanes", "1");
    add("run", "0");
    add("ops", "200");
    add("millis", "4000");
    add("seed", "1");
    add("backend", "sqlite");
    add("workers", "2");
    add("kills", "60");
    add("max-seconds", "110");
    add("as", "");
    add("seconds", "40");
    add("copies", "3");
    add("scratch", "");
    add("today", "");
    add("start-at", "0");
    p.addOption(QCommandLineOption(QStringLiteral("churn")));
    p.addOption(QCommandLineOption(QStringLiteral("family")));
    p.addOption(QCommandLineOption(QStringLiteral("unfinished-ok")));
    p.process(app);
    const QStringList args = p.positionalArguments();
    const QString strCommand = args.value(0);
    if (strCommand == QLatin1String("work"))
        return Work(p);
    if (strCommand == QLatin1String("setup"))
        return Setup(p.value(QStringLiteral("database"))) ? 0 : 1;
    if (strCommand == QLatin1String("check")) {
        const QStringList problems = CheckBook(p.value(QStringLiteral("database")), args.mid(1),
                                               p.isSet(QStringLiteral("unfinished-ok")));
        PrintProblems(problems);
        Print(problems.isEmpty() ? QStringLiteral("账本完好") : QStringLiteral("账本有问题"));
        return problems.isEmpty() ? 0 : 1;
    }
    if (strCommand == QLatin1String("concurrency"))
        return Concurrency(p);
    if (strCommand == QLatin1String("crash"))
        return Crash(p);
    if (strCommand == QLatin1String("soak"))
        return Soak(p);
    if (strCommand == QLatin1String("household"))
        return Household(p);
    if (strCommand == QLatin1String("recurring"))
        return Recurring(p);
    if (strCommand == QLatin1String("recurring-copy"))
        return RecurringCopy(p);
    Print(QStringLiteral("用法：ledgerkin_driver "
                         "work|setup|check|concurrency|crash|soak|household|recurring [选项]"));
    return 2;
}
