#pragma once

#include "cstatement.h"

#include <QString>

// Comma-separated text as rows of cells: quoted cells may hold commas, doubled quotes and
// line breaks; CRLF and LF both end a row. Cells come trimmed of blanks and tabs (payment
// apps pad them). Blank lines are left out.
class CCsvParser {
public:
    // Throws CImportError for a quote that is never closed.
    static TTable Parse(const QString& strText);
    // One cell as a CSV field: quoted when it holds a comma, a quote or a line break.
    static QString Quote(const QString& strCell);
};
