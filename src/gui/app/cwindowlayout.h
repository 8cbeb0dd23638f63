#pragma once

class QMainWindow;
class QSettings;

// The main window's size, place and the width of its tree between starts, kept in the
// program's settings: a window made small, or a tree made wider, comes back as it was left.
class CWindowLayout {
public:
    static void Save(const QMainWindow* pWindow, QSettings& settings);
    // False when nothing was saved yet; the window then keeps its first-start layout.
    static bool Restore(QMainWindow* pWindow, const QSettings& settings);
};
