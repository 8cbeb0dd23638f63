#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// XLSX workbooks for the import's tests: every cell a shared string, one sheet per entry.
namespace CTestWorkbook {

using TSheet = QPair<QString, QList<QStringList>>; // name, rows of cells

// Writes the workbook at strPath, saved showing sheet nActive; returns strPath.
QString Write(const QString& strPath, const QList<TSheet>& sheets, int nActive = 0);

} // namespace CTestWorkbook
