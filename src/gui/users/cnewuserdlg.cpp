#include "cnewuserdlg.h"

#include "cusericons.h"
#include "data/cdbexception.h"
#include "users/csecret.h"
#include "users/cuseradmin.h"
#include "widgets/cmessagebox.h"
#include "widgets/csecretedit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

CNewUserDlg::CNewUserDlg(QWidget* pParent) : QDialog(pParent) {
    setObjectName(QStringLiteral("CNewUserDlg"));
    setWindowTitle(tr("新建用户"));

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(CUserIcons::Pixmap(CUserIcons::NewUser, 40, devicePixelRatioF()));
    auto* pHeading = new QLabel(tr("新建用户"), this);
    QFont font = pHeading->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    pHeading->setFont(font);
    auto* pLine = new QLabel(tr("请输入您新建的用户名和密码"), this);
    auto* pText = new QVBoxLayout;
    pText->addWidget(pHeading);
    pText->addWidget(pLine);
    auto* pTop = new QHBoxLayout;
    pTop->addWidget(pIcon, 0, Qt::AlignTop);
    pTop->addSpacing(8);
    pTop->addLayout(pText, 1);

    auto* pRule = new QFrame(this);
    pRule->setFrameShape(QFrame::HLine);
    pRule->setFrameShadow(QFrame::Sunken);

    m_pNewUser = new QLineEdit(this);
    m_pNewUser->setObjectName(QString::number(IDC_USER));
    m_pNewUserPwd = new CSecretEdit(this);
    m_pNewUserPwd->setObjectName(QString::number(IDC_PWD));
    m_pNewUserPwd2 = new CSecretEdit(this);
    m_pNewUserPwd2->setObjectName(QString::number(IDC_PWD2));
    auto* pForm = new QFormLayout;
    pForm->addRow(tr("用户名"), m_pNewUser);
    pForm->addRow(tr("密码"), m_pNewUserPwd);
    pForm->addRow(tr("确认密码"), m_pNewUserPwd2);

    auto* pButtons = new QDialogButtonBox(this);
    QPushButton* pOk = pButtons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    pOk->setObjectName(QString::number(IDOK));
    pOk->setDefault(true);
    QPushButton* pCancel = pButtons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    pCancel->setObjectName(QString::number(IDCANCEL));

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pTop);
    pMain->addWidget(pRule);
    pMain->addLayout(pForm);
    pMain->addSpacing(6);
    pMain->addWidget(pButtons);
    setMinimumWidth(340);

    connect(pOk, &QPushButton::clicked, this, &CNewUserDlg::OnOK);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

CNewUserDlg::SNewUser CNewUserDlg::TakeNewUser() {
    SNewUser user{m_strNewUser, m_strNewUserPwd};
    m_strNewUser.clear();
    return user;
}

void CNewUserDlg::WipePasswords() {
    CSecret::Wipe(m_strNewUserPwd);
    CSecret::Wipe(m_strNewUserPwd2);
    m_pNewUserPwd->Wipe();
    m_pNewUserPwd2->Wipe();
}

bool CNewUserDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_strNewUser = m_pNewUser->text();
        m_strNewUserPwd = m_pNewUserPwd->text();
        m_strNewUserPwd2 = m_pNewUserPwd2->text();
    } else {
        m_pNewUser->setText(m_strNewUser);
        m_pNewUserPwd->setText(m_strNewUserPwd);
        m_pNewUserPwd2->setText(m_strNewUserPwd2);
    }
    return true;
}

void CNewUserDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!pEvent->spontaneous()) {
        UpdateData(false);
        m_pNewUser->setFocus();
    }
}

void CNewUserDlg::OnOK() {
    UpdateData(true);
    QString strRefusal;
    if (m_strNewUser.isEmpty())
        strRefusal = tr("用户名不能为空!");
    else if (m_strNewUserPwd.isEmpty())
        strRefusal = tr("用户密码不能为空!");
    else if (m_strNewUserPwd != m_strNewUserPwd2)
        strRefusal = tr(" 新密码和确认密码不符！");
    else {
        // Too long for the book: refused here, before anything is written.
        strRefusal = CUserAdmin::CheckUserName(m_strNewUser);
        if (strRefusal.isEmpty())
            strRefusal = CUserAdmin::CheckPasswordText(m_strNewUserPwd);
    }
    if (!strRefusal.isEmpty()) {
        CMessageBox::ShowMessage(strRefusal, this);
        return;
    }
    bool bTaken = false;
    if (!CMessageBox::Guarded(this, [&] { bTaken = CUserAdmin::UserExists(m_strNewUser); }))
        return;
    if (bTaken) {
        CMessageBox::ShowMessage(tr("用户名已存在！"), this);
        return;
    }
    accept();
}
