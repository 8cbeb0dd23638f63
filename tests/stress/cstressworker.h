#pragma once

#include "cstresslog.h"
#include "data/cdatabase.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <cstdint>
#include <functional>

// One driver process's work: random operations through the program's core on a shared book —
// confirming a day of an account as the daily view does (read the day, add rows, change one,
// remove one), opening a day, transferring money, and (with churn) creating and deleting
// users — each logged before and after. A busy book is retried a few times, then the
// operation is given up and reported.
//
// Several workers share a book and mostly the same user, days and accounts, so they keep
// changing what the other one has just read. Every row a worker writes carries a note of its
// own (run, lane, sequence), so the checker can follow each row through the logs.
//
// As one copy of a family's program (bFamily) it does what a person at that copy does: logs
// in and out, confirms days and transfers as the logged-in user, opens the import preview
// (sometimes cancelling it) and imports a small statement, backs the book up and restores a
// backup; then quits, closing the book as the program does. Between steps it looks at its own
// open files: the book's write-ahead log or shared memory deleted under it means another copy
// believed it was the last one on the book.
class CStressWorker {
public:
    struct SOptions {
        int nLane = 0;
        int nLanes = 1;
        int nRun = 0; // distinguishes the tags and transfer amounts of successive runs
        int nOps = 100;
        int nMillis = 5000;
        bool bChurn = false;
        bool bFamily = false;
        QString strScratch; // a file of its own, for the statements it imports
        std::uint64_t nSeed = 1;
    };
    struct SSummary {
        int nDone = 0;
        int nBusy = 0;   // given up because the book stayed busy
        int nErrors = 0; // failed for any other reason
        int nRetries = 0;
    };

    static QStringList BaseUsers();
    static QStringList ChurnUsers();
    static QStringList Accounts();
    static QDate FirstDay();
    static constexpr int DayCount = 24;

    // Creates the base users, each account opening at CBookBuilder::OpeningCents.
    static void Setup(const QString& strConnection = CDatabase::DefaultConnection);

    CStressWorker(const SOptions& options, CStressLog& log);
    SSummary Run();

private:
    // fnExpected, asked after a failure that is not a busy book: true when the failure is a
    // race the program answered rightly (logged "expected" rather than "error").
    template <class TFn> void Attempt(int nSeq, TFn fn, std::function<bool()> fnExpected = {});
    QDate PickDay();
    QString PickUser();
    void Confirm(int nSeq);
    void Transfer(int nSeq);
    void OpenDay(int nSeq);
    void CreateOrDelete(int nSeq);
    void RunFamily();
    void LogIn(int nSeq);
    void LogOut(int nSeq);
    void ImportStatement(int nSeq, bool bImport);
    void Backup(int nSeq);
    void Restore(int nSeq);
    void Quit(int nSeq);
    void CheckOpenFiles(int nSeq);

    SOptions m_options;
    CStressLog& m_log;
    QRandomGenerator m_random;
    SSummary m_summary;
    QString m_strUser; // logged in (family); "" when nobody is
    qint64 m_nUserId = 0;
    int m_nBackups = 0;
    QSet<QString> m_reported; // deleted files already logged
};
