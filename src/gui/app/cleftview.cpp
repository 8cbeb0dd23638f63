#include "app/cleftview.h"

#include "data/cdbexception.h"
#include "records/cdaylist.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cpicture.h"
#include "widgets/cplainfont.h"
#include "widgets/cviewsettler.h"

#include <QHeaderView>
#include <QIcon>
#include <QSet>

namespace {
const char* const kLevelIcons[] = {"tree_user", "tree_year", "tree_month", "tree_day"};

QIcon LevelIcon(int nLevel) {
    // One icon per level, shared by every item: its SVG is parsed and drawn once.
    return CPicture::KeptIcon(QLatin1String(kLevelIcons[nLevel]));
}
} // namespace

CLeftView::CLeftView(const CSession* pSession, QWidget* pParent)
    : QTreeWidget(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CLeftView"));
    setFont(CPlainFont::Font());
    OnInitialUpdate();
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::OnSelectionChanged);
    connect(this, &QTreeWidget::itemExpanded, this, &CLeftView::AddPending);
    // A tree built anew or opened further is laid out, and its scroll bar comes or goes,
    // before the window paints: otherwise it is painted two or three times over.
    auto* pSettler = new CViewSettler(this, [this] {
        executeDelayedItemsLayout();
        updateGeometries();
    });
    for (const auto pSignal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model(), pSignal, pSettler, &CViewSettler::Soon);
    connect(model(), &QAbstractItemModel::modelReset, pSettler, &CViewSettler::Soon);
    // Its column resized is laid out there too, not from the tree view's timer after the paint.
    disconnect(header(), SIGNAL(sectionResized(int, int, int)), this, nullptr);
    connect(header(), &QHeaderView::sectionResized, pSettler, &CViewSettler::Soon);
    connect(this, &QTreeView::expanded, pSettler, &CViewSettler::Soon);
    connect(this, &QTreeView::collapsed, pSettler, &CViewSettler::Soon);
}

void CLeftView::OnInitialUpdate() {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setDragEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(24, 24));
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::StrongFocus);
}

int CLeftView::Level(const QTreeWidgetItem* pItem) {
    int nLevel = 0;
    for (const QTreeWidgetItem* p = pItem ? pItem->parent() : nullptr; p; p = p->parent())
        ++nLevel;
    return nLevel;
}

CScope CLeftView::ScopeOf(const QTreeWidgetItem* pItem) {
    return {CScope::ELevel(Level(pItem)), pItem->data(0, Qt::UserRole).toDate()};
}

QString CLeftView::CurrentUser() const {
    return m_pSession ? m_pSession->UserName() : QString();
}

QTreeWidgetItem* CLeftView::FindOrInsertRoot(const QString& strLabel) {
    for (int n = 0; n < topLevelItemCount(); ++n) {
        if (topLevelItem(n)->text(0) == strLabel)
            return topLevelItem(n);
    }
    auto* pItem = new QTreeWidgetItem(QStringList{strLabel});
    pItem->setIcon(0, LevelIcon(User));
    addTopLevelItem(pItem);
    return pItem;
}

QTreeWidgetItem* CLeftView::FindOrInsertChild(QTreeWidgetItem* pParent, const QString& strLabel,
                                              int nLevel, const QDate& date) {
    if (pParent == nullptr)
        return nullptr;
    // Builds insert in date order, so the match is almost always the last child.
    for (int n = pParent->childCount() - 1; n >= 0; --n) {
        if (pParent->child(n)->text(0) == strLabel) {
            // The first match wins when a label occurs twice.
            for (int m = 0; m < n; ++m) {
                if (pParent->child(m)->text(0) == strLabel)
                    return pParent->child(m);
            }
            return pParent->child(n);
        }
    }
    QTreeWidgetItem* pItem = NewItem(strLabel, nLevel, date);
    pParent->addChild(pItem);
    return pItem;
}

QTreeWidgetItem* CLeftView::NewItem(const QString& strLabel, int nLevel, const QDate& date) {
    auto* pItem = new QTreeWidgetItem(QStringList{strLabel});
    pItem->setIcon(0, LevelIcon(nLevel));
    pItem->setData(0, Qt::UserRole, date);
    return pItem;
}

namespace {
// The years or months of the tables asked for, in the order the tree shows them: those with
// income rows first, then what only the outlay rows add (even when earlier), each part
// earliest first.
QVector<int> ShownPeriods(const QVector<CKeptTotals::SPeriodRows>& rows, bool bIncome,
                          bool bOutlay) {
    QVector<int> periods;
    for (const CKeptTotals::SPeriodRows& row : rows) {
        if (bIncome && row.bIncome)
            periods << row.nPeriod;
    }
    for (const CKeptTotals::SPeriodRows& row : rows) {
        if (bOutlay && row.bOutlay && !(bIncome && row.bIncome))
            periods << row.nPeriod;
    }
    return periods;
}
} // namespace

void CLeftView::AddPending(QTreeWidgetItem* pItem) {
    const QString strUser = CurrentUser();
    if (m_pendingYears.remove(pItem)) {
        const int nYear = pItem->data(0, Qt::UserRole).toDate().year();
        CMessageBox::Guarded(this, [&] {
            QList<QTreeWidgetItem*> items;
            for (const int nMonth :
                 ShownPeriods(CDayList::Months(strUser, nYear), m_bIncome, m_bOutlay)) {
                items << NewItem(tr("%1月").arg(nMonth), Month, QDate(nYear, nMonth, 1));
                if (m_eDays) {
                    items.last()->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
                    m_pendingMonths.insert(items.last());
                }
            }
            pItem->addChildren(items);
        });
        return;
    }
    if (!m_pendingMonths.remove(pItem))
        return;
    const QDate month = pItem->data(0, Qt::UserRole).toDate();
    CMessageBox::Guarded(this, [&] {
        QList<QTreeWidgetItem*> items;
        for (const QDate& day : CDayList::Days(*m_eDays, strUser, month, month.addMonths(1)))
            items << NewItem(tr("%1日").arg(day.day()), Day, day);
        pItem->addChildren(items);
    });
}

QTreeWidgetItem* CLeftView::FindOrInsertYear(QTreeWidgetItem* pParent, int nYear) {
    return FindOrInsertChild(pParent, tr("%1年").arg(nYear), Year, QDate(nYear, 1, 1));
}

QTreeWidgetItem* CLeftView::FindOrInsertMonth(QTreeWidgetItem* pParent, int nMonth) {
    if (pParent == nullptr)
        return nullptr;
    AddPending(pParent);
    const int nYear = pParent->data(0, Qt::UserRole).toDate().year();
    return FindOrInsertChild(pParent, tr("%1月").arg(nMonth), Month, QDate(nYear, nMonth, 1));
}

QTreeWidgetItem* CLeftView::FindOrInsertDay(QTreeWidgetItem* pParent, int nDay) {
    if (pParent == nullptr)
        return nullptr;
    AddPending(pParent);
    const QDate month = pParent->data(0, Qt::UserRole).toDate();
    return FindOrInsertChild(pParent, tr("%1日").arg(nDay), Day,
                             QDate(month.year(), month.month(), nDay));
}

CLeftView::SDayPath CLeftView::InsertDayPath(const QString& strLabel, int nYear, int nMonth,
                                             int nDay) {
    SDayPath path;
    path.pYear = FindOrInsertYear(FindOrInsertRoot(strLabel), nYear);
    path.pMonth = FindOrInsertMonth(path.pYear, nMonth);
    path.pDay = FindOrInsertDay(path.pMonth, nDay);
    return path;
}

void CLeftView::ShowDay(int nYear, int nMonth, int nDay) {
    const SDayPath path = InsertDayPath(CurrentUser(), nYear, nMonth, nDay);
    path.pYear->setExpanded(true);
    path.pMonth->setExpanded(true);
    setCurrentItem(path.pDay);
    path.pDay->setSelected(true);
    scrollToItem(path.pDay);
}

void CLeftView::Empty() {
    m_pendingYears.clear();
    m_pendingMonths.clear();
    clear();
}

// Years of the kinds asked for, read from the month sums: a year gets its months when it is
// first expanded, and with eDays a month its days.
void CLeftView::BuildYears(bool bIncome, bool bOutlay, std::optional<ERecordKind> eDays) {
    Empty();
    const QString strUser = CurrentUser();
    m_bIncome = bIncome;
    m_bOutlay = bOutlay;
    m_eDays = eDays;
    // The years are made apart from the tree and join it at once: one insertion for the
    // view to lay out, not one per item.
    QList<QTreeWidgetItem*> newYears;
    CMessageBox::Guarded(this, [&] {
        for (const int nYear : ShownPeriods(CDayList::Years(strUser), bIncome, bOutlay)) {
            QTreeWidgetItem* pYear = NewItem(tr("%1年").arg(nYear), Year, QDate(nYear, 1, 1));
            pYear->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            m_pendingYears.insert(pYear);
            newYears << pYear;
        }
    });
    if (!newYears.isEmpty())
        FindOrInsertRoot(strUser)->addChildren(newYears);
}

void CLeftView::BuildDayTree(ERecordKind eKind) {
    BuildYears(eKind == ERecordKind::Income, eKind == ERecordKind::Outlay, eKind);
}

void CLeftView::BuildMonthTree(bool bIncome, bool bOutlay) {
    BuildYears(bIncome, bOutlay, std::nullopt);
    // The summary and the charts always show the user, records or not.
    FindOrInsertRoot(CurrentUser());
}

void CLeftView::BuildIncomeTree() {
    BuildDayTree(ERecordKind::Income);
}

void CLeftView::BuildOutlayTree() {
    BuildDayTree(ERecordKind::Outlay);
}

void CLeftView::BuildSummaryTree() {
    BuildMonthTree(true, true);
}

void CLeftView::BuildInChartTree() {
    BuildMonthTree(true, false);
}

void CLeftView::BuildOutChartTree() {
    BuildMonthTree(false, true);
}

void CLeftView::OnSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (!selected.isEmpty())
        Q_EMIT ScopeChosen(ScopeOf(selected.constFirst()));
}
