#pragma once

#include "plans/cbudget.h"

#include "records/cdaybook.h"
#include "records/cdayedit.h"
#include "records/cgridcelleditor.h"
#include "records/crecordkind.h"
#include "widgets/cformview.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class CMsflexgrid1;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QGroupBox;
class QLabel;
class QRadioButton;

// What the income and outlay views share: one day of the user's records for one account,
// the day's totals per account, moving between days, and editing the day's records in the
// grid through the floating cell editor laid over the clicked cell.
//
// Three states: browsing, adding (one new row at the bottom) and modifying (every row).
// Nothing reaches the book until "确定", which sends only what this copy did to the day —
// rows added, rows changed (with their 编号 and values as read), rows removed — and moves
// the balance by that, in one transaction; rows another copy wrote meanwhile stay. When
// another copy changed or removed a row this one changes, nothing is written: the day is
// shown as it is now with the rest of what was typed here back in the grid, the other copy's
// rows marked, and the rows both changed offered one by one (theirs or mine) above the grid.
class CDayView : public CFormView {
    Q_OBJECT
public:
    // Control ids, also the controls' object names.
    enum EControl {
        IDC_COMBO_BANK = 1000,
        IDC_EDIT_USER = 1001,
        IDC_EDIT_DATE = 1002,
        IDC_EDIT_TOTAL = 1004,
        IDC_TOTAL_ACCOUNTS = 1028, // the accounts the total sums
        IDC_GRID_RECORDS = 1011,
        IDC_GRID_SUMMARY = 1012,
        IDC_COMBO_SORT = CGridCellEditor::IDC_COMBO_SORT,
        IDC_EDIT_TEXT = CGridCellEditor::IDC_EDIT_TEXT,
        IDC_ADD = 1016,
        IDC_MODIFY = 1017,
        IDC_CONFIRM = 1018,
        IDC_CANCEL = 1019,
        IDC_PREV_DAY = 1020,
        IDC_NEXT_DAY = 1021,
        IDC_FIRST_DAY = 1022,
        IDC_LAST_DAY = 1023,
        IDC_DELETE_ROW = 1024,
        IDC_DELETE_DAY = 1025,
        IDC_LIST_SORT = CGridCellEditor::IDC_LIST_SORT,
        IDC_CONFLICT = 1029,    // after a conflict: the rows both copies changed
        IDC_KEEP_THEIRS = 1030, // per row of it: keep the other copy's
        IDC_KEEP_MINE = 1031,   // per row of it: keep what was typed here
    };

    CDayView(ERecordKind eKind, const CSession* pSession, QWidget* pParent);
    ERecordKind Kind() const { return m_eKind; }

    void OnInitialUpdate() override;
    // A day chosen in the tree; the other scopes mean nothing to a daily view.
    void ShowScope(const CScope& scope) override;
    // The day of a found record on its account, with its row chosen. False when the day could
    // not be left (an open edit) or the record is no longer there.
    bool ShowRecord(const QDate& day, const QString& strBank, qint64 nId);
    // An add or modify is open: the tree must not change the day under it.
    bool IsEditing() const override { return m_bAdding || m_bModifying; }
    // Asks whether to store an open edit (保存 / 不保存 / 取消).
    bool LeaveEdit() override;

    // The account list and the day shown read again from the book.
    void FillAccountList();
    // The user's categories offered for new rows.
    void FillCategoryList();
    // Shows the current day and sends DayShown. While an add or modify is open the day under
    // it stays (and is sent again, so the tree goes back to it).
    void ShowCurrentDay();
    void GoLastDay();

    // The buttons by key, wherever the focus is in the window:
    // 新增 (Insert) while browsing;
    // 修改 (F2) while browsing, and while editing the highlighted cell opened;
    // 删除 (Ctrl+Delete) of the row being edited or highlighted, entering 修改 first when
    // browsing;
    // 确定 (Ctrl+Enter) of whatever is typed, the cell being edited included.
    void StartAdding();
    void StartModifying();
    void DeleteCurrentRow();
    void ConfirmTyped();

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    // The day shown until the tree or a button chooses one.
    void StartOn(const QDate& day) {
        m_nYear = day.year();
        m_nMonth = day.month();
        m_nDay = day.day();
    }

private:
    friend class CTestAccess; // tests/support/gui

    // Members <-> controls: the user, date and total boxes.
    void UpdateData(bool bSaveAndValidate);
    void LoadDay(int nYear, int nMonth, int nDay, const QString& strBank);
    // False when the day's totals could not be read: the pane then shows none, not the last
    // day's.
    bool ShowDaySummary(int nYear, int nMonth, int nDay);
    void GoFirstDay();
    void GoPrevDay();
    void GoNextDay();
    // Something typed, changed or removed in the open edit that 确定 would store.
    bool HasChanges() const;
    // Removes the chosen open row as part of the edit (undone by 取消, stored by 确定).
    void OnDeleteRow();
    // Removes the shown day when it holds no records, after a question.
    void OnDeleteDay();

    // ---- editing (buttons 1016 to 1019 and the grid's click)
    void OnAdd();
    void OnModify();
    void OnConfirm();
    void OnCancel();
    void PlaceEditor();
    // Lays the editor over cell (nRow, nCol) of the grid when that row is open for editing.
    void EditCell(int nRow, int nCol);
    // Takes grid row nRow (1 …) out of the grid; a stored row is deleted by the next confirm.
    void RemoveRow(int nRow);
    // What confirming now would send: the grid rows against the rows as read.
    SDayEdit GridEdit() const;
    QString CategoryMessage() const;
    QString AmountMessage(int nRow) const;
    // The questions before storing: negative amounts typed, and an account taken below zero.
    // False when the user said no.
    bool ConfirmAmounts(const QVector<SDayRecord>& rows);
    // Puts the highlight (and the editor, when the row is open) on the cell a message is about.
    void ShowProblemCell(int nRow, int nCol);
    QDate CurrentDay() const { return QDate(m_nYear, m_nMonth, m_nDay); }
    void MoveToDay(const QDate& day);
    void StepTo(int eStep);
    void SetEditingButtons(bool bAdding, bool bModifying);
    void MarkRows(int nFirst, int nLast, const QString& strMark);
    // The amount a cell holds (0 for none).
    static double CellAmount(const QString& strCell);
    SDayRecord GridRow(int nRow) const;
    void AppendGridRow(const SDayRecord& r);
    // A row for a new record at the bottom, in the account shown.
    void AddEmptyRow();
    // The accounts label's text (its tip) cut to its width.
    void ElideTotalAccounts();
    // The budgets of the shown day's month (none when they cannot be read).
    QVector<CBudget::SLine> BudgetLines() const;
    bool SaveGridRows(const SDayEdit& edit);
    // After a refused confirm: the day as it is now, the rest of the edit sent typed again on
    // top, the rows another copy wrote marked and those both changed offered in the box.
    void ShowConflict(const SDayEdit& sent, const QVector<SDayConflictRow>& rows);
    void FillConflictBox();
    void EndConflict();
    // Colour, tip and "！" of the other copy's rows; again whenever rows move or are re-marked.
    void MarkOtherCopysRows();
    // A row both copies changed: its choice is made in the box, not in the grid.
    bool IsConflictRow(int nRow) const;
    // What 确定 sends: the grid's edit, with the choices of a conflict taken.
    SDayEdit EditToSend() const;
    // A record in one line ("用餐支出 · 午饭 · 28.00"), its account when not the one shown.
    QString RowText(const SDayRecord& r) const;
    void OnAccountChange(int nIndex);
    // Where the editor's keys lead: Tab / Shift+Tab and Enter from cell to cell (Enter on the
    // last cell starting the next row), Up / Down between rows, Ctrl+Enter confirms, Esc
    // cancels an add.
    void OnEditorMove(CGridCellEditor::EMove eMove);
    void StepCell(int nStep, bool bNewRowAtEnd);
    // Rows begun by Enter (or 新增) with nothing typed are not records.
    void DropEmptyNewRows();
    bool IsRowOpen(int nRow) const;
    // The highlighted cell of the grid (row 1 …, column 1 to 3); row 0 when there is none.
    int CurrentRow() const;
    int CurrentCol() const;
    void Highlight(int nRow, int nCol);
    // A key pressed on the grid while no cell is open; true when it was taken.
    bool GridKey(QKeyEvent* pKey);

    ERecordKind m_eKind;
    QString m_strDate;
    QString m_strTotal;
    QString m_strBank;
    QStringList m_dayAccounts; // the accounts with records on the day shown, in list order
    int m_nYear = 0;
    int m_nMonth = 0;
    int m_nDay = 0;
    int m_nRows = 1; // the grid's rows, the heading's included
    bool m_bAdding = false;
    bool m_bModifying = false;
    int m_nClickRow = 0; // the row 删除 takes away
    CMsflexgrid1* m_gridRecords = nullptr;
    CMsflexgrid1* m_gridSummary = nullptr;
    CGridCellEditor* m_pCellEditor = nullptr;
    QComboBox* m_comboBank = nullptr;
    QLineEdit* m_pEditUser = nullptr;
    QLineEdit* m_pEditDate = nullptr;
    QLineEdit* m_pEditTotal = nullptr;
    QGroupBox* m_pTotalBox = nullptr;
    QLabel* m_pTotalAccounts = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pModify = nullptr;
    QPushButton* m_pConfirm = nullptr;
    QPushButton* m_pCancel = nullptr;
    QPushButton* m_pDeleteRow = nullptr;
    QPushButton* m_pDeleteDay = nullptr;
    QPushButton* m_pNav[4] = {};
    QDate m_editDay;        // the day an open add or modify belongs to
    int m_nFirstNewRow = 0; // while adding: the first of the rows added (typed one after another)
    // Which grid rows were read (grid row n is the edit's row n - 1) and which were removed.
    CDayEdit m_edit;
    bool m_bDayShown =
        false; // a day was shown at least once (the boxes hold stand-in texts before)
    // After a conflict: the rows both copies changed with one choice each, and the rows only
    // the other copy added or changed (编号 → tip).
    QGroupBox* m_pConflictBox = nullptr;
    QVector<SDayConflictRow> m_conflict;
    QVector<QRadioButton*> m_keepMine;
    QHash<qint64, QString> m_otherRows;
};
