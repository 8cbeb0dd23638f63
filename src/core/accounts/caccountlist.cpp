#include "caccountlist.h"

#include "data/cmoney.h"
#include "data/cschema.h"

#include <QSqlQuery>
#include <QVariant>

QVector<CAccountList::SAccount> CAccountList::Load(const QString& strUser,
                                                   const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(QStringLiteral("SELECT \"CardName\", \"CardCash\" FROM %1 "
                                                     "WHERE \"UserName\" = ? ORDER BY \"编号\"")
                                          .arg(CSchema::Bank),
                                      {strUser}, strConnection);
    QVector<SAccount> accounts;
    while (query.next())
        accounts.push_back({query.value(0).toString(), query.value(1).toDouble()});
    return accounts;
}

std::int64_t CAccountList::TotalCents(const QVector<SAccount>& accounts) {
    std::int64_t nTotal = 0;
    for (const SAccount& account : accounts)
        nTotal += CMoney::ToCents(account.dCash);
    return nTotal;
}
