#include "cdaybook.h"

#include "accounts/cbalance.h"
#include "data/cbankset.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/cschema.h"
#include "data/cstoreddate.h"
#include "data/ctransaction.h"
#include "records/ccategorybook.h"
#include "records/cdayconflict.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QPair>
#include <QSqlQuery>
#include <algorithm>

namespace {

SDayEdit Followed(SDayEdit edit, const QHash<QString, QString>& renamed) {
    if (renamed.isEmpty())
        return edit;
    for (SDayRecord& r : edit.added)
        r.strSort = renamed.value(r.strSort, r.strSort);
    for (SDayEdit::SChange& change : edit.changed)
        change.now.strSort = renamed.value(change.now.strSort, change.now.strSort);
    return edit;
}

// Both record sets have the same members; writing through them keeps the text-length check
// of the record-set layer, which SQLite itself would not make.
template <class TSet>
void InsertRow(const QString& strConnection, const QString& strUser, const QDate& day,
               const SDayRecord* pRecord, const QString& strBank) {
    TSet set(strConnection);
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(day, QTime(0, 0));
    if (pRecord) {
        set.m_Sort = pRecord->strSort;
        set.m_Note = pRecord->strNote;
        set.m_Amount = CMoney::Round(pRecord->dAmount);
        set.m_Bank = strBank;
    }
    set.Update();
}

// The text columns are NOT NULL: an empty cell is stored as "", as the record sets do.
QString NotNull(const QString& str) {
    return str.isNull() ? QString(QLatin1String("")) : str;
}

QString Tr(const char* szText) {
    return QCoreApplication::translate("CDayBook", szText);
}

} // namespace

CDayBook::CDayBook(ERecordKind eKind, const QString& strUser, const QString& strConnection)
    : m_eKind(eKind), m_strUser(strUser), m_strConnection(strConnection) {}

QString CDayBook::Table() const {
    return m_eKind == ERecordKind::Income ? QStringLiteral("Income") : QStringLiteral("Outlay");
}

QString CDayBook::DayRange(const QDate& day, QVariantList& values) const {
    return CStoredDate::Range(Table(), m_strUser, day, day.addDays(1), values, m_strConnection);
}

QDate CDayBook::ReadDay(const QString& strSql, const QVariantList& values) const {
    QSqlQuery query = CDatabase::Exec(strSql, values, m_strConnection);
    if (!query.next() || query.value(0).isNull())
        return QDate();
    return CStoredDate::Day(query.value(0));
}

QStringList CDayBook::Accounts() const {
    CBankSet set(m_strConnection);
    set.SetFilter(CRecordset::EFilter::User, {m_strUser});
    set.Open();
    QStringList list;
    for (; !set.IsEOF(); set.MoveNext())
        list << set.m_CardName;
    return list;
}

QVector<SDayRecord> CDayBook::LoadDay(const QDate& day, const QString& strBank) const {
    QVector<SDayRecord> rows;
    if (!day.isValid())
        return rows;
    QVariantList values{m_strUser};
    const QString strDay = DayRange(day, values);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"Sort\", \"Note\", \"Amount\", \"编号\" FROM \"%1\" WHERE "
                       "\"UserName\" = ?%2 AND \"Bank\" = ? ORDER BY \"编号\"")
            .arg(Table(), strDay),
        values + QVariantList{strBank}, m_strConnection);
    while (query.next())
        rows.append({query.value(0).toString(), query.value(1).toString(),
                     query.value(2).toDouble(), query.value(3).toLongLong(), strBank});
    return rows;
}

std::int64_t CDayBook::SumAccountDay(const QDate& day, const QString& strBank) const {
    std::int64_t nCents = 0;
    for (const SDayRecord& r : LoadDay(day, strBank))
        nCents += CMoney::ToCents(r.dAmount);
    return nCents;
}

QHash<QString, std::int64_t> CDayBook::DayTotals(const QDate& day) const {
    QHash<QString, std::int64_t> totals;
    if (!day.isValid())
        return totals;
    QVariantList values{m_strUser};
    const QString strDay = DayRange(day, values);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"Bank\", \"Amount\" FROM \"%1\" WHERE \"UserName\" = ?%2")
            .arg(Table(), strDay),
        values, m_strConnection);
    while (query.next())
        totals[query.value(0).toString()] += CMoney::ToCents(query.value(1).toDouble());
    return totals;
}

bool CDayBook::HasDay(const QDate& day) const {
    if (!day.isValid())
        return false;
    QVariantList values{m_strUser};
    const QString strDay = DayRange(day, values);
    QSqlQuery query =
        CDatabase::Exec(QStringLiteral("SELECT 1 FROM \"%1\" WHERE \"UserName\" = ?%2 LIMIT 1")
                            .arg(Table(), strDay),
                        values, m_strConnection);
    return query.next();
}

QDate CDayBook::Step(EStep eStep, const QDate& current) const {
    // The earliest or latest stored day within [from, to), each bound optional.
    const auto edge = [this](bool bFirst, const QDate& from, const QDate& to) {
        QVariantList values{m_strUser};
        const QString strRange =
            CStoredDate::Range(Table(), m_strUser, from, to, values, m_strConnection);
        return ReadDay(
            QStringLiteral("SELECT %1(\"Date\") FROM \"%2\" WHERE \"UserName\" = ?%3")
                .arg(bFirst ? QStringLiteral("MIN") : QStringLiteral("MAX"), Table(), strRange),
            values);
    };
    switch (eStep) {
    case EStep::First:
        return edge(true, QDate(), QDate());
    case EStep::Last:
        return edge(false, QDate(), QDate());
    case EStep::Next:
        // Walking forward from a day without rows starts past the last row: nothing follows.
        if (!HasDay(current))
            return QDate();
        return edge(true, current.addDays(1), QDate());
    case EStep::Prev:
        // Walking back from a day without rows starts past the end, so the first step
        // back reaches the last day.
        if (!HasDay(current))
            return edge(false, QDate(), QDate());
        return edge(false, QDate(), current);
    }
    return QDate();
}

std::int64_t SDayEdit::TotalChange() const {
    std::int64_t nChange = 0; // amounts as stored: whole cents
    for (const SDayRecord& r : added)
        nChange += CMoney::ToCents(r.dAmount);
    for (const SChange& change : changed)
        nChange += CMoney::ToCents(change.now.dAmount) - CMoney::ToCents(change.loaded.dAmount);
    for (const SDayRecord& r : removed)
        nChange -= CMoney::ToCents(r.dAmount);
    return nChange;
}

QHash<QString, std::int64_t> SDayEdit::ChangeByAccount(const QString& strBank) const {
    QHash<QString, std::int64_t> changes{{strBank, 0}};
    const auto add = [&](const SDayRecord& r, int nSign) {
        changes[r.strBank.isEmpty() ? strBank : r.strBank] += nSign * CMoney::ToCents(r.dAmount);
    };
    for (const SDayRecord& r : added)
        add(r, 1);
    for (const SChange& change : changed) {
        add(change.now, 1);
        add(change.loaded, -1);
    }
    for (const SDayRecord& r : removed)
        add(r, -1);
    return changes;
}

SDayEdit SDayEdit::Resolved(const QVector<SDayConflictRow>& rows) const {
    SDayEdit edit = *this;
    for (const SDayConflictRow& row : rows) {
        const qint64 nId = row.read.nId;
        edit.changed.erase(std::remove_if(edit.changed.begin(), edit.changed.end(),
                                          [nId](const SChange& c) { return c.loaded.nId == nId; }),
                           edit.changed.end());
        edit.removed.erase(std::remove_if(edit.removed.begin(), edit.removed.end(),
                                          [nId](const SDayRecord& r) { return r.nId == nId; }),
                           edit.removed.end());
        if (!row.bKeepMine)
            continue;
        if (row.bRemovedThere) {
            if (!row.bRemovedHere) {
                SDayRecord again = row.typed;
                again.nId = 0;
                edit.added.append(again);
            }
        } else if (row.bRemovedHere) {
            edit.removed.append(row.stored);
        } else {
            SDayRecord now = row.typed;
            now.nId = row.stored.nId;
            edit.changed.append({row.stored, now});
        }
    }
    return edit;
}

CDayBook::SProblem CDayBook::Validate(const QVector<SDayRecord>& rows) {
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].strSort.isEmpty())
            return {i, EProblem::NoCategory};
        const double d = rows[i].dAmount;
        if (!CMoney::IsValid(d) || CMoney::ToCents(d) == 0)
            return {i, EProblem::BadAmount};
    }
    return {};
}

std::int64_t CDayBook::Confirm(const QDate& day, const QString& strBank, const SDayEdit& typedEdit,
                               qint64 nSessionUser) {
    if (!day.isValid())
        throw CDBException(Tr("日期无效，记录没有保存。"));
    QVector<SDayRecord> typed = typedEdit.added;
    for (const SDayEdit::SChange& change : typedEdit.changed)
        typed.append(change.now);
    const SProblem problem = Validate(typed);
    if (problem.eProblem == EProblem::NoCategory)
        throw CDBException(Tr("有一行记录没有类型，记录没有保存。"));
    if (problem.eProblem == EProblem::BadAmount)
        throw CDBException(Tr("有一行记录的金额无效，记录没有保存。"));
    for (const SDayRecord& r : typed)
        for (const QString* pText : {&r.strSort, &r.strNote})
            if (pText->toUcs4().size() > CDatabase::MaxTextLength)
                throw CDBException(Tr("“%1”的内容超过 %2 个字符，无法保存。")
                                       .arg(pText == &r.strSort ? Tr("类型") : Tr("摘要"))
                                       .arg(CDatabase::MaxTextLength));
    if (typedEdit.IsEmpty())
        return 0;

    const CSqlDialect& dialect = CDatabase::Dialect(m_strConnection);
    CTransaction transaction(m_strConnection);
    CUserAdmin::CheckSession(m_strUser, nSessionUser, m_strConnection);
    // A category renamed by another copy since this one offered it: the rows take its new name.
    SDayEdit edit = Followed(
        typedEdit, CCategoryBook(m_eKind, m_strUser, nSessionUser, m_strConnection).Renamed());
    const auto bankOf = [&strBank](const SDayRecord& r) {
        return r.strBank.isEmpty() ? strBank : r.strBank;
    };
    // The account rows are locked first, lower 编号 first as a transfer locks its two:
    // confirmations and transfers that move the same accounts queue up here, always in the
    // same order, so they neither deadlock nor interleave. With two accounts of the same
    // name only the first one entered moves, as a transfer does.
    QHash<QString, std::int64_t> changes = edit.ChangeByAccount(strBank);
    QVector<QPair<qint64, QString>> accounts;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        QSqlQuery account =
            CDatabase::Exec(QStringLiteral("SELECT MIN(\"编号\") FROM %1 WHERE \"UserName\" = ? "
                                           "AND \"CardName\" = ?")
                                .arg(CSchema::Bank),
                            {m_strUser, it.key()}, m_strConnection);
        // Records of an account that is not there would move no balance: refuse them.
        if (!account.next() || account.value(0).isNull())
            throw CDBException(Tr("找不到账户“%1”，记录没有保存。").arg(it.key()));
        accounts.append({account.value(0).toLongLong(), it.key()});
    }
    std::sort(accounts.begin(), accounts.end());
    for (const auto& account : accounts) {
        if (!CDatabase::Exec(
                 QStringLiteral("SELECT 1 FROM %1 WHERE \"编号\" = ?").arg(CSchema::Bank) +
                     dialect.LockSql(),
                 {account.first}, m_strConnection)
                 .next())
            throw CDBException(Tr("找不到账户“%1”，记录没有保存。").arg(account.second));
    }

    // Every row this copy changes or removes must still be the row it read, in the account
    // it was read from. Every row that is not is told, so one refusal shows them all.
    const QString strStored =
        QStringLiteral("SELECT \"Sort\", \"Note\", \"Amount\", \"Bank\" FROM \"%1\" WHERE "
                       "\"编号\" = ? AND \"UserName\" = ? AND \"Date\" >= ? AND \"Date\" < ?")
            .arg(Table()) +
        dialect.LockSql();
    const auto same = [](const SDayRecord& a, const SDayRecord& b) {
        return a.strSort == b.strSort && a.strNote == b.strNote && a.strBank == b.strBank &&
               CMoney::ToCents(a.dAmount) == CMoney::ToCents(b.dAmount);
    };
    QVector<SDayConflictRow> conflicts;
    QVector<qint64> agreed; // rows another copy already left as this one wants them
    const auto check = [&](const SDayRecord& read, const SDayRecord* pTyped) {
        SDayConflictRow row;
        row.read = read;
        row.read.strBank = bankOf(read);
        row.bRemovedHere = pTyped == nullptr;
        if (pTyped) {
            row.typed = *pTyped;
            row.typed.strBank = bankOf(*pTyped);
            row.typed.nId = read.nId;
        }
        QSqlQuery stored = CDatabase::Exec(strStored,
                                           QVariantList{read.nId, m_strUser, dialect.BindDay(day),
                                                        dialect.BindDay(day.addDays(1))},
                                           m_strConnection);
        row.bRemovedThere = read.nId <= 0 || !stored.next();
        if (!row.bRemovedThere) {
            row.stored = {stored.value(0).toString(), stored.value(1).toString(),
                          stored.value(2).toDouble(), read.nId, stored.value(3).toString()};
            if (same(row.stored, row.read))
                return;
        }
        // Both removed it, or both made it the same: done already, and counted once.
        if (read.nId > 0 &&
            (row.bRemovedThere ? row.bRemovedHere
                               : !row.bRemovedHere && same(row.stored, row.typed))) {
            agreed.append(read.nId);
            return;
        }
        conflicts.append(row);
    };
    for (const SDayEdit::SChange& change : edit.changed)
        check(change.loaded, &change.now);
    for (const SDayRecord& r : edit.removed)
        check(r, nullptr);
    if (!conflicts.isEmpty())
        throw CDayConflict(Tr("这一天的记录刚被另一个窗口或另一台电脑改动过，您的修改没有保存。"),
                           conflicts);
    if (!agreed.isEmpty()) {
        SDayConflictRow row; // kept as the book holds it: out of the edit
        QVector<SDayConflictRow> rows;
        for (const qint64 nId : agreed) {
            row.read.nId = nId;
            rows.append(row);
        }
        edit = edit.Resolved(rows);
        changes = edit.ChangeByAccount(strBank);
    }

    for (const SDayRecord& r : edit.added) {
        if (m_eKind == ERecordKind::Income)
            InsertRow<CIncomeSet>(m_strConnection, m_strUser, day, &r, bankOf(r));
        else
            InsertRow<COutlaySet>(m_strConnection, m_strUser, day, &r, bankOf(r));
    }
    for (const SDayEdit::SChange& change : edit.changed) {
        CDatabase::Exec(QStringLiteral("UPDATE \"%1\" SET \"Sort\" = ?, \"Note\" = ?, "
                                       "\"Amount\" = ?, \"Bank\" = ? WHERE \"编号\" = ?")
                            .arg(Table()),
                        {NotNull(change.now.strSort), NotNull(change.now.strNote),
                         CMoney::Round(change.now.dAmount), bankOf(change.now), change.loaded.nId},
                        m_strConnection);
    }
    for (const SDayRecord& r : edit.removed) {
        CDatabase::Exec(QStringLiteral("DELETE FROM \"%1\" WHERE \"编号\" = ?").arg(Table()),
                        {r.nId}, m_strConnection);
    }

    // Income adds to its account, outlay takes from it.
    const int nSign = m_eKind == ERecordKind::Income ? 1 : -1;
    for (const auto& account : accounts) {
        const std::int64_t nChange = changes.value(account.second);
        if (nChange != 0)
            CBalance::MoveKey(account.first, nSign * nChange, m_strConnection);
    }
    transaction.Commit();
    return nSign * changes.value(strBank);
}

void CDayBook::OpenDay(const QDate& day, qint64 nSessionUser) {
    if (!day.isValid())
        throw CDBException(Tr("日期无效。"));
    CTransaction transaction(m_strConnection);
    CUserAdmin::CheckSession(m_strUser, nSessionUser, m_strConnection);
    // A day that has rows (records, or the placeholder of an earlier opening) is open already.
    if (HasDay(day))
        return;
    if (m_eKind == ERecordKind::Income)
        InsertRow<CIncomeSet>(m_strConnection, m_strUser, day, nullptr, QString());
    else
        InsertRow<COutlaySet>(m_strConnection, m_strUser, day, nullptr, QString());
    transaction.Commit();
}
