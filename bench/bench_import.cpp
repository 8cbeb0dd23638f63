#include "cbookgenerator.h"

#include "import/cimporter.h"
#include "import/cimportfilepage.h"
#include "import/cimportwizard.h"
#include "import/cpreviewmodel.h"
#include "import/cstatementfile.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QStringEncoder>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

// Importing a 支付宝 statement: reading the GB18030 file, the preview (categories,
// duplicates against earlier imports and the book) and writing the ticked rows; and the
// same through the wizard, measuring how long the window goes without answering.
namespace {

const QString kUser = QStringLiteral("导入用户");

// A statement of nRows rows over the year 2024: mostly outlay, some income, refunds and
// rows that move no money, with quoted notes. Written in slices, so a big file costs the
// writer little memory.
// bUtf8: as the newer exports write it, UTF-8 with longer goods texts (about 140 bytes a row).
QString WriteStatement(const QTemporaryDir& dir, int nRows, bool bUtf8 = false) {
    const QString strPath = dir.filePath(QStringLiteral("statement-%1.csv").arg(nRows));
    QFile f(strPath);
    f.open(QIODevice::WriteOnly);
    QStringEncoder enc(bUtf8 ? "UTF-8" : "GB18030");
    const QString strMore =
        bUtf8 ? QStringLiteral(" 颜色 红色 尺码 L 款式 新款 包装 盒装") : QString();
    QString s = QStringLiteral(
        "支付宝交易记录明细查询\n账号:[bench@example.com]\n"
        "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,"
        "商家订单号,备注\n");
    const QStringList counterparts = {QStringLiteral("肯德基"),   QStringLiteral("滴滴出行"),
                                      QStringLiteral("淘宝商家"), QStringLiteral("中国移动"),
                                      QStringLiteral("某公司"),   QStringLiteral("面馆")};
    for (int i = 0; i < nRows; ++i) {
        const QDate day = QDate(2024, 1, 1).addDays(i % 366);
        const bool bIncome = i % 10 == 0;
        const char* szStatus = i % 37 == 0 ? "交易关闭" : (i % 29 == 0 ? "退款成功" : "交易成功");
        s += QStringLiteral("%1 %2:%3:00,分类,%4,,\"商品 %5, 规格%11\",%6,%7.%8,,%9,B%10,,\n")
                 .arg(day.toString(Qt::ISODate))
                 .arg(8 + i % 12, 2, 10, QLatin1Char('0'))
                 .arg(i % 60, 2, 10, QLatin1Char('0'))
                 .arg(counterparts[i % counterparts.size()])
                 .arg(i)
                 .arg(bIncome ? QStringLiteral("收入") : QStringLiteral("支出"))
                 .arg(1 + i % 500)
                 .arg(i % 100, 2, 10, QLatin1Char('0'))
                 .arg(QString::fromUtf8(szStatus))
                 .arg(i)
                 .arg(strMore);
        if (i % 10000 == 9999) {
            f.write(enc.encode(s));
            s.clear();
        }
    }
    f.write(enc.encode(s));
    return strPath;
}

// The process's peak resident memory so far, in MB (VmHWM).
double PeakRssMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// A fresh SQLite book with the user and two accounts.
void FreshBook(const QTemporaryDir& dir, int nRun) {
    CDatabase::SetUrl(dir.filePath(QStringLiteral("book-%1.db").arg(nRun)));
    CDatabase::Exec(QStringLiteral("INSERT INTO \"User\" (\"UserName\") VALUES (?)"), {kUser});
    for (const char* szCard : {"现金", "招商银行"})
        CDatabase::Exec(
            QStringLiteral("INSERT INTO \"Bank\" (\"UserName\", \"CardName\") VALUES (?, ?)"),
            {kUser, QString::fromUtf8(szCard)});
}

// bKeptTotals false: the book as it was before it kept totals (no totals tables, no
// triggers), the figure the import's cost with them is held against.
void Import10000(benchmark::State& state, bool bKeptTotals) {
    QTemporaryDir dir;
    const QString strPath = WriteStatement(dir, 10000);
    int nRun = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FreshBook(dir, nRun++);
        if (!bKeptTotals)
            CBookGenerator::DropKeptTotals();
        state.ResumeTiming();
        CStatementFile file;
        file.Load(strPath);
        const SStatement st = file.Read(file.Detected());
        CImporter importer(kUser);
        CPreviewRows rows;
        importer.Preview(st, QStringLiteral("现金"), importer.Rules(), rows);
        const CImporter::SResult result = importer.Import(rows);
        benchmark::DoNotOptimize(result.nOutlay);
    }
    CDatabase::Close();
}
void BM_Import10000(benchmark::State& state) {
    Import10000(state, true);
}
void BM_Import10000_NoKeptTotals(benchmark::State& state) {
    Import10000(state, false);
}
BENCHMARK(BM_Import10000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Import10000_NoKeptTotals)->Unit(benchmark::kMillisecond)->Iterations(3);

// A statement of nRows rows (UTF-8, about 144 bytes a row) read, previewed and written as the
// wizard does it, in one process: "peak_rss_mb" is the process's peak resident memory (goal
// 150 MB for the 50 MB file). Run each alone (--benchmark_filter=Import50MB, Import5MB,
// ImportSmall) so no other benchmark's peak is counted.
void ImportMemory(benchmark::State& state, int nRows) {
    QTemporaryDir dir;
    const QString strPath = WriteStatement(dir, nRows, true);
    state.counters["file_mb"] = double(QFileInfo(strPath).size()) / (1024.0 * 1024.0);
    for (auto _ : state) {
        FreshBook(dir, 0);
        CStatementFile file;
        file.Load(strPath);
        SStatement st = file.Read(file.Detected());
        CImporter importer(kUser);
        CPreviewRows rows;
        importer.Preview(std::move(st), QStringLiteral("现金"), importer.Rules(), rows);
        const CImporter::SResult result = importer.Import(rows);
        state.counters["rows_written"] = result.nIncome + result.nOutlay;
    }
    state.counters["peak_rss_mb"] = PeakRssMb();
    CDatabase::Close();
}
void BM_Import50MB_Memory(benchmark::State& state) {
    ImportMemory(state, 360000);
}
void BM_Import5MB_Memory(benchmark::State& state) {
    ImportMemory(state, 36000);
}
void BM_ImportSmall_Memory(benchmark::State& state) {
    ImportMemory(state, 1000);
}
BENCHMARK(BM_Import50MB_Memory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Import5MB_Memory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportSmall_Memory)->Unit(benchmark::kMillisecond)->Iterations(1);

// 100,000 rows through the wizard as a user runs it: reading, the preview and the import on
// worker threads, the window's thread turning the progress dialog and filling the preview
// table, and the user working in that table. A 5 ms heartbeat on the window's thread records the
// longest gap between two ticks: the longest the window went without answering. That gap is the
// time reported (goal 100 ms); "total_ms" is the whole import, "again_ms" the preview of the same
// file a second time (every row a duplicate).
void BM_Import100k_WindowStall(benchmark::State& state) {
    QTemporaryDir dir;
    const QString strPath = WriteStatement(dir, 100000);
    CMessageBox::SetCapture(true);
    CSession session;
    session.LogIn(kUser, 0);
    int nRun = 0;
    double dTotal = 0, dAgain = 0, dRows = 0;
    for (auto _ : state) {
        FreshBook(dir, nRun++);
        qint64 nMax = 0;
        QElapsedTimer gap, total;
        QTimer heartbeat;
        heartbeat.setInterval(5);
        QObject::connect(&heartbeat, &QTimer::timeout,
                         [&] { nMax = std::max(nMax, gap.restart()); });
        for (int nPass = 0; nPass < 2; ++nPass) {
            CImportWizard wizard(&session);
            wizard.show();
            QCoreApplication::processEvents();
            total.start();
            gap.start();
            heartbeat.start();
            wizard.findChild<CImportFilePage*>()->SetPath(strPath);
            wizard.next();
            QCoreApplication::processEvents(); // the preview table's first paint
            // What a user does in the preview: untick a row, 全不选 / 全选, go to the last row.
            auto* pModel = qobject_cast<CPreviewModel*>(
                wizard.findChild<QTableView*>(QStringLiteral("1121"))->model());
            pModel->setData(pModel->index(1, CPreviewModel::Tick), Qt::Unchecked,
                            Qt::CheckStateRole);
            QCoreApplication::processEvents();
            for (const char* szButton : {"1123", "1122"}) {
                wizard.findChild<QPushButton*>(QLatin1String(szButton))->click();
                QCoreApplication::processEvents();
            }
            wizard.findChild<QTableView*>(QStringLiteral("1121"))->scrollToBottom();
            QCoreApplication::processEvents();
            if (nPass == 0) {
                wizard.next();
                QCoreApplication::processEvents();
                dTotal = double(total.elapsed());
                dRows = wizard.Result().nIncome + wizard.Result().nOutlay;
            } else {
                dAgain = double(total.elapsed());
            }
            nMax = std::max(nMax, gap.elapsed());
            heartbeat.stop();
        }
        state.SetIterationTime(double(nMax) / 1000.0);
    }
    state.counters["total_ms"] = dTotal;
    state.counters["again_ms"] = dAgain;
    state.counters["rows_written"] = dRows;
    CMessageBox::SetCapture(false);
    CDatabase::Close();
}
BENCHMARK(BM_Import100k_WindowStall)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

LEDGERKIN_BENCH_MAIN(QApplication)
