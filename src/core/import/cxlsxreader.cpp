#include "cxlsxreader.h"

#include "cimporterror.h"

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <quazip.h>
#include <quazipfile.h>

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CXlsxReader", sz);
}

bool ReadEntry(QuaZip& zip, const QString& strName, QByteArray& data) {
    if (!zip.setCurrentFile(strName))
        return false;
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    file.close();
    return file.getZipError() == UNZ_OK;
}

// "BC12" → 54 (column index from 0).
int ColumnOf(const QStringView ref) {
    int n = 0;
    for (QChar c : ref) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        n = n * 26 + (c.unicode() - 'A' + 1);
    }
    return n - 1;
}

QStringList SharedStrings(const QByteArray& data) {
    QStringList list;
    QXmlStreamReader xml(data);
    QString strCurrent;
    bool bInSi = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("si")) {
                bInSi = true;
                strCurrent.clear();
            } else if (bInSi && xml.name() == QLatin1String("t")) {
                strCurrent += xml.readElementText();
            } else if (bInSi && xml.name() == QLatin1String("rPh")) {
                xml.skipCurrentElement(); // phonetic hints are not part of the text
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("si")) {
            list << strCurrent;
            bInSi = false;
        }
    }
    if (xml.hasError())
        throw CImportError(Tr("不是有效的 XLSX 文件：共享文字表无法读取。"));
    return list;
}

struct SSheet {
    QString strName;
    QString strPath;
};

// The workbook's sheets in their order with the paths of their parts, and the sheet the
// workbook was saved showing (bookViews activeTab), which is the one the user looked at.
QVector<SSheet> Sheets(QuaZip& zip, int& nActive) {
    QByteArray workbook, rels;
    QVector<SSheet> sheets;
    QStringList relIds;
    nActive = 0;
    if (ReadEntry(zip, QStringLiteral("xl/workbook.xml"), workbook)) {
        QXmlStreamReader xml(workbook);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("workbookView")) {
                bool bOk = false;
                const int n = xml.attributes().value(QLatin1String("activeTab")).toInt(&bOk);
                if (bOk)
                    nActive = n;
            } else if (xml.name() == QLatin1String("sheet")) {
                QString strRelId;
                for (const QXmlStreamAttribute& a : xml.attributes())
                    if (a.name() == QLatin1String("id"))
                        strRelId = a.value().toString();
                sheets.append(
                    {xml.attributes().value(QLatin1String("name")).toString(), QString()});
                relIds << strRelId;
            }
        }
    }
    if (ReadEntry(zip, QStringLiteral("xl/_rels/workbook.xml.rels"), rels)) {
        QXmlStreamReader xml(rels);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
                continue;
            const int n =
                int(relIds.indexOf(xml.attributes().value(QLatin1String("Id")).toString()));
            if (n < 0)
                continue;
            const QString strTarget = xml.attributes().value(QLatin1String("Target")).toString();
            sheets[n].strPath = strTarget.startsWith(QLatin1Char('/'))
                                    ? strTarget.mid(1)
                                    : QStringLiteral("xl/") + strTarget;
        }
    }
    for (int i = 0; i < sheets.size(); ++i)
        if (sheets[i].strPath.isEmpty())
            sheets[i].strPath = QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1);
    if (sheets.isEmpty())
        sheets.append({QString(), QStringLiteral("xl/worksheets/sheet1.xml")});
    if (nActive < 0 || nActive >= sheets.size())
        nActive = 0;
    return sheets;
}

} // namespace

bool CXlsxReader::IsXlsx(const QString& strPath) {
    QuaZip zip(strPath);
    if (!zip.open(QuaZip::mdUnzip))
        return false;
    const bool bWorkbook = zip.setCurrentFile(QStringLiteral("xl/workbook.xml"));
    zip.close();
    return bWorkbook;
}

TTable CXlsxReader::ReadSheet(const QString& strPath, int nSheet, QStringList* pNames,
                              int* pSheet) {
    TTable table;
    ReadSheet(strPath, nSheet, pNames, pSheet, [&table](const STableRow& row) {
        table.append(row);
        return true;
    });
    return table;
}

void CXlsxReader::ReadSheet(const QString& strPath, int nSheet, QStringList* pNames, int* pSheet,
                            const FRow& fn) {
    QuaZip zip(strPath);
    if (!zip.open(QuaZip::mdUnzip))
        throw CImportError(Tr("不是 XLSX 文件（无法作为 XLSX 压缩包打开）。"));
    QByteArray shared;
    QStringList strings;
    if (ReadEntry(zip, QStringLiteral("xl/sharedStrings.xml"), shared))
        strings = SharedStrings(shared);
    int nActive = 0;
    const QVector<SSheet> sheets = Sheets(zip, nActive);
    if (nSheet < 0 || nSheet >= sheets.size())
        nSheet = nActive;
    if (pNames) {
        pNames->clear();
        for (const SSheet& s : sheets)
            *pNames << s.strName;
    }
    if (pSheet)
        *pSheet = nSheet;
    QuaZipFile sheet(&zip);
    if (!zip.setCurrentFile(sheets[nSheet].strPath) || !sheet.open(QIODevice::ReadOnly))
        throw CImportError(Tr("不是 XLSX 文件：找不到工作表。"));

    QXmlStreamReader xml(&sheet);
    STableRow row;
    int nLastLine = 0;
    bool bInRow = false;
    // A reader fed by a device that runs dry reports a premature end and never reaches
    // atEnd(): every loop also stops at an error.
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("row")) {
            row = STableRow();
            row.nLine = xml.attributes().value(QLatin1String("r")).toInt();
            if (row.nLine == 0)
                row.nLine = nLastLine + 1;
            bInRow = true;
        } else if (bInRow && xml.isStartElement() && xml.name() == QLatin1String("c")) {
            const QStringView ref = xml.attributes().value(QLatin1String("r"));
            const QString strType = xml.attributes().value(QLatin1String("t")).toString();
            int nCol = ref.isEmpty() ? int(row.cells.size()) : ColumnOf(ref);
            QString strValue;
            while (!(xml.isEndElement() && xml.name() == QLatin1String("c")) && !xml.atEnd() &&
                   !xml.hasError()) {
                xml.readNext();
                if (xml.isStartElement() &&
                    (xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t")))
                    strValue += xml.readElementText();
            }
            if (strType == QLatin1String("s")) {
                const int nIndex = strValue.toInt();
                strValue = nIndex >= 0 && nIndex < strings.size() ? strings[nIndex] : QString();
            }
            if (nCol < 0 || nCol > 16383)
                continue;
            while (row.cells.size() <= nCol)
                row.cells << QString();
            row.cells[nCol] = strValue.trimmed();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("row")) {
            bInRow = false;
            bool bBlank = true;
            for (const QString& c : row.cells)
                bBlank = bBlank && c.isEmpty();
            if (!bBlank) {
                nLastLine = row.nLine;
                if (!fn(row))
                    return;
            }
        }
    }
    // A damaged archive shows at the end of the entry, where its checksum is compared.
    sheet.close();
    if (sheet.getZipError() != UNZ_OK)
        throw CImportError(Tr("不是 XLSX 文件：找不到工作表。"));
    if (xml.hasError())
        throw CImportError(
            Tr("不是有效的 XLSX 文件：工作表无法读取（%1）。").arg(xml.errorString()));
}
