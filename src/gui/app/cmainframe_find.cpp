#include "app/cmainframe.h"

#include "accounts/ctrsrptdlg.h"
#include "analysis/cfinddlg.h"
#include "data/cchangewatcher.h"
#include "records/cdayview.h"
#include "users/csession.h"

CFindDlg* CMainFrame::FindDlg() {
    if (m_pFindDlg)
        return m_pFindDlg;
    m_pFindDlg = new CFindDlg(m_pSession, this);
    connect(m_pFindDlg, &CFindDlg::RecordChosen, this, &CMainFrame::ShowFoundRecord);
    connect(m_pFindDlg, &CFindDlg::StatusText, this, &CMainFrame::SetStatusText);
    // The list is the logged-in user's, as the book is now.
    connect(m_pSession, &CSession::LoggedOut, m_pFindDlg, &QDialog::hide);
    connect(m_pSession, &CSession::LoggedIn, m_pFindDlg, [this] {
        if (m_pFindDlg->isVisible())
            m_pFindDlg->OnFind();
    });
    if (m_pChangeWatcher)
        connect(m_pChangeWatcher, &CChangeWatcher::Changed, m_pFindDlg, [this] {
            if (m_pFindDlg->isVisible())
                m_pFindDlg->OnFind();
        });
    return m_pFindDlg;
}

// 32854: the find window beside the main window, its box ready for typing.
void CMainFrame::OnFind() {
    if (!m_pSession->IsLoggedIn())
        return;
    CFindDlg* pDlg = FindDlg();
    pDlg->show();
    pDlg->raise();
    pDlg->activateWindow();
}

void CMainFrame::ShowFoundRecord(const CRecordSearch::SRow& row) {
    if (row.eKind == CRecordSearch::ERowKind::Transfer) {
        // Transfers have no day view: the transfer list, with this one chosen.
        auto* pList = new CTrsRptDlg(m_pSession, this);
        pList->setAttribute(Qt::WA_DeleteOnClose);
        pList->show();
        pList->ChooseKey(int(row.nId));
        return;
    }
    const EView eView =
        row.eKind == CRecordSearch::ERowKind::Income ? EView::Income : EView::Outlay;
    OpenView(eView);
    UpdateCommandUI();
    auto* pDay = View<CDayView>();
    if (!pDay || ShownView() != eView)
        return; // an open edit stayed
    if (!pDay->ShowRecord(row.day, row.strBank, row.nId)) {
        SetStatusText(tr("这条记录已不在账本中（可能已被修改或删除），请重新查找。"));
        return;
    }
    activateWindow();
    raise();
}
