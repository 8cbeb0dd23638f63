#include "cdatabase.h"

#include "cconnectiontable.h"

#include "cdberrortext.h"
#include "cdbexception.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>

#include <memory>

const QString CDatabase::DefaultConnection = QStringLiteral("ledgerkin");
const QString CDatabase::ChangeChannel = QStringLiteral("ledgerkin_changes");

using CConnectionTable::FindInfo;
using CConnectionTable::InfoOf;
using CConnectionTable::PreparedWrites;

namespace {

// Texts built with a varying number of values would otherwise grow the cache without end.
constexpr int MaxPreparedWrites = 200;

// A statement that changes the book, as opposed to one that only reads it.
bool IsWriteStatement(const QString& strSql) {
    const QStringView head = QStringView(strSql).trimmed();
    for (const char* szVerb : {"INSERT", "UPDATE", "DELETE", "REPLACE", "CREATE", "DROP", "ALTER"})
        if (head.startsWith(QLatin1String(szVerb), Qt::CaseInsensitive))
            return true;
    return false;
}

// A write of rows (not of the schema), worth keeping prepared.
bool IsRowWrite(const QString& strSql) {
    const QStringView head = QStringView(strSql).trimmed();
    for (const char* szVerb : {"INSERT", "UPDATE", "DELETE"})
        if (head.startsWith(QLatin1String(szVerb), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

bool CDatabase::IsPostgresUrl(const QString& strUrl) {
    return strUrl.startsWith(QLatin1String("postgresql://")) ||
           strUrl.startsWith(QLatin1String("postgres://"));
}

void CDatabase::SetUrl(const QString& strUrl, const QString& strConnection) {
    Close(strConnection);
    SConnectionInfo info;
    info.strUrl = strUrl;
    info.dialect =
        CSqlDialect(IsPostgresUrl(strUrl) ? CSqlDialect::PostgreSQL : CSqlDialect::SQLite);
    SConnectionInfo& kept = InfoOf(strConnection);
    info.nTransactionDepth = kept.nTransactionDepth;
    info.nGeneration = kept.nGeneration;
    kept = info;
}

QString CDatabase::Url(const QString& strConnection) {
    const SConnectionInfo* p = FindInfo(strConnection);
    return p ? p->strUrl : QString();
}

quint64 CDatabase::Generation(const QString& strConnection) {
    const SConnectionInfo* p = FindInfo(strConnection);
    return p ? p->nGeneration : 0;
}

bool CDatabase::InTransaction(const QString& strConnection) {
    const SConnectionInfo* p = FindInfo(strConnection);
    return p && p->nTransactionDepth > 0;
}

int CDatabase::AddTransactionDepth(int nStep, const QString& strConnection) {
    return InfoOf(strConnection).nTransactionDepth += nStep;
}

bool CDatabase::IsOpen(const QString& strConnection) {
    const SConnectionInfo* p = FindInfo(strConnection);
    return p && p->bOpen;
}

QSqlDatabase CDatabase::Connection(const QString& strConnection) {
    // A transaction on a connection that broke is gone: its remaining steps must not run
    // on a new connection, outside any transaction.
    const SConnectionInfo* p = FindInfo(strConnection);
    if (p && p->bLost && InTransaction(strConnection))
        throw CDBException(CDBErrorText::ConnectionLost(), CDBException::EKind::ConnectionLost);
    Open(strConnection);
    return QSqlDatabase::database(strConnection, false);
}

QString CDatabase::ChangePayload(const QString& strConnection) {
    const SConnectionInfo* p = FindInfo(strConnection);
    return p ? p->strSchema : QString();
}

void CDatabase::TransactionBegun(const QString& strConnection) {
    if (SConnectionInfo* p = FindInfo(strConnection))
        p->bNotified = false;
}

namespace {

// After a failed statement on PostgreSQL: true when the connection itself is gone, either
// by the error's state or, for errors without one, because a trivial query fails too.
bool ConnectionBroke(const QSqlError& error, const QString& strConnection) {
    if (CDatabase::Dialect(strConnection).Kind() != CSqlDialect::PostgreSQL)
        return false;
    const QString strState = error.nativeErrorCode().trimmed();
    if (CDBErrorText::IsLostState(strState))
        return true;
    if (!strState.isEmpty())
        return false;
    QSqlQuery probe(QSqlDatabase::database(strConnection, false));
    if (probe.exec(QStringLiteral("SELECT 1")))
        return false;
    const QString strProbe = probe.lastError().nativeErrorCode().trimmed();
    return strProbe.isEmpty() || CDBErrorText::IsLostState(strProbe);
}

} // namespace

bool CDatabase::DropIfLost(const QSqlError& error, const QString& strConnection) {
    if (Dialect(strConnection).Kind() != CSqlDialect::PostgreSQL || !IsOpen(strConnection) ||
        !ConnectionBroke(error, strConnection))
        return false;
    Close(strConnection);
    InfoOf(strConnection).bLost = true;
    return true;
}

bool CDatabase::IsLost(const QString& strConnection) {
    const SConnectionInfo* p = FindInfo(strConnection);
    return p && p->bLost;
}

const CSqlDialect& CDatabase::Dialect(const QString& strConnection) {
    static const CSqlDialect s_sqlite;
    const SConnectionInfo* p = FindInfo(strConnection);
    return p ? p->dialect : s_sqlite;
}

QSqlQuery CDatabase::Exec(const QString& strSql, const QVariantList& values,
                          const QString& strConnection) {
    for (const QVariant& v : values) {
        // PostgreSQL's driver cuts a text at a NUL and fails with a syntax error, SQLite
        // would keep it: refuse it the same way on both.
        if (v.metaType().id() == QMetaType::QString && v.toString().contains(QChar(0)))
            throw CDBException(QCoreApplication::translate(
                "CDatabase", "文字中不能有空字符（NUL），这一步没有完成。"));
    }
    const bool bWrite = IsWriteStatement(strSql);
    const bool bKeep = bWrite && IsRowWrite(strSql);
    for (int nTry = 0;; ++nTry) {
        QSqlDatabase db = Connection(strConnection);
        const CSqlDialect::EKind eKind = Dialect(strConnection).Kind();
        if (bWrite)
            CheckBookFile(strConnection);
        QSqlError error;
        {
            FPrepared& prepared = PreparedWrites(strConnection);
            std::shared_ptr<QSqlQuery> pQuery = bKeep ? prepared.value(strSql) : nullptr;
            bool bReady = pQuery != nullptr;
            if (!bReady) {
                pQuery = std::make_shared<QSqlQuery>(db);
                pQuery->setForwardOnly(true);
                bReady = pQuery->prepare(strSql);
            }
            QSqlQuery& query = *pQuery;
            if (bReady) {
                for (int i = 0; i < values.size(); ++i)
                    query.bindValue(i, values[i]);
                if (query.exec()) {
                    if (bWrite && eKind == CSqlDialect::PostgreSQL)
                        NotifyOthers(db, strConnection);
                    if (bWrite && !InTransaction(strConnection))
                        Written(strConnection);
                    if (!bKeep)
                        return std::move(query);
                    if (!prepared.contains(strSql)) {
                        if (prepared.size() >= MaxPreparedWrites)
                            prepared.clear();
                        prepared.insert(strSql, pQuery);
                    }
                    // The caller gets a second handle on the kept statement, for the rows it
                    // changed; running it again later rebinds it.
                    QT_WARNING_PUSH
                    QT_WARNING_DISABLE_DEPRECATED
                    return QSqlQuery(query);
                    QT_WARNING_POP
                }
            }
            error = query.lastError();
            // A statement that failed is prepared afresh next time.
            if (bKeep)
                prepared.remove(strSql);
        }
        db = QSqlDatabase();
        if (!DropIfLost(error, strConnection))
            throw CDBException(
                CDBErrorText::OfStep(error, eKind, bWrite || InTransaction(strConnection)));
        // A read outside a transaction is tried once more on a new connection; a write may
        // or may not have reached the server, so it is reported, never repeated.
        if (bWrite || nTry > 0 || InTransaction(strConnection))
            throw CDBException(CDBErrorText::ConnectionLost(), CDBException::EKind::ConnectionLost);
    }
}

void CDatabase::NotifyOthers(QSqlDatabase db, const QString& strConnection) {
    // Inside a transaction the notice goes out at COMMIT, and not at all on ROLLBACK; once
    // per transaction is enough.
    SConnectionInfo* it = FindInfo(strConnection);
    const bool bInTransaction = InTransaction(strConnection);
    if (bInTransaction && it->bNotified)
        return;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT pg_notify(?, ?)"));
    query.addBindValue(ChangeChannel);
    query.addBindValue(it->strSchema);
    if (query.exec() && bInTransaction)
        it->bNotified = true;
}

void CDatabase::ExecPrepared(QSqlQuery& query, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        // Refused as Exec refuses it: PostgreSQL's driver would cut the text at the NUL.
        if (v.metaType().id() == QMetaType::QString && v.toString().contains(QChar(0)))
            throw CDBException(QCoreApplication::translate(
                "CDatabase", "文字中不能有空字符（NUL），这一步没有完成。"));
        query.bindValue(i, v);
    }
    if (!query.exec())
        throw CDBException(CDBErrorText::OfStep(query.lastError(),
                                                query.driver() && query.driver()->dbmsType() ==
                                                                      QSqlDriver::PostgreSQL
                                                    ? CSqlDialect::PostgreSQL
                                                    : CSqlDialect::SQLite,
                                                IsWriteStatement(query.lastQuery())));
}

