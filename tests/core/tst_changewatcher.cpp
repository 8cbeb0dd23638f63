#include "accounts/ctransfer.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "data/cchangewatcher.h"

#include <QSignalSpy>
#include <QtTest>

// Two copies of the program on one book: each copy's watcher hears the other's writes, and
// not its own (a copy that reloaded on its own writes would reload after every confirm).
class TestChangeWatcher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void otherCopiesWritesAreNoticed() {
        CTestBook book;
        const QString strOther = QStringLiteral("other");
        CDatabase::SetUrl(book.Url(), strOther);
        CBookBuilder::SOptions o;
        o.nDays = 2;
        CBookBuilder::AddUser(QStringLiteral("张三"), QStringLiteral("pw"), o);
        const auto transfer = [](const QString& strConnection) {
            QCOMPARE(CTransfer::Transfer(QStringLiteral("张三"), QDate(2024, 5, 6),
                                         QStringLiteral("现金"), QStringLiteral("银行"), 1,
                                         strConnection),
                     CTransfer::EResult::Done);
        };
        transfer(strOther); // both connections open

        CChangeWatcher mine, theirs(strOther);
        QSignalSpy mineChanged(&mine, &CChangeWatcher::Changed);
        QSignalSpy theirsChanged(&theirs, &CChangeWatcher::Changed);
        mine.Start();
        theirs.Start();
        for (int nRound = 0; nRound < 2; ++nRound) {
            transfer(strOther);
            QTRY_VERIFY_WITH_TIMEOUT((mine.Poll(), mineChanged.count() == nRound + 1), 5000);
        }
        theirs.Poll();
        QCOMPARE(theirsChanged.count(), 0);
        transfer(CDatabase::DefaultConnection);
        QTRY_VERIFY_WITH_TIMEOUT((theirs.Poll(), theirsChanged.count() == 1), 5000);
        QTest::qWait(200);
        mine.Poll();
        QCOMPARE(mineChanged.count(), 2);
        CDatabase::Close(strOther);
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestChangeWatcher)
#include "tst_changewatcher.moc"
