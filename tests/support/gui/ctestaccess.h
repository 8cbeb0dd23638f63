#pragma once

#include "app/cmainframe.h"
#include "records/cdayview.h"

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
