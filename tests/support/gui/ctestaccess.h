#pragma once

#include "app/cmainframe.h"

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
};
