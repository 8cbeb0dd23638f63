#pragma once

#include "data/cdatabase.h"
#include "data/csqldialect.h"
#include "records/crecordkind.h"

#include <QSqlDatabase>
#include <QStringList>

// The tables of budgets and recurring records, beside the five of the book (which stay as they
// are):
//   "Budget"        a user's monthly outlay budget: for the whole outlay ("Sort" empty) or one
//                   category, for every month ("Month" 0) or one month of the year (1-12);
//   "Recurring"     a user's templates of income, outlay or transfers and their rule;
//   "RecurringDone" every occurrence written or skipped, one row per template and day: the
//                   unique key is what keeps an occurrence from being written twice, however
//                   many copies confirm it.
// Rows are keyed by the user row's "UserID", as the import's are.
namespace CPlanTables {
QStringList CreateStatements(const CSqlDialect& dialect);
// Creates what is missing. Throws CDBException.
void Ensure(QSqlDatabase db, const CSqlDialect& dialect);
// Has every opening of a book create what is missing; the program calls it at start.
void Install();
// Install(), and the tables of a book already open on the connection, once per opening.
void Ready(const QString& strConnection);
// The UserID of the user's row; throws CDBException when there is none.
qint64 UserId(const QString& strUser, const QString& strConnection);
// The text as bound to a NOT NULL column: a null string as ''.
QString NotNull(const QString& str);
// The categories of eKind the user can choose for a budget or a template, in list order: the
// one place these parts read them.
// Throws CDBException.
QStringList Categories(const QString& strUser, ERecordKind eKind,
                       const QString& strConnection = CDatabase::DefaultConnection);
} // namespace CPlanTables
