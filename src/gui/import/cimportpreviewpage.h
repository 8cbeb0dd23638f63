#pragma once

#include <QWizardPage>

class CImportWizard;
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

private:
    void UpdateSummary();
    void OnRules();

    CImportWizard* m_pWizard;
    QLabel* m_pSummary;
    QTableView* m_pTable;
};
