#include "analysis/cinchartview.h"
#include "analysis/cmschart3.h"
#include "analysis/coutchartview.h"
#include "app/cleftview.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "data/ctransaction.h"
#include "records/ccategories.h"

#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QToolTip>
#include <QTreeWidgetItem>
#include <QtTest>
#include <algorithm>
#include <array>
#include <cmath>

namespace {
const QString kUser = QStringLiteral("张三");

void AddRow(const char* szTable, const QDate& date, const QString& strSort, double dAmount,
            const QString& strBank = QStringLiteral("现金")) {
    CDatabase::Exec(
        QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\", \"Sort\", \"Note\", "
                       "\"Amount\", \"Bank\") VALUES (?, ?, ?, '', ?, ?)")
            .arg(QLatin1String(szTable)),
        {kUser, CDatabase::Dialect().BindDate(date), strSort, dAmount, strBank});
}

QTreeWidgetItem* Child(QTreeWidgetItem* pParent, const QString& strLabel) {
    if (pParent)
        pParent->setExpanded(true); // a year's months are made when it opens
    for (int i = 0; pParent && i < pParent->childCount(); ++i) {
        if (pParent->child(i)->text(0) == strLabel)
            return pParent->child(i);
    }
    return nullptr;
}

void Select(CMainFrame* pFrame, QTreeWidgetItem* pItem) {
    QVERIFY(pItem);
    CTestAccess::TreeView(pFrame)->setCurrentItem(pItem);
}

// The texts a chart draws at its present size, top to bottom.
QStringList DrawnTexts(CMschart3& chart) {
    QList<CMschart3::SText> texts = chart.DrawnTexts();
    std::stable_sort(texts.begin(), texts.end(),
                     [](const auto& a, const auto& b) { return a.rect.top() < b.rect.top() - 1; });
    QStringList strings;
    for (const CMschart3::SText& text : texts)
        strings << text.str;
    return strings;
}

// The pointer moved onto pos of the chart.
void Hover(CMschart3& chart, const QPointF& pos) {
    QMouseEvent move(QEvent::MouseMove, pos, chart.mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &move);
}

QStringList Titles(const CChartView* pView) {
    return {pView->LineChart()->TitleText(), pView->BarChart()->TitleText(),
            pView->PieChart()->TitleText()};
}

} // namespace

class TestChartsGui : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void treeSwitchesTheScopeOfBothViews() {
        CGuiTest gui;
        AddRow("Income", QDate(2004, 3, 2), QStringLiteral("工资收入"), 1200.0);
        AddRow("Income", QDate(2004, 3, 2), QStringLiteral("奖金收入"), 300.5);
        AddRow("Income", QDate(2004, 3, 9), QString(QStringLiteral("")), 0.0, QStringLiteral(""));
        AddRow("Income", QDate(2004, 4, 30), QStringLiteral("股票收入"), 99.99);
        AddRow("Income", QDate(2006, 1, 1), QStringLiteral("工资收入"), 1.0);
        AddRow("Outlay", QDate(2025, 5, 6), QStringLiteral("交通支出"), 12.0);
        AddRow("Outlay", QDate(2024, 1, 1), QStringLiteral("用餐支出"), 30.0);
        gui.LogIn(kUser);
        QVERIFY(gui.Trigger(CMainFrame::ID_IN_CHART));
        CMainFrame* pFrame = gui.Frame();
        CInChartView* pIn = pFrame->View<CInChartView>();
        QVERIFY(pIn);
        QCOMPARE(gui.Find<CMschart3>(CChartView::IDC_BAR_CHART), pIn->BarChart());
        QCOMPARE(gui.Find<CMschart3>(CChartView::IDC_LINE_CHART), pIn->LineChart());

        // Opened on the user scope, over the book's own years.
        QCOMPARE(Titles(pIn), QStringList({QStringLiteral("用户财务收入线图"),
                                           QStringLiteral("用户财务收入直方图"),
                                           QStringLiteral("用户财务收入比例图")}));
        CMschart3* pLine = pIn->LineChart();
        QCOMPARE(pLine->RowLabels(),
                 QStringList({QStringLiteral("2004年"), QStringLiteral("2005年"),
                              QStringLiteral("2006年")}));
        QCOMPARE(pLine->ColumnData(1), QStringList({QStringLiteral("1600.49"), QStringLiteral("0"),
                                                    QStringLiteral("1.00")}));
        QCOMPARE(pIn->BarChart()->ColumnCount(), 8);
        QCOMPARE(pIn->BarChart()->ColumnLabel(5), QStringLiteral("房地产收入"));
        QCOMPARE(
            pIn->PieChart()->RowData(1),
            QStringList({QStringLiteral("1201.00"), QStringLiteral("300.50"),
                         QStringLiteral("0.00"), QStringLiteral("99.99"), QStringLiteral("0.00"),
                         QStringLiteral("0.00"), QStringLiteral("0.00"), QStringLiteral("0.00")}));

        QTreeWidgetItem* pRoot = CTestAccess::TreeView(pFrame)->topLevelItem(0);
        QVERIFY(pRoot);
        QTreeWidgetItem* pYear = Child(pRoot, QStringLiteral("2004年"));
        Select(pFrame, pYear);
        QCOMPARE(Titles(pIn), QStringList({QStringLiteral("2004年度财务收入线图"),
                                           QStringLiteral("2004年度财务收入直方图"),
                                           QStringLiteral("2004年度财务收入比例图")}));
        QCOMPARE(pLine->RowCount(), 12);
        QCOMPARE(pLine->RowLabel(12), QStringLiteral("12月"));
        QCOMPARE(pLine->Data(3, 1), QStringLiteral("1500.50"));
        QCOMPARE(pLine->Data(4, 1), QStringLiteral("99.99"));
        QCOMPARE(pIn->BarChart()->Data(1, 1), QStringLiteral("1200.00"));
        // The window shows each chart as it now draws: none is left unpainted or showing the
        // last scope's figures. Offscreen, the screen is the window's own painting; an X
        // screen may show other windows over it.
        if (QGuiApplication::platformName() == QStringLiteral("offscreen")) {
            QApplication::processEvents();
            for (CMschart3* pChart : {pLine, pIn->BarChart(), pIn->PieChart()}) {
                QWidget* pViewport = pChart;
                const QRect rect(pViewport->mapTo(pFrame, QPoint(0, 0)), pViewport->size());
                const QImage shown = pFrame->screen()
                                         ->grabWindow(pFrame->winId(), rect.x(), rect.y(),
                                                      rect.width(), rect.height())
                                         .toImage()
                                         .convertToFormat(QImage::Format_RGB32);
                QVERIFY(shown.width() > 100 && shown.height() > 100); // the screen holds it
                QCOMPARE(shown, pViewport->grab(QRect(QPoint(0, 0), shown.size()))
                                    .toImage()
                                    .convertToFormat(QImage::Format_RGB32));
            }
        }

        Select(pFrame, Child(pYear, QStringLiteral("3月")));
        QCOMPARE(Titles(pIn), QStringList({QStringLiteral("2004年3月份财务收入线图"),
                                           QStringLiteral("2004年3月份财务收入直方图"),
                                           QStringLiteral("2004年3月份财务收入比例图")}));
        QCOMPARE(pLine->RowCount(), 31);
        QCOMPARE(pLine->Data(2, 1), QStringLiteral("1500.50"));
        QCOMPARE(pLine->Data(9, 1), QStringLiteral("0")); // only the new-day marker
        QCOMPARE(pIn->BarChart()->Data(1, 4), QStringLiteral("0.00"));

        Select(pFrame, pRoot);
        QCOMPARE(pLine->RowCount(), 3);
        QCOMPARE(pIn->PieChart()->TitleText(), QStringLiteral("用户财务收入比例图"));

        // The outlay twin: its own categories, named as the lists name them, and its years.
        QVERIFY(gui.Trigger(CMainFrame::ID_OUT_CHART));
        QVERIFY(!pFrame->View<CInChartView>());
        COutChartView* pOut = pFrame->View<COutChartView>();
        QVERIFY(pOut);
        QCOMPARE(Titles(pOut), QStringList({QStringLiteral("用户财务支出线图"),
                                            QStringLiteral("用户财务支出直方图"),
                                            QStringLiteral("用户财务支出比例图")}));
        QCOMPARE(pOut->LineChart()->RowCount(), 2);
        QCOMPARE(pOut->LineChart()->RowLabel(2), QStringLiteral("2025年"));
        QCOMPARE(pOut->LineChart()->Data(1, 1), QStringLiteral("30.00"));
        QCOMPARE(pOut->LineChart()->Data(2, 1), QStringLiteral("12.00"));
        QCOMPARE(pOut->BarChart()->ColumnCount(), 12);
        QCOMPARE(pOut->BarChart()->ColumnLabel(7), QStringLiteral("交通支出"));
        pRoot = CTestAccess::TreeView(pFrame)->topLevelItem(0);
        QCOMPARE(pRoot->childCount(), 2);
        pYear = Child(pRoot, QStringLiteral("2025年"));
        Select(pFrame, pYear);
        QCOMPARE(Titles(pOut), QStringList({QStringLiteral("2025年度财务支出线图"),
                                            QStringLiteral("2025年度财务支出直方图"),
                                            QStringLiteral("2025年度财务支出比例图")}));
        QCOMPARE(pOut->BarChart()->Data(1, 7), QStringLiteral("12.00"));
        Select(pFrame, Child(pYear, QStringLiteral("5月")));
        QCOMPARE(Titles(pOut), QStringList({QStringLiteral("2025年5月份财务支出线图"),
                                            QStringLiteral("2025年5月份财务支出直方图"),
                                            QStringLiteral("2025年5月份财务支出比例图")}));
        QCOMPARE(pOut->LineChart()->Data(6, 1), QStringLiteral("12.00"));
        QCOMPARE(pOut->LineChart()->Data(31, 1), QStringLiteral("0"));
        QVERIFY(gui.Messages().isEmpty());

        // A book that fails to answer leaves the charts as they were and says so once.
        CDatabase::Exec(QStringLiteral("DROP TABLE \"MonthSortTotals\""));
        pOut->DrawYearBar(2024);
        QCOMPARE(gui.Messages().size(), 1);
        QCOMPARE(pOut->BarChart()->TitleText(), QStringLiteral("2025年5月份财务支出直方图"));
    }

    void barAndPieOfOneClickShareOneReadButNeverGoStale() {
        CGuiTest gui;
        AddRow("Outlay", QDate(2005, 2, 3), QStringLiteral("用餐支出"), 10.0);
        gui.LogIn(kUser);
        QVERIFY(gui.Trigger(CMainFrame::ID_OUT_CHART));
        CChartView* pView = gui.Frame()->View<COutChartView>();
        QVERIFY(pView);
        QCoreApplication::processEvents();

        // A row written between the bar and the pie of one click waits for the next click...
        pView->DrawUserBar();
        AddRow("Outlay", QDate(2005, 2, 4), QStringLiteral("用餐支出"), 5.0);
        pView->DrawUserPie();
        QCOMPARE(pView->PieChart()->Data(1, 1), QStringLiteral("10.00"));
        // ...but a bar drawn again, a pie of another scope, or any later click reads the book.
        pView->DrawUserBar();
        QCOMPARE(pView->BarChart()->Data(1, 1), QStringLiteral("15.00"));
        pView->DrawYearPie(2005);
        QCOMPARE(pView->PieChart()->Data(1, 1), QStringLiteral("15.00"));
        AddRow("Outlay", QDate(2005, 3, 1), QStringLiteral("用餐支出"), 1.0);
        QCoreApplication::processEvents();
        pView->DrawYearBar(2005);
        AddRow("Outlay", QDate(2005, 3, 2), QStringLiteral("用餐支出"), 2.0);
        QCoreApplication::processEvents();
        pView->DrawYearPie(2005);
        QCOMPARE(pView->BarChart()->Data(1, 1), QStringLiteral("16.00"));
        QCOMPARE(pView->PieChart()->Data(1, 1), QStringLiteral("18.00"));

        // A failed read in between leaves nothing behind for the next chart.
        pView->DrawMonthBar(2005, 3);
        CDatabase::Exec(QStringLiteral("DROP TABLE \"MonthSortTotals\""));
        pView->DrawMonthBar(2005, 3);
        pView->DrawMonthPie(2005, 3);
        QCOMPARE(gui.Messages().size(), 2);
    }

    void chartDrawsWhatItHolds() {
        // Pie: every column has a wedge; zero and below take no room and no legend entry.
        CMschart3 pie(CMschart3::EType::Pie, 1, 4);
        pie.resize(500, 400);
        const QStringList values = {QStringLiteral("30.00"), QStringLiteral("0.00"),
                                    QStringLiteral("-5"), QStringLiteral("10.00")};
        for (int c = 1; c <= 4; ++c) {
            pie.SetColumn(c);
            pie.SetColumnLabel(QStringLiteral("类%1").arg(c));
            pie.SetData(values[c - 1]);
        }
        pie.Refresh();
        QStringList drawn = DrawnTexts(pie);
        QCOMPARE(drawn.filter(QStringLiteral("类")),
                 QStringList({QStringLiteral("类1 75.0%"), QStringLiteral("类4 25.0%")}));
        QVERIFY2(drawn.contains(QStringLiteral("75.0%")), qPrintable(drawn.join(u'|')));
        QCOMPARE(pie.CellAt(pie.CellPoint(1, 1)), QPoint(1, 1));
        QCOMPARE(pie.CellAt(pie.CellPoint(1, 4)), QPoint(4, 1));
        QVERIFY(pie.CellPoint(1, 2).isNull() && pie.CellPoint(1, 3).isNull());
        QCOMPARE(pie.Data(1, 3), QStringLiteral("-5")); // kept as written
        // New figures: the legend and the wedges draw them, not the ones before.
        pie.SetColumn(2);
        pie.SetData(QStringLiteral("30.00"));
        drawn = DrawnTexts(pie);
        for (const char* sz : {"类1 42.9%", "类2 42.9%", "类4 14.3%", "42.9%", "14.3%"})
            QVERIFY2(drawn.contains(QString::fromUtf8(sz)), qPrintable(drawn.join(u'|')));
        QVERIFY2(!drawn.join(u'|').contains(QStringLiteral("75.0%")), qPrintable(drawn.join(u'|')));
        // A pie of nothing lists every category and draws no wedge.
        for (int c = 1; c <= 4; ++c) {
            pie.SetColumn(c);
            pie.SetData(QStringLiteral("0"));
        }
        QCOMPARE(DrawnTexts(pie).filter(QStringLiteral("类")).size(), 4);
        QVERIFY(pie.CellPoint(1, 1).isNull());
        // Legend entries too long for half the chart end in "…" and show whole on resting.
        pie.SetColumn(1);
        pie.SetColumnLabel(QString(60, QChar(0x957F)));
        pie.SetData(QStringLiteral("1"));
        pie.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pie));
        const QList<CMschart3::SText> texts = pie.DrawnTexts();
        const auto cut = std::find_if(texts.begin(), texts.end(), [](const auto& text) {
            return text.str.endsWith(QChar(0x2026));
        });
        QVERIFY(cut != texts.end());
        QVERIFY(cut->rect.right() <= pie.width());
        const QPoint at = cut->rect.center().toPoint();
        QHelpEvent rest(QEvent::ToolTip, at, pie.mapToGlobal(at));
        QCoreApplication::sendEvent(&pie, &rest);
        QCOMPARE(QToolTip::text(), QString(60, QChar(0x957F)) + QStringLiteral(" 100.0%"));
        QToolTip::hideText();

        // Bar: one bar per column, the first on top; text that is no number draws as 0.
        CMschart3 bar(CMschart3::EType::Bar, 1, 3);
        bar.resize(400, 300);
        bar.SetRow(1);
        bar.SetColumn(2);
        bar.SetData(QStringLiteral("12.50"));
        bar.SetColumn(3);
        bar.SetData(QStringLiteral("abc"));
        bar.SetColumn(9); // no such column: the write stays on column 3
        bar.SetData(QStringLiteral("7"));
        bar.Refresh();
        QVERIFY(bar.CellPoint(1, 1).isNull()); // 0 draws no bar
        const QPointF second = bar.CellPoint(1, 2), third = bar.CellPoint(1, 3);
        QVERIFY(second.y() < third.y());
        QCOMPARE(bar.CellAt(second), QPoint(2, 1));
        QCOMPARE(bar.CellAt(third), QPoint(3, 1));
        // Bars start at the axis' 0 together, and their lengths are in their values' proportion.
        double x0 = -1.0;
        for (const CMschart3::SText& text : bar.DrawnTexts())
            if (text.str == QStringLiteral("0"))
                x0 = text.rect.center().x();
        QVERIFY(x0 > 0.0 && x0 < third.x());
        QVERIFY(std::fabs((second.x() - x0) / (third.x() - x0) - 12.5 / 7.0) < 0.03);
        const double dEnd = 2 * third.x() - x0;
        QCOMPARE(bar.CellAt(QPointF(dEnd - 1, third.y())), QPoint(3, 1));
        QCOMPARE(bar.CellAt(QPointF(dEnd + 3, third.y())), QPoint());
        QCOMPARE(bar.CellAt(QPointF(x0 - 3, third.y())), QPoint());

        // Line: a point per row; a crowded axis shows every n-th label, never on top of another.
        CMschart3 line(CMschart3::EType::Line, 1, 1);
        line.resize(400, 300);
        line.SetRowCount(40);
        for (int r = 1; r <= 40; ++r) {
            line.SetRow(r);
            line.SetRowLabel(QStringLiteral("%1年").arg(1990 + r));
            line.SetData(QString::number(r));
        }
        line.SetRowCount(30); // shrinking keeps the rows left
        line.Refresh();
        QCOMPARE(line.RowLabel(30), QStringLiteral("2020年"));
        QVERIFY(!line.CellPoint(30, 1).isNull() && line.CellPoint(31, 1).isNull());
        QVERIFY(line.CellPoint(30, 1).y() < line.CellPoint(1, 1).y());
        QCOMPARE(line.CellAt(line.CellPoint(17, 1) + QPointF(2, 2)), QPoint(1, 17));
        const int nShown = int(DrawnTexts(line).filter(QChar(0x5E74)).size());
        QVERIFY2(nShown > 1 && nShown < 30, qPrintable(QString::number(nShown)));
        line.resize(3000, 300);
        QCOMPARE(DrawnTexts(line).filter(QChar(0x5E74)).size(), 30);
    }

    // Whatever text a cell holds, each chart lays out and paints, its texts inside it.
    void anyFiguresDraw() {
        const QList<QStringList> figures = {
            {QStringLiteral("1e308"), QStringLiteral("-1e308"), QStringLiteral("5")},
            {QStringLiteral("nan"), QStringLiteral("inf"), QStringLiteral("-inf")},
            {QStringLiteral("1e-300"), QStringLiteral("-0"), QStringLiteral("")},
            {QStringLiteral("-3"), QStringLiteral("-7.5"), QStringLiteral("-0.01")},
        };
        for (const CMschart3::EType eType :
             {CMschart3::EType::Bar, CMschart3::EType::Pie, CMschart3::EType::Line}) {
            for (const QStringList& values : figures) {
                CMschart3 chart(eType, 3, 3);
                chart.SetTitleText(QStringLiteral("图"));
                for (int i = 1; i <= 3; ++i) {
                    chart.SetRow(i);
                    chart.SetColumn(i);
                    chart.SetRowLabel(QString::number(i));
                    chart.SetColumnLabel(QString::number(i));
                    chart.SetData(values[i - 1]);
                }
                for (const QSize size : {QSize(400, 300), QSize(30, 20), QSize(0, 0)}) {
                    chart.resize(size);
                    const QString strAt =
                        values.join(u' ') +
                        QStringLiteral(" at %1×%2").arg(size.width()).arg(size.height());
                    for (const CMschart3::SText& text : chart.DrawnTexts())
                        QVERIFY2(QRectF(chart.rect()).contains(text.rect),
                                 qPrintable(strAt + QStringLiteral(": ") + text.str));
                    QVERIFY2(!chart.grab().isNull() || size.isEmpty(), qPrintable(strAt));
                }
            }
        }
    }

    void chartsCanBeRead() {
        // CIE 1976 L*a*b* of an sRGB colour (D65).
        const auto lab = [](const QColor& color) {
            const auto linear = [](double c) {
                return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            };
            const double r = linear(color.redF()), g = linear(color.greenF()),
                         b = linear(color.blueF());
            const auto f = [](double t) {
                return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0;
            };
            const double fx = f((0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047);
            const double fy = f(0.2126 * r + 0.7152 * g + 0.0722 * b);
            const double fz = f((0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883);
            return std::array<double, 3>{116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
        };

        // The twelve outlay categories as the pie draws them, with 用餐支出 at 15 %.
        const QStringList names = CCategories::Outlay();
        const QList<QColor>& colors = CMschart3::CategoryColors();
        QVERIFY(colors.size() >= 12);
        for (int i = 0; i < 12; ++i)
            for (int j = i + 1; j < 12; ++j) {
                const auto a = lab(colors[i]);
                const auto b = lab(colors[j]);
                const double dE = std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
                QVERIFY2(
                    dE >= 20.0,
                    qPrintable(QStringLiteral("%1/%2: ΔE %3").arg(names[i], names[j]).arg(dE)));
            }
        CMschart3 pie(CMschart3::EType::Pie, 1, 12);
        CMschart3 bar(CMschart3::EType::Bar, 1, 12);
        for (CMschart3* pChart : {&pie, &bar}) {
            for (int c = 1; c <= 12; ++c) {
                pChart->SetColumn(c);
                pChart->SetColumnLabel(names[c - 1]);
                pChart->SetData(c == 1 ? QStringLiteral("1502.40") : QStringLiteral("773.6"));
            }
            pChart->Refresh();
        }

        // Hovering a wedge, a bar or a point tells its exact value and share; off it, no tip.
        QCOMPARE(pie.ToolTipText(1, 1), QStringLiteral("用餐支出 1502.40元（15.0%）"));
        Hover(pie, pie.CellPoint(1, 11));
        QCOMPARE(QToolTip::text(), QStringLiteral("医疗保健支出 773.60元（7.7%）"));
        Hover(bar, bar.CellPoint(1, 5));
        QCOMPARE(QToolTip::text(), QStringLiteral("生活用品支出 773.60元（7.7%）"));
        Hover(bar, QPointF(1, 1));
        QTRY_VERIFY(!QToolTip::isVisible());

        CMschart3 line(CMschart3::EType::Line, 3, 1);
        for (int r = 1; r <= 3; ++r) {
            line.SetRow(r);
            line.SetRowLabel(QStringLiteral("%1月").arg(r));
            line.SetData(QString::number(r * 100 - 100));
        }
        Hover(line, line.CellPoint(2, 1) + QPointF(3, -2)); // near the second point
        QCOMPARE(QToolTip::text(), QStringLiteral("2月 100.00元（33.3%）"));
        QCOMPARE(line.ToolTipText(1, 1), QStringLiteral("1月 0.00元（0.0%）"));

        // Resting on a bar: the window system's tip request keeps the bar's tip on screen.
        bar.resize(360, bar.minimumHeight());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const QPoint rested = bar.CellPoint(1, 7).toPoint();
        Hover(bar, rested);
        QHelpEvent rest(QEvent::ToolTip, rested, bar.mapToGlobal(rested));
        QCoreApplication::sendEvent(&bar, &rest);
        QTest::qWait(500); // a tip being hidden goes after 300 ms
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("交通支出 773.60元（7.7%）"));
        Hover(bar, QPointF(1, 1));

        // As narrow as at 1024 pixels, every category's whole name is drawn, top to bottom,
        // and inside the chart.
        const QStringList drawn = DrawnTexts(bar);
        QStringList shownNames;
        for (const QString& str : drawn)
            if (names.contains(str))
                shownNames << str;
        QCOMPARE(shownNames, names);
        // So are the pie's shares and legend entries, however narrow the pie, and no share
        // runs into the legend.
        for (CMschart3* pChart : {&bar, &pie}) {
            for (const int nWidth : {260, 330, 600}) {
                pChart->resize(nWidth, std::max(300, pChart->minimumHeight()));
                const QList<CMschart3::SText> texts = pChart->DrawnTexts();
                // A wedge's share is "7.7%", a legend entry "name 7.7%".
                const auto isLegend = [](const QString& str) { return str.contains(u' '); };
                for (const CMschart3::SText& text : texts) {
                    const QString strAt = QStringLiteral("%1: %2").arg(nWidth).arg(text.str);
                    QVERIFY2(QRectF(pChart->rect()).contains(text.rect), qPrintable(strAt));
                    if (!text.str.endsWith(u'%') || isLegend(text.str))
                        continue;
                    for (const CMschart3::SText& other : texts)
                        QVERIFY2(!isLegend(other.str) || !text.rect.intersects(other.rect),
                                 qPrintable(strAt + QStringLiteral(" on ") + other.str));
                }
            }
        }

        // Twenty-seven years are labelled every n-th year, and each label is drawn whole,
        // none over another.
        CMschart3 years(CMschart3::EType::Line, 27, 1);
        for (int r = 1; r <= 27; ++r) {
            years.SetRow(r);
            years.SetRowLabel(QStringLiteral("%1年").arg(2000 + r));
        }
        for (const int nWidth : {420, 700, 1100}) {
            years.resize(nWidth, 260);
            QList<QRectF> boxes;
            QStringList drawn;
            for (const CMschart3::SText& text : years.DrawnTexts()) {
                if (!text.str.endsWith(QChar(0x5E74)))
                    continue;
                for (const QRectF& box : std::as_const(boxes))
                    QVERIFY2(!box.intersects(text.rect), qPrintable(text.str));
                QVERIFY(QRectF(years.rect()).contains(text.rect));
                boxes << text.rect;
                drawn << text.str;
            }
            const QString strDrawn =
                QString::number(nWidth) + QLatin1Char(':') + drawn.join(QLatin1Char(' '));
            QVERIFY2(drawn.size() >= 3 && drawn.size() < 27, qPrintable(strDrawn));
            QVERIFY2(drawn.contains(QStringLiteral("2001年")), qPrintable(strDrawn));
        }
    }

    // Under a real X server (xvfb-run with QT_QPA_PLATFORM=xcb) the pointer is moved by
    // xdotool and left resting on a bar: the tip shows the bar's value and stays.
    void toolTipUnderARealPointer() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb") ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("needs an X server (QT_QPA_PLATFORM=xcb) and xdotool");
        CGuiTest gui;
        const QStringList names = CChartData(CChartData::ETable::Outlay, kUser).CategoryLabels();
        for (int c = 1; c <= 12; ++c)
            AddRow("Outlay", QDate(2025, 3, c), names[c - 1], c * 100);
        gui.LogIn(kUser);
        gui.Frame()->showNormal();
        gui.Frame()->setGeometry(0, 0, 1024, 600);
        QVERIFY(gui.Trigger(CMainFrame::ID_OUT_CHART));
        QVERIFY(QTest::qWaitForWindowExposed(gui.Frame()));
        // Only the active window gets the tip request of a resting pointer.
        gui.Frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(gui.Frame()));
        CMschart3& bar = *gui.Frame()->View<COutChartView>()->BarChart();
        // Halfway along the 12th bar (value 1200), the bottom one.
        const QPoint global = bar.mapToGlobal(bar.CellPoint(1, 12).toPoint());
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QString::number(global.x()),
                           QString::number(global.y())});
        QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 3000);
        QTest::qWait(1500); // past the moment the resting pointer asks for a tip
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("其它支出 1200.00元（15.4%）"));
    }
};

QTEST_MAIN(TestChartsGui)
#include "tst_charts_gui.moc"
