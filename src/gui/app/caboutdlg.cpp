#include "app/caboutdlg.h"

#include "widgets/cpicture.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent) {
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(tr("关于 Ledgerkin 家庭账本"));
    auto* pPicture =
        new CPicture(QStringLiteral(":/res/pictures/about.svg"), QSize(502, 209), this,
                     {{QStringLiteral("@VERSION@"), QStringLiteral(LEDGERKIN_VERSION)}});
    pPicture->setObjectName(QStringLiteral("163"));
    // The guide says 关于 shows the copyright: it stands below the picture.
    auto* pCopyright = new QLabel(tr("版权所有 © 2026 Ledgerkin 开发者"), this);
    pCopyright->setObjectName(QStringLiteral("copyright"));
    auto* pOk = new QPushButton(tr("确定"), this);
    pOk->setObjectName(QStringLiteral("1"));
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(pCopyright);
    pButtons->addStretch(1);
    pButtons->addWidget(pOk);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pPicture);
    pLayout->addLayout(pButtons);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}
