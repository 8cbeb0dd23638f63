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
    enum class EChange { Changed, WrongPassword, NoUser };

    // The login list: every user, in table order.
    static QStringList UserNames(const QString& strConnection = CDatabase::DefaultConnection);
    static bool UserExists(const QString& strUser,
                           const QString& strConnection = CDatabase::DefaultConnection);
    // Whether a new user of that name would clash with an existing one: names are compared
    // trimmed and ignoring case, so "Bob" and " bob " cannot both be created (books that
    // already hold such a pair keep both).
    static bool NameTaken(const QString& strUser,
                          const QString& strConnection = CDatabase::DefaultConnection);

    // The remembered-password state of a user, for filling in the login dialog.
    // false when there is no such user. strPwd is "" when nothing is saved or the saved
    // password cannot be read on this computer.
    static bool SavedPassword(const QString& strUser, bool& bSave, QString& strPwd,
                              const QString& strConnection = CDatabase::DefaultConnection);
    // Stores the "保存密码" choice with the password, or clears it; the login calls it only
    // once the password was accepted. Nothing is written when the book already holds that
    // choice, so an unchanged choice also works on a read-only book.
    // false (and nothing written) when there is no such user.
    static bool StoreSaveChoice(const QString& strUser, bool bSave, const QString& strPwd,
                                const QString& strConnection = CDatabase::DefaultConnection);

    // The login check: false for an unknown user or a wrong password. A database error is
    // thrown as CDBException, never reported as a wrong password. A password still stored
    // as plain text by an older version is replaced by its hash once it has matched.
    static bool CheckPassword(const QString& strUser, const QString& strPwd,
                              const QString& strConnection = CDatabase::DefaultConnection);
    // The same check; on success the UserID of the user row logged in to, else 0. A session
    // keeps it and hands it to its writes (nSessionUser below).
    static qint64 LogIn(const QString& strUser, const QString& strPwd,
                        const QString& strConnection = CDatabase::DefaultConnection);
    // The UserID of the user's row, 0 when there is none.
    static qint64 UserId(const QString& strUser,
                         const QString& strConnection = CDatabase::DefaultConnection);

    // Inside a write transaction: the user row of that name must still be the one with
    // UserID nSessionUser (it may have been deleted, or deleted and created again, by another
    // copy since the session logged in); else CSessionGone. On PostgreSQL the row is locked
    // (shared) until the end of the transaction, so it cannot go away under the write.
    // nSessionUser 0: no session to check (tools and tests).
    static void CheckSession(const QString& strUser, qint64 nSessionUser,
                             const QString& strConnection = CDatabase::DefaultConnection);

    // The user, the accounts and, when firstDay is valid, a first income and outlay day
    // (the program opens none: a member's days are the ones they open), all or nothing.
    // The name is stored trimmed; account names are refused when blank or equal to another
    // one of the list (trimmed, ignoring case). NameTaken when NameTaken() says so (also when
    // another copy of the program was a moment quicker). Throws CDBException on refused values
    // or a database failure.
    static ECreate CreateUser(const QString& strUser, const QString& strPwd,
                              const QList<SAccount>& accounts, const QDate& firstDay,
                              const QString& strConnection = CDatabase::DefaultConnection);

    // Every row of the user in all five tables, all or nothing. false when there is no
    // such user (nothing is deleted then). nSessionUser as for CheckSession.
    static bool DeleteUser(const QString& strUser, qint64 nSessionUser = 0,
                           const QString& strConnection = CDatabase::DefaultConnection);

    // Sets a new password when strOldPwd matches the password stored now — checked inside
    // the write, so a copy that logged in before another one changed the password cannot
    // undo that change with the old one. An empty new password is refused (CDBException); the
    // remembered password is forgotten, since it is the old one.
    // nSessionUser as for CheckSession.
    static EChange ChangePassword(const QString& strUser, const QString& strOldPwd,
                                  const QString& strNewPwd, qint64 nSessionUser = 0,
                                  const QString& strConnection = CDatabase::DefaultConnection);

    // "" when acceptable, else the message to show. Checked before anything is written.
    static QString CheckUserName(const QString& strUser);
    static QString CheckPasswordText(const QString& strPwd);
    static QString CheckAccount(const SAccount& account);
};
