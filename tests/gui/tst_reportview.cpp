#include "analysis/cpreviewframe.h"
#include "analysis/crptview.h"
#include "app/cleftview.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "data/cbankset.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "data/ctrsset.h"
#include "widgets/cmsflexgrid1.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString U = QStringLiteral("张三");

template <class TSet>
void Add(const QDate& date, const QString& strSort, double dAmount, const QString& strBank,
         const QString& strUser = U) {
    TSet set;
    set.Open();
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(date, QTime(0, 0));
    set.m_Sort = strSort;
    set.m_Note = strSort.isEmpty() ? QString() : QStringLiteral("备注");
    set.m_Bank = strBank;
    set.m_Amount = dAmount;
    set.Update();
}

// Income on 2004-3-1, a marker-only day 3-2, income on 3-3 (two categories) and 3-9;
// outlay on 4-1; two accounts; one transfer; and another user's rows that must never show.
void BuildBook() {
    const QString cash = QStringLiteral("现金");
    Add<CIncomeSet>(QDate(2004, 3, 1), QStringLiteral("工资收入"), 1000, cash);
    Add<CIncomeSet>(QDate(2004, 3, 2), QString(), 0, QString());
    Add<CIncomeSet>(QDate(2004, 3, 3), QStringLiteral("奖金收入"), 200.5, cash);
    Add<CIncomeSet>(QDate(2004, 3, 3), QStringLiteral("工资收入"), 0.25, cash);
    Add<CIncomeSet>(QDate(2004, 3, 9), QStringLiteral("工资收入"), 9, cash);
    Add<COutlaySet>(QDate(2004, 4, 1), QStringLiteral("用餐支出"), 12.5, cash);
    Add<CIncomeSet>(QDate(2004, 3, 5), QStringLiteral("工资收入"), 777, cash,
                    QStringLiteral("李四"));
    for (const QString& strName : {cash, QStringLiteral("工商银行")}) {
        CBankSet set;
        set.Open();
        set.AddNew();
        set.m_UserName = U;
        set.m_CardName = strName;
        set.m_CardSum = QStringLiteral("日常");
        set.m_CardCash = 100.1;
        set.Update();
    }
    CTrsSet trs;
    trs.Open();
    trs.AddNew();
    trs.m_UserName = U;
    trs.m_TrsDate = QDateTime(QDate(2004, 5, 6), QTime(0, 0));
    trs.m_TrsFrom = cash;
    trs.m_TrsIn = QStringLiteral("工商银行");
    trs.m_TrsAmount = 50;
    trs.Update();
}

QStringList Items(QComboBox* pCombo) {
    QStringList list;
    for (int i = 0; i < pCombo->count(); ++i)
        list << pCombo->itemText(i);
    return list;
}

// A person choosing an entry of a drop-down list.
void Choose(QComboBox* pCombo, const QString& strText) {
    const int n = pCombo->findText(strText);
    QVERIFY2(n >= 0, qPrintable(strText));
    pCombo->setCurrentIndex(n);
    Q_EMIT pCombo->activated(n);
}

QStringList Row(CMsflexgrid1* pGrid, int nRow) {
    QStringList list;
    for (int c = 1; c < pGrid->GetCols(); ++c)
        list << pGrid->GetTextMatrix(nRow, c);
    return list;
}

QString D(int y, int m, int d) {
    return QStringLiteral("%1年%2月%3日").arg(y).arg(m).arg(d);
}

struct SReportGui {
    CGuiTest gui;
    CRptView* pView = nullptr;
    QComboBox *pKind, *pIn, *pOut, *pStart, *pEnd;
    CMsflexgrid1* pGrid;

    SReportGui() {
        BuildBook();
        gui.LogIn(U);
        gui.Trigger(CMainFrame::ID_RPT_VIEW);
        pView = gui.Frame()->View<CRptView>();
        pKind = gui.Find<QComboBox>(CRptView::IDC_QUERY_KIND);
        pIn = gui.Find<QComboBox>(CRptView::IDC_IN_SORT);
        pOut = gui.Find<QComboBox>(CRptView::IDC_OUT_SORT);
        pStart = gui.Find<QComboBox>(CRptView::IDC_START_DATE);
        pEnd = gui.Find<QComboBox>(CRptView::IDC_END_DATE);
        pGrid = gui.Find<CMsflexgrid1>(CRptView::IDC_GRID);
    }
    void Query() { gui.Find<QPushButton>(CRptView::IDC_QUERY)->click(); }
};
} // namespace

class TestReportView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandOpensTheViewWithTheTreeEmptied() {
        SReportGui t;
        QVERIFY(t.pView);
        QCOMPARE(CTestAccess::TreeView(t.gui.Frame())->topLevelItemCount(), 0);
        QVERIFY(t.gui.IsChecked(CMainFrame::ID_RPT_VIEW));
        QCOMPARE(t.pKind->currentText(), QStringLiteral("账户记录"));
        QCOMPARE(CTestAccess::QueryKind(t.pView), QStringLiteral("账户记录"));
        for (QComboBox* p : {t.pIn, t.pOut, t.pStart, t.pEnd})
            QVERIFY(!p->isEnabled());
    }

    void conditionsEnableAndFillTheLists() {
        SReportGui t;
        Choose(t.pKind, QStringLiteral("收入记录"));
        for (QComboBox* p : {t.pIn, t.pOut, t.pStart, t.pEnd})
            QVERIFY(p->isEnabled());
        QVERIFY(t.pIn->isVisible());
        QVERIFY(!t.pOut->isVisible());
        QCOMPARE(CTestAccess::InSort(t.pView), QStringLiteral("全部收入"));
        QCOMPARE(Items(t.pIn).size(), 9);
        // Every distinct day once, the marker-only day included; other users' days not.
        const QStringList days{D(2004, 3, 1), D(2004, 3, 2), D(2004, 3, 3), D(2004, 3, 9)};
        QCOMPARE(Items(t.pStart), days);
        QCOMPARE(t.pStart->currentIndex(), 0);
        QCOMPARE(Items(t.pEnd), days);
        QCOMPARE(t.pEnd->currentText(), D(2004, 3, 9));

        // The end list starts at the chosen start; the end resets to its last entry.
        Choose(t.pEnd, D(2004, 3, 3));
        Choose(t.pStart, D(2004, 3, 2));
        QCOMPARE(Items(t.pEnd), days.mid(1));
        QCOMPARE(t.pEnd->currentText(), D(2004, 3, 9));

        Choose(t.pKind, QStringLiteral("支出记录"));
        QVERIFY(!t.pIn->isVisible());
        QVERIFY(t.pOut->isVisible());
        QCOMPARE(t.pOut->currentText(), QStringLiteral("全部支出"));
        QCOMPARE(Items(t.pOut).size(), 13);
        QCOMPARE(Items(t.pStart), QStringList{D(2004, 4, 1)});

        Choose(t.pKind, QStringLiteral("账户记录"));
        for (QComboBox* p : {t.pIn, t.pOut, t.pStart, t.pEnd})
            QVERIFY(!p->isEnabled());
        QCOMPARE(t.pStart->count(), 0);
        QCOMPARE(t.pEnd->count(), 0);
        QCOMPARE(t.pOut->currentIndex(), -1);
    }

    void queryDispatchesToTheFourReports() {
        SReportGui t;
        t.Query(); // accounts, the initial condition
        QCOMPARE(t.pGrid->GetCols(), 4);
        QCOMPARE(Row(t.pGrid, 0), (QStringList{QStringLiteral("账号名"), QStringLiteral("备注"),
                                               QStringLiteral("金额")}));
        QCOMPARE(t.pGrid->GetRows(), 3);
        QCOMPARE(Row(t.pGrid, 2), (QStringList{QStringLiteral("工商银行"), QStringLiteral("日常"),
                                               QStringLiteral("100.10元")}));
        QCOMPARE(CTestAccess::ReportTotal(t.pView), 200.2);

        Choose(t.pKind, QStringLiteral("转账记录"));
        t.Query();
        QCOMPARE(Row(t.pGrid, 0),
                 (QStringList{QStringLiteral("日期"), QStringLiteral("转出账号"),
                              QStringLiteral("转入账号"), QStringLiteral("转账金额")}));
        QCOMPARE(Row(t.pGrid, 1),
                 (QStringList{D(2004, 5, 6), QStringLiteral("现金"), QStringLiteral("工商银行"),
                              QStringLiteral("50.00元")}));

        Choose(t.pKind, QStringLiteral("收入记录"));
        t.Query();
        QCOMPARE(Row(t.pGrid, 0),
                 (QStringList{QStringLiteral("日期"), QStringLiteral("收入分类"),
                              QStringLiteral("摘要"), QStringLiteral("收入金额")}));
        QCOMPARE(t.pGrid->GetColWidth(0), 500);
        QCOMPARE(t.pGrid->GetColWidth(3), 3000);
        QCOMPARE(t.pGrid->GetColWidth(4), 2000);
        QCOMPARE(t.pGrid->GetRows(), 5); // four records; the marker day is left out
        QCOMPARE(CTestAccess::ReportTotal(t.pView), 1209.75);
        QCOMPARE(t.gui.Find<QLabel>(QStringLiteral("ReportSummary"))->text(),
                 QStringLiteral("共 4 条记录　合计：1209.75元"));

        // One category within a range whose start equals its end.
        Choose(t.pIn, QStringLiteral("工资收入"));
        Choose(t.pStart, D(2004, 3, 3));
        Choose(t.pEnd, D(2004, 3, 3));
        t.Query();
        QCOMPARE(t.pGrid->GetRows(), 2);
        QCOMPARE(Row(t.pGrid, 1), (QStringList{D(2004, 3, 3), QStringLiteral("工资收入"),
                                               QStringLiteral("备注"), QStringLiteral("0.25元")}));
        QCOMPARE(CTestAccess::ReportTotal(t.pView), 0.25);

        Choose(t.pKind, QStringLiteral("支出记录"));
        t.Query();
        QCOMPARE(Row(t.pGrid, 0).value(1), QStringLiteral("支出分类"));
        QCOMPARE(Row(t.pGrid, 1).value(3), QStringLiteral("12.50元"));
        // Changing the condition alone keeps the rows of the last query.
        Choose(t.pKind, QStringLiteral("账户记录"));
        QCOMPARE(Row(t.pGrid, 1).value(3), QStringLiteral("12.50元"));
    }

    void csvExportWritesTheGrid() {
        SReportGui t;
        Choose(t.pKind, QStringLiteral("收入记录"));
        t.Query();
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("报表"));
        CPreViewFrame::SetFileChooser(
            [&](QWidget*, const QString&, const QString&, const QString&) { return strPath; });
        t.gui.Find<QPushButton>(CRptView::IDC_EXPORT_CSV)->click();
        QFile file(strPath + QStringLiteral(".csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll().mid(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.value(0), QStringLiteral("日期,收入分类,摘要,收入金额"));
        QCOMPARE(lines.value(4), QStringLiteral("2004-03-09,工资收入,备注,9.00"));
        QCOMPARE(lines.size(), 6); // header, four rows, the empty tail

        // A file that cannot be written is reported, not silently dropped.
        CPreViewFrame::SetFileChooser(
            [&](QWidget*, const QString&, const QString&, const QString&) {
                return dir.filePath(QStringLiteral("no/such/dir/r.csv"));
            });
        t.gui.Find<QPushButton>(CRptView::IDC_EXPORT_CSV)->click();
        QCOMPARE(t.gui.Messages().size(), 1);
        QVERIFY(t.gui.Messages().value(0).startsWith(QStringLiteral("导出CSV失败")));
        CPreViewFrame::SetFileChooser({});
    }
};

QTEST_MAIN(TestReportView)
#include "tst_reportview.moc"
