#pragma once

#include "analysis/crecordsearch.h"
#include "widgets/cformview.h"

#include <QDate>
#include <QHash>
#include <QMainWindow>
#include <QString>

class QAction;
class QActionGroup;
class QSplitter;
class QLabel;
class CLeftView;
class CSession;
struct CScope;
class CLinkDlg;
class CNewUserDlg;
class CBankDlg;
class CChangPwdDlg;
class CNewDayInDlg;
class CNewDayOutDlg;
class CTrsDlg;
class CSplashDlg;
class CFindDlg;
class CChangeWatcher;

// The one main window: menu, toolbar, status bar, the splitter with the navigation tree on
// the left and one view at a time on the right, the modal dialogs of the commands and the
// logged-in state. Only the frame changes the current user and the command states.
//
// The command handlers live beside the subsystem they drive:
//   cmainframe.cpp          creation, command table, view commands, SwitchView, login state
//   cmainframe_users.cpp    32783 32784 32785 32786 32787
//   cmainframe_records.cpp  32791 32790
//   cmainframe_accounts.cpp 32792, 32808
//   cmainframe_book.cpp     following other copies' writes, reopening, restoring a backup
//   cmainframe_import.cpp   32830 32831
//   cmainframe_views.cpp    32840 32841 32842
//   cmainframe_find.cpp     32854
//   cmainframe_plans.cpp    32860 32861, the recurring records that fell due
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Command ids of menu 128 / toolbar 128 (their texts, keys, menus and toolbar places are
    // declared together in cmainframe.cpp).
    enum ECommand {
        ID_NEW_USER = 32783,
        ID_LOGIN = 32784,
        ID_DELETE_USER = 32785,
        ID_CHANGE_PWD = 32786,
        ID_DISCONNECT = 32787,
        ID_EXIT = 32788,
        ID_ADD_OUTLAY = 32790,
        ID_ADD_INCOME = 32791,
        ID_ADD_TRS = 32792,
        ID_SUM_VIEW = 32793,
        ID_OUTLAY_VIEW = 32795,
        ID_INCOME_VIEW = 32798,
        ID_RPT_VIEW = 32806,
        ID_ADVICE = 32808,
        ID_ACCOUNTS = 32835,
        ID_CATEGORIES = 32870,
        ID_HELP = 32812,
        ID_IN_CHART = 32816,
        ID_OUT_CHART = 32817,
        ID_RESTORE_BACKUP = 32843,
        ID_IMPORT = 32830,
        ID_EXPORT = 32831,
        ID_PRINT = 32840,
        ID_PREVIEW = 32841,
        ID_RELOAD = 32842,
        ID_NEW_RECORD = 32850,
        ID_MODIFY_RECORDS = 32851,
        ID_DELETE_RECORD = 32852,
        ID_CONFIRM_RECORDS = 32853,
        ID_FIND = 32854,
        ID_BUDGET = 32860,
        ID_RECURRING = 32861,
        ID_APP_ABOUT = 57664,
        ID_VIEW_TOOLBAR = 59392,
        ID_VIEW_STATUS_BAR = 59393,
    };
    enum class EView { Main, SumList, Income, Outlay, InChart, OutChart, Rpt };

    // bShowSplash: show the splash window for two seconds first (tests pass false).
    explicit CMainFrame(bool bShowSplash = true, QWidget* pParent = nullptr);
    ~CMainFrame() override;

    // Who is logged in; views and dialogs are given it when they are made.
    CSession* Session() const { return m_pSession; }

    CFormView* CurrentView() const { return m_pRightPane; }
    // The right-hand view when it is a T, else null.
    template <class T> T* View() const { return qobject_cast<T*>(m_pRightPane); }
    EView ShownView() const;
    // The command of a view (32793 …): leaves an open edit (or stays), builds the view's tree
    // and shows the view, a daily one on its last day. Nothing happens for the view shown
    // unless bAnew, which builds it again from the book.
    void OpenView(EView eView, bool bAnew = false);
    // The tree of the daily view shown, built again from the book (other views keep theirs).
    void RebuildTree();

    QAction* Action(int nCommandId) const { return m_actions.value(nCommandId); }
    // Enables the commands the logged-in state allows and checks the view shown.
    void UpdateCommandUI();
    void SetStatusText(const QString& strText);
    // The start-up backup's outcome (CBackup::StartDaily) in the status bar.
    void ShowBackupResult(bool bOk, const QString& strMessage);
    // A book on a server is connected to at once, at start-up, so a wrong password, a missing
    // role or database or a server that does not answer is said before anyone logs in.
    void TryServerBook();

    // Logged-in state changes (the only places they happen). nUserId: the User row's
    // "UserID" the login matched (CUserAdmin::LogIn); the session's writes are refused once
    // that row is gone. 0: not checked.
    void SetLoggedIn(const QString& strUser, qint64 nUserId); // then runs 32793
    void SetLoggedOut();
    // Logs in a member who just proved who they are (login dialog, a new member), logging
    // out whoever was logged in.
    void SwitchUser(const QString& strUser, qint64 nUserId);
    // The session's user was deleted or re-created elsewhere (the message is shown already):
    // open dialogs close and the frame returns to the logged-out state.
    void OnSessionGone();

    // ---- dialogs, created on first use and kept for the frame's life (defined in the
    //      subsystem's cmainframe_*.cpp)
    CLinkDlg* LinkDlg();
    CNewUserDlg* NewUserDlg();
    CBankDlg* BankDlg();
    CChangPwdDlg* ChangPwdDlg();
    CNewDayInDlg* NewDayInDlg();
    CNewDayOutDlg* NewDayOutDlg();
    CTrsDlg* TrsDlg();
    CFindDlg* FindDlg(); // cmainframe_find.cpp
    // Other copies' writes and the book's file (cmainframe_book.cpp).
    CChangeWatcher* ChangeWatcher() const { return m_pChangeWatcher; }
    void ReopenBook(); // closes the book and opens it again at its path, logged out

public Q_SLOTS:
    // cmainframe_users.cpp
    void OnNewUser();
    void OnLogin();
    void OnDeleteUser();
    void OnChangePwd();
    void OnDisconnect();
    // cmainframe_records.cpp
    void OnAddIncome();
    void OnAddOutlay();
    // The day view's buttons by key (新增, 修改, 删除 a row, 确定), for the day view shown.
    void OnNewRecord();
    void OnModifyRecords();
    void OnDeleteRecord();
    void OnConfirmRecords();
    // cmainframe_book.cpp
    void OnRestoreBackup();
    void OnBookChanged();
    void OnBookReplaced();
    // cmainframe_import.cpp: the import wizard for the logged-in user (then the summary anew),
    // and the export dialog
    void OnImport();
    void OnExport();
    // cmainframe_views.cpp: print or preview the report of the report view (elsewhere the
    // report view is opened first, since a report needs its conditions chosen); the current
    // view read again from the book (a day being edited is left alone: its rows would be lost)
    void OnPrint();
    void OnPreview();
    void OnReload();
    // cmainframe_find.cpp: 查找, and a found record shown where it is kept
    void OnFind();
    void ShowFoundRecord(const CRecordSearch::SRow& row);
    // cmainframe_accounts.cpp
    void OnAddTrs();
    void OnAccounts();
    void OnCategories();
    // Whether the shown view may change: an open day edit is stored, dropped or kept after
    // asking. Every way of leaving the view goes through here.
    bool LeaveEdit();
    void OnAdvice();
    // cmainframe_plans.cpp: the budgets and the recurring records of the logged-in user; the
    // occurrences due up to today listed (at login, and when the day changes while running)
    void OnBudget();
    void OnRecurring();
    void CheckDueRecurring();
    // cmainframe.cpp
    void OnHelp();
    void OnAbout();
    void OnExit();

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override; // lock-key indicators

private:
    friend class CTestAccess; // tests/support/gui
    // Puts a view of that kind in the right pane unless one is there already.
    void SwitchView(EView eView);
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateClient();
    // Builds the view's tree and puts the view in the right pane (a new one when bAnew).
    void ShowView(EView eView, bool bAnew = false);
    void ReplaceView(EView eView); // a view of that kind, filled anew, whatever is shown
    void DropKeptViews();
    // The tree chose a scope: the view shows it (or, while editing, refuses it).
    void OnScopeChosen(const CScope& scope);
    // The view shows a day: the tree marks it without sending it back.
    void OnDayShown(const QDate& day);
    void StartChangeWatcher(); // cmainframe_book.cpp
    void StartDayWatch();      // cmainframe_plans.cpp

    CSession* m_pSession = nullptr;
    QSplitter* m_pSplitter = nullptr;
    CLeftView* m_pLeftView = nullptr;
    CFormView* m_pRightPane = nullptr;
    // The summary and the charts wait hidden while another view is shown and are filled anew
    // when they come back: their windows are made once per login. (The daily views and the
    // report hold typed rows or a whole query and are made anew.)
    QList<CFormView*> m_keptViews;
    QHash<int, QAction*> m_actions;
    QActionGroup* m_pViewGroup = nullptr; // the six view commands: one checked at most

    CLinkDlg* m_pLinkDlg = nullptr;
    CNewUserDlg* m_pNewUserDlg = nullptr;
    CBankDlg* m_pBankDlg = nullptr;
    CChangPwdDlg* m_pChangPwdDlg = nullptr;
    CNewDayInDlg* m_pNewDayInDlg = nullptr;
    CNewDayOutDlg* m_pNewDayOutDlg = nullptr;
    CTrsDlg* m_pTrsDlg = nullptr;
    CFindDlg* m_pFindDlg = nullptr;
    CSplashDlg* m_pSplashDlg = nullptr;
    CChangeWatcher* m_pChangeWatcher = nullptr;
    QDate m_dueCheckedOn; // the day whose due recurring records were last listed
};
