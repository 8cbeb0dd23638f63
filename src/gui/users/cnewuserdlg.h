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

    // The name and password OK accepted. The name is forgotten as it is taken, so the next
    // person to open the dialog on a shared computer starts from blank fields.
    struct SNewUser {
        QString strName;
        QString strPwd;
    };
    SNewUser TakeNewUser();
    // Overwrites the typed passwords, in the fields and in the dialog, once they have been used.
    void WipePasswords();

public Q_SLOTS:
    void OnOK();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    friend class CTestAccess;
    QString m_strNewUser;
    QString m_strNewUserPwd;
    QString m_strNewUserPwd2;
    QLineEdit* m_pNewUser;
    CSecretEdit* m_pNewUserPwd;
    CSecretEdit* m_pNewUserPwd2;
};
