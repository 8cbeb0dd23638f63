#include "analysis/csumlistview.h"
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "ctestrows.h"
#include "data/cbankset.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "widgets/cmsflexgrid1.h"

#include <QLineEdit>
#include <QStyle>
#include <QtTest>

namespace {
const QString g_strUser = QStringLiteral("张三");

void AddBank(const QString& strCard, double dCash, const QString& strUser = g_strUser) {
    CTestRows::AddBank(strUser, strCard, dCash);
}

template <class TSet>
void AddRow(const QDate& day, double dAmount, const QString& strSort = QString(),
            const QString& strUser = g_strUser) {
    // An amount of 0 is a day placeholder: no account, no category.
    const bool bRecord = dAmount != 0;
    CTestRows::AddRecord<TSet>(strUser, QDateTime(day, QTime(0, 0)),
                               bRecord ? QStringLiteral("现金") : QString(),
                               bRecord ? strSort : QString(), QString(), dAmount);
}

// Rows 1.. of a grid, each as "c1|c2|...".
QStringList GridRows(const CMsflexgrid1* pGrid) {
    QStringList rows;
    for (int r = 1; r < pGrid->GetRows(); ++r) {
        QStringList cells;
        for (int c = 1; c < pGrid->GetCols(); ++c)
            cells << pGrid->GetTextMatrix(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList Header(const CMsflexgrid1* pGrid) {
    QStringList cells;
    for (int c = 1; c < pGrid->GetCols(); ++c)
        cells << pGrid->GetTextMatrix(0, c);
    return cells;
}

// A small book: the 2003 day holds only a placeholder, so it counts for the start date and
// the day count but gets no brief row.
void FillBook() {
    AddBank(QStringLiteral("现金"), 100);
    AddBank(QStringLiteral("工商银行"), -40.5);
    AddBank(QStringLiteral("别人的卡"), 999, QStringLiteral("李四"));
    AddRow<CIncomeSet>(QDate(2003, 12, 31), 0);
    AddRow<CIncomeSet>(QDate(2004, 3, 2), 100.5, QStringLiteral("工资收入"));
    AddRow<CIncomeSet>(QDate(2004, 3, 2), 20.25, QStringLiteral("奖金收入"));
    AddRow<CIncomeSet>(QDate(2004, 5, 1), 50, QStringLiteral("工资收入"));
    AddRow<COutlaySet>(QDate(2004, 3, 15), 30, QStringLiteral("房租支出"));
    AddRow<COutlaySet>(QDate(2005, 1, 1), 0);
    AddRow<COutlaySet>(QDate(2005, 1, 1), 10, QStringLiteral("用餐支出"));
    AddRow<CIncomeSet>(QDate(2004, 3, 2), 5000, QStringLiteral("工资收入"), QStringLiteral("李四"));
}

QTreeWidgetItem* Child(QTreeWidgetItem* pParent, const QString& strLabel) {
    if (pParent)
        pParent->setExpanded(true); // a year's months are made when it opens
    for (int i = 0; pParent && i < pParent->childCount(); ++i) {
        if (pParent->child(i)->text(0) == strLabel)
            return pParent->child(i);
    }
    return nullptr;
}
} // namespace

class TestSummary : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void summaryAfterLogin() {
        CGuiTest gui;
        FillBook();
        gui.LogIn(g_strUser);
        CSumListView* pView = gui.Frame()->View<CSumListView>();
        QVERIFY(pView);
        QVERIFY(gui.IsChecked(CMainFrame::ID_SUM_VIEW));
        auto edit = [&](int nId) { return gui.Find<QLineEdit>(QString::number(nId))->text(); };
        QCOMPARE(edit(1001), QStringLiteral("170.75元"));
        QCOMPARE(edit(1002), QStringLiteral("40.00元"));
        QCOMPARE(edit(1003), QStringLiteral("2003年12月31日"));
        QCOMPARE(edit(1004), QStringLiteral("2005年1月1日"));
        // Income on 3 dates, outlay on 2: both averages divide by 3.
        QCOMPARE(edit(1005), QStringLiteral("13.33元"));
        QCOMPARE(edit(1006), QStringLiteral("56.92元"));
        QCOMPARE(edit(1007), QStringLiteral("合计金额   59.50元"));
        QCOMPARE(edit(1008), QStringLiteral("用户财务记录简报"));
        QCOMPARE(edit(1009), QStringLiteral("用户名:  张三"));

        const auto* pAccounts = gui.Find<CMsflexgrid1>(CSumListView::IDC_ACCOUNT_GRID);
        QCOMPARE(Header(pAccounts), QStringList({QStringLiteral("账号"), QStringLiteral("金额")}));
        QCOMPARE(GridRows(pAccounts),
                 QStringList({QStringLiteral("现金|100.00"), QStringLiteral("工商银行|-40.50")}));
        const auto* pBrief = gui.Find<CMsflexgrid1>(CSumListView::IDC_BRIEF_GRID);
        QCOMPARE(Header(pBrief), QStringList({QStringLiteral("年度"), QStringLiteral("年收入"),
                                              QStringLiteral("年支出"), QStringLiteral("年盈利")}));
        QCOMPARE(GridRows(pBrief), QStringList({QStringLiteral("2004年|170.75元|30.00元|140.75元"),
                                                QStringLiteral("2005年|0.00元|10.00元|-10.00元")}));

        // Coming back from another view, the summary is the same window filled anew: a year
        // chosen before is forgotten and a row written meanwhile is counted.
        CLeftView* pTree = CTestAccess::TreeView(gui.Frame());
        pTree->setCurrentItem(Child(pTree->topLevelItem(0), QStringLiteral("2004年")));
        QCOMPARE(edit(1008), QStringLiteral("用户2004年度财务简报"));
        QVERIFY(gui.Trigger(CMainFrame::ID_INCOME_VIEW));
        AddRow<CIncomeSet>(QDate(2005, 2, 1), 9.25, QStringLiteral("奖金收入"));
        QVERIFY(gui.Trigger(CMainFrame::ID_SUM_VIEW));
        QCOMPARE(gui.Frame()->View<CSumListView>(), pView);
        QCOMPARE(edit(1001), QStringLiteral("180.00元"));
        QCOMPARE(edit(1008), QStringLiteral("用户财务记录简报"));
        QCOMPARE(GridRows(pBrief).last(), QStringLiteral("2005年|9.25元|10.00元|-0.75元"));
        // Another member's login gets a summary of their own.
        gui.Frame()->SetLoggedOut();
        gui.LogIn(QStringLiteral("李四"));
        QCOMPARE(edit(1009), QStringLiteral("用户名:  李四"));
        QCOMPARE(edit(1001), QStringLiteral("5000.00元"));
    }

    // A year of millions and a long account name are shown whole, not cut short to "…".
    void largeFiguresReadWhole() {
        CGuiTest gui;
        AddBank(QStringLiteral("中国工商银行股份有限公司工资卡"), 18533514.42);
        AddRow<CIncomeSet>(QDate(2004, 3, 2), 3657788.30, QStringLiteral("工资收入"));
        AddRow<COutlaySet>(QDate(2004, 3, 3), 914251.09, QStringLiteral("房租支出"));
        gui.LogIn(g_strUser);
        const auto fits = [](const CMsflexgrid1* pGrid, int nCol) {
            const int nRoom = pGrid->columnWidth(nCol - 1) -
                              2 * (pGrid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
            for (int r = 0; r < pGrid->GetRows(); ++r) {
                if (pGrid->fontMetrics().horizontalAdvance(pGrid->GetTextMatrix(r, nCol)) > nRoom)
                    return false;
            }
            return true;
        };
        const auto* pBrief = gui.Find<CMsflexgrid1>(CSumListView::IDC_BRIEF_GRID);
        QCOMPARE(GridRows(pBrief).first(),
                 QStringLiteral("2004年|3657788.30元|914251.09元|2743537.21元"));
        for (int c = 1; c < pBrief->GetCols(); ++c)
            QVERIFY2(fits(pBrief, c), qPrintable(pBrief->GetTextMatrix(0, c)));
        const auto* pAccounts = gui.Find<CMsflexgrid1>(CSumListView::IDC_ACCOUNT_GRID);
        QVERIFY(fits(pAccounts, 1) && fits(pAccounts, 2));
    }

    void treeSwitchesTheBrief() {
        CGuiTest gui;
        FillBook();
        gui.LogIn(g_strUser);
        CLeftView* pTree = CTestAccess::TreeView(gui.Frame());
        QTreeWidgetItem* pRoot = pTree->topLevelItem(0);
        QVERIFY(pRoot);
        const auto* pBrief = gui.Find<CMsflexgrid1>(CSumListView::IDC_BRIEF_GRID);
        auto* pTitle = gui.Find<QLineEdit>(CSumListView::IDC_BRIEF_TITLE);

        QTreeWidgetItem* pYear = Child(pRoot, QStringLiteral("2004年"));
        QVERIFY(pYear);
        pTree->setCurrentItem(pYear);
        QCOMPARE(pTitle->text(), QStringLiteral("用户2004年度财务简报"));
        QCOMPARE(Header(pBrief).first(), QStringLiteral("月份"));
        QCOMPARE(GridRows(pBrief), QStringList({QStringLiteral("3月|120.75元|30.00元|90.75元"),
                                                QStringLiteral("5月|50.00元|0.00元|50.00元")}));

        QTreeWidgetItem* pMonth = Child(pYear, QStringLiteral("3月"));
        QVERIFY(pMonth);
        pTree->setCurrentItem(pMonth);
        QCOMPARE(pTitle->text(), QStringLiteral("用户2004年度3月份财务简报"));
        QCOMPARE(Header(pBrief), QStringList({QStringLiteral("日期"), QStringLiteral("日收入"),
                                              QStringLiteral("日支出"), QStringLiteral("日盈利")}));
        QCOMPARE(GridRows(pBrief), QStringList({QStringLiteral("2日|120.75元|0.00元|120.75元"),
                                                QStringLiteral("15日|0.00元|30.00元|-30.00元")}));

        pTree->setCurrentItem(pRoot);
        QCOMPARE(pTitle->text(), QStringLiteral("用户财务记录简报"));
        QCOMPARE(GridRows(pBrief).size(), 2);
        QCOMPARE(Header(pBrief).first(), QStringLiteral("年度"));
        QVERIFY(gui.Messages().isEmpty());
    }

    void emptyBook() {
        CGuiTest gui;
        AddBank(QStringLiteral("现金"), 5, QStringLiteral("李四"));
        gui.LogIn(g_strUser);
        auto edit = [&](int nId) { return gui.Find<QLineEdit>(QString::number(nId))->text(); };
        QCOMPARE(edit(1001), QStringLiteral("0.00元"));
        QCOMPARE(edit(1003), QStringLiteral("0年0月0日"));
        QCOMPARE(edit(1004), QStringLiteral("0年0月0日"));
        QCOMPARE(edit(1005), QStringLiteral("0.00元"));
        QCOMPARE(edit(1006), QStringLiteral("0.00元"));
        QCOMPARE(edit(1007), QStringLiteral("合计金额   0.00元"));
        QCOMPARE(gui.Find<CMsflexgrid1>(CSumListView::IDC_BRIEF_GRID)->GetRows(), 1);
        QCOMPARE(gui.Find<CMsflexgrid1>(CSumListView::IDC_ACCOUNT_GRID)->GetRows(), 1);
    }

    void adviceReadsTheLatestMonth() {
        CGuiTest gui;
        QVERIFY(!gui.IsEnabled(CMainFrame::ID_ADVICE));
        FillBook();
        AddRow<COutlaySet>(QDate(2005, 1, 3), 25, QStringLiteral("旅游支出"));
        AddRow<CIncomeSet>(QDate(2005, 1, 9), 20, QStringLiteral("津贴收入"));
        gui.LogIn(g_strUser);
        QVERIFY(gui.Trigger(CMainFrame::ID_ADVICE));
        QCOMPARE(gui.Messages().size(), 1);
        const QString strText = gui.Messages().first();
        QVERIFY2(strText.contains(QStringLiteral("2005年1月")), qPrintable(strText));
        // Largest outlay first, with its share of the month.
        QVERIFY2(strText.contains(QStringLiteral("1. 旅游支出 25.00元（占本月支出 71.4%）")),
                 qPrintable(strText));
        QVERIFY2(strText.contains(QStringLiteral("2. 用餐支出 10.00元")), qPrintable(strText));
        QVERIFY2(strText.contains(QStringLiteral("支出超过了收入")), qPrintable(strText));
    }
};

QTEST_MAIN(TestSummary)
#include "tst_summary.moc"
