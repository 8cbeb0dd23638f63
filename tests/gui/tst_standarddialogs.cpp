#include "cguitest.h"
#include "widgets/cmessagebox.h"

#include <QAbstractButton>
#include <QComboBox>
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
#include <QTabBar>
#include <QTest>
#include <QTreeView>

namespace {

// Every text a person sees on a window: its title, its visible buttons, labels, group and tab
// titles, menu entries and column headers.
QStringList VisibleTexts(QWidget* pWindow) {
    QStringList texts{pWindow->windowTitle()};
    QList<QWidget*> widgets = pWindow->findChildren<QWidget*>();
    widgets.prepend(pWindow);
    for (QWidget* p : std::as_const(widgets)) {
        if (!p->isVisible())
            continue;
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
                if (pAction->isVisible())
                    texts << pAction->text();
        if (auto* pHeader = qobject_cast<QHeaderView*>(p); pHeader && pHeader->model())
            for (int i = 0; i < pHeader->count(); ++i)
                if (!pHeader->isSectionHidden(i))
                    texts << pHeader->model()->headerData(i, pHeader->orientation()).toString();
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
    QPrinter printer;
    QLineEdit edit;
    std::unique_ptr<QWidget> pWindow;
    switch (nWindow) {
    case 0:
        pWindow = std::make_unique<QPrintDialog>(&printer, gui.Frame());
        break;
    case 1: {
        auto* pDialog = new QFileDialog(gui.Frame(), QStringLiteral("导出PDF"));
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
    const QStringList texts = VisibleTexts(pWindow.get());
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

QTEST_MAIN(TestStandardDialogs)
#include "tst_standarddialogs.moc"
