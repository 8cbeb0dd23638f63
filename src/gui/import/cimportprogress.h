#pragma once

#include "import/cimporter.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <functional>

// A cancellable progress dialog for long imports. The work runs on the GUI thread in
// chunks (the database connection belongs to it) and lets the window breathe through the
// callback at least every few dozen milliseconds; file reading, which needs no database,
// runs on a worker thread (RunOffThread).
class CImportProgress {
public:
    CImportProgress(const QString& strLabel, QWidget* pParent);
    CImporter::FProgress Callback();
    bool WasCanceled() const { return m_dlg.wasCanceled(); }
    // Runs fnWork on another thread while the dialog turns; false when the user cancelled
    // (the work then finishes unseen and its result is dropped).
    bool RunOffThread(const std::function<void()>& fnWork);

private:
    QProgressDialog m_dlg;
    QElapsedTimer m_timer;
};
