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
// - every row a log saw confirmed is in the book exactly once, on its day and account with its
//   amount, unless a later confirmation saw it changed or removed; no row is there twice;
//   what a log saw fail (or refused as changed meanwhile) left nothing behind;
// - each transfer, opened day, created or deleted user a log saw succeed is in the book.
// An operation a kill cut short may or may not have happened; both are accepted, nothing
// in between. With complete logs, a row no log wrote is itself a problem.
class CStressChecker {
public:
    explicit CStressChecker(const QString& strConnection = CDatabase::DefaultConnection);

    // One line per problem; empty when the book is sound. With bAllowUnfinished false an
    // operation that never ended is itself a problem.
    QStringList Check(const QVector<QVector<CStressLog::SEntry>>& logs, bool bAllowUnfinished);

private:
    struct SRow {
        QString strWhere; // user \t kind \t date \t account
        qint64 nCents = 0;
    };
    struct SModel {
        QHash<QString, bool> users;
        QHash<QString, SRow> written; // note -> where and how much, as confirmed
        QSet<QString> gone;           // notes changed away, removed, or never written
        QSet<QString> opened;         // user \t kind \t date
        QSet<QString> transfers;      // user \t date \t from \t to \t cents
        QSet<QString> absentTransfers;
    };
    void Apply(SModel& model, const CStressLog::SEntry& e, bool bApplied) const;
    QStringList Compare(const SModel& model, bool bComplete) const;
    QStringList Load();

    QString m_strConnection;
    // The book as read by Load().
    QHash<QString, QVector<SRow>> m_rows; // note -> every row carrying it
    QSet<QString> m_presentDays;          // user \t kind \t date
    QHash<QString, int> m_transfers;
    QSet<QString> m_users;
};
