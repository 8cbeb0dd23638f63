#include "cfilefolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString kLastFolderKey = QStringLiteral("lastFolder");
} // namespace

QString CFileFolder::StartPath(const QString& strSuggested) {
    const QFileInfo suggested(strSuggested);
    if (!strSuggested.isEmpty() && suggested.isAbsolute() && suggested.dir().exists())
        return strSuggested;
    QString strFolder = QSettings().value(kLastFolderKey).toString();
    if (strFolder.isEmpty() || !QFileInfo(strFolder).isAbsolute() || !QDir(strFolder).exists())
        strFolder = QDir::homePath();
    const QString strName = suggested.fileName();
    return strName.isEmpty() ? strFolder : QDir(strFolder).filePath(strName);
}

void CFileFolder::Remember(const QString& strChosen) {
    if (strChosen.isEmpty())
        return;
    QSettings().setValue(kLastFolderKey, QFileInfo(strChosen).absolutePath());
}
