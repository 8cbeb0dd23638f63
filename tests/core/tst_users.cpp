#include "accounts/caccountadmin.h"
#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "data/cdbexception.h"
#include "data/cnamerule.h"
#include "data/ctrsset.h"
#include "data/cuserset.h"
#include "import/cimporter.h"
#include "records/cdaybook.h"
#include "users/cpasswordhash.h"
#include "users/csavedpwd.h"
#include "users/csessiongone.h"
#include "users/cuseradmin.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <functional>
#include <sodium.h>

namespace {
const QDate s_day(2024, 3, 15);

QList<CUserAdmin::SAccount> TwoAccounts() {
    return {{QStringLiteral("现金"), QStringLiteral("钱包"), 500},
            {QStringLiteral("工商银行"), QStringLiteral("6222 0000"), 12.35}};
}

int CountRows(const char* szTable, const QString& strUser) {
    QSqlQuery q =
        CDatabase::Exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE \"UserName\" = ?")
                            .arg(QLatin1String(szTable)),
                        {strUser});
    q.next();
    return q.value(0).toInt();
}

QList<int> RowsOfAllTables(const QString& strUser) {
    QList<int> counts;
    for (const char* table : {"User", "Bank", "Income", "Outlay", "Trs"})
        counts << CountRows(table, strUser);
    return counts;
}

// Statements PostgreSQL will not prepare (DDL, transaction control).
void ExecDirect(const QString& strSql) {
    QSqlQuery q(CDatabase::Connection());
    QVERIFY2(q.exec(strSql), qPrintable(strSql));
}

QString StoredPwd(const QString& strUser) {
    CUserSet set;
    set.SetFilter(CRecordset::EFilter::User, {strUser});
    set.Open();
    return set.IsEOF() ? QString() : set.m_UserPwd;
}

// A user row as an older version wrote it: the password itself.
void AddLegacyUser(const QString& strUser, const QString& strPwd) {
    CUserSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_UserPwd = strPwd;
    set.Update();
}

void AddTransfer(const QString& strUser) {
    CTrsSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_TrsDate = QDateTime(s_day, QTime(0, 0));
    set.m_TrsFrom = QStringLiteral("现金");
    set.m_TrsIn = QStringLiteral("工商银行");
    set.m_TrsAmount = 10;
    set.Update();
}
} // namespace

class TestUsers : public QObject {
    Q_OBJECT

    QTemporaryDir m_keyDir;

private Q_SLOTS:
    void init() {
        // Each case gets its own "computer": a key file of its own.
        static int s_nCase = 0;
        CSavedPwd::SetKeyFile(
            m_keyDir.filePath(QStringLiteral("key%1/savedpwd.key").arg(++s_nCase)));
    }

    void namesAreUniqueAndExact() {
        CTestBook book;
        QCOMPARE(CUserAdmin::CreateUser(QStringLiteral("Bob"), QStringLiteral("pw1"), TwoAccounts(),
                                        s_day),
                 CUserAdmin::ECreate::Created);
        QVERIFY(CPasswordHash::IsHash(StoredPwd(QStringLiteral("Bob"))));
        QCOMPARE(CUserAdmin::CreateUser(QStringLiteral("Bob"), QStringLiteral("x"), TwoAccounts(),
                                        s_day),
                 CUserAdmin::ECreate::NameTaken);
        QCOMPARE(RowsOfAllTables(QStringLiteral("Bob")), (QList<int>{1, 2, 1, 1, 0}));
        // Trimmed, and compared ignoring case.
        for (const char* szName : {"bob", " BOB ", "Bob  "})
            QCOMPARE(CUserAdmin::CreateUser(QString::fromUtf8(szName), QStringLiteral("x"),
                                            TwoAccounts(), s_day),
                     CUserAdmin::ECreate::NameTaken);
        QVERIFY_THROWS_EXCEPTION(CDBException,
                                 CUserAdmin::CreateUser(QStringLiteral("   "), QStringLiteral("x"),
                                                        TwoAccounts(), s_day));
        QCOMPARE(CUserAdmin::CreateUser(QStringLiteral(" 爸爸 "), QStringLiteral("x"),
                                        TwoAccounts(), s_day),
                 CUserAdmin::ECreate::Created);
        // Names that would look the same in every list are one name: invisible format
        // characters are refused, full-width letters and another spelling of the same
        // letters are the name already there; a name is kept in its composed form.
        for (const QString& strHidden :
             {QStringLiteral("爸爸\u200B"), QStringLiteral("\u202E爸爸"),
              QStringLiteral("爸\u2060爸"), QStringLiteral("\uFEFF妈妈")}) {
            try {
                CUserAdmin::CreateUser(strHidden, QStringLiteral("x"), TwoAccounts(), s_day);
                QFAIL(qPrintable(QStringLiteral("accepted: ") + strHidden));
            } catch (const CDBException& e) {
                QVERIFY2(e.m_strError.contains(QStringLiteral("格式字符")),
                         qPrintable(e.m_strError));
            }
            QVERIFY(!CNameRule::CheckAccountName(strHidden, {}).isEmpty());
        }
        QCOMPARE(CUserAdmin::CreateUser(QStringLiteral("ＢＯＢ"), QStringLiteral("x"),
                                        TwoAccounts(), s_day),
                 CUserAdmin::ECreate::NameTaken);
        QCOMPARE(CUserAdmin::CreateUser(QStringLiteral("Cafe\u0301"), QStringLiteral("x"),
                                        TwoAccounts(), s_day),
                 CUserAdmin::ECreate::Created);
        QCOMPARE(CUserAdmin::CreateUser(QStringLiteral("Caf\u00E9"), QStringLiteral("x"),
                                        TwoAccounts(), s_day),
                 CUserAdmin::ECreate::NameTaken);
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("Caf\u00E9"), QStringLiteral("x")));
        QVERIFY(!CNameRule::CheckAccountName(QStringLiteral("现金"), {QStringLiteral("现金\u200D")})
                     .isEmpty());
        QVERIFY(CUserAdmin::DeleteUser(QStringLiteral("Caf\u00E9"))); // stored composed
        // An older book may hold names differing only in case: both keep working.
        AddLegacyUser(QStringLiteral("bob"), QStringLiteral("pw2"));
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("bob"), QStringLiteral("pw2")));
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("Bob"), QStringLiteral("pw1")));
        QCOMPARE(
            CUserAdmin::UserNames(),
            (QStringList{QStringLiteral("Bob"), QStringLiteral("爸爸"), QStringLiteral("bob")}));
    }

    void createUserIsAllOrNothing() {
        CTestBook book;
        const QString str256(256, QLatin1Char('x'));
        const struct {
            QString strUser, strPwd;
            CUserAdmin::SAccount account;
        } refused[] = {
            {str256, QStringLiteral("pw"), {QStringLiteral("现金"), QString(), 1}},
            {QStringLiteral("u"),
             QString(33, QLatin1Char('p')),
             {QStringLiteral("现金"), QString(), 1}},
            {QStringLiteral("u"), QStringLiteral("pw"), {QStringLiteral("现金"), str256, 1}},
            {QStringLiteral("u"),
             QStringLiteral("pw"),
             {QStringLiteral("现金"), QString(), std::nan("")}}};
        for (const auto& c : refused) {
            // The good accounts come first, so a late refusal would show as written rows.
            QVERIFY_THROWS_EXCEPTION(
                CDBException,
                CUserAdmin::CreateUser(c.strUser, c.strPwd, TwoAccounts() << c.account, s_day));
            QCOMPARE(RowsOfAllTables(c.strUser), (QList<int>{0, 0, 0, 0, 0}));
        }
        // 255 characters (counted as characters, not bytes) still fit.
        const QString str255(255, QChar(0x4E2D));
        QCOMPARE(CUserAdmin::CreateUser(str255, QStringLiteral("pw"), {{str255, str255, 1}}, s_day),
                 CUserAdmin::ECreate::Created);

        // The outlay table is gone: the last write of the creation fails, and takes the rest with
        // it.
        ExecDirect(QStringLiteral("DROP TABLE \"Outlay\""));
        QVERIFY_THROWS_EXCEPTION(CDBException, CUserAdmin::CreateUser(QStringLiteral("李四"),
                                                                      QStringLiteral("pw"),
                                                                      TwoAccounts(), s_day));
        QCOMPARE(CountRows("User", QStringLiteral("李四")), 0);
        QCOMPARE(CountRows("Bank", QStringLiteral("李四")), 0);
        QCOMPARE(CountRows("Income", QStringLiteral("李四")), 0);
    }

    void twoCopiesCreatingOneNameGiveOneUser() {
        CTestBook book;
        const QString strOther = QStringLiteral("second-copy");
        CDatabase::SetUrl(book.Url(), strOther);
        // The first copy is half way through creating "王五" when the second one starts.
        ExecDirect(CDatabase::Dialect().BeginSql());
        CDatabase::Exec(
            QStringLiteral("INSERT INTO \"User\" (\"UserName\", \"UserPwd\") VALUES (?, ?)"),
            {QStringLiteral("王五"), QStringLiteral("x")});
        CUserAdmin::ECreate eResult = CUserAdmin::ECreate::Created;
        QString strError;
        QThread* pThread = QThread::create([&] {
            try {
                eResult = CUserAdmin::CreateUser(QStringLiteral("王五"), QStringLiteral("pw"),
                                                 TwoAccounts(), s_day, strOther);
            } catch (const CDBException& e) {
                strError = e.m_strError;
            }
            CDatabase::Close(strOther);
        });
        pThread->start();
        QThread::msleep(500);
        ExecDirect(QStringLiteral("COMMIT"));
        QVERIFY(pThread->wait(20000));
        delete pThread;
        QCOMPARE(strError, QString());
        QCOMPARE(eResult, CUserAdmin::ECreate::NameTaken);
        QCOMPARE(RowsOfAllTables(QStringLiteral("王五")), (QList<int>{1, 0, 0, 0, 0}));
    }

    void passwordCheckIsExact() {
        CTestBook book;
        CUserAdmin::CreateUser(QStringLiteral("Ann"), QStringLiteral("Secret"), TwoAccounts(),
                               s_day);
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("Ann"), QStringLiteral("Secret")));
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("Ann"), QStringLiteral("secret")));
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("Ann"), QStringLiteral("Secret ")));
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("ann"), QStringLiteral("Secret")));
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("nobody"), QString()));
        // A quote in the name or password neither breaks nor widens the check.
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("Ann' OR '1'='1"),
                                           QStringLiteral("x' OR '1'='1")));

        // The stored password decides: a copy that logged in with "Secret" before another
        // copy changed it cannot set it back by giving "Secret" again. An empty new password
        // is refused; a change forgets the remembered (old) password.
        using E = CUserAdmin::EChange;
        const QString strAnn = QStringLiteral("Ann");
        QVERIFY_THROWS_EXCEPTION(
            CDBException, CUserAdmin::ChangePassword(strAnn, QStringLiteral("Secret"), QString()));
        QVERIFY(CUserAdmin::StoreSaveChoice(strAnn, true, QStringLiteral("Secret")));
        QCOMPARE(CUserAdmin::ChangePassword(strAnn, QStringLiteral("Secret"), QStringLiteral("新")),
                 E::Changed);
        bool bSave = true;
        QString strSaved;
        QVERIFY(CUserAdmin::SavedPassword(strAnn, bSave, strSaved));
        QVERIFY(!bSave);
        QCOMPARE(strSaved, QString());
        QCOMPARE(
            CUserAdmin::ChangePassword(strAnn, QStringLiteral("Secret"), QStringLiteral("Secret")),
            E::WrongPassword);
        QVERIFY(CUserAdmin::CheckPassword(strAnn, QStringLiteral("新")));
        QVERIFY(!CUserAdmin::CheckPassword(strAnn, QStringLiteral("Secret")));
        QCOMPARE(
            CUserAdmin::ChangePassword(QStringLiteral("nobody"), QString(), QStringLiteral("x")),
            E::NoUser);
        QVERIFY_THROWS_EXCEPTION(
            CDBException,
            CUserAdmin::ChangePassword(strAnn, QString(), QString(33, QLatin1Char('p'))));

        // A book that cannot be read is an error, never a wrong password.
        QVERIFY(QSqlQuery(CDatabase::Connection())
                    .exec(QStringLiteral("ALTER TABLE \"User\" RENAME TO \"UserAway\"")));
        QVERIFY_THROWS_EXCEPTION(CDBException, CUserAdmin::LogIn(strAnn, QStringLiteral("新")));
        QVERIFY_THROWS_EXCEPTION(
            CDBException,
            CUserAdmin::ChangePassword(strAnn, QStringLiteral("新"), QStringLiteral("x")));
        QVERIFY(QSqlQuery(CDatabase::Connection())
                    .exec(QStringLiteral("ALTER TABLE \"UserAway\" RENAME TO \"User\"")));
        QVERIFY(CUserAdmin::CheckPassword(strAnn, QStringLiteral("新")));
    }

    // A session belongs to the user row it logged in to: once another copy deleted the user
    // and created the name again, every write of the old session is refused and writes
    // nothing; the new row's session writes as usual.
    void sessionOfAUserCreatedAgainElsewhereWritesNothing() {
        CTestBook book;
        const QString strAnn = QStringLiteral("Ann");
        const QString strPwd = QStringLiteral("pw1");
        CUserAdmin::CreateUser(strAnn, strPwd, TwoAccounts(), s_day);
        const qint64 nOld = CUserAdmin::LogIn(strAnn, strPwd);
        QVERIFY(nOld != 0);
        QVERIFY(CUserAdmin::DeleteUser(strAnn));
        CUserAdmin::CreateUser(strAnn, strPwd, TwoAccounts(), s_day);
        const qint64 nNew = CUserAdmin::LogIn(strAnn, strPwd);
        QVERIFY(nNew != 0 && nNew != nOld);

        const QString strCard = TwoAccounts().first().strCardName;
        const QString strOther = TwoAccounts().last().strCardName;
        const SDayEdit edit = SDayEdit::Adding({{QStringLiteral("工资收入"), QString(), 5}});
        const std::function<void(qint64)> writes[] = {
            [&](qint64 n) {
                CDayBook(ERecordKind::Income, strAnn).Confirm(s_day, strCard, edit, n);
            },
            [&](qint64 n) { CDayBook(ERecordKind::Outlay, strAnn).OpenDay(s_day.addDays(1), n); },
            [&](qint64 n) {
                CTransfer::Transfer(strAnn, s_day, strCard, strOther, 1,
                                    CDatabase::DefaultConnection, n);
            },
            [&](qint64 n) {
                const QVector<CTransfer::SRow> history = CTransfer::History(strAnn);
                CTransfer::Undo(strAnn, history.isEmpty() ? 0 : history.last().nKey,
                                CDatabase::DefaultConnection, n);
            },
            [&](qint64 n) {
                CAccountAdmin::Add(strAnn, QStringLiteral("新账户"), {}, 0,
                                   CDatabase::DefaultConnection, n);
            },
            [&](qint64 n) {
                CAccountAdmin::Rename(strAnn, CAccountAdmin::List(strAnn).last().nKey,
                                      QStringLiteral("改名"), CDatabase::DefaultConnection, n);
            },
            [&](qint64 n) {
                CAccountAdmin::SetNote(strAnn, CAccountAdmin::List(strAnn).last().nKey,
                                       QStringLiteral("备注"), CDatabase::DefaultConnection, n);
            },
            [&](qint64 n) {
                CAccountAdmin::Delete(strAnn, CAccountAdmin::List(strAnn).last().nKey,
                                      CDatabase::DefaultConnection, n);
            },
            [&](qint64 n) {
                SPreviewRow row;
                row.src.date = s_day;
                row.src.nCents = 250;
                row.strSort = QStringLiteral("用餐支出");
                row.strAccount = strCard;
                row.strExtKey = QStringLiteral("t:1");
                QVERIFY(CImporter(strAnn, n).Import({row}).bDone);
            },
            [&](qint64 n) { CImporter(strAnn, n).SaveRules(CImporter::DefaultRules()); },
            [&](qint64 n) { CImporter(strAnn, n).SaveMapping(QStringLiteral("layout"), {}); },
            [&](qint64 n) { CUserAdmin::ChangePassword(strAnn, strPwd, QStringLiteral("x"), n); },
            [&](qint64 n) { CUserAdmin::DeleteUser(strAnn, n); },
        };
        const QStringList before = CBookBuilder::Dump();
        for (const auto& write : writes) {
            QVERIFY_THROWS_EXCEPTION(CSessionGone, write(nOld));
            QCOMPARE(CBookBuilder::Dump(), before);
        }
        for (const auto& write : writes)
            write(nNew);
        QVERIFY(!CUserAdmin::UserExists(strAnn));
    }

    void plainPasswordOfAnOlderBookIsReplacedByItsHash() {
        CTestBook book;
        AddLegacyUser(QStringLiteral("老王"), QStringLiteral("abc"));
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("老王"), QStringLiteral("ABC")));
        QCOMPARE(StoredPwd(QStringLiteral("老王")),
                 QStringLiteral("abc")); // a failed try changes nothing
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("老王"), QStringLiteral("abc")));
        const QString strHash = StoredPwd(QStringLiteral("老王"));
        QVERIFY(CPasswordHash::IsHash(strHash));
        QVERIFY(!strHash.contains(QStringLiteral("abc")));
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("老王"), QStringLiteral("abc")));
        QCOMPARE(StoredPwd(QStringLiteral("老王")), strHash); // hashed once, not on every login
        // A stored text that merely looks odd is still compared as text.
        AddLegacyUser(QStringLiteral("空"), QString());
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("空"), QStringLiteral("x")));
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("空"), QString()));
    }

    // A hash carries its own limits: one made with other limits (an older version's 64 MiB)
    // or another Argon2 variant still logs in and is then made again with today's 19 MiB, two
    // passes; today's hash is left as it is.
    void hashOfOtherLimitsIsVerifiedAndRemade() {
        CTestBook book;
        CPasswordHash::InitSodium();
        const QByteArray pwd("口令123");
        struct SCase {
            int nAlg;
            unsigned long long nOps;
            size_t nMem;
            bool bRemade;
        };
        const SCase cases[] = {
            {crypto_pwhash_ALG_ARGON2ID13, crypto_pwhash_OPSLIMIT_INTERACTIVE,
             crypto_pwhash_MEMLIMIT_INTERACTIVE, true},
            {crypto_pwhash_ALG_ARGON2I13, 3, size_t(8) << 20, true},
            {crypto_pwhash_ALG_ARGON2ID13, 2, size_t(19) << 20, false},
        };
        int nUser = 0;
        for (const SCase& c : cases) {
            char szHash[crypto_pwhash_STRBYTES];
            QVERIFY(crypto_pwhash_str_alg(szHash, pwd.constData(), pwd.size(), c.nOps, c.nMem,
                                          c.nAlg) == 0);
            const QString strUser = QStringLiteral("用户%1").arg(++nUser);
            AddLegacyUser(strUser, QString::fromLatin1(szHash));
            QVERIFY(!CUserAdmin::CheckPassword(strUser, QStringLiteral("口令124")));
            QCOMPARE(StoredPwd(strUser), QString::fromLatin1(szHash));
            QVERIFY(CUserAdmin::CheckPassword(strUser, QString::fromUtf8(pwd)));
            const QString strStored = StoredPwd(strUser);
            QCOMPARE(strStored != QString::fromLatin1(szHash), c.bRemade);
            QVERIFY2(strStored.startsWith(QLatin1String("$argon2id$v=19$m=19456,t=2,p=1$")),
                     qPrintable(strStored));
            QVERIFY(CUserAdmin::CheckPassword(strUser, QString::fromUtf8(pwd)));
        }
    }

    void savedPasswordIsEncryptedAndReadableOnlyHere() {
        CTestBook book;
        CUserAdmin::CreateUser(QStringLiteral("Ann"), QStringLiteral("right"), TwoAccounts(),
                               s_day);
        bool bSave = false;
        QString strPwd;
        // Whatever the login hands over is remembered as it is.
        QVERIFY(
            CUserAdmin::StoreSaveChoice(QStringLiteral("Ann"), true, QStringLiteral("wrong密码")));
        QVERIFY(CUserAdmin::SavedPassword(QStringLiteral("Ann"), bSave, strPwd));
        QVERIFY(bSave);
        QCOMPARE(strPwd, QStringLiteral("wrong密码"));
        CUserSet set;
        set.SetFilter(CRecordset::EFilter::User, {QStringLiteral("Ann")});
        set.Open();
        QVERIFY(!set.m_SavePwd.contains(QStringLiteral("wrong")));
        QVERIFY(set.m_SavePwd.size() <= CDatabase::MaxTextLength);

        // The key is the owner's alone.
        QFile key(CSavedPwd::KeyFile());
        QVERIFY(key.exists());
        QCOMPARE(key.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        // The longest password that can be remembered, in a 4-byte script, still fits.
        const QString strLong = QString::fromUcs4(std::u32string(CSavedPwd::MaxLength, U'😀').data(),
                                                  CSavedPwd::MaxLength);
        QVERIFY(CUserAdmin::StoreSaveChoice(QStringLiteral("Ann"), true, strLong));
        QVERIFY(CUserAdmin::SavedPassword(QStringLiteral("Ann"), bSave, strPwd));
        QCOMPARE(strPwd, strLong);
        QVERIFY_THROWS_EXCEPTION(
            CDBException,
            CUserAdmin::StoreSaveChoice(QStringLiteral("Ann"), true, strLong + QLatin1Char('x')));
        QVERIFY(CUserAdmin::SavedPassword(QStringLiteral("Ann"), bSave, strPwd));
        QCOMPARE(strPwd, strLong); // the refused one did not replace it

        // Another computer (another key) or no key at all: no saved password, no error.
        const QString strHere = CSavedPwd::KeyFile();
        CSavedPwd::SetKeyFile(m_keyDir.filePath(QStringLiteral("elsewhere/savedpwd.key")));
        QVERIFY(CSavedPwd::Encrypt(QStringLiteral("other")).startsWith(QLatin1String("$sb1$")));
        QVERIFY(CUserAdmin::SavedPassword(QStringLiteral("Ann"), bSave, strPwd));
        QVERIFY(bSave);
        QCOMPARE(strPwd, QString());
        CSavedPwd::SetKeyFile(m_keyDir.filePath(QStringLiteral("nowhere/savedpwd.key")));
        QVERIFY(CUserAdmin::SavedPassword(QStringLiteral("Ann"), bSave, strPwd));
        QCOMPARE(strPwd, QString());
        QVERIFY(!QFile::exists(CSavedPwd::KeyFile())); // reading never creates a key
        CSavedPwd::SetKeyFile(strHere);

        // Unknown user: nothing written.
        QVERIFY(!CUserAdmin::StoreSaveChoice(QStringLiteral("nobody"), true, QStringLiteral("x")));
        QVERIFY(!CUserAdmin::SavedPassword(QStringLiteral("nobody"), bSave, strPwd));
        QCOMPARE(CUserAdmin::UserNames(), QStringList{QStringLiteral("Ann")});
    }

    void deleteUserRemovesOnlyThatUsersRows() {
        CTestBook book;
        for (const QString& strUser : {QStringLiteral("O'Brien"), QStringLiteral("O'Brien2")}) {
            CUserAdmin::CreateUser(strUser, QStringLiteral("pw"), TwoAccounts(), s_day);
            AddTransfer(strUser);
            AddTransfer(strUser);
        }
        const QList<int> other = RowsOfAllTables(QStringLiteral("O'Brien2"));
        QCOMPARE(other, (QList<int>{1, 2, 1, 1, 2}));
        QVERIFY(CUserAdmin::DeleteUser(QStringLiteral("O'Brien")));
        QCOMPARE(RowsOfAllTables(QStringLiteral("O'Brien")), (QList<int>{0, 0, 0, 0, 0}));
        QCOMPARE(RowsOfAllTables(QStringLiteral("O'Brien2")), other);
        QVERIFY(!CUserAdmin::DeleteUser(QStringLiteral("O'Brien")));
        QVERIFY(!CUserAdmin::DeleteUser(QStringLiteral("o'brien2")));
        QCOMPARE(RowsOfAllTables(QStringLiteral("O'Brien2")), other);

        // A failure half way (the transfer table is gone) deletes nothing at all.
        ExecDirect(QStringLiteral("DROP TABLE \"Trs\""));
        QVERIFY_THROWS_EXCEPTION(CDBException, CUserAdmin::DeleteUser(QStringLiteral("O'Brien2")));
        QCOMPARE(CountRows("User", QStringLiteral("O'Brien2")), 1);
        QCOMPARE(CountRows("Bank", QStringLiteral("O'Brien2")), 2);
        QCOMPARE(CountRows("Outlay", QStringLiteral("O'Brien2")), 1);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestUsers)
#include "tst_users.moc"
