#pragma once

#include "import/cimporter.h"

#include <QWizardPage>

class CImportWizard;
class QCheckBox;
class QLabel;
class QTableView;

// Step 2: every row before anything is written. Rows that move no money and duplicates
// come greyed and unticked with the reason; category and account can be changed per row;
// the category rules can be edited and are applied again.
class CImportPreviewPage : public QWizardPage {
    Q_OBJECT
public:
    explicit CImportPreviewPage(CImportWizard* pWizard);
    void initializePage() override;
    bool validatePage() override;

    enum EControl {
        IDC_SUMMARY = 1120,
        IDC_TABLE = 1121,
        IDC_ALL = 1122,
        IDC_NONE = 1123,
        IDC_RULES = 1124,
        IDC_SAME_RULE = 1125,
        IDC_CHECKED = 1128,
    };

    // "以后同样处理": the category of row nRow, as the user set it, becomes a rule.
    void SaveRuleFor(int nRow);

private:
    void UpdateSummary();
    void OnRules();
    void ApplyRules(const QVector<SImportRule>& rules);

    CImportWizard* m_pWizard;
    QLabel* m_pSummary;
    QTableView* m_pTable;
    QCheckBox* m_pChecked; // the guessed columns were looked at
};
