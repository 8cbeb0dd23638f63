#include "accounts/caccountlist.h"
#include "accounts/ctransfer.h"
#include "analysis/cchartdata.h"
#include "analysis/cperiodstats.h"
#include "analysis/creportquery.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "data/cdbexception.h"
#include "records/ccategories.h"
#include "records/cdaybook.h"
#include "records/cdaylist.h"
#include "users/csavedpwd.h"
#include "users/cuseradmin.h"

#include <QTemporaryDir>
#include <QtTest>

// Users whose names a careless filter would mix up: a LIKE pattern ("a%", "a_"), a quote
// that ends a literal ("a'"), and a name that differs only in case ("A"). Each user's view
// of a shared book must be exactly its view of a book that holds only that user.
namespace {

const QStringList g_users = {QStringLiteral("a"), QStringLiteral("a%"), QStringLiteral("a_"),
                             QStringLiteral("a'"), QStringLiteral("A")};

QString Pwd(const QString& strUser) {
    return QStringLiteral("pw-") + strUser;
}

// A span across a year's end, so briefs have two years and two months to tell apart.
CBookBuilder::SOptions Options(int nUser) {
    CBookBuilder::SOptions o;
    o.firstDay = QDate(2004, 12, 20);
    o.nDays = 20;
    o.nRecordsPerDay = 3;
    o.nTransfers = 3;
    o.nSeed = 100 + std::uint64_t(nUser);
    return o;
}

QString Dates(const QVector<QDate>& dates) {
    QStringList list;
    for (const QDate& d : dates)
        list << d.toString(Qt::ISODate);
    return list.join(QLatin1Char(','));
}

QString Brief(const QVector<CPeriodStats::SBriefRow>& rows) {
    QStringList list;
    for (const auto& r : rows)
        list << QStringLiteral("%1:%2:%3").arg(r.nPeriod).arg(r.nIncome).arg(r.nOutlay);
    return list.join(QLatin1Char(','));
}

QString Rows(const CReportQuery::SResult& result) {
    QStringList list;
    for (const QStringList& row : result.rows)
        list << row.join(QLatin1Char('|'));
    return list.join(QLatin1Char(';')) + QStringLiteral(" total=%1").arg(result.nTotalCents);
}

QString Line(const CChartData::SLine& line) {
    return line.labels.join(QLatin1Char(',')) + QLatin1Char('=') + line.data.join(QLatin1Char(','));
}

// Everything the program shows one user — statistics, briefs, chart series, reports, day
// lists, daily views, transfer history, accounts — as lines of text.
QStringList Seen(const QString& strUser) {
    QStringList seen;
    QStringList errors;
    const CPeriodStats stats([&errors](const CDBException& e) { errors << e.m_strError; });
    const CPeriodStats::SFigures f = stats.Figures(strUser);
    seen << QStringLiteral("figures %1 %2 %3 %4 %5 %6")
                .arg(f.nTotalIncome)
                .arg(f.nTotalOutlay)
                .arg(f.firstDay.toString(Qt::ISODate), f.lastDay.toString(Qt::ISODate))
                .arg(f.nDayCount)
                .arg(Brief(f.years));
    seen << QStringLiteral("totals %1 %2 days %3 years %4-%5")
                .arg(stats.GetTotalIncome(strUser))
                .arg(stats.GetTotalOutlay(strUser))
                .arg(stats.GetDayCount(strUser))
                .arg(stats.GetFirstYear(strUser))
                .arg(stats.GetLastYear(strUser));
    seen << QStringLiteral("user brief ") + Brief(stats.UserBrief(strUser));
    for (int nYear : {2004, 2005}) {
        seen << QStringLiteral("year %1: %2 %3 months %4-%5 brief %6")
                    .arg(nYear)
                    .arg(stats.GetYearIncome(strUser, nYear))
                    .arg(stats.GetYearOutlay(strUser, nYear))
                    .arg(stats.GetFirstMonth(strUser, nYear))
                    .arg(stats.GetLastMonth(strUser, nYear))
                    .arg(Brief(stats.YearBrief(strUser, nYear)));
        const int nMonth = nYear == 2004 ? 12 : 1;
        seen << QStringLiteral("month %1-%2: %3 %4 days %5-%6 brief %7")
                    .arg(nYear)
                    .arg(nMonth)
                    .arg(stats.GetMonthIncome(strUser, nYear, nMonth))
                    .arg(stats.GetMonthOutlay(strUser, nYear, nMonth))
                    .arg(stats.GetFirstDay(strUser, nYear, nMonth))
                    .arg(stats.GetLastDay(strUser, nYear, nMonth))
                    .arg(Brief(stats.MonthBrief(strUser, nYear, nMonth)));
    }

    for (auto eTable : {CChartData::ETable::Income, CChartData::ETable::Outlay}) {
        const CChartData chart(eTable, strUser);
        seen << QStringLiteral("chart user ") + Line(chart.UserLine()) + QLatin1Char(' ') +
                    chart.UserSorts().join(QLatin1Char(','));
        seen << QStringLiteral("chart 2004 ") + Line(chart.YearLine(2004)) + QLatin1Char(' ') +
                    chart.YearSorts(2004).join(QLatin1Char(','));
        seen << QStringLiteral("chart 2005-1 ") + Line(chart.MonthLine(2005, 1)) +
                    QLatin1Char(' ') + chart.MonthSorts(2005, 1).join(QLatin1Char(','));
        for (int nSort = 1; nSort <= chart.Categories().size(); ++nSort)
            seen << QStringLiteral("sort %1: %2 %3 %4")
                        .arg(nSort)
                        .arg(chart.GetSortSum(nSort))
                        .arg(chart.GetYearSortSum(2004, nSort))
                        .arg(chart.GetMonthSortSum(2005, 1, nSort));
        seen << QStringLiteral("sums %1 %2 %3")
                    .arg(chart.GetYearSum(2005))
                    .arg(chart.GetMonthSum(2004, 12))
                    .arg(chart.GetDaySum(2004, 12, 24));
    }

    seen << QStringLiteral("accounts report ") + Rows(CReportQuery::AccountReport(strUser));
    seen << QStringLiteral("transfer report ") + Rows(CReportQuery::TransferReport(strUser));
    for (auto eTable : {CReportQuery::ETable::Income, CReportQuery::ETable::Outlay}) {
        const QString strStart = QStringLiteral("2004年1月1日");
        const QString strEnd = QStringLiteral("2005年12月31日");
        seen << QStringLiteral("dates ") + Dates(CReportQuery::RecordDates(strUser, eTable));
        seen << QStringLiteral("report ") + Rows(CReportQuery::RecordReport(
                                                strUser, eTable, std::nullopt, strStart, strEnd));
        const QString strSort = eTable == CReportQuery::ETable::Income
                                    ? CCategories::Income().front()
                                    : CCategories::Outlay().front();
        seen << QStringLiteral("sort report ") +
                    Rows(CReportQuery::RecordReport(strUser, eTable, strSort, strStart, strEnd));
    }

    for (ERecordKind eKind : {ERecordKind::Income, ERecordKind::Outlay}) {
        const CDayBook book(eKind, strUser);
        const QStringList accounts = book.Accounts();
        seen << QStringLiteral("day list ") + Dates(CDayList::Days(eKind, strUser));
        seen << QStringLiteral("book accounts ") + accounts.join(QLatin1Char(','));
        seen << QStringLiteral("first %1 last %2")
                    .arg(book.Step(CDayBook::EStep::First, QDate()).toString(Qt::ISODate),
                         book.Step(CDayBook::EStep::Last, QDate()).toString(Qt::ISODate));
        for (int d = -1; d <= 21; ++d) {
            const QDate day = QDate(2004, 12, 20).addDays(d);
            QStringList line{day.toString(Qt::ISODate),
                             book.HasDay(day) ? QStringLiteral("has") : QStringLiteral("no"),
                             book.Step(CDayBook::EStep::Next, day).toString(Qt::ISODate),
                             book.Step(CDayBook::EStep::Prev, day).toString(Qt::ISODate)};
            const auto totals = book.DayTotals(day);
            for (const QString& strCard : accounts) {
                line << QStringLiteral("%1=%2").arg(strCard).arg(totals.value(strCard));
                for (const SDayRecord& r : book.LoadDay(day, strCard))
                    line << QStringLiteral("%1/%2/%3").arg(r.strSort, r.strNote).arg(r.dAmount);
            }
            seen << line.join(QLatin1Char(' '));
        }
    }

    QStringList history;
    for (const CTransfer::SRow& r : CTransfer::History(strUser))
        history << QStringLiteral("%1 %2>%3 %4")
                       .arg(r.date.toString(Qt::ISODate), r.strFrom, r.strIn)
                       .arg(r.dAmount);
    seen << QStringLiteral("history ") + history.join(QLatin1Char(','));
    QStringList balances;
    for (const CAccountList::SAccount& a : CAccountList::Load(strUser))
        balances << QStringLiteral("%1=%2").arg(a.strName).arg(a.dCash);
    seen << QStringLiteral("balances ") + balances.join(QLatin1Char(','));
    seen << QStringLiteral("errors ") + errors.join(QLatin1Char(';'));
    return seen;
}

// These books are thrown away: spare the disk a flush per confirmed day.
void NoSync() {
    if (CDatabase::Dialect().IsSQLite())
        CDatabase::Exec(QStringLiteral("PRAGMA synchronous = OFF"));
}

// Dump lines of every user but one (the user name is the second column of every table).
QStringList Without(const QStringList& lines, const QString& strUser) {
    QStringList kept;
    for (const QString& line : lines)
        if (line.section(QLatin1Char('|'), 2, 2) != strUser)
            kept << line;
    return kept;
}

} // namespace

class TestIsolation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_keyDir.isValid());
        CSavedPwd::SetKeyFile(m_keyDir.filePath(QStringLiteral("savedpwd.key")));
    }

    // Reads: each user of the shared book sees what it would see alone.
    void eachUserSeesOnlyItsOwnRows() {
        QHash<QString, QStringList> alone;
        for (int i = 0; i < g_users.size(); ++i) {
            CTestBook book;
            NoSync();
            CBookBuilder::AddUser(g_users[i], Pwd(g_users[i]), Options(i));
            alone[g_users[i]] = Seen(g_users[i]);
        }

        CTestBook book;
        NoSync();
        // "a" first: a LIKE 'a%' or a case-blind delete while the later users confirm their
        // days would take "a"'s rows with them.
        for (int i = 0; i < g_users.size(); ++i)
            CBookBuilder::AddUser(g_users[i], Pwd(g_users[i]), Options(i));
        QCOMPARE(CBookBuilder::BalanceProblems(), QStringList());
        QCOMPARE(CUserAdmin::UserNames(), g_users);
        for (const QString& strUser : g_users) {
            const QStringList seen = Seen(strUser);
            QCOMPARE(seen.size(), alone[strUser].size());
            for (int i = 0; i < seen.size(); ++i)
                QCOMPARE(seen[i], alone[strUser][i]);
        }
    }

    // Writes through one user's name change nothing of the others.
    void writesStayWithTheirUser() {
        CTestBook book;
        NoSync();
        for (int i = 0; i < g_users.size(); ++i)
            CBookBuilder::AddUser(g_users[i], Pwd(g_users[i]), Options(i));
        const QString strLike = QStringLiteral("a%");
        const QString strOne = QStringLiteral("a_");
        const QStringList others = CBookBuilder::Dump(CDatabase::DefaultConnection, strLike);

        // Logins: one's password opens no other name.
        for (const QString& strUser : g_users)
            for (const QString& strOther : g_users)
                QCOMPARE(CUserAdmin::CheckPassword(strUser, Pwd(strOther)), strUser == strOther);

        QCOMPARE(CUserAdmin::ChangePassword(strLike, Pwd(strLike), QStringLiteral("neu")),
                 CUserAdmin::EChange::Changed);
        QVERIFY(CUserAdmin::StoreSaveChoice(strLike, true, Pwd(strLike)));
        const QVector<SDayRecord> rows{{CCategories::Income()[1], QStringLiteral("x"), 1.25}};
        CDayBook(ERecordKind::Income, strLike)
            .Confirm(QDate(2004, 12, 24), QStringLiteral("现金"), SDayEdit::Adding(rows));
        CDayBook outlay(ERecordKind::Outlay, strLike);
        outlay.Confirm(QDate(2004, 12, 25), QStringLiteral("银行"),
                       {{}, {}, outlay.LoadDay(QDate(2004, 12, 25), QStringLiteral("银行"))});
        QCOMPARE(CTransfer::Transfer(strLike, QDate(2005, 1, 2), QStringLiteral("现金"),
                                     QStringLiteral("银行"), 10),
                 CTransfer::EResult::Done);
        QCOMPARE(CBookBuilder::Dump(CDatabase::DefaultConnection, strLike), others);
        for (const QString& strUser : g_users) {
            bool bSave = false;
            QString strSaved;
            QVERIFY(CUserAdmin::SavedPassword(strUser, bSave, strSaved));
            QCOMPARE(bSave, strUser == strLike);
            QCOMPARE(strSaved, strUser == strLike ? Pwd(strLike) : QString());
        }

        // Deleting "a%" and then "a_" leaves every row of "a", "a'" and "A" as it was.
        QStringList expected = CBookBuilder::Dump();
        for (const QString& strGone : {strLike, strOne}) {
            QVERIFY(CUserAdmin::DeleteUser(strGone));
            expected = Without(expected, strGone);
            QCOMPARE(CBookBuilder::Dump(), expected);
        }
        QVERIFY(!CUserAdmin::DeleteUser(strOne));
        QCOMPARE(CUserAdmin::UserNames(),
                 QStringList({QStringLiteral("a"), QStringLiteral("a'"), QStringLiteral("A")}));
        QCOMPARE(CBookBuilder::WholenessProblems(), QStringList());
        QCOMPARE(CBookBuilder::BalanceProblems(), QStringList());
    }

private:
    QTemporaryDir m_keyDir;
};

LEDGERKIN_CORE_TEST_MAIN(TestIsolation)
#include "tst_isolation.moc"
