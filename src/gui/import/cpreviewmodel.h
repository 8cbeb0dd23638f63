#pragma once

#include "import/cimporter.h"

#include <QAbstractTableModel>
#include <QStringList>

// The rows of the import preview for a table view: a tick box, date, income or outlay,
// category, note, amount, account and why a row is greyed. Category and account are
// edited in place; a model (not item widgets) keeps 100,000 rows quick.
class CPreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum EColumn { Tick, Date, Kind, Sort, Note, Amount, Account, Reason, ColumnCount };
    // Qt::UserRole on Sort / Account: the choices for the editor.
    static constexpr int ChoicesRole = Qt::UserRole + 1;

    explicit CPreviewModel(QObject* pParent = nullptr);

    void SetRows(CPreviewRows rows, const QStringList& accounts);
    // The rules a row turned back from a transfer takes its category from.
    void SetRules(const QVector<SImportRule>& rules);
    // "转账：银行": the category column's choice that makes a row a transfer with an account.
    static QString TransferChoice(const QString& strAccount);
    const CPreviewRows& Rows() const { return m_rows; }
    CPreviewRows& Rows() {
        m_nCached = -1; // the caller may change them
        return m_rows;
    }
    void Refresh();                  // after the rows changed outside (rules applied)
    void SetAllTicked(bool bTicked); // only rows that move money

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int nRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int nRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation, int nRole) const override;

Q_SIGNALS:
    void TicksChanged();

private:
    // The row being drawn, made whole once for all its cells and roles.
    const SPreviewRow& Row(int nRow) const;
    void SetRow(int nRow, const SPreviewRow& row);

    CPreviewRows m_rows;
    mutable int m_nCached = -1;
    mutable SPreviewRow m_cached;
    QStringList m_accounts;
    QVector<SImportRule> m_rules;
};
