#pragma once

#include "records/cdayview.h"

// The income records of one day and account. Opens without a day; the tree or the frame
// tells it which day to show.
class CIncomeView : public CDayView {
    Q_OBJECT
public:
    explicit CIncomeView(const CSession* pSession, QWidget* pParent = nullptr);
};
