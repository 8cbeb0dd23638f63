#pragma once

#include <QWizardPage>

class CImportWizard;
class QLabel;

// Step 3: how many rows went to which table, and the balances now.
class CImportDonePage : public QWizardPage {
    Q_OBJECT
public:
    enum EControl { IDC_TEXT = 1130 };

    explicit CImportDonePage(CImportWizard* pWizard);
    void initializePage() override;

private:
    CImportWizard* m_pWizard;
    QLabel* m_pText;
};
