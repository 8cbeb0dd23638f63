#include "csession.h"

#include "data/cdatabase.h"
#include "data/cdbexception.h"

CSession::CSession(QObject* pParent) : QObject(pParent) {}

void CSession::LogIn(const QString& strUserName, qint64 nUserId) {
    m_strUserName = strUserName;
    m_nUserId = nUserId;
    Q_EMIT LoggedIn(m_strUserName);
}

void CSession::LogOut() {
    if (!IsLoggedIn())
        return;
    m_strUserName.clear();
    m_nUserId = 0;
    Q_EMIT LoggedOut();
    // The pages of the book SQLite kept for the ended session go back at once, before the
    // next login's password hash (19 MiB) lands on top of them; they are read again as needed.
    try {
        if (CDatabase::IsOpen() && CDatabase::Dialect().IsSQLite())
            CDatabase::Exec(QStringLiteral("PRAGMA shrink_memory"));
    } catch (const CDBException&) {
        // Only memory: a book that cannot be reached says so at its next use.
    }
}
