#include "cstressworker.h"

#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "records/ccategories.h"
#include "records/cdaybook.h"
#include "records/cdayconflict.h"
#include "users/cuseradmin.h"

#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

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

template <class TFn> void CStressWorker::Attempt(int nSeq, TFn fn) {
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
            m_log.Failed(nSeq, bBusy, e.m_strError);
            if (bBusy) {
                ++m_summary.nBusy;
                std::fprintf(stderr, "帐本一直忙，第 %d 个操作重试 %d 次后放弃：%s\n", nSeq,
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
