#include "app/cledgerkinapp.h"

#include "app/cmainframe.h"
#include "app/cwindowlayout.h"
#include "data/cbackup.h"
#include "data/cdatabase.h"
#include "data/cdbexception.h"
#include "data/ckeptschema.h"
#include "demo/cdemobook.h"
#include "import/cimporttables.h"
#include "plans/cplantables.h"
#include "records/ccategorybook.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QSettings>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

namespace {
void PrintError(const QString& strText) {
    std::fputs(qUtf8Printable(strText), stderr);
    std::fputs("\n", stderr);
}
} // namespace

namespace {
// Qt 6 names the file dialog's types ("Folder", "Drive") in a context its Chinese translation
// does not hold yet; the file dialog's own context has the same words.
class CFileTypeTranslator : public QTranslator {
public:
    explicit CFileTypeTranslator(QTranslator* pQt) : QTranslator(pQt), m_pQt(pQt) {}
    QString translate(const char* pszContext, const char* pszSource, const char* pszDisambiguation,
                      int n) const override {
        if (qstrcmp(pszContext, "QAbstractFileIconProvider") != 0)
            return QString();
        return m_pQt->translate("QFileDialog", pszSource, pszDisambiguation, n);
    }
    bool isEmpty() const override { return false; }

private:
    const QTranslator* m_pQt;
};

struct SCommandLine {
    QString strUrl; // "" for the saved or default book
    bool bDemo = false;
};

// The command line, read before any window system is needed, so --help, --version and a
// wrong argument work on a console without a display. nExit >= 0 asks to end with that code.
// Help, version and the parser's complaints are written here rather than by
// QCommandLineParser, whose own texts are English.
SCommandLine ParseCommandLine(int& nExit) {
    nExit = -1;
    const auto tr = [](const char* sz) { return QCoreApplication::translate("CLedgerkinApp", sz); };
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        tr("显示这份帮助后退出"));
    const QCommandLineOption versionOption(
        QStringList{QStringLiteral("v"), QStringLiteral("version")}, tr("显示版本号后退出"));
    const QCommandLineOption databaseOption(
        QStringList{QStringLiteral("database")},
        tr("使用的账本，可以是：\n"
           "  SQLite 文件的路径，例如 ~/账本/family.db\n"
           "  postgresql://用户:密码@主机:端口/数据库\n"
           "  postgresql://用户@主机:端口/数据库（密码取自 ~/.pgpass）\n"
           "PostgreSQL 地址后面可加 ?schema=名称（一个数据库中放几本账），"
           "以及 sslmode=、service=、passfile=、connect_timeout=，用 & 连接。"),
        QStringLiteral("URL"));
    const QCommandLineOption demoOption(
        QStringList{QStringLiteral("demo")},
        tr("打开演示账本（独立的文件，不动您自己的账本）：用户“演示用户”，密码“demo”"));
    const QList<QCommandLineOption> options = {helpOption, versionOption, databaseOption,
                                               demoOption};
    QCommandLineParser parser;
    parser.addOptions(options);

    QString strError;
    if (!parser.parse(QCoreApplication::arguments()))
        strError = !parser.unknownOptionNames().isEmpty()
                       ? tr("不认识的选项“%1”").arg(parser.unknownOptionNames().constFirst())
                       : tr("--database 需要一个账本路径或 URL");
    else if (!parser.positionalArguments().isEmpty())
        strError = tr("不认识的参数“%1”").arg(parser.positionalArguments().constFirst());
    else if (parser.isSet(databaseOption) && parser.value(databaseOption).trimmed().isEmpty())
        strError = tr("--database 需要一个账本路径或 URL");
    else if (parser.isSet(databaseOption) && parser.isSet(demoOption))
        strError = tr("--demo 和 --database 不能同时使用");
    else if (parser.isSet(databaseOption))
        strError = CDatabase::CheckUrl(parser.value(databaseOption).trimmed());
    if (!strError.isEmpty()) {
        PrintError(tr("命令行有误：%1").arg(strError));
        PrintError(tr("用 --help 查看可用的选项。"));
        nExit = 2;
        return {};
    }
    if (parser.isSet(helpOption)) {
        QString strHelp = tr("Ledgerkin 家庭账本") + QStringLiteral("\n\n") +
                          tr("用法：%1 [选项]").arg(QStringLiteral("ledgerkin")) +
                          QStringLiteral("\n\n") + tr("选项：") + QStringLiteral("\n");
        for (const QCommandLineOption& option : options) {
            QStringList names;
            for (const QString& strName : option.names())
                names << (strName.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) +
                             strName;
            QString strHead = QStringLiteral("  ") + names.join(QStringLiteral(", "));
            if (!option.valueName().isEmpty())
                strHead += QStringLiteral(" <%1>").arg(option.valueName());
            strHelp += strHead + QStringLiteral("\n");
            for (const QString& strLine : option.description().split(QLatin1Char('\n')))
                strHelp += QStringLiteral("      ") + strLine + QStringLiteral("\n");
        }
        std::fputs(qUtf8Printable(strHelp), stdout);
        nExit = 0;
        return {};
    }
    if (parser.isSet(versionOption)) {
        std::fputs(
            qUtf8Printable(tr("Ledgerkin 家庭账本 %1").arg(QCoreApplication::applicationVersion()) +
                           QStringLiteral("\n")),
            stdout);
        nExit = 0;
        return {};
    }
    return {parser.value(databaseOption).trimmed(), parser.isSet(demoOption)};
}
// Opening a book written before the kept totals builds them once; on a large book that takes
// a few seconds, so a window says why instead of the program seeming to hang. The build runs
// on this thread, so the dialog is painted before it starts and stays as painted.
void ShowTotalsBuild(bool bStarting, qint64 nRows) {
    // About what a second of building reads on an ordinary machine.
    constexpr qint64 RowsPerSecond = 400000;
    static QPointer<QProgressDialog> s_pDialog;
    if (!bStarting) {
        delete s_pDialog;
        return;
    }
    if (nRows < RowsPerSecond)
        return;
    s_pDialog = new QProgressDialog(
        QCoreApplication::translate("CLedgerkinApp",
                                    "第一次用这个版本打开账本，正在整理汇总数据，请稍候…"),
        QString(), 0, 0, QApplication::activeWindow());
    s_pDialog->setWindowTitle(QCoreApplication::translate("CLedgerkinApp", "打开账本"));
    s_pDialog->setWindowModality(Qt::ApplicationModal);
    s_pDialog->setMinimumDuration(0);
    s_pDialog->show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

bool CLedgerkinApp::InstallQtTranslations() {
    // Installed with the application object of the moment, and gone with it: the command line
    // is read by a console application before the windowed one starts.
    static QPointer<QTranslator> s_pInstalled;
    if (s_pInstalled)
        return true;
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    // Dates, sizes and week days in the standard dialogs follow the interface language too.
    QLocale::setDefault(chinese);
    auto* pTranslator = new QTranslator(QCoreApplication::instance());
    if (!pTranslator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete pTranslator;
        return false;
    }
    QCoreApplication::installTranslator(pTranslator);
    QCoreApplication::installTranslator(new CFileTypeTranslator(pTranslator));
    s_pInstalled = pTranslator;
    return true;
}

void CLedgerkinApp::UseChineseFont() {
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Micro Hei")});
    QApplication::setFont(font);
}

int CLedgerkinApp::Run(int argc, char** argv) {
    // The settings key the program has always used; QSettings files it under this name.
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(QStringLiteral("Ledgerkin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LEDGERKIN_VERSION));

    SCommandLine cmd;
    {
        QCoreApplication console(argc, argv);
        // --help in Chinese too, and Qt's own messages about a wrong option.
        InstallQtTranslations();
        int nExit = -1;
        cmd = ParseCommandLine(nExit);
        if (nExit >= 0)
            return nExit;
    }
    QString strUrl = cmd.strUrl;

    QApplication app(argc, argv);
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/res/icons/ledgerkin.svg")));
    if (!InstallQtTranslations())
        PrintError(QCoreApplication::translate(
            "CLedgerkinApp",
            "找不到 Qt 的中文翻译（qt6-translations-l10n），标准对话框将显示英文。"));

    UseChineseFont();

    // The book: --database, else the saved setting, else the default file. It is opened by
    // the first command that needs it, which also reports a book that cannot be opened.
    if (cmd.bDemo)
        strUrl = CDemoBook::DefaultPath();
    if (strUrl.isEmpty())
        strUrl = QSettings().value(QStringLiteral("database")).toString().trimmed();
    if (strUrl.isEmpty())
        strUrl = CDatabase::DefaultBookPath();
    CDatabase::SetUrl(strUrl);
    // The import's tables and the categories' are created with the book's, so the owner of a
    // shared book creates them at the first start for the members whose roles may not.
    CImportTables::Install();
    CPlanTables::Install();
    CCategoryBook::Install();

    CMainFrame frame(true);
    CWindowLayout::Restore(&frame, QSettings());
    frame.show();
    CKeptSchema::SetBuildHook(ShowTotalsBuild);

    QTimer::singleShot(0, &frame, &CMainFrame::TryServerBook);

    // The demo book is written on its first use (two years of days take a moment).
    if (cmd.bDemo) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        try {
            CDemoBook::Ensure();
            frame.SetStatusText(QCoreApplication::translate(
                "CLedgerkinApp", "演示账本已打开：用户“演示用户”，密码“demo”。"));
        } catch (const CDBException& e) {
            // Told in the status bar, not a box: the real book is untouched and usable.
            frame.SetStatusText(QCoreApplication::translate("CLedgerkinApp", "演示账本无法建立：%1")
                                    .arg(e.m_strError));
        }
    }

    // The day's backup copy of the book, made beside the window so a large book does not
    // hold it up; a failure only costs the copy, so it is told in the status bar rather than
    // in a box the user must dismiss.
    CBackup::StartDaily(&frame, [&frame](bool bOk, const QString& strMessage) {
        frame.ShowBackupResult(bOk, strMessage);
    });

    const int nExit = app.exec();
    QSettings settings;
    CWindowLayout::Save(&frame, settings);
    return nExit;
}
