#include "accounts/caccountsdlg.h"

#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "users/csession.h"
#include "users/cusericons.h"
#include "widgets/cmessagebox.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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

CAccountsDlg::CAccountsDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CAccountsDlg"));
    setWindowTitle(tr("账号管理"));

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(CUserIcons::Pixmap(CUserIcons::Accounts, 40, devicePixelRatioF()));
    auto* pHint = new QLabel(tr("选中一个账号可以修改它的名字和备注，或删除它；"
                                "填写名字、备注和期初余额后按“添加”可以新增账号。"),
                             this);
    pHint->setWordWrap(true);
    auto* pTop = new QHBoxLayout;
    pTop->addWidget(pIcon);
    pTop->addSpacing(10);
    pTop->addWidget(pHint, 1);

    m_pList = new QTableWidget(0, ColCount, this);
    m_pList->setObjectName(QString::number(IDC_LIST));
    m_pList->setHorizontalHeaderLabels({tr("账号"), tr("备注"), tr("余额")});
    m_pList->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_pList->horizontalHeader()->setHighlightSections(false);
    m_pList->verticalHeader()->hide();
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setWordWrap(false);
    m_pList->setMinimumSize(420, 200);
    m_pTotal = new QLabel(this);
    m_pTotal->setObjectName(QStringLiteral("total"));
    m_pTotal->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_pName = new QLineEdit(this);
    m_pName->setObjectName(QString::number(IDC_NAME));
    m_pNote = new QLineEdit(this);
    m_pNote->setObjectName(QString::number(IDC_NOTE));
    m_pCash = new QLineEdit(this);
    m_pCash->setObjectName(QString::number(IDC_CASH));
    m_pCash->setPlaceholderText(tr("仅新增账号时使用"));
    for (QLineEdit* pEdit : {m_pName, m_pNote, m_pCash})
        pEdit->installEventFilter(this);
    auto* pFieldsBox = new QGroupBox(this);
    auto* pFields = new QFormLayout(pFieldsBox);
    pFields->addRow(tr("账号名"), m_pName);
    pFields->addRow(tr("账号备注"), m_pNote);
    pFields->addRow(tr("期初余额"), m_pCash);

    m_pAdd = MakeButton(tr("添加"), IDC_ADD, this);
    m_pModify = MakeButton(tr("修改"), IDC_MODIFY, this);
    m_pDelete = MakeButton(tr("删除"), IDC_DELETE, this);
    QPushButton* pClose = MakeButton(tr("关闭"), IDC_CLOSE, this);
    auto* pButtons = new QVBoxLayout;
    pButtons->addWidget(m_pAdd);
    pButtons->addWidget(m_pModify);
    pButtons->addWidget(m_pDelete);
    pButtons->addStretch(1);
    pButtons->addWidget(pClose);

    auto* pEntry = new QHBoxLayout;
    pEntry->addWidget(pFieldsBox, 1);
    pEntry->addLayout(pButtons);

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pTop);
    pMain->addWidget(m_pList, 1);
    pMain->addWidget(m_pTotal);
    pMain->addLayout(pEntry);

    connect(m_pAdd, &QPushButton::clicked, this, &CAccountsDlg::OnAdd);
    connect(m_pModify, &QPushButton::clicked, this, &CAccountsDlg::OnModify);
    connect(m_pDelete, &QPushButton::clicked, this, &CAccountsDlg::OnDelete);
    connect(pClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pList, &QTableWidget::itemSelectionChanged, this, &CAccountsDlg::OnSelectionChanged);
}

QString CAccountsDlg::User() const {
    return m_pSession->UserName();
}

qint64 CAccountsDlg::UserId() const {
    return m_pSession->UserId();
}

int CAccountsDlg::Run() {
    m_bChanged = false;
    m_pName->clear();
    m_pNote->clear();
    m_pCash->clear();
    Reload();
    m_pName->setFocus();
    return exec();
}

bool CAccountsDlg::Reload() {
    if (!CMessageBox::Guarded(this, [&] { m_accounts = CAccountAdmin::List(User()); }))
        return false;
    const QSignalBlocker blocker(m_pList);
    m_pList->clearSelection();
    m_pList->setRowCount(int(m_accounts.size()));
    std::int64_t nTotal = 0;
    for (int nRow = 0; nRow < m_accounts.size(); ++nRow) {
        const CAccountAdmin::SAccount& account = m_accounts[nRow];
        m_pList->setItem(nRow, ColName, new QTableWidgetItem(account.strName));
        m_pList->setItem(nRow, ColNote, new QTableWidgetItem(account.strNote));
        auto* pCash = new QTableWidgetItem(CMoney::Format(account.dCash));
        pCash->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_pList->setItem(nRow, ColCash, pCash);
        nTotal += CMoney::ToCents(account.dCash);
    }
    m_pTotal->setText(tr("共 %1 个账号，余额合计 %2")
                          .arg(m_accounts.size())
                          .arg(CMoney::FormatSign(CMoney::FromCents(nTotal))));
    OnSelectionChanged();
    return true;
}

int CAccountsDlg::SelectedIndex() const {
    const QList<QTableWidgetSelectionRange> ranges = m_pList->selectedRanges();
    if (ranges.isEmpty())
        return -1;
    const int nRow = ranges.first().topRow();
    return nRow < m_accounts.size() ? nRow : -1;
}

void CAccountsDlg::OnSelectionChanged() {
    const int nIndex = SelectedIndex();
    m_pModify->setEnabled(nIndex >= 0);
    m_pDelete->setEnabled(nIndex >= 0);
    if (nIndex >= 0) {
        m_pName->setText(m_accounts[nIndex].strName);
        m_pNote->setText(m_accounts[nIndex].strNote);
        m_pCash->clear();
    }
}

bool CAccountsDlg::Done(const QString& strRefusal) {
    if (!strRefusal.isEmpty()) {
        CMessageBox::ShowMessage(strRefusal, this);
        return false;
    }
    m_bChanged = true;
    return true;
}

void CAccountsDlg::OnAdd() {
    // Read as every money field reads an amount; an empty field is a balance of 0.
    std::int64_t nCents = 0;
    const CMoney::EParse eParse = CMoney::Parse(m_pCash->text(), nCents);
    const double dCash = CMoney::FromCents(nCents);
    if (eParse != CMoney::EParse::Ok && eParse != CMoney::EParse::Empty) {
        CMessageBox::ShowMessage(
            tr("期初余额：%1").arg(CMoney::ParseMessage(eParse, m_pCash->text())), this);
        m_pCash->setFocus();
        m_pCash->selectAll();
        return;
    }
    QString strRefusal;
    if (!CMessageBox::Guarded(this,
                              [&] {
                                  strRefusal = CAccountAdmin::Add(
                                      User(), m_pName->text(), m_pNote->text(), dCash,
                                      CDatabase::DefaultConnection, UserId());
                              }) ||
        !Done(strRefusal))
        return;
    m_pName->clear();
    m_pNote->clear();
    m_pCash->clear();
    Reload();
    m_pName->setFocus();
}

void CAccountsDlg::OnModify() {
    const int nIndex = SelectedIndex();
    if (nIndex < 0)
        return;
    const CAccountAdmin::SAccount account = m_accounts[nIndex];
    // The name first: a refused name leaves the note unchanged too.
    bool bDone = false;
    if (!CMessageBox::Guarded(
            this,
            [&] {
                bDone = (m_pName->text().trimmed() == account.strName ||
                         Done(CAccountAdmin::Rename(User(), account.nKey, m_pName->text(),
                                                    CDatabase::DefaultConnection, UserId()))) &&
                        (m_pNote->text() == account.strNote ||
                         Done(CAccountAdmin::SetNote(User(), account.nKey, m_pNote->text(),
                                                     CDatabase::DefaultConnection, UserId())));
            }) ||
        !bDone)
        return;
    Reload();
    m_pList->selectRow(nIndex);
}

void CAccountsDlg::OnDelete() {
    const int nIndex = SelectedIndex();
    if (nIndex < 0)
        return;
    const CAccountAdmin::SAccount account = m_accounts[nIndex];
    // An account that cannot go is said so at once, not after a confirmation.
    QString strRefusal;
    if (!CMessageBox::Guarded(this, [&] {
            strRefusal = CAccountAdmin::DeleteRefusal(User(), account.nKey,
                                                      CDatabase::DefaultConnection, UserId());
        }))
        return;
    if (!strRefusal.isEmpty()) {
        CMessageBox::ShowMessage(strRefusal, this);
        return;
    }
    if (!CMessageBox::AskOkCancel(tr("确定删除账号“%1”吗？").arg(account.strName), tr("删除账号"),
                                  this))
        return;
    if (!CMessageBox::Guarded(this,
                              [&] {
                                  strRefusal = CAccountAdmin::Delete(
                                      User(), account.nKey, CDatabase::DefaultConnection, UserId());
                              }) ||
        !Done(strRefusal))
        return;
    m_pName->clear();
    m_pNote->clear();
    Reload();
}

bool CAccountsDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // Enter in a field acts on what is being typed: 修改 for a chosen account, else 添加.
    if (pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
            if (SelectedIndex() >= 0)
                OnModify();
            else
                OnAdd();
            return true;
        }
    }
    return QDialog::eventFilter(pWatched, pEvent);
}
