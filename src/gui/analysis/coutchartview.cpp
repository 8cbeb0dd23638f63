#include "coutchartview.h"

COutChartView::COutChartView(const CSession* pSession, QWidget* pParent)
    : CChartView(CChartData::ETable::Outlay, Titles(), pSession, pParent) {
    setObjectName(QStringLiteral("COutChartView"));
}

CChartView::STitles COutChartView::Titles() {
    STitles t;
    t.strUserLine = tr("用户财务支出线图");
    t.strUserBar = tr("用户财务支出直方图");
    t.strUserPie = tr("用户财务支出比例图");
    t.strYearLine = tr("%1年度财务支出线图");
    t.strYearBar = tr("%1年度财务支出直方图");
    t.strYearPie = tr("%1年度财务支出比例图");
    t.strMonthLine = tr("%1年%2月份财务支出线图");
    t.strMonthBar = tr("%1年%2月份财务支出直方图");
    t.strMonthPie = tr("%1年%2月份财务支出比例图");
    return t;
}
