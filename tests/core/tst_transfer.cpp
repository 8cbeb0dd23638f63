#include "accounts/caccountlist.h"
#include "accounts/ctransfer.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cbankset.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/ctransaction.h"
#include "records/cdaybook.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QtTest>
#include <limits>

namespace {
const QString g_strUser = QStringLiteral("张三");
const QString A = QStringLiteral("A");
const QString B = QStringLiteral("B");

void AddBank(const QString& strCard, double dCash, const QString& strUser = g_strUser) {
    CTestRows::AddBank(strUser, strCard, dCash);
}

// Every balance of every user, in entered order: "user/card=cash".
QStringList Balances() {
    CBankSet set;
    set.Open();
    QStringList list;
    for (; !set.IsEOF(); set.MoveNext())
        list << QStringLiteral("%1/%2=%3")
                    .arg(set.m_UserName, set.m_CardName, CMoney::Format(set.m_CardCash));
    return list;
}

int CountTrs() {
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT COUNT(*) FROM \"Trs\""));
    return q.next() ? q.value(0).toInt() : -1;
}
} // namespace

class TestTransfer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void movesBothBalancesAndWritesOneRow() {
        CTestBook book;
        AddBank(A, 100);
        AddBank(B, 20);
        AddBank(A, 7, QStringLiteral("李四")); // same name, other user: untouched
        const QDate day(2004, 3, 2);
        QCOMPARE(CTransfer::Transfer(g_strUser, day, A, B, 150), CTransfer::EResult::Done);
        QCOMPARE(Balances(),
                 QStringList({QStringLiteral("张三/A=-50.00"), QStringLiteral("张三/B=170.00"),
                              QStringLiteral("李四/A=7.00")}));
        // A negative amount moves money the other way and is stored as entered.
        QCOMPARE(CTransfer::Transfer(g_strUser, day.addDays(1), A, B, -30),
                 CTransfer::EResult::Done);
        QCOMPARE(Balances().mid(0, 2),
                 QStringList({QStringLiteral("张三/A=-20.00"), QStringLiteral("张三/B=140.00")}));

        const auto rows = CTransfer::History(g_strUser);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].date, day);
        QCOMPARE(rows[0].strFrom, A);
        QCOMPARE(rows[0].strIn, B);
        QCOMPARE(rows[0].dAmount, 150.0);
        QCOMPARE(rows[1].dAmount, -30.0);
        QVERIFY(CTransfer::History(QStringLiteral("李四")).isEmpty());

        const auto accounts = CAccountList::Load(g_strUser);
        QCOMPARE(accounts.size(), 2);
        QCOMPARE(accounts[0].strName, A);
        QCOMPARE(CAccountList::TotalCents(accounts), 12000);
    }

    void refusalsWriteNothing() {
        CTestBook book;
        AddBank(A, 100);
        AddBank(B, 20);
        AddBank(QStringLiteral("C"), 5, QStringLiteral("李四"));
        const QStringList before = Balances();
        const QDate day(2004, 3, 2);
        using R = CTransfer::EResult;
        QCOMPARE(CTransfer::Transfer(g_strUser, day, QStringLiteral("X"), B, 10), R::NoSource);
        QCOMPARE(CTransfer::Transfer(g_strUser, day, A, QStringLiteral("X"), 10), R::NoDestination);
        // Another user's account is not one of ours; names match exactly.
        QCOMPARE(CTransfer::Transfer(g_strUser, day, A, QStringLiteral("C"), 10), R::NoDestination);
        QCOMPARE(CTransfer::Transfer(g_strUser, day, QStringLiteral("a"), B, 10), R::NoSource);
        QCOMPARE(CTransfer::Transfer(g_strUser, day, QStringLiteral("A' OR '1'='1"), B, 10),
                 R::NoSource);
        for (double d : {std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity(), 1e12 + 1, -2e12})
            QCOMPARE(CTransfer::Transfer(g_strUser, day, A, B, d), R::BadAmount);
        QCOMPARE(Balances(), before);
        QCOMPARE(CountTrs(), 0);
        QCOMPARE(CTransfer::Message(R::NoSource), QStringLiteral("转出账号不存在!"));
        QCOMPARE(CTransfer::Message(R::NoDestination), QStringLiteral("转入账号不存在!"));
        // The limit itself is allowed.
        QCOMPARE(CTransfer::Transfer(g_strUser, day, A, B, 1e12), R::Done);
    }

    // A failure after the balances moved takes the whole transfer back.
    void failureUndoesEverything() {
        CTestBook book;
        AddBank(A, 100);
        AddBank(B, 20);
        const QStringList before = Balances();
        QVERIFY(QSqlQuery(CDatabase::Connection()).exec(QStringLiteral("DROP TABLE \"Trs\"")));
        QVERIFY_THROWS_EXCEPTION(CDBException,
                                 CTransfer::Transfer(g_strUser, QDate(2004, 3, 2), A, B, 150));
        QCOMPARE(Balances(), before);
    }

    void firstOfTwoSameNamedAccountsMoves() {
        CTestBook book;
        AddBank(A, 1);
        AddBank(A, 2);
        AddBank(B, 0);
        QCOMPARE(CTransfer::Transfer(g_strUser, QDate(2004, 3, 2), A, B, 1),
                 CTransfer::EResult::Done);
        QCOMPARE(Balances(),
                 QStringList({QStringLiteral("张三/A=0.00"), QStringLiteral("张三/A=2.00"),
                              QStringLiteral("张三/B=1.00")}));
    }

    // Balances move in whole cents and are stored rounded to the cent, whatever came before.
    void balancesStayExactToTheCent() {
        CTestBook book;
        AddBank(A, 500);
        AddBank(B, 488.160034179687); // noise an older version left behind
        CDayBook income(ERecordKind::Income, g_strUser);
        const QDate day(2004, 3, 2);
        CTestRows::ReplaceDay(income, day, A,
                              {{QStringLiteral("工资收入"), QString(), 999999999999.99}});
        CTestRows::ReplaceDay(income, day, A, {{QStringLiteral("工资收入"), QString(), 12.34}});
        QCOMPARE(CTransfer::Transfer(g_strUser, day, A, B, 0.001), CTransfer::EResult::ZeroAmount);
        QCOMPARE(CTransfer::Transfer(g_strUser, day, A, B, 0.016), CTransfer::EResult::Done);
        QSqlQuery q =
            CDatabase::Exec(QStringLiteral("SELECT \"CardCash\" FROM \"Bank\" ORDER BY \"编号\""));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toDouble(), 512.32); // exactly, not 512.3200000001
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toDouble(), 488.18);
        QCOMPARE(CTransfer::History(g_strUser).value(0).dAmount, 0.02);
    }

    // A long random walk of day edits and transfers: every balance ends exactly at its
    // opening plus the moves, added up in cents.
    void randomWalkEndsExact() {
        CTestBook book;
        const QStringList cards{A, B, QStringLiteral("C")};
        QHash<QString, std::int64_t> expected;
        for (int i = 0; i < cards.size(); ++i) {
            AddBank(cards[i], 0.1 * (i + 1)); // 0.1, 0.2, 0.3: none exact in binary
            expected[cards[i]] = 10 * (i + 1);
        }
        QRandomGenerator random(13);
        const auto amount = [&random] {
            return double(random.bounded(-200000, 2000000)) / 100.0 +
                   (random.bounded(3) == 0 ? 0.004 : 0);
        };
        CDayBook books[2] = {CDayBook(ERecordKind::Income, g_strUser),
                             CDayBook(ERecordKind::Outlay, g_strUser)};
        QHash<QString, std::int64_t> dayCents[2]; // day|card -> the day's stored total
        CTransaction walk; // one transaction, so ten thousand steps stay quick
        for (int nStep = 0; nStep < 10000; ++nStep) {
            const QString strCard = cards[random.bounded(int(cards.size()))];
            if (random.bounded(3) == 0) {
                const QString strIn = cards[random.bounded(int(cards.size()))];
                const double d = amount();
                if (CTransfer::Transfer(g_strUser, QDate(2004, 3, 2), strCard, strIn, d) ==
                    CTransfer::EResult::Done) {
                    expected[strCard] -= CMoney::ToCents(d);
                    expected[strIn] += CMoney::ToCents(d);
                }
                continue;
            }
            const int t = random.bounded(2);
            const QDate day = QDate(2004, 1, 1).addDays(random.bounded(20));
            QVector<SDayRecord> rows;
            std::int64_t nNew = 0;
            for (int r = random.bounded(3); r > 0; --r) {
                const double d = CMoney::Round(amount());
                if (d == 0)
                    continue;
                rows.append({QStringLiteral("其它收入"), QString(), d});
                nNew += CMoney::ToCents(d);
            }
            const QString strKey = day.toString(Qt::ISODate) + strCard;
            const std::int64_t nDelta = CTestRows::ReplaceDay(books[t], day, strCard, rows);
            QCOMPARE(nDelta, (t == 0 ? 1 : -1) * (nNew - dayCents[t].value(strKey)));
            dayCents[t][strKey] = nNew;
            expected[strCard] += nDelta;
        }
        walk.Commit();
        QSqlQuery q =
            CDatabase::Exec(QStringLiteral("SELECT \"CardName\", \"CardCash\" FROM \"Bank\""));
        int nSeen = 0;
        while (q.next()) {
            ++nSeen;
            QCOMPARE(q.value(1).toDouble(), CMoney::FromCents(expected[q.value(0).toString()]));
        }
        QCOMPARE(nSeen, 3);
    }

    // History by date, then entry order; undoing one restores both balances to the cent and
    // leaves the others alone.
    void undoRestoresBothBalances() {
        CTestBook book;
        AddBank(A, 100.10);
        AddBank(B, 20.20);
        const QDate day(2004, 3, 2);
        const struct {
            int nDays;
            double dAmount;
        } moves[] = {{2, 0.1}, {0, 33.33}, {2, 0.2}, {1, -0.07}};
        for (const auto& m : moves)
            QCOMPARE(CTransfer::Transfer(g_strUser, day.addDays(m.nDays), A, B, m.dAmount),
                     CTransfer::EResult::Done);
        QList<double> amounts;
        for (const auto& row : CTransfer::History(g_strUser))
            amounts << row.dAmount;
        QCOMPARE(amounts, (QList<double>{33.33, -0.07, 0.1, 0.2}));
        const int nKey = CTransfer::History(g_strUser).at(0).nKey;
        QCOMPARE(CTransfer::Undo(QStringLiteral("李四"), nKey), CTransfer::EUndo::Gone);
        QCOMPARE(CTransfer::Undo(g_strUser, nKey), CTransfer::EUndo::Done);
        QCOMPARE(Balances(),
                 QStringList({QStringLiteral("张三/A=99.87"), QStringLiteral("张三/B=20.43")}));
        QCOMPARE(CTransfer::Undo(g_strUser, nKey), CTransfer::EUndo::Gone);
        QCOMPARE(CountTrs(), 3);
        for (const auto& row : CTransfer::History(g_strUser))
            QCOMPARE(CTransfer::Undo(g_strUser, row.nKey), CTransfer::EUndo::Done);
        QCOMPARE(Balances(),
                 QStringList({QStringLiteral("张三/A=100.10"), QStringLiteral("张三/B=20.20")}));
        QCOMPARE(CountTrs(), 0);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
