#include "cimportprogress.h"

#include "import/cimportjob.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

CImportProgress::CImportProgress(const QString& strLabel, QWidget* pParent)
    : m_dlg(strLabel, QObject::tr("取消"), 0, 0, pParent) {
    m_dlg.setObjectName(QStringLiteral("CImportProgress"));
    m_dlg.setWindowTitle(QStringLiteral("Ledgerkin"));
    m_dlg.setWindowModality(Qt::WindowModal);
    m_dlg.setMinimumDuration(300);
    m_dlg.setAutoReset(false);
    m_dlg.setAutoClose(false);
    m_timer.start();
}

bool CImportProgress::RunOffThread(const std::function<void()>& fnWork) {
    auto pDone = std::make_shared<std::atomic_bool>(false);
    QThread* pThread = QThread::create([fnWork, pDone] {
        fnWork();
        *pDone = true;
    });
    QObject::connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    m_dlg.setMaximum(0); // busy: reading has no row count yet
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (*pDone || m_dlg.wasCanceled())
            loop.quit();
        else if (m_timer.elapsed() > 300 && !m_dlg.isVisible())
            m_dlg.show();
    });
    timer.start(20);
    pThread->start();
    loop.exec();
    return *pDone && !m_dlg.wasCanceled();
}

bool CImportProgress::Run(CImportJob& job) {
    const QString strLabel = m_dlg.labelText();
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (job.IsFinished()) {
            loop.quit();
            return;
        }
        if (m_dlg.wasCanceled() && !job.IsCanceled()) {
            job.Cancel();
            // The dialog stays up until the job has stopped: nothing else may start meanwhile.
            m_dlg.setLabelText(QObject::tr("正在取消…"));
            m_dlg.setCancelButton(nullptr);
            m_dlg.setRange(0, 0); // busy until the rollback is done
            m_dlg.show();
        }
        if (!job.IsCanceled() && job.Total() > 0) {
            m_dlg.setMaximum(job.Total());
            m_dlg.setValue(std::min(job.Done(), job.Total() - 1));
        } else if (m_timer.elapsed() > 300 && !m_dlg.isVisible()) {
            m_dlg.show();
        }
    });
    m_dlg.setMaximum(0);
    timer.start(20);
    loop.exec();
    job.Wait();
    m_dlg.hide();
    m_dlg.setLabelText(strLabel);
    return !job.IsCanceled();
}
