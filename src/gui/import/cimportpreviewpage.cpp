#include "cimportpreviewpage.h"

#include "ccombodelegate.h"
#include "cimportprogress.h"
#include "cimportrulesdlg.h"
#include "cimportwizard.h"
#include "cpreviewmodel.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "import/cimportjob.h"
#include "widgets/cmessagebox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

CImportPreviewPage::CImportPreviewPage(CImportWizard* pWizard) : m_pWizard(pWizard) {
    setObjectName(QStringLiteral("CImportPreviewPage"));
    setTitle(tr("第二步：检查每一行"));
    setSubTitle(tr("灰色的行不计收支或已在帐本中，不会导入。可以改每行的类别和帐户。"));
    setCommitPage(true);
    setButtonText(QWizard::CommitButton, tr("导入(&I)"));

    m_pSummary = new QLabel(this);
    m_pSummary->setObjectName(QStringLiteral("1120"));
    m_pTable = new QTableView(this);
    m_pTable->setObjectName(QStringLiteral("1121"));
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
    pAll->setObjectName(QStringLiteral("1122"));
    auto* pNone = new QPushButton(tr("全不选(&U)"), this);
    pNone->setObjectName(QStringLiteral("1123"));
    auto* pRules = new QPushButton(tr("分类规则(&R)…"), this);
    pRules->setObjectName(QStringLiteral("1124"));
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pSummary, 1);
    pButtons->addWidget(pAll);
    pButtons->addWidget(pNone);
    pButtons->addWidget(pRules);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(m_pTable, 1);

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
    UpdateSummary();
}

void CImportPreviewPage::UpdateSummary() {
    int nTicked = 0, nGrey = 0;
    std::int64_t nIn = 0, nOut = 0;
    for (const SPreviewRow& r : m_pWizard->m_pModel->Rows()) {
        if (r.eState != SPreviewRow::EState::New)
            ++nGrey;
        if (!r.bTicked)
            continue;
        ++nTicked;
        if (r.src.eType == SStatementRow::EType::Income)
            nIn += r.src.nCents;
        else if (r.src.eType == SStatementRow::EType::Outlay)
            nOut += r.src.nCents;
    }
    m_pSummary->setText(tr("共 %1 行，勾选 %2 行（收入 %3，支出 %4），%5 行不导入。")
                            .arg(m_pWizard->m_pModel->Rows().size())
                            .arg(nTicked)
                            .arg(CMoney::FormatYuan(CMoney::FromCents(nIn)),
                                 CMoney::FormatYuan(CMoney::FromCents(nOut)))
                            .arg(m_pWizard->m_pModel->Rows().size() - nTicked));
    Q_UNUSED(nGrey);
}

void CImportPreviewPage::OnRules() {
    CImportRulesDlg dlg(m_pWizard->m_rules, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (!CMessageBox::Guarded(this, [&] {
            m_pWizard->m_importer.SaveRules(dlg.Rules());
            m_pWizard->m_rules = m_pWizard->m_importer.Rules();
        }))
        return;
    CImporter::ApplyRules(m_pWizard->m_pModel->Rows(), m_pWizard->m_rules);
    m_pWizard->m_pModel->Refresh();
}

bool CImportPreviewPage::validatePage() {
    int nTicked = 0;
    for (const SPreviewRow& r : m_pWizard->m_pModel->Rows())
        nTicked += r.bTicked ? 1 : 0;
    if (nTicked == 0) {
        CMessageBox::ShowMessage(tr("没有勾选任何一行。"), this);
        return false;
    }
    // Written on the job's own connection in one transaction; cancelling rolls it back.
    auto pResult = std::make_shared<CImporter::SResult>();
    CImportJob job(m_pWizard->m_strUser, m_pWizard->m_nSessionUser);
    job.Start([pResult, rows = m_pWizard->m_pModel->Rows()](CImporter& importer,
                                                            const CImporter::FProgress& progress) {
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
