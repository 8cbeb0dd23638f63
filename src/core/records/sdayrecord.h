#pragma once

#include <QString>
#include <QtGlobal>

// One record of a day as the daily views show and store it.
struct SDayRecord {
    QString strSort; // category
    QString strNote;
    double dAmount = 0;
    qint64 nId = 0; // the stored row's 编号; 0 for a row not stored yet
    // The row's account; empty: the account the day is confirmed for. A row changed to
    // another account moves to it.
    QString strBank = QString();
};
