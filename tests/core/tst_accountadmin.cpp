#include "accounts/caccountadmin.h"
#include "accounts/ctransfer.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "records/cdaybook.h"
#include "records/cemptyday.h"
#include "users/cuseradmin.h"

#include <QSqlQuery>
#include <QtTest>

namespace {
const QString g_strUser = QStringLiteral("张三");
const QDate g_day(2004, 3, 2);

void MakeUser(const QList<CUserAdmin::SAccount>& accounts) {
    QCOMPARE(CUserAdmin::CreateUser(g_strUser, QStringLiteral("pw"), accounts, g_day),
             CUserAdmin::ECreate::Created);
}

int KeyOf(int nIndex) {
    return CAccountAdmin::List(g_strUser).at(nIndex).nKey;
}

// "name=cash" per account, in entered order.
QStringList Accounts(const QString& strUser = g_strUser) {
    QStringList list;
    for (const auto& a : CAccountAdmin::List(strUser))
        list << QStringLiteral("%1=%2").arg(a.strName, CMoney::Format(a.dCash));
    return list;
}

// Which account name each of the user's rows carries: "Income:name", "Trs:from>in".
QStringList References() {
    QStringList list;
    for (const char* szTable : {"Income", "Outlay"}) {
        QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT \"Bank\" FROM \"%1\" WHERE "
                                                     "\"UserName\" = ? AND \"Bank\" <> '' "
                                                     "ORDER BY \"编号\"")
                                          .arg(QLatin1String(szTable)),
                                      {g_strUser});
        while (q.next())
            list << QStringLiteral("%1:%2").arg(QLatin1String(szTable), q.value(0).toString());
    }
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT \"TrsFrom\", \"TrsIn\" FROM \"Trs\" "
                                                 "WHERE \"UserName\" = ? ORDER BY \"编号\""),
                                  {g_strUser});
    while (q.next())
        list << QStringLiteral("Trs:%1>%2").arg(q.value(0).toString(), q.value(1).toString());
    return list;
}

void Record(ERecordKind eKind, const QString& strBank, double dAmount) {
    SDayRecord record;
    record.strSort = eKind == ERecordKind::Income ? QStringLiteral("工资") : QStringLiteral("餐饮");
    record.dAmount = dAmount;
    CDayBook(eKind, g_strUser).Confirm(g_day, strBank, SDayEdit::Adding({record}));
}

// Deletes every record of the account on g_day.
void ClearDay(ERecordKind eKind, const QString& strBank) {
    CDayBook book(eKind, g_strUser);
    SDayEdit edit;
    edit.removed = book.LoadDay(g_day, strBank);
    book.Confirm(g_day, strBank, edit);
}
} // namespace

class TestAccountAdmin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addAndNamesAreRefusedWhenBlankOrTaken() {
        CTestBook book;
        MakeUser({{QStringLiteral("现金"), QString(), 10}, {QStringLiteral("Bank"), QString(), 0}});
        const struct {
            const char* szName;
            bool bAccepted;
        } cases[] = {{"   ", false},   {"", false},    {" 现金 ", false}, {"bank", false},
                     {"BANK ", false}, {"银行", true}, {" 股票 ", true},  {"现金2", true}};
        for (const auto& c : cases) {
            const QString strMsg = CAccountAdmin::Add(g_strUser, QString::fromUtf8(c.szName),
                                                      QStringLiteral("备注"), 12.345);
            QVERIFY2(strMsg.isEmpty() == c.bAccepted, c.szName);
        }
        QCOMPARE(Accounts(),
                 (QStringList{QStringLiteral("现金=10.00"), QStringLiteral("Bank=0.00"),
                              QStringLiteral("银行=12.35"), QStringLiteral("股票=12.35"),
                              QStringLiteral("现金2=12.35")}));
        QVERIFY(
            !CAccountAdmin::Add(QStringLiteral("nobody"), QStringLiteral("x"), {}, 0).isEmpty());
        QVERIFY(Accounts(QStringLiteral("nobody")).isEmpty());
        // The new-user list follows the same rule.
        QVERIFY_THROWS_EXCEPTION(
            CDBException,
            CUserAdmin::CreateUser(
                QStringLiteral("李四"), QStringLiteral("pw"),
                {{QStringLiteral("现金"), {}, 1}, {QStringLiteral(" 现金"), {}, 1}}, g_day));
        QVERIFY_THROWS_EXCEPTION(
            CDBException, CUserAdmin::CreateUser(QStringLiteral("李四"), QStringLiteral("pw"),
                                                 {{QStringLiteral("  "), {}, 1}}, g_day));
    }

    // Records and transfers follow a rename in the same step; the balance stays with the account.
    void renameCarriesRecordsAndTransfers() {
        CTestBook book;
        MakeUser(
            {{QStringLiteral("现金"), QString(), 100}, {QStringLiteral("银行"), QString(), 50}});
        CTestRows::AddBank(QStringLiteral("李四"), QStringLiteral("现金"), 1);
        Record(ERecordKind::Income, QStringLiteral("现金"), 20);
        Record(ERecordKind::Outlay, QStringLiteral("现金"), 5);
        QCOMPARE(CTransfer::Transfer(g_strUser, g_day, QStringLiteral("现金"),
                                     QStringLiteral("银行"), 30),
                 CTransfer::EResult::Done);
        QCOMPARE(CTransfer::Transfer(g_strUser, g_day, QStringLiteral("银行"),
                                     QStringLiteral("现金"), 1),
                 CTransfer::EResult::Done);
        QVERIFY(CAccountAdmin::Rename(g_strUser, KeyOf(0), QStringLiteral("  钱包 ")).isEmpty());
        QCOMPARE(References(),
                 (QStringList{QStringLiteral("Income:钱包"), QStringLiteral("Outlay:钱包"),
                              QStringLiteral("Trs:钱包>银行"), QStringLiteral("Trs:银行>钱包")}));
        QCOMPARE(Accounts(),
                 (QStringList{QStringLiteral("钱包=86.00"), QStringLiteral("银行=79.00")}));
        QCOMPARE(Accounts(QStringLiteral("李四")), QStringList{QStringLiteral("现金=1.00")});
        // The renamed account keeps working under its new name.
        Record(ERecordKind::Income, QStringLiteral("钱包"), 4);
        QCOMPARE(Accounts().first(), QStringLiteral("钱包=90.00"));
        // Refusals change nothing; a change of case alone is allowed.
        QVERIFY(!CAccountAdmin::Rename(g_strUser, KeyOf(0), QStringLiteral(" 银行")).isEmpty());
        QVERIFY(!CAccountAdmin::Rename(g_strUser, KeyOf(0), QString()).isEmpty());
        QVERIFY(!CAccountAdmin::Rename(g_strUser, 99999, QStringLiteral("x")).isEmpty());
        QVERIFY(CAccountAdmin::Rename(g_strUser, KeyOf(1), QStringLiteral("BANK")).isEmpty());
        QVERIFY(CAccountAdmin::Rename(g_strUser, KeyOf(1), QStringLiteral("bank")).isEmpty());
        QVERIFY(CAccountAdmin::SetNote(g_strUser, KeyOf(1), QStringLiteral("尾号 1234")).isEmpty());
        QCOMPARE(CAccountAdmin::List(g_strUser).at(1).strNote, QStringLiteral("尾号 1234"));
        QCOMPARE(References().last(), QStringLiteral("Trs:bank>钱包"));
    }

    // An older book with two accounts of one name: either can be renamed by its key. The
    // records belong to the first (whose balance they moved), so only it takes them along.
    void twoAccountsOfOneNameCanBeToldApart() {
        CTestBook book;
        MakeUser({{QStringLiteral("银行"), QString(), 0}});
        CTestRows::AddBank(g_strUser, QStringLiteral("现金"), 10);
        CTestRows::AddBank(g_strUser, QStringLiteral("现金"), 3);
        Record(ERecordKind::Income, QStringLiteral("现金"), 5);
        QVERIFY(CAccountAdmin::Rename(g_strUser, KeyOf(2), QStringLiteral("零钱")).isEmpty());
        QCOMPARE(References(), QStringList{QStringLiteral("Income:现金")});
        QCOMPARE(Accounts(), (QStringList{QStringLiteral("银行=0.00"), QStringLiteral("现金=15.00"),
                                          QStringLiteral("零钱=3.00")}));
        QVERIFY(CAccountAdmin::Rename(g_strUser, KeyOf(1), QStringLiteral("钱包")).isEmpty());
        QCOMPARE(References(), QStringList{QStringLiteral("Income:钱包")});
    }

    void deleteIsRefusedWhileSomethingRefersToIt() {
        CTestBook book;
        MakeUser({{QStringLiteral("现金"), QString(), 0},
                  {QStringLiteral("银行"), QString(), 0},
                  {QStringLiteral("收入"), QString(), 0},
                  {QStringLiteral("余额"), QString(), 0.01},
                  {QStringLiteral("空"), QString(), 0}});
        QCOMPARE(CTransfer::Transfer(g_strUser, g_day, QStringLiteral("现金"),
                                     QStringLiteral("银行"), 0.5),
                 CTransfer::EResult::Done);
        CTransfer::Transfer(g_strUser, g_day, QStringLiteral("银行"), QStringLiteral("现金"), 0.5);
        Record(ERecordKind::Income, QStringLiteral("收入"), 3);
        Record(ERecordKind::Outlay, QStringLiteral("收入"), 3);
        const struct {
            int nIndex;
            const char* szMessagePart; // nullptr: deleted
        } cases[] = {{0, "2 条转账记录"},
                     {1, "2 条转账记录"},
                     {2, "1 条收入记录、1 条支出记录"},
                     {3, "0.01"},
                     {4, nullptr}};
        const QVector<CAccountAdmin::SAccount> before = CAccountAdmin::List(g_strUser);
        for (const auto& c : cases) {
            const QString strMsg = CAccountAdmin::Delete(g_strUser, before[c.nIndex].nKey);
            if (c.szMessagePart)
                QVERIFY2(strMsg.contains(QString::fromUtf8(c.szMessagePart)), qPrintable(strMsg));
            else
                QVERIFY2(strMsg.isEmpty(), qPrintable(strMsg));
        }
        QCOMPARE(CAccountAdmin::List(g_strUser).size(), 4);
        QVERIFY(!CAccountAdmin::Delete(g_strUser, before[4].nKey).isEmpty()); // gone already

        // Once the transfers are undone and the balance moved away, both can go; the last
        // account of the user never can.
        for (const auto& row : CTransfer::History(g_strUser))
            QCOMPARE(CTransfer::Undo(g_strUser, row.nKey), CTransfer::EUndo::Done);
        QVERIFY(CAccountAdmin::Delete(g_strUser, before[0].nKey).isEmpty());
        QVERIFY(CAccountAdmin::Delete(g_strUser, before[1].nKey).isEmpty());
        ClearDay(ERecordKind::Income, QStringLiteral("收入"));
        ClearDay(ERecordKind::Outlay, QStringLiteral("收入"));
        QVERIFY(CAccountAdmin::Delete(g_strUser, before[2].nKey).isEmpty());
        QVERIFY(CAccountAdmin::Delete(g_strUser, before[3].nKey).contains(QStringLiteral("唯一")));
    }

    // A day opened by mistake goes away; a day with records stays until they are deleted.
    void emptyDayCanBeRemoved() {
        CTestBook book;
        MakeUser({{QStringLiteral("现金"), QString(), 0}});
        const QDate later = g_day.addDays(3);
        CDayBook outlay(ERecordKind::Outlay, g_strUser);
        const auto outlayRows = [] {
            QSqlQuery q = CDatabase::Exec(
                QStringLiteral("SELECT COUNT(*) FROM \"Outlay\" WHERE \"UserName\" = ?"),
                {g_strUser});
            q.next();
            return q.value(0).toInt();
        };
        const int nBefore = outlayRows();
        outlay.OpenDay(later);
        outlay.OpenDay(later); // open already: no second placeholder
        outlay.OpenDay(g_day); // has its first day's row
        QCOMPARE(outlayRows(), nBefore + 1);
        // A book of an older copy may hold two placeholders of one day.
        CDatabase::Exec(
            QStringLiteral("INSERT INTO \"Outlay\" (\"UserName\", \"Date\") VALUES (?, ?)"),
            {g_strUser, CDatabase::Dialect().BindDate(later)});
        using R = CEmptyDay::ERemove;
        QCOMPARE(CEmptyDay::Remove(ERecordKind::Income, g_strUser, later), R::NoDay);
        QCOMPARE(CEmptyDay::Remove(ERecordKind::Outlay, g_strUser, later), R::Removed);
        QVERIFY(!outlay.HasDay(later));
        QCOMPARE(outlay.Step(CDayBook::EStep::Last, g_day), g_day);

        Record(ERecordKind::Outlay, QStringLiteral("现金"), 2);
        QCOMPARE(CEmptyDay::Remove(ERecordKind::Outlay, g_strUser, g_day), R::HasRecords);
        QVERIFY(outlay.HasDay(g_day));
        QVERIFY(CEmptyDay::Message(R::HasRecords).contains(QStringLiteral("请先删除")));
        ClearDay(ERecordKind::Outlay, QStringLiteral("现金"));
        QCOMPARE(CEmptyDay::Remove(ERecordKind::Outlay, g_strUser, g_day), R::Removed);
        QCOMPARE(Accounts(), QStringList{QStringLiteral("现金=0.00")});
        QVERIFY(CDayBook(ERecordKind::Income, g_strUser).HasDay(g_day));
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestAccountAdmin)
#include "tst_accountadmin.moc"
