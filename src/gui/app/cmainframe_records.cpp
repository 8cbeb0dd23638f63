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
        m_pNewDayInDlg = new CNewDayInDlg(this);
    return m_pNewDayInDlg;
}

CNewDayOutDlg* CMainFrame::NewDayOutDlg() {
    if (!m_pNewDayOutDlg)
        m_pNewDayOutDlg = new CNewDayOutDlg(this);
    return m_pNewDayOutDlg;
}

namespace {
// Rows typed into a daily view are not thrown away by opening another day.
bool EditOpen(const CMainFrame* pFrame) {
    const CDayView* pView = pFrame->m_pIncomeView
                                ? static_cast<const CDayView*>(pFrame->m_pIncomeView)
                                : pFrame->m_pOutlayView;
    if (!pView || !pView->IsEditing())
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
    if (!m_pIncomeView)
        return;
    m_pIncomeView->m_nYear = pDlg->m_Date.year();
    m_pIncomeView->m_nMonth = pDlg->m_Date.month();
    m_pIncomeView->m_nDay = pDlg->m_Date.day();
    m_pIncomeView->ShowDayInTree();
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
    if (!m_pOutlayView)
        return;
    m_pOutlayView->m_nYear = pDlg->m_Date.year();
    m_pOutlayView->m_nMonth = pDlg->m_Date.month();
    m_pOutlayView->m_nDay = pDlg->m_Date.day();
    m_pOutlayView->ShowDayInTree();
}
