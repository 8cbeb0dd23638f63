#include "chelpwindow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

CHelpWindow* CHelpWindow::s_pInstance = nullptr;

namespace {
QString ReadChapter(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
} // namespace

QStringList CHelpWindow::Chapters() {
    static const char* const kFiles[] = {"index",    "users",  "records", "transfers", "plans",
                                         "analysis", "charts", "reports", "window"};
    QStringList paths;
    for (const char* pszFile : kFiles)
        paths << QStringLiteral(":/res/help/%1.html").arg(QLatin1String(pszFile));
    return paths;
}

CHelpWindow* CHelpWindow::ShowHelp() {
    if (!s_pInstance)
        s_pInstance = new CHelpWindow;
    s_pInstance->show();
    s_pInstance->raise();
    s_pInstance->activateWindow();
    return s_pInstance;
}

CHelpWindow::CHelpWindow(QWidget* pParent) : QWidget(pParent, Qt::Window) {
    setObjectName(QStringLiteral("CHelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Ledgerkin 使用帮助"));
    resize(960, 680);

    m_pSearch = new QLineEdit;
    m_pSearch->setObjectName(QStringLiteral("HelpSearch"));
    m_pSearch->setPlaceholderText(tr("搜索帮助"));
    m_pSearch->setClearButtonEnabled(true);
    m_pContents = new QListWidget;
    m_pContents->setObjectName(QStringLiteral("HelpContents"));
    m_pBrowser = new QTextBrowser;
    m_pBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    m_pBrowser->setOpenExternalLinks(true);

    auto* pLeft = new QWidget;
    auto* pLeftLayout = new QVBoxLayout(pLeft);
    pLeftLayout->setContentsMargins(0, 0, 0, 0);
    pLeftLayout->addWidget(m_pSearch);
    pLeftLayout->addWidget(m_pContents, 1);
    auto* pSplitter = new QSplitter;
    pSplitter->addWidget(pLeft);
    pSplitter->addWidget(m_pBrowser);
    pSplitter->setStretchFactor(1, 1);
    pSplitter->setSizes({200, 760});
    pSplitter->setChildrenCollapsible(false);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(6, 6, 6, 6);
    pLayout->addWidget(pSplitter);

    // Titles come from the chapters themselves, so the contents never disagree with them.
    for (const QString& strPath : Chapters()) {
        QTextDocument doc;
        doc.setHtml(ReadChapter(strPath));
        m_chapterTexts << doc.toPlainText();
        auto* pItem = new QListWidgetItem(doc.metaInformation(QTextDocument::DocumentTitle));
        pItem->setData(Qt::UserRole, strPath);
        m_pContents->addItem(pItem);
    }
    pLeft->setMinimumWidth(m_pContents->sizeHintForColumn(0) + 40);

    // Esc closes the guide as it closes a dialog.
    auto* pClose = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(pClose, &QShortcut::activated, this, &QWidget::close);

    connect(m_pContents, &QListWidget::currentRowChanged, this, &CHelpWindow::OpenChapter);
    connect(m_pSearch, &QLineEdit::textChanged, this, &CHelpWindow::Search);
    connect(m_pBrowser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        // A link followed inside the guide selects its chapter in the contents.
        const int nChapter = Chapters().indexOf(QLatin1Char(':') + url.path());
        if (nChapter >= 0 && nChapter != m_pContents->currentRow())
            m_pContents->setCurrentRow(nChapter);
        MarkWords();
    });
    m_pContents->setCurrentRow(0);
}

CHelpWindow::~CHelpWindow() {
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

void CHelpWindow::OpenChapter(int nChapter) {
    const QStringList chapters = Chapters();
    if (nChapter < 0 || nChapter >= chapters.size())
        return;
    m_pBrowser->setSource(QUrl(QStringLiteral("qrc") + chapters[nChapter]));
}

QStringList CHelpWindow::ShownTitles() const {
    QStringList titles;
    for (int i = 0; i < m_pContents->count(); ++i)
        if (!m_pContents->item(i)->isHidden())
            titles << m_pContents->item(i)->text();
    return titles;
}

void CHelpWindow::Search(const QString& strWords) {
    m_words = strWords.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    int nFirstShown = -1;
    for (int i = 0; i < m_pContents->count(); ++i) {
        bool bHas = true;
        for (const QString& strWord : std::as_const(m_words))
            bHas = bHas && m_chapterTexts.value(i).contains(strWord, Qt::CaseInsensitive);
        m_pContents->item(i)->setHidden(!bHas);
        if (bHas && nFirstShown < 0)
            nFirstShown = i;
    }
    const int nCurrent = m_pContents->currentRow();
    if (nFirstShown >= 0 && (nCurrent < 0 || m_pContents->item(nCurrent)->isHidden()))
        m_pContents->setCurrentRow(nFirstShown);
    else
        MarkWords();
}

// Every place of the words searched for is highlighted; the first is scrolled into view.
void CHelpWindow::MarkWords() {
    QList<QTextEdit::ExtraSelection> marks;
    QTextCursor first;
    for (const QString& strWord : std::as_const(m_words)) {
        QTextCursor cursor(m_pBrowser->document());
        while (!(cursor = m_pBrowser->document()->find(strWord, cursor)).isNull()) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = cursor;
            mark.format.setBackground(QColor(0xFF, 0xE0, 0x66));
            marks << mark;
            if (first.isNull() || cursor.position() < first.position())
                first = cursor;
        }
    }
    m_pBrowser->setExtraSelections(marks);
    if (!first.isNull()) {
        QTextCursor at(first);
        at.clearSelection();
        m_pBrowser->setTextCursor(at);
        m_pBrowser->ensureCursorVisible();
    }
}
