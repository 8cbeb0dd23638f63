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

void CCsvParser::Parse(const QString& strText, int nSkip,
                       const std::function<bool(const STableRow& row)>& fn) {
    int nRow = 0;
    const QChar* p = strText.constData();
    const qsizetype n = strText.size();
    qsizetype i = 0;
    int nLine = 1;
    while (i < n) {
        STableRow row;
        row.nLine = nLine;
        QString strCell;
        bool bRowEnd = false;
        while (!bRowEnd) {
            strCell.clear();
            // Blanks before an opening quote belong to no cell.
            qsizetype j = i;
            while (j < n && (p[j] == QLatin1Char(' ') || p[j] == QLatin1Char('\t')))
                ++j;
            if (j < n && p[j] == QLatin1Char('"')) {
                const int nQuoteLine = nLine;
                i = j + 1;
                for (;;) {
                    if (i >= n)
                        throw CImportError(
                            QCoreApplication::translate("CCsvParser", "引号没有结束，文件不完整。"),
                            nQuoteLine);
                    if (p[i] == QLatin1Char('"')) {
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
            } else {
                while (i < n && p[i] != QLatin1Char(',') && p[i] != QLatin1Char('\n') &&
                       p[i] != QLatin1Char('\r'))
                    strCell += p[i++];
            }
            row.cells << strCell.trimmed();
            if (i < n && p[i] == QLatin1Char(',')) {
                ++i;
                continue;
            }
            bRowEnd = true;
            if (i < n && p[i] == QLatin1Char('\r'))
                ++i;
            if (i < n && p[i] == QLatin1Char('\n'))
                ++i;
            ++nLine;
        }
        bool bBlank = true;
        for (const QString& c : row.cells)
            bBlank = bBlank && c.isEmpty();
        if (!bBlank && nRow++ >= nSkip && !fn(row))
            return;
    }
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
