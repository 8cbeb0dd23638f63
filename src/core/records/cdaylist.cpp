#include "records/cdaylist.h"

#include "data/ckepttotals.h"

QVector<QDate> CDayList::Days(ERecordKind eKind, const QString& strUser,
                              const QString& strConnection) {
    return CKeptTotals::Days(eKind == ERecordKind::Outlay, strUser, strConnection);
}
