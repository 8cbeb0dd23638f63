#pragma once

#include "analysis/cchartdata.h"
#include "widgets/cformview.h"

#include <QString>
#include <QStringList>
#include <QTimer>

class CMschart3;

// The common body of the income and outlay chart views: a bar chart (1020) and a pie chart
// (1021) of the totals per category side by side, and a line chart (1022) of the totals over
// time below them, all three showing one scope — the user's whole book, a year or a month.
// The navigation tree picks the scope; the view keeps no figures of its own and draws each
// scope afresh from the book.
class CChartView : public CFormView {
    Q_OBJECT
public:
    enum EControl { IDC_BAR_CHART = 1020, IDC_PIE_CHART = 1021, IDC_LINE_CHART = 1022 };

    // Draws the user scope for the user current at this moment, who stays the view's user.
    void OnInitialUpdate() override;
    // Line, bar and pie of the whole book, a year or a month.
    void ShowScope(const CScope& scope) override;

    void DrawUserLine();
    void DrawUserBar();
    void DrawUserPie();
    void DrawYearLine(int nYear);
    void DrawYearBar(int nYear);
    void DrawYearPie(int nYear);
    void DrawMonthLine(int nYear, int nMonth);
    void DrawMonthBar(int nYear, int nMonth);
    void DrawMonthPie(int nYear, int nMonth);

    // The totals behind the charts, of the view's user (0 after a database error, which is
    // shown).
    double GetYearSum(int nYear);
    double GetMonthSum(int nYear, int nMonth);
    double GetDaySum(int nYear, int nMonth, int nDay);
    double GetSortSum(int nSort);
    double GetYearSortSum(int nYear, int nSort);
    double GetMonthSortSum(int nYear, int nMonth, int nSort);

    CMschart3* BarChart() const { return m_pBarChart; }
    CMschart3* PieChart() const { return m_pPieChart; }
    CMschart3* LineChart() const { return m_pLineChart; }

protected:
    // Chart titles; %1 is the year, %2 the month.
    struct STitles {
        QString strUserLine, strUserBar, strUserPie;
        QString strYearLine, strYearBar, strYearPie;
        QString strMonthLine, strMonthBar, strMonthPie;
    };

    CChartView(CChartData::ETable eTable, const STitles& titles, const CSession* pSession,
               QWidget* pParent);

private:
    // A scope's category values and the labels of the categories they belong to.
    struct SSorts {
        QStringList labels, values;
    };

    CChartData Data() const { return CChartData(m_eTable, SessionUser()); }
    void DrawLine(const QString& strTitle, const CChartData::SLine& line);
    void DrawSorts(CMschart3* pChart, const QString& strTitle, const SSorts& sorts);
    // The category values of a scope for pChart. A tree click draws the bar and the pie of one
    // scope back to back from the same figures, so the second of the two takes what the first
    // read; the values are dropped as soon as the event loop runs again, so a write by this or
    // another copy of the program is always seen by the next click.
    template <class TFetch>
    SSorts SortsFor(CMschart3* pChart, const QString& strScope, TFetch fetch);

    CChartData::ETable m_eTable;
    STitles m_titles;
    CMschart3* m_pBarChart;
    CMschart3* m_pPieChart;
    CMschart3* m_pLineChart;

    // Category values read for one chart (m_pSortsChart) of one scope (m_strSortsScope).
    CMschart3* m_pSortsChart = nullptr;
    QString m_strSortsScope;
    SSorts m_sortsHeld;
    QTimer m_dropSorts;
};
