#include "analysis/csumlistview.h"
#include "app/cmainframe.h"
#include "cbookbuilder.h"
#include "cguitest.h"
#include "ctestrows.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "plans/cbudget.h"
#include "plans/cbudgetdlg.h"
#include "plans/cduedlg.h"
#include "plans/crecurring.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

namespace {

const QString User = QStringLiteral("张三");
const QString Bank = QStringLiteral("银行");
const QString Rent = QStringLiteral("房租支出");

void AddUser() {
    CBookBuilder::SOptions o;
    o.nDays = 0;
    o.nTransfers = 0;
    o.firstDay = QDate(2026, 10, 1);
    CBookBuilder::AddUser(User, QStringLiteral("pw"), o);
}

void Click(QWidget* pDialog, int nId) {
    auto* pButton = pDialog->findChild<QPushButton*>(QString::number(nId));
    QVERIFY(pButton);
    QTest::mouseClick(pButton, Qt::LeftButton);
}

QString Outlay(const QDate& day) {
    QStringList list;
    for (const SDayRecord& r : CDayBook(ERecordKind::Outlay, User).LoadDay(day, Bank))
        list << r.strSort + QLatin1Char(' ') + CMoney::Format(r.dAmount);
    return list.join(QLatin1Char(','));
}

} // namespace

class TestPlansGui : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { CToday::Set({}); }

    // The dialog shows what is stored, refuses a cell that is not an amount, and writes only the
    // cells changed: the summary then shows the budgets of this month.
    void budgetDialogWritesItsChanges() {
        CGuiTest gui;
        AddUser();
        CToday::Set(QDate(2026, 12, 9));
        gui.LogIn(User);
        CBudget::Apply(User, {{QString(), 0, 300000}, {Rent, 12, 250000}});
        QStringList shown;
        gui.OnNextModal([&](QWidget* pModal) {
            auto* pDlg = qobject_cast<CBudgetDlg*>(pModal);
            QVERIFY(pDlg);
            auto* pTable =
                pDlg->findChild<QTableWidget*>(QString::number(CBudgetDlg::IDC_BUDGET_TABLE));
            const int nRent = CBudget::Categories(User).indexOf(Rent) + 1;
            QCOMPARE(pTable->item(0, 0)->text(), QStringLiteral("3000.00"));
            QCOMPARE(pTable->item(nRent, 12)->text(), QStringLiteral("2500.00"));
            pTable->item(1, 0)->setText(QStringLiteral("1,000"));
            Click(pDlg, CBudgetDlg::IDOK);
            QVERIFY(pDlg->isVisible());
            shown = gui.Messages();
            pTable->item(1, 0)->setText(QStringLiteral("800"));
            pTable->item(nRent, 12)->setText(QString());
            Click(pDlg, CBudgetDlg::IDOK);
        });
        QVERIFY(gui.Trigger(CMainFrame::ID_BUDGET));
        QCOMPARE(shown, QStringList{QStringLiteral(
                            "“用餐支出”每月的预算：1,000 是 1000 吗？请写 1000，不加逗号")});
        const QVector<CBudget::SAmount> expected{{QString(), 0, 300000},
                                                 {QStringLiteral("用餐支出"), 0, 80000}};
        QCOMPARE(CBudget::Amounts(User), expected);
        auto* pLines = gui.Find<QTableWidget>(1021);
        QVERIFY(pLines && pLines->isVisible());
        QCOMPARE(pLines->rowCount(), 2);
        QCOMPARE(gui.Find<QLabel>(1020)->text(), QStringLiteral("2026年12月预算　本月还剩 23 天"));
    }

    // Rent due on the first of two months is listed at login; 记入 writes each once, the
    // amount changed for one of them; what another copy wrote first is not written again; at
    // midnight the next month's rent is listed again.
    void dueRentListedAtLoginWrittenOnce() {
        CGuiTest gui;
        AddUser();
        CRecurring::STemplate rent;
        rent.strSort = Rent;
        rent.strNote = QStringLiteral("房租");
        rent.strBank = Bank;
        rent.nCents = 250000;
        rent.start = QDate(2026, 11, 1);
        CRecurring::Add(User, rent);
        CToday::Set(QDate(2026, 12, 31));
        const QString strOther = QStringLiteral("other-copy");
        CDatabase::SetUrl(gui.Book().Url(), strOther);

        QStringList rows;
        gui.OnNextModal([&](QWidget* pModal) {
            auto* pDlg = qobject_cast<CDueDlg*>(pModal);
            QVERIFY(pDlg);
            auto* pTable =
                pDlg->findChild<QTableWidget*>(QString::number(CBudgetDlg::IDC_BUDGET_TABLE));
            for (int r = 0; r < pTable->rowCount(); ++r)
                rows << pTable->item(r, CDueDlg::ColDay)->text() + QLatin1Char(' ') +
                            pTable->item(r, CDueDlg::ColAmount)->text();
            pTable->item(0, CDueDlg::ColAmount)->setText(QStringLiteral("2600"));
            // Another copy writes December's rent while this one shows it.
            QCOMPARE(
                CRecurring::Write(User, rent.nId, QDate(2026, 12, 1), rent.nCents, 0, strOther),
                CRecurring::EWrite::Written);
            Click(pDlg, CDueDlg::IDC_WRITE);
            QCOMPARE(pTable->item(0, CDueDlg::ColResult)->text(), QStringLiteral("已记入"));
            QCOMPARE(pTable->item(1, CDueDlg::ColResult)->text(),
                     QStringLiteral("已由另一个窗口或另一台电脑处理，未重复记入"));
            Click(pDlg, CDueDlg::IDCANCEL);
        });
        gui.LogIn(User);
        QCOMPARE(rows, (QStringList{QStringLiteral("2026-11-01 2500.00"),
                                    QStringLiteral("2026-12-01 2500.00")}));
        QVERIFY(gui.Messages().isEmpty());
        QCOMPARE(Outlay(QDate(2026, 11, 1)), QStringLiteral("房租支出 2600.00"));
        QCOMPARE(Outlay(QDate(2026, 12, 1)), QStringLiteral("房租支出 2500.00"));
        QCOMPARE(
            CTestRows::Balance(User, Bank),
            CMoney::Format(CMoney::FromCents(CBookBuilder::OpeningCents(User, Bank) - 510000)));
        QVERIFY(CRecurring::Due(User, CToday::Get()).isEmpty());

        // Past midnight into January: the day watch lists January's rent.
        CToday::Set(QDate(2027, 1, 1));
        rows.clear();
        gui.OnNextModal([&](QWidget* pModal) {
            auto* pDlg = qobject_cast<CDueDlg*>(pModal);
            QVERIFY(pDlg);
            rows << pDlg->findChild<QTableWidget*>(QString::number(CDueDlg::IDC_DUE_LIST))
                        ->item(0, CDueDlg::ColDay)
                        ->text();
            Click(pDlg, CDueDlg::IDC_SKIP);
            Click(pDlg, CDueDlg::IDCANCEL);
        });
        auto* pWatch = gui.Frame()->findChild<QTimer*>(QStringLiteral("dayWatch"));
        QVERIFY(pWatch);
        QVERIFY(QMetaObject::invokeMethod(pWatch, "timeout"));
        QCOMPARE(rows, QStringList{QStringLiteral("2027-01-01")});
        QCOMPARE(Outlay(QDate(2027, 1, 1)), QString());
        QVERIFY(CRecurring::Due(User, CToday::Get()).isEmpty());
        CDatabase::Close(strOther);
    }
};

QTEST_MAIN(TestPlansGui)
#include "tst_plans_gui.moc"
