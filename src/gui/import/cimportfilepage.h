#pragma once

#include "import/cstatement.h"

#include <QWizardPage>

class CImportWizard;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// Step 1: the file, what it is (recognised by content, changeable), its encoding, the
// account it goes to and, for a CSV of unknown layout, what each column means.
class CImportFilePage : public QWizardPage {
    Q_OBJECT
public:
    explicit CImportFilePage(CImportWizard* pWizard);
    bool validatePage() override;
    // For tests: loads a file as if it had been chosen.
    void SetPath(const QString& strPath);

private:
    void OnBrowse();
    void LoadFile();
    void FillMapping();
    void UpdateMappingVisible();
    SColumnMapping Mapping() const;
    void ShowMapping(const SColumnMapping& m);

    CImportWizard* m_pWizard;
    QLineEdit* m_pPath;
    QComboBox* m_pFormat;
    QLabel* m_pDetected;
    QComboBox* m_pEncoding;
    QComboBox* m_pAccount;
    QGroupBox* m_pMapping;
    QSpinBox* m_pHeader;
    QList<QComboBox*> m_columns; // date, amount, in, out, note, counterpart, category
    QComboBox* m_pDateFormat;
    QString m_strLoaded; // path and encoding of the file loaded last
};
