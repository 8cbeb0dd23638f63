#include "accounts/ctrsrptdlg.h"

#include "accounts/ctransfer.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"
#include "widgets/cpicture.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CTrsRptDlg::CTrsRptDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CTrsRptDlg"));
    setWindowTitle(tr("转账记录查询"));

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(CPicture::Icon(QStringLiteral("add_trs"), 32));
    auto* pHead = new QHBoxLayout;
    pHead->addWidget(pIcon);
    pHead->addSpacing(12);
    pHead->addWidget(new QLabel(tr("用户转账历史记录详细"), this));
    pHead->addStretch(1);

    // The grid takes its row height from its font when it is built.
    auto* pHolder = new QWidget(this);
    pHolder->setFont(
        QFont(QStringList{QStringLiteral("宋体"), QStringLiteral("SimSun"),
                          QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")},
              10));
    m_ctlGrid = new CMsflexgrid1(pHolder);
    m_ctlGrid->setObjectName(QString::number(IDC_GRID));
    m_ctlGrid->SetCols(5);
    m_ctlGrid->setMinimumSize(600, 320);
    auto* pGridLayout = new QVBoxLayout(pHolder);
    pGridLayout->setContentsMargins(0, 0, 0, 0);
    pGridLayout->addWidget(m_ctlGrid);

    auto* pOk = new QPushButton(tr("确定"), this);
    pOk->setObjectName(QString::number(IDOK));
    pOk->setDefault(true);
    auto* pCancel = new QPushButton(tr("取消"), this);
    pCancel->setObjectName(QString::number(IDCANCEL));
    pCancel->setAutoDefault(false);
    m_pUndo = new QPushButton(tr("撤销转账"), this);
    m_pUndo->setObjectName(QString::number(IDC_UNDO));
    m_pUndo->setAutoDefault(false);
    m_pUndo->setToolTip(tr("选中一笔转账后，把它撤销：金额回到转出账号，转账记录删除"));
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(pOk);
    pButtons->addStretch(1);
    pButtons->addWidget(m_pUndo);
    pButtons->addStretch(1);
    pButtons->addWidget(pCancel);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pHead);
    pLayout->addWidget(pHolder, 1);
    pLayout->addLayout(pButtons);

    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pUndo, &QPushButton::clicked, this, &CTrsRptDlg::OnUndo);
    connect(m_ctlGrid, &CMsflexgrid1::Click, this, &CTrsRptDlg::OnClickGrid);
}

void CTrsRptDlg::OnClickGrid() {
    const int nRow = m_ctlGrid->GetMouseRow();
    m_nSelRow = nRow >= 1 && nRow <= m_keys.size() ? nRow : 0;
    m_pUndo->setEnabled(m_nSelRow > 0);
}

void CTrsRptDlg::OnUndo() {
    if (m_nSelRow <= 0 || m_nSelRow > m_keys.size())
        return;
    const QString strText =
        tr("确定撤销这笔转账吗？\n\n%1  从“%2”转入“%3”  "
           "%4\n\n金额将回到“%2”，这条转账记录将被删除。")
            .arg(m_ctlGrid->GetTextMatrix(m_nSelRow, 1), m_ctlGrid->GetTextMatrix(m_nSelRow, 2),
                 m_ctlGrid->GetTextMatrix(m_nSelRow, 3), m_ctlGrid->GetTextMatrix(m_nSelRow, 4));
    if (!CMessageBox::AskOkCancel(strText, tr("撤销转账"), this))
        return;
    CMessageBox::Guarded(this, [&] {
        const CTransfer::EUndo eResult =
            CTransfer::Undo(m_pSession ? m_pSession->UserName() : QString(), m_keys[m_nSelRow - 1],
                            CDatabase::DefaultConnection, m_pSession ? m_pSession->UserId() : 0);
        if (eResult != CTransfer::EUndo::Done)
            CMessageBox::ShowMessage(CTransfer::Message(eResult), this);
        else
            m_bChanged = true;
    });
    OnInitDialog();
}

void CTrsRptDlg::ChooseKey(int nKey) {
    const int nIndex = int(m_keys.indexOf(nKey));
    if (nIndex < 0)
        return;
    m_nSelRow = nIndex + 1;
    m_pUndo->setEnabled(true);
    m_ctlGrid->setCurrentIndex(m_ctlGrid->model()->index(nIndex, 0));
    m_ctlGrid->scrollTo(m_ctlGrid->currentIndex());
}

void CTrsRptDlg::setVisible(bool bVisible) {
    if (bVisible && !isVisible()) {
        m_bChanged = false;
        OnInitDialog();
    }
    QDialog::setVisible(bVisible);
}

bool CTrsRptDlg::OnInitDialog() {
    const QString headings[5] = {QString(), tr("转账日期"), tr("转出账号"), tr("转入账号"),
                                 tr("转账金额")};
    m_ctlGrid->SetColWidth(0, 500);
    for (int c = 1; c < 5; ++c) {
        m_ctlGrid->SetRow(0);
        m_ctlGrid->SetCol(c);
        m_ctlGrid->SetText(headings[c]);
        m_ctlGrid->SetColWidth(c, 2000);
    }
    m_ctlGrid->SetRows(1);
    m_keys.clear();
    m_nSelRow = 0;
    m_pUndo->setEnabled(false);

    QVector<CTransfer::SRow> rows;
    if (!CMessageBox::Guarded(this, [&] {
            rows = CTransfer::History(m_pSession ? m_pSession->UserName() : QString());
        }))
        return false;
    QVector<QStringList> cells;
    cells.reserve(rows.size() + 1);
    std::int64_t nTotal = 0;
    for (const CTransfer::SRow& row : rows) {
        cells.push_back(
            {QString(),
             tr("%1年%2月%3日").arg(row.date.year()).arg(row.date.month()).arg(row.date.day()),
             row.strFrom, row.strIn, CMoney::FormatSign(row.dAmount)});
        m_keys.push_back(row.nKey);
        nTotal += CMoney::ToCents(row.dAmount);
    }
    if (!rows.isEmpty())
        cells.push_back({QString(), tr("合计（%1 笔）").arg(rows.size()), QString(), QString(),
                         CMoney::FormatSign(CMoney::FromCents(nTotal))});
    m_ctlGrid->SetAllRows(cells);
    return true;
}
