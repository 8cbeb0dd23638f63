#pragma once

// How a report's grid rows fall onto printed pages: 20 data rows a page, and always one page
// more than the full pages, so the last page has room for the total even when the rows end on
// a page boundary (or there are none).
class CReportPages {
public:
    static constexpr int RowsPerPage = 20;

    // nGridRows counts the grid's header row, as the grid's Rows does.
    static int PageCount(int nGridRows);
    // First grid row printed on page nPage (from 1).
    static int FirstRow(int nPage) { return (nPage - 1) * RowsPerPage + 1; }
    // Number of grid rows printed on page nPage: 20, fewer on the last page, 0 past the data.
    static int RowsOnPage(int nPage, int nGridRows);
    static bool IsLastPage(int nPage, int nGridRows) { return nPage >= PageCount(nGridRows); }
};
