#pragma once

#include "data/cdatabase.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A fresh, empty book for one test case, opened as the program's default connection.
// The backend comes from LEDGERKIN_TEST_BACKEND: "sqlite" (a temporary file, the default)
// or "pg" (a schema of its own on the server named by LEDGERKIN_TEST_PG, dropped afterwards).
class CTestBook {
public:
    CTestBook();
    ~CTestBook();
    CTestBook(const CTestBook&) = delete;
    CTestBook& operator=(const CTestBook&) = delete;

    // The URL of this book, for a second connection (a second copy of the program).
    QString Url() const { return m_strUrl; }
    // The SQLite file ("" on PostgreSQL).
    QString FilePath() const { return m_strFile; }

    static bool UsePostgres();
    static QString PostgresServer(); // LEDGERKIN_TEST_PG or ""

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
    QString m_strUrl;
    QString m_strFile;
    QString m_strSchema;
};

// main() for a core test: QCoreApplication, and exit code 77 (CTest: skipped) with a note
// when the PostgreSQL half is asked for but no server is configured.
#define LEDGERKIN_CORE_TEST_MAIN(TestObject)                                                       \
    int main(int argc, char** argv) {                                                              \
        QCoreApplication app(argc, argv);                                                          \
        if (CTestBook::UsePostgres() && CTestBook::PostgresServer().isEmpty()) {                   \
            qInfo("LEDGERKIN_TEST_PG is not set: PostgreSQL half skipped");                        \
            return 77;                                                                             \
        }                                                                                          \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
