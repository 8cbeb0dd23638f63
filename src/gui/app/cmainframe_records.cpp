#include "app/cmainframe.h"

#include "app/cleftview.h"
#include "app/cmessagebox.h"
#include "records/cincomeview.h"
#include "records/cnewdayindlg.h"
#include "records/cnewdayoutdlg.h"
#include "records/coutlayview.h"

#include <QCoreApplication>

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

namespace {
// Rows typed into a daily view are not thrown away by opening another day.
bool EditOpen(const CMainFrame* pFrame) {
    if (!pFrame->CurrentView()->IsEditing())
        return false;
    CMessageBox::ShowMessage(
        QCoreApplication::translate("CMainFrame", "请先确定或取消正在编辑的记录。"));
    return true;
}
} // namespace

void CMainFrame::OnAddIncome() {
    if (EditOpen(this))
        return;
    CNewDayInDlg* pDlg = NewDayInDlg();
    if (pDlg->exec() != QDialog::Accepted)
        return;
    SetCheck(EView::Income);
    GetTreeView()->BuildIncomeTree();
    SwitchView(EView::Income);
    UpdateCommandUI();
    CurrentView()->ShowScope(CScope::OfDay(pDlg->m_Date));
}

void CMainFrame::OnAddOutlay() {
    if (EditOpen(this))
        return;
    CNewDayOutDlg* pDlg = NewDayOutDlg();
    if (pDlg->exec() != QDialog::Accepted)
        return;
    SetCheck(EView::Outlay);
    GetTreeView()->BuildOutlayTree();
    SwitchView(EView::Outlay);
    UpdateCommandUI();
    CurrentView()->ShowScope(CScope::OfDay(pDlg->m_Date));
}
