#pragma once

// How a report's grid rows fall onto printed pages: 40 data rows a page. The total goes below
// the rows of the last page, which has room for it even when full, so the total never stands
// alone on a page of its own; a report without rows is one page with its total.
class CReportPages {
public:
    static constexpr int RowsPerPage = 40;

    // nGridRows counts the grid's header row, as the grid's Rows does.
    static int PageCount(int nGridRows);
    // First grid row printed on page nPage (from 1).
    static int FirstRow(int nPage) { return (nPage - 1) * RowsPerPage + 1; }
    // Number of grid rows printed on page nPage: 40, fewer on the last page, 0 past the data.
    static int RowsOnPage(int nPage, int nGridRows);
    static bool IsLastPage(int nPage, int nGridRows) { return nPage >= PageCount(nGridRows); }
};
