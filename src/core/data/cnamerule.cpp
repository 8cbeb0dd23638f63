#include "cnamerule.h"

#include "cdatabase.h"

#include <QCoreApplication>
#include <QList>

// Normal form KC folds full-width letters and digits into their plain forms, then case is
// folded and format characters are left out.
QString CNameRule::Key(const QString& strName) {
    const QString strFolded =
        strName.trimmed().normalized(QString::NormalizationForm_KC).toCaseFolded();
    QString strKey;
    strKey.reserve(strFolded.size());
    for (const char32_t c : strFolded.toUcs4())
        if (QChar::category(c) != QChar::Other_Format)
            strKey += QString::fromUcs4(&c, 1);
    return strKey;
}

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

QString CNameRule::CheckAccountName(const QString& strName, const QStringList& others) {
    const auto tr = [](const char* sz) { return QCoreApplication::translate("CNameRule", sz); };
    const QString strTrimmed = Normal(strName);
    if (strTrimmed.isEmpty())
        return tr("账号不能为空！");
    if (strTrimmed.toUcs4().size() > CDatabase::MaxTextLength)
        return tr("账号名不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    if (HasFormatCharacters(strTrimmed))
        return tr("账号名中不能有看不见的格式字符（如零宽空格、文字方向符号）！");
    for (const QString& strOther : others) {
        if (Same(strOther, strTrimmed))
            return tr("已有名为“%1”的账号，请换一个名字。").arg(strOther.trimmed());
    }
    return QString();
}
