#pragma once

#include "ctexttable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// A report as a CSV file for spreadsheets: UTF-8 with a byte-order mark (so spreadsheet
// programs take the Chinese text as UTF-8), the grid's Chinese header row, then one line per
// grid row. Dates are written "2024-12-09" and amounts as plain numbers "34.20", so a
// spreadsheet can sort and sum them; the column's header says which is which ("日期", "…金额").
// A text cell that begins with =, +, -, @, a tab or a carriage return gets a leading ' so no
// spreadsheet runs it as a formula. Fields holding a comma, a quote or a line break are quoted,
// quotes doubled.
class CReportCsv {
public:
    enum class EColumn { Text, Date, Amount };
    static QVector<EColumn> ColumnKinds(const QStringList& header);
    static QByteArray ToCsv(const QStringList& header, const QVector<QStringList>& rows);
    // The table's columns from nFirstCol on (a grid's fixed column 0 is left out with 1).
    static QByteArray ToCsv(const QStringList& header, const CTextTable& rows, int nFirstCol = 0);
    // Writes the file whole or not at all; false with a reason in strError.
    static bool Write(const QString& strPath, const QStringList& header,
                      const QVector<QStringList>& rows, QString& strError);
    static bool Write(const QString& strPath, const QStringList& header, const CTextTable& rows,
                      int nFirstCol, QString& strError);
};
