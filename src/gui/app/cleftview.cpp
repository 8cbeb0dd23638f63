#include "app/cleftview.h"

#include "analysis/cinchartview.h"
#include "analysis/coutchartview.h"
#include "analysis/csumlistview.h"
#include "app/cmainframe.h"
#include "app/cmessagebox.h"
#include "data/cdbexception.h"
#include "records/cdaylist.h"
#include "records/cincomeview.h"
#include "records/coutlayview.h"

#include <QIcon>

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

CLeftView::CLeftView(QWidget* pParent) : QTreeWidget(pParent) {
    setObjectName(QStringLiteral("CLeftView"));
    OnInitialUpdate();
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::OnSelectionChanged);
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

int CLeftView::LabelNumber(const QString& strLabel) {
    int nValue = 0;
    for (const QChar ch : strLabel) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            break;
        nValue = nValue * 10 + (ch.unicode() - '0');
    }
    return nValue;
}

QString CLeftView::CurrentUser() const {
    const CMainFrame* pFrame = CMainFrame::Get();
    return pFrame ? pFrame->m_strCurUser : QString();
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
                                              int nLevel) {
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
    auto* pItem = new QTreeWidgetItem(QStringList{strLabel});
    pItem->setIcon(0, LevelIcon(nLevel));
    pParent->addChild(pItem);
    return pItem;
}

QTreeWidgetItem* CLeftView::FindOrInsertYear(QTreeWidgetItem* pParent, int nYear) {
    return FindOrInsertChild(pParent, tr("%1年").arg(nYear), Year);
}

QTreeWidgetItem* CLeftView::FindOrInsertMonth(QTreeWidgetItem* pParent, int nMonth) {
    return FindOrInsertChild(pParent, tr("%1月").arg(nMonth), Month);
}

QTreeWidgetItem* CLeftView::FindOrInsertDay(QTreeWidgetItem* pParent, int nDay) {
    return FindOrInsertChild(pParent, tr("%1日").arg(nDay), Day);
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
    m_pShown = nullptr;
    ++m_nGeneration;
    clear();
}

void CLeftView::BuildDayTree(ERecordKind eKind) {
    Empty();
    const QString strUser = CurrentUser();
    try {
        const QVector<QDate> days = CDayList::Days(eKind, strUser);
        for (const QDate& day : days)
            InsertDayPath(strUser, day.year(), day.month(), day.day());
    } catch (const CDBException& e) {
        CMessageBox::ShowDBError(e, this);
    }
}

void CLeftView::BuildMonthTree(bool bIncome, bool bOutlay) {
    Empty();
    const QString strUser = CurrentUser();
    QTreeWidgetItem* pRoot = FindOrInsertRoot(strUser);
    try {
        // Income first: a year or month known only from outlay rows comes after them.
        for (const ERecordKind eKind : {ERecordKind::Income, ERecordKind::Outlay}) {
            if ((eKind == ERecordKind::Income && !bIncome) ||
                (eKind == ERecordKind::Outlay && !bOutlay))
                continue;
            const QVector<QDate> days = CDayList::Days(eKind, strUser);
            for (const QDate& day : days)
                FindOrInsertMonth(FindOrInsertYear(pRoot, day.year()), day.month());
        }
    } catch (const CDBException& e) {
        CMessageBox::ShowDBError(e, this);
    }
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
    QTreeWidgetItem* pItem = selected.isEmpty() ? nullptr : selected.constFirst();
    if (pItem == nullptr)
        return;
    CMainFrame* pFrame = CMainFrame::Get();
    if (pFrame == nullptr)
        return;

    const int nLevel = Level(pItem);
    // The item and its parents, by level: [0] user ... [3] day.
    const QTreeWidgetItem* chain[4] = {nullptr, nullptr, nullptr, nullptr};
    for (const QTreeWidgetItem* p = pItem; p; p = p->parent())
        chain[Level(p)] = p;
    const int nYear = nLevel >= Year ? LabelNumber(chain[Year]->text(0)) : 0;
    const int nMonth = nLevel >= Month ? LabelNumber(chain[Month]->text(0)) : 0;
    const int nDay = nLevel >= Day ? LabelNumber(chain[Day]->text(0)) : 0;
    const QString strUser = pFrame->m_strCurUser;
    const int nGeneration = m_nGeneration;

    if (pFrame->m_pSumListView) {
        if (nLevel == User)
            pFrame->m_pSumListView->ShowUserBrief(strUser);
        else if (nLevel == Year)
            pFrame->m_pSumListView->ShowYearBrief(strUser, nYear);
        else if (nLevel == Month)
            pFrame->m_pSumListView->ShowMonthBrief(strUser, nYear, nMonth);
    } else if (pFrame->m_pInChartView || pFrame->m_pOutChartView) {
        auto draw = [&](auto* pView) {
            if (nLevel == User) {
                pView->DrawUserLine();
                pView->DrawUserBar();
                pView->DrawUserPie();
            } else if (nLevel == Year) {
                pView->DrawYearLine(nYear);
                pView->DrawYearBar(nYear);
                pView->DrawYearPie(nYear);
            } else if (nLevel == Month) {
                pView->DrawMonthLine(nYear, nMonth);
                pView->DrawMonthBar(nYear, nMonth);
                pView->DrawMonthPie(nYear, nMonth);
            }
        };
        if (pFrame->m_pInChartView)
            draw(pFrame->m_pInChartView);
        else
            draw(pFrame->m_pOutChartView);
    } else if (pFrame->m_pIncomeView || pFrame->m_pOutlayView) {
        if (nLevel == Day) {
            auto show = [&](auto* pView) {
                if (!pView->LeaveEdit()) {
                    // The edit stays open on its day: put the selection back.
                    const QSignalBlocker blocker(this);
                    pItem->setSelected(false);
                    if (m_pShown) {
                        setCurrentItem(m_pShown);
                        m_pShown->setSelected(true);
                    }
                    return false;
                }
                pView->m_nYear = nYear;
                pView->m_nMonth = nMonth;
                pView->m_nDay = nDay;
                pView->ShowCurrentDay();
                return true;
            };
            const bool bShown =
                pFrame->m_pIncomeView ? show(pFrame->m_pIncomeView) : show(pFrame->m_pOutlayView);
            if (!bShown)
                return;
        }
    }
    // A view that rebuilt the tree meanwhile has deleted pItem.
    if (nGeneration == m_nGeneration)
        m_pShown = pItem;
}
