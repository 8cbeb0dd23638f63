#include "widgets/cmsflexgrid1.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

class TestGrid : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void RowsGrowAndShrinkKeepTexts();
    void ColsAndWidths();
    void ClickReportsTheCell();
    void CellRectFollowsScrolling();
    void FillsItsWidthAlignsMoneyAndTipsCutTexts();
};

static QString S(const char* psz) {
    return QString::fromUtf8(psz);
}

void TestGrid::RowsGrowAndShrinkKeepTexts() {
    CMsflexgrid1 grid;
    grid.SetCols(4);
    // Headers are written cell by cell through Row / Col / Text.
    grid.SetRow(0);
    for (int nCol = 1; nCol < 4; ++nCol) {
        grid.SetCol(nCol);
        grid.SetText(S("列%1").arg(nCol));
    }
    for (int nRow = 1; nRow <= 3; ++nRow) {
        grid.SetRows(grid.GetRows() + 1);
        QCOMPARE(grid.GetRows(), nRow + 1);
        grid.SetTextMatrix(nRow, 2, QString::number(nRow * 10));
    }
    QCOMPARE(grid.GetTextMatrix(0, 2), S("列2"));
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), S("列2"));
    QCOMPARE(grid.GetTextMatrix(3, 2), QStringLiteral("30"));

    grid.SetRows(3); // drops the last row only
    QCOMPARE(grid.GetTextMatrix(2, 2), QStringLiteral("20"));
    QCOMPARE(grid.GetTextMatrix(3, 2), QString());
    grid.SetRows(4); // a raised row starts empty
    QCOMPARE(grid.GetTextMatrix(3, 2), QString());

    grid.SetRows(1); // empties to the header
    QCOMPARE(grid.GetRows(), 1);
    QCOMPARE(grid.model()->rowCount(), 0);
    QCOMPARE(grid.GetTextMatrix(0, 3), S("列3"));

    // Cells outside the grid neither crash nor invent texts.
    grid.SetTextMatrix(5, 1, QStringLiteral("x"));
    grid.SetRow(7);
    QCOMPARE(grid.GetRow(), 0);
    QCOMPARE(grid.GetTextMatrix(5, 1), QString());

    QVector<QStringList> rows;
    for (int n = 0; n < 100000; ++n)
        rows.append({QString(), QString::number(n), QStringLiteral("a"), QStringLiteral("b")});
    grid.SetAllRows(rows);
    QCOMPARE(grid.GetRows(), 100001);
    QCOMPARE(grid.GetTextMatrix(100000, 1), QStringLiteral("99999"));
    QCOMPARE(grid.GetTextMatrix(0, 1), S("列1"));
    // Cells holding the same text share it: rewriting one leaves the others as they were.
    grid.SetTextMatrix(5, 2, QStringLiteral("99999"));
    QCOMPARE(grid.GetTextMatrix(5, 2), QStringLiteral("99999"));
    QCOMPARE(grid.GetTextMatrix(6, 2), QStringLiteral("a"));
    QCOMPARE(grid.GetTextMatrix(100000, 1), QStringLiteral("99999"));
    // A small grid rewritten in place many times keeps every cell's text.
    grid.SetRows(3);
    grid.SetTextMatrix(1, 1, QStringLiteral("keep"));
    for (int n = 0; n < 5000; ++n)
        grid.SetTextMatrix(2, 3, QString::number(n));
    QCOMPARE(grid.GetTextMatrix(2, 3), QStringLiteral("4999"));
    QCOMPARE(grid.GetTextMatrix(1, 1), QStringLiteral("keep"));
    QCOMPARE(grid.GetTextMatrix(2, 2), QStringLiteral("a"));
}

void TestGrid::ColsAndWidths() {
    CMsflexgrid1 grid;
    grid.SetCols(4);
    grid.SetRows(2);
    grid.SetColWidth(0, 500);
    grid.SetColWidth(2, 3000);
    grid.SetTextMatrix(1, 3, QStringLiteral("z"));
    const int nPixels = grid.columnWidth(1);
    QCOMPARE(grid.GetColWidth(2), 3000);
    QVERIFY(qAbs(nPixels - 3000 * grid.logicalDpiX() / 96 / 15) <= 1);
    QVERIFY(qAbs(grid.verticalHeader()->width() - 500 * grid.logicalDpiX() / 96 / 15) <= 1);

    // Changing the column count or refilling the rows keeps the widths already set.
    grid.SetCols(3);
    QCOMPARE(grid.GetTextMatrix(1, 3), QString());
    grid.SetCols(4);
    QCOMPARE(grid.GetTextMatrix(1, 3), QString());
    grid.SetAllRows({{QString(), QStringLiteral("1")}});
    QCOMPARE(grid.columnWidth(1), nPixels);
    QCOMPARE(grid.GetColWidth(2), 3000);
}

void TestGrid::ClickReportsTheCell() {
    CMsflexgrid1 grid;
    grid.resize(400, 300);
    grid.SetCols(3);
    grid.SetRows(5);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy spy(&grid, &CMsflexgrid1::Click);

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      grid.viewport()->mapFrom(&grid, grid.CellRect(3, 2).center()));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(grid.GetMouseRow(), 3);
    QCOMPARE(grid.GetMouseCol(), 2);

    // The fixed column and the header row report their own cells.
    QTest::mouseClick(
        grid.verticalHeader()->viewport(), Qt::LeftButton, {},
        grid.verticalHeader()->viewport()->mapFrom(&grid, grid.CellRect(2, 0).center()));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(grid.GetMouseRow(), 2);
    QCOMPARE(grid.GetMouseCol(), 0);
    QTest::mouseClick(
        grid.horizontalHeader()->viewport(), Qt::LeftButton, {},
        grid.horizontalHeader()->viewport()->mapFrom(&grid, grid.CellRect(0, 1).center()));
    QCOMPARE(grid.GetMouseRow(), 0);
    QCOMPARE(grid.GetMouseCol(), 1);
    QCOMPARE(grid.GetTextMatrix(1, 1), QString()); // clicking never edits
}

void TestGrid::CellRectFollowsScrolling() {
    QWidget form;
    auto* pLayout = new QVBoxLayout(&form);
    pLayout->setContentsMargins(30, 40, 0, 0);
    auto* pGrid = new CMsflexgrid1(&form);
    pLayout->addWidget(pGrid);
    form.resize(500, 200);
    pGrid->SetCols(4);
    pGrid->SetRows(60);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(pGrid->GetTopRow(), 1);
    const QRect row1 = pGrid->CellRect(1, 1, &form);
    const QRect row5 = pGrid->CellRect(5, 1, &form);
    QCOMPARE(row1.topLeft(), pGrid->mapTo(&form, pGrid->CellRect(1, 1).topLeft()));
    QVERIFY(row1.left() >= 30 + pGrid->verticalHeader()->width());
    QVERIFY(row1.top() >= 40 + pGrid->horizontalHeader()->height());
    QCOMPARE(row5.top() - row1.top(), 4 * pGrid->rowHeight(0));

    QSignalSpy spy(pGrid, &CMsflexgrid1::Scroll);
    pGrid->verticalScrollBar()->setValue(3);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(pGrid->GetTopRow(), 4);
    // The top visible row now sits where row 1 was.
    QCOMPARE(pGrid->CellRect(4, 1, &form), row1);
    QCOMPARE(pGrid->CellRect(5, 1, &form).top(), row1.top() + pGrid->rowHeight(0));
}

void TestGrid::FillsItsWidthAlignsMoneyAndTipsCutTexts() {
    CMsflexgrid1 grid;
    grid.resize(600, 200);
    grid.SetCols(4);
    grid.SetRows(3);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    // The last column reaches the right edge (and no further), wider or narrower.
    const auto edge = [&] { return grid.columnViewportPosition(2) + grid.columnWidth(2); };
    QCOMPARE(edge(), grid.viewport()->width());
    grid.resize(900, 200);
    QCOMPARE(edge(), grid.viewport()->width());
    grid.SetColWidth(1, 3000);
    QCOMPARE(edge(), grid.viewport()->width());
    QCOMPARE(grid.GetColWidth(3), 960); // as set; only the drawing is wider
    QVERIFY(!grid.horizontalScrollBar()->isVisible());

    // Amounts on the right whatever their form, words on the left.
    const struct {
        const char* pszText;
        bool bRight;
    } cells[] = {{"12.50", true},
                 {"-1500.56元", true},
                 {"￥1,200.00", true},
                 {"0", true},
                 {" -￥ +12. 元\t", true},
                 {"1,2,3", true},
                 {"用餐", false},
                 {"2004年3月3日", false},
                 {"3号楼", false},
                 {"", false},
                 {".5", false},
                 {"12 .5", false},
                 {"12元3", false},
                 {"1.2.3", false},
                 {"-", false},
                 {"\xE3\x80\x80"
                  "5",
                  false}};
    for (const auto& c : cells) {
        grid.SetTextMatrix(1, 2, S(c.pszText));
        const auto eAlign =
            grid.model()->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        QVERIFY2(bool(eAlign & Qt::AlignRight) == c.bRight, c.pszText);
    }

    // A column widens to its widest text, never narrows, and widens again in a larger font:
    // a width measured in the old font is not reused.
    grid.SetTextMatrix(2, 1, S("12345678901234567890元"));
    grid.SetColWidth(1, 300);
    grid.WidenColToFit(1);
    const int nFits = grid.GetColWidth(1);
    QVERIFY(nFits > 300);
    grid.WidenColToFit(1);
    QCOMPARE(grid.GetColWidth(1), nFits);
    const QFont font = grid.font();
    QFont larger = font;
    larger.setPointSizeF(font.pointSizeF() * 2);
    grid.setFont(larger);
    grid.WidenColToFit(1);
    QVERIFY(grid.GetColWidth(1) > nFits * 3 / 2);
    grid.setFont(font);
    grid.SetColWidth(1, 960);

    // Resting the mouse on a cut note shows it whole; a text that fits shows no tip.
    const QString strLong = S("一段很长很长的备注文字，").repeated(6);
    grid.SetTextMatrix(1, 1, strLong);
    grid.SetTextMatrix(2, 1, S("短"));
    const auto tipAt = [&](int nRow) {
        QToolTip::hideText();
        const QPoint pos = grid.viewport()->mapFrom(&grid, grid.CellRect(nRow, 1).center());
        QHelpEvent help(QEvent::ToolTip, pos, grid.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(grid.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(tipAt(1), strLong);
    QTRY_COMPARE(tipAt(2), QString());

    // The grid draws its cells as Qt's own item drawing does, pixel for pixel, the first time
    // and again from the cells it keeps: the cut note with its "…", amounts on the right, a
    // marked row, the current cell selected and focused; then on another ground, in another
    // colour, in a larger font, where a kept cell would be wrong.
    grid.SetTextMatrix(2, 2, S("-1500.56元"));
    grid.SetTextMatrix(2, 3, S("备注"));
    grid.SetRowMark(2, QColor(255, 200, 120), S("另一个窗口改过"));
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(1, 2));
    QStyledItemDelegate qtDelegate;
    QAbstractItemDelegate* pOurs = grid.itemDelegate();
    const auto drawnAsQt = [&](const char* pszCase) {
        const QImage first = grid.viewport()->grab().toImage();
        const QImage again = grid.viewport()->grab().toImage();
        grid.setItemDelegate(&qtDelegate);
        const QImage qt = grid.viewport()->grab().toImage();
        grid.setItemDelegate(pOurs);
        if (first != qt || again != qt)
            qWarning("drawn otherwise than Qt draws it: %s", pszCase);
        return first == qt && again == qt;
    };
    QVERIFY(drawnAsQt("as set"));
    QPalette palette = grid.palette();
    palette.setColor(QPalette::Base, QColor(255, 255, 220));
    grid.setPalette(palette);
    QVERIFY(drawnAsQt("another ground"));
    palette.setColor(QPalette::Text, QColor(0, 0, 160));
    grid.setPalette(palette);
    QVERIFY(drawnAsQt("another colour"));
    grid.setFont(larger);
    QVERIFY(drawnAsQt("a larger font"));
    grid.setFont(font);
    grid.SetRows(12);
    for (int nRow = 3; nRow < 12; ++nRow)
        grid.SetTextMatrix(nRow, 2, QString::number(nRow * 1111.5, 'f', 2));
    // The bottom edge halfway down the fifth row.
    const QSize whole = grid.size();
    const int nRow = grid.rowHeight(0);
    grid.resize(whole.width(), whole.height() - grid.viewport()->height() + 4 * nRow + nRow / 2);
    QCOMPARE(grid.viewport()->height(), 4 * nRow + nRow / 2);
    QVERIFY(drawnAsQt("rows cut by the edge"));
    grid.verticalScrollBar()->setValue(2);
    QVERIFY(drawnAsQt("scrolled"));
    grid.verticalScrollBar()->setValue(0);
    grid.SetRows(3);
    grid.resize(whole);
    grid.setPalette(QPalette());
    grid.setItemDelegate(&qtDelegate);

    // Its lines are the table view's own, scrolled or not, with a row hidden.
    QTableView table;
    table.setModel(grid.model());
    table.setItemDelegate(grid.itemDelegate());
    table.setFont(grid.font());
    grid.SetRows(40);
    grid.SetColWidth(1, 1500);
    for (QTableView* pView : {static_cast<QTableView*>(&grid), &table}) {
        pView->resize(grid.size());
        pView->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        pView->verticalHeader()->setFixedWidth(grid.verticalHeader()->width());
        pView->horizontalHeader()->setFixedHeight(grid.horizontalHeader()->height());
        pView->verticalHeader()->setDefaultSectionSize(grid.rowHeight(0));
        pView->setRowHidden(5, true);
    }
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    for (int nCol = 0; nCol < grid.model()->columnCount(); ++nCol)
        table.setColumnWidth(nCol, grid.columnWidth(nCol));
    grid.clearFocus();
    grid.selectionModel()->clear();
    for (const int nScroll : {0, 3}) {
        grid.verticalScrollBar()->setValue(nScroll);
        table.verticalScrollBar()->setValue(nScroll);
        QCOMPARE(grid.viewport()->grab().toImage(), table.viewport()->grab().toImage());
    }
}

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
