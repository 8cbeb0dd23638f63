#include "ccsvparser.h"

#include "cimporterror.h"

#include <QCoreApplication>

TTable CCsvParser::Parse(const QString& strText) {
    TTable table;
    Parse(strText, 0, [&table](const STableRow& row) {
        table.append(row);
        return true;
    });
    return table;
}

void CCsvParser::Parse(const QString& strText, int nSkip, const FRow& fn) {
    qsizetype i = 0;
    int nLine = 1, nRow = 0;
    Rows(strText.constData(), strText.size(), true, i, nLine, nRow, nSkip, fn);
}

// Reads the rows of p[i, n). Without bFinal the text goes on after n: a row that reaches n
// is left for later (More) with i and nLine at its start.
CCsvParser::ERun CCsvParser::Rows(const QChar* p, qsizetype n, bool bFinal, qsizetype& i,
                                  int& nLine, int& nRow, int nSkip, const FRow& fn) {
    while (i < n) {
        const qsizetype nRowStart = i;
        const int nRowLine = nLine;
        auto cut = [&] {
            i = nRowStart;
            nLine = nRowLine;
            return ERun::More;
        };
        STableRow row;
        row.nLine = nLine;
        QString strCell;
        bool bRowEnd = false;
        while (!bRowEnd) {
            strCell.clear();
            QStringView cell;
            // Blanks before an opening quote belong to no cell.
            qsizetype j = i;
            while (j < n && (p[j] == QLatin1Char(' ') || p[j] == QLatin1Char('\t')))
                ++j;
            if (j >= n && !bFinal)
                return cut();
            if (j < n && p[j] == QLatin1Char('"')) {
                const int nQuoteLine = nLine;
                i = j + 1;
                for (;;) {
                    if (i >= n) {
                        if (!bFinal)
                            return cut();
                        throw CImportError(
                            QCoreApplication::translate("CCsvParser", "引号没有结束，文件不完整。"),
                            nQuoteLine);
                    }
                    if (p[i] == QLatin1Char('"')) {
                        if (i + 1 >= n && !bFinal)
                            return cut();
                        if (i + 1 < n && p[i + 1] == QLatin1Char('"')) {
                            strCell += QLatin1Char('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (p[i] == QLatin1Char('\n'))
                        ++nLine;
                    strCell += p[i++];
                }
                // Anything between the closing quote and the comma is kept as written.
                while (i < n && p[i] != QLatin1Char(',') && p[i] != QLatin1Char('\n') &&
                       p[i] != QLatin1Char('\r'))
                    strCell += p[i++];
                cell = strCell;
            } else {
                const qsizetype nStart = i;
                while (i < n && p[i] != QLatin1Char(',') && p[i] != QLatin1Char('\n') &&
                       p[i] != QLatin1Char('\r'))
                    ++i;
                cell = QStringView(p + nStart, i - nStart);
            }
            if (i >= n && !bFinal)
                return cut();
            // A cell kept by a row holds just its text, not the room it grew into.
            row.cells << cell.trimmed().toString();
            if (i < n && p[i] == QLatin1Char(',')) {
                ++i;
                continue;
            }
            bRowEnd = true;
            if (i < n && p[i] == QLatin1Char('\r')) {
                ++i;
                // A CR at the end of the slice: its LF may start the next one.
                if (i >= n && !bFinal)
                    return cut();
            }
            if (i < n && p[i] == QLatin1Char('\n'))
                ++i;
            ++nLine;
        }
        bool bBlank = true;
        for (const QString& c : row.cells)
            bBlank = bBlank && c.isEmpty();
        if (!bBlank && nRow++ >= nSkip && !fn(row))
            return ERun::Stopped;
    }
    return ERun::Done;
}

bool CCsvParser::CStream::Feed(const QString& strSlice) {
    if (m_bStopped)
        return false;
    // The rows read so far are dropped; a cut row is kept and the slice appended to it.
    if (m_nPos > 0) {
        m_strBuffer.remove(0, m_nPos);
        m_nPos = 0;
    }
    m_strBuffer += strSlice;
    // A long cut row (a quote open over many lines) is tried again only when the text has
    // doubled, so it is not read over and over.
    if (m_strBuffer.size() < m_nWait)
        return true;
    return Run(false);
}

void CCsvParser::CStream::Finish() {
    if (!m_bStopped)
        Run(true);
    m_strBuffer.clear();
}

bool CCsvParser::CStream::Run(bool bFinal) {
    const ERun e = Rows(m_strBuffer.constData(), m_strBuffer.size(), bFinal, m_nPos, m_nLine,
                        m_nRow, m_nSkip, m_fn);
    m_nWait = e == ERun::More ? 2 * (m_strBuffer.size() - m_nPos) : 0;
    m_bStopped = e == ERun::Stopped;
    return !m_bStopped;
}

QString CCsvParser::Quote(const QString& strCell) {
    const bool bFormula =
        !strCell.isEmpty() && (strCell[0] == u'=' || strCell[0] == u'+' || strCell[0] == u'-' ||
                               strCell[0] == u'@' || strCell[0] == u'\t' || strCell[0] == u'\r');
    if (!bFormula && !strCell.contains(QLatin1Char(',')) && !strCell.contains(QLatin1Char('"')) &&
        !strCell.contains(QLatin1Char('\n')) && !strCell.contains(QLatin1Char('\r')))
        return strCell;
    QString s = bFormula ? QLatin1Char('\'') + strCell : strCell;
    s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}
