#pragma once

#include "records/cdaybook.h"

#include <QVector>

// The bookkeeping of a day being edited: which rows of the grid were read from the book (with
// their 编号 and values as read), which were typed here, and which rows as read were removed.
// From the rows the grid shows now it tells what confirming would send (SDayEdit): rows
// added, rows changed against how they were read, rows removed. Rows are counted from 0, in
// grid order; a row past the rows read was typed here.
class CDayEdit {
public:
    // The day's rows as read; nothing removed yet.
    void Load(const QVector<SDayRecord>& rows);
    void Clear();

    // Row nRow was read from the book (it has a 编号).
    bool IsRead(int nRow) const;
    // Takes row nRow out; a row read from the book is deleted by the next confirm.
    void Remove(int nRow);
    // Row nRow's amount was typed here: the row is new, or its amount is not the one read.
    bool IsTypedAmount(int nRow, double dAmount) const;
    // The row read under that 编号, or -1.
    int RowOf(qint64 nId) const;
    // The 编号 row nRow was read under; 0 for a row typed here.
    qint64 IdOf(int nRow) const { return m_loaded.value(nRow).nId; }
    // Every row as read, the removed ones too.
    QVector<SDayRecord> Read() const { return m_loaded + m_removed; }

    // What confirming the grid's rows (in grid order, as they are now) would send. An amount
    // is compared in whole cents, so a row shown as stored compares equal.
    SDayEdit Edit(const QVector<SDayRecord>& rows) const;

private:
    QVector<SDayRecord> m_loaded;
    QVector<SDayRecord> m_removed;
};
