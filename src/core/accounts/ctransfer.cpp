#include "ctransfer.h"

#include "accounts/cbalance.h"
#include "data/cmoney.h"
#include "data/cstoreddate.h"
#include "data/ctransaction.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>

namespace {

// The key of the user's first account of that name, or an invalid variant.
QVariant AccountKey(const QString& strUser, const QString& strName, const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(QStringLiteral("SELECT MIN(\"编号\") FROM \"Bank\" "
                                                     "WHERE \"UserName\" = ? AND \"CardName\" = ?"),
                                      {strUser, strName}, strConnection);
    return query.next() ? query.value(0) : QVariant();
}

} // namespace

CTransfer::EResult CTransfer::Transfer(const QString& strUser, const QDate& day,
                                       const QString& strFrom, const QString& strIn, double dAmount,
                                       const QString& strConnection) {
    if (!CMoney::IsValid(dAmount))
        return EResult::BadAmount;
    // Stored as it moves the balances: in whole cents, by the money rule.
    const std::int64_t nCents = CMoney::ToCents(dAmount);
    if (nCents == 0)
        return EResult::ZeroAmount;
    // The write lock is taken at BEGIN, so the accounts found are still there at the UPDATE.
    CTransaction transaction(strConnection);
    const QVariant from = AccountKey(strUser, strFrom, strConnection);
    if (from.isNull())
        return EResult::NoSource;
    const QVariant in = AccountKey(strUser, strIn, strConnection);
    if (in.isNull())
        return EResult::NoDestination;
    CBalance::MoveKey(from, -nCents, strConnection);
    CBalance::MoveKey(in, nCents, strConnection);
    CDatabase::Exec(
        QStringLiteral("INSERT INTO \"Trs\" (\"UserName\", \"TrsDate\", \"TrsFrom\", \"TrsIn\", "
                       "\"TrsAmount\") VALUES (?, ?, ?, ?, ?)"),
        {strUser, CDatabase::Dialect(strConnection).BindDate(day), strFrom, strIn,
         CMoney::FromCents(nCents)},
        strConnection);
    transaction.Commit();
    return EResult::Done;
}

QString CTransfer::Message(EResult eResult) {
    switch (eResult) {
    case EResult::Done:
        return QString();
    case EResult::NoSource:
        return QCoreApplication::translate("CTransfer", "转出帐号不存在!");
    case EResult::NoDestination:
        return QCoreApplication::translate("CTransfer", "转入帐号不存在!");
    case EResult::ZeroAmount:
        return QCoreApplication::translate("CTransfer", "转帐金额不能为零!");
    case EResult::BadAmount:
        return QCoreApplication::translate("CTransfer",
                                           "转帐金额必须在 -1000000000000 与 1000000000000 之间!");
    }
    return QString();
}

QVector<CTransfer::SRow> CTransfer::History(const QString& strUser, const QString& strConnection) {
    QSqlQuery query =
        CDatabase::Exec(QStringLiteral("SELECT \"TrsDate\", \"TrsFrom\", \"TrsIn\", \"TrsAmount\" "
                                       "FROM \"Trs\" WHERE \"UserName\" = ? ORDER BY \"编号\""),
                        {strUser}, strConnection);
    QVector<SRow> rows;
    while (query.next()) {
        SRow row;
        row.date = CStoredDate::Day(query.value(0));
        row.strFrom = query.value(1).toString();
        row.strIn = query.value(2).toString();
        row.dAmount = query.value(3).toDouble();
        rows.push_back(row);
    }
    return rows;
}
