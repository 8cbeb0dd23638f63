#pragma once

#include "analysis/cpreviewframe.h"
#include "widgets/cformview.h"

#include <QString>

class QComboBox;
class QLabel;
class QPushButton;
class CMsflexgrid1;
class CReportPrinter;

// The report query: lists the user's accounts, transfers, income or outlay records in a grid
// (income and outlay narrowed to a category and a range of record dates) and prints, previews
// or exports that list.
class CRptView : public CFormView {
    Q_OBJECT
public:
    // Control ids (the controls' object names).
    enum EControl {
        IDC_QUERY_KIND = 1000,
        IDC_START_DATE = 1001,
        IDC_IN_SORT = 1002,
        IDC_END_DATE = 1003,
        IDC_OUT_SORT = 1004,
        IDC_PREVIEW = 1010,
        IDC_GRID = 1011,
        IDC_PRINT = 1012,
        IDC_QUERY = 1013,
        IDC_EXPORT_PDF = 1014,
        IDC_EXPORT_CSV = 1015,
    };

    explicit CRptView(const CSession* pSession, QWidget* pParent = nullptr);
    void OnInitialUpdate() override;

    // Members <-> the three text combos.
    void UpdateData(bool bSaveAndValidate);

    CMsflexgrid1* Grid() const { return m_pGrid; }
    // Prints, previews and exports this view's grid.
    CReportPrinter* Printer() const { return m_pPrinter; }

public Q_SLOTS:
    void OnSelchangeQueryKind();
    void FillSortLists();
    void OnSelchangeInSort();
    void OnSelchangeOutSort();
    void OnSelchangeStartDate();
    void OnQuery();
    void OnPreview();
    void OnPrintReport();
    void OnExportPdf();
    void OnExportCsv();

private:
    friend class CTestAccess;

    void CreateControls();
    void FillStartDates(bool bIncome);
    void FillEndDates();
    void SetHeader(int nCols, const QStringList& headers);
    void ShowRecordReport(bool bIncome);
    void ShowAccountReport();
    void ShowTransferReport();
    void SetPrintState();
    FPageCallback PageCallback() const;
    // The row count and total of the grid, shown under it as the paper shows the total.
    void ShowSummary();

    QString m_strQueryKind;
    QString m_strInSort;
    QString m_strOutSort;
    double m_dTotal = 0;
    // The kind the grid's rows were queried as: printing, previews and exports take their
    // title from it, not from a condition changed since.
    QString m_strShownKind;
    // The category and dates (or the whole list) the grid's rows were queried with.
    QString m_strShownCondition;

    CMsflexgrid1* m_pGrid = nullptr;
    CReportPrinter* m_pPrinter = nullptr;
    QComboBox* m_pQueryKind = nullptr; // 1000
    QComboBox* m_pInSort = nullptr;    // 1002
    QComboBox* m_pOutSort = nullptr;   // 1004
    QComboBox* m_pStartDate = nullptr; // 1001
    QComboBox* m_pEndDate = nullptr;   // 1003
    QLabel* m_pSummary = nullptr;
};
