#pragma once

#include "cdatabase.h"

#include <QString>

// Many record rows added in one transaction (an import): on SQLite the kept totals' triggers
// are switched off for this connection only, and the rows are added to the totals in one
// grouped pass at the end, which costs a fraction of a trigger per row. Other copies of the
// program keep their triggers; they cannot write meanwhile, the transaction holds the lock.
//
// Between construction and Finish() the connection may only INSERT into "Income" and
// "Outlay" (other tables freely): a change or removal of an older record would go uncounted.
// On PostgreSQL, or outside a transaction, nothing is switched off and Finish() does nothing.
class CBulkRows {
public:
    // Inside a CTransaction, before the first row. Throws CDBException.
    explicit CBulkRows(const QString& strConnection = CDatabase::DefaultConnection);
    // Switches the triggers back on; when Finish() did not run and no exception is on its
    // way, it brings the totals up to date first.
    ~CBulkRows();
    CBulkRows(const CBulkRows&) = delete;
    CBulkRows& operator=(const CBulkRows&) = delete;

    // After the last row, before the transaction commits. Throws CDBException.
    void Finish();

private:
    void Resume();

    QString m_strConnection;
    bool m_bPaused = false;
    qint64 m_nIncomeAfter = 0; // the largest 编号 of each table before the first row
    qint64 m_nOutlayAfter = 0;
};
