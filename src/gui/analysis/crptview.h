#pragma once

#include "app/cformview.h"

class CRptView : public CFormView {
    Q_OBJECT
public:
    explicit CRptView(QWidget* pParent = nullptr);
    void OnInitialUpdate() override;

};
