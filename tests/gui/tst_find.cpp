#include "accounts/ctrsrptdlg.h"
#include "analysis/cfinddlg.h"
#include "analysis/cpreviewframe.h"
#include "cguitest.h"
#include "ckeptcheck.h"
#include "ctestaccess.h"
#include "ctestrows.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "data/csearchtext.h"
#include "data/ctransaction.h"
#include "data/ctrsset.h"
#include "records/cdayview.h"
#include "widgets/cmsflexgrid1.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSet>
#include <QtTest>

namespace {

const QString U = QStringLiteral("张三");
const QDate Day(2024, 5, 6);

void AddOutlay(const QString& strBank, const QString& strNote, double dAmount,
               const QString& strUser = U) {
    CTestRows::AddRecord<COutlaySet>(strUser, QDateTime(Day, QTime()), strBank,
                                     QStringLiteral("其它支出"), strNote, dAmount);
}

// Two accounts; three outlay rows on one day of the second, the plumber's in the middle;
// income on another day; a transfer; another user's plumber that must never show.
void BuildBook() {
    for (const QString& strBank : {QStringLiteral("现金"), QStringLiteral("银行")})
        CTestRows::AddBank(U, strBank, 500);
    AddOutlay(QStringLiteral("银行"), QStringLiteral("买菜"), 35);
    AddOutlay(QStringLiteral("银行"), QStringLiteral("请水管工修水管"), 120.5);
    AddOutlay(QStringLiteral("银行"), QStringLiteral("晚饭"), 80);
    AddOutlay(QStringLiteral("现金"), QStringLiteral("水管工的茶水"), 10);
    CTestRows::AddRecord<CIncomeSet>(U, QDateTime(QDate(2024, 4, 1), QTime()),
                                     QStringLiteral("现金"), QStringLiteral("工资收入"),
                                     QStringLiteral("四月工资"), 5000);
    AddOutlay(QStringLiteral("银行"), QStringLiteral("水管工"), 999, QStringLiteral("李四"));
    CTrsSet trs;
    trs.AddNew();
    trs.m_UserName = U;
    trs.m_TrsDate = QDateTime(Day, QTime());
    trs.m_TrsFrom = QStringLiteral("现金");
    trs.m_TrsIn = QStringLiteral("银行");
    trs.m_TrsAmount = 66;
    trs.Update();
}

} // namespace

class TestFind : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Ctrl+F, type, Enter: the record's day in its view, on its account, with its row chosen;
    // the list counts and sums what it shows and prints like a report.
    void typedWordsOpenTheRecordsDay() {
        CGuiTest gui;
        BuildBook();
        gui.LogIn(U);
        QVERIFY(gui.Trigger(CMainFrame::ID_FIND));
        auto* pDlg = gui.Find<CFindDlg>(QStringLiteral("CFindDlg"));
        QVERIFY(pDlg && pDlg->isVisible());
        auto* pWords = gui.Find<QLineEdit>(CFindDlg::IDC_FIND_WORDS);
        auto* pSummary = gui.Find<QLabel>(CFindDlg::IDC_FIND_SUMMARY);
        // Before anything is typed nothing is listed (every record of a long book is no answer).
        QCOMPARE(pDlg->Grid()->GetRows(), 1);
        QCOMPARE(pSummary->text(), QStringLiteral("请输入要查找的文字、金额或日期。"));

        // Chinese arrives as an input method commits it, one word after another.
        for (const QString& strTyped : {QStringLiteral("水"), QStringLiteral("管")}) {
            QInputMethodEvent typed;
            typed.setCommitString(strTyped);
            QApplication::sendEvent(pWords, &typed);
        }
        CGuiTest::ProcessEvents();
        QCOMPARE(pDlg->Grid()->GetRows(), 1 + 2);
        QCOMPARE(pSummary->text(), QStringLiteral("共 2 条；支出 2 条，130.50 元"));
        gui.Find<QLineEdit>(CFindDlg::IDC_FIND_MIN)->setText(QStringLiteral("１００"));
        CGuiTest::ProcessEvents();
        QCOMPARE(pSummary->text(), QStringLiteral("没有找到记录。")); // exactly 100
        gui.Find<QLineEdit>(CFindDlg::IDC_FIND_MAX)->setText(QStringLiteral("200"));
        CGuiTest::ProcessEvents();
        QCOMPARE(pDlg->Grid()->GetRows(), 1 + 1);
        QCOMPARE(pDlg->Grid()->GetTextMatrix(1, 4), QStringLiteral("请水管工修水管"));
        QCOMPARE(pDlg->Grid()->GetTextMatrix(1, 6), QStringLiteral("银行"));

        // The list prints as a report does: one page, the total under it.
        pDlg->OnPreview();
        auto* pPreview = gui.Find<CPreViewFrame>(QStringLiteral("CPreViewFrame"));
        QVERIFY(pPreview);
        QCOMPARE(pPreview->PageCount(), 1);
        pPreview->close();
        CGuiTest::ProcessEvents();

        QTest::keyClick(pWords, Qt::Key_Return);
        auto* pDay = gui.Frame()->View<CDayView>();
        QVERIFY(pDay);
        QCOMPARE(gui.Frame()->ShownView(), CMainFrame::EView::Outlay);
        QCOMPARE(CTestAccess::Day(pDay), QDate(2024, 5, 6));
        QCOMPARE(CTestAccess::Bank(pDay), QStringLiteral("银行"));
        auto* pGrid = gui.Find<CMsflexgrid1>(CDayView::IDC_GRID_RECORDS);
        const int nRow = pGrid->currentIndex().row() + 1;
        QCOMPARE(pGrid->GetTextMatrix(nRow, 2), QStringLiteral("请水管工修水管"));
        QCOMPARE(pGrid->GetRows(), 1 + 3);

        // A transfer opens in the transfer list, chosen there.
        gui.Find<QLineEdit>(CFindDlg::IDC_FIND_MIN)->clear();
        gui.Find<QLineEdit>(CFindDlg::IDC_FIND_MAX)->clear();
        gui.Find<QComboBox>(CFindDlg::IDC_FIND_KIND)->setCurrentIndex(3);
        pWords->setText(QStringLiteral("银行")); // an account's name finds the transfer
        CGuiTest::ProcessEvents();
        QCOMPARE(pSummary->text(), QStringLiteral("共 1 条；转账 1 条，66.00 元"));
        QTest::keyClick(pDlg->Grid(), Qt::Key_Return);
        auto* pList = gui.Find<CTrsRptDlg>(QStringLiteral("CTrsRptDlg"));
        QVERIFY(pList && pList->isVisible());
        QCOMPARE(pList->findChild<CMsflexgrid1*>(QString::number(CTrsRptDlg::IDC_GRID))
                     ->currentIndex()
                     .row(),
                 0);
        pList->close();
    }

    // An older book's words are filled while 查找 is open, the progress shown: closing the
    // window pauses, opening it again goes on; what is found is right all along.
    void anOlderBooksWordsAreFilledWhileFindIsOpen() {
        CGuiTest gui;
        BuildBook();
        CKeptCheck::RemakeKeptWords(0);
        gui.LogIn(U);
        QVERIFY(gui.Trigger(CMainFrame::ID_FIND));
        auto* pDlg = gui.Find<CFindDlg>(QStringLiteral("CFindDlg"));
        auto* pBar = gui.Find<QProgressBar>(CFindDlg::IDC_FIND_BUILD);
        QVERIFY(pBar->isVisible() && pDlg->IsFilling());
        QCOMPARE(gui.Find<QLabel>(CFindDlg::IDC_FIND_BUILD_TEXT)->text().left(10),
                 QStringLiteral("正在为查找建立索引…"));
        pDlg->close();
        QVERIFY(!pDlg->IsFilling() && !CSearchText::Filled().IsDone());
        QVERIFY(gui.Trigger(CMainFrame::ID_FIND));
        gui.Find<QLineEdit>(CFindDlg::IDC_FIND_WORDS)->setText(QStringLiteral("水管"));
        for (int i = 0; i < 100 && pDlg->IsFilling(); ++i)
            CGuiTest::ProcessEvents();
        QVERIFY(!pDlg->IsFilling() && !pBar->isVisible());
        QVERIFY(CSearchText::IsReady());
        QCOMPARE(CKeptCheck::KeptWordsLines().size(), CKeptCheck::RecordRows());
        QCOMPARE(gui.Find<QLabel>(CFindDlg::IDC_FIND_SUMMARY)->text(),
                 QStringLiteral("共 2 条；支出 2 条，130.50 元"));
    }

    // Many hits: all counted and summed at once, their rows read as the list is scrolled to
    // them, and every one of them, once, in the printed list.
    void aLongListIsReadAsItIsScrolled() {
        CGuiTest gui;
        CTestRows::AddBank(U, QStringLiteral("银行"), 0);
        const int nRows = CRecordSearch::PageRows * 2 + 50;
        QSet<QString> notes;
        {
            CTransaction tx;
            for (int i = 0; i < nRows; ++i) {
                notes << QStringLiteral("水管 %1").arg(i);
                CTestRows::AddRecord<COutlaySet>(U, QDateTime(Day.addDays(i % 30), QTime()),
                                                 QStringLiteral("银行"), QStringLiteral("其它支出"),
                                                 QStringLiteral("水管 %1").arg(i), 1.25);
            }
            tx.Commit();
        }
        gui.LogIn(U);
        QVERIFY(gui.Trigger(CMainFrame::ID_FIND));
        auto* pDlg = gui.Find<CFindDlg>(QStringLiteral("CFindDlg"));
        gui.Find<QLineEdit>(CFindDlg::IDC_FIND_WORDS)->setText(QStringLiteral("水管"));
        CGuiTest::ProcessEvents();
        QCOMPARE(
            gui.Find<QLabel>(CFindDlg::IDC_FIND_SUMMARY)->text(),
            QStringLiteral("共 %1 条；支出 %1 条，%2 元").arg(nRows).arg(nRows * 1.25, 0, 'f', 2));
        CMsflexgrid1* pGrid = pDlg->Grid();
        QCOMPARE(pGrid->GetRows(), 1 + CRecordSearch::PageRows);
        pGrid->scrollToBottom();
        CGuiTest::ProcessEvents();
        QVERIFY(pGrid->GetRows() > 1 + CRecordSearch::PageRows);
        pDlg->OnPreview(); // what is printed: the whole list
        QCOMPARE(pGrid->GetRows(), 1 + nRows);
        QSet<QString> listed;
        for (int r = 1; r <= nRows; ++r)
            listed << pGrid->GetTextMatrix(r, 4);
        QCOMPARE(listed, notes);
        gui.Find<CPreViewFrame>(QStringLiteral("CPreViewFrame"))->close();
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
