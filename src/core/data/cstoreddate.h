#pragma once

#include "cdatabase.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVector>

// How the program reads a stored "Date" or "TrsDate" value. This is the one rule; every
// figure, list and day view follows it, and so must anything that keeps totals in SQL:
//
//   * a PostgreSQL date or timestamp is its calendar date;
//   * a text whose first ten characters are a calendar date "yyyy-MM-dd" is that day,
//     whatever follows: "2007-04-01", "2007-04-01 00:00:00", "2007-04-01T00:00:00.000" are
//     all 1 April 2007 (in SQL: the day key CSqlDialect::DayKeyExpr, substr(x, 1, 10));
//   * anything else (another notation, a number, 2007-02-30) is not a day. Such rows count
//     in no figure and no list; Unreadable() finds them so the user can be told once.
//
// Day D is then exactly the values v with 'D' <= v < 'D+1', the bounds being the plain texts
// CSqlDialect::BindDay gives, on a text column as on a timestamp column. Ranges written that
// way keep the (UserName, Date, ...) index. A text that is not a day can still sort inside
// such a range ("2007-04-5" lies within April); Range() leaves those out.
//
// New rows are always written in the form CSqlDialect::BindDate gives; rows already stored
// are never rewritten.
class CStoredDate {
public:
    // The day of a stored value by the rule above; an invalid date when it is not a day.
    static QDate Day(const QVariant& value);

    // The conditions on "Date" of a record table ("Income" or "Outlay", unquoted) for the
    // days [from, to), each bound optional (invalid: open), to follow "WHERE "UserName" = ?".
    // Rows of the user whose date is not a day are left out of every range, open ones too;
    // a row without a date falls into no bounded range but stays in an open one, as before.
    // Appends the bound values. Throws CDBException.
    static QString Range(const QString& strTable, const QString& strUser, const QDate& from,
                         const QDate& to, QVariantList& values,
                         const QString& strConnection = CDatabase::DefaultConnection);

    // Rows of the user whose date cannot be read, per table (Income, Outlay, Trs).
    struct SUnreadable {
        QString strTable; // unquoted table name
        int nRows = 0;
        QStringList samples;   // a few of the stored texts
        QList<qlonglong> keys; // "编号" of some of those rows
    };
    static QVector<SUnreadable>
    Unreadable(const QString& strUser, const QString& strConnection = CDatabase::DefaultConnection);
    // The message that tells the user about them; empty when every date can be read.
    static QString UnreadableMessage(const QString& strUser,
                                     const QString& strConnection = CDatabase::DefaultConnection);

    // SQLite: partial indexes of the rows whose date is not a day, so that finding them at
    // login reads those rows only. Optional: a book that cannot take them (read-only) works
    // without, only slower.
    static QStringList IndexStatements(const CSqlDialect& dialect);

    // Drops what was learnt about a connection's unreadable dates (the book changed under it,
    // another user logged in, the connection closed).
    static void Forget(const QString& strConnection = CDatabase::DefaultConnection);
};
