#include "ccategories.h"

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
