#include "cmainframe.h"
// Placeholder until the transfer command is built; its owner replaces this file.
CTrsDlg* CMainFrame::TrsDlg() { return nullptr; }
void CMainFrame::OnAddTrs() {}
void CMainFrame::OnAdvice() {}
