#pragma once

#include <QElapsedTimer>
#include <QProgressDialog>
#include <functional>

class CImportJob;

// A cancellable progress dialog for long imports. The work runs on a worker thread: file
// reading as a plain function (RunOffThread), the preview and the import as a CImportJob on
// a connection of its own (Run). The window's thread only turns the dialog.
class CImportProgress {
public:
    CImportProgress(const QString& strLabel, QWidget* pParent);
    bool WasCanceled() const { return m_dlg.wasCanceled(); }
    // Runs fnWork on another thread while the dialog turns; false when the user cancelled
    // (the work then finishes unseen and its result is dropped).
    bool RunOffThread(const std::function<void()>& fnWork);
    // Turns the dialog until the started job has finished. Cancelling asks the job to stop
    // and still waits for it, so a cancelled import has rolled back when this returns.
    // False when the user cancelled.
    bool Run(CImportJob& job);

private:
    QProgressDialog m_dlg;
    QElapsedTimer m_timer;
};
