#include "app/cmainframe.h"

#include "app/cleftview.h"
#include "records/ccategoriesdlg.h"
#include "records/cincomeview.h"
#include "records/cnewdayindlg.h"
#include "records/cnewdayoutdlg.h"
#include "records/coutlayview.h"
#include "users/csession.h"

CNewDayInDlg* CMainFrame::NewDayInDlg() {
    if (!m_pNewDayInDlg)
        m_pNewDayInDlg = new CNewDayInDlg(m_pSession, this);
    return m_pNewDayInDlg;
}

CNewDayOutDlg* CMainFrame::NewDayOutDlg() {
    if (!m_pNewDayOutDlg)
        m_pNewDayOutDlg = new CNewDayOutDlg(m_pSession, this);
    return m_pNewDayOutDlg;
}

void CMainFrame::OnAddIncome() {
    if (!LeaveEdit())
        return;
    CNewDayInDlg* pDlg = NewDayInDlg();
    if (pDlg->exec() != QDialog::Accepted)
        return;
    ShowView(EView::Income);
    UpdateCommandUI();
    CurrentView()->ShowScope(CScope::OfDay(pDlg->m_Date));
}

void CMainFrame::OnAddOutlay() {
    if (!LeaveEdit())
        return;
    CNewDayOutDlg* pDlg = NewDayOutDlg();
    if (pDlg->exec() != QDialog::Accepted)
        return;
    ShowView(EView::Outlay);
    UpdateCommandUI();
    CurrentView()->ShowScope(CScope::OfDay(pDlg->m_Date));
}

// 32870: the user's categories. After a change the view shown reads the book again where it
// stands, as after another copy's write: the lists, charts and report take the new names.
void CMainFrame::OnCategories() {
    if (!m_pSession->IsLoggedIn() || !LeaveEdit())
        return;
    CCategoriesDlg dlg(m_pSession, this);
    dlg.Run();
    if (!dlg.m_bChanged)
        return;
    OnBookChanged();
    UpdateCommandUI();
}

void CMainFrame::OnNewRecord() {
    if (auto* pView = View<CDayView>())
        pView->StartAdding();
}

void CMainFrame::OnModifyRecords() {
    if (auto* pView = View<CDayView>())
        pView->StartModifying();
}

void CMainFrame::OnDeleteRecord() {
    if (auto* pView = View<CDayView>())
        pView->DeleteCurrentRow();
}

void CMainFrame::OnConfirmRecords() {
    if (auto* pView = View<CDayView>())
        pView->ConfirmTyped();
}
