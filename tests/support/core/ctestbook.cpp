#include "ctestbook.h"

#include "data/cdbexception.h"
#include "import/cimporttables.h"
#include "plans/cplantables.h"
#include "records/ccategorybook.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

bool CTestBook::UsePostgres() {
    return qEnvironmentVariable("LEDGERKIN_TEST_BACKEND") == QLatin1String("pg");
}

QString CTestBook::PostgresServer() {
    return qEnvironmentVariable("LEDGERKIN_TEST_PG");
}

CTestBook::CTestBook() {
    if (UsePostgres()) {
        m_strSchema = QStringLiteral("t_%1_%2")
                          .arg(QCoreApplication::applicationPid())
                          .arg(QRandomGenerator::global()->generate64(), 0, 16);
        QUrl url(PostgresServer());
        QUrlQuery query(url);
        query.removeAllQueryItems(QStringLiteral("schema"));
        query.addQueryItem(QStringLiteral("schema"), m_strSchema);
        url.setQuery(query);
        m_strUrl = url.toString();
    } else {
        m_pDir = std::make_unique<QTemporaryDir>();
        m_strFile = m_pDir->filePath(QStringLiteral("book.db"));
        m_strUrl = m_strFile;
    }
    // As the program does at start: a book as the program makes it.
    CImportTables::Install();
    CPlanTables::Install();
    CCategoryBook::Install();
    CDatabase::SetUrl(m_strUrl);
    CDatabase::Open();
}

CTestBook::~CTestBook() {
    if (!m_strSchema.isEmpty() && CDatabase::IsOpen()) {
        QSqlQuery query(CDatabase::Connection());
        query.exec(QStringLiteral("SET search_path TO public"));
        query.exec(QStringLiteral("DROP SCHEMA \"%1\" CASCADE").arg(m_strSchema));
    }
    CDatabase::Close();
}
