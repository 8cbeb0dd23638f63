#include "app/cmainframe.h"
#include "cbookbuilder.h"
#include "cguitest.h"
#include "ctestrows.h"
#include "data/cbackup.h"
#include "data/cchangewatcher.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/ctoday.h"
#include "records/cincomeview.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"

#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

// The book shared with other copies of the program: their rows show up by themselves, an
// open edit is left alone, a backup is restored by the menu command, and a book whose file
// was replaced is reopened on request.
namespace {
const QString g_strUser = QStringLiteral("张三");
const QString g_strCash = QStringLiteral("现金");
const QDate g_day(2004, 3, 2);

// An income row written by another copy of the program, through its own connection.
void OtherCopyAdds(const QString& strUrl, double dAmount) {
    const QString strOther = QStringLiteral("other");
    CDatabase::SetUrl(strUrl, strOther);
    {
        CIncomeSet set(strOther);
        set.AddNew();
        set.m_UserName = g_strUser;
        set.m_Date = QDateTime(g_day, QTime(0, 0));
        set.m_Bank = g_strCash;
        set.m_Sort = QStringLiteral("工资收入");
        set.m_Amount = dAmount;
        set.Update();
    }
    CDatabase::Close(strOther);
}

struct SFixture {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    SFixture() {
        CTestRows::AddBank(g_strUser, g_strCash, 1000);
        CTestRows::AddRecord<CIncomeSet>(g_strUser, QDateTime(g_day, QTime(0, 0)), g_strCash,
                                         QStringLiteral("工资收入"), QString(), 100);
        gui.LogIn(g_strUser);
        gui.ClearMessages();
    }
    CIncomeView* DayView() {
        gui.Trigger(CMainFrame::ID_INCOME_VIEW);
        QTest::mouseClick(pFrame->View<CIncomeView>()->findChild<QPushButton*>(
                              QString::number(CDayView::IDC_FIRST_DAY)),
                          Qt::LeftButton);
        return pFrame->View<CIncomeView>();
    }
};
} // namespace

class TestSharedBookGui : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void otherCopysRowsShowUpUnlessEditing() {
        SFixture f;
        CIncomeView* pView = f.DayView();
        QCOMPARE(pView->m_nRows, 2); // heading + one row
        f.pFrame->ChangeWatcher()->Poll();

        OtherCopyAdds(f.gui.Book().Url(), 7);
        f.pFrame->ChangeWatcher()->Poll();
        QCOMPARE(pView->m_nRows, 3);
        QCOMPARE(pView->m_gridRecords->GetTextMatrix(2, 3), QStringLiteral("7.00"));

        // While an add is open the grid keeps what is being typed; the status bar says why.
        QTest::mouseClick(pView->findChild<QPushButton*>(QString::number(CDayView::IDC_ADD)),
                          Qt::LeftButton);
        QVERIFY(pView->IsEditing());
        OtherCopyAdds(f.gui.Book().Url(), 9);
        f.pFrame->ChangeWatcher()->Poll();
        QVERIFY(pView->IsEditing());
        QCOMPARE(pView->m_nRows, 4);
        QVERIFY2(f.pFrame->statusBar()->currentMessage().contains(QStringLiteral("另一个程序")),
                 qPrintable(f.pFrame->statusBar()->currentMessage()));
        pView->OnCancel();
        QVERIFY(!pView->IsEditing());
        f.pFrame->ChangeWatcher()->Poll();
        QCOMPARE(pView->m_nRows, 4);
        QCOMPARE(f.gui.Messages(), QStringList());
    }

    void restoreCommandNamesTheDayAndRestores() {
        SFixture f;
        CToday::Set(QDate(2026, 12, 7));
        QString strMessage;
        QVERIFY(CBackup::RunDaily(strMessage));
        CToday::Set(QDate());
        const QStringList backedUp = CBookBuilder::Dump();
        OtherCopyAdds(f.gui.Book().Url(), 7);

        CGuiTest::OnNextModal([](QWidget* pModal) {
            auto* pDialog = qobject_cast<QInputDialog*>(pModal);
            QVERIFY(pDialog);
            QCOMPARE(pDialog->comboBoxItems().size(), 1);
            pDialog->setTextValue(pDialog->comboBoxItems().value(0));
            pDialog->accept();
        });
        QVERIFY(f.gui.Trigger(CMainFrame::ID_RESTORE_BACKUP));
        const QStringList shown = f.gui.Messages();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].contains(QStringLiteral("2026年12月7日")), qPrintable(shown[0]));
        QVERIFY2(shown[1].startsWith(QStringLiteral("已把帐本恢复成 2026年12月7日 的备份")),
                 qPrintable(shown[1]));
        QCOMPARE(CBookBuilder::Dump(), backedUp);
        QVERIFY(!f.pFrame->Session()->IsLoggedIn());

        // Cancelled at the question: nothing changes.
        OtherCopyAdds(f.gui.Book().Url(), 8);
        const QStringList grown = CBookBuilder::Dump();
        CGuiTest::OnNextModal([](QWidget* pModal) { static_cast<QDialog*>(pModal)->accept(); });
        f.gui.AnswerNext(false);
        QVERIFY(f.gui.Trigger(CMainFrame::ID_RESTORE_BACKUP));
        QCOMPARE(CBookBuilder::Dump(), grown);
    }

    void replacedBookIsReopenedOnRequest() {
        SFixture f;
        f.DayView();
        const QStringList before = CBookBuilder::Dump();
        CDatabase::Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")); // the file is whole
        const QString strPath = f.gui.Book().FilePath();
        QVERIFY(QFile::rename(strPath, strPath + QStringLiteral(".moved")));
        QVERIFY(QFile::copy(strPath + QStringLiteral(".moved"), strPath));
        // Noticed by the watcher even before anything is written; asked once.
        f.pFrame->ChangeWatcher()->Poll();
        f.pFrame->ChangeWatcher()->Poll();
        const QStringList shown = f.gui.Messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QStringLiteral("重新打开帐本吗")), qPrintable(shown[0]));
        QVERIFY(!f.pFrame->Session()->IsLoggedIn());
        QCOMPARE(CDatabase::Url(), strPath);
        QCOMPARE(CBookBuilder::Dump(), before);
        QVERIFY(CDatabase::IsSameBookFile());

        // A write refused for the same reason asks too, and reopens after the current step.
        f.gui.LogIn(g_strUser);
        f.gui.ClearMessages();
        QVERIFY(QFile::remove(strPath));
        f.gui.AnswerNext(true);
        try {
            CDatabase::CheckBookFile();
            QFAIL("a deleted book was not noticed");
        } catch (const CDBException& e) {
            CMessageBox::ShowDBError(e);
        }
        QVERIFY(f.pFrame->Session()->IsLoggedIn());
        QTRY_VERIFY(!f.pFrame->Session()->IsLoggedIn());
        QCOMPARE(f.gui.Messages().size(), 1);
    }
};

QTEST_MAIN(TestSharedBookGui)
#include "tst_sharedbook_gui.moc"
