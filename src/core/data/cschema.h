#pragma once

#include "csqldialect.h"

#include <QSqlDatabase>
#include <QStringList>

// The five tables of the book, their columns, defaults and indexes.
namespace CSchema {
// Table names as the SQL writes them (double-quoted).
inline const char* const User = "\"User\"";
inline const char* const Bank = "\"Bank\"";
inline const char* const Income = "\"Income\"";
inline const char* const Outlay = "\"Outlay\"";
inline const char* const Trs = "\"Trs\"";

// CREATE TABLE / INDEX statements, all "IF NOT EXISTS": an existing book is left as it is.
QStringList CreateStatements(const CSqlDialect& dialect);

// Creates what is missing. Throws CDBException.
void Ensure(QSqlDatabase db, const CSqlDialect& dialect);

// Runs CREATE … IF NOT EXISTS statements in order, for the five tables and for those the
// program adds beside them. Throws CDBException.
void Create(QSqlDatabase db, const CSqlDialect& dialect, const QStringList& statements);
} // namespace CSchema
