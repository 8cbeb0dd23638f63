#include "cchangpwddlg.h"

#include "data/cdbexception.h"
#include "users/csecret.h"
#include "users/csession.h"
#include "users/cuseradmin.h"
#include "widgets/cmessagebox.h"
#include "widgets/csecretedit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

CChangPwdDlg::CChangPwdDlg(const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CChangPwdDlg"));
    setWindowTitle(tr("修改密码"));

    auto makePwdEdit = [this](EControl eId) {
        auto* pEdit = new CSecretEdit(this);
        pEdit->setObjectName(QString::number(eId));
        return pEdit;
    };
    m_pOldPwd = makePwdEdit(IDC_OLD_PWD);
    m_pNewPwd = makePwdEdit(IDC_NEW_PWD);
    m_pNewPwd2 = makePwdEdit(IDC_NEW_PWD2);
    auto* pForm = new QFormLayout;
    pForm->addRow(tr("原密码"), m_pOldPwd);
    pForm->addRow(tr("新密码"), m_pNewPwd);
    pForm->addRow(tr("新密码确认"), m_pNewPwd2);

    auto* pButtons = new QDialogButtonBox(this);
    QPushButton* pOk = pButtons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    pOk->setObjectName(QString::number(IDOK));
    pOk->setDefault(true);
    QPushButton* pCancel = pButtons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    pCancel->setObjectName(QString::number(IDCANCEL));

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pForm);
    pMain->addSpacing(6);
    pMain->addWidget(pButtons);
    setMinimumWidth(320);

    connect(pOk, &QPushButton::clicked, this, &CChangPwdDlg::OnOK);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Cancelled or done, the typed passwords go.
    connect(this, &QDialog::finished, this, &CChangPwdDlg::ClearFields);
}

bool CChangPwdDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_strOldPwd = m_pOldPwd->text();
        m_strNewPwd = m_pNewPwd->text();
        m_strNewPwd2 = m_pNewPwd2->text();
    } else {
        m_pOldPwd->setText(m_strOldPwd);
        m_pNewPwd->setText(m_strNewPwd);
        m_pNewPwd2->setText(m_strNewPwd2);
    }
    return true;
}

void CChangPwdDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!pEvent->spontaneous()) {
        UpdateData(false);
        m_pOldPwd->setFocus();
    }
}

void CChangPwdDlg::ClearFields() {
    for (QString* pStr : {&m_strOldPwd, &m_strNewPwd, &m_strNewPwd2})
        CSecret::Wipe(*pStr);
    for (CSecretEdit* pEdit : {m_pOldPwd, m_pNewPwd, m_pNewPwd2})
        pEdit->Wipe();
}

void CChangPwdDlg::OnOK() {
    UpdateData(true);
    if (m_strNewPwd != m_strNewPwd2) {
        CMessageBox::ShowMessage(tr(" 新密码和确认密码不符！"), this);
        return;
    }
    const QString strRefusal =
        m_strNewPwd.isEmpty() ? tr("新密码不能为空!") : CUserAdmin::CheckPasswordText(m_strNewPwd);
    if (!strRefusal.isEmpty()) {
        CMessageBox::ShowMessage(strRefusal, this);
        return;
    }
    // The stored password decides: it is checked inside the write, so a change made meanwhile
    // by another copy is checked too.
    CUserAdmin::EChange eChange = CUserAdmin::EChange::Changed;
    if (!CMessageBox::Guarded(this, [&] {
            eChange = CUserAdmin::ChangePassword(m_pSession->UserName(), m_strOldPwd, m_strNewPwd,
                                                 m_pSession->UserId());
        }))
        return;
    if (eChange == CUserAdmin::EChange::WrongPassword) {
        CMessageBox::ShowMessage(tr(" 原密码有误！"), this);
        return;
    }
    if (eChange == CUserAdmin::EChange::Changed)
        CMessageBox::ShowInfo(tr("当前用户密码修改成功！"), this);
    accept();
}
