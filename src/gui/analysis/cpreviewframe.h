#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPainter;
class QPrinter;
class QPrintPreviewWidget;
class QSpinBox;

// What a page callback is told about the job, and what it tells back (the last page).
struct CPrintInfo {
    int m_nCurPage = 1;      // page being drawn, from 1
    int m_nMaxPage = 1;      // last page of the job, set by the callback
    bool m_bPreview = false; // drawing for the preview rather than for paper or a file
    void SetMaxPage(int nPage) { m_nMaxPage = nPage; }
};

// Draws page pInfo->m_nCurPage on pPainter (the printer's painter, origin at the top left of the
// printable area) and sets the job's last page. With a null painter it only sets the last page.
using FPageCallback = std::function<void(QPainter* pPainter, CPrintInfo* pInfo)>;

// The print preview window and the printing machinery for anything that draws itself through
// a page callback. It does not know what it prints.
//
// Preview: the window takes the owner's place (the owner is hidden) until it is closed;
// closing it, or printing from it, shows the owner again. Only the pages near the one on screen
// are drawn, so a report of thousands of pages opens at once.
// Direct print: the window is never shown; the print dialog, then the job.
class CPreViewFrame : public QMainWindow {
    Q_OBJECT
public:
    // Command ids of the preview toolbar (the actions' object names).
    enum ECommand {
        ID_PREVIEW_CLOSE = 58112,
        ID_PREVIEW_NUMPAGE = 58113, // one page / two pages
        ID_PREVIEW_NEXT = 58114,
        ID_PREVIEW_PREV = 58115,
        ID_PREVIEW_PRINT = 58116,
        ID_PREVIEW_ZOOMIN = 58117,
        ID_PREVIEW_ZOOMOUT = 58118,
        ID_PREVIEW_EXPORT_PDF = 58120,
        ID_PREVIEW_FIRST = 58121,
        ID_PREVIEW_LAST = 58122,
    };

    // The caption is strCaption when given, else the owner's caption + " (预览)", else
    // "打印预览".
    CPreViewFrame(FPageCallback fnPage, QWidget* pOwner, bool bDirectPrint,
                  const QString& strCaption = QString());
    ~CPreViewFrame() override;

    // Preview mode: shows the window maximised with the first pages and hides the owner.
    void StartPreview();
    // Direct print: the print dialog, then the job. False when cancelled or failed.
    bool PrintDirect();

    QPrintPreviewWidget* PreviewWidget() const { return m_pPreview; }
    // Shows page nPage (from 1), drawing it first when it is not drawn yet.
    void GoToPage(int nPage);
    QAction* Action(int nCommandId) const;
    int PageCount() const { return m_nPageCount; }
    // Pages drawn with content for the preview so far (the rest are blank until shown).
    int PagesDrawn() const { return m_nPagesDrawn; }
    bool IsDirectPrint() const { return m_bDirectPrint; }
    // Forgets the owner, which is then neither shown again nor asked for its caption.
    void ReleaseOwner() { m_pOwner = nullptr; }

    // Draws every page of the job (or the printer's page range) on pPrinter. Returns the
    // number of pages drawn, -1 when the printer cannot be opened.
    static int PrintPages(QPrinter* pPrinter, const FPageCallback& fnPage);
    // A4 PDF of every page; false with the reason in strError.
    static bool WritePdf(const QString& strPath, const FPageCallback& fnPage, QString& strError);
    // Asks for a PDF file and writes it; a failure is shown to the user. False when cancelled
    // or failed; pstrPath, when given, receives the file written.
    static bool ExportPdf(QWidget* pParent, const FPageCallback& fnPage,
                          QString* pstrPath = nullptr);

    // ---- choices a person makes, replaceable by tests
    // Asks for a file to write; "" when cancelled.
    using FChooseFile =
        std::function<QString(QWidget* pParent, const QString& strCaption,
                              const QString& strSuggested, const QString& strFilter)>;
    // Shows the print dialog for pPrinter; true to print.
    using FPrintDialog = std::function<bool(QPrinter* pPrinter, QWidget* pParent)>;
    static void SetFileChooser(FChooseFile fn); // an empty function restores the dialogs
    static void SetPrintDialog(FPrintDialog fn);
    // The save dialog for a CSV export, starting at strFileName in the documents folder; the
    // path chosen, ending in ".csv", or "" when cancelled.
    static QString ChooseCsvFile(QWidget* pParent, const QString& strFileName);
    static QString ChooseSaveFile(QWidget* pParent, const QString& strCaption,
                                  const QString& strSuggested, const QString& strFilter);
    static bool ExecPrintDialog(QPrinter* pPrinter, QWidget* pParent);

public Q_SLOTS:
    void OnPreviewClose(); // gives the owner back its place and closes
    void OnPreviewPrint(); // prints what is previewed, then closes
    void OnExportPdf();
    void OnNextPage();
    void OnPrevPage();
    void OnFirstPage();
    void OnLastPage();
    void OnNumPage();
    void OnZoomIn();
    void OnZoomOut();

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void CreateToolBar();
    void OnPaintRequested(QPrinter* pPrinter);
    void OnPreviewChanged();
    void UpdateToolBar();
    void Zoom(bool bIn);
    void RestoreOwner();

    FPageCallback m_fnPage;
    QPointer<QWidget> m_pOwner;
    bool m_bDirectPrint;
    std::unique_ptr<QPrinter> m_pPrinter;
    QPrintPreviewWidget* m_pPreview = nullptr;
    QLabel* m_pPageLabel = nullptr;
    QSpinBox* m_pPageBox = nullptr; // the page to go to
    int m_nPageCount = 0;
    int m_nPagesDrawn = 0;
    int m_nDrawFrom = 1; // pages with content in the current preview
    int m_nDrawTo = 0;
    bool m_bRegenerating = false;
    bool m_bClosing = false;
};
