#pragma once

#include "crecordkind.h"
#include "data/cdatabase.h"
#include "records/cdayconflict.h"
#include "records/sdayrecord.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>

// What one copy of the program did to a day of an account since it read it: the rows it
// added, the rows it changed (as read, with their 编号, and as they are now) and the rows it
// removed (as read). Rows it left alone, and rows other copies wrote, are not part of it.
struct SDayEdit {
    struct SChange {
        SDayRecord loaded;
        SDayRecord now;
    };
    QVector<SDayRecord> added;
    QVector<SChange> changed;
    QVector<SDayRecord> removed;
    bool IsEmpty() const { return added.isEmpty() && changed.isEmpty() && removed.isEmpty(); }
    // How much the day's total moves by it, in whole cents (added and changed amounts as
    // stored, less the amounts removed or replaced).
    std::int64_t TotalChange() const;
    // The same per account (rows without one count for strBank), every account the edit
    // touches listed, strBank always: a row moved to another account lowers the day's total
    // of the one and raises the other's.
    QHash<QString, std::int64_t> ChangeByAccount(const QString& strBank) const;
    // This edit with a conflict's choices taken: a row kept as the other copy left it drops
    // out of the edit; a row kept as typed here is sent against the row as the book holds it
    // now (typed again as a new row when the other copy removed it, removed when this copy
    // did). The rest of the edit stays as it was, so confirming it checks every row again.
    SDayEdit Resolved(const QVector<SDayConflictRow>& rows) const;
    // Only new rows: filling a day that was empty when read.
    static SDayEdit Adding(const QVector<SDayRecord>& rows) {
        SDayEdit edit;
        edit.added = rows;
        return edit;
    }
};

// The daily records of one user in one of the two record tables: the user's accounts, a
// day's records and totals, moving between the days that have rows, confirming what was
// added, changed and removed on a day of an account, and opening a new day.
//
// Every read is a range query over the (UserName, Date) index, so a long book stays as
// quick as a short one. A day is [midnight, next midnight), so a stray time of day never
// hides a row; a row whose date is not a day (see CStoredDate) belongs to none.
// Errors come back as CDBException.
class CDayBook {
public:
    // The four moves between days that have rows.
    enum class EStep { First, Last, Prev, Next };
    enum class EProblem { None, NoCategory, BadAmount };
    struct SProblem {
        int nIndex = -1; // row index into the checked list, -1 when all rows pass
        EProblem eProblem = EProblem::None;
    };

    CDayBook(ERecordKind eKind, const QString& strUser,
             const QString& strConnection = CDatabase::DefaultConnection);

    ERecordKind Kind() const { return m_eKind; }
    QString Table() const; // "Income" or "Outlay", unquoted

    // The user's account names in the order they were entered.
    QStringList Accounts() const;

    // The records of one account on one day, in the order they were stored, with their 编号.
    QVector<SDayRecord> LoadDay(const QDate& day, const QString& strBank) const;
    // One account's total of the day, in cents.
    std::int64_t SumAccountDay(const QDate& day, const QString& strBank) const;
    // Every account's total of the day, in cents, keyed by account name (one query).
    QHash<QString, std::int64_t> DayTotals(const QDate& day) const;

    // True when at least one row of the user (a placeholder too) carries that day.
    bool HasDay(const QDate& day) const;
    // The day a navigation button leads to from `current`:
    //   First / Last: the user's first / last day (invalid when the table has no row);
    //   Next: the next later day, invalid when there is none or `current` has no row;
    //   Prev: the next earlier day, invalid when there is none; from a day without rows it
    //         leads to the user's last day.
    // An invalid answer to Next / Prev means "already at the end".
    QDate Step(EStep eStep, const QDate& current) const;

    // The first row that would be refused, category before amount, rows top to bottom.
    // An amount is refused when it is zero once rounded to the cent, not a finite number or
    // beyond ±CMoney::Limit.
    static SProblem Validate(const QVector<SDayRecord>& rows);

    // Applies one copy's edit of the day's records of the account: inserts the added rows,
    // updates the changed ones and deletes the removed ones by 编号, and moves the account's
    // balance by exactly that difference (income adds, outlay subtracts), all in one
    // transaction. Rows other copies wrote meanwhile stay as they are. A row whose strBank
    // names another account is written to that account, and a changed row whose account
    // changed moves from the one to the other: both balances move, in the same transaction.
    // When a changed or removed row is no longer as it was read (another copy changed,
    // removed or moved it), nothing is written and CDayConflict is thrown, listing every such
    // row as read, as stored now and as typed; confirm edit.Resolved(rows) after choosing.
    // A row both copies removed, or changed to the same values, is no conflict: it is left
    // as it is and its balance is not moved twice. With nSessionUser set, the
    // user row of that name must still carry that UserID (CUserAdmin::CheckSession), else
    // CSessionGone. Any other error: CDBException, and nothing has changed either.
    // Returns the change of strBank's balance in cents.
    std::int64_t Confirm(const QDate& day, const QString& strBank, const SDayEdit& edit,
                         qint64 nSessionUser = 0);

    // Opens a day: one placeholder row with only the user name and the date, unless the user
    // has a row on that day already (a book written by an older copy may hold several
    // placeholders of one day; they stay). nSessionUser as for Confirm.
    void OpenDay(const QDate& day, qint64 nSessionUser = 0);

private:
    // The conditions that select the day's rows (after "UserName" = ?); appends the values.
    QString DayRange(const QDate& day, QVariantList& values) const;
    QDate ReadDay(const QString& strSql, const QVariantList& values) const;

    ERecordKind m_eKind;
    QString m_strUser;
    QString m_strConnection;
};
