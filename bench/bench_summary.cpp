#include "cbookgenerator.h"

#include "data/cdatabase.h"

#include <QSqlQuery>

namespace {

void OpenBook() {
    static bool s_bOpen = false;
    if (!s_bOpen) {
        CBookGenerator::OpenCached(CBookGenerator::SOptions());
        s_bOpen = true;
    }
}

// The bare aggregate the year brief needs: income per year of one user.
void BM_BareYearSums(benchmark::State& state) {
    OpenBook();
    const CSqlDialect& d = CDatabase::Dialect();
    const QString strSql = QStringLiteral("SELECT %1, SUM(ROUND(\"Amount\" * 100)) FROM \"Income\" "
                                          "WHERE \"UserName\" = ? GROUP BY 1")
                               .arg(d.YearExpr(QStringLiteral("\"Date\"")));
    for (auto _ : state) {
        QSqlQuery q = CDatabase::Exec(strSql, {CBookGenerator::UserName(0)});
        int n = 0;
        while (q.next())
            ++n;
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_BareYearSums)->Unit(benchmark::kMillisecond);

} // namespace

LEDGERKIN_BENCH_MAIN(QCoreApplication)
