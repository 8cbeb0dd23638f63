#pragma once

#include "app/cformview.h"

class COutlayView : public CFormView {
    Q_OBJECT
public:
    explicit COutlayView(QWidget* pParent = nullptr);
    void OnInitialUpdate() override;

    // The current day.
    int m_nYear = 0;
    int m_nMonth = 0;
    int m_nDay = 0;

    void ShowCurrentDay();
    void ShowDayInTree();
    void GoLastDay();
    // An add or modify is open: the tree must not change the day under it.
    bool IsEditing() const;
};
