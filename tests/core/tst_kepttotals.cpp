#include "analysis/cchartdata.h"
#include "analysis/cperiodstats.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/ckepttotals.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "records/cdaylist.h"
#include "data/ctransaction.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <map>

namespace {

const QStringList Users = {QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")};
const QStringList Sorts = {QStringLiteral("工资收入"), QStringLiteral("用餐支出"),
                           QStringLiteral(""), QStringLiteral("其它支出")};
const char* const Tables[] = {"Income", "Outlay"};

// A read whose rows all arrive at once, so the next statement may run while it is read.
QSqlQuery Select(const QString& strSql) {
    QSqlQuery query(CDatabase::Connection());
    if (!query.exec(strSql))
        throw CDBException(query.lastError().text());
    return query;
}

// The kept tables as text lines, sorted by their keys.
QStringList KeptLines() {
    QStringList lines;
    QSqlQuery q = Select(QStringLiteral(
        "SELECT \"UserName\", \"Day\", \"InCents\", \"InRows\", \"InBankRows\", \"OutCents\", "
        "\"OutRows\", \"OutBankRows\" FROM \"DayTotals\" WHERE \"InRows\" + \"OutRows\" > 0 "
        "ORDER BY 1, 2"));
    while (q.next()) {
        QStringList parts;
        for (int i = 0; i < 8; ++i)
            parts << q.value(i).toString();
        lines << QStringLiteral("day ") + parts.join(QLatin1Char('|'));
    }
    q = Select(QStringLiteral("SELECT \"UserName\", \"Kind\", \"Month\", \"Sort\", "
                              "\"Cents\", \"Rows\" FROM \"MonthSortTotals\" WHERE \"Rows\" > 0 "
                      "ORDER BY 1, 2, 3, 4"));
    while (q.next()) {
        QStringList parts;
        for (int i = 0; i < 6; ++i)
            parts << q.value(i).toString();
        lines << QStringLiteral("month ") + parts.join(QLatin1Char('|'));
    }
    return lines;
}

// The same figures recomputed here from every record, row by row.
QStringList RecomputedLines() {
    struct SDay {
        qint64 n[6] = {};
    };
    std::map<std::pair<QString, int>, SDay> days;
    std::map<std::tuple<QString, int, int, QString>, std::pair<qint64, qint64>> months;
    for (int t = 0; t < 2; ++t) {
        QSqlQuery q =
            Select(QStringLiteral(
                       "SELECT \"UserName\", \"Date\", \"Sort\", \"Amount\", \"Bank\" FROM \"%1\"")
                       .arg(QLatin1String(Tables[t])));
        while (q.next()) {
            if (q.value(0).isNull())
                continue;
            const QVariant date = q.value(1);
            const QDate day = date.metaType().id() == QMetaType::QDateTime
                                  ? date.toDateTime().date()
                                  : QDate::fromString(date.toString().left(10), QStringLiteral("yyyy-MM-dd"));
            if (!date.isNull() && (!day.isValid() || day.year() < 1))
                continue;
            // A row without a date: day 0, in the totals over all dates only.
            const int nDay = date.isNull() ? 0 : day.year() * 10000 + day.month() * 100 + day.day();
            const qint64 nCents = CMoney::ToCents(q.value(3).toDouble());
            SDay& d = days[{q.value(0).toString(), nDay}];
            d.n[3 * t] += nCents;
            d.n[3 * t + 1] += 1;
            d.n[3 * t + 2] += q.value(4).toString().isEmpty() ? 0 : 1;
            auto& m = months[{q.value(0).toString(), t, nDay / 100, q.value(2).toString()}];
            m.first += nCents;
            m.second += 1;
        }
    }
    QStringList lines;
    for (const auto& [key, d] : days) {
        QStringList parts{key.first, QString::number(key.second)};
        for (qint64 n : d.n)
            parts << QString::number(n);
        lines << QStringLiteral("day ") + parts.join(QLatin1Char('|'));
    }
    for (const auto& [key, m] : months)
        lines << QStringLiteral("month %1|%2|%3|%4|%5|%6")
                     .arg(std::get<0>(key))
                     .arg(std::get<1>(key))
                     .arg(std::get<2>(key))
                     .arg(std::get<3>(key))
                     .arg(m.first)
                     .arg(m.second);
    return lines;
}

// Lines only one side has, marked "kept" or "records"; empty when the totals are right.
QStringList Differences() {
    const QStringList kept = KeptLines();
    const QStringList records = RecomputedLines();
    QStringList diff;
    for (const QString& s : kept)
        if (!records.contains(s))
            diff << QStringLiteral("kept    ") + s;
    for (const QString& s : records)
        if (!kept.contains(s))
            diff << QStringLiteral("records ") + s;
    return diff;
}

// A "Date" as another program might store it: every text form of a day, and on SQLite also
// text that is no day at all.
QVariant RandomDate(QRandomGenerator& rng) {
    const QDate day = QDate(2019, 12, 28).addDays(rng.bounded(12)); // crosses a year and months
    const QString strDay = day.toString(QStringLiteral("yyyy-MM-dd"));
    const bool bPg = CTestBook::UsePostgres();
    switch (rng.bounded(bPg ? 5 : 8)) {
    case 0:
        return strDay;
    case 1:
        return strDay + QStringLiteral(" 00:00:00");
    case 2:
        return strDay + QStringLiteral("T13:45:10.250");
    case 3:
        return QDateTime(day, QTime(0, 0));
    case 4:
        return QVariant(QMetaType(QMetaType::QString)); // NULL
    case 5:
        return QStringLiteral("2020-02-30");
    case 6:
        return QStringLiteral("20/01/2020");
    default:
        return QStringLiteral("0000-01-01");
    }
}

// Two decimals mostly; now and then a third that lands on half a cent, and negatives.
double RandomAmount(QRandomGenerator& rng) {
    const double d = double(rng.bounded(-2000, 200000)) / 100.0;
    return rng.bounded(8) == 0 ? d + 0.005 : d;
}

int RandomKey(QRandomGenerator& rng, const QString& strTable) {
    QSqlQuery q = CDatabase::Exec(
        QStringLiteral("SELECT MIN(\"编号\"), MAX(\"编号\") FROM \"%1\"").arg(strTable));
    if (!q.next() || q.value(0).isNull())
        return 0;
    return q.value(0).toInt() + int(rng.bounded(q.value(1).toInt() - q.value(0).toInt() + 1));
}

// One write as another program would make it, in plain SQL.
void PlainSqlWrite(QRandomGenerator& rng) {
    const QString strTable = QLatin1String(Tables[rng.bounded(2)]);
    const QString strUser = Users[rng.bounded(Users.size())];
    const int nKey = RandomKey(rng, strTable);
    switch (rng.bounded(8)) {
    case 0:
    case 1: // a record, or a day's placeholder without category, account or amount
        if (rng.bounded(4) == 0)
            CDatabase::Exec(
                QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\") VALUES (?, ?)")
                    .arg(strTable),
                {strUser, RandomDate(rng)});
        else
            CDatabase::Exec(
                QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\", \"Sort\", \"Amount\", "
                               "\"Bank\") VALUES (?, ?, ?, ?, ?)")
                    .arg(strTable),
                {strUser, RandomDate(rng), Sorts[rng.bounded(Sorts.size())], RandomAmount(rng),
                 rng.bounded(2) ? QStringLiteral("现金") : QStringLiteral("")});
        break;
    case 2:
        CDatabase::Exec(
            QStringLiteral("UPDATE \"%1\" SET \"Amount\" = ? WHERE \"编号\" = ?").arg(strTable),
            {RandomAmount(rng), nKey});
        break;
    case 3:
        CDatabase::Exec(
            QStringLiteral("UPDATE \"%1\" SET \"Date\" = ? WHERE \"编号\" = ?").arg(strTable),
            {RandomDate(rng), nKey});
        break;
    case 4:
        CDatabase::Exec(
            QStringLiteral(
                "UPDATE \"%1\" SET \"UserName\" = ?, \"Sort\" = ?, \"Bank\" = ? WHERE \"编号\" = ?")
                .arg(strTable),
            {strUser, Sorts[rng.bounded(Sorts.size())],
             rng.bounded(2) ? QStringLiteral("银行") : QStringLiteral(""), nKey});
        break;
    case 5: // many rows in one statement
        CDatabase::Exec(
            QStringLiteral(
                "UPDATE \"%1\" SET \"Amount\" = \"Amount\" + 1.25 WHERE \"UserName\" = ? "
                "AND \"编号\" % 7 = 3")
                .arg(strTable),
            {strUser});
        break;
    case 6:
        CDatabase::Exec(
            QStringLiteral("UPDATE \"%1\" SET \"Note\" = 'x' WHERE \"编号\" = ?").arg(strTable),
            {nKey});
        break;
    default:
        CDatabase::Exec(QStringLiteral("DELETE FROM \"%1\" WHERE \"编号\" = ?").arg(strTable),
                        {nKey});
        break;
    }
}

// One write through the program's record sets.
template <class TSet> void ProgramWrite(QRandomGenerator& rng) {
    const QString strUser = Users[rng.bounded(Users.size())];
    if (rng.bounded(3) > 0) {
        CTestRows::AddRecord<TSet>(
            strUser, QDateTime(QDate(2019, 12, 28).addDays(rng.bounded(12)), QTime(0, 0)),
            QStringLiteral("现金"), Sorts[rng.bounded(Sorts.size())], QString(), RandomAmount(rng));
        return;
    }
    TSet set;
    set.SetFilter(CRecordset::EFilter::User, {strUser});
    set.Open();
    if (set.IsEOF())
        return;
    for (int n = rng.bounded(set.GetRecordCount()); n > 0; --n)
        set.MoveNext();
    if (rng.bounded(2)) {
        set.Delete();
    } else {
        set.Edit();
        set.m_Amount = RandomAmount(rng);
        set.m_Date = QDateTime(QDate(2020, 1, 1).addDays(rng.bounded(40)), QTime(0, 0));
        set.Update();
    }
}

// Statements PostgreSQL will not prepare (DDL), as a database tool sends them.
void Run(const QString& strSql) {
    QSqlQuery query(CDatabase::Connection());
    QVERIFY2(query.exec(strSql), qPrintable(strSql));
}

void DropKeptTotals() {
    QStringList triggers;
    if (CTestBook::UsePostgres()) {
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT tgname, relname FROM pg_trigger JOIN pg_class ON "
                           "pg_class.oid = tgrelid JOIN pg_namespace ON pg_namespace.oid = "
                           "relnamespace WHERE tgname LIKE 'kept%' AND nspname = current_schema()"));
        while (q.next())
            triggers << QStringLiteral("DROP TRIGGER \"%1\" ON \"%2\"")
                            .arg(q.value(0).toString(), q.value(1).toString());
    } else {
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'"));
        while (q.next())
            triggers << QStringLiteral("DROP TRIGGER \"%1\"").arg(q.value(0).toString());
    }
    triggers << QStringLiteral("DROP TABLE \"DayTotals\"")
             << QStringLiteral("DROP TABLE \"MonthSortTotals\"");
    for (const QString& strSql : triggers)
        Run(strSql);
}

} // namespace

#define CHECK_TOTALS()                                                                             \
    do {                                                                                           \
        const QStringList diff = Differences();                                                    \
        QVERIFY2(diff.isEmpty(), qPrintable(diff.join(QLatin1Char('\n'))));                        \
    } while (false)

class TestKeptTotals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Thousands of writes by the program and by plain SQL, in single statements and in
    // transactions: afterwards every kept total equals its recomputation from the records.
    void randomWritesKeepEveryTotal() {
        CTestBook book;
        QRandomGenerator rng(15);
        for (int nBatch = 0; nBatch < 60; ++nBatch) {
            const bool bTransaction = nBatch % 3 != 0;
            std::unique_ptr<CTransaction> pTransaction;
            if (bTransaction)
                pTransaction = std::make_unique<CTransaction>();
            for (int i = 0; i < 40; ++i) {
                switch (rng.bounded(4)) {
                case 0:
                    ProgramWrite<CIncomeSet>(rng);
                    break;
                case 1:
                    ProgramWrite<COutlaySet>(rng);
                    break;
                default:
                    PlainSqlWrite(rng);
                    break;
                }
            }
            if (bTransaction && nBatch % 5 == 4)
                continue; // rolled back: the totals go back with the records
            if (pTransaction)
                pTransaction->Commit();
        }
        QVERIFY(KeptLines().size() > 50);
        CHECK_TOTALS();

        // A whole table emptied at once (on PostgreSQL also by TRUNCATE).
        Run(CTestBook::UsePostgres() ? QStringLiteral("TRUNCATE \"Income\"")
                                     : QStringLiteral("DELETE FROM \"Income\""));
        CHECK_TOTALS();
    }

    // On a book the program wrote, what the kept totals give equals what the summary, the
    // charts and the tree read from the records: totals, first and last day, day count,
    // every brief, the category sums and the day lists.
    void readingGivesTheFiguresOfTheRecords() {
        CTestBook book;
        CBookBuilder::SOptions options;
        options.firstDay = QDate(2019, 11, 20);
        options.nDays = 80;
        options.nRecordsPerDay = 3;
        CBookBuilder::AddUser(QStringLiteral("张三"), QStringLiteral("pw"), options);
        options.nSeed = 2;
        CBookBuilder::AddUser(QStringLiteral("李四"), QStringLiteral("pw"), options);
        CDatabase::Exec(QStringLiteral("INSERT INTO \"Outlay\" (\"UserName\", \"Date\", \"Sort\", "
                                       "\"Amount\") VALUES ('张三', NULL, '用餐支出', 7.5)"));
        const QString strUser = QStringLiteral("张三");
        CPeriodStats stats;
        const CPeriodStats::SFigures figures = stats.Figures(strUser);
        const auto years = CKeptTotals::Periods(strUser, CKeptTotals::ELevel::Year);
        qint64 nIn = 0, nOut = 0;
        int nInDays = 0, nOutDays = 0;
        QDate first, last;
        QStringList brief;
        for (const auto& p : years) {
            nIn += p.nIncome;
            nOut += p.nOutlay;
            nInDays += p.nIncomeDays;
            nOutDays += p.nOutlayDays;
            if (p.nPeriod == 0)
                continue;
            first = first.isValid() ? std::min(first, p.first) : p.first;
            last = std::max(last, p.last);
            brief << QStringLiteral("%1 %2 %3").arg(p.nPeriod).arg(p.nIncome).arg(p.nOutlay);
        }
        QCOMPARE(nIn, figures.nTotalIncome);
        QCOMPARE(nOut, figures.nTotalOutlay);
        QCOMPARE(std::max(nInDays, nOutDays), figures.nDayCount);
        QCOMPARE(first, figures.firstDay);
        QCOMPARE(last, figures.lastDay);
        const auto briefOf = [](const QVector<CPeriodStats::SBriefRow>& rows) {
            QStringList lines;
            for (const auto& r : rows)
                lines << QStringLiteral("%1 %2 %3").arg(r.nPeriod).arg(r.nIncome).arg(r.nOutlay);
            return lines;
        };
        QCOMPARE(brief, briefOf(figures.years));
        const auto keptBrief = [&](CKeptTotals::ELevel eLevel, const QDate& from, const QDate& to) {
            QStringList lines;
            for (const auto& p : CKeptTotals::Periods(strUser, eLevel, from, to))
                if (p.nIncome != 0 || p.nOutlay != 0)
                    lines << QStringLiteral("%1 %2 %3").arg(p.nPeriod).arg(p.nIncome).arg(p.nOutlay);
            return lines;
        };
        QCOMPARE(keptBrief(CKeptTotals::ELevel::Month, QDate(2019, 1, 1), QDate(2020, 1, 1)),
                 briefOf(stats.YearBrief(strUser, 2019)));
        QCOMPARE(keptBrief(CKeptTotals::ELevel::Day, QDate(2019, 12, 1), QDate(2020, 1, 1)),
                 briefOf(stats.MonthBrief(strUser, 2019, 12)));

        for (const bool bOutlay : {false, true}) {
            const CChartData chart(bOutlay ? CChartData::ETable::Outlay : CChartData::ETable::Income,
                                   strUser);
            for (const QDate& from : {QDate(), QDate(2020, 1, 1)}) {
                const auto sums = CKeptTotals::SortCents(bOutlay, strUser, from, from.addYears(1));
                QStringList texts;
                for (const auto& c : chart.Categories()) {
                    qint64 n = 0;
                    for (const auto& [strSort, nCents] : sums)
                        n += strSort == c.strSort ? nCents : 0;
                    texts << CMoney::Format(CMoney::FromCents(n));
                }
                QCOMPARE(texts, from.isValid() ? chart.YearSorts(2020) : chart.UserSorts());
            }
            QCOMPARE(CKeptTotals::Days(bOutlay, strUser),
                     CDayList::Days(bOutlay ? ERecordKind::Outlay : ERecordKind::Income, strUser));
        }
    }

    // A book written before the kept totals existed gets them, built once, when it is opened,
    // also when a second copy opens it afterwards; the triggers then keep them.
    void olderBookGetsTotalsOnOpening() {
        CTestBook book;
        QRandomGenerator rng(7);
        {
            CTransaction transaction;
            for (int i = 0; i < 300; ++i)
                PlainSqlWrite(rng);
            transaction.Commit();
        }
        DropKeptTotals();
        CDatabase::Close();
        int nBuilds = 0;
        CKeptTotals::SetBuildHook([&nBuilds](bool bStarting, qint64 nRows) {
            nBuilds += bStarting ? 1 : 0;
            QVERIFY(nRows > 0);
        });
        CDatabase::Open();
        CDatabase::SetUrl(book.Url(), QStringLiteral("second"));
        CDatabase::Open(QStringLiteral("second"));
        CDatabase::Close(QStringLiteral("second"));
        CKeptTotals::SetBuildHook({});
        QCOMPARE(nBuilds, 1);
        QVERIFY(!KeptLines().isEmpty());
        CHECK_TOTALS();
        PlainSqlWrite(rng);
        ProgramWrite<COutlaySet>(rng);
        CHECK_TOTALS();
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestKeptTotals)
#include "tst_kepttotals.moc"
