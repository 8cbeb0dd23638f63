#include "plans/cbudgetdlg.h"

#include "data/cmoney.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CBudgetDlg::CBudgetDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CBudgetDlg"));
    setWindowTitle(tr("预算设置"));
    auto* pHint = new QLabel(tr("在“每月”一栏填写每个月的预算；某个月份不同时，在那个月的一栏另填。"
                                "空白表示不设预算。"),
                             this);
    pHint->setWordWrap(true);
    QStringList headings{tr("每月")};
    for (int m = 1; m <= 12; ++m)
        headings << tr("%1月").arg(m);
    m_pTable = new QTableWidget(0, headings.size(), this);
    m_pTable->setObjectName(QString::number(IDC_BUDGET_TABLE));
    m_pTable->setHorizontalHeaderLabels(headings);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_pTable->horizontalHeader()->setDefaultSectionSize(
        m_pTable->fontMetrics().horizontalAdvance(QStringLiteral("00000.00")) + 12);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    pButtons->button(QDialogButtonBox::Ok)->setObjectName(QString::number(IDOK));
    pButtons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    pButtons->button(QDialogButtonBox::Cancel)->setObjectName(QString::number(IDCANCEL));
    connect(pButtons, &QDialogButtonBox::accepted, this, &CBudgetDlg::OnOK);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pHint);
    pLayout->addWidget(m_pTable, 1);
    pLayout->addWidget(pButtons);
    resize(940, 520);
}

QString CBudgetDlg::SortOfRow(int nRow) const {
    return nRow == 0 ? QString() : m_pTable->verticalHeaderItem(nRow)->text();
}

bool CBudgetDlg::OnInitDialog() {
    const QString strUser = m_pSession->UserName();
    QStringList rows;
    const bool bRead = CMessageBox::Guarded(this, [&] {
        m_loaded = CBudget::Amounts(strUser);
        rows = CBudget::Categories(strUser);
    });
    if (!bRead)
        return false;
    // A budget of a category no longer listed still shows, so it can be removed.
    for (const CBudget::SAmount& a : std::as_const(m_loaded))
        if (!a.strSort.isEmpty() && !rows.contains(a.strSort))
            rows << a.strSort;
    rows.prepend(CBudget::LineName(QString()));
    m_pTable->clearContents();
    m_pTable->setRowCount(rows.size());
    m_pTable->setVerticalHeaderLabels(rows);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < m_pTable->columnCount(); ++c) {
            auto* pItem = new QTableWidgetItem;
            pItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_pTable->setItem(r, c, pItem);
        }
    for (const CBudget::SAmount& a : std::as_const(m_loaded)) {
        const int nRow = a.strSort.isEmpty() ? 0 : rows.indexOf(a.strSort, 1);
        m_pTable->item(nRow, a.nMonth)->setText(CMoney::Format(CMoney::FromCents(a.nCents)));
    }
    return true;
}

bool CBudgetDlg::Changes(QVector<CBudget::SAmount>& changes) {
    changes.clear();
    for (int r = 0; r < m_pTable->rowCount(); ++r) {
        const QString strSort = SortOfRow(r);
        for (int c = 0; c < m_pTable->columnCount(); ++c) {
            const QString strCell = m_pTable->item(r, c)->text();
            std::int64_t nCents = 0;
            const CMoney::EParse eParse = CMoney::Parse(strCell, nCents);
            if ((eParse != CMoney::EParse::Ok && eParse != CMoney::EParse::Empty) || nCents < 0) {
                CMessageBox::ShowMessage(
                    tr("“%1”%2的预算：%3")
                        .arg(CBudget::LineName(strSort), m_pTable->horizontalHeaderItem(c)->text(),
                             nCents < 0 ? tr("预算不能是负数。")
                                        : CMoney::ParseMessage(eParse, strCell)),
                    this);
                m_pTable->setCurrentCell(r, c);
                return false;
            }
            qint64 nLoaded = 0;
            for (const CBudget::SAmount& a : std::as_const(m_loaded))
                if (a.strSort == strSort && a.nMonth == c)
                    nLoaded = a.nCents;
            if (nCents != nLoaded)
                changes.push_back({strSort, c, nCents});
        }
    }
    return true;
}

void CBudgetDlg::OnOK() {
    QVector<CBudget::SAmount> changes;
    if (!Changes(changes))
        return;
    if (CMessageBox::Guarded(
            this, [&] { CBudget::Apply(m_pSession->UserName(), changes, m_pSession->UserId()); }))
        accept();
}
