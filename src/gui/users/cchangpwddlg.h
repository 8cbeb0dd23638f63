#pragma once

#include <QDialog>
#include <QString>

class CSecretEdit;
class CSession;

// Changes the logged-in user's password. The old one is checked against the hash stored in
// the book; no password is kept anywhere once the dialog is done.
class CChangPwdDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl {
        IDC_OLD_PWD = 1001,
        IDC_NEW_PWD = 1002,
        IDC_NEW_PWD2 = 1003,
        IDOK = 1,
        IDCANCEL = 2
    };

    explicit CChangPwdDlg(const CSession* pSession, QWidget* pParent = nullptr);

    bool UpdateData(bool bSaveAndValidate = true);

public Q_SLOTS:
    void OnOK();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void ClearFields();

    QString m_strOldPwd;
    QString m_strNewPwd;
    QString m_strNewPwd2;

    const CSession* m_pSession;
    CSecretEdit* m_pOldPwd;
    CSecretEdit* m_pNewPwd;
    CSecretEdit* m_pNewPwd2;
};
