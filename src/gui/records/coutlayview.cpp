#include "coutlayview.h"

// Placeholder until the view is built; its owner replaces this file.
COutlayView::COutlayView(QWidget* pParent) : CFormView(pParent) { setObjectName(QStringLiteral("COutlayView")); }
void COutlayView::OnInitialUpdate() {}
void COutlayView::ShowCurrentDay() {}
void COutlayView::ShowDayInTree() {}
void COutlayView::GoLastDay() {}
bool COutlayView::IsEditing() const { return false; }
