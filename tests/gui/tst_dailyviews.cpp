#include "analysis/cbudgetpanel.h"
#include "analysis/cchartview.h"
#include "analysis/cmschart3.h"
#include "analysis/crptview.h"
#include "analysis/csumlistview.h"
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "ctestrows.h"
#include "data/cbankset.h"
#include "data/cdatabase.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/ctoday.h"
#include "plans/cbudget.h"
#include "records/ccategories.h"
#include "records/ccategoriesdlg.h"
#include "records/cdaybook.h"
#include "records/cemptyday.h"
#include "records/cincomeview.h"
#include "records/cnewdayindlg.h"
#include "records/coutlayview.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSqlDriver>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>
#include <sqlite3.h>

namespace {
const QString g_strUser = QStringLiteral("张三");
const QString g_strCash = QStringLiteral("现金");
const QString g_strBank = QStringLiteral("工商银行");

void AddBank(const QString& strCard, double dCash) {
    CTestRows::AddBank(g_strUser, strCard, dCash);
}

template <class TSet>
void AddRow(const QDate& day, const QString& strBank = {}, double dAmount = 0,
            const QString& strSort = QStringLiteral("工资收入"), const QString& strNote = {}) {
    CTestRows::AddRecord<TSet>(g_strUser, QDateTime(day, QTime(0, 0)), strBank,
                               strBank.isEmpty() ? QString() : strSort, strNote, dAmount);
}

// The statements SQLite runs on the book while one of these is alive.
class CStatementTrace {
public:
    CStatementTrace() {
        const QVariant handle = CDatabase::Connection().driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            qFatal("not an SQLite book");
        m_pDb = *static_cast<sqlite3* const*>(handle.constData());
        sqlite3_trace_v2(m_pDb, SQLITE_TRACE_STMT, &CStatementTrace::OnStatement, this);
    }
    ~CStatementTrace() { sqlite3_trace_v2(m_pDb, 0, nullptr, nullptr); }
    CStatementTrace(const CStatementTrace&) = delete;
    CStatementTrace& operator=(const CStatementTrace&) = delete;
    QStringList m_statements;

private:
    static int OnStatement(unsigned, void* pThis, void*, void* pText) {
        const char* pszSql = static_cast<const char*>(pText);
        if (qstrncmp(pszSql, "--", 2) != 0) // a trigger's body belongs to its statement
            static_cast<CStatementTrace*>(pThis)->m_statements << QString::fromUtf8(pszSql);
        return 0;
    }
    sqlite3* m_pDb = nullptr;
};

QString Balance(const QString& strCard) {
    return CTestRows::Balance(g_strUser, strCard);
}

// A book with two accounts; income on 2004-3-2 (both accounts) and 2004-4-2 (bank only) and an
// opened but empty 2004-5-1; outlay on 2004-3-2 and an empty 2004-3-5.
struct SFixture {
    CGuiTest gui;
    CMainFrame* pFrame;

    SFixture() : pFrame(gui.Frame()) {
        AddBank(g_strCash, 1000);
        AddBank(g_strBank, 500);
        AddRow<CIncomeSet>(QDate(2004, 3, 2), g_strCash, 100, QStringLiteral("工资收入"),
                           QStringLiteral("三月"));
        AddRow<CIncomeSet>(QDate(2004, 3, 2), g_strBank, 50);
        AddRow<CIncomeSet>(QDate(2004, 4, 2), g_strBank, 20);
        AddRow<CIncomeSet>(QDate(2004, 5, 1));
        AddRow<COutlaySet>(QDate(2004, 3, 2), g_strCash, 30, QStringLiteral("用餐支出"));
        AddRow<COutlaySet>(QDate(2004, 3, 5));
        pFrame->showNormal();
        pFrame->resize(1300, 760);
        gui.LogIn(g_strUser);
        gui.ClearMessages();
    }
    CIncomeView* Income() {
        gui.Trigger(CMainFrame::ID_INCOME_VIEW);
        return pFrame->View<CIncomeView>();
    }
    COutlayView* Outlay() {
        gui.Trigger(CMainFrame::ID_OUTLAY_VIEW);
        return pFrame->View<COutlayView>();
    }
};

template <class T = QWidget> T* Ctl(QWidget* pView, int nId) {
    T* p = pView->findChild<T*>(QString::number(nId));
    if (!p)
        qFatal("control %d missing", nId);
    return p;
}

CMsflexgrid1* Grid(QWidget* pView) {
    return Ctl<CMsflexgrid1>(pView, CDayView::IDC_GRID_RECORDS);
}

void Press(CDayView* pView, int nId) {
    QTest::mouseClick(Ctl<QPushButton>(pView, nId), Qt::LeftButton);
}

QString Box(CDayView* pView, int nId) {
    return Ctl<QLineEdit>(pView, nId)->text();
}

QString Cell(CDayView* pView, int nRow, int nCol) {
    return Grid(pView)->GetTextMatrix(nRow, nCol);
}

void ClickCell(CDayView* pView, int nRow, int nCol) {
    CMsflexgrid1* pGrid = Grid(pView);
    QTest::mouseClick(pGrid->viewport(), Qt::LeftButton, {},
                      pGrid->CellRect(nRow, nCol, pGrid->viewport()).center());
}

bool OnCell(CDayView* pView, QWidget* pFloating, int nRow, int nCol) {
    CMsflexgrid1* pGrid = Grid(pView);
    return pFloating->isVisible() &&
           pFloating->geometry() == pGrid->CellRect(nRow, nCol, pGrid->viewport());
}

void Choose(CDayView* pView, int nRow, int nIndex) {
    ClickCell(pView, nRow, 1);
    QVERIFY(OnCell(pView, Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT), nRow, 1));
    Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)->setCurrentIndex(nIndex);
    Q_EMIT Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)->activated(nIndex);
}

void Type(CDayView* pView, int nRow, int nCol, const QString& strText) {
    ClickCell(pView, nRow, nCol);
    QVERIFY(OnCell(pView, Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT), nRow, nCol));
    // One key event carrying the whole text, as an input method delivers Chinese; it replaces
    // the selected cell text.
    QTest::sendKeyEvent(QTest::Click, Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT),
                        Qt::Key_unknown, strText, Qt::NoModifier);
}

// Enabled state of 1016 1017 1018 1019, then 1020 and the account box.
QString Buttons(CDayView* pView) {
    QString s;
    for (int nId : {1016, 1017, 1018, 1019, 1020, 1000})
        s += Ctl(pView, nId)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

QStringList Shown() {
    const QStringList list = CMessageBox::ShownTexts();
    CMessageBox::ClearShown();
    return list;
}
} // namespace

class TestDailyViews : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addTwoRecordsThenModifyOne() {
        SFixture f;
        CIncomeView* pView = f.Income();
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-5-1")); // the latest day, still empty
        QCOMPARE(Box(pView, 1004), QStringLiteral("0.00元"));
        QCOMPARE(Grid(pView)->GetRows(), 1);

        Press(pView, 1016);
        QCOMPARE(Buttons(pView), QStringLiteral("001111"));
        QVERIFY(pView->IsEditing());
        Choose(pView, 1, 0);
        Type(pView, 1, 2, QStringLiteral("五月工资"));
        Type(pView, 1, 3, QStringLiteral("12.5"));
        QCOMPARE(Cell(pView, 1, 3), QStringLiteral("12.50"));
        QCOMPARE(Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT)->text(), QStringLiteral("12.5"));
        Press(pView, 1018);
        QCOMPARE(Buttons(pView), QStringLiteral("110011"));

        Press(pView, 1016);
        QCOMPARE(Cell(pView, 1, 0), QStringLiteral("※"));
        QCOMPARE(Cell(pView, 2, 0), QStringLiteral("￥"));
        Choose(pView, 2, 1);
        Type(pView, 2, 3, QStringLiteral("7.25"));
        ClickCell(pView, 1, 2); // an old row cannot be edited while adding
        QVERIFY(OnCell(pView, Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT), 2, 3));
        Press(pView, 1018);
        QVERIFY(Shown().isEmpty());

        const QVector<SDayRecord> rows =
            CDayBook(ERecordKind::Income, g_strUser).LoadDay(QDate(2004, 5, 1), g_strCash);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].strSort, QStringLiteral("工资收入"));
        QCOMPARE(rows[0].strNote, QStringLiteral("五月工资"));
        QCOMPARE(rows[1].strSort, QStringLiteral("奖金收入"));
        QCOMPARE(rows[1].dAmount, 7.25);
        QCOMPARE(Balance(g_strCash), QStringLiteral("1019.75"));
        QCOMPARE(Ctl<CMsflexgrid1>(pView, CDayView::IDC_GRID_SUMMARY)->GetTextMatrix(1, 2),
                 QStringLiteral("￥19.75"));
        QCOMPARE(Box(pView, 1004), QStringLiteral("19.75元"));

        // Modify: the category list starts on the row's category; the balance moves by the change.
        Press(pView, 1017);
        QCOMPARE(Buttons(pView), QStringLiteral("001111"));
        QCOMPARE(Cell(pView, 2, 0), QStringLiteral("￥"));
        Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)->setCurrentIndex(5);
        ClickCell(pView, 1, 1);
        QCOMPARE(Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)->currentText(),
                 QStringLiteral("工资收入"));
        Type(pView, 1, 3, QStringLiteral("20"));
        Press(pView, 1018);
        QCOMPARE(Balance(g_strCash), QStringLiteral("1027.25"));
        QCOMPARE(Balance(g_strBank), QStringLiteral("500.00"));
        QCOMPARE(Cell(pView, 1, 3), QStringLiteral("20.00"));
        QCOMPARE(Cell(pView, 1, 0), QStringLiteral("※"));
    }

    // A category of one's own, made in 类别管理, is offered by the grid (also by its text),
    // recorded, drawn in the chart and chosen in the report.
    void ownCategoryInGridChartAndReport() {
        SFixture f;
        CTestRows::AddUserRow(g_strUser);
        const QString strOwn = QStringLiteral("教育");
        QStringList listed;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            Ctl<QLineEdit>(pDlg, CCategoriesDlg::IDC_NAME)->setText(QStringLiteral(" 教育 "));
            QTest::mouseClick(Ctl<QPushButton>(pDlg, CCategoriesDlg::IDC_ADD), Qt::LeftButton);
            auto* pList = Ctl<QTreeWidget>(pDlg, CCategoriesDlg::IDC_LIST);
            for (int i = 0; i < pList->topLevelItemCount(); ++i)
                listed << pList->topLevelItem(i)->text(0);
            QTest::mouseClick(Ctl<QPushButton>(pDlg, CCategoriesDlg::IDC_CLOSE), Qt::LeftButton);
        });
        QVERIFY(f.gui.Trigger(CMainFrame::ID_CATEGORIES));
        QCOMPARE(listed, CCategories::Outlay() << strOwn);

        COutlayView* pView = f.Outlay();
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-3-5"));
        Press(pView, 1016);
        const int nOwn = Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)->findText(strOwn);
        QCOMPARE(nOwn, 12);
        Q_EMIT Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)
            ->lineEdit()
            ->textEdited(QStringLiteral("教"));
        auto* pFilter = Ctl<QListWidget>(pView, CDayView::IDC_LIST_SORT);
        QCOMPARE(pFilter->count(), 1);
        QCOMPARE(pFilter->item(0)->text(), strOwn);
        pFilter->hide();
        Choose(pView, 1, nOwn);
        Type(pView, 1, 2, QStringLiteral("钢琴课"));
        Type(pView, 1, 3, QStringLiteral("88"));
        Press(pView, 1018);
        QVERIFY(Shown().isEmpty());
        QCOMPARE(CDayBook(ERecordKind::Outlay, g_strUser)
                     .LoadDay(QDate(2004, 3, 5), g_strCash)
                     .value(0)
                     .strSort,
                 strOwn);

        QVERIFY(f.gui.Trigger(CMainFrame::ID_OUT_CHART));
        for (const int nChart : {CChartView::IDC_BAR_CHART, CChartView::IDC_PIE_CHART}) {
            auto* pChart = f.gui.Find<CMschart3>(nChart);
            QVERIFY(pChart);
            const int nAt = int(pChart->ColumnLabels().indexOf(strOwn));
            QVERIFY(nAt >= 0);
            QCOMPARE(pChart->RowData(1).at(nAt), QStringLiteral("88.00"));
        }

        QVERIFY(f.gui.Trigger(CMainFrame::ID_RPT_VIEW));
        auto* pRpt = f.pFrame->View<CRptView>();
        QVERIFY(pRpt);
        const auto choose = [](QComboBox* pCombo, const QString& strText) {
            const int n = pCombo->findText(strText);
            QVERIFY2(n >= 0, qPrintable(strText));
            pCombo->setCurrentIndex(n);
            Q_EMIT pCombo->activated(n);
        };
        choose(Ctl<QComboBox>(pRpt, CRptView::IDC_QUERY_KIND), QStringLiteral("支出记录"));
        choose(Ctl<QComboBox>(pRpt, CRptView::IDC_OUT_SORT), strOwn);
        QTest::mouseClick(Ctl<QPushButton>(pRpt, CRptView::IDC_QUERY), Qt::LeftButton);
        QCOMPARE(pRpt->Grid()->GetRows(), 2);
        QCOMPARE(pRpt->Grid()->GetTextMatrix(1, 2), strOwn);
    }

    // 新增, then only keys: a category by its first character, Enter from cell to cell and on
    // to the next row, Ctrl+Enter to confirm; Esc takes an add back.
    void aDayOfTenRecordsByKeysAlone() {
        SFixture f;
        CIncomeView* pView = f.Income(); // 2004-5-1, empty
        f.pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.pFrame));
        const auto key = [](Qt::Key eKey, Qt::KeyboardModifiers eMods = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), eKey, eMods);
        };
        const auto type = [](const QString& strText) {
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, strText,
                                Qt::NoModifier);
        };
        Ctl<QPushButton>(pView, 1016)->setFocus();
        key(Qt::Key_Space);
        QVERIFY(OnCell(pView, Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT), 1, 1));
        const QStringList sorts = CCategories::Of(ERecordKind::Income);
        for (int i = 0; i < 10; ++i) {
            type(sorts[i % sorts.size()].left(1));
            key(Qt::Key_Return);
            type(QStringLiteral("第%1笔").arg(i + 1));
            key(Qt::Key_Tab);
            type(QStringLiteral("%1.5").arg(i + 1));
            key(Qt::Key_Return); // on the last cell: the next row
        }
        QCOMPARE(Grid(pView)->GetRows(), 12); // ten records and the row begun last
        key(Qt::Key_Up);                      // rows stay reachable
        QVERIFY(OnCell(pView, Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT), 10, 1) ||
                OnCell(pView, Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT), 10, 1));
        key(Qt::Key_Down);
        key(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY2(Shown().isEmpty(), "no message");
        QVERIFY(!pView->IsEditing());

        const QVector<SDayRecord> rows =
            CDayBook(ERecordKind::Income, g_strUser).LoadDay(QDate(2004, 5, 1), g_strCash);
        QCOMPARE(rows.size(), 10);
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(rows[i].strSort, sorts[i % sorts.size()]);
            QCOMPARE(rows[i].strNote, QStringLiteral("第%1笔").arg(i + 1));
            QCOMPARE(rows[i].dAmount, i + 1.5);
        }
        QCOMPARE(Balance(g_strCash), QStringLiteral("1060.00"));

        // Esc after typing two new rows takes both back.
        Ctl<QPushButton>(pView, 1016)->setFocus();
        key(Qt::Key_Space);
        type(sorts[1].left(1));
        key(Qt::Key_Return);
        key(Qt::Key_Return);
        key(Qt::Key_Return);
        QCOMPARE(Grid(pView)->GetRows(), 13);
        CMessageBox::SetNextChoice(CMessageBox::EChoice::Discard);
        key(Qt::Key_Escape);
        QCOMPARE(Shown(), QStringList{QStringLiteral("当前记录尚未保存，是否保存？")});
        QVERIFY(!pView->IsEditing());
        QCOMPARE(Grid(pView)->GetRows(), 11);
        QVERIFY(!Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)->isVisible());
    }

    // A week of outlay entered, corrected and deleted by keys alone on the real window:
    // Ctrl+Shift+N opens a day, Insert starts 新增, F2 starts 修改; in either, typing, F2 or
    // Enter opens the highlighted cell, Tab / Shift+Tab / arrows move (the editor following),
    // Delete on a closed cell or Ctrl+Delete anywhere takes the row away, and Ctrl+Return
    // confirms in every state.
    void aWeekByKeysAlone() {
        SFixture f;
        f.Outlay();
        f.pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.pFrame));
        using K = CGuiTest::SKey;
        const K tab{Qt::Key_Tab}, enter{Qt::Key_Return}, down{Qt::Key_Down}, right{Qt::Key_Right},
            f2{Qt::Key_F2}, del{Qt::Key_Delete}, ctrlDel{Qt::Key_Delete, Qt::ControlModifier},
            confirm{Qt::Key_Return, Qt::ControlModifier};
        const auto text = [](const char* pszText) { return K{Qt::Key_unknown, {}, pszText}; };
        const auto openDay = [&](const QDate& day) {
            CToday::Set(day); // the calendar starts on it: Enter takes it
            CGuiTest::OnNextModal(
                [](QWidget* pDlg) { QTest::keyClick(pDlg->focusWidget(), Qt::Key_Return); });
            CGuiTest::Key(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
            // The offscreen platform does not give the focus back to the window when the
            // dialog closes; a window manager does.
            QApplication::setActiveWindow(f.pFrame);
            QCOMPARE(CTestAccess::Day(f.pFrame->View<COutlayView>()), day);
        };
        const QDate monday(2004, 6, 7);
        for (int i = 0; i < 7; ++i) {
            openDay(monday.addDays(i));
            CGuiTest::Keys({{Qt::Key_Insert},
                            text("yczc"),
                            tab,
                            text("早饭"),
                            tab,
                            text("10.5"),
                            enter,
                            text("jtzc"),
                            enter,
                            text("地铁"),
                            enter,
                            text("3"),
                            confirm});
            QVERIFY2(Shown().isEmpty(), "no message");
        }
        const struct {
            int nDay; // of the week, from 0
            QVector<K> keys;
        } corrections[] = {
            // an amount typed over, then the row below removed from within its cell
            {2, {f2, right, right, text("12"), down, ctrlDel, confirm}},
            // both rows removed on closed cells
            {3, {f2, del, del, confirm}},
            // a category replaced by its initials, a note added, Shift+Tab back and forth
            {4,
             {f2, down, enter, text("lyzc"), tab, text("门票"), {Qt::Key_Backtab}, tab, confirm}},
        };
        for (const auto& c : corrections) {
            openDay(monday.addDays(c.nDay));
            CGuiTest::Keys(c.keys);
            QVERIFY2(Shown().isEmpty(), qPrintable(QString::number(c.nDay)));
            QVERIFY(!f.pFrame->View<COutlayView>()->IsEditing());
        }
        // The highlight stays on the cell the editor opens, however the editor changes kind
        // (text box, category list, account list): Delete on a closed cell removes the row the
        // user sees highlighted, so the two must never part.
        openDay(monday.addDays(6));
        COutlayView* pView = f.pFrame->View<COutlayView>();
        CGuiTest::Keys({f2, enter});
        QCOMPARE(CTestAccess::Edited(pView), QPoint(1, 1));
        for (const QPoint cell : {QPoint(1, 2), QPoint(1, 3), QPoint(1, 4), QPoint(2, 1)}) {
            CGuiTest::Keys({tab});
            QCOMPARE(CTestAccess::Edited(pView), cell);
            QCOMPARE(CTestAccess::Highlighted(pView), cell);
        }
        CGuiTest::Keys({{Qt::Key_Escape}});
        CToday::Set(QDate());

        const QString usual = QStringLiteral("用餐支出/早饭/10.50 交通支出/地铁/3.00");
        const QStringList expected = {usual,
                                      usual,
                                      QStringLiteral("用餐支出/早饭/12.00"),
                                      QString(),
                                      QStringLiteral("用餐支出/早饭/10.50 旅游支出/门票/3.00"),
                                      usual,
                                      usual};
        for (int i = 0; i < 7; ++i) {
            QStringList rows;
            for (const SDayRecord& r :
                 CDayBook(ERecordKind::Outlay, g_strUser).LoadDay(monday.addDays(i), g_strCash))
                rows << r.strSort + QLatin1Char('/') + r.strNote + QLatin1Char('/') +
                            CMoney::Format(r.dAmount);
            QCOMPARE(rows.join(QLatin1Char(' ')), expected[i]);
        }
        QCOMPARE(Balance(g_strCash), QStringLiteral("920.50"));
    }

    // A day opens on an account that has records, its total says which accounts it sums, and
    // 修改 moves a record to another account through its account cell: both balances move.
    void aRecordMovesToAnotherAccount() {
        SFixture f;
        CIncomeView* pView = f.Income(); // 2004-5-1, the cash account
        const auto summed = [pView] {    // what the total sums, told whole
            return Ctl(pView, CDayView::IDC_TOTAL_ACCOUNTS)->toolTip();
        };
        Press(pView, 1020); // 2004-4-2: only the bank has income
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-4-2"));
        QCOMPARE(CTestAccess::Bank(pView), g_strBank);
        QCOMPARE(Cell(pView, 1, 3) + Cell(pView, 1, 4), QStringLiteral("20.00工商银行"));
        QCOMPARE(summed(), QStringLiteral("合计：工商银行"));
        Press(pView, 1020); // 2004-3-2: both; the bank stays shown
        QCOMPARE(CTestAccess::Bank(pView), g_strBank);
        QCOMPARE(summed(), QStringLiteral("合计：现金、工商银行"));
        QCOMPARE(Ctl<QLabel>(pView, CDayView::IDC_TOTAL_ACCOUNTS)->text(), summed()); // room
        QCOMPARE(Box(pView, 1004), QStringLiteral("150.00元"));

        Press(pView, 1017);
        ClickCell(pView, 1, 4);
        auto* pAccount = Ctl<QComboBox>(pView, 1027);
        QVERIFY(OnCell(pView, pAccount, 1, 4));
        pAccount->setCurrentIndex(pAccount->findText(g_strCash));
        Q_EMIT pAccount->activated(pAccount->currentIndex());
        Press(pView, 1018);
        QVERIFY(Shown().isEmpty());
        QVERIFY(!pView->IsEditing());
        CDayBook book(ERecordKind::Income, g_strUser);
        QCOMPARE(book.LoadDay(QDate(2004, 3, 2), g_strCash).size(), 2);
        QVERIFY(book.LoadDay(QDate(2004, 3, 2), g_strBank).isEmpty());
        QCOMPARE(Balance(g_strCash), QStringLiteral("1050.00"));
        QCOMPARE(Balance(g_strBank), QStringLiteral("450.00"));
        QCOMPARE(Grid(pView)->GetRows(), 1); // the bank's day is empty now
        QCOMPARE(summed(), QStringLiteral("合计：现金"));
        QCOMPARE(Box(pView, 1004), QStringLiteral("150.00元"));
    }

    // Typing in the category cell filters the list (by characters or pinyin initials); Enter
    // or Tab takes the highlighted match, Esc drops only the typed text. Esc leaves 修改 at
    // once when nothing changed, and asks first when something did.
    void categoryFilterAndEsc() {
        SFixture f;
        COutlayView* pView = f.Outlay();
        f.pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.pFrame));
        const auto key = [](Qt::Key eKey) { QTest::keyClick(QApplication::focusWidget(), eKey); };
        const auto type = [](const QString& strText) {
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, strText,
                                Qt::NoModifier);
        };
        auto* pList = pView->findChild<QListWidget*>(QString::number(CDayView::IDC_LIST_SORT));
        QVERIFY(pList);
        const struct {
            const char* pTyped;
            int nDown;
            Qt::Key eKey;
            const char* pFirstListed;
            const char* pTaken; // what the cell holds afterwards
        } cases[] = {
            // one match: taken at once; several: only the one the arrows picked
            {"医疗", 0, Qt::Key_Return, "医疗保健支出", "医疗保健支出"},
            {"YLBJ", 0, Qt::Key_Tab, "医疗保健支出", "医疗保健支出"},
            {"fz", 2, Qt::Key_Return, "服装支出", "房租支出"},
            {"fzzc", 1, Qt::Key_Tab, "服装支出", "服装支出"},
            {"支出", 1, Qt::Key_Return, "用餐支出", "用餐支出"},
            {"xyz", 0, Qt::Key_Return, "没有相符的类型", ""},
            {"用", 0, Qt::Key_Escape, "用餐支出", ""},
        };
        Press(pView, 1016);
        int nRow = Grid(pView)->GetRows() - 1;
        for (const auto& c : cases) {
            const QString strTag = QString::fromUtf8(c.pTyped);
            QVERIFY2(OnCell(pView, Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT), nRow, 1),
                     qPrintable(strTag));
            type(strTag);
            QVERIFY2(pList->isVisible() &&
                         pList->item(0)->text() == QString::fromUtf8(c.pFirstListed),
                     qPrintable(strTag));
            if (c.nDown > 0) {
                // Several matches: Tab and Enter keep the list open until one is picked.
                for (Qt::Key eLeave : {Qt::Key_Tab, Qt::Key_Return}) {
                    key(eLeave);
                    QVERIFY2(
                        pList->isVisible() && Cell(pView, nRow, 1).isEmpty() &&
                            OnCell(pView, Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT), nRow, 1),
                        qPrintable(strTag));
                }
            }
            for (int i = 0; i < c.nDown; ++i)
                key(Qt::Key_Down);
            key(c.eKey);
            QVERIFY2(!pList->isVisible(), qPrintable(strTag));
            QVERIFY2(Cell(pView, nRow, 1) == QString::fromUtf8(c.pTaken), qPrintable(strTag));
            QVERIFY2(pView->IsEditing() && Shown().isEmpty(), qPrintable(strTag));
            for (int i = 0; i < 4 && !OnCell(pView, Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT),
                                             nRow + 1, 1);
                 ++i)
                key(Qt::Key_Return);
            ++nRow;
        }
        CMessageBox::SetNextChoice(CMessageBox::EChoice::Discard);
        key(Qt::Key_Escape);
        QCOMPARE(Shown(), QStringList{QStringLiteral("当前记录尚未保存，是否保存？")});
        QVERIFY(!pView->IsEditing());

        // 修改 on a day with a record: Esc without a change, then with one (取消 stays, 不保存
        // leaves).
        Press(pView, 1020);
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-3-2"));
        QCOMPARE(Cell(pView, 1, 1), QStringLiteral("用餐支出"));
        Press(pView, 1017);
        ClickCell(pView, 1,
                  3); // another cell than below: two clicks on one would be a double click
        QVERIFY(OnCell(pView, Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT), 1, 3));
        key(Qt::Key_Escape);
        QVERIFY(!pView->IsEditing() && Shown().isEmpty());
        Press(pView, 1017);
        ClickCell(pView, 1, 2);
        QVERIFY(OnCell(pView, Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT), 1, 2));
        type(QStringLiteral("午饭"));
        CMessageBox::SetNextChoice(CMessageBox::EChoice::Cancel);
        key(Qt::Key_Escape);
        QCOMPARE(Shown().size(), 1);
        QVERIFY(pView->IsEditing());
        QCOMPARE(Cell(pView, 1, 2), QStringLiteral("午饭"));
        CMessageBox::SetNextChoice(CMessageBox::EChoice::Discard);
        key(Qt::Key_Escape);
        QCOMPARE(Shown().size(), 1);
        QVERIFY(!pView->IsEditing());
        QCOMPARE(Cell(pView, 1, 2), QString());

        // An existing category is selected when its cell opens: typing replaces it.
        Press(pView, 1017);
        ClickCell(pView, 1, 1);
        QVERIFY(OnCell(pView, Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT), 1, 1));
        type(QStringLiteral("fzzc"));
        QCOMPARE(Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)->currentText(),
                 QStringLiteral("fzzc"));
        QCOMPARE(pList->count(), 2);
        key(Qt::Key_Down);
        key(Qt::Key_Down);
        key(Qt::Key_Tab);
        QCOMPARE(Cell(pView, 1, 1), QStringLiteral("房租支出"));
        QVERIFY(Shown().isEmpty());
        Press(pView, 1019);
    }

    void cancelAndValidationOrder() {
        SFixture f;
        AddRow<CIncomeSet>(QDate(2004, 3, 2), g_strCash, 5, QString()); // a record without category
        CIncomeView* pView = f.Income();
        Press(pView, 1022);
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-3-2"));
        QCOMPARE(Grid(pView)->GetRows(), 3);

        Press(pView, 1016);
        Type(pView, 3, 2, QStringLiteral("丢掉"));
        Press(pView, 1019);
        QCOMPARE(Grid(pView)->GetRows(), 3);
        QCOMPARE(Cell(pView, 1, 0) + Cell(pView, 2, 0), QStringLiteral("※※"));
        QCOMPARE(Buttons(pView), QStringLiteral("110011"));
        QVERIFY(!Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT)->isVisible());

        Press(pView, 1016);
        ClickCell(pView, 3, 1); // a new row's category shows empty, not a left-over entry
        QCOMPARE(Ctl<QComboBox>(pView, CDayView::IDC_COMBO_SORT)->currentIndex(), -1);
        Press(pView, 1018); // row 3 has no category, but row 2 comes first
        QCOMPARE(Shown(), QStringList{QStringLiteral("请保证收入类型栏不为空!")});
        QVERIFY(CTestAccess::IsAdding(pView));
        Press(pView, 1019);

        // Row 1's amount is checked before row 2's missing category. The cell shows what will
        // be stored as soon as it is an amount, else the text itself; confirming says why not.
        Press(pView, 1017);
        const struct {
            const char* szTyped;
            const char* szCell;
            const char* szMessage;
        } typed[] = {
            {"abc", "abc", "第 1 行的金额：金额只能是数字，请用小数点，例如 12.50"},
            {"12,5", "12,5",
             "第 1 行的金额：金额中不能有逗号：小数请用小数点（例如 12.50），整数直接写（例如 "
             "1000）"},
            {"1e13", "1e13", "第 1 行的金额：金额太大：不能超过 1000000000000（一万亿）元。"},
            {"1e400", "1e400", "第 1 行的金额：金额太大：不能超过 1000000000000（一万亿）元。"},
            {"0.001", "0.00",
             "第 1 行的收入金额是 0，请填写这笔收入的金额，例如 12.50。不要的行请按“删除”。"},
        };
        for (const auto& t : typed) {
            Type(pView, 1, 3, QString::fromUtf8(t.szTyped));
            QCOMPARE(Cell(pView, 1, 3), QString::fromUtf8(t.szCell));
            Press(pView, 1018);
            QCOMPARE(Shown(), QStringList{QString::fromUtf8(t.szMessage)});
        }
        Type(pView, 1, 3, QStringLiteral("１２．３４５"));
        QCOMPARE(Cell(pView, 1, 3), QStringLiteral("12.35"));
        Type(pView, 1, 3, QStringLiteral("-5"));
        QCOMPARE(Cell(pView, 1, 3), QStringLiteral("-5.00"));
        Press(pView, 1018);
        QCOMPARE(Shown(), QStringList{QStringLiteral("请保证收入类型栏不为空!")});
        Choose(pView, 2, 7);
        Press(pView, 1018); // the negative amount is asked about, and OK stores it
        QCOMPARE(Shown(),
                 QStringList{QStringLiteral("第 1 行的收入金额是负数（-5.00），"
                                            "账号余额会因此减少。\n确定要记一笔负的收入吗？")});
        QVERIFY(!pView->IsEditing());
        // 105.00 stood on the day, 0.00 now.
        QCOMPARE(Balance(g_strCash), QStringLiteral("895.00"));
    }

    void outlayMessagesAndModifyOnEmptyDays() {
        SFixture f;
        CIncomeView* pIncome = f.Income();
        Press(pIncome, 1017); // 2004-5-1 has no income records: nothing happens
        QVERIFY(!pIncome->IsEditing());
        QCOMPARE(Buttons(pIncome), QStringLiteral("110011"));

        COutlayView* pView = f.Outlay();
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-3-5"));
        Press(pView, 1017); // an outlay day without records still enters modify mode
        QVERIFY(CTestAccess::IsModifying(pView));
        Press(pView, 1018);
        QVERIFY(!pView->IsEditing());
        QCOMPARE(Balance(g_strCash), QStringLiteral("1000.00"));

        Press(pView, 1016);
        Press(pView, 1018);
        Choose(pView, 1, 0);
        Press(pView, 1018);
        Type(pView, 1, 3, QStringLiteral("8"));
        Press(pView, 1018);
        QCOMPARE(Shown(),
                 (QStringList{QStringLiteral("请保证支出类型栏不为空!"),
                              QStringLiteral("第 1 行的支出金额是 0，请填写这笔支出的金额，例如 "
                                             "12.50。不要的行请按“删除”。")}));
        QCOMPARE(Balance(g_strCash), QStringLiteral("992.00")); // outlay lowers the balance
    }

    // 修改 on 2004-3-2 (现金 1000.00, outlay rows 30 and 10): row 2's amount typed, the
    // highlight left on row 1, then 确定 with the question answered.
    void moneyQuestions_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("message"); // "" for none
        QTest::addColumn<QString>("balance"); // of 现金 afterwards
        QTest::addColumn<bool>("stored");
        const QString below =
            QStringLiteral("支出后账号“现金”的余额将是 %1，低于零。\n确定要支出吗？");
        const QString negative = QStringLiteral("第 2 行的支出金额是负数（-20.00），账号余额会因此"
                                                "增加，例如一笔退款。\n确定要记一笔负的支出吗？");
        QTest::newRow("thousands comma")
            << QStringLiteral("1,000") << true
            << QStringLiteral("第 2 行的金额：1,000 是 1000 吗？请写 1000，不加逗号")
            << QStringLiteral("1000.00") << false;
        QTest::newRow("full-width thousands")
            << QStringLiteral("１，２００．５") << true
            << QStringLiteral("第 2 行的金额：1,200.5 是 1200.5 吗？请写 1200.5，不加逗号")
            << QStringLiteral("1000.00") << false;
        QTest::newRow("zero") << QStringLiteral("0") << true
                              << QStringLiteral("第 2 行的支出金额是 0，请填写这笔支出的金额，"
                                                "例如 12.50。不要的行请按“删除”。")
                              << QStringLiteral("1000.00") << false;
        QTest::newRow("negative, no")
            << QStringLiteral("-20") << false << negative << QStringLiteral("1000.00") << false;
        QTest::newRow("negative, yes")
            << QStringLiteral("−20") << true << negative << QStringLiteral("1030.00") << true;
        QTest::newRow("below zero, no")
            << QStringLiteral("2000") << false << below.arg(QStringLiteral("￥-990.00"))
            << QStringLiteral("1000.00") << false;
        QTest::newRow("below zero, yes")
            << QStringLiteral("2000") << true << below.arg(QStringLiteral("￥-990.00"))
            << QStringLiteral("-990.00") << true;
        QTest::newRow("down to zero")
            << QStringLiteral("1010") << true << QString() << QStringLiteral("0.00") << true;
    }
    void moneyQuestions() {
        QFETCH(QString, typed);
        QFETCH(bool, answer);
        QFETCH(QString, message);
        QFETCH(QString, balance);
        QFETCH(bool, stored);
        SFixture f;
        AddRow<COutlaySet>(QDate(2004, 3, 2), g_strCash, 10, QStringLiteral("交通支出"));
        COutlayView* pView = f.Outlay();
        Press(pView, 1022);
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-3-2"));
        Press(pView, 1017);
        Type(pView, 2, 3, typed);
        ClickCell(pView, 1, 2);
        f.gui.AnswerNext(answer);
        Press(pView, 1018);
        QCOMPARE(Shown(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(Balance(g_strCash), balance);
        QCOMPARE(pView->IsEditing(), !stored);
        if (!stored && message.startsWith(QStringLiteral("第 2 行"))) {
            // The highlight and the editor are on the amount the message is about.
            QCOMPARE(Grid(pView)->currentIndex().row(), 1);
            QVERIFY(OnCell(pView, Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT), 2, 3));
        }
    }

    void navigationAcrossAccountsAndEnds() {
        SFixture f;
        CIncomeView* pView = f.Income();
        Press(pView, 1021);
        QCOMPARE(Shown(), QStringList{QStringLiteral("已经是最后一天了!")});
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-5-1"));

        Press(pView, 1020); // a day of the other account only: shown in that account
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-4-2"));
        QCOMPARE(CTestAccess::Bank(pView), g_strBank);
        QCOMPARE(Grid(pView)->GetRows(), 2);
        QCOMPARE(Ctl<CMsflexgrid1>(pView, CDayView::IDC_GRID_SUMMARY)->GetTextMatrix(2, 2),
                 QStringLiteral("￥20.00"));
        QCOMPARE(Box(pView, 1004), QStringLiteral("20.00元"));
        QTreeWidgetItem* pItem = CTestAccess::TreeView(f.pFrame)->currentItem();
        QVERIFY(pItem && pItem->parent());
        QCOMPARE(pItem->parent()->text(0) + pItem->text(0), QStringLiteral("4月2日"));

        // The account chosen by hand is shown, empty or not.
        Ctl<QComboBox>(pView, CDayView::IDC_COMBO_BANK)->setCurrentIndex(0);
        Q_EMIT Ctl<QComboBox>(pView, CDayView::IDC_COMBO_BANK)->activated(0);
        QCOMPARE(CTestAccess::Bank(pView), g_strCash);
        QCOMPARE(Grid(pView)->GetRows(), 1);

        Press(pView, 1020);
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-3-2"));
        Press(pView, 1020);
        Press(pView, 1022); // already on the first day: no message
        QCOMPARE(Shown(), QStringList{QStringLiteral("已经是第一天了!")});
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-3-2"));
        Press(pView, 1023);
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-5-1"));

        // From a day without rows: forward reports the end, back goes to the latest day.
        CTestAccess::AskDay(pView, QDate(2004, 3, 20));
        Press(pView, 1021);
        QCOMPARE(Shown(), QStringList{QStringLiteral("已经是最后一天了!")});
        Press(pView, 1020);
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-5-1"));
        QVERIFY(Shown().isEmpty());
    }

    // A step reads the target day, its totals and its rows (the tree may also read the days
    // of a month it opens for the first time); the tree marks the day without asking the view
    // for it a second time.
    void eachStepReadsTheBookOnce() {
        SFixture f;
        CIncomeView* pView = f.Income(); // on 2004-5-1
        const struct {
            int nButton;
            const char* pszDay;
            const char* pszTree;
        } steps[] = {{CDayView::IDC_FIRST_DAY, "2004-3-2", "3月2日"},
                     {CDayView::IDC_NEXT_DAY, "2004-4-2", "4月2日"},
                     {CDayView::IDC_PREV_DAY, "2004-3-2", "3月2日"},
                     {CDayView::IDC_LAST_DAY, "2004-5-1", "5月1日"}};
        for (const auto& step : steps) {
            CStatementTrace trace;
            QMetaObject::invokeMethod(Ctl<QPushButton>(pView, step.nButton), "click");
            QStringList statements = trace.m_statements;
            statements.removeIf([](const QString& s) {
                return s.startsWith(QLatin1String("SELECT \"Day\" FROM \"DayTotals\""));
            });
            QVERIFY2(statements.size() >= 3 && statements.size() <= 4,
                     qPrintable(QString::number(statements.size()) + QLatin1Char('\n') +
                                statements.join(QLatin1Char('\n'))));
            QCOMPARE(Box(pView, CDayView::IDC_EDIT_DATE), QLatin1String(step.pszDay));
            const QTreeWidgetItem* pItem = CTestAccess::TreeView(f.pFrame)->currentItem();
            QVERIFY(pItem && pItem->parent());
            QCOMPARE(pItem->parent()->text(0) + pItem->text(0), QString::fromUtf8(step.pszTree));
        }
    }

    void failedConfirmKeepsOldRecordsAndBalance() {
        SFixture f;
        CIncomeView* pView = f.Income();
        Press(pView, 1022);
        Press(pView, 1017);
        const QString strLong(256, QChar(0x957F));
        Type(pView, 1, 2, strLong);
        Type(pView, 1, 3, QStringLiteral("1"));
        Press(pView, 1018);
        const QStringList shown = Shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QStringLiteral("255")), qPrintable(shown[0]));
        // The edit stays open with what was typed; the book is as before.
        QVERIFY(CTestAccess::IsModifying(pView));
        QCOMPARE(Cell(pView, 1, 2), strLong);
        const QVector<SDayRecord> rows =
            CDayBook(ERecordKind::Income, g_strUser).LoadDay(QDate(2004, 3, 2), g_strCash);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].strNote, QStringLiteral("三月"));
        QCOMPARE(Balance(g_strCash), QStringLiteral("1000.00"));
    }

    // Another copy of the program (here the core, as that copy would call it) writes the day
    // this view shows: its rows stay next to this view's.
    void twoCopiesOnOneDay() {
        SFixture f;
        CIncomeView* pView = f.Income();
        const QDate day(2004, 3, 2);
        CDayBook other(ERecordKind::Income, g_strUser);
        auto notes = [&] {
            QStringList list;
            for (const SDayRecord& r : other.LoadDay(day, g_strCash))
                list << r.strNote + QLatin1Char('=') + CMoney::Format(r.dAmount);
            return list;
        };
        Press(pView, 1022);
        Press(pView, 1016);
        other.Confirm(day, g_strCash,
                      SDayEdit::Adding({{QStringLiteral("奖金收入"), QStringLiteral("甲"), 5}}));
        Choose(pView, 2, 0);
        Type(pView, 2, 2, QStringLiteral("乙"));
        Type(pView, 2, 3, QStringLiteral("7"));
        Press(pView, 1018);
        QVERIFY(Shown().isEmpty());
        QCOMPARE(notes(), (QStringList{QStringLiteral("三月=100.00"), QStringLiteral("甲=5.00"),
                                       QStringLiteral("乙=7.00")}));
        QCOMPARE(Grid(pView)->GetRows(), 4);
        QCOMPARE(Cell(pView, 2, 2) + Cell(pView, 3, 2), QStringLiteral("甲乙"));
        QCOMPARE(Balance(g_strCash), QStringLiteral("1012.00"));
    }

    // Another copy on its own connection changes and removes rows this view changes and
    // removes too. 确定 writes nothing; the grid shows the day as the other copy left it, the
    // rows both changed marked ("！", a colour, a tip with what was typed here) and closed,
    // the rows only it wrote tinted, the rest of this edit typed again; the box above offers
    // each row both changed, and 确定 writes exactly what was chosen (取消: the other's day).
    void aConflictShowsTheirRowsAndAChoicePerRow_data() {
        QTest::addColumn<QString>("strChoice"); // per row in the box: t(heirs), m(ine); "" 取消
        QTest::addColumn<QString>("strDay");
        QTest::addColumn<QString>("strBalance");
        QTest::newRow("mine, theirs, mine") << "mtm"
                                            << "三月=120.00 丙=35.00 丁=5.00"
                                            << "1000.00";
        QTest::newRow("theirs, mine, theirs") << "tmt"
                                              << "三月=150.00 乙=25.00 丙=35.00 丁=5.00 甲改=10.00"
                                              << "1065.00";
        QTest::newRow("cancelled") << ""
                                   << "三月=150.00 乙=25.00 丙=30.00 丁=5.00"
                                   << "1050.00";
    }
    void aConflictShowsTheirRowsAndAChoicePerRow() {
        QFETCH(QString, strChoice);
        QFETCH(QString, strDay);
        QFETCH(QString, strBalance);
        SFixture f;
        const QDate day(2004, 3, 2);
        const QStringList added = {QStringLiteral("甲"), QStringLiteral("乙"),
                                   QStringLiteral("丙")};
        for (int i = 0; i < added.size(); ++i)
            AddRow<CIncomeSet>(day, g_strCash, 10 * (i + 1), QStringLiteral("奖金收入"), added[i]);
        const QString strOther = QStringLiteral("other-copy");
        CDatabase::SetUrl(f.gui.Book().Url(), strOther);
        const auto closeOther = qScopeGuard([&] { CDatabase::Close(strOther); });
        CDayBook other(ERecordKind::Income, g_strUser, strOther);
        const auto dayText = [&] {
            QStringList list;
            for (const SDayRecord& r : other.LoadDay(day, g_strCash))
                list << r.strNote + QLatin1Char('=') + CMoney::Format(r.dAmount);
            return list.join(QLatin1Char(' '));
        };
        const QVector<SDayRecord> read = other.LoadDay(day, g_strCash);
        QCOMPARE(read.size(), 4);

        CIncomeView* pView = f.Income();
        Press(pView, 1022);
        Press(pView, 1017);
        // The other copy is first: 三月 150, 甲 removed, 乙 25, 丁 added.
        SDayEdit edit = SDayEdit::Adding({{QStringLiteral("奖金收入"), QStringLiteral("丁"), 5}});
        edit.changed = {{read[0], {read[0].strSort, read[0].strNote, 150}},
                        {read[2], {read[2].strSort, read[2].strNote, 25}}};
        edit.removed = {read[1]};
        other.Confirm(day, g_strCash, edit);
        const QString strTheirs = dayText();
        QCOMPARE(strTheirs, QStringLiteral("三月=150.00 乙=25.00 丙=30.00 丁=5.00"));
        // Here: 三月 120, 甲 renamed, 乙 removed, 丙 35.
        Type(pView, 1, 3, QStringLiteral("120"));
        Type(pView, 2, 2, QStringLiteral("甲改"));
        Type(pView, 4, 3, QStringLiteral("35"));
        ClickCell(pView, 3, 2);
        Press(pView, 1024);
        Press(pView, 1018);
        QStringList shown = Shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QStringLiteral("另一个窗口或另一台电脑")), qPrintable(shown[0]));
        QCOMPARE(dayText(), strTheirs);
        QVERIFY(CTestAccess::IsModifying(pView));
        // The day as it is now, with this copy's other changes on top.
        CMsflexgrid1* pGrid = Grid(pView);
        QStringList grid;
        for (int nRow = 1; nRow < pGrid->GetRows(); ++nRow) {
            const QModelIndex cell = pGrid->model()->index(nRow - 1, 1);
            grid << Cell(pView, nRow, 0) + Cell(pView, nRow, 2) + QLatin1Char('=') +
                        Cell(pView, nRow, 3) +
                        (cell.data(Qt::BackgroundRole).isValid() ? QStringLiteral("*") : QString());
        }
        QCOMPARE(grid, (QStringList{QStringLiteral("！三月=150.00*"), QStringLiteral("！乙=25.00*"),
                                    QStringLiteral("￥丙=35.00"), QStringLiteral("￥丁=5.00*")}));
        // The tip as the mouse resting on the row's amount brings it.
        const QPoint amount = pGrid->CellRect(1, 3, pGrid->viewport()).center();
        QHelpEvent help(QEvent::ToolTip, amount, pGrid->viewport()->mapToGlobal(amount));
        QApplication::sendEvent(pGrid->viewport(), &help);
        const QString strTip = QToolTip::text();
        QVERIFY2(strTip.contains(QStringLiteral("另一个窗口或另一台电脑")) &&
                     strTip.contains(QStringLiteral("您输入的是：工资收入 · 三月 · 120.00")),
                 qPrintable(strTip));
        QVERIFY(pGrid->model()
                    ->index(1, 2)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("您删除了这一行")));
        QVERIFY(pGrid->model()
                    ->index(3, 2)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("新增")));
        // A row both changed is chosen in the box, not typed over.
        ClickCell(pView, 1, 3);
        QVERIFY(!Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT)->isVisible());
        QWidget* pBox = Ctl(pView, CDayView::IDC_CONFLICT);
        QVERIFY(pBox->isVisible());
        const QList<QRadioButton*> mine =
            pBox->findChildren<QRadioButton*>(QString::number(CDayView::IDC_KEEP_MINE));
        const QList<QRadioButton*> theirs =
            pBox->findChildren<QRadioButton*>(QString::number(CDayView::IDC_KEEP_THEIRS));
        QCOMPARE(mine.size(), 3); // 三月, 甲 (removed there), 乙 (removed here)
        QCOMPARE(theirs.size(), 3);
        for (QRadioButton* pTheirs : theirs)
            QVERIFY(pTheirs->isChecked());

        if (strChoice.isEmpty()) {
            Press(pView, 1019);
        } else {
            for (int i = 0; i < strChoice.size(); ++i)
                QTest::mouseClick(strChoice[i] == QLatin1Char('m') ? mine[i] : theirs[i],
                                  Qt::LeftButton);
            Press(pView, 1018);
        }
        QCOMPARE(Shown(), QStringList());
        QCOMPARE(dayText(), strDay);
        QCOMPARE(Balance(g_strCash), strBalance);
        QVERIFY(!pView->IsEditing());
        QVERIFY(!pBox->isVisible());
        QVERIFY(!pGrid->model()->index(0, 1).data(Qt::BackgroundRole).isValid());
    }

    void floatingEditorStaysOnItsCell() {
        SFixture f;
        for (int i = 0; i < 40; ++i)
            AddRow<CIncomeSet>(QDate(2004, 6, 1), g_strCash, i + 1);
        CIncomeView* pView = f.Income();
        Press(pView, 1017);
        Type(pView, 3, 2, QStringLiteral("x"));
        Grid(pView)->verticalScrollBar()->setValue(5);
        QCOMPARE(Grid(pView)->GetTopRow(), 6);
        QCOMPARE(Ctl<QLineEdit>(pView, CDayView::IDC_EDIT_TEXT)->geometry(),
                 Grid(pView)->CellRect(3, 2, Grid(pView)->viewport()));
        Type(pView, 30, 3, QStringLiteral("9"));
        QCOMPARE(Cell(pView, 30, 3), QStringLiteral("9.00"));
        QCOMPARE(Cell(pView, 3, 2), QStringLiteral("x"));

        // Another day asked for while editing changes nothing under the edit.
        CTestAccess::AskDay(pView, QDate(2004, 3, 2));
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-6-1"));
        QCOMPARE(CTestAccess::Day(pView).month(), 6);
        QCOMPARE(Grid(pView)->GetRows(), 41);
        CLeftView* pTree = CTestAccess::TreeView(f.pFrame);
        for (QTreeWidgetItem* pMonth :
             pTree->findItems(QStringLiteral("3月"), Qt::MatchExactly | Qt::MatchRecursive))
            pMonth->setExpanded(true); // a month's days are made when it opens
        const QList<QTreeWidgetItem*> days =
            pTree->findItems(QStringLiteral("2日"), Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY(!days.isEmpty());
        pTree->setCurrentItem(days.front());
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-6-1"));
        QCOMPARE(Cell(pView, 30, 3), QStringLiteral("9.00"));
        QVERIFY(CTestAccess::IsModifying(pView));
    }

    void newDayDialogsOpenTheDay() {
        SFixture f;
        CToday::Set(QDate(2011, 5, 6));
        auto answer = [](bool bOk, const QDate& pick = QDate()) {
            CGuiTest::OnNextModal([bOk, pick](QWidget* pDlg) {
                auto* pCal =
                    pDlg->findChild<QCalendarWidget*>(QString::number(CNewDayDlg::IDC_CALENDAR));
                QCOMPARE(pCal->selectedDate(), QDate(2011, 5, 6)); // every showing starts on today
                if (pick.isValid())
                    pCal->setSelectedDate(pick);
                QTest::mouseClick(pDlg->findChild<QPushButton*>(QLatin1String(bOk ? "1" : "2")),
                                  Qt::LeftButton);
            });
        };
        answer(true);
        f.gui.Trigger(CMainFrame::ID_ADD_INCOME);
        QVERIFY(f.pFrame->View<CIncomeView>() && f.gui.IsChecked(CMainFrame::ID_INCOME_VIEW));
        QCOMPARE(Box(f.pFrame->View<CIncomeView>(), 1002), QStringLiteral("2011-5-6"));
        QCOMPARE(CTestAccess::TreeView(f.pFrame)->currentItem()->text(0), QStringLiteral("6日"));
        QVERIFY(CDayBook(ERecordKind::Income, g_strUser).HasDay(QDate(2011, 5, 6)));

        answer(true, QDate(2011, 5, 7));
        f.gui.Trigger(CMainFrame::ID_ADD_OUTLAY);
        QVERIFY(f.pFrame->View<COutlayView>() && !f.gui.IsChecked(CMainFrame::ID_INCOME_VIEW));
        QCOMPARE(Box(f.pFrame->View<COutlayView>(), 1002), QStringLiteral("2011-5-7"));

        answer(false, QDate(2011, 5, 9));
        f.gui.Trigger(CMainFrame::ID_ADD_OUTLAY);
        QVERIFY(!CDayBook(ERecordKind::Outlay, g_strUser).HasDay(QDate(2011, 5, 9)));
        QCOMPARE(Box(f.pFrame->View<COutlayView>(), 1002), QStringLiteral("2011-5-7"));

        // With an add open, no day is opened and nothing typed is lost.
        Press(f.pFrame->View<COutlayView>(), 1016);
        f.gui.Trigger(CMainFrame::ID_ADD_INCOME);
        QCOMPARE(Shown().size(), 1);
        QVERIFY(f.pFrame->View<COutlayView>() &&
                CTestAccess::IsAdding(f.pFrame->View<COutlayView>()));
        CToday::Set(QDate());
    }

    // Every way out of an open edit asks "保存 / 不保存 / 取消": 保存 stores the typed row and
    // leaves, 不保存 drops it and leaves, 取消 stays with the row still typed.
    void unsavedEditQuestionOnEveryWayOut() {
        enum EWay { View, Tree, Account, Navigation, Logout, Close };
        using C = CMessageBox::EChoice;
        for (const EWay eWay : {View, Tree, Account, Navigation, Logout, Close}) {
            for (const C eChoice : {C::Save, C::Discard, C::Cancel}) {
                const QByteArray tag =
                    QByteArray::number(eWay) + '/' + QByteArray::number(int(eChoice));
                SFixture f;
                CIncomeView* pView = f.Income(); // 2004-5-1, empty
                const QString strBank = CTestAccess::Bank(pView);
                Press(pView, 1016);
                Choose(pView, 1, 0);
                Type(pView, 1, 3, QStringLiteral("3"));
                Shown();
                CMessageBox::SetNextChoice(eChoice);
                switch (eWay) {
                case View:
                    f.gui.Trigger(CMainFrame::ID_SUM_VIEW);
                    break;
                case Tree:
                    CTestAccess::TreeView(f.pFrame)->ShowDay(2004, 3, 2);
                    break;
                case Account:
                    Ctl<QComboBox>(pView, CDayView::IDC_COMBO_BANK)
                        ->setCurrentIndex(
                            1 - Ctl<QComboBox>(pView, CDayView::IDC_COMBO_BANK)->currentIndex());
                    Q_EMIT Ctl<QComboBox>(pView, CDayView::IDC_COMBO_BANK)
                        ->activated(
                            Ctl<QComboBox>(pView, CDayView::IDC_COMBO_BANK)->currentIndex());
                    break;
                case Navigation:
                    Press(pView, 1022);
                    break;
                case Logout:
                    f.gui.Trigger(CMainFrame::ID_DISCONNECT);
                    break;
                case Close:
                    f.pFrame->close();
                    break;
                }
                const QStringList shown = Shown();
                QVERIFY2(!shown.isEmpty() &&
                             shown.first() == QStringLiteral("当前记录尚未保存，是否保存？"),
                         tag.constData());
                const int nStored = int(CDayBook(ERecordKind::Income, g_strUser)
                                            .LoadDay(QDate(2004, 5, 1), strBank)
                                            .size());
                QVERIFY2(nStored == (eChoice == C::Save ? 1 : 0), tag.constData());
                if (eChoice == C::Cancel) {
                    // Still there, still editing, the row still typed.
                    QVERIFY2(f.pFrame->View<CIncomeView>() == pView && pView->IsEditing(),
                             tag.constData());
                    QCOMPARE(Cell(pView, 1, 3), QStringLiteral("3.00"));
                    QCOMPARE(Box(pView, 1002), QStringLiteral("2004-5-1"));
                    QCOMPARE(CTestAccess::Bank(pView), strBank);
                    QVERIFY(f.pFrame->isVisible());
                    continue;
                }
                // Left: the other view, day or account, logged out, or closed.
                const bool bLeft = eWay == View   ? f.pFrame->View<CSumListView>() != nullptr
                                   : eWay == Tree ? Box(pView, 1002) == QStringLiteral("2004-3-2")
                                   : eWay == Account ? CTestAccess::Bank(pView) != strBank
                                   : eWay == Navigation
                                       ? Box(pView, 1002) == QStringLiteral("2004-3-2")
                                   : eWay == Logout ? !f.pFrame->Session()->IsLoggedIn()
                                                    : !f.pFrame->isVisible();
                QVERIFY2(bLeft, tag.constData());
            }
        }
    }

    // Rows are removed as part of an edit: 取消 brings them back, 确定 deletes them. A day
    // with nothing left can then be removed.
    void deleteRowsAndAnEmptyDay() {
        SFixture f;
        CIncomeView* pView = f.Income();
        Press(pView, 1022); // 2004-3-2, the cash record of 100
        QCOMPARE(CTestAccess::Bank(pView), g_strCash);
        QVERIFY(!Ctl(pView, CDayView::IDC_DELETE_ROW)->isEnabled());
        Press(pView, 1017);
        ClickCell(pView, 1, 2);
        Press(pView, CDayView::IDC_DELETE_ROW);
        QCOMPARE(Grid(pView)->GetRows(), 1);
        Press(pView, 1019);
        QCOMPARE(Cell(pView, 1, 3), QStringLiteral("100.00"));
        QVERIFY(!pView->IsEditing());
        Press(pView, 1017);
        Grid(pView)->setCurrentIndex(Grid(pView)->model()->index(0, 1));
        QTest::keyClick(Grid(pView), Qt::Key_Delete);
        QCOMPARE(Grid(pView)->GetRows(), 1);
        Press(pView, 1018);
        QVERIFY(CDayBook(ERecordKind::Income, g_strUser)
                    .LoadDay(QDate(2004, 3, 2), g_strCash)
                    .isEmpty());
        QCOMPARE(Balance(g_strCash), QStringLiteral("900.00"));

        // The bank record of that day is still there: refused. 2004-5-1 is empty: removed.
        Shown();
        Press(pView, CDayView::IDC_DELETE_DAY);
        QCOMPARE(Shown().last(), CEmptyDay::Message(CEmptyDay::ERemove::HasRecords));
        Press(pView, 1023);
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-5-1"));
        Press(pView, CDayView::IDC_DELETE_DAY);
        QCOMPARE(Shown(), QStringList{QStringLiteral("确定删除 2004年5月1日 这一天吗？")});
        QVERIFY(!CDayBook(ERecordKind::Income, g_strUser).HasDay(QDate(2004, 5, 1)));
        QCOMPARE(Box(pView, 1002), QStringLiteral("2004-4-2"));
        QTreeWidgetItem* pItem = CTestAccess::TreeView(f.pFrame)->currentItem();
        QVERIFY(pItem && pItem->parent());
        QCOMPARE(pItem->parent()->text(0) + pItem->text(0), QStringLiteral("4月2日"));
    }

    // Outlay that takes a budget past 100 % is said in the status bar, and the month's summary
    // shows that budget's bar red; outlay within the budget says nothing.
    void budgetCrossedSaidAndShownRed() {
        SFixture f;
        CTestRows::AddUser(g_strUser);
        CBudget::Apply(g_strUser, {{QStringLiteral("用餐支出"), 0, 5000}, {QString(), 0, 100000}});
        COutlayView* pView = f.Outlay();
        pView->ShowScope(CScope::OfDay(QDate(2004, 3, 2)));
        for (const char* szAmount : {"15", "5.01"}) {
            Press(pView, 1016);
            Choose(pView, Grid(pView)->GetRows() - 1, 0);
            Type(pView, Grid(pView)->GetRows() - 1, 3, QString::fromLatin1(szAmount));
            f.pFrame->SetStatusText(QString());
            Press(pView, 1018);
            QVERIFY(Shown().isEmpty());
        }
        // 30 + 15 is within 50.00; 5.01 more is 0.01 past it.
        QCOMPARE(f.pFrame->statusBar()->currentMessage(),
                 QStringLiteral("本月预算已超出：用餐支出超出 0.01元"));

        f.gui.Trigger(CMainFrame::ID_SUM_VIEW);
        auto* pSummary = f.pFrame->View<CSumListView>();
        pSummary->ShowScope(CScope::OfMonth(2004, 3));
        QTableWidget* pLines = pSummary->findChild<QTableWidget*>(QStringLiteral("1021"));
        QVERIFY(pLines && pLines->isVisible());
        QCOMPARE(pLines->rowCount(), 2);
        const QStringList expected[2] = {{QStringLiteral("全部支出"), QStringLiteral("1000.00元"),
                                          QStringLiteral("50.01元"), QStringLiteral("949.99元")},
                                         {QStringLiteral("用餐支出"), QStringLiteral("50.00元"),
                                          QStringLiteral("50.01元"),
                                          QStringLiteral("超出 0.01元")}};
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 4; ++c)
                QCOMPARE(pLines->item(r, c)->text(), expected[r][c]);
            const QTableWidgetItem* pBar = pLines->item(r, 4);
            QCOMPARE(pBar->data(CBudgetPanel::OverRole).toBool(), r == 1);
            QCOMPARE(pBar->text(), r == 1 ? QStringLiteral("100%") : QStringLiteral("5%"));
            QCOMPARE(pBar->data(CBudgetPanel::FilledRole).toInt(), r == 1 ? 100 : 5);
        }
    }
};

QTEST_MAIN(TestDailyViews)
#include "tst_dailyviews.moc"
