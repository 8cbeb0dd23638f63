#include "cincomeview.h"

// Placeholder until the view is built; its owner replaces this file.
CIncomeView::CIncomeView(QWidget* pParent) : CFormView(pParent) { setObjectName(QStringLiteral("CIncomeView")); }
void CIncomeView::OnInitialUpdate() {}
void CIncomeView::ShowCurrentDay() {}
void CIncomeView::ShowDayInTree() {}
void CIncomeView::GoLastDay() {}
bool CIncomeView::IsEditing() const { return false; }
