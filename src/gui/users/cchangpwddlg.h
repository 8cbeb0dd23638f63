#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class CMainFrame;

// Changes the logged-in user's password. It checks the old one against the password the
// frame holds from the login (or the last change) and updates both the book and the frame.
class CChangPwdDlg : public QDialog {
    Q_OBJECT
public:
    explicit CChangPwdDlg(CMainFrame* pFrame);

    bool UpdateData(bool bSaveAndValidate = true);

    QString m_strOldPwd;
    QString m_strNewPwd;
    QString m_strNewPwd2;

public Q_SLOTS:
    void OnOK();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    CMainFrame* m_pFrame;
    QLineEdit* m_pOldPwd;
    QLineEdit* m_pNewPwd;
    QLineEdit* m_pNewPwd2;
};
