#pragma once

#include "crecordkind.h"
#include "data/cdatabase.h"

#include <QDate>
#include <QString>

// Removing a day that was opened by mistake: a day holding only its placeholder row (no
// record of any account) goes away, so it no longer counts in the summary's days and
// averages. A day with records stays until its records are deleted.
class CEmptyDay {
public:
    enum class ERemove {
        Removed,
        HasRecords, // nothing removed
        NoDay,      // the user has no row on that day (removed elsewhere already)
    };

    // Deletes the user's placeholder rows of that day in one transaction. Only placeholder
    // rows are ever deleted, so a record another copy adds at the same moment stays, and so
    // does its day. Throws CDBException (then nothing is removed).
    static ERemove Remove(ERecordKind eKind, const QString& strUser, const QDate& day,
                          const QString& strConnection = CDatabase::DefaultConnection);
    static QString Message(ERemove eResult);
};
