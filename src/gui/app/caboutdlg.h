#pragma once

#include <QDialog>

// "关于 Ledgerkin": the picture with the title and version, and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};
