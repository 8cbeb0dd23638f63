#include "cimportdonepage.h"

#include "cimportwizard.h"
#include "data/cmoney.h"

#include <QLabel>
#include <QVBoxLayout>

CImportDonePage::CImportDonePage(CImportWizard* pWizard) : m_pWizard(pWizard) {
    setObjectName(QStringLiteral("CImportDonePage"));
    setTitle(tr("第三步：导入完成"));
    m_pText = new QLabel(this);
    m_pText->setObjectName(QString::number(IDC_TEXT));
    m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pText);
    pLayout->addStretch(1);
}

void CImportDonePage::initializePage() {
    const CImporter::SResult& r = m_pWizard->m_result;
    QString s = tr("收入表新增 %1 行，支出表新增 %2 行，转账 %3 笔。")
                    .arg(r.nIncome)
                    .arg(r.nOutlay)
                    .arg(r.nTransfers);
    s += QStringLiteral("\n\n") + tr("现在的账户余额：");
    for (const auto& account : r.balances)
        s += QStringLiteral("\n    %1：%2").arg(account.first, CMoney::FormatYuan(account.second));
    m_pText->setText(s);
}
