#include "ctestbook.h"
#include "data/cbankset.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "data/ctransaction.h"
#include "data/ctrsset.h"
#include "data/cuserset.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QtTest>
#include <sqlite3.h>

namespace {
void AddUser(const QString& strName, const QString& strConnection = CDatabase::DefaultConnection) {
    CUserSet set(strConnection);
    set.Open();
    set.AddNew();
    set.m_UserName = strName;
    set.m_UserPwd = QStringLiteral("pw");
    set.Update();
}

void AddIncome(const QString& strUser, const QDate& date, const QString& strBank, double dAmount) {
    CIncomeSet set;
    set.Open();
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(date, QTime(0, 0));
    set.m_Bank = strBank;
    set.m_Sort = QStringLiteral("工资收入");
    set.m_Amount = dAmount;
    set.Update();
}

QStringList UserNames(const QString& strFilterValue) {
    CUserSet set;
    set.SetFilter(CRecordset::EFilter::User, {strFilterValue});
    set.Open();
    QStringList names;
    for (; !set.IsEOF(); set.MoveNext())
        names << set.m_UserName;
    return names;
}
// SQLite: how many statements the connection holds prepared; -1 on PostgreSQL.
int HeldStatements() {
    const QVariant handle = CDatabase::Connection().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return -1;
    sqlite3* pDb = *static_cast<sqlite3* const*>(handle.constData());
    int n = 0;
    for (sqlite3_stmt* p = sqlite3_next_stmt(pDb, nullptr); p; p = sqlite3_next_stmt(pDb, p))
        ++n;
    return n;
}
} // namespace

class TestDataStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void schemaIsCreatedOnceAndKeepsRows() {
        CTestBook book;
        AddUser(QStringLiteral("张三"));
        // Opening the same book again (a restart) must change nothing.
        CDatabase::Close();
        CDatabase::Open();
        QCOMPARE(UserNames(QStringLiteral("张三")), QStringList{QStringLiteral("张三")});
        QSqlQuery q =
            CDatabase::Exec(QStringLiteral("SELECT \"编号\", \"UserName\", \"Date\", \"Sort\", "
                                           "\"Note\", \"Amount\", \"Bank\" FROM \"Outlay\""));
        QVERIFY(!q.next());
        // The user name is unique.
        QVERIFY_THROWS_EXCEPTION(CDBException, AddUser(QStringLiteral("张三")));
    }

    void cursorMovesOverTheSnapshot() {
        CTestBook book;
        for (int d = 3; d >= 1; --d)
            AddIncome(QStringLiteral("u"), QDate(2004, 3, d), QStringLiteral("现金"), d * 10.0);
        CIncomeSet set;
        set.SetFilter(CRecordset::EFilter::User, {QStringLiteral("u")});
        set.SetSort(CRecordset::ESort::Date);
        set.Open();
        QVERIFY(!set.IsEOF());
        QCOMPARE(set.m_Date.date(), QDate(2004, 3, 1));
        set.MoveLast();
        QCOMPARE(set.m_Amount, 30.0);
        set.MovePrev();
        QCOMPARE(set.m_Date.date(), QDate(2004, 3, 2));
        set.MovePrev();
        set.MovePrev();
        QVERIFY(set.IsBOF());
        set.MoveFirst();
        set.MoveNext();
        set.MoveNext();
        set.MoveNext();
        QVERIFY(set.IsEOF());
        // Edit writes through; Requery sees it.
        set.MoveFirst();
        set.Edit();
        set.m_Note = QStringLiteral("改过");
        set.Update();
        set.Requery();
        QCOMPARE(set.m_Note, QStringLiteral("改过"));
        QCOMPARE(set.GetRecordCount(), 3);
    }

    void placeholderRowReadsBackEmpty() {
        CTestBook book;
        COutlaySet set;
        set.Open();
        set.AddNew();
        set.m_UserName = QStringLiteral("u");
        set.m_Date = QDateTime(QDate(2010, 1, 31), QTime(0, 0));
        set.Update();
        set.Requery();
        QCOMPARE(set.m_Sort, QString());
        QCOMPARE(set.m_Note, QString());
        QCOMPARE(set.m_Bank, QString());
        QCOMPARE(set.m_Amount, 0.0);
        QCOMPARE(set.m_Date, QDateTime(QDate(2010, 1, 31), QTime(0, 0)));
        QVERIFY(set.m_编号 > 0);
        CUserSet users;
        users.Open();
        users.AddNew();
        users.m_UserName = QStringLiteral("v");
        users.Update();
        users.Requery();
        QCOMPARE(users.m_IsSavePwd, false);
        QCOMPARE(users.m_SavePwd, QString());
    }

    void filtersBindQuotesExactly() {
        CTestBook book;
        const QStringList names{QStringLiteral("O'Brien"), QStringLiteral("x' or '1'='1"),
                                QStringLiteral("a%"),      QStringLiteral("a_"),
                                QStringLiteral("a"),       QStringLiteral("A")};
        for (const QString& n : names)
            AddUser(n);
        for (const QString& n : names)
            QCOMPARE(UserNames(n), QStringList{n});
        AddIncome(QStringLiteral("O'Brien"), QDate(2004, 1, 1), QStringLiteral("卡'1"), 5);
        AddIncome(QStringLiteral("O'Brien"), QDate(2004, 1, 1), QStringLiteral("卡2"), 6);
        CIncomeSet bank;
        bank.SetFilter(CRecordset::EFilter::UserBank,
                       {QStringLiteral("O'Brien"), QStringLiteral("卡'1")});
        bank.Open();
        QCOMPARE(bank.GetRecordCount(), 1);
        QCOMPARE(bank.m_Amount, 5.0);
        CIncomeSet sort;
        sort.SetFilter(CRecordset::EFilter::UserSort,
                       {QStringLiteral("O'Brien"), QStringLiteral("工资收入")});
        sort.Open();
        QCOMPARE(sort.GetRecordCount(), 2);
        CBankSet card;
        card.Open();
        card.AddNew();
        card.m_UserName = QStringLiteral("a'");
        card.m_CardName = QStringLiteral("现金");
        card.m_CardCash = 12.5;
        card.Update();
        card.SetFilter(CRecordset::EFilter::UserCard,
                       {QStringLiteral("a'"), QStringLiteral("现金")});
        card.Requery();
        QCOMPARE(card.GetRecordCount(), 1);
        QCOMPARE(card.m_CardCash, 12.5);

        // The delete-all loop removes exactly the quoted user's rows.
        CUserSet del;
        del.SetFilter(CRecordset::EFilter::User, {QStringLiteral("x' or '1'='1")});
        del.Open();
        while (!del.IsEOF()) {
            del.Delete();
            del.Requery();
        }
        QVERIFY(del.IsEOF());
        CUserSet all;
        all.Open();
        QCOMPARE(all.GetRecordCount(), names.size() - 1);
    }

    void textOver255IsRefused() {
        CTestBook book;
        AddUser(QString(255, QLatin1Char('x')));
        QCOMPARE(UserNames(QString(255, QLatin1Char('x'))).size(), 1);
        // Characters, not bytes: 255 Chinese characters (and emoji) fit.
        AddUser(QString(255, QChar(0x6C34)));
        QString emoji;
        for (int i = 0; i < 255; ++i)
            emoji += QString::fromUcs4(U"\U0001F600");
        AddUser(emoji);
        QCOMPARE(UserNames(emoji), QStringList{emoji});
        QVERIFY_THROWS_EXCEPTION(CDBException, AddUser(QString(256, QLatin1Char('y'))));
        CUserSet all;
        all.Open();
        QCOMPARE(all.GetRecordCount(), 3);
    }

    void transactionIsWholeOrNothing() {
        CTestBook book;
        try {
            CTransaction tx;
            AddUser(QStringLiteral("一"));
            AddIncome(QStringLiteral("一"), QDate(2004, 3, 2), QStringLiteral("现金"), 1);
            AddUser(QString(300, QLatin1Char('z'))); // refused: the whole transaction goes
            tx.Commit();
            QFAIL("the over-long name was stored");
        } catch (const CDBException&) {
        }
        CUserSet users;
        users.Open();
        QCOMPARE(users.GetRecordCount(), 0);
        CIncomeSet income;
        income.Open();
        QCOMPARE(income.GetRecordCount(), 0);
        {
            CTransaction tx;
            AddUser(QStringLiteral("二"));
            tx.Commit();
        }
        QCOMPARE(UserNames(QStringLiteral("二")).size(), 1);
    }

    void secondConnectionSeesCommittedRows() {
        CTestBook book;
        const QString other = QStringLiteral("second-copy");
        CDatabase::SetUrl(book.Url(), other);
        AddUser(QStringLiteral("甲"));
        {
            CTransaction tx;
            AddUser(QStringLiteral("乙"));
            CUserSet seen(other);
            seen.Open();
            QCOMPARE(seen.GetRecordCount(), 1); // not yet committed
            tx.Commit();
        }
        AddUser(QStringLiteral("丙"), other);
        CUserSet seen(other);
        seen.Open();
        QCOMPARE(seen.GetRecordCount(), 3);
        CUserSet mine;
        mine.Open();
        QCOMPARE(mine.GetRecordCount(), 3);
        CDatabase::Close(other);
    }

    // A row write run again and again is prepared once and kept with its connection: each run
    // binds its own values, a run that failed is prepared afresh, texts made with a varying
    // number of values do not pile up, and nothing kept outlives the connection.
    void keptWritesBindTheirOwnValues() {
        CTestBook book;
        // Opened again: making a book leaves the trigram index's own statements on the
        // connection that made it, which are not the kept writes counted here.
        CDatabase::SetUrl(CDatabase::Url());
        const QString strAdd = QStringLiteral(
            "INSERT INTO \"Bank\" (\"UserName\", \"CardName\", \"CardCash\") VALUES (?, ?, ?)");
        const auto add = [&](int i) {
            QSqlQuery q = CDatabase::Exec(strAdd, {QStringLiteral("张三"), QString::number(i), i});
            QCOMPARE(q.numRowsAffected(), 1);
        };
        add(0);
        const int nHeld = HeldStatements();
        for (int i = 1; i < 40; ++i)
            add(i);
        if (nHeld >= 0)
            QCOMPARE(HeldStatements(), nHeld); // prepared once
        QSqlQuery sum = CDatabase::Exec(QStringLiteral(
            "SELECT COUNT(*), SUM(\"CardCash\"), COUNT(DISTINCT \"CardName\") FROM \"Bank\""));
        QVERIFY(sum.next());
        QCOMPARE(sum.value(0).toInt(), 40);
        QCOMPARE(sum.value(1).toInt(), 780); // 0 + 1 + … + 39: no run repeated another's values
        QCOMPARE(sum.value(2).toInt(), 40);

        // A kept write that fails (the name is taken) is prepared afresh and works next time.
        const QString strUser =
            QStringLiteral("INSERT INTO \"User\" (\"UserName\", \"UserPwd\") VALUES (?, ?)");
        CDatabase::Exec(strUser, {QStringLiteral("张三"), QStringLiteral("x")});
        bool bRefused = false;
        try {
            CDatabase::Exec(strUser, {QStringLiteral("张三"), QStringLiteral("y")});
        } catch (const CDBException&) {
            bRefused = true;
        }
        QVERIFY(bRefused);
        CDatabase::Exec(strUser, {QStringLiteral("李四"), QStringLiteral("z")});
        QCOMPARE(UserNames(QStringLiteral("李四")), QStringList{QStringLiteral("李四")});

        // 300 texts, each with one more value: all run, and the kept ones stay bounded.
        for (int n = 1; n <= 300; ++n) {
            QStringList marks;
            QVariantList values{1};
            for (int i = 0; i < n; ++i) {
                marks << QStringLiteral("?");
                values << QString::number(i % 40);
            }
            CDatabase::Exec(QStringLiteral("UPDATE \"Bank\" SET \"CardCash\" = \"CardCash\" + ? "
                                           "WHERE \"CardName\" IN (%1)")
                                .arg(marks.join(QStringLiteral(", "))),
                            values);
        }
        if (nHeld >= 0)
            QVERIFY2(HeldStatements() <= nHeld + 201,
                     qPrintable(QString::number(HeldStatements())));
        QSqlQuery card = CDatabase::Exec(
            QStringLiteral("SELECT \"CardCash\" FROM \"Bank\" WHERE \"CardName\" = '0'"));
        QVERIFY(card.next());
        QCOMPARE(card.value(0).toInt(), 300); // in every one of the 300 lists

        // Reopened, the book is written through statements of the new connection.
        card = QSqlQuery();
        sum = QSqlQuery();
        CDatabase::SetUrl(CDatabase::Url());
        add(40);
        // (Opening the first time may keep a few statements of its own catching up.)
        if (nHeld >= 0)
            QVERIFY2(HeldStatements() <= nHeld, qPrintable(QString::number(HeldStatements())));
    }

    void brokenBooksGiveAClearMessage() {
        if (CTestBook::UsePostgres())
            QSKIP("file checks are for SQLite books");
        QTemporaryDir dir;
        const QString notDb = dir.filePath(QStringLiteral("notes.txt"));
        QFile f(notDb);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is not a database, just some text that is long enough");
        f.close();
        CDatabase::SetUrl(notDb);
        QVERIFY_THROWS_EXCEPTION(CDBException, CUserSet().Open());
        QCOMPARE(QFileInfo(notDb).size(), qint64(58));
        CDatabase::SetUrl(dir.filePath(QStringLiteral("missing/dir/book.db")));
        try {
            CUserSet().Open();
            QFAIL("opened a book in a missing folder");
        } catch (const CDBException& e) {
            QVERIFY(e.m_strError.contains(QStringLiteral("不存在")));
        }
        CDatabase::Close();
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestDataStore)
#include "tst_datastore.moc"
