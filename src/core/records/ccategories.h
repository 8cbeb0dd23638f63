#pragma once

#include "crecordkind.h"

#include <QStringList>

// The fixed categories of income and outlay records, in the order the lists show them.
class CCategories {
public:
    static QStringList Income();
    static QStringList Outlay();
    static QStringList Of(ERecordKind eKind);
};
