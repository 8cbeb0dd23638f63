#pragma once

#include "data/cdbexception.h"
#include "records/sdayrecord.h"

#include <QVector>

// One row this copy changed or removed that another copy changed or removed first: the row
// as this copy read it, as the book holds it now and as it was typed here. Which of the two
// stays is chosen per row (bKeepMine); SDayEdit::Resolved turns the choices into the edit to
// confirm.
struct SDayConflictRow {
    SDayRecord read;
    SDayRecord stored; // its strBank the account it is in now
    SDayRecord typed;
    bool bRemovedThere = false; // the other copy removed it (stored means nothing)
    bool bRemovedHere = false;  // this copy removed it (typed means nothing)
    bool bKeepMine = false;     // false: the row stays as the other copy left it
};

// A confirmation refused because a row it changes or removes was itself changed or removed
// by another copy of the program since the day was read. Nothing was written; m_rows says
// which rows, in the order of the edit (changed rows first, then removed ones).
class CDayConflict : public CDBException {
public:
    CDayConflict(QString strError, QVector<SDayConflictRow> rows)
        : CDBException(std::move(strError)), m_rows(std::move(rows)) {}

    QVector<SDayConflictRow> m_rows;
};
