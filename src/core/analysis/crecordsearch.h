#pragma once

#include "ctexttable.h"
#include "data/cdatabase.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <optional>

// 查找: the records of one user that hold some words (in the category, note or account),
// within an amount and a date range, of one kind or all. Words are matched ignoring case and
// full/half width (CSearchSchema::Fold on both sides), anywhere in the text, each typed word
// (split at blanks) having to appear.
//
// Reads the words the book keeps (CSearchSchema): a word of three characters or more goes
// through the trigram index, a shorter one through the user's kept words; on PostgreSQL every
// word goes through the index of the user's pieces of the words when the book has it. What is
// found, its count and totals come from the kept words alone; the texts of a row are read when it
// is shown (Read), so twenty thousand hits cost twenty thousand keys, not their texts. A book
// without the kept words (or while they are first filled) is read row by row, with the same
// answer.
class CRecordSearch {
public:
    enum class EKinds { All, Income, Outlay, Transfer };
    enum class ERowKind { Income, Outlay, Transfer };

    struct SQuery {
        QString strWords;
        std::optional<std::int64_t> nMinCents; // amounts within, both inclusive
        std::optional<std::int64_t> nMaxCents;
        QDate from, to; // days within, both inclusive; invalid: open
        EKinds eKinds = EKinds::All;
    };

    struct SRow {
        ERowKind eKind = ERowKind::Income;
        qint64 nId = 0; // 编号 in its table
        QDate day;
        std::int64_t nCents = 0;
        bool bRead = false; // the texts and amount below are read
        QString strSort;    // a transfer: empty
        QString strNote;    // a transfer: empty
        QString strBank;    // a transfer: the account it left
        QString strToBank;  // a transfer: the account it went to
        double dAmount = 0;
    };

    struct SResult {
        QVector<SRow> rows; // by day, then income, outlay, transfer, then as entered
        std::int64_t nIncomeCents = 0;
        std::int64_t nOutlayCents = 0;
        std::int64_t nTransferCents = 0;
        int nIncomeRows = 0;
        int nOutlayRows = 0;
        int nTransferRows = 0;
    };

    // How the words are looked up: through the kept words when the book has them, or by
    // reading every record of the user and folding its words here (what the kept words save).
    enum class EMethod { Kept, Plain };

    // The rows whose texts a list reads at first, and then at a time as it is scrolled: a few
    // screens' worth.
    static constexpr int PageRows = 200;

    // Records of a day (income and outlay rows naming an account, transfers) only: rows whose
    // date is not a day are in no result. The rows' texts are read for the first nRead rows
    // (-1: all). Throws CDBException.
    static SResult Find(const QString& strUser, const SQuery& query,
                        EMethod eMethod = EMethod::Kept, int nRead = -1,
                        const QString& strConnection = CDatabase::DefaultConnection);
    // Reads the texts of rows [nFrom, nFrom + nCount) that are not read yet. A row another copy
    // removed since it was found keeps its day and amount, with empty texts. Throws
    // CDBException.
    static void Read(SResult& result, int nFrom, int nCount,
                     const QString& strConnection = CDatabase::DefaultConnection);

    // The folded words of what was typed.
    static QStringList Words(const QString& strTyped);

    // Rows [nFrom, nFrom + nCount) of the result (read) as grid rows: [0] empty (the grid's
    // fixed column), date, kind, category, note, amount "%4.2f元", account (a transfer:
    // "from → to"). nCount -1: to the end.
    static CTextTable Table(const SResult& result, int nFrom = 0, int nCount = -1);
    static QString KindText(ERowKind eKind);
};

// Moved as bytes when the list of rows grows.
Q_DECLARE_TYPEINFO(CRecordSearch::SRow, Q_RELOCATABLE_TYPE);
