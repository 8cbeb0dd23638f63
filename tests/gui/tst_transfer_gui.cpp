#include "accounts/caccountadmin.h"
#include "accounts/caccountsdlg.h"
#include "accounts/ctransfer.h"
#include "accounts/ctrsdlg.h"
#include "accounts/ctrsrptdlg.h"
#include "analysis/csumlistview.h"
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "ctestrows.h"
#include "data/cbankset.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "data/ctrsset.h"
#include "records/cincomeview.h"
#include "users/cuseradmin.h"
#include "widgets/cmsflexgrid1.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

namespace {
const QString g_strUser = QStringLiteral("张三");
const QString A = QStringLiteral("A");
const QString B = QStringLiteral("B");

QString Balance(const QString& strCard) {
    return CTestRows::Balance(g_strUser, strCard);
}

int TrsCount() {
    CTrsSet set;
    set.Open();
    return set.GetRecordCount();
}

template <class T> T* Child(QWidget* pDlg, int nId) {
    return pDlg->findChild<T*>(QString::number(nId));
}

void Fill(QWidget* pDlg, const QString& strFrom, const QString& strIn, const QString& strAmount) {
    Child<QComboBox>(pDlg, CTrsDlg::IDC_FROM)->setEditText(strFrom);
    Child<QComboBox>(pDlg, CTrsDlg::IDC_IN)->setEditText(strIn);
    Child<QLineEdit>(pDlg, CTrsDlg::IDC_AMOUNT)->setText(strAmount);
}

void Click(QWidget* pDlg, int nId) {
    Child<QPushButton>(pDlg, nId)->click();
}

QStringList Items(QWidget* pDlg, int nId) {
    auto* pCombo = Child<QComboBox>(pDlg, nId);
    QStringList list;
    for (int i = 0; i < pCombo->count(); ++i)
        list << pCombo->itemText(i);
    return list;
}

// Rows 1.. of the history grid, "date|from|in|amount".
QStringList HistoryRows(QWidget* pDlg) {
    const auto* pGrid = Child<CMsflexgrid1>(pDlg, CTrsRptDlg::IDC_GRID);
    QStringList rows;
    for (int r = 1; r < pGrid->GetRows(); ++r) {
        QStringList cells;
        for (int c = 1; c < 5; ++c)
            cells << pGrid->GetTextMatrix(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

class TestTransferGui : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { CToday::Set(QDate(2004, 3, 2)); }
    void cleanup() { CToday::Set(QDate()); }

    void transferThenSummaryAndHistory() {
        CGuiTest gui;
        CTestRows::AddBank(g_strUser, QStringLiteral("工商银行"), 0);
        CTestRows::AddBank(g_strUser, B, 20);
        CTestRows::AddBank(g_strUser, A, 100);
        CTestRows::AddBank(QStringLiteral("李四"), QStringLiteral("C"), 0);
        gui.LogIn(g_strUser);
        QStringList from, in;
        QDate calendarDay;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            from = Items(pDlg, CTrsDlg::IDC_FROM);
            in = Items(pDlg, CTrsDlg::IDC_IN);
            calendarDay = Child<QCalendarWidget>(pDlg, CTrsDlg::IDC_CALENDAR)->selectedDate();
            Fill(pDlg, A, B, QStringLiteral("150"));
            Click(pDlg, CTrsDlg::IDOK);
        });
        QVERIFY(gui.Trigger(CMainFrame::ID_ADD_TRS));
        QCOMPARE(calendarDay, QDate(2004, 3, 2));
        QCOMPARE(from, QStringList({A, B, QStringLiteral("工商银行")}));
        QCOMPARE(in, from);
        QCOMPARE(Balance(A), QStringLiteral("-50.00"));
        QCOMPARE(Balance(B), QStringLiteral("170.00"));
        // Taking A below zero was asked first.
        QCOMPARE(gui.Messages(),
                 QStringList{
                     QStringLiteral("转账后账号“A”的余额将是 ￥-50.00，低于零。\n确定要转账吗？")});
        // The summary shows the new balances.
        QVERIFY(gui.Frame()->View<CSumListView>());
        QVERIFY(gui.IsChecked(CMainFrame::ID_SUM_VIEW));
        const auto* pAccounts = gui.Find<CMsflexgrid1>(CSumListView::IDC_ACCOUNT_GRID);
        QCOMPARE(pAccounts->GetTextMatrix(2, 2), QStringLiteral("170.00"));
        QCOMPARE(pAccounts->GetTextMatrix(3, 2), QStringLiteral("-50.00"));
        QCOMPARE(gui.Find<QLineEdit>(CSumListView::IDC_ACCOUNT_TOTAL)->text(),
                 QStringLiteral("合计金额   120.00元"));

        // A negative amount moves money the other way.
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            Fill(pDlg, A, B, QStringLiteral("-30"));
            Click(pDlg, CTrsDlg::IDOK);
        });
        QVERIFY(gui.Trigger(CMainFrame::ID_ADD_TRS));
        QCOMPARE(Balance(A), QStringLiteral("-20.00"));
        QCOMPARE(Balance(B), QStringLiteral("140.00"));

        // The history, opened twice from the dialog, lists each transfer once, by date, with
        // a total; the second time the first transfer is undone (the question refused once).
        CTransfer::Transfer(g_strUser, QDate(2004, 3, 1), B, A, 0.01);
        const QStringList expected = {
            QStringLiteral("2004年3月1日|B|A|￥0.01"), QStringLiteral("2004年3月2日|A|B|￥150.00"),
            QStringLiteral("2004年3月2日|A|B|￥-30.00"), QStringLiteral("合计（3 笔）|||￥120.01")};
        QStringList firstView, secondView, afterUndo;
        bool bUndoEnabledAtFirst = true;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            for (QStringList* pRows : {&firstView, &secondView}) {
                CGuiTest::OnNextModal([&, pRows](QWidget* pRpt) {
                    *pRows = HistoryRows(pRpt);
                    if (pRows != &secondView) {
                        Click(pRpt, CTrsRptDlg::IDOK);
                        return;
                    }
                    auto* pGrid = Child<CMsflexgrid1>(pRpt, CTrsRptDlg::IDC_GRID);
                    bUndoEnabledAtFirst =
                        Child<QPushButton>(pRpt, CTrsRptDlg::IDC_UNDO)->isEnabled();
                    QTest::mouseClick(pGrid->viewport(), Qt::LeftButton, {},
                                      pGrid->CellRect(2, 2, pGrid->viewport()).center());
                    gui.AnswerNext(false);
                    Click(pRpt, CTrsRptDlg::IDC_UNDO);
                    Click(pRpt, CTrsRptDlg::IDC_UNDO);
                    afterUndo = HistoryRows(pRpt);
                    Click(pRpt, CTrsRptDlg::IDCANCEL);
                });
                Click(pDlg, CTrsDlg::IDC_VIEW_TRS);
            }
            Click(pDlg, CTrsDlg::IDCANCEL);
        });
        gui.ClearMessages();
        QVERIFY(gui.Trigger(CMainFrame::ID_ADD_TRS));
        QCOMPARE(firstView, expected);
        QCOMPARE(secondView, expected);
        QVERIFY(!bUndoEnabledAtFirst);
        QCOMPARE(gui.Messages().size(), 2);
        QVERIFY(gui.Messages().at(0).startsWith(QStringLiteral("确定撤销这笔转账吗？")));
        QCOMPARE(afterUndo, (QStringList{expected[0], expected[2],
                                         QStringLiteral("合计（2 笔）|||￥-29.99")}));
        QCOMPARE(Balance(A), QStringLiteral("130.01"));
        QCOMPARE(Balance(B), QStringLiteral("-10.01"));
        // The dialog was cancelled, yet the summary shows the balances the undo left.
        QCOMPARE(gui.Find<CMsflexgrid1>(CSumListView::IDC_ACCOUNT_GRID)->GetTextMatrix(2, 2),
                 QStringLiteral("-10.01"));
        QCOMPARE(TrsCount(), 2);
    }

    void refusalsKeepTheDialogOpen() {
        CGuiTest gui;
        CTestRows::AddBank(g_strUser, A, 100);
        CTestRows::AddBank(g_strUser, B, 20);
        CTestRows::AddBank(QStringLiteral("李四"), QStringLiteral("C"), 0);
        gui.LogIn(g_strUser);
        const struct {
            const char* szFrom;
            const char* szIn;
            const char* szAmount;
            QString strMessage;
        } cases[] = {
            {"", "", "150", QStringLiteral("转出账号不能为空!")},
            {"A", "", "150", QStringLiteral("转入账号不能为空!")},
            {"A", "A", "150", QStringLiteral("转入账号和转出账号不能相同!")},
            {"A", "B", "0", QStringLiteral("转账金额不能为零!")},
            {"A", "B", "0.004", QStringLiteral("转账金额不能为零!")}, // zero once rounded
            {"A", "B", "12,5",
             QStringLiteral("转账金额：金额中不能有逗号：小数请用小数点（例如 12.50），整数直接写"
                            "（例如 1000）")},
            {"A", "B", "1,500", QStringLiteral("转账金额：1,500 是 1500 吗？请写 1500，不加逗号")},
            {"A", "B", "nan", QStringLiteral("转账金额：金额只能是数字，请用小数点，例如 12.50")},
            {"A", "B", "2e12",
             QStringLiteral("转账金额：金额太大：不能超过 1000000000000（一万亿）元。")},
            {"X", "B", "150", QStringLiteral("转出账号不存在!")},
            {"A", "C", "50", QStringLiteral("转入账号不存在!")}, // another user's account
        };
        QStringList shown;
        bool bStayedOpen = true;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            for (const auto& c : cases) {
                gui.ClearMessages();
                Fill(pDlg, QString::fromUtf8(c.szFrom), QString::fromUtf8(c.szIn),
                     QString::fromUtf8(c.szAmount));
                Click(pDlg, CTrsDlg::IDOK);
                shown << gui.Messages();
                bStayedOpen = bStayedOpen && pDlg->isVisible();
            }
            // Going below zero, answered 取消: nothing written, still open.
            gui.AnswerNext(false);
            Fill(pDlg, A, B, QStringLiteral("150"));
            Click(pDlg, CTrsDlg::IDOK);
            bStayedOpen = bStayedOpen && pDlg->isVisible();
            Click(pDlg, CTrsDlg::IDCANCEL);
        });
        QVERIFY(gui.Trigger(CMainFrame::ID_ADD_TRS));
        QStringList expected;
        for (const auto& c : cases)
            expected << c.strMessage;
        QCOMPARE(shown, expected);
        QVERIFY(bStayedOpen);
        QCOMPARE(Balance(A), QStringLiteral("100.00"));
        QCOMPARE(Balance(B), QStringLiteral("20.00"));
        QCOMPARE(TrsCount(), 0);
    }

    // Cancel (and the close box) clear the fields; a cancelled dialog writes nothing and
    // leaves the right pane as it was.
    void cancelClearsTheFields() {
        CGuiTest gui;
        CTestRows::AddBank(g_strUser, A, 100);
        CTestRows::AddBank(g_strUser, B, 20);
        gui.LogIn(g_strUser);
        QVERIFY(gui.Trigger(CMainFrame::ID_INCOME_VIEW));
        for (bool bCloseBox : {false, true}) {
            CGuiTest::OnNextModal([&](QWidget* pDlg) {
                Fill(pDlg, A, B, QStringLiteral("150"));
                if (bCloseBox)
                    pDlg->close();
                else
                    Click(pDlg, CTrsDlg::IDCANCEL);
            });
            QVERIFY(gui.Trigger(CMainFrame::ID_ADD_TRS));
            QString strFrom, strIn, strAmount;
            CGuiTest::OnNextModal([&](QWidget* pDlg) {
                strFrom = Child<QComboBox>(pDlg, CTrsDlg::IDC_FROM)->currentText();
                strIn = Child<QComboBox>(pDlg, CTrsDlg::IDC_IN)->currentText();
                strAmount = Child<QLineEdit>(pDlg, CTrsDlg::IDC_AMOUNT)->text();
                Click(pDlg, CTrsDlg::IDCANCEL);
            });
            QVERIFY(gui.Trigger(CMainFrame::ID_ADD_TRS));
            QCOMPARE(strFrom, QString());
            QCOMPARE(strIn, QString());
            QCOMPARE(strAmount, QStringLiteral("0"));
        }
        QCOMPARE(Balance(A), QStringLiteral("100.00"));
        QCOMPARE(TrsCount(), 0);
        QVERIFY(gui.Frame()->View<CIncomeView>());
        QVERIFY(!gui.Frame()->View<CSumListView>());
    }

    // 账号管理: add with an opening balance, rename (records follow), refused and done deletions;
    // the summary follows once the dialog closes.
    void accountManagement() {
        CGuiTest gui;
        CUserAdmin::CreateUser(g_strUser, QStringLiteral("pw"), {{A, {}, 100}, {B, {}, 0}},
                               QDate(2004, 3, 1));
        // There and back: the balances stay, and both accounts are named by transfers.
        CTransfer::Transfer(g_strUser, QDate(2004, 3, 1), A, B, 10);
        CTransfer::Transfer(g_strUser, QDate(2004, 3, 1), B, A, 10);
        gui.LogIn(g_strUser);
        QStringList shown;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            auto* pList = Child<QTableWidget>(pDlg, CAccountsDlg::IDC_LIST);
            const auto rows = [pList] {
                QStringList list;
                for (int r = 0; r < pList->rowCount(); ++r)
                    list << pList->item(r, 0)->text() + QLatin1Char('=') +
                                pList->item(r, 2)->text();
                return list;
            };
            shown << rows().join(QLatin1Char(' '));
            QVERIFY(!Child<QPushButton>(pDlg, CAccountsDlg::IDC_MODIFY)->isEnabled());
            const struct {
                const char *szName, *szCash;
            } adds[] = {
                {" a ", "1"}, {"股票", "１２．３４５"}, {"空", "￥0元"}}; // as the grids read
            for (const auto& add : adds) {
                Child<QLineEdit>(pDlg, CAccountsDlg::IDC_NAME)
                    ->setText(QString::fromUtf8(add.szName));
                Child<QLineEdit>(pDlg, CAccountsDlg::IDC_CASH)
                    ->setText(QString::fromUtf8(add.szCash));
                QTest::keyClick(Child<QLineEdit>(pDlg, CAccountsDlg::IDC_CASH), Qt::Key_Return);
            }
            shown << rows().join(QLatin1Char(' '));
            pList->selectRow(0);
            Child<QLineEdit>(pDlg, CAccountsDlg::IDC_NAME)->setText(QStringLiteral("钱包"));
            Click(pDlg, CAccountsDlg::IDC_MODIFY);
            for (int nRow : {0, 2, 3}) {
                pList->selectRow(nRow);
                Click(pDlg, CAccountsDlg::IDC_DELETE);
            }
            shown << rows().join(QLatin1Char(' '));
            shown << pDlg->findChild<QLabel*>(QStringLiteral("total"))->text();
            Click(pDlg, CAccountsDlg::IDC_CLOSE);
        });
        QVERIFY(gui.Trigger(CMainFrame::ID_ACCOUNTS));
        QCOMPARE(shown, (QStringList{QStringLiteral("A=100.00 B=0.00"),
                                     QStringLiteral("A=100.00 B=0.00 股票=12.35 空=0.00"),
                                     QStringLiteral("钱包=100.00 B=0.00 股票=12.35"),
                                     QStringLiteral("共 3 个账号，余额合计 ￥112.35")}));
        const QStringList messages = gui.Messages();
        // An account in use or holding money is refused at once, without a question first.
        QCOMPARE(messages.size(), 4);
        QVERIFY(messages[0].startsWith(QStringLiteral("已有名为“A”的账号")));
        QVERIFY(messages[1].contains(QStringLiteral("2 条转账记录")));
        QVERIFY(messages[2].contains(QStringLiteral("12.35")));
        QCOMPARE(messages[3], QStringLiteral("确定删除账号“空”吗？"));
        QCOMPARE(CTransfer::History(g_strUser).at(0).strFrom, QStringLiteral("钱包"));
        QCOMPARE(gui.Find<CMsflexgrid1>(CSumListView::IDC_ACCOUNT_GRID)->GetTextMatrix(3, 1),
                 QStringLiteral("股票"));
    }

    // After 账号管理 the view, the tree's open branches and its selection stay as they were.
    void accountManagementKeepsTheViewWhereItWas() {
        CGuiTest gui;
        CUserAdmin::CreateUser(g_strUser, QStringLiteral("pw"), {{A, {}, 100}}, QDate(2004, 3, 1));
        gui.LogIn(g_strUser);
        QVERIFY(gui.Trigger(CMainFrame::ID_OUT_CHART));
        QTreeWidget* pTree = CTestAccess::TreeView(gui.Frame());
        QTreeWidgetItem* pRoot = pTree->topLevelItem(0);
        QVERIFY(pRoot);
        pRoot->setExpanded(true);
        QVERIFY(pRoot->childCount() > 0);
        pTree->setCurrentItem(pRoot->child(0));
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            Child<QLineEdit>(pDlg, CAccountsDlg::IDC_NAME)->setText(QStringLiteral("股票"));
            QTest::keyClick(Child<QLineEdit>(pDlg, CAccountsDlg::IDC_NAME), Qt::Key_Return);
            Click(pDlg, CAccountsDlg::IDC_CLOSE);
        });
        QVERIFY(gui.Trigger(CMainFrame::ID_ACCOUNTS));
        QCOMPARE(CAccountAdmin::List(g_strUser).size(), 2);
        QCOMPARE(gui.Frame()->ShownView(), CMainFrame::EView::OutChart);
        QCOMPARE(pTree->topLevelItem(0), pRoot);
        QVERIFY(pRoot->isExpanded());
        QVERIFY(pTree->currentItem());
        QCOMPARE(pTree->currentItem()->text(0), QStringLiteral("2004年"));
    }

    void historyOfAUserWithoutTransfers() {
        CGuiTest gui;
        gui.LogIn(g_strUser);
        CTrsRptDlg* pRpt = CTestAccess::TransferHistory(gui.Frame()->TrsDlg());
        QVERIFY(pRpt->OnInitDialog());
        QCOMPARE(Child<CMsflexgrid1>(pRpt, CTrsRptDlg::IDC_GRID)->GetRows(), 1);
        QCOMPARE(Child<CMsflexgrid1>(pRpt, CTrsRptDlg::IDC_GRID)->GetTextMatrix(0, 4),
                 QStringLiteral("转账金额"));
    }
};

QTEST_MAIN(TestTransferGui)
#include "tst_transfer_gui.moc"
