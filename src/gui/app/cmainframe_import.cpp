#include "app/cmainframe.h"

#include "analysis/csumlistview.h"
#include "import/cexportdlg.h"
#include "import/cimportwizard.h"
#include "users/csession.h"

void CMainFrame::OnImport() {
    if (!m_pSession->IsLoggedIn())
        return;
    CImportWizard wizard(m_pSession, this);
    wizard.exec();
    if (!wizard.Result().bDone)
        return;
    // Show the summary anew, so the imported days are in the tree and the totals current.
    OpenView(EView::SumList, true);
    if (auto* pView = View<CSumListView>())
        pView->ShowAccountList();
    UpdateCommandUI();
}

void CMainFrame::OnExport() {
    if (!m_pSession->IsLoggedIn())
        return;
    CExportDlg dlg(m_pSession, this);
    dlg.exec();
}
