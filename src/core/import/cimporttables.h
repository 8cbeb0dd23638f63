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
// Creates what is missing (an older book gets them when it is opened). Throws CDBException.
void Ensure(QSqlDatabase db, const CSqlDialect& dialect);
} // namespace CImportTables
