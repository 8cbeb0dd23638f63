#include "analysis/cbudgetpanel.h"

#include "analysis/cmschart3.h"
#include "data/cmoney.h"
#include "widgets/cpicture.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString Yuan(qint64 nCents) {
    return CMoney::FormatYuan(CMoney::FromCents(nCents));
}

// Without "元": the year's table has four columns beside its chart.
QString Plain(qint64 nCents) {
    return CMoney::Format(CMoney::FromCents(nCents));
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

void SetCell(QTableWidget* pTable, int nRow, int nCol, const QString& strText, bool bRight = true) {
    auto* pItem = new QTableWidgetItem(strText);
    pItem->setTextAlignment((bRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    pTable->setItem(nRow, nCol, pItem);
}

// A shown table whose columns fit their contents measures every row again for each cell set
// (a month of 15 budgets: 75 cells, each measuring the whole table). While it is filled the
// columns keep their widths; they fit the new contents once, after.
class CFilling {
public:
    explicit CFilling(QTableWidget* pTable) : m_pHeader(pTable->horizontalHeader()) {
        m_pHeader->setSectionResizeMode(QHeaderView::Fixed);
    }
    ~CFilling() { m_pHeader->setSectionResizeMode(QHeaderView::ResizeToContents); }
    CFilling(const CFilling&) = delete;
    CFilling& operator=(const CFilling&) = delete;

private:
    QHeaderView* m_pHeader;
};

// The bar of a budget line, painted in its cell: green within the budget, red past it, the
// per cent over it. A bar widget with a style sheet of its own per row cost more than the rest
// of the summary's budgets together.
class CBarDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QRect rect = option.rect.adjusted(2, 2, -2, -2);
        const int nFilled = index.data(CBudgetPanel::FilledRole).toInt();
        const bool bOver = index.data(CBudgetPanel::OverRole).toBool();
        pPainter->save();
        pPainter->setRenderHint(QPainter::Antialiasing);
        pPainter->setPen(QColor(0x99, 0x99, 0x99));
        pPainter->setBrush(Qt::white);
        pPainter->drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        if (nFilled > 0) {
            QRectF chunk = QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5);
            chunk.setWidth(chunk.width() * nFilled / 100.0);
            pPainter->setPen(Qt::NoPen);
            pPainter->setBrush(bOver ? QColor(0xe5, 0x39, 0x35) : QColor(0x66, 0xbb, 0x6a));
            pPainter->drawRoundedRect(chunk, 2, 2);
        }
        pPainter->setPen(option.palette.color(QPalette::Text));
        pPainter->drawText(rect, Qt::AlignCenter, index.data().toString());
        pPainter->restore();
    }
};

} // namespace

CBudgetPanel::CBudgetPanel(QWidget* pParent) : QWidget(pParent) {
    setObjectName(QStringLiteral("CBudgetPanel"));
    m_pTitle = new QLabel(this);
    m_pTitle->setObjectName(QString::number(IDC_BUDGET_TITLE));
    QFont titleFont = m_pTitle->font();
    titleFont.setBold(true);
    m_pTitle->setFont(titleFont);
    m_pPages = new QStackedWidget(this);

    // The month's and the year's pages are made when first shown: most summaries have no
    // budget, and the year's chart alone cost more than the rest of the summary to make.
    m_pNone = new QWidget(m_pPages);
    auto* pPicture = new QLabel(m_pNone);
    pPicture->setPixmap(CPicture::Icon(QStringLiteral("sum_view"), 140));
    pPicture->setAlignment(Qt::AlignCenter);
    auto* pHint = new QLabel(tr("尚未设置预算（操作 → 预算设置）"), m_pNone);
    pHint->setAlignment(Qt::AlignCenter);
    pHint->setForegroundRole(QPalette::Mid);
    auto* pNoneLayout = new QVBoxLayout(m_pNone);
    pNoneLayout->setContentsMargins(0, 0, 0, 0);
    pNoneLayout->addWidget(pPicture, 1);
    pNoneLayout->addWidget(pHint);
    m_pPages->addWidget(m_pNone);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pTitle);
    pLayout->addWidget(m_pPages, 1);
}

QTableWidget* CBudgetPanel::MonthPage() {
    if (!m_pLines) {
        m_pLines = Table({tr("预算项目"), tr("预算"), tr("已支出"), tr("剩余"), tr("进度")},
                         IDC_BUDGET_LINES, m_pPages);
        m_pLines->setItemDelegateForColumn(4, new CBarDelegate(m_pLines));
        m_pPages->addWidget(m_pLines);
    }
    return m_pLines;
}

QWidget* CBudgetPanel::YearPage() {
    if (!m_pYearPage) {
        m_pYearPage = new QWidget(m_pPages);
        m_pYear = Table({tr("月份"), tr("预算(元)"), tr("实际(元)"), tr("结余(元)")},
                        IDC_BUDGET_YEAR, m_pYearPage);
        m_pYear->verticalHeader()->setDefaultSectionSize(m_pYear->fontMetrics().height() + 4);
        // The twelve months read without scrolling; the chart beside them takes that height.
        m_pYear->setMinimumHeight(m_pYear->horizontalHeader()->sizeHint().height() +
                                  12 * m_pYear->verticalHeader()->defaultSectionSize() +
                                  2 * m_pYear->frameWidth() + 2);
        m_pChart = new CMschart3(CMschart3::EType::Bar, 2, 12, m_pYearPage);
        m_pChart->setObjectName(QString::number(IDC_BUDGET_CHART));
        m_pChart->SetEveryLabel(false); // the page beside the table is as tall as it is
        auto* pYearLayout = new QHBoxLayout(m_pYearPage);
        pYearLayout->setContentsMargins(0, 0, 0, 0);
        pYearLayout->addWidget(m_pYear, 1);
        pYearLayout->addWidget(m_pChart, 1);
        m_pPages->addWidget(m_pYearPage);
    }
    return m_pYearPage;
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
    m_pTitle->setVisible(!lines.isEmpty());
    if (lines.isEmpty()) {
        m_pPages->setCurrentWidget(m_pNone);
        return;
    }
    const CFilling filling(MonthPage());
    m_pLines->setRowCount(lines.size());
    for (int r = 0; r < lines.size(); ++r) {
        const CBudget::SLine& line = lines[r];
        SetCell(m_pLines, r, 0, CBudget::LineName(line.strSort), false);
        SetCell(m_pLines, r, 1, Yuan(line.nBudget));
        SetCell(m_pLines, r, 2, Yuan(line.nSpent));
        SetCell(m_pLines, r, 3,
                line.IsOver() ? tr("超出 %1").arg(Yuan(-line.Left())) : Yuan(line.Left()));
        if (line.IsOver())
            m_pLines->item(r, 3)->setForeground(QColor(0xc6, 0x28, 0x28));
        SetCell(m_pLines, r, 4, QStringLiteral("%1%").arg(line.Percent()));
        m_pLines->item(r, 4)->setData(FilledRole, std::clamp(line.Percent(), 0, 100));
        m_pLines->item(r, 4)->setData(OverRole, line.IsOver());
    }
    m_pPages->setCurrentWidget(m_pLines);
}

void CBudgetPanel::ShowYear(const QString& strUser, int nYear) {
    const QVector<CBudget::SMonthRow> rows = CBudget::YearRows(strUser, nYear);
    m_pTitle->setText(tr("%1年预算与实际支出").arg(nYear));
    const bool bNone = std::all_of(rows.cbegin(), rows.cend(),
                                   [](const CBudget::SMonthRow& row) { return row.nBudget == 0; });
    m_pTitle->setVisible(!bNone);
    if (bNone) {
        m_pPages->setCurrentWidget(m_pNone);
        return;
    }
    YearPage();
    const CFilling filling(m_pYear);
    m_pYear->setRowCount(rows.size());
    // Two bars a month: the budget and what was spent.
    m_pChart->SetTitleText(tr("%1年预算与实际支出").arg(nYear));
    m_pChart->SetRowCount(2);
    m_pChart->SetColumnCount(rows.size());
    m_pChart->SetRow(1);
    m_pChart->SetRowLabel(tr("预算"));
    m_pChart->SetRow(2);
    m_pChart->SetRowLabel(tr("实际支出"));
    for (int r = 0; r < rows.size(); ++r) {
        const CBudget::SMonthRow& row = rows[r];
        SetCell(m_pYear, r, 0, tr("%1月").arg(row.nMonth), false);
        SetCell(m_pYear, r, 1, row.nBudget == 0 ? tr("未设") : Plain(row.nBudget));
        SetCell(m_pYear, r, 2, Plain(row.nSpent));
        SetCell(m_pYear, r, 3, row.nBudget == 0 ? QString() : Plain(row.nBudget - row.nSpent));
        if (row.nBudget > 0 && row.nSpent > row.nBudget)
            for (int c = 2; c <= 3; ++c)
                m_pYear->item(r, c)->setForeground(QColor(0xc6, 0x28, 0x28));
        m_pChart->SetColumn(r + 1);
        m_pChart->SetColumnLabel(tr("%1月").arg(row.nMonth));
        m_pChart->SetRow(1);
        m_pChart->SetData(Plain(row.nBudget));
        m_pChart->SetRow(2);
        m_pChart->SetData(Plain(row.nSpent));
    }
    m_pPages->setCurrentWidget(m_pYearPage);
}
