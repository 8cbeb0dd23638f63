#pragma once

#include <QDialog>

// The start-up picture: a frameless window with the title and version, centred on the
// primary screen, before the main window appears.
class CSplashDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSplashDlg(QWidget* pParent = nullptr);
    // Shows the window centred for nMilliseconds, then hides it. The program takes no input
    // meanwhile; the window keeps painting.
    void ShowFor(int nMilliseconds);
};
