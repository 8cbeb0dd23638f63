#pragma once

#include "cstatement.h"

#include <QString>
#include <functional>

// Comma-separated text as rows of cells: quoted cells may hold commas, doubled quotes and
// line breaks; CRLF and LF both end a row. Cells come trimmed of blanks and tabs (payment
// apps pad them). Blank lines are left out.
class CCsvParser {
public:
    // Throws CImportError for a quote that is never closed.
    static TTable Parse(const QString& strText);
    // Row by row, so a big file never stands in memory as cells: fn gets each row that is
    // not blank, from the nSkip-th such row on, until it returns false.
    static void Parse(const QString& strText, int nSkip,
                      const std::function<bool(const STableRow& row)>& fn);
    // One text cell as a CSV field, the one way every CSV the program writes writes text: a
    // cell a spreadsheet would take as a formula (it begins with =, +, -, @, a tab or a carriage
    // return) gets a leading ' and quotes; a cell holding a comma, a quote or a line break is
    // quoted, quotes doubled.
    static QString Quote(const QString& strCell);
};
