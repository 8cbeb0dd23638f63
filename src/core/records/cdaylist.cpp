#include "records/cdaylist.h"

#include <QSqlQuery>

QVector<QDate> CDayList::Days(ERecordKind eKind, const QString& strUser,
                              const QString& strConnection) {
    const CSqlDialect& dialect = CDatabase::Dialect(strConnection);
    const QString strTable =
        eKind == ERecordKind::Income ? QStringLiteral("\"Income\"") : QStringLiteral("\"Outlay\"");
    // Grouping by the calendar day folds a stray time of day into its day.
    const QString strDay = dialect.DayKeyExpr(QStringLiteral("\"Date\""));
    QSqlQuery query =
        CDatabase::Exec(QStringLiteral("SELECT DISTINCT %1 FROM %2 WHERE \"UserName\" = ? "
                                       "AND \"Date\" IS NOT NULL ORDER BY 1")
                            .arg(strDay, strTable),
                        {strUser}, strConnection);
    QVector<QDate> days;
    while (query.next()) {
        const QVariant value = query.value(0);
        const QDate day = value.metaType().id() == QMetaType::QString
                              ? QDate::fromString(value.toString().left(10), Qt::ISODate)
                              : value.toDate();
        if (day.isValid() && (days.isEmpty() || days.constLast() < day))
            days.append(day);
    }
    return days;
}
