// The user commands of the main frame: create, log in, delete, change password, log out.
#include "accounts/cbankdlg.h"
#include "app/cmainframe.h"
#include "data/cdbexception.h"
#include "data/cnamerule.h"
#include "data/cstoreddate.h"
#include "users/cchangpwddlg.h"
#include "users/cdeluserdlg.h"
#include "users/clinkdlg.h"
#include "users/cnewuserdlg.h"
#include "users/csession.h"
#include "users/cuseradmin.h"
#include "widgets/cmessagebox.h"

#include <QApplication>
#include <QScopeGuard>

CLinkDlg* CMainFrame::LinkDlg() {
    if (!m_pLinkDlg)
        m_pLinkDlg = new CLinkDlg(this);
    return m_pLinkDlg;
}

CNewUserDlg* CMainFrame::NewUserDlg() {
    if (!m_pNewUserDlg)
        m_pNewUserDlg = new CNewUserDlg(this);
    return m_pNewUserDlg;
}

CBankDlg* CMainFrame::BankDlg() {
    if (!m_pBankDlg)
        m_pBankDlg = new CBankDlg(this);
    return m_pBankDlg;
}

CChangPwdDlg* CMainFrame::ChangPwdDlg() {
    if (!m_pChangPwdDlg)
        m_pChangPwdDlg = new CChangPwdDlg(m_pSession, this);
    return m_pChangPwdDlg;
}

void CMainFrame::OnNewUser() {
    // A member created while another is logged in takes over the window: what the other was
    // typing is settled first.
    if (m_pSession->IsLoggedIn() && !LeaveEdit())
        return;
    CNewUserDlg* pNewUserDlg = NewUserDlg();
    // However this ends, the typed password is overwritten once it has been used.
    const auto wipe = qScopeGuard([pNewUserDlg] { pNewUserDlg->WipePasswords(); });
    if (pNewUserDlg->exec() != QDialog::Accepted)
        return;
    const QString strUser = CNameRule::Normal(pNewUserDlg->m_strNewUser);
    const QString strPwd = pNewUserDlg->m_strNewUserPwd;
    // The next person to open the dialog on this shared computer starts from blank fields.
    pNewUserDlg->m_strNewUser.clear();

    // The user and the accounts are written together when the accounts are confirmed; a
    // failure keeps the account dialog open with what was typed. No day is opened for the
    // new member: the first day is the one they open themselves.
    bool bCreated = false;
    CBankDlg* pBankDlg = BankDlg();
    pBankDlg->m_fnWrite = [&](const QList<CUserAdmin::SAccount>& accounts) {
        CUserAdmin::ECreate eCreate = CUserAdmin::ECreate::Created;
        if (!CMessageBox::Guarded(pBankDlg, [&] {
                eCreate = CUserAdmin::CreateUser(strUser, strPwd, accounts, QDate());
            }))
            return false;
        if (eCreate == CUserAdmin::ECreate::NameTaken) {
            // Another copy of the program took the name meanwhile.
            CMessageBox::ShowMessage(tr("用户名已存在！"), pBankDlg);
            return true;
        }
        bCreated = true;
        return true;
    };
    const int nResult = pBankDlg->exec();
    pBankDlg->m_fnWrite = nullptr;
    if (nResult != QDialog::Accepted) {
        CMessageBox::ShowMessage(tr("您未输入账号信息,创建用户失败!"), this);
        return;
    }
    if (!bCreated)
        return;
    CMessageBox::ShowInfo(tr("创建用户成功!"), this);
    // The new member starts at once, as if they had just logged in.
    SwitchUser(strUser, CUserAdmin::UserId(strUser));
}

void CMainFrame::OnLogin() {
    // While someone is logged in the command switches members: what they were typing is
    // settled first, and they stay logged in when the dialog is cancelled or refused.
    if (m_pSession->IsLoggedIn() && !LeaveEdit())
        return;
    CLinkDlg* pLinkDlg = LinkDlg();
    if (pLinkDlg->exec() != QDialog::Accepted)
        return;
    if (!pLinkDlg->m_bLink) {
        CMessageBox::ShowMessage(tr("用户名与密码不符！"), this);
        return;
    }
    SwitchUser(pLinkDlg->m_strLinkUser, pLinkDlg->m_nLinkUserId);
}

void CMainFrame::SwitchUser(const QString& strUser, qint64 nUserId) {
    // The views of the member before are closed before the next member's open.
    if (m_pSession->IsLoggedIn())
        SetLoggedOut();
    // Dates are looked at afresh for each login: another program may have written the book.
    CStoredDate::Forget();
    SetLoggedIn(strUser, nUserId);
    // Rows whose date cannot be read count in no figure; say so once, with how to find them.
    try {
        const QString strOdd = CStoredDate::UnreadableMessage(strUser);
        if (!strOdd.isEmpty())
            CMessageBox::ShowMessage(strOdd, this);
    } catch (const CDBException&) {
        // The views opened by the login report a book that cannot be read.
    }
}

void CMainFrame::OnSessionGone() {
    // A dialog of the ended session (a transfer, a new day, the password) has nothing left to
    // write to.
    while (auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        pDialog->reject();
        if (pDialog->isVisible())
            break;
    }
    if (m_pSession->IsLoggedIn())
        SetLoggedOut();
}

void CMainFrame::OnDeleteUser() {
    if (!LeaveEdit())
        return;
    const QString strUser = m_pSession->UserName();
    bool bExists = false;
    if (!CMessageBox::Guarded(this, [&] { bExists = CUserAdmin::UserExists(strUser); }) || !bExists)
        return;
    CDelUserDlg dlg(m_pSession, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    // A refused deletion deleted nothing: the user stays logged in with every row.
    bool bDeleted = false;
    if (!CMessageBox::Guarded(
            this, [&] { bDeleted = CUserAdmin::DeleteUser(strUser, m_pSession->UserId()); }) ||
        !bDeleted)
        return;
    CMessageBox::ShowInfo(tr("此用户已被删除！"), this);
    SetLoggedOut();
}

void CMainFrame::OnChangePwd() {
    ChangPwdDlg()->exec();
}

void CMainFrame::OnDisconnect() {
    if (!LeaveEdit())
        return;
    if (!CMessageBox::AskOkCancel(tr("断开当前用户连接吗？"), tr("断开连接"), this))
        return;
    SetLoggedOut();
}
