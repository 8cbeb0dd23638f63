#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QChart;
class QChartView;

// A chart control driven the way the views drive it: set the title, the row count, select a
// row or column and write its label or its value as text. It keeps everything it was given
// (readable back, 1-based like its setters) and draws it with Qt Charts as a bar chart (one bar
// per column of each row, lying down, the column labels beside them), a pie chart (one slice per
// column of row 1) or a line chart (one point per row of column 1, the row labels on the axis).
//
// Drawing happens once control returns to the event loop, however many values were written;
// Refresh() draws at once.
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

    void Refresh();
    // While held, the chart paints nothing; let go, it paints whole. A view that draws several
    // charts holds them all until each has its figures.
    void HoldPainting(bool bHold);
    QChartView* ChartView() const { return m_pView; }
    QChart* Chart() const;

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void Changed();
    void Draw();
    QChart* NewChart() const;
    void DrawBar(QChart* pChart) const;
    void DrawPie(QChart* pChart) const;
    void DrawLine(QChart* pChart) const;
    // Keeps the labels of a crowded line axis apart: they thin out.
    void FitAxisLabels();
    void ShowToolTip(int nRow, int nColumn, bool bHovered) const;
    double Value(int nRow, int nColumn) const;

    EType m_eType;
    QString m_strTitle;
    QStringList m_rowLabels;
    QStringList m_columnLabels;
    QList<QStringList> m_data; // [row][column]
    int m_nRow = 1;
    int m_nColumn = 1;
    bool m_bDirty = true;
    bool m_bQueued = false;
    bool m_bBuilt = false;        // the chart of this control is made (it is then only changed)
    mutable QString m_strHovered; // the tip of the bar, wedge or point under the pointer
    QChartView* m_pView;
};
