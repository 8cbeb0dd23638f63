#include "plans/crecurringeditdlg.h"

#include "accounts/caccountlist.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "plans/cplantables.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <class T> T* Control(int nId, QWidget* pParent) {
    auto* p = new T(pParent);
    p->setObjectName(QString::number(nId));
    return p;
}

QDateEdit* DateEdit(int nId, QWidget* pParent) {
    auto* p = Control<QDateEdit>(nId, pParent);
    p->setCalendarPopup(true);
    p->setDisplayFormat(QStringLiteral("yyyy年M月d日"));
    return p;
}

} // namespace

CRecurringEditDlg::CRecurringEditDlg(const CSession* pSession, const CRecurring::STemplate& t,
                                     QWidget* pParent)
    : QDialog(pParent), m_template(t), m_pSession(pSession) {
    setObjectName(QStringLiteral("CRecurringEditDlg"));
    setWindowTitle(t.nId == 0 ? tr("添加周期记录") : tr("修改周期记录"));

    m_pKind = Control<QComboBox>(IDC_KIND, this);
    m_pKind->addItems({tr("收入"), tr("支出"), tr("转账")});
    m_pSort = Control<QComboBox>(IDC_SORT, this);
    m_pNote = Control<QLineEdit>(IDC_NOTE, this);
    m_pNote->setMaxLength(255);
    m_pBank = Control<QComboBox>(IDC_BANK, this);
    m_pToBank = Control<QComboBox>(IDC_TO_BANK, this);
    QStringList accounts;
    CMessageBox::Guarded(this, [&] {
        for (const CAccountList::SAccount& a : CAccountList::Load(m_pSession->UserName()))
            accounts << a.strName;
    });
    m_pBank->addItems(accounts);
    m_pToBank->addItems(accounts);
    m_pAmount = Control<QLineEdit>(IDC_AMOUNT, this);
    m_pEvery = Control<QSpinBox>(IDC_EVERY, this);
    m_pEvery->setRange(1, 999);
    m_pUnit = Control<QComboBox>(IDC_UNIT, this);
    m_pUnit->addItems({tr("天"), tr("周"), tr("个月"), tr("年")});
    m_pMonthDay = Control<QComboBox>(IDC_MONTH_DAY, this);
    for (int d = 1; d <= 30; ++d)
        m_pMonthDay->addItem(tr("%1日").arg(d), d);
    m_pMonthDay->addItem(tr("最后一天"), 31);
    m_pMonthDay->setToolTip(tr("没有这一天的月份（如 2 月 30 日）记在这个月的最后一天"));
    m_pStart = DateEdit(IDC_START, this);
    m_pHasEnd = Control<QCheckBox>(IDC_HAS_END, this);
    m_pHasEnd->setText(tr("结束于"));
    m_pEnd = DateEdit(IDC_END, this);

    auto* pRule = new QHBoxLayout;
    pRule->addWidget(new QLabel(tr("每"), this));
    pRule->addWidget(m_pEvery);
    pRule->addWidget(m_pUnit);
    pRule->addWidget(m_pMonthDay);
    pRule->addStretch(1);
    auto* pEnd = new QHBoxLayout;
    pEnd->addWidget(m_pHasEnd);
    pEnd->addWidget(m_pEnd, 1);

    auto* pForm = new QFormLayout;
    m_pSortLabel = new QLabel(tr("类型"), this);
    m_pBankLabel = new QLabel(tr("账号"), this);
    m_pToBankLabel = new QLabel(tr("转入账号"), this);
    pForm->addRow(tr("种类"), m_pKind);
    pForm->addRow(m_pSortLabel, m_pSort);
    pForm->addRow(tr("摘要"), m_pNote);
    pForm->addRow(m_pBankLabel, m_pBank);
    pForm->addRow(m_pToBankLabel, m_pToBank);
    pForm->addRow(tr("金额"), m_pAmount);
    pForm->addRow(tr("周期"), pRule);
    pForm->addRow(tr("开始日期"), m_pStart);
    pForm->addRow(QString(), pEnd);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    pButtons->button(QDialogButtonBox::Ok)->setObjectName(QString::number(IDOK));
    pButtons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    pButtons->button(QDialogButtonBox::Cancel)->setObjectName(QString::number(IDCANCEL));
    connect(pButtons, &QDialogButtonBox::accepted, this, &CRecurringEditDlg::OnOK);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pButtons);

    connect(m_pKind, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CRecurringEditDlg::OnKindChanged);
    connect(m_pUnit, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CRecurringEditDlg::OnUnitChanged);
    connect(m_pHasEnd, &QCheckBox::toggled, m_pEnd, &QWidget::setEnabled);
    if (!m_template.start.isValid())
        m_template.start = CToday::Get();
    UpdateData(false);
}

void CRecurringEditDlg::OnKindChanged() {
    const bool bTransfer = m_pKind->currentIndex() == int(CRecurring::EKind::Transfer);
    m_pSort->setVisible(!bTransfer);
    m_pSortLabel->setVisible(!bTransfer);
    m_pToBank->setVisible(bTransfer);
    m_pToBankLabel->setVisible(bTransfer);
    m_pBankLabel->setText(bTransfer ? tr("转出账号") : tr("账号"));
    if (bTransfer)
        return;
    const QString strWas = m_pSort->currentText();
    m_pSort->clear();
    m_pSort->addItems(CPlanTables::Categories(
        m_pSession->UserName(), m_pKind->currentIndex() == int(CRecurring::EKind::Income)
                                    ? ERecordKind::Income
                                    : ERecordKind::Outlay));
    m_pSort->setCurrentText(strWas);
}

void CRecurringEditDlg::OnUnitChanged() {
    m_pMonthDay->setVisible(m_pUnit->currentIndex() == int(CRecurring::EUnit::Month));
}

bool CRecurringEditDlg::UpdateData(bool bSaveAndValidate) {
    CRecurring::STemplate& t = m_template;
    if (!bSaveAndValidate) {
        m_pKind->setCurrentIndex(int(t.eKind));
        OnKindChanged();
        m_pSort->setCurrentText(t.strSort);
        m_pNote->setText(t.strNote);
        m_pBank->setCurrentText(t.strBank);
        m_pToBank->setCurrentText(t.strToBank);
        if (t.strToBank.isEmpty() && m_pToBank->count() > 1 && m_pToBank->currentIndex() == 0 &&
            m_pBank->currentIndex() == 0)
            m_pToBank->setCurrentIndex(1);
        m_pAmount->setText(t.nCents == 0 ? QString() : CMoney::Format(CMoney::FromCents(t.nCents)));
        m_pEvery->setValue(std::max(1, t.nEvery));
        m_pUnit->setCurrentIndex(int(t.eUnit));
        OnUnitChanged();
        const int nDay = t.nMonthDay > 0 ? t.nMonthDay : t.start.day();
        m_pMonthDay->setCurrentIndex(m_pMonthDay->findData(std::min(nDay, 31)));
        m_pStart->setDate(t.start);
        m_pHasEnd->setChecked(t.end.isValid());
        m_pEnd->setDate(t.end.isValid() ? t.end : t.start.addYears(1));
        m_pEnd->setEnabled(t.end.isValid());
        return true;
    }
    std::int64_t nCents = 0;
    const CMoney::EParse eParse = CMoney::Parse(m_pAmount->text(), nCents);
    if (eParse != CMoney::EParse::Ok) {
        CMessageBox::ShowMessage(tr("金额：%1")
                                     .arg(eParse == CMoney::EParse::Empty
                                              ? tr("请输入金额。")
                                              : CMoney::ParseMessage(eParse, m_pAmount->text())),
                                 this);
        m_pAmount->setFocus();
        return false;
    }
    CRecurring::STemplate now = t;
    now.eKind = CRecurring::EKind(m_pKind->currentIndex());
    now.strSort = now.eKind == CRecurring::EKind::Transfer ? QString() : m_pSort->currentText();
    now.strNote = m_pNote->text().trimmed();
    now.strBank = m_pBank->currentText();
    now.strToBank = now.eKind == CRecurring::EKind::Transfer ? m_pToBank->currentText() : QString();
    now.nCents = nCents;
    now.nEvery = m_pEvery->value();
    now.eUnit = CRecurring::EUnit(m_pUnit->currentIndex());
    now.nMonthDay = now.eUnit == CRecurring::EUnit::Month ? m_pMonthDay->currentData().toInt() : 0;
    now.start = m_pStart->date();
    now.end = m_pHasEnd->isChecked() ? m_pEnd->date() : QDate();
    const QString strProblem = CRecurring::Check(now);
    if (!strProblem.isEmpty()) {
        CMessageBox::ShowMessage(strProblem, this);
        return false;
    }
    t = now;
    return true;
}

void CRecurringEditDlg::OnOK() {
    if (UpdateData(true))
        accept();
}
