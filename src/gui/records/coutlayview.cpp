#include "records/coutlayview.h"

COutlayView::COutlayView(CSession* pSession, QWidget* pParent)
    : CDayView(ERecordKind::Outlay, pSession, pParent) {
    setObjectName(QStringLiteral("COutlayView"));
}
