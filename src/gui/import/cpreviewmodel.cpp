#include "cpreviewmodel.h"

#include "data/cmoney.h"
#include "records/ccategories.h"

#include <QBrush>
#include <QPalette>

CPreviewModel::CPreviewModel(QObject* pParent) : QAbstractTableModel(pParent) {}

void CPreviewModel::SetRows(QVector<SPreviewRow> rows, const QStringList& accounts) {
    beginResetModel();
    m_rows = std::move(rows);
    m_accounts = accounts;
    endResetModel();
    emit TicksChanged();
}

void CPreviewModel::Refresh() {
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
    emit TicksChanged();
}

void CPreviewModel::SetAllTicked(bool bTicked) {
    for (SPreviewRow& r : m_rows)
        r.bTicked = bTicked && r.eState == SPreviewRow::EState::New;
    Refresh();
}

int CPreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CPreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CPreviewModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const {
    if (eOrientation == Qt::Vertical)
        return nRole == Qt::DisplayRole ? QVariant(m_rows.value(nSection).src.nLine) : QVariant();
    if (nRole != Qt::DisplayRole)
        return QVariant();
    switch (nSection) {
    case Tick:
        return tr("导入");
    case Date:
        return tr("日期");
    case Kind:
        return tr("收支");
    case Sort:
        return tr("类别");
    case Note:
        return tr("备注");
    case Amount:
        return tr("金额");
    case Account:
        return tr("帐户");
    case Reason:
        return tr("说明");
    }
    return QVariant();
}

QVariant CPreviewModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const SPreviewRow& r = m_rows[index.row()];
    const bool bTransfer = r.src.eType == SStatementRow::EType::Transfer;
    if (nRole == Qt::CheckStateRole && index.column() == Tick)
        return r.bTicked ? Qt::Checked : Qt::Unchecked;
    if (nRole == Qt::ForegroundRole && r.eState != SPreviewRow::EState::New)
        return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
    if (nRole == Qt::TextAlignmentRole && index.column() == Amount)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (nRole == ChoicesRole) {
        if (index.column() == Sort)
            return CCategories::Of(r.src.Kind());
        if (index.column() == Account)
            return m_accounts;
        return QVariant();
    }
    if (nRole != Qt::DisplayRole && nRole != Qt::EditRole && nRole != Qt::ToolTipRole)
        return QVariant();
    switch (index.column()) {
    case Date:
        return r.src.date.toString(Qt::ISODate);
    case Kind:
        if (bTransfer)
            return tr("转帐");
        return r.src.eType == SStatementRow::EType::Income ? tr("收入") : tr("支出");
    case Sort:
        return bTransfer ? QVariant() : QVariant(r.strSort);
    case Note:
        return r.strNote;
    case Amount:
        return CMoney::Format(CMoney::FromCents(r.src.nCents));
    case Account:
        return bTransfer ? QVariant(r.strAccount + QStringLiteral(" → ") + r.strTransferTo)
                         : QVariant(r.strAccount);
    case Reason:
        if (r.eState == SPreviewRow::EState::Duplicate)
            return tr("重复：%1").arg(r.strReason);
        if (r.eState == SPreviewRow::EState::New && r.src.bRefund)
            return tr("退款，记为收入");
        return r.strReason;
    }
    return QVariant();
}

bool CPreviewModel::setData(const QModelIndex& index, const QVariant& value, int nRole) {
    if (!index.isValid() || index.row() >= m_rows.size())
        return false;
    SPreviewRow& r = m_rows[index.row()];
    if (index.column() == Tick && nRole == Qt::CheckStateRole) {
        r.bTicked = value.toInt() == Qt::Checked;
        emit dataChanged(index, index);
        emit TicksChanged();
        return true;
    }
    if (nRole != Qt::EditRole)
        return false;
    if (index.column() == Sort && CCategories::Of(r.src.Kind()).contains(value.toString())) {
        r.strSort = value.toString();
        r.bSortByHand = true;
    } else if (index.column() == Account && m_accounts.contains(value.toString())) {
        r.strAccount = value.toString();
    } else {
        return false;
    }
    emit dataChanged(index, index);
    emit TicksChanged();
    return true;
}

Qt::ItemFlags CPreviewModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid() || index.row() >= m_rows.size())
        return f;
    const SPreviewRow& r = m_rows[index.row()];
    const bool bTransfer = r.src.eType == SStatementRow::EType::Transfer;
    if (index.column() == Tick)
        f |= Qt::ItemIsUserCheckable;
    // A row that moves no money cannot be ticked; a duplicate can, if the user insists.
    if (index.column() == Tick && r.eState == SPreviewRow::EState::NotMoney)
        f &= ~Qt::ItemIsEnabled;
    if (!bTransfer && (index.column() == Sort || index.column() == Account))
        f |= Qt::ItemIsEditable;
    return f;
}
