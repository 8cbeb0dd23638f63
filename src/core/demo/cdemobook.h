#pragma once

#include "data/cdatabase.h"

#include <QDate>
#include <QString>

// The demo book behind --demo: a file of its own in the data folder (never the user's
// book) holding the user "演示用户" (password "demo") with three accounts and two years of
// everyday income and outlay up to today, and a few transfers — so someone trying the
// program sees the summary, the charts and the reports at once.
//
// It is written through the same core operations as the program's own windows and is the
// same on every run (a fixed seed), ending on CToday.
class CDemoBook {
public:
    static const QString UserName; // "演示用户"
    static const QString Password; // "demo"

    static QString DefaultPath();
    static bool IsDemoUrl(const QString& strUrl);

    // Fills the book of the connection when it has no demo user yet; otherwise leaves it
    // alone. The whole book is written in one transaction. Throws CDBException.
    static void Ensure(const QString& strConnection = CDatabase::DefaultConnection);
    // The days covered end on `lastDay` and start two years before it.
    static void Build(const QDate& lastDay,
                      const QString& strConnection = CDatabase::DefaultConnection);
};
