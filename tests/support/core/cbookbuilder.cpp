#include "cbookbuilder.h"

#include "accounts/ctransfer.h"
#include "data/cdbexception.h"
#include "records/ccategories.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

namespace {

using TKey = QPair<QString, QString>; // user, account

std::int64_t Cents(const QVariant& v) {
    return std::llround(v.toDouble());
}

// Sum of ROUND(amount * 100) per (user, account column) of one table.
QHash<TKey, std::int64_t> SumBy(const QString& strTable, const QString& strAccountCol,
                                const QString& strAmountCol, const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(QStringLiteral("SELECT \"UserName\", \"%2\", "
                                                     "SUM(ROUND(\"%3\" * 100)) FROM \"%1\" "
                                                     "GROUP BY \"UserName\", \"%2\"")
                                          .arg(strTable, strAccountCol, strAmountCol),
                                      {}, strConnection);
    QHash<TKey, std::int64_t> sums;
    while (query.next())
        sums[{query.value(0).toString(), query.value(1).toString()}] = Cents(query.value(2));
    return sums;
}

QSet<QString> UsersOf(const QString& strTable, const QString& strConnection) {
    QSqlQuery query =
        CDatabase::Exec(QStringLiteral("SELECT DISTINCT \"UserName\" FROM \"%1\"").arg(strTable),
                        {}, strConnection);
    QSet<QString> users;
    while (query.next())
        users.insert(query.value(0).toString());
    return users;
}

} // namespace

QStringList CBookBuilder::AccountNames(int nAccounts) {
    static const QStringList s_names = {QStringLiteral("现金"), QStringLiteral("银行"),
                                        QStringLiteral("股票"), QStringLiteral("外币")};
    QStringList list;
    for (int i = 0; i < nAccounts; ++i)
        list << (i < s_names.size() ? s_names[i] : QStringLiteral("帐户%1").arg(i + 1));
    return list;
}

std::int64_t CBookBuilder::OpeningCents(const QString& strUser, const QString& strCard) {
    // FNV-1a: the same on every machine, unlike qHash.
    std::uint64_t h = 1469598103934665603ULL;
    for (char c : (strUser + QChar(0x1F) + strCard).toUtf8()) {
        h ^= std::uint8_t(c);
        h *= 1099511628211ULL;
    }
    return std::int64_t(h % 1000000);
}

void CBookBuilder::AddUser(const QString& strUser, const QString& strPwd, const SOptions& o,
                           const QString& strConnection) {
    const QStringList accounts = AccountNames(o.nAccounts);
    QList<CUserAdmin::SAccount> list;
    for (const QString& strCard : accounts)
        list.append({strCard, QStringLiteral("%1的%2").arg(strUser, strCard),
                     double(OpeningCents(strUser, strCard)) / 100.0});
    if (CUserAdmin::CreateUser(strUser, strPwd, list, o.firstDay, strConnection) !=
        CUserAdmin::ECreate::Created) {
        if (CUserAdmin::UserExists(strUser, strConnection))
            throw CDBException(QStringLiteral("用户“%1”已存在").arg(strUser));
        // Older versions let names differ only in case ("a" and "A"): such a book is made under
        // a free name and then given the wanted one, as it could have been kept.
        const QString strFree = QStringLiteral("\u0001") + strUser;
        CUserAdmin::CreateUser(strFree, strPwd, list, o.firstDay, strConnection);
        for (const char* szTable : {"User", "Bank", "Income", "Outlay"})
            CDatabase::Exec(
                QStringLiteral("UPDATE \"%1\" SET \"UserName\" = ? WHERE \"UserName\" = ?")
                    .arg(QLatin1String(szTable)),
                {strUser, strFree}, strConnection);
    }

    QRandomGenerator random(quint32(o.nSeed ^ (o.nSeed >> 32)));
    for (ERecordKind eKind : {ERecordKind::Income, ERecordKind::Outlay}) {
        CDayBook book(eKind, strUser, strConnection);
        const QStringList sorts = CCategories::Of(eKind);
        for (int d = 0; d < o.nDays; ++d) {
            if (random.bounded(3) == 0)
                continue;
            const QDate day = o.firstDay.addDays(d);
            QHash<QString, QVector<SDayRecord>> byAccount;
            for (int r = 0; r < o.nRecordsPerDay; ++r) {
                SDayRecord record;
                record.strSort = sorts[int(random.bounded(sorts.size()))];
                record.strNote = random.bounded(2) ? QStringLiteral("备注%1").arg(r) : QString();
                record.dAmount = double(1 + random.bounded(50000)) / 100.0;
                byAccount[accounts[int(random.bounded(accounts.size()))]].append(record);
            }
            for (auto it = byAccount.cbegin(); it != byAccount.cend(); ++it)
                book.Confirm(day, it.key(), SDayEdit::Adding(it.value()));
        }
    }
    for (int t = 0; t < o.nTransfers && accounts.size() >= 2; ++t) {
        const int nFrom = int(random.bounded(accounts.size()));
        const int nIn = (nFrom + 1 + int(random.bounded(accounts.size() - 1))) % accounts.size();
        int nCents = int(random.bounded(20000)) - 5000;
        if (nCents == 0)
            nCents = 1;
        const double dAmount = double(nCents) / 100.0;
        const CTransfer::EResult eResult =
            CTransfer::Transfer(strUser, o.firstDay.addDays(int(random.bounded(o.nDays))),
                                accounts[nFrom], accounts[nIn], dAmount, strConnection);
        if (eResult != CTransfer::EResult::Done)
            throw CDBException(CTransfer::Message(eResult));
    }
}

QStringList CBookBuilder::BalanceProblems(const QString& strConnection) {
    const auto income = SumBy(QStringLiteral("Income"), QStringLiteral("Bank"),
                              QStringLiteral("Amount"), strConnection);
    const auto outlay = SumBy(QStringLiteral("Outlay"), QStringLiteral("Bank"),
                              QStringLiteral("Amount"), strConnection);
    const auto out = SumBy(QStringLiteral("Trs"), QStringLiteral("TrsFrom"),
                           QStringLiteral("TrsAmount"), strConnection);
    const auto in = SumBy(QStringLiteral("Trs"), QStringLiteral("TrsIn"),
                          QStringLiteral("TrsAmount"), strConnection);
    QStringList problems;
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"UserName\", \"CardName\", \"CardCash\" FROM \"Bank\""), {},
        strConnection);
    while (query.next()) {
        const TKey key{query.value(0).toString(), query.value(1).toString()};
        const std::int64_t nExpected = OpeningCents(key.first, key.second) + income.value(key) -
                                       outlay.value(key) - out.value(key) + in.value(key);
        const std::int64_t nActual = std::llround(query.value(2).toDouble() * 100.0);
        if (nActual != nExpected)
            problems << QStringLiteral("%1/%2: 余额 %3 分，应为 %4 分")
                            .arg(key.first, key.second)
                            .arg(nActual)
                            .arg(nExpected);
    }
    return problems;
}

QStringList CBookBuilder::WholenessProblems(const QString& strConnection) {
    const QSet<QString> users = UsersOf(QStringLiteral("User"), strConnection);
    QStringList problems;
    for (const char* szTable : {"Bank", "Income", "Outlay"}) {
        const QString strTable = QLatin1String(szTable);
        const QSet<QString> owners = UsersOf(strTable, strConnection);
        for (const QString& strUser : users)
            if (!owners.contains(strUser))
                problems << QStringLiteral("用户“%1”在 %2 表中没有行").arg(strUser, strTable);
    }
    for (const char* szTable : {"Bank", "Income", "Outlay", "Trs"}) {
        const QString strTable = QLatin1String(szTable);
        for (const QString& strOwner : UsersOf(strTable, strConnection))
            if (!users.contains(strOwner))
                problems << QStringLiteral("%1 表中有不存在的用户“%2”的行").arg(strTable, strOwner);
    }
    problems.sort();
    return problems;
}

QString CBookBuilder::IntegrityProblem(const QString& strConnection) {
    if (!CDatabase::Dialect(strConnection).IsSQLite())
        return QString();
    QSqlQuery query = CDatabase::Exec(QStringLiteral("PRAGMA integrity_check"), {}, strConnection);
    QStringList lines;
    while (query.next())
        lines << query.value(0).toString();
    return lines == QStringList{QStringLiteral("ok")} ? QString() : lines.join(QLatin1Char('\n'));
}

QStringList CBookBuilder::Dump(const QString& strConnection, const QString& strExceptUser) {
    QStringList lines;
    for (const char* szTable : {"User", "Bank", "Income", "Outlay", "Trs"}) {
        const QString strTable = QLatin1String(szTable);
        const QString strKey =
            strTable == QLatin1String("User") ? QStringLiteral("UserID") : QStringLiteral("编号");
        QSqlQuery query = CDatabase::Exec(
            QStringLiteral("SELECT * FROM \"%1\" ORDER BY \"%2\"").arg(strTable, strKey), {},
            strConnection);
        const QSqlRecord record = query.record();
        const int nUserCol = record.indexOf(QStringLiteral("UserName"));
        while (query.next()) {
            if (!strExceptUser.isNull() && query.value(nUserCol).toString() == strExceptUser)
                continue;
            QStringList fields{strTable};
            for (int i = 0; i < record.count(); ++i)
                fields << query.value(i).toString();
            lines << fields.join(QLatin1Char('|'));
        }
    }
    return lines;
}
