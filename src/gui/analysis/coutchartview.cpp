#include "coutchartview.h"

// Placeholder until the view is built; its owner replaces this file.
COutChartView::COutChartView(QWidget* pParent) : CFormView(pParent) { setObjectName(QStringLiteral("COutChartView")); }
void COutChartView::OnInitialUpdate() {}
void COutChartView::DrawUserLine() {}
void COutChartView::DrawUserBar() {}
void COutChartView::DrawUserPie() {}
void COutChartView::DrawYearLine(int) {}
void COutChartView::DrawYearBar(int) {}
void COutChartView::DrawYearPie(int) {}
void COutChartView::DrawMonthLine(int, int) {}
void COutChartView::DrawMonthBar(int, int) {}
void COutChartView::DrawMonthPie(int, int) {}
