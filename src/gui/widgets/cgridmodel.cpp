#include "widgets/cgridmodel.h"

#include <QRegularExpression>

CGridModel::CGridModel(QObject* pParent) : QAbstractTableModel(pParent) {}

void CGridModel::SetRows(int nRows) {
    nRows = qMax(1, nRows);
    const int nOld = GetRows();
    if (nRows > nOld) {
        beginInsertRows(QModelIndex(), nOld - 1, nRows - 2);
        m_rows.resize(nRows);
        endInsertRows();
    } else if (nRows < nOld) {
        beginRemoveRows(QModelIndex(), nRows - 1, nOld - 2);
        m_rows.resize(nRows);
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
    if (nCols < m_nCols) {
        for (QStringList& row : m_rows) {
            if (row.size() > nCols)
                row.erase(row.begin() + nCols, row.end());
        }
    }
    m_nCols = nCols;
    endResetModel();
}

QString CGridModel::Text(int nRow, int nCol) const {
    if (nRow < 0 || nRow >= GetRows() || nCol < 0 || nCol >= m_nCols)
        return QString();
    return m_rows.at(nRow).value(nCol);
}

void CGridModel::SetText(int nRow, int nCol, const QString& strText) {
    if (nRow < 0 || nRow >= GetRows() || nCol < 0 || nCol >= m_nCols)
        return;
    QStringList& row = m_rows[nRow];
    if (row.size() <= nCol) {
        if (strText.isEmpty())
            return;
        while (row.size() <= nCol)
            row.append(QString());
    }
    if (row.at(nCol) == strText)
        return;
    row[nCol] = strText;
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
    beginResetModel();
    m_rows.resize(1);
    m_rows.reserve(rows.size() + 1);
    for (const QStringList& row : rows)
        m_rows.append(row.size() > m_nCols ? row.mid(0, m_nCols) : row);
    endResetModel();
}

int CGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : GetRows() - 1;
}

int CGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nCols - 1;
}

namespace {
// Numbers and sums of money ("12.50", "-3元", "￥1,200.00") sit on the right of their cell,
// other texts on the left, so amounts line up whichever grid shows them.
Qt::Alignment AlignmentOf(const QString& strText) {
    static const QRegularExpression rxMoney(
        QStringLiteral("^\\s*[-+]?\\x{FFE5}?\\s*[-+]?\\d[\\d,]*(\\.\\d*)?\\s*\\x{5143}?\\s*$"));
    const bool bNumber = rxMoney.match(strText).hasMatch();
    return Qt::AlignVCenter | (bNumber ? Qt::AlignRight : Qt::AlignLeft);
}
} // namespace

QVariant CGridModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid())
        return QVariant();
    if (nRole == Qt::DisplayRole)
        return Text(index.row() + 1, index.column() + 1);
    if (nRole == Qt::TextAlignmentRole)
        return QVariant::fromValue(AlignmentOf(Text(index.row() + 1, index.column() + 1)));
    return QVariant();
}

QVariant CGridModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const {
    if (nRole == Qt::DisplayRole) {
        return eOrientation == Qt::Horizontal ? Text(0, nSection + 1) : Text(nSection + 1, 0);
    }
    if (nRole == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return QVariant();
}

Qt::ItemFlags CGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
