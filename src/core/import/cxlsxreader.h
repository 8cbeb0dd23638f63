#pragma once

#include "cstatement.h"

#include <QString>
#include <functional>

// A sheet of an XLSX workbook as rows of cell texts. The archive is opened with
// QuaZip and the sheet read with Qt's XML reader; nLine of a row is its sheet row number.
class CXlsxReader {
public:
    // Sheet nSheet (counted from 0 in the workbook's order); -1: the sheet the workbook was
    // saved showing. *pNames gets every sheet's name, *pSheet the sheet read. Throws
    // CImportError when the file is not an XLSX workbook.
    static TTable ReadSheet(const QString& strPath, int nSheet = -1, QStringList* pNames = nullptr,
                            int* pSheet = nullptr);
    // The same row by row, the sheet decompressed as it is read, so a big sheet never stands
    // in memory whole: fn gets each row that is not blank until it returns false.
    using FRow = std::function<bool(const STableRow& row)>;
    static void ReadSheet(const QString& strPath, int nSheet, QStringList* pNames, int* pSheet,
                          const FRow& fn);
    // True when the file is a ZIP archive holding a workbook.
    static bool IsXlsx(const QString& strPath);
};
