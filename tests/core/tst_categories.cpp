#include "analysis/cchartdata.h"
#include "cbookbuilder.h"
#include "ckeptcheck.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "import/cimporter.h"
#include "records/ccategories.h"
#include "records/ccategorybook.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QSqlQuery>
#include <QtTest>
#include <thread>

namespace {

const QString kUser = QStringLiteral("妈妈");
const QString kOther = QStringLiteral("爸爸");
const QString kMeal = QStringLiteral("用餐支出");
const QString kCash = QStringLiteral("现金");

CCategoryBook Outlay(const QString& strUser = kUser,
                     const QString& strConnection = CDatabase::DefaultConnection) {
    return CCategoryBook(ERecordKind::Outlay, strUser, 0, strConnection);
}

// Records of the user's outlay carrying each text, counted from the table itself.
QMap<QString, int> SortCounts(const QString& strUser = kUser) {
    QSqlQuery q = CDatabase::Exec(
        QStringLiteral("SELECT \"Sort\", COUNT(*) FROM \"Outlay\" WHERE \"UserName\" = ? AND "
                       "\"Sort\" <> '' GROUP BY \"Sort\""),
        {strUser});
    QMap<QString, int> counts;
    while (q.next())
        counts.insert(q.value(0).toString(), q.value(1).toInt());
    return counts;
}

void MakeUsers() {
    CBookBuilder::SOptions o;
    o.nDays = 40;
    o.nRecordsPerDay = 4;
    o.nAccounts = 1;
    CBookBuilder::AddUser(kUser, QStringLiteral("pw"), o);
    o.nSeed = 2;
    CBookBuilder::AddUser(kOther, QStringLiteral("pw"), o);
}

SDayRecord Meal(const QString& strSort, double dAmount) {
    SDayRecord r;
    r.strSort = strSort;
    r.strNote = QStringLiteral("饭");
    r.dAmount = dAmount;
    return r;
}

} // namespace

class TestCategories : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A user who never changed anything has the built-in list; each change keeps records,
    // kept totals, the import's rules and other users as they must be.
    void changesCarryTheRecords() {
        CTestBook book;
        MakeUsers();
        QCOMPARE(Outlay().Names(), CCategories::Outlay());
        const QMap<QString, int> before = SortCounts();
        const QMap<QString, int> otherBefore = SortCounts(kOther);
        QVERIFY(before.value(kMeal) > 0);
        CImporter(kUser).SaveRules({{QStringLiteral("饭店"), ERecordKind::Outlay, kMeal}});

        CCategoryBook cats = Outlay();
        QCOMPARE(cats.Add(QStringLiteral("  教育 ")), QString());
        QCOMPARE(cats.Names().last(), QStringLiteral("教育"));
        QCOMPARE(cats.Names().size(), 13);

        QCOMPARE(cats.Rename(kMeal, QStringLiteral("餐饮")), QString());
        QMap<QString, int> after = SortCounts();
        QCOMPARE(after.value(QStringLiteral("餐饮")), before.value(kMeal));
        QVERIFY(!after.contains(kMeal));
        QCOMPARE(cats.Names().first(), QStringLiteral("餐饮"));
        QCOMPARE(CImporter(kUser).Rules().first().strSort, QStringLiteral("餐饮"));
        QCOMPARE(CKeptCheck::Differences(), QStringList());

        const QString strSnack = QStringLiteral("零食支出");
        QCOMPARE(cats.Merge(strSnack, QStringLiteral("餐饮")), QString());
        after = SortCounts();
        QCOMPARE(after.value(QStringLiteral("餐饮")), before.value(kMeal) + before.value(strSnack));
        QVERIFY(!cats.AllNames().contains(strSnack));
        QCOMPARE(CKeptCheck::Differences(), QStringList());

        QCOMPARE(cats.SetHidden(QStringLiteral("房租支出"), true), QString());
        QVERIFY(!cats.Names().contains(QStringLiteral("房租支出")));
        QVERIFY(cats.AllNames().contains(QStringLiteral("房租支出")));
        QCOMPARE(cats.Move(QStringLiteral("教育"), -100), QString());
        QCOMPARE(cats.Names().first(), QStringLiteral("教育"));
        QCOMPARE(cats.SetShort(QStringLiteral("医疗保健支出"), QStringLiteral(" 医疗 ")),
                 QString());
        for (const CCategoryBook::SCategory& c : cats.List()) {
            QCOMPARE(CCategoryBook::Label(c), c.strName == QStringLiteral("医疗保健支出")
                                                  ? QStringLiteral("医疗")
                                                  : c.strName);
            QCOMPARE(c.nRecords, after.value(c.strName));
        }
        QCOMPARE(cats.Remove(QStringLiteral("教育")), QString());
        QVERIFY(!cats.AllNames().contains(QStringLiteral("教育")));

        // The other user, and this user's income, are untouched.
        QCOMPARE(SortCounts(kOther), otherBefore);
        QCOMPARE(Outlay(kOther).Names(), CCategories::Outlay());
        QCOMPARE(CCategoryBook(ERecordKind::Income, kUser).Names(), CCategories::Income());
    }

    void refusals_data() {
        QTest::addColumn<int>("nStep");
        QTest::addColumn<QString>("strName");
        QTest::addColumn<QString>("strOther");
        QTest::addColumn<QString>("strSays");
        enum { Add, Rename, Merge, Hide, Remove };
        QTest::newRow("blank") << int(Add) << QStringLiteral("  ") << QString()
                               << QStringLiteral("不能为空");
        QTest::newRow("same trimmed") << int(Add) << QStringLiteral(" 用餐支出") << QString()
                                      << QStringLiteral("已有名为“用餐支出”");
        QTest::newRow("case and width") << int(Add) << QStringLiteral("ＫＴＶ支出") << QString()
                                        << QStringLiteral("已有名为“ktv支出”");
        QTest::newRow("rename onto another")
            << int(Rename) << kMeal << QStringLiteral("购物支出") << QStringLiteral("已有名为");
        QTest::newRow("rename to blank")
            << int(Rename) << kMeal << QStringLiteral("") << QStringLiteral("不能为空");
        QTest::newRow("rename a name gone")
            << int(Rename) << QStringLiteral("没有") << QStringLiteral("x")
            << QStringLiteral("已不在列表中");
        QTest::newRow("merge into itself")
            << int(Merge) << kMeal << kMeal << QStringLiteral("另一个类别");
        QTest::newRow("merge into a name gone")
            << int(Merge) << kMeal << QStringLiteral("没有") << QStringLiteral("已不在列表中");
        QTest::newRow("remove in use")
            << int(Remove) << kMeal << QString() << QStringLiteral("条记录使用类别“用餐支出”");
        QTest::newRow("hide the last shown") << int(Hide) << QStringLiteral("ktv支出") << QString()
                                             << QStringLiteral("至少要留一个");
    }
    void refusals() {
        QFETCH(int, nStep);
        QFETCH(QString, strName);
        QFETCH(QString, strOther);
        QFETCH(QString, strSays);
        CTestBook book;
        MakeUsers();
        CCategoryBook cats = Outlay();
        QCOMPARE(cats.Add(QStringLiteral("ktv支出")), QString());
        if (QByteArray(QTest::currentDataTag()) == "hide the last shown") {
            for (const QString& s : cats.Names())
                if (s != strName)
                    QCOMPARE(cats.SetHidden(s, true), QString());
        }
        const QStringList list = cats.AllNames();
        const QMap<QString, int> counts = SortCounts();
        QString strAnswer;
        switch (nStep) {
        case 0:
            strAnswer = cats.Add(strName);
            break;
        case 1:
            strAnswer = cats.Rename(strName, strOther);
            break;
        case 2:
            strAnswer = cats.Merge(strName, strOther);
            break;
        case 3:
            strAnswer = cats.SetHidden(strName, true);
            break;
        default:
            strAnswer = cats.Remove(strName);
            break;
        }
        QVERIFY2(strAnswer.contains(strSays), qPrintable(strAnswer));
        if (nStep == 4)
            QVERIFY(strAnswer.contains(QString::number(counts.value(kMeal))));
        QCOMPARE(cats.AllNames(), list);
        QCOMPARE(SortCounts(), counts);
    }

    // Texts another program wrote count everywhere, are listed as found, and can be adopted
    // or merged.
    void unknownSortsAreKept() {
        CTestBook book;
        MakeUsers();
        const QString strOld = QStringLiteral("老的类别");
        for (int i = 0; i < 3; ++i)
            CTestRows::AddRecord<COutlaySet>(kUser, QDateTime(QDate(2004, 3, 5), QTime(0, 0)),
                                             kCash, strOld, QStringLiteral("旧"), 10.25);
        CCategoryBook cats = Outlay();
        QCOMPARE(cats.Found().size(), 1);
        QCOMPARE(cats.Found().first().strName, strOld);
        QCOMPARE(cats.Found().first().nRecords, 3);
        const CChartData chart(CChartData::ETable::Outlay, kUser);
        const int nAt = chart.CategoryLabels().indexOf(strOld);
        QVERIFY(nAt >= 0);
        QCOMPARE(chart.UserSorts().at(nAt), QStringLiteral("30.75"));

        QCOMPARE(cats.Add(strOld), QString());
        QVERIFY(cats.Found().isEmpty());
        QCOMPARE(cats.List().last().nRecords, 3);
        QCOMPARE(cats.Merge(strOld, kMeal), QString());
        QVERIFY(cats.Found().isEmpty());
        QVERIFY(!SortCounts().contains(strOld));
        QCOMPARE(CKeptCheck::Differences(), QStringList());
    }

    // Two copies on one book: one renames over and over while the other confirms days with
    // the name it showed at start. Every row lands, under the name the category has at the end.
    void twoCopiesRenameAndRecord() {
        CTestBook book;
        MakeUsers();
        const QString strSecond = QStringLiteral("second");
        CDatabase::SetUrl(book.Url(), strSecond);
        const int nBefore = SortCounts().value(kMeal);
        constexpr int nDays = 12;
        QString strWorkerError;
        std::thread worker([&] {
            try {
                CDayBook days(ERecordKind::Outlay, kUser, strSecond);
                const QString strShown = Outlay(kUser, strSecond).Names().first();
                for (int i = 0; i < nDays; ++i)
                    days.Confirm(QDate(2010, 1, 1 + i), kCash,
                                 SDayEdit::Adding({Meal(strShown, 1.5), Meal(strShown, 2)}));
            } catch (const CDBException& e) {
                strWorkerError = e.m_strError;
            }
            CDatabase::Close(strSecond);
        });
        QStringList names;
        for (int i = 0; i < 6; ++i) {
            const QString strNow = Outlay().Names().first();
            const QString strNext = QStringLiteral("餐饮%1").arg(i);
            QCOMPARE(Outlay().Rename(strNow, strNext), QString());
        }
        worker.join();
        QVERIFY2(strWorkerError.isEmpty(), qPrintable(strWorkerError));
        const QMap<QString, int> counts = SortCounts();
        QCOMPARE(counts.value(QStringLiteral("餐饮5")), nBefore + 2 * nDays);
        QVERIFY(Outlay().Found().isEmpty());
        // A copy showing the list again sees the last name.
        QCOMPARE(Outlay(kUser, strSecond).Names().first(), QStringLiteral("餐饮5"));
        CDatabase::Close(strSecond);
        QCOMPARE(CKeptCheck::Differences(), QStringList());

        // A name renamed away and then added again is live: records keep it.
        QCOMPARE(Outlay().Add(kMeal), QString());
        CDayBook(ERecordKind::Outlay, kUser)
            .Confirm(QDate(2011, 1, 1), kCash, SDayEdit::Adding({Meal(kMeal, 3)}));
        QCOMPARE(SortCounts().value(kMeal), 1);
    }

    // Two copies changing the list of a user who never changed it: the built-in list is
    // written once, and both changes are kept.
    void firstChangesAtOnce() {
        CTestBook book;
        MakeUsers();
        const QString strSecond = QStringLiteral("second");
        CDatabase::SetUrl(book.Url(), strSecond);
        QString strWorkerAnswer;
        std::thread worker([&] {
            try {
                strWorkerAnswer = Outlay(kUser, strSecond).Add(QStringLiteral("保险"));
            } catch (const CDBException& e) {
                strWorkerAnswer = e.m_strError;
            }
            CDatabase::Close(strSecond);
        });
        const QString strAnswer = Outlay().Add(QStringLiteral("房贷"));
        worker.join();
        QCOMPARE(strAnswer, QString());
        QCOMPARE(strWorkerAnswer, QString());
        const QStringList names = Outlay().AllNames();
        QCOMPARE(names.size(), 14);
        QCOMPARE(names.mid(0, 12), CCategories::Outlay());
        QVERIFY(names.contains(QStringLiteral("保险")) && names.contains(QStringLiteral("房贷")));
    }

    // At most twelve slices: zeros go first, then the smallest are summed as "其他".
    void chartSlices_data() {
        QTest::addColumn<int>("nCategories");
        QTest::addColumn<int>("nWithMoney");
        QTest::addColumn<QString>("strLabels");
        QTest::addColumn<QString>("strLast");
        QTest::newRow("twelve, zeros kept") << 12 << 3 << QStringLiteral("c1..c12") << "0.00";
        QTest::newRow("fifteen, ten with money")
            << 15 << 10 << QStringLiteral("c1..c10") << "10.00";
        QTest::newRow("fifteen with money")
            << 15 << 15 << QStringLiteral("c5..c15+其他") << "10.00";
    }
    void chartSlices() {
        QFETCH(int, nCategories);
        QFETCH(int, nWithMoney);
        QFETCH(QString, strLabels);
        QFETCH(QString, strLast);
        QStringList labels, values;
        for (int i = 1; i <= nCategories; ++i) {
            labels << QStringLiteral("c%1").arg(i);
            values << (i <= nWithMoney ? QStringLiteral("%1.00").arg(i) : QStringLiteral("0.00"));
        }
        const CChartData::SSlices slices = CChartData::Slices(labels, values);
        QVERIFY(slices.labels.size() <= CChartData::MaxSlices);
        QCOMPARE(slices.labels.size(), slices.values.size());
        const QString strShown =
            QStringLiteral("%1..%2%3")
                .arg(slices.labels.first(),
                     slices.labels.value(slices.labels.size() -
                                         (slices.labels.last() == QStringLiteral("其他") ? 2 : 1)),
                     slices.labels.last() == QStringLiteral("其他") ? QStringLiteral("+其他")
                                                                    : QString());
        QCOMPARE(strShown, strLabels);
        QCOMPARE(slices.values.last(), strLast);
        // Nothing is lost: the slices add up to the values.
        qint64 nAll = 0, nShown = 0;
        for (const QString& v : values)
            nAll += qRound64(v.toDouble() * 100);
        for (const QString& v : slices.values)
            nShown += qRound64(v.toDouble() * 100);
        QCOMPARE(nShown, nAll);
    }

    void matchingUsesTheList_data() {
        QTest::addColumn<QString>("strTyped");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("initials of a built-in name") << QStringLiteral("ycz") << QStringList{kMeal};
        QTest::newRow("text of one's own")
            << QStringLiteral("教") << QStringList{QStringLiteral("教育")};
        QTest::newRow("no initials for one's own") << QStringLiteral("jy") << QStringList{};
        QTest::newRow("latin ignoring case")
            << QStringLiteral("ktv") << QStringList{QStringLiteral("KTV")};
    }
    void matchingUsesTheList() {
        QFETCH(QString, strTyped);
        QFETCH(QStringList, expected);
        const QStringList names{kMeal, QStringLiteral("教育"), QStringLiteral("KTV")};
        QCOMPARE(CCategories::Matching(names, strTyped), expected);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestCategories)
#include "tst_categories.moc"
