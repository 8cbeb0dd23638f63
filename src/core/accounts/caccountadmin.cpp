#include "caccountadmin.h"

#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/cnamerule.h"
#include "data/cschema.h"
#include "data/ctransaction.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>
#include <functional>
#include <utility>

namespace {

QString Tr(const char* szText) {
    return QCoreApplication::translate("CAccountAdmin", szText);
}

QString UserGone() {
    return Tr("当前用户已不存在，无法修改账号。");
}

// Every write: one transaction that first takes the user's row (SQLite already holds the write
// lock from BEGIN), so another copy working on the same user's accounts waits until this one
// is done, and checks that a session's user row is still the one it logged in to
// (CSessionGone otherwise). fnWrite returns "" when done, else the refusal to show; only
// "" commits.
QString Write(const QString& strUser, qint64 nSessionUser, const QString& strConnection,
              const std::function<QString()>& fnWrite) {
    CTransaction transaction(strConnection);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT 1 FROM %1 WHERE \"UserName\" = ?").arg(CSchema::User) +
            CDatabase::Dialect(strConnection).LockSql(),
        {strUser}, strConnection);
    const bool bFound = query.next();
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    const QString strError = bFound ? fnWrite() : UserGone();
    if (strError.isEmpty())
        transaction.Commit();
    return strError;
}

int Count(const QString& strSql, const QVariantList& values, const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(strSql, values, strConnection);
    return query.next() ? query.value(0).toInt() : 0;
}

// The account of that key among `accounts`, or -1.
int IndexOf(const QVector<CAccountAdmin::SAccount>& accounts, int nKey) {
    for (int i = 0; i < accounts.size(); ++i) {
        if (accounts[i].nKey == nKey)
            return i;
    }
    return -1;
}

QStringList NamesExcept(const QVector<CAccountAdmin::SAccount>& accounts, int nIndex) {
    QStringList names;
    for (int i = 0; i < accounts.size(); ++i) {
        if (i != nIndex)
            names << accounts[i].strName;
    }
    return names;
}

// Whether records and transfers naming this account belong to it: they belong to the first
// account of that exact name.
bool OwnsItsName(const QVector<CAccountAdmin::SAccount>& accounts, int nIndex) {
    for (int i = 0; i < nIndex; ++i) {
        if (accounts[i].strName == accounts[nIndex].strName)
            return false;
    }
    return true;
}

QString Gone() {
    return Tr("这个账号已不存在（可能已在另一处被删除），请刷新后再试。");
}

} // namespace

QVector<CAccountAdmin::SAccount> CAccountAdmin::List(const QString& strUser,
                                                     const QString& strConnection) {
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"编号\", \"CardName\", \"CardSum\", \"CardCash\" FROM %1 "
                       "WHERE \"UserName\" = ? ORDER BY \"编号\"")
            .arg(CSchema::Bank),
        {strUser}, strConnection);
    QVector<SAccount> accounts;
    while (query.next())
        accounts.push_back({query.value(0).toInt(), query.value(1).toString(),
                            query.value(2).toString(), query.value(3).toDouble()});
    return accounts;
}

QString CAccountAdmin::Add(const QString& strUser, const QString& strName, const QString& strNote,
                           double dCash, const QString& strConnection, qint64 nSessionUser) {
    if (!CMoney::IsValid(dCash))
        return Tr("账号金额必须在 -1000000000000 与 1000000000000 之间！");
    if (strNote.toUcs4().size() > CDatabase::MaxTextLength)
        return Tr("账号备注不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    return Write(strUser, nSessionUser, strConnection, [&] {
        const QString strError =
            CNameRule::CheckAccountName(strName, NamesExcept(List(strUser, strConnection), -1));
        if (!strError.isEmpty())
            return strError;
        CDatabase::Exec(QStringLiteral("INSERT INTO %1 (\"UserName\", \"CardName\", "
                                       "\"CardSum\", \"CardCash\") VALUES (?, ?, ?, ?)")
                            .arg(CSchema::Bank),
                        // A null note would be bound as NULL, which the column refuses.
                        {strUser, CNameRule::Normal(strName),
                         strNote.isNull() ? QStringLiteral("") : strNote,
                         CMoney::FromCents(CMoney::ToCents(dCash))},
                        strConnection);
        return QString();
    });
}

QString CAccountAdmin::Rename(const QString& strUser, int nKey, const QString& strNewName,
                              const QString& strConnection, qint64 nSessionUser) {
    return Write(strUser, nSessionUser, strConnection, [&] {
        const QVector<SAccount> accounts = List(strUser, strConnection);
        const int nIndex = IndexOf(accounts, nKey);
        if (nIndex < 0)
            return Gone();
        const QString strError =
            CNameRule::CheckAccountName(strNewName, NamesExcept(accounts, nIndex));
        if (!strError.isEmpty())
            return strError;
        const QString strOld = accounts[nIndex].strName;
        const QString strNew = CNameRule::Normal(strNewName);
        if (strNew == strOld)
            return QString();
        CDatabase::Exec(
            QStringLiteral("UPDATE %1 SET \"CardName\" = ? WHERE \"编号\" = ?").arg(CSchema::Bank),
            {strNew, nKey}, strConnection);
        if (OwnsItsName(accounts, nIndex)) {
            const QVariantList values{strNew, strUser, strOld};
            for (const QLatin1String table : {CSchema::Income, CSchema::Outlay}) {
                CDatabase::Exec(QStringLiteral("UPDATE %1 SET \"Bank\" = ? WHERE "
                                               "\"UserName\" = ? AND \"Bank\" = ?")
                                    .arg(table),
                                values, strConnection);
            }
            for (const char* szColumn : {"TrsFrom", "TrsIn"}) {
                CDatabase::Exec(QStringLiteral("UPDATE %2 SET \"%1\" = ? WHERE "
                                               "\"UserName\" = ? AND \"%1\" = ?")
                                    .arg(QLatin1String(szColumn), CSchema::Trs),
                                values, strConnection);
            }
        }
        return QString();
    });
}

QString CAccountAdmin::SetNote(const QString& strUser, int nKey, const QString& strNote,
                               const QString& strConnection, qint64 nSessionUser) {
    if (strNote.toUcs4().size() > CDatabase::MaxTextLength)
        return Tr("账号备注不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    return Write(strUser, nSessionUser, strConnection, [&] {
        QSqlQuery query = CDatabase::Exec(QStringLiteral("UPDATE %1 SET \"CardSum\" = ? "
                                                         "WHERE \"编号\" = ? AND \"UserName\" = ?")
                                              .arg(CSchema::Bank),
                                          {strNote, nKey, strUser}, strConnection);
        return query.numRowsAffected() == 1 ? QString() : Gone();
    });
}

QString CAccountAdmin::Delete(const QString& strUser, int nKey, const QString& strConnection,
                              qint64 nSessionUser) {
    return Delete(strUser, nKey, strConnection, nSessionUser, true);
}

QString CAccountAdmin::DeleteRefusal(const QString& strUser, int nKey, const QString& strConnection,
                                     qint64 nSessionUser) {
    return Delete(strUser, nKey, strConnection, nSessionUser, false);
}

QString CAccountAdmin::Delete(const QString& strUser, int nKey, const QString& strConnection,
                              qint64 nSessionUser, bool bDelete) {
    return Write(strUser, nSessionUser, strConnection, [&] {
        const QVector<SAccount> accounts = List(strUser, strConnection);
        const int nIndex = IndexOf(accounts, nKey);
        if (nIndex < 0)
            return Gone();
        const SAccount& account = accounts[nIndex];
        if (accounts.size() == 1)
            return Tr("账号“%1”是唯一的账号，至少要保留一个账号。").arg(account.strName);

        QStringList uses;
        if (OwnsItsName(accounts, nIndex)) {
            const QVariantList values{strUser, account.strName};
            const std::pair<QLatin1String, const char*> tables[] = {
                {CSchema::Income, QT_TRANSLATE_NOOP("CAccountAdmin", "%1 条收入记录")},
                {CSchema::Outlay, QT_TRANSLATE_NOOP("CAccountAdmin", "%1 条支出记录")}};
            for (const auto& table : tables) {
                const int n = Count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE "
                                                   "\"UserName\" = ? AND \"Bank\" = ?")
                                        .arg(table.first),
                                    values, strConnection);
                if (n > 0)
                    uses << Tr(table.second).arg(n);
            }
            const int nTrs = Count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE \"UserName\" = ? "
                                                  "AND (\"TrsFrom\" = ? OR \"TrsIn\" = ?)")
                                       .arg(CSchema::Trs),
                                   {strUser, account.strName, account.strName}, strConnection);
            if (nTrs > 0)
                uses << Tr("%1 条转账记录").arg(nTrs);
        }
        if (!uses.isEmpty())
            return Tr("账号“%1”还有%2，不能删除。请先删除或改到别的账号上。")
                .arg(account.strName, uses.join(Tr("、")));
        if (CMoney::ToCents(account.dCash) != 0)
            return Tr("账号“%1”的余额为 %2，不为零，不能删除。请先把余额转到别的账号。")
                .arg(account.strName, CMoney::Format(account.dCash));
        if (bDelete)
            CDatabase::Exec(QStringLiteral("DELETE FROM %1 WHERE \"编号\" = ?").arg(CSchema::Bank),
                            {nKey}, strConnection);
        return QString();
    });
}
