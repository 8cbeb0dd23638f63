#pragma once

#include "cstatement.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>

// Reads table-shaped statements (CSV text or an XLSX sheet): finds the header row by its
// column names wherever the information block above it ends, and turns each row below it
// into a statement row. Errors are CImportError naming the file's line.
class CTableReader {
public:
    static const QStringList& AlipayColumns();
    static const QStringList& WechatColumns();

    // Index into table of the first row holding every one of the names; -1 when none does.
    static int FindHeader(const TTable& table, const QStringList& names);
    // Which of the known layouts the table has (Alipay, Wechat), else Csv.
    static EStatementFormat DetectLayout(const TTable& table);
    // For a CSV of unknown layout: the first row that reads as column names (two or more
    // cells, none of them a date or an amount) followed by a row of the same width.
    static int GuessHeader(const TTable& table);

    static SStatement ReadAlipay(const TTable& table);
    static SStatement ReadWechat(const TTable& table);
    static SStatement ReadMapped(const TTable& table, int nHeader, const SColumnMapping& mapping);

    // "¥1,234.50", "-12.3", "12.505" → cents, rounded half away from zero on the written
    // digits. False for anything else, and beyond CMoney::Limit.
    static bool ParseCents(const QString& str, std::int64_t& nCents);
    // A date as statements write it: "yyyy-MM-dd[ hh:mm[:ss]]" with -, / or . between the
    // parts, or a spreadsheet's day number; with a format, that format (time ignored).
    static QDate ParseDate(const QString& str, const QString& strFormat = QString());
    // The date formats a CSV mapping offers.
    static QStringList DateFormats();
};
