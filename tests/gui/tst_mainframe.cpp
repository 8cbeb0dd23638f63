#include "analysis/cinchartview.h"
#include "analysis/coutchartview.h"
#include "analysis/crptview.h"
#include "analysis/csumlistview.h"
#include "app/cfontfiles.h"
#include "app/cleftview.h"
#include "app/cmainview.h"
#include "app/cwindowlayout.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "ctestrows.h"
#include "data/cincomeset.h"
#include "data/coutlayset.h"
#include "data/ctoday.h"
#include "records/cincomeview.h"
#include "records/coutlayview.h"
#include "users/csession.h"
#include "widgets/cpicture.h"

#include <QAbstractButton>
#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItemIterator>

namespace {
QString S(const char* psz) {
    return QString::fromUtf8(psz);
}

// The typed views the frame hands out, as class names.
QStringList SetPointers(const CMainFrame* pFrame) {
    QStringList set;
    const QObject* pointers[] = {pFrame->View<CIncomeView>(),   pFrame->View<COutlayView>(),
                                 pFrame->View<CSumListView>(),  pFrame->View<CInChartView>(),
                                 pFrame->View<COutChartView>(), pFrame->View<CRptView>()};
    for (const QObject* p : pointers) {
        if (p)
            set << QString::fromLatin1(p->metaObject()->className());
    }
    return set;
}

// Visible labels, buttons, boxes and group titles narrower or lower than their text needs,
// as "class 'text' width<need".
QStringList Clipped(const QWidget* pRoot) {
    QStringList clipped;
    for (const QWidget* p : pRoot->findChildren<QWidget*>()) {
        if (!p->isVisibleTo(pRoot->window()) || p->size().isEmpty())
            continue;
        QString strText;
        if (const auto* pLabel = qobject_cast<const QLabel*>(p))
            strText = pLabel->text();
        else if (const auto* pButton = qobject_cast<const QAbstractButton*>(p))
            strText = pButton->text();
        else if (const auto* pBox = qobject_cast<const QGroupBox*>(p))
            strText = pBox->title();
        else if (const auto* pCombo = qobject_cast<const QComboBox*>(p))
            strText = pCombo->currentText();
        else
            continue;
        if (strText.isEmpty())
            continue;
        const QSize need = p->minimumSizeHint();
        if (p->width() < need.width() || p->height() < need.height())
            clipped << QStringLiteral("%1 '%2' %3x%4<%5x%6")
                           .arg(QLatin1String(p->metaObject()->className()), strText)
                           .arg(p->width())
                           .arg(p->height())
                           .arg(need.width())
                           .arg(need.height());
    }
    return clipped;
}

const int kAlways[] = {CMainFrame::ID_EXIT, CMainFrame::ID_HELP, CMainFrame::ID_APP_ABOUT,
                       CMainFrame::ID_VIEW_TOOLBAR, CMainFrame::ID_VIEW_STATUS_BAR};
} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void EveryCommandInAMenu();
    void ToolBarButtonsAreCommands();
    void LoggedOutAtStart();
    void LoginViewCommandsAndLogout();
    void SwitchViewKeepsInvariantAndWidth();
    void BarsToggleAndExitAsksNothing();
    void ViewsFitSmallWindows();
    void LayoutRememberedBetweenStarts();
    void FontFilesReadNotMapped();
};

// What the user finds in the menu bar: the menus in their order, every command in one of them,
// each key and each menu's access letter once, no separator at an end or doubled.
void TestMainFrame::EveryCommandInAMenu() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    QStringList titles;
    QSet<const QAction*> inMenus;
    QHash<QString, QString> keys; // key -> command
    for (QAction* pTitle : pFrame->menuBar()->actions()) {
        titles << pTitle->text();
        const QList<QAction*> items = pTitle->menu()->actions();
        QVERIFY(!items.isEmpty());
        QSet<QChar> letters;
        for (int i = 0; i < items.size(); ++i) {
            const QAction* pAction = items[i];
            if (pAction->isSeparator()) {
                QVERIFY2(i > 0 && i + 1 < items.size() && !items[i + 1]->isSeparator(),
                         qPrintable(pTitle->text()));
                continue;
            }
            inMenus << pAction;
            const QString strText = pAction->text();
            const qsizetype nAmp = strText.indexOf(QLatin1Char('&'));
            if (nAmp >= 0) {
                const QChar letter = strText.at(nAmp + 1).toUpper();
                QVERIFY2(!letters.contains(letter), qPrintable(strText));
                letters << letter;
            }
            for (const QKeySequence& key : pAction->shortcuts()) {
                QVERIFY2(!keys.contains(key.toString()),
                         qPrintable(key.toString() + QLatin1Char(' ') + strText));
                keys.insert(key.toString(), pAction->objectName());
            }
        }
    }
    QCOMPARE(titles, (QStringList{S("用户(&U)"), S("操作(&O)"), S("财务分析(&A)"), S("视图(&V)"),
                                  S("帮助(&H)")}));
    int nCommands = 0;
    for (const QAction* pAction : pFrame->findChildren<QAction*>()) {
        bool bCommand = false;
        pAction->objectName().toInt(&bCommand);
        if (!bCommand)
            continue;
        ++nCommands;
        QVERIFY2(inMenus.contains(pAction), qPrintable(pAction->objectName()));
    }
    QVERIFY(nCommands > 0);
}

// The toolbar's buttons are commands of the menus, each with its picture and a short tip.
void TestMainFrame::ToolBarButtonsAreCommands() {
    CGuiTest gui;
    auto* pToolBar = gui.Find<QToolBar>(QStringLiteral("128"));
    QVERIFY(pToolBar);
    QCOMPARE(pToolBar->iconSize(), QSize(32, 32));
    QSet<const QAction*> inMenus;
    for (QAction* pTitle : gui.Frame()->menuBar()->actions())
        for (const QAction* pAction : pTitle->menu()->actions())
            inMenus << pAction;
    const QList<QAction*> buttons = pToolBar->actions();
    QVERIFY(!buttons.isEmpty());
    for (int i = 0; i < buttons.size(); ++i) {
        const QAction* pAction = buttons[i];
        if (pAction->isSeparator()) {
            QVERIFY(i > 0 && i + 1 < buttons.size() && !buttons[i + 1]->isSeparator());
            continue;
        }
        QVERIFY2(inMenus.contains(pAction), qPrintable(pAction->objectName()));
        QVERIFY2(!pAction->icon().pixmap(32, 32).isNull(), qPrintable(pAction->objectName()));
        QVERIFY2(!pAction->toolTip().isEmpty() && !pAction->toolTip().contains(QLatin1Char('&')),
                 qPrintable(pAction->objectName()));
    }
    // The kept icons draw what Qt's own SVG icon draws, at any size, screen scale and mode.
    const QStringList names =
        QDir(QStringLiteral(":/res/icons")).entryList({QStringLiteral("*.svg")});
    QVERIFY(names.size() > 10);
    for (const QString& strFile : names) {
        const QString strName = QFileInfo(strFile).completeBaseName();
        const QIcon kept = CPicture::KeptIcon(strName);
        const QIcon svg(QStringLiteral(":/res/icons/") + strFile);
        for (const QIcon::Mode eMode : {QIcon::Normal, QIcon::Disabled}) {
            for (const int nSize : {16, 32}) {
                for (const qreal dScale : {1.0, 2.0}) {
                    const QPixmap pixmap = kept.pixmap(QSize(nSize, nSize), dScale, eMode);
                    QCOMPARE(pixmap.devicePixelRatio(), dScale);
                    QCOMPARE(pixmap.toImage(),
                             svg.pixmap(QSize(nSize, nSize), dScale, eMode).toImage());
                }
            }
        }
    }
}

void TestMainFrame::LoggedOutAtStart() {
    CToday::Set(QDate(2004, 3, 2));
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    QCOMPARE(pFrame->windowTitle(), QStringLiteral("Ledgerkin 家庭账本"));
    QVERIFY(pFrame->windowState() & Qt::WindowMaximized);
    QStringList enabled;
    for (const QAction* pAction : pFrame->findChildren<QAction*>()) {
        if (!pAction->objectName().isEmpty() && pAction->isEnabled())
            enabled << pAction->objectName();
    }
    enabled.sort();
    QCOMPARE(enabled,
             (QStringList{QStringLiteral("32783"), QStringLiteral("32784"), QStringLiteral("32788"),
                          QStringLiteral("32812"), QStringLiteral("32843"), QStringLiteral("57664"),
                          QStringLiteral("59392"), QStringLiteral("59393")}));
    QVERIFY(pFrame->View<CMainView>());
    auto* pCalendar = gui.Find<QCalendarWidget>(CMainView::IDC_CALENDAR);
    QCOMPARE(pCalendar->selectedDate(), QDate(2004, 3, 2));
    QVERIFY(pCalendar && !pCalendar->isVisible());
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItemCount(), 0);
    QVERIFY(SetPointers(pFrame).isEmpty());
    QCOMPARE(gui.Find<QLabel>(QStringLiteral("0"))->text(), S("就绪"));
    for (const char* pszPane : {"59137", "59138", "59139"})
        QVERIFY(gui.Find<QLabel>(QLatin1String(pszPane)));
    QCOMPARE(CTestAccess::TreeView(pFrame)->width(), 180);

    // Help does nothing at all.
    QWidget* pPane = CTestAccess::RightPane(pFrame);
    QVERIFY(gui.Trigger(CMainFrame::ID_HELP));
    QCOMPARE(CTestAccess::RightPane(pFrame), pPane);
    QVERIFY(gui.Messages().isEmpty());
    QVERIFY(!gui.Trigger(CMainFrame::ID_SUM_VIEW));
    CToday::Set(QDate());

    // The start-up backup's outcome never pushes aside how to log in.
    const QString strHint = S("演示账本已打开：用户“演示用户”，密码“demo”。");
    const struct {
        QString strShown;
        bool bOk;
        QString strBackup, strAfter;
    } backups[] = {
        {QString(), true, S("已备份账本到“/b”。"), S("已备份账本到“/b”。")},
        {strHint, true, S("已备份账本到“/b”。"), strHint},
        {strHint, false, S("账本备份失败"), strHint + S("　账本备份失败")},
        {strHint, true, QString(), strHint},
    };
    for (const auto& b : backups) {
        pFrame->SetStatusText(b.strShown);
        pFrame->ShowBackupResult(b.bOk, b.strBackup);
        QCOMPARE(pFrame->statusBar()->currentMessage(), b.strAfter);
    }
}

void TestMainFrame::LoginViewCommandsAndLogout() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    gui.LogIn(S("张三"));
    QCOMPARE(pFrame->Session()->UserName(), S("张三"));
    // Creating or logging in another member switches to them.
    QVERIFY(gui.IsEnabled(CMainFrame::ID_NEW_USER) && gui.IsEnabled(CMainFrame::ID_LOGIN));
    QCOMPARE(pFrame->Action(CMainFrame::ID_LOGIN)->text(), S("切换用户(&L)"));
    for (const int nId : {32785, 32786, 32787, 32791, 32790, 32792, 32835, 32793, 32798, 32795,
                          32816, 32817, 32806, 32808})
        QVERIFY2(gui.IsEnabled(nId), qPrintable(QString::number(nId)));
    QVERIFY(gui.IsChecked(CMainFrame::ID_SUM_VIEW));
    QCOMPARE(SetPointers(pFrame), QStringList{QStringLiteral("CSumListView")});
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItem(0)->text(0), S("张三"));

    // The view already shown: nothing happens, not even a rebuilt tree.
    CSumListView* pSum = pFrame->View<CSumListView>();
    CTestAccess::TreeView(pFrame)->topLevelItem(0)->setText(0, QStringLiteral("marker"));
    QVERIFY(gui.Trigger(CMainFrame::ID_SUM_VIEW));
    QCOMPARE(pFrame->View<CSumListView>(), pSum);
    QVERIFY(gui.IsChecked(CMainFrame::ID_SUM_VIEW));
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItem(0)->text(0), QStringLiteral("marker"));

    const std::pair<int, const char*> commands[] = {
        {CMainFrame::ID_INCOME_VIEW, "CIncomeView"}, {CMainFrame::ID_OUTLAY_VIEW, "COutlayView"},
        {CMainFrame::ID_IN_CHART, "CInChartView"},   {CMainFrame::ID_OUT_CHART, "COutChartView"},
        {CMainFrame::ID_RPT_VIEW, "CRptView"},       {CMainFrame::ID_SUM_VIEW, "CSumListView"}};
    for (const auto& [nId, pszClass] : commands) {
        QVERIFY(gui.Trigger(nId));
        QCOMPARE(SetPointers(pFrame), QStringList{QLatin1String(pszClass)});
        QCOMPARE(CTestAccess::RightPane(pFrame)->objectName(), QLatin1String(pszClass));
        int nChecked = 0;
        for (const int nView : {32793, 32798, 32795, 32816, 32817, 32806})
            nChecked += gui.IsChecked(nView) ? 1 : 0;
        QCOMPARE(nChecked, 1);
        QVERIFY(gui.IsChecked(nId));
        // A user without rows: the month trees show a bare root, the day trees and the
        // report's nothing.
        const bool bRoot = nId != CMainFrame::ID_RPT_VIEW && nId != CMainFrame::ID_INCOME_VIEW &&
                           nId != CMainFrame::ID_OUTLAY_VIEW;
        QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItemCount(), bRoot ? 1 : 0);
    }

    pFrame->SetLoggedOut();
    QVERIFY(!pFrame->Session()->IsLoggedIn() && pFrame->Session()->UserName().isEmpty());
    QVERIFY(pFrame->View<CMainView>());
    QVERIFY(SetPointers(pFrame).isEmpty());
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItemCount(), 0);
    QVERIFY(gui.IsEnabled(CMainFrame::ID_LOGIN) && !gui.IsEnabled(CMainFrame::ID_ADVICE));
    QVERIFY(!gui.IsChecked(CMainFrame::ID_SUM_VIEW));

    // Logging in again after the summary was last shown still builds and shows it.
    gui.LogIn(S("李四"));
    QCOMPARE(SetPointers(pFrame), QStringList{QStringLiteral("CSumListView")});
    QCOMPARE(CTestAccess::TreeView(pFrame)->topLevelItem(0)->text(0), S("李四"));
}

void TestMainFrame::SwitchViewKeepsInvariantAndWidth() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    auto* pSplitter = gui.Find<QSplitter>(QStringLiteral("59648"));
    pSplitter->setSizes({250, pSplitter->width() - 250});
    const QList<int> sizes = pSplitter->sizes();
    using EView = CMainFrame::EView;
    const std::pair<EView, const char*> views[] = {
        {EView::SumList, "CSumListView"},   {EView::Income, "CIncomeView"},
        {EView::Outlay, "COutlayView"},     {EView::InChart, "CInChartView"},
        {EView::OutChart, "COutChartView"}, {EView::Rpt, "CRptView"},
        {EView::Main, "CMainView"}};
    for (const auto& [eView, pszClass] : views) {
        CTestAccess::SwitchView(pFrame, eView);
        CGuiTest::ProcessEvents();
        QWidget* pPane = CTestAccess::RightPane(pFrame);
        QCOMPARE(pPane->objectName(), QLatin1String(pszClass));
        QCOMPARE(pSplitter->widget(1), pPane);
        QCOMPARE(pSplitter->count(), 2);
        QCOMPARE(pSplitter->sizes(), sizes);
        const QStringList set = SetPointers(pFrame);
        QCOMPARE(set, eView == EView::Main ? QStringList() : QStringList{QLatin1String(pszClass)});
        // Asking for the class already shown keeps the very same view.
        CTestAccess::SwitchView(pFrame, eView);
        QCOMPARE(CTestAccess::RightPane(pFrame), pPane);
    }
    // Exactly one right-hand view left: the old ones are gone, not hidden.
    QCOMPARE(pFrame->findChildren<CFormView*>().size(), 1);
}

void TestMainFrame::BarsToggleAndExitAsksNothing() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    auto* pToolBar = gui.Find<QToolBar>(QStringLiteral("128"));
    QVERIFY(gui.Trigger(CMainFrame::ID_VIEW_TOOLBAR));
    QVERIFY(!pToolBar->isVisible());
    QVERIFY(!gui.IsChecked(CMainFrame::ID_VIEW_TOOLBAR));
    QVERIFY(gui.Trigger(CMainFrame::ID_VIEW_TOOLBAR));
    QVERIFY(pToolBar->isVisible());
    QVERIFY(gui.Trigger(CMainFrame::ID_VIEW_STATUS_BAR));
    QVERIFY(!pFrame->statusBar()->isVisible());
    QVERIFY(!gui.IsChecked(CMainFrame::ID_VIEW_STATUS_BAR));

    gui.LogIn(S("张三"));
    QVERIFY(gui.Trigger(CMainFrame::ID_EXIT));
    QVERIFY(!pFrame->isVisible());
    QVERIFY(gui.Messages().isEmpty());
}

// Every view in the smallest supported window and in 1280×720: no text cut, the tree at
// least as wide as its minimum, the view never wider than its pane, and at 1280×720 no
// horizontal scroll bar anywhere.
void TestMainFrame::ViewsFitSmallWindows() {
    CGuiTest gui;
    CTestRows::AddBank(S("张三"), S("招商银行信用卡还款专户"), 1000);
    const QDateTime day(QDate(2025, 3, 2), QTime(0, 0));
    CTestRows::AddRecord<CIncomeSet>(S("张三"), day, S("招商银行信用卡还款专户"), S("房地产收入"),
                                     S("三月份的房租，由租客分两次转入，第二次晚了一周"), 3200.5);
    CTestRows::AddRecord<COutlaySet>(S("张三"), day, S("招商银行信用卡还款专户"), S("医疗保健支出"),
                                     S("体检"), 880);
    gui.LogIn(S("张三"));
    CMainFrame* pFrame = gui.Frame();
    pFrame->showNormal();
    const int views[] = {CMainFrame::ID_SUM_VIEW,    CMainFrame::ID_INCOME_VIEW,
                         CMainFrame::ID_OUTLAY_VIEW, CMainFrame::ID_IN_CHART,
                         CMainFrame::ID_OUT_CHART,   CMainFrame::ID_RPT_VIEW};
    for (const QSize size : {QSize(1024, 600), QSize(1280, 720)}) {
        pFrame->resize(size);
        for (const int nView : views) {
            QVERIFY(gui.Trigger(nView));
            CGuiTest::ProcessEvents();
            QWidget* pPane = CTestAccess::RightPane(pFrame);
            const QString strTag = QStringLiteral("%1x%2 %3")
                                       .arg(size.width())
                                       .arg(size.height())
                                       .arg(QLatin1String(pPane->metaObject()->className()));
            QVERIFY2(pFrame->size() == size, qPrintable(strTag));
            // The tree at its narrowest still shows every level's text whole.
            CLeftView* pTree = CTestAccess::TreeView(pFrame);
            auto* pSplitter = gui.Find<QSplitter>(QStringLiteral("59648"));
            pSplitter->setSizes({0, size.width()});
            pTree->expandAll();
            CGuiTest::ProcessEvents();
            QVERIFY2(pTree->width() == pTree->minimumWidth(), qPrintable(strTag));
            for (QTreeWidgetItemIterator it(pTree); *it; ++it) {
                const QRect rect = pTree->visualItemRect(*it);
                const int nRight = rect.left() + pTree->iconSize().width() + 6 +
                                   pTree->fontMetrics().horizontalAdvance((*it)->text(0));
                QVERIFY2(nRight <= pTree->viewport()->width(),
                         qPrintable(strTag + QLatin1Char(' ') + (*it)->text(0)));
            }
            const QStringList clipped = Clipped(pPane);
            QVERIFY2(clipped.isEmpty(),
                     qPrintable(strTag + QLatin1Char(' ') + clipped.join(S("; "))));
            // The view's own form fits the width already at 1024; its grids from 1280 on.
            if (auto* pArea = qobject_cast<QAbstractScrollArea*>(pPane))
                QVERIFY2(!pArea->horizontalScrollBar()->isVisible(), qPrintable(strTag));
            if (size.width() < 1280)
                continue;
            QList<QAbstractScrollArea*> areas = pPane->findChildren<QAbstractScrollArea*>();
            if (auto* pArea = qobject_cast<QAbstractScrollArea*>(pPane))
                areas << pArea;
            for (const QAbstractScrollArea* pArea : areas)
                QVERIFY2(!pArea->horizontalScrollBar()->isVisible(),
                         qPrintable(strTag + QLatin1Char(' ') + pArea->objectName()));
        }
    }
}

// A restored window's size and tree width come back at the next start; the tree never comes
// back narrower than its minimum, and a first start (nothing saved) stays maximised.
void TestMainFrame::LayoutRememberedBetweenStarts() {
    CGuiTest gui;
    CMainFrame* pFrame = gui.Frame();
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("layout.ini")), QSettings::IniFormat);
    QVERIFY(!CWindowLayout::Restore(pFrame, settings));
    QVERIFY(pFrame->isMaximized());

    auto* pSplitter = gui.Find<QSplitter>(QStringLiteral("59648"));
    const int nMin = CTestAccess::TreeView(pFrame)->minimumWidth();
    for (const int nTree : {nMin + 90, 20}) {
        pFrame->showNormal();
        pFrame->resize(1100, 650);
        CGuiTest::ProcessEvents();
        pSplitter->setSizes({nTree, 1100 - nTree});
        const int nSaved = pSplitter->sizes().at(0);
        CWindowLayout::Save(pFrame, settings);
        pFrame->resize(1300, 700);
        pSplitter->setSizes({nMin + 200, 1000});
        QVERIFY(CWindowLayout::Restore(pFrame, settings));
        CGuiTest::ProcessEvents();
        QCOMPARE(pFrame->size(), QSize(1100, 650));
        QCOMPARE(pSplitter->sizes().at(0), std::max(nSaved, nMin));
        QVERIFY(pSplitter->sizes().at(0) >= nMin);
    }
}

namespace {
int OpenDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}
} // namespace

// The program's faces are read from their files, never mapped (whatever Qt or fontconfig
// opens), and a face that cannot be opened leaves no descriptor behind.
void TestMainFrame::FontFilesReadNotMapped() {
    QImage image(400, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        for (const char* szFamily :
             {"Noto Sans CJK SC", "Noto Serif CJK SC", "WenQuanYi Micro Hei"}) {
            painter.setFont(QFont(QString::fromLatin1(szFamily), 14, QFont::Bold));
            painter.drawText(10, 40, QStringLiteral("用户支出 收入 2024年"));
        }
    }
    int nInked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            nInked += qGray(image.pixel(x, y)) < 128;
    QVERIFY(nInked > 500); // the glyphs were read and drawn
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    for (const QByteArray& line : maps.readAll().split('\n')) {
        for (const char* szKind : {".ttc", ".ttf", ".otf"})
            QVERIFY2(!line.endsWith(szKind), line.constData());
    }

    FT_Library library = nullptr;
    QCOMPARE(FT_Init_FreeType(&library), 0);
    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("junk.ttf")));
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(5000, 'x')) == 5000);
    junk.close();
    const QString strFont =
        QStringLiteral("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc");
    struct SCase {
        QString strPath;
        bool bOpens;
    };
    const SCase cases[] = {{dir.filePath(QStringLiteral("missing.ttf")), false},
                           {dir.path(), false},
                           {junk.fileName(), false},
                           {strFont, QFileInfo::exists(strFont)}};
    for (const SCase& c : cases) {
        const int nBefore = OpenDescriptors();
        FT_Face face = nullptr;
        const FT_Error nError =
            FT_New_Face(library, QFile::encodeName(c.strPath).constData(), 0, &face);
        QCOMPARE(nError == 0, c.bOpens);
        if (c.bOpens) {
            // 用, at a size no one drew yet: its outline is read now.
            QCOMPARE(FT_Set_Pixel_Sizes(face, 0, 77), 0);
            QVERIFY(FT_Get_Char_Index(face, 0x7528) != 0);
            QCOMPARE(FT_Load_Char(face, 0x7528, FT_LOAD_RENDER), 0);
            QVERIFY(face->glyph->bitmap.width > 30);
            QCOMPARE(FT_Done_Face(face), 0);
        }
        QCOMPARE(OpenDescriptors(), nBefore);
    }
    FT_Done_FreeType(library);
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
