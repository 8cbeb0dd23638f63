#include "cinchartview.h"

CInChartView::CInChartView(const CSession* pSession, QWidget* pParent)
    : CChartView(CChartData::ETable::Income, Titles(), pSession, pParent) {
    setObjectName(QStringLiteral("CInChartView"));
}

CChartView::STitles CInChartView::Titles() {
    STitles t;
    t.strUserLine = tr("用户财务收入线图");
    t.strUserBar = tr("用户财务收入直方图");
    t.strUserPie = tr("用户财务收入比例图");
    t.strYearLine = tr("%1年度财务收入线图");
    t.strYearBar = tr("%1年度财务收入直方图");
    t.strYearPie = tr("%1年度财务收入比例图");
    t.strMonthLine = tr("%1年%2月份财务收入线图");
    t.strMonthBar = tr("%1年%2月份财务收入直方图");
    t.strMonthPie = tr("%1年%2月份财务收入比例图");
    return t;
}
