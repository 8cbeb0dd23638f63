#include "cimportprogress.h"

#include <QCoreApplication>
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

CImporter::FProgress CImportProgress::Callback() {
    return [this](int nDone, int nTotal) {
        if (m_timer.elapsed() >= 30) {
            m_dlg.setMaximum(nTotal);
            m_dlg.setValue(nDone);
            QCoreApplication::processEvents();
            m_timer.restart();
        }
        return !m_dlg.wasCanceled();
    };
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
