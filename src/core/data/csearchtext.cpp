#include "csearchtext.h"

#include "csearchschema.h"

#include <QHash>
#include <QMutex>
#include <QPair>

bool CSearchText::IsReady(const QString& strConnection) {
    static QMutex s_mutex;
    static QHash<QString, QPair<quint64, bool>> s_ready; // connection → generation, answer
    const quint64 nGeneration = CDatabase::Generation(strConnection);
    {
        QMutexLocker lock(&s_mutex);
        const auto it = s_ready.constFind(strConnection);
        if (it != s_ready.constEnd() && it->first == nGeneration)
            return it->second;
    }
    const bool bReady = CSearchSchema::Present(CDatabase::Connection(strConnection),
                                               CDatabase::Dialect(strConnection));
    QMutexLocker lock(&s_mutex);
    s_ready.insert(strConnection, {nGeneration, bReady});
    return bReady;
}

void CSearchText::AddRowsAfter(qint64 nIncomeAfter, qint64 nOutlayAfter,
                               const QString& strConnection) {
    if (!IsReady(strConnection))
        return;
    const CSqlDialect& d = CDatabase::Dialect(strConnection);
    for (const auto& [eKind, nAfter] :
         {QPair<CSearchSchema::EKind, qint64>{CSearchSchema::Income, nIncomeAfter},
          {CSearchSchema::Outlay, nOutlayAfter}})
        for (const QString& strSql : CSearchSchema::AddStatements(d, eKind))
            CDatabase::Exec(strSql, {nAfter}, strConnection);
}
