#include "app/cleftview.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "data/cdatabase.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "records/cincomeview.h"
#include "records/coutlayview.h"

#include <QTest>

namespace {
QString S(const char* psz) {
    return QString::fromUtf8(psz);
}

template <class TSet> void AddRow(const QString& strUser, int nYear, int nMonth, int nDay) {
    TSet set;
    set.Open();
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(QDate(nYear, nMonth, nDay), QTime(0, 0));
    set.m_Sort = QStringLiteral("x");
    set.m_Amount = 1;
    set.Update();
}

// The tree as text: "label[children]" with children separated by spaces. A month's days are
// made when it is first expanded, as a click on it would.
QString Dump(QTreeWidgetItem* pItem) {
    const int nLevel = CLeftView::Level(pItem);
    if ((nLevel == CLeftView::Year || nLevel == CLeftView::Month) && !pItem->isExpanded()) {
        pItem->setExpanded(true);
        pItem->setExpanded(false);
    }
    QString str = pItem->text(0);
    if (pItem->childCount() > 0) {
        QStringList children;
        for (int n = 0; n < pItem->childCount(); ++n)
            children << Dump(pItem->child(n));
        str += QLatin1Char('[') + children.join(QLatin1Char(' ')) + QLatin1Char(']');
    }
    return str;
}

QString Dump(const CLeftView* pTree) {
    QStringList roots;
    for (int n = 0; n < pTree->topLevelItemCount(); ++n)
        roots << Dump(pTree->topLevelItem(n));
    return roots.join(QLatin1Char(' '));
}

// 张三: income in 2003 and 2004 (two rows on one day), outlay in 2004 (a month without
// income) and in 2002 (a year without income). O'Brien: outlay only. 李四's income must
// never show for anyone else.
void FillBook() {
    const QString strZhang = S("张三");
    AddRow<CIncomeSet>(strZhang, 2004, 1, 20);
    AddRow<CIncomeSet>(strZhang, 2003, 12, 30);
    AddRow<CIncomeSet>(strZhang, 2004, 1, 5);
    AddRow<CIncomeSet>(strZhang, 2004, 1, 5);
    AddRow<CIncomeSet>(strZhang, 2004, 3, 2);
    AddRow<COutlaySet>(strZhang, 2004, 2, 10);
    AddRow<COutlaySet>(strZhang, 2004, 1, 5);
    AddRow<COutlaySet>(strZhang, 2002, 6, 1);
    AddRow<COutlaySet>(QStringLiteral("O'Brien"), 2005, 7, 8);
    AddRow<CIncomeSet>(S("李四"), 2001, 1, 1);
}
} // namespace

class TestLeftTree : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void BuildsPerView();
    void UserWithoutIncome();
    void DatabaseErrorKeepsItemsSoFar();
    void DaySelectionReachesDailyView();
};

void TestLeftTree::BuildsPerView() {
    CGuiTest gui;
    FillBook();
    gui.LogIn(S("张三"));
    CLeftView* pTree = CTestAccess::TreeView(gui.Frame());
    // Login builds the summary tree: income years and months first, then what only the
    // outlay rows add, appended even when earlier.
    QCOMPARE(Dump(pTree), S("张三[2003年[12月] 2004年[1月 3月 2月] 2002年[6月]]"));
    QVERIFY(!pTree->topLevelItem(0)->isExpanded());

    pTree->BuildIncomeTree();
    QCOMPARE(pTree->topLevelItem(0)->child(1)->childCount(), 0); // months not made yet
    pTree->topLevelItem(0)->child(1)->setExpanded(true);
    QCOMPARE(pTree->topLevelItem(0)->child(1)->child(0)->childCount(), 0); // days not made yet
    QCOMPARE(Dump(pTree), S("张三[2003年[12月[30日]] 2004年[1月[5日 20日] 3月[2日]]]"));
    pTree->BuildOutlayTree();
    QCOMPARE(Dump(pTree), S("张三[2002年[6月[1日]] 2004年[1月[5日] 2月[10日]]]"));
    pTree->BuildInChartTree();
    QCOMPARE(Dump(pTree), S("张三[2003年[12月] 2004年[1月 3月]]"));
    pTree->BuildOutChartTree();
    QCOMPARE(Dump(pTree), S("张三[2002年[6月] 2004年[1月 2月]]"));

    // Each level has its own icon; a day added by hand lands in order of insertion.
    pTree->BuildIncomeTree();
    const CLeftView::SDayPath path = pTree->InsertDayPath(S("张三"), 2004, 3, 1);
    QCOMPARE(Dump(pTree->topLevelItem(0)->child(1)), S("2004年[1月[5日 20日] 3月[2日 1日]]"));
    QCOMPARE(pTree->InsertDayPath(S("张三"), 2004, 3, 1).pDay, path.pDay);
    QCOMPARE(CLeftView::Level(path.pDay), 3);
    QVERIFY(path.pDay->icon(0).cacheKey() != path.pMonth->icon(0).cacheKey());
    QVERIFY(pTree->FindOrInsertDay(nullptr, 1) == nullptr);

    QVERIFY(gui.Trigger(CMainFrame::ID_RPT_VIEW));
    QCOMPARE(pTree->topLevelItemCount(), 0);
}

void TestLeftTree::UserWithoutIncome() {
    CGuiTest gui;
    FillBook();
    gui.LogIn(QStringLiteral("O'Brien"));
    CLeftView* pTree = CTestAccess::TreeView(gui.Frame());
    QCOMPARE(Dump(pTree), S("O'Brien[2005年[7月]]"));
    QVERIFY(gui.Trigger(CMainFrame::ID_INCOME_VIEW));
    QCOMPARE(pTree->topLevelItemCount(), 0);
    QVERIFY(gui.Trigger(CMainFrame::ID_IN_CHART));
    QCOMPARE(Dump(pTree), QStringLiteral("O'Brien"));

    gui.Frame()->SetLoggedOut();
    gui.LogIn(S("王五")); // no rows at all
    QCOMPARE(Dump(pTree), S("王五"));
    QVERIFY(gui.Messages().isEmpty());
}

void TestLeftTree::DatabaseErrorKeepsItemsSoFar() {
    CGuiTest gui;
    FillBook();
    gui.LogIn(S("张三"));
    CDatabase::Exec(QStringLiteral("DROP TABLE \"MonthTotals\""));
    CDatabase::Exec(QStringLiteral("DROP TABLE IF EXISTS \"YearTotals\""));
    CTestAccess::TreeView(gui.Frame())->BuildSummaryTree();
    QCOMPARE(gui.Messages().size(), 1);
    QCOMPARE(Dump(CTestAccess::TreeView(gui.Frame())), S("张三"));
    // The view command still switches the view (which may tell of the error itself too).
    QVERIFY(gui.Trigger(CMainFrame::ID_OUTLAY_VIEW));
    QVERIFY(gui.Frame()->View<COutlayView>());
    QVERIFY(gui.Messages().size() >= 2);
    // The records still read: the tree holds just the day the view shows.
    QCOMPARE(CLeftView::Level(CTestAccess::TreeView(gui.Frame())->currentItem()), 3);
    QCOMPARE(CTestAccess::TreeView(gui.Frame())->topLevelItem(0)->childCount(), 1);
}

void TestLeftTree::DaySelectionReachesDailyView() {
    CGuiTest gui;
    FillBook();
    gui.LogIn(S("张三"));
    QVERIFY(gui.Trigger(CMainFrame::ID_INCOME_VIEW));
    CIncomeView* pView = gui.Frame()->View<CIncomeView>();
    QVERIFY(pView);
    CLeftView* pTree = CTestAccess::TreeView(gui.Frame());
    QTreeWidgetItem* pYear = pTree->topLevelItem(0)->child(1);
    pYear->setExpanded(true);
    pYear->child(0)->setExpanded(true);
    QTreeWidgetItem* pDay = pYear->child(0)->child(1); // 2004-1-20
    pTree->scrollToItem(pDay);
    pTree->setCurrentItem(pDay);
    QCOMPARE(CTestAccess::Day(pView), QDate(2004, 1, 20));

    // A year or the user means nothing to a daily view.
    pTree->setCurrentItem(pYear);
    pTree->setCurrentItem(pTree->topLevelItem(0));
    QCOMPARE(CTestAccess::Day(pView), QDate(2004, 1, 20));

    pTree->ShowDay(2004, 3, 2);
    QCOMPARE(CTestAccess::Day(pView), QDate(2004, 3, 2));
    QCOMPARE(pTree->selectedItems().value(0)->text(0), S("2日"));
    QVERIFY(pTree->selectedItems().value(0)->parent()->isExpanded());
}

QTEST_MAIN(TestLeftTree)
#include "tst_lefttree.moc"
