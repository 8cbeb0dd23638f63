#include "cplantables.h"

#include "data/cdatabase.h"
#include "data/cdbexception.h"
#include "data/cschema.h"
#include "records/ccategorybook.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>

namespace CPlanTables {

QStringList CreateStatements(const CSqlDialect& d) {
    const QString textDef = QStringLiteral("%1 NOT NULL DEFAULT ''").arg(d.TextType());
    QStringList list;
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"Budget\" ("
                           "\"编号\" %1, \"UserID\" INTEGER NOT NULL, \"Sort\" %2, "
                           "\"Month\" INTEGER NOT NULL DEFAULT 0, \"Cents\" BIGINT NOT NULL)")
                .arg(d.AutoKey(), textDef);
    list << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"IX_Budget_User_Sort_Month\" ON "
                           "\"Budget\" (\"UserID\", \"Sort\", \"Month\")");
    // Days are yyyymmdd numbers, the kept totals' day keys; "EndDay" 0 is no end. "FromDay"
    // is the first day whose occurrences can fall due (a resumed template does not owe the
    // days it was paused).
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"Recurring\" ("
                           "\"编号\" %1, \"UserID\" INTEGER NOT NULL, "
                           "\"Kind\" INTEGER NOT NULL, \"Sort\" %2, \"Note\" %2, \"Bank\" %2, "
                           "\"ToBank\" %2, \"Cents\" BIGINT NOT NULL, "
                           "\"Unit\" INTEGER NOT NULL, \"Every\" INTEGER NOT NULL DEFAULT 1, "
                           "\"MonthDay\" INTEGER NOT NULL DEFAULT 0, "
                           "\"StartDay\" INTEGER NOT NULL, \"EndDay\" INTEGER NOT NULL DEFAULT 0, "
                           "\"FromDay\" INTEGER NOT NULL, "
                           "\"Paused\" INTEGER NOT NULL DEFAULT 0)")
                .arg(d.AutoKey(), textDef);
    list << QStringLiteral("CREATE INDEX IF NOT EXISTS \"IX_Recurring_User\" ON "
                           "\"Recurring\" (\"UserID\")");
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"RecurringDone\" ("
                           "\"编号\" %1, \"RecurringID\" INTEGER NOT NULL, "
                           "\"Day\" INTEGER NOT NULL, \"Skipped\" INTEGER NOT NULL DEFAULT 0)")
                .arg(d.AutoKey());
    list << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"IX_RecurringDone_Key\" ON "
                           "\"RecurringDone\" (\"RecurringID\", \"Day\")");
    return list;
}

void Ensure(QSqlDatabase db, const CSqlDialect& dialect) {
    CSchema::Create(db, dialect, CreateStatements(dialect));
}

void Install() {
    CSchema::AddTables(&Ensure);
}

void Ready(const QString& strConnection) {
    CSchema::MakeReady(&Ensure, strConnection);
}

qint64 UserId(const QString& strUser, const QString& strConnection) {
    const qint64 nUser = CUserAdmin::UserId(strUser, strConnection);
    if (nUser == 0)
        throw CDBException(
            QCoreApplication::translate("CPlanTables", "用户“%1”不存在。").arg(strUser));
    return nUser;
}

QString NotNull(const QString& str) {
    return str.isNull() ? QString(QLatin1String("")) : str;
}

QStringList Categories(const QString& strUser, ERecordKind eKind, const QString& strConnection) {
    // The user's own list, as the day grid offers it (hidden categories are not offered).
    return CCategoryBook(eKind, strUser, 0, strConnection).Names();
}

} // namespace CPlanTables
