#include "ctestworkbook.h"

#include <quazip.h>
#include <quazipfile.h>

QString CTestWorkbook::Write(const QString& strPath, const QList<TSheet>& sheets, int nActive) {
    QStringList strings;
    QList<QPair<QString, QString>> entries = {
        {QStringLiteral("[Content_Types].xml"),
         QStringLiteral("<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/"
                        "package/2006/content-types\"><Default Extension=\"xml\" ContentType="
                        "\"application/xml\"/></Types>")}};
    QString strSheets, strRels;
    for (int n = 0; n < sheets.size(); ++n) {
        const QList<QStringList>& rows = sheets[n].second;
        QString sheet = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns="
                                       "\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                                       "main\"><sheetData>");
        for (int r = 0; r < rows.size(); ++r) {
            sheet += QStringLiteral("<row r=\"%1\">").arg(r + 1);
            for (int c = 0; c < rows[r].size(); ++c) {
                if (rows[r][c].isEmpty())
                    continue;
                sheet += QStringLiteral("<c r=\"%1%2\" t=\"s\"><v>%3</v></c>")
                             .arg(QChar('A' + c))
                             .arg(r + 1)
                             .arg(strings.size());
                strings << rows[r][c].toHtmlEscaped();
            }
            sheet += QStringLiteral("</row>");
        }
        sheet += QStringLiteral("</sheetData></worksheet>");
        entries.append({QStringLiteral("xl/worksheets/bill%1.xml").arg(n), sheet});
        strSheets += QStringLiteral("<sheet name=\"%1\" sheetId=\"%2\" r:id=\"rId%2\"/>")
                         .arg(sheets[n].first)
                         .arg(n + 1);
        strRels += QStringLiteral("<Relationship Id=\"rId%1\" Type=\"worksheet\" "
                                  "Target=\"worksheets/bill%2.xml\"/>")
                       .arg(n + 1)
                       .arg(n);
    }
    QString shared = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"http://"
                                    "schemas.openxmlformats.org/spreadsheetml/2006/main\">");
    for (const QString& s : strings)
        shared += QStringLiteral("<si><t xml:space=\"preserve\">%1</t></si>").arg(s);
    shared += QStringLiteral("</sst>");
    entries.append(
        {QStringLiteral("xl/workbook.xml"),
         QStringLiteral(
             "<?xml version=\"1.0\"?><workbook xmlns=\"http://schemas.openxmlformats.org/"
             "spreadsheetml/2006/main\" xmlns:r=\"http://schemas.openxmlformats.org/"
             "officeDocument/2006/relationships\"><bookViews><workbookView "
             "activeTab=\"%1\"/></bookViews><sheets>%2</sheets></workbook>")
             .arg(nActive)
             .arg(strSheets)});
    entries.append({QStringLiteral("xl/_rels/workbook.xml.rels"),
                    QStringLiteral("<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas."
                                   "openxmlformats.org/package/2006/relationships\">%1"
                                   "</Relationships>")
                        .arg(strRels)});
    entries.append({QStringLiteral("xl/sharedStrings.xml"), shared});
    QuaZip zip(strPath);
    zip.open(QuaZip::mdCreate);
    for (const auto& e : entries) {
        QuaZipFile f(&zip);
        f.open(QIODevice::WriteOnly, QuaZipNewInfo(e.first));
        f.write(e.second.toUtf8());
        f.close();
    }
    zip.close();
    return strPath;
}
