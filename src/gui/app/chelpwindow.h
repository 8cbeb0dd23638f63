#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

// The user guide bundled with the program: its chapters in a contents list, the chapter in a
// browser beside it, and a search box that keeps only the chapters holding the words typed and
// marks them in the text. One window, raised again when asked for again.
class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    // Shows the guide (creating it the first time) at its first chapter.
    static CHelpWindow* ShowHelp();
    static CHelpWindow* Instance() { return s_pInstance; }

    explicit CHelpWindow(QWidget* pParent = nullptr);
    ~CHelpWindow() override;

    // The chapters' resource paths, in contents order.
    static QStringList Chapters();
    // The visible chapters' titles, in contents order.
    QStringList ShownTitles() const;
    QTextBrowser* Browser() const { return m_pBrowser; }
    void Search(const QString& strWords);
    void OpenChapter(int nChapter);

private:
    void MarkWords();

    static CHelpWindow* s_pInstance;
    QLineEdit* m_pSearch;
    QListWidget* m_pContents;
    QTextBrowser* m_pBrowser;
    QStringList m_chapterTexts; // plain text of each chapter, for the search
    QStringList m_words;
};
