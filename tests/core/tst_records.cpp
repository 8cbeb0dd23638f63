#include "ctestbook.h"
#include "data/cbankset.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "records/cdaybook.h"

#include <QtTest>
#include <limits>

namespace {
const QString g_strUser = QStringLiteral("王五");

void AddBank(const QString& strCard, double dCash, const QString& strUser = g_strUser) {
    CBankSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_CardName = strCard;
    set.m_CardCash = dCash;
    set.Update();
}

template <class TSet>
void AddRow(const QDate& day, const QString& strBank, double dAmount, const QString& strNote = {},
            const QString& strUser = g_strUser, const QTime& time = QTime(0, 0)) {
    TSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(day, time);
    set.m_Bank = strBank;
    set.m_Sort = strBank.isEmpty() ? QString() : QStringLiteral("其它");
    set.m_Note = strNote;
    set.m_Amount = dAmount;
    set.Update();
}

double Balance(const QString& strCard) {
    CBankSet set;
    set.SetFilter(CRecordset::EFilter::UserCard, {g_strUser, strCard});
    set.Open();
    return set.IsEOF() ? std::numeric_limits<double>::quiet_NaN() : set.m_CardCash;
}

QStringList Notes(const QVector<SDayRecord>& rows) {
    QStringList list;
    for (const SDayRecord& r : rows)
        list << r.strNote;
    return list;
}

SDayRecord Rec(const QString& strNote, double dAmount,
               const QString& strSort = QStringLiteral("工资收入")) {
    return {strSort, strNote, dAmount};
}
} // namespace

class TestRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsOneDayOfOneAccount() {
        CTestBook book;
        // Entered order, not name order.
        AddBank(QStringLiteral("现金"), 0);
        AddBank(QStringLiteral("工商银行"), 0);
        AddBank(QStringLiteral("别人的卡"), 0, QStringLiteral("李四"));
        const QDate day(2004, 3, 2);
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 0.1, QStringLiteral("b"));
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 0.2, QStringLiteral("a"));
        AddRow<CIncomeSet>(day, QStringLiteral("工商银行"), 100, QStringLiteral("bank"));
        AddRow<CIncomeSet>(day, QString(), 0); // the day's placeholder
        AddRow<CIncomeSet>(day.addDays(1), QStringLiteral("现金"), 7, QStringLiteral("next"));
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 5, QStringLiteral("other"),
                           QStringLiteral("李四"));
        // A stray time of day still belongs to its day.
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 0.3, QStringLiteral("late"), g_strUser,
                           QTime(23, 59, 59));
        AddRow<COutlaySet>(day, QStringLiteral("现金"), 9, QStringLiteral("outlay"));

        CDayBook income(ERecordKind::Income, g_strUser);
        QCOMPARE(income.Accounts(),
                 (QStringList{QStringLiteral("现金"), QStringLiteral("工商银行")}));
        QCOMPARE(Notes(income.LoadDay(day, QStringLiteral("现金"))),
                 (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("late")}));
        QCOMPARE(income.SumAccountDay(day, QStringLiteral("现金")), std::int64_t(60));
        QCOMPARE(income.SumAccountDay(day, QStringLiteral("没有的帐户")), std::int64_t(0));
        const QHash<QString, std::int64_t> totals = income.DayTotals(day);
        QCOMPARE(totals.value(QStringLiteral("现金")), std::int64_t(60));
        QCOMPARE(totals.value(QStringLiteral("工商银行")), std::int64_t(10000));
        QVERIFY(income.LoadDay(QDate(2004, 3, 5), QStringLiteral("现金")).isEmpty());

        CDayBook outlay(ERecordKind::Outlay, g_strUser);
        QCOMPARE(Notes(outlay.LoadDay(day, QStringLiteral("现金"))),
                 QStringList{QStringLiteral("outlay")});
    }

    void stepsBetweenDaysOfEveryAccount() {
        CTestBook book;
        AddBank(QStringLiteral("现金"), 0);
        AddBank(QStringLiteral("存折"), 0);
        AddRow<COutlaySet>(QDate(2004, 3, 2), QStringLiteral("现金"), 1);
        AddRow<COutlaySet>(QDate(2004, 3, 2), QStringLiteral("存折"), 1);
        AddRow<COutlaySet>(QDate(2004, 4, 2), QStringLiteral("存折"), 1);
        AddRow<COutlaySet>(QDate(2005, 1, 1), QString(), 0); // a placeholder day counts
        AddRow<COutlaySet>(QDate(2003, 12, 31), QStringLiteral("现金"), 1, {},
                           QStringLiteral("李四"));
        AddRow<COutlaySet>(QDate(2006, 1, 1), QStringLiteral("现金"), 1, {},
                           QStringLiteral("李四"));

        CDayBook book2(ERecordKind::Outlay, g_strUser);
        using S = CDayBook::EStep;
        QCOMPARE(book2.Step(S::First, QDate(2004, 4, 2)), QDate(2004, 3, 2));
        QCOMPARE(book2.Step(S::Last, QDate(2004, 4, 2)), QDate(2005, 1, 1));
        QCOMPARE(book2.Step(S::Next, QDate(2004, 3, 2)), QDate(2004, 4, 2));
        QCOMPARE(book2.Step(S::Next, QDate(2004, 4, 2)), QDate(2005, 1, 1));
        QCOMPARE(book2.Step(S::Prev, QDate(2005, 1, 1)), QDate(2004, 4, 2));
        QCOMPARE(book2.Step(S::Prev, QDate(2004, 4, 2)), QDate(2004, 3, 2));
        // The ends.
        QVERIFY(!book2.Step(S::Next, QDate(2005, 1, 1)).isValid());
        QVERIFY(!book2.Step(S::Prev, QDate(2004, 3, 2)).isValid());
        // From a day without rows: nothing follows, and back leads to the last day.
        QVERIFY(!book2.Step(S::Next, QDate(2004, 3, 20)).isValid());
        QCOMPARE(book2.Step(S::Prev, QDate(2004, 3, 20)), QDate(2005, 1, 1));
        QCOMPARE(book2.Step(S::Prev, QDate()), QDate(2005, 1, 1));
        QVERIFY(!book2.Step(S::Next, QDate()).isValid());

        // A table without rows of the user has no day at all.
        CDayBook empty(ERecordKind::Income, g_strUser);
        for (S s : {S::First, S::Last, S::Prev, S::Next})
            QVERIFY(!empty.Step(s, QDate(2004, 3, 2)).isValid());
    }

    void replacingADayMovesTheBalanceByTheChange() {
        CTestBook book;
        AddBank(QStringLiteral("现金"), 1000);
        AddBank(QStringLiteral("存折"), 500);
        const QDate day(2004, 3, 2);
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 60, QStringLiteral("old1"));
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 40, QStringLiteral("old2"));
        AddRow<CIncomeSet>(day, QStringLiteral("存折"), 30, QStringLiteral("keep"));
        AddRow<CIncomeSet>(day.addDays(1), QStringLiteral("现金"), 30, QStringLiteral("keep"));

        CDayBook income(ERecordKind::Income, g_strUser);
        QCOMPARE(
            income.ReplaceDay(day, QStringLiteral("现金"),
                              {Rec(QStringLiteral("n2"), 50.5), Rec(QStringLiteral("n1"), 29.5)}),
            std::int64_t(-2000));
        QCOMPARE(CMoney::Format(Balance(QStringLiteral("现金"))), QStringLiteral("980.00"));
        QCOMPARE(CMoney::Format(Balance(QStringLiteral("存折"))), QStringLiteral("500.00"));
        QCOMPARE(Notes(income.LoadDay(day, QStringLiteral("现金"))),
                 (QStringList{QStringLiteral("n2"), QStringLiteral("n1")}));
        QCOMPARE(Notes(income.LoadDay(day, QStringLiteral("存折"))),
                 QStringList{QStringLiteral("keep")});
        QCOMPARE(Notes(income.LoadDay(day.addDays(1), QStringLiteral("现金"))),
                 QStringList{QStringLiteral("keep")});

        // Outlay moves the other way; an empty list clears the day's records of the account.
        AddRow<COutlaySet>(day, QStringLiteral("存折"), 100);
        CDayBook outlay(ERecordKind::Outlay, g_strUser);
        outlay.ReplaceDay(day, QStringLiteral("存折"), {Rec({}, 80, QStringLiteral("用餐支出"))});
        QCOMPARE(CMoney::Format(Balance(QStringLiteral("存折"))), QStringLiteral("520.00"));
        outlay.ReplaceDay(day, QStringLiteral("存折"), {});
        QCOMPARE(CMoney::Format(Balance(QStringLiteral("存折"))), QStringLiteral("600.00"));
        QVERIFY(outlay.LoadDay(day, QStringLiteral("存折")).isEmpty());
        // A negative income lowers the balance.
        income.ReplaceDay(day, QStringLiteral("存折"), {Rec({}, 30), Rec({}, -5)});
        QCOMPARE(CMoney::Format(Balance(QStringLiteral("存折"))), QStringLiteral("595.00"));
    }

    void aFailedReplaceChangesNothing() {
        CTestBook book;
        AddBank(QStringLiteral("现金"), 1000);
        const QDate day(2004, 3, 2);
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 60, QStringLiteral("old"));
        CDayBook income(ERecordKind::Income, g_strUser);

        // The second row's note does not fit: the first row was already written by then.
        const QVector<SDayRecord> tooLong{Rec(QStringLiteral("ok"), 10),
                                          Rec(QString(256, QLatin1Char('x')), 20)};
        QVERIFY_THROWS_EXCEPTION(CDBException,
                                 income.ReplaceDay(day, QStringLiteral("现金"), tooLong));
        // No such account: the balance could not move, so the records are not kept either.
        QVERIFY_THROWS_EXCEPTION(CDBException, income.ReplaceDay(day, QStringLiteral("没有"),
                                                                 {Rec(QStringLiteral("x"), 5)}));
        // Rows the checks refuse never reach the book.
        QVERIFY_THROWS_EXCEPTION(CDBException, income.ReplaceDay(day, QStringLiteral("现金"),
                                                                 {Rec(QStringLiteral("x"), 0)}));

        QCOMPARE(Notes(income.LoadDay(day, QStringLiteral("现金"))),
                 QStringList{QStringLiteral("old")});
        QVERIFY(income.LoadDay(day, QStringLiteral("没有")).isEmpty());
        QCOMPARE(CMoney::Format(Balance(QStringLiteral("现金"))), QStringLiteral("1000.00"));
        // And the book is still usable afterwards.
        income.ReplaceDay(day, QStringLiteral("现金"), {Rec(QStringLiteral("new"), 70)});
        QCOMPARE(CMoney::Format(Balance(QStringLiteral("现金"))), QStringLiteral("1010.00"));
    }

    void validationTakesRowsInOrderCategoryFirst() {
        using P = CDayBook::EProblem;
        // Row 1 without amount comes before row 2 without category.
        auto p = CDayBook::Validate({Rec({}, 1), Rec({}, 0), Rec({}, 1, QString())});
        QCOMPARE(p.nIndex, 1);
        QVERIFY(p.eProblem == P::BadAmount);
        p = CDayBook::Validate({Rec({}, 0, QString())});
        QCOMPARE(p.nIndex, 0);
        QVERIFY(p.eProblem == P::NoCategory);
        // Amounts as the grid reads them back from what was typed.
        for (const char* sz : {"abc", "nan", "inf", "1e400", "-1e400", "1e13", "0.00"}) {
            p = CDayBook::Validate(
                {Rec({}, CMoney::Atof(CMoney::Format(CMoney::Atof(QString::fromLatin1(sz)))))});
            QVERIFY2(p.eProblem == P::BadAmount, sz);
        }
        QVERIFY(CDayBook::Validate({Rec({}, -5), Rec({}, 1e12)}).eProblem == P::None);
        QVERIFY(CDayBook::Validate({Rec({}, std::numeric_limits<double>::quiet_NaN())}).eProblem ==
                P::BadAmount);
        QVERIFY(CDayBook::Validate({}).eProblem == P::None);
    }

    void openingADayWritesAPlaceholder() {
        CTestBook book;
        AddBank(QStringLiteral("现金"), 0);
        CDayBook outlay(ERecordKind::Outlay, g_strUser);
        const QDate day(2010, 7, 8);
        QVERIFY(!outlay.HasDay(day));
        outlay.OpenDay(day);
        outlay.OpenDay(day); // a second opening is harmless
        QVERIFY(outlay.HasDay(day));
        QVERIFY(!CDayBook(ERecordKind::Income, g_strUser).HasDay(day));
        QCOMPARE(outlay.Step(CDayBook::EStep::Last, {}), day);
        QVERIFY(outlay.LoadDay(day, QStringLiteral("现金")).isEmpty());
        QCOMPARE(outlay.DayTotals(day).value(QString()), std::int64_t(0));

        COutlaySet set;
        set.SetFilter(CRecordset::EFilter::User, {g_strUser});
        set.Open();
        QCOMPARE(set.GetRecordCount(), 2);
        QCOMPARE(set.m_Date, QDateTime(day, QTime(0, 0)));
        QVERIFY(set.m_Sort.isEmpty() && set.m_Note.isEmpty() && set.m_Bank.isEmpty());
        QCOMPARE(set.m_Amount, 0.0);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestRecords)
#include "tst_records.moc"
