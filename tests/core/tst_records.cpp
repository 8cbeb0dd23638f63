#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "ckeptcheck.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cbankset.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/ckepttotals.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "records/cdaybook.h"
#include "records/cdayconflict.h"
#include "records/cdayedit.h"

#include <QThread>
#include <QtTest>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>

namespace {
const QString g_strUser = QStringLiteral("王五");

void AddBank(const QString& strCard, double dCash, const QString& strUser = g_strUser) {
    CTestRows::AddBank(strUser, strCard, dCash);
}

template <class TSet>
void AddRow(const QDate& day, const QString& strBank, double dAmount, const QString& strNote = {},
            const QString& strUser = g_strUser, const QTime& time = QTime(0, 0)) {
    CTestRows::AddRecord<TSet>(strUser, QDateTime(day, time), strBank,
                               strBank.isEmpty() ? QString() : QStringLiteral("其它"), strNote,
                               dAmount);
}

QString Balance(const QString& strCard) {
    return CTestRows::Balance(g_strUser, strCard);
}

QStringList Notes(const QVector<SDayRecord>& rows) {
    QStringList list;
    for (const SDayRecord& r : rows)
        list << r.strNote;
    return list;
}

SDayRecord Rec(const QString& strNote, double dAmount) {
    return {QStringLiteral("其它"), strNote, dAmount};
}
SDayRecord Rec(const char* szNote, double dAmount) {
    return Rec(QString::fromUtf8(szNote), dAmount);
}
} // namespace

Q_DECLARE_METATYPE(SDayRecord)

class TestRecords : public QObject {
    Q_OBJECT

    // The daily views' own tests drive most of this through the windows; here stand the
    // cases a window cannot easily set up: other users, stray times, missing accounts.
private Q_SLOTS:
    void readsOneDayOfOneAccount() {
        CTestBook book;
        AddBank(QStringLiteral("现金"), 0); // entered order, not name order
        AddBank(QStringLiteral("工商银行"), 0);
        AddBank(QStringLiteral("别人的卡"), 0, QStringLiteral("李四"));
        const QDate day(2004, 3, 2);
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 0.1, QStringLiteral("b"));
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 0.2, QStringLiteral("a"));
        AddRow<CIncomeSet>(day, QStringLiteral("工商银行"), 100);
        AddRow<CIncomeSet>(day.addDays(1), QStringLiteral("现金"), 7);
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 5, {}, QStringLiteral("李四"));
        AddRow<CIncomeSet>(day, QStringLiteral("现金"), 0.3, QStringLiteral("late"), g_strUser,
                           QTime(23, 59, 59)); // a stray time of day still belongs to its day
        AddRow<COutlaySet>(day, QStringLiteral("现金"), 9);
        CDayBook income(ERecordKind::Income, g_strUser);
        income.OpenDay(day); // the placeholder belongs to no account

        QCOMPARE(income.Accounts(),
                 (QStringList{QStringLiteral("现金"), QStringLiteral("工商银行")}));
        QCOMPARE(Notes(income.LoadDay(day, QStringLiteral("现金"))),
                 (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("late")}));
        QCOMPARE(income.SumAccountDay(day, QStringLiteral("现金")), std::int64_t(60));
        const QHash<QString, std::int64_t> totals = income.DayTotals(day);
        QCOMPARE(totals.value(QStringLiteral("现金")), std::int64_t(60));
        QCOMPARE(totals.value(QStringLiteral("工商银行")), std::int64_t(10000));
        QCOMPARE(totals.value(QString()), std::int64_t(0));
    }

    void stepsOverTheUsersOwnDays() {
        CTestBook book;
        AddRow<COutlaySet>(QDate(2004, 3, 2), QStringLiteral("现金"), 1);
        AddRow<COutlaySet>(QDate(2004, 4, 2), QStringLiteral("存折"), 1);
        AddRow<COutlaySet>(QDate(2004, 4, 9), QStringLiteral("存折"), 1, {},
                           QStringLiteral("李四"));
        AddRow<COutlaySet>(QDate(2003, 1, 1), QStringLiteral("现金"), 1, {},
                           QStringLiteral("李四"));
        AddRow<COutlaySet>(QDate(2006, 1, 1), QStringLiteral("现金"), 1, {},
                           QStringLiteral("李四"));
        CDayBook outlay(ERecordKind::Outlay, g_strUser);
        using S = CDayBook::EStep;
        QCOMPARE(outlay.Step(S::First, {}), QDate(2004, 3, 2));
        QCOMPARE(outlay.Step(S::Last, {}), QDate(2004, 4, 2));
        QCOMPARE(outlay.Step(S::Next, QDate(2004, 3, 2)), QDate(2004, 4, 2));
        QVERIFY(!outlay.Step(S::Next, QDate(2004, 4, 2)).isValid());
        QVERIFY(!outlay.Step(S::Prev, QDate(2004, 3, 2)).isValid());
        QCOMPARE(outlay.Step(S::Prev, QDate()), QDate(2004, 4, 2)); // no day shown yet
        // A table without rows of the user has no day at all.
        CDayBook income(ERecordKind::Income, g_strUser);
        for (S s : {S::First, S::Last, S::Prev, S::Next})
            QVERIFY(!income.Step(s, QDate(2004, 3, 2)).isValid());
    }

    // Confirming applies this copy's edit only: rows another copy wrote meanwhile stay, the
    // balance moves by exactly the edit, and an edit of a row another copy changed or
    // removed since it was read writes nothing.
    void confirmingAppliesOnlyThisCopysEdit() {
        CTestBook book;
        AddBank(QStringLiteral("现金"), 1000);
        AddBank(QStringLiteral("存折"), 500);
        AddBank(QStringLiteral("现金"), 70, QStringLiteral("李四"));
        const QDate day(2004, 3, 2);
        const QString strCash = QStringLiteral("现金");
        AddRow<COutlaySet>(day, strCash, 60, QStringLiteral("old1"));
        AddRow<COutlaySet>(day, strCash, 40, QStringLiteral("old2"));
        AddRow<COutlaySet>(day, QStringLiteral("存折"), 30, QStringLiteral("keep"));
        AddRow<COutlaySet>(day.addDays(1), strCash, 30, QStringLiteral("keep"));
        AddRow<COutlaySet>(day, strCash, 30, QStringLiteral("keep"), QStringLiteral("李四"));

        // Two copies read the day; A adds n1, changes old1 into n2 and removes old2.
        CDayBook outlay(ERecordKind::Outlay, g_strUser);
        const QVector<SDayRecord> read = outlay.LoadDay(day, strCash);
        QCOMPARE(Notes(read), (QStringList{QStringLiteral("old1"), QStringLiteral("old2")}));
        QVERIFY(read[0].nId != 0 && read[1].nId != 0);
        SDayEdit a = SDayEdit::Adding({Rec(QStringLiteral("n1"), 29.5)});
        a.changed.append({read[0], Rec(QStringLiteral("n2"), 50.5)});
        a.removed.append(read[1]);
        QCOMPARE(outlay.Confirm(day, strCash, a), std::int64_t(2000)); // 100 out, 80 in
        QCOMPARE(Notes(outlay.LoadDay(day, strCash)),
                 (QStringList{QStringLiteral("n2"), QStringLiteral("n1")}));
        QCOMPARE(outlay.LoadDay(day, strCash)[0].nId, read[0].nId); // changed in place

        // B, still showing the day as read, adds a row: A's rows stay.
        QCOMPARE(outlay.Confirm(day, strCash, SDayEdit::Adding({Rec(QStringLiteral("b1"), 10)})),
                 std::int64_t(-1000));
        QCOMPARE(Notes(outlay.LoadDay(day, strCash)),
                 (QStringList{QStringLiteral("n2"), QStringLiteral("n1"), QStringLiteral("b1")}));
        QCOMPARE(Balance(strCash), QStringLiteral("1010.00"));

        // Refused as a whole, with its added row too: B's edits of rows A changed or removed,
        // a row of another day or account, an account that is not there, refused values.
        SDayRecord other = outlay.LoadDay(day, QStringLiteral("存折")).value(0);
        other.strBank.clear(); // sent as a row of the day's account

        struct SCase {
            const char* szName;
            QString strBank;
            SDayEdit::SChange change;
            SDayRecord removed;
            bool bConflict;
        };
        const SCase cases[] = {
            {"changed elsewhere", strCash, {read[0], Rec(QStringLiteral("b2"), 1)}, {}, true},
            {"removed elsewhere", strCash, {read[1], Rec(QStringLiteral("b2"), 1)}, {}, true},
            {"row of another account", strCash, {}, other, true},
            {"no such account", QStringLiteral("没有"), {}, {}, false},
            {"bad amount", strCash, {read[0], Rec({}, std::nan(""))}, {}, false},
        };
        const QStringList before = CBookBuilder::Dump();
        for (const SCase& c : cases) {
            SDayEdit b = SDayEdit::Adding({Rec(QStringLiteral("b3"), 5)});
            if (c.change.loaded.nId != 0)
                b.changed.append(c.change);
            if (c.removed.nId != 0)
                b.removed.append(c.removed);
            try {
                outlay.Confirm(day, c.strBank, b);
                QFAIL(c.szName);
            } catch (const CDayConflict&) {
                QVERIFY2(c.bConflict, c.szName);
            } catch (const CDBException&) {
                QVERIFY2(!c.bConflict, c.szName);
            }
            QVERIFY2(CBookBuilder::Dump() == before, c.szName);
        }

        // Read again, everything can go; other days, accounts and users keep their rows.
        outlay.Confirm(day, strCash, {{}, {}, outlay.LoadDay(day, strCash)});
        QVERIFY(outlay.LoadDay(day, strCash).isEmpty());
        QCOMPARE(Balance(strCash), QStringLiteral("1100.00"));
        QCOMPARE(Balance(QStringLiteral("存折")), QStringLiteral("500.00"));
        QCOMPARE(Notes(outlay.LoadDay(day, QStringLiteral("存折"))),
                 QStringList{QStringLiteral("keep")});
        QCOMPARE(Notes(outlay.LoadDay(day.addDays(1), strCash)),
                 QStringList{QStringLiteral("keep")});
        CDayBook other4(ERecordKind::Outlay, QStringLiteral("李四"));
        QCOMPARE(Notes(other4.LoadDay(day, strCash)), QStringList{QStringLiteral("keep")});
    }

    // 修改 moves a row to another account: both balances move in one transaction, in whole
    // cents; another copy writing to either account meanwhile keeps its rows and its money,
    // and its later change of the moved row is a conflict. The day's totals stay.
    void aRowMovesToAnotherAccount_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("income") << int(ERecordKind::Income);
        QTest::newRow("outlay") << int(ERecordKind::Outlay);
    }
    void aRowMovesToAnotherAccount() {
        QFETCH(int, kind);
        const auto eKind = ERecordKind(kind);
        const int nSign = eKind == ERecordKind::Income ? 1 : -1;
        CTestBook book;
        CBookBuilder::AddUser(g_strUser, QStringLiteral("pw"), {});
        const QString strCash = QStringLiteral("现金"), strBank = QStringLiteral("银行");
        const QString strOther = QStringLiteral("other-copy");
        CDatabase::SetUrl(book.Url(), strOther);
        const QDate day(2005, 1, 1);
        CDayBook a(eKind, g_strUser), b(eKind, g_strUser, strOther);
        a.Confirm(day, strCash, SDayEdit::Adding({Rec("r1", 10.1), Rec("r2", 20.2)}));
        const std::int64_t nCash = CMoney::ToCents(Balance(strCash).toDouble());
        const std::int64_t nBank = CMoney::ToCents(Balance(strBank).toDouble());

        // Both copies read the day; the other one adds a row to the bank first.
        const QVector<SDayRecord> readA = a.LoadDay(day, strCash), readB = b.LoadDay(day, strCash);
        b.Confirm(day, strBank, SDayEdit::Adding({Rec("r3", 5)}));
        SDayEdit edit;
        SDayRecord moved = readA[0];
        moved.strBank = strBank;
        moved.dAmount = 11.11;
        edit.changed.append({readA[0], moved});
        QCOMPARE(a.Confirm(day, strCash, edit), std::int64_t(-1010 * nSign));
        QCOMPARE(Notes(a.LoadDay(day, strCash)), QStringList{QStringLiteral("r2")});
        const QVector<SDayRecord> bank = a.LoadDay(day, strBank);
        QCOMPARE(Notes(bank), (QStringList{QStringLiteral("r1"), QStringLiteral("r3")}));
        QCOMPARE(bank[0].nId, readA[0].nId); // moved in place
        QCOMPARE(CMoney::ToCents(Balance(strCash).toDouble()), nCash - nSign * 1010);
        QCOMPARE(CMoney::ToCents(Balance(strBank).toDouble()), nBank + nSign * (500 + 1111));

        // The other copy, still showing r1 in cash, changes it: refused, nothing written.
        const QStringList before = CBookBuilder::Dump();
        SDayEdit late;
        late.changed.append({readB[0], Rec("late", 1)});
        QVERIFY_THROWS_EXCEPTION(CDayConflict, b.Confirm(day, strCash, late));
        QCOMPARE(CBookBuilder::Dump(), before);

        const auto dayTotal = [&] {
            const QVector<CKeptTotals::SPeriod> periods =
                CKeptTotals::Periods(g_strUser, CKeptTotals::ELevel::Day, day, day.addDays(1));
            return periods.isEmpty() ? -1 : (nSign > 0 ? periods[0].nIncome : periods[0].nOutlay);
        };
        QCOMPARE(dayTotal(), qint64(2020 + 500 + 1111));
        QCOMPARE(CBookBuilder::BalanceProblems(), QStringList());

        // Two copies at once: one moves r2 back and forth, the other adds rows to the bank
        // and transfers; the accounts are locked in one order, so neither waits for ever.
        // (A connection is used by the thread that opened it: two new ones.)
        const QString strMoving = QStringLiteral("moving-copy"),
                      strThird = QStringLiteral("third-copy");
        for (const QString& strConnection : {strMoving, strThird})
            CDatabase::SetUrl(book.Url(), strConnection);
        QString strErrors;
        std::mutex errorsLock;
        const auto run = [&](const QString& strConnection, const std::function<void(int)>& step) {
            return QThread::create([&, strConnection, step] {
                try {
                    for (int i = 0; i < 12; ++i)
                        step(i);
                } catch (const CDBException& e) {
                    const std::lock_guard<std::mutex> lock(errorsLock);
                    strErrors += e.m_strError;
                }
                CDatabase::Close(strConnection);
            });
        };
        std::unique_ptr<QThread> pMover(run(strMoving, [&](int i) {
            CDayBook mover(eKind, g_strUser, strMoving);
            const QString strFrom = i % 2 ? strBank : strCash, strTo = i % 2 ? strCash : strBank;
            for (const SDayRecord& r : mover.LoadDay(day, strFrom)) {
                if (r.strNote != QStringLiteral("r2"))
                    continue;
                SDayEdit step;
                SDayRecord now = r;
                now.strBank = strTo;
                step.changed.append({r, now});
                mover.Confirm(day, strFrom, step);
            }
        }));
        std::unique_ptr<QThread> pWriter(run(strThird, [&](int i) {
            CDayBook(eKind, g_strUser, strThird)
                .Confirm(day, strBank, SDayEdit::Adding({Rec("w", 0.01 * (i + 1))}));
            if (CTransfer::Transfer(g_strUser, day, strCash, strBank, 1, strThird) !=
                CTransfer::EResult::Done)
                throw CDBException(QStringLiteral("transfer refused"));
        }));
        pMover->start();
        pWriter->start();
        QVERIFY(pMover->wait(60000) && pWriter->wait(60000));
        QCOMPARE(strErrors, QString());
        QCOMPARE(Notes(a.LoadDay(day, strCash)), QStringList{QStringLiteral("r2")});
        QCOMPARE(dayTotal(), qint64(2020 + 500 + 1111 + 78));
        QCOMPARE(CBookBuilder::BalanceProblems(), QStringList());
    }

    // Two copies change the same rows. The refusal writes nothing and tells each row as read,
    // as the other copy left it and as typed here; the edit confirmed with a choice per row
    // writes exactly that, the rest of it too, and a third copy writing a row kept as typed
    // meanwhile is a conflict again, never overwritten unseen. Rows both removed, or both
    // changed alike, are no conflict and move no balance twice.
    void aConflictIsResolvedRowByRow_data() {
        QTest::addColumn<QString>("strChoice"); // per conflicting row: t(heirs) or m(ine)
        QTest::addColumn<bool>("bAgain");       // the third copy's write is a new conflict
        QTest::addColumn<QString>("strCash");   // the day afterwards, note=amount
        QTest::addColumn<QString>("strBank");
        QTest::newRow("theirs") << "tttt" << false << "c1=11.00 b3=30.00 r6=66.00 b=5.00 n=1.00"
                                << "r4=40.00";
        QTest::newRow("mine") << "mmmm" << true
                              << "a1=12.00 a4=44.00 r6=66.00 b=5.00 n=1.00 a2=22.00"
                              << "";
        QTest::newRow("mine, theirs")
            << "mtmt" << true << "a1=12.00 b3=30.00 a4=44.00 r6=66.00 b=5.00 n=1.00"
            << "";
        QTest::newRow("theirs, mine")
            << "tmtm" << false << "c1=11.00 r6=66.00 b=5.00 n=1.00 a2=22.00"
            << "r4=40.00";
    }
    void aConflictIsResolvedRowByRow() {
        QFETCH(QString, strChoice);
        QFETCH(bool, bAgain);
        QFETCH(QString, strCash);
        QFETCH(QString, strBank);
        CTestBook book;
        CBookBuilder::AddUser(g_strUser, QStringLiteral("pw"), {});
        const QString strB = QStringLiteral("copy-b"), strC = QStringLiteral("copy-c");
        CDatabase::SetUrl(book.Url(), strB);
        CDatabase::SetUrl(book.Url(), strC);
        const QString strCashName = QStringLiteral("现金"), strBankName = QStringLiteral("银行");
        const QDate day(2005, 1, 1);
        CDayBook a(ERecordKind::Outlay, g_strUser), b(ERecordKind::Outlay, g_strUser, strB),
            c(ERecordKind::Outlay, g_strUser, strC);
        a.Confirm(day, strCashName,
                  SDayEdit::Adding({Rec("r1", 10), Rec("r2", 20), Rec("r3", 30), Rec("r4", 40),
                                    Rec("r5", 50), Rec("r6", 60)}));
        const QVector<SDayRecord> readA = a.LoadDay(day, strCashName),
                                  readB = b.LoadDay(day, strCashName);
        const auto with = [](SDayRecord r, const char* szNote, double dAmount) {
            r.strNote = QString::fromUtf8(szNote);
            r.dAmount = dAmount;
            return r;
        };
        SDayEdit editB = SDayEdit::Adding({Rec("b", 5)});
        SDayRecord moved = readB[3];
        moved.strBank = strBankName;
        editB.changed = {{readB[0], with(readB[0], "r1", 11)},
                         {readB[2], with(readB[2], "b3", 30)},
                         {readB[3], moved},
                         {readB[5], with(readB[5], "r6", 66)}};
        editB.removed = {readB[1], readB[4]};
        b.Confirm(day, strCashName, editB);

        SDayEdit editA = SDayEdit::Adding({Rec("n", 1)});
        editA.changed = {{readA[0], with(readA[0], "a1", 12)},
                         {readA[1], with(readA[1], "a2", 22)},
                         {readA[3], with(readA[3], "a4", 44)},
                         {readA[5], with(readA[5], "r6", 66)}};
        editA.removed = {readA[2], readA[4]};
        const auto text = [](const SDayRecord& r, bool bGone) {
            return bGone ? QStringLiteral("-")
                         : r.strNote + QLatin1Char('=') + CMoney::Format(r.dAmount) +
                               QLatin1Char('@') + r.strBank;
        };
        // The rows a confirmation is refused for (none: it was written); a refusal must leave
        // the book as it was.
        bool bUntouched = true;
        const auto confirm = [&](const SDayEdit& edit) {
            const QStringList before = CBookBuilder::Dump();
            try {
                a.Confirm(day, strCashName, edit);
            } catch (const CDayConflict& e) {
                bUntouched = bUntouched && CBookBuilder::Dump() == before;
                return e.m_rows;
            }
            return QVector<SDayConflictRow>();
        };
        QVector<SDayConflictRow> rows = confirm(editA);
        QVERIFY(bUntouched);
        QStringList told;
        for (const SDayConflictRow& row : rows)
            told << text(row.read, false) + QLatin1Char(' ') + text(row.stored, row.bRemovedThere) +
                        QLatin1Char(' ') + text(row.typed, row.bRemovedHere);
        QCOMPARE(told, (QStringList{QStringLiteral("r1=10.00@现金 r1=11.00@现金 a1=12.00@现金"),
                                    QStringLiteral("r2=20.00@现金 - a2=22.00@现金"),
                                    QStringLiteral("r4=40.00@现金 r4=40.00@银行 a4=44.00@现金"),
                                    QStringLiteral("r3=30.00@现金 b3=30.00@现金 -")}));

        // A third copy changes r1 while this one chooses.
        const QVector<SDayRecord> readC = c.LoadDay(day, strCashName);
        SDayEdit editC;
        editC.changed = {{readC[0], with(readC[0], "c1", 11)}};
        c.Confirm(day, strCashName, editC);
        for (int i = 0; i < rows.size(); ++i)
            rows[i].bKeepMine = strChoice.at(i) == QLatin1Char('m');
        SDayEdit resolved = editA.Resolved(rows);
        const QVector<SDayConflictRow> again = confirm(resolved);
        QVERIFY(bUntouched);
        QCOMPARE(again.size(), bAgain ? 1 : 0);
        if (bAgain) {
            QCOMPARE(text(again[0].stored, false), QStringLiteral("c1=11.00@现金"));
            rows = again;
            rows[0].bKeepMine = true;
            a.Confirm(day, strCashName, resolved.Resolved(rows));
        }

        const auto notes = [&](const QString& strAccount) {
            QStringList list;
            for (const SDayRecord& r : a.LoadDay(day, strAccount))
                list << r.strNote + QLatin1Char('=') + CMoney::Format(r.dAmount);
            return list.join(QLatin1Char(' '));
        };
        QCOMPARE(notes(strCashName), strCash);
        QCOMPARE(notes(strBankName), strBank);
        QCOMPARE(CBookBuilder::BalanceProblems(), QStringList());
        QCOMPARE(CKeptCheck::Differences(), QStringList());
        for (const QString& strConnection : {strB, strC})
            CDatabase::Close(strConnection);
    }

    // The edit bookkeeping without a book or a window: rows read (编号 1, 2, 3), then what the
    // grid holds after typing and removing; the edit is what confirming would send.
    void dayEditSendsWhatWasDone_data() {
        QTest::addColumn<QVector<int>>("removed");     // rows taken out, in that order
        QTest::addColumn<QVector<SDayRecord>>("grid"); // the grid's rows afterwards
        QTest::addColumn<QString>("strExpected");      // added | changed | removed notes
        const SDayRecord a = Rec(QStringLiteral("a"), 1), b = Rec(QStringLiteral("b"), 2),
                         c = Rec(QStringLiteral("c"), 3);
        QTest::newRow("untouched")
            << QVector<int>{} << QVector<SDayRecord>{a, b, c} << QStringLiteral("||");
        QTest::newRow("typed below")
            << QVector<int>{} << QVector<SDayRecord>{a, b, c, Rec("n", 4)} << QStringLiteral("n||");
        QTest::newRow("note changed")
            << QVector<int>{} << QVector<SDayRecord>{a, Rec("x", 2), c} << QStringLiteral("|b>x|");
        QTest::newRow("category changed")
            << QVector<int>{}
            << QVector<SDayRecord>{a, {QStringLiteral("用餐"), QStringLiteral("b"), 2}, c}
            << QStringLiteral("|b>b|");
        // A cell shows the amount to the cent: less than half a cent is no change.
        QTest::newRow("amount within a cent")
            << QVector<int>{} << QVector<SDayRecord>{a, Rec("b", 2.004), c} << QStringLiteral("||");
        QTest::newRow("amount changed")
            << QVector<int>{} << QVector<SDayRecord>{a, Rec("b", 2.01), c}
            << QStringLiteral("|b>b|");
        QTest::newRow("middle removed")
            << QVector<int>{1} << QVector<SDayRecord>{a, c} << QStringLiteral("||b");
        // The rows below a removed one are compared with their own rows as read.
        QTest::newRow("removed, next changed")
            << QVector<int>{0} << QVector<SDayRecord>{Rec("y", 2), c} << QStringLiteral("|b>y|a");
        QTest::newRow("all removed, one typed")
            << QVector<int>{0, 0, 0} << QVector<SDayRecord>{Rec("n", 4)}
            << QStringLiteral("n||a,b,c");
        // A row typed here and removed again is in no part of the edit.
        QTest::newRow("typed row removed")
            << QVector<int>{3} << QVector<SDayRecord>{a, b, c} << QStringLiteral("||");
    }

    void dayEditSendsWhatWasDone() {
        QFETCH(QVector<int>, removed);
        QFETCH(QVector<SDayRecord>, grid);
        QFETCH(QString, strExpected);
        QVector<SDayRecord> read{Rec(QStringLiteral("a"), 1), Rec(QStringLiteral("b"), 2),
                                 Rec(QStringLiteral("c"), 3)};
        for (int i = 0; i < read.size(); ++i)
            read[i].nId = i + 1;
        CDayEdit dayEdit;
        dayEdit.Load(read);
        for (const int nRow : removed)
            dayEdit.Remove(nRow);
        const SDayEdit edit = dayEdit.Edit(grid);
        QStringList changed;
        for (const SDayEdit::SChange& change : edit.changed) {
            QCOMPARE(change.now.nId, change.loaded.nId); // written over the row read
            changed << change.loaded.strNote + QLatin1Char('>') + change.now.strNote;
        }
        for (const SDayRecord& r : edit.added)
            QCOMPARE(r.nId, qint64(0));
        QCOMPARE(Notes(edit.added).join(QLatin1Char(',')) + QLatin1Char('|') +
                     changed.join(QLatin1Char(',')) + QLatin1Char('|') +
                     Notes(edit.removed).join(QLatin1Char(',')),
                 strExpected);
        // Rows still read are found by their 编号; removed ones are gone.
        for (const SDayRecord& r : edit.removed)
            QCOMPARE(dayEdit.RowOf(r.nId), -1);
        QCOMPARE(edit.IsEmpty(), strExpected == QLatin1String("||"));
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestRecords)
#include "tst_records.moc"
