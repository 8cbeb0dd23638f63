#pragma once

#include <QDate>
#include <QDialog>
#include <QString>

class CSession;
class CTrsRptDlg;
class QCalendarWidget;
class QComboBox;
class QLineEdit;

// Moves money between two accounts of the logged-in user. The frame keeps one object and
// shows it for every transfer, so every way of closing clears the accounts and the amount.
// OK ends the dialog only when the transfer was written.
class CTrsDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl {
        IDOK = 1,
        IDCANCEL = 2,
        IDC_FROM = 1000,
        IDC_IN = 1001,
        IDC_AMOUNT = 1003,
        IDC_VIEW_TRS = 1010,
        IDC_CALENDAR = 1017,
    };

    explicit CTrsDlg(const CSession* pSession, QWidget* pParent = nullptr);

    // Today in the calendar, the user's accounts in both lists.
    void OnInitDialog();
    // Members <-> controls. Reading fails (false, after a message) when the amount is not a
    // number; m_TrsAmount then keeps its value.
    bool UpdateData(bool bSaveAndValidate);
    void setVisible(bool bVisible) override;

    // A transfer was undone from the history during this showing: balances have moved even
    // when the dialog is cancelled.
    bool Undone() const { return m_bUndone; }

public Q_SLOTS:
    void OnOK();
    void OnCancel();
    void OnViewTransfers();
    void reject() override; // the close box and Esc clear the fields as 取消 does

private:
    friend class CTestAccess;

    // Asks before a transfer that would take the paying account below zero.
    bool ConfirmBelowZero();
    bool DoTransfer();
    void ClearFields();
    QString User() const; // the logged-in user at this moment

    QCalendarWidget* m_ctlCalendar = nullptr;
    QDate m_TrsDate;
    QString m_strTrsFrom;
    QString m_strTrsIn;
    double m_TrsAmount = 0;
    QComboBox* m_ctlFrom = nullptr;
    QComboBox* m_ctlIn = nullptr;
    CTrsRptDlg* m_dlgTrsRpt = nullptr;
    QLineEdit* m_pAmount = nullptr;
    const CSession* m_pSession;
    bool m_bUndone = false;
};
