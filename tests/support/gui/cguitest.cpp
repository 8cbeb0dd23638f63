#include "cguitest.h"

#include "app/cledgerkinapp.h"
#include "users/cuseradmin.h"
#include "widgets/cmessagebox.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

CGuiTest::CGuiTest() : m_pBook(std::make_unique<CTestBook>()) {
    CLedgerkinApp::InstallQtTranslations(); // as the program does at start
    CMessageBox::SetCapture(true);
    CMessageBox::ClearShown();
    m_pFrame = std::make_unique<CMainFrame>(false);
    m_pFrame->show();
    if (!QTest::qWaitForWindowExposed(m_pFrame.get()))
        qWarning("CGuiTest: the main frame was not exposed");
}

CGuiTest::~CGuiTest() {
    m_pFrame.reset();
    ProcessEvents();
    CMessageBox::ClearShown();
    m_pBook.reset();
}

bool CGuiTest::Trigger(int nCommandId) {
    QAction* pAction = m_pFrame->Action(nCommandId);
    if (pAction == nullptr || !pAction->isEnabled())
        return false;
    pAction->trigger();
    return true;
}

bool CGuiTest::IsEnabled(int nCommandId) const {
    const QAction* pAction = m_pFrame->Action(nCommandId);
    return pAction && pAction->isEnabled();
}

bool CGuiTest::IsChecked(int nCommandId) const {
    const QAction* pAction = m_pFrame->Action(nCommandId);
    return pAction && pAction->isChecked();
}

void CGuiTest::LogIn(const QString& strUser) {
    // As the login dialog does: the session keeps the user row it logged in to.
    m_pFrame->SetLoggedIn(strUser, CUserAdmin::UserId(strUser));
}

void CGuiTest::OnNextModal(const std::function<void(QWidget*)>& fn) {
    auto* pTimer = new QTimer;
    auto pClock = std::make_shared<QElapsedTimer>();
    pClock->start();
    pTimer->setInterval(10);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, pClock, fn] {
        QWidget* pModal = QApplication::activeModalWidget();
        if (pModal == nullptr && pClock->elapsed() < 5000)
            return;
        pTimer->stop();
        pTimer->deleteLater();
        if (pModal)
            fn(pModal);
        else
            qWarning("CGuiTest::OnNextModal: no modal dialog opened within 5 seconds");
    });
    pTimer->start();
}

QStringList CGuiTest::Messages() const {
    return CMessageBox::ShownTexts();
}

void CGuiTest::ClearMessages() {
    CMessageBox::ClearShown();
}

void CGuiTest::AnswerNext(bool bOk) {
    CMessageBox::SetNextAnswer(bOk);
}

void CGuiTest::Key(Qt::Key eKey, Qt::KeyboardModifiers eMods) {
    QWidget* pFocus = QApplication::focusWidget();
    if (!pFocus)
        qFatal("CGuiTest::Key: nothing has the focus");
    QTest::keyClick(pFocus, eKey, eMods);
}

void CGuiTest::Type(const QString& strText) {
    QWidget* pFocus = QApplication::focusWidget();
    if (!pFocus)
        qFatal("CGuiTest::Type: nothing has the focus");
    QTest::sendKeyEvent(QTest::Click, pFocus, Qt::Key_unknown, strText, Qt::NoModifier);
}

void CGuiTest::Keys(const QVector<SKey>& keys) {
    for (const SKey& key : keys) {
        if (key.eKey == Qt::Key_unknown)
            Type(QString::fromUtf8(key.pszText));
        else
            Key(key.eKey, key.eMods);
    }
}

void CGuiTest::ProcessEvents() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
