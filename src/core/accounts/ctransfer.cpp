#include "ctransfer.h"

#include "data/cmoney.h"
#include "data/ctransaction.h"
#include "users/cuseradmin.h"

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

// Locks the account row until the end of the transaction (PostgreSQL); false when it is gone.
bool LockAccount(const QVariant& key, const QString& strConnection) {
    return CDatabase::Exec(QStringLiteral("SELECT 1 FROM \"Bank\" WHERE \"编号\" = ?") +
                               CDatabase::Dialect(strConnection).LockSql(),
                           {key}, strConnection)
        .next();
}

void MoveBalance(const QVariant& key, double dDelta, const QString& strConnection) {
    CDatabase::Exec(
        QStringLiteral("UPDATE \"Bank\" SET \"CardCash\" = \"CardCash\" + ? WHERE \"编号\" = ?"),
        {dDelta, key}, strConnection);
}

} // namespace

CTransfer::EResult CTransfer::Transfer(const QString& strUser, const QDate& day,
                                       const QString& strFrom, const QString& strIn, double dAmount,
                                       const QString& strConnection, qint64 nSessionUser) {
    if (!CMoney::IsValid(dAmount))
        return EResult::BadAmount;
    // SQLite takes the write lock at BEGIN; PostgreSQL locks the two account rows, lower
    // 编号 first so that two transfers in opposite directions never deadlock. Either way
    // the accounts found are still there at the UPDATE.
    CTransaction transaction(strConnection);
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    const QVariant from = AccountKey(strUser, strFrom, strConnection);
    if (from.isNull())
        return EResult::NoSource;
    const QVariant in = AccountKey(strUser, strIn, strConnection);
    if (in.isNull())
        return EResult::NoDestination;
    const bool bFromFirst = from.toLongLong() <= in.toLongLong();
    if (!LockAccount(bFromFirst ? from : in, strConnection))
        return bFromFirst ? EResult::NoSource : EResult::NoDestination;
    if (!LockAccount(bFromFirst ? in : from, strConnection))
        return bFromFirst ? EResult::NoDestination : EResult::NoSource;
    MoveBalance(from, -dAmount, strConnection);
    MoveBalance(in, dAmount, strConnection);
    CDatabase::Exec(
        QStringLiteral("INSERT INTO \"Trs\" (\"UserName\", \"TrsDate\", \"TrsFrom\", \"TrsIn\", "
                       "\"TrsAmount\") VALUES (?, ?, ?, ?, ?)"),
        {strUser, CDatabase::Dialect(strConnection).BindDate(day), strFrom, strIn, dAmount},
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
    case EResult::BadAmount:
        return QCoreApplication::translate("CTransfer",
                                           "转帐金额必须在 -1000000000000 与 1000000000000 之间!");
    }
    return QString();
}

QVector<CTransfer::SRow> CTransfer::History(const QString& strUser, const QString& strConnection) {
    const CSqlDialect& dialect = CDatabase::Dialect(strConnection);
    QSqlQuery query =
        CDatabase::Exec(QStringLiteral("SELECT \"TrsDate\", \"TrsFrom\", \"TrsIn\", \"TrsAmount\" "
                                       "FROM \"Trs\" WHERE \"UserName\" = ? ORDER BY \"编号\""),
                        {strUser}, strConnection);
    QVector<SRow> rows;
    while (query.next()) {
        SRow row;
        row.date = dialect.ReadDateTime(query.value(0)).date();
        row.strFrom = query.value(1).toString();
        row.strIn = query.value(2).toString();
        row.dAmount = query.value(3).toDouble();
        rows.push_back(row);
    }
    return rows;
}
