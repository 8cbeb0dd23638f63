#include "cadvice.h"

#include "analysis/cchartdata.h"
#include "analysis/cperiodstats.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CAdvice", sz);
}

QString Yuan(std::int64_t nCents) {
    return CMoney::FormatYuan(CMoney::FromCents(nCents));
}

// Percent with one decimal, of a part of a whole (whole > 0).
QString Percent(std::int64_t nPart, std::int64_t nWhole) {
    return QString::number(100.0 * double(nPart) / double(nWhole), 'f', 1) + QLatin1Char('%');
}

} // namespace

QString CAdvice::Text(const QString& strUser, const QString& strConnection) {
    const CPeriodStats stats({}, strConnection);
    const CPeriodStats::SFigures figures = stats.Figures(strUser);
    if (figures.years.isEmpty())
        return Tr(
            "还没有收入或支出记录，暂无分析建议。\n先用“添加收入记录”和“添加支出记录”记几天账吧。");

    const int nYear = figures.years.back().nPeriod;
    const QVector<CPeriodStats::SBriefRow> months = stats.YearBrief(strUser, nYear);
    if (months.isEmpty())
        throw CDBException(Tr("读取月份简报失败。"));
    const CPeriodStats::SBriefRow& month = months.back();

    QStringList lines;
    lines << Tr("%1的财务分析").arg(strUser) << QString();
    lines << Tr("最近一个有记录的月份：%1年%2月").arg(nYear).arg(month.nPeriod);
    lines << Tr("  收入 %1，支出 %2，结余 %3")
                 .arg(Yuan(month.nIncome), Yuan(month.nOutlay),
                      Yuan(month.nIncome - month.nOutlay));

    // The largest outlay categories of that month.
    const CChartData outlay(CChartData::ETable::Outlay, strUser, strConnection);
    const QStringList values = outlay.MonthSorts(nYear, month.nPeriod);
    const QList<CChartData::SCategory>& sorts = outlay.Categories();
    std::vector<std::pair<std::int64_t, QString>> spent;
    for (int i = 0; i < values.size() && i < sorts.size(); ++i) {
        const std::int64_t nCents = CMoney::ToCents(CMoney::Atof(values[i]));
        if (nCents > 0)
            spent.emplace_back(nCents, sorts[i].strSort);
    }
    std::stable_sort(spent.begin(), spent.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    if (!spent.empty() && month.nOutlay > 0) {
        lines << Tr("  支出最多的类别：");
        for (std::size_t i = 0; i < spent.size() && i < 3; ++i)
            lines << Tr("    %1. %2 %3（占本月支出 %4）")
                         .arg(i + 1)
                         .arg(spent[i].second, Yuan(spent[i].first),
                              Percent(spent[i].first, month.nOutlay));
    }

    lines << QString();
    const std::int64_t nSaved = figures.nTotalIncome - figures.nTotalOutlay;
    lines << Tr("全部记录：收入 %1，支出 %2，结余 %3")
                 .arg(Yuan(figures.nTotalIncome), Yuan(figures.nTotalOutlay), Yuan(nSaved));
    if (figures.nTotalIncome > 0)
        lines << Tr("  收入中存下的比例：%1").arg(Percent(nSaved, figures.nTotalIncome));

    lines << QString();
    if (month.nIncome - month.nOutlay < 0) {
        const QString strTop =
            spent.empty() ? Tr("各项支出") : QStringLiteral("“%1”").arg(spent.front().second);
        lines << Tr("建议：这个月支出超过了收入，请先控制%1。").arg(strTop);
    } else if (month.nIncome > 0 && (month.nIncome - month.nOutlay) * 5 < month.nIncome) {
        lines << Tr("建议：这个月存下的不到收入的两成，可以试着每月先存下收入的 20%。");
    } else {
        lines << Tr("建议：收支情况良好，请继续保持。");
    }
    return lines.join(QLatin1Char('\n'));
}
