#include "records/coutlayview.h"

COutlayView::COutlayView(QWidget* pParent) : CDayView(ERecordKind::Outlay, pParent) {
    setObjectName(QStringLiteral("COutlayView"));
}
