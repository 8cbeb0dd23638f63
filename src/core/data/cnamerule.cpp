#include "cnamerule.h"

#include <QList>

namespace {

// The text two names are compared by: normal form KC folds full-width letters and digits into
// their plain forms, then case is folded and format characters are left out.
QString Key(const QString& strName) {
    const QString strFolded =
        strName.trimmed().normalized(QString::NormalizationForm_KC).toCaseFolded();
    QString strKey;
    strKey.reserve(strFolded.size());
    for (const char32_t c : strFolded.toUcs4())
        if (QChar::category(c) != QChar::Other_Format)
            strKey += QString::fromUcs4(&c, 1);
    return strKey;
}

} // namespace

QString CNameRule::Normal(const QString& strName) {
    return strName.trimmed().normalized(QString::NormalizationForm_C);
}

bool CNameRule::HasFormatCharacters(const QString& strName) {
    for (const char32_t c : strName.toUcs4())
        if (QChar::category(c) == QChar::Other_Format)
            return true;
    return false;
}

bool CNameRule::Same(const QString& strA, const QString& strB) {
    return Key(strA) == Key(strB);
}
