#include "cbalance.h"
#include "data/cschema.h"

#include <QSqlQuery>

namespace {
// ROUND() of the stored balance drops any noise below the cent; the cents are added as an
// integer, and one division turns them back into the double nearest to the cents, the same
// double CMoney::FromCents gives. SQLite and PostgreSQL both compute it in doubles.
const QString Moved = QStringLiteral("\"CardCash\" = (ROUND(\"CardCash\" * 100) + ?) / 100.0");
} // namespace

bool CBalance::MoveKey(const QVariant& key, std::int64_t nCents, const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("UPDATE %2 SET %1 WHERE \"编号\" = ?").arg(Moved, CSchema::Bank),
        {qlonglong(nCents), key}, strConnection);
    return query.numRowsAffected() > 0;
}

bool CBalance::Move(const QString& strUser, const QString& strCardName, std::int64_t nCents,
                    const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("UPDATE %2 SET %1 WHERE \"编号\" = (SELECT MIN(\"编号\") FROM %2 "
                       "WHERE \"UserName\" = ? AND \"CardName\" = ?)")
            .arg(Moved, CSchema::Bank),
        {qlonglong(nCents), strUser, strCardName}, strConnection);
    return query.numRowsAffected() > 0;
}
