#include "cbookgenerator.h"

#include "analysis/cchartdata.h"
#include "analysis/coutchartview.h"
#include "users/csession.h"

#include <QApplication>
#include <QSqlQuery>

// The outlay charts on the 20-year book (365 days x 10 records a day, ten users of that
// size), for each scope: the line chart (years, months of a year, days of a month) and the
// category values that the bar and the pie chart share. Each is measured three ways:
//   Ours     - what the chart view asks of the core (View: all three charts through the real
//              view, Qt Charts drawing included);
//   RowByRow - the original algorithm: a walk over the user's rows in date order, and for
//              each point met one more full walk for its total; one walk per category;
//   BareSql  - the grouped statement we issue, alone: results stepped through, not read.
namespace {

const bool g_bOffscreen = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();

const int g_nYear = 2010;
const int g_nMonth = 6;
using ETable = CChartData::ETable;

const QString& User() {
    return CBookGenerator::DefaultUser();
}

// ---- the row-by-row reference. Each walk reads the user's rows in date order through a
// forward-only query of the columns it needs, which is cheaper than the original's record
// sets, so the speed-ups below are on the low side.

struct SRow {
    int nYear, nMonth, nDay;
    double dAmount;
    bool bHasAccount;
};

template <class F> void Walk(const QString& strUser, const QString* pSort, F&& fn) {
    QString strSql = QStringLiteral(
        "SELECT \"Date\", \"Amount\", \"Bank\" FROM \"Outlay\" WHERE \"UserName\" = ?");
    QVariantList values{strUser};
    if (pSort) {
        strSql += QStringLiteral(" AND \"Sort\" = ?");
        values << *pSort;
    }
    QSqlQuery query = CDatabase::Exec(strSql + QStringLiteral(" ORDER BY \"Date\""), values);
    const CSqlDialect& dialect = CDatabase::Dialect();
    while (query.next()) {
        const QDate d = dialect.ReadDateTime(query.value(0)).date();
        fn(SRow{d.year(), d.month(), d.day(), query.value(1).toDouble(),
                !query.value(2).toString().isEmpty()});
    }
}

// nMonth / nDay 0: any.
double RowSum(const QString& strUser, const QString* pSort, int nYear, int nMonth, int nDay) {
    double dSum = 0.0;
    Walk(strUser, pSort, [&](const SRow& r) {
        if ((nYear == 0 || r.nYear == nYear) && (nMonth == 0 || r.nMonth == nMonth) &&
            (nDay == 0 || r.nDay == nDay))
            dSum += r.dAmount;
    });
    return dSum;
}

// A line chart: every row with an account that starts a new point costs one more walk.
int RowLine(const QString& strUser, int nYear, int nMonth) {
    int nLast = 0, nPoints = 0;
    Walk(strUser, nullptr, [&](const SRow& r) {
        if (!r.bHasAccount || (nYear && r.nYear != nYear) || (nMonth && r.nMonth != nMonth))
            return;
        const int nKey = nYear == 0 ? r.nYear : (nMonth == 0 ? r.nMonth : r.nDay);
        if (nKey == nLast)
            return;
        nLast = nKey;
        ++nPoints;
        // The point's total: its year, its month or its day.
        benchmark::DoNotOptimize(
            RowSum(strUser, nullptr, r.nYear, nYear ? r.nMonth : 0, nMonth ? r.nDay : 0));
    });
    return nPoints;
}

double RowSorts(const QString& strUser, int nYear, int nMonth) {
    double d = 0.0;
    for (const CChartData::SCategory& c : CChartData::Categories(ETable::Outlay))
        d += RowSum(strUser, &c.strSort, nYear, nMonth, 0);
    return d;
}

// ---- the bare statements

int BareRows(const QString& strSql, const QVariantList& values) {
    QSqlQuery query = CDatabase::Exec(strSql, values);
    int n = 0;
    while (query.next())
        ++n;
    return n;
}

const QLatin1String kCents("SUM(CAST(ROUND(\"Amount\" * 100) AS BIGINT))");

int BareLine(const QString& strKey, const QDate& from, const QDate& to) {
    QVariantList values{User()};
    QString strRange;
    if (from.isValid()) {
        values << CDatabase::Dialect().BindDate(from) << CDatabase::Dialect().BindDate(to);
        strRange = QStringLiteral(" AND \"Date\" >= ? AND \"Date\" < ?");
    }
    return BareRows(QStringLiteral("SELECT %1, %2, MAX(CASE WHEN COALESCE(\"Bank\", '') <> '' "
                                   "THEN 1 ELSE 0 END) FROM \"Outlay\" WHERE \"UserName\" = ?%3 "
                                   "GROUP BY %1")
                        .arg(strKey, kCents, strRange),
                    values);
}

int BareSorts(const QDate& from, const QDate& to) {
    QVariantList values{User()};
    QString strRange;
    if (from.isValid()) {
        values << CDatabase::Dialect().BindDate(from) << CDatabase::Dialect().BindDate(to);
        strRange = QStringLiteral(" AND \"Date\" >= ? AND \"Date\" < ?");
    }
    return BareRows(QStringLiteral("SELECT \"Sort\", %1 FROM \"Outlay\" WHERE \"UserName\" = ?%2 "
                                   "GROUP BY \"Sort\"")
                        .arg(kCents, strRange),
                    values);
}

QString Date() {
    return QStringLiteral("\"Date\"");
}

// ---- user scope

void BM_UserLine_Ours(benchmark::State& state) {
    const CChartData data(ETable::Outlay, User());
    for (auto _ : state)
        benchmark::DoNotOptimize(data.UserLine().data.size());
}
void BM_UserLine_RowByRow(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(RowLine(User(), 0, 0));
}
void BM_UserLine_BareSql(benchmark::State& state) {
    User();
    for (auto _ : state)
        benchmark::DoNotOptimize(BareLine(CDatabase::Dialect().YearExpr(Date()), {}, {}));
}
void BM_UserSorts_Ours(benchmark::State& state) {
    const CChartData data(ETable::Outlay, User());
    for (auto _ : state)
        benchmark::DoNotOptimize(data.UserSorts().size());
}
void BM_UserSorts_RowByRow(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(RowSorts(User(), 0, 0));
}
void BM_UserSorts_BareSql(benchmark::State& state) {
    User();
    for (auto _ : state)
        benchmark::DoNotOptimize(BareSorts({}, {}));
}

// ---- year scope

void BM_YearLine_Ours(benchmark::State& state) {
    const CChartData data(ETable::Outlay, User());
    for (auto _ : state)
        benchmark::DoNotOptimize(data.YearLine(g_nYear).data.size());
}
void BM_YearLine_RowByRow(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(RowLine(User(), g_nYear, 0));
}
void BM_YearLine_BareSql(benchmark::State& state) {
    User();
    const QDate from(g_nYear, 1, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            BareLine(CDatabase::Dialect().MonthExpr(Date()), from, from.addYears(1)));
}
void BM_YearSorts_Ours(benchmark::State& state) {
    const CChartData data(ETable::Outlay, User());
    for (auto _ : state)
        benchmark::DoNotOptimize(data.YearSorts(g_nYear).size());
}
void BM_YearSorts_RowByRow(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(RowSorts(User(), g_nYear, 0));
}
void BM_YearSorts_BareSql(benchmark::State& state) {
    User();
    const QDate from(g_nYear, 1, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(BareSorts(from, from.addYears(1)));
}

// ---- month scope

void BM_MonthLine_Ours(benchmark::State& state) {
    const CChartData data(ETable::Outlay, User());
    for (auto _ : state)
        benchmark::DoNotOptimize(data.MonthLine(g_nYear, g_nMonth).data.size());
}
void BM_MonthLine_RowByRow(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(RowLine(User(), g_nYear, g_nMonth));
}
void BM_MonthLine_BareSql(benchmark::State& state) {
    User();
    const QDate from(g_nYear, g_nMonth, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            BareLine(CDatabase::Dialect().DayExpr(Date()), from, from.addMonths(1)));
}
void BM_MonthSorts_Ours(benchmark::State& state) {
    const CChartData data(ETable::Outlay, User());
    for (auto _ : state)
        benchmark::DoNotOptimize(data.MonthSorts(g_nYear, g_nMonth).size());
}
void BM_MonthSorts_RowByRow(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(RowSorts(User(), g_nYear, g_nMonth));
}
void BM_MonthSorts_BareSql(benchmark::State& state) {
    User();
    const QDate from(g_nYear, g_nMonth, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(BareSorts(from, from.addMonths(1)));
}

// ---- a whole scope through the real view: line, bar and pie, as a click in the tree does

template <int nScope> void BM_View(benchmark::State& state) {
    CSession session;
    session.LogIn(User(), 0);
    COutChartView view(&session);
    view.resize(1100, 800);
    for (auto _ : state) {
        if (nScope == 0) {
            view.DrawUserLine();
            view.DrawUserBar();
            view.DrawUserPie();
        } else if (nScope == 1) {
            view.DrawYearLine(g_nYear);
            view.DrawYearBar(g_nYear);
            view.DrawYearPie(g_nYear);
        } else {
            view.DrawMonthLine(g_nYear, g_nMonth);
            view.DrawMonthBar(g_nYear, g_nMonth);
            view.DrawMonthPie(g_nYear, g_nMonth);
        }
    }
}
void BM_UserScope_View(benchmark::State& state) {
    BM_View<0>(state);
}
void BM_YearScope_View(benchmark::State& state) {
    BM_View<1>(state);
}
void BM_MonthScope_View(benchmark::State& state) {
    BM_View<2>(state);
}

// A row-by-row run walks the user's rows dozens of times: one iteration is plenty.
#define LEDGERKIN_CHART_BENCH(Name)                                                                \
    BENCHMARK(BM_##Name##_Ours)->Unit(benchmark::kMillisecond);                                    \
    BENCHMARK(BM_##Name##_RowByRow)->Unit(benchmark::kMillisecond)->Iterations(1);                 \
    BENCHMARK(BM_##Name##_BareSql)->Unit(benchmark::kMillisecond)

LEDGERKIN_CHART_BENCH(UserLine);
LEDGERKIN_CHART_BENCH(UserSorts);
LEDGERKIN_CHART_BENCH(YearLine);
LEDGERKIN_CHART_BENCH(YearSorts);
LEDGERKIN_CHART_BENCH(MonthLine);
LEDGERKIN_CHART_BENCH(MonthSorts);
BENCHMARK(BM_UserScope_View)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YearScope_View)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthScope_View)->Unit(benchmark::kMillisecond);

} // namespace

LEDGERKIN_BENCH_MAIN(QApplication)
