#pragma once

#include "accounts/caccountadmin.h"

#include <QDialog>
#include <QString>
#include <QVector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class CSession;

// "账号管理": the logged-in user's accounts with their balances. The user adds an account with
// an opening balance, renames one or changes its note (修改), or deletes one nothing refers to.
// Every button writes at once; the list is read afresh after each write.
class CAccountsDlg : public QDialog {
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
        IDC_CLOSE = 2,
    }; // The session's user's accounts; the writes of a user deleted elsewhere are refused.
    explicit CAccountsDlg(const CSession* pSession, QWidget* pParent = nullptr);
    // Shows the accounts; returns when the dialog is closed.
    int Run();
    // Reads the accounts again; false after a database error.
    bool Reload();

    // Whether anything was written while the dialog was up (the caller then refreshes).
    bool m_bChanged = false;

public Q_SLOTS:
    void OnAdd();
    void OnModify();
    void OnDelete();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void OnSelectionChanged();
    int SelectedIndex() const; // into m_accounts, -1 for none
    // Shows a refusal ("" for none); true when the write went through.
    bool Done(const QString& strRefusal);

    QString User() const;
    qint64 UserId() const;

    const CSession* m_pSession;
    QVector<CAccountAdmin::SAccount> m_accounts;
    QTableWidget* m_pList = nullptr;
    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pNote = nullptr;
    QLineEdit* m_pCash = nullptr;
    QLabel* m_pTotal = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pModify = nullptr;
    QPushButton* m_pDelete = nullptr;
};
