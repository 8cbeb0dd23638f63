#include "records/cdaylist.h"

QVector<QDate> CDayList::Days(ERecordKind eKind, const QString& strUser,
                              const QString& strConnection) {
    return CKeptTotals::Days(eKind == ERecordKind::Outlay, strUser, {}, {}, strConnection);
}

QVector<QDate> CDayList::Days(ERecordKind eKind, const QString& strUser, const QDate& from,
                              const QDate& to, const QString& strConnection) {
    return CKeptTotals::Days(eKind == ERecordKind::Outlay, strUser, from, to, strConnection);
}

QVector<CKeptTotals::SPeriodRows> CDayList::Years(const QString& strUser,
                                                  const QString& strConnection) {
    return CKeptTotals::Years(strUser, strConnection);
}

QVector<CKeptTotals::SPeriodRows> CDayList::Months(const QString& strUser, int nYear,
                                                   const QString& strConnection) {
    return CKeptTotals::Months(strUser, nYear, strConnection);
}
