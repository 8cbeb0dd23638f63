#include "records/cnewdayoutdlg.h"

CNewDayOutDlg::CNewDayOutDlg(const CSession* pSession, QWidget* pParent)
    : CNewDayDlg(ERecordKind::Outlay, pSession, pParent) {
    setObjectName(QStringLiteral("CNewDayOutDlg"));
}
