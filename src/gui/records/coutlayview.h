#pragma once

#include "records/cdayview.h"

// The outlay records of one day and account. Opens on the user's latest outlay day.
class COutlayView : public CDayView {
    Q_OBJECT
public:
    explicit COutlayView(const CSession* pSession, QWidget* pParent = nullptr);
};
