#pragma once

#include "data/cdatabase.h"

#include <QDate>
#include <QString>
#include <QVector>

// Moving money between two accounts of one user, and the list of such moves.
class CTransfer {
public:
    enum class EResult {
        Done,
        NoSource,      // the source is not an account of the user
        NoDestination, // the destination is not an account of the user
        BadAmount,     // not a finite number, or beyond ±CMoney::Limit
        ZeroAmount,    // nothing left after rounding to the cent
    };

    // Takes dAmount off the source balance, adds it to the destination balance and writes
    // the Trs row, in one transaction: either all three happen or nothing does. The amount is
    // taken to the cent first (the money rule) and stored so. A negative amount moves money
    // the other way. Balances are moved in SQL
    // (CardCash = CardCash ± amount), never read and written back. With several accounts of
    // the same name the first one entered is the one moved. Anything but Done writes
    // nothing. Throws CDBException (and then nothing is written either); CSessionGone when
    // nSessionUser is set and no longer the user's row (CUserAdmin::CheckSession).
    static EResult Transfer(const QString& strUser, const QDate& day, const QString& strFrom,
                            const QString& strIn, double dAmount,
                            const QString& strConnection = CDatabase::DefaultConnection,
                            qint64 nSessionUser = 0);

    // The message for a refusal ("" for Done).
    static QString Message(EResult eResult);

    struct SRow {
        int nKey = 0; // 编号
        QDate date;
        QString strFrom;
        QString strIn;
        double dAmount = 0;
    };
    // The user's transfers by date, in the order they were written within a day.
    // Throws CDBException.
    static QVector<SRow> History(const QString& strUser,
                                 const QString& strConnection = CDatabase::DefaultConnection);

    enum class EUndo {
        Done,
        Gone,      // no such transfer of the user (undone or deleted elsewhere)
        NoAccount, // one of its accounts is no longer there
    };
    // Takes a transfer back: the source gets the amount back, the destination gives it up,
    // and the row is removed, in one transaction. Anything but Done writes nothing.
    // Throws CDBException (and then nothing is written either); CSessionGone as Transfer does.
    static EUndo Undo(const QString& strUser, int nKey,
                      const QString& strConnection = CDatabase::DefaultConnection,
                      qint64 nSessionUser = 0);
    static QString Message(EUndo eResult);
};
