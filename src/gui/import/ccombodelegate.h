#pragma once

#include <QStyledItemDelegate>

// Edits a cell with a drop-down list of the choices its model gives under a role.
class CComboDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    CComboDelegate(int nChoicesRole, QObject* pParent = nullptr);
    QWidget* createEditor(QWidget* pParent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* pEditor, const QModelIndex& index) const override;
    void setModelData(QWidget* pEditor, QAbstractItemModel* pModel,
                      const QModelIndex& index) const override;

private:
    int m_nChoicesRole;
};
