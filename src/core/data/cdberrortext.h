#pragma once

#include "csqldialect.h"

#include <QString>

class QSqlError;

// The sentences a failed database step is shown as: what it means for the person at the
// keyboard, in Chinese, then the driver's own (English) text. SQLite errors carry a result
// code, PostgreSQL errors an SQLSTATE.
class CDBErrorText {
public:
    static QString Of(const QSqlError& error, CSqlDialect::EKind eKind);
    // A failed step; a write the server refused for want of rights comes from a role that may
    // only read the book, and is said as just that.
    static QString OfStep(const QSqlError& error, CSqlDialect::EKind eKind, bool bWrite);
    // A step cut off because the server connection broke.
    static QString ConnectionLost();
    // SQLSTATEs that mean the server connection is gone or the server ended it.
    static bool IsLostState(const QString& strState);
};
