#include "cmainframe.h"
// Placeholder until report printing is built; its owner replaces this file.
CReportPrinter* CMainFrame::ReportPrinter() { return nullptr; }
void CMainFrame::ShowReportPreview() {}
void CMainFrame::PrintReportDirect() {}
