#pragma once

#include "data/cdatabase.h"

#include <QDate>
#include <QString>
#include <QVector>

// Templates of records a user makes again and again (rent, salary, a monthly saving moved to
// another account) and the occurrences they owe. An occurrence is written through the same
// paths as a typed one (the day opened as a new day is, the record confirmed as a day's rows
// are, a transfer as the transfer dialog makes it), together with its key in "RecurringDone",
// in one transaction: the key is unique per template and day, so however many copies confirm
// the same occurrence, one writes it and the others write nothing.
class CRecurring {
public:
    enum class EKind { Income = 0, Outlay = 1, Transfer = 2 };
    enum class EUnit { Day = 0, Week = 1, Month = 2, Year = 3 };

    struct STemplate {
        qint64 nId = 0; // 编号; 0 for a template not stored yet
        EKind eKind = EKind::Outlay;
        QString strSort; // income and outlay only
        QString strNote;
        QString strBank;   // the account; a transfer's source
        QString strToBank; // a transfer's destination
        qint64 nCents = 0;
        EUnit eUnit = EUnit::Month;
        int nEvery = 1;    // every nEvery units
        int nMonthDay = 0; // months: the day of the month, 31 the last; 0 the start's day
        QDate start;
        QDate end; // the last day it may fall on; invalid: no end
        bool bPaused = false;
        QDate from; // occurrences before it are owed no more (set when resumed)
    };

    // The days of the rule in [from, to], earliest first, paused or not; a month or year
    // without the day takes its last day (the 31st in February is the 28th or 29th).
    static QVector<QDate> Occurrences(const STemplate& t, const QDate& from, const QDate& to);
    // How the rule reads: "每 2 周", "每月 31 日（月末）".
    static QString RuleText(const STemplate& t);
    // Why the template cannot be stored ("" when it can).
    static QString Check(const STemplate& t);

    // The user's templates, in the order they were made. Throws CDBException.
    static QVector<STemplate> List(const QString& strUser,
                                   const QString& strConnection = CDatabase::DefaultConnection);

    enum class EChange { Done, Gone };
    // Stores a new template (its 编号 comes back in t.nId); changes one (its rule and values;
    // when the start moves, the occurrences owed are counted from the new start); pauses or
    // resumes one (a resumed template owes nothing before today); deletes one with its keys.
    // Each is one transaction. Check() refusals and database errors throw CDBException;
    // CSessionGone as the day's writes.
    static void Add(const QString& strUser, STemplate& t, qint64 nSessionUser = 0,
                    const QString& strConnection = CDatabase::DefaultConnection);
    static EChange Change(const QString& strUser, const STemplate& t, qint64 nSessionUser = 0,
                          const QString& strConnection = CDatabase::DefaultConnection);
    static EChange SetPaused(const QString& strUser, qint64 nId, bool bPaused,
                             qint64 nSessionUser = 0,
                             const QString& strConnection = CDatabase::DefaultConnection);
    static EChange Remove(const QString& strUser, qint64 nId, qint64 nSessionUser = 0,
                          const QString& strConnection = CDatabase::DefaultConnection);
    static QString Message(EChange eChange);

    // The occurrences owed up to `today`: of every template that is not paused, the days from
    // its start (or from when it was resumed) to its end or today that were neither written nor
    // skipped, template by template, earliest first. Throws CDBException.
    struct SDue {
        STemplate tmpl;
        QDate day;
    };
    static QVector<SDue> Due(const QString& strUser, const QDate& today,
                             const QString& strConnection = CDatabase::DefaultConnection);

    enum class EWrite {
        Written,
        Skipped,
        Taken,   // already written or skipped (by another copy): nothing written
        Changed, // the template is gone, paused or no longer falls on that day: nothing written
    };
    // Writes the occurrence of template nId on `day` with nCents (the template's amount or one
    // changed for this time), or marks it skipped. A refused record or transfer (an account
    // gone, a zero amount) throws CDBException and writes nothing; CSessionGone likewise.
    static EWrite Write(const QString& strUser, qint64 nId, const QDate& day, qint64 nCents,
                        qint64 nSessionUser = 0,
                        const QString& strConnection = CDatabase::DefaultConnection);
    static EWrite Skip(const QString& strUser, qint64 nId, const QDate& day,
                       qint64 nSessionUser = 0,
                       const QString& strConnection = CDatabase::DefaultConnection);
    static QString Message(EWrite eWrite);

private:
    static EWrite Settle(const QString& strUser, qint64 nId, const QDate& day, qint64 nCents,
                         bool bSkip, qint64 nSessionUser, const QString& strConnection);
};
