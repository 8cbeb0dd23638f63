#include "ctestbook.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "records/cdaylist.h"

#include <QtTest>

namespace {
template <class TSet> void AddRow(const QString& strUser, const QDateTime& when) {
    TSet set;
    set.Open();
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = when;
    set.Update();
}
} // namespace

class TestDayList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void DistinctDaysInOrderPerUserAndTable() {
        CTestBook book;
        const QString strUser = QStringLiteral("O'Brien");
        const QDate a(2003, 12, 31), b(2004, 1, 2), c(2004, 10, 1);
        AddRow<CIncomeSet>(strUser, QDateTime(c, QTime(0, 0)));
        AddRow<CIncomeSet>(strUser, QDateTime(a, QTime(0, 0)));
        AddRow<CIncomeSet>(strUser, QDateTime(b, QTime(0, 0)));
        AddRow<CIncomeSet>(strUser, QDateTime(b, QTime(0, 0)));
        // A stray time of day still belongs to its day.
        AddRow<CIncomeSet>(strUser, QDateTime(a, QTime(13, 5)));
        AddRow<COutlaySet>(strUser, QDateTime(QDate(2001, 5, 6), QTime(0, 0)));
        AddRow<CIncomeSet>(QStringLiteral("x' OR '1'='1"),
                           QDateTime(QDate(1999, 1, 1), QTime(0, 0)));
        AddRow<CIncomeSet>(QStringLiteral("O'Brie"), QDateTime(QDate(1998, 1, 1), QTime(0, 0)));

        QCOMPARE(CDayList::Days(ERecordKind::Income, strUser), (QVector<QDate>{a, b, c}));
        QCOMPARE(CDayList::Days(ERecordKind::Outlay, strUser), QVector<QDate>{QDate(2001, 5, 6)});
        QVERIFY(CDayList::Days(ERecordKind::Outlay, QStringLiteral("nobody")).isEmpty());
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestDayList)
#include "tst_daylist.moc"
