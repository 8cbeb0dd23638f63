#include "app/cledgerkinapp.h"

#include "app/cmainframe.h"
#include "data/cbackup.h"
#include "data/cdatabase.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QIcon>
#include <QSettings>
#include <cstdio>

namespace {
void PrintError(const QString& strText) {
    std::fputs(qUtf8Printable(strText), stderr);
    std::fputs("\n", stderr);
}
} // namespace

namespace {
// The command line, read before any window system is needed, so --help, --version and a
// wrong argument work on a console without a display. Returns the book's URL ("" for the
// default choice); nExit >= 0 asks to end with that code.
QString ParseCommandLine(int& nExit) {
    nExit = -1;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("CLedgerkinApp", "Ledgerkin 个人帐本"));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption databaseOption(
        QStringList{QStringLiteral("database")},
        QCoreApplication::translate(
            "CLedgerkinApp",
            "使用的帐本：SQLite 文件路径，或 postgresql://用户:密码@主机:端口/数据库"),
        QStringLiteral("URL"));
    parser.addOption(databaseOption);
    // Further options (a demonstration book, for one) are added here and acted on in Run(),
    // before the book is chosen.

    QString strError;
    if (!parser.parse(QCoreApplication::arguments()))
        strError = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        strError = QCoreApplication::translate("CLedgerkinApp", "不认识的参数“%1”")
                       .arg(parser.positionalArguments().constFirst());
    else if (parser.isSet(databaseOption) && parser.value(databaseOption).trimmed().isEmpty())
        strError =
            QCoreApplication::translate("CLedgerkinApp", "--database 需要一个帐本路径或 URL");
    if (!strError.isEmpty()) {
        PrintError(QCoreApplication::translate("CLedgerkinApp", "命令行有误：%1").arg(strError));
        PrintError(QCoreApplication::translate("CLedgerkinApp", "用 --help 查看可用的选项。"));
        nExit = 2;
        return QString();
    }
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();
    return parser.value(databaseOption).trimmed();
}
} // namespace

int CLedgerkinApp::Run(int argc, char** argv) {
    // The settings key the program has always used; QSettings files it under this name.
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(QStringLiteral("Ledgerkin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LEDGERKIN_VERSION));

    QString strUrl;
    {
        QCoreApplication console(argc, argv);
        int nExit = -1;
        strUrl = ParseCommandLine(nExit);
        if (nExit >= 0)
            return nExit;
    }

    QApplication app(argc, argv);
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/res/icons/ledgerkin.svg")));

    // Every text is Chinese: prefer a CJK face over whatever the desktop picks for Latin.
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Micro Hei")});
    QApplication::setFont(font);

    // The book: --database, else the saved setting, else the default file. It is opened by
    // the first command that needs it, which also reports a book that cannot be opened.
    if (strUrl.isEmpty())
        strUrl = QSettings().value(QStringLiteral("database")).toString().trimmed();
    if (strUrl.isEmpty())
        strUrl = CDatabase::DefaultBookPath();
    CDatabase::SetUrl(strUrl);

    CMainFrame frame(true);
    frame.show();

    // The day's backup copy of the book; a failure only costs the copy, so it is told in the
    // status bar rather than in a box the user must dismiss.
    QString strBackup;
    const bool bBackup = CBackup::RunDaily(strBackup);
    if (!bBackup || !strBackup.isEmpty())
        frame.SetStatusText(strBackup);

    return app.exec();
}
