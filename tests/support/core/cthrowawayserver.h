#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PostgreSQL server of a test's own: a throwaway cluster under a temporary folder on a free
// loopback port, trusting local logins, stopped and deleted with the object. Tests that stop
// and start a server use this one, never a shared one.
class CThrowawayServer {
public:
    // The newest installed server programs' folder, or "" when none are installed.
    static QString PgBin();

    bool Init(); // initdb and start; false (with a warning) when that cannot be done
    bool Start();
    bool Stop(const QString& strMode = QStringLiteral("fast"));
    ~CThrowawayServer();
    // The superuser's database, in the schema "book".
    QString Url() const;

private:
    QString DataDir() const;
    bool Run(const QString& strTool, const QStringList& args);

    QTemporaryDir m_dir;
    QString m_strBin;
    int m_nPort = 0;
};
