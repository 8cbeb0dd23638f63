#include "cimportjob.h"

#include "data/cdbexception.h"

#include <QThread>

CImportJob::CImportJob(const QString& strUser, qint64 nSessionUser, const QString& strConnection)
    : m_strUser(strUser), m_nSessionUser(nSessionUser), m_strUrl(CDatabase::Url(strConnection)),
      m_pShared(std::make_shared<SShared>()) {}

CImportJob::~CImportJob() {
    Cancel();
    Wait();
}

void CImportJob::Start(FWork fnWork) {
    static std::atomic_int s_nJobs{0};
    // Qt's connections are per thread and their names global: one name per job.
    const QString strConnection = QStringLiteral("ledgerkin-import-%1").arg(++s_nJobs);
    m_pThread =
        QThread::create([pShared = m_pShared, fnWork = std::move(fnWork), strConnection,
                         strUrl = m_strUrl, strUser = m_strUser, nSession = m_nSessionUser] {
            try {
                CDatabase::SetUrl(strUrl, strConnection);
                CImporter importer(strUser, nSession, strConnection);
                fnWork(importer, [&pShared](int nDone, int nTotal) {
                    pShared->nTotal = nTotal;
                    pShared->nDone = nDone;
                    return !pShared->bCancel;
                });
            } catch (...) {
                pShared->error = std::current_exception();
            }
            CDatabase::Close(strConnection);
            pShared->bFinished = true;
        });
    m_pThread->start();
}

bool CImportJob::IsFinished() const {
    return m_pShared->bFinished;
}

void CImportJob::Wait() {
    if (!m_pThread)
        return;
    m_pThread->wait();
    delete m_pThread;
    m_pThread = nullptr;
}

void CImportJob::Cancel() {
    m_pShared->bCancel = true;
}

bool CImportJob::IsCanceled() const {
    return m_pShared->bCancel;
}

int CImportJob::Done() const {
    return m_pShared->nDone;
}

int CImportJob::Total() const {
    return m_pShared->nTotal;
}

void CImportJob::RethrowError() const {
    if (m_pShared->bFinished && m_pShared->error)
        std::rethrow_exception(m_pShared->error);
}
