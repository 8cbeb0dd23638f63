#include "ctransfer.h"

#include "accounts/cbalance.h"
#include "data/cmoney.h"
#include "data/cschema.h"
#include "data/cstoreddate.h"
#include "data/ctransaction.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>

namespace {

// The key of the user's first account of that name, or an invalid variant.
QVariant AccountKey(const QString& strUser, const QString& strName, const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(QStringLiteral("SELECT MIN(\"编号\") FROM %1 "
                                                     "WHERE \"UserName\" = ? AND \"CardName\" = ?")
                                          .arg(CSchema::Bank),
                                      {strUser, strName}, strConnection);
    return query.next() ? query.value(0) : QVariant();
}

// Locks the account row until the end of the transaction (PostgreSQL); false when it is gone.
bool LockAccount(const QVariant& key, const QString& strConnection) {
    return CDatabase::Exec(
               QStringLiteral("SELECT 1 FROM %1 WHERE \"编号\" = ?").arg(CSchema::Bank) +
                   CDatabase::Dialect(strConnection).LockSql(),
               {key}, strConnection)
        .next();
}

} // namespace

CTransfer::EResult CTransfer::Transfer(const QString& strUser, const QDate& day,
                                       const QString& strFrom, const QString& strIn, double dAmount,
                                       const QString& strConnection, qint64 nSessionUser) {
    if (!CMoney::IsValid(dAmount))
        return EResult::BadAmount;
    // Stored as it moves the balances: in whole cents, by the money rule.
    const std::int64_t nCents = CMoney::ToCents(dAmount);
    if (nCents == 0)
        return EResult::ZeroAmount;
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
    CBalance::MoveKey(from, -nCents, strConnection);
    CBalance::MoveKey(in, nCents, strConnection);
    CDatabase::Exec(
        QStringLiteral("INSERT INTO %1 (\"UserName\", \"TrsDate\", \"TrsFrom\", \"TrsIn\", "
                       "\"TrsAmount\") VALUES (?, ?, ?, ?, ?)")
            .arg(CSchema::Trs),
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
        return QCoreApplication::translate("CTransfer", "转出账号不存在!");
    case EResult::NoDestination:
        return QCoreApplication::translate("CTransfer", "转入账号不存在!");
    case EResult::ZeroAmount:
        return QCoreApplication::translate("CTransfer", "转账金额不能为零!");
    case EResult::BadAmount:
        return QCoreApplication::translate("CTransfer",
                                           "转账金额必须在 -1000000000000 与 1000000000000 之间!");
    }
    return QString();
}

QVector<CTransfer::SRow> CTransfer::History(const QString& strUser, const QString& strConnection) {
    const CSqlDialect& dialect = CDatabase::Dialect(strConnection);
    // By the calendar day, so a stored time of day never reorders one day's transfers.
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"TrsDate\", \"TrsFrom\", \"TrsIn\", \"TrsAmount\", \"编号\" "
                       "FROM %2 WHERE \"UserName\" = ? ORDER BY %1, \"编号\"")
            .arg(dialect.DayKeyExpr(QStringLiteral("\"TrsDate\"")), CSchema::Trs),
        {strUser}, strConnection);
    QVector<SRow> rows;
    while (query.next()) {
        SRow row;
        row.date = CStoredDate::Day(query.value(0));
        row.strFrom = query.value(1).toString();
        row.strIn = query.value(2).toString();
        row.dAmount = query.value(3).toDouble();
        row.nKey = query.value(4).toInt();
        rows.push_back(row);
    }
    return rows;
}

CTransfer::EUndo CTransfer::Undo(const QString& strUser, int nKey, const QString& strConnection,
                                 qint64 nSessionUser) {
    CTransaction transaction(strConnection);
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    // On PostgreSQL the row is locked, so two copies undoing the same transfer take turns and
    // the second finds it gone; SQLite holds the write lock from BEGIN.
    const bool bSqlite = CDatabase::Dialect(strConnection).IsSQLite();
    QSqlQuery row =
        CDatabase::Exec(QStringLiteral("SELECT \"TrsFrom\", \"TrsIn\", \"TrsAmount\" FROM %2 "
                                       "WHERE \"编号\" = ? AND \"UserName\" = ?%1")
                            .arg(bSqlite ? QString() : QStringLiteral(" FOR UPDATE"), CSchema::Trs),
                        {nKey, strUser}, strConnection);
    if (!row.next())
        return EUndo::Gone;
    const QString strFrom = row.value(0).toString();
    const QString strIn = row.value(1).toString();
    const std::int64_t nCents = CMoney::ToCents(row.value(2).toDouble());
    row.finish();
    const QVariant from = AccountKey(strUser, strFrom, strConnection);
    const QVariant in = AccountKey(strUser, strIn, strConnection);
    if (from.isNull() || in.isNull())
        return EUndo::NoAccount;
    CBalance::MoveKey(from, nCents, strConnection);
    CBalance::MoveKey(in, -nCents, strConnection);
    CDatabase::Exec(QStringLiteral("DELETE FROM %1 WHERE \"编号\" = ?").arg(CSchema::Trs), {nKey},
                    strConnection);
    transaction.Commit();
    return EUndo::Done;
}

QString CTransfer::Message(EUndo eResult) {
    switch (eResult) {
    case EUndo::Done:
        return QString();
    case EUndo::Gone:
        return QCoreApplication::translate("CTransfer",
                                           "这笔转账已不存在（可能已在另一处撤销），没有改动。");
    case EUndo::NoAccount:
        return QCoreApplication::translate("CTransfer", "这笔转账的账号已不存在，无法撤销。");
    }
    return QString();
}
