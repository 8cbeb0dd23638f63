#pragma once

#include "accounts/ctrsdlg.h"
#include "analysis/crptview.h"
#include "app/cmainframe.h"
#include "import/cimportwizard.h"
#include "records/cdayview.h"
#include "users/clinkdlg.h"
#include "users/cnewuserdlg.h"

#include <QDate>
#include <QPoint>

// The one door through which tests reach what the program keeps to itself; a class lets it in
// with "friend class CTestAccess;". Nothing of the program uses it.
class CTestAccess {
public:
    static CLeftView* TreeView(const CMainFrame* pFrame) { return pFrame->m_pLeftView; }
    static QWidget* RightPane(const CMainFrame* pFrame) { return pFrame->m_pRightPane; }
    // Puts a view of that kind in the right pane unless one is there already (no tree, no
    // leaving an edit: what the view commands do around it).
    static void SwitchView(CMainFrame* pFrame, CMainFrame::EView eView) {
        pFrame->SwitchView(eView);
    }

    // What the login and new-user dialogs still hold of what was typed.
    static QString TypedPassword(const CLinkDlg* pDlg) { return pDlg->m_strPwd; }
    static QString NewUserName(const CNewUserDlg* pDlg) { return pDlg->m_strNewUser; }

    // The history the transfer dialog opens from 查看转账记录.
    static CTrsRptDlg* TransferHistory(const CTrsDlg* pDlg) { return pDlg->m_dlgTrsRpt; }
    // The import's rows as the preview page shows them (null before a file was read).
    static CPreviewModel* PreviewModel(const CImportWizard* pWizard) { return pWizard->m_pModel; }

    // The report view's conditions as last read from its lists, and the total of its rows.
    static QString QueryKind(const CRptView* pView) { return pView->m_strQueryKind; }
    static QString InSort(const CRptView* pView) { return pView->m_strInSort; }
    static double ReportTotal(const CRptView* pView) { return pView->m_dTotal; }

    // A day view's state: the day it shows, its account, and whether an add or a modify is
    // open.
    static QDate Day(const CDayView* pView) { return pView->CurrentDay(); }
    static QString Bank(const CDayView* pView) { return pView->m_strBank; }
    static bool IsAdding(const CDayView* pView) { return pView->m_bAdding; }
    static bool IsModifying(const CDayView* pView) { return pView->m_bModifying; }
    // The grid's highlighted cell and the open editor's cell (row, column; 0, 0 when closed).
    static QPoint Highlighted(const CDayView* pView) {
        return {pView->CurrentRow(), pView->CurrentCol()};
    }
    static QPoint Edited(const CDayView* pView) {
        return pView->m_pCellEditor->IsOpen()
                   ? QPoint(pView->m_pCellEditor->Row(), pView->m_pCellEditor->Col())
                   : QPoint();
    }
    // Asks the view for another day the way the tree does, without the tree.
    static void AskDay(CDayView* pView, const QDate& day) {
        pView->m_nYear = day.year();
        pView->m_nMonth = day.month();
        pView->m_nDay = day.day();
        pView->ShowCurrentDay();
    }
};
