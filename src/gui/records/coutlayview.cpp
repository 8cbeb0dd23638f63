#include "records/coutlayview.h"

COutlayView::COutlayView(const CSession* pSession, QWidget* pParent)
    : CDayView(ERecordKind::Outlay, pSession, pParent) {
    setObjectName(QStringLiteral("COutlayView"));
}
