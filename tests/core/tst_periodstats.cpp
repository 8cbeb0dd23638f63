#include "analysis/cperiodstats.h"
#include "ctestbook.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/ctransaction.h"

#include <QRandomGenerator>
#include <QtTest>
#include <map>
#include <set>

namespace {
const QString g_strUser = QStringLiteral("张三");

template <class TSet>
void AddRow(const QDate& day, double dAmount, const QString& strUser = g_strUser) {
    TSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(day, QTime(0, 0));
    if (dAmount != 0) { // amount 0: the placeholder that opens a day
        set.m_Sort = QStringLiteral("其它");
        set.m_Bank = QStringLiteral("现金");
    }
    set.m_Amount = dAmount;
    set.Update();
}

QString Yuan(double d) {
    return CMoney::Format(d);
}
QString Cents(std::int64_t n) {
    return CMoney::Format(CMoney::FromCents(n));
}
} // namespace

class TestPeriodStats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyBook() {
        CTestBook book;
        AddRow<CIncomeSet>(QDate(2004, 1, 1), 50, QStringLiteral("别人"));
        CPeriodStats stats;
        QCOMPARE(stats.GetFirstYear(g_strUser), 0);
        QCOMPARE(stats.GetLastYear(g_strUser), 0);
        QCOMPARE(stats.GetFirstMonth(g_strUser, 0), 0);
        QCOMPARE(stats.GetLastMonth(g_strUser, 0), 0);
        QCOMPARE(stats.GetFirstDay(g_strUser, 0, 0), 0);
        QCOMPARE(stats.GetLastDay(g_strUser, 0, 0), 0);
        QCOMPARE(stats.GetTotalIncome(g_strUser), 0.0);
        QCOMPARE(stats.GetTotalOutlay(g_strUser), 0.0);
        QCOMPARE(stats.GetYearIncome(g_strUser, 2004), 0.0);
        QCOMPARE(stats.GetDayCount(g_strUser), 0);
        const CPeriodStats::SFigures f = stats.Figures(g_strUser);
        QCOMPARE(f.nTotalIncome, 0);
        QVERIFY(!f.firstDay.isValid() && !f.lastDay.isValid());
        QCOMPARE(f.nDayCount, 0);
        QVERIFY(f.years.isEmpty() && stats.UserBrief(g_strUser).isEmpty());
    }

    void firstAndLastAcrossTables() {
        CTestBook book;
        // Outlay only.
        AddRow<COutlaySet>(QDate(2003, 5, 10), 1);
        AddRow<COutlaySet>(QDate(2004, 2, 1), 2);
        CPeriodStats stats;
        QCOMPARE(stats.GetFirstYear(g_strUser), 2003);
        QCOMPARE(stats.GetLastYear(g_strUser), 2004);
        QCOMPARE(stats.GetFirstMonth(g_strUser, 2004), 2);
        QCOMPARE(stats.GetLastMonth(g_strUser, 2004), 2);
        // Income earlier and later than every outlay: each end comes from the other table.
        AddRow<CIncomeSet>(QDate(2002, 12, 31), 3);
        AddRow<CIncomeSet>(QDate(2004, 11, 3), 0);
        QCOMPARE(stats.GetFirstYear(g_strUser), 2002);
        QCOMPARE(stats.GetLastYear(g_strUser), 2004);
        QCOMPARE(stats.GetLastMonth(g_strUser, 2004), 11); // a placeholder counts
        QCOMPARE(stats.GetFirstMonth(g_strUser, 2002), 12);
        // A year / month without rows, and a month of 0.
        QCOMPARE(stats.GetFirstMonth(g_strUser, 1999), 0);
        QCOMPARE(stats.GetLastDay(g_strUser, 2004, 7), 0);
        QCOMPARE(stats.GetFirstDay(g_strUser, 2004, 0), 0);
        const CPeriodStats::SFigures f = stats.Figures(g_strUser);
        QCOMPARE(f.firstDay, QDate(2002, 12, 31));
        QCOMPARE(f.lastDay, QDate(2004, 11, 3));
    }

    void daysAndDayCount() {
        CTestBook book;
        AddRow<CIncomeSet>(QDate(2004, 3, 1), 10);
        AddRow<COutlaySet>(QDate(2004, 3, 1), 4);
        AddRow<COutlaySet>(QDate(2004, 3, 15), 6);
        CPeriodStats stats;
        QCOMPARE(stats.GetFirstDay(g_strUser, 2004, 3), 1);
        QCOMPARE(stats.GetLastDay(g_strUser, 2004, 3), 15);
        QCOMPARE(stats.GetDayCount(g_strUser), 2);
        // The larger of the two tables' counts, not the days of both together.
        AddRow<CIncomeSet>(QDate(2004, 4, 1), 1);
        AddRow<CIncomeSet>(QDate(2004, 4, 2), 0);
        AddRow<CIncomeSet>(QDate(2004, 4, 2), 5); // same day twice counts once
        QCOMPARE(stats.GetDayCount(g_strUser), 3);
        QCOMPARE(stats.Figures(g_strUser).nDayCount, 3);
    }

    void sumsOfPeriods() {
        CTestBook book;
        AddRow<CIncomeSet>(QDate(2004, 3, 2), 100.5);
        AddRow<CIncomeSet>(QDate(2004, 3, 2), 20.25);
        AddRow<CIncomeSet>(QDate(2004, 3, 3), 1);
        AddRow<CIncomeSet>(QDate(2004, 5, 1), 2);
        AddRow<CIncomeSet>(QDate(2005, 1, 1), 4);
        AddRow<COutlaySet>(QDate(2004, 5, 1), 2);
        AddRow<CIncomeSet>(QDate(2004, 3, 2), 1000, QStringLiteral("别人"));
        CPeriodStats stats;
        QCOMPARE(stats.GetDayIncome(g_strUser, 2004, 3, 2), 120.75);
        QCOMPARE(stats.GetMonthIncome(g_strUser, 2004, 3), 121.75);
        QCOMPARE(stats.GetYearIncome(g_strUser, 2004), 123.75);
        QCOMPARE(stats.GetTotalIncome(g_strUser), 127.75);
        QCOMPARE(stats.GetDayOutlay(g_strUser, 2004, 3, 2), 0.0);
        QCOMPARE(stats.GetMonthOutlay(g_strUser, 2004, 4), 0.0);
        QCOMPARE(stats.GetDayIncome(g_strUser, 2004, 2, 30), 0.0);
        // Briefs skip periods with no money; a month whose profit is 0 still shows.
        const auto months = stats.YearBrief(g_strUser, 2004);
        QCOMPARE(months.size(), 2);
        QCOMPARE(months[0].nPeriod, 3);
        QCOMPARE(months[0].nIncome, 12175);
        QCOMPARE(months[1].nPeriod, 5);
        QCOMPARE(months[1].nIncome, months[1].nOutlay);
        QCOMPARE(stats.MonthBrief(g_strUser, 2004, 3).size(), 2);
        QCOMPARE(stats.UserBrief(g_strUser).size(), 2);
    }

    // Sums are exact in cents whatever the order of rows: 0.1 + 0.2 - 0.3 style sums must
    // not show as -0.00 or leak a row into a brief.
    void centsAreExact() {
        CTestBook book;
        const QDate day(2010, 6, 1);
        for (double d : {0.1, 0.2, 0.7, 1e9 + 0.01, 0.03})
            AddRow<CIncomeSet>(day, d);
        AddRow<COutlaySet>(day.addDays(1), 0.1);
        AddRow<COutlaySet>(day.addDays(1), -0.1);
        CPeriodStats stats;
        QCOMPARE(Yuan(stats.GetDayIncome(g_strUser, 2010, 6, 1)), QStringLiteral("1000000001.04"));
        QCOMPARE(stats.MonthBrief(g_strUser, 2010, 6).size(), 1);
        QCOMPARE(stats.GetDayOutlay(g_strUser, 2010, 6, 2), 0.0);
    }

    void databaseErrorGivesErrorValues() {
        const QString strConn = QStringLiteral("broken");
        QTemporaryDir dir;
        CDatabase::SetUrl(dir.filePath(QStringLiteral("missing/folder/book.db")), strConn);
        int nReported = 0;
        CPeriodStats stats([&nReported](const CDBException&) { ++nReported; }, strConn);
        QCOMPARE(stats.GetTotalIncome(g_strUser), -1.0);
        QCOMPARE(stats.GetMonthOutlay(g_strUser, 2004, 3), -1.0);
        QCOMPARE(stats.GetFirstYear(g_strUser), -1);
        QCOMPARE(stats.GetLastDay(g_strUser, 2004, 3), -1);
        QCOMPARE(stats.GetDayCount(g_strUser), -1);
        QCOMPARE(nReported, 5);
        QCOMPARE(stats.GetFirstMonth(g_strUser, 0), 0); // the year-0 guard reads nothing
        QVERIFY_THROWS_EXCEPTION(CDBException, stats.Figures(g_strUser));
        CDatabase::Close(strConn);
    }

    // Rows without a date count in the totals only, whether the book spans a few years or
    // centuries.
    void figuresWithUndatedRowsAndWideBooks() {
        CTestBook book;
        CDatabase::Exec(QStringLiteral("INSERT INTO \"Income\" (\"UserName\", \"Amount\") "
                                       "VALUES (?, 7.05)"),
                        {g_strUser});
        AddRow<COutlaySet>(QDate(2005, 3, 4), 2.5);
        AddRow<COutlaySet>(QDate(2005, 12, 31), 0.5);
        CPeriodStats stats;
        for (const bool bWide : {false, true}) {
            if (bWide)
                AddRow<CIncomeSet>(QDate(1700, 1, 1), 1.0);
            const CPeriodStats::SFigures f = stats.Figures(g_strUser);
            QCOMPARE(f.nTotalIncome, bWide ? 805 : 705);
            QCOMPARE(f.nTotalOutlay, 300);
            QCOMPARE(f.firstDay, bWide ? QDate(1700, 1, 1) : QDate(2005, 3, 4));
            QCOMPARE(f.lastDay, QDate(2005, 12, 31));
            QCOMPARE(f.nDayCount, 2);
            QCOMPARE(f.years.size(), bWide ? 2 : 1);
            QCOMPARE(f.years.last().nPeriod, 2005);
            QCOMPARE(f.years.last().nIncome, 0);
            QCOMPARE(f.years.last().nOutlay, 300);
            QCOMPARE(f.years.first().nIncome, bWide ? 100 : 0);
        }
    }

    // A random book against sums computed here row by row.
    void randomBookMatchesRowByRow() {
        CTestBook book;
        QRandomGenerator random(4711);
        struct SExpect {
            std::map<int, std::int64_t> year[2];
            std::map<std::pair<int, int>, std::int64_t> month[2];
            std::map<QDate, std::int64_t> day[2];
            std::set<QDate> days[2];
            std::int64_t total[2] = {0, 0};
        } e;
        CTransaction transaction;
        for (int i = 0; i < 400; ++i) {
            const int t = int(random.bounded(2));
            const QDate day = QDate(2003, 11, 1).addDays(random.bounded(600));
            const std::int64_t nCents = random.bounded(10) == 0 ? 0 : random.bounded(1, 500000);
            if (t == 0)
                AddRow<CIncomeSet>(day, CMoney::FromCents(nCents));
            else
                AddRow<COutlaySet>(day, CMoney::FromCents(nCents));
            if (random.bounded(4) == 0) // noise from another user
                AddRow<CIncomeSet>(day.addDays(-700), 99.99, QStringLiteral("别人"));
            e.year[t][day.year()] += nCents;
            e.month[t][{day.year(), day.month()}] += nCents;
            e.day[t][day] += nCents;
            e.days[t].insert(day);
            e.total[t] += nCents;
        }
        transaction.Commit();

        std::set<QDate> all(e.days[0]);
        all.insert(e.days[1].begin(), e.days[1].end());
        const QDate first = *all.begin();
        const QDate last = *all.rbegin();

        CPeriodStats stats;
        QCOMPARE(Yuan(stats.GetTotalIncome(g_strUser)), Cents(e.total[0]));
        QCOMPARE(Yuan(stats.GetTotalOutlay(g_strUser)), Cents(e.total[1]));
        QCOMPARE(stats.GetFirstYear(g_strUser), first.year());
        QCOMPARE(stats.GetLastYear(g_strUser), last.year());
        QCOMPARE(stats.GetFirstMonth(g_strUser, first.year()), first.month());
        QCOMPARE(stats.GetFirstDay(g_strUser, first.year(), first.month()), first.day());
        QCOMPARE(stats.GetLastMonth(g_strUser, last.year()), last.month());
        QCOMPARE(stats.GetLastDay(g_strUser, last.year(), last.month()), last.day());
        const int nDays = int(std::max(e.days[0].size(), e.days[1].size()));
        QCOMPARE(stats.GetDayCount(g_strUser), nDays);

        const CPeriodStats::SFigures f = stats.Figures(g_strUser);
        QCOMPARE(f.nTotalIncome, e.total[0]);
        QCOMPARE(f.nTotalOutlay, e.total[1]);
        QCOMPARE(f.firstDay, first);
        QCOMPARE(f.lastDay, last);
        QCOMPARE(f.nDayCount, nDays);
        QCOMPARE(f.years.size(), stats.UserBrief(g_strUser).size());

        // Each brief lists exactly the periods with money, with the sums computed here,
        // and agrees with the single-period figures.
        for (int y = first.year(); y <= last.year(); ++y) {
            const auto yearRow =
                std::find_if(f.years.begin(), f.years.end(),
                             [y](const CPeriodStats::SBriefRow& r) { return r.nPeriod == y; });
            QVERIFY(yearRow != f.years.end());
            QCOMPARE(yearRow->nIncome, e.year[0][y]);
            QCOMPARE(yearRow->nOutlay, e.year[1][y]);
            QCOMPARE(Yuan(stats.GetYearOutlay(g_strUser, y)), Cents(e.year[1][y]));
            int nExpectMonths = 0;
            const auto months = stats.YearBrief(g_strUser, y);
            for (int m = 1; m <= 12; ++m) {
                const std::int64_t in = e.month[0][{y, m}], out = e.month[1][{y, m}];
                if (in == 0 && out == 0)
                    continue;
                QVERIFY(nExpectMonths < months.size());
                QCOMPARE(months[nExpectMonths].nPeriod, m);
                QCOMPARE(months[nExpectMonths].nIncome, in);
                QCOMPARE(months[nExpectMonths].nOutlay, out);
                QCOMPARE(Yuan(stats.GetMonthIncome(g_strUser, y, m)), Cents(in));
                ++nExpectMonths;

                const auto dayRows = stats.MonthBrief(g_strUser, y, m);
                std::set<int> expectDays;
                for (int t = 0; t < 2; ++t) {
                    for (const auto& [day, nCents] : e.day[t]) {
                        if (day.year() == y && day.month() == m && nCents != 0)
                            expectDays.insert(day.day());
                    }
                }
                const int nExpectDays = int(expectDays.size());
                QCOMPARE(dayRows.size(), nExpectDays);
                for (const auto& r : dayRows) {
                    const QDate day(y, m, r.nPeriod);
                    QCOMPARE(r.nIncome, e.day[0][day]);
                    QCOMPARE(r.nOutlay, e.day[1][day]);
                    QCOMPARE(Yuan(stats.GetDayIncome(g_strUser, y, m, r.nPeriod)),
                             Cents(e.day[0][day]));
                }
            }
            QCOMPARE(months.size(), nExpectMonths);
        }
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestPeriodStats)
#include "tst_periodstats.moc"
