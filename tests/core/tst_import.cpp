#include "accounts/caccountlist.h"
#include "accounts/ctransfer.h"
#include "analysis/cchartdata.h"
#include "analysis/cperiodstats.h"
#include "cbookbuilder.h"
#include "ctestbook.h"
#include "ctestrows.h"
#include "ctestworkbook.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "import/ccsvparser.h"
#include "import/cexporter.h"
#include "import/cimporter.h"
#include "import/cimporterror.h"
#include "import/cqifreader.h"
#include "import/cstatementfile.h"
#include "import/ctextdecoder.h"
#include "records/ccategorybook.h"
#include "records/cdaybook.h"

#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kUser = QStringLiteral("张三");
const QString kCash = QStringLiteral("现金");
const QString kBank = QStringLiteral("银行");

// A user as the new-user dialog leaves it (accounts at zero, first days opened), written
// directly: the password hash would make every case slow.
void NewUser(const QString& strUser, const QStringList& accounts = {kCash, kBank},
             const QDate& firstDay = QDate(2023, 12, 1)) {
    CDatabase::Exec(QStringLiteral("INSERT INTO \"User\" (\"UserName\") VALUES (?)"), {strUser});
    for (const QString& a : accounts)
        CTestRows::AddBank(strUser, a, 0);
    CDayBook(ERecordKind::Income, strUser).OpenDay(firstDay);
    CDayBook(ERecordKind::Outlay, strUser).OpenDay(firstDay);
}

// The statements written here are where the readers' fuzz targets start (scripts/fuzz names
// the folder).
void KeepAsSeed(const QString& strPath) {
    const QString strDir = qEnvironmentVariable("LEDGERKIN_SEED_DIR");
    static int s_nSeeds = 0;
    if (!strDir.isEmpty())
        QFile::copy(
            strPath,
            QDir(strDir).filePath(
                QStringLiteral("%1-%2").arg(++s_nSeeds).arg(QFileInfo(strPath).fileName())));
}

QString WriteFile(const QTemporaryDir& dir, const QString& strName, const QByteArray& bytes) {
    const QString strPath = dir.filePath(strName);
    QFile f(strPath);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.close();
    KeepAsSeed(strPath);
    return strPath;
}

QByteArray Gb18030(const QString& s) {
    QStringEncoder enc("GB18030");
    return enc.encode(s);
}

QString WriteXlsx(const QTemporaryDir& dir, const QString& strName,
                  const QList<QStringList>& rows) {
    const QString strPath =
        CTestWorkbook::Write(dir.filePath(strName), {{QStringLiteral("账单"), rows}});
    KeepAsSeed(strPath);
    return strPath;
}

// The book's records of a user (placeholders left out), in the order written.
QStringList Records(const QString& strUser = kUser) {
    QStringList list;
    for (const char* szTable : {"Income", "Outlay"}) {
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT \"Date\", \"Sort\", \"Note\", \"Amount\", \"Bank\" FROM \"%1\" "
                           "WHERE \"UserName\" = ? AND \"Amount\" <> 0 ORDER BY \"编号\"")
                .arg(QLatin1String(szTable)),
            {strUser});
        while (q.next())
            list << QStringLiteral("%1|%2|%3|%4|%5|%6")
                        .arg(QLatin1String(szTable),
                             CDatabase::Dialect()
                                 .ReadDateTime(q.value(0))
                                 .date()
                                 .toString(Qt::ISODate),
                             q.value(1).toString(), q.value(2).toString(),
                             CMoney::Format(q.value(3).toDouble()), q.value(4).toString());
    }
    return list;
}

QStringList Balances(const QString& strUser = kUser) {
    QStringList list;
    for (const auto& a : CAccountList::Load(strUser))
        list << a.strName + QLatin1Char('=') + CMoney::Format(a.dCash);
    return list;
}

// What marks imported rows, sorted. Books keep these texts: they must never change, or a
// statement imported by an earlier copy would be imported again.
QStringList StoredKeys() {
    QStringList list;
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT \"ExtKey\" FROM \"ImportedId\""));
    while (q.next())
        list << q.value(0).toString();
    list.sort();
    return list;
}

struct SRun {
    CPreviewRows rows;
    CImporter::SResult result;
};

// Reads a file in the format it is recognised as (or the given one) and imports its ticked rows.
SRun Import(const QString& strPath, const QString& strAccount = kCash,
            const SColumnMapping& mapping = {}, int nHeader = -1, bool bWrite = true,
            const QString& strUser = kUser) {
    CStatementFile file;
    file.Load(strPath);
    const SStatement st = file.Read(file.Detected(), mapping, nHeader);
    CImporter importer(strUser);
    SRun run;
    if (!importer.Preview(st, strAccount, importer.Rules(), run.rows))
        return run;
    if (bWrite)
        run.result = importer.Import(run.rows);
    return run;
}

// "ticked/why" for every preview row, to check greying and duplicates at a glance.
QStringList States(const CPreviewRows& rows) {
    QStringList list;
    for (const SPreviewRow& r : rows)
        list << (r.bTicked ? QStringLiteral("+") : QStringLiteral("-") + r.strReason);
    return list;
}

const QString kAlipayHead = QStringLiteral(
    "支付宝交易记录明细查询\n"
    "账号:[someone@example.com]\n"
    "起始时间:[2024-01-01 00:00:00]    终止时间:[2024-01-31 23:59:59]\n"
    "---------------------------------交易记录明细列表------------------------------------\n"
    "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,"
    "商家订单号,备注,\n");
const QString kAlipayRows = QStringLiteral(
    "2024-01-05 12:30:45,餐饮美食,肯德基,kfc@example.com,\"套餐A,加大\",支出,35.50,余额宝,"
    "交易成功,2024010522001\t,T001\t,,\n"
    "2024-01-06 09:00:00,收入,某公司,,一月工资,收入,8000.00,,交易成功,2024010622002\t,,,\n"
    "2024-01-07 10:00:00,日用百货,淘宝商家,,\"床单\n两件\",支出,¥99.99,花呗,交易关闭,"
    "2024010722003\t,,,\n"
    "2024-01-08 11:00:00,投资理财,余额宝,,转入余额宝,不计收支,100.00,余额,交易成功,"
    "2024010822004\t,,,\n"
    "2024-01-09 12:00:00,退款,淘宝商家,,退款-衬衫,收入,20.00,,退款成功,2024010922005\t,,,\n"
    "2024/1/10 8:05,交通出行,滴滴出行,,快车,支出,\"¥1,234.565\",,交易成功,2024011022006\t,,,\n");
const QString kAlipayTail = QStringLiteral(
    "------------------------------------------------------------------------------------\n"
    "共6笔记录\n");

const QStringList kWechatHead = {
    QStringLiteral("微信支付账单明细"), QStringLiteral("微信昵称：[某人]"),
    QStringLiteral("起始时间：[2024-01-01 00:00:00] 终止时间：[2024-01-31 23:59:59]"),
    QStringLiteral("----------------------微信支付账单明细列表--------------------")};
const QList<QStringList> kWechatTable = {
    QStringLiteral("交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,"
                   "商户单号,备注")
        .split(QLatin1Char(',')),
    {QStringLiteral("2024-01-05 08:00:00"), QStringLiteral("商户消费"), QStringLiteral("星巴克"),
     QStringLiteral("拿铁"), QStringLiteral("支出"), QStringLiteral("¥32.00"),
     QStringLiteral("零钱"), QStringLiteral("支付成功"), QStringLiteral("W1"), QStringLiteral("M1"),
     QStringLiteral("/")},
    {QStringLiteral("2024-01-06 09:00:00"), QStringLiteral("零钱提现"),
     QStringLiteral("招商银行(1234)"), QStringLiteral("/"), QStringLiteral("/"),
     QStringLiteral("¥500.00"), QStringLiteral("招商银行"), QStringLiteral("提现已到账"),
     QStringLiteral("W2"), QStringLiteral("/"), QStringLiteral("/")},
    {QStringLiteral("2024-01-07 10:00:00"), QStringLiteral("微信红包"), QStringLiteral("李四"),
     QStringLiteral("/"), QStringLiteral("收入"), QStringLiteral("¥66.66"), QStringLiteral("/"),
     QStringLiteral("已存入零钱"), QStringLiteral("W3"), QStringLiteral("/"), QStringLiteral("/")},
    {QStringLiteral("2024-01-08 11:00:00"), QStringLiteral("美团-退款"), QStringLiteral("美团"),
     QStringLiteral("外卖, 退款"), QStringLiteral("收入"), QStringLiteral("¥15.50"),
     QStringLiteral("零钱"), QStringLiteral("已全额退款"), QStringLiteral("W4"),
     QStringLiteral("/"), QStringLiteral("/")},
    {QStringLiteral("2024-01-09 12:00:00"), QStringLiteral("转账"), QStringLiteral("王五"),
     QStringLiteral("/"), QStringLiteral("支出"), QStringLiteral("¥200.00"), QStringLiteral("零钱"),
     QStringLiteral("对方已退还"), QStringLiteral("W5"), QStringLiteral("/"), QStringLiteral("/")},
};

QByteArray WechatCsv() {
    QString s;
    for (const QString& line : kWechatHead)
        s += line + QStringLiteral(",,,,,,,,,,\n");
    for (const QStringList& row : kWechatTable) {
        QStringList cells;
        for (const QString& c : row)
            cells << (c.contains(QLatin1Char(',')) ? QLatin1Char('"') + c + QLatin1Char('"') : c);
        s += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + s.toUtf8();
}

const QString kOfx = QStringLiteral(
    "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\nSECURITY:NONE\nENCODING:UTF-8\nCHARSET:NONE\n"
    "COMPRESSION:NONE\nOLDFILEUID:NONE\nNEWFILEUID:NONE\n\n"
    "<OFX><SIGNONMSGSRSV1><SONRS><STATUS><CODE>0<SEVERITY>INFO</STATUS>"
    "<DTSERVER>20240131120000<LANGUAGE>CHI</SONRS></SIGNONMSGSRSV1>"
    "<BANKMSGSRSV1><STMTTRNRS><TRNUID>1<STATUS><CODE>0<SEVERITY>INFO</STATUS>"
    "<STMTRS><CURDEF>CNY<BANKACCTFROM><BANKID>0102<ACCTID>6222000011112222"
    "<ACCTTYPE>CHECKING</BANKACCTFROM><BANKTRANLIST><DTSTART>20240101<DTEND>20240131\n"
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240105120000<TRNAMT>-45.10<FITID>F1<NAME>超市"
    "<MEMO>日用品</STMTTRN>\n"
    "<STMTTRN><TRNTYPE>CREDIT<DTPOSTED>20240110120000<TRNAMT>5000.00<FITID>F2<NAME>Payroll"
    "</STMTTRN>\n"
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240111120000<TRNAMT>-0.01<FITID>F3<NAME>Fee"
    "</STMTTRN>\n"
    "</BANKTRANLIST><LEDGERBAL><BALAMT>4954.89<DTASOF>20240131</LEDGERBAL></STMTRS>"
    "</STMTTRNRS></BANKMSGSRSV1></OFX>\n");
} // namespace

class TestImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each statement layout, imported row by row: what is written, what is greyed and why,
    // the days opened and the balance moved.
    void importsStatements_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("balance");

        const QString strAlipay = kAlipayHead + kAlipayRows + kAlipayTail;
        const QStringList alipayStates = {
            QStringLiteral("+"),
            QStringLiteral("+"),
            QStringLiteral("-交易状态是“交易关闭”：交易没有成交，钱款没有变动。"),
            QStringLiteral("-文件记为“不计收支”：不是收入也不是支出，钱款没有进出。"),
            QStringLiteral("+"),
            QStringLiteral("+")};
        const QStringList alipayRecords = {
            QStringLiteral("Income|2024-01-06|工资收入|某公司 一月工资|8000.00|现金"),
            QStringLiteral("Income|2024-01-09|其它收入|淘宝商家 退款-衬衫|20.00|现金"),
            QStringLiteral("Outlay|2024-01-05|用餐支出|肯德基 套餐A,加大|35.50|现金"),
            QStringLiteral("Outlay|2024-01-10|交通支出|滴滴出行 快车|1234.57|现金")};
        QTest::newRow("支付宝 GB18030")
            << "a.csv" << Gb18030(strAlipay) << int(EStatementFormat::Alipay) << alipayStates
            << alipayRecords << "6749.93";
        QTest::newRow("支付宝 UTF-8 BOM")
            << "a.csv" << QByteArray("\xEF\xBB\xBF") + strAlipay.toUtf8()
            << int(EStatementFormat::Alipay) << alipayStates << alipayRecords << "6749.93";

        const QStringList wechatStates = {
            QStringLiteral("+"), QStringLiteral("-本人零钱与银行卡之间的转账，不是收支。"),
            QStringLiteral("+"), QStringLiteral("+"),
            QStringLiteral("-交易状态是“对方已退还”：交易没有成交，钱款没有变动。")};
        const QStringList wechatRecords = {
            QStringLiteral("Income|2024-01-07|其它收入|李四|66.66|现金"),
            QStringLiteral("Income|2024-01-08|其它收入|美团 外卖, 退款|15.50|现金"),
            QStringLiteral("Outlay|2024-01-05|用餐支出|星巴克 拿铁|32.00|现金")};
        QTest::newRow("微信 CSV") << "w.csv" << WechatCsv() << int(EStatementFormat::Wechat)
                                  << wechatStates << wechatRecords << "50.16";
        QTest::newRow("微信 XLSX") << "w.xlsx" << QByteArray() << int(EStatementFormat::Wechat)
                                   << wechatStates << wechatRecords << "50.16";

        QTest::newRow("OFX")
            << "s.ofx" << kOfx.toUtf8() << int(EStatementFormat::Ofx)
            << QStringList{QStringLiteral("+"), QStringLiteral("+"), QStringLiteral("+")}
            << QStringList{QStringLiteral("Income|2024-01-10|其它收入|Payroll|5000.00|现金"),
                           QStringLiteral("Outlay|2024-01-05|购物支出|超市 日用品|45.10|现金"),
                           QStringLiteral("Outlay|2024-01-11|其它支出|Fee|0.01|现金")}
            << "4954.89";

        // Two account blocks, a transfer written on both sides, an opening balance, a
        // day-first date order, thousands separators and a category of ours.
        const QString strQif = QStringLiteral("!Account\nN现金\nTCash\n^\n!Type:Cash\n"
                                              "D15/01/2024\nT-1,000.00\nL[银行]\n^\n"
                                              "D01/01/2024\nT50.00\nPOpening Balance\nL[现金]\n^\n"
                                              "D03/01/2024\nT-12.30\nP面馆\nM午饭\nL用餐支出\n^\n"
                                              "!Account\nN银行\nTBank\n^\n!Type:Bank\n"
                                              "D15/01/2024\nT1,000.00\nL[现金]\n^\n"
                                              "D20/01/2024\nT2,500.5\nP公司\nL工资收入:基本\n^\n");
        QTest::newRow("QIF")
            << "b.qif" << strQif.toUtf8() << int(EStatementFormat::Qif)
            << QStringList{QStringLiteral("+"),
                           QStringLiteral("-这是账户的期初余额，不是一笔收支。"),
                           QStringLiteral("+"),
                           QStringLiteral("-这是转账的另一半，已在“现金”中计入。"),
                           QStringLiteral("+")}
            << QStringList{QStringLiteral("Income|2024-01-20|其它收入|公司|2500.50|银行"),
                           QStringLiteral("Outlay|2024-01-03|用餐支出|面馆 午饭|12.30|现金")}
            << "-1012.30";
    }
    void importsStatements() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, format);
        QFETCH(QStringList, states);
        QFETCH(QStringList, records);
        QFETCH(QString, balance);
        CTestBook book;
        NewUser(kUser);
        QTemporaryDir dir;
        QList<QStringList> sheet;
        for (const QString& line : kWechatHead)
            sheet << QStringList{line};
        sheet += kWechatTable;
        const QString strPath =
            bytes.isEmpty() ? WriteXlsx(dir, name, sheet) : WriteFile(dir, name, bytes);

        CStatementFile file;
        file.Load(strPath);
        QCOMPARE(int(file.Detected()), format);
        const SRun run = Import(strPath);
        QCOMPARE(States(run.rows), states);
        QVERIFY(run.result.bDone);
        QCOMPARE(Records(), records);
        QCOMPARE(Balances().first(), kCash + QLatin1Char('=') + balance);
        // Every day that got a record was opened as the new-day dialog does.
        for (const SPreviewRow& r : run.rows)
            if (r.bTicked && r.src.eType != SStatementRow::EType::Transfer)
                QVERIFY(CDayBook(r.src.Kind(), kUser).HasDay(r.src.date));
    }

    // The same file twice adds nothing; an overlapping statement adds only its new rows,
    // also for a file without ids; a record typed by hand is recognised as well.
    void duplicatesAreUnticked() {
        CTestBook book;
        NewUser(kUser);
        QTemporaryDir dir;
        const QString strFirst = WriteFile(dir, QStringLiteral("a.csv"),
                                           Gb18030(kAlipayHead + kAlipayRows + kAlipayTail));
        Import(strFirst);
        const QStringList once = Records();
        const QStringList balance = Balances();
        const SRun again = Import(strFirst);
        QCOMPARE(again.result.nIncome + again.result.nOutlay, 0);
        QCOMPARE(Records(), once);
        QCOMPARE(Balances(), balance);
        QVERIFY(States(again.rows).contains(QStringLiteral("-以前导入过这笔交易。")));

        const QString strOverlap = WriteFile(
            dir, QStringLiteral("b.csv"),
            (kAlipayHead + kAlipayRows.section(QLatin1Char('\n'), 5) +
             QStringLiteral("2024-01-11 12:00:00,餐饮美食,面馆,,牛肉面,支出,18.00,,交易成功,"
                            "2024011122007,,,\n"))
                .toUtf8());
        const SRun overlap = Import(strOverlap);
        QCOMPARE(overlap.result.nOutlay, 1);
        QCOMPARE(Records().size(), once.size() + 1);

        // A CSV without ids: the second, overlapping file and a hand-typed record.
        CTestRows::AddRecord<COutlaySet>(kUser, QDateTime(QDate(2024, 2, 3), QTime(0, 0)), kBank,
                                         QStringLiteral("用餐支出"), QStringLiteral("早点"), 6);
        SColumnMapping m;
        m.nDate = 0;
        m.nAmount = 1;
        m.nNote = 2;
        const QString strHead = QStringLiteral("日期,金额,摘要\n");
        const QString strA = WriteFile(dir, QStringLiteral("c.csv"),
                                       (strHead + QStringLiteral("2024-02-01,-5.00,咖啡\n"
                                                                 "2024-02-01,-5.00,咖啡\n"))
                                           .toUtf8());
        QCOMPARE(Import(strA, kBank, m, 0).result.nOutlay, 2);
        for (const char* sz : {"row:9dd79daaf8eb5864083d7f42d862866f402537c2:1",
                               "row:9dd79daaf8eb5864083d7f42d862866f402537c2:2"})
            QVERIFY2(StoredKeys().contains(QLatin1String(sz)), sz);
        const QString strB =
            WriteFile(dir, QStringLiteral("d.csv"),
                      (strHead + QStringLiteral("2024-02-01,-5.00,咖啡\n2024-02-01,-5.00,咖啡\n"
                                                "2024-02-01,-5.00,咖啡\n2024-02-03,-6.00,早点\n"))
                          .toUtf8());
        const SRun b = Import(strB, kBank, m, 0);
        QCOMPARE(States(b.rows),
                 QStringList({QStringLiteral("-以前导入过这笔交易。"),
                              QStringLiteral("-以前导入过这笔交易。"), QStringLiteral("+"),
                              QStringLiteral("-账本中已有同一天、同金额、同备注的记录。")}));
        QCOMPARE(b.result.nOutlay, 1);
    }

    // Statements with the traits of real exports (tests/fixtures/import): for each, the rows
    // that move money, their days and the money moved, hand-computed to the cent; what the
    // preview says of the telling rows; a second import adds nothing, also in a book whose
    // import ids were stored as earlier copies stored them (id and direction only).
    void statementFixtures_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QString>("income");
        QTest::addColumn<QString>("outlay");
        QTest::addColumn<QString>("net");
        QTest::addColumn<QStringList>("says");
        const auto days = [](const char* szYear, std::initializer_list<const char*> list) {
            QStringList out;
            for (const char* sz : list)
                out << QString::fromLatin1(szYear) + QLatin1Char('-') + QString::fromLatin1(sz);
            return out;
        };
        // Refunds: partial against a payment counted in full (also one marked 其他), of
        // closed payments (neutral and 收入), with 收入 and no payment, neutral and no payment.
        QTest::newRow("支付宝 退款")
            << "alipay-refunds.csv" << int(EStatementFormat::Alipay)
            << days("2024", {"03-01", "03-02", "03-06", "03-09", "03-10", "03-10"}) << "8085.00"
            << "330.00"
            << "7755.00"
            << QStringList{
                   QStringLiteral("退款：第 11 行 300.00 的部分退款"),
                   QStringLiteral("退款：第 21 行 30.00 的部分退款"),
                   QStringLiteral(
                       "这是第 13 行那笔已关闭交易的退款：付款没有成交，退款也没有钱款变动。"),
                   QStringLiteral(
                       "这是第 15 行那笔已关闭交易的退款：付款没有成交，退款也没有钱款变动。"),
                   QStringLiteral("不计收支的退款：本文件中没有它退还的那笔付款，钱款不计入。")};
        // One order number for different trades, a true repeat, a closed row before the
        // payment it shares everything with, ids written `"123"<TAB>`.
        QTest::newRow("微信 共用单号")
            << "wechat-shared-ids.csv" << int(EStatementFormat::Wechat)
            << days("2024", {"04-01", "04-01", "04-02", "04-03", "04-04", "04-06"}) << "74.66"
            << "79.00"
            << "-4.34"
            << QStringList{QStringLiteral("与第 8 行完全相同，是文件中重复的一行。"),
                           QStringLiteral("文件记为“/”：不是收入也不是支出，钱款没有进出。")};
        // The web export: 资金状态 gives a refund's direction, the day money moved is the day;
        // money back under a closed payment's order number moves nothing, refund or not.
        QTest::newRow("支付宝 网页版")
            << "alipay-web.csv" << int(EStatementFormat::Alipay)
            << days("2016", {"08-01", "08-04", "08-05", "08-06", "08-08"}) << "300.00"
            << "508.50"
            << "-208.50"
            << QStringList{
                   QStringLiteral(
                       "这是第 7 行那笔已关闭交易的退款：付款没有成交，退款也没有钱款变动。"),
                   QStringLiteral("交易状态是“等待付款”：交易没有成交，钱款没有变动。"),
                   QStringLiteral(
                       "这是第 15 行那笔已关闭交易的退款：付款没有成交，退款也没有钱款变动。")};
        // Comment lines first, a date among the splits, a transfer to an account the book lacks.
        QTest::newRow("QIF") << "qif-comments-splits.qif" << int(EStatementFormat::Qif)
                             << days("2020", {"02-10", "02-12", "02-15", "02-16"}) << "3000.00"
                             << "650.00"
                             << "2350.00"
                             << QStringList{QStringLiteral(
                                    "转账到“My Cc”：账本中没有这个账户，记为支出；在类别中选"
                                    "一个账户可改为转账。")};
        // Times with zones that land on another day in UTC, UTC+8 or New York.
        QTest::newRow("OFX") << "ofx-card-zones.ofx" << int(EStatementFormat::Ofx)
                             << days("2001", {"01-02", "01-05", "01-10"}) << "100.00"
                             << "58.01"
                             << "41.99" << QStringList();
        // No header: date, text, debit, credit, balance.
        QTest::newRow("CSV 无表头")
            << "bank-no-header.csv" << int(EStatementFormat::Csv)
            << days("2024", {"05-01", "05-02", "05-03", "05-04"}) << "8023.45"
            << "2623.45"
            << "5400.00" << QStringList();
        // Unsigned amounts beside a 收/支 column: the guess takes the direction from its words.
        QTest::newRow("CSV 收/支列")
            << "bank-direction-column.csv" << int(EStatementFormat::Csv)
            << days("2024", {"06-01", "06-02", "06-04"}) << "500.00"
            << "47.00"
            << "453.00"
            << QStringList{
                   QStringLiteral("文件记为“不计收支”：不是收入也不是支出，钱款没有进出。")};
        // A bank's header, separate income and outlay columns, dates as eight digits.
        QTest::newRow("CSV yyyyMMdd") << "bank-header-yyyymmdd.csv" << int(EStatementFormat::Csv)
                                      << days("2024", {"07-01", "07-02"}) << "5000.00"
                                      << "88.80"
                                      << "4911.20" << QStringList();
        // Two sheets, saved showing the second (written below).
        QTest::newRow("XLSX 第二页") << "" << int(EStatementFormat::Wechat)
                                     << days("2024", {"01-05", "01-07", "01-08"}) << "82.16"
                                     << "32.00"
                                     << "50.16" << QStringList();
    }
    void statementFixtures() {
        QFETCH(QString, file);
        QFETCH(int, format);
        QFETCH(QStringList, days);
        QFETCH(QString, income);
        QFETCH(QString, outlay);
        QFETCH(QString, net);
        QFETCH(QStringList, says);
        CTestBook book;
        NewUser(kUser);
        QTemporaryDir dir;
        QString strPath = QStringLiteral(LEDGERKIN_IMPORT_FIXTURES "/") + file;
        if (file.isEmpty()) {
            QList<QStringList> bill;
            for (const QString& line : kWechatHead)
                bill << QStringList{line};
            bill += kWechatTable;
            QList<QStringList> other = {kWechatTable[0], kWechatTable[1]};
            other[1][5] = QStringLiteral("¥999.00");
            strPath = CTestWorkbook::Write(
                dir.filePath(QStringLiteral("w.xlsx")),
                {{QStringLiteral("说明"), other}, {QStringLiteral("账单"), bill}}, 1);
            CStatementFile first;
            first.Load(strPath, CTextDecoder::EEncoding::Auto, 0);
            QCOMPARE(first.Sheets(), QStringList({QStringLiteral("说明"), QStringLiteral("账单")}));
            QCOMPARE(first.Read(EStatementFormat::Wechat).rows.first().nCents, 99900);
        }
        CStatementFile f;
        f.Load(strPath);
        QCOMPARE(int(f.Detected()), format);

        const SRun run = Import(strPath, kBank);
        QStringList ticked, said;
        for (const SPreviewRow& r : run.rows) {
            if (r.bTicked)
                ticked << r.src.date.toString(Qt::ISODate);
            said << r.strReason << r.src.strRemark;
        }
        QCOMPARE(ticked, days);
        const CImporter::STotals totals = CImporter::Totals(run.rows);
        QCOMPARE(totals.nTicked, int(days.size()));
        QCOMPARE(CMoney::Format(CMoney::FromCents(totals.nIncome)), income);
        QCOMPARE(CMoney::Format(CMoney::FromCents(totals.nOutlay)), outlay);
        QCOMPARE(CMoney::Format(CMoney::FromCents(totals.Net())), net);
        for (const QString& s : says)
            QVERIFY2(said.contains(s), qPrintable(s));
        // The app's own category where no rule speaks: 餐饮美食 is a meal, 数码电器 shopping.
        if (file == QLatin1String("alipay-refunds.csv")) {
            QStringList sorts;
            for (const SPreviewRow& r : run.rows)
                if (r.bTicked)
                    sorts << r.strSort;
            QCOMPARE(sorts, QStringList({QStringLiteral("用餐支出"), QStringLiteral("其它收入"),
                                         QStringLiteral("其它收入"), QStringLiteral("工资收入"),
                                         QStringLiteral("购物支出"), QStringLiteral("其它收入")}));
        }
        // A transfer to an account the book lacks is an outlay until an account is picked.
        for (SPreviewRow r : run.rows) {
            if (r.strUnknownAccount.isEmpty())
                continue;
            QVERIFY(CImporter::SetTransferAccount(r, kCash, {}, {}));
            QCOMPARE(r.src.eType, SStatementRow::EType::Transfer);
            QCOMPARE(r.strAccount + QLatin1Char('>') + r.strTransferTo,
                     kBank + QLatin1Char('>') + kCash);
            QVERIFY(CImporter::SetTransferAccount(r, QString(), {}, {}));
            QCOMPARE(r.src.eType, SStatementRow::EType::Outlay);
            QCOMPARE(r.strSort, QStringLiteral("其它支出"));
        }
        QVERIFY(run.result.bDone);
        const QStringList once = Records();
        const QStringList balances = Balances();

        auto importsNothing = [&] {
            const SRun again = Import(strPath, kBank);
            QCOMPARE(CImporter::Totals(again.rows).nTicked, 0);
            QCOMPARE(Records(), once);
            QCOMPARE(Balances(), balances);
        };
        importsNothing();
        // The keys as earlier copies stored them: one per id and direction.
        QStringList keys;
        QVariant user;
        QSqlQuery q =
            CDatabase::Exec(QStringLiteral("SELECT \"UserID\", \"ExtKey\" FROM \"ImportedId\""));
        while (q.next()) {
            user = q.value(0);
            keys << q.value(1).toString().section(QLatin1Char('|'), 0, 0);
        }
        keys.removeDuplicates();
        CDatabase::Exec(QStringLiteral("DELETE FROM \"ImportedId\""));
        for (const QString& k : keys)
            CDatabase::Exec(QStringLiteral("INSERT INTO \"ImportedId\" (\"UserID\", \"ExtKey\") "
                                           "VALUES (?, ?)"),
                            {user, k});
        importsNothing();
    }

    // A random book written to QIF and read into an empty user: the same summary, briefs
    // and charts to the cent, and the same balances moved.
    void qifRoundTrip() {
        CTestBook book;
        CBookBuilder::SOptions o;
        o.nAccounts = 3;
        o.nDays = 320;
        o.nRecordsPerDay = 2;
        o.nTransfers = 12;
        o.nSeed = 17;
        CBookBuilder::AddUser(kUser, QStringLiteral("pw"), o);
        const QString strCopy = QStringLiteral("李四");
        NewUser(strCopy, CBookBuilder::AccountNames(3), o.firstDay);
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("book.qif"));
        CExporter::SCount count;
        QCOMPARE(CExporter::Write(strPath, kUser, CExporter::EFormat::Qif, QDate(1990, 1, 1),
                                  QDate(2030, 1, 1), &count),
                 QString());
        QCOMPARE(count.nTransfers, o.nTransfers);
        const SRun run =
            Import(strPath, CBookBuilder::AccountNames(3).first(), {}, -1, true, strCopy);
        QCOMPARE(run.result.nIncome + run.result.nOutlay, count.nRecords);
        QCOMPARE(run.result.nTransfers, o.nTransfers);

        CPeriodStats stats;
        const auto a = stats.Figures(kUser), b = stats.Figures(strCopy);
        QCOMPARE(b.nTotalIncome, a.nTotalIncome);
        QCOMPARE(b.nTotalOutlay, a.nTotalOutlay);
        QCOMPARE(b.firstDay, a.firstDay);
        QCOMPARE(b.lastDay, a.lastDay);
        QCOMPARE(b.nDayCount, a.nDayCount);
        auto brief = [](const QVector<CPeriodStats::SBriefRow>& rows) {
            QStringList list;
            for (const auto& r : rows)
                list << QStringLiteral("%1:%2/%3").arg(r.nPeriod).arg(r.nIncome).arg(r.nOutlay);
            return list;
        };
        QCOMPARE(brief(stats.UserBrief(strCopy)), brief(stats.UserBrief(kUser)));
        for (const auto& y : stats.UserBrief(kUser)) {
            QCOMPARE(brief(stats.YearBrief(strCopy, y.nPeriod)),
                     brief(stats.YearBrief(kUser, y.nPeriod)));
            for (int m = 1; m <= 12; ++m)
                QCOMPARE(brief(stats.MonthBrief(strCopy, y.nPeriod, m)),
                         brief(stats.MonthBrief(kUser, y.nPeriod, m)));
        }
        for (auto eTable : {CChartData::ETable::Income, CChartData::ETable::Outlay}) {
            const CChartData ca(eTable, kUser), cb(eTable, strCopy);
            QCOMPARE(cb.UserSorts(), ca.UserSorts());
            QCOMPARE(cb.UserLine().data, ca.UserLine().data);
            for (const auto& y : stats.UserBrief(kUser)) {
                QCOMPARE(cb.YearSorts(y.nPeriod), ca.YearSorts(y.nPeriod));
                QCOMPARE(cb.YearLine(y.nPeriod).data, ca.YearLine(y.nPeriod).data);
                QCOMPARE(cb.MonthLine(y.nPeriod, 5).data, ca.MonthLine(y.nPeriod, 5).data);
            }
        }
        // The copy started at zero, the original at its opening amounts.
        const auto before = CAccountList::Load(kUser), after = CAccountList::Load(strCopy);
        for (int i = 0; i < before.size(); ++i)
            QCOMPARE(CMoney::ToCents(after[i].dCash),
                     CMoney::ToCents(before[i].dCash) -
                         CBookBuilder::OpeningCents(kUser, before[i].strName));

        // CSV: a BOM, the header, ISO dates and plain numbers.
        const QByteArray csv =
            CExporter::Build(kUser, CExporter::EFormat::Csv, o.firstDay, o.firstDay.addDays(319));
        QVERIFY(csv.startsWith("\xEF\xBB\xBF日期,类型,类别,备注,金额,账户,转入账户\r\n"));
        QCOMPARE(csv.count("\r\n"), 1 + count.nRecords + count.nTransfers);
        QVERIFY(QRegularExpression(QStringLiteral("\n\\d{4}-\\d\\d-\\d\\d,(收入|支出),[^,]+,[^,]*,"
                                                  "\\d+\\.\\d\\d,"))
                    .match(QString::fromUtf8(csv))
                    .hasMatch());
    }

    // Bad files: a message naming the line and what is wrong, and the book unchanged.
    void badFilesWriteNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QString strRow =
            QStringLiteral("2024-01-05 12:30:45,餐饮,肯德基,,套餐,支出,%1,,交易成功,X1,,,\n");
        QTest::newRow("bad date") << "a.csv"
                                  << (kAlipayHead + strRow.arg(QStringLiteral("1.00"))
                                                        .replace(QStringLiteral("2024-01-05"),
                                                                 QStringLiteral("2024-13-05")))
                                         .toUtf8()
                                  << QStringLiteral("第 6 行：日期“2024-13-05 12:30:45”无效。");
        QTest::newRow("bad amount")
            << "a.csv" << (kAlipayHead + strRow.arg(QStringLiteral("12.5x"))).toUtf8()
            << QStringLiteral("第 6 行：金额“12.5x”无效。");
        QTest::newRow("nothing to guess")
            << "a.csv" << QStringLiteral("名称,说明\n甲,乙\n").toUtf8()
            << QStringLiteral("请指定日期列和金额列");
        QTest::newRow("encoding") << "a.csv"
                                  << QByteArray("\xEF\xBB\xBF") +
                                         QByteArray("date,amount\n\xFF\xFE\xFF,1\n")
                                  << QStringLiteral("第 2 行：文字不是 UTF-8 编码。");
        QTest::newRow("unknown encoding") << "a.csv" << QByteArray("a,b\n\x80\xff,1\n")
                                          << QStringLiteral("第 2 行：文件的编码无法识别");
        QTest::newRow("not xlsx") << "w.xlsx" << QByteArray("交易时间,金额\n")
                                  << QStringLiteral("不是 XLSX 文件");
        QTest::newRow("broken xlsx")
            << "w.xlsx" << QByteArray("PK\x03\x04garbage") << QStringLiteral("不是 XLSX 文件");
        // A sheet whose entry runs dry part way: the reader once waited for more forever.
        QFile cut(QStringLiteral(LEDGERKIN_IMPORT_FIXTURES "/xlsx-sheet-cut-short.xlsx"));
        QVERIFY(cut.open(QIODevice::ReadOnly));
        QTest::newRow("sheet cut short")
            << "w.xlsx" << cut.readAll() << QStringLiteral("不是有效的 XLSX 文件：工作表无法读取");
        QTest::newRow("open quote")
            << "a.csv" << (kAlipayHead + QStringLiteral("2024-01-05,\"x\n")).toUtf8()
            << QStringLiteral("第 6 行：引号没有结束");
        QTest::newRow("qif date") << "b.qif" << QByteArray("!Type:Bank\nD13/13/2024\nT1.00\n^\n")
                                  << QStringLiteral("第 2 行：日期“13/13/2024”无效。");
        QTest::newRow("qif amount") << "b.qif" << QByteArray("!Type:Bank\nD1/2/2024\nTabc\n^\n")
                                    << QStringLiteral("第 3 行：金额“abc”无效。");
        QTest::newRow("ofx empty") << "s.ofx" << QByteArray("OFXHEADER:100\n\n<OFX></OFX>\n")
                                   << QStringLiteral("OFX 文件中没有可读的对账单");
        QTest::newRow("empty") << "a.csv" << QByteArray("\n \n") << QStringLiteral("文件是空的");
    }
    void badFilesWriteNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        CTestBook book;
        NewUser(kUser);
        const QStringList before = CBookBuilder::Dump();
        QTemporaryDir dir;
        try {
            Import(WriteFile(dir, name, bytes));
            QFAIL("no error");
        } catch (const CImportError& e) {
            QVERIFY2(e.m_strMessage.startsWith(message), qPrintable(e.m_strMessage));
        }
        QCOMPARE(CBookBuilder::Dump(), before);
    }

    // A CSV of unknown layout: in/out columns and a day-first date, the mapping and the
    // rules remembered for the user; cancelling writes nothing.
    void mappingRulesAndCancel() {
        CTestBook book;
        NewUser(kUser);
        QTemporaryDir dir;
        const QString strPath =
            WriteFile(dir, QStringLiteral("bank.csv"),
                      Gb18030(QStringLiteral("某银行对账单\n账号 1234\n"
                                             "记账日期,收入金额,支出金额,摘要,对方户名,类别\n"
                                             "05/01/2024,,\"1,200.00\",房租,房东,\n"
                                             "06/01/2024,300.00,,兼职,某人,奖金收入\n"
                                             "07/01/2024,,-8.00,矿泉水,便利店,\n")));
        CStatementFile file;
        file.Load(strPath);
        QCOMPARE(file.Detected(), EStatementFormat::Csv);
        QCOMPARE(file.GuessedHeader(), 2);
        SColumnMapping m;
        m.nDate = 0;
        m.nIn = 1;
        m.nOut = 2;
        m.nNote = 3;
        m.nCounterpart = 4;
        m.nCategory = 5;
        m.strDateFormat = QStringLiteral("d/M/yyyy");
        CImporter importer(kUser);
        importer.SaveMapping(file.LayoutKey(2), m);
        SColumnMapping back;
        QVERIFY(importer.LoadMapping(file.LayoutKey(2), back));
        QCOMPARE(back.ToText(), m.ToText());

        importer.SaveRules(
            {{QStringLiteral("便利店"), ERecordKind::Outlay, QStringLiteral("零食支出")}});
        QCOMPARE(importer.Rules().size(), 1);
        const SStatement st = file.Read(EStatementFormat::Csv, back, 2);
        CPreviewRows rows;
        QVERIFY(importer.Preview(st, kBank, importer.Rules(), rows));
        QCOMPARE(rows.Sort(0), QStringLiteral("其它支出")); // the default rules are gone
        QCOMPARE(rows.Sort(1), QStringLiteral("奖金收入")); // the file's own category
        QCOMPARE(rows.Sort(2), QStringLiteral("零食支出"));
        SPreviewRow byHand = rows.at(0);
        byHand.strSort = QStringLiteral("房租支出");
        byHand.bSortByHand = true;
        rows.Set(0, byHand);
        CImporter::ApplyRules(rows, {});
        QCOMPARE(rows.Sort(0), QStringLiteral("房租支出"));
        QCOMPARE(rows.Sort(2), QStringLiteral("其它支出"));

        const QStringList before = CBookBuilder::Dump();
        const auto cancelled = importer.Import(rows, [](int nDone, int) { return nDone == 0; });
        QVERIFY(!cancelled.bDone);
        QCOMPARE(CBookBuilder::Dump(), before);
        QVERIFY(importer.Import(rows).bDone);
        QCOMPARE(
            Records(),
            QStringList({QStringLiteral("Income|2024-01-06|奖金收入|某人 兼职|300.00|银行"),
                         QStringLiteral("Outlay|2024-01-05|房租支出|房东 房租|1200.00|银行"),
                         QStringLiteral("Outlay|2024-01-07|其它支出|便利店 矿泉水|8.00|银行")}));
        QCOMPARE(Balances().last(), QStringLiteral("银行=-908.00"));
    }

    // The preview and the import offer the user's own categories: a rule naming one of them
    // applies, a hidden one is not guessed, and a row whose category another copy renamed
    // after the preview is written under the new name.
    void ownCategoriesInPreviewAndImport() {
        CTestBook book;
        NewUser(kUser);
        CCategoryBook outlay(ERecordKind::Outlay, kUser);
        QCOMPARE(outlay.Add(QStringLiteral("水电燃气")), QString());
        QCOMPARE(outlay.SetHidden(QStringLiteral("用餐支出"), true), QString());
        CImporter importer(kUser);
        importer.SaveRules(
            {{QStringLiteral("电费"), ERecordKind::Outlay, QStringLiteral("水电燃气")},
             {QStringLiteral("饭"), ERecordKind::Outlay, QStringLiteral("用餐支出")}});
        SStatement st;
        for (const char* szGoods : {"电费", "饭"}) {
            SStatementRow r;
            r.nLine = int(st.rows.size()) + 2;
            r.date = QDate(2024, 2, 1);
            r.eType = SStatementRow::EType::Outlay;
            r.nCents = 1000 + st.rows.size();
            r.strCounterpart = QStringLiteral("某公司");
            r.strGoods = QString::fromUtf8(szGoods);
            st.rows.append(r);
        }
        CPreviewRows rows;
        QVERIFY(importer.Preview(st, kCash, importer.Rules(), rows));
        QVERIFY(rows.Sorts().outlay.contains(QStringLiteral("水电燃气")));
        QVERIFY(!rows.Sorts().outlay.contains(QStringLiteral("用餐支出")));
        QCOMPARE(rows.Sort(0), QStringLiteral("水电燃气"));
        QCOMPARE(rows.Sort(1), QStringLiteral("其它支出"));

        QCOMPARE(outlay.Rename(QStringLiteral("水电燃气"), QStringLiteral("水电")), QString());
        QCOMPARE(importer.Rules().first().strSort, QStringLiteral("水电"));
        QVERIFY(importer.Import(rows).bDone);
        QVERIFY(
            Records().contains(QStringLiteral("Outlay|2024-02-01|水电|某公司 电费|10.00|现金")));
        QVERIFY(outlay.Found().isEmpty());

        // The QIF export lists the user's categories, and its records come back with theirs.
        const QString strQif = QString::fromUtf8(CExporter::Build(
            kUser, CExporter::EFormat::Qif, QDate(2024, 1, 1), QDate(2024, 12, 31)));
        QVERIFY(strQif.startsWith(QStringLiteral("!Type:Cat\nN工资收入\nI\n^\n")));
        QVERIFY(strQif.contains(QStringLiteral("N水电\nE\n^\n")));
        SStatement back = CQifReader::Read(strQif);
        CPreviewRows again;
        QVERIFY(importer.Preview(back, kCash, {}, again));
        QStringList sorts;
        for (int i = 0; i < again.size(); ++i)
            sorts << again.Sort(i);
        QVERIFY2(sorts.contains(QStringLiteral("水电")), qPrintable(sorts.join(u',')));
    }

    // A statement's rows kept compact give back every field as written, whatever the texts
    // (empty, repeated, longer than a block of the store, any character); an edited row
    // changes only itself, and not a copy taken before.
    void compactRowsKeepEveryField() {
        auto text = [](const SStatementRow& r) {
            return QStringList({QString::number(r.nLine), r.date.toString(Qt::ISODate),
                                QString::number(int(r.eType)), QString::number(r.nCents),
                                QString::number(int(r.eNotMoney)),
                                QString::number(r.bRefund * 4 + r.bNeutral * 2 + r.bTransferOut),
                                r.strTime, r.strCounterpart, r.strGoods, r.strCategory,
                                r.strAppCategory, r.strExtId, r.strOrderId, r.strAccount,
                                r.strTransferTo, r.strNotMoney, r.strRemark})
                .join(u'|');
        };
        QVector<SStatementRow> wide;
        for (int i = 0; i < 20000; ++i) {
            SStatementRow r;
            r.nLine = i + 2;
            r.date = i % 9 == 0 ? QDate() : QDate(2024, 1, 1).addDays(i % 400);
            r.eType = SStatementRow::EType(i % 3);
            r.nCents = i % 5 == 0 ? 0 : 99999999999LL - i;
            r.eNotMoney = ENotMoney(i % 9);
            r.bRefund = i % 2;
            r.bNeutral = i % 3 == 1;
            r.bTransferOut = i % 4 == 1;
            r.strTime = i % 2 ? QStringLiteral("12:%1").arg(i % 60) : QString();
            r.strCounterpart = QStringLiteral("商户%1").arg(i % 7);
            r.strGoods = i == 7 ? QString(1 << 20, QChar(0x4E2D))
                                : QStringLiteral("商品 %1 \u00e9\U0001F600\n").arg(i);
            r.strCategory = i % 11 ? QString() : QStringLiteral("用餐支出");
            r.strAppCategory = QStringLiteral("餐饮美食");
            r.strExtId = QStringLiteral("B%1").arg(i);
            r.strOrderId = i % 3 ? QString() : QStringLiteral("M%1").arg(i / 3);
            r.strAccount = i % 5 ? QString() : QStringLiteral("银行");
            r.strTransferTo = r.strAccount;
            r.strNotMoney = r.eNotMoney == ENotMoney::None ? QString() : QStringLiteral("原因");
            r.strRemark = i % 13 ? QString() : QStringLiteral("退款：第 %1 行").arg(i);
            wide << r;
        }
        CStatementRows rows;
        for (const SStatementRow& r : wide)
            rows << r;
        QCOMPARE(rows.size(), int(wide.size()));
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(text(rows.at(i)), text(wide[i]));
        const CStatementRows before = rows;
        SStatementRow edited = wide[8193];
        edited.eType = SStatementRow::EType::Transfer;
        edited.strRemark = QStringLiteral("在类别中选一个帐户");
        edited.strCounterpart.clear();
        rows.Set(8193, edited);
        rows.SetNotMoney(5, ENotMoney::SameAccount, QString());
        QCOMPARE(text(rows.at(8193)), text(edited));
        QCOMPARE(rows.NotMoney(5), ENotMoney::SameAccount);
        QVERIFY(!rows.HasText(5, CStatementRows::NotMoneyText));
        for (int i : {4, 5, 6, 8192, 8193, 8194})
            QCOMPARE(text(before.at(i)), text(wide[i]));
        QCOMPARE(text(rows.at(8194)), text(wide[8194]));
    }

    // A CSV is parsed as it is read: rows cut anywhere by a slice's end (inside quotes,
    // between CR and LF, inside a GB18030 character) read as the whole text does; a file
    // changed after it was opened is refused.
    void csvReadInSlices() {
        const QString strText = QStringLiteral("a, \"b,1\"x ,c\r\n\r\n\"多\n行\"\"\",2,  \r\n"
                                               " , \n末,\"3\"\r\n");
        auto rows = [](const TTable& t) {
            QStringList out;
            for (const STableRow& r : t)
                out << QString::number(r.nLine) + QLatin1Char(':') + r.cells.join(u'|');
            return out;
        };
        const QStringList whole = rows(CCsvParser::Parse(strText));
        QCOMPARE(whole.size(), 3);
        for (int nSlice = 1; nSlice <= strText.size(); ++nSlice) {
            TTable t;
            CCsvParser::CStream csv(0, [&t](const STableRow& r) {
                t.append(r);
                return true;
            });
            for (int i = 0; i < strText.size(); i += nSlice)
                csv.Feed(strText.mid(i, nSlice));
            csv.Finish();
            QCOMPARE(rows(t), whole);
        }
        CCsvParser::CStream open(0, [](const STableRow&) { return true; });
        open.Feed(strText.left(4)); // a, "b,1 never closed
        open.Feed(strText.mid(4, 2));
        QVERIFY_THROWS_EXCEPTION(CImportError, open.Finish());

        // Over 1 MB of GB18030: the slices of the file end inside characters.
        CTestBook book;
        NewUser(kUser);
        QTemporaryDir dir;
        QString strCsv = QStringLiteral("日期,金额,摘要\n");
        const int nRows = 30000;
        for (int i = 0; i < nRows; ++i)
            strCsv += QStringLiteral("2024-01-%1,-%2.50,\"超市 购物 第%3笔，谢谢\"\n")
                          .arg(1 + i % 28)
                          .arg(1 + i % 90)
                          .arg(i);
        const QString strPath = WriteFile(dir, QStringLiteral("big.csv"), Gb18030(strCsv));
        QVERIFY(QFileInfo(strPath).size() > (1 << 20));
        CStatementFile file;
        file.Load(strPath);
        QCOMPARE(file.Encoding(), CTextDecoder::EEncoding::Gb18030);
        QCOMPARE(file.Table().size(), CStatementFile::HeadRows);
        SStatement st = file.Read(file.Detected());
        QCOMPARE(st.rows.size(), nRows);
        QCOMPARE(st.rows.last().nLine, nRows + 1);
        QCOMPARE(st.rows.last().strGoods, QStringLiteral("超市 购物 第%1笔，谢谢").arg(nRows - 1));
        CPreviewRows preview;
        QVERIFY(CImporter(kUser).Preview(std::move(st), kCash, {}, preview));
        QVERIFY(st.rows.isEmpty());
        QCOMPARE(preview.size(), nRows);
        for (int i = 0; i < nRows; i += 997)
            QCOMPARE(preview[i].src.nLine, i + 2);

        // A big sheet and a QIF are read from the file again for their rows too.
        const int nSheetRows = CStatementFile::HeadRows * 3;
        QList<QStringList> sheet = {{QStringLiteral("交易时间"), QStringLiteral("交易类型"),
                                     QStringLiteral("交易对方"), QStringLiteral("收/支"),
                                     QStringLiteral("金额(元)"), QStringLiteral("当前状态"),
                                     QStringLiteral("交易单号")}};
        QString strQif = QStringLiteral("!Type:Bank\n");
        for (int i = 0; i < nSheetRows; ++i) {
            sheet << QStringList({QStringLiteral("2024-03-%1 10:00:00").arg(1 + i % 28),
                                  QStringLiteral("商户消费"), QStringLiteral("店%1").arg(i),
                                  QStringLiteral("支出"), QStringLiteral("%1.00").arg(1 + i),
                                  QStringLiteral("支付成功"), QStringLiteral("T%1").arg(i)});
            strQif +=
                QStringLiteral("D3/%1/2024\nT-%2.00\nP店%3\n^\n").arg(1 + i % 28).arg(1 + i).arg(i);
        }
        const QStringList paths = {strPath,
                                   CTestWorkbook::Write(dir.filePath(QStringLiteral("big.xlsx")),
                                                        {{QStringLiteral("账单"), sheet}}),
                                   WriteFile(dir, QStringLiteral("big.qif"), strQif.toUtf8())};
        for (const QString& strFile : paths) {
            CStatementFile big;
            big.Load(strFile);
            if (strFile != strPath) {
                const SStatement read = big.Read(big.Detected());
                QCOMPARE(read.rows.size(), nSheetRows);
                QCOMPARE(read.rows.last().strCounterpart,
                         QStringLiteral("店%1").arg(nSheetRows - 1));
                QCOMPARE(read.rows.last().nCents, 100 * nSheetRows);
            }
            // A file changed after it was opened is refused.
            QFile f(strFile);
            QVERIFY(f.open(QIODevice::Append));
            f.write("2024-02-01,-1.00,x\n");
            f.close();
            QVERIFY_THROWS_EXCEPTION(CImportError, big.Read(big.Detected()));
        }
        QVERIFY_THROWS_EXCEPTION(CImportError, file.Read(file.Detected()));
    }

    // A row the file repeats, ticked by hand, is written with its first row and its key
    // stored once.
    void repeatedRowTickedByHand() {
        CTestBook book;
        NewUser(kUser);
        CStatementFile file;
        file.Load(QStringLiteral(LEDGERKIN_IMPORT_FIXTURES "/wechat-shared-ids.csv"));
        CImporter importer(kUser);
        CPreviewRows rows;
        QVERIFY(importer.Preview(file.Read(file.Detected()), kBank, {}, rows));
        int nRepeats = 0, nTicked = 0;
        for (int i = 0; i < rows.size(); ++i) {
            if (rows.Duplicate(i) == SPreviewRow::EDuplicate::InFile) {
                rows.SetTicked(i, true);
                ++nRepeats;
            }
            nTicked += rows.IsTicked(i);
        }
        QCOMPARE(nRepeats, 1);
        const CImporter::SResult result = importer.Import(rows);
        QCOMPARE(result.nIncome + result.nOutlay, nTicked);
        QCOMPARE(StoredKeys().size(), nTicked - nRepeats);
        QCOMPARE(
            StoredKeys(),
            QStringList({QStringLiteral("wechat:1000050:I|2024-04-06 09:00:00|6666|b7b2866783"),
                         QStringLiteral("wechat:4200001:I|2024-04-04 09:00:00|800|0afd692cef"),
                         QStringLiteral("wechat:4200001:O|2024-04-01 08:00:00|800|0afd692cef"),
                         QStringLiteral("wechat:4200001:O|2024-04-01 12:00:00|1800|5de86c1120"),
                         QStringLiteral("wechat:4200001:O|2024-04-02 08:00:00|800|0afd692cef"),
                         QStringLiteral("wechat:4200009:O|2024-04-03 10:00:00|4500|0b084710a9")}));
    }
};

LEDGERKIN_CORE_TEST_MAIN(TestImport)
#include "tst_import.moc"
