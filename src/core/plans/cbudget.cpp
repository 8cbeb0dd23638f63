#include "cbudget.h"

#include "data/cdbexception.h"
#include "data/ckepttotals.h"
#include "data/cmoney.h"
#include "data/ctransaction.h"
#include "plans/cplantables.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QHash>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace {

QString Tr(const char* szText) {
    return QCoreApplication::translate("CBudget", szText);
}

// The amount of each line in force in month nMonth: the month's own before the every-month one.
QHash<QString, qint64> InForce(const QVector<CBudget::SAmount>& amounts, int nMonth) {
    QHash<QString, qint64> lines;
    for (const CBudget::SAmount& a : amounts)
        if (a.nMonth == 0 && !lines.contains(a.strSort))
            lines.insert(a.strSort, a.nCents);
    for (const CBudget::SAmount& a : amounts)
        if (a.nMonth == nMonth)
            lines.insert(a.strSort, a.nCents);
    return lines;
}

} // namespace

QStringList CBudget::Categories(const QString& strUser) {
    return CPlanTables::Categories(strUser, ERecordKind::Outlay);
}

QString CBudget::LineName(const QString& strSort) {
    return strSort.isEmpty() ? Tr("全部支出") : strSort;
}

int CBudget::SLine::Percent() const {
    if (nBudget <= 0)
        return nSpent > 0 ? 999 : 0;
    return static_cast<int>(std::clamp<qint64>(nSpent * 100 / nBudget, -999, 999));
}

QVector<CBudget::SAmount> CBudget::Amounts(const QString& strUser, const QString& strConnection) {
    CPlanTables::Ready(strConnection);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT b.\"Sort\", b.\"Month\", b.\"Cents\" FROM \"Budget\" b JOIN "
                       "\"User\" u ON u.\"UserID\" = b.\"UserID\" WHERE u.\"UserName\" = ? "
                       "ORDER BY b.\"Sort\", b.\"Month\""),
        {strUser}, strConnection);
    QVector<SAmount> amounts;
    while (query.next())
        amounts.push_back(
            {query.value(0).toString(), query.value(1).toInt(), query.value(2).toLongLong()});
    return amounts;
}

void CBudget::Apply(const QString& strUser, const QVector<SAmount>& changes, qint64 nSessionUser,
                    const QString& strConnection) {
    for (const SAmount& a : changes) {
        if (a.nCents < 0 || a.nCents > CMoney::ToCents(CMoney::Limit))
            throw CDBException(Tr("预算金额无效，预算没有保存。"));
        if (a.nMonth < 0 || a.nMonth > 12)
            throw CDBException(Tr("预算的月份无效，预算没有保存。"));
        if (a.strSort.toUcs4().size() > CDatabase::MaxTextLength)
            throw CDBException(Tr("预算的类型太长，预算没有保存。"));
    }
    if (changes.isEmpty())
        return;
    CPlanTables::Ready(strConnection);
    CTransaction transaction(strConnection);
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    const qint64 nUser = CPlanTables::UserId(strUser, strConnection);
    for (const SAmount& a : changes) {
        if (a.nCents == 0) {
            CDatabase::Exec(QStringLiteral("DELETE FROM \"Budget\" WHERE \"UserID\" = ? AND "
                                           "\"Sort\" = ? AND \"Month\" = ?"),
                            {nUser, CPlanTables::NotNull(a.strSort), a.nMonth}, strConnection);
            continue;
        }
        CDatabase::Exec(QStringLiteral("INSERT INTO \"Budget\" (\"UserID\", \"Sort\", \"Month\", "
                                       "\"Cents\") VALUES (?, ?, ?, ?) ON CONFLICT (\"UserID\", "
                                       "\"Sort\", \"Month\") DO UPDATE SET \"Cents\" = "
                                       "excluded.\"Cents\""),
                        {nUser, CPlanTables::NotNull(a.strSort), a.nMonth, a.nCents},
                        strConnection);
    }
    transaction.Commit();
}

QVector<CBudget::SLine> CBudget::MonthLines(const QString& strUser, const QDate& month,
                                            const QString& strConnection) {
    const QHash<QString, qint64> inForce = InForce(Amounts(strUser, strConnection), month.month());
    if (inForce.isEmpty())
        return {};
    const QDate first(month.year(), month.month(), 1);
    const QDate next = first.addMonths(1);

    QStringList order = CPlanTables::Categories(strUser, ERecordKind::Outlay, strConnection);
    QStringList others;
    for (auto it = inForce.cbegin(); it != inForce.cend(); ++it)
        if (!it.key().isEmpty() && !order.contains(it.key()))
            others << it.key();
    others.sort();
    order = QStringList{QString()} + order + others;

    QHash<QString, qint64> spent;
    if (inForce.contains(QString())) {
        const QVector<CKeptTotals::SPeriod> periods =
            CKeptTotals::Sums(strUser, CKeptTotals::ELevel::Month, first, next, strConnection);
        spent.insert(QString(), periods.isEmpty() ? 0 : periods.first().nOutlay);
    }
    if (inForce.size() > (inForce.contains(QString()) ? 1 : 0))
        for (const auto& sort : CKeptTotals::SortCents(true, strUser, first, next, strConnection))
            if (!sort.first.isEmpty()) // a day's placeholder rows have no category
                spent.insert(sort.first, sort.second);

    QVector<SLine> lines;
    for (const QString& strSort : std::as_const(order))
        if (inForce.contains(strSort))
            lines.push_back({strSort, inForce.value(strSort), spent.value(strSort)});
    return lines;
}

QVector<CBudget::SMonthRow> CBudget::YearRows(const QString& strUser, int nYear,
                                              const QString& strConnection) {
    const QVector<SAmount> amounts = Amounts(strUser, strConnection);
    const QDate first(nYear, 1, 1);
    const QDate next(nYear + 1, 1, 1);
    QVector<SMonthRow> rows(12);
    for (int m = 1; m <= 12; ++m)
        rows[m - 1].nMonth = m;
    for (const CKeptTotals::SPeriod& p :
         CKeptTotals::Sums(strUser, CKeptTotals::ELevel::Month, first, next, strConnection))
        if (p.nPeriod >= 1 && p.nPeriod <= 12)
            rows[p.nPeriod - 1].nSpent = p.nOutlay;
    QVector<CKeptTotals::SMonthSort> sorts;
    bool bSortsRead = false;
    for (SMonthRow& row : rows) {
        const QHash<QString, qint64> inForce = InForce(amounts, row.nMonth);
        if (inForce.contains(QString())) {
            row.nBudget = inForce.value(QString());
            continue;
        }
        if (inForce.isEmpty())
            continue;
        if (!bSortsRead) {
            sorts = CKeptTotals::MonthSorts(true, strUser, first, next, strConnection);
            bSortsRead = true;
        }
        row.nSpent = 0;
        for (auto it = inForce.cbegin(); it != inForce.cend(); ++it)
            row.nBudget += it.value();
        for (const CKeptTotals::SMonthSort& s : std::as_const(sorts))
            if (s.nMonth == row.nMonth && inForce.contains(s.strSort))
                row.nSpent += s.nCents;
    }
    return rows;
}

int CBudget::DaysLeft(const QDate& month, const QDate& today) {
    const QDate first(month.year(), month.month(), 1);
    const QDate last = first.addMonths(1).addDays(-1);
    if (today > last)
        return 0;
    if (today < first)
        return first.daysInMonth();
    return static_cast<int>(today.daysTo(last)) + 1;
}

QString CBudget::CrossedText(const QVector<SLine>& before, const QVector<SLine>& after) {
    QStringList crossed;
    for (const SLine& now : after) {
        if (!now.IsOver())
            continue;
        const auto was = std::find_if(before.cbegin(), before.cend(),
                                      [&](const SLine& l) { return l.strSort == now.strSort; });
        if (was != before.cend() && was->IsOver())
            continue;
        crossed << Tr("%1超出 %2元")
                       .arg(LineName(now.strSort), CMoney::Format(CMoney::FromCents(-now.Left())));
    }
    if (crossed.isEmpty())
        return QString();
    return Tr("本月预算已超出：%1").arg(crossed.join(Tr("，")));
}
