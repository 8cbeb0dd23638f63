#pragma once

#include "analysis/cperiodstats.h"
#include "widgets/cformview.h"

#include <QString>

class CBudgetPanel;
class CMsflexgrid1;
class QLineEdit;

// The brief of the whole book: the accounts with their balances and total, the user's
// overall figures (totals, first and last day, daily averages), the budgets (of this month, or
// of the year or month the tree chooses) and the brief grid, which lists years, the months of
// a year or the days of a month as the tree chooses.
class CSumListView : public CFormView {
    Q_OBJECT
public:
    enum EControl {
        IDC_BRIEF_GRID = 1011,
        IDC_ACCOUNT_GRID = 1012,
        IDC_TOTAL_INCOME = 1001,
        IDC_TOTAL_OUTLAY = 1002,
        IDC_START_DATE = 1003,
        IDC_END_DATE = 1004,
        IDC_AVG_OUTLAY = 1005,
        IDC_AVG_INCOME = 1006,
        IDC_ACCOUNT_TOTAL = 1007,
        IDC_BRIEF_TITLE = 1008,
        IDC_USER_TITLE = 1009,
    };

    explicit CSumListView(const CSession* pSession, QWidget* pParent = nullptr);

    // Reads the logged-in user from the frame and fills everything.
    void OnInitialUpdate() override;
    // The whole book, a year or a month of the logged-in user in the brief grid.
    void ShowScope(const CScope& scope) override;
    // Fills everything for the logged-in user (what OnInitialUpdate does).
    void ShowSummary();
    // The accounts and their total again (after a write to them).
    void ShowAccountList();

    // Members <-> edits (the edits are read-only, so only false matters in practice).
    void UpdateData(bool bSaveAndValidate);

private:
    enum class EBrief { User, Year, Month };
    void ShowBrief(EBrief eBrief, const QString& strUser, int nYear, int nMonth);
    // The budgets of this month (the whole book's scope), of the month or of the year shown.
    void ShowBudgets(const QString& strUser, const CScope& scope);
    void FillBrief(EBrief eBrief, int nYear, int nMonth,
                   const QVector<CPeriodStats::SBriefRow>& rows);
    void WriteAccountHeader();

    CMsflexgrid1* m_gridBrief = nullptr;
    CMsflexgrid1* m_gridAccount = nullptr;
    CBudgetPanel* m_pBudgets = nullptr;
    QString m_strTotalIncome;
    QString m_strTotalOutlay;
    QString m_strStartDate;
    QString m_strEndDate;
    QString m_strAvgOutlay;
    QString m_strAvgIncome;
    QString m_strUserTitle;
    QString m_strAccountTotal;
    QString m_strBriefTitle;

    QLineEdit* m_pEdits[9] = {};
};
