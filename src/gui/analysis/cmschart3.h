#pragma once

#include <QColor>
#include <QList>
#include <QPolygonF>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

// A chart control driven the way the views drive it: set the title, the row count, select a
// row or column and write its label or its value as text. It keeps everything it was given
// (readable back, 1-based like its setters) and draws it itself: a bar chart (one bar per column
// of each row, lying down, the column labels beside them), a pie chart (one wedge per column of
// row 1, a legend of names and shares beside it) or a line chart (one point per row of column 1,
// the row labels under it).
//
// A change lays the chart out again when it is next painted or read; Refresh() lays it out at
// once. Laying out is arithmetic on the figures and the texts' widths, painting is a few
// hundred fills, lines and texts: a new scope costs about what painting it costs.
class CMschart3 : public QWidget {
    Q_OBJECT
public:
    enum class EType { Bar, Pie, Line };

    CMschart3(EType eType, int nRows, int nColumns, QWidget* pParent = nullptr);
    ~CMschart3() override;

    // ---- property writes
    void SetTitleText(const QString& strTitle);
    // Rows kept keep their labels and values; new rows start with an empty label and "0".
    void SetRowCount(int nRows);
    void SetColumnCount(int nColumns);
    void SetRow(int nRow);       // selects the current row (1…RowCount)
    void SetColumn(int nColumn); // selects the current column (1…ColumnCount)
    void SetRowLabel(const QString& strLabel);
    void SetColumnLabel(const QString& strLabel);
    // The value of the current cell, as text; text that is not a number draws as 0.
    void SetData(const QString& strData);
    // By default the chart keeps itself tall enough for every category's name beside its bar
    // and every legend entry; not so, it takes the room it is given and names every n-th.
    void SetEveryLabel(bool bEvery);

    // ---- what the chart holds
    EType Type() const { return m_eType; }
    QString TitleText() const { return m_strTitle; }
    int RowCount() const { return m_rowLabels.size(); }
    int ColumnCount() const { return m_columnLabels.size(); }
    int Row() const { return m_nRow; }
    int Column() const { return m_nColumn; }
    QString RowLabel(int nRow) const;
    QString ColumnLabel(int nColumn) const;
    QString Data(int nRow, int nColumn) const;
    QStringList RowLabels() const { return m_rowLabels; }
    QStringList ColumnLabels() const { return m_columnLabels; }
    // One column's values, top row first (for a line chart: the points).
    QStringList ColumnData(int nColumn) const;
    // One row's values, first column first (for a bar or pie chart: the categories).
    QStringList RowData(int nRow) const;

    // What hovering a bar or wedge (column nColumn of row nRow) or a line point (row nRow)
    // shows: its label, its exact value and its share of the chart, "用餐 1502.40元（15.0%）".
    QString ToolTipText(int nRow, int nColumn) const;
    // The category colours of the pie, in column order (repeating after the last).
    static const QList<QColor>& CategoryColors();

    // ---- what the chart draws at its present size
    struct SText {
        QString str;
        QRectF rect; // the text's own box: its advance wide, a line of its font high
        bool bTitle = false;
    };
    // Every text drawn: the title, the axes' labels, the legend's entries and the wedges'
    // shares, as drawn (a legend entry too long for its room ends in "…").
    QList<SText> DrawnTexts();
    // The cell (x: column, y: row, 1-based) whose bar, wedge or point is under pos, or (0, 0).
    QPoint CellAt(const QPointF& pos);
    // A point well inside the cell's bar or wedge, or on its point; null for a cell not drawn.
    QPointF CellPoint(int nRow, int nColumn);

    void Refresh();
    // While held, the chart paints nothing; let go, it paints whole. A view that draws several
    // charts holds them all until each has its figures.
    void HoldPainting(bool bHold);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    bool event(QEvent* pEvent) override;

private:
    struct SBar {
        QRectF rect;
        int nRow, nColumn;
    };
    struct SWedge {
        double dStart, dSpan; // degrees clockwise from twelve o'clock
        int nColumn;
    };
    struct SMarker {
        QRectF rect;
        QColor color;
    };
    // Everything drawn, in the control's coordinates.
    struct SLayout {
        QList<SText> texts;
        QList<QRect> grid; // the light lines behind the figures, one-pixel bands
        QList<QRect> axes; // the axis lines and their ticks, one-pixel bands
        QList<SBar> bars;
        QPolygonF points; // a line chart's points, row 1 first
        QRectF pie;       // the pie's square
        QList<SWedge> wedges;
        QList<QPolygonF> arms; // from a wedge to its share's text
        QList<SMarker> markers;
        QList<SText> tips; // legend entries cut short, and their whole texts
    };
    // The value axis: from dLow to dHigh in nTicks - 1 round steps, labelled with nDecimals.
    struct SScale {
        double dLow = 0.0, dHigh = 1.0;
        int nTicks = 2, nDecimals = 0;
        double Tick(int i) const { return dLow + (dHigh - dLow) * i / (nTicks - 1); }
    };

    void Changed();
    void KeepTall();
    const SLayout& Layout();
    void LayOutBar(SLayout& layout, QRectF area) const;
    void LayOutPie(SLayout& layout, QRectF area) const;
    void LayOutLine(SLayout& layout, QRectF area) const;
    // The title's line at the top of area, taken off it.
    void LayOutTitle(SLayout& layout, QRectF& area) const;
    static SScale Fit(double dMin, double dMax, int nSteps);
    void ShowToolTip(QPoint cell, const QPoint& globalPos);
    double Value(int nRow, int nColumn) const;

    EType m_eType;
    QString m_strTitle;
    QStringList m_rowLabels;
    QStringList m_columnLabels;
    QList<QStringList> m_data; // [row][column]
    int m_nRow = 1;
    int m_nColumn = 1;
    bool m_bDirty = true;
    bool m_bEveryLabel = true;
    SLayout m_layout;
    QSize m_layoutSize; // the size m_layout was made for
    QPoint m_hovered;   // the cell under the pointer, (0, 0) for none
};
