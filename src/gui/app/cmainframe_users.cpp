#include "cmainframe.h"
// Placeholder until the user commands are built; their owner replaces this file.
CLinkDlg* CMainFrame::LinkDlg() { return nullptr; }
CNewUserDlg* CMainFrame::NewUserDlg() { return nullptr; }
CBankDlg* CMainFrame::BankDlg() { return nullptr; }
CChangPwdDlg* CMainFrame::ChangPwdDlg() { return nullptr; }
void CMainFrame::OnNewUser() {}
void CMainFrame::OnLogin() {}
void CMainFrame::OnDeleteUser() {}
void CMainFrame::OnChangePwd() {}
void CMainFrame::OnDisconnect() {}
