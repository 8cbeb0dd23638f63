#include "app/cwindowlayout.h"

#include <QMainWindow>
#include <QSettings>
#include <QSplitter>

namespace {
const QString g_strGeometry = QStringLiteral("window/geometry");
const QString g_strSplitter = QStringLiteral("window/splitter");

QSplitter* TreeSplitter(const QMainWindow* pWindow) {
    return qobject_cast<QSplitter*>(pWindow->centralWidget());
}
} // namespace

void CWindowLayout::Save(const QMainWindow* pWindow, QSettings& settings) {
    settings.setValue(g_strGeometry, pWindow->saveGeometry());
    if (const QSplitter* pSplitter = TreeSplitter(pWindow))
        settings.setValue(g_strSplitter, pSplitter->saveState());
}

bool CWindowLayout::Restore(QMainWindow* pWindow, const QSettings& settings) {
    const QByteArray geometry = settings.value(g_strGeometry).toByteArray();
    if (geometry.isEmpty() || !pWindow->restoreGeometry(geometry))
        return false;
    // The splitter keeps the tree's minimum width whatever was saved (an older copy may have
    // saved a narrower one).
    if (QSplitter* pSplitter = TreeSplitter(pWindow))
        pSplitter->restoreState(settings.value(g_strSplitter).toByteArray());
    return true;
}
