#pragma once

#include <QObject>
#include <QString>

// Who is logged in on this window: the user's name and the id ("UserID") of the User row the
// login matched. The id tells a re-created user of the same name from the one who logged in.
// Nothing else is kept; in particular no password.
class CSession : public QObject {
    Q_OBJECT
public:
    explicit CSession(QObject* pParent = nullptr);

    bool IsLoggedIn() const { return !m_strUserName.isEmpty(); }
    const QString& UserName() const { return m_strUserName; }
    // 0 when the row is not known (a session set up without a login).
    qint64 UserId() const { return m_nUserId; }

    // Replaces any logged-in user (LoggedOut is not sent for the one replaced).
    void LogIn(const QString& strUserName, qint64 nUserId);
    // Nothing happens when nobody is logged in.
    void LogOut();

Q_SIGNALS:
    void LoggedIn(const QString& strUserName);
    void LoggedOut();

private:
    QString m_strUserName;
    qint64 m_nUserId = 0;
};
