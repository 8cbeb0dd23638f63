#include "app/cmainframe.h"

#include "analysis/cinchartview.h"
#include "analysis/coutchartview.h"
#include "analysis/crptview.h"
#include "analysis/csumlistview.h"
#include "app/caboutdlg.h"
#include "app/chelpwindow.h"
#include "app/cleftview.h"
#include "app/cmainview.h"
#include "app/csplashdlg.h"
#include "records/cincomeview.h"
#include "records/coutlayview.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"
#include "widgets/cpicture.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPixmapCache>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <utility>
#include <vector>

namespace {

struct SCommand {
    int nId;
    const char* pszMenu;   // menu text with its accelerator
    const char* pszStatus; // status-bar text, also the tool tip
    const char* pszIcon;   // res/icons/<name>.svg; null for menu-only commands
    const char* pszKeys;   // its keys, the first shown beside it in the menu (QKeySequence
                           // texts, several separated by "; "); or null
};

// Texts are translated at use (QT_TRANSLATE_NOOP keeps them visible to lupdate).
const SCommand kCommands[] = {
    {CMainFrame::ID_NEW_USER, QT_TRANSLATE_NOOP("CMainFrame", "新建用户(&N)"),
     QT_TRANSLATE_NOOP("CMainFrame", "新建用户"), "new_user", nullptr},
    {CMainFrame::ID_LOGIN, QT_TRANSLATE_NOOP("CMainFrame", "用户登录(&L)"),
     QT_TRANSLATE_NOOP("CMainFrame", "用户登录"), "login", nullptr},
    {CMainFrame::ID_DELETE_USER, QT_TRANSLATE_NOOP("CMainFrame", "删除用户(&D)"),
     QT_TRANSLATE_NOOP("CMainFrame", "删除用户"), "delete_user", nullptr},
    {CMainFrame::ID_CHANGE_PWD, QT_TRANSLATE_NOOP("CMainFrame", "修改密码(&P)"),
     QT_TRANSLATE_NOOP("CMainFrame", "修改密码"), "change_pwd", nullptr},
    {CMainFrame::ID_DISCONNECT, QT_TRANSLATE_NOOP("CMainFrame", "断开用户(&C)"),
     QT_TRANSLATE_NOOP("CMainFrame", "断开用户"), "disconnect", nullptr},
    {CMainFrame::ID_RESTORE_BACKUP, QT_TRANSLATE_NOOP("CMainFrame", "从备份恢复(&R)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "用每日备份中的一份替换账本的内容\n从备份恢复"), nullptr,
     nullptr},
    {CMainFrame::ID_EXIT, QT_TRANSLATE_NOOP("CMainFrame", "退出系统(&E)"),
     QT_TRANSLATE_NOOP("CMainFrame", "退出系统"), "exit", "Ctrl+Q"},
    {CMainFrame::ID_ADD_INCOME, QT_TRANSLATE_NOOP("CMainFrame", "添加收入记录(&A)"),
     QT_TRANSLATE_NOOP("CMainFrame", "添加收入记录"), "add_income", "Ctrl+N"},
    {CMainFrame::ID_ADD_OUTLAY, QT_TRANSLATE_NOOP("CMainFrame", "添加支出记录(&O)"),
     QT_TRANSLATE_NOOP("CMainFrame", "添加支出记录"), "add_outlay", "Ctrl+Shift+N"},
    {CMainFrame::ID_ADD_TRS, QT_TRANSLATE_NOOP("CMainFrame", "添加转账记录(&C)"),
     QT_TRANSLATE_NOOP("CMainFrame", "添加转账记录"), "add_trs", "Ctrl+T"},
    {CMainFrame::ID_NEW_RECORD, QT_TRANSLATE_NOOP("CMainFrame", "新增记录(&W)"),
     QT_TRANSLATE_NOOP("CMainFrame", "在这一天的表格里新增一笔记录\n新增记录"), nullptr, "Insert"},
    {CMainFrame::ID_MODIFY_RECORDS, QT_TRANSLATE_NOOP("CMainFrame", "修改记录(&E)"),
     QT_TRANSLATE_NOOP("CMainFrame", "修改这一天的记录；正在修改时打开选中的格子\n修改记录"),
     nullptr, "F2"},
    {CMainFrame::ID_DELETE_RECORD, QT_TRANSLATE_NOOP("CMainFrame", "删除选中的行(&D)"),
     QT_TRANSLATE_NOOP("CMainFrame", "删除表格里选中的一行（按“确定”后才写入账本）\n删除一行"),
     nullptr, "Ctrl+Del"},
    {CMainFrame::ID_CONFIRM_RECORDS, QT_TRANSLATE_NOOP("CMainFrame", "确定记录(&S)"),
     QT_TRANSLATE_NOOP("CMainFrame", "把这一天新增、修改和删除的记录写入账本\n确定记录"), nullptr,
     "Ctrl+Return; Ctrl+Enter"},
    {CMainFrame::ID_ACCOUNTS, QT_TRANSLATE_NOOP("CMainFrame", "账号管理(&M)"),
     QT_TRANSLATE_NOOP("CMainFrame", "添加、改名、删除账号\n账号管理"), "accounts", nullptr},
    {CMainFrame::ID_BUDGET, QT_TRANSLATE_NOOP("CMainFrame", "预算设置(&B)…"),
     QT_TRANSLATE_NOOP("CMainFrame", "为全部支出或各类支出定下每月的预算\n预算设置"), nullptr,
     nullptr},
    {CMainFrame::ID_RECURRING, QT_TRANSLATE_NOOP("CMainFrame", "周期记录(&R)…"),
     QT_TRANSLATE_NOOP("CMainFrame",
                       "房租、工资等定期的收支和转账：到期时列出，一键记入\n周期记录"),
     nullptr, nullptr},
    {CMainFrame::ID_CATEGORIES, QT_TRANSLATE_NOOP("CMainFrame", "类别管理(&G)"),
     QT_TRANSLATE_NOOP("CMainFrame", "添加、改名、合并、隐藏收支类别\n类别管理"), "categories",
     nullptr},
    {CMainFrame::ID_IMPORT, QT_TRANSLATE_NOOP("CMainFrame", "导入账单(&I)…"),
     QT_TRANSLATE_NOOP("CMainFrame",
                       "从支付宝、微信支付、银行对账单或其它财务软件导入账单\n导入账单"),
     "import", nullptr},
    {CMainFrame::ID_EXPORT, QT_TRANSLATE_NOOP("CMainFrame", "导出(&X)…"),
     QT_TRANSLATE_NOOP("CMainFrame", "把收支记录和转账导出为 QIF 或 CSV 文件\n导出"), nullptr,
     nullptr},
    {CMainFrame::ID_SUM_VIEW, QT_TRANSLATE_NOOP("CMainFrame", "摘要查询"),
     QT_TRANSLATE_NOOP("CMainFrame", "摘要查询"), "sum_view", "Ctrl+1"},
    {CMainFrame::ID_INCOME_VIEW, QT_TRANSLATE_NOOP("CMainFrame", "收入查询"),
     QT_TRANSLATE_NOOP("CMainFrame", "收入查询"), "income_view", "Ctrl+2"},
    {CMainFrame::ID_OUTLAY_VIEW, QT_TRANSLATE_NOOP("CMainFrame", "支出查询"),
     QT_TRANSLATE_NOOP("CMainFrame", "支出查询"), "outlay_view", "Ctrl+3"},
    {CMainFrame::ID_IN_CHART, QT_TRANSLATE_NOOP("CMainFrame", "收入图表"),
     QT_TRANSLATE_NOOP("CMainFrame", "收入图表"), "in_chart", "Ctrl+4"},
    {CMainFrame::ID_OUT_CHART, QT_TRANSLATE_NOOP("CMainFrame", "支出图表"),
     QT_TRANSLATE_NOOP("CMainFrame", "支出图表"), "out_chart", "Ctrl+5"},
    {CMainFrame::ID_RPT_VIEW, QT_TRANSLATE_NOOP("CMainFrame", "报表查询"),
     QT_TRANSLATE_NOOP("CMainFrame", "报表查询"), "rpt_view", "Ctrl+6"},
    {CMainFrame::ID_PRINT, QT_TRANSLATE_NOOP("CMainFrame", "打印报表(&P)…"),
     QT_TRANSLATE_NOOP("CMainFrame", "打印报表查询的结果\n打印报表"), nullptr, "Ctrl+P"},
    {CMainFrame::ID_PREVIEW, QT_TRANSLATE_NOOP("CMainFrame", "打印预览(&V)"),
     QT_TRANSLATE_NOOP("CMainFrame", "预览报表查询的打印结果\n打印预览"), nullptr, "Ctrl+Shift+P"},
    {CMainFrame::ID_FIND, QT_TRANSLATE_NOOP("CMainFrame", "查找(&F)…"),
     QT_TRANSLATE_NOOP("CMainFrame", "按文字、金额、日期查找收入、支出和转账记录\n查找"), "find",
     "Ctrl+F"},
    {CMainFrame::ID_RELOAD, QT_TRANSLATE_NOOP("CMainFrame", "刷新(&R)"),
     QT_TRANSLATE_NOOP("CMainFrame", "从账本重新读取当前视图\n刷新"), nullptr, "F5"},
    {CMainFrame::ID_ADVICE, QT_TRANSLATE_NOOP("CMainFrame", "分析建议"),
     QT_TRANSLATE_NOOP("CMainFrame", "专家建议"), "advice", nullptr},
    {CMainFrame::ID_HELP, QT_TRANSLATE_NOOP("CMainFrame", "使用帮助(&H)"),
     QT_TRANSLATE_NOOP("CMainFrame", "使用指南"), "help", "F1"},
    {CMainFrame::ID_APP_ABOUT, QT_TRANSLATE_NOOP("CMainFrame", "关于 Ledgerkin(&A)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "显示程序信息、版本号和版权\n关于"), "about", nullptr},
    {CMainFrame::ID_VIEW_TOOLBAR, QT_TRANSLATE_NOOP("CMainFrame", "工具栏(&T)"),
     QT_TRANSLATE_NOOP("CMainFrame", "显示或隐藏工具栏\n显隐工具栏"), nullptr, nullptr},
    {CMainFrame::ID_VIEW_STATUS_BAR, QT_TRANSLATE_NOOP("CMainFrame", "状态栏(&S)"),
     QT_TRANSLATE_NOOP("CMainFrame", "显示或隐藏状态栏\n显隐状态栏"), nullptr, nullptr},
};

// The menus of menu bar 128, in order; 0 is a separator.
struct SMenu {
    const char* pszTitle;
    std::vector<int> ids;
};
const SMenu kMenus[] = {
    {QT_TRANSLATE_NOOP("CMainFrame", "用户(&U)"),
     {CMainFrame::ID_NEW_USER, CMainFrame::ID_LOGIN, CMainFrame::ID_DELETE_USER,
      CMainFrame::ID_CHANGE_PWD, CMainFrame::ID_DISCONNECT, 0, CMainFrame::ID_RESTORE_BACKUP, 0,
      CMainFrame::ID_EXIT}},
    {QT_TRANSLATE_NOOP("CMainFrame", "操作(&O)"),
     {CMainFrame::ID_ADD_INCOME, CMainFrame::ID_ADD_OUTLAY, CMainFrame::ID_ADD_TRS,
      CMainFrame::ID_ACCOUNTS, CMainFrame::ID_CATEGORIES, 0, CMainFrame::ID_NEW_RECORD,
      CMainFrame::ID_MODIFY_RECORDS, CMainFrame::ID_DELETE_RECORD, CMainFrame::ID_CONFIRM_RECORDS,
      0, CMainFrame::ID_FIND, 0, CMainFrame::ID_BUDGET, CMainFrame::ID_RECURRING, 0,
      CMainFrame::ID_IMPORT, CMainFrame::ID_EXPORT}},
    {QT_TRANSLATE_NOOP("CMainFrame", "财务分析(&A)"),
     {CMainFrame::ID_SUM_VIEW, CMainFrame::ID_INCOME_VIEW, CMainFrame::ID_OUTLAY_VIEW, 0,
      CMainFrame::ID_IN_CHART, CMainFrame::ID_OUT_CHART, 0, CMainFrame::ID_RPT_VIEW,
      CMainFrame::ID_PRINT, CMainFrame::ID_PREVIEW, 0, CMainFrame::ID_ADVICE}},
    {QT_TRANSLATE_NOOP("CMainFrame", "视图(&V)"),
     {CMainFrame::ID_RELOAD, 0, CMainFrame::ID_VIEW_TOOLBAR, CMainFrame::ID_VIEW_STATUS_BAR}},
    {QT_TRANSLATE_NOOP("CMainFrame", "帮助(&H)"),
     {CMainFrame::ID_HELP, 0, CMainFrame::ID_APP_ABOUT}},
};

// Toolbar 128; 0 is a separator.
const int kToolBar[] = {CMainFrame::ID_NEW_USER,
                        CMainFrame::ID_LOGIN,
                        CMainFrame::ID_DELETE_USER,
                        CMainFrame::ID_CHANGE_PWD,
                        CMainFrame::ID_DISCONNECT,
                        0,
                        CMainFrame::ID_ADD_INCOME,
                        CMainFrame::ID_ADD_OUTLAY,
                        CMainFrame::ID_ADD_TRS,
                        CMainFrame::ID_IMPORT,
                        CMainFrame::ID_ACCOUNTS,
                        CMainFrame::ID_CATEGORIES,
                        0,
                        CMainFrame::ID_SUM_VIEW,
                        CMainFrame::ID_INCOME_VIEW,
                        CMainFrame::ID_OUTLAY_VIEW,
                        0,
                        CMainFrame::ID_IN_CHART,
                        CMainFrame::ID_OUT_CHART,
                        0,
                        CMainFrame::ID_RPT_VIEW,
                        CMainFrame::ID_FIND,
                        CMainFrame::ID_ADVICE,
                        0,
                        CMainFrame::ID_HELP,
                        CMainFrame::ID_APP_ABOUT,
                        CMainFrame::ID_EXIT};

// Status-bar indicator panes, named after their window ids.
const char* const kCapsPane = "59137";
const char* const kNumPane = "59138";
const char* const kScrollPane = "59139";

// The views of the right pane: the command that opens each, the tree shown beside it and how
// it is made. Adding a view is one line here.
struct SViewKind {
    CMainFrame::EView eView;
    int nCommandId; // 0: no command (the blank view of the logged-out frame)
    void (CLeftView::*pBuildTree)();
    const QMetaObject* pMetaObject;
    CFormView* (*pCreate)(const CSession* pSession);
    bool bDaily; // opened on its last day
    bool bKept;  // kept hidden while another view is shown
};

template <class TView> CFormView* Create(const CSession* pSession) {
    return new TView(pSession);
}

const SViewKind kViews[] = {
    {CMainFrame::EView::Main, 0, &CLeftView::Empty, &CMainView::staticMetaObject,
     &Create<CMainView>, false, false},
    {CMainFrame::EView::SumList, CMainFrame::ID_SUM_VIEW, &CLeftView::BuildSummaryTree,
     &CSumListView::staticMetaObject, &Create<CSumListView>, false, true},
    {CMainFrame::EView::Income, CMainFrame::ID_INCOME_VIEW, &CLeftView::BuildIncomeTree,
     &CIncomeView::staticMetaObject, &Create<CIncomeView>, true, false},
    {CMainFrame::EView::Outlay, CMainFrame::ID_OUTLAY_VIEW, &CLeftView::BuildOutlayTree,
     &COutlayView::staticMetaObject, &Create<COutlayView>, true, false},
    {CMainFrame::EView::InChart, CMainFrame::ID_IN_CHART, &CLeftView::BuildInChartTree,
     &CInChartView::staticMetaObject, &Create<CInChartView>, false, true},
    {CMainFrame::EView::OutChart, CMainFrame::ID_OUT_CHART, &CLeftView::BuildOutChartTree,
     &COutChartView::staticMetaObject, &Create<COutChartView>, false, true},
    {CMainFrame::EView::Rpt, CMainFrame::ID_RPT_VIEW, &CLeftView::Empty,
     &CRptView::staticMetaObject, &Create<CRptView>, false, false},
};

const SViewKind& KindOf(CMainFrame::EView eView) {
    for (const SViewKind& kind : kViews) {
        if (kind.eView == eView)
            return kind;
    }
    return kViews[0];
}

// The kind of a view made by kViews (the start page's for anything else).
const SViewKind& KindOf(const QObject* pView) {
    for (const SViewKind& kind : kViews) {
        if (pView && pView->metaObject() == kind.pMetaObject)
            return kind;
    }
    return kViews[0];
}

// Commands that need a logged-in user. The rest are always there: creating a member or logging
// in while someone is logged in switches to that member.
const int kLoggedInCommands[] = {
    CMainFrame::ID_DELETE_USER, CMainFrame::ID_CHANGE_PWD, CMainFrame::ID_DISCONNECT,
    CMainFrame::ID_ADD_INCOME,  CMainFrame::ID_ADD_OUTLAY, CMainFrame::ID_ADD_TRS,
    CMainFrame::ID_ACCOUNTS,    CMainFrame::ID_SUM_VIEW,   CMainFrame::ID_INCOME_VIEW,
    CMainFrame::ID_OUTLAY_VIEW, CMainFrame::ID_IN_CHART,   CMainFrame::ID_OUT_CHART,
    CMainFrame::ID_RPT_VIEW,    CMainFrame::ID_ADVICE,     CMainFrame::ID_IMPORT,
    CMainFrame::ID_EXPORT,      CMainFrame::ID_PRINT,      CMainFrame::ID_PREVIEW,
    CMainFrame::ID_RELOAD,      CMainFrame::ID_FIND,       CMainFrame::ID_BUDGET,
    CMainFrame::ID_RECURRING,   CMainFrame::ID_CATEGORIES};

// The frame whose handlers CMessageBox holds (the newest one; tests make several in a row).
const CMainFrame* g_pHandlerOwner = nullptr;
} // namespace

CMainFrame::CMainFrame(bool bShowSplash, QWidget* pParent)
    : QMainWindow(pParent), m_pSession(new CSession(this)) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(tr("Ledgerkin 家庭账本"));
    setWindowIcon(QIcon(QStringLiteral(":/res/icons/ledgerkin.svg")));

    if (bShowSplash) {
        m_pSplashDlg = new CSplashDlg(this);
        m_pSplashDlg->ShowFor(2000);
    }

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateClient();

    connect(m_pSession, &CSession::LoggedIn, this, &CMainFrame::UpdateCommandUI);
    connect(m_pSession, &CSession::LoggedOut, this, &CMainFrame::UpdateCommandUI);
    UpdateCommandUI();
    setWindowState(windowState() | Qt::WindowMaximized);
    qApp->installEventFilter(this);
    CMessageBox::SetSessionGoneHandler([this] { OnSessionGone(); });
    g_pHandlerOwner = this;
    StartChangeWatcher();
    StartDayWatch();
}

CMainFrame::~CMainFrame() {
    qDeleteAll(m_keptViews);
    if (g_pHandlerOwner != this)
        return;
    g_pHandlerOwner = nullptr;
    CMessageBox::SetSessionGoneHandler(nullptr);
    CMessageBox::SetReopenHandler(nullptr);
}

void CMainFrame::CreateActions() {
    for (const SCommand& command : kCommands) {
        const QString strStatus = tr(command.pszStatus);
        auto* pAction = new QAction(tr(command.pszMenu), this);
        pAction->setObjectName(QString::number(command.nId));
        // "long text\nshort text": the long one for the status bar, the short one as tip.
        pAction->setStatusTip(strStatus.section(QLatin1Char('\n'), 0, 0));
        pAction->setToolTip(strStatus.section(QLatin1Char('\n'), -1));
        if (command.pszKeys)
            pAction->setShortcuts(QKeySequence::listFromString(QLatin1String(command.pszKeys)));
        if (command.pszIcon) {
            pAction->setIcon(CPicture::KeptIcon(QLatin1String(command.pszIcon)));
        }
        m_actions.insert(command.nId, pAction);
        addAction(pAction); // keeps shortcuts alive while the menu bar is hidden
    }
    m_pViewGroup = new QActionGroup(this);
    m_pViewGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const SViewKind& kind : kViews) {
        if (kind.nCommandId == 0)
            continue;
        QAction* pAction = m_actions.value(kind.nCommandId);
        pAction->setCheckable(true);
        m_pViewGroup->addAction(pAction);
        const EView eView = kind.eView;
        connect(pAction, &QAction::triggered, this, [this, eView] {
            CMessageBox::Guarded(this, [&] { OpenView(eView); });
            // A click flips the check mark; the view shown decides it.
            UpdateCommandUI();
        });
    }
    for (const int nId : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR})
        m_actions.value(nId)->setCheckable(true);

    const QHash<int, void (CMainFrame::*)()> handlers = {
        {ID_NEW_USER, &CMainFrame::OnNewUser},
        {ID_LOGIN, &CMainFrame::OnLogin},
        {ID_DELETE_USER, &CMainFrame::OnDeleteUser},
        {ID_CHANGE_PWD, &CMainFrame::OnChangePwd},
        {ID_DISCONNECT, &CMainFrame::OnDisconnect},
        {ID_EXIT, &CMainFrame::OnExit},
        {ID_RESTORE_BACKUP, &CMainFrame::OnRestoreBackup},
        {ID_ADD_INCOME, &CMainFrame::OnAddIncome},
        {ID_ADD_OUTLAY, &CMainFrame::OnAddOutlay},
        {ID_NEW_RECORD, &CMainFrame::OnNewRecord},
        {ID_MODIFY_RECORDS, &CMainFrame::OnModifyRecords},
        {ID_DELETE_RECORD, &CMainFrame::OnDeleteRecord},
        {ID_CONFIRM_RECORDS, &CMainFrame::OnConfirmRecords},
        {ID_ADD_TRS, &CMainFrame::OnAddTrs},
        {ID_ACCOUNTS, &CMainFrame::OnAccounts},
        {ID_CATEGORIES, &CMainFrame::OnCategories},
        {ID_ADVICE, &CMainFrame::OnAdvice},
        {ID_IMPORT, &CMainFrame::OnImport},
        {ID_EXPORT, &CMainFrame::OnExport},
        {ID_PRINT, &CMainFrame::OnPrint},
        {ID_PREVIEW, &CMainFrame::OnPreview},
        {ID_RELOAD, &CMainFrame::OnReload},
        {ID_FIND, &CMainFrame::OnFind},
        {ID_BUDGET, &CMainFrame::OnBudget},
        {ID_RECURRING, &CMainFrame::OnRecurring},
        {ID_HELP, &CMainFrame::OnHelp},
        {ID_APP_ABOUT, &CMainFrame::OnAbout},
    };
    for (auto it = handlers.cbegin(); it != handlers.cend(); ++it) {
        const auto pHandler = it.value();
        connect(m_actions.value(it.key()), &QAction::triggered, this, [this, pHandler] {
            // A command's failed database step ends the command, said in a message box.
            CMessageBox::Guarded(this, [&] { (this->*pHandler)(); });
            UpdateCommandUI();
        });
    }
}

void CMainFrame::CreateMenus() {
    QMenuBar* pMenuBar = menuBar();
    pMenuBar->setObjectName(QStringLiteral("128"));
    for (const SMenu& menu : kMenus) {
        const QString strTitle = tr(menu.pszTitle);
        QMenu* pMenu = pMenuBar->addMenu(strTitle);
        pMenu->setObjectName(strTitle);
        for (const int nId : menu.ids) {
            if (nId == 0)
                pMenu->addSeparator();
            else
                pMenu->addAction(m_actions.value(nId));
        }
        // The state may have changed outside a command (a view, a dialog): show it as it is.
        connect(pMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }
}

void CMainFrame::CreateToolBar() {
    QToolBar* pToolBar = addToolBar(tr("工具栏"));
    pToolBar->setObjectName(QStringLiteral("128"));
    pToolBar->setIconSize(QSize(32, 32));
    pToolBar->setMovable(true);
    pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const int nId : kToolBar) {
        if (nId == 0)
            pToolBar->addSeparator();
        else
            pToolBar->addAction(m_actions.value(nId));
    }
    QAction* pToggle = m_actions.value(ID_VIEW_TOOLBAR);
    connect(pToggle, &QAction::triggered, pToolBar, &QToolBar::setVisible);
    connect(pToolBar, &QToolBar::visibilityChanged, pToggle, &QAction::setChecked);
    pToggle->setChecked(true);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* pStatusBar = statusBar();
    pStatusBar->setObjectName(QString::number(ID_VIEW_STATUS_BAR));
    auto* pMessage = new QLabel(tr("就绪"), pStatusBar);
    pMessage->setObjectName(QStringLiteral("0"));
    pStatusBar->addWidget(pMessage, 1);
    for (const auto& pane : {std::make_pair(kCapsPane, "CAP"), std::make_pair(kNumPane, "NUM"),
                             std::make_pair(kScrollPane, "SCRL")}) {
        auto* pLabel = new QLabel(QLatin1String(pane.second), pStatusBar);
        pLabel->setObjectName(QLatin1String(pane.first));
        pLabel->setAlignment(Qt::AlignCenter);
        pLabel->setFrameShape(QFrame::Panel);
        pLabel->setFrameShadow(QFrame::Sunken);
        pLabel->setMinimumWidth(pLabel->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) +
                                12);
        // Shown greyed while the lock is off; the key presses the program sees flip it.
        pLabel->setEnabled(false);
        pStatusBar->addPermanentWidget(pLabel);
    }
    QAction* pToggle = m_actions.value(ID_VIEW_STATUS_BAR);
    connect(pToggle, &QAction::triggered, pStatusBar, &QStatusBar::setVisible);
    pToggle->setChecked(true);
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // A key press reaches the filter once for its window, then again for each widget it
    // passes; count it at the window only.
    if (pEvent->type() == QEvent::KeyPress && pWatched->isWindowType() &&
        !static_cast<QKeyEvent*>(pEvent)->isAutoRepeat()) {
        const char* pszPane = nullptr;
        switch (static_cast<QKeyEvent*>(pEvent)->key()) {
        case Qt::Key_CapsLock:
            pszPane = kCapsPane;
            break;
        case Qt::Key_NumLock:
            pszPane = kNumPane;
            break;
        case Qt::Key_ScrollLock:
            pszPane = kScrollPane;
            break;
        default:
            break;
        }
        if (pszPane) {
            if (auto* pLabel = statusBar()->findChild<QLabel*>(QLatin1String(pszPane)))
                pLabel->setEnabled(!pLabel->isEnabled());
        }
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainFrame::CreateClient() {
    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pSplitter->setObjectName(QStringLiteral("59648"));
    m_pSplitter->setChildrenCollapsible(false);
    m_pLeftView = new CLeftView(m_pSession, m_pSplitter);
    connect(m_pLeftView, &CLeftView::ScopeChosen, this, &CMainFrame::OnScopeChosen);
    auto* pMainView = new CMainView(m_pSession, m_pSplitter);
    m_pRightPane = pMainView;
    m_pSplitter->addWidget(m_pLeftView);
    m_pSplitter->addWidget(pMainView);
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    // However small the window, the tree keeps room for a user's name on the first level and
    // "30日" on the fourth, each after its indentation and icon, beside a scroll bar.
    const QFontMetrics fm = m_pLeftView->fontMetrics();
    const int nIndent = m_pLeftView->indentation();
    const int nItem = m_pLeftView->iconSize().width() + 2 * fm.horizontalAdvance(QLatin1Char(' '));
    m_pLeftView->setMinimumWidth(
        std::max(nIndent + fm.horizontalAdvance(QStringLiteral("演示用户演示用户")),
                 4 * nIndent + fm.horizontalAdvance(QStringLiteral("30日"))) +
        nItem + m_pLeftView->verticalScrollBar()->sizeHint().width() +
        2 * m_pLeftView->frameWidth() + 8);
    m_pSplitter->setSizes({180, qMax(100, width() - 180)});
    setCentralWidget(m_pSplitter);
    pMainView->OnInitialUpdate();
}

void CMainFrame::UpdateCommandUI() {
    const bool bLoggedIn = m_pSession->IsLoggedIn();
    for (const int nId : kLoggedInCommands)
        m_actions.value(nId)->setEnabled(bLoggedIn);
    // Logging in while someone is logged in is switching members.
    QAction* pLogin = m_actions.value(ID_LOGIN);
    for (const SCommand& command : kCommands) {
        if (command.nId != ID_LOGIN)
            continue;
        const QString strStatus =
            bLoggedIn ? tr("退出当前用户，换一位家庭成员登录\n切换用户") : tr(command.pszStatus);
        pLogin->setText(bLoggedIn ? tr("切换用户(&L)") : tr(command.pszMenu));
        pLogin->setStatusTip(strStatus.section(QLatin1Char('\n'), 0, 0));
        pLogin->setToolTip(strStatus.section(QLatin1Char('\n'), -1));
    }
    const EView eShown = ShownView();
    // The day view's keys only where there is a day view.
    for (const int nId : {ID_NEW_RECORD, ID_MODIFY_RECORDS, ID_DELETE_RECORD, ID_CONFIRM_RECORDS})
        m_actions.value(nId)->setEnabled(bLoggedIn && View<CDayView>() != nullptr);
    for (const SViewKind& kind : kViews) {
        if (kind.nCommandId != 0)
            m_actions.value(kind.nCommandId)->setChecked(kind.eView == eShown);
    }
    m_actions.value(ID_VIEW_TOOLBAR)
        ->setChecked(findChild<QToolBar*>()->isVisibleTo(this) || !isVisible());
    m_actions.value(ID_VIEW_STATUS_BAR)->setChecked(statusBar()->isVisibleTo(this) || !isVisible());
    setWindowTitle(tr("Ledgerkin 家庭账本"));
}

void CMainFrame::SetStatusText(const QString& strText) {
    statusBar()->showMessage(strText);
}

void CMainFrame::ShowBackupResult(bool bOk, const QString& strMessage) {
    // What the status bar says already (how to log in to the demo book) stays: a backup made
    // as every day is no news, and a failed one is said beside it.
    const QString strShown = statusBar()->currentMessage();
    if (strMessage.isEmpty() || (bOk && !strShown.isEmpty()))
        return;
    SetStatusText(strShown.isEmpty() ? strMessage : strShown + QStringLiteral("　") + strMessage);
}

CMainFrame::EView CMainFrame::ShownView() const {
    return KindOf(m_pRightPane).eView;
}

void CMainFrame::OpenView(EView eView, bool bAnew) {
    if (!LeaveEdit() || (ShownView() == eView && !bAnew))
        return;
    ShowView(eView, bAnew);
    if (KindOf(eView).bDaily) {
        if (auto* pView = View<CDayView>())
            pView->GoLastDay();
    }
}

void CMainFrame::ShowView(EView eView, bool bAnew) {
    (m_pLeftView->*KindOf(eView).pBuildTree)();
    if (bAnew) {
        DropKeptViews();
        ReplaceView(eView);
    } else {
        SwitchView(eView);
    }
}

void CMainFrame::SwitchView(EView eView) {
    if (ShownView() != eView)
        ReplaceView(eView);
}

void CMainFrame::ReplaceView(EView eView) {
    CFormView* pOld = m_pRightPane;
    const SViewKind& kind = KindOf(eView);
    const auto kept = std::find_if(m_keptViews.begin(), m_keptViews.end(), [&](CFormView* p) {
        return p->metaObject() == kind.pMetaObject;
    });
    CFormView* pNew = nullptr;
    if (kept != m_keptViews.end()) {
        pNew = *kept;
        m_keptViews.erase(kept);
    } else {
        pNew = kind.pCreate(m_pSession);
    }
    const QList<int> sizes = m_pSplitter->sizes();
    if (pOld)
        pNew->resize(pOld->size());
    const int nIndex = pOld ? m_pSplitter->indexOf(pOld) : -1;
    if (nIndex >= 0) {
        m_pSplitter->replaceWidget(nIndex, pNew);
    } else {
        m_pSplitter->addWidget(pNew);
    }
    m_pSplitter->setSizes(sizes);
    m_pRightPane = pNew;
    if (pOld) {
        // The old view may be the sender of what led here; let it finish first.
        disconnect(pOld, nullptr, this, nullptr);
        pOld->hide();
        pOld->setParent(nullptr);
        if (KindOf(pOld).bKept)
            m_keptViews.append(pOld);
        else
            pOld->deleteLater();
    }
    connect(pNew, &CFormView::StatusText, this, &CMainFrame::SetStatusText);
    connect(pNew, &CFormView::DayShown, this, &CMainFrame::OnDayShown);
    connect(pNew, &CFormView::TreeOutdated, this, &CMainFrame::RebuildTree);
    pNew->show();
    pNew->OnInitialUpdate();
    UpdateCommandUI(); // the day view's keys come and go with it
}

// At once, not later: the next login's password hash must not land on top of them.
void CMainFrame::DropKeptViews() {
    qDeleteAll(std::exchange(m_keptViews, {}));
}

void CMainFrame::RebuildTree() {
    const SViewKind& kind = KindOf(ShownView());
    if (kind.bDaily)
        (m_pLeftView->*kind.pBuildTree)();
}

void CMainFrame::OnScopeChosen(const CScope& scope) {
    m_pRightPane->ShowScope(scope);
}

void CMainFrame::OnDayShown(const QDate& day) {
    // The tree only follows: selecting the item must not ask the view for the day again.
    const QSignalBlocker blocker(m_pLeftView);
    m_pLeftView->ShowDay(day.year(), day.month(), day.day());
}

void CMainFrame::SetLoggedIn(const QString& strUser, qint64 nUserId) {
    m_pSession->LogIn(strUser, nUserId);
    OpenView(EView::SumList);
    UpdateCommandUI();
    CheckDueRecurring();
}

void CMainFrame::SetLoggedOut() {
    m_pSession->LogOut();
    SwitchView(EView::Main);
    DropKeptViews(); // the next user's views are made for them
    // The summary a login opens is made now, empty, and waits hidden: the login only fills it.
    // It holds nothing of anyone until then.
    m_keptViews.append(KindOf(EView::SumList).pCreate(m_pSession));
    m_pLeftView->Empty();
    UpdateCommandUI();
    // The pictures the style cached for the ended session's windows, and the grids' kept
    // cells with the member's figures, go back before the next login's password hash lands
    // on top of them (the session hands back the book's pages, the hash the heap's free pages).
    QPixmapCache::clear();
    CMsflexgrid1::ForgetDrawnCells();
}

void CMainFrame::OnHelp() {
    CHelpWindow::ShowHelp();
}

void CMainFrame::OnAbout() {
    CAboutDlg dlg(this);
    dlg.exec();
}

void CMainFrame::OnExit() {
    close();
}

void CMainFrame::closeEvent(QCloseEvent* pEvent) {
    // The book is written as the user goes; only rows typed but not yet confirmed are asked
    // about.
    if (!LeaveEdit()) {
        pEvent->ignore();
        return;
    }
    pEvent->accept();
}

bool CMainFrame::LeaveEdit() {
    return m_pRightPane->LeaveEdit();
}
