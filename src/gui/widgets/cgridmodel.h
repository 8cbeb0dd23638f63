#pragma once

#include "analysis/ctexttable.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QStringList>
#include <QVector>
#include <functional>

// The texts behind CMsflexgrid1: the header row as strings, the data rows in a compact text
// table, so a grid of 100,000 rows costs a few bytes a cell.
//
// The grid shows its fixed row 0 in the horizontal header and its fixed column 0 in the
// vertical header, so the model exposes to the view only the data cells: view row r is grid
// row r + 1, view column c is grid column c + 1. Grid coordinates are used by every
// function taking nRow / nCol.
class CGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CGridModel(QObject* pParent = nullptr);

    int GetRows() const { return m_rows.Rows() + 1; }
    int GetCols() const { return m_nCols; }
    void SetRows(int nRows); // at least 1 (the header row)
    void SetCols(int nCols); // at least 1 (the fixed column)

    QString Text(int nRow, int nCol) const;
    void SetText(int nRow, int nCol, const QString& strText);
    // Replaces every data row at once; row 0 stays.
    void SetDataRows(const QVector<QStringList>& rows);
    void SetDataRows(CTextTable rows);
    // Grid rows 1.. in every column, the fixed one included (those fetched so far).
    const CTextTable& DataRows() const { return m_rows; }
    // Row nRow (1 …) drawn on a colour of its own, with a tip on each of its cells; an
    // invalid colour takes the mark away. Marks stay with their row number, not its texts;
    // rows cut off or replaced lose theirs.
    void SetRowMark(int nRow, const QColor& color, const QString& strTip);

    // A long list shown as it is scrolled to: after SetDataRows, nAllRows data rows in all,
    // the rows beyond those set made by fnMore(nFrom, nCount) nStep at a time when the view
    // reaches them (Qt's canFetchMore / fetchMore). Fewer rows than asked ends the list.
    using FMoreRows = std::function<CTextTable(int nFrom, int nCount)>;
    void SetMoreRows(int nAllRows, int nStep, FMoreRows fnMore);
    // Every row at once (for printing or exporting the whole list).
    void FetchAll();
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation,
                        int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList m_header; // grid row 0
    CTextTable m_rows{2}; // grid rows 1..; m_rows row r is grid row r + 1
    int m_nCols = 2;
    int m_nAllRows = 0; // with more rows to fetch: the data rows in all
    int m_nStep = 0;
    FMoreRows m_fnMore;
    struct SRowMark {
        QColor color;
        QString strTip;
    };
    QHash<int, SRowMark> m_marks; // by grid row
};
