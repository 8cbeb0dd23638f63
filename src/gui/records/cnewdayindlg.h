#pragma once

#include "records/cnewdaydlg.h"

// Opens a new income day (command 32791 "添加收入记录").
class CNewDayInDlg : public CNewDayDlg {
    Q_OBJECT
public:
    explicit CNewDayInDlg(const CSession* pSession, QWidget* pParent = nullptr);
};
