#include "cbookbuilder.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "plans/crecurring.h"
#include "records/cdaybook.h"

#include <QtTest>

namespace {

const QString User = QStringLiteral("张三");
const QString Cash = QStringLiteral("现金");
const QString Bank = QStringLiteral("银行");

QString Days(const QVector<QDate>& days) {
    QStringList list;
    for (const QDate& day : days)
        list << day.toString(Qt::ISODate);
    return list.join(QLatin1Char(' '));
}

CRecurring::STemplate Rule(CRecurring::EUnit eUnit, int nEvery, const QDate& start,
                           const QDate& end = {}, int nMonthDay = 0) {
    CRecurring::STemplate t;
    t.eKind = CRecurring::EKind::Outlay;
    t.strSort = QStringLiteral("房租支出");
    t.strNote = QStringLiteral("房租");
    t.strBank = Bank;
    t.nCents = 250000;
    t.eUnit = eUnit;
    t.nEvery = nEvery;
    t.start = start;
    t.end = end;
    t.nMonthDay = nMonthDay;
    return t;
}

// The balance an account opened with plus nCents, as the program shows balances.
QString Opening(const QString& strCard, qint64 nCents) {
    return CMoney::Format(CMoney::FromCents(CBookBuilder::OpeningCents(User, strCard) + nCents));
}

void AddUser() {
    CBookBuilder::SOptions o;
    o.nDays = 0;
    o.nTransfers = 0;
    o.firstDay = QDate(2026, 1, 1);
    CBookBuilder::AddUser(User, QStringLiteral("pw"), o);
}

} // namespace

Q_DECLARE_METATYPE(CRecurring::STemplate)

class TestRecurring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { CToday::Set({}); }
    void occurrences_data();
    void occurrences();
    void dueWrittenOnceSkippedPaused();
    void transferAndChangedAmount();
    void secondCopyWritesNothing();
    void refusedWriteLeavesItDue();
};

void TestRecurring::occurrences_data() {
    using U = CRecurring::EUnit;
    QTest::addColumn<CRecurring::STemplate>("rule");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("days");
    QTest::newRow("31st, leap February")
        << Rule(U::Month, 1, QDate(2024, 1, 31), {}, 31) << QDate(2024, 1, 1) << QDate(2024, 4, 30)
        << "2024-01-31 2024-02-29 2024-03-31 2024-04-30";
    QTest::newRow("31st, plain February")
        << Rule(U::Month, 1, QDate(2025, 1, 31)) << QDate(2025, 2, 1) << QDate(2025, 3, 31)
        << "2025-02-28 2025-03-31";
    QTest::newRow("30th every 2 months")
        << Rule(U::Month, 2, QDate(2023, 12, 30)) << QDate(2023, 1, 1) << QDate(2024, 5, 1)
        << "2023-12-30 2024-02-29 2024-04-30";
    QTest::newRow("5th from a start on the 20th")
        << Rule(U::Month, 1, QDate(2026, 1, 20), {}, 5) << QDate(2026, 1, 1) << QDate(2026, 3, 5)
        << "2026-02-05 2026-03-05";
    QTest::newRow("29 February yearly")
        << Rule(U::Year, 1, QDate(2024, 2, 29)) << QDate(2024, 1, 1) << QDate(2028, 12, 31)
        << "2024-02-29 2025-02-28 2026-02-28 2027-02-28 2028-02-29";
    QTest::newRow("weekly across a year end")
        << Rule(U::Week, 1, QDate(2025, 12, 24)) << QDate(2025, 12, 25) << QDate(2026, 1, 14)
        << "2025-12-31 2026-01-07 2026-01-14";
    QTest::newRow("every 2 weeks, window far from the start")
        << Rule(U::Week, 2, QDate(2001, 1, 1)) << QDate(2026, 12, 1) << QDate(2026, 12, 31)
        << "2026-12-14 2026-12-28";
    QTest::newRow("every 3 days across a year end")
        << Rule(U::Day, 3, QDate(2025, 12, 30)) << QDate(2025, 12, 1) << QDate(2026, 1, 5)
        << "2025-12-30 2026-01-02 2026-01-05";
    QTest::newRow("ended") << Rule(U::Month, 1, QDate(2026, 1, 15), QDate(2026, 3, 14))
                           << QDate(2026, 1, 1) << QDate(2026, 12, 31) << "2026-01-15 2026-02-15";
    QTest::newRow("ends on an occurrence")
        << Rule(U::Day, 1, QDate(2026, 1, 30), QDate(2026, 2, 1)) << QDate(2026, 1, 1)
        << QDate(2026, 12, 31) << "2026-01-30 2026-01-31 2026-02-01";
    QTest::newRow("not begun") << Rule(U::Year, 1, QDate(2027, 1, 1)) << QDate(2026, 1, 1)
                               << QDate(2026, 12, 31) << "";
}

void TestRecurring::occurrences() {
    QFETCH(CRecurring::STemplate, rule);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, days);
    QCOMPARE(Days(CRecurring::Occurrences(rule, from, to)), days);
}

void TestRecurring::dueWrittenOnceSkippedPaused() {
    CTestBook book;
    AddUser();
    CRecurring::STemplate rent = Rule(CRecurring::EUnit::Month, 1, QDate(2026, 1, 31));
    CRecurring::Add(User, rent);
    CRecurring::STemplate ended =
        Rule(CRecurring::EUnit::Week, 1, QDate(2026, 2, 2), QDate(2026, 2, 16));
    ended.eKind = CRecurring::EKind::Income;
    ended.strSort = QStringLiteral("工资收入");
    CRecurring::Add(User, ended);
    CRecurring::STemplate paused = Rule(CRecurring::EUnit::Day, 1, QDate(2026, 1, 1));
    paused.bPaused = true;
    CRecurring::Add(User, paused);

    // "rent 2026-01-31 pay 2026-02-02 …": what is owed, template by template.
    const auto due = [&](const QDate& today) {
        QStringList list;
        for (const CRecurring::SDue& d : CRecurring::Due(User, today))
            list << (d.tmpl.nId == rent.nId ? QStringLiteral("rent ") : QStringLiteral("pay ")) +
                        d.day.toString(Qt::ISODate);
        return list.join(QLatin1Char(' '));
    };
    QCOMPARE(due(QDate(2026, 3, 1)), QStringLiteral("rent 2026-01-31 rent 2026-02-28 pay "
                                                    "2026-02-02 pay 2026-02-09 pay 2026-02-16"));

    using W = CRecurring::EWrite;
    QCOMPARE(CRecurring::Write(User, rent.nId, QDate(2026, 1, 31), rent.nCents), W::Written);
    QCOMPARE(CRecurring::Write(User, rent.nId, QDate(2026, 1, 31), rent.nCents), W::Taken);
    QCOMPARE(CRecurring::Skip(User, rent.nId, QDate(2026, 1, 31)), W::Taken);
    QCOMPARE(CRecurring::Skip(User, rent.nId, QDate(2026, 2, 28)), W::Skipped);
    QCOMPARE(CRecurring::Write(User, rent.nId, QDate(2026, 2, 27), rent.nCents), W::Changed);
    QCOMPARE(CTestRows::Balance(User, Bank), Opening(Bank, -250000));
    const QVector<SDayRecord> rows =
        CDayBook(ERecordKind::Outlay, User).LoadDay(QDate(2026, 1, 31), Bank);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().strSort, QStringLiteral("房租支出"));
    QCOMPARE(rows.first().strNote, QStringLiteral("房租"));
    QVERIFY(CDayBook(ERecordKind::Outlay, User).HasDay(QDate(2026, 1, 31)));
    QCOMPARE(due(QDate(2026, 3, 1)),
             QStringLiteral("pay 2026-02-02 pay 2026-02-09 pay 2026-02-16"));

    // Paused, nothing is owed; resumed, only what falls from the day it was resumed.
    QCOMPARE(CRecurring::SetPaused(User, ended.nId, true), CRecurring::EChange::Done);
    QCOMPARE(due(QDate(2026, 3, 1)), QString());
    QCOMPARE(CRecurring::Write(User, ended.nId, QDate(2026, 2, 2), 100), W::Changed);
    CToday::Set(QDate(2026, 3, 31));
    QCOMPARE(CRecurring::SetPaused(User, rent.nId, true), CRecurring::EChange::Done);
    QCOMPARE(CRecurring::SetPaused(User, rent.nId, false), CRecurring::EChange::Done);
    QCOMPARE(due(QDate(2026, 4, 30)), QStringLiteral("rent 2026-03-31 rent 2026-04-30"));

    QCOMPARE(CRecurring::Remove(User, rent.nId), CRecurring::EChange::Done);
    QCOMPARE(CRecurring::Remove(User, rent.nId), CRecurring::EChange::Gone);
    QCOMPARE(CRecurring::Write(User, rent.nId, QDate(2026, 3, 31), rent.nCents), W::Changed);
    QCOMPARE(CRecurring::List(User).size(), 2);
}

void TestRecurring::transferAndChangedAmount() {
    CTestBook book;
    AddUser();
    CRecurring::STemplate saving = Rule(CRecurring::EUnit::Month, 1, QDate(2026, 1, 10));
    saving.eKind = CRecurring::EKind::Transfer;
    saving.strBank = Cash;
    saving.strToBank = Bank;
    saving.nCents = 10000;
    CRecurring::Add(User, saving);
    // This time 123.45 instead of 100.00.
    QCOMPARE(CRecurring::Write(User, saving.nId, QDate(2026, 1, 10), 12345),
             CRecurring::EWrite::Written);
    QCOMPARE(CTestRows::Balance(User, Cash), Opening(Cash, -12345));
    QCOMPARE(CTestRows::Balance(User, Bank), Opening(Bank, 12345));
    QCOMPARE(CRecurring::List(User).first().nCents, 10000); // the template keeps its amount
    QVERIFY(CBookBuilder::BalanceProblems().isEmpty());
}

void TestRecurring::secondCopyWritesNothing() {
    CTestBook book;
    const QString strOther = QStringLiteral("second-copy");
    CDatabase::SetUrl(book.Url(), strOther);
    AddUser();
    CRecurring::STemplate rent = Rule(CRecurring::EUnit::Month, 1, QDate(2026, 1, 1));
    CRecurring::Add(User, rent);
    // Both copies list the rent; the first to confirm writes it, the other nothing.
    QCOMPARE(CRecurring::Due(User, QDate(2026, 1, 1), strOther).size(), 1);
    QCOMPARE(CRecurring::Write(User, rent.nId, QDate(2026, 1, 1), rent.nCents),
             CRecurring::EWrite::Written);
    QCOMPARE(CRecurring::Write(User, rent.nId, QDate(2026, 1, 1), rent.nCents, 0, strOther),
             CRecurring::EWrite::Taken);
    QCOMPARE(CRecurring::Due(User, QDate(2026, 1, 1), strOther).size(), 0);
    QCOMPARE(CTestRows::Balance(User, Bank), Opening(Bank, -250000));
    CDatabase::Close(strOther);
}

void TestRecurring::refusedWriteLeavesItDue() {
    CTestBook book;
    AddUser();
    CRecurring::STemplate rent = Rule(CRecurring::EUnit::Month, 1, QDate(2026, 1, 5));
    rent.strBank = QStringLiteral("已销户");
    CRecurring::Add(User, rent);
    QVERIFY_THROWS_EXCEPTION(CDBException,
                             CRecurring::Write(User, rent.nId, QDate(2026, 1, 5), rent.nCents));
    QVERIFY_THROWS_EXCEPTION(CDBException, CRecurring::Write(User, rent.nId, QDate(2026, 1, 5), 0));
    QCOMPARE(CRecurring::Due(User, QDate(2026, 1, 5)).size(), 1);
    QVERIFY(!CDayBook(ERecordKind::Outlay, User).HasDay(QDate(2026, 1, 5)));

    CRecurring::STemplate bad = rent;
    bad.end = QDate(2025, 12, 31);
    QVERIFY_THROWS_EXCEPTION(CDBException, CRecurring::Add(User, bad));
    QCOMPARE(CRecurring::List(User).size(), 1);
}

LEDGERKIN_CORE_TEST_MAIN(TestRecurring)
#include "tst_recurring.moc"
