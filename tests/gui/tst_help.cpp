#include "app/caboutdlg.h"
#include "app/chelpwindow.h"
#include "cguitest.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

class TestHelp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void guideCoversEveryCommandAndFindsWords();
};

void TestHelp::guideCoversEveryCommandAndFindsWords() {
    CGuiTest gui;
    gui.Frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(gui.Frame()));
    QVERIFY(!CHelpWindow::Instance());
    QTest::keyClick(gui.Frame(), Qt::Key_F1);
    CHelpWindow* pHelp = CHelpWindow::Instance();
    QVERIFY(pHelp);
    QVERIFY(pHelp->isVisible());
    // The menu entry opens the same window rather than a second one.
    QVERIFY(gui.Trigger(CMainFrame::ID_HELP));
    QCOMPARE(CHelpWindow::Instance(), pHelp);
    QVERIFY(gui.Frame()->Action(CMainFrame::ID_HELP)->shortcut().matches(Qt::Key_F1));

    // Every chapter has a title, and every picture it shows is bundled.
    const QStringList titles = pHelp->ShownTitles();
    QCOMPARE(titles.size(), CHelpWindow::Chapters().size());
    QString strAllText;
    static const QRegularExpression rxImage(QStringLiteral("<img src=\"([^\"]+)\""));
    for (const QString& strPath : CHelpWindow::Chapters()) {
        QFile file(strPath);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(strPath));
        const QString strHtml = QString::fromUtf8(file.readAll());
        for (auto it = rxImage.globalMatch(strHtml); it.hasNext();) {
            const QString strImage = QStringLiteral(":/res/help/") + it.next().captured(1);
            QVERIFY2(!QImage(strImage).isNull(), qPrintable(strImage));
        }
        strAllText += strHtml;
    }
    for (const QString& strTitle : titles)
        QVERIFY(!strTitle.isEmpty());

    // Every command of the menus is explained somewhere, under the name the menu gives it.
    QStringList missing;
    for (QAction* pMenu : gui.Frame()->menuBar()->actions()) {
        for (QAction* pAction : pMenu->menu()->actions()) {
            if (pAction->isSeparator())
                continue;
            QString strName = pAction->text();
            strName.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|\\.\\.\\.|…")));
            if (!strAllText.contains(strName.trimmed()))
                missing << strName;
        }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));

    // Searching keeps the chapters holding every word and marks them in the text.
    pHelp->Search(QStringLiteral("导出PDF 状态栏"));
    QCOMPARE(pHelp->ShownTitles(), QStringList{QStringLiteral("报表、打印与导出")});
    QVERIFY(pHelp->Browser()->source().toString().endsWith(QStringLiteral("reports.html")));
    QVERIFY(pHelp->Browser()->extraSelections().size() >= 2);
    pHelp->Search(QStringLiteral("没有这样的词"));
    QVERIFY(pHelp->ShownTitles().isEmpty());
    pHelp->Search(QString());
    QCOMPARE(pHelp->ShownTitles(), titles);
    QVERIFY(pHelp->Browser()->extraSelections().isEmpty());

    // 关于 shows what the guide says it shows: the version and the copyright.
    {
        CAboutDlg about(gui.Frame());
        auto* pCopyright = about.findChild<QLabel*>(QStringLiteral("copyright"));
        QVERIFY(pCopyright);
        QVERIFY(pCopyright->text().startsWith(QStringLiteral("版权所有 ©")));
    }

    // Esc closes the guide.
    pHelp->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(pHelp));
    QTest::keyClick(pHelp->Browser(), Qt::Key_Escape);
    CGuiTest::ProcessEvents();
    QVERIFY(!CHelpWindow::Instance());
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
