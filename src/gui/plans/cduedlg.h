#pragma once

#include "plans/crecurring.h"

#include <QDialog>
#include <QVector>

class CSession;
class QTableWidget;

// The recurring records that fell due: one row per occurrence, ticked, with its amount open to
// change for this time. 记入 writes the ticked rows, 跳过 marks them skipped; each row then says
// what became of it (an occurrence another copy wrote first is written here no more, and the
// row says so).
class CDueDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl {
        IDCANCEL = 2,
        IDC_DUE_LIST = 1000,
        IDC_WRITE = 1001,
        IDC_SKIP = 1002,
    };
    enum EColumn { ColDay, ColWhat, ColBank, ColAmount, ColResult };

    CDueDlg(const CSession* pSession, const QVector<CRecurring::SDue>& due,
            QWidget* pParent = nullptr);

    // Something was written: the views read the book again.
    bool HasWritten() const { return m_bWritten; }

public Q_SLOTS:
    void OnWrite();
    void OnSkip();

private:
    void Settle(bool bSkip);
    QTableWidget* m_pTable = nullptr;

    const CSession* m_pSession;
    QVector<CRecurring::SDue> m_due;
    QVector<bool> m_settled;
    bool m_bWritten = false;
};
