#include "cconnectiontable.h"

#include <QFile>
#include <QSqlDriver>
#include <atomic>
#include <sqlite3.h>
#include <sys/stat.h>

namespace CConnectionTable {

SConnectionTable& Connections() {
    static SConnectionTable s_table;
    return s_table;
}

SConnectionInfo* FindInfo(const QString& strConnection) {
    QMutexLocker lock(&Connections().mutex);
    auto it = Connections().infos.find(strConnection);
    return it == Connections().infos.end() ? nullptr : &it->second;
}

SConnectionInfo& InfoOf(const QString& strConnection) {
    QMutexLocker lock(&Connections().mutex);
    return Connections().infos[strConnection];
}

FPrepared& PreparedWrites(const QString& strConnection) {
    return InfoOf(strConnection).prepared;
}
void ForgetPreparedWrites(const QString& strConnection) {
    if (SConnectionInfo* pInfo = FindInfo(strConnection))
        pInfo->prepared.clear();
}

quint64 NextGeneration() {
    static std::atomic<quint64> s_nLast{0};
    return ++s_nLast;
}


SFileId FileIdOf(const QString& strPath, SFileStamp* pStamp) {
    SFileId id;
    struct stat st {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) == 0) {
        id.nDev = quint64(st.st_dev);
        id.nIno = quint64(st.st_ino);
        id.bValid = true;
        if (pStamp) {
            pStamp->nSize = qint64(st.st_size);
            pStamp->nModified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        }
    }
    return id;
}

sqlite3* SqliteHandle(const QSqlDatabase& db) {
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    return qstrcmp(handle.typeName(), "sqlite3*") == 0
               ? *static_cast<sqlite3* const*>(handle.constData())
               : nullptr;
}

} // namespace CConnectionTable
