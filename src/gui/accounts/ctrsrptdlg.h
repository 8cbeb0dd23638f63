#pragma once

#include <QDialog>
#include <QVector>

class CMsflexgrid1;
class CSession;

// The logged-in user's transfers, one grid row per transfer by date (then in the order they
// were made), and a total line. A chosen transfer can be undone. Every showing reads them afresh.
class CTrsRptDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl { IDC_GRID = 1011, IDOK = 1, IDCANCEL = 2, IDC_UNDO = 1012 };

    explicit CTrsRptDlg(const CSession* pSession, QWidget* pParent = nullptr);

    // Fills the grid; false after a database error (the grid then holds its header only).
    bool OnInitDialog();
    void setVisible(bool bVisible) override;
    // Asks, then takes the chosen transfer back.
    void OnUndo();
    // Chooses the row of the transfer with that 编号 (after the dialog is shown).
    void ChooseKey(int nKey);
    // Whether a transfer was undone during this showing or the last (the caller then
    // refreshes).
    bool Changed() const { return m_bChanged; }

private:
    void OnClickGrid();

    CMsflexgrid1* m_ctlGrid = nullptr;

    bool m_bChanged = false;

    const CSession* m_pSession;
    class QPushButton* m_pUndo = nullptr;
    QVector<int> m_keys; // 编号 of grid row r + 1
    int m_nSelRow = 0;   // chosen grid row, 0 for none
};
