#pragma once

#include "ctexttable.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <optional>

// The rows of the four reports (accounts, transfers, income, outlay) exactly as the report grid
// shows them, and the record dates its date lists offer. Every report is one indexed query over
// the user's rows with its values bound; the grid only copies the answer.
class CReportQuery {
public:
    enum class ETable { Income, Outlay };

    struct SResult {
        CTextTable rows; // one entry per grid row; [0] is the fixed column, left empty
        std::int64_t nTotalCents = 0;
        double Total() const { return double(nTotalCents) / 100.0; }
    };

    // Each distinct day that holds a row of the user in the table, ascending. Day markers (rows
    // without an account) count: they make the day exist.
    static QVector<QDate> RecordDates(const QString& strUser, ETable eTable);

    // Income or outlay records of the user between the two date texts (both inclusive, as
    // IsInDateRange reads them), in date order; day markers are left out. With a category only
    // the records of that category. Columns: date, category, note, amount "%4.2f元".
    static SResult RecordReport(const QString& strUser, ETable eTable,
                                const std::optional<QString>& strSort, const QString& strStart,
                                const QString& strEnd);
    // Every account of the user in table order: name, note, balance "%4.2f元".
    static SResult AccountReport(const QString& strUser);
    // Every transfer of the user in table order: date, from, to, amount "%4.2f元".
    static SResult TransferReport(const QString& strUser);

    // "%d年%d月%d日"
    static QString FormatDate(const QDate& date);
    static QString FormatDate(int nYear, int nMonth, int nDay);
    // Reads a date text the way the date lists write it: the digits before 年, 月 and 日 give
    // year, month and day; a part that is missing or not a number reads as 0.
    static void ParseDateText(const QString& strText, int& nYear, int& nMonth, int& nDay);
    // True when (y, m, d) is neither before the start text nor after the end text.
    static bool IsInDateRange(int nYear, int nMonth, int nDay, const QString& strStart,
                              const QString& strEnd);
};
