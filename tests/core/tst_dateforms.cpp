// One book, its dates stored in several forms: every figure, list and report must be those of
// the same book stored one way.
#include "accounts/ctransfer.h"
#include "analysis/cchartdata.h"
#include "analysis/cperiodstats.h"
#include "analysis/creportcsv.h"
#include "analysis/creportquery.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cdbexception.h"
#include "data/ckeptschema.h"
#include "data/ckepttotals.h"
#include "data/cmoney.h"
#include "data/cstoreddate.h"
#include "records/cdaybook.h"
#include "records/cdaylist.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {
const QString g_strUser = QStringLiteral("李四");

QString Cents(std::int64_t n) {
    return CMoney::Format(CMoney::FromCents(n));
}

QString Days(const QVector<QDate>& days) {
    QStringList list;
    for (const QDate& d : days)
        list << d.toString(Qt::ISODate);
    return list.join(QLatin1Char(' '));
}

QString Line(const CChartData::SLine& line) {
    return line.labels.join(QLatin1Char(',')) + QLatin1Char('=') + line.data.join(QLatin1Char(','));
}

// Everything the program shows about the user's dates and sums, one line per figure.
QStringList Everything() {
    QStringList out;
    CPeriodStats stats([](const CDBException& e) { QFAIL(qPrintable(e.m_strError)); });
    const CPeriodStats::SFigures f = stats.Figures(g_strUser);
    out << QStringLiteral("figures %1 %2 %3 %4 %5")
               .arg(Cents(f.nTotalIncome), Cents(f.nTotalOutlay), f.firstDay.toString(Qt::ISODate),
                    f.lastDay.toString(Qt::ISODate))
               .arg(f.nDayCount);
    out << QStringLiteral("single %1 %2 %3 %4 %5")
               .arg(stats.GetTotalIncome(g_strUser))
               .arg(stats.GetTotalOutlay(g_strUser))
               .arg(stats.GetFirstYear(g_strUser))
               .arg(stats.GetLastYear(g_strUser))
               .arg(stats.GetDayCount(g_strUser));
    const auto brief = [](const QVector<CPeriodStats::SBriefRow>& rows) {
        QStringList list;
        for (const auto& r : rows)
            list << QStringLiteral("%1:%2/%3")
                        .arg(r.nPeriod)
                        .arg(Cents(r.nIncome), Cents(r.nOutlay));
        return list.join(QLatin1Char(' '));
    };
    out << QStringLiteral("years ") + brief(f.years)
        << QStringLiteral("user ") + brief(stats.UserBrief(g_strUser));
    for (int y = f.firstDay.year(); y <= f.lastDay.year(); ++y) {
        out << QStringLiteral("year %1: %2 %3 %4 %5 %6")
                   .arg(y)
                   .arg(brief(stats.YearBrief(g_strUser, y)))
                   .arg(stats.GetYearIncome(g_strUser, y))
                   .arg(stats.GetYearOutlay(g_strUser, y))
                   .arg(stats.GetFirstMonth(g_strUser, y))
                   .arg(stats.GetLastMonth(g_strUser, y));
        for (int m = 1; m <= 12; ++m) {
            if (QDate(y, m, 1) < f.firstDay.addMonths(-1) || QDate(y, m, 1) > f.lastDay)
                continue;
            out << QStringLiteral("month %1-%2: %3 %4 %5 %6 %7")
                       .arg(y)
                       .arg(m)
                       .arg(brief(stats.MonthBrief(g_strUser, y, m)))
                       .arg(stats.GetMonthIncome(g_strUser, y, m))
                       .arg(stats.GetMonthOutlay(g_strUser, y, m))
                       .arg(stats.GetFirstDay(g_strUser, y, m))
                       .arg(stats.GetLastDay(g_strUser, y, m));
        }
    }
    for (const auto eTable : {CChartData::ETable::Income, CChartData::ETable::Outlay}) {
        const CChartData chart(eTable, g_strUser);
        out << QStringLiteral("chart user ") + Line(chart.UserLine()) +
                   chart.UserSorts().join(QLatin1Char(','));
        for (int y = f.firstDay.year(); y <= f.lastDay.year(); ++y) {
            out << QStringLiteral("chart %1 ").arg(y) + Line(chart.YearLine(y)) +
                       chart.YearSorts(y).join(QLatin1Char(',')) +
                       QString::number(chart.GetYearSum(y)) +
                       QString::number(chart.GetYearSortSum(y, 1));
            for (int m = 1; m <= 12; ++m)
                if (QDate(y, m, 1) >= f.firstDay.addMonths(-1) && QDate(y, m, 1) <= f.lastDay)
                    out << QStringLiteral("chart %1-%2 ").arg(y).arg(m) +
                               Line(chart.MonthLine(y, m)) +
                               chart.MonthSorts(y, m).join(QLatin1Char(',')) +
                               QString::number(chart.GetMonthSum(y, m)) +
                               QString::number(chart.GetMonthSortSum(y, m, 1));
        }
    }
    for (const auto eKind : {ERecordKind::Income, ERecordKind::Outlay}) {
        const QVector<QDate> days = CDayList::Days(eKind, g_strUser);
        out << QStringLiteral("days ") + Days(days);
        const CDayBook book(eKind, g_strUser);
        // Walking the days with the navigation buttons, both ways, meets every listed day.
        QVector<QDate> forward, backward;
        for (QDate d = book.Step(CDayBook::EStep::First, QDate()); d.isValid();
             d = book.Step(CDayBook::EStep::Next, d))
            forward << d;
        for (QDate d = book.Step(CDayBook::EStep::Last, QDate()); d.isValid();
             d = book.Step(CDayBook::EStep::Prev, d))
            backward.prepend(d);
        out << QStringLiteral("walk ") + Days(forward) << QStringLiteral("back ") + Days(backward);
        for (const QDate& d : days) {
            QStringList totals;
            const QHash<QString, std::int64_t> t = book.DayTotals(d);
            for (const QString& strBank : book.Accounts())
                totals << Cents(t.value(strBank));
            totals << QString::number(book.LoadDay(d, book.Accounts().value(0)).size());
            out << QStringLiteral("day %1 %2 %3")
                       .arg(d.toString(Qt::ISODate), totals.join(QLatin1Char(',')))
                       .arg(book.HasDay(d));
        }
    }
    for (const auto eTable : {CReportQuery::ETable::Income, CReportQuery::ETable::Outlay}) {
        out << QStringLiteral("dates ") + Days(CReportQuery::RecordDates(g_strUser, eTable));
        const CReportQuery::SResult all =
            CReportQuery::RecordReport(g_strUser, eTable, std::nullopt, QStringLiteral("1年1月1日"),
                                       QStringLiteral("9999年12月31日"));
        const CReportQuery::SResult part = CReportQuery::RecordReport(
            g_strUser, eTable, std::nullopt, CReportQuery::FormatDate(f.firstDay.addDays(5)),
            CReportQuery::FormatDate(f.lastDay.addDays(-5)));
        out << QString::fromUtf8(CReportCsv::ToCsv({QStringLiteral("日期")}, all.rows)) +
                   Cents(all.nTotalCents);
        out << QString::fromUtf8(CReportCsv::ToCsv({QStringLiteral("日期")}, part.rows)) +
                   Cents(part.nTotalCents);
    }
    const CReportQuery::SResult trs = CReportQuery::TransferReport(g_strUser);
    out << QString::fromUtf8(CReportCsv::ToCsv({QStringLiteral("日期")}, trs.rows));
    for (const CTransfer::SRow& r : CTransfer::History(g_strUser))
        out << r.date.toString(Qt::ISODate);
    return out;
}

// Rewrites every stored date of the three tables to one of `forms`, picked by 编号.
void StoreDatesAs(const QStringList& forms) {
    const struct {
        const char* szTable;
        const char* szColumn;
    } columns[] = {{"Income", "Date"}, {"Outlay", "Date"}, {"Trs", "TrsDate"}};
    for (const auto& c : columns) {
        QSqlQuery rows =
            CDatabase::Exec(QStringLiteral("SELECT \"编号\", \"%2\" FROM \"%1\"")
                                .arg(QLatin1String(c.szTable), QLatin1String(c.szColumn)));
        QList<QPair<qlonglong, QDate>> list;
        while (rows.next())
            list << qMakePair(rows.value(0).toLongLong(), CStoredDate::Day(rows.value(1)));
        rows.finish();
        for (const auto& [nKey, day] : list) {
            const QString strForm = forms[int(nKey % forms.size())];
            // A time of day that differs by row: the day must not depend on it.
            const QDateTime at(day, QTime(int(nKey % 24), int(nKey * 7 % 60), int(nKey % 60), 125));
            CDatabase::Exec(QStringLiteral("UPDATE \"%1\" SET \"%2\" = ? WHERE \"编号\" = ?")
                                .arg(QLatin1String(c.szTable), QLatin1String(c.szColumn)),
                            {at.toString(strForm), nKey});
        }
    }
    CStoredDate::Forget();
}

// On PostgreSQL the date columns become text, as a book written by another program may have.
void MakeDateColumnsText() {
    if (CDatabase::Dialect().IsSQLite())
        return;
    QSqlQuery query(CDatabase::Connection()); // not a statement that can be prepared
    // The kept totals' triggers hold the columns' types: take them off, and build them again
    // over the text columns, as opening such a book does.
    QStringList drops;
    QSqlQuery triggers = CDatabase::Exec(QStringLiteral(
        "SELECT tgname, relname FROM pg_trigger JOIN pg_class ON pg_class.oid = tgrelid JOIN "
        "pg_namespace ON pg_namespace.oid = relnamespace WHERE tgname LIKE 'kept%' AND "
        "nspname = current_schema()"));
    while (triggers.next())
        drops << QStringLiteral("DROP TRIGGER \"%1\" ON \"%2\"")
                     .arg(triggers.value(0).toString(), triggers.value(1).toString());
    drops << QStringLiteral("DROP TABLE \"DayTotals\"")
          << QStringLiteral("DROP TABLE \"MonthSortTotals\"")
          << QStringLiteral("DROP TABLE \"MonthTotals\"")
          << QStringLiteral("DROP TABLE \"SortTotals\"");
    for (const QString& strDrop : drops)
        QVERIFY2(query.exec(strDrop), qPrintable(query.lastError().text()));
    for (const char* sz : {"ALTER TABLE \"Income\" ALTER COLUMN \"Date\" TYPE TEXT",
                           "ALTER TABLE \"Outlay\" ALTER COLUMN \"Date\" TYPE TEXT",
                           "ALTER TABLE \"Trs\" ALTER COLUMN \"TrsDate\" TYPE TEXT"})
        QVERIFY2(query.exec(QString::fromUtf8(sz)), qPrintable(query.lastError().text()));
    CKeptSchema::Ensure(CDatabase::Connection(), CDatabase::Dialect());
    CStoredDate::Forget();
}

void AddUnreadable(const QString& strTable, const QString& strDate, double dAmount) {
    CDatabase::Exec(
        QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\", \"Sort\", \"Note\", "
                       "\"Amount\", \"Bank\") VALUES (?, ?, '其它支出', '', ?, '现金')")
            .arg(strTable),
        {g_strUser, strDate, dAmount});
}
} // namespace

class TestDateForms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameFiguresWhateverTheForm_data() {
        QTest::addColumn<QStringList>("forms");
        QTest::addColumn<bool>("bTextColumns");
        const QString plain = QStringLiteral("yyyy-MM-dd");
        const QString space = QStringLiteral("yyyy-MM-dd hh:mm:ss");
        const QString t = QStringLiteral("yyyy-MM-ddThh:mm:ss");
        const QString frac = QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz");
        QTest::newRow("as written") << QStringList() << false;
        QTest::newRow("mixed") << QStringList{plain, space, t, frac, space + QStringLiteral(".zzz")}
                               << false;
        QTest::newRow("all T") << QStringList{t} << false;
        if (CTestBook::UsePostgres())
            QTest::newRow("mixed in text columns") << QStringList{t, plain, space} << true;
    }
    void sameFiguresWhateverTheForm() {
        QFETCH(QStringList, forms);
        QFETCH(bool, bTextColumns);
        CTestBook book;
        CBookBuilder::SOptions options;
        options.firstDay = QDate(2006, 11, 20); // across two month ends and a year end
        options.nDays = 75;
        options.nRecordsPerDay = 3;
        options.nTransfers = 5;
        CBookBuilder::AddUser(g_strUser, QStringLiteral("pw"), options);
        CBookBuilder::AddUser(QStringLiteral("别人"), QStringLiteral("pw"), options);
        const QStringList expected = Everything();

        if (bTextColumns)
            MakeDateColumnsText();
        if (!forms.isEmpty())
            StoreDatesAs(forms);
        // Rows whose date is no day at all count nowhere, and are reported.
        if (CDatabase::Dialect().IsSQLite() || bTextColumns) {
            AddUnreadable(QStringLiteral("Outlay"), QStringLiteral("2007/1/5"), 1000);
            AddUnreadable(QStringLiteral("Outlay"), QStringLiteral("2007-1-5"), 2000);
            AddUnreadable(QStringLiteral("Outlay"), QStringLiteral("2006-12-5 10:00"), 4000);
            AddUnreadable(QStringLiteral("Outlay"), QStringLiteral("2007-02-30"), 8000);
            AddUnreadable(QStringLiteral("Income"), QStringLiteral("2007年1月5日"), 16000);
            AddUnreadable(QStringLiteral("Income"), QStringLiteral("2007 01 05"), 32000);
            CStoredDate::Forget();
        }
        const QStringList actual = Everything();
        QCOMPARE(actual.size(), expected.size());
        for (int i = 0; i < actual.size(); ++i)
            QCOMPARE(actual[i], expected[i]);

        const QVector<CStoredDate::SUnreadable> odd = CStoredDate::Unreadable(g_strUser);
        if (CDatabase::Dialect().IsSQLite() || bTextColumns) {
            QCOMPARE(odd.size(), 2);
            QCOMPARE(odd[0].strTable, QStringLiteral("Income"));
            QCOMPARE(odd[0].nRows, 2);
            QCOMPARE(odd[1].nRows, 4);
            QVERIFY(CStoredDate::UnreadableMessage(g_strUser).contains(
                QStringLiteral("支出表（Outlay）4 行")));
        } else {
            QVERIFY(odd.isEmpty());
        }

        // Adding a record to a day that exists, in today's form, leaves the day count alone.
        CDayBook income(ERecordKind::Income, g_strUser);
        const QDate day = CDayList::Days(ERecordKind::Income, g_strUser).value(3);
        const QString strBank = income.Accounts().value(0);
        QVector<SDayRecord> rows = income.LoadDay(day, strBank);
        rows.append({QStringLiteral("奖金收入"), QStringLiteral("新"), 12.34});
        const int nDays = CPeriodStats().GetDayCount(g_strUser);
        const std::int64_t nBefore = CPeriodStats().Figures(g_strUser).nTotalIncome;
        CTestRows::ReplaceDay(income, day, strBank, rows);
        QCOMPARE(CPeriodStats().GetDayCount(g_strUser), nDays);
        QCOMPARE(CPeriodStats().Figures(g_strUser).nDayCount, nDays);
        QCOMPARE(CPeriodStats().Figures(g_strUser).nTotalIncome, nBefore + 1234);
    }

    void readingOneValue_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QDate>("day");
        const QDate d(2007, 4, 1);
        QTest::newRow("plain") << QVariant(QStringLiteral("2007-04-01")) << d;
        QTest::newRow("space") << QVariant(QStringLiteral("2007-04-01 23:59:59")) << d;
        QTest::newRow("T, fraction") << QVariant(QStringLiteral("2007-04-01T00:00:00.000")) << d;
        QTest::newRow("zone") << QVariant(QStringLiteral("2007-04-01T23:00:00+08:00")) << d;
        QTest::newRow("timestamp") << QVariant(QDateTime(d, QTime(23, 59))) << d;
        QTest::newRow("date") << QVariant(d) << d;
        QTest::newRow("slashes") << QVariant(QStringLiteral("2007/04/01")) << QDate();
        QTest::newRow("short month") << QVariant(QStringLiteral("2007-4-1")) << QDate();
        QTest::newRow("no such day") << QVariant(QStringLiteral("2007-02-29")) << QDate();
        QTest::newRow("full-width") << QVariant(QStringLiteral("２００７-04-01")) << QDate();
        QTest::newRow("number") << QVariant(qlonglong(20070401)) << QDate();
        QTest::newRow("null") << QVariant() << QDate();
    }
    void readingOneValue() {
        QFETCH(QVariant, value);
        QFETCH(QDate, day);
        QCOMPARE(CStoredDate::Day(value), day);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestDateForms)
#include "tst_dateforms.moc"
