#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "cthrowawayserver.h"
#include "data/cchangewatcher.h"
#include "data/cdbexception.h"
#include "data/ctransaction.h"
#include "users/cuseradmin.h"

#include <QSignalSpy>
#include <QtTest>
#include <sys/resource.h>

// A PostgreSQL server stopped and started again while the program has the book open. The
// server is the test's own (a throwaway cluster under a temporary folder), never a shared one.
namespace {

const QString g_strUser = QStringLiteral("张三");
const QString g_strCash = QStringLiteral("现金");
const QString g_strBank = QStringLiteral("银行");
const QDate g_day(2024, 5, 6);

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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
    if (CThrowawayServer::PgBin().isEmpty()) {
        qInfo("PostgreSQL server programs not installed: skipped");
        return 77;
    }
    TestServerRestart tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_serverrestart.moc"
