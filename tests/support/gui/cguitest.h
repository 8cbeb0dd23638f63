#pragma once

#include "app/cmainframe.h"
#include "ctestbook.h"

#include <QApplication>
#include <QStringList>
#include <QVector>
#include <QWidget>
#include <functional>
#include <memory>

// One GUI test case's world: a fresh temporary book as the default connection, the real main
// frame (no splash) shown offscreen, and message boxes captured instead of shown.
//
//     CGuiTest gui;
//     gui.LogIn(QStringLiteral("张三"));               // the logged-in state, no dialog
//     QVERIFY(gui.Trigger(CMainFrame::ID_INCOME_VIEW)); // false when the command is disabled
//     auto* pEdit = gui.Find<QLineEdit>(CDayView::IDC_EDIT_TEXT);
//     QCOMPARE(gui.Messages(), QStringList{...});
class CGuiTest {
public:
    CGuiTest();
    ~CGuiTest();
    CGuiTest(const CGuiTest&) = delete;
    CGuiTest& operator=(const CGuiTest&) = delete;

    CMainFrame* Frame() const { return m_pFrame.get(); }
    CTestBook& Book() { return *m_pBook; }

    // The first widget (or action, layout...) of that class and objectName inside the frame or
    // any other top-level window; null when there is none.
    template <class T = QWidget> T* Find(const QString& strObjectName) const {
        if (T* p = m_pFrame->findChild<T*>(strObjectName))
            return p;
        for (QWidget* pTop : QApplication::topLevelWidgets()) {
            if (pTop->objectName() == strObjectName)
                if (T* p = qobject_cast<T*>(pTop))
                    return p;
            if (T* p = pTop->findChild<T*>(strObjectName))
                return p;
        }
        return nullptr;
    }
    // The same by control id (a class's IDC_ value).
    template <class T = QWidget> T* Find(int nId) const { return Find<T>(QString::number(nId)); }

    // Runs a menu/toolbar command as a click would. False (and nothing runs) when the
    // command is disabled.
    bool Trigger(int nCommandId);
    bool IsEnabled(int nCommandId) const;
    bool IsChecked(int nCommandId) const;

    // Sets the logged-in state directly (no login dialog, no password); runs the summary
    // command. The session gets the user's row id when the book has the user.
    void LogIn(const QString& strUser);

    // Calls fn with the next modal dialog as soon as it is open (use before the Trigger or
    // click that opens it); fn typically fills fields and accepts or rejects it.
    static void OnNextModal(const std::function<void(QWidget*)>& fn);

    // Message boxes shown since the start or the last ClearMessages(); questions too.
    QStringList Messages() const;
    void ClearMessages();
    // Queue the answer of the next question (OK when nothing is queued).
    void AnswerNext(bool bOk);

    // Keys as a person types them, to whatever has the focus (the window must be active for
    // the frame's shortcuts): one key, or a text delivered as an input method delivers it.
    // A step of Keys is a key, or with eKey Qt::Key_unknown the text.
    struct SKey {
        Qt::Key eKey;
        Qt::KeyboardModifiers eMods = Qt::NoModifier;
        const char* pszText = nullptr; // UTF-8
    };
    static void Key(Qt::Key eKey, Qt::KeyboardModifiers eMods = Qt::NoModifier);
    static void Type(const QString& strText);
    static void Keys(const QVector<SKey>& keys);

    // Lets deferred deletions and queued events run (a switched-away view is deleted later).
    static void ProcessEvents();

private:
    std::unique_ptr<CTestBook> m_pBook;
    std::unique_ptr<CMainFrame> m_pFrame;
};
