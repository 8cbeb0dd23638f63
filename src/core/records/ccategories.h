#pragma once

#include "crecordkind.h"

#include <QStringList>

// The built-in categories of income and outlay records, in the order the lists show them: every
// user's list until the user changes it (a user's own list: CCategoryBook).
class CCategories {
public:
    static QStringList Income();
    static QStringList Outlay();
    static QStringList Of(ERecordKind eKind);
    // The categories of eKind a typed text points at, in list order: those containing it, or
    // whose pinyin initials start with it ("ycz" for 用餐支出), ignoring case. All for "".
    static QStringList Matching(ERecordKind eKind, const QString& strTyped);
    // The same over a list of one's own. A name without known initials matches by its text
    // only.
    static QStringList Matching(const QStringList& names, const QString& strTyped);
    // The pinyin initials of a category ("gzsr" for 工资收入); empty for a name not in the lists.
    static QString Initials(const QString& strCategory);
};
