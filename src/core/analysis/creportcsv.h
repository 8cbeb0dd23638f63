#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// A report as a CSV file: UTF-8 with a byte-order mark (so spreadsheet programs take the Chinese
// text as UTF-8), a header row, then one line per grid row. Fields holding a comma, a quote or
// a line break are quoted, quotes doubled.
class CReportCsv {
public:
    static QByteArray ToCsv(const QStringList& header, const QVector<QStringList>& rows);
    // Writes the file whole or not at all; false with a reason in strError.
    static bool Write(const QString& strPath, const QStringList& header,
                      const QVector<QStringList>& rows, QString& strError);
};
