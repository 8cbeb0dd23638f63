#include "cimportpreviewpage.h"

#include "ccombodelegate.h"
#include "cimportprogress.h"
#include "cimportrulesdlg.h"
#include "cimportwizard.h"
#include "cpreviewmodel.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "import/cimportjob.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

CImportPreviewPage::CImportPreviewPage(CImportWizard* pWizard) : m_pWizard(pWizard) {
    setObjectName(QStringLiteral("CImportPreviewPage"));
    setTitle(tr("第二步：检查每一行"));
    setSubTitle(tr("灰色的行不会导入。可以改每行的类别和账户。"));
    setCommitPage(true);
    setButtonText(QWizard::CommitButton, tr("导入(&I)"));

    m_pSummary = new QLabel(this);
    m_pSummary->setObjectName(QString::number(IDC_SUMMARY));
    m_pSummary->setWordWrap(true);
    m_pTable = new QTableView(this);
    m_pTable->setObjectName(QString::number(IDC_TABLE));
    m_pTable->setModel(m_pWizard->m_pModel);
    auto* pDelegate = new CComboDelegate(CPreviewModel::ChoicesRole, m_pTable);
    m_pTable->setItemDelegateForColumn(CPreviewModel::Sort, pDelegate);
    m_pTable->setItemDelegateForColumn(CPreviewModel::Account, pDelegate);
    m_pTable->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 8);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->setWordWrap(false);

    auto* pAll = new QPushButton(tr("全选(&A)"), this);
    pAll->setObjectName(QString::number(IDC_ALL));
    auto* pNone = new QPushButton(tr("全不选(&U)"), this);
    pNone->setObjectName(QString::number(IDC_NONE));
    auto* pRules = new QPushButton(tr("分类规则(&R)…"), this);
    pRules->setObjectName(QString::number(IDC_RULES));
    auto* pSame = new QPushButton(tr("以后同样处理(&S)"), this);
    pSame->setObjectName(QString::number(IDC_SAME_RULE));
    pSame->setToolTip(tr("把当前行的类别记成规则：以后交易对方相同的行都归入这个类别。"));
    m_pChecked = new QCheckBox(tr("列是猜的，请核对：我已核对各列"), this);
    m_pChecked->setObjectName(QString::number(IDC_CHECKED));
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pChecked, 1);
    pButtons->addWidget(pAll);
    pButtons->addWidget(pNone);
    pButtons->addWidget(pSame);
    pButtons->addWidget(pRules);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pSummary);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(m_pTable, 1);
    connect(pSame, &QPushButton::clicked, this, [this] {
        const QModelIndex current = m_pTable->currentIndex();
        if (!current.isValid()) {
            CMessageBox::ShowMessage(tr("请先选中一行。"), this);
            return;
        }
        SaveRuleFor(current.row());
    });

    connect(pAll, &QPushButton::clicked, this, [this] { m_pWizard->m_pModel->SetAllTicked(true); });
    connect(pNone, &QPushButton::clicked, this,
            [this] { m_pWizard->m_pModel->SetAllTicked(false); });
    connect(pRules, &QPushButton::clicked, this, &CImportPreviewPage::OnRules);
    connect(m_pWizard->m_pModel, &CPreviewModel::TicksChanged, this,
            &CImportPreviewPage::UpdateSummary);
}

void CImportPreviewPage::initializePage() {
    // Widths in character heights, so the reason column stays in sight at the default size.
    const int nChar = m_pTable->fontMetrics().height();
    const double widths[] = {2.6, 5.5, 5, 5.5, 13, 4.5, 5};
    for (int i = 0; i < int(std::size(widths)); ++i)
        m_pTable->setColumnWidth(i, int(nChar * widths[i]));
    m_pChecked->setChecked(false);
    m_pChecked->setVisible(m_pWizard->m_statement.bGuessedLayout);
    UpdateSummary();
}

void CImportPreviewPage::UpdateSummary() {
    const CImporter::STotals t = CImporter::Totals(std::as_const(*m_pWizard->m_pModel).Rows());
    auto yuan = [](std::int64_t nCents) { return CMoney::FormatYuan(CMoney::FromCents(nCents)); };
    m_pSummary->setText(tr("共 %1 行，勾选 %2 行：收入 %3，支出 %4，净额 %5。")
                            .arg(t.nRows)
                            .arg(t.nTicked)
                            .arg(yuan(t.nIncome), yuan(t.nOutlay), yuan(t.Net())));
    QStringList counts;
    for (const auto& c : t.greyed)
        counts << tr("%1 %2 行").arg(c.first).arg(c.second);
    setSubTitle(counts.isEmpty()
                    ? tr("每一行都会导入。可以改每行的类别和账户。")
                    : tr("不导入的行：%1。可以改每行的类别和账户。").arg(counts.join(tr("，"))));
}

void CImportPreviewPage::ApplyRules(const QVector<SImportRule>& rules) {
    if (!CMessageBox::Guarded(this, [&] {
            m_pWizard->m_importer.SaveRules(rules);
            m_pWizard->m_rules = m_pWizard->m_importer.Rules();
        }))
        return;
    CImporter::ApplyRules(m_pWizard->m_pModel->Rows(), m_pWizard->m_rules);
    m_pWizard->m_pModel->SetRules(m_pWizard->m_rules);
    m_pWizard->m_pModel->Refresh();
}

void CImportPreviewPage::SaveRuleFor(int nRow) {
    const CPreviewRows& rows = m_pWizard->m_pModel->Rows();
    if (nRow < 0 || nRow >= rows.size())
        return;
    const SImportRule rule = CImporter::RuleFor(rows.at(nRow));
    if (rows.Source().Type(nRow) == SStatementRow::EType::Transfer || rule.strKeyword.isEmpty()) {
        CMessageBox::ShowMessage(tr("这一行没有交易对方或说明，无法记成规则。"), this);
        return;
    }
    QVector<SImportRule> rules = m_pWizard->m_rules;
    CImporter::AddRule(rules, rule);
    // The row the rule came from keeps its category as chosen; the others follow the rule.
    ApplyRules(rules);
}

void CImportPreviewPage::OnRules() {
    CImportRulesDlg dlg(m_pWizard->m_rules, std::as_const(*m_pWizard->m_pModel).Rows().Sorts(),
                        this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    ApplyRules(dlg.Rules());
}

bool CImportPreviewPage::validatePage() {
    const CPreviewRows& rows = std::as_const(*m_pWizard->m_pModel).Rows();
    int nTicked = 0;
    for (int i = 0; i < rows.size(); ++i)
        nTicked += rows.IsTicked(i) ? 1 : 0;
    if (nTicked == 0) {
        CMessageBox::ShowMessage(tr("没有勾选任何一行。"), this);
        return false;
    }
    if (!m_pChecked->isHidden() && !m_pChecked->isChecked()) {
        CMessageBox::ShowMessage(tr("各列的含义是猜的。请核对日期、金额和收支是否读对，"
                                    "然后勾选“我已核对各列”。"),
                                 this);
        return false;
    }
    if (m_pWizard->m_statement.bGuessedLayout && !m_pWizard->m_strLayoutKey.isEmpty())
        CMessageBox::Guarded(this, [&] {
            m_pWizard->m_importer.SaveMapping(m_pWizard->m_strLayoutKey, m_pWizard->m_mapping);
        });
    // Written on the job's own connection in one transaction; cancelling rolls it back.
    auto pResult = std::make_shared<CImporter::SResult>();
    CImportJob job(m_pWizard->m_pSession->UserName(), m_pWizard->m_pSession->UserId());
    job.Start([pResult, rows](CImporter& importer, const CImporter::FProgress& progress) {
        *pResult = importer.Import(rows, progress);
    });
    CImportProgress progress(tr("正在导入…"), this);
    // Cancelled too late to stop it, the import may have committed: its result says so.
    progress.Run(job);
    if (!CMessageBox::Guarded(this, [&] { job.RethrowError(); }))
        return false;
    m_pWizard->m_result = *pResult;
    if (!m_pWizard->m_result.bDone) {
        CMessageBox::ShowMessage(tr("导入已取消，没有写入任何记录。"), this);
        return false;
    }
    return true;
}
