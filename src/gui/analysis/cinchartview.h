#pragma once

#include "analysis/cchartview.h"

// The income charts: the 8 income categories over the "Income" table.
class CInChartView : public CChartView {
    Q_OBJECT
public:
    explicit CInChartView(const CSession* pSession, QWidget* pParent = nullptr);

private:
    static STitles Titles();
};
