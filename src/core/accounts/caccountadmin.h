#pragma once

#include "data/cdatabase.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Managing a user's accounts after the user was created: adding one with an opening
// balance, renaming one, changing its note and deleting one nothing refers to.
//
// Accounts are addressed by their row's 编号, not by name, so a book that already holds two
// accounts of one name can still rename either. Records and transfers refer to an account by
// name; where two accounts share a name they belong to the first one entered (the one whose
// balance they moved), so only that one takes them along when renamed.
//
// Each write is one transaction that first locks the user's row, so two copies of the program
// managing the same user's accounts take turns, and checks the session's user row. Refusals come
// back as a message to show ("" when done); database failures as CDBException, with nothing
// written.
class CAccountAdmin {
public:
    struct SAccount {
        int nKey = 0; // 编号
        QString strName;
        QString strNote;
        double dCash = 0;
    };

    // The user's accounts in the order they were entered.
    static QVector<SAccount> List(const QString& strUser,
                                  const QString& strConnection = CDatabase::DefaultConnection);

    // nSessionUser: the UserID the session logged in to; a write of a session whose user row
    // is gone (deleted, or created again, elsewhere) is refused with CSessionGone, nothing
    // written. 0 checks nothing (tools and tests).
    static QString Add(const QString& strUser, const QString& strName, const QString& strNote,
                       double dCash, const QString& strConnection = CDatabase::DefaultConnection,
                       qint64 nSessionUser = 0);
    static QString Rename(const QString& strUser, int nKey, const QString& strNewName,
                          const QString& strConnection = CDatabase::DefaultConnection,
                          qint64 nSessionUser = 0);
    static QString SetNote(const QString& strUser, int nKey, const QString& strNote,
                           const QString& strConnection = CDatabase::DefaultConnection,
                           qint64 nSessionUser = 0);
    // Refused while records or transfers refer to the account, while its balance is not zero,
    // and for the user's last account.
    static QString Delete(const QString& strUser, int nKey,
                          const QString& strConnection = CDatabase::DefaultConnection,
                          qint64 nSessionUser = 0);
    // Why Delete would refuse the account as the book stands ("" when it would not), checked
    // as Delete checks it but deleting nothing, so a refusal is said before anyone is asked to
    // confirm.
    static QString DeleteRefusal(const QString& strUser, int nKey,
                                 const QString& strConnection = CDatabase::DefaultConnection,
                                 qint64 nSessionUser = 0);

private:
    static QString Delete(const QString& strUser, int nKey, const QString& strConnection,
                          qint64 nSessionUser, bool bDelete);
};
