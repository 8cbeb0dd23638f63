#include "cbulkrows.h"

#include "cdbexception.h"
#include "ckepttotals.h"
#include "csearchtext.h"
#include "cschema.h"
#include "ctransaction.h"

#include <QSqlDriver>
#include <QVariant>

#include <exception>
#include <sqlite3.h>

namespace {

sqlite3* SqliteHandle(const QString& strConnection) {
    const QVariant handle = CDatabase::Connection(strConnection).driver()->handle();
    return qstrcmp(handle.typeName(), "sqlite3*") == 0
               ? *static_cast<sqlite3* const*>(handle.constData())
               : nullptr;
}

// Triggers of this connection on or off; the connection's prepared statements are compiled
// again as they next run.
bool SetTriggers(const QString& strConnection, bool bOn) {
    sqlite3* pDb = SqliteHandle(strConnection);
    int nNow = -1;
    return pDb &&
           sqlite3_db_config(pDb, SQLITE_DBCONFIG_ENABLE_TRIGGER, bOn ? 1 : 0, &nNow) ==
               SQLITE_OK &&
           nNow == (bOn ? 1 : 0);
}

} // namespace

CBulkRows::CBulkRows(const QString& strConnection) : m_strConnection(strConnection) {
    if (!CDatabase::Dialect(strConnection).IsSQLite() || !CTransaction::IsActive(strConnection))
        return;
    // A book whose totals were dropped by hand has nothing to catch up (the next opening
    // builds them from every row).
    if (!CKeptTotals::SqliteHasTables(strConnection))
        return;
    QSqlQuery query = CDatabase::Exec(QStringLiteral("SELECT (SELECT MAX(\"编号\") FROM %1), "
                                                     "(SELECT MAX(\"编号\") FROM %2)")
                                          .arg(CSchema::Income, CSchema::Outlay),
                                      {}, strConnection);
    if (!query.next())
        return;
    m_nIncomeAfter = query.value(0).toLongLong();
    m_nOutlayAfter = query.value(1).toLongLong();
    query = QSqlQuery();
    m_bPaused = SetTriggers(strConnection, false);
}

CBulkRows::~CBulkRows() {
    if (!m_bPaused)
        return;
    if (std::uncaught_exceptions() == 0) {
        try {
            Finish();
            return;
        } catch (const CDBException&) {
        }
    }
    Resume();
}

void CBulkRows::Resume() {
    if (m_bPaused)
        SetTriggers(m_strConnection, true);
    m_bPaused = false;
}

void CBulkRows::Finish() {
    if (!m_bPaused)
        return;
    Resume();
    CKeptTotals::AddRowsAfter(m_nIncomeAfter, m_nOutlayAfter, m_strConnection);
    CSearchText::AddRowsAfter(m_nIncomeAfter, m_nOutlayAfter, m_strConnection);
}
