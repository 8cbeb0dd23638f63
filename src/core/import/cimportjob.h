#pragma once

#include "cimporter.h"

#include <QString>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class QThread;

// A preview or an import of many rows, run on a thread of its own with its own connection
// to the book, so the window that started it keeps painting. The window asks how far it
// got, may cancel it (an import then rolls back, nothing written) and learns the outcome
// once IsFinished(). Going away cancels the job and waits for its thread, so an import is
// either committed or rolled back by then.
class CImportJob {
public:
    // Runs on the worker thread, with an importer on the worker's connection and a progress
    // callback that returns false once Cancel() was called.
    using FWork = std::function<void(CImporter& importer, const CImporter::FProgress& progress)>;

    CImportJob(const QString& strUser, qint64 nSessionUser,
               const QString& strConnection = CDatabase::DefaultConnection);
    ~CImportJob(); // cancels; waits for a started thread to finish

    void Start(FWork fnWork);
    bool IsFinished() const;
    // Blocks until the thread finished (tools and tests; a window polls IsFinished()).
    void Wait();
    void Cancel();
    bool IsCanceled() const;
    // The last progress reported: rows done of nTotal (0 while unknown).
    int Done() const;
    int Total() const;
    // After IsFinished(): rethrows what the work threw (CDBException, CSessionGone …).
    void RethrowError() const;

private:
    struct SShared {
        std::atomic_bool bCancel{false};
        std::atomic_bool bFinished{false};
        std::atomic_int nDone{0};
        std::atomic_int nTotal{0};
        std::exception_ptr error; // written by the thread before bFinished
    };

    QString m_strUser;
    qint64 m_nSessionUser = 0;
    QString m_strUrl;
    std::shared_ptr<SShared> m_pShared;
    QThread* m_pThread = nullptr;
};
