#pragma once

#include "cstresslog.h"
#include "data/cdatabase.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QVector>

// Checks a book after workers ran on it, against their logs:
// - SQLite's integrity check, and every balance = opening + income - outlay - out + in;
// - no half-done user (a user without accounts or first days, rows of a user that is gone);
// - no row twice, and every row a log wrote is on its day and account with its amount;
// - every row a log saw saved (confirmed, imported) is in the book unless a later confirmation
//   saw it changed or removed; what a log saw fail (or refused as changed meanwhile) left
//   nothing behind; each transfer, opened day, created or deleted user a log saw succeed is
//   there; with complete logs, a row no log wrote is itself a problem.
// An operation a kill cut short may or may not have happened, but not in part.
//
// A restore puts the book back as a backup saw it. The logs' times bound when each backup's
// snapshot and each restore happened, so a row may be missing after a restore only when that
// restore may have come after the row was saved and its backup may have been taken before;
// a row a restore may have brought back may be there again; a row saved surely after a backup
// was taken and surely before it was restored must be gone. Everything else is held to the
// rules above.
class CStressChecker {
public:
    struct SCounts {
        int nMustBe = 0;    // rows and transfers that had to be in the book
        int nMustNotBe = 0; // that had to be absent
        int nEither = 0;    // left open by a kill or a restore
    };

    explicit CStressChecker(const QString& strConnection = CDatabase::DefaultConnection);

    // One line per problem; empty when the book is sound. With bAllowUnfinished false an
    // operation that never ended is itself a problem, unless its log says it was killed.
    QStringList Check(const QVector<QVector<CStressLog::SEntry>>& logs, bool bAllowUnfinished);
    const SCounts& Counts() const { return m_counts; }

private:
    enum class EState { Done, Failed, Maybe };
    struct SSpan { // when an operation ran, and whether it happened
        qint64 nBegin = 0;
        qint64 nEnd = 0;
        EState eState = EState::Failed;
        QString strWho; // log and sequence number, for messages
    };
    struct SRow {
        QString strWhere; // user \t kind \t date \t account
        qint64 nCents = 0;
    };
    struct SWritten {
        SRow row;
        SSpan writer;
    };
    struct SRestore {
        SSpan restore;
        SSpan snapshot; // the backup it read
    };
    struct SModel {
        QHash<QString, SWritten> written;          // note -> the operation that wrote it
        QHash<QString, QVector<SSpan>> removers;   // note -> operations that changed it away
        QHash<QString, QVector<SSpan>> transfers;  // user \t date \t from \t to \t cents
        QHash<QString, QVector<SSpan>> opened;     // user \t kind \t date
        QHash<QString, QVector<SSpan>> deletions;  // user -> deletions of the user
        QHash<QString, QPair<SSpan, bool>> users;  // user -> last creation or deletion
        QHash<QString, SSpan> backups;             // file -> the backup that made it
        QVector<QPair<SSpan, QString>> restores;   // restore, file
        QVector<QPair<SSpan, QStringList>> cutOff; // an operation a kill cut short, its notes
    };
    void Apply(SModel& model, const CStressLog::SEntry& e, const SSpan& span) const;
    QStringList Compare(const SModel& model, bool bComplete);
    // True when no restore may have undone what the operation did.
    bool Survives(const SSpan& span) const;
    // True when a restore surely took back what the operation wrote, for good.
    bool UndoneByRestore(const SSpan& span) const;
    bool UserDeletedAfter(const SModel& model, const QString& strKey, const SSpan& span) const;
    QStringList Load();

    QString m_strConnection;
    QVector<SRestore> m_restores;
    SCounts m_counts;
    // The book as read by Load().
    QHash<QString, QVector<SRow>> m_rows; // note -> every row carrying it
    QSet<QString> m_presentDays;          // user \t kind \t date
    QHash<QString, int> m_transfers;
    QSet<QString> m_users;
};
