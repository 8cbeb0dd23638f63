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
    // nothing. Throws CDBException (and then nothing is written either).
    static EResult Transfer(const QString& strUser, const QDate& day, const QString& strFrom,
                            const QString& strIn, double dAmount,
                            const QString& strConnection = CDatabase::DefaultConnection);

    // The message for a refusal ("" for Done).
    static QString Message(EResult eResult);

    struct SRow {
        QDate date;
        QString strFrom;
        QString strIn;
        double dAmount = 0;
    };
    // The user's transfers in the order they were written. Throws CDBException.
    static QVector<SRow> History(const QString& strUser,
                                 const QString& strConnection = CDatabase::DefaultConnection);
};
