#include "analysis/creportcsv.h"
#include "analysis/creportpages.h"
#include "analysis/creportquery.h"
#include "analysis/ctexttable.h"
#include "ctestbook.h"
#include "data/cbankset.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/ctrsset.h"
#include "import/cexporter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <tuple>

namespace {
const QString U = QStringLiteral("张三");

template <class TSet>
void AddRecord(const QString& strUser, const QDate& date, const QString& strSort,
               const QString& strBank, double dAmount, const QString& strNote = QString()) {
    TSet set;
    set.Open();
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(date, QTime(0, 0));
    set.m_Sort = strSort;
    set.m_Note = strNote;
    set.m_Bank = strBank;
    set.m_Amount = dAmount;
    set.Update();
}

void AddIncome(const QDate& date, const QString& strSort, double dAmount,
               const QString& strNote = QString()) {
    AddRecord<CIncomeSet>(U, date, strSort, QStringLiteral("现金"), dAmount, strNote);
}

template <class TSet> void AddMarker(const QString& strUser, const QDate& date) {
    TSet set;
    set.Open();
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(date, QTime(0, 0));
    set.Update();
}

QStringList Column(const CReportQuery::SResult& r, int nCol) {
    QStringList list;
    for (const QStringList& row : r.rows)
        list << row.value(nCol + 1); // past the empty fixed column
    return list;
}

QString D(int y, int m, int d) {
    return CReportQuery::FormatDate(y, m, d);
}
} // namespace

class TestReports : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dateListsKeepMarkerDaysThatReportsLeaveOut() {
        CTestBook book;
        AddMarker<CIncomeSet>(U, QDate(2004, 3, 5)); // a day opened but never filled
        AddIncome(QDate(2004, 3, 7), QStringLiteral("工资收入"), 100);
        AddIncome(QDate(2004, 3, 1), QStringLiteral("奖金收入"), 20.5, QStringLiteral("年终"));
        AddIncome(QDate(2004, 3, 7), QStringLiteral("奖金收入"), 1);
        AddMarker<CIncomeSet>(U, QDate(2004, 3, 7));
        AddMarker<COutlaySet>(U, QDate(2003, 12, 31));
        AddRecord<CIncomeSet>(QStringLiteral("李四"), QDate(2004, 3, 2), QStringLiteral("工资收入"),
                              QStringLiteral("现金"), 999);

        const QVector<QDate> dates = CReportQuery::RecordDates(U, CReportQuery::ETable::Income);
        QCOMPARE(dates, (QVector<QDate>{QDate(2004, 3, 1), QDate(2004, 3, 5), QDate(2004, 3, 7)}));
        QCOMPARE(CReportQuery::RecordDates(U, CReportQuery::ETable::Outlay),
                 QVector<QDate>{QDate(2003, 12, 31)});
        QVERIFY(CReportQuery::RecordDates(QStringLiteral("王五"), CReportQuery::ETable::Income)
                    .isEmpty());

        const auto r = CReportQuery::RecordReport(U, CReportQuery::ETable::Income, std::nullopt,
                                                  D(2004, 3, 1), D(2004, 3, 7));
        QCOMPARE(r.rows.size(), 3);
        QCOMPARE(r.rows[0],
                 (QStringList{QString(), QStringLiteral("2004年3月1日"), QStringLiteral("奖金收入"),
                              QStringLiteral("年终"), QStringLiteral("20.50元")}));
        // Same day: entry order.
        QCOMPARE(Column(r, 3), (QStringList{QStringLiteral("20.50元"), QStringLiteral("100.00元"),
                                            QStringLiteral("1.00元")}));
        QCOMPARE(r.nTotalCents, 12150);

        // Outlay reads its own table.
        QVERIFY(CReportQuery::RecordReport(U, CReportQuery::ETable::Outlay, std::nullopt,
                                           D(2000, 1, 1), D(2010, 1, 1))
                    .rows.isEmpty());
    }

    void categoryAndDateRange() {
        CTestBook book;
        for (int d = 1; d <= 5; ++d) {
            AddIncome(QDate(2005, 1, d), QStringLiteral("工资收入"), d);
            AddIncome(QDate(2005, 1, d), QStringLiteral("股票收入"), 10 * d);
        }
        AddIncome(QDate(2005, 1, 3), QStringLiteral("股票'收入"), 1000);

        // Start equal to end: exactly that day, every category.
        auto r = CReportQuery::RecordReport(U, CReportQuery::ETable::Income, std::nullopt,
                                            D(2005, 1, 3), D(2005, 1, 3));
        QCOMPARE(Column(r, 0), QStringList(3, D(2005, 1, 3)));
        QCOMPARE(r.nTotalCents, 103300);

        // One category, both ends inclusive.
        r = CReportQuery::RecordReport(U, CReportQuery::ETable::Income, QStringLiteral("股票收入"),
                                       D(2005, 1, 2), D(2005, 1, 4));
        QCOMPARE(Column(r, 1), QStringList(3, QStringLiteral("股票收入")));
        QCOMPARE(Column(r, 3), (QStringList{QStringLiteral("20.00元"), QStringLiteral("30.00元"),
                                            QStringLiteral("40.00元")}));
        // A quote in the category selects only that category.
        r = CReportQuery::RecordReport(U, CReportQuery::ETable::Income, QStringLiteral("股票'收入"),
                                       D(2005, 1, 1), D(2005, 1, 5));
        QCOMPARE(r.rows.size(), 1);
        // No date chosen (empty texts): nothing is in range.
        QVERIFY(CReportQuery::RecordReport(U, CReportQuery::ETable::Income, std::nullopt, QString(),
                                           QString())
                    .rows.isEmpty());
    }

    // The SQL narrows by whole months; the answer must still be exactly the rows the
    // part-by-part range test accepts, also for texts outside the calendar.
    void rangeMatchesThePartByPartTest() {
        CTestBook book;
        QVector<QDate> days;
        for (QDate d(2006, 11, 28); d <= QDate(2007, 3, 3); d = d.addDays(3)) {
            AddIncome(d, QStringLiteral("工资收入"), 1);
            days << d;
        }
        const QStringList bounds{
            D(2006, 11, 28),       D(2006, 12, 31), D(2007, 1, 1),
            D(2007, 2, 30),        D(2007, 13, 1),  D(2006, 0, 0),
            D(2007, 3, 3),         D(2007, 2, 31),  QStringLiteral("2007年1月"),
            QStringLiteral("垃圾")};
        for (const QString& strStart : bounds) {
            for (const QString& strEnd : bounds) {
                QStringList expected;
                for (const QDate& d : days) {
                    if (CReportQuery::IsInDateRange(d.year(), d.month(), d.day(), strStart, strEnd))
                        expected << CReportQuery::FormatDate(d);
                }
                const auto r = CReportQuery::RecordReport(U, CReportQuery::ETable::Income,
                                                          std::nullopt, strStart, strEnd);
                QVERIFY2(Column(r, 0) == expected,
                         qPrintable(strStart + QLatin1String(" .. ") + strEnd));
            }
        }
        QVERIFY(CReportQuery::IsInDateRange(2007, 2, 1, D(2007, 1, 31), D(2007, 2, 1)));
        QVERIFY(!CReportQuery::IsInDateRange(2007, 2, 2, D(2007, 1, 31), D(2007, 2, 1)));
        QVERIFY(!CReportQuery::IsInDateRange(2007, 1, 30, D(2007, 1, 31), D(2007, 2, 1)));
        int y, m, d;
        CReportQuery::ParseDateText(QStringLiteral("2012年10月09日"), y, m, d);
        QCOMPARE(QVector<int>({y, m, d}), QVector<int>({2012, 10, 9}));
    }

    void accountAndTransferReports() {
        CTestBook book;
        const QStringList names{QStringLiteral("现金"), QStringLiteral("工行"),
                                QStringLiteral("建行")};
        const double cash[] = {0.1, 0.2, -1500.555};
        for (int i = 0; i < 3; ++i) {
            CBankSet set;
            set.Open();
            set.AddNew();
            set.m_UserName = U;
            set.m_CardName = names[i];
            set.m_CardSum = QStringLiteral("备注%1").arg(i);
            set.m_CardCash = cash[i];
            set.Update();
        }
        {
            CTrsSet set;
            set.Open();
            for (int i = 0; i < 2; ++i) {
                set.AddNew();
                set.m_UserName = i ? U : QStringLiteral("李四");
                set.m_TrsDate = QDateTime(QDate(2008, 8, 8 - i), QTime(0, 0));
                set.m_TrsFrom = names[0];
                set.m_TrsIn = names[2];
                set.m_TrsAmount = 88.8;
                set.Update();
            }
        }
        auto r = CReportQuery::AccountReport(U);
        QCOMPARE(Column(r, 0), names); // table order, not sorted
        QCOMPARE(r.rows[2], (QStringList{QString(), QStringLiteral("建行"), QStringLiteral("备注2"),
                                         QStringLiteral("-1500.56元")}));
        QCOMPARE(r.nTotalCents, 10 + 20 - 150056);

        r = CReportQuery::TransferReport(U);
        QCOMPARE(r.rows.size(), 1);
        QCOMPARE(r.rows[0],
                 (QStringList{QString(), QStringLiteral("2008年8月7日"), QStringLiteral("现金"),
                              QStringLiteral("建行"), QStringLiteral("88.80元")}));
        QCOMPARE(r.Total(), 88.8);
    }

    // The report grid's texts: every way of changing a CTextTable against a plain list of rows
    // doing the same, with texts repeated, empty, long, many distinct ones (the lookup grows)
    // and a table rewritten until it rebuilds its store.
    void textTableMatchesPlainRows() {
        QVector<QStringList> plain{{QStringLiteral("a"), QStringLiteral("用餐")},
                                   {QStringLiteral("a")},
                                   {QString(), QStringLiteral("b"), QStringLiteral("cut")}};
        CTextTable table = CTextTable::FromRows(plain, 2);
        const auto fit = [](QVector<QStringList>& rows, int nCols) {
            for (QStringList& row : rows) {
                while (row.size() < nCols)
                    row << QString();
                while (row.size() > nCols)
                    row.removeLast();
            }
        };
        fit(plain, 2);
        const auto same = [&](const char* szStep) {
            QVERIFY2(table.ToList() == plain, szStep);
            QCOMPARE(table.Rows(), int(plain.size()));
            int n = 0;
            for (const QStringList& row : table) // the reading side of QVector<QStringList>
                QVERIFY2(row == plain[n++], szStep);
        };
        same("from rows");
        table.SetText(1, 1, QStringLiteral("用餐"));
        plain[1][1] = QStringLiteral("用餐");
        table.SetText(9, 0, QStringLiteral("outside")); // ignored
        table.SetText(0, -1, QStringLiteral("outside"));
        same("set text");
        table.SetCols(4);
        fit(plain, 4);
        table.SetText(2, 3, QString(300, QLatin1Char('x')));
        plain[2][3] = QString(300, QLatin1Char('x'));
        same("wider");
        table.SetCols(3);
        fit(plain, 3);
        same("narrower");
        table.Squeeze(); // later writes still work
        table.AppendRow(
            {QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f"), QStringLiteral("cut")});
        plain.append({QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f")});
        same("append after squeeze");
        table.Reorder({3, 0, 2, 1});
        plain = {plain[3], plain[0], plain[2], plain[1]};
        same("reorder");
        table.SetRows(2);
        plain.resize(2);
        table.SetRows(3);
        plain.append({QString(), QString(), QString()});
        same("fewer rows, then more");
        // Many distinct texts, each written over the last: the store is rebuilt on the way.
        for (int i = 0; i < 5000; ++i) {
            const QString strText = QStringLiteral("文字 %1").arg(i);
            table.SetText(i % 3, i % 3, strText);
            plain[i % 3][i % 3] = strText;
        }
        same("rewritten");
        for (int i = 0; i < 3000; ++i) {
            table.AppendRow({QString::number(i % 700), QStringLiteral("同"), QString::number(i)});
            plain.append({QString::number(i % 700), QStringLiteral("同"), QString::number(i)});
        }
        same("many rows");
        table.SetRows(0);
        plain.clear();
        same("emptied");
        table.AppendRow({QStringLiteral("again")});
        plain.append({QStringLiteral("again"), QString(), QString()});
        same("filled again");
    }

    void pagination() {
        struct {
            int nDataRows, nPages, nLastRows;
        } cases[] = {{85, 3, 5}, {80, 2, 40}, {0, 1, 0}, {39, 1, 39}, {40, 1, 40}, {41, 2, 1}};
        for (const auto& c : cases) {
            const int nGridRows = c.nDataRows + 1;
            QCOMPARE(CReportPages::PageCount(nGridRows), c.nPages);
            QCOMPARE(CReportPages::RowsOnPage(c.nPages, nGridRows), c.nLastRows);
            int nSum = 0;
            for (int p = 1; p <= c.nPages; ++p) {
                QCOMPARE(CReportPages::FirstRow(p), nSum + 1);
                nSum += CReportPages::RowsOnPage(p, nGridRows);
            }
            QCOMPARE(nSum, c.nDataRows);
        }
    }

    // The CSV of a report as a spreadsheet reads it (Python's csv module stands in for one):
    // the Chinese header, ISO dates, plain amounts that add up to the report's total, and
    // text that could run as a formula made inert.
    void csvForSpreadsheets() {
        CTestBook book;
        const QStringList notes = {QStringLiteral("=HYPERLINK(\"http://x\",\"点我\")"),
                                   QStringLiteral("+1"),
                                   QStringLiteral("-5 块"),
                                   QStringLiteral("@SUM(A1)"),
                                   QStringLiteral("\t制表"),
                                   QStringLiteral("午饭, \"两人\"\n第二行"),
                                   QStringLiteral("平常")};
        for (int i = 0; i < notes.size(); ++i)
            AddIncome(QDate(2024, 12, 9).addDays(i), QStringLiteral("工资收入"),
                      34.2 + i * 1001.07 - (i == 2 ? 5000 : 0), notes[i]);
        const CReportQuery::SResult r = CReportQuery::RecordReport(
            U, CReportQuery::ETable::Income, std::nullopt, D(2024, 1, 1), D(2025, 12, 31));
        QVector<QStringList> rows;
        for (const QStringList& row : r.rows)
            rows << row.mid(1);
        const QStringList header = {QStringLiteral("日期"), QStringLiteral("收入分类"),
                                    QStringLiteral("摘要"), QStringLiteral("收入金额")};
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("报表.csv"));
        QString strError;
        QVERIFY(CReportCsv::Write(strPath, header, rows, strError));
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("\xEF\xBB\xBF"));

        // Every CSV the program writes guards its text the same way: the report's and the
        // export's (操作 → 导出…), whose amounts are in the fifth column.
        const QString strExport = dir.filePath(QStringLiteral("导出.csv"));
        QCOMPARE(CExporter::Write(strExport, U, CExporter::EFormat::Csv, QDate(2024, 1, 1),
                                  QDate(2025, 12, 31)),
                 QString());
        for (const auto& [strFile, nNote, nAmount] :
             {std::tuple{strPath, 2, 3}, std::tuple{strExport, 3, 4}}) {
            QProcess python;
            python.start(QStringLiteral("python3"),
                         {QStringLiteral("-c"),
                          QStringLiteral("import csv, json, sys\n"
                                         "rows = list(csv.reader(open(sys.argv[1], "
                                         "encoding='utf-8-sig', newline='')))\n"
                                         "total = sum(round(float(r[int(sys.argv[2])]) * 100) "
                                         "for r in rows[1:])\n"
                                         "print(json.dumps({'rows': rows, 'total': total}))\n"),
                          strFile, QString::number(nAmount)});
            QVERIFY(python.waitForFinished(30000));
            QCOMPARE(python.exitCode(), 0);
            const QJsonObject read =
                QJsonDocument::fromJson(python.readAllStandardOutput()).object();
            QCOMPARE(read.value(QStringLiteral("total")).toInteger(), r.nTotalCents);
            const QJsonArray lines = read.value(QStringLiteral("rows")).toArray();
            QCOMPARE(lines.size(), notes.size() + 1);
            if (strFile == strPath)
                QCOMPARE(lines[0].toVariant().toStringList(), header);
            for (int i = 0; i < notes.size(); ++i) {
                const QStringList line = lines[i + 1].toVariant().toStringList();
                QCOMPARE(line[0], QDate(2024, 12, 9).addDays(i).toString(Qt::ISODate));
                QCOMPARE(line[nAmount],
                         CMoney::Format(r.rows[i][4].chopped(1).toDouble()).trimmed());
                const bool bFormula = i < 5;
                QCOMPARE(line[nNote], bFormula ? QLatin1Char('\'') + notes[i] : notes[i]);
            }
        }
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestReports)
#include "tst_reports.moc"
