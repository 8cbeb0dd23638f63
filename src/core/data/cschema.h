#pragma once

#include "csqldialect.h"

#include <QLatin1String>
#include <QSqlDatabase>
#include <QStringList>

// The five tables of the book, their columns, defaults and indexes.
namespace CSchema {
// Table names as the SQL writes them (double-quoted), for QString::arg().
inline constexpr QLatin1String User("\"User\"");
inline constexpr QLatin1String Bank("\"Bank\"");
inline constexpr QLatin1String Income("\"Income\"");
inline constexpr QLatin1String Outlay("\"Outlay\"");
inline constexpr QLatin1String Trs("\"Trs\"");

// CREATE TABLE / INDEX statements, all "IF NOT EXISTS": an existing book is left as it is.
QStringList CreateStatements(const CSqlDialect& dialect);

// Creates what is missing. Throws CDBException.
void Ensure(QSqlDatabase db, const CSqlDialect& dialect);

// Runs CREATE … IF NOT EXISTS statements in order, for the five tables and for those the
// program adds beside them. Throws CDBException.
void Create(QSqlDatabase db, const CSqlDialect& dialect, const QStringList& statements);
} // namespace CSchema
