#pragma once

#include "cstatement.h"

#include <QString>

// OFX / QFX bank statements, parsed by libofx. The transaction id (FITID) with the
// account id is the external id, so a statement read twice adds nothing twice.
class COfxReader {
public:
    static bool LooksLikeOfx(const QByteArray& head);
    // Throws CImportError when libofx finds no statement in the file.
    static SStatement Read(const QString& strPath);
};
