#include "csumlistview.h"

// Placeholder until the view is built; its owner replaces this file.
CSumListView::CSumListView(QWidget* pParent) : CFormView(pParent) { setObjectName(QStringLiteral("CSumListView")); }
void CSumListView::OnInitialUpdate() {}
void CSumListView::ShowUserBrief(const QString&) {}
void CSumListView::ShowYearBrief(const QString&, int) {}
void CSumListView::ShowMonthBrief(const QString&, int, int) {}
void CSumListView::ShowAccountList(const QString&) {}
