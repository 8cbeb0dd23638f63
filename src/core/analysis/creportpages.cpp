#include "creportpages.h"

#include <algorithm>

int CReportPages::PageCount(int nGridRows) {
    const int nDataRows = std::max(0, nGridRows - 1);
    return std::max(1, (nDataRows + RowsPerPage - 1) / RowsPerPage);
}

int CReportPages::RowsOnPage(int nPage, int nGridRows) {
    if (nPage < 1)
        return 0;
    const int nDataRows = std::max(0, nGridRows - 1);
    const int nBefore = (nPage - 1) * RowsPerPage;
    return std::clamp(nDataRows - nBefore, 0, RowsPerPage);
}
