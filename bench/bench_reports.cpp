#include "cbookgenerator.h"

#include "analysis/cpreviewframe.h"
#include "analysis/creportprinter.h"
#include "analysis/creportquery.h"
#include "analysis/crptview.h"
#include "app/cmainframe.h"
#include "widgets/cmsflexgrid1.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewWidget>

// The report of every income record of one user of the 20-year book (365 days x 10 records,
// about 73,000 rows, about 3,650 printed pages):
//   Query        - the core query alone (rows formatted as the grid shows them);
//   FillGrid     - the view's "开始查询": query and grid filled through CMsflexgrid1::SetAllRows;
//   PreviewOpen  - "打印预览" until the preview window shows its first page, then closed;
//   DrawOnePage  - drawing one report page (what every page of the job costs).
namespace {

const bool g_bOffscreen = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();

const QString& User() {
    return CBookGenerator::DefaultUser();
}

// A logged-in frame on the report view with "收入记录" chosen over all dates.
struct SReportFrame {
    CMainFrame frame{false};
    CRptView* pView = nullptr;
    SReportFrame() {
        frame.SetLoggedIn(User(), 0);
        frame.OpenView(CMainFrame::EView::Rpt);
        pView = frame.View<CRptView>();
        auto* pKind = pView->findChild<QComboBox*>(QStringLiteral("1000"));
        pKind->setCurrentIndex(pKind->findText(QStringLiteral("收入记录")));
        pView->OnSelchangeQueryKind();
    }
};

SReportFrame& Frame() {
    static SReportFrame* s_pFrame = new SReportFrame; // lives to the end of the run
    return *s_pFrame;
}

void BM_IncomeReport_Query(benchmark::State& state) {
    const QVector<QDate> dates = CReportQuery::RecordDates(User(), CReportQuery::ETable::Income);
    const QString strStart = CReportQuery::FormatDate(dates.constFirst());
    const QString strEnd = CReportQuery::FormatDate(dates.constLast());
    int nRows = 0;
    for (auto _ : state) {
        const auto result = CReportQuery::RecordReport(User(), CReportQuery::ETable::Income,
                                                       std::nullopt, strStart, strEnd);
        nRows = result.rows.size();
        benchmark::DoNotOptimize(result.nTotalCents);
    }
    state.counters["rows"] = nRows;
}
BENCHMARK(BM_IncomeReport_Query)->Unit(benchmark::kMillisecond);

void BM_IncomeReport_FillGrid(benchmark::State& state) {
    SReportFrame& f = Frame();
    for (auto _ : state) {
        f.pView->OnQuery();
        benchmark::DoNotOptimize(f.pView->Grid()->GetRows());
    }
    state.counters["rows"] = f.pView->Grid()->GetRows() - 1;
}
BENCHMARK(BM_IncomeReport_FillGrid)->Unit(benchmark::kMillisecond);

void BM_IncomeReport_PreviewOpen(benchmark::State& state) {
    SReportFrame& f = Frame();
    f.pView->OnQuery();
    int nPages = 0, nDrawn = 0;
    for (auto _ : state) {
        f.pView->OnPreview();
        CPreViewFrame* pPreview = f.pView->Printer()->m_pPreviewFrame;
        nPages = pPreview->PreviewWidget()->pageCount();
        nDrawn = pPreview->PagesDrawn();
        state.PauseTiming();
        pPreview->OnPreviewClose();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["pages"] = nPages;
    state.counters["drawn"] = nDrawn;
}
BENCHMARK(BM_IncomeReport_PreviewOpen)->Unit(benchmark::kMillisecond);

void BM_IncomeReport_DrawOnePage(benchmark::State& state) {
    SReportFrame& f = Frame();
    f.pView->OnQuery();
    QImage page(2480 / 4, 3508 / 4, QImage::Format_RGB32); // A4 at 75 dpi
    page.setDotsPerMeterX(75 / 0.0254);
    page.setDotsPerMeterY(75 / 0.0254);
    CPrintInfo info;
    int nPage = 1;
    for (auto _ : state) {
        QPainter painter(&page);
        info.m_nCurPage = nPage++ % 3000 + 1;
        f.pView->Printer()->DrawPage(&painter, &info);
    }
}
BENCHMARK(BM_IncomeReport_DrawOnePage)->Unit(benchmark::kMicrosecond);

} // namespace

LEDGERKIN_BENCH_MAIN(QApplication)
