#include "cdeluserdlg.h"

#include "users/csession.h"
#include "users/cuseradmin.h"
#include "widgets/cmessagebox.h"
#include "widgets/csecretedit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDelUserDlg::CDelUserDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CDelUserDlg"));
    setWindowTitle(tr("删除用户"));

    auto* pText = new QLabel(
        tr("确定删除用户“%1”吗？\n\n该用户的所有账号、收支记录和转账记录都将被删除，无法恢复。\n"
           "请输入该用户的密码以确认：")
            .arg(pSession->UserName()),
        this);
    pText->setObjectName(QStringLiteral("text"));
    pText->setWordWrap(true);
    m_pPwd = new CSecretEdit(this);
    m_pPwd->setObjectName(QString::number(IDC_PWD));
    auto* pForm = new QFormLayout;
    pForm->addRow(tr("密码"), m_pPwd);

    auto* pButtons = new QDialogButtonBox(this);
    QPushButton* pOk = pButtons->addButton(tr("删除"), QDialogButtonBox::AcceptRole);
    pOk->setObjectName(QString::number(IDOK));
    pOk->setAutoDefault(false);
    QPushButton* pCancel = pButtons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    pCancel->setObjectName(QString::number(IDCANCEL));
    pCancel->setDefault(true);

    auto* pMain = new QVBoxLayout(this);
    pMain->addWidget(pText);
    pMain->addLayout(pForm);
    pMain->addSpacing(6);
    pMain->addWidget(pButtons);
    setMinimumWidth(360);

    connect(pOk, &QPushButton::clicked, this, &CDelUserDlg::OnOK);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, m_pPwd, &CSecretEdit::Wipe);
}

void CDelUserDlg::OnOK() {
    if (!CUserAdmin::CheckPassword(m_pSession->UserName(), m_pPwd->text())) {
        CMessageBox::ShowMessage(tr("密码有误，用户没有删除。"), this);
        m_pPwd->Wipe();
        m_pPwd->setFocus();
        return;
    }
    accept();
}
