#pragma once

#include "plans/cbudget.h"

#include <QDialog>
#include <QVector>

class CSession;
class QTableWidget;

// Setting the logged-in user's monthly budgets: a row for the whole outlay and one per outlay
// category, a column for every month and one for each month of the year that differs. An empty
// cell has no budget. OK writes the cells changed here (others another copy set stay) and ends
// the dialog only when they were written.
class CBudgetDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl { IDOK = 1, IDCANCEL = 2, IDC_BUDGET_TABLE = 1000 };

    explicit CBudgetDlg(const CSession* pSession, QWidget* pParent = nullptr);

    // Reads the user's budgets into the table. False (after the message) when they could not be
    // read.
    bool OnInitDialog();
    // The cells changed against what was read; false (after a message naming the cell) when
    // one is not an amount.
    bool Changes(QVector<CBudget::SAmount>& changes);

public Q_SLOTS:
    void OnOK();

private:
    QString SortOfRow(int nRow) const;
    QTableWidget* m_pTable = nullptr;
    const CSession* m_pSession;
    QVector<CBudget::SAmount> m_loaded;
};
