#pragma once

#include "cstatement.h"

#include <QString>

// A sheet of an XLSX workbook as rows of cell texts. The archive is opened with
// QuaZip and the sheet read with Qt's XML reader; nLine of a row is its sheet row number.
class CXlsxReader {
public:
    // Sheet nSheet (counted from 0 in the workbook's order); -1: the sheet the workbook was
    // saved showing. *pNames gets every sheet's name, *pSheet the sheet read. Throws
    // CImportError when the file is not an XLSX workbook.
    static TTable ReadSheet(const QString& strPath, int nSheet = -1, QStringList* pNames = nullptr,
                            int* pSheet = nullptr);
    // True when the file is a ZIP archive holding a workbook.
    static bool IsXlsx(const QString& strPath);
};
