#include "cdemobook.h"

#include "accounts/ctransfer.h"
#include "data/ctoday.h"
#include "data/ctransaction.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

const QString CDemoBook::UserName = QStringLiteral("演示用户");
const QString CDemoBook::Password = QStringLiteral("demo");

namespace {
const QString kCash = QStringLiteral("现金");
const QString kSalaryCard = QStringLiteral("工资卡");
const QString kSavings = QStringLiteral("定期存款");

// Amounts in whole jiao look like real receipts.
double Price(QRandomGenerator& rng, int nMinYuan, int nMaxYuan) {
    const int nJiao = nMinYuan * 10 + int(rng.bounded(quint32((nMaxYuan - nMinYuan) * 10 + 1)));
    return nJiao / 10.0;
}

struct SDayPlan {
    QVector<SDayRecord> cash;
    QVector<SDayRecord> card;
};

void AddRecord(QVector<SDayRecord>& rows, const char* szSort, const QString& strNote,
               double dAmount) {
    rows.append({QString::fromUtf8(szSort), strNote, dAmount});
}

SDayPlan IncomeOf(const QDate& day, QRandomGenerator& rng) {
    SDayPlan plan;
    if (day.day() == 10)
        AddRecord(plan.card, "工资收入",
                  QStringLiteral("%1月工资").arg(day.month() == 1 ? 12 : day.month() - 1),
                  8600 + 100 * (day.year() % 3));
    if (day.day() == 10 && day.month() % 3 == 1)
        AddRecord(plan.card, "奖金收入", QStringLiteral("季度奖金"), Price(rng, 2000, 4000));
    if (day.day() == 15)
        AddRecord(plan.card, "津贴收入", QStringLiteral("交通和餐费补贴"), 600);
    if (day.day() == 20 && day.month() % 3 == 0)
        AddRecord(plan.card, "投资收入", QStringLiteral("基金分红"), Price(rng, 150, 900));
    if (day.day() == 21 && day.month() % 6 == 0)
        AddRecord(plan.card, "债券收入", QStringLiteral("国债利息"), Price(rng, 300, 600));
    if (rng.bounded(25) == 0)
        AddRecord(plan.cash, "其它收入", QStringLiteral("二手物品转卖"), Price(rng, 20, 300));
    return plan;
}

SDayPlan OutlayOf(const QDate& day, QRandomGenerator& rng) {
    SDayPlan plan;
    AddRecord(plan.cash, "用餐支出", QStringLiteral("午餐"), Price(rng, 15, 35));
    if (rng.bounded(3) == 0)
        AddRecord(plan.cash, "用餐支出", QStringLiteral("晚餐"), Price(rng, 25, 80));
    if (day.dayOfWeek() <= 5)
        AddRecord(plan.cash, "交通支出", QStringLiteral("地铁"), Price(rng, 4, 8));
    if (rng.bounded(4) == 0)
        AddRecord(plan.cash, "零食支出", QStringLiteral("水果"), Price(rng, 8, 30));
    if (day.dayOfWeek() == 6)
        AddRecord(plan.card, "购物支出", QStringLiteral("超市采购"), Price(rng, 120, 420));
    if (rng.bounded(10) == 0)
        AddRecord(plan.card, "生活用品支出", QStringLiteral("日用品"), Price(rng, 20, 150));
    if (day.day() == 1)
        AddRecord(plan.card, "房租支出", QStringLiteral("房租"), 3200);
    if (day.day() == 5)
        AddRecord(plan.card, "电话费支出", QStringLiteral("手机和宽带"), 129);
    if (rng.bounded(20) == 0)
        AddRecord(plan.card, "服装支出", QStringLiteral("衣服鞋子"), Price(rng, 150, 800));
    if (day.dayOfWeek() == 7 && rng.bounded(2) == 0)
        AddRecord(plan.cash, "娱乐支出", QStringLiteral("电影"), Price(rng, 40, 120));
    if (rng.bounded(45) == 0)
        AddRecord(plan.card, "医疗保健支出", QStringLiteral("药店"), Price(rng, 30, 400));
    if ((day.month() == 5 || day.month() == 10) && day.day() == 2)
        AddRecord(plan.card, "旅游支出", QStringLiteral("假期出游"), Price(rng, 1500, 4500));
    if (rng.bounded(30) == 0)
        AddRecord(plan.cash, "其它支出", QStringLiteral("红包"), 200);
    return plan;
}

void Store(CDayBook& book, const QDate& day, const SDayPlan& plan) {
    if (!plan.cash.isEmpty())
        book.Confirm(day, kCash, SDayEdit::Adding(plan.cash));
    if (!plan.card.isEmpty())
        book.Confirm(day, kSalaryCard, SDayEdit::Adding(plan.card));
}
} // namespace

QString CDemoBook::DefaultPath() {
    const QString strDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(strDir);
    return QDir(strDir).filePath(QStringLiteral("ledgerkin-demo.db"));
}

bool CDemoBook::IsDemoUrl(const QString& strUrl) {
    return !CDatabase::IsPostgresUrl(strUrl) &&
           QFileInfo(strUrl).absoluteFilePath() == QFileInfo(DefaultPath()).absoluteFilePath();
}

void CDemoBook::Ensure(const QString& strConnection) {
    if (!CUserAdmin::UserExists(UserName, strConnection))
        Build(CToday::Get(), strConnection);
}

void CDemoBook::Build(const QDate& lastDay, const QString& strConnection) {
    const QDate firstDay = lastDay.addYears(-2).addDays(1);
    QRandomGenerator rng(20041);
    CTransaction tx(strConnection);
    const QList<CUserAdmin::SAccount> accounts{
        {kCash, QStringLiteral("钱包里的零用钱"), 800},
        {kSalaryCard, QStringLiteral("工商银行 6222 **** 1024"), 12000},
        {kSavings, QStringLiteral("三年定期"), 50000},
    };
    if (CUserAdmin::CreateUser(UserName, Password, accounts, firstDay, strConnection) !=
        CUserAdmin::ECreate::Created)
        return;
    CDayBook income(ERecordKind::Income, UserName, strConnection);
    CDayBook outlay(ERecordKind::Outlay, UserName, strConnection);
    for (QDate day = firstDay; day <= lastDay; day = day.addDays(1)) {
        Store(income, day, IncomeOf(day, rng));
        Store(outlay, day, OutlayOf(day, rng));
        if (day.day() == 11)
            CTransfer::Transfer(UserName, day, kSalaryCard, kCash, 2200, strConnection);
        if (day.day() == 25 && day.month() % 4 == 0)
            CTransfer::Transfer(UserName, day, kSalaryCard, kSavings, 3000, strConnection);
    }
    tx.Commit();
}
