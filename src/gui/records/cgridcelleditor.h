#pragma once

#include "records/crecordkind.h"

#include <QObject>
#include <QString>
#include <QStringList>

class CMsflexgrid1;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QListWidget;

// The floating editor of a day's records grid: a text box, for the category cell an editable
// list of categories, for the account cell the list of accounts, laid over one cell of the grid and
// writing what is typed into that cell at once. Typing in the category cell filters a list of the
// categories that match (by characters or pinyin initials); Enter or Tab takes the highlighted one.
//
// It knows the grid's columns but not which rows may be edited: the view opens it on a cell
// and moves it when the editor asks to leave (Tab, Enter, arrows, Esc).
class CGridCellEditor : public QObject {
    Q_OBJECT
public:
    // Control ids, also the controls' object names.
    enum EControl {
        IDC_COMBO_SORT = 1014,
        IDC_EDIT_TEXT = 1015,
        IDC_LIST_SORT = 1026,
        IDC_COMBO_ROW_BANK = 1027,
    };
    // The grid's columns (0 carries the row's mark).
    enum EColumn { ColSort = 1, ColNote = 2, ColAmount = 3, ColBank = 4, ColLast = ColBank };
    // Where a key asked to go from the open cell, its text already in the grid.
    enum class EMove {
        Next,      // Tab
        Prev,      // Shift+Tab
        NextOrNew, // Enter: the last cell of the last row begins a new row
        Up,
        Down,
        Escape,
    };

    CGridCellEditor(ERecordKind eKind, CMsflexgrid1* pGrid);

    // The categories the list offers (the built-in ones until set): the user's own.
    void SetCategories(const QStringList& names);

    // Lays the editor over cell (nRow, nCol) with the cell's text selected, and gives it the
    // focus. Typing replaces the text; a category is chosen from the list.
    void Open(int nRow, int nCol);
    // Opens the cell as Open does and puts strTyped in it, as if typed there.
    void OpenTyping(int nRow, int nCol, const QString& strTyped);
    // Hides the floating controls; the cell keeps what was typed.
    void Close();
    bool IsOpen() const;
    int Row() const { return m_nRow; }
    int Col() const { return m_nCol; }
    // A row above the open one was removed: the editor stays on its cell's row.
    void Forget() { m_nRow = 0; }
    // Takes into the cell what the category box shows (the highlighted match of an open
    // filter, else the entry shown), as leaving the cell would.
    void Commit();

    // The accounts a row's account cell offers.
    void SetAccounts(const QStringList& accounts);

    // The categories a typed text points at, in list order.
    QStringList Matching(const QString& strTyped) const;
    // An amount cell's text for what was typed: the amount as it will be stored, or the text
    // itself while it is not an amount.
    static QString AmountCell(const QString& strTyped);

Q_SIGNALS:
    void MoveAsked(CGridCellEditor::EMove eMove);
    void StatusText(const QString& strText);

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

private:
    bool EditorKey(QKeyEvent* pKey);
    // The floating control of a column.
    QWidget* Floating(int nCol) const;
    void KeepOnCell();
    void OnTextEdited(const QString& strText);
    void OnCategoryChosen(int nIndex);
    void OnCategoryTyped(const QString& strTyped);
    // Ends the category filter: with bTake the highlighted category goes into the cell,
    // otherwise the cell keeps what it had.
    void CloseCategoryFilter(bool bTake);
    QString ChooseMatchHint() const;

    ERecordKind m_eKind;
    CMsflexgrid1* m_pGrid;
    QStringList m_categories;
    QLineEdit* m_pEditText = nullptr;
    QComboBox* m_comboSort = nullptr;
    QComboBox* m_comboRowBank = nullptr; // the account cell's list
    // Under the category cell while something is typed in it: the categories that match,
    // the highlighted one taken by Enter or Tab. A single match is highlighted at once;
    // among several the user highlights one first.
    QListWidget* m_pSortList = nullptr;
    int m_nRow = 0;
    int m_nCol = 0;
};
