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

// Creates what is missing of the five tables. Throws CDBException.
void Ensure(QSqlDatabase db, const CSqlDialect& dialect);

// Tables a part of the program keeps beside the five (the import's): that part adds the
// function that creates them before the book is first opened, and every opening runs it.
// Adding the same function again changes nothing.
using FEnsureTables = void (*)(QSqlDatabase db, const CSqlDialect& dialect);
void AddTables(FEnsureTables pfnEnsure);
// Runs the functions added, in the order they were added. Throws CDBException.
void EnsureAdded(QSqlDatabase db, const CSqlDialect& dialect);
// Adds pfnEnsure and makes sure its tables are in the open book behind strConnection: once per
// opening of the connection (a book opened later gets them from the opening). Tables made
// inside a transaction go again if it rolls back, so they are looked for again next time.
// Throws CDBException.
void MakeReady(FEnsureTables pfnEnsure, const QString& strConnection);

// An identifier in double quotes, for SQL text.
QString Quoted(const QString& strName);

// PostgreSQL: why opening stopped when the role may not create strWhat ("表“X”"), naming the
// role and the right it lacks (strRight; "%1" in it becomes the book's schema).
QString CreateRefusedText(QSqlDatabase db, const QString& strWhat, const QString& strRight);

// Runs CREATE … IF NOT EXISTS statements in order (on PostgreSQL only those whose table or
// index is missing), for the five tables and for those the
// program adds beside them. Throws CDBException.
void Create(QSqlDatabase db, const CSqlDialect& dialect, const QStringList& statements);
} // namespace CSchema
