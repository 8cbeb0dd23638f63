#include "ctestbook.h"
#include "data/cbankset.h"
#include "data/cdatabase.h"
#include "demo/cdemobook.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QSqlQuery>
#include <QtTest>

namespace {
// Cents of SUM over one table of the demo user.
qint64 Cents(const char* szSql) {
    QSqlQuery q = CDatabase::Exec(QString::fromUtf8(szSql), {CDemoBook::UserName});
    return q.next() ? q.value(0).toLongLong() : -1;
}
} // namespace

class TestDemoBook : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void demoBookIsTwoYearsAndBalances() {
        CTestBook book;
        const QDate last(2026, 12, 7);
        CDemoBook::Build(last);
        QVERIFY(CUserAdmin::CheckPassword(CDemoBook::UserName, CDemoBook::Password));

        CDayBook income(ERecordKind::Income, CDemoBook::UserName);
        CDayBook outlay(ERecordKind::Outlay, CDemoBook::UserName);
        QCOMPARE(income.Accounts().size(), 3);
        QCOMPARE(outlay.Step(CDayBook::EStep::First, last), last.addYears(-2).addDays(1));
        QCOMPARE(outlay.Step(CDayBook::EStep::Last, QDate()), last);

        // Every balance is its opening amount moved by exactly its records and transfers.
        const qint64 nOpening = 80000 + 1200000 + 5000000;
        const qint64 nIn =
            Cents("SELECT SUM(ROUND(\"Amount\" * 100)) FROM \"Income\" WHERE \"UserName\" = ?");
        const qint64 nOut =
            Cents("SELECT SUM(ROUND(\"Amount\" * 100)) FROM \"Outlay\" WHERE \"UserName\" = ?");
        const qint64 nBalances =
            Cents("SELECT SUM(ROUND(\"CardCash\" * 100)) FROM \"Bank\" WHERE \"UserName\" = ?");
        QVERIFY(nIn > 0 && nOut > 0);
        QCOMPARE(nBalances, nOpening + nIn - nOut);
        QVERIFY2(nIn > nOut, "the demo household should save money");

        // Ensure() leaves an existing demo book alone.
        CDemoBook::Ensure();
        QCOMPARE(
            Cents("SELECT SUM(ROUND(\"Amount\" * 100)) FROM \"Income\" WHERE \"UserName\" = ?"),
            nIn);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestDemoBook)
#include "tst_demobook.moc"
