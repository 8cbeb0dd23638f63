#pragma once

#include "users/cuseradmin.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

class QLineEdit;
class QPushButton;
class QTableWidget;

// The accounts of a new user: name, note and opening amount of each, collected in a list
// and confirmed once (later changes go through the account management dialog). On confirmation the
// list is handed to the writer (SetWriter), which stores it; the dialog closes when that succeeds
// and stays open otherwise.
class CBankDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl {
        IDC_LIST = 1009,
        IDC_NAME = 1001,
        IDC_NOTE = 1002,
        IDC_CASH = 1003,
        IDC_ADD = 1010,
        IDC_MODIFY = 1011,
        IDC_DELETE = 1012,
        IDOK = 1,
        IDCANCEL = 2,
    };

    explicit CBankDlg(QWidget* pParent = nullptr);

    // Every showing starts with an empty list and the three buttons enabled.
    int exec() override;
    // false (and the amount left as it was) when the amount field does not hold a number.
    bool UpdateData(bool bSaveAndValidate = true);

    // Called with the confirmed accounts; returns true when the dialog may close. The caller
    // sets it for one showing and clears it (nullptr) after.
    using FWrite = std::function<bool(const QList<CUserAdmin::SAccount>&)>;
    void SetWriter(FWrite fnWrite) { m_fnWrite = std::move(fnWrite); }

public Q_SLOTS:
    void OnClickListBank(int nRow); // -1: the click hit no row
    void OnAdd();
    void OnModify();
    void OnDelete();
    void OnOK();
    void reject() override; // asks before throwing away the accounts entered

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    QTableWidget* m_listBank;
    QString m_strCardName;
    QString m_strCardNote;
    double m_dCardCash = 0;
    int m_nSelItem = -1; // the highlighted row, -1 for none
    FWrite m_fnWrite;
    // The accounts of the last confirmation.
    QList<CUserAdmin::SAccount> m_accounts;
    // Reads and checks the fields; the name must differ from every row but nSkipRow.
    bool CheckFields(int nSkipRow);
    void SetRow(int nRow);
    void ClearFields();

    QLineEdit* m_pCardName;
    QLineEdit* m_pCardNote;
    QLineEdit* m_pCardCash;
    QPushButton* m_pAdd;
    QPushButton* m_pModify;
    QPushButton* m_pDelete;
};
