#pragma once

#include "cstresslog.h"
#include "data/cdatabase.h"

#include <QDate>
#include <QRandomGenerator>
#include <QStringList>
#include <cstdint>

// One driver process's work: random operations through the program's core on a shared book —
// confirming a day of an account as the daily view does (read the day, add rows, change one,
// remove one), opening a day, transferring money, and (with churn) creating and deleting
// users — each logged before and after. A busy book is retried a few times, then the
// operation is given up and reported.
//
// Several workers share a book and mostly the same user, days and accounts, so they keep
// changing what the other one has just read. Every row a worker writes carries a note of its
// own (run, lane, sequence), so the checker can follow each row through the logs.
class CStressWorker {
public:
    struct SOptions {
        int nLane = 0;
        int nLanes = 1;
        int nRun = 0; // distinguishes the tags and transfer amounts of successive runs
        int nOps = 100;
        int nMillis = 5000;
        bool bChurn = false;
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
    template <class TFn> void Attempt(int nSeq, TFn fn);
    QDate PickDay();
    QString PickUser();
    void Confirm(int nSeq);
    void Transfer(int nSeq);
    void OpenDay(int nSeq);
    void CreateOrDelete(int nSeq);

    SOptions m_options;
    CStressLog& m_log;
    QRandomGenerator m_random;
    SSummary m_summary;
};
