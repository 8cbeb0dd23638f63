#include "records/cnewdayoutdlg.h"

CNewDayOutDlg::CNewDayOutDlg(QWidget* pParent) : CNewDayDlg(ERecordKind::Outlay, pParent) {
    setObjectName(QStringLiteral("CNewDayOutDlg"));
}
