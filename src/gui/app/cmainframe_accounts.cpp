#include "accounts/caccountsdlg.h"
#include "accounts/ctrsdlg.h"
#include "analysis/cadvice.h"
#include "analysis/csumlistview.h"
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "data/cdbexception.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

CTrsDlg* CMainFrame::TrsDlg() {
    if (!m_pTrsDlg)
        m_pTrsDlg = new CTrsDlg(m_pSession, this);
    return m_pTrsDlg;
}

// 32792: a transfer, then the summary with the new balances.
void CMainFrame::OnAddTrs() {
    if (!LeaveEdit())
        return;
    if (TrsDlg()->exec() != QDialog::Accepted && !TrsDlg()->m_bUndone)
        return;
    ShowView(EView::SumList);
    if (auto* pView = View<CSumListView>())
        pView->ShowAccountList();
    UpdateCommandUI();
}

// 32835: the user's accounts. When one was added, renamed or deleted the view shown reads
// the book again where it stands, as after another copy's write: the view, the tree's
// selection and its open branches stay.
void CMainFrame::OnAccounts() {
    if (!m_pSession->IsLoggedIn() || !LeaveEdit())
        return;
    CAccountsDlg dlg(m_pSession, this);
    dlg.Run();
    if (!dlg.m_bChanged)
        return;
    OnBookChanged();
    UpdateCommandUI();
}

// 32808: a short reading of the logged-in user's book.
void CMainFrame::OnAdvice() {
    if (!m_pSession->IsLoggedIn())
        return;
    CMessageBox::Guarded(
        this, [&] { CMessageBox::ShowInfo(CAdvice::Text(m_pSession->UserName()), this); });
}
