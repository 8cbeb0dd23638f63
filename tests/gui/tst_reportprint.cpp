#include "analysis/cpreviewframe.h"
#include "analysis/creportprinter.h"
#include "analysis/crptview.h"
#include "cguitest.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "data/ctransaction.h"
#include "widgets/cmsflexgrid1.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGraphicsView>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString U = QStringLiteral("张三");

// nRows income records of 1.01 yuan each, one a day from 2010-01-01, with long notes.
void AddIncomeRows(int nRows) {
    CTransaction trs;
    CIncomeSet set;
    set.Open();
    for (int i = 0; i < nRows; ++i) {
        set.AddNew();
        set.m_UserName = U;
        set.m_Date = QDateTime(QDate(2010, 1, 1).addDays(i), QTime(0, 0));
        set.m_Sort = QStringLiteral("工资收入");
        set.m_Note =
            QStringLiteral("第%1笔收入的一段相当长的说明文字，超出摘要一栏的宽度").arg(i + 1);
        set.m_Bank = QStringLiteral("现金");
        set.m_Amount = 1.01;
        set.Update();
    }
    trs.Commit();
}

void Choose(QComboBox* pCombo, const QString& strText) {
    const int n = pCombo->findText(strText);
    pCombo->setCurrentIndex(n);
    Q_EMIT pCombo->activated(n);
}

// The text of each page of a PDF, as pdftotext lays it out.
QStringList PdfPages(const QString& strPath) {
    QProcess proc;
    proc.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-layout"), strPath, QStringLiteral("-")});
    if (!proc.waitForFinished(30000) || proc.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(proc.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.constLast().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Rows with a date, apart from the line saying which dates the report covers.
int DateRows(const QString& strPage) {
    static const QRegularExpression date(QStringLiteral("\\d+年\\d+月\\d+日"));
    int n = 0;
    for (const QString& strLine : strPage.split(QLatin1Char('\n')))
        if (!strLine.contains(QStringLiteral("条件：")) && date.match(strLine).hasMatch())
            ++n;
    return n;
}

// A logged-in frame on the report view with nRows income records queried.
struct SPrintGui {
    CGuiTest gui;
    QTemporaryDir dir;
    CRptView* pView = nullptr;

    explicit SPrintGui(int nRows) {
        AddIncomeRows(nRows);
        gui.LogIn(U);
        gui.Trigger(CMainFrame::ID_RPT_VIEW);
        pView = gui.Frame()->View<CRptView>();
        Choose(Combo(1000), QStringLiteral("收入记录"));
        Click(1013);
    }
    ~SPrintGui() {
        CPreViewFrame::SetFileChooser({});
        CPreViewFrame::SetPrintDialog({});
    }
    QComboBox* Combo(int nId) { return gui.Find<QComboBox>(QString::number(nId)); }
    void Click(int nId) { gui.Find<QPushButton>(QString::number(nId))->click(); }
    CPreViewFrame* Preview() { return gui.Find<CPreViewFrame>(QStringLiteral("CPreViewFrame")); }

    // Exports through the form's PDF button and reads the pages back.
    QStringList ExportPages(const QString& strName) {
        const QString strPath = dir.filePath(strName);
        CPreViewFrame::SetFileChooser([strPath](QWidget*, const QString&, const QString&,
                                                const QString&) { return strPath; });
        Click(1014);
        return PdfPages(strPath);
    }
    // Print dialogs answer bOk and send the job to a PDF file.
    QString PrintToFile(const QString& strName, bool bOk) {
        const QString strPath = dir.filePath(strName);
        CPreViewFrame::SetPrintDialog([strPath, bOk](QPrinter* pPrinter, QWidget*) {
            pPrinter->setOutputFormat(QPrinter::PdfFormat);
            pPrinter->setOutputFileName(strPath);
            return bOk;
        });
        return strPath;
    }
};
} // namespace

class TestReportPrint : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
    }

    void eightyFiveRowsGiveThreePages() {
        SPrintGui t(85);
        const QStringList pages = t.ExportPages(QStringLiteral("85.pdf"));
        QCOMPARE(pages.size(), 3);
        QCOMPARE(DateRows(pages[0]), 40);
        QCOMPARE(DateRows(pages[1]), 40);
        QCOMPARE(DateRows(pages[2]), 5);
        for (int p = 0; p < 3; ++p) {
            QVERIFY(pages[p].contains(QStringLiteral("家庭财务报告")));
            QVERIFY(!pages[p].contains(QStringLiteral("预览")));
            QVERIFY(pages[p].contains(QStringLiteral("用户收入报告")));
            // Whose report, what it lists and which page of how many, on every page.
            QVERIFY(pages[p].contains(QStringLiteral("用户：张三")));
            QVERIFY(
                pages[p].contains(QStringLiteral("条件：全部收入，2010年1月1日 至 2010年3月26日")));
            QVERIFY(pages[p].contains(QStringLiteral("收入分类")));
            QVERIFY(QString(pages[p])
                        .remove(QLatin1Char(' '))
                        .contains(QStringLiteral("第%1/3页").arg(p + 1)));
            QCOMPARE(pages[p].contains(QStringLiteral("合计:85.85元")), p == 2);
        }
        // Rows continue across pages in grid order.
        QVERIFY(pages[1].contains(QStringLiteral("2010年2月10日")));
        QVERIFY(pages[2].contains(QStringLiteral("2010年3月22日")));
    }

    void eightyRowsKeepTheTotalWithTheLastRows() {
        SPrintGui t(80);
        const QStringList pages = t.ExportPages(QStringLiteral("80.pdf"));
        QCOMPARE(pages.size(), 2);
        QCOMPARE(DateRows(pages[1]), 40);
        QVERIFY(!pages[0].contains(QStringLiteral("合计")));
        QVERIFY(QString(pages[1]).remove(QLatin1Char(' ')).contains(QStringLiteral("第2/2页")));
        QVERIFY(pages[1].contains(QStringLiteral("合计:80.80元")));
    }

    // The text layer holds the ideographs themselves, so a search or a copy finds them (the
    // radicals that look alike, "⽤⼾⽀出", are other characters).
    void pdfTextIsTheWrittenIdeographs() {
        SPrintGui t(1);
        {
            CTransaction trs;
            COutlaySet set;
            set.Open();
            set.AddNew();
            set.m_UserName = U;
            set.m_Date = QDateTime(QDate(2010, 1, 2), QTime(0, 0));
            set.m_Sort = QStringLiteral("用餐支出");
            set.m_Note = QStringLiteral("午饭");
            set.m_Bank = QStringLiteral("现金");
            set.m_Amount = 25.5;
            set.Update();
            trs.Commit();
        }
        Choose(t.Combo(1000), QStringLiteral("支出记录"));
        t.Click(1013);
        const QStringList pages = t.ExportPages(QStringLiteral("outlay.pdf"));
        QCOMPARE(pages.size(), 1);
        for (const QString& str :
             {QStringLiteral("用户支出报告"), QStringLiteral("用户：张三"),
              QStringLiteral("用餐支出"), QStringLiteral("午饭"), QStringLiteral("25.50元")})
            QVERIFY2(pages[0].contains(str), qPrintable(str + QLatin1Char('\n') + pages[0]));
        for (const QChar ch : pages[0])
            QVERIFY2(ch.unicode() < 0x2E80 || ch.unicode() > 0x2FDF, qPrintable(pages[0]));
    }

    // The page is titled by the condition its rows were queried with, whatever the
    // condition boxes show by now.
    void titleFollowsTheQueriedCondition_data() {
        QTest::addColumn<QString>("strChangedTo");
        QTest::newRow("outlay") << QStringLiteral("支出记录");
        QTest::newRow("accounts") << QStringLiteral("账户记录");
    }
    void titleFollowsTheQueriedCondition() {
        QFETCH(QString, strChangedTo);
        SPrintGui t(3);
        Choose(t.Combo(1000), strChangedTo); // no new query
        const QStringList pages = t.ExportPages(QStringLiteral("title.pdf"));
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].contains(QStringLiteral("用户收入报告")));
        QVERIFY(!pages[0].contains(QStringLiteral("支出报告")));
        QVERIFY(pages[0].contains(QStringLiteral("收入分类")));
        QCOMPARE(DateRows(pages[0]), 3);
        QVERIFY(pages[0].contains(QStringLiteral("合计:3.03元")));
    }

    void previewTakesTheMainWindowsPlace() {
        SPrintGui t(1020); // 26 pages
        CMainFrame* pFrame = t.gui.Frame();
        t.Click(1010);
        QPointer<CPreViewFrame> pPreview = t.Preview();
        QVERIFY(pPreview);
        QVERIFY(pPreview->isVisible());
        QVERIFY(!pFrame->isVisible());
        QCOMPARE(pPreview->windowTitle(), pFrame->windowTitle() + QStringLiteral(" (预览)"));
        QCOMPARE(pPreview->PreviewWidget()->pageCount(), 26);
        QVERIFY(pPreview->PagesDrawn() < 10); // only the pages near the first

        pPreview->Action(CPreViewFrame::ID_PREVIEW_NEXT)->trigger();
        QCOMPARE(pPreview->PreviewWidget()->currentPage(), 2);
        // Scrolling to the end draws the pages that come into view.
        const int nDrawn = pPreview->PagesDrawn();
        QScrollBar* pScroll =
            pPreview->PreviewWidget()->findChild<QGraphicsView*>()->verticalScrollBar();
        pScroll->setValue(pScroll->maximum());
        QTRY_VERIFY(pPreview->PagesDrawn() > nDrawn);
        QCOMPARE(pPreview->PreviewWidget()->currentPage(), 26);
        QVERIFY(!pPreview->Action(CPreViewFrame::ID_PREVIEW_NEXT)->isEnabled());
        QVERIFY(!pPreview->Action(CPreViewFrame::ID_PREVIEW_LAST)->isEnabled());

        // Keys, buttons and the page box reach any page; zooming keeps the page in view.
        pPreview->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pPreview));
        auto* pBox = pPreview->findChild<QSpinBox*>(QStringLiteral("PageBox"));
        QVERIFY(pBox);
        QCOMPARE(pBox->value(), 26);
        const auto page = [&] { return pPreview->PreviewWidget()->currentPage(); };
        const struct {
            Qt::Key key;
            int nPage;
        } keys[] = {
            {Qt::Key_Home, 1}, {Qt::Key_PageDown, 2}, {Qt::Key_End, 26}, {Qt::Key_PageUp, 25}};
        for (const auto& k : keys) {
            QTest::keyClick(pPreview->PreviewWidget(), k.key);
            QCOMPARE(page(), k.nPage);
            QCOMPARE(pBox->value(), k.nPage);
        }
        pPreview->Action(CPreViewFrame::ID_PREVIEW_FIRST)->trigger();
        QCOMPARE(page(), 1);
        pBox->setFocus();
        pBox->selectAll();
        QTest::keyClicks(pBox, QStringLiteral("13"));
        QTest::keyClick(pBox, Qt::Key_Return);
        QCOMPARE(page(), 13);
        QTRY_VERIFY(pPreview->PagesDrawn() > 0);
        for (int i = 0; i < 3; ++i) {
            pPreview->Action(CPreViewFrame::ID_PREVIEW_ZOOMIN)->trigger();
            QCOMPARE(page(), 13);
        }
        pPreview->Action(CPreViewFrame::ID_PREVIEW_ZOOMOUT)->trigger();
        QCOMPARE(page(), 13);
        // The buttons' mnemonics: 放大(I) and 缩小(O).
        const qreal dZoom = pPreview->PreviewWidget()->zoomFactor();
        QTest::keyClick(pPreview->PreviewWidget(), Qt::Key_I, Qt::AltModifier);
        QVERIFY(pPreview->PreviewWidget()->zoomFactor() > dZoom * 1.2);
        QTest::keyClick(pPreview->PreviewWidget(), Qt::Key_O, Qt::AltModifier);
        QVERIFY(qAbs(pPreview->PreviewWidget()->zoomFactor() - dZoom) < 1e-6);
        QCOMPARE(page(), 13);
        pPreview->Action(CPreViewFrame::ID_PREVIEW_LAST)->trigger();
        QCOMPARE(page(), 26);

        // Exporting from the preview names the file it wrote.
        const QString strPdf = t.dir.filePath(QStringLiteral("from-preview.pdf"));
        CPreViewFrame::SetFileChooser(
            [strPdf](QWidget*, const QString&, const QString&, const QString&) { return strPdf; });
        pPreview->Action(CPreViewFrame::ID_PREVIEW_EXPORT_PDF)->trigger();
        QVERIFY(QFile::exists(strPdf));
        QVERIFY(pPreview->statusBar()->currentMessage().contains(QDir::toNativeSeparators(strPdf)));

        // Esc closes it as the close button does.
        pPreview->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pPreview));
        QTest::keyClick(pPreview->PreviewWidget(), Qt::Key_Escape);
        CGuiTest::ProcessEvents();
        QVERIFY(!pPreview);
        QVERIFY(pFrame->isVisible());
        QCOMPARE(pFrame->View<CRptView>(), t.pView);
        QCOMPARE(t.pView->Grid()->GetRows(), 1021);
    }

    void printingFromThePreviewPrintsItsPagesAndCloses() {
        SPrintGui t(85);
        const QString strPath = t.PrintToFile(QStringLiteral("preview.pdf"), true);
        t.Click(1010);
        QPointer<CPreViewFrame> pPreview = t.Preview();
        QVERIFY(pPreview);
        pPreview->Action(CPreViewFrame::ID_PREVIEW_PRINT)->trigger();
        CGuiTest::ProcessEvents();
        QVERIFY(!pPreview);
        QVERIFY(t.gui.Frame()->isVisible());
        const QStringList pages = PdfPages(strPath);
        QCOMPARE(pages.size(), 3);
        QVERIFY(pages[2].contains(QStringLiteral("合计:85.85元")));
    }

    void directPrintKeepsTheFrameAndHonoursCancel() {
        SPrintGui t(45);
        CMainFrame* pFrame = t.gui.Frame();
        bool bFrameVisible = false;
        const QString strCancelled = t.dir.filePath(QStringLiteral("cancelled.pdf"));
        CPreViewFrame::SetPrintDialog([&](QPrinter* pPrinter, QWidget*) {
            bFrameVisible = pFrame->isVisible();
            pPrinter->setOutputFormat(QPrinter::PdfFormat);
            pPrinter->setOutputFileName(strCancelled);
            return false;
        });
        t.Click(1012);
        QVERIFY(bFrameVisible);
        QVERIFY(!QFile::exists(strCancelled));
        QVERIFY(!t.Preview() || !t.Preview()->isVisible());

        const QString strPath = t.PrintToFile(QStringLiteral("direct.pdf"), true);
        t.Click(1012);
        CGuiTest::ProcessEvents();
        QVERIFY(pFrame->isVisible());
        QVERIFY(!t.Preview());
        QCOMPARE(PdfPages(strPath).size(), 2);
    }
};

QTEST_MAIN(TestReportPrint)
#include "tst_reportprint.moc"
