#include "cchartdata.h"

#include "data/ckepttotals.h"
#include "data/cmoney.h"
#include "data/ctoday.h"
#include "records/ccategories.h"
#include "records/ccategorybook.h"

#include <QCoreApplication>
#include <QDate>
#include <algorithm>

namespace {

QString Money(std::int64_t nCents) {
    return CMoney::Format(CMoney::FromCents(nCents));
}

QDate FirstOfMonth(int nYear, int nMonth) {
    if (nYear <= 0 || nMonth < 1 || nMonth > 12)
        return QDate();
    return QDate(nYear, nMonth, 1);
}

} // namespace

CChartData::CChartData(ETable eTable, const QString& strUser, const QString& strConnection)
    : m_eTable(eTable), m_strUser(strUser), m_strConnection(strConnection) {}

const QList<CChartData::SCategory>& CChartData::Categories(ETable eTable) {
    static const QList<SCategory> lists[2] = {
        [] {
            QList<SCategory> list;
            for (const QString& strSort : CCategories::Income())
                list.append({strSort, strSort});
            return list;
        }(),
        [] {
            QList<SCategory> list;
            for (const QString& strSort : CCategories::Outlay())
                list.append({strSort, strSort});
            return list;
        }()};
    return lists[eTable == ETable::Income ? 0 : 1];
}

const QList<CChartData::SCategory>& CChartData::Categories() const {
    if (m_bCategoriesRead)
        return m_categories;
    const CCategoryBook book(m_eTable == ETable::Income ? ERecordKind::Income : ERecordKind::Outlay,
                             m_strUser, 0, m_strConnection);
    QList<SCategory> list;
    for (const CCategoryBook::SCategory& c : book.List())
        if (!c.bHidden || c.nRecords > 0)
            list.append({c.strName, CCategoryBook::Label(c)});
    for (const CCategoryBook::SCategory& c : book.Found())
        list.append({c.strName, c.strName});
    m_categories = list;
    m_bCategoriesRead = true;
    return m_categories;
}

QStringList CChartData::CategoryLabels() const {
    QStringList labels;
    for (const SCategory& c : Categories())
        labels << c.strLabel;
    return labels;
}

CChartData::SSlices CChartData::Slices(const QStringList& labels, const QStringList& values) {
    const int nCount = int(qMin(labels.size(), values.size()));
    SSlices slices{labels.mid(0, nCount), values.mid(0, nCount)};
    if (nCount <= MaxSlices)
        return slices;
    QList<int> kept;
    for (int i = 0; i < nCount; ++i)
        if (CMoney::ToCents(values[i].toDouble()) != 0)
            kept << i;
    if (kept.size() > MaxSlices) {
        // The largest stay; ties go to the one listed first.
        QList<int> bySize = kept;
        std::stable_sort(bySize.begin(), bySize.end(), [&](int a, int b) {
            return CMoney::ToCents(values[a].toDouble()) > CMoney::ToCents(values[b].toDouble());
        });
        bySize = bySize.mid(0, MaxSlices - 1);
        std::int64_t nRest = 0;
        for (const int i : kept)
            nRest += bySize.contains(i) ? 0 : CMoney::ToCents(values[i].toDouble());
        kept = bySize;
        std::sort(kept.begin(), kept.end());
        slices = {};
        for (const int i : kept) {
            slices.labels << labels[i];
            slices.values << values[i];
        }
        slices.labels << QCoreApplication::translate("CChartData", "其他");
        slices.values << Money(nRest);
        return slices;
    }
    slices = {};
    for (const int i : kept) {
        slices.labels << labels[i];
        slices.values << values[i];
    }
    return slices;
}

const QString* CChartData::SortOf(int nSort) const {
    const QList<SCategory>& cats = Categories();
    if (nSort < 1 || nSort > cats.size())
        return nullptr;
    return &cats[nSort - 1].strSort;
}

// Every figure reads the totals the book keeps per day and per month and category, so a
// chart of forty years reads a few thousand rows, not every record. Ranges are whole days
// (sums) or whole months (categories), which the kept totals answer exactly.
std::int64_t CChartData::SumCents(const QDate& from, const QDate& to, const QString* pSort) const {
    const bool bOutlay = m_eTable == ETable::Outlay;
    std::int64_t nCents = 0;
    if (pSort) {
        for (const auto& [strSort, n] :
             CKeptTotals::SortCents(bOutlay, m_strUser, from, to, m_strConnection))
            nCents += strSort == *pSort ? n : 0;
        return nCents;
    }
    for (const CKeptTotals::SPeriod& p :
         CKeptTotals::Periods(m_strUser, CKeptTotals::ELevel::Year, from, to, m_strConnection))
        nCents += bOutlay ? p.nOutlay : p.nIncome;
    return nCents;
}

QList<CChartData::SGroup> CChartData::Groups(EKey eKey, const QDate& from, const QDate& to) const {
    const CKeptTotals::ELevel eLevel = eKey == EKey::Year    ? CKeptTotals::ELevel::Year
                                       : eKey == EKey::Month ? CKeptTotals::ELevel::Month
                                                             : CKeptTotals::ELevel::Day;
    const bool bOutlay = m_eTable == ETable::Outlay;
    QList<SGroup> groups;
    for (const CKeptTotals::SPeriod& p :
         CKeptTotals::Periods(m_strUser, eLevel, from, to, m_strConnection)) {
        // Rows without a date have no place on any axis.
        if (p.nPeriod < 1 || p.nPeriod > 9999 || (bOutlay ? p.nOutlayDays : p.nIncomeDays) == 0)
            continue;
        groups << SGroup{p.nPeriod, bOutlay ? p.nOutlay : p.nIncome,
                         bOutlay ? p.bOutlayBank : p.bIncomeBank};
    }
    return groups;
}

QStringList CChartData::SortValues(const QDate& from, const QDate& to) const {
    const QVector<QPair<QString, qint64>> sums =
        CKeptTotals::SortCents(m_eTable == ETable::Outlay, m_strUser, from, to, m_strConnection);
    QStringList texts;
    for (const SCategory& c : Categories()) {
        std::int64_t nCents = 0;
        for (const auto& [strSort, n] : sums)
            nCents += strSort == c.strSort ? n : 0;
        texts << Money(nCents);
    }
    return texts;
}

// ---- the six totals

double CChartData::GetYearSum(int nYear) const {
    const QDate from = FirstOfMonth(nYear, 1);
    if (!from.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(from, from.addYears(1), nullptr));
}

double CChartData::GetMonthSum(int nYear, int nMonth) const {
    const QDate from = FirstOfMonth(nYear, nMonth);
    if (!from.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(from, from.addMonths(1), nullptr));
}

double CChartData::GetDaySum(int nYear, int nMonth, int nDay) const {
    const QDate day(nYear, nMonth, nDay);
    if (nYear <= 0 || !day.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(day, day.addDays(1), nullptr));
}

double CChartData::GetSortSum(int nSort) const {
    const QString* pSort = SortOf(nSort);
    if (!pSort)
        return 0.0;
    return CMoney::FromCents(SumCents(QDate(), QDate(), pSort));
}

double CChartData::GetYearSortSum(int nYear, int nSort) const {
    const QString* pSort = SortOf(nSort);
    const QDate from = FirstOfMonth(nYear, 1);
    if (!pSort || !from.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(from, from.addYears(1), pSort));
}

double CChartData::GetMonthSortSum(int nYear, int nMonth, int nSort) const {
    const QString* pSort = SortOf(nSort);
    const QDate from = FirstOfMonth(nYear, nMonth);
    if (!pSort || !from.isValid())
        return 0.0;
    return CMoney::FromCents(SumCents(from, from.addMonths(1), pSort));
}

// ---- line charts

CChartData::SLine CChartData::UserLine() const {
    const QList<SGroup> groups = Groups(EKey::Year, QDate(), QDate());
    int nFirst = groups.isEmpty() ? CToday::Get().year() : groups.first().nKey;
    int nLast = nFirst;
    for (const SGroup& g : groups) {
        nFirst = qMin(nFirst, g.nKey);
        nLast = qMax(nLast, g.nKey);
    }
    SLine line;
    for (int nYear = nFirst; nYear <= nLast; ++nYear) {
        line.labels << QStringLiteral("%1年").arg(nYear);
        line.data << QStringLiteral("0");
    }
    for (const SGroup& g : groups) {
        if (g.bHasAccount)
            line.data[g.nKey - nFirst] = Money(g.nCents);
    }
    return line;
}

CChartData::SLine CChartData::YearLine(int nYear) const {
    SLine line;
    for (int nMonth = 1; nMonth <= 12; ++nMonth) {
        line.labels << QStringLiteral("%1月").arg(nMonth);
        line.data << QStringLiteral("0");
    }
    const QDate from = FirstOfMonth(nYear, 1);
    if (!from.isValid())
        return line;
    for (const SGroup& g : Groups(EKey::Month, from, from.addYears(1))) {
        if (g.bHasAccount && g.nKey >= 1 && g.nKey <= 12)
            line.data[g.nKey - 1] = Money(g.nCents);
    }
    return line;
}

CChartData::SLine CChartData::MonthLine(int nYear, int nMonth) const {
    SLine line;
    const QDate from = FirstOfMonth(nYear, nMonth);
    // Only the month's own days: a 30th of February would read as a day without spending.
    const int nDays = from.isValid() ? from.daysInMonth() : MonthRows;
    for (int nDay = 1; nDay <= nDays; ++nDay) {
        line.labels << QString::number(nDay);
        line.data << QStringLiteral("0");
    }
    if (!from.isValid())
        return line;
    for (const SGroup& g : Groups(EKey::Day, from, from.addMonths(1))) {
        if (g.bHasAccount && g.nKey >= 1 && g.nKey <= nDays)
            line.data[g.nKey - 1] = Money(g.nCents);
    }
    return line;
}

// ---- bar and pie values

QStringList CChartData::UserSorts() const {
    return SortValues(QDate(), QDate());
}

QStringList CChartData::YearSorts(int nYear) const {
    const QDate from = FirstOfMonth(nYear, 1);
    if (!from.isValid())
        return QStringList(Categories().size(), Money(0));
    return SortValues(from, from.addYears(1));
}

QStringList CChartData::MonthSorts(int nYear, int nMonth) const {
    const QDate from = FirstOfMonth(nYear, nMonth);
    if (!from.isValid())
        return QStringList(Categories().size(), Money(0));
    return SortValues(from, from.addMonths(1));
}
