#pragma once

#include "data/cdatabase.h"

#include <QByteArray>
#include <QDate>
#include <QString>

// The user's records and transfers over a date range, for other programs:
//   QIF — one !Account block per account (records, and each transfer in both accounts, so
//         other finance programs see every balance move);
//   CSV — UTF-8 with a BOM, ISO dates, plain numbers, one row per record or transfer.
class CExporter {
public:
    enum class EFormat { Qif, Csv };
    struct SCount {
        int nRecords = 0;
        int nTransfers = 0;
    };

    // The file's bytes for [from, to] (both days included). Throws CDBException.
    static QByteArray Build(const QString& strUser, EFormat eFormat, const QDate& from,
                            const QDate& to, SCount* pCount = nullptr,
                            const QString& strConnection = CDatabase::DefaultConnection);
    // Writes them to strPath (replacing it only when all is written). Returns "" or the
    // message to show. Throws CDBException.
    static QString Write(const QString& strPath, const QString& strUser, EFormat eFormat,
                         const QDate& from, const QDate& to, SCount* pCount = nullptr,
                         const QString& strConnection = CDatabase::DefaultConnection);
    // Cents as "-1234.50".
    static QString Amount(std::int64_t nCents);
};
