#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

// The texts behind CMsflexgrid1: a plain matrix of strings, so a grid of 100,000 rows costs
// one QStringList per row and nothing per cell.
//
// The grid shows its fixed row 0 in the horizontal header and its fixed column 0 in the
// vertical header, so the model exposes to the view only the data cells: view row r is grid
// row r + 1, view column c is grid column c + 1. Grid coordinates are used by every
// function taking nRow / nCol.
class CGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CGridModel(QObject* pParent = nullptr);

    int GetRows() const { return static_cast<int>(m_rows.size()); }
    int GetCols() const { return m_nCols; }
    void SetRows(int nRows); // at least 1 (the header row)
    void SetCols(int nCols); // at least 1 (the fixed column)

    QString Text(int nRow, int nCol) const;
    void SetText(int nRow, int nCol, const QString& strText);
    // Replaces every data row at once; row 0 stays.
    void SetDataRows(const QVector<QStringList>& rows);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation,
                        int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QVector<QStringList> m_rows{QStringList()}; // m_rows[0] is the header row
    int m_nCols = 2;
};
