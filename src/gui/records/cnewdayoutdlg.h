#pragma once

#include "records/cnewdaydlg.h"

// Opens a new outlay day (command 32790 "添加支出记录").
class CNewDayOutDlg : public CNewDayDlg {
    Q_OBJECT
public:
    explicit CNewDayOutDlg(const CSession* pSession, QWidget* pParent = nullptr);
};
