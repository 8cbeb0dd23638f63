#include "cstoreddate.h"

#include "cdbexception.h"
#include "ckeptschema.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QSqlQuery>
#include <algorithm>
#include <memory>

namespace {

// Up to this many distinct unreadable values are left out of a range by name; beyond it a
// pattern does the work (slower per row, and blind to impossible days such as 2007-02-30,
// but such a book is beyond repair by hand anyway).
constexpr int MaxListed = 20000;

struct SOdd {
    QVariant value;  // as stored
    QByteArray utf8; // text values: the bytes SQLite compares
    bool bText = false;
    int nRows = 0;
};

struct SOddRows {
    QVector<SOdd> values;
    int nRows = 0;
};

struct SCache {
    QMutex mutex;
    QHash<QString, std::shared_ptr<const SOddRows>> rows; // connection|table|user
    QHash<QString, bool> textColumns;                     // connection|table
};

SCache& Cache() {
    static SCache s_cache;
    return s_cache;
}

QChar Sep() {
    return QChar(0x1F);
}

// A cache key: the connection, its generation (what was read before the connection was last
// opened or closed is never used again) and what was read.
QString KeyOf(const QString& strConnection, const QString& strWhat) {
    return strConnection + Sep() + QString::number(CDatabase::Generation(strConnection)) + Sep() +
           strWhat;
}

// Keeps an entry, dropping those of the connection's earlier generations. Under the mutex.
template <class TMap, class TValue>
void Keep(TMap& map, const QString& strConnection, const QString& strKey, const TValue& value) {
    const QString strPrefix = strConnection + Sep();
    const QString strCurrent = KeyOf(strConnection, QString());
    for (auto it = map.begin(); it != map.end();)
        it = it.key().startsWith(strPrefix) && !it.key().startsWith(strCurrent) ? map.erase(it)
                                                                                : std::next(it);
    map.insert(strKey, value);
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int Digits(const QString& s, int nFrom, int nCount) {
    int n = 0;
    for (int i = nFrom; i < nFrom + nCount; ++i)
        n = n * 10 + (s[i].unicode() - u'0');
    return n;
}

// PostgreSQL keeps dates in date or timestamp columns, where every value is a day; only a
// text column (a book written by another program) can hold anything else.
bool MayHoldText(const QString& strTable, const QString& strColumn, const QString& strConnection) {
    const CSqlDialect& dialect = CDatabase::Dialect(strConnection);
    if (dialect.IsSQLite())
        return true;
    const QString strKey = KeyOf(strConnection, strTable);
    {
        QMutexLocker lock(&Cache().mutex);
        const auto it = Cache().textColumns.constFind(strKey);
        if (it != Cache().textColumns.constEnd())
            return *it;
    }
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT data_type FROM information_schema.columns WHERE "
                       "table_schema = current_schema() AND table_name = ? AND column_name = ?"),
        {strTable, strColumn}, strConnection);
    bool bText = true;
    if (query.next()) {
        const QString strType = query.value(0).toString();
        bText =
            !(strType.startsWith(QLatin1String("timestamp")) || strType == QLatin1String("date"));
    }
    QMutexLocker lock(&Cache().mutex);
    Keep(Cache().textColumns, strConnection, strKey, bText);
    return bText;
}

// Every distinct value of the user's dates that is not a day. One pass over the user's part of
// the (UserName, Date) index; a book keeps it for the session.
std::shared_ptr<const SOddRows> OddRows(const QString& strTable, const QString& strColumn,
                                        const QString& strUser, const QString& strConnection) {
    const QString strKey = KeyOf(strConnection, strTable + Sep() + strUser);
    {
        QMutexLocker lock(&Cache().mutex);
        const auto it = Cache().rows.constFind(strKey);
        if (it != Cache().rows.constEnd())
            return *it;
    }
    auto pRows = std::make_shared<SOddRows>();
    if (MayHoldText(strTable, strColumn, strConnection)) {
        // On SQLite the odd rows have an index of their own: only they are read, however many
        // years the book holds.
        const CSqlDialect& dialect = CDatabase::Dialect(strConnection);
        QSqlQuery query = CDatabase::Exec(
            QStringLiteral("SELECT \"%2\", COUNT(*) FROM \"%1\" WHERE \"UserName\" = ? AND \"%2\" "
                           "IS NOT NULL%3 GROUP BY \"%2\"")
                .arg(strTable, strColumn,
                     dialect.IsSQLite() ? QStringLiteral(" AND ") +
                                              CKeptSchema::OddDateCondition(dialect, strColumn)
                                        : QString()),
            {strUser}, strConnection);
        while (query.next()) {
            const QVariant v = query.value(0);
            if (CStoredDate::Day(v).isValid())
                continue;
            SOdd odd;
            odd.value = v;
            odd.bText = v.metaType().id() == QMetaType::QString ||
                        v.metaType().id() == QMetaType::QByteArray;
            if (odd.bText)
                odd.utf8 = v.toString().toUtf8();
            odd.nRows = query.value(1).toInt();
            pRows->nRows += odd.nRows;
            pRows->values.push_back(odd);
        }
    }
    QMutexLocker lock(&Cache().mutex);
    Keep(Cache().rows, strConnection, strKey, std::shared_ptr<const SOddRows>(pRows));
    return pRows;
}

} // namespace

QDate CStoredDate::Day(const QVariant& value) {
    if (value.isNull())
        return QDate();
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QString:
    case QMetaType::QByteArray:
        break;
    default:
        return QDate(); // a number: seconds, days or something else, nobody can tell
    }
    const QString s = value.toString();
    if (s.size() < 10 || s[4] != u'-' || s[7] != u'-')
        return QDate();
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!IsDigit(s[i]))
            return QDate();
    }
    const QDate day(Digits(s, 0, 4), Digits(s, 5, 2), Digits(s, 8, 2));
    return day.isValid() && day.year() >= 1 ? day : QDate();
}

QString CStoredDate::Range(const QString& strTable, const QString& strUser, const QDate& from,
                           const QDate& to, QVariantList& values, const QString& strConnection) {
    const CSqlDialect& dialect = CDatabase::Dialect(strConnection);
    QString strSql;
    QByteArray from8, to8;
    if (from.isValid()) {
        strSql += QStringLiteral(" AND \"Date\" >= ?");
        const QVariant v = dialect.BindDay(from);
        values << v;
        from8 = v.toString().toUtf8();
    }
    if (to.isValid()) {
        strSql += QStringLiteral(" AND \"Date\" < ?");
        const QVariant v = dialect.BindDay(to);
        values << v;
        to8 = v.toString().toUtf8();
    }
    const std::shared_ptr<const SOddRows> pOdd =
        OddRows(strTable, QStringLiteral("Date"), strUser, strConnection);
    if (pOdd->values.isEmpty())
        return strSql;
    // Only the values that sort inside the range need leaving out. SQLite compares texts byte
    // by byte and puts every number before every text; PostgreSQL compares texts by its
    // collation, which is not known here, so there every value is named.
    QVariantList odd;
    for (const SOdd& o : pOdd->values) {
        bool bInside = true;
        if (dialect.IsSQLite()) {
            if (o.bText)
                bInside = (from8.isEmpty() || o.utf8 >= from8) && (to8.isEmpty() || o.utf8 < to8);
            else
                bInside = from8.isEmpty();
        }
        if (bInside)
            odd << o.value;
    }
    if (odd.isEmpty())
        return strSql;
    QString strCondition;
    if (odd.size() <= MaxListed) {
        QStringList marks(odd.size(), QStringLiteral("?"));
        strCondition = QStringLiteral("\"Date\" NOT IN (%1)").arg(marks.join(QLatin1Char(',')));
        values << odd;
    } else if (dialect.IsSQLite()) {
        strCondition =
            QStringLiteral("\"Date\" GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*'");
    } else {
        strCondition = QStringLiteral("CAST(\"Date\" AS TEXT) ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}'");
    }
    // A row without a date stays in an open range (the totals count it), as it always did.
    if (!from.isValid() && !to.isValid())
        strCondition = QStringLiteral("(\"Date\" IS NULL OR %1)").arg(strCondition);
    return strSql + QStringLiteral(" AND ") + strCondition;
}

QVector<CStoredDate::SUnreadable> CStoredDate::Unreadable(const QString& strUser,
                                                          const QString& strConnection) {
    QVector<SUnreadable> result;
    const struct {
        const char* szTable;
        const char* szColumn;
    } columns[] = {{"Income", "Date"}, {"Outlay", "Date"}, {"Trs", "TrsDate"}};
    for (const auto& c : columns) {
        const QString strTable = QLatin1String(c.szTable);
        const QString strColumn = QLatin1String(c.szColumn);
        const std::shared_ptr<const SOddRows> pOdd =
            OddRows(strTable, strColumn, strUser, strConnection);
        if (pOdd->nRows == 0)
            continue;
        SUnreadable u;
        u.strTable = strTable;
        u.nRows = pOdd->nRows;
        QVariantList some{strUser};
        QStringList marks;
        for (const SOdd& o : pOdd->values) {
            if (u.samples.size() >= 3)
                break;
            u.samples << o.value.toString();
            some << o.value;
            marks << QStringLiteral("?");
        }
        QSqlQuery keys = CDatabase::Exec(
            QStringLiteral("SELECT \"编号\" FROM \"%1\" WHERE \"UserName\" = ? AND \"%2\" IN (%3) "
                           "ORDER BY \"编号\" LIMIT 10")
                .arg(strTable, strColumn, marks.join(QLatin1Char(','))),
            some, strConnection);
        while (keys.next())
            u.keys << keys.value(0).toLongLong();
        result.push_back(u);
    }
    return result;
}

QString CStoredDate::UnreadableMessage(const QString& strUser, const QString& strConnection) {
    const QVector<SUnreadable> list = Unreadable(strUser, strConnection);
    if (list.isEmpty())
        return QString();
    const auto tr = [](const char* sz) { return QCoreApplication::translate("CStoredDate", sz); };
    QStringList lines;
    for (const SUnreadable& u : list) {
        const QString strName = u.strTable == QLatin1String("Income")   ? tr("收入")
                                : u.strTable == QLatin1String("Outlay") ? tr("支出")
                                                                        : tr("转账");
        QStringList samples;
        for (const QString& s : u.samples)
            samples << QStringLiteral("“%1”").arg(s);
        QStringList keys;
        for (qlonglong n : u.keys)
            keys << QString::number(n);
        lines << tr("%1表（%2）%3 行，日期例如 %4；编号 %5%6")
                     .arg(strName, u.strTable)
                     .arg(u.nRows)
                     .arg(samples.join(QStringLiteral("、")), keys.join(QStringLiteral("、")),
                          u.nRows > u.keys.size() ? tr(" 等") : QString());
    }
    return tr("账本中有日期无法识别的记录，它们不计入任何统计、图表、报表和日期列表：\n\n%1\n\n"
              "本程序能识别的日期以“年-月-日”开头，例如“2007-04-01”或“2007-04-01 00:00:00”。"
              "请用数据库工具按上面的编号找到这些行（用户名为“%2”），把日期改成这种写法。")
        .arg(lines.join(QLatin1Char('\n')), strUser);
}

void CStoredDate::Forget(const QString& strConnection) {
    QMutexLocker lock(&Cache().mutex);
    const QString strPrefix = strConnection + Sep();
    for (auto it = Cache().rows.begin(); it != Cache().rows.end();)
        it = it.key().startsWith(strPrefix) ? Cache().rows.erase(it) : std::next(it);
    for (auto it = Cache().textColumns.begin(); it != Cache().textColumns.end();)
        it = it.key().startsWith(strPrefix) ? Cache().textColumns.erase(it) : std::next(it);
}
