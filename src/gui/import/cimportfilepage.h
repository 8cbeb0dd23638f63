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
    enum EControl {
        IDC_PATH = 1101,
        IDC_BROWSE = 1102,
        IDC_FORMAT = 1103,
        IDC_DETECTED = 1104,
        IDC_ENCODING = 1105,
        IDC_ACCOUNT = 1106,
        IDC_MAPPING = 1107,
        IDC_HEADER = 1108,
        IDC_FIRST_COLUMN = 1110, // one combo box per mapped field, in order
        IDC_DATE_FORMAT = 1117,
    };

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
