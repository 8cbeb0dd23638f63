#include "analysis/crecordsearch.h"
#include "ckeptcheck.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "data/cbulkrows.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/csearchtext.h"
#include "data/cstoreddate.h"
#include "data/ctransaction.h"
#include "data/ctrsset.h"
#include "records/cdaybook.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

using EKinds = CRecordSearch::EKinds;
using SQuery = CRecordSearch::SQuery;

const QString Me = QStringLiteral("张三");
const QString Other = QStringLiteral("李四");

// Texts that fold: full-width letters, digits and signs, upper case, and LIKE's own signs.
const QStringList Sorts = {QStringLiteral("工资收入"), QStringLiteral("用餐支出"),
                           QStringLiteral("水电燃气"), QStringLiteral("Ｂｏｎｕｓ"),
                           QStringLiteral("bonus")};
const QStringList Notes = {QStringLiteral("午饭"),
                           QStringLiteral("晚饭 KFC"),
                           QStringLiteral("ｋｆｃ外卖"),
                           QStringLiteral("水电费"),
                           QStringLiteral("100% 充值"),
                           QStringLiteral("a_b 退款"),
                           QStringLiteral("Plumber 王师傅"),
                           QStringLiteral("ＰＬＵＭＢＥＲ修水管"),
                           QString(),
                           QStringLiteral("退款！"),
                           QStringLiteral("红包　利息"),
                           QStringLiteral("🍜面馆")};
const QStringList Banks = {QStringLiteral("现金"), QStringLiteral("银行"),
                           QStringLiteral("ＣＭＢ信用卡")};
const std::int64_t Cents[] = {1000, 3550, 12000, 99, 35000};
const QDate FirstDay(2024, 1, 1);

QString Pick(QRandomGenerator& random, const QStringList& list) {
    return list[int(random.bounded(list.size()))];
}

template <class TSet> void AddRandomRecord(QRandomGenerator& random, const QString& strUser) {
    const std::int64_t nCents =
        random.bounded(3) == 0 ? std::int64_t(random.bounded(50000)) : Cents[random.bounded(5)];
    CTestRows::AddRecord<TSet>(strUser, QDateTime(FirstDay.addDays(random.bounded(90)), QTime()),
                               Pick(random, Banks), Pick(random, Sorts), Pick(random, Notes),
                               CMoney::FromCents(nCents));
}

// Two users' records and transfers, some written in bulk (without the triggers), then some
// changed and some removed by hand, as another program might.
void AddRandomBook(std::uint64_t nSeed) {
    QRandomGenerator random{quint32(nSeed)};
    for (const QString& strUser : {Me, Other}) {
        for (int i = 0; i < 60; ++i) {
            AddRandomRecord<CIncomeSet>(random, strUser);
            AddRandomRecord<COutlaySet>(random, strUser);
        }
        for (int i = 0; i < 15; ++i) {
            CTrsSet set;
            set.AddNew();
            set.m_UserName = strUser;
            set.m_TrsDate = QDateTime(FirstDay.addDays(random.bounded(90)), QTime());
            set.m_TrsFrom = Pick(random, Banks);
            set.m_TrsIn = Pick(random, Banks);
            set.m_TrsAmount = CMoney::FromCents(Cents[random.bounded(5)]);
            set.Update();
        }
        // A day marker (no account) is no record, whatever it holds.
        CTestRows::AddRecord<COutlaySet>(strUser, QDateTime(FirstDay, QTime()), QString(),
                                         QStringLiteral("水电燃气"), QStringLiteral("午饭"), 0);
    }
    {
        CTransaction tx;
        CBulkRows bulk;
        for (int i = 0; i < 20; ++i) {
            AddRandomRecord<CIncomeSet>(random, Me);
            AddRandomRecord<COutlaySet>(random, Me);
        }
        bulk.Finish();
        tx.Commit();
    }
    for (const char* pszTable : {"Income", "Outlay"}) {
        const QString strTable = QString::fromLatin1(pszTable);
        CDatabase::Exec(QStringLiteral("UPDATE \"%1\" SET \"Note\" = ?, \"Sort\" = ? WHERE "
                                       "\"编号\" % 7 = 3")
                            .arg(strTable),
                        {QStringLiteral("改过的ＮＯＴＥ"), QStringLiteral("改类别")});
        CDatabase::Exec(QStringLiteral("DELETE FROM \"%1\" WHERE \"编号\" % 11 = 5").arg(strTable));
    }
}

// The filter the search must equal, written row by row from the tables with its own folding
// (Unicode compatibility forms, then lower case).
QString RefFold(const QString& str) {
    return str.normalized(QString::NormalizationForm_KC).toLower();
}

struct SRef {
    QStringList keys; // "kind:编号", sorted
    std::int64_t nIncome = 0, nOutlay = 0, nTransfer = 0;
};

SRef Reference(const QString& strUser, const SQuery& query) {
    const QStringList words =
        RefFold(query.strWords)
            .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    SRef ref;
    const struct {
        EKinds eKind;
        const char* pszSql;
        std::int64_t SRef::*pTotal;
    } tables[] = {
        {EKinds::Income,
         "SELECT \"编号\", \"Date\", \"Amount\", \"Bank\", \"Sort\", \"Note\" FROM \"Income\" "
         "WHERE \"UserName\" = ?",
         &SRef::nIncome},
        {EKinds::Outlay,
         "SELECT \"编号\", \"Date\", \"Amount\", \"Bank\", \"Sort\", \"Note\" FROM \"Outlay\" "
         "WHERE \"UserName\" = ?",
         &SRef::nOutlay},
        {EKinds::Transfer,
         "SELECT \"编号\", \"TrsDate\", \"TrsAmount\", \"TrsFrom\", \"TrsIn\" FROM \"Trs\" "
         "WHERE \"UserName\" = ?",
         &SRef::nTransfer},
    };
    for (const auto& t : tables) {
        if (query.eKinds != EKinds::All && query.eKinds != t.eKind)
            continue;
        QSqlQuery q = CDatabase::Exec(QString::fromUtf8(t.pszSql), {strUser});
        while (q.next()) {
            const QDate day = CStoredDate::Day(q.value(1));
            const std::int64_t nCents = CMoney::ToCents(q.value(2).toDouble());
            if (t.eKind != EKinds::Transfer && q.value(3).toString().isEmpty())
                continue;
            if ((query.from.isValid() && day < query.from) ||
                (query.to.isValid() && day > query.to) ||
                (query.nMinCents && nCents < *query.nMinCents) ||
                (query.nMaxCents && nCents > *query.nMaxCents))
                continue;
            QStringList fields;
            for (int c = 3; c < q.record().count(); ++c)
                fields << RefFold(q.value(c).toString());
            bool bAll = true;
            for (const QString& strWord : words) {
                bool bAny = false;
                for (const QString& strField : std::as_const(fields))
                    bAny = bAny || strField.contains(strWord);
                bAll = bAll && bAny;
            }
            if (!bAll)
                continue;
            ref.keys << QStringLiteral("%1:%2").arg(int(t.eKind)).arg(q.value(0).toLongLong());
            ref.*t.pTotal += nCents;
        }
    }
    ref.keys.sort();
    return ref;
}

SRef Found(const QString& strUser, const SQuery& query, CRecordSearch::EMethod eMethod,
           const QString& strConnection = CDatabase::DefaultConnection) {
    const CRecordSearch::SResult result =
        CRecordSearch::Find(strUser, query, eMethod, -1, strConnection);
    SRef found;
    for (const CRecordSearch::SRow& row : result.rows)
        found.keys << QStringLiteral("%1:%2").arg(int(row.eKind) + 1).arg(row.nId);
    found.keys.sort();
    found.nIncome = result.nIncomeCents;
    found.nOutlay = result.nOutlayCents;
    found.nTransfer = result.nTransferCents;
    return found;
}

// What differs between the search (both ways) and the row-by-row filter; "" when nothing.
QString Difference(const QString& strUser, const SQuery& query) {
    const SRef ref = Reference(strUser, query);
    for (const auto eMethod : {CRecordSearch::EMethod::Kept, CRecordSearch::EMethod::Plain}) {
        const SRef found = Found(strUser, query, eMethod);
        const QString strWay = eMethod == CRecordSearch::EMethod::Kept ? QStringLiteral("kept")
                                                                       : QStringLiteral("plain");
        if (found.keys != ref.keys)
            return QStringLiteral("%1: found %2, expected %3")
                .arg(strWay, found.keys.join(QLatin1Char(' ')), ref.keys.join(QLatin1Char(' ')));
        if (found.nIncome != ref.nIncome || found.nOutlay != ref.nOutlay ||
            found.nTransfer != ref.nTransfer)
            return QStringLiteral("%1: totals differ").arg(strWay);
    }
    return QString();
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One random book, a table of queries; each user sees exactly their own rows.
    void findsWhatARowByRowFilterFinds() {
        CTestBook book;
        AddRandomBook(7);
        const QDate none;
        const std::optional<std::int64_t> open;
        const auto all = EKinds::All;
        const struct {
            const char* pszName;
            SQuery query;
        } cases[] = {
            {"everything", {QString(), open, open, none, none, all}},
            {"one Chinese character", {QStringLiteral("饭"), open, open, none, none, all}},
            {"two characters", {QStringLiteral("午饭"), open, open, none, none, all}},
            {"two characters, widths", {QStringLiteral("Ｆｃ"), open, open, none, none, all}},
            {"first character of the words", {QStringLiteral("用"), open, open, none, none, all}},
            {"short words across fields", {QStringLiteral("饭 现金"), open, open, none, none, all}},
            {"beyond the basic plane", {QStringLiteral("🍜面 🍜面馆"), open, open, none, none, all}},
            {"Chinese inside a note", {QStringLiteral("修水管"), open, open, none, none, all}},
            {"half width finds full", {QStringLiteral("kfc"), open, open, none, none, all}},
            {"full width finds half", {QStringLiteral("ＫＦＣ"), open, open, none, none, all}},
            {"case", {QStringLiteral("pLuMbEr"), open, open, none, none, all}},
            {"every word", {QStringLiteral("plumber 王"), open, open, none, none, all}},
            {"words across fields", {QStringLiteral("bonus 现金"), open, open, none, none, all}},
            {"category", {QStringLiteral("水电燃气"), open, open, none, none, all}},
            {"account", {QStringLiteral("ｃｍｂ"), open, open, none, none, all}},
            {"percent is a letter", {QStringLiteral("100%"), open, open, none, none, all}},
            {"underscore is a letter", {QStringLiteral("a_b"), open, open, none, none, all}},
            {"ideographic space", {QStringLiteral("红包　利息"), open, open, none, none, all}},
            {"changed by hand", {QStringLiteral("改过的note"), open, open, none, none, all}},
            {"nothing", {QStringLiteral("没有这个词"), open, open, none, none, all}},
            {"amount exactly", {QString(), 3550, 3550, none, none, all}},
            {"amount range", {QString(), 1000, 12000, none, none, all}},
            {"amount from", {QStringLiteral("饭"), 12000, open, none, none, all}},
            {"dates", {QString(), open, open, QDate(2024, 2, 1), QDate(2024, 2, 29), all}},
            {"one day", {QString(), open, open, QDate(2024, 1, 15), QDate(2024, 1, 15), all}},
            {"dates turned round",
             {QString(), open, open, QDate(2024, 3, 1), QDate(2024, 2, 1), all}},
            {"income", {QStringLiteral("bonus"), open, open, none, none, EKinds::Income}},
            {"outlay", {QStringLiteral("银行"), open, 20000, none, none, EKinds::Outlay}},
            {"transfers",
             {QStringLiteral("现金"), open, open, QDate(2024, 1, 10), none, EKinds::Transfer}},
            {"all at once",
             {QStringLiteral("ｋｆｃ 外卖"), 50, 40000, QDate(2024, 1, 5), QDate(2024, 3, 20),
              EKinds::Outlay}},
        };
        for (const auto& c : cases)
            for (const QString& strUser : {Me, Other}) {
                const QString strDifference = Difference(strUser, c.query);
                QVERIFY2(strDifference.isEmpty(),
                         qPrintable(QStringLiteral("%1, %2: %3")
                                        .arg(QLatin1String(c.pszName), strUser, strDifference)));
            }
        // The queries found something, or the comparison proves little.
        QVERIFY(CRecordSearch::Find(Me, cases[7].query).rows.size() > 3);
        QVERIFY(CRecordSearch::Find(Me, cases[3].query).rows.size() > 3);
        // PostgreSQL looked the short words up among the pieces.
        QCOMPARE(CSearchText::HasPieces(), !CDatabase::Dialect().IsSQLite());
    }

    // A book whose kept words are missing or were made otherwise (an older copy, a hand edit)
    // gets them built from its records: a small book at once when it is opened, a long one in
    // steps that survive being stopped anywhere (the copy killed: its connection gone), while
    // another copy writes. Either way the words end as a fresh build makes them, and every
    // search meanwhile answers right. A random book of another seed.
    void keptWordsAreBuiltAtOpeningOrInSteps() {
        CTestBook book;
        AddRandomBook(11);
        const QString strOther = QStringLiteral("other-copy");
        CDatabase::SetUrl(book.Url(), strOther);
        using namespace CKeptCheck;
        const auto found = [] {
            for (const QString& strWords : {QStringLiteral("饭"), QStringLiteral("ｐｌｕｍｂｅｒ"),
                                            QStringLiteral("现金 bonus"), QStringLiteral("改过")})
                for (const QString& strUser : {Me, Other}) {
                    const QString strDifference =
                        Difference(strUser, SQuery{strWords, {}, {}, {}, {}, EKinds::All});
                    if (!strDifference.isEmpty())
                        return strWords + QStringLiteral(": ") + strDifference;
                }
            return QString();
        };

        RemakeKeptWords(1000000);
        QVERIFY(CSearchText::Filled().IsDone());
        QCOMPARE(found(), QString());
        // PostgreSQL: words kept before their pieces were indexed get the index at the next
        // opening.
        if (!CDatabase::Dialect().IsSQLite()) {
            QVERIFY(QSqlQuery(CDatabase::Connection())
                        .exec(QStringLiteral("DROP INDEX \"IX_SearchText_Pieces\"")));
            CDatabase::Close(CDatabase::DefaultConnection);
            CDatabase::Open(CDatabase::DefaultConnection);
            QVERIFY(CSearchText::HasPieces());
            QCOMPARE(found(), QString());
        }
        const QStringList fresh = KeptWordsLines();
        QCOMPARE(fresh.size(), RecordRows());

        // Every opening meanwhile (the other copy's too) leaves the filling to the steps.
        const qint64 nWas = CSearchSchema::SetOpeningFill(10);
        RemakeKeptWords(10);
        CSearchText::SFill fill = CSearchText::Filled();
        QVERIFY(!fill.IsDone());
        QVERIFY(!CSearchText::IsReady());
        QCOMPARE(found(), QString()); // read row by row meanwhile
        fill = CSearchText::FillStep(40);
        QVERIFY(fill.nDone > 0 && !fill.IsDone());
        // Another copy changes a row not filled yet, removes one and adds one; the copy
        // stepping is killed and opened again.
        {
            CTransaction tx(strOther);
            QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT MAX(\"编号\") FROM \"Outlay\""),
                                          {}, strOther);
            QVERIFY(q.next());
            const qint64 nLast = q.value(0).toLongLong();
            CDatabase::Exec(QStringLiteral("UPDATE \"Outlay\" SET \"Note\" = ? WHERE \"编号\" = ?"),
                            {QStringLiteral("改过的午饭"), nLast - 1}, strOther);
            CDatabase::Exec(QStringLiteral("DELETE FROM \"Outlay\" WHERE \"编号\" = ?"),
                            {nLast - 2}, strOther);
            tx.Commit();
        }
        CTestRows::AddRecord<CIncomeSet>(Me, QDateTime(FirstDay, QTime()), Banks[0], Sorts[0],
                                         QStringLiteral("新的午饭"), 12.5);
        CDatabase::Close(CDatabase::DefaultConnection);
        CDatabase::Open(CDatabase::DefaultConnection);
        QCOMPARE(CSearchText::Filled().nDone, fill.nDone);
        while (!fill.IsDone()) {
            fill = CSearchText::FillStep(40, strOther);
            QCOMPARE(found(), QString());
        }
        QVERIFY(CSearchText::IsReady());
        CSearchSchema::SetOpeningFill(nWas);
        const QStringList stepped = KeptWordsLines();
        RemakeKeptWords(1000000);
        QCOMPARE(stepped, KeptWordsLines());
        QCOMPARE(stepped.size(), RecordRows());
        CDatabase::Close(strOther);
    }

    // Another copy's record is found as soon as that copy committed it.
    void anotherCopysRecordIsFound() {
        CTestBook book;
        const QString strOther = QStringLiteral("other-copy");
        CDatabase::SetUrl(book.Url(), strOther);
        CTestRows::AddBank(Me, QStringLiteral("现金"), 0);
        const SQuery query{QStringLiteral("水管工"), {}, {}, {}, {}, EKinds::All};
        QCOMPARE(CRecordSearch::Find(Me, query).rows.size(), 0);
        {
            CTransaction tx(strOther);
            CDayBook(ERecordKind::Outlay, Me, strOther)
                .Confirm(QDate(2024, 5, 6), QStringLiteral("现金"),
                         SDayEdit::Adding(
                             {{QStringLiteral("其它支出"), QStringLiteral("请水管工"), 120.5, 0}}));
            QCOMPARE(CRecordSearch::Find(Me, query).rows.size(), 0); // not committed yet
            tx.Commit();
        }
        const CRecordSearch::SResult result = CRecordSearch::Find(Me, query);
        QCOMPARE(result.rows.size(), 1);
        QCOMPARE(result.rows[0].day, QDate(2024, 5, 6));
        QCOMPARE(result.nOutlayCents, 12050);
        QCOMPARE(CRecordSearch::Find(Other, query).rows.size(), 0); // another user's? never
        CDatabase::Close(strOther);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestSearch)
#include "tst_search.moc"
