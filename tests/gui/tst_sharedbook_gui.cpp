#include "analysis/csumlistview.h"
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "cbookbuilder.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "ctestrows.h"
#include "cthrowawayserver.h"
#include "data/cbackup.h"
#include "data/cchangewatcher.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/ctoday.h"
#include "import/cimporter.h"
#include "records/cincomeview.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"

#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QStatusBar>
#include <QUrl>
#include <QtTest>

// The book shared with other copies of the program: their rows and imports show up by
// themselves, an open edit is left alone, a backup is restored by the menu command, a book
// whose file was replaced is reopened on request, and a PostgreSQL connection the server
// dropped is followed by views shown whole again. Runs on both backends.
namespace {
// What a day view shows: its grid's rows (the heading's included), a cell, a box.
int Rows(const QWidget* pView) {
    return pView->findChild<CMsflexgrid1*>(QString::number(CDayView::IDC_GRID_RECORDS))->GetRows();
}
QString Cell(const QWidget* pView, int nRow, int nCol) {
    return pView->findChild<CMsflexgrid1*>(QString::number(CDayView::IDC_GRID_RECORDS))
        ->GetTextMatrix(nRow, nCol);
}
QString Box(const QWidget* pView, int nId) {
    return pView->findChild<QLineEdit*>(QString::number(nId))->text();
}

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

// Another copy imports rows of days the book does not have yet.
void OtherCopyImports(const QString& strUrl, const QDate& first, int nDays) {
    const QString strOther = QStringLiteral("other");
    CDatabase::SetUrl(strUrl, strOther);
    // The fixture's rows have no user row; an import keys what it imported by the user's.
    CDatabase::Exec(QStringLiteral("INSERT INTO \"User\" (\"UserName\") VALUES (?)"), {g_strUser},
                    strOther);
    SStatement statement;
    for (int i = 0; i < nDays; ++i) {
        SStatementRow row;
        row.date = first.addDays(i);
        row.eType = SStatementRow::EType::Income;
        row.nCents = 1000 + i;
        row.strCounterpart = QStringLiteral("公司");
        row.strExtId = QStringLiteral("import-%1").arg(i);
        statement.rows << row;
    }
    CImporter importer(g_strUser, 0, strOther);
    CPreviewRows rows;
    QVERIFY(importer.Preview(statement, g_strCash, importer.Rules(), rows));
    QCOMPARE(importer.Import(rows).nIncome, nDays);
    CDatabase::Close(strOther);
}

// The years the tree lists.
QStringList TreeYears(const CLeftView* pTree) {
    QStringList years;
    for (int i = 0; i < pTree->topLevelItemCount(); ++i)
        for (int j = 0; j < pTree->topLevelItem(i)->childCount(); ++j)
            years << pTree->topLevelItem(i)->child(j)->text(0);
    return years;
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
        QCOMPARE(Rows(pView), 2); // heading + one row
        f.pFrame->ChangeWatcher()->Poll();

        OtherCopyAdds(f.gui.Book().Url(), 7);
        f.pFrame->ChangeWatcher()->Poll(); // SQLite: looks; PostgreSQL: the notice comes in
        QTRY_COMPARE(Rows(pView), 3);
        QCOMPARE(Cell(pView, 2, 3), QStringLiteral("7.00"));

        // While an add is open the grid keeps what is being typed; the status bar says why.
        QTest::mouseClick(pView->findChild<QPushButton*>(QString::number(CDayView::IDC_ADD)),
                          Qt::LeftButton);
        QVERIFY(pView->IsEditing());
        OtherCopyAdds(f.gui.Book().Url(), 9);
        f.pFrame->ChangeWatcher()->Poll();
        QTRY_VERIFY2(f.pFrame->statusBar()->currentMessage().contains(QStringLiteral("另一个程序")),
                     qPrintable(f.pFrame->statusBar()->currentMessage()));
        QVERIFY(pView->IsEditing());
        QCOMPARE(Rows(pView), 4);
        // Once the edit ends the latest rows show, and the status bar no longer says they wait.
        QTest::mouseClick(pView->findChild<QPushButton*>(QString::number(CDayView::IDC_CANCEL)),
                          Qt::LeftButton);
        QVERIFY(!pView->IsEditing());
        f.pFrame->ChangeWatcher()->Poll();
        QCOMPARE(Rows(pView), 4);
        QCOMPARE(Cell(pView, 3, 3), QStringLiteral("9.00"));
        QVERIFY2(!f.pFrame->statusBar()->currentMessage().contains(QStringLiteral("另一个程序")),
                 qPrintable(f.pFrame->statusBar()->currentMessage()));
        QCOMPARE(f.gui.Messages(), QStringList());
    }

    // The summary shows another copy's rows within the watcher's interval, also after a
    // year of the tree was opened (an item current in the tree, none chosen).
    void otherCopysRowsShowInTheSummary() {
        SFixture f;
        QCOMPARE(f.gui.Find<QLineEdit>(CSumListView::IDC_TOTAL_INCOME)->text(),
                 QStringLiteral("100.00元"));
        CLeftView* pTree = CTestAccess::TreeView(f.pFrame);
        pTree->setCurrentItem(pTree->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
        pTree->topLevelItem(0)->setExpanded(true);
        QVERIFY(pTree->selectedItems().isEmpty());
        f.pFrame->ChangeWatcher()->Poll();
        for (const double dAmount : {7.0, 9.0}) {
            OtherCopyAdds(f.gui.Book().Url(), dAmount);
            f.pFrame->ChangeWatcher()->Poll();
            // The summary is made anew: its field is looked up each time.
            QTRY_COMPARE(f.gui.Find<QLineEdit>(CSumListView::IDC_TOTAL_INCOME)->text(),
                         dAmount == 7.0 ? QStringLiteral("107.00元") : QStringLiteral("116.00元"));
            pTree->setCurrentItem(pTree->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
        }
        QCOMPARE(f.gui.Messages(), QStringList());
    }

    // Another copy's import brings days of a new year: the tree beside the day view lists
    // them within the watcher's interval, and the day shown stays the same.
    void otherCopysImportJoinsTheTree() {
        SFixture f;
        CIncomeView* pView = f.DayView();
        const CLeftView* pTree = CTestAccess::TreeView(f.pFrame);
        QCOMPARE(TreeYears(pTree), QStringList{QStringLiteral("2004年")});
        f.pFrame->ChangeWatcher()->Poll();
        OtherCopyImports(f.gui.Book().Url(), QDate(2005, 6, 1), 3);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, f.pFrame->ChangeWatcher(), &CChangeWatcher::Poll);
        poll.start(CChangeWatcher::IntervalMs);
        QTRY_COMPARE_WITH_TIMEOUT(TreeYears(pTree),
                                  (QStringList{QStringLiteral("2004年"), QStringLiteral("2005年")}),
                                  3 * CChangeWatcher::IntervalMs);
        QCOMPARE(CTestAccess::Day(pView), g_day);
        QCOMPARE(pTree->currentItem()->data(0, Qt::UserRole).toDate(), g_day);
        QCOMPARE(f.gui.Messages(), QStringList());
    }

    // PostgreSQL: the server drops the connection (a restart). What another copy wrote while no
    // one listened shows once the watcher has the connection back, with no message; a day
    // whose figures cannot be read shows its heading over no rows and no total.
    void viewsAreWholeAfterTheConnectionDrops() {
        if (!CTestBook::UsePostgres())
            QSKIP("server connections are PostgreSQL's");
        SFixture f;
        CIncomeView* pView = f.DayView();
        const QString strTotal = Box(pView, CDayView::IDC_EDIT_TOTAL);
        QSqlQuery pid = CDatabase::Exec(QStringLiteral("SELECT pg_backend_pid()"));
        QVERIFY(pid.next());
        const QString strKiller = QStringLiteral("killer");
        CDatabase::SetUrl(f.gui.Book().Url(), strKiller);
        CDatabase::Exec(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid.value(0)},
                        strKiller);
        CDatabase::Close(strKiller);
        pid = QSqlQuery();
        OtherCopyAdds(f.gui.Book().Url(), 7);
        f.pFrame->ChangeWatcher()->Poll();
        QTRY_COMPARE(Rows(pView), 3);
        QCOMPARE(Cell(pView, 2, 3), QStringLiteral("7.00"));
        QVERIFY(Box(pView, CDayView::IDC_EDIT_TOTAL) != strTotal);
        QCOMPARE(f.gui.Messages(), QStringList());

        const QString strShown = Box(pView, CDayView::IDC_EDIT_DATE);
        // The day's figures unreadable for a moment (a right taken away, as the server going
        // away would make them): statements that cannot be prepared, so run as they are.
        QSqlQuery rights(CDatabase::Connection());
        QVERIFY(rights.exec(
            QStringLiteral("REVOKE SELECT ON \"Income\", \"DayTotals\" FROM CURRENT_USER")));
        pView->ShowCurrentDay();
        QVERIFY(rights.exec(
            QStringLiteral("GRANT SELECT ON \"Income\", \"DayTotals\" TO CURRENT_USER")));
        QCOMPARE(Box(pView, CDayView::IDC_EDIT_DATE), strShown);
        QCOMPARE(Rows(pView), 1);
        QCOMPARE(Box(pView, CDayView::IDC_EDIT_TOTAL), QString());
        QVERIFY(!f.gui.Messages().isEmpty());
        f.gui.ClearMessages();
        pView->ShowCurrentDay();
        QCOMPARE(Rows(pView), 3);
        QCOMPARE(f.gui.Messages(), QStringList());
    }

    // PostgreSQL: at start-up the server is tried at once; a wrong password or a missing
    // database is said in those words, in a message and in the status bar.
    void serverBookIsTriedAtStartUp() {
        if (!CTestBook::UsePostgres())
            QSKIP("server books are PostgreSQL's");
        CGuiTest gui;
        const QString strBook = CDatabase::Url();
        QUrl wrongPassword(strBook), noDatabase(strBook);
        wrongPassword.setPassword(QStringLiteral("wrong-password"));
        noDatabase.setPath(QStringLiteral("/lk_no_such_book"));
        const struct {
            QUrl url;
            QString strStart;
        } starts[] = {{wrongPassword, QStringLiteral("数据库用户名或密码错误")},
                      {noDatabase, QStringLiteral("数据库服务器上没有数据库“lk_no_such_book”")}};
        for (const auto& start : starts) {
            CDatabase::SetUrl(start.url.toString());
            gui.ClearMessages();
            gui.Frame()->TryServerBook();
            QCOMPARE(gui.Messages().size(), 1);
            QVERIFY2(gui.Messages()[0].startsWith(start.strStart), qPrintable(gui.Messages()[0]));
            QVERIFY(gui.Frame()->statusBar()->currentMessage().startsWith(start.strStart));
        }
        CDatabase::SetUrl(strBook);
        gui.ClearMessages();
        gui.Frame()->TryServerBook();
        QVERIFY(CDatabase::IsOpen());
        QCOMPARE(gui.Messages(), QStringList());
    }

    // PostgreSQL: the server restarted mid-session, on a server of the test's own. While it
    // is down the day view shows its own heading over nothing; once it is back the watcher
    // connects again and the view shows its day whole, with what another copy wrote meanwhile,
    // and the tree still on that day.
    void serverRestartLeavesTheViewOnItsDay() {
        if (!CTestBook::UsePostgres())
            QSKIP("server restarts are PostgreSQL's");
        if (CThrowawayServer::PgBin().isEmpty())
            QSKIP("PostgreSQL server programs not installed");
        CThrowawayServer server;
        QVERIFY(server.Init());
        struct SServerEnv { // the fixture's book goes to this server
            QByteArray saved = qgetenv("LEDGERKIN_TEST_PG");
            explicit SServerEnv(const QString& strUrl) {
                qputenv("LEDGERKIN_TEST_PG", strUrl.toUtf8());
            }
            ~SServerEnv() { qputenv("LEDGERKIN_TEST_PG", saved); }
        } env(server.Url());
        SFixture f;
        CIncomeView* pView = f.DayView();
        const QString strHeading = Box(pView, CDayView::IDC_EDIT_DATE),
                      strTotal = Box(pView, CDayView::IDC_EDIT_TOTAL);
        f.pFrame->ChangeWatcher()->Poll();

        QVERIFY(server.Stop());
        pView->ShowCurrentDay();
        QCOMPARE(Box(pView, CDayView::IDC_EDIT_DATE), strHeading);
        QCOMPARE(Rows(pView), 1);
        QCOMPARE(Box(pView, CDayView::IDC_EDIT_TOTAL), QString());
        QVERIFY(!f.gui.Messages().isEmpty());
        f.gui.ClearMessages();
        f.pFrame->ChangeWatcher()->Poll(); // the server is away: nothing to show, no message

        QVERIFY(server.Start());
        OtherCopyAdds(f.gui.Book().Url(), 7);
        QTRY_VERIFY_WITH_TIMEOUT((f.pFrame->ChangeWatcher()->Poll(), Rows(pView) == 3),
                                 3 * CChangeWatcher::IntervalMs);
        QCOMPARE(Box(pView, CDayView::IDC_EDIT_DATE), strHeading);
        QCOMPARE(Cell(pView, 1, 3), QStringLiteral("100.00"));
        QCOMPARE(Cell(pView, 2, 3), QStringLiteral("7.00"));
        QVERIFY(!Box(pView, CDayView::IDC_EDIT_TOTAL).isEmpty() &&
                Box(pView, CDayView::IDC_EDIT_TOTAL) != strTotal);
        QCOMPARE(CTestAccess::TreeView(f.pFrame)->currentItem()->data(0, Qt::UserRole).toDate(),
                 g_day);
        QCOMPARE(f.gui.Messages(), QStringList());
    }

    void restoreCommandNamesTheDayAndRestores() {
        if (CTestBook::UsePostgres())
            QSKIP("the daily backups are SQLite's");
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
        QVERIFY2(shown[1].startsWith(QStringLiteral("已把账本恢复成 2026年12月7日 的备份")),
                 qPrintable(shown[1]));
        QVERIFY(CMessageBox::Shown().last().bInfo);
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
        if (CTestBook::UsePostgres())
            QSKIP("book files are SQLite's");
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
        QVERIFY2(shown[0].contains(QStringLiteral("重新打开账本吗")), qPrintable(shown[0]));
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

// Exit code 77 (CTest: skipped) when the PostgreSQL half is asked for without a server.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (CTestBook::UsePostgres() && CTestBook::PostgresServer().isEmpty()) {
        qInfo("LEDGERKIN_TEST_PG is not set: PostgreSQL half skipped");
        return 77;
    }
    TestSharedBookGui test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_sharedbook_gui.moc"
