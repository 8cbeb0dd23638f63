#include "creportcsv.h"

#include <QSaveFile>

namespace {
void AppendField(QString& strOut, const QString& strField) {
    const bool bQuote =
        strField.contains(QLatin1Char(',')) || strField.contains(QLatin1Char('"')) ||
        strField.contains(QLatin1Char('\n')) || strField.contains(QLatin1Char('\r'));
    if (!bQuote) {
        strOut += strField;
        return;
    }
    QString str = strField;
    str.replace(QLatin1Char('"'), QLatin1String("\"\""));
    strOut += QLatin1Char('"') + str + QLatin1Char('"');
}

void AppendLine(QString& strOut, const QStringList& fields) {
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            strOut += QLatin1Char(',');
        AppendField(strOut, fields[i]);
    }
    strOut += QLatin1String("\r\n");
}
} // namespace

QByteArray CReportCsv::ToCsv(const QStringList& header, const QVector<QStringList>& rows) {
    QString str;
    AppendLine(str, header);
    for (const QStringList& row : rows)
        AppendLine(str, row);
    return QByteArray("\xEF\xBB\xBF") + str.toUtf8();
}

bool CReportCsv::Write(const QString& strPath, const QStringList& header,
                       const QVector<QStringList>& rows, QString& strError) {
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        strError = file.errorString();
        return false;
    }
    file.write(ToCsv(header, rows));
    if (!file.commit()) {
        strError = file.errorString();
        return false;
    }
    return true;
}
