#pragma once

#include <QStringList>

// The totals the book keeps, checked against the same figures counted here from every record
// row by row, with SQL of its own (independent of the code under test). Default connection.
namespace CKeptCheck {
// The kept tables as text lines, sorted by their keys.
QStringList KeptLines();
// The same figures recomputed from every record.
QStringList RecomputedLines();
// Lines only one side has, marked "kept" or "records"; empty when the totals are right.
QStringList Differences();
} // namespace CKeptCheck
