#pragma once

#include "data/cbankset.h"
#include "data/cmoney.h"
#include "data/cuserset.h"
#include "records/cdaybook.h"

#include <QDateTime>
#include <QString>

// Rows written straight through the record sets, for tests that need a book in a given
// state without going through the operations under test.
namespace CTestRows {

// A bare user row (no password, no accounts), for the program's own tables keyed by UserID.
inline void AddUser(const QString& strUser) {
    CUserSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.Update();
}

inline void AddBank(const QString& strUser, const QString& strCard, double dCash) {
    CBankSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_CardName = strCard;
    set.m_CardCash = dCash;
    set.Update();
}

// A bare user row (no password worth the name, no accounts), for tests whose book holds
// records of a user that was never created through the program.
inline void AddUserRow(const QString& strUser) {
    CUserSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_UserPwd = QStringLiteral("-");
    set.Update();
}

// An account's balance as the program shows it ("1010.00"), or "none" when the user has no
// such account: a missing account must not read as a balance of 0.00.
inline QString Balance(const QString& strUser, const QString& strCard) {
    CBankSet set;
    set.SetFilter(CRecordset::EFilter::UserCard, {strUser, strCard});
    set.Open();
    return set.IsEOF() ? QStringLiteral("none") : CMoney::Format(set.m_CardCash);
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

// Sets the account's day to exactly `rows` through the one way the program confirms a day:
// the rows stored now are removed, `rows` added. Returns the change of the balance in cents.
inline std::int64_t ReplaceDay(CDayBook& book, const QDate& day, const QString& strBank,
                               const QVector<SDayRecord>& rows) {
    SDayEdit edit = SDayEdit::Adding(rows);
    edit.removed = book.LoadDay(day, strBank);
    return book.Confirm(day, strBank, edit);
}
inline std::int64_t ReplaceDay(CDayBook&& book, const QDate& day, const QString& strBank,
                               const QVector<SDayRecord>& rows) {
    return ReplaceDay(book, day, strBank, rows);
}

} // namespace CTestRows
