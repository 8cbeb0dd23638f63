#include "cchartview.h"

#include "analysis/cmschart3.h"
#include "data/cdbexception.h"
#include "widgets/cmessagebox.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <utility>

namespace {

QGroupBox* Framed(CMschart3* pChart) {
    auto* pBox = new QGroupBox;
    auto* pLayout = new QVBoxLayout(pBox);
    pLayout->setContentsMargins(4, 4, 4, 4);
    pLayout->addWidget(pChart);
    return pBox;
}

} // namespace

CChartView::CChartView(CChartData::ETable eTable, const STitles& titles, const CSession* pSession,
                       QWidget* pParent)
    : CFormView(pSession, pParent), m_eTable(eTable), m_titles(titles) {
    const int nCategories = CChartData::Categories(eTable).size();
    m_pBarChart = new CMschart3(CMschart3::EType::Bar, 1, nCategories);
    m_pPieChart = new CMschart3(CMschart3::EType::Pie, 1, nCategories);
    m_pLineChart = new CMschart3(CMschart3::EType::Line, 1, 1);
    m_pBarChart->setObjectName(QString::number(IDC_BAR_CHART));
    m_pPieChart->setObjectName(QString::number(IDC_PIE_CHART));
    m_pLineChart->setObjectName(QString::number(IDC_LINE_CHART));
    m_pBarChart->setMinimumSize(320, 240);
    m_pPieChart->setMinimumWidth(320); // its height follows its legend
    m_pLineChart->setMinimumSize(660, 200);

    // The bar and pie charts share the top row, the line chart takes the full width below.
    // Lying bars need less width than the pie with its legend of names and shares.
    auto* pTop = new QHBoxLayout;
    pTop->addWidget(Framed(m_pBarChart), 2);
    pTop->addWidget(Framed(m_pPieChart), 3);
    auto* pLayout = new QVBoxLayout(Form());
    pLayout->setContentsMargins(8, 4, 8, 8);
    pLayout->addLayout(pTop, 195);
    pLayout->addWidget(Framed(m_pLineChart), 209);

    m_dropSorts.setSingleShot(true);
    m_dropSorts.setInterval(0);
    connect(&m_dropSorts, &QTimer::timeout, this, [this] {
        m_pSortsChart = nullptr;
        m_sortsHeld = SSorts();
    });
}

void CChartView::OnInitialUpdate() {
    ShowScope(CScope::Whole());
}

void CChartView::ShowScope(const CScope& scope) {
    const int nYear = scope.date.year();
    const int nMonth = scope.date.month();
    // The charts of the scope wait for each other and are painted together, once, with the
    // new figures.
    const QList<CMschart3*> charts = {m_pLineChart, m_pBarChart, m_pPieChart};
    for (CMschart3* pChart : charts)
        pChart->HoldPainting(true);
    switch (scope.eLevel) {
    case CScope::User:
        DrawUserLine();
        DrawUserBar();
        DrawUserPie();
        break;
    case CScope::Year:
        DrawYearLine(nYear);
        DrawYearBar(nYear);
        DrawYearPie(nYear);
        break;
    case CScope::Month:
        DrawMonthLine(nYear, nMonth);
        DrawMonthBar(nYear, nMonth);
        DrawMonthPie(nYear, nMonth);
        break;
    case CScope::Day:
        break;
    }
    for (CMschart3* pChart : charts)
        pChart->HoldPainting(false);
}

// ---- drawing

void CChartView::DrawLine(const QString& strTitle, const CChartData::SLine& line) {
    m_pLineChart->SetTitleText(strTitle);
    m_pLineChart->SetRowCount(line.labels.size());
    m_pLineChart->SetColumn(1);
    for (int i = 0; i < line.labels.size(); ++i) {
        m_pLineChart->SetRow(i + 1);
        m_pLineChart->SetRowLabel(line.labels[i]);
        m_pLineChart->SetData(line.data[i]);
    }
    m_pLineChart->Refresh();
}

void CChartView::DrawSorts(CMschart3* pChart, const QString& strTitle, const SSorts& sorts) {
    // A family's own list may be long: the chart keeps to what it can show apart.
    const CChartData::SSlices slices = CChartData::Slices(sorts.labels, sorts.values);
    pChart->SetTitleText(strTitle);
    pChart->SetColumnCount(int(slices.labels.size()));
    pChart->SetRow(1);
    for (int c = 1; c <= slices.labels.size(); ++c) {
        pChart->SetColumn(c);
        pChart->SetColumnLabel(slices.labels[c - 1]);
        pChart->SetData(slices.values[c - 1]);
    }
    pChart->Refresh();
}

template <class TFetch>
CChartView::SSorts CChartView::SortsFor(CMschart3* pChart, const QString& strScope, TFetch fetch) {
    if (m_pSortsChart && m_pSortsChart != pChart && m_strSortsScope == strScope) {
        // Taken once: a third draw of the scope reads the book again.
        m_pSortsChart = nullptr;
        return std::exchange(m_sortsHeld, SSorts());
    }
    m_pSortsChart = nullptr; // a failed read below must not leave older figures behind
    // One reading of the family's categories serves the values and their labels.
    const CChartData data = Data();
    m_sortsHeld.values = fetch(data);
    m_sortsHeld.labels = data.CategoryLabels();
    m_pSortsChart = pChart;
    m_strSortsScope = strScope;
    m_dropSorts.start();
    return m_sortsHeld;
}

void CChartView::DrawUserLine() {
    // A failed read leaves the charts as they were and says why.
    CMessageBox::Guarded(this, [&] { DrawLine(m_titles.strUserLine, Data().UserLine()); });
}

void CChartView::DrawUserBar() {
    CMessageBox::Guarded(this, [&] {
        DrawSorts(m_pBarChart, m_titles.strUserBar,
                  SortsFor(m_pBarChart, QStringLiteral("u"),
                           [&](const CChartData& data) { return data.UserSorts(); }));
    });
}

void CChartView::DrawUserPie() {
    CMessageBox::Guarded(this, [&] {
        DrawSorts(m_pPieChart, m_titles.strUserPie,
                  SortsFor(m_pPieChart, QStringLiteral("u"),
                           [&](const CChartData& data) { return data.UserSorts(); }));
    });
}

void CChartView::DrawYearLine(int nYear) {
    CMessageBox::Guarded(
        this, [&] { DrawLine(m_titles.strYearLine.arg(nYear), Data().YearLine(nYear)); });
}

void CChartView::DrawYearBar(int nYear) {
    CMessageBox::Guarded(this, [&] {
        DrawSorts(m_pBarChart, m_titles.strYearBar.arg(nYear),
                  SortsFor(m_pBarChart, QStringLiteral("y%1").arg(nYear),
                           [&](const CChartData& data) { return data.YearSorts(nYear); }));
    });
}

void CChartView::DrawYearPie(int nYear) {
    CMessageBox::Guarded(this, [&] {
        DrawSorts(m_pPieChart, m_titles.strYearPie.arg(nYear),
                  SortsFor(m_pPieChart, QStringLiteral("y%1").arg(nYear),
                           [&](const CChartData& data) { return data.YearSorts(nYear); }));
    });
}

void CChartView::DrawMonthLine(int nYear, int nMonth) {
    CMessageBox::Guarded(this, [&] {
        DrawLine(m_titles.strMonthLine.arg(nYear).arg(nMonth), Data().MonthLine(nYear, nMonth));
    });
}

void CChartView::DrawMonthBar(int nYear, int nMonth) {
    CMessageBox::Guarded(this, [&] {
        DrawSorts(m_pBarChart, m_titles.strMonthBar.arg(nYear).arg(nMonth),
                  SortsFor(m_pBarChart, QStringLiteral("m%1-%2").arg(nYear).arg(nMonth),
                           [&](const CChartData& data) { return data.MonthSorts(nYear, nMonth); }));
    });
}

void CChartView::DrawMonthPie(int nYear, int nMonth) {
    CMessageBox::Guarded(this, [&] {
        DrawSorts(m_pPieChart, m_titles.strMonthPie.arg(nYear).arg(nMonth),
                  SortsFor(m_pPieChart, QStringLiteral("m%1-%2").arg(nYear).arg(nMonth),
                           [&](const CChartData& data) { return data.MonthSorts(nYear, nMonth); }));
    });
}

// ---- totals

double CChartView::GetYearSum(int nYear) {
    double d = 0.0;
    CMessageBox::Guarded(this, [&] { d = Data().GetYearSum(nYear); });
    return d;
}

double CChartView::GetMonthSum(int nYear, int nMonth) {
    double d = 0.0;
    CMessageBox::Guarded(this, [&] { d = Data().GetMonthSum(nYear, nMonth); });
    return d;
}

double CChartView::GetDaySum(int nYear, int nMonth, int nDay) {
    double d = 0.0;
    CMessageBox::Guarded(this, [&] { d = Data().GetDaySum(nYear, nMonth, nDay); });
    return d;
}

double CChartView::GetSortSum(int nSort) {
    double d = 0.0;
    CMessageBox::Guarded(this, [&] { d = Data().GetSortSum(nSort); });
    return d;
}

double CChartView::GetYearSortSum(int nYear, int nSort) {
    double d = 0.0;
    CMessageBox::Guarded(this, [&] { d = Data().GetYearSortSum(nYear, nSort); });
    return d;
}

double CChartView::GetMonthSortSum(int nYear, int nMonth, int nSort) {
    double d = 0.0;
    CMessageBox::Guarded(this, [&] { d = Data().GetMonthSortSum(nYear, nMonth, nSort); });
    return d;
}
