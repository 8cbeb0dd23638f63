#include "records/cdaylist.h"

#include "data/cstoreddate.h"

#include <QSqlQuery>
#include <algorithm>

QVector<QDate> CDayList::Days(ERecordKind eKind, const QString& strUser,
                              const QString& strConnection) {
    const QString strTable =
        eKind == ERecordKind::Income ? QStringLiteral("Income") : QStringLiteral("Outlay");
    // DISTINCT on the indexed column walks the index in order; the values of one day, in
    // whatever form they were stored, fold into one day here.
    QVariantList values{strUser};
    const QString strRange =
        CStoredDate::Range(strTable, strUser, QDate(), QDate(), values, strConnection);
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT DISTINCT \"Date\" FROM \"%1\" WHERE \"UserName\" = ? AND \"Date\" "
                       "IS NOT NULL%2")
            .arg(strTable, strRange),
        values, strConnection);
    QVector<QDate> days;
    while (query.next()) {
        const QDate day = CStoredDate::Day(query.value(0));
        // Values arrive mostly in order, so most repeats are caught here already.
        if (day.isValid() && (days.isEmpty() || days.constLast() != day))
            days.append(day);
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}
