#include "cpreviewmodel.h"

#include "data/cmoney.h"

#include <QBrush>
#include <QPalette>

CPreviewModel::CPreviewModel(QObject* pParent) : QAbstractTableModel(pParent) {}

QString CPreviewModel::TransferChoice(const QString& strAccount) {
    return tr("转账：") + strAccount;
}

void CPreviewModel::SetRules(const QVector<SImportRule>& rules) {
    m_rules = rules;
}

const SPreviewRow& CPreviewModel::Row(int nRow) const {
    if (nRow != m_nCached) {
        m_cached = m_rows.at(nRow);
        m_nCached = nRow;
    }
    return m_cached;
}

void CPreviewModel::SetRow(int nRow, const SPreviewRow& row) {
    m_rows.Set(nRow, row);
    m_nCached = -1;
}

void CPreviewModel::SetRows(CPreviewRows rows, const QStringList& accounts) {
    beginResetModel();
    m_rows = std::move(rows);
    m_nCached = -1;
    m_accounts = accounts;
    endResetModel();
    emit TicksChanged();
}

void CPreviewModel::Refresh() {
    m_nCached = -1;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
    emit TicksChanged();
}

void CPreviewModel::SetAllTicked(bool bTicked) {
    for (int i = 0; i < m_rows.size(); ++i)
        m_rows.SetTicked(i, bTicked && m_rows.State(i) == SPreviewRow::EState::New);
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
        return nRole == Qt::DisplayRole && nSection >= 0 && nSection < m_rows.size()
                   ? QVariant(m_rows.Source().Line(nSection))
                   : QVariant();
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
        return tr("账户");
    case Reason:
        return tr("说明");
    }
    return QVariant();
}

QVariant CPreviewModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    if (nRole == Qt::CheckStateRole)
        return index.column() == Tick
                   ? QVariant(m_rows.IsTicked(index.row()) ? Qt::Checked : Qt::Unchecked)
                   : QVariant();
    const SPreviewRow& r = Row(index.row());
    const bool bTransfer = r.src.eType == SStatementRow::EType::Transfer;
    if (nRole == Qt::CheckStateRole && index.column() == Tick)
        return r.bTicked ? Qt::Checked : Qt::Unchecked;
    if (nRole == Qt::ForegroundRole && r.eState != SPreviewRow::EState::New)
        return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
    if (nRole == Qt::TextAlignmentRole && index.column() == Amount)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (nRole == ChoicesRole) {
        if (index.column() == Sort && !r.strUnknownAccount.isEmpty()) {
            // A transfer to an account the book lacks: a category, or one of the accounts.
            const ERecordKind eKind =
                r.src.bTransferOut ? ERecordKind::Outlay : ERecordKind::Income;
            QStringList choices = m_rows.Sorts().Of(eKind);
            const bool bTransfer = r.src.eType == SStatementRow::EType::Transfer;
            const QString strOwn =
                bTransfer && !r.src.bTransferOut ? r.strTransferTo : r.strAccount;
            for (const QString& a : m_accounts)
                if (a != strOwn)
                    choices << TransferChoice(a);
            return choices;
        }
        if (index.column() == Sort)
            return m_rows.Sorts().Of(r.src.Kind());
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
            return tr("转账");
        if (r.eState == SPreviewRow::EState::NotMoney && r.src.bNeutral)
            return tr("不计");
        return r.src.eType == SStatementRow::EType::Income ? tr("收入") : tr("支出");
    case Sort:
        if (bTransfer && !r.strUnknownAccount.isEmpty())
            return TransferChoice(r.src.bTransferOut ? r.strTransferTo : r.strAccount);
        return bTransfer ? QVariant() : QVariant(r.strSort);
    case Note:
        return r.Note();
    case Amount:
        return CMoney::Format(CMoney::FromCents(r.src.nCents));
    case Account:
        return bTransfer ? QVariant(r.strAccount + QStringLiteral(" → ") + r.strTransferTo)
                         : QVariant(r.strAccount);
    case Reason:
        if (r.eState == SPreviewRow::EState::Duplicate)
            return tr("重复：%1").arg(r.strReason);
        if (r.eState == SPreviewRow::EState::New)
            return r.src.strRemark;
        return r.strReason;
    }
    return QVariant();
}

bool CPreviewModel::setData(const QModelIndex& index, const QVariant& value, int nRole) {
    if (!index.isValid() || index.row() >= m_rows.size())
        return false;
    if (index.column() == Tick && nRole == Qt::CheckStateRole) {
        m_rows.SetTicked(index.row(), value.toInt() == Qt::Checked);
        m_nCached = -1;
        emit dataChanged(index, index);
        emit TicksChanged();
        return true;
    }
    if (nRole != Qt::EditRole)
        return false;
    SPreviewRow r = Row(index.row());
    const QString strValue = value.toString();
    if (index.column() == Sort && !r.strUnknownAccount.isEmpty()) {
        // A transfer to an account the book lacks: "转账：账户" makes it a transfer, a
        // category an outlay or income again.
        const QString strPrefix = TransferChoice(QString());
        const bool bToAccount = strValue.startsWith(strPrefix);
        const QString strAccount = bToAccount ? strValue.mid(strPrefix.size()) : QString();
        const ERecordKind eKind = r.src.bTransferOut ? ERecordKind::Outlay : ERecordKind::Income;
        if (bToAccount ? !m_accounts.contains(strAccount)
                       : !m_rows.Sorts().Of(eKind).contains(strValue))
            return false;
        if (!CImporter::SetTransferAccount(r, strAccount, m_rules, m_rows.Sorts()))
            return false;
        if (!bToAccount) {
            r.strSort = strValue;
            r.bSortByHand = true;
        }
        SetRow(index.row(), r);
        emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
        emit TicksChanged();
        return true;
    }
    if (index.column() == Sort && m_rows.Sorts().Of(r.src.Kind()).contains(value.toString())) {
        r.strSort = value.toString();
        r.bSortByHand = true;
    } else if (index.column() == Account && m_accounts.contains(value.toString())) {
        r.strAccount = value.toString();
    } else {
        return false;
    }
    SetRow(index.row(), r);
    emit dataChanged(index, index);
    emit TicksChanged();
    return true;
}

Qt::ItemFlags CPreviewModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid() || index.row() >= m_rows.size())
        return f;
    const int nRow = index.row();
    const bool bTransfer = m_rows.Source().Type(nRow) == SStatementRow::EType::Transfer;
    if (index.column() == Tick)
        f |= Qt::ItemIsUserCheckable;
    // A row that moves no money cannot be ticked; a duplicate can, if the user insists.
    if (index.column() == Tick && m_rows.State(nRow) == SPreviewRow::EState::NotMoney)
        f &= ~Qt::ItemIsEnabled;
    if (!bTransfer && (index.column() == Sort || index.column() == Account))
        f |= Qt::ItemIsEditable;
    if (index.column() == Sort && m_rows.HasUnknownAccount(nRow))
        f |= Qt::ItemIsEditable;
    return f;
}
