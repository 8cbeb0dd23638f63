#include "plans/cduedlg.h"

#include "data/cmoney.h"
#include "plans/crecurringdlg.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CDueDlg::CDueDlg(const CSession* pSession, const QVector<CRecurring::SDue>& due, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession), m_due(due), m_settled(due.size(), false) {
    setObjectName(QStringLiteral("CDueDlg"));
    setWindowTitle(tr("到期的周期记录"));
    auto* pHint = new QLabel(tr("以下周期记录已经到期。勾选要处理的行（金额可以先改），按“记入”"
                                "写入账本，或按“跳过”不再提醒。"),
                             this);
    pHint->setWordWrap(true);
    m_pTable = new QTableWidget(due.size(), 5, this);
    m_pTable->setObjectName(QString::number(IDC_DUE_LIST));
    m_pTable->setHorizontalHeaderLabels(
        {tr("日期"), tr("内容"), tr("账号"), tr("金额"), tr("结果")});
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < due.size(); ++r) {
        const CRecurring::STemplate& t = due[r].tmpl;
        const auto cell = [&](int nCol, const QString& strText, bool bEditable) {
            auto* pItem = new QTableWidgetItem(strText);
            pItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                            (bEditable ? Qt::ItemIsEditable : Qt::NoItemFlags));
            m_pTable->setItem(r, nCol, pItem);
            return pItem;
        };
        QTableWidgetItem* pDay =
            cell(ColDay, due[r].day.toString(QStringLiteral("yyyy-MM-dd")), false);
        pDay->setFlags(pDay->flags() | Qt::ItemIsUserCheckable);
        pDay->setCheckState(Qt::Checked);
        cell(ColWhat, CRecurringDlg::WhatText(t), false);
        cell(ColBank, t.eKind == CRecurring::EKind::Transfer ? QString() : t.strBank, false);
        cell(ColAmount, CMoney::Format(CMoney::FromCents(t.nCents)), true)
            ->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        cell(ColResult, QString(), false);
    }
    const auto button = [this](int nId, const QString& strText) {
        auto* p = new QPushButton(strText, this);
        p->setObjectName(QString::number(nId));
        p->setAutoDefault(false);
        return p;
    };
    QPushButton* pWrite = button(IDC_WRITE, tr("记入(&W)"));
    QPushButton* pSkip = button(IDC_SKIP, tr("跳过(&S)"));
    QPushButton* pClose = button(IDCANCEL, tr("关闭"));
    pWrite->setDefault(true);
    connect(pWrite, &QPushButton::clicked, this, &CDueDlg::OnWrite);
    connect(pSkip, &QPushButton::clicked, this, &CDueDlg::OnSkip);
    connect(pClose, &QPushButton::clicked, this, &QDialog::reject);
    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(pWrite);
    pButtons->addWidget(pSkip);
    pButtons->addWidget(pClose);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pHint);
    pLayout->addWidget(m_pTable, 1);
    pLayout->addLayout(pButtons);
    resize(720, 360);
}

void CDueDlg::OnWrite() {
    Settle(false);
}

void CDueDlg::OnSkip() {
    Settle(true);
}

void CDueDlg::Settle(bool bSkip) {
    for (int r = 0; r < m_due.size(); ++r) {
        if (m_settled[r] || m_pTable->item(r, ColDay)->checkState() != Qt::Checked)
            continue;
        std::int64_t nCents = 0;
        const QString strAmount = m_pTable->item(r, ColAmount)->text();
        const CMoney::EParse eParse = CMoney::Parse(strAmount, nCents);
        if (!bSkip && (eParse != CMoney::EParse::Ok || nCents == 0)) {
            CMessageBox::ShowMessage(tr("第 %1 行的金额：%2")
                                         .arg(r + 1)
                                         .arg(eParse == CMoney::EParse::Ok
                                                  ? tr("金额不能为零。")
                                                  : CMoney::ParseMessage(eParse, strAmount)),
                                     this);
            m_pTable->setCurrentCell(r, ColAmount);
            return;
        }
        CRecurring::EWrite eWrite = CRecurring::EWrite::Changed;
        const CRecurring::SDue& due = m_due[r];
        // A refused row (its account gone) is told and stays open; the rows after it go on.
        if (!CMessageBox::Guarded(this, [&] {
                eWrite = bSkip ? CRecurring::Skip(m_pSession->UserName(), due.tmpl.nId, due.day,
                                                  m_pSession->UserId())
                               : CRecurring::Write(m_pSession->UserName(), due.tmpl.nId, due.day,
                                                   nCents, m_pSession->UserId());
            }))
            continue;
        QString strResult;
        switch (eWrite) {
        case CRecurring::EWrite::Written:
            strResult = tr("已记入");
            m_bWritten = true;
            break;
        case CRecurring::EWrite::Skipped:
            strResult = tr("已跳过");
            break;
        case CRecurring::EWrite::Taken:
            strResult = tr("已由另一个窗口或另一台电脑处理，未重复记入");
            break;
        case CRecurring::EWrite::Changed:
            strResult = tr("周期记录已被改动或删除，未记入");
            break;
        }
        m_settled[r] = true;
        m_pTable->item(r, ColResult)->setText(strResult);
        for (int c = 0; c <= ColResult; ++c)
            m_pTable->item(r, c)->setFlags(Qt::ItemIsSelectable);
    }
}
