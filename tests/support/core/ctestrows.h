#pragma once

#include "data/cbankset.h"

#include <QDateTime>
#include <QString>

// Rows written straight through the record sets, for tests that need a book in a given
// state without going through the operations under test.
namespace CTestRows {

inline void AddBank(const QString& strUser, const QString& strCard, double dCash) {
    CBankSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_CardName = strCard;
    set.m_CardCash = dCash;
    set.Update();
}

// One Income or Outlay row (TSet is CIncomeSet or COutlaySet).
template <class TSet>
void AddRecord(const QString& strUser, const QDateTime& date, const QString& strBank,
               const QString& strSort, const QString& strNote, double dAmount) {
    TSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = date;
    set.m_Bank = strBank;
    set.m_Sort = strSort;
    set.m_Note = strNote;
    set.m_Amount = dAmount;
    set.Update();
}

} // namespace CTestRows
