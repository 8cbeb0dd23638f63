#include "cimporterror.h"

#include <QCoreApplication>

CImportError::CImportError(QString strMessage, int nLine) : m_nLine(nLine) {
    m_strMessage =
        nLine > 0
            ? QCoreApplication::translate("CImportError", "第 %1 行：%2").arg(nLine).arg(strMessage)
            : std::move(strMessage);
    m_utf8 = m_strMessage.toUtf8();
}
