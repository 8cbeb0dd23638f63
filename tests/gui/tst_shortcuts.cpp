#include "analysis/crptview.h"
#include "app/chelpwindow.h"
#include "app/cleftview.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "records/cincomeview.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

class TestShortcuts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keysReachTheirCommands_data();
    void keysReachTheirCommands();
    void noKeyFiresUnderAModalDialog();
    void reloadAndPrintKeys();
};

namespace {
void Activate(CGuiTest& gui) {
    gui.Frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(gui.Frame()));
}
} // namespace

void TestShortcuts::keysReachTheirCommands_data() {
    QTest::addColumn<int>("nCommand");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("strDialog"); // the modal dialog the command opens, if any
    QTest::addColumn<int>("nViewFirst");    // the view command that makes the key's place
    const auto row = [](const char* szName, int nCommand, const QKeySequence& keys,
                        const char* szDialog = "", int nViewFirst = 0) {
        QTest::newRow(szName) << nCommand << keys << QString::fromLatin1(szDialog) << nViewFirst;
    };
    row("sum", CMainFrame::ID_SUM_VIEW, QKeySequence(Qt::CTRL | Qt::Key_1));
    row("income", CMainFrame::ID_INCOME_VIEW, QKeySequence(Qt::CTRL | Qt::Key_2));
    row("outlay", CMainFrame::ID_OUTLAY_VIEW, QKeySequence(Qt::CTRL | Qt::Key_3));
    row("in chart", CMainFrame::ID_IN_CHART, QKeySequence(Qt::CTRL | Qt::Key_4));
    row("out chart", CMainFrame::ID_OUT_CHART, QKeySequence(Qt::CTRL | Qt::Key_5));
    row("report", CMainFrame::ID_RPT_VIEW, QKeySequence(Qt::CTRL | Qt::Key_6));
    row("new income day", CMainFrame::ID_ADD_INCOME, QKeySequence(Qt::CTRL | Qt::Key_N),
        "CNewDayInDlg");
    row("new outlay day", CMainFrame::ID_ADD_OUTLAY, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
        "CNewDayOutDlg");
    row("transfer", CMainFrame::ID_ADD_TRS, QKeySequence(Qt::CTRL | Qt::Key_T), "CTrsDlg");
    // the day view's, only there
    const int nDay = CMainFrame::ID_OUTLAY_VIEW;
    row("new record", CMainFrame::ID_NEW_RECORD, QKeySequence(Qt::Key_Insert), "", nDay);
    row("modify records", CMainFrame::ID_MODIFY_RECORDS, QKeySequence(Qt::Key_F2), "", nDay);
    row("delete record", CMainFrame::ID_DELETE_RECORD, QKeySequence(Qt::CTRL | Qt::Key_Delete), "",
        nDay);
    row("confirm records", CMainFrame::ID_CONFIRM_RECORDS, QKeySequence(Qt::CTRL | Qt::Key_Return),
        "", nDay);
    row("help", CMainFrame::ID_HELP, QKeySequence(Qt::Key_F1));
    row("print", CMainFrame::ID_PRINT, QKeySequence(Qt::CTRL | Qt::Key_P));
    row("preview", CMainFrame::ID_PREVIEW, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    row("reload", CMainFrame::ID_RELOAD, QKeySequence(Qt::Key_F5));
    row("quit", CMainFrame::ID_EXIT, QKeySequence(Qt::CTRL | Qt::Key_Q));
}

// Each key triggers its command and is shown beside it in the menu.
void TestShortcuts::keysReachTheirCommands() {
    QFETCH(int, nCommand);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, strDialog);
    QFETCH(int, nViewFirst);
    CGuiTest gui;
    gui.LogIn(QStringLiteral("张三"));
    if (nViewFirst != 0) {
        QVERIFY(!gui.IsEnabled(nCommand));
        QVERIFY(gui.Trigger(nViewFirst));
    }
    Activate(gui);
    auto* pAction = gui.Frame()->findChild<QAction*>(QString::number(nCommand));
    QVERIFY(pAction);
    QCOMPARE(pAction->shortcut(), keys);
    bool bInMenu = false;
    for (QMenu* pMenu : gui.Frame()->menuBar()->findChildren<QMenu*>())
        bInMenu = bInMenu || pMenu->actions().contains(pAction);
    QVERIFY(bInMenu);

    QSignalSpy spy(pAction, &QAction::triggered);
    QString strOpened;
    if (!strDialog.isEmpty())
        CGuiTest::OnNextModal([&](QWidget* pModal) {
            strOpened = pModal->objectName();
            qobject_cast<QDialog*>(pModal)->reject();
        });
    QTest::keySequence(gui.Frame(), keys);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(strOpened, strDialog);
    if (CHelpWindow::Instance())
        CHelpWindow::Instance()->close();
}

void TestShortcuts::noKeyFiresUnderAModalDialog() {
    CGuiTest gui;
    gui.LogIn(QStringLiteral("张三"));
    Activate(gui);
    QSignalSpy sum(gui.Frame()->Action(CMainFrame::ID_SUM_VIEW), &QAction::triggered);
    QSignalSpy quit(gui.Frame()->Action(CMainFrame::ID_EXIT), &QAction::triggered);
    bool bSeen = false;
    CGuiTest::OnNextModal([&](QWidget* pModal) {
        bSeen = true;
        for (QWidget* pTo : {pModal, static_cast<QWidget*>(gui.Frame())}) {
            QTest::keySequence(pTo, QKeySequence(Qt::CTRL | Qt::Key_1));
            QTest::keySequence(pTo, QKeySequence(Qt::CTRL | Qt::Key_Q));
        }
        qobject_cast<QDialog*>(pModal)->reject();
    });
    QVERIFY(gui.Trigger(CMainFrame::ID_ADD_TRS));
    QVERIFY(bSeen);
    QCOMPARE(sum.count(), 0);
    QCOMPARE(quit.count(), 0);
    QVERIFY(gui.Frame()->isVisible());
}

void TestShortcuts::reloadAndPrintKeys() {
    CGuiTest gui;
    gui.LogIn(QStringLiteral("张三"));
    Activate(gui);
    // Printing from elsewhere opens the report view to choose what to print.
    QTest::keySequence(gui.Frame(), QKeySequence(Qt::CTRL | Qt::Key_P));
    QVERIFY(gui.Frame()->View<CRptView>());
    // Reloading builds the view shown anew, and keeps it the view shown.
    QPointer<CRptView> pOld = gui.Frame()->View<CRptView>();
    QTest::keyClick(gui.Frame(), Qt::Key_F5);
    CGuiTest::ProcessEvents();
    QVERIFY(!pOld);
    QVERIFY(gui.Frame()->View<CRptView>());
    QVERIFY(gui.IsChecked(CMainFrame::ID_RPT_VIEW));
    QVERIFY(gui.Messages().isEmpty());

    // A small restored window still leaves the tree room for its names.
    gui.Frame()->showNormal();
    gui.Frame()->resize(868, 481);
    QApplication::processEvents();
    const int nNeeded = CTestAccess::TreeView(gui.Frame())
                            ->fontMetrics()
                            .horizontalAdvance(QStringLiteral("演示用户演示用户"));
    QVERIFY(CTestAccess::TreeView(gui.Frame())->width() >= nNeeded);
}

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
