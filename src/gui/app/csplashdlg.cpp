#include "app/csplashdlg.h"

#include "widgets/cpicture.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

CSplashDlg::CSplashDlg(QWidget* pParent)
    : QDialog(pParent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("CSplashDlg"));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(1, 1, 1, 1);
    auto* pPicture =
        new CPicture(QStringLiteral(":/res/pictures/splash.svg"), QSize(401, 242), this,
                     {{QStringLiteral("@VERSION@"), QStringLiteral(LEDGERKIN_VERSION)}});
    pPicture->setObjectName(QStringLiteral("170"));
    pLayout->addWidget(pPicture);
    setFixedSize(404, 244);
}

void CSplashDlg::ShowFor(int nMilliseconds) {
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    const QRect screen = pScreen ? pScreen->geometry() : QRect(0, 0, 800, 600);
    move(screen.x() + screen.width() / 2 - 200, screen.y() + screen.height() / 2 - 120);
    show();
    raise();
    repaint();
    // Keep painting (a compositor may ask) but take no input until the main window stands.
    QEventLoop loop;
    QTimer::singleShot(nMilliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    hide();
}
