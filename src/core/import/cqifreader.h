#pragma once

#include "cstatement.h"

#include <QString>

// QIF as other finance programs write it: !Type:Bank / Cash / CCard / Oth A / Oth L
// sections, optionally inside !Account blocks. A category "[Name]" is a transfer to the
// account of that name; when the file holds both halves of a transfer, the second half is
// marked as not money moving so the transfer is counted once. "Opening Balance" rows are
// a balance, not income, and are marked the same way.
class CQifReader {
public:
    static bool LooksLikeQif(const QString& strText);
    // Throws CImportError for a bad date or amount, or a file without a bank section.
    static SStatement Read(const QString& strText);
};
