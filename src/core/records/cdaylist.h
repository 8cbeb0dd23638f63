#pragma once

#include "crecordkind.h"
#include "data/cdatabase.h"
#include "data/ckepttotals.h"

#include <QDate>
#include <QString>
#include <QVector>

// The days on which a user has rows (records or a day's placeholder) in one record table,
// earliest first, each day once. The navigation tree is built from it.
class CDayList {
public:
    // Read from the days the book keeps per user (CKeptTotals), in key order: one row per
    // day, never a read of every record. Throws CDBException.
    static QVector<QDate> Days(ERecordKind eKind, const QString& strUser,
                               const QString& strConnection = CDatabase::DefaultConnection);
    // The days of [from, to) only.
    static QVector<QDate> Days(ERecordKind eKind, const QString& strUser, const QDate& from,
                               const QDate& to,
                               const QString& strConnection = CDatabase::DefaultConnection);
    // The years with such days in either table, and a year's months (1-12), earliest first,
    // each with the tables that have rows in it: read from the month sums the book keeps.
    // Throws CDBException.
    static QVector<CKeptTotals::SPeriodRows>
    Years(const QString& strUser, const QString& strConnection = CDatabase::DefaultConnection);
    static QVector<CKeptTotals::SPeriodRows>
    Months(const QString& strUser, int nYear,
           const QString& strConnection = CDatabase::DefaultConnection);
};
