#include "cthrowawayserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A free loopback port below the kernel's range for outgoing connections (32768 up): no client
// socket of the tests running beside this one takes it, not even while the server restarts.
int FreePort() {
    for (int nTry = 0; nTry < 200; ++nTry) {
        const int nPort = 20000 + QRandomGenerator::global()->bounded(12000);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(nPort));
        const bool bFree = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (bFree)
            return nPort;
    }
    return 0;
}

} // namespace

QString CThrowawayServer::PgBin() {
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString strBin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFileInfo::exists(strBin + QStringLiteral("/pg_ctl")))
            return strBin;
    }
    return QString();
}

// The server refuses to run as root: as root it runs as "postgres".
bool CThrowawayServer::Init() {
    m_strBin = PgBin();
    m_nPort = FreePort();
    if (m_strBin.isEmpty() || !m_dir.isValid() || m_nPort == 0)
        return false;
    if (::geteuid() == 0) {
        const passwd* pw = ::getpwnam("postgres");
        if (!pw ||
            ::chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0)
            return false;
    }
    if (!Run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), DataDir(), QStringLiteral("-U"), QStringLiteral("postgres"),
              QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")}))
        return false;
    // A port taken between the probe and the start is given up for another.
    for (int nTry = 0; nTry < 5; ++nTry) {
        if (Start())
            return true;
        m_nPort = FreePort();
    }
    return false;
}

bool CThrowawayServer::Start() {
    return Run(QStringLiteral("pg_ctl"),
               {QStringLiteral("-D"), DataDir(), QStringLiteral("-l"),
                m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
                QStringLiteral("-o"),
                QStringLiteral("-c listen_addresses=127.0.0.1 -p %1 -k %2 -c fsync=off")
                    .arg(m_nPort)
                    .arg(m_dir.path()),
                QStringLiteral("start")});
}

bool CThrowawayServer::Stop(const QString& strMode) {
    return Run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), DataDir(), QStringLiteral("-m"),
                                          strMode, QStringLiteral("-w"), QStringLiteral("stop")});
}

CThrowawayServer::~CThrowawayServer() {
    if (QFileInfo::exists(DataDir() + QStringLiteral("/postmaster.pid")))
        Stop(QStringLiteral("immediate"));
}

QString CThrowawayServer::Url() const {
    return QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres?schema=book").arg(m_nPort);
}

QString CThrowawayServer::DataDir() const {
    return m_dir.filePath(QStringLiteral("data"));
}

bool CThrowawayServer::Run(const QString& strTool, const QStringList& args) {
    QProcess process;
    if (::geteuid() == 0)
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                  QStringLiteral("--"), m_strBin + QLatin1Char('/') + strTool} +
                          args);
    else
        process.start(m_strBin + QLatin1Char('/') + strTool, args);
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        qWarning("%s failed: %s%s", qPrintable(strTool),
                 process.readAllStandardOutput().constData(),
                 process.readAllStandardError().constData());
        return false;
    }
    return true;
}
