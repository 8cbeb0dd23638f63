#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QPainter;
class QWidget;
class CMainFrame;
class CMsflexgrid1;
class CPreViewFrame;
struct CPrintInfo;

// The report-printing state the main frame keeps for the report view, and the drawing of a
// report page from the view's grid.
//
// Layout units are those of a 300-dpi page: the painter is scaled so that the preview, a PDF
// and any printer show the same page. Fonts are given in points and become a cell height of
// points * 300 / 72 units.
class CReportPrinter : public QObject {
    Q_OBJECT
public:
    enum EKind { Income = 1, Outlay = 2, Account = 3, Transfer = 4 };

    explicit CReportPrinter(CMainFrame* pFrame);
    ~CReportPrinter() override; // an open preview goes with the frame whose report it shows

    // ---- state, written by the report view before every preview or print
    int m_nReportKind = Income;
    double m_dReportTotal = 0;
    // ---- taken when pages are counted
    int m_nGridRows = 0;
    int m_nPageCount = 0;
    // the open preview or the running direct print
    QPointer<CPreViewFrame> m_pPreviewFrame;

    // The page callback of every report job; pData is the main frame.
    static void ReportPageCallback(QPainter* pPainter, CPrintInfo* pInfo, void* pData);

    void CountReportPages(CPrintInfo* pInfo);
    void DrawReportPage(QPainter* pPainter, CPrintInfo* pInfo);
    void DrawReportTitle(QPainter* pPainter, int nPage);
    void DrawReportBody(QPainter* pPainter, int nPage);

    // The face used for a named font: the font itself when installed, else the closest
    // installed CJK face.
    static QString FontFamily(const QString& strFace);

private:
    CMsflexgrid1* Grid() const;

    CMainFrame* m_pFrame;
    double m_dPageWidth = 0; // printable width and height in layout units
    double m_dPageHeight = 0;
};
