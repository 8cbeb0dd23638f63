#pragma once

#include "records/crecordkind.h"

#include <QDate>
#include <QDialog>

class QCalendarWidget;
class CSession;

// Opens a new day of records: the person picks a date (today to begin with) and OK writes
// the day's placeholder row, so the day exists for the tree and the daily view.
class CNewDayDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl { IDC_CALENDAR = 1017 };

    CNewDayDlg(ERecordKind eKind, const CSession* pSession, QWidget* pParent);
    void setVisible(bool bVisible) override;

    // Calendar <-> m_Date.
    void UpdateData(bool bSaveAndValidate);
    void OnInitDialog();
    void OnOK();

    // The day chosen by the last OK.
    QDate Day() const { return m_Date; }

private:
    QCalendarWidget* m_ctlCalendar = nullptr;
    QDate m_Date;
    ERecordKind m_eKind;
    const CSession* m_pSession;
};
