#include "app/cmainframe.h"

#include "app/cleftview.h"
#include "records/cincomeview.h"
#include "records/cnewdayindlg.h"
#include "records/cnewdayoutdlg.h"
#include "records/coutlayview.h"


CNewDayInDlg* CMainFrame::NewDayInDlg() {
    if (!m_pNewDayInDlg)
        m_pNewDayInDlg = new CNewDayInDlg(this);
    return m_pNewDayInDlg;
}

CNewDayOutDlg* CMainFrame::NewDayOutDlg() {
    if (!m_pNewDayOutDlg)
        m_pNewDayOutDlg = new CNewDayOutDlg(this);
    return m_pNewDayOutDlg;
}


void CMainFrame::OnAddIncome() {
    if (!LeaveEdit())
        return;
    CNewDayInDlg* pDlg = NewDayInDlg();
    if (pDlg->exec() != QDialog::Accepted)
        return;
    SetCheck(EView::Income);
    GetTreeView()->BuildIncomeTree();
    SwitchView(EView::Income);
    UpdateCommandUI();
    if (!m_pIncomeView)
        return;
    m_pIncomeView->m_nYear = pDlg->m_Date.year();
    m_pIncomeView->m_nMonth = pDlg->m_Date.month();
    m_pIncomeView->m_nDay = pDlg->m_Date.day();
    m_pIncomeView->ShowDayInTree();
}

void CMainFrame::OnAddOutlay() {
    if (!LeaveEdit())
        return;
    CNewDayOutDlg* pDlg = NewDayOutDlg();
    if (pDlg->exec() != QDialog::Accepted)
        return;
    SetCheck(EView::Outlay);
    GetTreeView()->BuildOutlayTree();
    SwitchView(EView::Outlay);
    UpdateCommandUI();
    if (!m_pOutlayView)
        return;
    m_pOutlayView->m_nYear = pDlg->m_Date.year();
    m_pOutlayView->m_nMonth = pDlg->m_Date.month();
    m_pOutlayView->m_nDay = pDlg->m_Date.day();
    m_pOutlayView->ShowDayInTree();
}
