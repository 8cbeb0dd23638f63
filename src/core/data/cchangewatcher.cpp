#include "cchangewatcher.h"

#include "cdbexception.h"
#include "ctransaction.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

CChangeWatcher::CChangeWatcher(const QString& strConnection, QObject* pParent)
    : QObject(pParent), m_strConnection(strConnection) {
    m_timer.setInterval(IntervalMs);
    // Coarse: the poll may come a little late, and the system can batch the wake-ups.
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CChangeWatcher::Poll);
}

void CChangeWatcher::Start() {
    m_timer.start();
    Poll();
}

void CChangeWatcher::Stop() {
    m_timer.stop();
}

void CChangeWatcher::Poll() {
    // Inside a transaction (a nested event loop of a message box) the book is this copy's.
    if (CTransaction::IsActive(m_strConnection))
        return;
    const bool bPostgres = !CDatabase::Dialect(m_strConnection).IsSQLite();
    if (bPostgres && CDatabase::IsOpen(m_strConnection)) {
        QSqlError error;
        {
            QSqlQuery probe(QSqlDatabase::database(m_strConnection, false));
            if (!probe.exec(QStringLiteral("SELECT 1")))
                error = probe.lastError();
        }
        if (error.isValid())
            CDatabase::DropIfLost(error, m_strConnection);
    }
    if (!CDatabase::IsOpen(m_strConnection)) {
        // Open again only what the server dropped; the next poll tries again while it is away.
        if (!bPostgres || !CDatabase::IsLost(m_strConnection))
            return;
        // A server machine that is off makes each try wait for the connect timeout on this
        // thread: after a slow failure, wait several times as long before the next one.
        if (!m_retryAfter.hasExpired())
            return;
        QElapsedTimer tried;
        tried.start();
        try {
            CDatabase::Open(m_strConnection);
        } catch (const CDBException&) {
            if (tried.elapsed() > IntervalMs / 2)
                m_retryAfter.setRemainingTime(5 * tried.elapsed());
            return;
        }
        m_retryAfter = QDeadlineTimer();
    }
    // Signals go out after the connection handle is let go: a receiver may close the book.
    enum class ESignal { None, Changed, Replaced } eSignal = ESignal::None;
    {
        const QSqlDatabase db = QSqlDatabase::database(m_strConnection, false);
        QSqlDriver* pDriver = db.driver();
        const bool bNewConnection = pDriver != m_pDriver.data();
        if (bNewConnection) {
            m_pDriver = pDriver;
            m_nDataVersion = -1;
            m_bReplacedSignalled = false;
        }
        if (bPostgres) {
            if (bNewConnection && pDriver) {
                connect(pDriver, &QSqlDriver::notification, this, &CChangeWatcher::OnNotification,
                        Qt::UniqueConnection);
                pDriver->subscribeToNotification(CDatabase::ChangeChannel);
                // Whatever was written while no connection listened went unheard.
                if (m_bHadConnection)
                    eSignal = ESignal::Changed;
                m_bHadConnection = true;
            }
        } else if (!CDatabase::IsSameBookFile(m_strConnection)) {
            if (!m_bReplacedSignalled) {
                m_bReplacedSignalled = true;
                try {
                    CDatabase::CheckBookFile(m_strConnection); // empties the stale log
                } catch (const CDBException&) {
                }
                eSignal = ESignal::Replaced;
            }
        } else {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("PRAGMA data_version")) && query.next()) {
                const qint64 nVersion = query.value(0).toLongLong();
                if (m_nDataVersion >= 0 && nVersion != m_nDataVersion)
                    eSignal = ESignal::Changed;
                m_nDataVersion = nVersion;
            } // else busy or broken: the next poll or the next step will tell
        }
    }
    if (eSignal == ESignal::None && m_bPending)
        eSignal = ESignal::Changed;
    if (eSignal == ESignal::Changed) {
        m_bPending = false;
        emit Changed();
    } else if (eSignal == ESignal::Replaced) {
        emit BookReplaced();
    }
}

void CChangeWatcher::OnNotification(const QString& strName, QSqlDriver::NotificationSource eSource,
                                    const QVariant& payload) {
    if (strName != CDatabase::ChangeChannel || eSource == QSqlDriver::SelfSource ||
        payload.toString() != CDatabase::ChangePayload(m_strConnection) || m_bNoticeQueued)
        return;
    // Told once the driver's loop over its notices has returned: a receiver may find the
    // connection broken and close it, and the loop reads the connection again after each
    // notice. Notices that come together are told once.
    m_bNoticeQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_bNoticeQueued = false;
        emit Changed();
    });
}
