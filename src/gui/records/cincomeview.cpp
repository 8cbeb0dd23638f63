#include "records/cincomeview.h"

CIncomeView::CIncomeView(const CSession* pSession, QWidget* pParent)
    : CDayView(ERecordKind::Income, pSession, pParent) {
    setObjectName(QStringLiteral("CIncomeView"));
    StartOn(QDate(2004, 3, 2));
}
