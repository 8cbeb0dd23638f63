#pragma once

#include "csqldialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

// The words of every record kept for finding them fast, in a table of the program's own:
//
//   "SearchText"   one row per income, outlay and transfer row: "Row" (the record's 编号 * 4
//                  plus its kind: 0 income, 1 outlay, 2 transfer), "UserName", "Words",
//                  the record's category, note and account (a transfer: both accounts)
//                  joined by a unit separator and folded as Fold() folds, "Day" the day it
//                  is listed under (yyyymmdd; 0 or NULL when the row is no record of a day:
//                  no account, or a date that is no day) and "Cents" its amount in cents. A
//                  search counts and sums its hits from these alone.
//                  While the rows of a book that had records before the table was made are
//                  being filled, a row per table still to fill says how far it is: "Row"
//                  -1 - kind, "Cents" the 编号 up to which that table is filled;
//   "SearchIndex"  SQLite only: an FTS5 trigram index over "Words" (a word of three
//                  characters or more is found without reading every row of the user).
//                  PostgreSQL indexes "Words" with pg_trgm when the server has it, and
//                  every piece of one and two characters of them, after the user's name
//                  (PiecesSql, Piece), in a GIN index of its own.
//
// Triggers on the three record tables keep it right whatever writes them, as they keep the
// totals. A book that cannot take the table (opened read-only, a role that may not create,
// an SQLite without FTS5) opens all the same: searching then reads the records themselves,
// as it does while the table is being filled.
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
    // version), in one transaction that holds off writers. Fills the words of the rows already
    // there at once when they are few (SetOpeningFill), else leaves that to FillStep. Never
    // fails: a book that cannot take them is left as it is. Runs on a freshly opened
    // connection, outside any transaction.
    static void Ensure(QSqlDatabase db, const CSqlDialect& dialect);

    // How far the words of the rows a book had before the table was made are filled, in
    // 编号 over the three record tables (nothing to fill: done).
    struct SFill {
        struct SPlace {
            bool bPending = false;
            qint64 nDone = 0; // filled up to this 编号
            qint64 nMax = 0;  // the table's highest 编号
        };
        SPlace places[3]; // by EKind
        qint64 nDone = 0, nTotal = 0;
        bool IsDone() const { return nDone >= nTotal; }
    };
    // Throws CDBException.
    static SFill Filled(QSqlDatabase db, const CSqlDialect& dialect);
    // Fills the words of the next nRows 编号 of the first table not filled yet, in a
    // transaction of its own (writers of the records wait that long), and says where filling
    // then stands. Copies stepping at once take turns; a copy killed mid-step leaves nothing
    // half done. Runs outside any transaction. Throws CDBException.
    static SFill FillStep(QSqlDatabase db, const CSqlDialect& dialect, qint64 nRows);
    // The most rows an opening fills at once (tests make it small to see the steps); returns
    // what it was.
    static qint64 SetOpeningFill(qint64 nRows);

    // The table and this version's triggers are there, and this connection may read the table.
    // Throws CDBException.
    static bool Present(QSqlDatabase db, const CSqlDialect& dialect);
    // PostgreSQL: the index of the words' pieces of one and two characters is there (and
    // usable). Throws CDBException.
    static bool HasPieces(QSqlDatabase db, const CSqlDialect& dialect);
    // What that index is over, the table read through strAlias ("t"; empty: none): a text
    // array holding Piece(user, p) for every piece p of one or two characters of the words.
    // A word of one or two characters is in a row's words exactly when the array contains
    // Piece(user, word).
    static QString PiecesSql(const QString& strAlias);
    static QString Piece(const QString& strUser, const QString& strPiece);

    // The statements adding the words of income (eKind Income) or outlay rows whose 编号 is
    // above one bound value, dropping first any row of theirs left behind; bAfter: the
    // statement takes that value as its one bound value, else none.
    struct SAddStatement {
        QString strSql;
        bool bAfter = true;
    };
    static QVector<SAddStatement> AddStatements(const CSqlDialect& dialect, EKind eKind);
};
