// Draws the pictures of the README and the user guide. The demo book is built in a temporary
// folder for a fixed last day, and the real main window is driven offscreen at a fixed size,
// so the pictures only change when the program's windows do.
//
//     ledgerkin_screenshots [FOLDER]     (default docs/screenshots)
//
// Every step checks that the view really shows something; a missing view, an empty grid or a
// message box ends the run with exit code 1 and no half-finished set is reported as done.

#include "accounts/caccountlist.h"
#include "accounts/cbankdlg.h"
#include "accounts/ctrsdlg.h"
#include "analysis/cfinddlg.h"
#include "analysis/cpreviewframe.h"
#include "analysis/creportquery.h"
#include "analysis/crptview.h"
#include "app/chelpwindow.h"
#include "app/cledgerkinapp.h"
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "data/cchangewatcher.h"
#include "data/cdatabase.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/csearchschema.h"
#include "data/ctoday.h"
#include "demo/cdemobook.h"
#include "import/cexportdlg.h"
#include "import/cimportfilepage.h"
#include "import/cimportwizard.h"
#include "plans/cbudget.h"
#include "plans/crecurring.h"
#include "records/ccategorybook.h"
#include "records/cdaybook.h"
#include "records/cincomeview.h"
#include "records/coutlayview.h"
#include "users/cnewuserdlg.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QScopeGuard>
#include <QScreen>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdio>
#include <functional>

namespace {

// The demo book ends on this day: a full November, and 2025 as a whole year behind it.
const QDate kLastDay(2026, 11, 30);
const QSize kWindowSize(1280, 800);

struct SFailure {
    QString strText;
};

[[noreturn]] void Fail(const QString& strText) {
    throw SFailure{strText};
}

void Print(const QString& strText) {
    std::fputs(qUtf8Printable(strText), stderr);
    std::fputs("\n", stderr);
}

// Lets switched-away views go and the new one lay itself out before it is grabbed.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// Any message box during a step means the picture would not show what it should.
void CheckNoMessage(const char* szStep) {
    const QStringList texts = CMessageBox::ShownTexts();
    if (!texts.isEmpty())
        Fail(QStringLiteral("%1: message box \"%2\"")
                 .arg(QLatin1String(szStep), texts.join(QStringLiteral("\" \""))));
}

template <class T> T* Child(QWidget* pParent, const char* szName) {
    T* p = pParent ? pParent->findChild<T*>(QLatin1String(szName)) : nullptr;
    if (p == nullptr)
        Fail(QStringLiteral("control %1 not found").arg(QLatin1String(szName)));
    return p;
}

// Chooses an entry as a person would, so the view's own handler runs.
void Choose(QComboBox* pCombo, const QString& strText) {
    const int nIndex = pCombo->findText(strText);
    if (nIndex < 0)
        Fail(QStringLiteral("\"%1\" is not in list %2").arg(strText, pCombo->objectName()));
    pCombo->setCurrentIndex(nIndex);
    Q_EMIT pCombo->activated(nIndex);
}

// The child with the most children (a year with the most months); the later one on a tie.
QTreeWidgetItem* FullestChild(QTreeWidgetItem* pParent) {
    QTreeWidgetItem* pBest = nullptr;
    for (int i = 0; pParent && i < pParent->childCount(); ++i) {
        QTreeWidgetItem* pItem = pParent->child(i);
        if (pBest == nullptr || pItem->childCount() >= pBest->childCount())
            pBest = pItem;
    }
    if (pBest == nullptr)
        Fail(QStringLiteral("the tree has no year under \"%1\"")
                 .arg(pParent ? pParent->text(0) : QString()));
    return pBest;
}

struct SDay {
    QDate day;
    QString strBank;
    int nRows = 0;
};

// The latest day of the last months whose account has the most records, preferring days on
// which several accounts have records (the per-account summary then shows more than one).
SDay BusiestDay(ERecordKind eKind) {
    const CDayBook book(eKind, CDemoBook::UserName);
    const QStringList accounts = book.Accounts();
    SDay best;
    int nBestAccounts = 0;
    for (QDate day = kLastDay; day > kLastDay.addDays(-120); day = day.addDays(-1)) {
        const QHash<QString, std::int64_t> totals = book.DayTotals(day);
        int nAccounts = 0;
        for (const std::int64_t nCents : totals)
            nAccounts += nCents != 0 ? 1 : 0;
        for (const QString& strBank : accounts) {
            const int nRows = int(book.LoadDay(day, strBank).size());
            if (nRows > best.nRows || (nRows == best.nRows && nAccounts > nBestAccounts)) {
                best = {day, strBank, nRows};
                nBestAccounts = nAccounts;
            }
        }
    }
    if (best.nRows == 0)
        Fail(QStringLiteral("the demo book has no records in its last months"));
    return best;
}

class CShooter {
public:
    CShooter(CMainFrame& frame, const QDir& dir) : m_frame(frame), m_dir(dir) {}

    void LoginDemo();
    void Summary();
    void DayView(bool bIncome, const char* szName = nullptr);
    // The outlay view after 确定 met another copy's changes of the same day: their rows
    // marked, the rows both changed offered above the grid, the first kept as typed here.
    // Left with 取消, so the book keeps the other copy's day.
    void Conflict(const char* szName);
    // The income view shown, in 修改 with the first record's account cell open, as to move it.
    void MovingAccount(const char* szName);
    void Chart(bool bIncome, const char* szName = nullptr);
    // A chart view at each scope of the tree: the whole book, its fullest year and that
    // year's fullest month ("income-chart-user.png", "…-year.png", "…-month.png").
    void ChartScopes(bool bIncome);
    CRptView* OutlayReport();
    void Report();
    void Categories(const char* szName);
    void Find(const char* szName, const char* szOpenedName = nullptr);
    void FindFilling(const char* szName);
    // The budgets of the demo user in the summary (a month, a year), the budget and recurring
    // dialogs, and the rent that fell due as the login lists it.
    void Plans(const char* szSuffix = "");
    // 添加支出记录's day dialog, and the income view adding a row with the category list open.
    void Adding();
    // 转账 with an amount typed, and from it the history of the transfers.
    void Transfer();
    // 修改密码; 新建用户, then the accounts dialog with two accounts typed, left with 取消.
    void Users();
    // The print preview of the whole book's outlay: its first page and a late one.
    void Preview();
    // 使用帮助 with a word searched.
    void Help();
    // A 支付宝 statement through the three steps of 导入, then 导出. Last: it writes the book.
    void Import(const QString& strFolder);

private:
    // Hands the next modal dialog of that class to fn while it is open (fn closes it); what
    // goes wrong is kept in m_strModalError.
    void OnModal(const char* szName, const std::function<void(QWidget*)>& fn);
    void Save(const QPixmap& pixmap, const char* szName);
    void SaveFrame(const char* szName);
    QPixmap OverFrame(QWidget* pDialog);
    void Command(int nCommandId);
    // The command, with what OnModal found wrong on its dialogs as the failure.
    void RunModal(int nCommandId);
    // The command's dialog szName drawn into szFile, then closed unchanged.
    void ShootDialog(const char* szName, const char* szFile, int nCommandId);
    CLeftView* Tree() const { return m_frame.findChild<CLeftView*>(); }
    // The daily view on the day and account with the most records of the last months.
    CDayView* ShowBusiestDay(bool bIncome, SDay& day);
    QTreeWidgetItem* Root() const;
    // The other copy's writes of the conflict taken in now: the watcher's timer would else
    // fall in a later step or not, and the tree or status bar show them or not.
    void TakeOtherCopysWrites();

    CMainFrame& m_frame;
    QDir m_dir;
    QString m_strModalError;
};

void CShooter::Save(const QPixmap& pixmap, const char* szName) {
    const QString strFile = m_dir.filePath(QLatin1String(szName));
    if (!pixmap.save(strFile, "PNG"))
        Fail(QStringLiteral("cannot write %1").arg(strFile));
    Print(strFile);
}

void CShooter::SaveFrame(const char* szName) {
    Settle();
    CheckNoMessage(szName);
    Save(m_frame.grab(), szName);
}

// Runs a menu/toolbar command as a click would, so the check marks follow.
void CShooter::Command(int nCommandId) {
    QAction* pAction = m_frame.Action(nCommandId);
    if (pAction == nullptr || !pAction->isEnabled())
        Fail(QStringLiteral("command %1 is not available").arg(nCommandId));
    pAction->trigger();
    Settle();
}

void CShooter::RunModal(int nCommandId) {
    Command(nCommandId);
    if (!m_strModalError.isEmpty())
        Fail(m_strModalError);
}

void CShooter::ShootDialog(const char* szName, const char* szFile, int nCommandId) {
    OnModal(szName, [&](QWidget* pDialog) {
        Save(pDialog->grab(), szFile);
        static_cast<QDialog*>(pDialog)->reject();
    });
    RunModal(nCommandId);
}

void CShooter::TakeOtherCopysWrites() {
    if (auto* pWatcher = m_frame.findChild<CChangeWatcher*>())
        pWatcher->Poll();
    Settle();
}

QTreeWidgetItem* CShooter::Root() const {
    QTreeWidgetItem* pRoot = Tree()->topLevelItem(0);
    if (pRoot == nullptr)
        Fail(QStringLiteral("the navigation tree is empty"));
    return pRoot;
}

// Offscreen windows have no decorations: the dialog gets a plain title bar and border so the
// picture reads as a window over the main one.
QPixmap CShooter::OverFrame(QWidget* pDialog) {
    QPixmap shot = m_frame.grab();
    const QPixmap dialog = pDialog->grab();
    const int nTitle = pDialog->fontMetrics().height() + 12;
    const QSize outer(dialog.width() + 2, dialog.height() + nTitle + 2);
    const QPoint topLeft((shot.width() - outer.width()) / 2, (shot.height() - outer.height()) / 3);

    QPainter painter(&shot);
    painter.fillRect(shot.rect(), QColor(0, 0, 0, 40));
    for (int i = 1; i <= 6; ++i)
        painter.fillRect(QRect(topLeft + QPoint(i, i), outer), QColor(0, 0, 0, 14));
    const QRect title(topLeft + QPoint(1, 1), QSize(dialog.width(), nTitle));
    painter.fillRect(title, pDialog->palette().color(QPalette::Highlight));
    painter.setPen(pDialog->palette().color(QPalette::HighlightedText));
    QFont font = pDialog->font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(title.adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     pDialog->windowTitle());
    painter.drawPixmap(title.bottomLeft() + QPoint(0, 1), dialog);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(QRect(topLeft, outer - QSize(1, 1)));
    return shot;
}

// The login dialog with the demo user chosen and the password typed, then OK: the rest of
// the pictures are taken after a real login through that dialog.
void CShooter::LoginDemo() {
    Settle();
    QString strError;
    auto* pTimer = new QTimer(&m_frame);
    QElapsedTimer clock;
    clock.start();
    pTimer->setInterval(10);
    QObject::connect(pTimer, &QTimer::timeout, [&] {
        QWidget* pDialog = QApplication::activeModalWidget();
        if (pDialog == nullptr) {
            if (clock.elapsed() < 5000)
                return;
            pTimer->stop();
            strError = QStringLiteral("the login dialog did not open");
            return;
        }
        pTimer->stop();
        try {
            Choose(Child<QComboBox>(pDialog, "1000"), CDemoBook::UserName);
            auto* pPwd = Child<QLineEdit>(pDialog, "1001");
            if (pPwd->text().isEmpty())
                pPwd->setText(CDemoBook::Password);
            Settle();
            Save(pDialog->grab(), "login-dialog.png");
            Save(OverFrame(pDialog), "login-demo.png");
            Child<QAbstractButton>(pDialog, "1")->click();
        } catch (const SFailure& failure) {
            strError = failure.strText;
            if (auto* pCancel = pDialog->findChild<QAbstractButton*>(QStringLiteral("2")))
                pCancel->click();
        }
    });
    pTimer->start();
    Command(CMainFrame::ID_LOGIN);
    pTimer->deleteLater();
    if (!strError.isEmpty())
        Fail(strError);
    CheckNoMessage("login");
    if (m_frame.Session()->UserName() != CDemoBook::UserName)
        Fail(QStringLiteral("the demo user is not logged in after the login dialog"));
}

void CShooter::Summary() {
    Command(CMainFrame::ID_SUM_VIEW);
    QTreeWidgetItem* pYear = FullestChild(Root());
    Tree()->setCurrentItem(pYear);
    SaveFrame("view-summary.png");
}

CDayView* CShooter::ShowBusiestDay(bool bIncome, SDay& day) {
    day = BusiestDay(bIncome ? ERecordKind::Income : ERecordKind::Outlay);
    Command(bIncome ? CMainFrame::ID_INCOME_VIEW : CMainFrame::ID_OUTLAY_VIEW);
    CDayView* pView = bIncome ? static_cast<CDayView*>(m_frame.View<CIncomeView>())
                              : static_cast<CDayView*>(m_frame.View<COutlayView>());
    if (pView == nullptr)
        Fail(QStringLiteral("the daily view did not open"));
    Tree()->ShowDay(day.day.year(), day.day.month(), day.day.day());
    // The day in the middle of the tree, with its month in sight.
    Tree()->scrollToItem(Tree()->currentItem(), QAbstractItemView::PositionAtCenter);
    Choose(Child<QComboBox>(pView, "1000"), day.strBank);
    const int nShown = Child<CMsflexgrid1>(pView, "1011")->GetRows() - 1;
    if (nShown != day.nRows)
        Fail(QStringLiteral("the daily view shows %1 rows of %2, not %3")
                 .arg(nShown)
                 .arg(day.day.toString(Qt::ISODate))
                 .arg(day.nRows));
    return pView;
}

void CShooter::DayView(bool bIncome, const char* szName) {
    SDay day;
    ShowBusiestDay(bIncome, day);
    SaveFrame(szName ? szName : bIncome ? "view-income.png" : "view-outlay.png");
}

void CShooter::Conflict(const char* szName) {
    SDay day;
    CDayView* pView = ShowBusiestDay(false, day);
    if (day.nRows < 3)
        Fail(QStringLiteral("the busiest outlay day has fewer than three records"));
    auto* pGrid = Child<CMsflexgrid1>(pView, "1011");
    // Here, in 修改: the first amount and the second note corrected, the third row removed.
    Command(CMainFrame::ID_MODIFY_RECORDS);
    pGrid->SetTextMatrix(1, 3, CMoney::Format(pGrid->GetTextMatrix(1, 3).toDouble() + 100));
    pGrid->SetTextMatrix(2, 2, pGrid->GetTextMatrix(2, 2) + QStringLiteral("（已报销）"));
    pGrid->setCurrentIndex(pGrid->model()->index(2, 0));
    Command(CMainFrame::ID_DELETE_RECORD);
    // Meanwhile another copy of the program: the first amount, the second row removed, the
    // third note, and a row added.
    const QString strOther = QStringLiteral("other-copy");
    CDatabase::SetUrl(CDemoBook::DefaultPath(), strOther);
    const auto closeOther = qScopeGuard([&strOther] { CDatabase::Close(strOther); });
    CDayBook other(ERecordKind::Outlay, CDemoBook::UserName, strOther);
    const QVector<SDayRecord> read = other.LoadDay(day.day, day.strBank);
    SDayEdit edit = SDayEdit::Adding({{QStringLiteral("用餐支出"), QStringLiteral("晚饭"), 86}});
    SDayRecord first = read[0], third = read[2];
    first.dAmount += 50;
    third.strNote = QStringLiteral("记错了，是昨天的");
    edit.changed = {{read[0], first}, {read[2], third}};
    edit.removed = {read[1]};
    other.Confirm(day.day, day.strBank, edit);

    Child<QAbstractButton>(pView, "1018")->click();
    Settle();
    const QStringList texts = CMessageBox::ShownTexts();
    if (texts.size() != 1 || !texts[0].contains(QStringLiteral("另一个窗口或另一台电脑")))
        Fail(QStringLiteral("no conflict was told: \"%1\"").arg(texts.join(QLatin1Char(' '))));
    CMessageBox::ClearShown();
    const QList<QAbstractButton*> mine =
        Child<QWidget>(pView, "1029")->findChildren<QAbstractButton*>(QStringLiteral("1031"));
    if (mine.size() != 3)
        Fail(QStringLiteral("the conflict offers %1 rows, not 3").arg(mine.size()));
    mine[0]->click();
    SaveFrame(szName);
    Child<QAbstractButton>(pView, "1019")->click();
    Settle();
}

void CShooter::MovingAccount(const char* szName) {
    auto* pGrid = Child<CMsflexgrid1>(m_frame.View<CIncomeView>(), "1011");
    Command(CMainFrame::ID_MODIFY_RECORDS);
    // The first record's account highlighted, then opened as F2 opens it.
    pGrid->setCurrentIndex(pGrid->model()->index(0, pGrid->model()->columnCount() - 1));
    Command(CMainFrame::ID_MODIFY_RECORDS);
    if (!Child<QComboBox>(pGrid, "1027")->isVisible())
        Fail(QStringLiteral("the account cell did not open"));
    SaveFrame(szName);
    Child<QAbstractButton>(m_frame.View<CIncomeView>(), "1019")->click();
    Settle();
}

void CShooter::Chart(bool bIncome, const char* szName) {
    Command(bIncome ? CMainFrame::ID_IN_CHART : CMainFrame::ID_OUT_CHART);
    QTreeWidgetItem* pYear = FullestChild(Root());
    pYear->setExpanded(true);
    Tree()->setCurrentItem(pYear);
    SaveFrame(szName ? szName : bIncome ? "view-income-chart.png" : "view-outlay-chart.png");
}

void CShooter::ChartScopes(bool bIncome) {
    Command(bIncome ? CMainFrame::ID_IN_CHART : CMainFrame::ID_OUT_CHART);
    const QString strPrefix =
        bIncome ? QStringLiteral("income-chart-") : QStringLiteral("outlay-chart-");
    QTreeWidgetItem* pRoot = Root();
    Tree()->setCurrentItem(pRoot);
    SaveFrame(qPrintable(strPrefix + QStringLiteral("user.png")));
    QTreeWidgetItem* pYear = FullestChild(pRoot);
    pYear->setExpanded(true);
    Tree()->setCurrentItem(pYear);
    SaveFrame(qPrintable(strPrefix + QStringLiteral("year.png")));
    QTreeWidgetItem* pMonth = FullestChild(pYear);
    Tree()->setCurrentItem(pMonth);
    SaveFrame(qPrintable(strPrefix + QStringLiteral("month.png")));
}

// The report view, opened on the outlay records.
CRptView* CShooter::OutlayReport() {
    Command(CMainFrame::ID_RPT_VIEW);
    CRptView* pView = m_frame.View<CRptView>();
    if (pView == nullptr)
        Fail(QStringLiteral("the report view did not open"));
    Choose(Child<QComboBox>(pView, "1000"), QStringLiteral("支出记录"));
    return pView;
}

// The outlay records of the last month, every category.
void CShooter::Report() {
    CRptView* pView = OutlayReport();
    auto* pStart = Child<QComboBox>(pView, "1001");
    const QDate first(kLastDay.year(), kLastDay.month(), 1);
    QString strFirst;
    for (QDate day = first; day <= kLastDay && strFirst.isEmpty(); day = day.addDays(1))
        if (pStart->findText(CReportQuery::FormatDate(day)) >= 0)
            strFirst = CReportQuery::FormatDate(day);
    if (strFirst.isEmpty())
        Fail(QStringLiteral("no outlay in the last month"));
    Choose(pStart, strFirst);
    Choose(Child<QComboBox>(pView, "1003"), CReportQuery::FormatDate(kLastDay));
    Child<QAbstractButton>(pView, "1013")->click();
    if (pView->Grid()->GetRows() < 2)
        Fail(QStringLiteral("the report lists nothing"));
    SaveFrame("view-report.png");
}

void CShooter::OnModal(const char* szName, const std::function<void(QWidget*)>& fn) {
    auto* pTimer = new QTimer(&m_frame);
    auto* pClock = new QElapsedTimer;
    pClock->start();
    pTimer->setInterval(10);
    const QString strName = QLatin1String(szName);
    QObject::connect(pTimer, &QTimer::timeout, [this, pTimer, pClock, strName, fn] {
        QWidget* pDialog = QApplication::activeModalWidget();
        if (pDialog == nullptr || pDialog->objectName() != strName) {
            if (pClock->elapsed() < 20000)
                return;
            m_strModalError = strName + QStringLiteral(" did not open");
        } else {
            Settle();
            try {
                fn(pDialog);
            } catch (const SFailure& failure) {
                m_strModalError = failure.strText;
                static_cast<QDialog*>(pDialog)->reject();
            }
        }
        pTimer->stop();
        pTimer->deleteLater();
        delete pClock;
    });
    pTimer->start();
}

void CShooter::Plans(const char* szSuffix) {
    const QString strUser = CDemoBook::UserName;
    const auto name = [szSuffix](const char* szName) {
        static QByteArray s_name;
        s_name = QByteArray(szName) + szSuffix + ".png";
        return s_name.constData();
    };
    if (CBudget::Amounts(strUser).isEmpty()) {
        CBudget::Apply(strUser, {{QString(), 0, 800000},
                                 {QStringLiteral("用餐支出"), 0, 150000},
                                 {QStringLiteral("购物支出"), 0, 60000},
                                 {QStringLiteral("交通支出"), 0, 30000},
                                 {QStringLiteral("娱乐支出"), 0, 40000},
                                 {QStringLiteral("购物支出"), 11, 100000}});
    }
    // The summary opens on "today": the demo's last day, late in November.
    Command(CMainFrame::ID_SUM_VIEW);
    SaveFrame(name("summary-budgets"));
    QTreeWidgetItem* pYear = FullestChild(Root());
    Tree()->setCurrentItem(pYear);
    SaveFrame(name("summary-budgets-year"));
    if (*szSuffix)
        return;
    OnModal("CBudgetDlg", [&](QWidget* pDialog) {
        Save(OverFrame(pDialog), "budget-dialog.png");
        static_cast<QDialog*>(pDialog)->reject();
    });
    Command(CMainFrame::ID_BUDGET);

    QStringList accounts;
    for (const CAccountList::SAccount& a : CAccountList::Load(strUser))
        accounts << a.strName;
    CRecurring::STemplate rent;
    rent.strSort = QStringLiteral("房租支出");
    rent.strNote = QStringLiteral("房租");
    rent.strBank = accounts.value(0);
    rent.nCents = 250000;
    rent.start = QDate(kLastDay.year(), kLastDay.month(), 1).addMonths(-1);
    CRecurring::STemplate saving;
    saving.eKind = CRecurring::EKind::Transfer;
    saving.strNote = QStringLiteral("每月储蓄");
    saving.strBank = accounts.value(0);
    saving.strToBank = accounts.value(1);
    saving.nCents = 100000;
    saving.nMonthDay = 31;
    saving.start = kLastDay.addMonths(-1);
    for (CRecurring::STemplate* p : {&rent, &saving})
        CRecurring::Add(strUser, *p);
    // The list, one template's dialog over it, and on closing the list what fell due (shot,
    // then left for the next time).
    OnModal("CDueDlg", [&](QWidget* pDue) {
        Save(OverFrame(pDue), "due-recurring.png");
        static_cast<QDialog*>(pDue)->reject();
    });
    OnModal("CRecurringDlg", [&](QWidget* pList) {
        auto* pTree = pList->findChild<QTreeWidget*>(QStringLiteral("1000"));
        pTree->setCurrentItem(pTree->topLevelItem(1));
        Save(OverFrame(pList), "recurring-list.png");
        OnModal("CRecurringEditDlg", [&](QWidget* pEdit) {
            Save(OverFrame(pEdit), "recurring-edit.png");
            static_cast<QDialog*>(pEdit)->reject();
        });
        Child<QAbstractButton>(pList, "1002")->click();
        static_cast<QDialog*>(pList)->reject();
    });
    RunModal(CMainFrame::ID_RECURRING);
}

// 类别管理 over a family's own outlay list: two categories added, one with a short name, one
// hidden, and a text an older copy wrote that the list lacks.
void CShooter::Categories(const char* szName) {
    TakeOtherCopysWrites();
    CCategoryBook book(ERecordKind::Outlay, CDemoBook::UserName);
    for (const QString& strRefusal :
         {book.Add(QStringLiteral("教育")), book.Add(QStringLiteral("人情往来")),
          book.SetShort(QStringLiteral("医疗保健支出"), QStringLiteral("医疗")),
          book.SetHidden(QStringLiteral("房租支出"), true)})
        if (!strRefusal.isEmpty())
            Fail(strRefusal);
    CDayBook days(ERecordKind::Outlay, CDemoBook::UserName);
    SDayRecord water;
    water.strSort = QStringLiteral("水电燃气");
    water.strNote = QStringLiteral("十一月水费");
    water.dAmount = 86.5;
    days.Confirm(kLastDay, days.Accounts().first(), SDayEdit::Adding({water}));

    QString strError;
    QTimer::singleShot(0, &m_frame, [&] {
        QWidget* pDialog = QApplication::activeModalWidget();
        if (pDialog == nullptr) {
            strError = QStringLiteral("类别管理 did not open");
            return;
        }
        Settle();
        Save(OverFrame(pDialog), szName);
        // On a real screen, also the screen itself as it shows the dialog.
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            Save(QGuiApplication::primaryScreen()->grabWindow(0), "categories-screen.png");
        Child<QAbstractButton>(pDialog, "2")->click();
    });
    Command(CMainFrame::ID_CATEGORIES);
    if (!strError.isEmpty())
        Fail(strError);
}

// 查找: a word typed, the records found with their totals; then, when asked, Enter opens the
// chosen record's day.
void CShooter::Find(const char* szName, const char* szOpenedName) {
    Command(CMainFrame::ID_FIND);
    auto* pDlg = m_frame.findChild<CFindDlg*>();
    if (pDlg == nullptr || !pDlg->isVisible())
        Fail(QStringLiteral("the find window did not open"));
    Child<QLineEdit>(pDlg, "1100")->setText(QStringLiteral("衣服"));
    Settle();
    if (pDlg->Grid()->GetRows() < 3)
        Fail(QStringLiteral("the find window lists %1 rows").arg(pDlg->Grid()->GetRows() - 1));
    pDlg->Grid()->setCurrentIndex(pDlg->Grid()->model()->index(pDlg->Grid()->GetRows() - 2, 0));
    Settle();
    Save(OverFrame(pDlg), szName);
    if (szOpenedName) {
        pDlg->OnOpen();
        pDlg->hide();
        SaveFrame(szOpenedName);
    }
    pDlg->hide();
}

// 查找 opened on a book whose words are not filled yet: the progress under the list after a
// first step; then the rest is filled.
void CShooter::FindFilling(const char* szName) {
    // No event loop until the picture is taken: the window fills the demo book's few rows in
    // two steps between events, so one step is taken here and the window drawn after it.
    QAction* pAction = m_frame.Action(CMainFrame::ID_FIND);
    if (pAction == nullptr || !pAction->isEnabled())
        Fail(QStringLiteral("command %1 is not available").arg(CMainFrame::ID_FIND));
    pAction->trigger();
    auto* pDlg = m_frame.findChild<CFindDlg*>();
    if (pDlg == nullptr || !pDlg->IsFilling())
        Fail(QStringLiteral("the find window is not filling the words"));
    pDlg->OnFillStep();
    Child<QLineEdit>(pDlg, "1100")->setText(QStringLiteral("衣服"));
    pDlg->OnFind();
    pDlg->layout()->activate(); // the progress shown since: laid out as an event would
    Save(OverFrame(pDlg), szName);
    for (int i = 0; i < 1000 && pDlg->IsFilling(); ++i)
        QCoreApplication::processEvents();
    if (pDlg->IsFilling())
        Fail(QStringLiteral("the words were not filled"));
    pDlg->hide();
}

void CShooter::Adding() {
    ShootDialog("CNewDayOutDlg", "new-day-dialog.png", CMainFrame::ID_ADD_OUTLAY);

    TakeOtherCopysWrites();
    SDay day;
    CDayView* pView = ShowBusiestDay(true, day);
    auto* pGrid = Child<CMsflexgrid1>(pView, "1011");
    const auto click = [pGrid](int nRow, int nCol) {
        QTest::mouseClick(pGrid->viewport(), Qt::LeftButton, {},
                          pGrid->CellRect(nRow, nCol, pGrid->viewport()).center());
    };
    // A row typed as a person types it, one key event per cell as an input method sends it;
    // then back in its category, the list open.
    Command(CMainFrame::ID_NEW_RECORD);
    const int nRow = pGrid->GetRows() - 1;
    auto* pSort = Child<QComboBox>(pView, QByteArray::number(CDayView::IDC_COMBO_SORT).constData());
    Choose(pSort, QStringLiteral("投资收入"));
    auto* pText = Child<QLineEdit>(pView, QByteArray::number(CDayView::IDC_EDIT_TEXT).constData());
    for (const auto& [nCol, strText] : {std::pair<int, QString>{2, QStringLiteral("利息")},
                                        std::pair<int, QString>{3, QStringLiteral("36.8")}}) {
        click(nRow, nCol);
        QTest::sendKeyEvent(QTest::Click, pText, Qt::Key_unknown, strText, Qt::NoModifier);
    }
    click(nRow, 1);
    pSort->showPopup();
    QWidget* pPopup = pSort->view()->window();
    Settle();
    CheckNoMessage("income-adding.png");
    // Offscreen the list is a window of its own: drawn where it stands over the main one.
    QPixmap shot = m_frame.grab();
    {
        QPainter painter(&shot);
        painter.drawPixmap(m_frame.mapFromGlobal(pPopup->mapToGlobal(QPoint(0, 0))),
                           pPopup->grab());
    }
    Save(shot, "income-adding.png");
    pSort->hidePopup();
    Child<QAbstractButton>(pView, "1019")->click();
    Settle();
}

void CShooter::Transfer() {
    const QStringList accounts = [] {
        QStringList names;
        for (const CAccountList::SAccount& a : CAccountList::Load(CDemoBook::UserName))
            names << a.strName;
        return names;
    }();
    if (accounts.size() < 2)
        Fail(QStringLiteral("the demo user has fewer than two accounts"));
    OnModal("CTrsDlg", [&](QWidget* pDialog) {
        Child<QComboBox>(pDialog, "1000")->setEditText(accounts[0]);
        Child<QComboBox>(pDialog, "1001")->setEditText(accounts[1]);
        Child<QLineEdit>(pDialog, "1003")->setText(QStringLiteral("500"));
        Settle();
        Save(pDialog->grab(), "transfer-dialog.png");
        OnModal("CTrsRptDlg", [&](QWidget* pHistory) {
            if (Child<CMsflexgrid1>(pHistory, "1011")->GetRows() < 3)
                Fail(QStringLiteral("the transfer history lists nothing"));
            Save(pHistory->grab(), "transfer-history.png");
            static_cast<QDialog*>(pHistory)->reject();
        });
        Child<QAbstractButton>(pDialog, "1010")->click();
        static_cast<QDialog*>(pDialog)->reject();
    });
    RunModal(CMainFrame::ID_ADD_TRS);
}

void CShooter::Users() {
    ShootDialog("CChangPwdDlg", "change-password-dialog.png", CMainFrame::ID_CHANGE_PWD);
    OnModal("CNewUserDlg", [&](QWidget* pDialog) {
        Child<QLineEdit>(pDialog, "1001")->setText(QStringLiteral("小明"));
        Child<QLineEdit>(pDialog, "1003")->setText(QStringLiteral("xiaoming"));
        Child<QLineEdit>(pDialog, "1004")->setText(QStringLiteral("xiaoming"));
        Settle();
        Save(pDialog->grab(), "new-user-dialog.png");
        OnModal("CBankDlg", [&](QWidget* pBank) {
            const struct {
                const char *szName, *szNote, *szCash;
            } adds[] = {{"现金", "钱包", "500"}, {"工商银行", "工资卡", "12000"}};
            for (const auto& add : adds) {
                Child<QLineEdit>(pBank, "1001")->setText(QString::fromUtf8(add.szName));
                Child<QLineEdit>(pBank, "1002")->setText(QString::fromUtf8(add.szNote));
                Child<QLineEdit>(pBank, "1003")->setText(QString::fromUtf8(add.szCash));
                Child<QAbstractButton>(pBank, "1010")->click();
            }
            Settle();
            Save(pBank->grab(), "account-dialog.png");
            static_cast<QDialog*>(pBank)->reject();
        });
        Child<QAbstractButton>(pDialog, "1")->click();
    });
    RunModal(CMainFrame::ID_NEW_USER);
    // Leaving the accounts dialog is asked, then said: nobody was created.
    const QStringList texts = CMessageBox::ShownTexts();
    if (texts.isEmpty() || !texts.last().contains(QStringLiteral("创建用户失败")))
        Fail(QStringLiteral("leaving the accounts dialog said \"%1\"")
                 .arg(texts.join(QLatin1Char(' '))));
    CMessageBox::ClearShown();
}

void CShooter::Preview() {
    CRptView* pView = OutlayReport();
    auto* pStart = Child<QComboBox>(pView, "1001");
    auto* pEnd = Child<QComboBox>(pView, "1003");
    Choose(pStart, pStart->itemText(0));
    Choose(pEnd, pEnd->itemText(pEnd->count() - 1));
    Child<QAbstractButton>(pView, "1013")->click();
    Child<QAbstractButton>(pView, "1010")->click();
    Settle();
    auto* pPreview = qobject_cast<CPreViewFrame*>([] {
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            if (pWidget->objectName() == QLatin1String("CPreViewFrame") && pWidget->isVisible())
                return pWidget;
        return static_cast<QWidget*>(nullptr);
    }());
    if (pPreview == nullptr)
        Fail(QStringLiteral("the print preview did not open"));
    if (pPreview->PageCount() < 4)
        Fail(QStringLiteral("the report has only %1 pages").arg(pPreview->PageCount()));
    pPreview->showNormal();
    pPreview->resize(kWindowSize);
    pPreview->Action(CPreViewFrame::ID_PREVIEW_ZOOMOUT)->trigger();
    for (const auto& [nPage, szName] : {std::pair<int, const char*>{1, "report-preview.png"},
                                        {pPreview->PageCount() - 2, "report-preview-late.png"}}) {
        pPreview->GoToPage(nPage);
        Settle();
        CheckNoMessage(szName);
        Save(pPreview->grab(), szName);
    }
    pPreview->OnPreviewClose();
    Settle();
}

void CShooter::Help() {
    Command(CMainFrame::ID_HELP);
    CHelpWindow* pHelp = CHelpWindow::Instance();
    if (pHelp == nullptr || !pHelp->isVisible())
        Fail(QStringLiteral("the user guide did not open"));
    Child<QLineEdit>(pHelp, "HelpSearch")->setText(QStringLiteral("图表"));
    Settle();
    if (pHelp->ShownTitles().isEmpty())
        Fail(QStringLiteral("the user guide found nothing"));
    Save(pHelp->grab(), "help-window.png");
    pHelp->close();
    Settle();
}

void CShooter::Import(const QString& strFolder) {
    const QString strPath = QDir(strFolder).filePath(QStringLiteral("支付宝交易明细.csv"));
    {
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly))
            Fail(QStringLiteral("cannot write %1").arg(strPath));
        QStringEncoder encoder("GB18030");
        file.write(encoder.encode(QStringLiteral(
            "支付宝交易记录明细查询\n账号:[someone@example.com]\n"
            "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,"
            "交易订单号,商家订单号,备注\n"
            "2026-11-25 12:30:45,餐饮美食,肯德基,,\"套餐A,加大\",支出,35.50,,交易成功,A1,,\n"
            "2026-11-26 09:00:00,收入,某公司,,奖金,收入,800.00,,交易成功,A2,,\n"
            "2026-11-27 10:00:00,日用百货,淘宝商家,,床单,支出,99.99,,交易关闭,A3,,\n"
            "2026-11-28 11:00:00,投资理财,余额宝,,转入余额宝,不计收支,100.00,,交易成功,A4,,\n"
            "2026-11-29 12:00:00,退款,淘宝商家,,退款-衬衫,收入,20.00,,退款成功,A5,,\n"
            "2026-11-30 08:05:00,交通出行,滴滴出行,,快车,支出,23.40,,交易成功,A6,,\n")));
    }
    OnModal("CImportWizard", [&](QWidget* pDialog) {
        auto* pWizard = static_cast<CImportWizard*>(pDialog);
        auto* pPage = pWizard->findChild<CImportFilePage*>();
        if (pPage == nullptr)
            Fail(QStringLiteral("the import has no file page"));
        pPage->SetPath(strPath);
        Child<QComboBox>(pWizard, "1106")->setCurrentIndex(1);
        Settle();
        Save(pWizard->grab(), "import-step1.png");
        pWizard->next();
        Settle();
        Save(pWizard->grab(), "import-step2.png");
        pWizard->next();
        Settle();
        Save(pWizard->grab(), "import-step3.png");
        pWizard->accept();
    });
    RunModal(CMainFrame::ID_IMPORT);
    CheckNoMessage("import");

    OnModal("CExportDlg", [&](QWidget* pDialog) {
        static_cast<CExportDlg*>(pDialog)->Set(
            false, QDate(kLastDay.year(), kLastDay.month(), 1), kLastDay,
            QDir(strFolder).filePath(QStringLiteral("账本.csv")));
        Settle();
        Save(pDialog->grab(), "export-dialog.png");
        static_cast<QDialog*>(pDialog)->reject();
    });
    RunModal(CMainFrame::ID_EXPORT);
}

int Run(const QString& strFolder) {
    QDir dir;
    if (!dir.mkpath(strFolder))
        Fail(QStringLiteral("cannot create %1").arg(strFolder));
    dir.setPath(strFolder);

    // The demo book's own path, inside the temporary folder: the login dialog then knows it is
    // the demo book, and the user's real data folder is never touched.
    CDatabase::SetUrl(CDemoBook::DefaultPath());
    CDatabase::Open();
    CDemoBook::Build(kLastDay);
    // The book as an older version left it: the words 查找 keeps are made again, and filled
    // when 查找 first opens.
    QSqlQuery(CDatabase::Connection())
        .exec(QStringLiteral("DROP TRIGGER \"kept_search_3_Income_upd\""));
    const qint64 nWas = CSearchSchema::SetOpeningFill(0);
    CDatabase::Close();
    CDatabase::Open();

    // The statement the import reads and the export's file, in a folder of a fixed name: the
    // pictures show its path.
    const QString strWork = QDir::temp().filePath(QStringLiteral("ledgerkin-screenshots"));
    if (!QDir(strWork).removeRecursively() || !QDir().mkpath(strWork))
        Fail(QStringLiteral("cannot create %1").arg(strWork));
    const auto removeWork = qScopeGuard([&strWork] { QDir(strWork).removeRecursively(); });
    {
        CMainFrame frame(false);
        frame.showNormal();
        frame.resize(kWindowSize);
        CShooter shooter(frame, dir);
        shooter.LoginDemo();
        shooter.FindFilling("find-filling.png"); // logging in opens the book again: unfilled
        CSearchSchema::SetOpeningFill(nWas);
        shooter.Summary();
        shooter.DayView(true);
        shooter.DayView(false);
        shooter.Chart(true);
        shooter.Chart(false);
        shooter.ChartScopes(true);
        shooter.ChartScopes(false);
        shooter.Report();
        shooter.Find("find.png", "find-opened.png");
        shooter.Plans();
        // A restored window of a small screen: the tree keeps its width, the view fits.
        frame.resize(1024, 640);
        shooter.DayView(false, "window-restored.png");
        // The charts on a 1024×600 screen: every category's name still reads whole.
        frame.resize(1024, 600);
        shooter.Chart(false, "view-outlay-chart-1024.png");
        shooter.Find("find-1024.png");
        // The day view on a 1024×600 screen, correcting a record's account.
        shooter.DayView(true, "view-income-1024.png");
        shooter.MovingAccount("view-income-1024-account.png");
        shooter.Plans("-1024");
        // Two copies corrected one day: their rows marked, a choice per row.
        frame.resize(kWindowSize);
        shooter.Conflict("conflict.png");
        frame.resize(1024, 600);
        shooter.Conflict("conflict-1024.png");
        // Last: it changes the demo user's list. On a real screen, the window fills it.
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            frame.resize(kWindowSize);
        else
            frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        shooter.Categories("categories.png");
        frame.resize(kWindowSize);
        shooter.Adding();
        shooter.Transfer();
        shooter.Users();
        shooter.Preview();
        shooter.Help();
        shooter.Import(strWork);
    }
    Settle();
    CDatabase::Close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fputs("usage: ledgerkin_screenshots [FOLDER]   (default docs/screenshots)\n", stderr);
        return 2;
    }
    const QString strFolder =
        argc == 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");

    // Offscreen unless a platform is named (QT_QPA_PLATFORM=xcb under xvfb-run: the windows as
    // an X server shows them, for looking at them once), and every folder the program would
    // write to inside a temporary one, set before Qt reads them.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid()) {
        Print(QStringLiteral("no temporary folder"));
        return 1;
    }
    for (const char* szVar : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(szVar, QFile::encodeName(home.filePath(QLatin1String(szVar))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path())); // private: 0700, ours

    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(QStringLiteral("Ledgerkin"));
    QApplication app(argc, argv);
    CLedgerkinApp::UseChineseFont();
    CToday::Set(kLastDay);
    CMessageBox::SetCapture(true);

    try {
        return Run(strFolder);
    } catch (const SFailure& failure) {
        Print(QStringLiteral("ledgerkin_screenshots: %1").arg(failure.strText));
    } catch (const CDBException& e) {
        Print(QStringLiteral("ledgerkin_screenshots: %1").arg(e.m_strError));
    }
    return 1;
}
