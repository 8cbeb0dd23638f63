#pragma once

#include "cdatabase.h"
#include "csearchschema.h"

#include <QString>

// The kept words of the records (CSearchSchema makes and keeps them), as the searches of a
// connection find them.
class CSearchText {
public:
    // The kept words are there, kept by this version's triggers (looked up once per opening
    // of the connection) and filled for every row. Throws CDBException.
    static bool IsReady(const QString& strConnection = CDatabase::DefaultConnection);

    // The pieces of the kept words are indexed (CSearchSchema::HasPieces; looked up once per
    // opening). Throws CDBException.
    static bool HasPieces(const QString& strConnection = CDatabase::DefaultConnection);

    // The first filling of an older book's words (CSearchSchema::FillStep): where it stands,
    // and one more step of it. A book without the kept words has nothing to fill (done).
    // Throws CDBException.
    using SFill = CSearchSchema::SFill;
    static SFill Filled(const QString& strConnection = CDatabase::DefaultConnection);
    static SFill FillStep(qint64 nRows,
                          const QString& strConnection = CDatabase::DefaultConnection);

    // Adds the words of record rows written without the triggers (CBulkRows): income and
    // outlay rows whose 编号 is above nIncomeAfter / nOutlayAfter. Throws CDBException.
    static void AddRowsAfter(qint64 nIncomeAfter, qint64 nOutlayAfter,
                             const QString& strConnection = CDatabase::DefaultConnection);
};
