#pragma once

#include "app/cformview.h"

class CInChartView : public CFormView {
    Q_OBJECT
public:
    explicit CInChartView(QWidget* pParent = nullptr);
    void OnInitialUpdate() override;

    void DrawUserLine();
    void DrawUserBar();
    void DrawUserPie();
    void DrawYearLine(int nYear);
    void DrawYearBar(int nYear);
    void DrawYearPie(int nYear);
    void DrawMonthLine(int nYear, int nMonth);
    void DrawMonthBar(int nYear, int nMonth);
    void DrawMonthPie(int nYear, int nMonth);
};
