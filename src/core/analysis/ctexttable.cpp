#include "ctexttable.h"

#include <QHashFunctions>
#include <algorithm>

CTextTable CTextTable::FromRows(const QVector<QStringList>& rows, int nCols) {
    if (nCols < 0) {
        nCols = 0;
        for (const QStringList& row : rows)
            nCols = std::max(nCols, int(row.size()));
    }
    CTextTable table(nCols);
    table.Reserve(int(rows.size()));
    for (const QStringList& row : rows)
        table.AppendRow(row);
    return table;
}

void CTextTable::SetCols(int nCols) {
    nCols = std::max(0, nCols);
    if (nCols == m_nCols)
        return;
    std::vector<std::uint32_t> cells(std::size_t(m_nRows) * std::size_t(nCols), 0);
    const int nKeep = std::min(nCols, m_nCols);
    for (int r = 0; r < m_nRows; ++r)
        std::copy_n(m_cells.begin() + std::ptrdiff_t(r) * m_nCols, nKeep,
                    cells.begin() + std::ptrdiff_t(r) * nCols);
    m_cells.swap(cells);
    m_nCols = nCols;
}

void CTextTable::SetRows(int nRows) {
    nRows = std::max(0, nRows);
    m_nRows = nRows;
    m_cells.resize(std::size_t(nRows) * std::size_t(m_nCols), 0);
    if (nRows == 0) {
        // Texts are never removed one by one; an emptied table starts its store afresh.
        std::vector<std::uint32_t>().swap(m_cells);
        std::vector<char16_t>().swap(m_chars);
        m_starts.assign({0, 0});
        std::vector<std::uint32_t>().swap(m_buckets);
    }
}

void CTextTable::Reserve(int nRows) {
    m_cells.reserve(std::size_t(std::max(0, nRows)) * std::size_t(m_nCols));
}

void CTextTable::Squeeze() {
    m_cells.shrink_to_fit();
    m_chars.shrink_to_fit();
    m_starts.shrink_to_fit();
    // The lookup of texts is only needed for writing; it is built again on the next write.
    std::vector<std::uint32_t>().swap(m_buckets);
}

void CTextTable::AppendRow(const QStringList& row) {
    const int nCells = std::min(m_nCols, int(row.size()));
    for (int c = 0; c < nCells; ++c)
        m_cells.push_back(Intern(row.at(c)));
    m_cells.insert(m_cells.end(), std::size_t(m_nCols - nCells), 0);
    ++m_nRows;
}

void CTextTable::SetText(int nRow, int nCol, QStringView str) {
    if (nRow < 0 || nRow >= m_nRows || nCol < 0 || nCol >= m_nCols)
        return;
    m_cells[std::size_t(nRow) * m_nCols + nCol] = Intern(str);
    // A table rewritten cell by cell keeps texts no cell shows any more; once they far
    // outnumber the cells, the store is built again from what the cells hold.
    if (m_starts.size() > 2 * m_cells.size() + 1024)
        Compact();
}

void CTextTable::Compact() {
    CTextTable fresh(m_nCols);
    fresh.m_nRows = m_nRows;
    fresh.m_cells.reserve(m_cells.size());
    for (const std::uint32_t nId : m_cells)
        fresh.m_cells.push_back(fresh.Intern(TextOf(nId)));
    *this = std::move(fresh);
}

QStringView CTextTable::View(int nRow, int nCol) const {
    if (nRow < 0 || nRow >= m_nRows || nCol < 0 || nCol >= m_nCols)
        return {};
    return TextOf(m_cells[std::size_t(nRow) * m_nCols + nCol]);
}

QStringList CTextTable::Row(int nRow) const {
    QStringList row;
    if (nRow < 0 || nRow >= m_nRows)
        return row;
    row.reserve(m_nCols);
    for (int c = 0; c < m_nCols; ++c)
        row.append(Text(nRow, c));
    return row;
}

void CTextTable::Reorder(const std::vector<int>& order) {
    std::vector<std::uint32_t> cells;
    cells.reserve(m_cells.size());
    for (int nFrom : order)
        cells.insert(cells.end(), m_cells.begin() + std::ptrdiff_t(nFrom) * m_nCols,
                     m_cells.begin() + std::ptrdiff_t(nFrom + 1) * m_nCols);
    m_cells.swap(cells);
}

QVector<QStringList> CTextTable::ToList() const {
    QVector<QStringList> rows;
    rows.reserve(m_nRows);
    for (int r = 0; r < m_nRows; ++r)
        rows.append(Row(r));
    return rows;
}

QStringView CTextTable::TextOf(std::uint32_t nId) const {
    const std::uint32_t nStart = m_starts[nId];
    return QStringView(m_chars.data() + nStart, qsizetype(m_starts[nId + 1] - nStart));
}

std::uint32_t CTextTable::Intern(QStringView str) {
    if (str.isEmpty())
        return 0; // text 0 is the empty text
    // Kept at most half full, so a probe ends soon at a free bucket.
    if ((m_starts.size() - 1) * 2 >= m_buckets.size()) {
        std::size_t nBuckets = 64;
        while (nBuckets < m_starts.size() * 4)
            nBuckets *= 2;
        Rehash(nBuckets);
    }
    const std::size_t nMask = m_buckets.size() - 1;
    for (std::size_t i = qHash(str) & nMask;; i = (i + 1) & nMask) {
        const std::uint32_t nEntry = m_buckets[i];
        if (nEntry == 0) {
            const auto nId = std::uint32_t(m_starts.size() - 1);
            m_chars.insert(m_chars.end(), str.utf16(), str.utf16() + str.size());
            m_starts.push_back(std::uint32_t(m_chars.size()));
            m_buckets[i] = nId + 1;
            return nId;
        }
        if (TextOf(nEntry - 1) == str)
            return nEntry - 1;
    }
}

void CTextTable::Rehash(std::size_t nBuckets) {
    m_buckets.assign(nBuckets, 0);
    const std::size_t nMask = nBuckets - 1;
    for (std::uint32_t nId = 1; nId + 1 < m_starts.size(); ++nId) {
        std::size_t i = qHash(TextOf(nId)) & nMask;
        while (m_buckets[i] != 0)
            i = (i + 1) & nMask;
        m_buckets[i] = nId + 1;
    }
}
