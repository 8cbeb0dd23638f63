#include "accounts/caccountlist.h"
#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cbankset.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/cuserset.h"
#include "records/cdaybook.h"
#include "users/cpasswordhash.h"
#include "users/csavedpwd.h"
#include "users/cuseradmin.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <limits>

// Whatever a person types into any field — the user and account dialogs, the password
// dialogs, the daily grids, the transfer dialog, the --database argument — is either stored
// and read back exactly or refused with a clear message, and nothing else in the book moves.
namespace {

enum class EField {
    UserName,
    NewPassword,
    ChangedPassword,
    SavedPassword,
    LoginPassword,
    AccountName,
    AccountNote,
    AccountAmount,
    Category,
    RecordNote,
    RecordAmount,
    TransferAmount,
    DatabaseArgument,
};
enum class EExpect { Either, Stored, Refused };

const QString g_strBase = QStringLiteral("基准");   // a bystander whose rows must never move
const QString g_strTarget = QStringLiteral("目标"); // the logged-in user the fields act for
const QString g_strNew = QStringLiteral("新用户");  // a user being created
const QString g_strOldPwd = QStringLiteral("旧密码");
const QDate g_day(2024, 5, 6);
const QString g_strCash = QStringLiteral("现金");
const QString g_strBank = QStringLiteral("银行");

struct SOutcome {
    bool bStored = false;
    bool bByField = false; // refused by the dialog's own number check, which words the message
    QString strMessage;
    QString strReadBack; // what did not read back as typed ("" when all did)
};

SOutcome Attempt(const std::function<QString()>& fn) {
    SOutcome o;
    try {
        o.strReadBack = fn();
        o.bStored = true;
    } catch (const CDBException& e) {
        o.strMessage = e.m_strError;
    }
    return o;
}

SOutcome Refused(const QString& strMessage, bool bByField = false) {
    SOutcome o;
    o.strMessage = strMessage;
    o.bByField = bByField;
    return o;
}

QString Mismatch(const QString& strWhat, const QVariant& actual, const QVariant& expected) {
    return actual == expected ? QString()
                              : QStringLiteral("%1: 读回 “%2”，应为 “%3”")
                                    .arg(strWhat, actual.toString(), expected.toString());
}

// A message a person can read: Chinese, and not a driver's English text with Chinese names in
// it (PostgreSQL quotes the statement back).
bool HasChinese(const QString& str) {
    if (str.isEmpty() || (str[0].unicode() < 128 && str[0].isLetter()))
        return false;
    for (const QChar c : str)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

QString& Hash() {
    static QString s_strHash;
    return s_strHash;
}

// A money field's text as every money field reads it.
CMoney::EParse ParseOf(const QString& v) {
    std::int64_t nCents = 0;
    return CMoney::Parse(v, nCents);
}
bool ParseAmount(const QString& v, double& d) {
    std::int64_t nCents = 0;
    if (CMoney::Parse(v, nCents) != CMoney::EParse::Ok)
        return false;
    d = CMoney::FromCents(nCents);
    return true;
}

// Two users with accounts, first days, a confirmed day and a transfer each.
void BuildBook() {
    for (const QString& strUser : {g_strBase, g_strTarget}) {
        CUserSet user;
        user.AddNew();
        user.m_UserName = strUser;
        user.m_UserPwd = Hash();
        user.Update();
        for (const QString& strCard : {g_strCash, g_strBank}) {
            CBankSet bank;
            bank.AddNew();
            bank.m_UserName = strUser;
            bank.m_CardName = strCard;
            bank.m_CardSum = QStringLiteral("卡");
            bank.m_CardCash = double(CBookBuilder::OpeningCents(strUser, strCard)) / 100.0;
            bank.Update();
        }
        CDayBook(ERecordKind::Income, strUser).OpenDay(g_day);
        CDayBook(ERecordKind::Outlay, strUser).OpenDay(g_day);
        CDayBook(ERecordKind::Income, strUser)
            .Confirm(
                g_day, g_strCash,
                SDayEdit::Adding({{QStringLiteral("工资收入"), QStringLiteral("五月"), 3000}}));
        CDayBook(ERecordKind::Outlay, strUser)
            .Confirm(g_day, g_strBank,
                     SDayEdit::Adding({{QStringLiteral("用餐支出"), QString(), 12.5}}));
        CTransfer::Transfer(strUser, g_day, g_strCash, g_strBank, 100);
    }
}

QList<CUserAdmin::SAccount> OneAccount(const QString& strName = g_strCash,
                                       const QString& strNote = QStringLiteral("备注"),
                                       double dCash = 10) {
    return {{strName, strNote, dCash}};
}

SOutcome CreateNew(const QString& strUser, const QString& strPwd,
                   const QList<CUserAdmin::SAccount>& accounts,
                   const std::function<QString()>& readBack) {
    return Attempt([&] {
        if (CUserAdmin::CreateUser(strUser, strPwd, accounts, g_day) !=
            CUserAdmin::ECreate::Created)
            throw CDBException(QStringLiteral("用户名已存在！"));
        return readBack();
    });
}

// What the field does with the text, through the same core function its dialog or view calls.
SOutcome Enter(EField eField, const QString& v, const QString& strDir) {
    switch (eField) {
    case EField::UserName:
        // Names are stored without the blanks around them.
        return CreateNew(v, QStringLiteral("pw"), OneAccount(), [&] {
            return Mismatch(QStringLiteral("用户名"), CUserAdmin::UserNames().contains(v.trimmed()),
                            true) +
                   Mismatch(QStringLiteral("登录"),
                            CUserAdmin::CheckPassword(v.trimmed(), QStringLiteral("pw")), true);
        });
    case EField::NewPassword:
        return CreateNew(g_strNew, v, OneAccount(), [&] {
            return Mismatch(QStringLiteral("登录"), CUserAdmin::CheckPassword(g_strNew, v), true) +
                   Mismatch(QStringLiteral("多一个字的密码"),
                            CUserAdmin::CheckPassword(g_strNew, v + QLatin1Char('x')), false);
        });
    case EField::ChangedPassword:
        return Attempt([&] {
            if (CUserAdmin::ChangePassword(g_strTarget, g_strOldPwd, v) !=
                CUserAdmin::EChange::Changed)
                return QStringLiteral("没有改成");
            return Mismatch(QStringLiteral("新密码登录"), CUserAdmin::CheckPassword(g_strTarget, v),
                            true) +
                   Mismatch(QStringLiteral("旧密码登录"),
                            CUserAdmin::CheckPassword(g_strTarget, g_strOldPwd), v == g_strOldPwd);
        });
    case EField::SavedPassword:
        return Attempt([&] {
            if (!CUserAdmin::StoreSaveChoice(g_strTarget, true, v))
                return QStringLiteral("找不到用户");
            bool bSave = false;
            QString strSaved;
            CUserAdmin::SavedPassword(g_strTarget, bSave, strSaved);
            return Mismatch(QStringLiteral("保存密码"), bSave, true) +
                   Mismatch(QStringLiteral("保存的密码"), strSaved, v);
        });
    case EField::LoginPassword:
        // A wrong password is simply no login; the login dialog says so.
        if (CUserAdmin::CheckPassword(g_strTarget, v) != (v == g_strOldPwd))
            return {true, false, QString(), QStringLiteral("登录检查答错了")};
        return Refused(QString(), true);
    case EField::AccountName:
        return CreateNew(g_strNew, QStringLiteral("pw"), OneAccount(v), [&] {
            const auto accounts = CAccountList::Load(g_strNew);
            return Mismatch(QStringLiteral("账号名"), accounts.value(0).strName, v.trimmed()) +
                   Mismatch(QStringLiteral("日常记录里的账号"),
                            CDayBook(ERecordKind::Income, g_strNew).Accounts(),
                            QStringList{v.trimmed()});
        });
    case EField::AccountNote:
        return CreateNew(g_strNew, QStringLiteral("pw"), OneAccount(g_strCash, v), [&] {
            CBankSet set;
            set.SetFilter(CRecordset::EFilter::User, {g_strNew});
            set.Open();
            return Mismatch(QStringLiteral("账号备注"), set.m_CardSum, v);
        });
    case EField::AccountAmount: {
        double d = 0;
        if (!ParseAmount(v, d))
            return Refused(CMoney::ParseMessage(ParseOf(v)));
        return CreateNew(g_strNew, QStringLiteral("pw"), OneAccount(g_strCash, QString(), d), [&] {
            return Mismatch(QStringLiteral("账号金额"), CAccountList::Load(g_strNew).value(0).dCash,
                            d);
        });
    }
    case EField::Category:
    case EField::RecordNote:
    case EField::RecordAmount: {
        SDayRecord r{QStringLiteral("工资收入"), QStringLiteral("备注"), 1.5};
        if (eField == EField::Category)
            r.strSort = v;
        else if (eField == EField::RecordNote)
            r.strNote = v;
        else if (!ParseAmount(v, r.dAmount))
            return Refused(CMoney::ParseMessage(ParseOf(v)));
        return Attempt([&] {
            CDayBook book(ERecordKind::Income, g_strTarget);
            book.Confirm(g_day.addDays(1), g_strBank, SDayEdit::Adding({r}));
            const QVector<SDayRecord> rows = book.LoadDay(g_day.addDays(1), g_strBank);
            if (rows.size() != 1)
                return QStringLiteral("读回 %1 行").arg(rows.size());
            return Mismatch(QStringLiteral("类型"), rows[0].strSort, r.strSort) +
                   Mismatch(QStringLiteral("摘要"), rows[0].strNote, r.strNote) +
                   Mismatch(QStringLiteral("金额"), rows[0].dAmount, r.dAmount);
        });
    }
    case EField::TransferAmount: {
        double d = 0;
        if (!ParseAmount(v, d))
            return Refused(CMoney::ParseMessage(ParseOf(v)));
        const CTransfer::EResult eResult =
            CTransfer::Transfer(g_strTarget, g_day, g_strCash, g_strBank, d);
        if (eResult != CTransfer::EResult::Done)
            return Refused(CTransfer::Message(eResult));
        return {true, false, QString(),
                Mismatch(QStringLiteral("转账金额"), CTransfer::History(g_strTarget).last().dAmount,
                         d)};
    }
    case EField::DatabaseArgument: {
        const QString strConnection = QStringLiteral("typed");
        const QString strOld = QDir::currentPath();
        QDir::setCurrent(strDir);
        const QStringList before = QDir(strDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        SOutcome o = Attempt([&] {
            CDatabase::SetUrl(v, strConnection);
            CDatabase::Open(strConnection);
            QSqlQuery q =
                CDatabase::Exec(QStringLiteral("SELECT COUNT(*) FROM \"User\""), {}, strConnection);
            QStringList made = QDir(strDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            for (const QString& s : before)
                made.removeOne(s);
            for (const QString& strSuffix :
                 {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                made.removeOne(v + strSuffix);
            return Mismatch(QStringLiteral("账本文件"),
                            QFileInfo(QDir(strDir).filePath(v)).isFile(), true) +
                   Mismatch(QStringLiteral("另外建的文件"), made, QStringList());
        });
        CDatabase::Close(strConnection);
        if (!o.bStored)
            o.strReadBack =
                Mismatch(QStringLiteral("被拒后留下的文件"),
                         QDir(strDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QDir::setCurrent(strOld);
        return o;
    }
    }
    return {};
}

// Which answers are right. "Either" where both storing and a clear refusal are sound (a
// length limit on passwords, a NUL in a text).
EExpect Expect(EField eField, const QString& strValue) {
    const auto is = [&strValue](const char* sz) { return strValue == QLatin1String(sz); };
    switch (eField) {
    case EField::LoginPassword:
        return EExpect::Refused;
    case EField::AccountAmount:
    case EField::TransferAmount:
    case EField::RecordAmount:
        // Every money field reads its text the one way; only an account may hold zero.
        return is("leading blanks") || is("full-width digits") ||
                       (is("-0") && eField == EField::AccountAmount)
                   ? EExpect::Stored
                   : EExpect::Refused;
    default:
        break;
    }
    if (is("256 characters"))
        return EExpect::Refused;
    if (is("NUL"))
        return eField == EField::DatabaseArgument ? EExpect::Refused : EExpect::Either;
    const bool bPassword = eField == EField::NewPassword || eField == EField::ChangedPassword ||
                           eField == EField::SavedPassword;
    if (is("empty")) {
        if (eField == EField::AccountNote || eField == EField::RecordNote)
            return EExpect::Stored;
        return eField == EField::SavedPassword ? EExpect::Either : EExpect::Refused;
    }
    if (is("255 characters") || is("255 emoji"))
        return bPassword || eField == EField::DatabaseArgument ? EExpect::Either : EExpect::Stored;
    return EExpect::Stored;
}

// The user whose rows a stored value may change; every other row must stay as it was.
QString Owner(EField eField, const QString& v) {
    switch (eField) {
    case EField::UserName:
        return v.trimmed();
    case EField::NewPassword:
    case EField::AccountName:
    case EField::AccountNote:
    case EField::AccountAmount:
        return g_strNew;
    case EField::DatabaseArgument:
        return QString(); // another book: this one must not move
    default:
        return g_strTarget;
    }
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_keyDir.isValid());
        CSavedPwd::SetKeyFile(m_keyDir.filePath(QStringLiteral("savedpwd.key")));
        Hash() = CPasswordHash::Hash(g_strOldPwd);
    }

    void everyTypedField_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("expect");

        // Characters, not bytes, are counted: 账 takes three bytes, an emoji two UTF-16 units.
        const QString strWide(256, QChar(0x8D26)); // 账
        QString strEmoji;
        for (int i = 0; i < 255; ++i)
            strEmoji += QStringLiteral("💰");
        const QList<QPair<const char*, QString>> values = {
            {"empty", QString()},
            {"255 characters", strWide.left(255)},
            {"256 characters", strWide},
            {"255 emoji", strEmoji},
            {"quotes and SQL", QStringLiteral("O'Brien\"; DROP TABLE \"User\"; --")},
            {"percent and underscore", QStringLiteral("%_")},
            {"NUL", QString::fromUtf8("a\0b", 3)},
            {"emoji", QStringLiteral("存钱💰🐷")},
            {"right-to-left", QStringLiteral("مرحبا שלום")},
            {"full-width digits", QStringLiteral("１２３")},
            {"nan", QStringLiteral("nan")},
            {"inf", QStringLiteral("inf")},
            {"1e400", QStringLiteral("1e400")},
            {"0x1A", QStringLiteral("0x1A")},
            {"-0", QStringLiteral("-0")},
            {"leading blanks", QStringLiteral("  12")},
            {"12abc", QStringLiteral("12abc")},
        };
        const QList<QPair<const char*, EField>> fields = {
            {"user name", EField::UserName},
            {"new password", EField::NewPassword},
            {"changed password", EField::ChangedPassword},
            {"saved password", EField::SavedPassword},
            {"login password", EField::LoginPassword},
            {"account name", EField::AccountName},
            {"account note", EField::AccountNote},
            {"account amount", EField::AccountAmount},
            {"category", EField::Category},
            {"record note", EField::RecordNote},
            {"record amount", EField::RecordAmount},
            {"transfer amount", EField::TransferAmount},
            {"--database", EField::DatabaseArgument},
        };
        for (const auto& f : fields)
            for (const auto& v : values)
                QTest::addRow("%s / %s", f.first, v.first)
                    << int(f.second) << v.second << int(Expect(f.second, QLatin1String(v.first)));
    }

    void everyTypedField() {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(int, expect);
        const auto eField = EField(field);

        CTestBook book;
        if (CDatabase::Dialect().IsSQLite())
            CDatabase::Exec(QStringLiteral("PRAGMA synchronous = OFF"));
        BuildBook();
        const QStringList before = CBookBuilder::Dump();
        QTemporaryDir dir;
        const SOutcome o = Enter(eField, value, dir.path());

        QCOMPARE(o.strReadBack, QString());
        if (EExpect(expect) == EExpect::Stored)
            QVERIFY2(o.bStored, qPrintable(QStringLiteral("被拒绝：") + o.strMessage));
        if (EExpect(expect) == EExpect::Refused)
            QVERIFY2(!o.bStored, "stored, but must be refused");
        if (o.bStored) {
            const QString strOwner = Owner(eField, value);
            QStringList others;
            for (const QString& line : before)
                if (line.section(QLatin1Char('|'), 2, 2) != strOwner)
                    others << line;
            QCOMPARE(CBookBuilder::Dump(CDatabase::DefaultConnection, strOwner), others);
            // A new user's accounts open at what was typed; every other balance must add up.
            QStringList balances = CBookBuilder::BalanceProblems();
            if (strOwner != g_strTarget)
                balances = balances.filter(QRegularExpression(
                    QStringLiteral("^(?!%1/)").arg(QRegularExpression::escape(strOwner))));
            QCOMPARE(balances, QStringList());
            QCOMPARE(CBookBuilder::WholenessProblems(), QStringList());
        } else {
            if (!o.bByField)
                QVERIFY2(
                    HasChinese(o.strMessage),
                    qPrintable(QStringLiteral("refused without a clear message: ") + o.strMessage));
            QCOMPARE(CBookBuilder::Dump(), before);
        }
    }

    // What each typed amount becomes in each money field: the amount stored (in cents, by
    // the money rule) or the message shown. Records and transfers refuse zero.
    void typedAmounts_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qlonglong>("cents"); // Refused: refused by every field
        QTest::addColumn<QString>("message");
        const qlonglong Refused = std::numeric_limits<qlonglong>::min();
        const QString comma = QStringLiteral("不能有逗号");
        const QString large = QStringLiteral("金额太大");
        QTest::newRow("plain") << QStringLiteral("12.34") << 1234LL << QString();
        QTest::newRow("full-width") << QStringLiteral("１２３．４５") << 12345LL << QString();
        QTest::newRow("full-width minus") << QStringLiteral("－５") << -500LL << QString();
        QTest::newRow("yuan signs") << QStringLiteral("￥ 8元") << 800LL << QString();
        QTest::newRow("half up") << QStringLiteral("0.005") << 1LL << QString();
        QTest::newRow("half away from zero") << QStringLiteral("-2.345") << -235LL << QString();
        QTest::newRow("below a cent") << QStringLiteral("0.001") << 0LL << QString();
        QTest::newRow("exponent") << QStringLiteral("1.5e3") << 150000LL << QString();
        QTest::newRow("largest") << QStringLiteral("999999999999.99") << 99999999999999LL
                                 << QString();
        QTest::newRow("limit") << QStringLiteral("1e12") << 100000000000000LL << QString();
        QTest::newRow("beyond") << QStringLiteral("1000000000000.01") << Refused << large;
        QTest::newRow("1e13") << QStringLiteral("1e13") << Refused << large;
        QTest::newRow("-1e13") << QStringLiteral("-1e13") << Refused << large;
        QTest::newRow("decimal comma") << QStringLiteral("12,5") << Refused << comma;
        QTest::newRow("thousands comma") << QStringLiteral("1,250") << Refused << comma;
        QTest::newRow("full-width comma") << QStringLiteral("１，２５０") << Refused << comma;
        QTest::newRow("two points") << QStringLiteral("1.2.3") << Refused << QStringLiteral("数字");
        QTest::newRow("letters") << QStringLiteral("12abc") << Refused << QStringLiteral("数字");
    }
    void typedAmounts() {
        QFETCH(QString, typed);
        QFETCH(qlonglong, cents);
        QFETCH(QString, message);
        CTestBook book;
        QCOMPARE(CUserAdmin::CreateUser(g_strTarget, QStringLiteral("pw"),
                                        {{g_strCash, QString(), 0}, {g_strBank, QString(), 0}},
                                        g_day),
                 CUserAdmin::ECreate::Created);
        std::int64_t nCents = 0;
        const CMoney::EParse eParse = CMoney::Parse(typed, nCents);
        if (cents == std::numeric_limits<qlonglong>::min()) {
            QVERIFY(eParse != CMoney::EParse::Ok);
            QVERIFY2(CMoney::ParseMessage(eParse).contains(message),
                     qPrintable(CMoney::ParseMessage(eParse)));
            return;
        }
        QCOMPARE(eParse, CMoney::EParse::Ok);
        QCOMPARE(qlonglong(nCents), cents);
        const double d = CMoney::FromCents(nCents);
        // account: any amount, zero too
        QVERIFY(CUserAdmin::CheckAccount({g_strCash, QString(), d}).isEmpty());
        QCOMPARE(CUserAdmin::CreateUser(g_strNew, QStringLiteral("pw"),
                                        OneAccount(g_strCash, QString(), d), g_day),
                 CUserAdmin::ECreate::Created);
        QCOMPARE(CAccountList::Load(g_strNew).value(0).dCash, d);
        // record and transfer: stored as that amount, or refused as zero
        CDayBook records(ERecordKind::Outlay, g_strTarget);
        const CTransfer::EResult eResult =
            CTransfer::Transfer(g_strTarget, g_day, g_strCash, g_strBank, d);
        if (nCents == 0) {
            QVERIFY_THROWS_EXCEPTION(
                CDBException, CTestRows::ReplaceDay(records, g_day, g_strCash,
                                                    {{QStringLiteral("用餐支出"), QString(), d}}));
            QCOMPARE(eResult, CTransfer::EResult::ZeroAmount);
        } else {
            CTestRows::ReplaceDay(records, g_day, g_strCash,
                                  {{QStringLiteral("用餐支出"), QString(), d}});
            QCOMPARE(records.LoadDay(g_day, g_strCash).value(0).dAmount, d);
            QCOMPARE(eResult, CTransfer::EResult::Done);
            QCOMPARE(CTransfer::History(g_strTarget).value(0).dAmount, d);
        }
    }

    // Amounts are written with two decimals exactly as the C library rounds them, whole cents
    // or not, negative zero as "0.00".
    void formattedAmounts() {
        QVector<double> values{0.0,
                               -0.0,
                               0.001,
                               -0.001,
                               0.005,
                               0.015,
                               0.125,
                               -2.345,
                               1e-300,
                               1.0 / 3,
                               99999999999999.99,
                               1e13,
                               -1e13,
                               123456789012.34,
                               0.1 + 0.2,
                               1e300,
                               -0.05};
        QRandomGenerator rng(7);
        for (int i = 0; i < 20000; ++i) {
            const qint64 nCents =
                qint64(rng.generate64() % 2000000000000000ULL) - 1000000000000000LL;
            values << CMoney::FromCents(nCents >> (i % 40)) << rng.generateDouble() * 1000;
        }
        for (const double d : values) {
            QString expected = QString::asprintf("%4.2f", d);
            if (expected == QLatin1String("-0.00"))
                expected = QStringLiteral("0.00");
            QCOMPARE(CMoney::Format(d), expected);
        }
    }

    // The account dialog lets a name be typed twice, and both accounts are stored; as
    // everywhere an account is found by its name, the first one entered is the one moved,
    // so no money appears from nowhere.
    // Refused for a new user; a book that already holds the name twice keeps working, and the
    // first account of the name is the one records and transfers move.
    void accountNameTypedTwice() {
        CTestBook book;
        QVERIFY_THROWS_EXCEPTION(CDBException,
                                 CUserAdmin::CreateUser(g_strNew, QStringLiteral("pw"),
                                                        {{g_strCash, QStringLiteral("钱包"), 100},
                                                         {g_strCash, QStringLiteral("抽屉"), 50}},
                                                        g_day));
        QCOMPARE(CUserAdmin::CreateUser(g_strNew, QStringLiteral("pw"),
                                        {{g_strCash, QStringLiteral("钱包"), 100}}, g_day),
                 CUserAdmin::ECreate::Created);
        CBankSet set;
        for (const auto& [strName, dCash] :
             {std::pair(g_strCash, 50.0), std::pair(g_strBank, 0.0)}) {
            set.AddNew();
            set.m_UserName = g_strNew;
            set.m_CardName = strName;
            set.m_CardCash = dCash;
            set.Update();
        }
        CDayBook(ERecordKind::Income, g_strNew)
            .Confirm(g_day, g_strCash,
                     SDayEdit::Adding({{QStringLiteral("工资收入"), QString(), 10}}));
        CDayBook(ERecordKind::Outlay, g_strNew)
            .Confirm(g_day, g_strCash,
                     SDayEdit::Adding({{QStringLiteral("用餐支出"), QString(), 4}}));
        QCOMPARE(CTransfer::Transfer(g_strNew, g_day, g_strCash, g_strBank, 1),
                 CTransfer::EResult::Done);
        QStringList balances;
        for (const auto& a : CAccountList::Load(g_strNew))
            balances << QStringLiteral("%1=%2").arg(a.strName, CMoney::Format(a.dCash));
        QCOMPARE(balances, QStringList({QStringLiteral("现金=105.00"), QStringLiteral("现金=50.00"),
                                        QStringLiteral("银行=1.00")}));
    }

private:
    QTemporaryDir m_keyDir;
};

LEDGERKIN_CORE_TEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
