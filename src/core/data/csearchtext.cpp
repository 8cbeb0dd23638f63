#include "csearchtext.h"

#include "csearchschema.h"

#include <QHash>
#include <QMutex>
#include <QPair>
#include <QString>

namespace {

// Per connection: the generation of the opening looked at, whether the table is there and
// whether it was seen filled (once filled it stays so until the book is opened again), and
// whether its pieces are indexed.
struct SReady {
    quint64 nGeneration = 0;
    bool bPresent = false;
    bool bFilled = false;
    bool bPieces = false;
};
QMutex s_mutex;
QHash<QString, SReady> s_ready;

SReady Ready(const QString& strConnection) {
    const quint64 nGeneration = CDatabase::Generation(strConnection);
    {
        QMutexLocker lock(&s_mutex);
        const auto it = s_ready.constFind(strConnection);
        if (it != s_ready.constEnd() && it->nGeneration == nGeneration)
            return *it;
    }
    SReady ready;
    ready.nGeneration = nGeneration;
    const QSqlDatabase db = CDatabase::Connection(strConnection);
    const CSqlDialect& d = CDatabase::Dialect(strConnection);
    ready.bPresent = CSearchSchema::Present(db, d);
    ready.bPieces = ready.bPresent && CSearchSchema::HasPieces(db, d);
    QMutexLocker lock(&s_mutex);
    s_ready.insert(strConnection, ready);
    return ready;
}

void SetFilled(const QString& strConnection, quint64 nGeneration) {
    QMutexLocker lock(&s_mutex);
    const auto it = s_ready.find(strConnection);
    if (it != s_ready.end() && it->nGeneration == nGeneration)
        it->bFilled = true;
}

} // namespace

bool CSearchText::IsReady(const QString& strConnection) {
    const SReady ready = Ready(strConnection);
    if (!ready.bPresent)
        return false;
    if (ready.bFilled)
        return true;
    // Another copy may be filling it: looked at again until it is done.
    if (!Filled(strConnection).IsDone())
        return false;
    SetFilled(strConnection, ready.nGeneration);
    return true;
}

bool CSearchText::HasPieces(const QString& strConnection) {
    return Ready(strConnection).bPieces;
}

CSearchText::SFill CSearchText::Filled(const QString& strConnection) {
    if (!Ready(strConnection).bPresent)
        return SFill();
    return CSearchSchema::Filled(CDatabase::Connection(strConnection),
                                 CDatabase::Dialect(strConnection));
}

CSearchText::SFill CSearchText::FillStep(qint64 nRows, const QString& strConnection) {
    if (!Ready(strConnection).bPresent)
        return SFill();
    return CSearchSchema::FillStep(CDatabase::Connection(strConnection),
                                   CDatabase::Dialect(strConnection), nRows);
}

void CSearchText::AddRowsAfter(qint64 nIncomeAfter, qint64 nOutlayAfter,
                               const QString& strConnection) {
    // Also while the words are being filled: the steps leave rows already kept alone.
    if (!Ready(strConnection).bPresent)
        return;
    const CSqlDialect& d = CDatabase::Dialect(strConnection);
    for (const auto& [eKind, nAfter] :
         {QPair<CSearchSchema::EKind, qint64>{CSearchSchema::Income, nIncomeAfter},
          {CSearchSchema::Outlay, nOutlayAfter}})
        for (const CSearchSchema::SAddStatement& add : CSearchSchema::AddStatements(d, eKind))
            CDatabase::Exec(add.strSql, add.bAfter ? QVariantList{nAfter} : QVariantList(),
                            strConnection);
}
