#pragma once

#include "crecordkind.h"

#include <QStringList>

// The fixed categories of income and outlay records, in the order the lists show them.
class CCategories {
public:
    static QStringList Income();
    static QStringList Outlay();
    static QStringList Of(ERecordKind eKind);
    // The categories of eKind a typed text points at, in list order: those containing it, or
    // whose pinyin initials start with it ("ycz" for 用餐支出), ignoring case. All for "".
    static QStringList Matching(ERecordKind eKind, const QString& strTyped);
    // The pinyin initials of a category ("gzsr" for 工资收入); empty for a name not in the lists.
    static QString Initials(const QString& strCategory);
};
