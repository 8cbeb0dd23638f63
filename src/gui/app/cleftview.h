#pragma once

#include <QTreeWidget>

class CMainFrame;
enum class ERecordKind;

// The navigation tree of the left pane: user -> year -> month (-> day), built from the
// current user's income rows, outlay rows or both, depending on the view on the right.
// Choosing an item tells the right-hand view which user, year, month or day to show.
// Items carry nothing but their labels ("2004年", "3月", "2日").
class CLeftView : public QTreeWidget {
    Q_OBJECT
public:
    enum ELevel { User = 0, Year = 1, Month = 2, Day = 3 };

    explicit CLeftView(QWidget* pParent = nullptr);

    // Styles and the level icons (also done by the constructor; safe to call again).
    void OnInitialUpdate();

    QTreeWidgetItem* FindOrInsertRoot(const QString& strLabel);
    // A null parent gives null and inserts nothing.
    QTreeWidgetItem* FindOrInsertYear(QTreeWidgetItem* pParent, int nYear);
    QTreeWidgetItem* FindOrInsertMonth(QTreeWidgetItem* pParent, int nMonth);
    QTreeWidgetItem* FindOrInsertDay(QTreeWidgetItem* pParent, int nDay);

    struct SDayPath {
        QTreeWidgetItem* pYear = nullptr;
        QTreeWidgetItem* pMonth = nullptr;
        QTreeWidgetItem* pDay = nullptr;
    };
    SDayPath InsertDayPath(const QString& strLabel, int nYear, int nMonth, int nDay);
    // For a daily view: inserts the day under the user when missing, expands its year and
    // month and selects it, which runs the selection handling like a click would.
    void ShowDay(const QString& strUser, int nYear, int nMonth, int nDay);

    // Builds from the current user's rows. A database error is shown; the items inserted
    // up to then stay.
    void BuildIncomeTree();
    void BuildOutlayTree();
    void BuildSummaryTree();
    void BuildInChartTree();
    void BuildOutChartTree();
    void Empty();
    // Shows the selected item's content again (after another copy wrote the book).
    void ReapplySelection() { OnSelectionChanged(); }

    // 0 = user, 1 = year, 2 = month, 3 = day.
    static int Level(const QTreeWidgetItem* pItem);
    // The leading decimal digits of a label ("2004年" -> 2004; none -> 0).
    static int LabelNumber(const QString& strLabel);

private:
    void BuildDayTree(ERecordKind eKind);
    void BuildMonthTree(bool bIncome, bool bOutlay);
    QTreeWidgetItem* FindOrInsertChild(QTreeWidgetItem* pParent, const QString& strLabel,
                                       int nLevel);
    void OnSelectionChanged();
    QString CurrentUser() const;

    QTreeWidgetItem* m_pShown = nullptr; // the item whose content the right pane shows
    int m_nGeneration = 0;               // counts emptyings, which delete every item
};
