#pragma once

#include <QDialog>
#include <QString>

class CSecretEdit;
class CSession;

// The question before a user is deleted: it names the user, says what goes with it, and asks
// for that user's password, so a slip of the keyboard cannot delete a whole book. 取消 is the
// default button.
class CDelUserDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl { IDC_PWD = 1001, IDOK = 1, IDCANCEL = 2 };

    explicit CDelUserDlg(const CSession* pSession, QWidget* pParent = nullptr);

public Q_SLOTS:
    void OnOK();

private:
    const CSession* m_pSession;
    CSecretEdit* m_pPwd = nullptr;
};
