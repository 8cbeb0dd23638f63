#include "cbookgenerator.h"

#include "accounts/caccountlist.h"
#include "analysis/cperiodstats.h"
#include "analysis/csumlistview.h"
#include "data/cbankset.h"
#include "data/cstoreddate.h"
#include "users/csession.h"

#include <QApplication>
#include <QSqlQuery>
#include <algorithm>

// The summary on a 20-year book (365 days x 10 income + 10 outlay records a day, ten users
// of that size): opening it (all figures, the account grid, the all-years brief), a year
// brief and a month brief. Each is measured three ways:
//   Ours      - what the summary view calls (View: the same through the real view);
//   RowByRow  - the original algorithm: every figure reads all of the user's rows of a table
//               in date order and tests each row, so a brief reads them once per period;
//   BareSql   - the statements the summary issues, alone: results stepped through, not read.
namespace {

// The view benchmark builds real widgets; no screen is needed for that.
const bool g_bOffscreen = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();

const int g_nYear = 2010;
const int g_nMonth = 6;

const QString& User() {
    return CBookGenerator::DefaultUser();
}

// ---- the row-by-row reference, as the original program computes it. Each figure walks all
// of the user's rows of a table in date order; here through a forward-only query of just the
// two columns it needs, which is cheaper than the original's record sets, so the speed-ups
// reported below are on the low side.

struct SRow {
    int nYear, nMonth, nDay;
    QString strDate;
    double dAmount;
};

template <class F> void Walk(const char* szTable, const QString& strUser, F&& fn) {
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral(
            "SELECT \"Date\", \"Amount\" FROM \"%1\" WHERE \"UserName\" = ? ORDER BY \"Date\"")
            .arg(QLatin1String(szTable)),
        {strUser});
    const CSqlDialect& dialect = CDatabase::Dialect();
    while (query.next()) {
        const QVariant date = query.value(0);
        const QDate d = dialect.ReadDateTime(date).date();
        if (!fn(SRow{d.year(), d.month(), d.day(), date.toString(), query.value(1).toDouble()}))
            break;
    }
}

const char* const Income = "Income";
const char* const Outlay = "Outlay";

// nMonth / nDay 0: any.
double RowSum(const char* szTable, const QString& strUser, int nYear, int nMonth, int nDay) {
    double dSum = 0.0;
    Walk(szTable, strUser, [&](const SRow& r) {
        if ((nYear == 0 || r.nYear == nYear) && (nMonth == 0 || r.nMonth == nMonth) &&
            (nDay == 0 || r.nDay == nDay))
            dSum += r.dAmount;
        return true;
    });
    return dSum;
}

// The year of the first row, or of the last one (a full walk: the original moves to the end).
int RowYear(const char* szTable, const QString& strUser, bool bFirst, bool& bAny) {
    int nYear = 0;
    bAny = false;
    Walk(szTable, strUser, [&](const SRow& r) {
        nYear = r.nYear;
        bAny = true;
        return !bFirst;
    });
    return nYear;
}

int RowFirstOrLastYear(const QString& strUser, bool bFirst) {
    bool bOutlay, bIncome;
    const int o = RowYear(Outlay, strUser, bFirst, bOutlay);
    const int i = RowYear(Income, strUser, bFirst, bIncome);
    if (!bOutlay && !bIncome)
        return 0;
    if (!bOutlay)
        return i;
    if (!bIncome)
        return o;
    return bFirst ? std::min(o, i) : std::max(o, i);
}

// First / last month of a year (nMonth 0) or day of a month. Forwards the walk stops at the
// first match; backwards it has to see every row (the original steps back from the end).
int RowEdgeOf(const char* szTable, const QString& strUser, bool bFirst, int nYear, int nMonth,
              bool& bFound) {
    int nResult = 0;
    bFound = false;
    Walk(szTable, strUser, [&](const SRow& r) {
        if (r.nYear == nYear && (nMonth == 0 || r.nMonth == nMonth)) {
            bFound = true;
            nResult = nMonth == 0 ? r.nMonth : r.nDay;
            return !bFirst;
        }
        return true;
    });
    return nResult;
}

int RowEdge(const QString& strUser, bool bFirst, int nYear, int nMonth) {
    if (nYear == 0)
        return 0;
    bool bOutlay = false, bIncome = false;
    const int o = RowEdgeOf(Outlay, strUser, bFirst, nYear, nMonth, bOutlay);
    const int i = RowEdgeOf(Income, strUser, bFirst, nYear, nMonth, bIncome);
    if (!bIncome)
        return o;
    if (!bOutlay)
        return i;
    return bFirst ? std::min(o, i) : std::max(o, i);
}

int RowDistinctDays(const char* szTable, const QString& strUser) {
    int n = 0;
    QString strLast;
    Walk(szTable, strUser, [&](const SRow& r) {
        if (r.strDate != strLast) {
            ++n;
            strLast = r.strDate;
        }
        return true;
    });
    return n;
}

// One brief: first and last period, then two full scans per period in between.
int RowBrief(const QString& strUser, int nYear, int nMonth) {
    int nFirst, nLast;
    if (nYear == 0) {
        nFirst = RowFirstOrLastYear(strUser, true);
        nLast = RowFirstOrLastYear(strUser, false);
    } else {
        nFirst = RowEdge(strUser, true, nYear, nMonth);
        nLast = RowEdge(strUser, false, nYear, nMonth);
    }
    int nRows = 0;
    for (int p = nFirst; p <= nLast; ++p) {
        const int y = nYear == 0 ? p : nYear;
        const int m = nYear == 0 ? 0 : (nMonth == 0 ? p : nMonth);
        const int d = nMonth == 0 ? 0 : p;
        const double dIn = RowSum(Income, strUser, y, m, d);
        const double dOut = RowSum(Outlay, strUser, y, m, d);
        if (dIn != 0.0 || dOut != 0.0)
            ++nRows;
    }
    return nRows;
}

// ---- the bare statements

int BareRows(const QString& strSql, const QVariantList& values) {
    QSqlQuery query = CDatabase::Exec(strSql, values);
    int n = 0;
    while (query.next())
        ++n;
    return n;
}

// The statement the summary issues: one row per distinct date of each table in the range.
QString BareDaysSql(bool bRange) {
    const CSqlDialect& d = CDatabase::Dialect();
    const QString date = QStringLiteral("\"Date\"");
    const QString strWhere =
        bRange ? QStringLiteral("\"UserName\" = ? AND \"Date\" >= ? AND \"Date\" < ?")
               : QStringLiteral("\"UserName\" = ?");
    return QStringLiteral(
               "SELECT 0, %1, %2, %3, SUM(ROUND(\"Amount\" * 100)) FROM \"Income\" WHERE %4 "
               "GROUP BY \"Date\" UNION ALL "
               "SELECT 1, %1, %2, %3, SUM(ROUND(\"Amount\" * 100)) FROM \"Outlay\" WHERE %4 "
               "GROUP BY \"Date\"")
        .arg(d.YearExpr(date), d.MonthExpr(date), d.DayExpr(date), strWhere);
}

QVariantList RangeValues(const QString& strUser, const QDate& from, const QDate& to) {
    const CSqlDialect& d = CDatabase::Dialect();
    return {strUser, d.BindDate(from), d.BindDate(to), strUser, d.BindDate(from), d.BindDate(to)};
}

// ---- opening the summary

void BM_OpenSummary_Ours(benchmark::State& state) {
    const QString& strUser = User();
    CPeriodStats stats;
    for (auto _ : state) {
        const CPeriodStats::SFigures f = stats.Figures(strUser);
        const auto accounts = CAccountList::Load(strUser);
        benchmark::DoNotOptimize(f.years.size() + accounts.size());
    }
}

// The first summary after a login, which also looks once through the user's dates for any the
// program cannot read (later figures reuse what it found).
void BM_OpenSummary_AfterLogin(benchmark::State& state) {
    const QString& strUser = User();
    CPeriodStats stats;
    for (auto _ : state) {
        CStoredDate::Forget();
        const CPeriodStats::SFigures f = stats.Figures(strUser);
        benchmark::DoNotOptimize(f.years.size());
    }
}

// The same through the real view: figures, grids and edits filled.
void BM_OpenSummary_View(benchmark::State& state) {
    CSession session;
    session.LogIn(User(), 0);
    CSumListView view(&session);
    for (auto _ : state)
        view.ShowSummary();
}

void BM_OpenSummary_RowByRow(benchmark::State& state) {
    const QString& strUser = User();
    for (auto _ : state) {
        double d = RowSum(Income, strUser, 0, 0, 0) + RowSum(Outlay, strUser, 0, 0, 0);
        CBankSet bank;
        bank.SetFilter(CRecordset::EFilter::User, {strUser});
        bank.Open();
        for (; !bank.IsEOF(); bank.MoveNext())
            d += bank.m_CardCash;
        int n = RowBrief(strUser, 0, 0);
        const int y1 = RowFirstOrLastYear(strUser, true);
        const int m1 = RowEdge(strUser, true, y1, 0);
        n += RowEdge(strUser, true, y1, m1);
        const int y2 = RowFirstOrLastYear(strUser, false);
        const int m2 = RowEdge(strUser, false, y2, 0);
        n += RowEdge(strUser, false, y2, m2);
        n += std::max(RowDistinctDays(Outlay, strUser), RowDistinctDays(Income, strUser));
        benchmark::DoNotOptimize(d + n);
    }
}

void BM_OpenSummary_BareSql(benchmark::State& state) {
    const QString& strUser = User();
    for (auto _ : state) {
        int n = BareRows(BareDaysSql(false), {strUser, strUser});
        n += BareRows(
            QStringLiteral("SELECT \"CardName\", \"CardCash\" FROM \"Bank\" WHERE \"UserName\" = ? "
                           "ORDER BY \"编号\""),
            {strUser});
        benchmark::DoNotOptimize(n);
    }
}

// ---- year brief (months of one year)

// The all-years brief (a click on the user in the tree).
void BM_UserBrief_Ours(benchmark::State& state) {
    const QString& strUser = User();
    CPeriodStats stats;
    for (auto _ : state)
        benchmark::DoNotOptimize(stats.UserBrief(strUser).size());
}

void BM_YearBrief_Ours(benchmark::State& state) {
    const QString& strUser = User();
    CPeriodStats stats;
    for (auto _ : state)
        benchmark::DoNotOptimize(stats.YearBrief(strUser, g_nYear).size());
}

void BM_YearBrief_RowByRow(benchmark::State& state) {
    const QString& strUser = User();
    for (auto _ : state)
        benchmark::DoNotOptimize(RowBrief(strUser, g_nYear, 0));
}

void BM_YearBrief_BareSql(benchmark::State& state) {
    const QString& strUser = User();
    const QString strSql = BareDaysSql(true);
    const QVariantList values =
        RangeValues(strUser, QDate(g_nYear, 1, 1), QDate(g_nYear + 1, 1, 1));
    for (auto _ : state)
        benchmark::DoNotOptimize(BareRows(strSql, values));
}

// ---- month brief (days of one month)

void BM_MonthBrief_Ours(benchmark::State& state) {
    const QString& strUser = User();
    CPeriodStats stats;
    for (auto _ : state)
        benchmark::DoNotOptimize(stats.MonthBrief(strUser, g_nYear, g_nMonth).size());
}

void BM_MonthBrief_RowByRow(benchmark::State& state) {
    const QString& strUser = User();
    for (auto _ : state)
        benchmark::DoNotOptimize(RowBrief(strUser, g_nYear, g_nMonth));
}

void BM_MonthBrief_BareSql(benchmark::State& state) {
    const QString& strUser = User();
    const QString strSql = BareDaysSql(true);
    const QDate from(g_nYear, g_nMonth, 1);
    const QVariantList values = RangeValues(strUser, from, from.addMonths(1));
    for (auto _ : state)
        benchmark::DoNotOptimize(BareRows(strSql, values));
}

// The row-by-row runs take many seconds each: one iteration is plenty.
BENCHMARK(BM_OpenSummary_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSummary_View)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSummary_AfterLogin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSummary_RowByRow)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OpenSummary_BareSql)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UserBrief_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YearBrief_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YearBrief_RowByRow)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_YearBrief_BareSql)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthBrief_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthBrief_RowByRow)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MonthBrief_BareSql)->Unit(benchmark::kMillisecond);

} // namespace

LEDGERKIN_BENCH_MAIN(QApplication)
