#pragma once

#include "app/cformview.h"

class CIncomeView : public CFormView {
    Q_OBJECT
public:
    explicit CIncomeView(QWidget* pParent = nullptr);
    void OnInitialUpdate() override;

    // The current day.
    int m_nYear = 2004;
    int m_nMonth = 3;
    int m_nDay = 2;

    void ShowCurrentDay();
    void ShowDayInTree();
    void GoLastDay();
    // An add or modify is open: the tree must not change the day under it.
    bool IsEditing() const;
};
