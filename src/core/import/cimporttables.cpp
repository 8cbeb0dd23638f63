#include "cimporttables.h"

#include "data/cdatabase.h"
#include "data/cschema.h"
#include "records/ccategorybook.h"

#include <QHash>
#include <QMutex>

namespace CImportTables {

QStringList CreateStatements(const CSqlDialect& d) {
    const QString textDef = QStringLiteral("%1 NOT NULL DEFAULT ''").arg(d.TextType());
    QStringList list;
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"ImportedId\" ("
                           "\"编号\" %1, \"UserID\" INTEGER NOT NULL, \"ExtKey\" %2)")
                .arg(d.AutoKey(), textDef);
    list << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"IX_ImportedId_User_Key\" ON "
                           "\"ImportedId\" (\"UserID\", \"ExtKey\")");
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"ImportRule\" ("
                           "\"编号\" %1, \"UserID\" INTEGER NOT NULL, \"Keyword\" %2, "
                           "\"Kind\" INTEGER NOT NULL DEFAULT 1, \"Sort\" %2)")
                .arg(d.AutoKey(), textDef);
    list << QStringLiteral("CREATE INDEX IF NOT EXISTS \"IX_ImportRule_User\" ON "
                           "\"ImportRule\" (\"UserID\")");
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"ImportLayout\" ("
                           "\"编号\" %1, \"UserID\" INTEGER NOT NULL, \"Layout\" %2, "
                           "\"Mapping\" %2)")
                .arg(d.AutoKey(), textDef);
    list << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"IX_ImportLayout_User_Layout\" ON "
                           "\"ImportLayout\" (\"UserID\", \"Layout\")");
    return list;
}

void Ensure(QSqlDatabase db, const CSqlDialect& dialect) {
    CSchema::Create(db, dialect, CreateStatements(dialect));
}

namespace {

// A user's rules name categories by their text: they follow a rename or merge of one.
void FollowCategory(qint64 nUserId, ERecordKind eKind, const QString& strOld, const QString& strNew,
                    const QString& strConnection) {
    Ready(strConnection);
    CDatabase::Exec(QStringLiteral("UPDATE \"ImportRule\" SET \"Sort\" = ? WHERE \"UserID\" = ? "
                                   "AND \"Kind\" = ? AND \"Sort\" = ?"),
                    {strNew, nUserId, eKind == ERecordKind::Income ? 0 : 1, strOld}, strConnection);
}

} // namespace

void Install() {
    CSchema::AddTables(&Ensure);
    CCategoryBook::AddFollower(&FollowCategory);
}

void Ready(const QString& strConnection) {
    Install();
    CSchema::MakeReady(&Ensure, strConnection);
}

} // namespace CImportTables
