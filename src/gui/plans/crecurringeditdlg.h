#pragma once

#include "plans/crecurring.h"

#include <QDialog>

class CSession;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QSpinBox;

// One recurring record's template: what it writes (income, outlay or a transfer, its category,
// note, account and amount) and when (every N days, weeks, months on a day of the month, or
// years, from a start to an optional end). OK ends the dialog when the template is sound; the
// caller stores m_template.
class CRecurringEditDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl {
        IDOK = 1,
        IDCANCEL = 2,
        IDC_KIND = 1000,
        IDC_SORT = 1001,
        IDC_NOTE = 1002,
        IDC_BANK = 1003,
        IDC_TO_BANK = 1004,
        IDC_AMOUNT = 1005,
        IDC_EVERY = 1006,
        IDC_UNIT = 1007,
        IDC_MONTH_DAY = 1008,
        IDC_START = 1009,
        IDC_HAS_END = 1010,
        IDC_END = 1011,
    };

    CRecurringEditDlg(const CSession* pSession, const CRecurring::STemplate& t,
                      QWidget* pParent = nullptr);

    // Members <-> controls. Reading fails (false, after a message) when the amount is not one
    // or the template would be refused.
    bool UpdateData(bool bSaveAndValidate);

    CRecurring::STemplate m_template;

public Q_SLOTS:
    void OnOK();

private:
    void OnKindChanged();
    void OnUnitChanged();

    const CSession* m_pSession;
    QComboBox* m_pKind = nullptr;
    QComboBox* m_pSort = nullptr;
    QLineEdit* m_pNote = nullptr;
    QComboBox* m_pBank = nullptr;
    QComboBox* m_pToBank = nullptr;
    QLabel* m_pSortLabel = nullptr;
    QLabel* m_pBankLabel = nullptr;
    QLabel* m_pToBankLabel = nullptr;
    QLineEdit* m_pAmount = nullptr;
    QSpinBox* m_pEvery = nullptr;
    QComboBox* m_pUnit = nullptr;
    QComboBox* m_pMonthDay = nullptr;
    QDateEdit* m_pStart = nullptr;
    QCheckBox* m_pHasEnd = nullptr;
    QDateEdit* m_pEnd = nullptr;
};
