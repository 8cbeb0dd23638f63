#pragma once

#include <QStringList>
#include <QtGlobal>

// The totals the book keeps, checked against the same figures counted here from every record
// row by row, with SQL of its own (independent of the code under test). Default connection.
namespace CKeptCheck {
// The kept tables as text lines, sorted by their keys.
QStringList KeptLines();
// The same figures recomputed from every record.
QStringList RecomputedLines();
// Lines only one side has, marked "kept" or "records"; empty when the totals are right.
QStringList Differences();

// The kept words of 查找: every row as a text line, by key.
QStringList KeptWordsLines();
// The record rows of the three tables the words are kept for.
int RecordRows();
// Makes the book's kept words be made again from its records, as for an older book: drops
// one of their triggers and opens the default connection again, the opening filling at once
// at most nOpeningFill rows (the rest is left to the steps of filling).
void RemakeKeptWords(qint64 nOpeningFill);
} // namespace CKeptCheck
