#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>

// What a user waits for ends when the window has nothing left to do: the paint a change asked
// for, the window system's answer to it (a round trip to the X server under xcb) and whatever
// those posted in turn. Runs the event loop until two passes in a row find nothing to do.
// Timers that are not due yet (the change watcher's) do not count; a pass cap keeps a
// zero-interval timer from holding a benchmark forever.
inline void ToIdle() {
    QAbstractEventDispatcher* pDispatcher = QAbstractEventDispatcher::instance();
    int nQuiet = 0;
    for (int nPass = 0; nQuiet < 2 && nPass < 1000; ++nPass) {
        QCoreApplication::sendPostedEvents();
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            QGuiApplication::sync();
        const bool bDid = pDispatcher && pDispatcher->processEvents(QEventLoop::AllEvents);
        nQuiet = bDid ? 0 : nQuiet + 1;
    }
}

// The window size the waits are measured in: a maximised window on a 1920×1080 screen.
inline constexpr int kBenchWidth = 1920;
inline constexpr int kBenchHeight = 1080;
