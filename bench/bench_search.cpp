#include "cbookgenerator.h"

#include "analysis/crecordsearch.h"
#include "data/cdatabase.h"
#include "data/csearchtext.h"

#include <QElapsedTimer>
#include <cstdio>

#include <QSqlQuery>
#include <QVariant>

// 查找 over one user of the 20-year book (146,000 records of the user among 1.46 million), as
// the box answers a keystroke:
//   Search            - a word of three characters ("水管工", in no record): the trigram index
//                       (PostgreSQL: the index of the words' pieces);
//   SearchShortWord   - two characters ("水管"): the user's kept words, read off their index
//                       (PostgreSQL: the index of the words' pieces);
//   SearchCommonWord  - two characters in a seventh of the notes ("朋友"): some 21,000 rows;
//   SearchAmount      - no words, one amount exactly (35.00).
// _RowByRow reads every record of the user and folds its words in the program (what a book
// without the kept words does); _BareSql is a plain LIKE over the three tables' fields, which
// neither folds full-width forms nor knows case beyond ASCII, and returns only the keys.
namespace {

using SQuery = CRecordSearch::SQuery;

constexpr qint64 FillStepRows = 5000;

SQuery Words(const QString& strWords) {
    SQuery query;
    query.strWords = strWords;
    return query;
}

SQuery Amount(std::int64_t nCents) {
    SQuery query;
    query.nMinCents = nCents;
    query.nMaxCents = nCents;
    return query;
}

// The benchmark book with its words filled: the first time (or after the kept words changed)
// in the steps the 查找 window takes, timed.
const QString& FilledUser() {
    static const QString s_strUser = [] {
        const QString& strUser = CBookGenerator::DefaultUser();
        CSearchText::SFill fill = CSearchText::Filled();
        if (!fill.IsDone()) {
            QElapsedTimer timer;
            timer.start();
            int nSteps = 0;
            for (; !fill.IsDone(); ++nSteps)
                fill = CSearchText::FillStep(FillStepRows);
            std::fprintf(stderr, "filling the words took %lld ms in %d steps\n",
                         qint64(timer.elapsed()), nSteps);
        }
        return strUser;
    }();
    return s_strUser;
}

void RunSearch(benchmark::State& state, const SQuery& query, CRecordSearch::EMethod eMethod) {
    const QString& strUser = FilledUser();
    int nRows = 0;
    for (auto _ : state) {
        // As the list asks after a keystroke: every hit with its count and totals, the texts
        // of the first page.
        const CRecordSearch::SResult result =
            CRecordSearch::Find(strUser, query, eMethod, CRecordSearch::PageRows);
        nRows = int(result.rows.size());
        benchmark::DoNotOptimize(result.nOutlayCents);
    }
    state.counters["rows"] = nRows;
}

void RunBareSql(benchmark::State& state, const QString& strWord, std::int64_t nCents = -1) {
    const QString& strUser = FilledUser();
    int nRows = 0;
    for (auto _ : state) {
        nRows = 0;
        for (const char* pszSql :
             {"SELECT \"编号\" FROM \"Income\" WHERE \"UserName\" = ? AND (\"Sort\" LIKE ? OR "
              "\"Note\" LIKE ? OR \"Bank\" LIKE ?)",
              "SELECT \"编号\" FROM \"Outlay\" WHERE \"UserName\" = ? AND (\"Sort\" LIKE ? OR "
              "\"Note\" LIKE ? OR \"Bank\" LIKE ?)",
              "SELECT \"编号\" FROM \"Trs\" WHERE \"UserName\" = ? AND (\"TrsFrom\" LIKE ? OR "
              "\"TrsIn\" LIKE ? OR ? = '')"}) {
            QString strSql = QString::fromUtf8(pszSql);
            QVariantList values{strUser, QStringLiteral("%") + strWord + QStringLiteral("%"),
                                QStringLiteral("%") + strWord + QStringLiteral("%"),
                                QStringLiteral("%") + strWord + QStringLiteral("%")};
            if (nCents >= 0) {
                strSql = strSql.section(QStringLiteral(" AND ("), 0, 0) +
                         (strSql.contains(QStringLiteral("Trs\""))
                              ? QStringLiteral(" AND \"TrsAmount\" = ?")
                              : QStringLiteral(" AND \"Amount\" = ?"));
                values = {strUser, double(nCents) / 100.0};
            }
            QSqlQuery q = CDatabase::Exec(strSql, values);
            while (q.next())
                ++nRows;
        }
    }
    state.counters["rows"] = nRows;
}

const QString Plumber = QStringLiteral("水管工");
const QString Pipe = QStringLiteral("水管");
const QString Friend = QStringLiteral("朋友");

void BM_Search_Ours(benchmark::State& state) {
    RunSearch(state, Words(Plumber), CRecordSearch::EMethod::Kept);
}
void BM_Search_RowByRow(benchmark::State& state) {
    RunSearch(state, Words(Plumber), CRecordSearch::EMethod::Plain);
}
void BM_Search_BareSql(benchmark::State& state) {
    RunBareSql(state, Plumber);
}
void BM_SearchShortWord_Ours(benchmark::State& state) {
    RunSearch(state, Words(Pipe), CRecordSearch::EMethod::Kept);
}
void BM_SearchShortWord_RowByRow(benchmark::State& state) {
    RunSearch(state, Words(Pipe), CRecordSearch::EMethod::Plain);
}
void BM_SearchShortWord_BareSql(benchmark::State& state) {
    RunBareSql(state, Pipe);
}
void BM_SearchCommonWord_Ours(benchmark::State& state) {
    RunSearch(state, Words(Friend), CRecordSearch::EMethod::Kept);
}
void BM_SearchCommonWord_RowByRow(benchmark::State& state) {
    RunSearch(state, Words(Friend), CRecordSearch::EMethod::Plain);
}
void BM_SearchCommonWord_BareSql(benchmark::State& state) {
    RunBareSql(state, Friend);
}
void BM_SearchAmount_Ours(benchmark::State& state) {
    RunSearch(state, Amount(3500), CRecordSearch::EMethod::Kept);
}
void BM_SearchAmount_BareSql(benchmark::State& state) {
    RunBareSql(state, QString(), 3500);
}

} // namespace

BENCHMARK(BM_Search_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search_RowByRow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search_BareSql)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchShortWord_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchShortWord_RowByRow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchShortWord_BareSql)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchCommonWord_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchCommonWord_RowByRow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchCommonWord_BareSql)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAmount_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAmount_BareSql)->Unit(benchmark::kMillisecond);

LEDGERKIN_BENCH_MAIN(QCoreApplication)
