#include "ccategories.h"

#include <QHash>

// Stored as they stand in "Sort", so they are data, not translatable texts.
QStringList CCategories::Income() {
    return {
        QStringLiteral("工资收入"), QStringLiteral("奖金收入"),   QStringLiteral("津贴收入"),
        QStringLiteral("股票收入"), QStringLiteral("房地产收入"), QStringLiteral("债券收入"),
        QStringLiteral("投资收入"), QStringLiteral("其它收入"),
    };
}

QStringList CCategories::Outlay() {
    return {
        QStringLiteral("用餐支出"), QStringLiteral("购物支出"),     QStringLiteral("零食支出"),
        QStringLiteral("服装支出"), QStringLiteral("生活用品支出"), QStringLiteral("房租支出"),
        QStringLiteral("交通支出"), QStringLiteral("电话费支出"),   QStringLiteral("旅游支出"),
        QStringLiteral("娱乐支出"), QStringLiteral("医疗保健支出"), QStringLiteral("其它支出"),
    };
}

QStringList CCategories::Of(ERecordKind eKind) {
    return eKind == ERecordKind::Income ? Income() : Outlay();
}

QString CCategories::Initials(const QString& strCategory) {
    // The names are fixed, so a table beats carrying a whole pinyin dictionary.
    static const QHash<QString, QString> initials = {
        {QStringLiteral("工资收入"), QStringLiteral("gzsr")},
        {QStringLiteral("奖金收入"), QStringLiteral("jjsr")},
        {QStringLiteral("津贴收入"), QStringLiteral("jtsr")},
        {QStringLiteral("股票收入"), QStringLiteral("gpsr")},
        {QStringLiteral("房地产收入"), QStringLiteral("fdcsr")},
        {QStringLiteral("债券收入"), QStringLiteral("zqsr")},
        {QStringLiteral("投资收入"), QStringLiteral("tzsr")},
        {QStringLiteral("其它收入"), QStringLiteral("qtsr")},
        {QStringLiteral("用餐支出"), QStringLiteral("yczc")},
        {QStringLiteral("购物支出"), QStringLiteral("gwzc")},
        {QStringLiteral("零食支出"), QStringLiteral("lszc")},
        {QStringLiteral("服装支出"), QStringLiteral("fzzc")},
        {QStringLiteral("生活用品支出"), QStringLiteral("shypzc")},
        {QStringLiteral("房租支出"), QStringLiteral("fzzc")},
        {QStringLiteral("交通支出"), QStringLiteral("jtzc")},
        {QStringLiteral("电话费支出"), QStringLiteral("dhfzc")},
        {QStringLiteral("旅游支出"), QStringLiteral("lyzc")},
        {QStringLiteral("娱乐支出"), QStringLiteral("ylzc")},
        {QStringLiteral("医疗保健支出"), QStringLiteral("ylbjzc")},
        {QStringLiteral("其它支出"), QStringLiteral("qtzc")},
    };
    return initials.value(strCategory);
}

QStringList CCategories::Matching(ERecordKind eKind, const QString& strTyped) {
    return Matching(Of(eKind), strTyped);
}

QStringList CCategories::Matching(const QStringList& names, const QString& strTyped) {
    const QString strWanted = strTyped.trimmed();
    QStringList matches;
    for (const QString& strName : names) {
        const QString strInitials = Initials(strName);
        if (strName.contains(strWanted, Qt::CaseInsensitive) ||
            (!strInitials.isEmpty() && strInitials.startsWith(strWanted, Qt::CaseInsensitive)))
            matches.append(strName);
    }
    return matches;
}
