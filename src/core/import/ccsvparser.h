#pragma once

#include "cstatement.h"

#include <QString>
#include <functional>

// Comma-separated text as rows of cells: quoted cells may hold commas, doubled quotes and
// line breaks; CRLF and LF both end a row. Cells come trimmed of blanks and tabs (payment
// apps pad them). Blank lines are left out.
class CCsvParser {
public:
    using FRow = std::function<bool(const STableRow& row)>;

    // Throws CImportError for a quote that is never closed.
    static TTable Parse(const QString& strText);
    // Row by row, so a big file never stands in memory as cells: fn gets each row that is
    // not blank, from the nSkip-th such row on, until it returns false.
    static void Parse(const QString& strText, int nSkip, const FRow& fn);
    // One text cell as a CSV field, the one way every CSV the program writes writes text: a
    // cell a spreadsheet would take as a formula (it begins with =, +, -, @, a tab or a carriage
    // return) gets a leading ' and quotes; a cell holding a comma, a quote or a line break is
    // quoted, quotes doubled.
    static QString Quote(const QString& strCell);

    // The same reading fed slice by slice (a file decoded as it is read), so the whole text
    // never stands in memory: Feed each slice in order, then Finish. A row cut by the end of
    // a slice waits for the next one.
    class CStream {
    public:
        CStream(int nSkip, FRow fn) : m_nSkip(nSkip), m_fn(std::move(fn)) {}
        // False once fn has asked to stop: nothing more is needed.
        bool Feed(const QString& strSlice);
        // The end of the text; throws CImportError for a quote that is never closed.
        void Finish();

    private:
        bool Run(bool bFinal);

        int m_nSkip = 0;
        FRow m_fn;
        QString m_strBuffer;
        qsizetype m_nPos = 0;  // where the next row starts in the buffer
        qsizetype m_nWait = 0; // a cut row: how much text to gather before trying it again
        int m_nLine = 1;
        int m_nRow = 0;
        bool m_bStopped = false;
    };

private:
    enum class ERun { Done, More, Stopped };
    static ERun Rows(const QChar* p, qsizetype n, bool bFinal, qsizetype& i, int& nLine, int& nRow,
                     int nSkip, const FRow& fn);
};
