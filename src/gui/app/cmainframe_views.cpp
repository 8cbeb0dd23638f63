#include "app/cmainframe.h"

#include "analysis/crptview.h"
#include "app/cleftview.h"
#include "records/cdayview.h"
#include "users/csession.h"

#include <QAction>

namespace {
void PrintReport(CMainFrame* pFrame, bool bPreview) {
    if (!pFrame->Session()->IsLoggedIn())
        return;
    auto* pReport = pFrame->View<CRptView>();
    if (!pReport) {
        pFrame->Action(CMainFrame::ID_RPT_VIEW)->trigger();
        pFrame->SetStatusText(CMainFrame::tr("请先选择查询条件并按“开始查询”，再打印报表。"));
        return;
    }
    if (bPreview)
        pReport->OnPreview();
    else
        pReport->OnPrintReport();
}
} // namespace

void CMainFrame::OnPrint() {
    PrintReport(this, false);
}

void CMainFrame::OnPreview() {
    PrintReport(this, true);
}

void CMainFrame::OnReload() {
    if (!m_pSession->IsLoggedIn())
        return;
    if (auto* pDay = View<CDayView>()) {
        if (pDay->IsEditing()) {
            SetStatusText(tr("正在编辑记录，请先确定或取消。"));
            return;
        }
        // The same day again, with the tree rebuilt around it (showing it marks it there).
        RebuildTree();
        pDay->FillAccountList();
        pDay->ShowCurrentDay();
        SetStatusText(tr("已重新读取账本。"));
        return;
    }
    const EView eShown = ShownView();
    if (eShown == EView::Main)
        return;
    OpenView(eShown, true);
    UpdateCommandUI();
    SetStatusText(tr("已重新读取账本。"));
}
