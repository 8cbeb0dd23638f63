#include "cbookbuilder.h"
#include "cguitest.h"
#include "widgets/cfilefolder.h"
#include "widgets/cmessagebox.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

namespace {

// Every text a person sees on a window: its title, its visible buttons, labels, group and tab
// titles, menu entries and column headers. bAll: hidden widgets too, with tool tips, combo
// box entries, menus, editable and read-only text and the first rows of lists and grids.
QStringList VisibleTexts(QWidget* pWindow, bool bAll = false) {
    QStringList texts{pWindow->windowTitle()};
    QList<QWidget*> widgets = pWindow->findChildren<QWidget*>();
    widgets.prepend(pWindow);
    for (QWidget* p : std::as_const(widgets)) {
        if (!bAll && !p->isVisible())
            continue;
        if (bAll)
            texts << p->toolTip() << p->windowTitle();
        if (auto* pButton = qobject_cast<QAbstractButton*>(p))
            texts << pButton->text();
        else if (auto* pLabel = qobject_cast<QLabel*>(p))
            texts << pLabel->text();
        else if (auto* pGroup = qobject_cast<QGroupBox*>(p))
            texts << pGroup->title();
        else if (auto* pTabs = qobject_cast<QTabBar*>(p))
            for (int i = 0; i < pTabs->count(); ++i)
                texts << pTabs->tabText(i);
        else if (auto* pMenu = qobject_cast<QMenu*>(p))
            for (const QAction* pAction : pMenu->actions())
                if (bAll || pAction->isVisible())
                    texts << pAction->text() << (bAll ? pAction->toolTip() : QString());
        if (auto* pHeader = qobject_cast<QHeaderView*>(p); pHeader && pHeader->model())
            for (int i = 0; i < pHeader->count(); ++i)
                if (!pHeader->isSectionHidden(i))
                    texts << pHeader->model()->headerData(i, pHeader->orientation()).toString();
        if (!bAll)
            continue;
        if (auto* pCombo = qobject_cast<QComboBox*>(p))
            for (int i = 0; i < pCombo->count(); ++i)
                texts << pCombo->itemText(i);
        else if (auto* pEdit = qobject_cast<QLineEdit*>(p))
            texts << pEdit->text() << pEdit->placeholderText();
        else if (auto* pText = qobject_cast<QTextEdit*>(p))
            texts << pText->toPlainText();
        else if (auto* pList = qobject_cast<QAbstractItemView*>(p); pList && pList->model())
            for (int r = 0; r < std::min(pList->model()->rowCount(), 200); ++r)
                for (int c = 0; c < pList->model()->columnCount(); ++c)
                    texts << pList->model()->index(r, c).data().toString()
                          << pList->model()->index(r, c).data(Qt::ToolTipRole).toString();
    }
    return texts;
}

// Latin words left in those texts, apart from names that stay as they are in Chinese too.
QStringList EnglishWords(const QStringList& texts) {
    static const QStringList kNames{QStringLiteral("PDF"),  QStringLiteral("A4"),
                                    QStringLiteral("mm"),   QStringLiteral("CUPS"),
                                    QStringLiteral("Ctrl"), QStringLiteral("Del")};
    static const QRegularExpression rxWord(QStringLiteral("[A-Za-z][A-Za-z0-9]+"));
    QStringList words;
    for (QString str : texts) {
        str.remove(QRegularExpression(QStringLiteral("<[^>]*>"))); // rich text markup
        for (auto it = rxWord.globalMatch(str); it.hasNext();) {
            const QString strWord = it.next().captured();
            if (!kNames.contains(strWord))
                words << strWord + QStringLiteral(" in \"") + str + QLatin1Char('"');
        }
    }
    return words;
}

} // namespace

class TestStandardDialogs : public QObject {
    Q_OBJECT
private slots:
    void StandardWindowsSpeakChinese_data();
    void StandardWindowsSpeakChinese();
    void MessageBoxShowsItsTitleAndIcon();
    void EveryWindowWritesOneForm();
    void FileDialogsOpenAtHomeOrTheLastFolder();
};

void TestStandardDialogs::StandardWindowsSpeakChinese_data() {
    QTest::addColumn<int>("nWindow");
    QTest::newRow("print dialog") << 0;
    QTest::newRow("file dialog") << 1;
    QTest::newRow("message box buttons") << 2;
    QTest::newRow("line edit context menu") << 3;
}

void TestStandardDialogs::StandardWindowsSpeakChinese() {
    QFETCH(int, nWindow);
    CGuiTest gui; // loads Qt's translations as the program's start does
    QTemporaryDir folder;
    QPrinter printer;
    QLineEdit edit;
    std::unique_ptr<QWidget> pWindow;
    switch (nWindow) {
    case 0:
        pWindow = std::make_unique<QPrintDialog>(&printer, gui.Frame());
        break;
    case 1: {
        auto* pDialog = new QFileDialog(gui.Frame(), QStringLiteral("导出PDF"));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("子文件夹")));
        pDialog->setDirectory(folder.path());
        pDialog->setOption(QFileDialog::DontUseNativeDialog);
        pDialog->setAcceptMode(QFileDialog::AcceptSave);
        pDialog->setNameFilter(QStringLiteral("PDF 文件 (*.pdf)"));
        pWindow.reset(pDialog);
        break;
    }
    case 2: {
        auto* pBox = new QMessageBox(
            QMessageBox::Question, QStringLiteral("Ledgerkin"), QStringLiteral("保存吗？"),
            QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No |
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Close,
            gui.Frame());
        pBox->setWindowTitle(QStringLiteral("提示"));
        pWindow.reset(pBox);
        break;
    }
    default:
        edit.setText(QStringLiteral("用餐"));
        pWindow.reset(edit.createStandardContextMenu());
        break;
    }
    pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(pWindow.get()));
    QStringList texts = VisibleTexts(pWindow.get());
    if (nWindow == 1) {
        // The file list's cells too: a folder's type reads 文件夹.
        auto* pList = pWindow->findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(pList && pList->model());
        QTRY_COMPARE(pList->model()->rowCount(pList->rootIndex()), 1);
        const QModelIndex type = pList->model()->index(0, 2, pList->rootIndex());
        QCOMPARE(type.data().toString(), QStringLiteral("文件夹"));
        texts << type.data().toString();
    }
    QVERIFY2(
        texts.join(QString()).contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))),
        qPrintable(texts.join(QLatin1Char('|'))));
    const QStringList english = EnglishWords(texts);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(QLatin1Char('\n'))));
}

// A box with a two-character text still leaves its title room; good news has its own icon.
void TestStandardDialogs::MessageBoxShowsItsTitleAndIcon() {
    CGuiTest gui;
    CMessageBox::SetCapture(false);
    for (const bool bInfo : {true, false}) {
        QMessageBox::Icon eIcon = QMessageBox::NoIcon;
        int nWidth = 0;
        CGuiTest::OnNextModal([&](QWidget* pModal) {
            auto* pBox = qobject_cast<QMessageBox*>(pModal);
            QVERIFY(pBox);
            eIcon = pBox->icon();
            nWidth = pBox->width();
            pBox->accept();
        });
        if (bInfo)
            CMessageBox::ShowInfo(QStringLiteral("好"), gui.Frame());
        else
            CMessageBox::ShowMessage(QStringLiteral("坏"), gui.Frame());
        QCOMPARE(eIcon, bInfo ? QMessageBox::Information : QMessageBox::Warning);
        QVERIFY2(nWidth >= 280, qPrintable(QString::number(nWidth)));
    }
    CMessageBox::SetCapture(true);
}

// One written form: 账 (账本, 账户, 账号, 转账) and 登录, never 帐 or 登陆, on whatever the frame's
// commands open, logged out and logged in: the frame with each view, every dialog (and the
// dialogs those open), the menus, tool tips, messages, the status bar and the help pages.
void TestStandardDialogs::EveryWindowWritesOneForm() {
    CGuiTest gui;
    CBookBuilder::AddUser(QStringLiteral("张三"), QStringLiteral("pw"), {});
    QStringList texts;
    QStringList seen; // what was opened, so a command that opens nothing cannot pass unnoticed
    const auto collect = [&](QWidget* pWindow) {
        texts << VisibleTexts(pWindow, true);
        seen << QString::fromLatin1(pWindow->metaObject()->className());
    };
    // Every modal window (a dialog, then the dialogs it opens) is read and closed.
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            collect(pDialog);
            pDialog->reject();
        }
    });
    closer.start();
    const QList<int> kSkipped = {CMainFrame::ID_EXIT, CMainFrame::ID_DISCONNECT};
    for (const bool bLoggedIn : {false, true}) {
        if (bLoggedIn)
            gui.LogIn(QStringLiteral("张三"));
        const QList<QAction*> actions = gui.Frame()->actions();
        QVERIFY(actions.size() >= 20);
        for (QAction* pAction : actions) {
            if (!pAction->isEnabled() || kSkipped.contains(pAction->objectName().toInt()))
                continue;
            texts << pAction->text() << pAction->toolTip() << pAction->statusTip();
            pAction->trigger();
            CGuiTest::ProcessEvents();
            for (QWidget* pTop : QApplication::topLevelWidgets()) {
                if (pTop->isVisible() && !qobject_cast<QMenu*>(pTop))
                    collect(pTop);
                if (pTop->isVisible() && pTop != gui.Frame())
                    pTop->close();
            }
            seen << QString::fromLatin1(gui.Frame()->CurrentView()->metaObject()->className());
            texts << gui.Frame()->statusBar()->currentMessage() << gui.Messages();
            gui.ClearMessages();
        }
    }
    closer.stop();
    for (QDirIterator it(QStringLiteral(":/res/help")); it.hasNext();) {
        QFile page(it.next());
        QVERIFY(page.open(QIODevice::ReadOnly));
        texts << QString::fromUtf8(page.readAll());
    }
    for (const char* pszClass :
         {"CLinkDlg", "CNewUserDlg", "CAccountsDlg", "CCategoriesDlg", "CTrsDlg", "CSumListView",
          "CRptView", "CHelpWindow", "CAboutDlg", "CFindDlg"})
        QVERIFY2(seen.contains(QLatin1String(pszClass)), pszClass);
    const QStringList wrong = texts.filter(QRegularExpression(QStringLiteral("帐|登陆")));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestStandardDialogs)
#include "tst_standarddialogs.moc"

// A file dialog never opens in the working directory: at the file named when its folder
// exists, else in the folder last chosen, else at home.
void TestStandardDialogs::FileDialogsOpenAtHomeOrTheLastFolder() {
    QTemporaryDir settings, work, chosen;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    const QString strWasCurrent = QDir::currentPath();
    QDir::setCurrent(work.path());
    const QString strHome = QDir::homePath();
    const QString strThere = QDir(chosen.path()).filePath(QStringLiteral("报表.csv"));
    const struct {
        bool bRemembered;
        QString strSuggested, strStart;
    } cases[] = {
        {false, QStringLiteral("财务报告.pdf"), strHome + QStringLiteral("/财务报告.pdf")},
        {false, QStringLiteral("/没有/这个/文件夹/财务报告.pdf"),
         strHome + QStringLiteral("/财务报告.pdf")},
        {false, QString(), strHome},
        {false, strThere, strThere},
        {true, QStringLiteral("财务报告.pdf"), chosen.path() + QStringLiteral("/财务报告.pdf")},
        {true, QString(), chosen.path()},
    };
    for (const auto& c : cases) {
        if (c.bRemembered)
            CFileFolder::Remember(strThere);
        QCOMPARE(CFileFolder::StartPath(c.strSuggested), c.strStart);
    }
    QDir::setCurrent(strWasCurrent);
}
