#include "records/cnewdayindlg.h"

CNewDayInDlg::CNewDayInDlg(QWidget* pParent) : CNewDayDlg(ERecordKind::Income, pParent) {
    setObjectName(QStringLiteral("CNewDayInDlg"));
}
