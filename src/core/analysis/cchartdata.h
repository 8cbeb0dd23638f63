#pragma once

#include "data/cdatabase.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

// The figures behind the income and outlay charts of one user: the six totals and, for each
// scope (all years, one year, one month), the rows of the line chart and the category
// values of the bar and pie charts.
//
// Every series is one query over the totals the book keeps per day and per month and
// category (CKeptTotals); sums are in whole cents so a shown value never depends on the
// order in which rows arrive.
class CChartData {
public:
    enum class ETable { Income, Outlay };

    // A category: the text stored in "Sort", and what the charts call it (its short name,
    // else the text itself).
    struct SCategory {
        QString strSort;
        QString strLabel;
    };

    // What a bar or pie chart shows of the values per category: every category while there
    // are at most MaxSlices; beyond that only those with money, and when those are still more,
    // the largest MaxSlices - 1 in their order and "其他" with the sum of the rest.
    static constexpr int MaxSlices = 12;
    struct SSlices {
        QStringList labels;
        QStringList values;
    };
    static SSlices Slices(const QStringList& labels, const QStringList& values);

    // The rows of a line chart: one label and one text value per row. A row that no record
    // with an account reached keeps "0"; a reached row holds its total in "%4.2f".
    struct SLine {
        QStringList labels;
        QStringList data;
    };

    // Rows of the month line chart of a month that does not exist.
    static constexpr int MonthRows = 31;

    CChartData(ETable eTable, const QString& strUser,
               const QString& strConnection = CDatabase::DefaultConnection);

    // The built-in categories of a table in their order (8 income, 12 outlay).
    static const QList<SCategory>& Categories(ETable eTable);
    // The user's categories in chart order: the user's list (CCategoryBook), hidden ones
    // only when records carry them, then texts of the user's records the list lacks. Read
    // from the book once per object. Throws CDBException.
    const QList<SCategory>& Categories() const;
    QStringList CategoryLabels() const;

    // Totals of the user's records, in yuan, exact to the cent. A category index counts from 1;
    // an index outside the table's categories, or a date that does not exist, gives 0.
    // Throw CDBException.
    double GetYearSum(int nYear) const;
    double GetMonthSum(int nYear, int nMonth) const;
    double GetDaySum(int nYear, int nMonth, int nDay) const;
    double GetSortSum(int nSort) const;
    double GetYearSortSum(int nYear, int nSort) const;
    double GetMonthSortSum(int nYear, int nMonth, int nSort) const;

    // Line chart rows: one per year ("%d年", from the first to the last year of the user's
    // records; a user without records gets this year alone), per month of a year ("%d月", 12)
    // or per day of a month ("%d", 28 to 31 as the month has). Throw CDBException.
    SLine UserLine() const;
    SLine YearLine(int nYear) const;
    SLine MonthLine(int nYear, int nMonth) const;

    // Bar and pie values: one "%4.2f" text per category in chart order ("0.00" for a
    // category without records). Throw CDBException.
    QStringList UserSorts() const;
    QStringList YearSorts(int nYear) const;
    QStringList MonthSorts(int nYear, int nMonth) const;

private:
    struct SGroup {
        int nKey = 0;
        std::int64_t nCents = 0;
        bool bHasAccount = false;
    };

    // Cents of the user's records in [from, to) (both invalid: all dates), optionally of one
    // category.
    std::int64_t SumCents(const QDate& from, const QDate& to, const QString* pSort) const;
    enum class EKey { Year, Month, Day };
    // Cents per year, month or day over [from, to) (both invalid: all dates), and whether a
    // record with an account fell into the group.
    QList<SGroup> Groups(EKey eKey, const QDate& from, const QDate& to) const;
    QStringList SortValues(const QDate& from, const QDate& to) const;
    const QString* SortOf(int nSort) const;

    ETable m_eTable;
    QString m_strUser;
    QString m_strConnection;
    mutable QList<SCategory> m_categories;
    mutable bool m_bCategoriesRead = false;
};
