#include "crptview.h"

// Placeholder until the view is built; its owner replaces this file.
CRptView::CRptView(QWidget* pParent) : CFormView(pParent) { setObjectName(QStringLiteral("CRptView")); }
void CRptView::OnInitialUpdate() {}

