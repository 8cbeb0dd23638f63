#include "analysis/cchartdata.h"
#include "ctestbook.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/ctoday.h"
#include "data/ctransaction.h"

#include <QMap>
#include <QRandomGenerator>
#include <QtTest>

namespace {
using ETable = CChartData::ETable;
const QString kUser = QStringLiteral("张三");

// An empty text column holds '', as the program writes it, never NULL.
QString NotNull(const QString& str) {
    return str.isNull() ? QStringLiteral("") : str;
}

void AddRowTo(const char* szTable, const QString& strUser, const QDate& date,
              const QString& strSort, const QString& strBank, double dAmount) {
    CDatabase::Exec(
        QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\", \"Sort\", \"Note\", "
                       "\"Amount\", \"Bank\") VALUES (?, ?, ?, '', ?, ?)")
            .arg(QLatin1String(szTable)),
        {strUser, CDatabase::Dialect().BindDate(date), NotNull(strSort), dAmount,
         NotNull(strBank)});
}

void AddIncome(const QDate& date, const QString& strSort, double dAmount,
               const QString& strUser = kUser) {
    AddRowTo("Income", strUser, date, strSort, QStringLiteral("现金"), dAmount);
}
void AddOutlay(const QDate& date, const QString& strSort, double dAmount) {
    AddRowTo("Outlay", kUser, date, strSort, QStringLiteral("工商银行"), dAmount);
}
// The row a new day starts with: only the user and the date.
void AddIncomeMarker(const QDate& date) {
    AddRowTo("Income", kUser, date, {}, {}, 0.0);
}

QString Text(double d) {
    return CMoney::Format(d);
}
} // namespace

class TestCharts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void totalsCoverTheirPeriodAndCategory() {
        CTestBook book;
        const QString wage = QStringLiteral("工资收入");
        const QString bonus = QStringLiteral("奖金收入");
        AddIncome(QDate(2004, 3, 2), wage, 1000.10);
        AddIncome(QDate(2004, 3, 2), bonus, 0.20);
        AddIncome(QDate(2004, 3, 31), wage, 0.10);
        AddIncome(QDate(2004, 4, 1), wage, 500.00);
        AddIncome(QDate(2004, 12, 31), bonus, 7.77);
        AddIncome(QDate(2005, 1, 1), wage, 3.00);
        AddIncomeMarker(QDate(2004, 3, 2));
        AddIncome(QDate(2004, 3, 2), wage, 999.0, QStringLiteral("李四")); // another user

        const CChartData data(ETable::Income, kUser);
        QCOMPARE(Text(data.GetDaySum(2004, 3, 2)), QStringLiteral("1000.30"));
        QCOMPARE(Text(data.GetDaySum(2004, 3, 3)), QStringLiteral("0.00"));
        QCOMPARE(Text(data.GetMonthSum(2004, 3)), QStringLiteral("1000.40"));
        QCOMPARE(Text(data.GetMonthSum(2004, 12)), QStringLiteral("7.77"));
        QCOMPARE(Text(data.GetYearSum(2004)), QStringLiteral("1508.17"));
        QCOMPARE(Text(data.GetYearSum(2005)), QStringLiteral("3.00"));
        QCOMPARE(Text(data.GetSortSum(1)), QStringLiteral("1503.20"));
        QCOMPARE(Text(data.GetSortSum(2)), QStringLiteral("7.97"));
        QCOMPARE(Text(data.GetSortSum(8)), QStringLiteral("0.00"));
        QCOMPARE(Text(data.GetYearSortSum(2004, 1)), QStringLiteral("1500.20"));
        QCOMPARE(Text(data.GetYearSortSum(2005, 2)), QStringLiteral("0.00"));
        QCOMPARE(Text(data.GetMonthSortSum(2004, 3, 2)), QStringLiteral("0.20"));
        QCOMPARE(Text(data.GetMonthSortSum(2004, 4, 1)), QStringLiteral("500.00"));
        // Indexes past the list and dates that do not exist select nothing.
        QCOMPARE(data.GetSortSum(0), 0.0);
        QCOMPARE(data.GetSortSum(9), 0.0);
        QCOMPARE(data.GetMonthSum(2004, 13), 0.0);
        QCOMPARE(data.GetDaySum(2004, 2, 30), 0.0);

        // Ten times 0.1 drifts below 1 in a double sum; the total must not.
        CTransaction trs;
        for (int i = 0; i < 10; ++i)
            AddIncome(QDate(2006, 5, 1), QStringLiteral("津贴收入"), 0.10);
        trs.Commit();
        QCOMPARE(data.GetDaySum(2006, 5, 1), 1.0);
        QCOMPARE(data.GetMonthSortSum(2006, 5, 3), 1.0);

        // The outlay table has 12 categories; "交通支出" is the seventh.
        AddOutlay(QDate(2004, 3, 2), QStringLiteral("交通支出"), 12.5);
        const CChartData outlay(ETable::Outlay, kUser);
        QCOMPARE(Text(outlay.GetSortSum(7)), QStringLiteral("12.50"));
        QCOMPARE(Text(outlay.GetSortSum(12)), QStringLiteral("0.00"));
        QCOMPARE(data.GetSortSum(7), 0.0);
        // Charts name a category as the lists do, by its stored text.
        QCOMPARE(outlay.CategoryLabels().at(6), QStringLiteral("交通支出"));
        QCOMPARE(outlay.CategoryLabels().size(), 12);
        QCOMPARE(data.CategoryLabels().size(), 8);
    }

    void monthLineHasTheMonthsDaysAndSkipsMarkerDays() {
        CTestBook book;
        AddIncome(QDate(2004, 4, 3), QStringLiteral("工资收入"), 10.25);
        AddIncome(QDate(2004, 4, 3), QStringLiteral("奖金收入"), 4.75);
        AddIncomeMarker(QDate(2004, 4, 3));
        AddIncomeMarker(QDate(2004, 4, 9)); // a day with only its marker
        AddIncome(QDate(2004, 4, 30), QStringLiteral("工资收入"), 0.0); // real, but zero
        AddIncome(QDate(2004, 5, 1), QStringLiteral("工资收入"), 99.0); // next month
        AddIncome(QDate(2004, 2, 29), QStringLiteral("工资收入"), 7.0);
        AddIncome(QDate(2005, 3, 1), QStringLiteral("工资收入"), 8.0); // after February 28

        const CChartData data(ETable::Income, kUser);
        const CChartData::SLine line = data.MonthLine(2004, 4);
        QCOMPARE(line.labels.size(), 30);
        QCOMPARE(line.data.size(), 30);
        QCOMPARE(line.labels.first(), QStringLiteral("1"));
        QCOMPARE(line.labels.last(), QStringLiteral("30"));
        QCOMPARE(line.data.at(2), QStringLiteral("15.00"));
        QCOMPARE(line.data.at(8), QStringLiteral("0"));
        QCOMPARE(line.data.at(29), QStringLiteral("0.00"));
        QCOMPARE(line.data.count(QStringLiteral("0")), 28);

        // February: 29 days in a leap year, 28 otherwise; March 1st never lands on them.
        const CChartData::SLine leap = data.MonthLine(2004, 2);
        QCOMPARE(leap.labels.size(), 29);
        QCOMPARE(leap.data.last(), QStringLiteral("7.00"));
        const CChartData::SLine common = data.MonthLine(2005, 2);
        QCOMPARE(common.labels.size(), 28);
        QCOMPARE(common.labels.last(), QStringLiteral("28"));
        QCOMPARE(common.data.count(QStringLiteral("0")), 28);
        QCOMPARE(data.MonthLine(2005, 13).labels.size(), CChartData::MonthRows);
    }

    void userLineSpansTheBooksOwnYears() {
        {
            // No records yet: this year alone.
            CTestBook book;
            CToday::Set(QDate(2026, 12, 9));
            const CChartData::SLine empty = CChartData(ETable::Income, kUser).UserLine();
            CToday::Set(QDate());
            QCOMPARE(empty.labels, QStringList{QStringLiteral("2026年")});
            QCOMPARE(empty.data, QStringList{QStringLiteral("0")});
        }
        {
            // A book begun in 2024 shows 2024 to 2026, not the years before it; a year
            // between records keeps its row.
            CTestBook book;
            AddIncome(QDate(2024, 2, 29), QStringLiteral("工资收入"), 100.0);
            AddIncome(QDate(2026, 12, 31), QStringLiteral("其它收入"), 300.0);
            const CChartData::SLine line = CChartData(ETable::Income, kUser).UserLine();
            QCOMPARE(line.labels, QStringList({QStringLiteral("2024年"), QStringLiteral("2025年"),
                                               QStringLiteral("2026年")}));
            QCOMPARE(line.data, QStringList({QStringLiteral("100.00"), QStringLiteral("0"),
                                             QStringLiteral("300.00")}));

            AddIncome(QDate(1999, 3, 1), QStringLiteral("工资收入"), 1.0);
            const CChartData::SLine wider = CChartData(ETable::Income, kUser).UserLine();
            QCOMPARE(wider.labels.first(), QStringLiteral("1999年"));
            QCOMPARE(wider.labels.size(), 28);
            QCOMPARE(wider.data.first(), QStringLiteral("1.00"));
        }
        {
            // A book spanning centuries, and a record without a date, which no year holds.
            CTestBook book;
            AddIncome(QDate(1800, 1, 1), QStringLiteral("工资收入"), 4.0);
            AddIncome(QDate(2005, 12, 31), QStringLiteral("工资收入"), 0.25);
            AddIncome(QDate(2005, 1, 1), QStringLiteral("奖金收入"), 0.5);
            CDatabase::Exec(QStringLiteral("INSERT INTO \"Income\" (\"UserName\", \"Sort\", "
                                           "\"Amount\", \"Bank\") VALUES (?, '', 7, '现金')"),
                            {kUser});
            const CChartData::SLine line = CChartData(ETable::Income, kUser).UserLine();
            QCOMPARE(line.labels.size(), 206);
            QCOMPARE(line.data.first(), QStringLiteral("4.00"));
            QCOMPARE(line.data.at(205), QStringLiteral("0.75"));
            QCOMPARE(line.data.count(QStringLiteral("0")), 204);
        }
        {
            // A date stored without its time, as another program may write it.
            CTestBook book;
            CDatabase::Exec(QStringLiteral("INSERT INTO \"Income\" (\"UserName\", \"Date\", "
                                           "\"Sort\", \"Amount\", \"Bank\") "
                                           "VALUES (?, '2003-01-01', '', 3, '现金')"),
                            {kUser});
            AddIncome(QDate(2003, 5, 1), QStringLiteral("工资收入"), 1.0);
            QCOMPARE(CChartData(ETable::Income, kUser).UserLine().data.at(0),
                     QStringLiteral("4.00"));
        }
    }

    void categoryValuesOfAScopeWithoutRecordsAreZero() {
        CTestBook book;
        AddOutlay(QDate(2004, 3, 2), QStringLiteral("用餐支出"), 20.0);
        // Not in the list: counted under its own text, after the list.
        AddOutlay(QDate(2004, 3, 2), QStringLiteral("不在列表里"), 5.0);
        const CChartData data(ETable::Outlay, kUser);
        QCOMPARE(data.CategoryLabels().last(), QStringLiteral("不在列表里"));
        QCOMPARE(data.MonthSorts(2004, 4), QStringList(13, QStringLiteral("0.00")));
        QCOMPARE(data.YearSorts(2003), QStringList(13, QStringLiteral("0.00")));
        QStringList expected(13, QStringLiteral("0.00"));
        expected[0] = QStringLiteral("20.00");
        expected[12] = QStringLiteral("5.00");
        QCOMPARE(data.UserSorts(), expected);
        QCOMPARE(data.MonthSorts(2004, 3), expected);
        QCOMPARE(CChartData(ETable::Income, kUser).UserSorts(),
                 QStringList(8, QStringLiteral("0.00")));
    }

    // Every series against a plain walk over the rows, on a random book spanning a year edge.
    void seriesAgreeWithAWalkOverTheRows() {
        CTestBook book;
        QRandomGenerator rng(4711);
        const auto& cats = CChartData::Categories(ETable::Outlay);
        CTransaction trs;
        for (int i = 0; i < 400; ++i) {
            const QDate date = QDate(2008, 11, 1).addDays(rng.bounded(120));
            if (rng.bounded(6) == 0) {
                AddRowTo("Outlay", kUser, date, {}, {}, 0.0);
                continue;
            }
            const double dAmount = rng.bounded(100000) / 100.0;
            AddOutlay(date, cats[rng.bounded(cats.size())].strSort, dAmount);
        }
        trs.Commit();

        QMap<QDate, qint64> dayCents; // also keyed by the first of a month for its month
        QMap<QDate, bool> dayHasAccount;
        QMap<QDate, qint64> monthCents;
        QMap<QDate, bool> monthHasAccount;
        QMap<QString, qint64> sortCents;
        COutlaySet set;
        set.SetFilter(CRecordset::EFilter::User, {kUser});
        set.Open();
        for (; !set.IsEOF(); set.MoveNext()) {
            const QDate date = set.m_Date.date();
            const QDate month(date.year(), date.month(), 1);
            dayCents[date] += CMoney::ToCents(set.m_Amount);
            dayHasAccount[date] |= !set.m_Bank.isEmpty();
            monthCents[month] += CMoney::ToCents(set.m_Amount);
            monthHasAccount[month] |= !set.m_Bank.isEmpty();
            if (set.m_Date.date().year() == 2009 && set.m_Date.date().month() == 1)
                sortCents[set.m_Sort] += CMoney::ToCents(set.m_Amount);
        }

        const CChartData data(ETable::Outlay, kUser);
        const CChartData::SLine month = data.MonthLine(2009, 1);
        for (int d = 1; d <= 31; ++d) {
            const QDate date(2009, 1, d);
            const QString expected = dayHasAccount.value(date)
                                         ? Text(CMoney::FromCents(dayCents.value(date)))
                                         : QStringLiteral("0");
            QCOMPARE(month.data.at(d - 1), expected);
            QCOMPARE(Text(data.GetDaySum(2009, 1, d)),
                     Text(CMoney::FromCents(dayCents.value(date))));
        }
        const QStringList sorts = data.MonthSorts(2009, 1);
        for (int c = 0; c < cats.size(); ++c) {
            QCOMPARE(sorts.at(c), Text(CMoney::FromCents(sortCents.value(cats[c].strSort))));
            QCOMPARE(Text(data.GetMonthSortSum(2009, 1, c + 1)), sorts.at(c));
        }
        const CChartData::SLine year = data.YearLine(2008);
        QCOMPARE(year.labels.at(10), QStringLiteral("11月"));
        for (int m = 1; m <= 12; ++m) {
            const QDate month(2008, m, 1);
            QCOMPARE(year.data.at(m - 1), monthHasAccount.value(month)
                                              ? Text(CMoney::FromCents(monthCents.value(month)))
                                              : QStringLiteral("0"));
            QCOMPARE(Text(data.GetMonthSum(2008, m)),
                     Text(CMoney::FromCents(monthCents.value(month))));
        }
        qint64 n2008 = 0;
        for (auto it = dayCents.cbegin(); it != dayCents.cend(); ++it)
            n2008 += it.key().year() == 2008 ? it.value() : 0;
        QCOMPARE(data.UserLine().labels.first(), QStringLiteral("2008年"));
        QCOMPARE(data.UserLine().data.at(0), Text(CMoney::FromCents(n2008)));
        QCOMPARE(Text(data.GetYearSum(2008)), Text(CMoney::FromCents(n2008)));
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestCharts)
#include "tst_charts.moc"
