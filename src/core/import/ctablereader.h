#pragma once

#include "cstatement.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <functional>

// The rows of a table read one after the other: a big CSV is parsed as it is read, so it
// never stands in memory as cells. Head() holds the first rows, where a header is looked for.
class CRowSource {
public:
    virtual ~CRowSource() = default;
    virtual const TTable& Head() const = 0;
    // Calls fn with each row from index nFrom on, until it returns false.
    virtual void ForEach(int nFrom, const std::function<bool(const STableRow&)>& fn) const = 0;
};

// A table that is all in memory (a sheet, or a test's rows).
class CTableSource : public CRowSource {
public:
    explicit CTableSource(const TTable& table) : m_table(table) {}
    const TTable& Head() const override { return m_table; }
    void ForEach(int nFrom, const std::function<bool(const STableRow&)>& fn) const override {
        for (int i = std::max(0, nFrom); i < m_table.size(); ++i)
            if (!fn(m_table[i]))
                return;
    }

private:
    const TTable& m_table;
};

// Reads table-shaped statements (CSV text or an XLSX sheet): finds the header row by its
// column names wherever the information block above it ends, and turns each row below it
// into a statement row. Errors are CImportError naming the file's line.
class CTableReader {
public:
    static const QStringList& AlipayColumns();
    static const QStringList& WechatColumns();
    static const QStringList& AlipayWebColumns(); // 交易记录明细查询, the web export

    // Index into table of the first row holding every one of the names; -1 when none does.
    static int FindHeader(const TTable& table, const QStringList& names);
    // Which of the known layouts the table has (Alipay, Wechat), else Csv.
    static EStatementFormat DetectLayout(const TTable& table);
    // For a CSV of unknown layout: the first row that reads as column names (two or more
    // cells, none of them a date or an amount) followed by a row of the same width.
    static int GuessHeader(const TTable& table);

    // A first guess at a CSV of unknown layout: the header row (-1 when the first row is
    // already a transaction) and what each column holds. False when nothing usable is found.
    static bool GuessLayout(const TTable& table, int& nHeader, SColumnMapping& mapping);

    // 支付宝: the app's 交易明细 or the web export, whichever header the table has.
    static SStatement ReadAlipay(const CRowSource& rows);
    static SStatement ReadWechat(const CRowSource& rows);
    static SStatement ReadAlipay(const TTable& table) { return ReadAlipay(CTableSource(table)); }
    static SStatement ReadWechat(const TTable& table) { return ReadWechat(CTableSource(table)); }
    // nHeader -1: no header row, the table's first row is a transaction.
    static SStatement ReadMapped(const CRowSource& rows, int nHeader,
                                 const SColumnMapping& mapping);
    static SStatement ReadMapped(const TTable& table, int nHeader, const SColumnMapping& mapping) {
        return ReadMapped(CTableSource(table), nHeader, mapping);
    }
    // Refunds against the payments of the same file: a refund of a closed payment moves
    // nothing; a neutral refund counts as income only against a payment counted in full.
    static void PairRefunds(CStatementRows& rows);

    // "¥1,234.50", "-12.3", "12.505" → cents, rounded half away from zero on the written
    // digits. False for anything else, and beyond CMoney::Limit.
    static bool ParseCents(const QString& str, std::int64_t& nCents);
    // A date as statements write it: "yyyy-MM-dd[ hh:mm[:ss]]" with -, / or . between the
    // parts, or a spreadsheet's day number; with a format, that format (time ignored).
    static QDate ParseDate(const QString& str, const QString& strFormat = QString());
    // The date formats a CSV mapping offers.
    static QStringList DateFormats();
};
