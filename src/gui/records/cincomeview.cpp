#include "records/cincomeview.h"

CIncomeView::CIncomeView(QWidget* pParent) : CDayView(ERecordKind::Income, pParent) {
    setObjectName(QStringLiteral("CIncomeView"));
    m_nYear = 2004;
    m_nMonth = 3;
    m_nDay = 2;
}
