#include "csession.h"

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
}
