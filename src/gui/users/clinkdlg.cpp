#include "clinkdlg.h"

#include "cusericons.h"
#include "data/cdatabase.h"
#include "data/cdbexception.h"
#include "demo/cdemobook.h"
#include "users/csecret.h"
#include "users/cuseradmin.h"
#include "widgets/cmessagebox.h"
#include "widgets/csecretedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

CLinkDlg::CLinkDlg(QWidget* pParent) : QDialog(pParent) {
    setObjectName(QStringLiteral("CLinkDlg"));
    setWindowTitle(tr("用户登录"));

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(CUserIcons::Pixmap(CUserIcons::Login, 40, devicePixelRatioF()));
    pIcon->setAlignment(Qt::AlignTop);

    m_pUser = new QComboBox(this);
    m_pUser->setObjectName(QString::number(IDC_USER));
    m_pUser->setEditable(true);
    m_pUser->setInsertPolicy(QComboBox::NoInsert);
    m_pUser->setMinimumContentsLength(14);
    m_pPwd = new CSecretEdit(this);
    m_pPwd->setObjectName(QString::number(IDC_PWD));
    m_pSavePwd = new QCheckBox(tr("保存密码"), this);
    m_pSavePwd->setObjectName(QString::number(IDC_SAVE_PWD));

    auto* pForm = new QFormLayout;
    pForm->addRow(tr("用户名"), m_pUser);
    pForm->addRow(tr("密码"), m_pPwd);
    pForm->addRow(QString(), m_pSavePwd);

    auto* pTop = new QHBoxLayout;
    pTop->addWidget(pIcon, 0, Qt::AlignTop);
    pTop->addSpacing(8);
    pTop->addLayout(pForm, 1);

    auto* pButtons = new QDialogButtonBox(this);
    QPushButton* pOk = pButtons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    pOk->setObjectName(QString::number(IDOK));
    pOk->setDefault(true);
    QPushButton* pCancel = pButtons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    pCancel->setObjectName(QString::number(IDCANCEL));

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pTop);
    // On the demo book, say how to get in.
    if (CDemoBook::IsDemoUrl(CDatabase::Url())) {
        auto* pDemo = new QLabel(tr("这是演示账本：用户名“%1”，密码“%2”。")
                                     .arg(CDemoBook::UserName, CDemoBook::Password),
                                 this);
        pDemo->setObjectName(QStringLiteral("demoHint"));
        pDemo->setWordWrap(true);
        pMain->addWidget(pDemo);
    }
    pMain->addSpacing(6);
    pMain->addWidget(pButtons);
    setMinimumWidth(320);

    connect(m_pUser, &QComboBox::activated, this, &CLinkDlg::OnSelChangeUser);
    connect(m_pSavePwd, &QCheckBox::clicked, this, &CLinkDlg::OnSavePwd);
    connect(pOk, &QPushButton::clicked, this, &CLinkDlg::OnOK);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
    // However the dialog closes, no password stays behind in it.
    connect(this, &QDialog::finished, this, [this] {
        CSecret::Wipe(m_strPwd);
        CSecret::Wipe(m_strRemembered);
        m_pPwd->Wipe();
    });
}

int CLinkDlg::exec() {
    m_strUser.clear();
    m_strPwd.clear();
    m_bSavePwd = false;
    m_strRemembered.clear();
    return QDialog::exec();
}

bool CLinkDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_strUser = m_pUser->currentText();
        m_strPwd = m_pPwd->text();
        m_bSavePwd = m_pSavePwd->isChecked();
    } else {
        m_pUser->setEditText(m_strUser);
        m_pPwd->setText(m_strPwd);
        m_pSavePwd->setChecked(m_bSavePwd);
    }
    return true;
}

void CLinkDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!pEvent->spontaneous())
        FillUserList();
}

void CLinkDlg::FillUserList() {
    CMessageBox::Guarded(this, [&] {
        const QStringList names = CUserAdmin::UserNames();
        m_pUser->clear();
        m_pUser->addItems(names);
    });
    // Nothing is chosen until the user chooses.
    m_pUser->setCurrentIndex(-1);
    UpdateData(false);
    m_pUser->setFocus();
}

void CLinkDlg::OnSelChangeUser(int nIndex) {
    if (nIndex < 0)
        return;
    m_strUser = m_pUser->itemText(nIndex);
    bool bSave = false;
    QString strPwd;
    if (!CMessageBox::Guarded(this, [&] { CUserAdmin::SavedPassword(m_strUser, bSave, strPwd); }))
        return;
    m_bSavePwd = bSave;
    m_strPwd = strPwd;
    m_strRemembered = bSave ? strPwd : QString();
    m_strRememberedFor = m_strUser;
    UpdateData(false);
}

void CLinkDlg::OnSavePwd() {
    UpdateData(true);
    if (!m_bSavePwd)
        m_strPwd.clear();
    UpdateData(false);
}

void CLinkDlg::OnOK() {
    UpdateData(true);
    m_result = SResult();
    if (!m_strUser.isEmpty()) {
        // An unreadable book is not a wrong password: say what happened; the dialog stays
        // open to try again or cancel.
        if (!CMessageBox::Guarded(
                this, [&] { m_result.nUserId = CUserAdmin::LogIn(m_strUser, m_strPwd); }))
            return;
        if (m_result.nUserId != 0) {
            // Only a password that opened the book is remembered. Failing to store the choice
            // (a read-only book, say) is told but does not stop the login.
            CMessageBox::Guarded(
                this, [&] { CUserAdmin::StoreSaveChoice(m_strUser, m_bSavePwd, m_strPwd); });
            m_result.bValid = true;
            m_result.strUser = m_strUser;
        } else if (!m_strRemembered.isEmpty() && m_strPwd == m_strRemembered &&
                   m_strUser == m_strRememberedFor) {
            // The remembered password no longer fits (changed on another computer): stay here
            // so the right one can be typed.
            CMessageBox::ShowMessage(tr("保存的密码已经不对了，请重新输入密码。"), this);
            CSecret::Wipe(m_strRemembered);
            CSecret::Wipe(m_strPwd);
            m_pPwd->Wipe();
            m_pPwd->setFocus();
            return;
        }
    }
    accept();
}
