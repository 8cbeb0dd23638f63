#include "records/cincomeview.h"

CIncomeView::CIncomeView(CSession* pSession, QWidget* pParent)
    : CDayView(ERecordKind::Income, pSession, pParent) {
    setObjectName(QStringLiteral("CIncomeView"));
    m_nYear = 2004;
    m_nMonth = 3;
    m_nDay = 2;
}
