#include "crecurring.h"

#include "accounts/ctransfer.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "data/ctransaction.h"
#include "plans/cplantables.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace {

QString Tr(const char* szText) {
    return QCoreApplication::translate("CRecurring", szText);
}

int Key(const QDate& day) {
    return day.isValid() ? day.year() * 10000 + day.month() * 100 + day.day() : 0;
}

QDate DayOf(int nKey) {
    return nKey <= 0 ? QDate() : QDate(nKey / 10000, nKey / 100 % 100, nKey % 100);
}

// A day of a month, or the month's last day when it has fewer days.
QDate Clamped(int nYear, int nMonth, int nDay) {
    const QDate first(nYear, nMonth, 1);
    return QDate(nYear, nMonth, std::min(nDay, first.daysInMonth()));
}

// The k-th day of the rule counted from its start (k = 0 may fall before the start for a rule
// on a day of the month earlier than the start's).
QDate Nth(const CRecurring::STemplate& t, qint64 k) {
    const qint64 nStep = k * std::max(1, t.nEvery);
    switch (t.eUnit) {
    case CRecurring::EUnit::Day:
        return t.start.addDays(nStep);
    case CRecurring::EUnit::Week:
        return t.start.addDays(nStep * 7);
    case CRecurring::EUnit::Month: {
        const QDate month = QDate(t.start.year(), t.start.month(), 1).addMonths(int(nStep));
        return Clamped(month.year(), month.month(), t.nMonthDay > 0 ? t.nMonthDay : t.start.day());
    }
    case CRecurring::EUnit::Year:
        return Clamped(t.start.year() + int(nStep), t.start.month(), t.start.day());
    }
    return QDate();
}

const char* const s_szColumns =
    "r.\"编号\", r.\"Kind\", r.\"Sort\", r.\"Note\", r.\"Bank\", r.\"ToBank\", r.\"Cents\", "
    "r.\"Unit\", r.\"Every\", r.\"MonthDay\", r.\"StartDay\", r.\"EndDay\", r.\"FromDay\", "
    "r.\"Paused\"";

CRecurring::STemplate Read(const QSqlQuery& q) {
    CRecurring::STemplate t;
    t.nId = q.value(0).toLongLong();
    t.eKind = static_cast<CRecurring::EKind>(std::clamp(q.value(1).toInt(), 0, 2));
    t.strSort = q.value(2).toString();
    t.strNote = q.value(3).toString();
    t.strBank = q.value(4).toString();
    t.strToBank = q.value(5).toString();
    t.nCents = q.value(6).toLongLong();
    t.eUnit = static_cast<CRecurring::EUnit>(std::clamp(q.value(7).toInt(), 0, 3));
    t.nEvery = q.value(8).toInt();
    t.nMonthDay = q.value(9).toInt();
    t.start = DayOf(q.value(10).toInt());
    t.end = DayOf(q.value(11).toInt());
    t.from = DayOf(q.value(12).toInt());
    t.bPaused = q.value(13).toInt() != 0;
    return t;
}

QVariantList Values(const CRecurring::STemplate& t) {
    const bool bTransfer = t.eKind == CRecurring::EKind::Transfer;
    return {static_cast<int>(t.eKind),
            CPlanTables::NotNull(bTransfer ? QString() : t.strSort),
            CPlanTables::NotNull(t.strNote),
            CPlanTables::NotNull(t.strBank),
            CPlanTables::NotNull(bTransfer ? t.strToBank : QString()),
            t.nCents,
            static_cast<int>(t.eUnit),
            t.nEvery,
            t.eUnit == CRecurring::EUnit::Month ? t.nMonthDay : 0,
            Key(t.start),
            Key(t.end)};
}

void CheckOrThrow(const CRecurring::STemplate& t) {
    const QString strProblem = CRecurring::Check(t);
    if (!strProblem.isEmpty())
        throw CDBException(strProblem);
}

} // namespace

QVector<QDate> CRecurring::Occurrences(const STemplate& t, const QDate& from, const QDate& to) {
    QVector<QDate> days;
    if (!t.start.isValid() || !from.isValid() || !to.isValid())
        return days;
    const QDate lo = std::max(from, t.start);
    const QDate hi = t.end.isValid() ? std::min(to, t.end) : to;
    if (lo > hi)
        return days;
    const int nEvery = std::max(1, t.nEvery);
    // Start near lo rather than walking from the start: a daily rule of many years stays quick.
    qint64 k = 0;
    switch (t.eUnit) {
    case EUnit::Day:
        k = t.start.daysTo(lo) / nEvery;
        break;
    case EUnit::Week:
        k = t.start.daysTo(lo) / (7LL * nEvery);
        break;
    case EUnit::Month:
        k = ((lo.year() - t.start.year()) * 12 + lo.month() - t.start.month()) / nEvery - 1;
        break;
    case EUnit::Year:
        k = (lo.year() - t.start.year()) / nEvery - 1;
        break;
    }
    for (k = std::max<qint64>(0, k);; ++k) {
        const QDate day = Nth(t, k);
        if (!day.isValid() || day > hi)
            break;
        if (day >= lo)
            days.push_back(day);
    }
    return days;
}

QString CRecurring::RuleText(const STemplate& t) {
    const int nEvery = std::max(1, t.nEvery);
    const QString strEvery = nEvery == 1 ? Tr("每") : Tr("每 %1 ").arg(nEvery);
    switch (t.eUnit) {
    case EUnit::Day:
        return nEvery == 1 ? Tr("每天") : Tr("每 %1 天").arg(nEvery);
    case EUnit::Week:
        return strEvery + Tr("周（%1）")
                              .arg(QLocale(QLocale::Chinese)
                                       .dayName(t.start.isValid() ? t.start.dayOfWeek() : 1,
                                                QLocale::ShortFormat));
    case EUnit::Month: {
        const int nDay = t.nMonthDay > 0 ? t.nMonthDay : (t.start.isValid() ? t.start.day() : 1);
        const QString strMonths = nEvery == 1 ? Tr("每月") : Tr("每 %1 个月").arg(nEvery);
        return nDay >= 31 ? strMonths + Tr("最后一天") : strMonths + Tr(" %1 日").arg(nDay);
    }
    case EUnit::Year:
        return (nEvery == 1 ? Tr("每年") : Tr("每 %1 年").arg(nEvery)) +
               (t.start.isValid() ? Tr(" %1月%2日").arg(t.start.month()).arg(t.start.day())
                                  : QString());
    }
    return QString();
}

QString CRecurring::Check(const STemplate& t) {
    if (!t.start.isValid())
        return Tr("请选择开始日期。");
    if (t.end.isValid() && t.end < t.start)
        return Tr("结束日期早于开始日期。");
    if (t.nEvery < 1 || t.nEvery > 999)
        return Tr("间隔应在 1 到 999 之间。");
    if (t.nMonthDay < 0 || t.nMonthDay > 31)
        return Tr("每月的日期应在 1 到 31 之间。");
    if (t.strBank.trimmed().isEmpty())
        return t.eKind == EKind::Transfer ? Tr("请选择转出账号。") : Tr("请选择账号。");
    if (t.eKind == EKind::Transfer) {
        if (t.strToBank.trimmed().isEmpty())
            return Tr("请选择转入账号。");
        if (t.strToBank == t.strBank)
            return Tr("转出和转入账号不能相同。");
    } else if (t.strSort.isEmpty()) {
        return Tr("请选择类型。");
    }
    if (t.nCents == 0 || std::llabs(t.nCents) > CMoney::ToCents(CMoney::Limit))
        return Tr("金额无效。");
    for (const QString* pText : {&t.strSort, &t.strNote, &t.strBank, &t.strToBank})
        if (pText->toUcs4().size() > CDatabase::MaxTextLength)
            return Tr("内容超过 %1 个字符，无法保存。").arg(CDatabase::MaxTextLength);
    return QString();
}

QVector<CRecurring::STemplate> CRecurring::List(const QString& strUser,
                                                const QString& strConnection) {
    CPlanTables::Ready(strConnection);
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT %1 FROM \"Recurring\" r JOIN \"User\" u "
                                                 "ON u.\"UserID\" = r.\"UserID\" WHERE "
                                                 "u.\"UserName\" = ? ORDER BY r.\"编号\"")
                                      .arg(QString::fromUtf8(s_szColumns)),
                                  {strUser}, strConnection);
    QVector<STemplate> list;
    while (q.next())
        list.push_back(Read(q));
    return list;
}

void CRecurring::Add(const QString& strUser, STemplate& t, qint64 nSessionUser,
                     const QString& strConnection) {
    CheckOrThrow(t);
    CPlanTables::Ready(strConnection);
    CTransaction transaction(strConnection);
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    QVariantList values{CPlanTables::UserId(strUser, strConnection)};
    values << Values(t) << Key(t.start) << (t.bPaused ? 1 : 0);
    CDatabase::Exec(QStringLiteral("INSERT INTO \"Recurring\" (\"UserID\", \"Kind\", \"Sort\", "
                                   "\"Note\", \"Bank\", \"ToBank\", \"Cents\", \"Unit\", "
                                   "\"Every\", \"MonthDay\", \"StartDay\", \"EndDay\", "
                                   "\"FromDay\", \"Paused\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                   "?, ?, ?, ?, ?)"),
                    values, strConnection);
    QSqlQuery q = CDatabase::Exec(
        QStringLiteral("SELECT MAX(\"编号\") FROM \"Recurring\" WHERE \"UserID\" = ?"),
        {values.first()}, strConnection);
    t.nId = q.next() ? q.value(0).toLongLong() : 0;
    t.from = t.start;
    q.finish();
    transaction.Commit();
}

CRecurring::EChange CRecurring::Change(const QString& strUser, const STemplate& t,
                                       qint64 nSessionUser, const QString& strConnection) {
    CheckOrThrow(t);
    CPlanTables::Ready(strConnection);
    CTransaction transaction(strConnection);
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    const qint64 nUser = CPlanTables::UserId(strUser, strConnection);
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT \"StartDay\", \"FromDay\" FROM "
                                                 "\"Recurring\" WHERE \"编号\" = ? AND "
                                                 "\"UserID\" = ?") +
                                      CDatabase::Dialect(strConnection).LockSql(),
                                  {t.nId, nUser}, strConnection);
    if (!q.next())
        return EChange::Gone;
    // A new start counts what is owed from it; otherwise a resumed template keeps its resume.
    const int nFrom = q.value(0).toInt() == Key(t.start) ? q.value(1).toInt() : Key(t.start);
    q.finish();
    QVariantList values = Values(t);
    values << nFrom << t.nId;
    CDatabase::Exec(QStringLiteral("UPDATE \"Recurring\" SET \"Kind\" = ?, \"Sort\" = ?, "
                                   "\"Note\" = ?, \"Bank\" = ?, \"ToBank\" = ?, \"Cents\" = ?, "
                                   "\"Unit\" = ?, \"Every\" = ?, \"MonthDay\" = ?, "
                                   "\"StartDay\" = ?, \"EndDay\" = ?, \"FromDay\" = ? "
                                   "WHERE \"编号\" = ?"),
                    values, strConnection);
    transaction.Commit();
    return EChange::Done;
}

CRecurring::EChange CRecurring::SetPaused(const QString& strUser, qint64 nId, bool bPaused,
                                          qint64 nSessionUser, const QString& strConnection) {
    CPlanTables::Ready(strConnection);
    CTransaction transaction(strConnection);
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    const qint64 nUser = CPlanTables::UserId(strUser, strConnection);
    // Resuming owes nothing from the days it was paused: what falls due starts today.
    QSqlQuery q = bPaused
                      ? CDatabase::Exec(QStringLiteral("UPDATE \"Recurring\" SET \"Paused\" = 1 "
                                                       "WHERE \"编号\" = ? AND \"UserID\" = ?"),
                                        {nId, nUser}, strConnection)
                      : CDatabase::Exec(
                            QStringLiteral("UPDATE \"Recurring\" SET \"Paused\" = 0, \"FromDay\" = "
                                           "CASE WHEN \"Paused\" = 0 OR \"FromDay\" > ? THEN "
                                           "\"FromDay\" ELSE ? END WHERE \"编号\" = ? AND "
                                           "\"UserID\" = ?"),
                            {Key(CToday::Get()), Key(CToday::Get()), nId, nUser}, strConnection);
    if (q.numRowsAffected() != 1)
        return EChange::Gone;
    q.finish();
    transaction.Commit();
    return EChange::Done;
}

CRecurring::EChange CRecurring::Remove(const QString& strUser, qint64 nId, qint64 nSessionUser,
                                       const QString& strConnection) {
    CPlanTables::Ready(strConnection);
    CTransaction transaction(strConnection);
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    const qint64 nUser = CPlanTables::UserId(strUser, strConnection);
    QSqlQuery q = CDatabase::Exec(
        QStringLiteral("DELETE FROM \"Recurring\" WHERE \"编号\" = ? AND \"UserID\" = ?"),
        {nId, nUser}, strConnection);
    if (q.numRowsAffected() != 1)
        return EChange::Gone;
    q.finish();
    CDatabase::Exec(QStringLiteral("DELETE FROM \"RecurringDone\" WHERE \"RecurringID\" = ?"),
                    {nId}, strConnection);
    transaction.Commit();
    return EChange::Done;
}

QString CRecurring::Message(EChange eChange) {
    return eChange == EChange::Done ? QString()
                                    : Tr("这条周期记录已被另一个窗口或另一台电脑删除。");
}

QVector<CRecurring::SDue> CRecurring::Due(const QString& strUser, const QDate& today,
                                          const QString& strConnection) {
    const QVector<STemplate> templates = List(strUser, strConnection);
    QVector<SDue> due;
    if (std::none_of(templates.cbegin(), templates.cend(),
                     [](const STemplate& t) { return !t.bPaused; }))
        return due;
    QSet<QPair<qint64, int>> done;
    QSqlQuery q = CDatabase::Exec(
        QStringLiteral("SELECT d.\"RecurringID\", d.\"Day\" FROM \"RecurringDone\" d JOIN "
                       "\"Recurring\" r ON r.\"编号\" = d.\"RecurringID\" JOIN \"User\" u ON "
                       "u.\"UserID\" = r.\"UserID\" WHERE u.\"UserName\" = ? AND "
                       "r.\"Paused\" = 0 AND d.\"Day\" >= r.\"FromDay\""),
        {strUser}, strConnection);
    while (q.next())
        done.insert({q.value(0).toLongLong(), q.value(1).toInt()});
    for (const STemplate& t : templates) {
        if (t.bPaused)
            continue;
        const QDate from = t.from.isValid() ? std::max(t.from, t.start) : t.start;
        for (const QDate& day : Occurrences(t, from, today))
            if (!done.contains({t.nId, Key(day)}))
                due.push_back({t, day});
    }
    return due;
}

CRecurring::EWrite CRecurring::Write(const QString& strUser, qint64 nId, const QDate& day,
                                     qint64 nCents, qint64 nSessionUser,
                                     const QString& strConnection) {
    return Settle(strUser, nId, day, nCents, false, nSessionUser, strConnection);
}

CRecurring::EWrite CRecurring::Skip(const QString& strUser, qint64 nId, const QDate& day,
                                    qint64 nSessionUser, const QString& strConnection) {
    return Settle(strUser, nId, day, 0, true, nSessionUser, strConnection);
}

CRecurring::EWrite CRecurring::Settle(const QString& strUser, qint64 nId, const QDate& day,
                                      qint64 nCents, bool bSkip, qint64 nSessionUser,
                                      const QString& strConnection) {
    CPlanTables::Ready(strConnection);
    CTransaction transaction(strConnection);
    CUserAdmin::CheckSession(strUser, nSessionUser, strConnection);
    const qint64 nUser = CPlanTables::UserId(strUser, strConnection);
    // The template row is locked first (PostgreSQL): its occurrences are settled one at a
    // time, and it cannot be changed or deleted under the write.
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT %1 FROM \"Recurring\" r WHERE "
                                                 "r.\"编号\" = ? AND r.\"UserID\" = ?")
                                          .arg(QString::fromUtf8(s_szColumns)) +
                                      CDatabase::Dialect(strConnection).LockSql(),
                                  {nId, nUser}, strConnection);
    if (!q.next())
        return EWrite::Changed;
    const STemplate t = Read(q);
    q.finish();
    if (t.bPaused || (t.from.isValid() && day < t.from) || Occurrences(t, day, day).isEmpty())
        return EWrite::Changed;
    // The key first: a copy that settled this occurrence before leaves nothing to insert, and
    // then this one writes nothing either (the transaction is rolled back on return).
    QSqlQuery key = CDatabase::Exec(
        QStringLiteral("INSERT INTO \"RecurringDone\" (\"RecurringID\", \"Day\", \"Skipped\") "
                       "VALUES (?, ?, ?) ON CONFLICT (\"RecurringID\", \"Day\") DO NOTHING"),
        {nId, Key(day), bSkip ? 1 : 0}, strConnection);
    if (key.numRowsAffected() != 1)
        return EWrite::Taken;
    key.finish();
    if (!bSkip) {
        const double dAmount = CMoney::FromCents(nCents);
        if (t.eKind == EKind::Transfer) {
            const CTransfer::EResult eResult = CTransfer::Transfer(
                strUser, day, t.strBank, t.strToBank, dAmount, strConnection, nSessionUser);
            if (eResult != CTransfer::EResult::Done)
                throw CDBException(CTransfer::Message(eResult));
        } else {
            CDayBook book(t.eKind == EKind::Income ? ERecordKind::Income : ERecordKind::Outlay,
                          strUser, strConnection);
            book.OpenDay(day, nSessionUser);
            book.Confirm(day, t.strBank, SDayEdit::Adding({{t.strSort, t.strNote, dAmount, 0}}),
                         nSessionUser);
        }
    }
    transaction.Commit();
    return bSkip ? EWrite::Skipped : EWrite::Written;
}

QString CRecurring::Message(EWrite eWrite) {
    switch (eWrite) {
    case EWrite::Written:
    case EWrite::Skipped:
        return QString();
    case EWrite::Taken:
        return Tr("这一笔已由另一个窗口或另一台电脑记入（或跳过），这里没有重复记入。");
    case EWrite::Changed:
        return Tr("这条周期记录刚被改动、暂停或删除，这一笔没有记入。");
    }
    return QString();
}
