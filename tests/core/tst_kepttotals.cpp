#include "analysis/cchartdata.h"
#include "analysis/cperiodstats.h"
#include "cbookbuilder.h"
#include "ckeptcheck.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cbulkrows.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/ckeptschema.h"
#include "data/ckepttotals.h"
#include "data/ckepttriggers.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/cstoreddate.h"
#include "data/ctoday.h"
#include "data/ctransaction.h"
#include "records/cdaylist.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <array>
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

using CKeptCheck::Differences;
using CKeptCheck::KeptLines;

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

// A record, or a day's placeholder without category, account or amount, in plain SQL.
void PlainSqlInsert(QRandomGenerator& rng) {
    const QString strTable = QLatin1String(Tables[rng.bounded(2)]);
    const QString strUser = Users[rng.bounded(Users.size())];
    if (rng.bounded(4) == 0)
        CDatabase::Exec(QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\") VALUES (?, ?)")
                            .arg(strTable),
                        {strUser, RandomDate(rng)});
    else
        CDatabase::Exec(
            QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\", \"Sort\", \"Amount\", "
                           "\"Bank\") VALUES (?, ?, ?, ?, ?)")
                .arg(strTable),
            {strUser, RandomDate(rng), Sorts[rng.bounded(Sorts.size())], RandomAmount(rng),
             rng.bounded(2) ? QStringLiteral("现金") : QStringLiteral("")});
}

// One write as another program would make it, in plain SQL.
void PlainSqlWrite(QRandomGenerator& rng) {
    const QString strTable = QLatin1String(Tables[rng.bounded(2)]);
    const QString strUser = Users[rng.bounded(Users.size())];
    const int nKey = RandomKey(rng, strTable);
    switch (rng.bounded(8)) {
    case 0:
    case 1:
        PlainSqlInsert(rng);
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
        QSqlQuery q = CDatabase::Exec(QStringLiteral(
            "SELECT tgname, relname FROM pg_trigger JOIN pg_class ON "
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
             << QStringLiteral("DROP TABLE \"MonthSortTotals\"")
             << QStringLiteral("DROP TABLE \"MonthTotals\"")
             << QStringLiteral("DROP TABLE \"SortTotals\"")
             << QStringLiteral("DROP TABLE IF EXISTS \"YearTotals\"");
    for (const QString& strSql : triggers)
        Run(strSql);
}

// SQLite: the book as the version before kept it: no year sums, and its triggers (this
// version's others, under its prefix).
void KeepAsVersionBefore() {
    QStringList triggers;
    QSqlQuery q = CDatabase::Exec(QStringLiteral(
        "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'kept_totals%'"));
    while (q.next())
        triggers << q.value(0).toString() << q.value(1).toString();
    q = QSqlQuery();
    for (int i = 0; i < triggers.size(); i += 2) {
        Run(QStringLiteral("DROP TRIGGER \"%1\"").arg(triggers[i]));
        if (!triggers[i].contains(QLatin1String("MonthTotals")))
            Run(QString(triggers[i + 1])
                    .replace(CKeptTriggers::SqlitePrefix(), CKeptTriggers::PreviousSqlitePrefix()));
    }
    Run(QStringLiteral("DROP TABLE \"YearTotals\""));
}

// Questions the summary, the charts and the tree ask, as lines "question: answer".
struct SAnswers {
    QStringList lines;
};
const QDate Months[] = {QDate(2019, 11, 1), QDate(2019, 12, 1), QDate(2020, 1, 1),
                        QDate(2020, 2, 1)};

QString BriefText(const QVector<CPeriodStats::SBriefRow>& rows) {
    QStringList parts;
    for (const auto& r : rows)
        parts << QStringLiteral("%1:%2/%3").arg(r.nPeriod).arg(r.nIncome).arg(r.nOutlay);
    return parts.join(QLatin1Char(' '));
}

SAnswers Analysis(const QString& strUser) {
    SAnswers a;
    CPeriodStats stats;
    const CPeriodStats::SFigures f = stats.Figures(strUser);
    a.lines << QStringLiteral("figures: %1 %2 %3 %4 %5")
                   .arg(f.nTotalIncome)
                   .arg(f.nTotalOutlay)
                   .arg(f.firstDay.toString(Qt::ISODate), f.lastDay.toString(Qt::ISODate))
                   .arg(f.nDayCount);
    a.lines << QStringLiteral("years: ") + BriefText(f.years);
    a.lines << QStringLiteral("user brief: ") + BriefText(stats.UserBrief(strUser));
    for (const QDate& m : Months) {
        a.lines << QStringLiteral("year %1: ").arg(m.year()) +
                       BriefText(stats.YearBrief(strUser, m.year()));
        a.lines << QStringLiteral("month %1: ").arg(m.toString(QStringLiteral("yyyy-MM"))) +
                       BriefText(stats.MonthBrief(strUser, m.year(), m.month()));
    }
    for (const auto eTable : {CChartData::ETable::Income, CChartData::ETable::Outlay}) {
        const CChartData chart(eTable, strUser);
        const QString t =
            eTable == CChartData::ETable::Income ? QStringLiteral("in ") : QStringLiteral("out ");
        a.lines << t + QStringLiteral("user line: ") + chart.UserLine().data.join(QLatin1Char(' '));
        a.lines << t + QStringLiteral("user sorts: ") + chart.UserSorts().join(QLatin1Char(' '));
        for (const QDate& m : Months) {
            a.lines << t + QStringLiteral("year line %1: ").arg(m.year()) +
                           chart.YearLine(m.year()).data.join(QLatin1Char(' '));
            a.lines << t + QStringLiteral("year sorts %1: ").arg(m.year()) +
                           chart.YearSorts(m.year()).join(QLatin1Char(' '));
            a.lines << t + QStringLiteral("month line %1: ").arg(m.month()) +
                           chart.MonthLine(m.year(), m.month()).data.join(QLatin1Char(' '));
            a.lines << t + QStringLiteral("month sorts %1: ").arg(m.month()) +
                           chart.MonthSorts(m.year(), m.month()).join(QLatin1Char(' '));
        }
        QStringList days;
        for (const QDate& d : CDayList::Days(
                 eTable == CChartData::ETable::Income ? ERecordKind::Income : ERecordKind::Outlay,
                 strUser))
            days << d.toString(Qt::ISODate);
        a.lines << t + QStringLiteral("days: ") + days.join(QLatin1Char(' '));
    }
    // The tree's years and months, each with "i" / "o" for the tables that have rows in it.
    const auto kinds = [](const CKeptTotals::SPeriodRows& r) {
        return QString(r.bIncome ? QStringLiteral("i") : QString()) +
               (r.bOutlay ? QStringLiteral("o") : QString());
    };
    QStringList years;
    for (const CKeptTotals::SPeriodRows& y : CDayList::Years(strUser)) {
        QStringList months;
        for (const CKeptTotals::SPeriodRows& m : CDayList::Months(strUser, y.nPeriod))
            months << QString::number(m.nPeriod) + kinds(m);
        years << QStringLiteral("%1%2[%3]").arg(y.nPeriod).arg(kinds(y), months.join(u' '));
    }
    a.lines << QStringLiteral("tree: ") + years.join(u' ');
    return a;
}

SAnswers Recomputed(const QString& strUser) {
    struct SRow {
        int nTable;
        QDate day;  // invalid: no day
        bool bNull; // no date at all: in the all-dates totals only
        qint64 nCents;
        QString strSort;
        bool bBank;
    };
    QVector<SRow> rows;
    for (int t = 0; t < 2; ++t) {
        QSqlQuery q = Select(QStringLiteral("SELECT \"Date\", \"Amount\", \"Sort\", \"Bank\" FROM "
                                            "\"%1\" WHERE \"UserName\" = '%2'")
                                 .arg(QLatin1String(Tables[t]), strUser));
        while (q.next())
            rows.push_back({t, CStoredDate::Day(q.value(0)), q.value(0).isNull(),
                            CMoney::ToCents(q.value(1).toDouble()), q.value(2).toString(),
                            !q.value(3).toString().isEmpty()});
    }
    const auto in = [](const SRow& r, const QDate& from, const QDate& to) {
        return r.day.isValid() && (!from.isValid() || (r.day >= from && r.day < to));
    };
    // nLevel 0 years, 1 months, 2 days
    const auto brief = [&](int nLevel, const QDate& from, const QDate& to) {
        std::map<int, CPeriodStats::SBriefRow> periods;
        for (const SRow& r : rows) {
            if (!in(r, from, to))
                continue;
            const int n = nLevel == 0 ? r.day.year() : nLevel == 1 ? r.day.month() : r.day.day();
            periods[n].nPeriod = n;
            (r.nTable == 0 ? periods[n].nIncome : periods[n].nOutlay) += r.nCents;
        }
        QVector<CPeriodStats::SBriefRow> list;
        for (const auto& [n, p] : periods)
            if (p.nIncome != 0 || p.nOutlay != 0)
                list << p;
        return list;
    };
    SAnswers a;
    qint64 nTotal[2] = {0, 0};
    QDate first, last;
    QSet<QDate> days[2];
    for (const SRow& r : rows) {
        if (r.day.isValid() || r.bNull)
            nTotal[r.nTable] += r.nCents;
        if (!r.day.isValid())
            continue;
        days[r.nTable].insert(r.day);
        first = first.isValid() ? std::min(first, r.day) : r.day;
        last = std::max(last, r.day);
    }
    a.lines << QStringLiteral("figures: %1 %2 %3 %4 %5")
                   .arg(nTotal[0])
                   .arg(nTotal[1])
                   .arg(first.toString(Qt::ISODate), last.toString(Qt::ISODate))
                   .arg(std::max(days[0].size(), days[1].size()));
    a.lines << QStringLiteral("years: ") + BriefText(brief(0, {}, {}));
    a.lines << QStringLiteral("user brief: ") + BriefText(brief(0, {}, {}));
    for (const QDate& m : Months) {
        a.lines << QStringLiteral("year %1: ").arg(m.year()) +
                       BriefText(brief(1, QDate(m.year(), 1, 1), QDate(m.year() + 1, 1, 1)));
        a.lines << QStringLiteral("month %1: ").arg(m.toString(QStringLiteral("yyyy-MM"))) +
                       BriefText(brief(2, m, m.addMonths(1)));
    }
    for (int t = 0; t < 2; ++t) {
        const QString strT = t == 0 ? QStringLiteral("in ") : QStringLiteral("out ");
        const auto eTable = t == 0 ? CChartData::ETable::Income : CChartData::ETable::Outlay;
        // A line: per period in [nFirst, nLast], the total when a record with an account is in it.
        const auto line = [&](int nLevel, const QDate& from, const QDate& to, int nFirst,
                              int nLast) {
            QStringList data;
            for (int n = nFirst; n <= nLast; ++n) {
                qint64 nCents = 0;
                bool bBank = false;
                for (const SRow& r : rows) {
                    const int k = nLevel == 0   ? r.day.year()
                                  : nLevel == 1 ? r.day.month()
                                                : r.day.day();
                    if (r.nTable == t && in(r, from, to) && k == n) {
                        nCents += r.nCents;
                        bBank = bBank || r.bBank;
                    }
                }
                data << (bBank ? CMoney::Format(CMoney::FromCents(nCents)) : QStringLiteral("0"));
            }
            return data.join(QLatin1Char(' '));
        };
        // The built-in list, then the other texts the table's counted rows carry, in order.
        QStringList chartSorts;
        for (const auto& c : CChartData::Categories(eTable))
            chartSorts << c.strSort;
        QStringList others;
        for (const SRow& r : rows)
            if (r.nTable == t && (r.day.isValid() || r.bNull) && !r.strSort.isEmpty() &&
                !chartSorts.contains(r.strSort) && !others.contains(r.strSort))
                others << r.strSort;
        others.sort();
        chartSorts += others;
        const auto sorts = [&](const QDate& from, const QDate& to) {
            QStringList texts;
            for (const QString& strSort : chartSorts) {
                qint64 nCents = 0;
                for (const SRow& r : rows)
                    if (r.nTable == t && r.strSort == strSort &&
                        (in(r, from, to) || (r.bNull && !from.isValid())))
                        nCents += r.nCents;
                texts << CMoney::Format(CMoney::FromCents(nCents));
            }
            return texts.join(QLatin1Char(' '));
        };
        // The book's own years; this year alone for a table without days.
        int nFirst = 0, nLast = 0;
        for (const QDate& d : days[t]) {
            nFirst = nFirst ? std::min(nFirst, d.year()) : d.year();
            nLast = std::max(nLast, d.year());
        }
        if (nFirst == 0)
            nFirst = nLast = CToday::Get().year();
        a.lines << strT + QStringLiteral("user line: ") + line(0, {}, {}, nFirst, nLast);
        a.lines << strT + QStringLiteral("user sorts: ") + sorts({}, {});
        for (const QDate& m : Months) {
            const QDate y(m.year(), 1, 1);
            a.lines << strT + QStringLiteral("year line %1: ").arg(m.year()) +
                           line(1, y, y.addYears(1), 1, 12);
            a.lines << strT + QStringLiteral("year sorts %1: ").arg(m.year()) +
                           sorts(y, y.addYears(1));
            a.lines << strT + QStringLiteral("month line %1: ").arg(m.month()) +
                           line(2, m, m.addMonths(1), 1, m.daysInMonth());
            a.lines << strT + QStringLiteral("month sorts %1: ").arg(m.month()) +
                           sorts(m, m.addMonths(1));
        }
        QList<QDate> list = days[t].values();
        std::sort(list.begin(), list.end());
        QStringList texts;
        for (const QDate& d : list)
            texts << d.toString(Qt::ISODate);
        a.lines << strT + QStringLiteral("days: ") + texts.join(QLatin1Char(' '));
    }
    QMap<int, QMap<int, QString>> tree; // kinds by year and month
    for (int t = 0; t < 2; ++t)
        for (const QDate& d : days[t]) {
            QString& strKinds = tree[d.year()][d.month()];
            if (strKinds.isEmpty() || (t == 1 && strKinds == QStringLiteral("i")))
                strKinds += t == 0 ? QStringLiteral("i") : QStringLiteral("o");
        }
    QStringList years;
    for (auto y = tree.cbegin(); y != tree.cend(); ++y) {
        QStringList months;
        bool bKinds[2] = {false, false};
        for (auto m = y.value().cbegin(); m != y.value().cend(); ++m) {
            months << QString::number(m.key()) + m.value();
            bKinds[0] = bKinds[0] || m.value().contains(u'i');
            bKinds[1] = bKinds[1] || m.value().contains(u'o');
        }
        years << QStringLiteral("%1%2%3[%4]")
                     .arg(y.key())
                     .arg(bKinds[0] ? QStringLiteral("i") : QString(),
                          bKinds[1] ? QStringLiteral("o") : QString(), months.join(u' '));
    }
    a.lines << QStringLiteral("tree: ") + years.join(u' ');
    return a;
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

        // Rows added in bulk, as an import adds them (the totals caught up at the end), then
        // single writes again, which the triggers must count once more.
        for (const bool bCommit : {true, false}) {
            CTransaction transaction;
            CBulkRows bulk;
            for (int i = 0; i < 300; ++i)
                PlainSqlInsert(rng);
            bulk.Finish();
            if (bCommit)
                transaction.Commit();
        }
        for (int i = 0; i < 20; ++i)
            PlainSqlWrite(rng);
        CHECK_TOTALS();

        // A whole table emptied at once (on PostgreSQL also by TRUNCATE).
        Run(CTestBook::UsePostgres() ? QStringLiteral("TRUNCATE \"Income\"")
                                     : QStringLiteral("DELETE FROM \"Income\""));
        CHECK_TOTALS();
    }

    // On a book the program wrote and plain SQL then changed (dates in every form, rows
    // without a date or with one that is no day, half cents), every figure, brief, chart
    // series and day list the analysis reads from the kept totals equals its recomputation
    // here, row by row, from the records.
    void analysisGivesTheFiguresOfTheRecords() {
        CTestBook book;
        CBookBuilder::SOptions options;
        options.firstDay = QDate(2019, 11, 20);
        options.nDays = 80;
        options.nRecordsPerDay = 3;
        CBookBuilder::AddUser(QStringLiteral("张三"), QStringLiteral("pw"), options);
        options.nSeed = 2;
        CBookBuilder::AddUser(QStringLiteral("李四"), QStringLiteral("pw"), options);
        QRandomGenerator rng(3);
        for (int i = 0; i < 300; ++i)
            PlainSqlWrite(rng);
        CHECK_TOTALS();
        for (const QString& strUser : Users) {
            const SAnswers kept = Analysis(strUser);
            const SAnswers records = Recomputed(strUser);
            QVERIFY(records.lines.size() > 20);
            for (int i = 0; i < std::max(kept.lines.size(), records.lines.size()); ++i)
                QCOMPARE(kept.lines.value(i), records.lines.value(i));
        }
    }

    // A book written before the kept totals existed gets them, built once, when it is opened,
    // also when a second copy opens it afterwards; the triggers then keep them. An SQLite book
    // the version before kept (everything but the years) gets its years without a build.
    void olderBookGetsTotalsOnOpening_data() {
        QTest::addColumn<bool>("bYearsOnly");
        QTest::newRow("no totals") << false;
        if (!CTestBook::UsePostgres())
            QTest::newRow("all but the years") << true;
    }
    void olderBookGetsTotalsOnOpening() {
        QFETCH(bool, bYearsOnly);
        CTestBook book;
        QRandomGenerator rng(7);
        {
            CTransaction transaction;
            for (int i = 0; i < 300; ++i)
                PlainSqlWrite(rng);
            transaction.Commit();
        }
        if (bYearsOnly)
            KeepAsVersionBefore();
        else
            DropKeptTotals();
        CDatabase::Close();
        int nBuilds = 0;
        CKeptSchema::SetBuildHook([&nBuilds](bool bStarting, qint64 nRows) {
            nBuilds += bStarting ? 1 : 0;
            QVERIFY(nRows > 0);
        });
        CDatabase::Open();
        CDatabase::SetUrl(book.Url(), QStringLiteral("second"));
        CDatabase::Open(QStringLiteral("second"));
        CDatabase::Close(QStringLiteral("second"));
        CKeptSchema::SetBuildHook({});
        QCOMPARE(nBuilds, bYearsOnly ? 0 : 1);
        QVERIFY(!KeptLines().isEmpty());
        CHECK_TOTALS();
        PlainSqlWrite(rng);
        ProgramWrite<COutlaySet>(rng);
        CHECK_TOTALS();
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestKeptTotals)
#include "tst_kepttotals.moc"
