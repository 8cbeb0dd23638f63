// Peak memory of the program with the 20-year book open: the real main frame, offscreen,
// logged in as the first user through the real password check, then on each view in turn (or
// the ones named on the command line). Prints one line per moment: its name and the process's
// peak resident size so far, in MB. Not a Google Benchmark: bench/run runs it once per moment,
// each in a fresh process, and once through all of them.
//
//   bench_memory [login|summary|income|outlay|inchart|outchart|report|preview|relogin|
//                 password|all]...
//
// "open" (the book open, no window yet) and "login" (the password checked, the frame logged in
// and painted) are printed on every run; "relogin" logs out and in again, "password" changes
// the password through the call the password dialog makes, and back.

#include "cbookgenerator.h"
#include "ctoidle.h"

#include "analysis/cpreviewframe.h"
#include "analysis/creportprinter.h"
#include "analysis/crptview.h"
#include "app/cledgerkinapp.h"
#include "app/cmainframe.h"
#include "data/cdatabase.h"
#include "users/cpasswordhash.h"
#include "users/cuseradmin.h"

#include <QApplication>
#include <QComboBox>
#include <cstdio>
#include <cstdlib>
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

const QString Password = QStringLiteral("bench");

// The login dialog's check (the password hash included), then the frame logging in. The
// generated users have no usable password: the first login stores one, as bench_views does.
qint64 LogIn(CMainFrame& frame) {
    const QString strUser = CBookGenerator::UserName(0);
    qint64 nUserId = CUserAdmin::LogIn(strUser, Password);
    if (nUserId == 0) {
        CDatabase::Exec(
            QStringLiteral("UPDATE \"User\" SET \"UserPwd\" = ? WHERE \"UserName\" = ?"),
            {CPasswordHash::Hash(Password), strUser});
        nUserId = CUserAdmin::LogIn(strUser, Password);
    }
    if (nUserId == 0) {
        std::fprintf(stderr, "the password of %s is refused\n", qPrintable(strUser));
        std::exit(1);
    }
    frame.SetLoggedIn(strUser, nUserId); // lands on the summary
    Settle();
    return nUserId;
}

void Print(const QString& strMoment) {
    std::printf("%s\t%.1f\n", qPrintable(strMoment), PeakMegabytes());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CLedgerkinApp::UseChineseFont(); // the program's own font, as it starts
    QStringList views = app.arguments().mid(1);
    const QStringList all = {
        QStringLiteral("summary"), QStringLiteral("income"),   QStringLiteral("outlay"),
        QStringLiteral("inchart"), QStringLiteral("outchart"), QStringLiteral("report"),
        QStringLiteral("preview"), QStringLiteral("relogin"),  QStringLiteral("password")};
    if (views.isEmpty() || views.contains(QStringLiteral("all")))
        views = all;

    CBookGenerator::OpenCached(CBookGenerator::BenchOptions());
    Print(QStringLiteral("open"));
    CMainFrame frame(false);
    // The window a user waits in: maximised on a 1920×1080 screen (its back buffer counts).
    frame.resize(kBenchWidth, kBenchHeight);
    frame.show();
    qint64 nUserId = LogIn(frame);
    Print(QStringLiteral("login"));
    for (const QString& strView : views) {
        if (strView == QLatin1String("login") || strView == QLatin1String("summary"))
            frame.OpenView(CMainFrame::EView::SumList);
        else if (strView == QLatin1String("income"))
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
        } else if (strView == QLatin1String("relogin")) {
            frame.SetLoggedOut();
            Settle();
            nUserId = LogIn(frame);
        } else if (strView == QLatin1String("password")) {
            const QString strUser = CBookGenerator::UserName(0);
            const QString strOther = QStringLiteral("bench-changed");
            // Changed and changed back, so the cached book keeps the password others use.
            if (CUserAdmin::ChangePassword(strUser, Password, strOther, nUserId) !=
                    CUserAdmin::EChange::Changed ||
                CUserAdmin::ChangePassword(strUser, strOther, Password, nUserId) !=
                    CUserAdmin::EChange::Changed) {
                std::fprintf(stderr, "the password change was refused\n");
                return 1;
            }
        } else {
            std::fprintf(stderr, "unknown view %s\n", qPrintable(strView));
            return 2;
        }
        Settle();
        Print(strView);
    }
    return 0;
}
