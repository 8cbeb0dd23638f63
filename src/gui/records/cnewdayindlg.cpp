#include "records/cnewdayindlg.h"

CNewDayInDlg::CNewDayInDlg(const CSession* pSession, QWidget* pParent)
    : CNewDayDlg(ERecordKind::Income, pSession, pParent) {
    setObjectName(QStringLiteral("CNewDayInDlg"));
}
