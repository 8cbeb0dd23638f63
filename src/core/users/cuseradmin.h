#pragma once

#include "data/cdatabase.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The users of a book: listing them, the login check, the remembered password, and
// creating, deleting and re-passwording a user. Every write that touches several rows runs
// in one transaction. Failures arrive as CDBException with a text fit for the user.
class CUserAdmin {
public:
    // One account as entered when the user is created.
    struct SAccount {
        QString strCardName;
        QString strCardNote; // stored in CardSum
        double dCardCash = 0;
    };
    enum class ECreate { Created, NameTaken };

    // The login list: every user, in table order.
    static QStringList UserNames(const QString& strConnection = CDatabase::DefaultConnection);
    static bool UserExists(const QString& strUser,
                           const QString& strConnection = CDatabase::DefaultConnection);

    // The remembered-password state of a user, for filling in the login dialog.
    // false when there is no such user. strPwd is "" when nothing is saved or the saved
    // password cannot be read on this computer.
    static bool SavedPassword(const QString& strUser, bool& bSave, QString& strPwd,
                              const QString& strConnection = CDatabase::DefaultConnection);
    // Stores the "保存密码" choice with the password as typed (right or wrong), or clears it.
    // false (and nothing written) when there is no such user.
    static bool StoreSaveChoice(const QString& strUser, bool bSave, const QString& strPwd,
                                const QString& strConnection = CDatabase::DefaultConnection);

    // The login check: false for an unknown user or a wrong password. A database error is
    // thrown as CDBException, never reported as a wrong password. A password still stored
    // as plain text by an older version is replaced by its hash once it has matched.
    static bool CheckPassword(const QString& strUser, const QString& strPwd,
                              const QString& strConnection = CDatabase::DefaultConnection);
    // The same check, giving the matched row's "UserID" (0 when the check fails).
    static int LogIn(const QString& strUser, const QString& strPwd,
                     const QString& strConnection = CDatabase::DefaultConnection);
    // The "UserID" of the user's row, 0 when there is none.
    static int UserId(const QString& strUser,
                      const QString& strConnection = CDatabase::DefaultConnection);

    // The user, the accounts and the first income and outlay day, all or nothing.
    // NameTaken when the name exists already (also when another copy of the program was
    // a moment quicker). Throws CDBException on refused values or a database failure.
    static ECreate CreateUser(const QString& strUser, const QString& strPwd,
                              const QList<SAccount>& accounts, const QDate& firstDay,
                              const QString& strConnection = CDatabase::DefaultConnection);

    // Every row of the user in all five tables, all or nothing. false when there is no
    // such user (nothing is deleted then).
    static bool DeleteUser(const QString& strUser,
                           const QString& strConnection = CDatabase::DefaultConnection);

    // false when there is no such user. The remembered password is left as it is.
    static bool ChangePassword(const QString& strUser, const QString& strNewPwd,
                               const QString& strConnection = CDatabase::DefaultConnection);
    // The user's own change: the old password is checked against the stored hash and the new
    // one written in one transaction, so a change made meanwhile by another copy of the
    // program is checked, not overwritten blindly. Throws CDBException on refused values or a
    // database failure.
    enum class EChangePwd { Changed, WrongOldPwd, NoSuchUser };
    static EChangePwd
    ChangeOwnPassword(const QString& strUser, const QString& strOldPwd, const QString& strNewPwd,
                      const QString& strConnection = CDatabase::DefaultConnection);

    // "" when acceptable, else the message to show. Checked before anything is written.
    static QString CheckUserName(const QString& strUser);
    static QString CheckPasswordText(const QString& strPwd);
    static QString CheckAccount(const SAccount& account);
};
