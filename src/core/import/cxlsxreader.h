#pragma once

#include "cstatement.h"

#include <QString>

// The first sheet of an XLSX workbook as rows of cell texts. The archive is opened with
// QuaZip and the sheet read with Qt's XML reader; nLine of a row is its sheet row number.
class CXlsxReader {
public:
    // Throws CImportError when the file is not an XLSX workbook.
    static TTable ReadFirstSheet(const QString& strPath);
    // True when the file is a ZIP archive holding a workbook.
    static bool IsXlsx(const QString& strPath);
};
