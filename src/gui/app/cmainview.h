#pragma once

#include "widgets/cformview.h"

#include <QDate>

class QCalendarWidget;

// The blank right-hand view shown while nobody is logged in: the program's picture, and a
// hidden calendar that fixes the day the view was created (a new user's first day).
class CMainView : public CFormView {
    Q_OBJECT
public:
    enum EControl { IDC_PICTURE = 162, IDC_CALENDAR = 1017 };

    explicit CMainView(const CSession* pSession, QWidget* pParent = nullptr);
    void OnInitialUpdate() override;
    void UpdateData(bool bSaveAndValidate);

private:
    QDate m_Date;
    QCalendarWidget* m_pCalendar;
};
