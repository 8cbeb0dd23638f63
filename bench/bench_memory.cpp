// Peak memory of the program with the 20-year book open: the real main frame, offscreen,
// logged in as the first user, then on each view in turn (or the ones named on the command
// line). Prints one line per view: its name and the process's peak resident size so far, in
// MB. Not a Google Benchmark: bench/run runs it once per view, each in a fresh process, and
// once through all views.
//
//   bench_memory [summary|income|outlay|inchart|outchart|report|preview|all]...

#include "cbookgenerator.h"

#include "analysis/cpreviewframe.h"
#include "analysis/creportprinter.h"
#include "analysis/crptview.h"
#include "app/cmainframe.h"

#include <QApplication>
#include <QComboBox>
#include <cstdio>
#include <sys/resource.h>

namespace {

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void Settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The report view with every income record of the user (about 73,000 grid rows).
void FullReport(CMainFrame& frame) {
    frame.OpenView(CMainFrame::EView::Rpt);
    CRptView* pView = frame.View<CRptView>();
    auto* pKind = pView->findChild<QComboBox*>(QStringLiteral("1000"));
    pKind->setCurrentIndex(pKind->findText(QStringLiteral("收入记录")));
    pView->OnSelchangeQueryKind();
    pView->OnQuery();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList views = app.arguments().mid(1);
    const QStringList all = {QStringLiteral("summary"),  QStringLiteral("income"),
                             QStringLiteral("outlay"),   QStringLiteral("inchart"),
                             QStringLiteral("outchart"), QStringLiteral("report"),
                             QStringLiteral("preview")};
    if (views.isEmpty() || views.contains(QStringLiteral("all")))
        views = all;

    CBookGenerator::OpenCached(CBookGenerator::BenchOptions());
    std::printf("open\t%.1f\n", PeakMegabytes());
    CMainFrame frame(false);
    frame.resize(1280, 800);
    frame.show();
    frame.SetLoggedIn(CBookGenerator::UserName(0), 0); // lands on the summary
    Settle();
    for (const QString& strView : views) {
        if (strView == QLatin1String("income"))
            frame.OpenView(CMainFrame::EView::Income);
        else if (strView == QLatin1String("outlay"))
            frame.OpenView(CMainFrame::EView::Outlay);
        else if (strView == QLatin1String("inchart"))
            frame.OpenView(CMainFrame::EView::InChart);
        else if (strView == QLatin1String("outchart"))
            frame.OpenView(CMainFrame::EView::OutChart);
        else if (strView == QLatin1String("report"))
            FullReport(frame);
        else if (strView == QLatin1String("preview")) {
            FullReport(frame);
            frame.View<CRptView>()->OnPreview();
            Settle();
            if (CPreViewFrame* pPreview = frame.View<CRptView>()->Printer()->m_pPreviewFrame)
                pPreview->OnPreviewClose();
        } else if (strView != QLatin1String("summary")) {
            std::fprintf(stderr, "unknown view %s\n", qPrintable(strView));
            return 2;
        }
        Settle();
        std::printf("%s\t%.1f\n", qPrintable(strView), PeakMegabytes());
        std::fflush(stdout);
    }
    return 0;
}
