#include "cexporter.h"

#include "accounts/caccountlist.h"
#include "ccsvparser.h"
#include "data/cdatabase.h"
#include "data/cmoney.h"
#include "data/cschema.h"
#include "records/ccategorybook.h"

#include <QCoreApplication>
#include <QMap>
#include <QSaveFile>
#include <QSqlQuery>
#include <QStringList>

namespace {

struct SItem {
    QDate date;
    int nKind = 0; // 0 income, 1 outlay, 2 transfer
    QString strSort, strNote, strAccount, strTo;
    std::int64_t nCents = 0; // as stored: a transfer may be negative
};

QString OneLine(QString s) {
    s.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
    return s;
}

QVector<SItem> Items(const QString& strUser, const QDate& from, const QDate& to,
                     const QString& strConnection) {
    const CSqlDialect& d = CDatabase::Dialect(strConnection);
    const QVariantList range = {strUser, d.BindDate(from), d.BindDate(to.addDays(1))};
    QVector<SItem> items;
    for (int k = 0; k < 2; ++k) {
        // Placeholder rows that open a day carry no amount and move nothing.
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT \"Date\", \"Sort\", \"Note\", \"Amount\", \"Bank\" FROM %1 "
                           "WHERE \"UserName\" = ? AND \"Date\" >= ? AND \"Date\" < ? AND "
                           "\"Amount\" <> 0 ORDER BY \"Date\", \"编号\"")
                .arg(k == 0 ? CSchema::Income : CSchema::Outlay),
            range, strConnection);
        while (q.next())
            items.append({d.ReadDateTime(q.value(0)).date(), k, q.value(1).toString(),
                          q.value(2).toString(), q.value(4).toString(), QString(),
                          CMoney::ToCents(q.value(3).toDouble())});
    }
    QSqlQuery q = CDatabase::Exec(
        QStringLiteral("SELECT \"TrsDate\", \"TrsFrom\", \"TrsIn\", \"TrsAmount\" FROM %1 "
                       "WHERE \"UserName\" = ? AND \"TrsDate\" >= ? AND \"TrsDate\" < ? "
                       "ORDER BY \"TrsDate\", \"编号\"")
            .arg(CSchema::Trs),
        range, strConnection);
    while (q.next())
        items.append({d.ReadDateTime(q.value(0)).date(), 2, QString(), QString(),
                      q.value(1).toString(), q.value(2).toString(),
                      CMoney::ToCents(q.value(3).toDouble())});
    std::stable_sort(items.begin(), items.end(),
                     [](const SItem& a, const SItem& b) { return a.date < b.date; });
    return items;
}

QString QifEntry(const QDate& date, std::int64_t nCents, const QString& strMemo,
                 const QString& strCategory) {
    QString s = QStringLiteral("D") + date.toString(QStringLiteral("MM/dd/yyyy")) +
                QStringLiteral("\nT") + CExporter::Amount(nCents) + QLatin1Char('\n');
    if (!strMemo.isEmpty())
        s += QStringLiteral("M") + OneLine(strMemo) + QLatin1Char('\n');
    s += QStringLiteral("L") + OneLine(strCategory) + QStringLiteral("\n^\n");
    return s;
}

} // namespace

QString CExporter::Amount(std::int64_t nCents) {
    const std::int64_t n = nCents < 0 ? -nCents : nCents;
    return QStringLiteral("%1%2.%3")
        .arg(nCents < 0 ? QStringLiteral("-") : QString())
        .arg(n / 100)
        .arg(int(n % 100), 2, 10, QLatin1Char('0'));
}

QByteArray CExporter::Build(const QString& strUser, EFormat eFormat, const QDate& from,
                            const QDate& to, SCount* pCount, const QString& strConnection) {
    const QVector<SItem> items = Items(strUser, from, to, strConnection);
    SCount count;
    for (const SItem& it : items)
        (it.nKind == 2 ? count.nTransfers : count.nRecords) += 1;
    if (pCount)
        *pCount = count;

    if (eFormat == EFormat::Csv) {
        QString s = QStringLiteral("日期,类型,类别,备注,金额,账户,转入账户\r\n");
        static const QString kinds[] = {QStringLiteral("收入"), QStringLiteral("支出"),
                                        QStringLiteral("转账")};
        for (const SItem& it : items) {
            QStringList cells = {
                it.date.toString(Qt::ISODate), kinds[it.nKind],   CCsvParser::Quote(it.strSort),
                CCsvParser::Quote(it.strNote), Amount(it.nCents), CCsvParser::Quote(it.strAccount),
                CCsvParser::Quote(it.strTo)};
            s += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
        }
        return QByteArray("\xEF\xBB\xBF") + s.toUtf8();
    }

    // One block per account: the user's accounts in their order, then any name a row
    // carries that is no longer an account.
    QStringList accounts;
    for (const CAccountList::SAccount& a : CAccountList::Load(strUser, strConnection))
        if (!accounts.contains(a.strName))
            accounts << a.strName;
    for (const SItem& it : items) {
        if (!accounts.contains(it.strAccount))
            accounts << it.strAccount;
        if (it.nKind == 2 && !accounts.contains(it.strTo))
            accounts << it.strTo;
    }
    QMap<QString, QString> blocks;
    for (const SItem& it : items) {
        if (it.nKind == 2) {
            blocks[it.strAccount] += QifEntry(it.date, -it.nCents, QString(),
                                              QLatin1Char('[') + it.strTo + QLatin1Char(']'));
            blocks[it.strTo] += QifEntry(it.date, it.nCents, QString(),
                                         QLatin1Char('[') + it.strAccount + QLatin1Char(']'));
        } else {
            blocks[it.strAccount] +=
                QifEntry(it.date, it.nKind == 0 ? it.nCents : -it.nCents, it.strNote, it.strSort);
        }
    }
    // The user's categories first, as QIF keeps a category list (I income, E expense), so a
    // program reading the file knows them before the transactions name them.
    QString s = QStringLiteral("!Type:Cat\n");
    for (const ERecordKind eKind : {ERecordKind::Income, ERecordKind::Outlay})
        for (const QString& strName : CCategoryBook(eKind, strUser, 0, strConnection).AllNames())
            s += QStringLiteral("N") + OneLine(strName) +
                 (eKind == ERecordKind::Income ? QStringLiteral("\nI\n^\n")
                                               : QStringLiteral("\nE\n^\n"));
    s += QStringLiteral("!Option:AutoSwitch\n");
    for (const QString& strAccount : accounts) {
        s += QStringLiteral("!Account\nN") + OneLine(strAccount) +
             QStringLiteral("\nTBank\n^\n!Type:Bank\n") + blocks.value(strAccount);
    }
    s += QStringLiteral("!Clear:AutoSwitch\n");
    return s.toUtf8();
}

QString CExporter::Write(const QString& strPath, const QString& strUser, EFormat eFormat,
                         const QDate& from, const QDate& to, SCount* pCount,
                         const QString& strConnection) {
    if (CDatabase::IsOpenBookFile(strPath))
        return CDatabase::OpenBookFileText(strPath);
    const QByteArray bytes = Build(strUser, eFormat, from, to, pCount, strConnection);
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QCoreApplication::translate("CExporter", "无法写入文件“%1”：%2")
            .arg(strPath, file.errorString());
    return QString();
}
