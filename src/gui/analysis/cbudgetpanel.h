#pragma once

#include "plans/cbudget.h"

#include <QDate>
#include <QString>
#include <QWidget>

class CMschart3;
class QLabel;
class QStackedWidget;
class QTableWidget;

// The budgets beside the summary's figures: for a month each budget with what was spent, what
// is left and a bar that turns red past 100 %, and the days left in the month; for a year the
// budget against the actual outlay of every month, as a table and a bar chart. Without budgets
// it shows the summary's picture and where budgets are set.
class CBudgetPanel : public QWidget {
    Q_OBJECT
public:
    enum EControl {
        IDC_BUDGET_TITLE = 1020,
        IDC_BUDGET_LINES = 1021,
        IDC_BUDGET_YEAR = 1022,
        IDC_BUDGET_CHART = 1023,
    };

    // A month's bar cell (column 4) keeps how full it is (0–100) and whether it is past the
    // budget; its text is the per cent.
    enum ERole { FilledRole = Qt::UserRole + 1, OverRole };

    explicit CBudgetPanel(QWidget* pParent = nullptr);

    // The budgets of the month of `month`; today counts the days left. Throws CDBException.
    void ShowMonth(const QString& strUser, const QDate& month, const QDate& today);
    // Budget against actual per month of nYear. Throws CDBException.
    void ShowYear(const QString& strUser, int nYear);

private:
    QTableWidget* MonthPage();
    QWidget* YearPage();

    QLabel* m_pTitle = nullptr;
    QStackedWidget* m_pPages = nullptr;
    QWidget* m_pNone = nullptr;
    QTableWidget* m_pLines = nullptr; // the month's page, once made
    QWidget* m_pYearPage = nullptr;   // the year's table and chart, once made
    QTableWidget* m_pYear = nullptr;
    CMschart3* m_pChart = nullptr;
};
