// What following other copies' writes costs while the program sits idle: one poll of the
// change watcher on an open SQLite book (the timer runs it every CChangeWatcher::IntervalMs).
// Its CPU time divided by the interval is the idle cost (e.g. 20 us / 2 s = 0.001 %).
#include "data/cchangewatcher.h"
#include "data/cdatabase.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

static void BM_WatcherPoll(benchmark::State& state) {
    QTemporaryDir dir;
    CDatabase::SetUrl(dir.filePath(QStringLiteral("book.db")));
    CDatabase::Open();
    CChangeWatcher watcher;
    for (auto _ : state)
        watcher.Poll();
    CDatabase::Close();
}
BENCHMARK(BM_WatcherPoll)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
