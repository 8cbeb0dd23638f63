#pragma once

#include "data/csqldialect.h"

#include <QSqlDatabase>
#include <QStringList>

// The import's own tables, beside the five of the book (which stay as they are):
//   "ImportedId"   the external id (order number, FITID or a row hash) of every imported row,
//   "ImportRule"   the keyword → category rules of a user,
//   "ImportLayout" the column mapping remembered for a CSV layout.
// Rows are keyed by the user row's "UserID", so a user deleted and created again under the
// same name starts with nothing imported.
namespace CImportTables {
QStringList CreateStatements(const CSqlDialect& dialect);
// Creates what is missing. Throws CDBException.
void Ensure(QSqlDatabase db, const CSqlDialect& dialect);
// Has every opening of a book create what is missing (an older book gets the tables when it is
// opened, and a book's owner creates them at the first start, for roles that may not). The
// program calls it at start, before any book is opened; calling it again changes nothing.
void Install();
// Install(), and the tables of a book already open on the connection made now, once per
// opening (a book opened before Install() ran). The import calls it before it uses them.
void Ready(const QString& strConnection);
} // namespace CImportTables
