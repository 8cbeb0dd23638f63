#pragma once

#include "cdatabase.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QSqlDriver>
#include <QTimer>

// Notices, while the program sits idle, that another copy of the program (or another
// computer) has written the open book, and that an SQLite book's file was replaced.
//
// SQLite: every IntervalMs the connection's PRAGMA data_version is read; it changes only
// when another connection has committed, and costs no file access beyond a lock check.
// PostgreSQL: every write of the program notifies CDatabase::ChangeChannel inside its
// transaction; the watcher listens on the connection and hears the other copies' notices
// as they commit. The timer checks that the connection is still there (one trivial query): a
// connection the server dropped (a restart, an outage) is opened again as soon as the server
// answers, and since notices sent meanwhile were lost, that counts as a change.
//
// The watcher never opens a book that was not open: a book not open yet has nothing to show.
class CChangeWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 2000;

    explicit CChangeWatcher(const QString& strConnection = CDatabase::DefaultConnection,
                            QObject* pParent = nullptr);

    void Start();
    void Stop();
    bool IsRunning() const { return m_timer.isActive(); }
    // A receiver that could not show a change yet (an edit was open) asks to hear of it again
    // at the next poll.
    void Defer() { m_bPending = true; }

public Q_SLOTS:
    // One look at the book; the timer calls it, tests call it directly.
    void Poll();

Q_SIGNALS:
    void Changed();      // another copy wrote the book
    void BookReplaced(); // the book's file was deleted, moved or replaced (once per opening)

private:
    void OnNotification(const QString& strName, QSqlDriver::NotificationSource eSource,
                        const QVariant& payload);

    QString m_strConnection;
    QTimer m_timer;
    QPointer<QSqlDriver> m_pDriver; // the connection the baseline / subscription belongs to
    qint64 m_nDataVersion = -1;
    bool m_bReplacedSignalled = false;
    bool m_bPending = false;
    bool m_bHadConnection = false; // PostgreSQL: a connection was listened on before
    bool m_bNoticeQueued = false;  // PostgreSQL: a notice is about to be told
    QDeadlineTimer m_retryAfter;   // PostgreSQL: no new try to connect before it expires
                                   // (constructed expired)
};
