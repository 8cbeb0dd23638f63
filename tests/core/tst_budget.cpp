#include "cbookbuilder.h"
#include "ctestbook.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "plans/cbudget.h"

#include <QRandomGenerator>
#include <QtTest>
#include <map>

namespace {

const QString User = QStringLiteral("张三");

// Outlay cents per month (yyyymm) and category ("" the whole outlay), added up row by row from
// the records themselves.
std::map<std::pair<int, QString>, qint64> RowSums(const QString& strUser) {
    std::map<std::pair<int, QString>, qint64> sums;
    COutlaySet set;
    set.SetFilter(CRecordset::EFilter::User, {strUser});
    set.Open();
    for (; !set.IsEOF(); set.MoveNext()) {
        const QDate day = set.m_Date.date();
        const int nMonth = day.year() * 100 + day.month();
        const qint64 nCents = CMoney::ToCents(set.m_Amount);
        sums[{nMonth, QString()}] += nCents;
        sums[{nMonth, set.m_Sort}] += nCents;
    }
    return sums;
}

} // namespace

class TestBudget : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void figuresEqualRowSums_data();
    void figuresEqualRowSums();
    void amountsApplyOnlyTheirChanges();
    void crossing_data();
    void crossing();
    void daysLeft_data();
    void daysLeft();
};

void TestBudget::figuresEqualRowSums_data() {
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<bool>("whole"); // a whole-outlay budget besides the categories'
    QTest::newRow("seed 1, categories only") << quint64(1) << false;
    QTest::newRow("seed 2, whole and categories") << quint64(2) << true;
    QTest::newRow("seed 3, whole and categories") << quint64(3) << true;
}

void TestBudget::figuresEqualRowSums() {
    QFETCH(quint64, seed);
    QFETCH(bool, whole);
    CTestBook book;
    CBookBuilder::SOptions options;
    options.firstDay = QDate(2023, 11, 20);
    options.nDays = 420;
    options.nRecordsPerDay = 3;
    options.nSeed = seed;
    CBookBuilder::AddUser(User, QStringLiteral("pw"), options);
    CBookBuilder::AddUser(QStringLiteral("李四"), QStringLiteral("pw"), options); // not counted

    // Random budgets: every category gets one, some with a different amount in some months.
    QRandomGenerator random(seed);
    QVector<CBudget::SAmount> amounts;
    const QStringList categories = CBudget::Categories(User);
    for (const QString& strSort : categories) {
        amounts.push_back({strSort, 0, random.bounded(1, 100000)});
        if (random.bounded(2))
            amounts.push_back({strSort, random.bounded(1, 13), random.bounded(1, 100000)});
    }
    if (whole)
        amounts.push_back({QString(), 0, 300000});
    CBudget::Apply(User, amounts);

    const auto sums = RowSums(User);
    const auto inForce = [&](const QString& strSort, int nMonth) {
        qint64 nCents = 0;
        for (const CBudget::SAmount& a : amounts)
            if (a.strSort == strSort && a.nMonth == 0 && nCents == 0)
                nCents = a.nCents;
        for (const CBudget::SAmount& a : amounts)
            if (a.strSort == strSort && a.nMonth == nMonth)
                nCents = a.nCents;
        return nCents;
    };
    for (QDate month(2023, 11, 1); month <= QDate(2025, 1, 1); month = month.addMonths(1)) {
        const int nKey = month.year() * 100 + month.month();
        const QVector<CBudget::SLine> lines = CBudget::MonthLines(User, month);
        QCOMPARE(lines.size(), categories.size() + (whole ? 1 : 0));
        for (const CBudget::SLine& line : lines) {
            const auto it = sums.find({nKey, line.strSort});
            QCOMPARE(line.nSpent, it == sums.end() ? 0 : it->second);
            QCOMPARE(line.nBudget, inForce(line.strSort, month.month()));
        }
        if (whole)
            QVERIFY(lines.first().strSort.isEmpty());
    }
    for (const int nYear : {2023, 2024, 2025}) {
        const QVector<CBudget::SMonthRow> rows = CBudget::YearRows(User, nYear);
        QCOMPARE(rows.size(), 12);
        for (const CBudget::SMonthRow& row : rows) {
            const int nKey = nYear * 100 + row.nMonth;
            qint64 nBudget = 0;
            qint64 nSpent = 0;
            if (whole) {
                nBudget = 300000;
                const auto it = sums.find({nKey, QString()});
                nSpent = it == sums.end() ? 0 : it->second;
            } else {
                for (const QString& strSort : categories) {
                    nBudget += inForce(strSort, row.nMonth);
                    const auto it = sums.find({nKey, strSort});
                    nSpent += it == sums.end() ? 0 : it->second;
                }
            }
            QCOMPARE(row.nBudget, nBudget);
            QCOMPARE(row.nSpent, nSpent);
        }
    }
}

void TestBudget::amountsApplyOnlyTheirChanges() {
    CTestBook book;
    CBookBuilder::AddUser(User, QStringLiteral("pw"), {});
    const QString strFood = QStringLiteral("用餐支出");
    CBudget::Apply(User, {{QString(), 0, 500000}, {strFood, 0, 80000}, {strFood, 2, 60000}});
    // Another copy changes the whole budget; this one changes food in February and removes
    // food's every-month amount: the other copy's change stays.
    CBudget::Apply(User, {{QString(), 0, 450000}});
    CBudget::Apply(User, {{strFood, 2, 70000}, {strFood, 0, 0}});
    const QVector<CBudget::SAmount> expected{{QString(), 0, 450000}, {strFood, 2, 70000}};
    QCOMPARE(CBudget::Amounts(User), expected);
    QCOMPARE(CBudget::MonthLines(User, QDate(2026, 3, 1)).size(), 1); // food only in February
    QCOMPARE(CBudget::MonthLines(User, QDate(2026, 2, 1)).size(), 2);
    QVERIFY(CBudget::Amounts(QStringLiteral("李四")).isEmpty());

    for (const CBudget::SAmount& bad :
         {CBudget::SAmount{strFood, 0, -1}, CBudget::SAmount{strFood, 13, 100}})
        QVERIFY_THROWS_EXCEPTION(CDBException, CBudget::Apply(User, {bad}));
    QCOMPARE(CBudget::Amounts(User), expected);
}

void TestBudget::crossing_data() {
    QTest::addColumn<qint64>("before");
    QTest::addColumn<qint64>("after");
    QTest::addColumn<QString>("text");
    const QString strCrossed = QStringLiteral("本月预算已超出：全部支出超出 0.01元");
    QTest::newRow("stays under") << qint64(9000) << qint64(10000) << QString();
    QTest::newRow("crosses by a cent") << qint64(9000) << qint64(10001) << strCrossed;
    QTest::newRow("from exactly full") << qint64(10000) << qint64(10001) << strCrossed;
    QTest::newRow("over already") << qint64(10001) << qint64(12000) << QString();
    QTest::newRow("back under") << qint64(12000) << qint64(9000) << QString();
}

void TestBudget::crossing() {
    QFETCH(qint64, before);
    QFETCH(qint64, after);
    QFETCH(QString, text);
    const CBudget::SLine food{QStringLiteral("用餐支出"), 5000, 100};
    QCOMPARE(
        CBudget::CrossedText({{QString(), 10000, before}, food}, {{QString(), 10000, after}, food}),
        text);
}

void TestBudget::daysLeft_data() {
    QTest::addColumn<QDate>("month");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("left");
    QTest::newRow("first day") << QDate(2026, 2, 1) << QDate(2026, 2, 1) << 28;
    QTest::newRow("last day") << QDate(2024, 2, 1) << QDate(2024, 2, 29) << 1;
    QTest::newRow("mid month") << QDate(2026, 12, 1) << QDate(2026, 12, 9) << 23;
    QTest::newRow("month gone") << QDate(2026, 11, 1) << QDate(2026, 12, 9) << 0;
    QTest::newRow("month to come") << QDate(2027, 2, 1) << QDate(2026, 12, 9) << 28;
}

void TestBudget::daysLeft() {
    QFETCH(QDate, month);
    QFETCH(QDate, today);
    QFETCH(int, left);
    QCOMPARE(CBudget::DaysLeft(month, today), left);
}

LEDGERKIN_CORE_TEST_MAIN(TestBudget)
#include "tst_budget.moc"
