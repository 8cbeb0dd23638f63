#pragma once

#include "cdatabase.h"

#include <QString>

// Everything written between construction and Commit() lands whole or not at all:
// the destructor rolls back unless Commit() ran. Guards may nest; only the outermost
// one talks to the database, so an operation can be called alone or inside a larger one.
class CTransaction {
public:
    explicit CTransaction(const QString& strConnection = CDatabase::DefaultConnection);
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    void Commit(); // throws CDBException when the database refuses the commit

    // True while a transaction guard is open on the connection.
    static bool IsActive(const QString& strConnection = CDatabase::DefaultConnection);

private:
    QString m_strConnection;
    bool m_bOuter = false;
    bool m_bDone = false;
};
