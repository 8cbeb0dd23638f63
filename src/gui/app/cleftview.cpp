#include "app/cleftview.h"

#include "data/cdbexception.h"
#include "records/cdaylist.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QIcon>
#include <QSet>

namespace {
const char* const kLevelIcons[] = {":/res/icons/tree_user.svg", ":/res/icons/tree_year.svg",
                                   ":/res/icons/tree_month.svg", ":/res/icons/tree_day.svg"};

QIcon LevelIcon(int nLevel) {
    // Loaded once: a build of thousands of days would otherwise parse the SVG per item.
    static QIcon s_icons[4];
    if (s_icons[nLevel].isNull())
        s_icons[nLevel] = QIcon(QString::fromLatin1(kLevelIcons[nLevel]));
    return s_icons[nLevel];
}
} // namespace

CLeftView::CLeftView(CSession* pSession, QWidget* pParent)
    : QTreeWidget(pParent), m_pSession(pSession) {
    setObjectName(QStringLiteral("CLeftView"));
    OnInitialUpdate();
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::OnSelectionChanged);
    connect(this, &QTreeWidget::itemExpanded, this, &CLeftView::AddPendingDays);
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

void CLeftView::AddPendingDays(QTreeWidgetItem* pMonth) {
    const auto it = m_pendingDays.find(pMonth);
    if (it == m_pendingDays.end())
        return;
    const QVector<QDate> days = it.value();
    m_pendingDays.erase(it);
    QList<QTreeWidgetItem*> items;
    items.reserve(days.size());
    for (const QDate& day : days)
        items << NewItem(tr("%1日").arg(day.day()), Day, day);
    pMonth->addChildren(items);
}

QTreeWidgetItem* CLeftView::FindOrInsertYear(QTreeWidgetItem* pParent, int nYear) {
    return FindOrInsertChild(pParent, tr("%1年").arg(nYear), Year, QDate(nYear, 1, 1));
}

QTreeWidgetItem* CLeftView::FindOrInsertMonth(QTreeWidgetItem* pParent, int nMonth) {
    if (pParent == nullptr)
        return nullptr;
    const int nYear = pParent->data(0, Qt::UserRole).toDate().year();
    return FindOrInsertChild(pParent, tr("%1月").arg(nMonth), Month, QDate(nYear, nMonth, 1));
}

QTreeWidgetItem* CLeftView::FindOrInsertDay(QTreeWidgetItem* pParent, int nDay) {
    if (pParent == nullptr)
        return nullptr;
    AddPendingDays(pParent);
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

void CLeftView::ShowDay(const QString& strUser, int nYear, int nMonth, int nDay) {
    const SDayPath path = InsertDayPath(strUser, nYear, nMonth, nDay);
    path.pYear->setExpanded(true);
    path.pMonth->setExpanded(true);
    setCurrentItem(path.pDay);
    path.pDay->setSelected(true);
    scrollToItem(path.pDay);
}

void CLeftView::Empty() {
    m_pendingDays.clear();
    clear();
}

void CLeftView::BuildDayTree(ERecordKind eKind) {
    Empty();
    const QString strUser = CurrentUser();
    CMessageBox::Guarded(this, [&] {
        const QVector<QDate> days = CDayList::Days(eKind, strUser);
        if (days.isEmpty())
            return;
        // The days come in order: each year and month is made once, where it begins.
        QTreeWidgetItem* pRoot = FindOrInsertRoot(strUser);
        QTreeWidgetItem* pYear = nullptr;
        QTreeWidgetItem* pMonth = nullptr;
        QVector<QDate>* pDays = nullptr;
        for (const QDate& day : days) {
            if (!pYear || pYear->data(0, Qt::UserRole).toDate().year() != day.year()) {
                pYear = NewItem(tr("%1年").arg(day.year()), Year, QDate(day.year(), 1, 1));
                pRoot->addChild(pYear);
                pMonth = nullptr;
            }
            if (!pMonth || pMonth->data(0, Qt::UserRole).toDate().month() != day.month()) {
                pMonth =
                    NewItem(tr("%1月").arg(day.month()), Month, QDate(day.year(), day.month(), 1));
                pMonth->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
                pYear->addChild(pMonth);
                pDays = &m_pendingDays[pMonth];
            }
            pDays->append(day);
        }
    });
}

void CLeftView::BuildMonthTree(bool bIncome, bool bOutlay) {
    Empty();
    const QString strUser = CurrentUser();
    QTreeWidgetItem* pRoot = FindOrInsertRoot(strUser);
    QHash<int, QTreeWidgetItem*> years;
    QSet<int> months; // year * 100 + month
    CMessageBox::Guarded(this, [&] {
        // Income first: a year or month known only from outlay rows comes after them.
        for (const ERecordKind eKind : {ERecordKind::Income, ERecordKind::Outlay}) {
            if ((eKind == ERecordKind::Income && !bIncome) ||
                (eKind == ERecordKind::Outlay && !bOutlay))
                continue;
            const QVector<QDate> days = CDayList::Days(eKind, strUser);
            for (const QDate& day : days) {
                // Consecutive days mostly share their month: look it up once per month.
                const int nMonthKey = day.year() * 100 + day.month();
                if (months.contains(nMonthKey))
                    continue;
                QTreeWidgetItem*& pYear = years[day.year()];
                if (!pYear) {
                    pYear = NewItem(tr("%1年").arg(day.year()), Year, QDate(day.year(), 1, 1));
                    pRoot->addChild(pYear);
                }
                QTreeWidgetItem* pMonth =
                    NewItem(tr("%1月").arg(day.month()), Month, QDate(day.year(), day.month(), 1));
                pYear->addChild(pMonth);
                months.insert(nMonthKey);
            }
        }
    });
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
