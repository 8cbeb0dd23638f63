#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "data/cchangewatcher.h"
#include "data/cdbexception.h"
#include "data/ctransaction.h"
#include "users/cuseradmin.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

// A PostgreSQL server stopped and started again while the program has the book open. The
// server is the test's own (a throwaway cluster under a temporary folder), never a shared one.
namespace {

const QString g_strUser = QStringLiteral("张三");
const QString g_strCash = QStringLiteral("现金");
const QString g_strBank = QStringLiteral("银行");
const QDate g_day(2024, 5, 6);

QString PgBin() {
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString strBin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFileInfo::exists(strBin + QStringLiteral("/pg_ctl")))
            return strBin;
    }
    return QString();
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int nPort = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        nPort = ntohs(addr.sin_port);
    ::close(fd);
    return nPort;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The server refuses to run as root: as root it runs as "postgres".
class CThrowawayServer {
public:
    bool Init() {
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
        return Run(QStringLiteral("initdb"),
                   {QStringLiteral("-D"), DataDir(), QStringLiteral("-U"),
                    QStringLiteral("postgres"), QStringLiteral("-A"), QStringLiteral("trust"),
                    QStringLiteral("-E"), QStringLiteral("UTF8"),
                    QStringLiteral("--locale=C.UTF-8")}) &&
               Start();
    }
    bool Start() {
        return Run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), DataDir(), QStringLiteral("-l"),
                    m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
                    QStringLiteral("-o"),
                    QStringLiteral("-c listen_addresses=127.0.0.1 -p %1 -k %2 -c fsync=off")
                        .arg(m_nPort)
                        .arg(m_dir.path()),
                    QStringLiteral("start")});
    }
    bool Stop(const QString& strMode = QStringLiteral("fast")) {
        return Run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), DataDir(), QStringLiteral("-m"), strMode,
                    QStringLiteral("-w"), QStringLiteral("stop")});
    }
    ~CThrowawayServer() {
        if (QFileInfo::exists(DataDir() + QStringLiteral("/postmaster.pid")))
            Stop(QStringLiteral("immediate"));
    }
    QString Url() const {
        return QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres?schema=book")
            .arg(m_nPort);
    }

private:
    QString DataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    bool Run(const QString& strTool, const QStringList& args) {
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

    QTemporaryDir m_dir;
    QString m_strBin;
    int m_nPort = 0;
};

QString Failure(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const CDBException& e) {
        return e.m_strError;
    }
    return QString();
}

bool Transfer(int nAmount, const QString& strConnection = CDatabase::DefaultConnection) {
    return CTransfer::Transfer(g_strUser, g_day, g_strCash, g_strBank, nAmount, strConnection) ==
           CTransfer::EResult::Done;
}

} // namespace

class TestServerRestart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sessionGoesOnAfterTheServerRestarts() {
        CThrowawayServer server;
        QVERIFY(server.Init());
        CDatabase::SetUrl(server.Url());
        CDatabase::SetUrl(server.Url(), QStringLiteral("other"));
        CBookBuilder::SOptions o;
        o.nDays = 3;
        CBookBuilder::AddUser(g_strUser, QStringLiteral("pw"), o);
        CChangeWatcher watcher;
        QSignalSpy changed(&watcher, &CChangeWatcher::Changed);
        watcher.Start();
        QVERIFY(Transfer(1, QStringLiteral("other")));
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 5000);

        // Restarted while the program sat idle: reading and logging in just work.
        QVERIFY(server.Stop());
        const double dCpu = CpuSeconds();
        QTest::qWait(1000); // the watcher's connection is dead meanwhile: no busy loop on it
        QVERIFY2(CpuSeconds() - dCpu < 0.5, "busy while the server was down");
        QVERIFY(server.Start());
        QCOMPARE(CUserAdmin::UserNames(), QStringList{g_strUser});
        QVERIFY(CUserAdmin::CheckPassword(g_strUser, QStringLiteral("pw")));
        QVERIFY(Transfer(2));

        // The other copies' writes are heard again on the new connection.
        watcher.Poll();
        changed.clear();
        CDatabase::Close(QStringLiteral("other"));
        QVERIFY(Transfer(3, QStringLiteral("other")));
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 5000);

        // A write cut off in the middle: reported, and nothing of it stays.
        const QStringList before = CBookBuilder::Dump(QStringLiteral("other"));
        const QString strCut = Failure([&] {
            CTransaction transaction;
            CDatabase::Exec(
                QStringLiteral("UPDATE \"Bank\" SET \"CardCash\" = \"CardCash\" + 100"));
            QVERIFY(server.Stop(QStringLiteral("immediate")));
            CDatabase::Exec(
                QStringLiteral("UPDATE \"Bank\" SET \"CardCash\" = \"CardCash\" + 100"));
            transaction.Commit();
        });
        QVERIFY2(strCut.startsWith(QStringLiteral("与数据库服务器的连接已断开")),
                 qPrintable(strCut));
        // While the server is down every step says so in Chinese.
        for (const QString& s :
             {Failure([] { CUserAdmin::UserNames(); }), Failure([] { Transfer(4); })})
            QVERIFY2(s.contains(QStringLiteral("数据库服务器")), qPrintable(s));
        QVERIFY(server.Start());
        QCOMPARE(CBookBuilder::Dump(QStringLiteral("other")), before);
        QVERIFY(Transfer(5));
        QCOMPARE(CBookBuilder::BalanceProblems(), QStringList());
        CDatabase::Close();
        CDatabase::Close(QStringLiteral("other"));
    }
};

// Runs in the PostgreSQL half only, and needs the server programs, not a configured server.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!CTestBook::UsePostgres()) {
        qInfo("the server restart is tested in the PostgreSQL half");
        return 77;
    }
    if (PgBin().isEmpty()) {
        qInfo("PostgreSQL server programs not installed: skipped");
        return 77;
    }
    TestServerRestart tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_serverrestart.moc"
