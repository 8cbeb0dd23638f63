#pragma once

#include "data/cdatabase.h"

#include <QString>

// A short reading of one user's book for the "分析建议" command: the latest month with
// money in it (income, outlay, what was saved, the largest outlay categories) and the share
// of all income saved so far, with one plain suggestion.
class CAdvice {
public:
    // Throws CDBException.
    static QString Text(const QString& strUser,
                        const QString& strConnection = CDatabase::DefaultConnection);
};
