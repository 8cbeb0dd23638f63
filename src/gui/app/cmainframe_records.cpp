#include "cmainframe.h"
// Placeholder until the daily-record commands are built; their owner replaces this file.
CNewDayInDlg* CMainFrame::NewDayInDlg() { return nullptr; }
CNewDayOutDlg* CMainFrame::NewDayOutDlg() { return nullptr; }
void CMainFrame::OnAddIncome() {}
void CMainFrame::OnAddOutlay() {}
