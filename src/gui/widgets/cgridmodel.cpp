#include "widgets/cgridmodel.h"

#include <algorithm>
#include <iterator>

CGridModel::CGridModel(QObject* pParent) : QAbstractTableModel(pParent) {}

void CGridModel::SetRows(int nRows) {
    nRows = qMax(1, nRows);
    const int nOld = GetRows();
    if (nRows > nOld) {
        beginInsertRows(QModelIndex(), nOld - 1, nRows - 2);
        m_rows.SetRows(nRows - 1);
        endInsertRows();
    } else if (nRows < nOld) {
        for (auto it = m_marks.begin(); it != m_marks.end();)
            it = it.key() >= nRows ? m_marks.erase(it) : std::next(it);
        beginRemoveRows(QModelIndex(), nRows - 1, nOld - 2);
        m_rows.SetRows(nRows - 1);
        endRemoveRows();
    }
}

void CGridModel::SetCols(int nCols) {
    nCols = qMax(1, nCols);
    if (nCols == m_nCols)
        return;
    // Texts beyond the new width are dropped, as if the columns never held anything, so a
    // column that comes back later starts empty.
    beginResetModel();
    if (m_header.size() > nCols)
        m_header.erase(m_header.begin() + nCols, m_header.end());
    m_rows.SetCols(nCols);
    m_nCols = nCols;
    endResetModel();
}

QString CGridModel::Text(int nRow, int nCol) const {
    if (nRow < 0 || nRow >= GetRows() || nCol < 0 || nCol >= m_nCols)
        return QString();
    return nRow == 0 ? m_header.value(nCol) : m_rows.Text(nRow - 1, nCol);
}

void CGridModel::SetText(int nRow, int nCol, const QString& strText) {
    if (nRow < 0 || nRow >= GetRows() || nCol < 0 || nCol >= m_nCols)
        return;
    if (nRow == 0) {
        if (m_header.size() <= nCol) {
            if (strText.isEmpty())
                return;
            while (m_header.size() <= nCol)
                m_header.append(QString());
        }
        if (m_header.at(nCol) == strText)
            return;
        m_header[nCol] = strText;
    } else {
        if (m_rows.View(nRow - 1, nCol) == strText)
            return;
        m_rows.SetText(nRow - 1, nCol, strText);
    }
    if (nRow == 0) {
        if (nCol > 0)
            Q_EMIT headerDataChanged(Qt::Horizontal, nCol - 1, nCol - 1);
    } else if (nCol == 0) {
        Q_EMIT headerDataChanged(Qt::Vertical, nRow - 1, nRow - 1);
    } else {
        const QModelIndex cell = index(nRow - 1, nCol - 1);
        Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
    }
}

void CGridModel::SetDataRows(const QVector<QStringList>& rows) {
    SetDataRows(CTextTable::FromRows(rows, m_nCols));
}

void CGridModel::SetDataRows(CTextTable rows) {
    beginResetModel();
    m_nAllRows = 0;
    m_fnMore = nullptr;
    m_marks.clear();
    rows.SetCols(m_nCols);
    rows.Squeeze();
    m_rows = std::move(rows);
    endResetModel();
}

void CGridModel::SetMoreRows(int nAllRows, int nStep, FMoreRows fnMore) {
    m_nAllRows = nAllRows;
    m_nStep = std::max(nStep, 1);
    m_fnMore = std::move(fnMore);
}

bool CGridModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_fnMore && m_rows.Rows() < m_nAllRows;
}

void CGridModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    const int nFrom = m_rows.Rows();
    const int nCount = std::min(m_nStep, m_nAllRows - nFrom);
    const CTextTable more = m_fnMore(nFrom, nCount);
    if (more.Rows() < nCount)
        m_nAllRows = nFrom + more.Rows(); // the list ends here
    if (more.Rows() == 0)
        return;
    beginInsertRows(QModelIndex(), nFrom, nFrom + more.Rows() - 1);
    for (int r = 0; r < more.Rows(); ++r)
        m_rows.AppendRow(more.Row(r));
    endInsertRows();
}

void CGridModel::FetchAll() {
    while (canFetchMore(QModelIndex()))
        fetchMore(QModelIndex());
}

int CGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : GetRows() - 1;
}

int CGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nCols - 1;
}

namespace {
// Numbers and sums of money ("12.50", "-3元", "￥1,200.00") sit on the right of their cell,
// other texts on the left, so amounts line up whichever grid shows them. An amount is
// [spaces] [sign] [￥] [spaces] [sign] digit [digits and commas] [. digits] [spaces] [元]
// [spaces], spaces and digits being ASCII ones; read in one pass, since every cell asks each
// time it is painted.
Qt::Alignment AlignmentOf(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto is = [&](auto fnTest) { return i < n && fnTest(text[i].unicode()); };
    const auto skip = [&](auto fnTest) {
        while (is(fnTest))
            ++i;
    };
    const auto space = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
    const auto sign = [](char16_t c) { return c == u'-' || c == u'+'; };
    const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    const auto optional = [&](auto fnTest) {
        if (is(fnTest))
            ++i;
    };
    skip(space);
    optional(sign);
    optional([](char16_t c) { return c == u'\uFFE5'; });
    skip(space);
    optional(sign);
    bool bNumber = is(digit);
    if (bNumber) {
        skip([&](char16_t c) { return digit(c) || c == u','; });
        if (is([](char16_t c) { return c == u'.'; })) {
            ++i;
            skip(digit);
        }
        skip(space);
        optional([](char16_t c) { return c == u'\u5143'; });
        skip(space);
        bNumber = i == n;
    }
    return Qt::AlignVCenter | (bNumber ? Qt::AlignRight : Qt::AlignLeft);
}
} // namespace

QVariant CGridModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid())
        return QVariant();
    if (nRole == Qt::DisplayRole)
        return Text(index.row() + 1, index.column() + 1);
    if (nRole == Qt::TextAlignmentRole)
        return QVariant::fromValue(AlignmentOf(m_rows.View(index.row(), index.column() + 1)));
    if ((nRole == Qt::BackgroundRole || nRole == Qt::ToolTipRole) &&
        m_marks.contains(index.row() + 1)) {
        const SRowMark& mark = m_marks[index.row() + 1];
        return nRole == Qt::BackgroundRole ? QVariant(mark.color) : QVariant(mark.strTip);
    }
    return QVariant();
}

QVariant CGridModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const {
    if (nRole == Qt::DisplayRole) {
        return eOrientation == Qt::Horizontal ? Text(0, nSection + 1) : Text(nSection + 1, 0);
    }
    if (nRole == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (nRole == Qt::ToolTipRole && eOrientation == Qt::Vertical && m_marks.contains(nSection + 1))
        return m_marks[nSection + 1].strTip;
    return QVariant();
}

void CGridModel::SetRowMark(int nRow, const QColor& color, const QString& strTip) {
    if (nRow < 1 || nRow >= GetRows())
        return;
    if (color.isValid())
        m_marks[nRow] = {color, strTip};
    else if (m_marks.remove(nRow) == 0)
        return;
    if (m_nCols > 1)
        Q_EMIT dataChanged(index(nRow - 1, 0), index(nRow - 1, m_nCols - 2),
                           {Qt::BackgroundRole, Qt::ToolTipRole});
    Q_EMIT headerDataChanged(Qt::Vertical, nRow - 1, nRow - 1);
}

Qt::ItemFlags CGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
