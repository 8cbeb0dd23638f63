#pragma once

#include "analysis/cchartview.h"

// The outlay charts: the 12 outlay categories over the "Outlay" table.
class COutChartView : public CChartView {
    Q_OBJECT
public:
    explicit COutChartView(const CSession* pSession, QWidget* pParent = nullptr);

private:
    static STitles Titles();
};
