#pragma once

#include "app/cformview.h"

class CSumListView : public CFormView {
    Q_OBJECT
public:
    explicit CSumListView(QWidget* pParent = nullptr);
    void OnInitialUpdate() override;

    void ShowUserBrief(const QString& strUser);
    void ShowYearBrief(const QString& strUser, int nYear);
    void ShowMonthBrief(const QString& strUser, int nYear, int nMonth);
    void ShowAccountList(const QString& strUser);
};
