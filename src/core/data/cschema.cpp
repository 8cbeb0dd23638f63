#include "cschema.h"

#include "cdatabase.h"
#include "cdbexception.h"
#include "ckepttotals.h"
#include "import/cimporttables.h"

#include <QSqlError>
#include <QSqlQuery>

namespace CSchema {

QStringList CreateStatements(const CSqlDialect& d) {
    const QString text = d.TextType();
    const QString textDef = QStringLiteral("%1 NOT NULL DEFAULT ''").arg(text);
    QStringList list;
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"User\" ("
                           "\"UserID\" %1, "
                           "\"UserName\" %2 NOT NULL UNIQUE, "
                           "\"UserPwd\" %3, "
                           "\"IsSavePwd\" %4 NOT NULL DEFAULT %5, "
                           "\"SavePwd\" %3)")
                .arg(d.AutoKey(), text, textDef, d.BoolType(), d.FalseLiteral());
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"Bank\" ("
                           "\"编号\" %1, "
                           "\"UserName\" %2, "
                           "\"CardName\" %2, "
                           "\"CardSum\" %2, "
                           "\"CardCash\" %3 NOT NULL DEFAULT 0)")
                .arg(d.AutoKey(), textDef, d.DoubleType());
    for (const char* table : {"Income", "Outlay"}) {
        list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"%1\" ("
                               "\"编号\" %2, "
                               "\"UserName\" %3, "
                               "\"Date\" %4, "
                               "\"Sort\" %3, "
                               "\"Note\" %3, "
                               "\"Amount\" %5 NOT NULL DEFAULT 0, "
                               "\"Bank\" %3)")
                    .arg(QLatin1String(table), d.AutoKey(), textDef, d.DateType(), d.DoubleType());
    }
    list << QStringLiteral("CREATE TABLE IF NOT EXISTS \"Trs\" ("
                           "\"编号\" %1, "
                           "\"UserName\" %2, "
                           "\"TrsDate\" %3, "
                           "\"TrsFrom\" %2, "
                           "\"TrsIn\" %2, "
                           "\"TrsAmount\" %4 NOT NULL DEFAULT 0)")
                .arg(d.AutoKey(), textDef, d.DateType(), d.DoubleType());
    // (UserName, Date) leads, so day lookups and ranges use it; the columns after it let
    // summaries and charts over many years read the index alone, not every row.
    for (const char* table : {"Income", "Outlay"}) {
        list << QStringLiteral(
                    "CREATE INDEX IF NOT EXISTS \"IX_%1_User_Date_Cover\" ON \"%1\" (%2)")
                    .arg(QLatin1String(table), d.RecordIndexColumns());
    }
    list << QStringLiteral("CREATE INDEX IF NOT EXISTS \"IX_Bank_User_Card\" ON \"Bank\" "
                           "(\"UserName\", \"CardName\")");
    list << QStringLiteral(
        "CREATE INDEX IF NOT EXISTS \"IX_Trs_User\" ON \"Trs\" (\"UserName\", \"TrsDate\")");
    return list;
}

void Create(QSqlDatabase db, const CSqlDialect& dialect, const QStringList& statements) {
    QSqlQuery query(db);
    for (const QString& sql : statements) {
        if (!query.exec(sql))
            throw CDBException(CDatabase::ErrorText(query.lastError(), dialect.Kind()));
    }
}

void Ensure(QSqlDatabase db, const CSqlDialect& dialect) {
    Create(db, dialect, CreateStatements(dialect));
    // Tables the program adds beside the five: created here, filled when a book lacks them.
    CKeptTotals::Ensure(db, dialect);
    CImportTables::Ensure(db, dialect);
}

} // namespace CSchema
