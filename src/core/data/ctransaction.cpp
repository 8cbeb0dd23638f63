#include "ctransaction.h"

#include "cdberrortext.h"
#include "cdbexception.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>

CTransaction::CTransaction(const QString& strConnection) : m_strConnection(strConnection) {
    if (!CDatabase::InTransaction(m_strConnection)) {
        // Nothing is written yet: a connection found broken here is opened again once.
        for (int nTry = 0;; ++nTry) {
            QSqlDatabase db = CDatabase::Connection(m_strConnection);
            CDatabase::CheckBookFile(m_strConnection);
            const CSqlDialect::EKind eKind = CDatabase::Dialect(m_strConnection).Kind();
            QSqlError error;
            {
                QSqlQuery query(db);
                if (query.exec(CDatabase::Dialect(m_strConnection).BeginSql()))
                    break;
                error = query.lastError();
            }
            db = QSqlDatabase();
            if (nTry > 0 || !CDatabase::DropIfLost(error, m_strConnection))
                throw CDBException(CDBErrorText::Of(error, eKind));
        }
        CDatabase::TransactionBegun(m_strConnection);
        m_bOuter = true;
    }
    CDatabase::AddTransactionDepth(1, m_strConnection);
}

bool CTransaction::IsActive(const QString& strConnection) {
    return CDatabase::InTransaction(strConnection);
}

CTransaction::~CTransaction() {
    CDatabase::AddTransactionDepth(-1, m_strConnection);
    if (m_bOuter && !m_bDone && CDatabase::IsOpen(m_strConnection)) {
        QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
        query.exec(QStringLiteral("ROLLBACK"));
    }
}

void CTransaction::Commit() {
    if (m_bDone)
        return;
    if (m_bOuter) {
        QSqlError error;
        {
            QSqlQuery query(CDatabase::Connection(m_strConnection));
            if (query.exec(QStringLiteral("COMMIT"))) {
                m_bDone = true;
                query.finish();
                CDatabase::Written(m_strConnection);
                return;
            }
            error = query.lastError();
            query.exec(QStringLiteral("ROLLBACK"));
        }
        m_bDone = true;
        if (CDatabase::DropIfLost(error, m_strConnection))
            // The server may have committed before the connection broke: say so.
            throw CDBException(QCoreApplication::translate(
                                   "CTransaction",
                                   "与数据库服务器的连接在保存时断开，无法确定这一步是否已保存。"
                                   "请稍后重新打开查看，程序会重新连接。"),
                               CDBException::EKind::ConnectionLost);
        throw CDBException(CDBErrorText::Of(error, CDatabase::Dialect(m_strConnection).Kind()));
    }
    m_bDone = true;
}
