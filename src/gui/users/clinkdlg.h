#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class CSecretEdit;

// The login dialog: choose a user, type the password, optionally remember it. OK closes the
// dialog unless the book could not be read; Result() tells the caller whether the login was
// valid and which User row it matched. The typed password is dropped on OK.
class CLinkDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl { IDC_USER = 1000, IDC_PWD = 1001, IDC_SAVE_PWD = 1002, IDOK = 1, IDCANCEL = 2 };

    explicit CLinkDlg(QWidget* pParent = nullptr);

    // Starts with an empty name and password and an unticked box, then runs modally.
    int exec() override;
    // Moves the members into the controls (false) or the controls into the members (true).
    bool UpdateData(bool bSaveAndValidate = true);

    // What the last OK found: bValid false for a wrong name or password.
    struct SResult {
        bool bValid = false;
        QString strUser;
        qint64 nUserId = 0; // the user row logged in to
    };
    const SResult& Result() const { return m_result; }

public Q_SLOTS:
    void OnSelChangeUser(int nIndex);
    void OnSavePwd();
    void OnOK();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    friend class CTestAccess;
    void FillUserList();

    QString m_strUser;
    QString m_strPwd;
    bool m_bSavePwd = false;
    SResult m_result;

    // The password filled in from the book, and for whom: a login failing with it untouched
    // keeps the dialog open.
    QString m_strRemembered;
    QString m_strRememberedFor;
    QComboBox* m_pUser;
    CSecretEdit* m_pPwd;
    QCheckBox* m_pSavePwd;
};
