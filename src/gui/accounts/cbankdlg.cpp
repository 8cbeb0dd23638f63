#include "cbankdlg.h"

#include "data/cmoney.h"
#include "data/cnamerule.h"
#include "users/cusericons.h"
#include "widgets/cmessagebox.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum EColumn { ColName, ColNote, ColCash, ColCount };

QPushButton* MakeButton(const QString& strText, int nId, QWidget* pParent) {
    auto* pButton = new QPushButton(strText, pParent);
    pButton->setObjectName(QString::number(nId));
    pButton->setAutoDefault(false);
    return pButton;
}
} // namespace

CBankDlg::CBankDlg(QWidget* pParent) : QDialog(pParent) {
    setObjectName(QStringLiteral("CBankDlg"));
    setWindowTitle(tr("账号信息"));

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(CUserIcons::Pixmap(CUserIcons::Accounts, 40, devicePixelRatioF()));
    auto* pHint = new QLabel(tr("请输入您的所有现金和存款信息"), this);
    auto* pTop = new QHBoxLayout;
    pTop->addWidget(pIcon);
    pTop->addSpacing(10);
    pTop->addWidget(pHint, 1);

    // The three fields in their own frame.
    auto* pFieldsBox = new QGroupBox(this);
    m_pCardName = new QLineEdit(pFieldsBox);
    m_pCardName->setObjectName(QString::number(IDC_NAME));
    m_pCardNote = new QLineEdit(pFieldsBox);
    m_pCardNote->setObjectName(QString::number(IDC_NOTE));
    m_pCardCash = new QLineEdit(pFieldsBox);
    m_pCardCash->setObjectName(QString::number(IDC_CASH));
    for (QLineEdit* pEdit : {m_pCardName, m_pCardNote, m_pCardCash})
        pEdit->installEventFilter(this);
    auto* pFields = new QGridLayout(pFieldsBox);
    pFields->setVerticalSpacing(14);
    pFields->addWidget(new QLabel(tr("账号名"), pFieldsBox), 0, 0);
    pFields->addWidget(m_pCardName, 0, 1);
    pFields->addWidget(new QLabel(tr("账号备注"), pFieldsBox), 1, 0);
    pFields->addWidget(m_pCardNote, 1, 1);
    pFields->addWidget(new QLabel(tr("账号金额"), pFieldsBox), 2, 0);
    pFields->addWidget(m_pCardCash, 2, 1);
    pFieldsBox->setMinimumWidth(220);

    m_pAdd = MakeButton(tr("添加"), IDC_ADD, this);
    m_pModify = MakeButton(tr("修改"), IDC_MODIFY, this);
    m_pDelete = MakeButton(tr("删除"), IDC_DELETE, this);
    auto* pListButtons = new QVBoxLayout;
    pListButtons->addStretch();
    pListButtons->addWidget(m_pAdd);
    pListButtons->addStretch();
    pListButtons->addWidget(m_pModify);
    pListButtons->addStretch();
    pListButtons->addWidget(m_pDelete);
    pListButtons->addStretch();

    m_listBank = new QTableWidget(0, ColCount, this);
    m_listBank->setObjectName(QString::number(IDC_LIST));
    // The note column is headed as in 账号管理 and the account report.
    m_listBank->setHorizontalHeaderLabels({tr("账号"), tr("备注"), tr("余额")});
    m_listBank->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_listBank->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_listBank->horizontalHeader()->setHighlightSections(false);
    m_listBank->verticalHeader()->hide();
    m_listBank->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listBank->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listBank->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listBank->setShowGrid(true);
    m_listBank->setWordWrap(false);
    m_listBank->setMinimumSize(340, 220);
    m_listBank->viewport()->installEventFilter(this);

    auto* pEntryBox = new QGroupBox(this);
    auto* pEntry = new QHBoxLayout(pEntryBox);
    pEntry->addWidget(pFieldsBox);
    pEntry->addLayout(pListButtons);
    pEntry->addWidget(m_listBank, 1);

    QPushButton* pOk = MakeButton(tr("确定"), IDOK, this);
    pOk->setDefault(true);
    QPushButton* pCancel = MakeButton(tr("取消"), IDCANCEL, this);
    auto* pBottom = new QHBoxLayout;
    pBottom->addWidget(pOk);
    pBottom->addStretch();
    pBottom->addWidget(pCancel);

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pTop);
    pMain->addWidget(pEntryBox, 1);
    pMain->addLayout(pBottom);

    connect(m_pAdd, &QPushButton::clicked, this, &CBankDlg::OnAdd);
    connect(m_pModify, &QPushButton::clicked, this, &CBankDlg::OnModify);
    connect(m_pDelete, &QPushButton::clicked, this, &CBankDlg::OnDelete);
    connect(pOk, &QPushButton::clicked, this, &CBankDlg::OnOK);
    connect(pCancel, &QPushButton::clicked, this, &CBankDlg::reject);
    // The highlighted row is the one 修改 and 删除 act on, however it was reached (mouse or
    // arrow keys).
    connect(m_listBank, &QTableWidget::itemSelectionChanged, this, [this] {
        const QList<QTableWidgetSelectionRange> ranges = m_listBank->selectedRanges();
        OnClickListBank(ranges.isEmpty() ? -1 : ranges.first().topRow());
    });
}

int CBankDlg::exec() {
    m_listBank->setRowCount(0);
    m_nSelItem = -1;
    m_accounts.clear();
    m_pAdd->setEnabled(true);
    m_pModify->setEnabled(false);
    m_pDelete->setEnabled(false);
    UpdateData(false);
    m_pCardName->setFocus();
    return QDialog::exec();
}

bool CBankDlg::UpdateData(bool bSaveAndValidate) {
    if (!bSaveAndValidate) {
        m_pCardName->setText(m_strCardName);
        m_pCardNote->setText(m_strCardNote);
        m_pCardCash->setText(CMoney::Format(m_dCardCash).trimmed());
        return true;
    }
    std::int64_t nCents = 0;
    const CMoney::EParse eParse = CMoney::Parse(m_pCardCash->text(), nCents);
    const double dCash = CMoney::FromCents(nCents);
    QString strRefusal;
    if (eParse != CMoney::EParse::Ok)
        strRefusal = tr("账号金额：%1").arg(CMoney::ParseMessage(eParse, m_pCardCash->text()));
    if (!strRefusal.isEmpty()) {
        CMessageBox::ShowMessage(strRefusal, this);
        // The field goes back to the amount it held, ready to be typed over.
        m_pCardCash->setText(CMoney::Format(m_dCardCash).trimmed());
        m_pCardCash->setFocus();
        m_pCardCash->selectAll();
        return false;
    }
    m_strCardName = m_pCardName->text();
    m_strCardNote = m_pCardNote->text();
    m_dCardCash = dCash;
    return true;
}

bool CBankDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // Enter in a field takes the account being typed into the list (changing the highlighted
    // row, else adding one) rather than confirming the whole dialog.
    if (pEvent->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(pWatched)) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
            if (m_nSelItem >= 0)
                OnModify();
            else
                OnAdd();
            return true;
        }
    }
    if (pWatched == m_listBank->viewport() && pEvent->type() == QEvent::MouseButtonRelease) {
        const auto* pMouse = static_cast<QMouseEvent*>(pEvent);
        if (pMouse->button() == Qt::LeftButton)
            OnClickListBank(m_listBank->indexAt(pMouse->position().toPoint()).row());
    }
    return QDialog::eventFilter(pWatched, pEvent);
}

void CBankDlg::OnClickListBank(int nRow) {
    m_nSelItem = nRow;
    if (nRow >= 0 && nRow < m_listBank->rowCount()) {
        m_strCardName = m_listBank->item(nRow, ColName)->text();
        m_strCardNote = m_listBank->item(nRow, ColNote)->text();
        m_dCardCash = CMoney::Atof(m_listBank->item(nRow, ColCash)->text());
    } else {
        m_nSelItem = -1;
        m_strCardName.clear();
        m_strCardNote.clear();
        m_dCardCash = 0;
    }
    m_pModify->setEnabled(m_nSelItem >= 0);
    m_pDelete->setEnabled(m_nSelItem >= 0);
    UpdateData(false);
}

bool CBankDlg::CheckFields(int nSkipRow) {
    if (!UpdateData(true))
        return false;
    QString strRefusal = CUserAdmin::CheckAccount({m_strCardName, m_strCardNote, m_dCardCash});
    if (strRefusal.isEmpty()) {
        QStringList others;
        for (int nRow = 0; nRow < m_listBank->rowCount(); ++nRow) {
            if (nRow != nSkipRow)
                others << m_listBank->item(nRow, ColName)->text();
        }
        strRefusal = CNameRule::CheckAccountName(m_strCardName, others);
    }
    if (!strRefusal.isEmpty()) {
        CMessageBox::ShowMessage(strRefusal, this);
        return false;
    }
    return true;
}

void CBankDlg::SetRow(int nRow) {
    const QString texts[ColCount] = {m_strCardName.trimmed(), m_strCardNote,
                                     CMoney::Format(m_dCardCash)};
    for (int nCol = 0; nCol < ColCount; ++nCol)
        m_listBank->setItem(nRow, nCol, new QTableWidgetItem(texts[nCol]));
}

void CBankDlg::ClearFields() {
    m_strCardName.clear();
    m_strCardNote.clear();
    m_dCardCash = 0;
    m_pModify->setEnabled(false);
    m_pDelete->setEnabled(false);
    {
        const QSignalBlocker blocker(m_listBank);
        m_listBank->clearSelection();
        m_listBank->setCurrentCell(-1, -1);
    }
    m_nSelItem = -1;
    UpdateData(false);
    m_pCardName->setFocus();
}

void CBankDlg::OnAdd() {
    if (!CheckFields(-1))
        return;
    const int nRow = m_listBank->rowCount();
    m_listBank->insertRow(nRow);
    SetRow(nRow);
    ClearFields();
}

void CBankDlg::OnModify() {
    if (m_nSelItem < 0 || m_nSelItem >= m_listBank->rowCount())
        return; // nothing highlighted: nothing to change
    if (!CheckFields(m_nSelItem))
        return;
    SetRow(m_nSelItem);
    ClearFields();
}

void CBankDlg::OnDelete() {
    if (m_nSelItem < 0 || m_nSelItem >= m_listBank->rowCount())
        return;
    {
        const QSignalBlocker blocker(m_listBank);
        m_listBank->removeRow(m_nSelItem);
    }
    ClearFields();
}

void CBankDlg::reject() {
    // Accounts typed so far are lost on leaving: ask first.
    if ((m_listBank->rowCount() > 0 || !m_pCardName->text().trimmed().isEmpty()) &&
        !CMessageBox::AskOkCancel(
            tr("已输入的账号信息将全部放弃，新用户也不会创建。\n确定放弃吗？"), tr("放弃账号信息"),
            this))
        return;
    QDialog::reject();
}

void CBankDlg::OnOK() {
    if (!CMessageBox::AskOkCancel(tr("确定账号信息正确吗？(以后可以在“账号管理”中修改。)"),
                                  tr("注意"), this))
        return;
    if (m_listBank->rowCount() == 0) {
        CMessageBox::ShowMessage(tr("至少有一个账号信息！"), this);
        return;
    }
    // What is stored is what the list shows: the amount as its two-decimal text reads.
    m_accounts.clear();
    for (int nRow = 0; nRow < m_listBank->rowCount(); ++nRow)
        m_accounts.append({m_listBank->item(nRow, ColName)->text(),
                           m_listBank->item(nRow, ColNote)->text(),
                           CMoney::Atof(m_listBank->item(nRow, ColCash)->text())});
    if (m_fnWrite && !m_fnWrite(m_accounts))
        return;
    accept();
}
