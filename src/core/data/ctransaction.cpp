#include "ctransaction.h"

#include "cdbexception.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QHash<QString, int>& Depths() {
    static QHash<QString, int> s_depths;
    return s_depths;
}
} // namespace

CTransaction::CTransaction(const QString& strConnection) : m_strConnection(strConnection) {
    int& depth = Depths()[m_strConnection];
    if (depth == 0) {
        QSqlDatabase db = CDatabase::Connection(m_strConnection);
        QSqlQuery query(db);
        if (!query.exec(CDatabase::Dialect(m_strConnection).BeginSql()))
            throw CDBException(CDatabase::ErrorText(query.lastError()));
        m_bOuter = true;
    }
    ++depth;
}

CTransaction::~CTransaction() {
    --Depths()[m_strConnection];
    if (m_bOuter && !m_bDone && CDatabase::IsOpen(m_strConnection)) {
        QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
        query.exec(QStringLiteral("ROLLBACK"));
    }
}

void CTransaction::Commit() {
    if (m_bDone)
        return;
    if (m_bOuter) {
        QSqlQuery query(CDatabase::Connection(m_strConnection));
        if (!query.exec(QStringLiteral("COMMIT"))) {
            const QString strError = CDatabase::ErrorText(query.lastError());
            query.exec(QStringLiteral("ROLLBACK"));
            m_bDone = true;
            throw CDBException(strError);
        }
    }
    m_bDone = true;
}
