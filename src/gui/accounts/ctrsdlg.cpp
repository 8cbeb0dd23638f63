#include "accounts/ctrsdlg.h"

#include "accounts/caccountlist.h"
#include "accounts/ctransfer.h"
#include "accounts/ctrsrptdlg.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
constexpr int s_nCashRole = Qt::UserRole + 1;

// The drop-down list shows each account with its balance; the field itself keeps the name.
class CBalanceDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* pOption, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(pOption, index);
        const QVariant cash = index.data(s_nCashRole);
        if (cash.isValid())
            pOption->text = CTrsDlg::tr("%1（余额 %2）")
                                .arg(pOption->text, CMoney::FormatSign(cash.toDouble()));
    }
};

// The balance of the user's first account of that name, false when there is none.
bool BalanceOf(const QVector<CAccountList::SAccount>& accounts, const QString& strName,
               double& dCash) {
    for (const CAccountList::SAccount& account : accounts) {
        if (account.strName == strName) {
            dCash = account.dCash;
            return true;
        }
    }
    return false;
}
} // namespace

CTrsDlg::CTrsDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_dlgTrsRpt(new CTrsRptDlg(pSession, this)), m_pSession(pSession) {
    setObjectName(QStringLiteral("CTrsDlg"));
    setWindowTitle(tr("添加转账记录"));

    m_ctlCalendar = new QCalendarWidget(this);
    m_ctlCalendar->setObjectName(QString::number(IDC_CALENDAR));
    m_ctlCalendar->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    m_ctlCalendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_ctlCalendar->setMinimumSize(360, 220);
    auto* pCalendarBox = new QGroupBox(this);
    auto* pCalendarLayout = new QVBoxLayout(pCalendarBox);
    pCalendarLayout->addWidget(m_ctlCalendar);

    auto combo = [this](int nId) {
        auto* pCombo = new QComboBox(this);
        pCombo->setObjectName(QString::number(nId));
        pCombo->setEditable(true);
        pCombo->setInsertPolicy(QComboBox::NoInsert); // a typed name is not added to the list
        pCombo->setMaxVisibleItems(10);
        pCombo->setMinimumWidth(180);
        return pCombo;
    };
    m_ctlFrom = combo(IDC_FROM);
    m_ctlIn = combo(IDC_IN);
    for (QComboBox* pCombo : {m_ctlFrom, m_ctlIn})
        pCombo->setItemDelegate(new CBalanceDelegate(pCombo));
    m_pAmount = new QLineEdit(this);
    m_pAmount->setObjectName(QString::number(IDC_AMOUNT));
    auto* pFieldsBox = new QGroupBox(this);
    auto* pFields = new QFormLayout(pFieldsBox);
    pFields->addRow(tr("转出账号"), m_ctlFrom);
    pFields->addRow(tr("转入账号"), m_ctlIn);
    pFields->addRow(tr("转账金额"), m_pAmount);

    auto button = [this](int nId, const QString& strText) {
        auto* pButton = new QPushButton(strText, this);
        pButton->setObjectName(QString::number(nId));
        pButton->setAutoDefault(false);
        return pButton;
    };
    QPushButton* pOk = button(IDOK, tr("确定"));
    pOk->setDefault(true);
    QPushButton* pCancel = button(IDCANCEL, tr("取消"));
    QPushButton* pView = button(IDC_VIEW_TRS, tr("查看转账记录"));
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(pOk);
    pButtons->addWidget(pCancel);
    pButtons->addStretch(1);
    pButtons->addWidget(pView);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pCalendarBox);
    pLayout->addWidget(pFieldsBox);
    pLayout->addLayout(pButtons);

    connect(pOk, &QPushButton::clicked, this, &CTrsDlg::OnOK);
    connect(pCancel, &QPushButton::clicked, this, &CTrsDlg::OnCancel);
    connect(pView, &QPushButton::clicked, this, &CTrsDlg::OnViewTransfers);
}

void CTrsDlg::setVisible(bool bVisible) {
    if (bVisible && !isVisible()) {
        m_bUndone = false;
        OnInitDialog();
    }
    QDialog::setVisible(bVisible);
}

QString CTrsDlg::User() const {
    return m_pSession ? m_pSession->UserName() : QString();
}

void CTrsDlg::OnInitDialog() {
    m_TrsDate = CToday::Get();

    // Both lists are rebuilt at every showing, sorted by name.
    m_ctlFrom->clear();
    m_ctlIn->clear();
    CMessageBox::Guarded(this, [&] {
        QVector<CAccountList::SAccount> accounts = CAccountList::Load(User());
        std::stable_sort(accounts.begin(), accounts.end(),
                         [](const CAccountList::SAccount& a, const CAccountList::SAccount& b) {
                             return QString::compare(a.strName, b.strName, Qt::CaseInsensitive) < 0;
                         });
        for (QComboBox* pCombo : {m_ctlFrom, m_ctlIn}) {
            for (const CAccountList::SAccount& account : accounts)
                pCombo->addItem(account.strName, QVariant());
            for (int i = 0; i < accounts.size(); ++i)
                pCombo->setItemData(i, accounts[i].dCash, s_nCashRole);
        }
    });
    UpdateData(false);
    m_ctlFrom->setFocus();
}

bool CTrsDlg::UpdateData(bool bSaveAndValidate) {
    if (!bSaveAndValidate) {
        m_ctlCalendar->setSelectedDate(m_TrsDate);
        m_ctlCalendar->setCurrentPage(m_TrsDate.year(), m_TrsDate.month());
        // Filling a list selects its first entry; the field shows the member, not that.
        m_ctlFrom->setCurrentIndex(
            m_ctlFrom->findText(m_strTrsFrom, Qt::MatchFixedString | Qt::MatchCaseSensitive));
        m_ctlFrom->setEditText(m_strTrsFrom);
        m_ctlIn->setCurrentIndex(
            m_ctlIn->findText(m_strTrsIn, Qt::MatchFixedString | Qt::MatchCaseSensitive));
        m_ctlIn->setEditText(m_strTrsIn);
        m_pAmount->setText(QString::number(m_TrsAmount, 'g', 15));
        return true;
    }
    m_TrsDate = m_ctlCalendar->selectedDate();
    m_strTrsFrom = m_ctlFrom->currentText();
    m_strTrsIn = m_ctlIn->currentText();
    std::int64_t nCents = 0;
    const CMoney::EParse eParse = CMoney::Parse(m_pAmount->text(), nCents);
    const double dAmount = CMoney::FromCents(nCents);
    if (eParse != CMoney::EParse::Ok) {
        CMessageBox::ShowMessage(
            tr("转账金额：%1").arg(CMoney::ParseMessage(eParse, m_pAmount->text())), this);
        m_pAmount->setFocus();
        m_pAmount->selectAll();
        return false;
    }
    m_TrsAmount = dAmount;
    return true;
}

void CTrsDlg::OnOK() {
    // An amount that is not a number stops here: going on with the previous value could
    // move money the person no longer sees in the field.
    if (!UpdateData(true))
        return;
    QString strRefusal;
    if (m_strTrsFrom.isEmpty())
        strRefusal = tr("转出账号不能为空!");
    else if (m_strTrsIn.isEmpty())
        strRefusal = tr("转入账号不能为空!");
    else if (m_strTrsIn == m_strTrsFrom)
        strRefusal = tr("转入账号和转出账号不能相同!");
    else if (m_TrsAmount == 0)
        strRefusal = tr("转账金额不能为零!");
    else if (!CMoney::IsValid(m_TrsAmount))
        strRefusal = CTransfer::Message(CTransfer::EResult::BadAmount);
    if (!strRefusal.isEmpty()) {
        CMessageBox::ShowMessage(strRefusal, this);
        return;
    }
    if (!ConfirmBelowZero())
        return;
    if (!DoTransfer())
        return; // refused or failed: nothing was written, the fields stay for correction
    ClearFields();
    UpdateData(false);
    accept();
}

bool CTrsDlg::ConfirmBelowZero() {
    QVector<CAccountList::SAccount> accounts;
    if (!CMessageBox::Guarded(this, [&] {
            accounts = CAccountList::Load(User()); // the balances as they are now
        }))
        return false;
    // A negative amount moves money the other way, so it is the destination that pays.
    const QString& strPayer = m_TrsAmount > 0 ? m_strTrsFrom : m_strTrsIn;
    double dCash = 0;
    if (!BalanceOf(accounts, strPayer, dCash))
        return true; // the transfer itself says the account is missing
    const std::int64_t nAfter = CMoney::ToCents(dCash) - CMoney::ToCents(std::abs(m_TrsAmount));
    if (nAfter >= 0)
        return true;
    return CMessageBox::AskOkCancel(
        tr("转账后账号“%1”的余额将是 %2，低于零。\n确定要转账吗？")
            .arg(strPayer, CMoney::FormatSign(CMoney::FromCents(nAfter))),
        tr("余额不足"), this);
}

bool CTrsDlg::DoTransfer() {
    CTransfer::EResult eResult = CTransfer::EResult::Done;
    // The session's user row, so a user deleted or re-created elsewhere is not written to.
    if (!CMessageBox::Guarded(this, [&] {
            eResult = CTransfer::Transfer(User(), m_TrsDate, m_strTrsFrom, m_strTrsIn, m_TrsAmount,
                                          CDatabase::DefaultConnection,
                                          m_pSession ? m_pSession->UserId() : 0);
        }))
        return false;
    if (eResult == CTransfer::EResult::Done)
        return true;
    CMessageBox::ShowMessage(CTransfer::Message(eResult), this);
    return false;
}

void CTrsDlg::ClearFields() {
    m_strTrsFrom.clear();
    m_strTrsIn.clear();
    m_TrsAmount = 0;
}

void CTrsDlg::OnCancel() {
    reject();
}

void CTrsDlg::reject() {
    ClearFields();
    UpdateData(false);
    QDialog::reject();
}

void CTrsDlg::OnViewTransfers() {
    m_dlgTrsRpt->m_bChanged = false;
    m_dlgTrsRpt->exec();
    if (m_dlgTrsRpt->m_bChanged) {
        m_bUndone = true;
        // Undone transfers moved balances: show the lists afresh, keeping what was typed.
        UpdateData(true);
        const QString strFrom = m_strTrsFrom, strIn = m_strTrsIn;
        const double dAmount = m_TrsAmount;
        const QDate day = m_TrsDate;
        OnInitDialog();
        m_strTrsFrom = strFrom;
        m_strTrsIn = strIn;
        m_TrsAmount = dAmount;
        m_TrsDate = day;
        UpdateData(false);
    }
}
