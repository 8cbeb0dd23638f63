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

int CLedgerkinApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    // The settings key the program has always used; QSettings files it under this name.
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(QStringLiteral("Ledgerkin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LEDGERKIN_VERSION));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/res/icons/ledgerkin.svg")));

    // Every text is Chinese: prefer a CJK face over whatever the desktop picks for Latin.
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Micro Hei")});
    QApplication::setFont(font);

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
    // Further options (a demonstration book, for one) are added here and acted on below,
    // before the book is chosen.

    if (!parser.parse(QCoreApplication::arguments())) {
        PrintError(
            QCoreApplication::translate("CLedgerkinApp", "命令行有误：%1").arg(parser.errorText()));
        PrintError(QCoreApplication::translate("CLedgerkinApp", "用 --help 查看可用的选项。"));
        return 2;
    }
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        PrintError(QCoreApplication::translate("CLedgerkinApp", "命令行有误：不认识的参数“%1”")
                       .arg(parser.positionalArguments().constFirst()));
        PrintError(QCoreApplication::translate("CLedgerkinApp", "用 --help 查看可用的选项。"));
        return 2;
    }

    // The book: --database, else the saved setting, else the default file. It is opened by
    // the first command that needs it, which also reports a book that cannot be opened.
    QString strUrl = parser.value(databaseOption).trimmed();
    if (parser.isSet(databaseOption) && strUrl.isEmpty()) {
        PrintError(QCoreApplication::translate("CLedgerkinApp",
                                               "命令行有误：--database 需要一个帐本路径或 URL"));
        return 2;
    }
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
