#pragma once

#include <QDialog>
#include <QString>

class CSecretEdit;
class QLineEdit;

// Name and password of a new user. OK checks them and that the name is free; the user
// itself is written by the caller together with the accounts, all at once.
class CNewUserDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl { IDC_USER = 1001, IDC_PWD = 1003, IDC_PWD2 = 1004, IDOK = 1, IDCANCEL = 2 };

    explicit CNewUserDlg(QWidget* pParent = nullptr);

    bool UpdateData(bool bSaveAndValidate = true);

    QString m_strNewUser;
    QString m_strNewUserPwd;
    QString m_strNewUserPwd2;

    // Overwrites the typed passwords, in the fields and above, once they have been used.
    void WipePasswords();

public Q_SLOTS:
    void OnOK();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    QLineEdit* m_pNewUser;
    CSecretEdit* m_pNewUserPwd;
    CSecretEdit* m_pNewUserPwd2;
};
