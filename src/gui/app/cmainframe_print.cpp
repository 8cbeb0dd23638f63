#include "analysis/cpreviewframe.h"
#include "analysis/creportprinter.h"
#include "cmainframe.h"

CReportPrinter* CMainFrame::ReportPrinter() {
    if (!m_pReportPrinter)
        m_pReportPrinter = new CReportPrinter(this); // a child: goes with the frame
    return m_pReportPrinter;
}

void CMainFrame::ShowReportPreview() {
    CReportPrinter* pPrinter = ReportPrinter();
    auto* pPreview = new CPreViewFrame(&CReportPrinter::ReportPageCallback, this, this, false);
    pPrinter->m_pPreviewFrame = pPreview;
    pPreview->StartPreview();
}

void CMainFrame::PrintReportDirect() {
    CReportPrinter* pPrinter = ReportPrinter();
    // Never shown: the print dialog and the job run at once, the main frame staying in place.
    auto* pPrint = new CPreViewFrame(&CReportPrinter::ReportPageCallback, this, this, true);
    pPrinter->m_pPreviewFrame = pPrint;
    pPrint->PrintDirect();
    pPrint->deleteLater();
}
