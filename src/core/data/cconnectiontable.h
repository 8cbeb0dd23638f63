#pragma once

#include "csqldialect.h"

#include <QHash>
#include <QMutex>
#include <QSqlQuery>
#include <QString>
#include <map>
#include <memory>

class QSqlDatabase;
struct sqlite3;

// The record CDatabase keeps of each named connection (its book, what it knew of the book's
// file, its transaction depth and prepared writes), shared by the files that make up CDatabase:
// cdatabase.cpp (statements, transactions, notices) and cdatabase_open.cpp (opening, closing
// and the SQLite file's discipline). Nothing outside src/core/data includes it.

// Which file a path names: device and inode, as the system sees it now.
struct SFileId {
    quint64 nDev = 0;
    quint64 nIno = 0;
    bool bValid = false;
    bool operator==(const SFileId& o) const {
        return bValid && o.bValid && nDev == o.nDev && nIno == o.nIno;
    }
};

// What cheaply tells that a file's content changed: its size and last modification time. Read
// with stat(), which opens nothing.
struct SFileStamp {
    qint64 nSize = -1;
    qint64 nModified = -1; // nanoseconds
    bool operator==(const SFileStamp& o) const {
        return nSize == o.nSize && nModified == o.nModified;
    }
    bool operator!=(const SFileStamp& o) const { return !(*this == o); }
};

// Row writes already prepared on a connection, by their SQL text. Preparing an insert into a
// record table also compiles the triggers on it, which costs more than running the insert; a
// write repeated row after row is prepared once. Reads are not kept: a caller may still be
// walking the rows of one when the same read runs again. Used by the connection's own thread.
using FPrepared = QHash<QString, std::shared_ptr<QSqlQuery>>;

struct SConnectionInfo {
    QString strUrl;
    CSqlDialect dialect;
    bool bOpen = false;
    // SQLite: the file that was opened, to notice when the path names another one.
    QString strFilePath;
    SFileId fileId;
    // The file as this connection last knew it whole (after opening, after each checkpoint of
    // its own, after each check): its stamp, the data version then (which moves when another
    // connection commits) and the book's signature then. Another copy's checkpoint changes the
    // stamp too; so does a file copied over the book.
    SFileStamp stamp;
    qint64 nDataVersion = -1;
    QString strSignature;
    bool bLogEmptied = false;      // the write-ahead log was emptied after the file went away
    bool bReplacedInPlace = false; // another file's content was copied over the book's
    // PostgreSQL: the connection broke; it is opened again by the next step outside a
    // transaction (inside one, that transaction is gone and the step fails).
    bool bLost = false;
    bool bNotified = false; // this transaction has notified the other copies already
    QString strSchema;
    FPrepared prepared;
    int nTransactionDepth = 0; // open CTransaction guards; only the outermost talks to the book
    quint64 nGeneration = 0;   // changes at every opening and closing (see Generation())
};

// A connection is used by the thread that opened it only, but the table is shared: a long
// import runs on a worker thread with a connection of its own. Entries are never removed, so
// a pointer to one stays good while other threads add theirs.
struct SConnectionTable {
    QMutex mutex;
    std::map<QString, SConnectionInfo> infos;
};

namespace CConnectionTable {

SConnectionTable& Connections();
SConnectionInfo* FindInfo(const QString& strConnection); // null when never named
SConnectionInfo& InfoOf(const QString& strConnection);   // made when missing
FPrepared& PreparedWrites(const QString& strConnection);
void ForgetPreparedWrites(const QString& strConnection);
// Generations are numbered across all connections, so a number is never seen twice.
quint64 NextGeneration();
// The file a path names now, and (in pStamp) its size and modification time; read with
// stat(), which opens nothing.
SFileId FileIdOf(const QString& strPath, SFileStamp* pStamp = nullptr);
// SQLite's handle behind a connection; null for another driver or a closed one.
sqlite3* SqliteHandle(const QSqlDatabase& db);

// How long an SQLite step waits for another copy's write before it gives up.
constexpr int BusyTimeoutMs = 10000;

} // namespace CConnectionTable
