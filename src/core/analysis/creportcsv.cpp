#include "creportcsv.h"

#include "data/cdatabase.h"
#include "import/ccsvparser.h"

#include <QDate>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// "2024年12月9日" as the report grids show a date.
const QRegularExpression& ShownDate() {
    static const QRegularExpression re(QStringLiteral("^(\\d{1,4})年(\\d{1,2})月(\\d{1,2})日$"));
    return re;
}
// "34.20元" / "-5.00元" as the report grids show an amount.
const QRegularExpression& ShownAmount() {
    static const QRegularExpression re(QStringLiteral("^(-?\\d+\\.\\d{2})元$"));
    return re;
}

void AppendLine(QString& strOut, const QStringList& fields,
                const QVector<CReportCsv::EColumn>& kinds) {
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            strOut += QLatin1Char(',');
        const CReportCsv::EColumn eKind = kinds.value(i, CReportCsv::EColumn::Text);
        QString strField = fields[i];
        if (eKind == CReportCsv::EColumn::Date) {
            const QRegularExpressionMatch m = ShownDate().match(strField);
            const QDate date = m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(),
                                                    m.captured(3).toInt())
                                            : QDate();
            if (date.isValid()) {
                strOut += date.toString(QStringLiteral("yyyy-MM-dd"));
                continue;
            }
        } else if (eKind == CReportCsv::EColumn::Amount) {
            const QRegularExpressionMatch m = ShownAmount().match(strField);
            if (m.hasMatch()) {
                strOut += m.captured(1);
                continue;
            }
        }
        strOut += CCsvParser::Quote(strField);
    }
    strOut += QLatin1String("\r\n");
}
} // namespace

QVector<CReportCsv::EColumn> CReportCsv::ColumnKinds(const QStringList& header) {
    QVector<EColumn> kinds;
    for (const QString& str : header)
        kinds << (str == QStringLiteral("日期")          ? EColumn::Date
                  : str.endsWith(QStringLiteral("金额")) ? EColumn::Amount
                                                         : EColumn::Text);
    return kinds;
}

namespace {
// The file's bytes, each row given by fnRow(i) for i below nRows.
template <typename FRow> QByteArray Csv(const QStringList& header, int nRows, const FRow& fnRow) {
    const QVector<CReportCsv::EColumn> kinds = CReportCsv::ColumnKinds(header);
    QString str;
    AppendLine(str, header, {});
    for (int i = 0; i < nRows; ++i)
        AppendLine(str, fnRow(i), kinds);
    return QByteArray("\xEF\xBB\xBF") + str.toUtf8();
}

bool WriteFile(const QString& strPath, const QByteArray& bytes, QString& strError) {
    if (CDatabase::IsOpenBookFile(strPath)) {
        strError = CDatabase::OpenBookFileText(strPath);
        return false;
    }
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        strError = file.errorString();
        return false;
    }
    file.write(bytes);
    if (!file.commit()) {
        strError = file.errorString();
        return false;
    }
    return true;
}
} // namespace

QByteArray CReportCsv::ToCsv(const QStringList& header, const QVector<QStringList>& rows) {
    return Csv(header, int(rows.size()), [&](int i) { return rows.at(i); });
}

QByteArray CReportCsv::ToCsv(const QStringList& header, const CTextTable& rows, int nFirstCol) {
    return Csv(header, rows.Rows(), [&](int i) { return rows.Row(i).mid(nFirstCol); });
}

bool CReportCsv::Write(const QString& strPath, const QStringList& header,
                       const QVector<QStringList>& rows, QString& strError) {
    return WriteFile(strPath, ToCsv(header, rows), strError);
}

bool CReportCsv::Write(const QString& strPath, const QStringList& header, const CTextTable& rows,
                       int nFirstCol, QString& strError) {
    return WriteFile(strPath, ToCsv(header, rows, nFirstCol), strError);
}
