#pragma once

#include "import/cstatement.h"

#include <QWizardPage>

class CImportWizard;
class QCheckBox;
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
        IDC_NO_HEADER = 1118,
        IDC_SHEET = 1119,
        IDC_DIRECTION = 1126,
        IDC_GUESSED = 1127,
    };

    explicit CImportFilePage(CImportWizard* pWizard);
    bool validatePage() override;
    // For tests: loads a file as if it had been chosen.
    void SetPath(const QString& strPath);

private:
    void OnBrowse();
    void LoadFile();
    void FillMapping();
    int HeaderIndex() const; // the header's index in the table, -1 for none
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
    QCheckBox* m_pNoHeader;
    QComboBox* m_pSheet;
    QLabel* m_pSheetLabel;
    // date, amount, in, out, note, counterpart, category, 收/支
    QList<QComboBox*> m_columns;
    QComboBox* m_pDateFormat;
    QLabel* m_pGuessed;
    bool m_bGuessed = false; // the mapping shown is the program's guess, untouched
    QString m_strLoaded;     // path, encoding and sheet of the file loaded last
};
