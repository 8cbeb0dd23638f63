#include "accounts/ctrsrptdlg.h"

#include "accounts/ctransfer.h"
#include "app/cmessagebox.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "records/cmsflexgrid1.h"
#include "users/csession.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CTrsRptDlg::CTrsRptDlg(CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CTrsRptDlg"));
    setWindowTitle(tr("转帐记录查询"));

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(QIcon(QStringLiteral(":/res/icons/add_trs.svg")).pixmap(32, 32));
    auto* pHead = new QHBoxLayout;
    pHead->addWidget(pIcon);
    pHead->addSpacing(12);
    pHead->addWidget(new QLabel(tr("用户转帐历史记录详细"), this));
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
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(pOk);
    pButtons->addStretch(1);
    pButtons->addWidget(pCancel);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pHead);
    pLayout->addWidget(pHolder, 1);
    pLayout->addLayout(pButtons);

    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CTrsRptDlg::setVisible(bool bVisible) {
    if (bVisible && !isVisible())
        OnInitDialog();
    QDialog::setVisible(bVisible);
}

bool CTrsRptDlg::OnInitDialog() {
    const QString headings[5] = {QString(), tr("转帐日期"), tr("转出帐号"), tr("转入帐号"),
                                 tr("转帐金额")};
    m_ctlGrid->SetColWidth(0, 500);
    for (int c = 1; c < 5; ++c) {
        m_ctlGrid->SetRow(0);
        m_ctlGrid->SetCol(c);
        m_ctlGrid->SetText(headings[c]);
        m_ctlGrid->SetColWidth(c, 2000);
    }
    m_ctlGrid->SetRows(1);

    QVector<CTransfer::SRow> rows;
    try {
        rows = CTransfer::History(m_pSession ? m_pSession->UserName() : QString());
    } catch (const CDBException& e) {
        CMessageBox::ShowDBError(e, this);
        return false;
    }
    QVector<QStringList> cells;
    cells.reserve(rows.size());
    for (const CTransfer::SRow& row : rows) {
        cells.push_back(
            {QString(),
             tr("%1年%2月%3日").arg(row.date.year()).arg(row.date.month()).arg(row.date.day()),
             row.strFrom, row.strIn, CMoney::FormatSign(row.dAmount)});
    }
    m_ctlGrid->SetAllRows(cells);
    return true;
}
