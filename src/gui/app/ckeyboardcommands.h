#pragma once

class CMainFrame;

// The keys of the main commands, shown beside them in the menus (Ctrl+Q quit, Ctrl+1…Ctrl+6
// the six views, Ctrl+N / Ctrl+Shift+N a new income / outlay day, Ctrl+T a transfer, F1 help),
// and the three commands that exist for their keys: printing the report (Ctrl+P), its preview
// (Ctrl+Shift+P) and reading the current view again from the book (F5). They belong to the
// main window, so none of them fires while a dialog or the preview is in front.
namespace CKeyboardCommands {
enum ECommand { ID_PRINT = 32840, ID_PREVIEW = 32841, ID_RELOAD = 32842 };
void Install(CMainFrame* pFrame);
// Print or preview the report of the report view; elsewhere the report view is opened first,
// since a report needs its conditions chosen.
void OnPrint(CMainFrame* pFrame, bool bPreview);
// The current view read again: the tree and what the view shows. A day being edited is left
// alone (its rows would be lost).
void OnReload(CMainFrame* pFrame);
} // namespace CKeyboardCommands
