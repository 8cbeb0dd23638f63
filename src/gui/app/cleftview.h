#pragma once

#include "widgets/cscope.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QTreeWidget>
#include <QVector>
#include <optional>

class CSession;
enum class ERecordKind;

// The navigation tree of the left pane: user -> year -> month (-> day), built from the
// logged-in user's income rows, outlay rows or both, depending on the view on the right.
// Years are made at once; a year's months and a month's days only when it is expanded or one
// of its items is asked for, so a book of forty years builds forty items, not 14,000.
// Choosing an item sends ScopeChosen; each item keeps its date (the first day of its year or
// month, or its day) beside its label ("2004年", "3月", "2日").
class CLeftView : public QTreeWidget {
    Q_OBJECT
public:
    enum ELevel {
        User = CScope::User,
        Year = CScope::Year,
        Month = CScope::Month,
        Day = CScope::Day
    };

    explicit CLeftView(const CSession* pSession, QWidget* pParent = nullptr);

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
    // month and selects it, which sends ScopeChosen like a click would.
    void ShowDay(int nYear, int nMonth, int nDay);

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
    static CScope ScopeOf(const QTreeWidgetItem* pItem);

Q_SIGNALS:
    void ScopeChosen(const CScope& scope);

private:
    void BuildDayTree(ERecordKind eKind);
    void BuildMonthTree(bool bIncome, bool bOutlay);
    void BuildYears(bool bIncome, bool bOutlay, std::optional<ERecordKind> eDays);
    QTreeWidgetItem* FindOrInsertChild(QTreeWidgetItem* pParent, const QString& strLabel,
                                       int nLevel, const QDate& date);
    static QTreeWidgetItem* NewItem(const QString& strLabel, int nLevel, const QDate& date);
    // Makes the month items of a year, or the day items of a month, when first asked for.
    void AddPending(QTreeWidgetItem* pItem);
    void OnSelectionChanged();
    QString CurrentUser() const;

    const CSession* m_pSession;
    // Years whose month items are not made yet, and months whose day items are not; the
    // tables whose months the tree shows, and the table a day tree's days come from.
    QSet<QTreeWidgetItem*> m_pendingYears;
    QSet<QTreeWidgetItem*> m_pendingMonths;
    bool m_bIncome = true;
    bool m_bOutlay = true;
    std::optional<ERecordKind> m_eDays;
};
