#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QRect>
#include <QString>
#include <QTableView>
#include <QVector>
#include <functional>

class CGridModel;
class CViewSettler;
class CTextTable;

// The grid of every table on screen: a fixed header row 0, a narrow fixed column 0, cells of
// text addressed by row and column. Never sorted, never edited by the user directly.
// Widths are in twips (15 to a pixel at 96 dpi). Rows includes the header row.
class CMsflexgrid1 : public QTableView {
    Q_OBJECT
public:
    explicit CMsflexgrid1(QWidget* pParent = nullptr);
    ~CMsflexgrid1() override;

    void SetRows(int nRows); // 1 empties the grid to its header; +1 appends an empty row
    int GetRows() const;
    void SetCols(int nCols);
    int GetCols() const;
    void SetRow(int nRow); // current cell, for SetText
    int GetRow() const;
    void SetCol(int nCol);
    int GetCol() const;
    void SetText(const QString& strText); // text of the current cell
    QString GetText() const;
    void SetColWidth(int nCol, int nTwips);
    int GetColWidth(int nCol) const;
    // Column nCol made wide enough for its widest text (the header's included), never
    // narrower than it is: a figure is never cut short to "…".
    void WidenColToFit(int nCol);
    QString GetTextMatrix(int nRow, int nCol) const;
    void SetTextMatrix(int nRow, int nCol, const QString& strText);
    int GetMouseRow() const; // cell of the last click
    int GetMouseCol() const;
    int GetTopRow() const; // first data row scrolled into view (1 when not scrolled)

    // A cell's rectangle in the coordinates of widget pTo (default: this grid), so a floating
    // editor can be laid exactly over it at any scroll position, font or screen density.
    QRect CellRect(int nRow, int nCol, const QWidget* pTo = nullptr) const;

    // Fills many rows at once (a report of 100,000 rows): rows[i] becomes grid row i + 1.
    void SetAllRows(const QVector<QStringList>& rows);
    void SetAllRows(CTextTable rows);
    // Grid rows 1.. in every column, the fixed one included (those fetched so far).
    const CTextTable& DataRows() const;
    // After SetAllRows: a list of nAllRows data rows whose rest is made as it is scrolled to
    // (CGridModel::SetMoreRows), and all of it fetched at once.
    void SetMoreRows(int nAllRows, int nStep, std::function<CTextTable(int, int)> fnMore);
    void FetchAll();
    // Row nRow drawn on that colour, its tip shown over any of its cells (and its fixed
    // cell); an invalid colour takes the mark away. The mark stays with the row number.
    void SetRowMark(int nRow, const QColor& color, const QString& strTip);
    // Lets go of the cells kept to be drawn again quickly (every grid's), with the figures
    // they show: at the end of a session.
    static void ForgetDrawnCells();

Q_SIGNALS:
    void Click();  // a cell was clicked; MouseRow / MouseCol tell which
    void Scroll(); // the grid scrolled

protected:
    bool viewportEvent(QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;

private:
    int TwipsToPixels(int nTwips) const;
    void ApplyColWidths();
    void SetColumnPixels(int nViewCol, int nPixels);
    // The last column reaches the right edge, so the grid never ends in an empty band.
    void FillLastColumn();
    void OnCellClicked(int nRow, int nCol);
    CGridModel* m_pModel;
    // Rows came or went, or a column or row changed its size: the scroll bars and the last
    // column are settled before the window paints.
    CViewSettler* m_pSettler;
    QVector<int> m_colTwips; // per grid column, as set; column 0 is the vertical header
    int m_nRow = 0;
    int m_nCol = 0;
    int m_nMouseRow = 0;
    int m_nMouseCol = 0;
    // What WidenColToFit measured, by text, in the font and density it was measured in: a
    // brief shown again (another click in the tree) measures nothing.
    QHash<QString, int> m_textWidths;
    QFont m_widthsFont;
    qreal m_dWidthsDpi = 0;
};
