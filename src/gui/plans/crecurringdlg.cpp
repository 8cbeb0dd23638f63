#include "plans/crecurringdlg.h"

#include "data/cmoney.h"
#include "plans/crecurringeditdlg.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString DayText(const QDate& day) {
    return day.isValid() ? day.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

} // namespace

CRecurringDlg::CRecurringDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CRecurringDlg"));
    setWindowTitle(tr("周期记录"));
    m_pList = new QTreeWidget(this);
    m_pList->setObjectName(QString::number(IDC_LIST));
    m_pList->setRootIsDecorated(false);
    m_pList->setHeaderLabels(
        {tr("内容"), tr("账号"), tr("金额"), tr("周期"), tr("开始"), tr("结束"), tr("状态")});
    m_pList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    const auto button = [this](int nId, const QString& strText) {
        auto* p = new QPushButton(strText, this);
        p->setObjectName(QString::number(nId));
        p->setAutoDefault(false);
        return p;
    };
    QPushButton* pAdd = button(IDC_ADD, tr("添加(&A)..."));
    m_pChange = button(IDC_CHANGE, tr("修改(&M)..."));
    m_pPause = button(IDC_PAUSE, tr("暂停(&P)"));
    m_pDelete = button(IDC_DELETE, tr("删除(&D)"));
    QPushButton* pClose = button(IDCANCEL, tr("关闭"));
    connect(pAdd, &QPushButton::clicked, this, &CRecurringDlg::OnAdd);
    connect(m_pChange, &QPushButton::clicked, this, &CRecurringDlg::OnChange);
    connect(m_pPause, &QPushButton::clicked, this, &CRecurringDlg::OnPause);
    connect(m_pDelete, &QPushButton::clicked, this, &CRecurringDlg::OnDelete);
    connect(pClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CRecurringDlg::UpdateButtons);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, &CRecurringDlg::OnChange);
    auto* pButtons = new QVBoxLayout;
    for (QPushButton* p : {pAdd, m_pChange, m_pPause, m_pDelete})
        pButtons->addWidget(p);
    pButtons->addStretch(1);
    pButtons->addWidget(pClose);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->addWidget(m_pList, 1);
    pLayout->addLayout(pButtons);
    resize(860, 380);
}

QString CRecurringDlg::WhatText(const CRecurring::STemplate& t) {
    if (t.eKind == CRecurring::EKind::Transfer)
        return tr("转账　%1 → %2").arg(t.strBank, t.strToBank) +
               (t.strNote.isEmpty() ? QString() : QStringLiteral("　") + t.strNote);
    return t.strSort + (t.strNote.isEmpty() ? QString() : QStringLiteral("　") + t.strNote);
}

void CRecurringDlg::OnInitDialog() {
    const qint64 nWas = Selected() ? Selected()->nId : 0;
    m_pList->clear();
    m_templates.clear();
    CMessageBox::Guarded(this, [&] { m_templates = CRecurring::List(m_pSession->UserName()); });
    for (const CRecurring::STemplate& t : std::as_const(m_templates)) {
        auto* pItem = new QTreeWidgetItem(m_pList);
        pItem->setText(0, WhatText(t));
        pItem->setText(1, t.eKind == CRecurring::EKind::Transfer ? QString() : t.strBank);
        pItem->setText(2, CMoney::Format(CMoney::FromCents(t.nCents)));
        pItem->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        pItem->setText(3, CRecurring::RuleText(t));
        pItem->setText(4, DayText(t.start));
        pItem->setText(5, t.end.isValid() ? DayText(t.end) : tr("不结束"));
        pItem->setText(6, t.bPaused ? tr("已暂停") : tr("进行中"));
        if (t.nId == nWas)
            m_pList->setCurrentItem(pItem);
    }
    UpdateButtons();
}

const CRecurring::STemplate* CRecurringDlg::Selected() const {
    const int nRow = m_pList->indexOfTopLevelItem(m_pList->currentItem());
    return nRow >= 0 && nRow < m_templates.size() ? &m_templates[nRow] : nullptr;
}

void CRecurringDlg::UpdateButtons() {
    const CRecurring::STemplate* p = Selected();
    for (QPushButton* pButton : {m_pChange, m_pPause, m_pDelete})
        pButton->setEnabled(p != nullptr);
    m_pPause->setText(p && p->bPaused ? tr("恢复(&P)") : tr("暂停(&P)"));
}

void CRecurringDlg::OnAdd() {
    CRecurringEditDlg dlg(m_pSession, CRecurring::STemplate(), this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    CMessageBox::Guarded(this, [&] {
        CRecurring::Add(m_pSession->UserName(), dlg.m_template, m_pSession->UserId());
    });
    OnInitDialog();
    for (int r = 0; r < m_templates.size(); ++r)
        if (m_templates[r].nId == dlg.m_template.nId)
            m_pList->setCurrentItem(m_pList->topLevelItem(r));
}

void CRecurringDlg::OnChange() {
    const CRecurring::STemplate* p = Selected();
    if (!p)
        return;
    CRecurringEditDlg dlg(m_pSession, *p, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    CRecurring::EChange eChange = CRecurring::EChange::Done;
    if (CMessageBox::Guarded(this,
                             [&] {
                                 eChange = CRecurring::Change(m_pSession->UserName(),
                                                              dlg.m_template, m_pSession->UserId());
                             }) &&
        eChange != CRecurring::EChange::Done)
        CMessageBox::ShowMessage(CRecurring::Message(eChange), this);
    OnInitDialog();
}

void CRecurringDlg::OnPause() {
    const CRecurring::STemplate* p = Selected();
    if (!p)
        return;
    CRecurring::EChange eChange = CRecurring::EChange::Done;
    if (CMessageBox::Guarded(this,
                             [&] {
                                 eChange = CRecurring::SetPaused(m_pSession->UserName(), p->nId,
                                                                 !p->bPaused, m_pSession->UserId());
                             }) &&
        eChange != CRecurring::EChange::Done)
        CMessageBox::ShowMessage(CRecurring::Message(eChange), this);
    OnInitDialog();
}

void CRecurringDlg::OnDelete() {
    const CRecurring::STemplate* p = Selected();
    if (!p)
        return;
    if (!CMessageBox::AskOkCancel(
            tr("删除周期记录“%1”？已经记入的记录不受影响。").arg(WhatText(*p)), tr("删除周期记录"),
            this))
        return;
    CRecurring::EChange eChange = CRecurring::EChange::Done;
    if (CMessageBox::Guarded(this,
                             [&] {
                                 eChange = CRecurring::Remove(m_pSession->UserName(), p->nId,
                                                              m_pSession->UserId());
                             }) &&
        eChange != CRecurring::EChange::Done)
        CMessageBox::ShowMessage(CRecurring::Message(eChange), this);
    OnInitDialog();
}
