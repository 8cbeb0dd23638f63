#include "cbookgenerator.h"

#include "data/cdbexception.h"
#include "data/ctransaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Bump when the generated rows change, so stale cached books are not reused.
constexpr int FormatVersion = 1;

// splitmix64: tiny, and unlike the standard distributions gives the same numbers
// with every compiler and library.
class CRandom {
public:
    explicit CRandom(std::uint64_t nSeed) : m_nState(nSeed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_nState += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform enough in [nLow, nHigh] for a benchmark book.
    std::int64_t Between(std::int64_t nLow, std::int64_t nHigh) {
        return nLow + std::int64_t(Next() % std::uint64_t(nHigh - nLow + 1));
    }

private:
    std::uint64_t m_nState;
};

QSqlQuery Prepare(const QSqlDatabase& db, const QString& strSql) {
    QSqlQuery query(db);
    if (!query.prepare(strSql))
        throw CDBException(query.lastError().text());
    return query;
}

void Run(QSqlQuery& query) {
    if (!query.exec())
        throw CDBException(query.lastError().text());
}

QVariant Yuan(std::int64_t nCents) {
    return double(nCents) / 100.0;
}

} // namespace

QString CBookGenerator::UserName(int nIndex) {
    return QStringLiteral("用户%1").arg(nIndex + 1, 2, 10, QLatin1Char('0'));
}

const QString& CBookGenerator::DefaultUser() {
    static const QString s_strUser = [] {
        const QString strPg = qEnvironmentVariable("LEDGERKIN_BENCH_PG");
        if (strPg.isEmpty())
            OpenCached(BenchOptions());
        else
            OpenPostgres(BenchOptions(), strPg);
        return UserName(0);
    }();
    return s_strUser;
}

void CBookGenerator::OpenPostgres(const SOptions& options, const QString& strUrl,
                                  const QString& strConnection) {
    CDatabase::SetUrl(strUrl, strConnection);
    CDatabase::Open(strConnection);
    QSqlQuery query =
        CDatabase::Exec(QStringLiteral("SELECT COUNT(*) FROM \"User\""), {}, strConnection);
    if (query.next() && query.value(0).toLongLong() > 0)
        return;
    std::fprintf(stderr, "writing the benchmark book into %s (a few minutes, once)\n",
                 qPrintable(strUrl.section(QLatin1Char('@'), 1)));
    // Written without the triggers, as a book of a version before the kept tables: the
    // opening after it builds them in bulk (and says how long that took).
    QStringList drops;
    query = CDatabase::Exec(
        QStringLiteral("SELECT tgname, relname FROM pg_trigger JOIN pg_class ON pg_class.oid = "
                       "tgrelid WHERE NOT tgisinternal AND relnamespace = (SELECT oid FROM "
                       "pg_namespace WHERE nspname = current_schema())"),
        {}, strConnection);
    while (query.next())
        drops << QStringLiteral("DROP TRIGGER \"%1\" ON \"%2\"")
                     .arg(query.value(0).toString(), query.value(1).toString());
    query.finish();
    QSqlQuery drop(CDatabase::Connection(strConnection));
    for (const QString& strSql : std::as_const(drops))
        if (!drop.exec(strSql))
            throw CDBException(drop.lastError().text());
    Write(options, strConnection);
    drop.exec(QStringLiteral("ANALYZE"));
    CDatabase::Close(strConnection);
    QElapsedTimer timer;
    timer.start();
    CDatabase::Open(strConnection);
    std::fprintf(stderr, "opening it took %lld ms (kept tables built)\n", qint64(timer.elapsed()));
    QSqlQuery(CDatabase::Connection(strConnection)).exec(QStringLiteral("ANALYZE"));
}

QStringList CBookGenerator::AccountNames(int nAccounts) {
    static const QStringList s_names = {
        QStringLiteral("现金"),     QStringLiteral("工商银行"), QStringLiteral("建设银行"),
        QStringLiteral("农业银行"), QStringLiteral("中国银行"), QStringLiteral("招商银行"),
    };
    QStringList list;
    for (int i = 0; i < nAccounts; ++i)
        list << (i < s_names.size() ? s_names[i] : QStringLiteral("帐户%1").arg(i + 1));
    return list;
}

QStringList CBookGenerator::IncomeCategories() {
    return {QStringLiteral("工资收入"), QStringLiteral("奖金收入"),   QStringLiteral("津贴收入"),
            QStringLiteral("股票收入"), QStringLiteral("房地产收入"), QStringLiteral("债券收入"),
            QStringLiteral("投资收入"), QStringLiteral("其它收入")};
}

QStringList CBookGenerator::OutlayCategories() {
    return {QStringLiteral("用餐支出"), QStringLiteral("购物支出"),     QStringLiteral("零食支出"),
            QStringLiteral("服装支出"), QStringLiteral("生活用品支出"), QStringLiteral("房租支出"),
            QStringLiteral("交通支出"), QStringLiteral("电话费支出"),   QStringLiteral("旅游支出"),
            QStringLiteral("娱乐支出"), QStringLiteral("医疗保健支出"), QStringLiteral("其它支出")};
}

QString CBookGenerator::CachePath(const SOptions& o, const QString& strDir) {
    // FNV-1a over every option, so two option sets never share a file.
    std::uint64_t h = 1469598103934665603ULL;
    auto mix = [&h](std::uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            h ^= (v >> (8 * i)) & 0xFF;
            h *= 1099511628211ULL;
        }
    };
    mix(FormatVersion);
    mix(std::uint64_t(o.nUsers));
    mix(std::uint64_t(o.nYears));
    mix(std::uint64_t(o.nFirstYear));
    mix(std::uint64_t(o.nRecordsPerDay));
    mix(std::uint64_t(o.nAccounts));
    mix(std::uint64_t(o.nTransfersPerMonth));
    mix(o.bPlaceholders ? 1 : 0);
    mix(o.nSeed);
    return QDir(strDir).filePath(QStringLiteral("book-%1y-%2u-%3r-%4.db")
                                     .arg(o.nYears)
                                     .arg(o.nUsers)
                                     .arg(o.nRecordsPerDay)
                                     .arg(QString::number(h & 0xFFFFFFFFULL, 16)));
}

QString CBookGenerator::OpenCached(const SOptions& options, const QString& strConnection) {
    const QString strDir = qEnvironmentVariable("LEDGERKIN_BENCH_DIR");
    const QString strPath = strDir.isEmpty() ? CachePath(options) : CachePath(options, strDir);
    if (!QFileInfo::exists(strPath)) {
        QDir().mkpath(QFileInfo(strPath).absolutePath());
        const QString strTemp =
            strPath + QStringLiteral(".tmp-%1").arg(QCoreApplication::applicationPid());
        for (const QString& strSuffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(strTemp + strSuffix);
        const QString strGen = strConnection + QStringLiteral("-generator");
        CDatabase::SetUrl(strTemp, strGen);
        try {
            // The file is thrown away if the run dies, so durability does not matter here.
            CDatabase::Exec(QStringLiteral("PRAGMA synchronous = OFF"), {}, strGen);
            // Written as a book of a version before the kept totals, as an upgrading household
            // has it; the first open below builds them (and says how long that took).
            DropKeptTotals(strGen);
            Write(options, strGen);
            CDatabase::Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"), {}, strGen);
        } catch (...) {
            CDatabase::Close(strGen);
            QFile::remove(strTemp);
            throw;
        }
        CDatabase::Close(strGen);
        // Another benchmark may have finished the same book meanwhile; either copy will do.
        if (!QFile::rename(strTemp, strPath))
            QFile::remove(strTemp);
        QFile::remove(strTemp + QStringLiteral("-wal"));
        QFile::remove(strTemp + QStringLiteral("-shm"));
    }
    CDatabase::SetUrl(strPath, strConnection);
    QElapsedTimer timer;
    timer.start();
    CDatabase::Open(strConnection);
    if (timer.elapsed() > 100)
        std::fprintf(stderr, "opening %s took %lld ms (kept totals built)\n", qPrintable(strPath),
                     qint64(timer.elapsed()));
    return strPath;
}

void CBookGenerator::DropKeptTotals(const QString& strConnection) {
    QSqlQuery query(CDatabase::Connection(strConnection));
    QStringList drops;
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'")))
        throw CDBException(query.lastError().text());
    while (query.next())
        drops << QStringLiteral("DROP TRIGGER \"%1\"").arg(query.value(0).toString());
    drops << QStringLiteral("DROP TABLE IF EXISTS \"DayTotals\"")
          << QStringLiteral("DROP TABLE IF EXISTS \"MonthSortTotals\"")
          << QStringLiteral("DROP TABLE IF EXISTS \"MonthTotals\"")
          << QStringLiteral("DROP TABLE IF EXISTS \"SortTotals\"")
          << QStringLiteral("DROP TABLE IF EXISTS \"YearTotals\"");
    for (const QString& strSql : drops)
        if (!query.exec(strSql))
            throw CDBException(query.lastError().text());
}

CBookGenerator::SOptions CBookGenerator::BenchOptions() {
    SOptions options;
    // "40y1u": 40 years, one user.
    const QString strBook = qEnvironmentVariable("LEDGERKIN_BENCH_BOOK");
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(\\d+)y(\\d+)u$")).match(strBook);
    if (m.hasMatch()) {
        options.nYears = m.captured(1).toInt();
        options.nUsers = m.captured(2).toInt();
    }
    return options;
}

void CBookGenerator::Write(const SOptions& o, const QString& strConnection) {
    const QSqlDatabase db = CDatabase::Connection(strConnection);
    const CSqlDialect& dialect = CDatabase::Dialect(strConnection);
    CTransaction transaction(strConnection);

    const QStringList incomeSorts = IncomeCategories();
    const QStringList outlaySorts = OutlayCategories();
    const QStringList accounts = AccountNames(o.nAccounts);
    const QStringList notes = {QStringLiteral(""),     QStringLiteral(""),
                               QStringLiteral("日常"), QStringLiteral("家里"),
                               QStringLiteral("朋友"), QStringLiteral("月度"),
                               QStringLiteral("临时")};

    const QDate first(o.nFirstYear, 1, 1);
    const QDate last(o.nFirstYear + o.nYears - 1, 12, 31);
    std::vector<QDate> days;
    std::vector<QVariant> boundDays;
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        days.push_back(d);
        boundDays.push_back(dialect.BindDate(d));
    }

    QSqlQuery user = Prepare(
        db, QStringLiteral("INSERT INTO \"User\" (\"UserName\", \"UserPwd\") VALUES (?, ?)"));
    QSqlQuery bank =
        Prepare(db, QStringLiteral("INSERT INTO \"Bank\" (\"UserName\", \"CardName\", \"CardSum\", "
                                   "\"CardCash\") VALUES (?, ?, ?, ?)"));
    QSqlQuery trs =
        Prepare(db, QStringLiteral("INSERT INTO \"Trs\" (\"UserName\", \"TrsDate\", \"TrsFrom\", "
                                   "\"TrsIn\", \"TrsAmount\") VALUES (?, ?, ?, ?, ?)"));
    QSqlQuery record[2];
    QSqlQuery placeholder[2];
    const char* const tables[2] = {"Income", "Outlay"};
    for (int t = 0; t < 2; ++t) {
        record[t] = Prepare(
            db, QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\", \"Sort\", \"Note\", "
                               "\"Amount\", \"Bank\") VALUES (?, ?, ?, ?, ?, ?)")
                    .arg(QLatin1String(tables[t])));
        placeholder[t] =
            Prepare(db, QStringLiteral("INSERT INTO \"%1\" (\"UserName\", \"Date\") VALUES (?, ?)")
                            .arg(QLatin1String(tables[t])));
    }

    CRandom random(o.nSeed);
    for (int u = 0; u < o.nUsers; ++u) {
        const QString strUser = UserName(u);
        user.bindValue(0, strUser);
        user.bindValue(1, QStringLiteral(""));
        Run(user);

        std::vector<std::int64_t> balances(accounts.size());
        for (auto& nCents : balances)
            nCents = random.Between(1000, 100000) * 100;

        for (std::size_t i = 0; i < days.size(); ++i) {
            for (int t = 0; t < 2; ++t) {
                if (o.bPlaceholders) {
                    placeholder[t].bindValue(0, strUser);
                    placeholder[t].bindValue(1, boundDays[i]);
                    Run(placeholder[t]);
                }
                const QStringList& sorts = t == 0 ? incomeSorts : outlaySorts;
                for (int r = 0; r < o.nRecordsPerDay; ++r) {
                    const int nAccount = int(random.Between(0, accounts.size() - 1));
                    const std::int64_t nCents =
                        t == 0 ? random.Between(1000, 200000) : random.Between(100, 50000);
                    balances[nAccount] += t == 0 ? nCents : -nCents;
                    record[t].bindValue(0, strUser);
                    record[t].bindValue(1, boundDays[i]);
                    record[t].bindValue(2, sorts[int(random.Between(0, sorts.size() - 1))]);
                    record[t].bindValue(3, notes[int(random.Between(0, notes.size() - 1))]);
                    record[t].bindValue(4, Yuan(nCents));
                    record[t].bindValue(5, accounts[nAccount]);
                    Run(record[t]);
                }
            }
            // Transfers on fixed days of the month, spread evenly.
            const int nDay = days[i].day();
            const int nStep = std::max(1, 28 / std::max(1, o.nTransfersPerMonth));
            if (o.nAccounts >= 2 && nDay <= 28 && (nDay - 1) % nStep == 0 &&
                (nDay - 1) / nStep < o.nTransfersPerMonth) {
                const int nFrom = int(random.Between(0, accounts.size() - 1));
                const int nIn = (nFrom + 1 + int(random.Between(0, accounts.size() - 2))) %
                                int(accounts.size());
                const std::int64_t nCents = random.Between(1000, 500000);
                balances[nFrom] -= nCents;
                balances[nIn] += nCents;
                trs.bindValue(0, strUser);
                trs.bindValue(1, boundDays[i]);
                trs.bindValue(2, accounts[nFrom]);
                trs.bindValue(3, accounts[nIn]);
                trs.bindValue(4, Yuan(nCents));
                Run(trs);
            }
        }

        for (int a = 0; a < accounts.size(); ++a) {
            bank.bindValue(0, strUser);
            bank.bindValue(1, accounts[a]);
            bank.bindValue(2, a == 0 ? QStringLiteral("随身现金") : QStringLiteral("储蓄卡"));
            bank.bindValue(3, Yuan(balances[a]));
            Run(bank);
        }
    }
    transaction.Commit();
}
