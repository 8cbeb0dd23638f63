#include "cinchartview.h"

// Placeholder until the view is built; its owner replaces this file.
CInChartView::CInChartView(QWidget* pParent) : CFormView(pParent) { setObjectName(QStringLiteral("CInChartView")); }
void CInChartView::OnInitialUpdate() {}
void CInChartView::DrawUserLine() {}
void CInChartView::DrawUserBar() {}
void CInChartView::DrawUserPie() {}
void CInChartView::DrawYearLine(int) {}
void CInChartView::DrawYearBar(int) {}
void CInChartView::DrawYearPie(int) {}
void CInChartView::DrawMonthLine(int, int) {}
void CInChartView::DrawMonthBar(int, int) {}
void CInChartView::DrawMonthPie(int, int) {}
