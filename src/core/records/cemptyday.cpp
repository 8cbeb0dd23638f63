#include "cemptyday.h"

#include "data/ctransaction.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>

namespace {
// A placeholder carries only the user and the date; anything else is a record.
const char* const s_szPlaceholder = "\"Sort\" = '' AND \"Note\" = '' AND \"Bank\" = '' "
                                    "AND \"Amount\" = 0";
} // namespace

CEmptyDay::ERemove CEmptyDay::Remove(ERecordKind eKind, const QString& strUser, const QDate& day,
                                     const QString& strConnection) {
    if (!day.isValid())
        return ERemove::NoDay;
    const QString strTable =
        eKind == ERecordKind::Income ? QStringLiteral("Income") : QStringLiteral("Outlay");
    const CSqlDialect& dialect = CDatabase::Dialect(strConnection);
    const QVariantList values{strUser, dialect.BindDate(day), dialect.BindDate(day.addDays(1))};
    const QString strDay =
        QStringLiteral("FROM \"%1\" WHERE \"UserName\" = ? AND \"Date\" >= ? AND \"Date\" < ?")
            .arg(strTable);

    CTransaction transaction(strConnection);
    QSqlQuery count =
        CDatabase::Exec(QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN %1 THEN 0 ELSE 1 END) %2")
                            .arg(QLatin1String(s_szPlaceholder), strDay),
                        values, strConnection);
    if (!count.next() || count.value(0).toInt() == 0)
        return ERemove::NoDay;
    if (count.value(1).toInt() > 0)
        return ERemove::HasRecords;
    count.finish();
    CDatabase::Exec(QStringLiteral("DELETE %1 AND %2").arg(strDay, QLatin1String(s_szPlaceholder)),
                    values, strConnection);
    transaction.Commit();
    return ERemove::Removed;
}

QString CEmptyDay::Message(ERemove eResult) {
    switch (eResult) {
    case ERemove::Removed:
        return QString();
    case ERemove::HasRecords:
        return QCoreApplication::translate("CEmptyDay",
                                           "这一天还有记录，不能删除。请先删除这一天的所有记录，"
                                           "确定后再删除此日。");
    case ERemove::NoDay:
        return QCoreApplication::translate("CEmptyDay", "这一天已不存在，没有改动。");
    }
    return QString();
}
