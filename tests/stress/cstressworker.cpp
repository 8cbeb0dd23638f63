#include "cstressworker.h"

#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "data/cbackup.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "import/cimporterror.h"
#include "import/cimportjob.h"
#include "import/cstatementfile.h"
#include "records/ccategories.h"
#include "records/cdaybook.h"
#include "records/cdayconflict.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <cstdio>
#include <dirent.h>
#include <memory>
#include <unistd.h>

namespace {

const int MaxAttempts = 8;

// SQLite: "database is locked" / "busy"; PostgreSQL: a deadlock between two transfers in
// opposite directions, or a serialization failure. All of them mean "try again".
bool IsBusy(const QString& strError) {
    const QString s = strError.toLower();
    return s.contains(QLatin1String("locked")) || s.contains(QLatin1String("busy")) ||
           s.contains(QLatin1String("deadlock")) || s.contains(QLatin1String("serializ")) ||
           s.contains(QStringLiteral("忙"));
}

QString Kind(ERecordKind eKind) {
    return eKind == ERecordKind::Income ? QStringLiteral("I") : QStringLiteral("O");
}

QList<CUserAdmin::SAccount> OpeningAccounts(const QString& strUser) {
    QList<CUserAdmin::SAccount> list;
    for (const QString& strCard : CStressWorker::Accounts())
        list.append({strCard, QStringLiteral("压力测试"),
                     double(CBookBuilder::OpeningCents(strUser, strCard)) / 100.0});
    return list;
}

} // namespace

QStringList CStressWorker::BaseUsers() {
    return {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")};
}

QStringList CStressWorker::ChurnUsers() {
    return {QStringLiteral("临时1"), QStringLiteral("临时2"), QStringLiteral("临时3")};
}

QStringList CStressWorker::Accounts() {
    return CBookBuilder::AccountNames(3);
}

QDate CStressWorker::FirstDay() {
    return QDate(2024, 1, 1);
}

void CStressWorker::Setup(const QString& strConnection) {
    for (const QString& strUser : BaseUsers())
        CUserAdmin::CreateUser(strUser, QStringLiteral("pw"), OpeningAccounts(strUser), FirstDay(),
                               strConnection);
}

CStressWorker::CStressWorker(const SOptions& options, CStressLog& log)
    : m_options(options), m_log(log),
      m_random(quint32(options.nSeed * 7919 + std::uint64_t(options.nLane) * 104729 +
                       std::uint64_t(options.nRun))) {}

template <class TFn>
void CStressWorker::Attempt(int nSeq, TFn fn, std::function<bool()> fnExpected) {
    for (int nAttempt = 1;; ++nAttempt) {
        try {
            const QString strOutcome = fn();
            m_log.Done(nSeq, strOutcome);
            ++m_summary.nDone;
            return;
        } catch (const CDBException& e) {
            const bool bBusy = IsBusy(e.m_strError);
            if (bBusy && nAttempt < MaxAttempts) {
                m_log.Retry(nSeq, nAttempt, e.m_strError);
                ++m_summary.nRetries;
                QThread::msleep(10 + m_random.bounded(70));
                continue;
            }
            const bool bExpected = !bBusy && fnExpected && fnExpected();
            m_log.Failed(nSeq,
                         bBusy       ? QStringLiteral("busy")
                         : bExpected ? QStringLiteral("expected")
                                     : QStringLiteral("error"),
                         e.m_strError);
            if (bExpected) {
                ++m_summary.nDone;
            } else if (bBusy) {
                ++m_summary.nBusy;
                std::fprintf(stderr, "账本一直忙，第 %d 个操作重试 %d 次后放弃：%s\n", nSeq,
                             nAttempt, qUtf8Printable(e.m_strError));
            } else {
                ++m_summary.nErrors;
                std::fprintf(stderr, "第 %d 个操作失败：%s\n", nSeq, qUtf8Printable(e.m_strError));
            }
            return;
        }
    }
}

QDate CStressWorker::PickDay() {
    // Most operations land on the first few days, so two workers keep meeting there.
    const int nRange = m_random.bounded(5) ? 3 : DayCount;
    return FirstDay().addDays(int(m_random.bounded(nRange)));
}

QString CStressWorker::PickUser() {
    if (m_options.bFamily)
        return m_strUser;
    QStringList users = BaseUsers();
    if (m_options.bChurn)
        for (const QString& strUser : ChurnUsers())
            if (CUserAdmin::UserExists(strUser))
                users << strUser;
    if (m_random.bounded(5))
        return users.first();
    return users[int(m_random.bounded(users.size()))];
}

void CStressWorker::Confirm(int nSeq) {
    const QString strUser = PickUser();
    const ERecordKind eKind = m_random.bounded(2) ? ERecordKind::Income : ERecordKind::Outlay;
    const QDate day = PickDay();
    const QString strBank = Accounts()[int(m_random.bounded(Accounts().size()))];
    CDayBook book(eKind, strUser);
    // As the daily view does: read the day, then confirm what was typed over it.
    QVector<SDayRecord> loaded;
    try {
        loaded = book.LoadDay(day, strBank);
    } catch (const CDBException&) {
        return;
    }
    const QString strTag =
        QStringLiteral("r%1l%2s%3").arg(m_options.nRun).arg(m_options.nLane).arg(nSeq);
    const QStringList sorts = CCategories::Of(eKind);
    auto newRecord = [&](const QString& strNote) {
        std::int64_t n = 1 + m_random.bounded(50000);
        if (m_random.bounded(10) == 0)
            n = -n;
        return SDayRecord{sorts[int(m_random.bounded(sorts.size()))], strNote,
                          CMoney::FromCents(n)};
    };
    // Logged as note:cents lists, "-" when empty.
    auto list = [](const QStringList& items) {
        return items.isEmpty() ? QStringLiteral("-") : items.join(QLatin1Char(','));
    };
    auto cents = [](const SDayRecord& r) { return QString::number(CMoney::ToCents(r.dAmount)); };

    QVector<SDayRecord> added;
    QStringList addedLog;
    for (int i = int(m_random.bounded(3)); i > 0; --i) {
        added.append(newRecord(strTag + QStringLiteral("a%1").arg(i)));
        addedLog << added.last().strNote + QLatin1Char(':') + cents(added.last());
    }
    int nChange = -1;
    int nRemove = -1;
    QStringList changedLog;
    QStringList removedLog;
    SDayRecord changed;
    if (!loaded.isEmpty() && m_random.bounded(2)) {
        nChange = int(m_random.bounded(loaded.size()));
        changed = newRecord(strTag + QStringLiteral("m"));
        changedLog << loaded[nChange].strNote + QLatin1Char('>') + changed.strNote +
                          QLatin1Char(':') + cents(changed);
    }
    if (loaded.size() > 1 && m_random.bounded(loaded.size() > 6 ? 4 : 8) < 3) {
        nRemove = int(m_random.bounded(loaded.size()));
        if (nRemove == nChange)
            nRemove = (nRemove + 1) % loaded.size();
        removedLog << loaded[nRemove].strNote;
    }
    // A moment of typing between reading the day and confirming, in which the other copy
    // may confirm the same day.
    QThread::usleep(m_random.bounded(3000));
    if (added.isEmpty() && nChange < 0 && nRemove < 0) {
        added.append(newRecord(strTag + QStringLiteral("a0")));
        addedLog << added.last().strNote + QLatin1Char(':') + cents(added.last());
    }
    m_log.Begin(nSeq, {QStringLiteral("confirm"), strUser, Kind(eKind), day.toString(Qt::ISODate),
                       strBank, list(addedLog), list(changedLog), list(removedLog)});
    SDayEdit edit;
    edit.added = added;
    if (nChange >= 0)
        edit.changed.append({loaded[nChange], changed});
    if (nRemove >= 0)
        edit.removed.append(loaded[nRemove]);
    Attempt(nSeq, [&] {
        try {
            book.Confirm(day, strBank, edit);
        } catch (const CDayConflict&) {
            return QStringLiteral("conflict"); // the other copy was first: nothing written
        }
        return QString();
    });
}

void CStressWorker::Transfer(int nSeq) {
    const QString strUser = PickUser();
    const QStringList accounts = Accounts();
    const int nFrom = int(m_random.bounded(accounts.size()));
    const int nIn = (nFrom + 1 + int(m_random.bounded(accounts.size() - 1))) % accounts.size();
    // Unique in the whole book, so the checker can find this very transfer.
    std::int64_t nCents = 1 + nSeq + std::int64_t(m_options.nLane) * 1000000 +
                          std::int64_t(m_options.nRun) * 10000000;
    if (m_random.bounded(5) == 0)
        nCents = -nCents;
    const QDate day = PickDay();
    m_log.Begin(nSeq, {QStringLiteral("transfer"), strUser, day.toString(Qt::ISODate),
                       accounts[nFrom], accounts[nIn], QString::number(nCents)});
    Attempt(nSeq, [&] {
        const CTransfer::EResult eResult = CTransfer::Transfer(
            strUser, day, accounts[nFrom], accounts[nIn], CMoney::FromCents(nCents));
        if (eResult != CTransfer::EResult::Done)
            throw CDBException(CTransfer::Message(eResult));
        return QString();
    });
}

void CStressWorker::OpenDay(int nSeq) {
    const QString strUser = PickUser();
    const ERecordKind eKind = m_random.bounded(2) ? ERecordKind::Income : ERecordKind::Outlay;
    const QDate day = PickDay();
    m_log.Begin(nSeq, {QStringLiteral("open"), strUser, Kind(eKind), day.toString(Qt::ISODate)});
    Attempt(nSeq, [&] {
        CDayBook(eKind, strUser).OpenDay(day);
        return QString();
    });
}

void CStressWorker::CreateOrDelete(int nSeq) {
    const QString strUser = ChurnUsers()[int(m_random.bounded(ChurnUsers().size()))];
    bool bExists = false;
    try {
        bExists = CUserAdmin::UserExists(strUser);
    } catch (const CDBException&) {
        return;
    }
    if (bExists) {
        m_log.Begin(nSeq, {QStringLiteral("delete"), strUser});
        Attempt(nSeq, [&] {
            return CUserAdmin::DeleteUser(strUser) ? QStringLiteral("deleted")
                                                   : QStringLiteral("absent");
        });
    } else {
        m_log.Begin(nSeq, {QStringLiteral("create"), strUser});
        Attempt(nSeq, [&] {
            const auto eResult = CUserAdmin::CreateUser(strUser, QStringLiteral("pw"),
                                                        OpeningAccounts(strUser), FirstDay());
            return eResult == CUserAdmin::ECreate::Created ? QStringLiteral("created")
                                                           : QStringLiteral("taken");
        });
    }
}

CStressWorker::SSummary CStressWorker::Run() {
    if (m_options.bFamily) {
        RunFamily();
        return m_summary;
    }
    QElapsedTimer timer;
    timer.start();
    for (int nSeq = 1; nSeq <= m_options.nOps && timer.elapsed() < m_options.nMillis; ++nSeq) {
        // A breath between operations, as a person would take: without it SQLite's busy
        // handler lets one copy take the write lock again and again while the other sleeps.
        if (m_options.nLanes > 1)
            QThread::usleep(m_random.bounded(1000));
        const int nDice = int(m_random.bounded(100));
        if (m_options.bChurn && nDice < 4)
            CreateOrDelete(nSeq);
        else if (nDice < 65)
            Confirm(nSeq);
        else if (nDice < 70)
            OpenDay(nSeq);
        else
            Transfer(nSeq);
    }
    return m_summary;
}

void CStressWorker::RunFamily() {
    QElapsedTimer timer;
    timer.start();
    const bool bSqlite = CDatabase::Dialect().IsSQLite();
    int nSeq = 0;
    while (timer.elapsed() < m_options.nMillis) {
        ++nSeq;
        CheckOpenFiles(nSeq);
        QThread::usleep(m_random.bounded(2000));
        if (m_strUser.isEmpty()) {
            // Most people log in first; some only look at a day.
            if (m_random.bounded(10) < 8)
                LogIn(nSeq);
            continue;
        }
        // Per thousand: a restore is rare, as it undoes other people's work too.
        const int nDice = int(m_random.bounded(1000));
        if (nDice < 400)
            Confirm(nSeq);
        else if (nDice < 560)
            Transfer(nSeq);
        else if (nDice < 600)
            OpenDay(nSeq);
        else if (nDice < 740)
            ImportStatement(nSeq, false);
        else if (nDice < 840)
            ImportStatement(nSeq, true);
        else if (nDice < 880 && bSqlite)
            Backup(nSeq);
        else if (nDice < 886 && bSqlite)
            Restore(nSeq);
        else if (nDice < 930)
            LogOut(nSeq);
        else
            Confirm(nSeq);
    }
    CheckOpenFiles(++nSeq);
    Quit(++nSeq);
}

void CStressWorker::LogIn(int nSeq) {
    const QString strUser = BaseUsers()[int(m_random.bounded(BaseUsers().size()))];
    m_log.Begin(nSeq, {QStringLiteral("login"), strUser});
    Attempt(nSeq, [&] {
        const qint64 nId = CUserAdmin::LogIn(strUser, QStringLiteral("pw"));
        if (nId == 0)
            throw CDBException(QStringLiteral("用户名与密码不符"));
        m_strUser = strUser;
        m_nUserId = nId;
        return QString();
    });
}

void CStressWorker::LogOut(int nSeq) {
    m_log.Begin(nSeq, {QStringLiteral("logout")});
    m_strUser.clear();
    m_nUserId = 0;
    m_log.Done(nSeq);
}

// As the import wizard does: read a statement (a small CSV of rows of this copy's own),
// remember its column mapping, build the preview on the import job's connection — now and then
// cancelled — and, for an import, write the ticked rows on another job.
void CStressWorker::ImportStatement(int nSeq, bool bImport) {
    const QString strAccount = Accounts()[int(m_random.bounded(Accounts().size()))];
    const QString strTag =
        QStringLiteral("r%1l%2s%3i").arg(m_options.nRun).arg(m_options.nLane).arg(nSeq);
    QStringList lines{QStringLiteral("日期,金额,对方")};
    QStringList items;
    for (int i = 1 + int(m_random.bounded(4)); i > 0; --i) {
        const std::int64_t nCents = 1 + m_random.bounded(30000);
        const bool bIncome = m_random.bounded(3) == 0;
        const QString strDay = PickDay().toString(Qt::ISODate);
        const QString strNote = strTag + QString::number(i);
        lines << QStringLiteral("%1,%2%3.%4,%5")
                     .arg(strDay, bIncome ? QString() : QStringLiteral("-"))
                     .arg(nCents / 100)
                     .arg(nCents % 100, 2, 10, QLatin1Char('0'))
                     .arg(strNote);
        items << QStringLiteral("%1:%2:%3:%4")
                     .arg(strNote)
                     .arg(nCents)
                     .arg(bIncome ? QLatin1Char('I') : QLatin1Char('O'))
                     .arg(strDay);
    }
    QFile file(m_options.strScratch);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) <= 0)
        return;
    file.close();
    if (bImport)
        m_log.Begin(
            nSeq, {QStringLiteral("import"), m_strUser, strAccount, items.join(QLatin1Char(','))});
    else
        m_log.Begin(nSeq, {QStringLiteral("preview"), m_strUser, strAccount});
    const bool bCancelPreview = !bImport && m_random.bounded(3) == 0;
    const bool bCancelImport = bImport && m_random.bounded(10) == 0;
    Attempt(nSeq, [&] {
        CStatementFile statement;
        SStatement st;
        SColumnMapping mapping;
        mapping.nDate = 0;
        mapping.nAmount = 1;
        mapping.nCounterpart = 2;
        int nHeader = -1;
        try {
            statement.Load(m_options.strScratch);
            nHeader = statement.GuessedHeader();
            st = statement.Read(EStatementFormat::Csv, mapping, nHeader);
        } catch (const CImportError& e) {
            throw CDBException(QStringLiteral("账单读不出：") + e.m_strMessage);
        }
        CImporter importer(m_strUser, m_nUserId);
        importer.SaveMapping(statement.LayoutKey(nHeader), mapping);
        const QVector<SImportRule> rules = importer.Rules();
        auto pRows = std::make_shared<CPreviewRows>();
        {
            CImportJob job(m_strUser, m_nUserId);
            job.Start([&st, strAccount, rules, pRows](CImporter& imp,
                                                      const CImporter::FProgress& progress) {
                imp.Preview(st, strAccount, rules, *pRows, progress);
            });
            if (bCancelPreview)
                job.Cancel();
            job.Wait();
            job.RethrowError();
        }
        if (!bImport)
            return bCancelPreview ? QStringLiteral("cancelled") : QString();
        for (const SPreviewRow& r : *pRows)
            if (!r.bTicked)
                throw CDBException(
                    QStringLiteral("预览没有勾选新的一行：%1（%2）").arg(r.Note(), r.strReason));
        auto pResult = std::make_shared<CImporter::SResult>();
        CImportJob job(m_strUser, m_nUserId);
        job.Start([pRows, pResult](CImporter& imp, const CImporter::FProgress& progress) {
            *pResult = imp.Import(*pRows, progress);
        });
        if (bCancelImport)
            job.Cancel();
        job.Wait();
        job.RethrowError();
        return pResult->bDone ? QString() : QStringLiteral("cancelled");
    });
}

void CStressWorker::Backup(int nSeq) {
    // A day of its own for every backup, so no two copies make the same file.
    const QDate day = QDate(2000, 1, 1).addDays(m_options.nRun * 64 + m_nBackups++ % 64);
    const QString strFile = CBackup::FileFor(CDatabase::Url(), day);
    m_log.Begin(nSeq, {QStringLiteral("backup"), strFile});
    Attempt(nSeq, [&] {
        CToday::Set(day);
        QString strMessage;
        const bool bOk = CBackup::RunDaily(strMessage);
        CToday::Set(QDate());
        if (!bOk && !QFileInfo::exists(strFile))
            throw CDBException(strMessage);
        return QStringLiteral("made");
    });
}

void CStressWorker::Restore(int nSeq) {
    const QStringList backups = CBackup::List(CDatabase::Url());
    if (backups.isEmpty())
        return;
    // Mostly the newest, as a person undoing a mistake would choose.
    const QString strFile =
        m_random.bounded(10) < 8 ? backups.first() : backups[int(m_random.bounded(backups.size()))];
    m_log.Begin(nSeq, {QStringLiteral("restore"), strFile});
    // Another copy may have pruned the backup meanwhile: refused, the book unchanged.
    Attempt(
        nSeq, [&] { return CBackup::Restore(strFile); },
        [&] { return !QFileInfo::exists(strFile); });
}

void CStressWorker::Quit(int nSeq) {
    m_log.Begin(nSeq, {QStringLiteral("quit")});
    CDatabase::Close();
    m_log.Done(nSeq);
}

// A link in /proc/self/fd to the book, its log or its shared memory that ends in " (deleted)":
// another process removed the file while this one has it open, and what this one writes
// there no other copy will ever read.
void CStressWorker::CheckOpenFiles(int nSeq) {
    if (!CDatabase::Dialect().IsSQLite())
        return;
    const QString strBook = QFileInfo(CDatabase::Url()).absoluteFilePath();
    DIR* pDir = ::opendir("/proc/self/fd");
    if (!pDir)
        return;
    while (const dirent* pEntry = ::readdir(pDir)) {
        const QByteArray link = QByteArray("/proc/self/fd/") + pEntry->d_name;
        char szTarget[4096];
        const ssize_t n = ::readlink(link.constData(), szTarget, sizeof szTarget);
        if (n <= 0)
            continue;
        const QString strTarget = QFile::decodeName(QByteArray(szTarget, int(n)));
        const QLatin1String deleted(" (deleted)");
        if (!strTarget.endsWith(deleted))
            continue;
        const QString strFile = strTarget.chopped(deleted.size());
        if (strFile != strBook && strFile != strBook + QLatin1String("-wal") &&
            strFile != strBook + QLatin1String("-shm") &&
            strFile != strBook + QLatin1String("-journal"))
            continue;
        if (m_reported.contains(strFile))
            continue;
        m_reported.insert(strFile);
        m_log.Problem(nSeq, QStringLiteral("进程 %1 打开着的 %2 已被删除（第 %3 步之前）")
                                .arg(QCoreApplication::applicationPid())
                                .arg(strFile)
                                .arg(nSeq));
    }
    ::closedir(pDir);
}
