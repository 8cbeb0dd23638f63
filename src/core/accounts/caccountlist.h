#pragma once

#include "data/cdatabase.h"

#include <QString>
#include <QVector>
#include <cstdint>

// A user's accounts with their balances, in the order they were entered.
class CAccountList {
public:
    struct SAccount {
        QString strName;
        double dCash = 0;
    };

    // Throws CDBException.
    static QVector<SAccount> Load(const QString& strUser,
                                  const QString& strConnection = CDatabase::DefaultConnection);

    // The sum of the balances in whole cents, so the shown total matches the shown rows.
    static std::int64_t TotalCents(const QVector<SAccount>& accounts);
};
