#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QPainter;
class QWidget;
class CMsflexgrid1;
class CPreViewFrame;
struct CPrintInfo;

// The report-printing state of one report view, and the drawing of a report page from the
// view's grid. The view owns it; an open preview goes with it.
//
// Layout units are those of a 300-dpi page: the painter is scaled so that the preview, a PDF
// and any printer show the same page. Fonts are given in points and become a cell height of
// points * 300 / 72 units.
class CReportPrinter : public QObject {
    Q_OBJECT
public:
    enum EKind { Income = 1, Outlay = 2, Account = 3, Transfer = 4, Found = 5 };

    // pGrid: the grid whose rows are printed; also the printer's QObject parent.
    explicit CReportPrinter(CMsflexgrid1* pGrid);
    ~CReportPrinter() override; // an open preview goes with the report it shows

    // ---- state, written by the report view before every preview or print
    int m_nReportKind = Income;
    double m_dReportTotal = 0;
    QString m_strUserName;  // whose report: stands on every page
    QString m_strCondition; // the category and dates the rows were queried with
    QString m_strTotalText; // the line under the rows instead of "合计:…元" when not empty
    // ---- taken when pages are counted
    int m_nGridRows = 0;
    int m_nPageCount = 0;
    // the open preview or the running direct print
    QPointer<CPreViewFrame> m_pPreviewFrame;

    // The page callback of every report job: counts the pages, then draws one.
    void DrawPage(QPainter* pPainter, CPrintInfo* pInfo);

    void CountReportPages(CPrintInfo* pInfo);
    void DrawReportPage(QPainter* pPainter, CPrintInfo* pInfo);
    void DrawReportTitle(QPainter* pPainter, int nPage);
    void DrawReportBody(QPainter* pPainter, int nPage);
    void DrawReportFooter(QPainter* pPainter, int nPage);

    // The face used for a named font: the font itself when installed, else the closest
    // installed CJK face. A face that draws ideographs with the glyphs of their look-alike
    // radicals is taken only when no other is installed: a PDF's text layer names each glyph's
    // first character, and "用户" would be found and copied as "⽤⼾".
    static QString FontFamily(const QString& strFace);
    // Whether the face draws the ideographs with glyphs of their own.
    static bool HasOwnIdeographs(const QString& strFamily);

private:
    CMsflexgrid1* Grid() const { return m_pGrid; }

    CMsflexgrid1* m_pGrid;
    double m_dPageWidth = 0; // printable width and height in layout units
    double m_dPageHeight = 0;
    double m_dBodyTop = 0; // where the column header band starts
};
