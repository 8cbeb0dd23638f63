#include "records/cdaylist.h"

#include "data/ckepttotals.h"

QVector<QDate> CDayList::Days(ERecordKind eKind, const QString& strUser,
                              const QString& strConnection) {
    return CKeptTotals::Days(eKind == ERecordKind::Outlay, strUser, {}, {}, strConnection);
}

QVector<QDate> CDayList::Days(ERecordKind eKind, const QString& strUser, const QDate& from,
                              const QDate& to, const QString& strConnection) {
    return CKeptTotals::Days(eKind == ERecordKind::Outlay, strUser, from, to, strConnection);
}

QVector<QDate> CDayList::Months(ERecordKind eKind, const QString& strUser,
                                const QString& strConnection) {
    return CKeptTotals::Months(eKind == ERecordKind::Outlay, strUser, strConnection);
}
