#include "analysis/cinchartview.h"
#include "analysis/coutchartview.h"
#include "analysis/crptview.h"
#include "analysis/csumlistview.h"
#include "app/cleftview.h"
#include "app/cmainview.h"
#include "app/cwindowlayout.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "ctestrows.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "data/ctoday.h"
#include "records/cincomeview.h"
#include "records/coutlayview.h"
#include "users/csession.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItemIterator>

namespace {
QString S(const char* psz) {
    return QString::fromUtf8(psz);
}

// "text=id" per item, "|" per separator.
QStringList Items(const QList<QAction*>& actions) {
    QStringList items;
    for (const QAction* pAction : actions)
        items << (pAction->isSeparator()
                      ? QStringLiteral("|")
                      : pAction->text() + QLatin1Char('=') + pAction->objectName());
    return items;
}

// The typed views the frame hands out, as class names.
QStringList SetPointers(const CMainFrame* pFrame) {
    QStringList set;
    const QObject* pointers[] = {pFrame->View<CIncomeView>(),   pFrame->View<COutlayView>(),
                                 pFrame->View<CSumListView>(),  pFrame->View<CInChartView>(),
                                 pFrame->View<COutChartView>(), pFrame->View<CRptView>()};
    for (const QObject* p : pointers) {
        if (p)
            set << QString::fromLatin1(p->metaObject()->className());
    }
    return set;
}

// Visible labels, buttons, boxes and group titles narrower or lower than their text needs,
// as "class 'text' width<need".
QStringList Clipped(const QWidget* pRoot) {
    QStringList clipped;
    for (const QWidget* p : pRoot->findChildren<QWidget*>()) {
        if (!p->isVisibleTo(pRoot->window()) || p->size().isEmpty())
            continue;
        QString strText;
        if (const auto* pLabel = qobject_cast<const QLabel*>(p))
            strText = pLabel->text();
        else if (const auto* pButton = qobject_cast<const QAbstractButton*>(p))
            strText = pButton->text();
        else if (const auto* pBox = qobject_cast<const QGroupBox*>(p))
            strText = pBox->title();
        else if (const auto* pCombo = qobject_cast<const QComboBox*>(p))
            strText = pCombo->currentText();
        else
            continue;
        if (strText.isEmpty())
            continue;
        const QSize need = p->minimumSizeHint();
        if (p->width() < need.width() || p->height() < need.height())
            clipped << QStringLiteral("%1 '%2' %3x%4<%5x%6")
                           .arg(QLatin1String(p->metaObject()->className()), strText)
                           .arg(p->width())
                           .arg(p->height())
                           .arg(need.width())
                           .arg(need.height());
    }
    return clipped;
}

const int kAlways[] = {CMainFrame::ID_EXIT, CMainFrame::ID_HELP, CMainFrame::ID_APP_ABOUT,
                       CMainFrame::ID_VIEW_TOOLBAR, CMainFrame::ID_VIEW_STATUS_BAR};
} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void MenuTexts();
    void ToolBarOrderAndTips();
    void LoggedOutAtStart();
    void LoginViewCommandsAndLogout();
    void SwitchViewKeepsInvariantAndWidth();
    void BarsToggleAndExitAsksNothing();
    void ViewsFitSmallWindows();
    void LayoutRememberedBetweenStarts();
};

void TestMainFrame::MenuTexts() {
    CGuiTest gui;
    QStringList titles;
    QList<QStringList> menus;
    for (QAction* pAction : gui.Frame()->menuBar()->actions()) {
        titles << pAction->text();
        menus << Items(pAction->menu()->actions());
    }
    QCOMPARE(titles, (QStringList{S("用户(&U)"), S("操作(&O)"), S("财务分析(&A)"), S("视图(&V)"),
                                  S("帮助(&H)")}));
    QCOMPARE(menus.at(0).filter(QStringLiteral("=")),
             (QStringList{S("新建用户(&N)=32783"), S("用户登录(&L)=32784"), S("删除用户(&D)=32785"),
                          S("修改密码(&P)=32786"), S("断开用户(&C)=32787"),
                          S("从备份恢复(&R)...=32843"), S("退出系统(&E)=32788")}));
    QCOMPARE(
        menus.at(1).filter(QStringLiteral("=")),
        (QStringList{S("添加收入记录(&A)=32791"), S("添加支出记录(&O)=32790"),
                     S("添加转账记录(&C)=32792"), S("账号管理(&M)=32835"), S("类别管理(&G)=32870"),
                     S("新增记录(&W)=32850"), S("修改记录(&E)=32851"), S("删除选中的行(&D)=32852"),
                     S("确定记录(&S)=32853"), S("查找(&F)…=32854"), S("预算设置(&B)…=32860"),
                     S("周期记录(&R)…=32861"), S("导入账单(&I)…=32830"), S("导出(&X)…=32831")}));
    QCOMPARE(menus.at(2).filter(QStringLiteral("=")),
             (QStringList{S("摘要查询=32793"), S("收入查询=32798"), S("支出查询=32795"),
                          S("收入图表=32816"), S("支出图表=32817"), S("报表查询=32806"),
                          S("打印报表(&P)…=32840"), S("打印预览(&V)=32841"), S("分析建议=32808")}));
    QCOMPARE(menus.at(3), (QStringList{S("刷新(&R)=32842"), S("|"), S("工具栏(&T)=59392"),
                                       S("状态栏(&S)=59393")}));
    QCOMPARE(menus.at(4).filter(QStringLiteral("=")),
             (QStringList{S("使用帮助(&H)=32812"), S("关于 Ledgerkin(&A)...=57664")}));
}

void TestMainFrame::ToolBarOrderAndTips() {
    CGuiTest gui;
    auto* pToolBar = gui.Find<QToolBar>(QStringLiteral("128"));
    QVERIFY(pToolBar);
    QCOMPARE(pToolBar->iconSize(), QSize(32, 32));
    QStringList order;
    for (const QAction* pAction : pToolBar->actions())
        order << (pAction->isSeparator() ? QStringLiteral("|") : pAction->objectName());
    QCOMPARE(
        order.join(QLatin1Char(' ')),
        QStringLiteral(
            "32783 32784 32785 32786 32787 | 32791 32790 32792 32830 32835 32870 | 32793 32798 "
            "32795 | 32816 32817 | 32806 32854 32808 | 32812 57664 32788"));
    for (const QAction* pAction : pToolBar->actions()) {
        if (pAction->isSeparator())
            continue;
        QVERIFY2(!pAction->icon().isNull(), qPrintable(pAction->objectName()));
        QVERIFY(!pAction->icon().pixmap(32, 32).isNull());
    }
    QAction* pAdvice = gui.Frame()->Action(CMainFrame::ID_ADVICE);
    QCOMPARE(pAdvice->toolTip(), S("专家建议"));
    QCOMPARE(pAdvice->statusTip(), S("专家建议"));
    QCOMPARE(gui.Frame()->Action(CMainFrame::ID_HELP)->statusTip(), S("使用指南"));
    QCOMPARE(gui.Frame()->Action(CMainFrame::ID_ADD_INCOME)->toolTip(), S("添加收入记录"));
}

void TestMainFrame::LoggedOutAtStart() {
    CToday::Set(QDate(2004, 3, 2));
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    QCOMPARE(pFrame->windowTitle(), QStringLiteral("Ledgerkin 家庭账本"));
    QVERIFY(pFrame->windowState() & Qt::WindowMaximized);
    QStringList enabled;
    for (const QAction* pAction : pFrame->findChildren<QAction*>()) {
        if (!pAction->objectName().isEmpty() && pAction->isEnabled())
            enabled << pAction->objectName();
    }
    enabled.sort();
    QCOMPARE(enabled,
             (QStringList{QStringLiteral("32783"), QStringLiteral("32784"), QStringLiteral("32788"),
                          QStringLiteral("32812"), QStringLiteral("32843"), QStringLiteral("57664"),
                          QStringLiteral("59392"), QStringLiteral("59393")}));
    QVERIFY(pFrame->View<CMainView>());
    QCOMPARE(pFrame->View<CMainView>()->m_Date, QDate(2004, 3, 2));
    auto* pCalendar = gui.Find<QWidget>(CMainView::IDC_CALENDAR);
    QVERIFY(pCalendar && !pCalendar->isVisible());
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItemCount(), 0);
    QVERIFY(SetPointers(pFrame).isEmpty());
    QCOMPARE(gui.Find<QLabel>(QStringLiteral("0"))->text(), S("就绪"));
    for (const char* pszPane : {"59137", "59138", "59139"})
        QVERIFY(gui.Find<QLabel>(QLatin1String(pszPane)));
    QCOMPARE(CTestAccess::TreeView(pFrame)->width(), 180);

    // Help does nothing at all.
    QWidget* pPane = CTestAccess::RightPane(pFrame);
    QVERIFY(gui.Trigger(CMainFrame::ID_HELP));
    QCOMPARE(CTestAccess::RightPane(pFrame), pPane);
    QVERIFY(gui.Messages().isEmpty());
    QVERIFY(!gui.Trigger(CMainFrame::ID_SUM_VIEW));
    CToday::Set(QDate());

    // The start-up backup's outcome never pushes aside how to log in.
    const QString strHint = S("演示账本已打开：用户“演示用户”，密码“demo”。");
    const struct {
        QString strShown;
        bool bOk;
        QString strBackup, strAfter;
    } backups[] = {
        {QString(), true, S("已备份账本到“/b”。"), S("已备份账本到“/b”。")},
        {strHint, true, S("已备份账本到“/b”。"), strHint},
        {strHint, false, S("账本备份失败"), strHint + S("　账本备份失败")},
        {strHint, true, QString(), strHint},
    };
    for (const auto& b : backups) {
        pFrame->SetStatusText(b.strShown);
        pFrame->ShowBackupResult(b.bOk, b.strBackup);
        QCOMPARE(pFrame->statusBar()->currentMessage(), b.strAfter);
    }
}

void TestMainFrame::LoginViewCommandsAndLogout() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    gui.LogIn(S("张三"));
    QCOMPARE(pFrame->Session()->UserName(), S("张三"));
    // Creating or logging in another member switches to them.
    QVERIFY(gui.IsEnabled(CMainFrame::ID_NEW_USER) && gui.IsEnabled(CMainFrame::ID_LOGIN));
    QCOMPARE(pFrame->Action(CMainFrame::ID_LOGIN)->text(), S("切换用户(&L)"));
    for (const int nId : {32785, 32786, 32787, 32791, 32790, 32792, 32835, 32793, 32798, 32795,
                          32816, 32817, 32806, 32808})
        QVERIFY2(gui.IsEnabled(nId), qPrintable(QString::number(nId)));
    QVERIFY(gui.IsChecked(CMainFrame::ID_SUM_VIEW));
    QCOMPARE(SetPointers(pFrame), QStringList{QStringLiteral("CSumListView")});
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItem(0)->text(0), S("张三"));

    // The view already shown: nothing happens, not even a rebuilt tree.
    CSumListView* pSum = pFrame->View<CSumListView>();
    CTestAccess::TreeView(pFrame)->topLevelItem(0)->setText(0, QStringLiteral("marker"));
    QVERIFY(gui.Trigger(CMainFrame::ID_SUM_VIEW));
    QCOMPARE(pFrame->View<CSumListView>(), pSum);
    QVERIFY(gui.IsChecked(CMainFrame::ID_SUM_VIEW));
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItem(0)->text(0), QStringLiteral("marker"));

    const std::pair<int, const char*> commands[] = {
        {CMainFrame::ID_INCOME_VIEW, "CIncomeView"}, {CMainFrame::ID_OUTLAY_VIEW, "COutlayView"},
        {CMainFrame::ID_IN_CHART, "CInChartView"},   {CMainFrame::ID_OUT_CHART, "COutChartView"},
        {CMainFrame::ID_RPT_VIEW, "CRptView"},       {CMainFrame::ID_SUM_VIEW, "CSumListView"}};
    for (const auto& [nId, pszClass] : commands) {
        QVERIFY(gui.Trigger(nId));
        QCOMPARE(SetPointers(pFrame), QStringList{QLatin1String(pszClass)});
        QCOMPARE(CTestAccess::RightPane(pFrame)->objectName(), QLatin1String(pszClass));
        int nChecked = 0;
        for (const int nView : {32793, 32798, 32795, 32816, 32817, 32806})
            nChecked += gui.IsChecked(nView) ? 1 : 0;
        QCOMPARE(nChecked, 1);
        QVERIFY(gui.IsChecked(nId));
        // A user without rows: the month trees show a bare root, the day trees and the
        // report's nothing.
        const bool bRoot = nId != CMainFrame::ID_RPT_VIEW && nId != CMainFrame::ID_INCOME_VIEW &&
                           nId != CMainFrame::ID_OUTLAY_VIEW;
        QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItemCount(), bRoot ? 1 : 0);
    }

    pFrame->SetLoggedOut();
    QVERIFY(!pFrame->Session()->IsLoggedIn() && pFrame->Session()->UserName().isEmpty());
    QVERIFY(pFrame->View<CMainView>());
    QVERIFY(SetPointers(pFrame).isEmpty());
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItemCount(), 0);
    QVERIFY(gui.IsEnabled(CMainFrame::ID_LOGIN) && !gui.IsEnabled(CMainFrame::ID_ADVICE));
    QVERIFY(!gui.IsChecked(CMainFrame::ID_SUM_VIEW));

    // Logging in again after the summary was last shown still builds and shows it.
    gui.LogIn(S("李四"));
    QCOMPARE(SetPointers(pFrame), QStringList{QStringLiteral("CSumListView")});
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItem(0)->text(0), S("李四"));
}

void TestMainFrame::SwitchViewKeepsInvariantAndWidth() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    auto* pSplitter = gui.Find<QSplitter>(QStringLiteral("59648"));
    pSplitter->setSizes({250, pSplitter->width() - 250});
    const QList<int> sizes = pSplitter->sizes();
    using EView = CMainFrame::EView;
    const std::pair<EView, const char*> views[] = {
        {EView::SumList, "CSumListView"},   {EView::Income, "CIncomeView"},
        {EView::Outlay, "COutlayView"},     {EView::InChart, "CInChartView"},
        {EView::OutChart, "COutChartView"}, {EView::Rpt, "CRptView"},
        {EView::Main, "CMainView"}};
    for (const auto& [eView, pszClass] : views) {
        CTestAccess::SwitchView(pFrame, eView);
        CGuiTest::ProcessEvents();
        QWidget* pPane = CTestAccess::RightPane(pFrame);
        QCOMPARE(pPane->objectName(), QLatin1String(pszClass));
        QCOMPARE(pSplitter->widget(1), pPane);
        QCOMPARE(pSplitter->count(), 2);
        QCOMPARE(pSplitter->sizes(), sizes);
        const QStringList set = SetPointers(pFrame);
        QCOMPARE(set, eView == EView::Main ? QStringList() : QStringList{QLatin1String(pszClass)});
        // Asking for the class already shown keeps the very same view.
        CTestAccess::SwitchView(pFrame, eView);
        QCOMPARE(CTestAccess::RightPane(pFrame), pPane);
    }
    // Exactly one right-hand view left: the old ones are gone, not hidden.
    QCOMPARE(pFrame->findChildren<CFormView*>().size(), 1);
}

void TestMainFrame::BarsToggleAndExitAsksNothing() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    auto* pToolBar = gui.Find<QToolBar>(QStringLiteral("128"));
    QVERIFY(gui.Trigger(CMainFrame::ID_VIEW_TOOLBAR));
    QVERIFY(!pToolBar->isVisible());
    QVERIFY(!gui.IsChecked(CMainFrame::ID_VIEW_TOOLBAR));
    QVERIFY(gui.Trigger(CMainFrame::ID_VIEW_TOOLBAR));
    QVERIFY(pToolBar->isVisible());
    QVERIFY(gui.Trigger(CMainFrame::ID_VIEW_STATUS_BAR));
    QVERIFY(!pFrame->statusBar()->isVisible());
    QVERIFY(!gui.IsChecked(CMainFrame::ID_VIEW_STATUS_BAR));

    gui.LogIn(S("张三"));
    QVERIFY(gui.Trigger(CMainFrame::ID_EXIT));
    QVERIFY(!pFrame->isVisible());
    QVERIFY(gui.Messages().isEmpty());
}

// Every view in the smallest supported window and in 1280×720: no text cut, the tree at
// least as wide as its minimum, the view never wider than its pane, and at 1280×720 no
// horizontal scroll bar anywhere.
void TestMainFrame::ViewsFitSmallWindows() {
    CGuiTest gui;
    CTestRows::AddBank(S("张三"), S("招商银行信用卡还款专户"), 1000);
    const QDateTime day(QDate(2025, 3, 2), QTime(0, 0));
    CTestRows::AddRecord<CIncomeSet>(S("张三"), day, S("招商银行信用卡还款专户"), S("房地产收入"),
                                     S("三月份的房租，由租客分两次转入，第二次晚了一周"), 3200.5);
    CTestRows::AddRecord<COutlaySet>(S("张三"), day, S("招商银行信用卡还款专户"), S("医疗保健支出"),
                                     S("体检"), 880);
    gui.LogIn(S("张三"));
    CMainFrame* pFrame = gui.Frame();
    pFrame->showNormal();
    const int views[] = {CMainFrame::ID_SUM_VIEW,    CMainFrame::ID_INCOME_VIEW,
                         CMainFrame::ID_OUTLAY_VIEW, CMainFrame::ID_IN_CHART,
                         CMainFrame::ID_OUT_CHART,   CMainFrame::ID_RPT_VIEW};
    for (const QSize size : {QSize(1024, 600), QSize(1280, 720)}) {
        pFrame->resize(size);
        for (const int nView : views) {
            QVERIFY(gui.Trigger(nView));
            CGuiTest::ProcessEvents();
            QWidget* pPane = CTestAccess::RightPane(pFrame);
            const QString strTag = QStringLiteral("%1x%2 %3")
                                       .arg(size.width())
                                       .arg(size.height())
                                       .arg(QLatin1String(pPane->metaObject()->className()));
            QVERIFY2(pFrame->size() == size, qPrintable(strTag));
            // The tree at its narrowest still shows every level's text whole.
            CLeftView* pTree = CTestAccess::TreeView(pFrame);
            auto* pSplitter = gui.Find<QSplitter>(QStringLiteral("59648"));
            pSplitter->setSizes({0, size.width()});
            pTree->expandAll();
            CGuiTest::ProcessEvents();
            QVERIFY2(pTree->width() == pTree->minimumWidth(), qPrintable(strTag));
            for (QTreeWidgetItemIterator it(pTree); *it; ++it) {
                const QRect rect = pTree->visualItemRect(*it);
                const int nRight = rect.left() + pTree->iconSize().width() + 6 +
                                   pTree->fontMetrics().horizontalAdvance((*it)->text(0));
                QVERIFY2(nRight <= pTree->viewport()->width(),
                         qPrintable(strTag + QLatin1Char(' ') + (*it)->text(0)));
            }
            const QStringList clipped = Clipped(pPane);
            QVERIFY2(clipped.isEmpty(),
                     qPrintable(strTag + QLatin1Char(' ') + clipped.join(S("; "))));
            // The view's own form fits the width already at 1024; its grids from 1280 on.
            if (auto* pArea = qobject_cast<QAbstractScrollArea*>(pPane))
                QVERIFY2(!pArea->horizontalScrollBar()->isVisible(), qPrintable(strTag));
            if (size.width() < 1280)
                continue;
            QList<QAbstractScrollArea*> areas = pPane->findChildren<QAbstractScrollArea*>();
            if (auto* pArea = qobject_cast<QAbstractScrollArea*>(pPane))
                areas << pArea;
            for (const QAbstractScrollArea* pArea : areas)
                QVERIFY2(!pArea->horizontalScrollBar()->isVisible(),
                         qPrintable(strTag + QLatin1Char(' ') + pArea->objectName()));
        }
    }
}

// A restored window's size and tree width come back at the next start; the tree never comes
// back narrower than its minimum, and a first start (nothing saved) stays maximised.
void TestMainFrame::LayoutRememberedBetweenStarts() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("layout.ini")), QSettings::IniFormat);
    QVERIFY(!CWindowLayout::Restore(pFrame, settings));
    QVERIFY(pFrame->isMaximized());

    auto* pSplitter = gui.Find<QSplitter>(QStringLiteral("59648"));
    const int nMin = CTestAccess::TreeView(pFrame)->minimumWidth();
    for (const int nTree : {nMin + 90, 20}) {
        pFrame->showNormal();
        pFrame->resize(1100, 650);
        CGuiTest::ProcessEvents();
        pSplitter->setSizes({nTree, 1100 - nTree});
        const int nSaved = pSplitter->sizes().at(0);
        CWindowLayout::Save(pFrame, settings);
        pFrame->resize(1300, 700);
        pSplitter->setSizes({nMin + 200, 1000});
        QVERIFY(CWindowLayout::Restore(pFrame, settings));
        CGuiTest::ProcessEvents();
        QCOMPARE(pFrame->size(), QSize(1100, 650));
        QCOMPARE(pSplitter->sizes().at(0), std::max(nSaved, nMin));
        QVERIFY(pSplitter->sizes().at(0) >= nMin);
    }
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
