#pragma once

#include "analysis/cpreviewframe.h"
#include "analysis/crecordsearch.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;
class CMsflexgrid1;
class CReportPrinter;
class CSession;

// 查找: one box for words and a few choices (kind, amount, dates); the logged-in user's
// records that match are listed as they are typed, with their count and totals below. Enter
// in the box or on the list, or a double click, opens the chosen record (the first when none
// is chosen) where it is kept: its day in the income or outlay view, a transfer in the
// transfer list. The list prints, previews and exports as a report does.
class CFindDlg : public QDialog {
    Q_OBJECT
public:
    enum EControl {
        IDC_FIND_WORDS = 1100,
        IDC_FIND_KIND = 1101,
        IDC_FIND_MIN = 1102,
        IDC_FIND_MAX = 1103,
        IDC_FIND_DATES = 1104,
        IDC_FIND_FROM = 1105,
        IDC_FIND_TO = 1106,
        IDC_FIND_GRID = 1107,
        IDC_FIND_SUMMARY = 1108,
        IDC_FIND_OPEN = 1109,
        IDC_PREVIEW = 1110,
        IDC_PRINT = 1111,
        IDC_EXPORT_PDF = 1112,
        IDC_EXPORT_CSV = 1113,
        IDC_FIND_BUILD = 1114,
        IDC_FIND_BUILD_TEXT = 1115,
    };

    explicit CFindDlg(const CSession* pSession, QWidget* pParent = nullptr);

    // The choices as a query; false (with the reason in strProblem) when an amount cannot be
    // read. One amount alone is that amount exactly; both are a range.
    bool Query(CRecordSearch::SQuery& query, QString& strProblem) const;
    // Finds again with the choices as they are (after another copy's write, a login).
    void OnFind();
    // Opens the chosen record (the first when none is chosen).
    void OnOpen();
    void OnPreview();
    void OnPrint();
    void OnExportPdf();
    void OnExportCsv();

    // The words of an older book are filled while this window is open, a step at a time, the
    // progress shown; closing it pauses, the next opening goes on where it stopped.
    void OnFillStep();
    bool IsFilling() const;

    const CRecordSearch::SResult& Result() const { return m_result; }
    CMsflexgrid1* Grid() const { return m_pGrid; }

Q_SIGNALS:
    // A found record to show where it is kept.
    void RecordChosen(const CRecordSearch::SRow& row);
    void StatusText(const QString& strText);

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

private:
    void CreateControls();
    void ShowSummary();
    // What the list was found with, for the printed page.
    QString Condition() const;
    void SetPrintState();
    FPageCallback PageCallback() const;

    const CSession* m_pSession;
    CRecordSearch::SResult m_result;
    QLineEdit* m_pWords = nullptr;
    QComboBox* m_pKind = nullptr;
    QLineEdit* m_pMin = nullptr;
    QLineEdit* m_pMax = nullptr;
    QCheckBox* m_pDates = nullptr;
    QDateEdit* m_pFrom = nullptr;
    QDateEdit* m_pTo = nullptr;
    CMsflexgrid1* m_pGrid = nullptr;
    QLabel* m_pSummary = nullptr;
    CReportPrinter* m_pPrinter = nullptr;
    QTimer* m_pFindTimer = nullptr;
    QTimer* m_pFillTimer = nullptr;
    QLabel* m_pFillText = nullptr;
    QProgressBar* m_pFillBar = nullptr;
};
