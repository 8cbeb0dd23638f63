#pragma once

#include "data/cdatabase.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>

// A small, seeded book for tests, written only through the program's own core functions
// (user creation, confirming days, transfers), so it is a book the program could have kept.
// The same seed always gives the same rows.
//
// Every account opens with OpeningCents(user, account), so the balance check below needs no
// record of how the book was built: a balance must equal its opening plus its income, minus
// its outlay, minus what was transferred out and plus what was transferred in.
class CBookBuilder {
public:
    struct SOptions {
        int nAccounts = 2;
        QDate firstDay = QDate(2004, 3, 2);
        int nDays = 12; // the span of days from firstDay; about a third are left empty
        int nRecordsPerDay =
            2; // income and outlay records, each, per used day (spread over accounts)
        int nTransfers = 4;
        std::uint64_t nSeed = 1;
    };

    // "现金", "银行", "股票", "外币", …
    static QStringList AccountNames(int nAccounts);
    // The amount an account opens with: a fixed value from the two names (0.00 to 9999.99).
    static std::int64_t OpeningCents(const QString& strUser, const QString& strCard);

    // Creates the user with its accounts and fills its days and transfers. Throws
    // CDBException (from the core) when a step is refused.
    static void AddUser(const QString& strUser, const QString& strPwd, const SOptions& options,
                        const QString& strConnection = CDatabase::DefaultConnection);

    // One line per account whose balance breaks the rule above ("" lines never). Reads the
    // tables with its own SQL, independent of the code under test.
    static QStringList BalanceProblems(const QString& strConnection = CDatabase::DefaultConnection);
    // Users without an account or without their first income / outlay day, and rows of
    // users that do not exist: what a half-done creation or deletion would leave.
    static QStringList
    WholenessProblems(const QString& strConnection = CDatabase::DefaultConnection);
    // SQLite's integrity_check ("" when it is ok or the book is not SQLite).
    static QString IntegrityProblem(const QString& strConnection = CDatabase::DefaultConnection);

    // Every row of the five tables as text, table by table in key order, without the rows of
    // strExceptUser (when it is not null).
    static QStringList Dump(const QString& strConnection = CDatabase::DefaultConnection,
                            const QString& strExceptUser = QString());
};
