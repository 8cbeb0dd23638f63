#include "ccombodelegate.h"

#include <QComboBox>

CComboDelegate::CComboDelegate(int nChoicesRole, QObject* pParent)
    : QStyledItemDelegate(pParent), m_nChoicesRole(nChoicesRole) {}

QWidget* CComboDelegate::createEditor(QWidget* pParent, const QStyleOptionViewItem&,
                                      const QModelIndex& index) const {
    auto* pCombo = new QComboBox(pParent);
    pCombo->addItems(index.data(m_nChoicesRole).toStringList());
    // The choice counts at once, without leaving the cell first.
    connect(pCombo, &QComboBox::activated, this,
            [this, pCombo] { emit const_cast<CComboDelegate*>(this)->commitData(pCombo); });
    return pCombo;
}

void CComboDelegate::setEditorData(QWidget* pEditor, const QModelIndex& index) const {
    auto* pCombo = static_cast<QComboBox*>(pEditor);
    pCombo->setCurrentIndex(pCombo->findText(index.data(Qt::EditRole).toString()));
}

void CComboDelegate::setModelData(QWidget* pEditor, QAbstractItemModel* pModel,
                                  const QModelIndex& index) const {
    pModel->setData(index, static_cast<QComboBox*>(pEditor)->currentText(), Qt::EditRole);
}
