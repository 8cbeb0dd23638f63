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
// - every day of an account holds the rows of exactly one confirmation, all of them;
// - what a log saw succeed is in the book (the last confirmation of each day, each transfer,
//   each opened day, each created or deleted user), and what it saw fail is not.
// An operation a kill cut short may or may not have happened; both are accepted, nothing
// in between.
class CStressChecker {
public:
    explicit CStressChecker(const QString& strConnection = CDatabase::DefaultConnection);

    // One line per problem; empty when the book is sound. With bAllowUnfinished false an
    // operation that never ended is itself a problem.
    QStringList Check(const QVector<QVector<CStressLog::SEntry>>& logs, bool bAllowUnfinished);

private:
    struct SDay {
        QString strTag;
        int nRows = 0;
        qint64 nCents = 0;
    };
    struct SModel {
        QHash<QString, bool> users;
        QHash<QString, SDay> days; // user \t kind \t date \t account
        QSet<QString> opened;      // user \t kind \t date
        QSet<QString> transfers;   // user \t date \t from \t to \t cents
        QSet<QString> absentTags;
        QSet<QString> absentTransfers;
    };
    void Apply(SModel& model, const CStressLog::SEntry& e, bool bApplied) const;
    QStringList Compare(const SModel& model) const;
    QStringList Load();

    QString m_strConnection;
    // The book as read by Load().
    QHash<QString, QVector<QPair<QString, qint64>>> m_days; // key -> (note, cents)
    QSet<QString> m_presentDays;                            // user \t kind \t date
    QHash<QString, int> m_transfers;
    QSet<QString> m_users;
    QSet<QString> m_tags;
};
