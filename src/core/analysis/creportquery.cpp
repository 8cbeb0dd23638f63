#include "creportquery.h"

#include "data/cdatabase.h"
#include "data/cmoney.h"
#include "data/cschema.h"
#include "data/cstoreddate.h"
#include "records/cdaylist.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <vector>

namespace {

struct SDay {
    int y = 0, m = 0, d = 0;
};

// Tuple order on (year, month, day): the range test compares part by part, so month or day
// values outside the calendar still order sensibly.
bool NotBefore(const SDay& a, const SDay& b) {
    return b.y < a.y || (b.y == a.y && b.m < a.m) || (b.y == a.y && b.m == a.m && a.d >= b.d);
}
bool NotAfter(const SDay& a, const SDay& e) {
    return a.y < e.y || (a.y == e.y && a.m < e.m) || (a.y == e.y && a.m == e.m && a.d <= e.d);
}

SDay Parse(const QString& str) {
    SDay day;
    CReportQuery::ParseDateText(str, day.y, day.m, day.d);
    return day;
}

// The leading decimal digits of str from index nFrom up to nTo (exclusive), as atoi reads them.
int LeadingNumber(const QString& str, int nFrom, int nTo) {
    int i = nFrom;
    while (i < nTo && (str[i] == QLatin1Char(' ') || str[i] == QLatin1Char('\t')))
        ++i;
    bool bNegative = false;
    if (i < nTo && (str[i] == QLatin1Char('+') || str[i] == QLatin1Char('-'))) {
        bNegative = str[i] == QLatin1Char('-');
        ++i;
    }
    long long n = 0;
    for (; i < nTo && str[i] >= QLatin1Char('0') && str[i] <= QLatin1Char('9'); ++i) {
        n = n * 10 + (str[i].unicode() - '0');
        if (n > 1000000000)
            break; // far beyond any calendar value; keep it from overflowing
    }
    return int(bNegative ? -n : n);
}

// A row's day as CStoredDate reads it; (0, 0, 0) when it is not a day.
SDay ReadDay(const QVariant& v) {
    const QDate date = CStoredDate::Day(v);
    if (!date.isValid())
        return {};
    return {date.year(), date.month(), date.day()};
}

QString TableName(CReportQuery::ETable eTable) {
    return eTable == CReportQuery::ETable::Income ? QStringLiteral("Income")
                                                  : QStringLiteral("Outlay");
}

} // namespace

QString CReportQuery::FormatDate(int nYear, int nMonth, int nDay) {
    return QString::number(nYear) + QStringLiteral("年") + QString::number(nMonth) +
           QStringLiteral("月") + QString::number(nDay) + QStringLiteral("日");
}

QString CReportQuery::FormatDate(const QDate& date) {
    return FormatDate(date.year(), date.month(), date.day());
}

void CReportQuery::ParseDateText(const QString& strText, int& nYear, int& nMonth, int& nDay) {
    nYear = nMonth = nDay = 0;
    const int nY = strText.indexOf(QStringLiteral("年"));
    if (nY < 0)
        return;
    nYear = LeadingNumber(strText, 0, nY);
    const int nM = strText.indexOf(QStringLiteral("月"), nY + 1);
    if (nM < 0)
        return;
    nMonth = LeadingNumber(strText, nY + 1, nM);
    const int nD = strText.indexOf(QStringLiteral("日"), nM + 1);
    if (nD < 0)
        return;
    nDay = LeadingNumber(strText, nM + 1, nD);
}

bool CReportQuery::IsInDateRange(int nYear, int nMonth, int nDay, const QString& strStart,
                                 const QString& strEnd) {
    const SDay day{nYear, nMonth, nDay};
    return NotBefore(day, Parse(strStart)) && NotAfter(day, Parse(strEnd));
}

QVector<QDate> CReportQuery::RecordDates(const QString& strUser, ETable eTable) {
    return CDayList::Days(eTable == ETable::Income ? ERecordKind::Income : ERecordKind::Outlay,
                          strUser);
}

CReportQuery::SResult CReportQuery::RecordReport(const QString& strUser, ETable eTable,
                                                 const std::optional<QString>& strSort,
                                                 const QString& strStart, const QString& strEnd) {
    const SDay start = Parse(strStart);
    const SDay end = Parse(strEnd);

    // The SQL bounds only narrow the index range to whole months around the two texts;
    // the exact part-by-part test below decides, so odd texts behave as IsInDateRange says.
    QString strSql =
        QStringLiteral("SELECT \"Date\", \"Sort\", \"Note\", \"Amount\", \"编号\" FROM \"%1\" "
                       "WHERE \"UserName\" = ? AND \"Bank\" <> ''")
            .arg(TableName(eTable));
    QVariantList values{strUser};
    if (strSort) {
        strSql += QStringLiteral(" AND \"Sort\" = ?");
        values << *strSort;
    }
    if (start.y > 9999 || end.y < 1)
        return {};
    const QDate from = start.y >= 1 ? QDate(start.y, qBound(1, start.m, 12), 1) : QDate();
    const QDate to = end.y <= 9999 && !(end.y == 9999 && end.m >= 12)
                         ? QDate(end.y, qBound(1, end.m, 12), 1).addMonths(1)
                         : QDate();
    strSql += CStoredDate::Range(TableName(eTable), strUser, from, to, values);
    strSql += QStringLiteral(" ORDER BY \"Date\", \"编号\"");

    QSqlQuery q = CDatabase::Exec(strSql, values);
    // Date order is day order; within a day the rows keep the order they were entered in,
    // whatever time of day or form their dates were stored with. The texts go straight into
    // the compact table; only a small key per row is kept for the sort.
    struct SKey {
        QDate day;
        qlonglong nKey;
        int nRow;
    };
    std::vector<SKey> keys;
    SResult result;
    result.rows = CTextTable(5);
    while (q.next()) {
        const QDate date = CStoredDate::Day(q.value(0));
        const SDay day = ReadDay(q.value(0));
        if (!NotBefore(day, start) || !NotAfter(day, end))
            continue;
        const double dAmount = q.value(3).toDouble();
        result.nTotalCents += CMoney::ToCents(dAmount);
        keys.push_back({date, q.value(4).toLongLong(), result.rows.Rows()});
        result.rows.AppendRow({QString(), FormatDate(day.y, day.m, day.d), q.value(1).toString(),
                               q.value(2).toString(), CMoney::FormatYuan(dAmount)});
    }
    const auto before = [](const SKey& a, const SKey& b) {
        return a.day < b.day || (a.day == b.day && a.nKey < b.nKey);
    };
    if (!std::is_sorted(keys.begin(), keys.end(), before)) {
        std::stable_sort(keys.begin(), keys.end(), before);
        std::vector<int> order;
        order.reserve(keys.size());
        for (const SKey& key : keys)
            order.push_back(key.nRow);
        result.rows.Reorder(order);
    }
    return result;
}

CReportQuery::SResult CReportQuery::AccountReport(const QString& strUser) {
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT \"CardName\", \"CardSum\", \"CardCash\" "
                                                 "FROM %1 WHERE \"UserName\" = ? "
                                                 "ORDER BY \"编号\"")
                                      .arg(CSchema::Bank),
                                  {strUser});
    SResult result;
    result.rows = CTextTable(4);
    while (q.next()) {
        const double dCash = q.value(2).toDouble();
        result.nTotalCents += CMoney::ToCents(dCash);
        result.rows.AppendRow(
            {QString(), q.value(0).toString(), q.value(1).toString(), CMoney::FormatYuan(dCash)});
    }
    return result;
}

CReportQuery::SResult CReportQuery::TransferReport(const QString& strUser) {
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT \"TrsDate\", \"TrsFrom\", \"TrsIn\", "
                                                 "\"TrsAmount\" FROM %1 WHERE \"UserName\" = ? "
                                                 "ORDER BY \"编号\"")
                                      .arg(CSchema::Trs),
                                  {strUser});
    SResult result;
    result.rows = CTextTable(5);
    while (q.next()) {
        const SDay day = ReadDay(q.value(0));
        const double dAmount = q.value(3).toDouble();
        result.nTotalCents += CMoney::ToCents(dAmount);
        // A date the program cannot read is shown as it is stored, for the user to find.
        const QString strDate =
            day.y == 0 ? q.value(0).toString() : FormatDate(day.y, day.m, day.d);
        result.rows.AppendRow({QString(), strDate, q.value(1).toString(), q.value(2).toString(),
                               CMoney::FormatYuan(dAmount)});
    }
    return result;
}
