#pragma once

#include "csqldialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The words of every record kept for finding them fast, in a table of the program's own:
//
//   "SearchText"   one row per income, outlay and transfer row: "Row" (the record's 编号 * 4
//                  plus its kind: 0 income, 1 outlay, 2 transfer), "UserName", and "Words",
//                  the record's category, note and account (a transfer: both accounts)
//                  joined by a unit separator and folded as Fold() folds;
//   "SearchIndex"  SQLite only: an FTS5 trigram index over "Words" (a word of three
//                  characters or more is found without reading every row of the user).
//                  PostgreSQL indexes "Words" with pg_trgm when the server has it.
//
// Triggers on the three record tables keep it right whatever writes them, as they keep the
// totals. A book that cannot take the table (opened read-only, a role that may not create,
// an SQLite without FTS5) opens all the same: searching then reads the records themselves.
class CSearchSchema {
public:
    static const QString Table; // quoted
    static const QString Index; // quoted, SQLite only
    enum EKind { Income = 0, Outlay = 1, Transfer = 2 };

    // The folding both sides of a search go through: full-width forms (U+FF01 to U+FF5E) and
    // the ideographic space become their ASCII twins, and A-Z become a-z. Other characters
    // stay as they are, so Chinese is matched as typed.
    static QString Fold(const QString& str);
    // Creates the table, its index and triggers when they are missing (or were made by another
    // version) and fills them from the records, in one transaction that holds off writers.
    // Never fails: a book that cannot take them is left as it is. Runs on a freshly opened
    // connection, outside any transaction.
    static void Ensure(QSqlDatabase db, const CSqlDialect& dialect);

    // The table and this version's triggers are there, and this connection may read the table.
    // Throws CDBException.
    static bool Present(QSqlDatabase db, const CSqlDialect& dialect);
    // The statements adding the words of income (eKind Income) or outlay rows whose 编号 is
    // above one bound value, dropping first any row of theirs left behind.
    static QStringList AddStatements(const CSqlDialect& dialect, EKind eKind);
};
