#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>
#include <cstdint>
#include <vector>

// A matrix of texts that costs a few bytes a cell: every distinct text is kept once, in one
// shared character buffer, and a cell holds only the number of its text. A report of 73,000
// rows repeats its dates, categories and notes thousands of times; kept as one string object
// per cell it would take some 30 MB, kept here about 3.
//
// Reads like the list of rows it replaces (size(), [], range-for yield QStringList values), so
// callers that want plain rows still have them, one row at a time.
class CTextTable {
public:
    CTextTable() = default;
    explicit CTextTable(int nCols) : m_nCols(nCols > 0 ? nCols : 0) {}
    // Rows as given; nCols < 0 takes the widest row's width. Longer rows are cut, shorter ones
    // end in empty cells.
    static CTextTable FromRows(const QVector<QStringList>& rows, int nCols = -1);

    int Rows() const { return m_nRows; }
    int Cols() const { return m_nCols; }
    // Texts beyond a narrower width are dropped; added columns start empty.
    void SetCols(int nCols);
    // Added rows start empty; no rows at all also forgets every text kept.
    void SetRows(int nRows);
    void Reserve(int nRows);
    // Gives back what was reserved for growth once the table is filled; later writes still work.
    void Squeeze();

    void AppendRow(const QStringList& row);
    // Outside the table: nothing happens / "".
    void SetText(int nRow, int nCol, QStringView str);
    QString Text(int nRow, int nCol) const { return View(nRow, nCol).toString(); }
    QStringView View(int nRow, int nCol) const;
    QStringList Row(int nRow) const;
    // Puts the rows in a new order: row i becomes the old row order[i] (a permutation).
    void Reorder(const std::vector<int>& order);
    QVector<QStringList> ToList() const;

    // ---- the reading side of QVector<QStringList>
    int size() const { return m_nRows; }
    bool isEmpty() const { return m_nRows == 0; }
    QStringList operator[](int nRow) const { return Row(nRow); }
    class const_iterator {
    public:
        const_iterator(const CTextTable* pTable, int nRow) : m_pTable(pTable), m_nRow(nRow) {}
        QStringList operator*() const { return m_pTable->Row(m_nRow); }
        const_iterator& operator++() {
            ++m_nRow;
            return *this;
        }
        bool operator!=(const const_iterator& other) const { return m_nRow != other.m_nRow; }

    private:
        const CTextTable* m_pTable;
        int m_nRow;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_nRows}; }

private:
    std::uint32_t Intern(QStringView str);
    QStringView TextOf(std::uint32_t nId) const;
    void Rehash(std::size_t nBuckets);
    void Compact();

    int m_nRows = 0;
    int m_nCols = 0;
    std::vector<std::uint32_t> m_cells;        // row by row, the number of each cell's text
    std::vector<char16_t> m_chars;             // every distinct text, end to end
    std::vector<std::uint32_t> m_starts{0, 0}; // text n is m_chars[m_starts[n], m_starts[n+1])
    std::vector<std::uint32_t> m_buckets;      // open addressing: text number + 1, 0 = free
};
