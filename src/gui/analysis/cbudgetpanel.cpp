#include "analysis/cbudgetpanel.h"

#include "analysis/cmschart3.h"
#include "data/cmoney.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString Yuan(qint64 nCents) {
    return CMoney::FormatYuan(CMoney::FromCents(nCents));
}

QTableWidget* Table(const QStringList& headings, int nId, QWidget* pParent) {
    auto* pTable = new QTableWidget(0, headings.size(), pParent);
    pTable->setObjectName(QString::number(nId));
    pTable->setHorizontalHeaderLabels(headings);
    pTable->verticalHeader()->hide();
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setSelectionMode(QAbstractItemView::NoSelection);
    pTable->setFocusPolicy(Qt::NoFocus);
    pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    pTable->horizontalHeader()->setStretchLastSection(true);
    pTable->verticalHeader()->setDefaultSectionSize(pTable->fontMetrics().height() + 8);
    return pTable;
}

void SetCell(QTableWidget* pTable, int nRow, int nCol, const QString& strText,
             bool bRight = true) {
    auto* pItem = new QTableWidgetItem(strText);
    pItem->setTextAlignment((bRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    pTable->setItem(nRow, nCol, pItem);
}

} // namespace

CBudgetPanel::CBudgetPanel(QWidget* pParent) : QWidget(pParent) {
    setObjectName(QStringLiteral("CBudgetPanel"));
    m_pTitle = new QLabel(this);
    m_pTitle->setObjectName(QString::number(IDC_BUDGET_TITLE));
    QFont titleFont = m_pTitle->font();
    titleFont.setBold(true);
    m_pTitle->setFont(titleFont);
    m_pPages = new QStackedWidget(this);

    auto* pNone = new QWidget(m_pPages);
    auto* pPicture = new QLabel(pNone);
    pPicture->setPixmap(QIcon(QStringLiteral(":/res/icons/sum_view.svg")).pixmap(150, 150));
    pPicture->setAlignment(Qt::AlignCenter);
    auto* pHint = new QLabel(tr("还没有设置预算。在“操作”菜单的“预算设置”里为全部支出或各类支出"
                                "定下每月的预算，这里就会显示花了多少、还剩多少。"),
                             pNone);
    pHint->setWordWrap(true);
    pHint->setAlignment(Qt::AlignCenter);
    auto* pNoneLayout = new QVBoxLayout(pNone);
    pNoneLayout->addWidget(pPicture, 1);
    pNoneLayout->addWidget(pHint);

    m_pLines = Table({tr("预算项目"), tr("预算"), tr("已支出"), tr("剩余"), tr("进度")},
                     IDC_BUDGET_LINES, m_pPages);

    auto* pYear = new QWidget(m_pPages);
    m_pYear = Table({tr("月份"), tr("预算"), tr("实际支出"), tr("结余")}, IDC_BUDGET_YEAR, pYear);
    m_pChart = new CMschart3(CMschart3::EType::Bar, 12, 2, pYear);
    m_pChart->setObjectName(QString::number(IDC_BUDGET_CHART));
    auto* pYearLayout = new QHBoxLayout(pYear);
    pYearLayout->setContentsMargins(0, 0, 0, 0);
    pYearLayout->addWidget(m_pYear, 1);
    pYearLayout->addWidget(m_pChart, 1);

    m_pPages->addWidget(pNone);
    m_pPages->addWidget(m_pLines);
    m_pPages->addWidget(pYear);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pTitle);
    pLayout->addWidget(m_pPages, 1);
}

void CBudgetPanel::ShowMonth(const QString& strUser, const QDate& month, const QDate& today) {
    const QVector<CBudget::SLine> lines = CBudget::MonthLines(strUser, month);
    const int nLeft = CBudget::DaysLeft(month, today);
    QString strDays;
    if (nLeft == 0)
        strDays = tr("（已过去）");
    else if (today >= QDate(month.year(), month.month(), 1))
        strDays = tr("　本月还剩 %1 天").arg(nLeft);
    m_pTitle->setText(tr("%1年%2月预算").arg(month.year()).arg(month.month()) + strDays);
    if (lines.isEmpty()) {
        m_pPages->setCurrentIndex(NoBudget);
        return;
    }
    m_pLines->setRowCount(lines.size());
    for (int r = 0; r < lines.size(); ++r) {
        const CBudget::SLine& line = lines[r];
        SetCell(m_pLines, r, 0, CBudget::LineName(line.strSort), false);
        SetCell(m_pLines, r, 1, Yuan(line.nBudget));
        SetCell(m_pLines, r, 2, Yuan(line.nSpent));
        SetCell(m_pLines, r, 3, line.IsOver() ? tr("超出 %1").arg(Yuan(-line.Left()))
                                              : Yuan(line.Left()));
        if (line.IsOver())
            m_pLines->item(r, 3)->setForeground(QColor(0xc6, 0x28, 0x28));
        auto* pBar = new QProgressBar(m_pLines);
        pBar->setRange(0, 100);
        pBar->setValue(std::clamp(line.Percent(), 0, 100));
        pBar->setFormat(QStringLiteral("%1%").arg(line.Percent()));
        pBar->setProperty("over", line.IsOver());
        // Past the budget the bar is red; within it, green.
        pBar->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid #999; "
                                           "border-radius: 3px; text-align: center; } "
                                           "QProgressBar::chunk { background: %1; }")
                                .arg(line.IsOver() ? QStringLiteral("#e53935")
                                                   : QStringLiteral("#66bb6a")));
        m_pLines->setCellWidget(r, 4, pBar);
    }
    m_pPages->setCurrentIndex(Month);
}

void CBudgetPanel::ShowYear(const QString& strUser, int nYear) {
    const QVector<CBudget::SMonthRow> rows = CBudget::YearRows(strUser, nYear);
    m_pTitle->setText(tr("%1年预算与实际支出").arg(nYear));
    if (std::all_of(rows.cbegin(), rows.cend(),
                    [](const CBudget::SMonthRow& row) { return row.nBudget == 0; })) {
        m_pPages->setCurrentIndex(NoBudget);
        return;
    }
    m_pYear->setRowCount(rows.size());
    m_pChart->SetTitleText(tr("%1年预算与实际支出").arg(nYear));
    m_pChart->SetRowCount(rows.size());
    m_pChart->SetColumnCount(2);
    m_pChart->SetColumn(1);
    m_pChart->SetColumnLabel(tr("预算"));
    m_pChart->SetColumn(2);
    m_pChart->SetColumnLabel(tr("实际支出"));
    for (int r = 0; r < rows.size(); ++r) {
        const CBudget::SMonthRow& row = rows[r];
        SetCell(m_pYear, r, 0, tr("%1月").arg(row.nMonth), false);
        SetCell(m_pYear, r, 1, row.nBudget == 0 ? tr("未设") : Yuan(row.nBudget));
        SetCell(m_pYear, r, 2, Yuan(row.nSpent));
        SetCell(m_pYear, r, 3, row.nBudget == 0 ? QString() : Yuan(row.nBudget - row.nSpent));
        if (row.nBudget > 0 && row.nSpent > row.nBudget)
            for (int c = 2; c <= 3; ++c)
                m_pYear->item(r, c)->setForeground(QColor(0xc6, 0x28, 0x28));
        m_pChart->SetRow(r + 1);
        m_pChart->SetRowLabel(tr("%1月").arg(row.nMonth));
        m_pChart->SetColumn(1);
        m_pChart->SetData(CMoney::Format(CMoney::FromCents(row.nBudget)));
        m_pChart->SetColumn(2);
        m_pChart->SetData(CMoney::Format(CMoney::FromCents(row.nSpent)));
    }
    m_pPages->setCurrentIndex(Year);
}
