#pragma once

#include <QDialog>

class CMsflexgrid1;
class CSession;

// The logged-in user's transfers, one grid row per transfer in the order they were made.
// Every showing reads them afresh.
class CTrsRptDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl { IDC_GRID = 1011, IDOK = 1, IDCANCEL = 2 };

    explicit CTrsRptDlg(CSession* pSession, QWidget* pParent = nullptr);

    // Fills the grid; false after a database error (the grid then holds its header only).
    bool OnInitDialog();
    void setVisible(bool bVisible) override;

    CMsflexgrid1* m_ctlGrid = nullptr;

private:
    CSession* m_pSession;
};
