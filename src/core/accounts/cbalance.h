#pragma once

#include "data/cdatabase.h"

#include <QString>
#include <QVariant>
#include <cstdint>

// The one way a balance ("CardCash") moves: by whole cents, in SQL, the result stored rounded
// to the cent. A balance that an older version left with float noise (488.160034179687) is
// rounded the next time it moves, so noise never grows with the number of moves.
class CBalance {
public:
    // Moves the account with that 编号. Returns false when there is no such row.
    // Throws CDBException.
    static bool MoveKey(const QVariant& key, std::int64_t nCents,
                        const QString& strConnection = CDatabase::DefaultConnection);
    // Moves the user's first account (lowest 编号) of that name, as confirming a day and a
    // transfer always have. Returns false when the user has no such account.
    // Throws CDBException.
    static bool Move(const QString& strUser, const QString& strCardName, std::int64_t nCents,
                     const QString& strConnection = CDatabase::DefaultConnection);
};
