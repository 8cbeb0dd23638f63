#include "cimportrulesdlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CImportRulesDlg::CImportRulesDlg(const QVector<SImportRule>& rules, const SImportSorts& sorts,
                                 QWidget* pParent)
    : QDialog(pParent), m_sorts(sorts) {
    setObjectName(QStringLiteral("CImportRulesDlg"));
    setWindowTitle(tr("分类规则"));
    m_pTable = new QTableWidget(0, 3, this);
    m_pTable->setObjectName(QStringLiteral("1150"));
    m_pTable->setHorizontalHeaderLabels(
        {tr("关键词（交易对方或商品中含有）"), tr("收支"), tr("类别")});
    m_pTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (const SImportRule& r : rules)
        AddRow(r);

    auto* pAdd = new QPushButton(tr("添加(&A)"), this);
    pAdd->setObjectName(QStringLiteral("1151"));
    auto* pRemove = new QPushButton(tr("删除(&D)"), this);
    pRemove->setObjectName(QStringLiteral("1152"));
    auto* pBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pBox->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    pBox->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    pBox->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    pBox->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(pAdd);
    pRow->addWidget(pRemove);
    pRow->addStretch(1);
    pRow->addWidget(pBox);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTable, 1);
    pLayout->addLayout(pRow);
    resize(560, 420);

    connect(pAdd, &QPushButton::clicked, this, [this] {
        AddRow({QString(), ERecordKind::Outlay, m_sorts.outlay.value(0)});
        m_pTable->setCurrentCell(m_pTable->rowCount() - 1, 0);
        m_pTable->editItem(m_pTable->item(m_pTable->rowCount() - 1, 0));
    });
    connect(pRemove, &QPushButton::clicked, this, [this] {
        if (m_pTable->currentRow() >= 0)
            m_pTable->removeRow(m_pTable->currentRow());
    });
    connect(pBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CImportRulesDlg::AddRow(const SImportRule& rule) {
    const int nRow = m_pTable->rowCount();
    m_pTable->insertRow(nRow);
    m_pTable->setItem(nRow, 0, new QTableWidgetItem(rule.strKeyword));
    auto* pKind = new QComboBox(m_pTable);
    pKind->addItems({tr("收入"), tr("支出")});
    pKind->setCurrentIndex(rule.eKind == ERecordKind::Income ? 0 : 1);
    auto* pSort = new QComboBox(m_pTable);
    pSort->addItems(m_sorts.Of(rule.eKind));
    pSort->setCurrentText(rule.strSort);
    // The categories follow the kind chosen.
    connect(pKind, &QComboBox::currentIndexChanged, pSort, [this, pSort](int nIndex) {
        pSort->clear();
        pSort->addItems(m_sorts.Of(nIndex == 0 ? ERecordKind::Income : ERecordKind::Outlay));
    });
    m_pTable->setCellWidget(nRow, 1, pKind);
    m_pTable->setCellWidget(nRow, 2, pSort);
}

QVector<SImportRule> CImportRulesDlg::Rules() const {
    QVector<SImportRule> rules;
    for (int i = 0; i < m_pTable->rowCount(); ++i) {
        const QString strKeyword =
            m_pTable->item(i, 0) ? m_pTable->item(i, 0)->text().trimmed() : QString();
        if (strKeyword.isEmpty())
            continue;
        const auto* pKind = static_cast<QComboBox*>(m_pTable->cellWidget(i, 1));
        const auto* pSort = static_cast<QComboBox*>(m_pTable->cellWidget(i, 2));
        rules.append({strKeyword,
                      pKind->currentIndex() == 0 ? ERecordKind::Income : ERecordKind::Outlay,
                      pSort->currentText()});
    }
    return rules;
}
