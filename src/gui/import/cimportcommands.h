#pragma once

class CMainFrame;

// The two commands of importing and exporting, "导入账单…" (menu 操作 and toolbar) and
// "导出…" (menu 操作). They are enabled while a user is logged in, as the record commands are.
namespace CImportCommands {
enum ECommand { ID_IMPORT = 32830, ID_EXPORT = 32831 };
void Install(CMainFrame* pFrame);
// Runs the wizard for the logged-in user and shows the summary afterwards.
void OnImport(CMainFrame* pFrame);
void OnExport(CMainFrame* pFrame);
} // namespace CImportCommands
