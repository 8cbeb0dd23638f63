#include "cimporter.h"

#include "accounts/caccountlist.h"
#include "accounts/cbalance.h"
#include "data/cbulkrows.h"
#include "data/cdberrortext.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/cschema.h"
#include "data/ctransaction.h"
#include "data/ctrsset.h"
#include "import/cimporttables.h"
#include "records/ccategories.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CImporter", sz);
}

constexpr int ProgressStep = 500;

// Over-long texts are cut to what a column holds, counting characters as the record sets do.
QString Fit(const QString& str) {
    const QList<uint> ucs = str.toUcs4();
    if (ucs.size() <= CDatabase::MaxTextLength)
        return str;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(ucs.constData()),
                             CDatabase::MaxTextLength);
}

QString SourcePrefix(EStatementFormat eFormat) {
    switch (eFormat) {
    case EStatementFormat::Alipay:
        return QStringLiteral("alipay");
    case EStatementFormat::Wechat:
        return QStringLiteral("wechat");
    case EStatementFormat::Ofx:
        return QStringLiteral("ofx");
    case EStatementFormat::Qif:
        return QStringLiteral("qif");
    case EStatementFormat::Csv:
        return QStringLiteral("csv");
    }
    return QString();
}

QChar TypeLetter(SStatementRow::EType eType) {
    switch (eType) {
    case SStatementRow::EType::Income:
        return QLatin1Char('I');
    case SStatementRow::EType::Outlay:
        return QLatin1Char('O');
    case SStatementRow::EType::Transfer:
        return QLatin1Char('T');
    }
    return QLatin1Char('?');
}

QString DayText(const QDate& d) {
    return d.toString(Qt::ISODate);
}

// What earlier copies stored for a row with an id: the id and the direction only.
QString LegacyKey(const QString& strPrefix, const SStatementRow& r) {
    return Fit(strPrefix + QLatin1Char(':') + r.strExtId + QLatin1Char(':') + TypeLetter(r.eType));
}

// A row with an id is one trade by its id, day (and time, when the file prints one), amount,
// direction and counterpart: exports repeat ids for different trades (a refund keeps its
// payment's order number, merchants reuse theirs).
QString IdentityKey(const QString& strPrefix, const SStatementRow& r) {
    const QByteArray counterpart =
        QCryptographicHash::hash(r.strCounterpart.trimmed().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(10);
    QString strWhen = DayText(r.date);
    if (!r.strTime.isEmpty())
        strWhen += QLatin1Char(' ') + r.strTime;
    return Fit(QStringLiteral("%1:%2:%3|%4|%5|%6")
                   .arg(strPrefix, r.strExtId)
                   .arg(TypeLetter(r.eType))
                   .arg(strWhen)
                   .arg(r.nCents)
                   .arg(QString::fromLatin1(counterpart)));
}

// What makes a record "the same" as one already in the book.
QString RecordKey(ERecordKind eKind, const QDate& day, std::int64_t nCents,
                  const QString& strNote) {
    return QStringLiteral("%1|%2|%3|%4")
        .arg(eKind == ERecordKind::Income ? QLatin1Char('I') : QLatin1Char('O'))
        .arg(DayText(day))
        .arg(nCents)
        .arg(strNote);
}

QString TransferKey(const QDate& day, const QString& strFrom, const QString& strTo,
                    std::int64_t nCents) {
    return QStringLiteral("T|%1|%2|%3|%4").arg(DayText(day), strFrom, strTo).arg(nCents);
}

// One record set per table for the whole import, so its insert stays prepared.
template <class TSet> void InsertRecord(TSet& set, const QString& strUser, const SPreviewRow& row) {
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(row.src.date, QTime(0, 0));
    set.m_Sort = row.strSort;
    set.m_Note = row.Note();
    set.m_Amount = CMoney::FromCents(row.src.nCents);
    set.m_Bank = row.strAccount;
    set.Update();
}

} // namespace

QString SPreviewRow::Note() const {
    return CImporter::NoteOf(src);
}

CImporter::CImporter(const QString& strUser, qint64 nSessionUser, const QString& strConnection)
    : m_strUser(strUser), m_nSessionUser(nSessionUser), m_strConnection(strConnection) {
    CImportTables::Ready(m_strConnection);
}

int CImporter::UserId() const {
    QSqlQuery q = CDatabase::Exec(
        QStringLiteral("SELECT \"UserID\" FROM %1 WHERE \"UserName\" = ?").arg(CSchema::User),
        {m_strUser}, m_strConnection);
    if (!q.next())
        throw CDBException(Tr("用户“%1”不存在。").arg(m_strUser));
    return q.value(0).toInt();
}

QStringList CImporter::Accounts() const {
    QStringList list;
    for (const CAccountList::SAccount& a : CAccountList::Load(m_strUser, m_strConnection))
        if (!list.contains(a.strName))
            list << a.strName;
    return list;
}

QVector<SImportRule> CImporter::DefaultRules() {
    const auto O = ERecordKind::Outlay;
    const auto I = ERecordKind::Income;
    QVector<SImportRule> rules;
    auto add = [&rules](ERecordKind e, const char* szSort,
                        std::initializer_list<const char*> words) {
        for (const char* w : words)
            rules.append({QString::fromUtf8(w), e, QString::fromUtf8(szSort)});
    };
    add(O, "用餐支出", {"餐饮", "饭", "美团", "饿了么", "麦当劳", "肯德基", "星巴克", "咖啡"});
    add(O, "交通支出", {"滴滴", "地铁", "公交", "12306", "铁路", "加油", "停车", "高德打车"});
    add(O, "电话费支出", {"话费", "中国移动", "中国联通", "中国电信", "宽带"});
    add(O, "购物支出", {"淘宝", "天猫", "京东", "拼多多", "超市"});
    add(O, "医疗保健支出", {"医院", "药房", "药店", "诊所"});
    add(O, "房租支出", {"房租", "租金"});
    add(O, "娱乐支出", {"电影", "游戏", "KTV"});
    add(O, "旅游支出", {"携程", "酒店", "机票"});
    add(I, "工资收入", {"工资", "薪资"});
    add(I, "奖金收入", {"奖金"});
    return rules;
}

QVector<SImportRule> CImporter::Rules() const {
    QSqlQuery q =
        CDatabase::Exec(QStringLiteral("SELECT \"Keyword\", \"Kind\", \"Sort\" FROM "
                                       "\"ImportRule\" WHERE \"UserID\" = ? ORDER BY \"编号\""),
                        {UserId()}, m_strConnection);
    QVector<SImportRule> rules;
    bool bAny = false;
    while (q.next()) {
        bAny = true;
        // A row with an empty keyword records that the user cleared every rule.
        if (q.value(0).toString().isEmpty())
            continue;
        rules.append({q.value(0).toString(),
                      q.value(1).toInt() == 0 ? ERecordKind::Income : ERecordKind::Outlay,
                      q.value(2).toString()});
    }
    return bAny ? rules : DefaultRules();
}

void CImporter::SaveRules(const QVector<SImportRule>& rules) {
    CTransaction t(m_strConnection);
    CUserAdmin::CheckSession(m_strUser, m_nSessionUser, m_strConnection);
    const int nUser = UserId();
    CDatabase::Exec(QStringLiteral("DELETE FROM \"ImportRule\" WHERE \"UserID\" = ?"), {nUser},
                    m_strConnection);
    int nWritten = 0;
    for (const SImportRule& r : rules) {
        if (r.strKeyword.trimmed().isEmpty())
            continue;
        CDatabase::Exec(
            QStringLiteral("INSERT INTO \"ImportRule\" (\"UserID\", \"Keyword\", "
                           "\"Kind\", \"Sort\") VALUES (?, ?, ?, ?)"),
            {nUser, Fit(r.strKeyword.trimmed()), r.eKind == ERecordKind::Income ? 0 : 1, r.strSort},
            m_strConnection);
        ++nWritten;
    }
    if (nWritten == 0)
        CDatabase::Exec(QStringLiteral("INSERT INTO \"ImportRule\" (\"UserID\", \"Keyword\", "
                                       "\"Kind\", \"Sort\") VALUES (?, '', 1, '')"),
                        {nUser}, m_strConnection);
    t.Commit();
}

bool CImporter::LoadMapping(const QString& strLayout, SColumnMapping& mapping) const {
    QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT \"Mapping\" FROM \"ImportLayout\" "
                                                 "WHERE \"UserID\" = ? AND \"Layout\" = ?"),
                                  {UserId(), Fit(strLayout)}, m_strConnection);
    if (!q.next())
        return false;
    mapping = SColumnMapping::FromText(q.value(0).toString());
    return true;
}

void CImporter::SaveMapping(const QString& strLayout, const SColumnMapping& mapping) {
    CTransaction t(m_strConnection);
    CUserAdmin::CheckSession(m_strUser, m_nSessionUser, m_strConnection);
    // One statement: another copy saving the same layout at the same moment (PostgreSQL lets
    // both delete nothing) must not make the second insert fail on the unique index.
    CDatabase::Exec(QStringLiteral("INSERT INTO \"ImportLayout\" (\"UserID\", \"Layout\", "
                                   "\"Mapping\") VALUES (?, ?, ?) ON CONFLICT (\"UserID\", "
                                   "\"Layout\") DO UPDATE SET \"Mapping\" = excluded.\"Mapping\""),
                    {UserId(), Fit(strLayout), mapping.ToText()}, m_strConnection);
    t.Commit();
}

QString CImporter::NoteOf(const SStatementRow& row) {
    QString s = row.strCounterpart;
    if (!row.strGoods.isEmpty() && row.strGoods != row.strCounterpart)
        s = s.isEmpty() ? row.strGoods : s + QLatin1Char(' ') + row.strGoods;
    s.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
    return Fit(s);
}

QString CImporter::GuessSort(const SStatementRow& row, const QVector<SImportRule>& rules) {
    if (row.eType == SStatementRow::EType::Transfer)
        return QString();
    const ERecordKind eKind = row.Kind();
    const QStringList sorts = CCategories::Of(eKind);
    if (sorts.contains(row.strCategory))
        return row.strCategory;
    const QString strText = row.strCounterpart + QLatin1Char(' ') + row.strGoods;
    for (const SImportRule& r : rules)
        if (r.eKind == eKind && !r.strKeyword.isEmpty() && sorts.contains(r.strSort) &&
            strText.contains(r.strKeyword, Qt::CaseInsensitive))
            return r.strSort;
    const QString strApp = AppSort(row.strAppCategory, eKind);
    if (!strApp.isEmpty())
        return strApp;
    return sorts.last(); // 其它收入 / 其它支出
}

QString CImporter::AppSort(const QString& strAppCategory, ERecordKind eKind) {
    if (strAppCategory.isEmpty())
        return QString();
    // 支付宝's 交易分类 and words of 微信's 交易类型, to the book's categories.
    static const QVector<QPair<const char*, const char*>> outlay = {
        {"餐饮美食", "用餐支出"},     {"餐饮", "用餐支出"},         {"外卖", "用餐支出"},
        {"服饰装扮", "服装支出"},     {"服饰", "服装支出"},         {"日用百货", "生活用品支出"},
        {"家居家装", "生活用品支出"}, {"美容美发", "生活用品支出"}, {"宠物", "生活用品支出"},
        {"数码电器", "购物支出"},     {"运动户外", "购物支出"},     {"母婴亲子", "购物支出"},
        {"交通出行", "交通支出"},     {"爱车养车", "交通支出"},     {"出行", "交通支出"},
        {"住房物业", "房租支出"},     {"酒店旅游", "旅游支出"},     {"文化休闲", "娱乐支出"},
        {"医疗健康", "医疗保健支出"}, {"充值缴费", "电话费支出"},   {"话费", "电话费支出"},
    };
    static const QVector<QPair<const char*, const char*>> income = {
        {"工资", "工资收入"}, {"奖金", "奖金收入"}, {"投资理财", "投资收入"}, {"理财", "投资收入"}};
    const QStringList sorts = CCategories::Of(eKind);
    for (const auto& e : eKind == ERecordKind::Income ? income : outlay)
        if (strAppCategory.contains(QString::fromUtf8(e.first)) &&
            sorts.contains(QString::fromUtf8(e.second)))
            return QString::fromUtf8(e.second);
    return QString();
}

bool CImporter::SetTransferAccount(SPreviewRow& row, const QString& strAccount,
                                   const QVector<SImportRule>& rules) {
    if (row.strUnknownAccount.isEmpty())
        return false;
    const bool bOut = row.src.bTransferOut;
    const bool bTransfer = row.src.eType == SStatementRow::EType::Transfer;
    const QString strOwn = bTransfer && !bOut ? row.strTransferTo : row.strAccount;
    if (strAccount == strOwn)
        return false; // a transfer needs two accounts
    if (strAccount.isEmpty()) {
        row.src.eType = bOut ? SStatementRow::EType::Outlay : SStatementRow::EType::Income;
        row.strAccount = strOwn;
        row.strTransferTo.clear();
        row.strSort = GuessSort(row.src, rules);
    } else {
        row.src.eType = SStatementRow::EType::Transfer;
        row.strAccount = bOut ? strOwn : strAccount;
        row.strTransferTo = bOut ? strAccount : strOwn;
        row.strSort.clear();
    }
    row.bSortByHand = false;
    return true;
}

SImportRule CImporter::RuleFor(const SPreviewRow& row) {
    QString strKeyword = row.src.strCounterpart.trimmed();
    if (strKeyword.isEmpty())
        strKeyword = row.src.strGoods.trimmed();
    return {strKeyword, row.src.Kind(), row.strSort};
}

void CImporter::AddRule(QVector<SImportRule>& rules, const SImportRule& rule) {
    if (rule.strKeyword.isEmpty())
        return;
    for (int i = int(rules.size()) - 1; i >= 0; --i)
        if (rules[i].strKeyword == rule.strKeyword && rules[i].eKind == rule.eKind)
            rules.remove(i);
    rules.prepend(rule);
}

CImporter::STotals CImporter::Totals(const QVector<SPreviewRow>& rows) {
    STotals t;
    t.nRows = int(rows.size());
    // Short names of the reasons, in the order the preview lists them.
    const QStringList names = {Tr("交易关闭"),   Tr("不计收支"),   Tr("本人账户间转账"),
                               Tr("退款不计"),   Tr("金额为 0"),   Tr("期初余额"),
                               Tr("转账另一半"), Tr("同一账户"),   Tr("文件中重复"),
                               Tr("以前导入过"), Tr("账本中已有"), Tr("未勾选")};
    QVector<int> counts(names.size(), 0);
    for (const SPreviewRow& r : rows) {
        if (r.bTicked) {
            ++t.nTicked;
            if (r.src.eType == SStatementRow::EType::Income)
                t.nIncome += r.src.nCents;
            else if (r.src.eType == SStatementRow::EType::Outlay)
                t.nOutlay += r.src.nCents;
            continue;
        }
        int n = 11;
        if (r.eState == SPreviewRow::EState::NotMoney)
            n = std::max(0, int(r.src.eNotMoney) - 1);
        else if (r.eState == SPreviewRow::EState::Duplicate)
            n = 7 + int(r.eDuplicate);
        ++counts[std::min(n, 11)];
    }
    for (int i = 0; i < names.size(); ++i)
        if (counts[i] > 0)
            t.greyed.append({names[i], counts[i]});
    return t;
}

void CImporter::ApplyRules(QVector<SPreviewRow>& rows, const QVector<SImportRule>& rules) {
    for (SPreviewRow& r : rows)
        if (!r.bSortByHand && r.src.eType != SStatementRow::EType::Transfer)
            r.strSort = GuessSort(r.src, rules);
}

bool CImporter::Preview(const SStatement& st, const QString& strAccount,
                        const QVector<SImportRule>& rules, QVector<SPreviewRow>& rows,
                        const FProgress& progress) const {
    return PreviewRows(st, nullptr, strAccount, rules, rows, progress);
}

bool CImporter::Preview(SStatement&& st, const QString& strAccount,
                        const QVector<SImportRule>& rules, QVector<SPreviewRow>& rows,
                        const FProgress& progress) const {
    const bool bDone = PreviewRows(st, &st, strAccount, rules, rows, progress);
    st.rows.clear();
    st.rows.squeeze();
    return bDone;
}

bool CImporter::PreviewRows(const SStatement& st, SStatement* pConsume, const QString& strAccount,
                            const QVector<SImportRule>& rules, QVector<SPreviewRow>& rows,
                            const FProgress& progress) const {
    const QStringList accounts = Accounts();
    if (!accounts.contains(strAccount))
        throw CDBException(Tr("找不到账户“%1”。").arg(strAccount));
    const int nUser = UserId();
    const QString strPrefix = SourcePrefix(st.eFormat);
    const int nTotal = int(st.rows.size());
    auto account = [&](const QString& strName) {
        return accounts.contains(strName) ? strName : strAccount;
    };

    // The accounts the file has blocks for: a transfer to one of them stays a transfer,
    // to the account that block goes to.
    QSet<QString> fileAccounts;
    for (const SStatementRow& r : st.rows)
        if (!r.strAccount.isEmpty())
            fileAccounts.insert(r.strAccount);

    QVector<SPreviewRow> out;
    QHash<QString, int> occurrences;
    std::vector<int> counted; // rows that claim their key, unless an earlier one has it
    QDate first, last;
    if (pConsume) {
        // A statement handed over is taken apart instead of copied, from its last row on,
        // and its rows given back in steps as they are taken: a big file is never held
        // twice, not even as the rows' fixed parts.
        QVector<SStatementRow>& src = pConsume->rows;
#ifdef __GLIBC__
        // Reading a big file leaves many small freed blocks (cells, the refund pairing's
        // tables) between the rows' texts; their pages go back to the system before the
        // preview's arrays are made.
        malloc_trim(0);
#endif
        out.reserve(nTotal);
        const qsizetype nStep = std::max<qsizetype>(4096, nTotal / 16);
        while (!src.isEmpty()) {
            out.append(SPreviewRow());
            out.last().src = std::move(src.last());
            src.removeLast();
            if (out.size() % nStep == 0)
                src.squeeze();
        }
        src.squeeze();
        std::reverse(out.begin(), out.end());
    } else {
        out.resize(nTotal);
    }
    for (int i = 0; i < nTotal; ++i) {
        if (progress && i % ProgressStep == 0 && !progress(i, nTotal * 2))
            return false;
        SPreviewRow& p = out[i];
        if (!pConsume)
            p.src = st.rows[i];
        const SStatementRow& r = p.src;
        // The keys from what the file says, before a transfer may become an outlay below.
        if (!r.strExtId.isEmpty()) {
            p.strExtKey = IdentityKey(strPrefix, r);
        } else {
            // Rows without an id: a hash of what they say, numbered when a file holds the
            // same row twice, so an overlapping statement finds the same keys.
            const QByteArray text =
                QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                    .arg(DayText(r.date))
                    .arg(TypeLetter(r.eType))
                    .arg(r.nCents)
                    .arg(r.strCounterpart, r.strGoods, r.strAccount, r.strTransferTo)
                    .toUtf8();
            const QString strBase =
                QStringLiteral("row:") +
                QString::fromLatin1(
                    QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex());
            p.strExtKey = strBase + QLatin1Char(':') + QString::number(++occurrences[strBase]);
        }
        p.strAccount = account(r.strAccount);
        if (r.eType == SStatementRow::EType::Transfer) {
            const QString strOwn = p.strAccount;
            const QString strOther = r.strTransferTo;
            const bool bOut = r.bTransferOut;
            if (accounts.contains(strOther) || fileAccounts.contains(strOther)) {
                p.strAccount = bOut ? strOwn : account(strOther);
                p.strTransferTo = bOut ? account(strOther) : strOwn;
            } else {
                // The book lacks the other account: the money left or came into this one.
                p.strUnknownAccount = strOther;
                p.src.eType = bOut ? SStatementRow::EType::Outlay : SStatementRow::EType::Income;
                p.src.strRemark = (bOut ? Tr("转账到“%1”：账本中没有这个账户，记为支出；")
                                        : Tr("从“%1”转来：账本中没有这个账户，记为收入；"))
                                      .arg(strOther) +
                                  Tr("在类别中选一个账户可改为转账。");
                p.strSort = GuessSort(p.src, rules);
            }
        } else {
            p.strSort = GuessSort(r, rules);
        }
        if (r.eNotMoney != ENotMoney::None || !r.strNotMoney.isEmpty()) {
            p.eState = SPreviewRow::EState::NotMoney;
            p.strReason = r.strNotMoney;
        } else if (p.src.eType == SStatementRow::EType::Transfer &&
                   p.strAccount == p.strTransferTo) {
            p.eState = SPreviewRow::EState::NotMoney;
            p.src.eNotMoney = ENotMoney::SameAccount;
            p.strReason = Tr("转出和转入是同一个账户，余额不变。");
        } else {
            // Only a row that is counted claims its key: a greyed one hides nothing.
            counted.push_back(i);
        }
    }
    // The first counted row with a key claims it; the others with it are the file's repeats.
    // Sorted by key rather than hashed: for a big file the table would weigh as much as the
    // keys themselves.
    std::stable_sort(counted.begin(), counted.end(),
                     [&out](int a, int b) { return out[a].strExtKey < out[b].strExtKey; });
    for (size_t k = 1, nClaim = 0; k < counted.size(); ++k) {
        const SPreviewRow& claim = out[counted[nClaim]];
        SPreviewRow& p = out[counted[k]];
        if (p.strExtKey != claim.strExtKey) {
            nClaim = k;
            continue;
        }
        p.eState = SPreviewRow::EState::Duplicate;
        p.eDuplicate = SPreviewRow::EDuplicate::InFile;
        p.strReason = Tr("与第 %1 行完全相同，是文件中重复的一行。").arg(claim.src.nLine);
    }
    counted = std::vector<int>();
    for (const SPreviewRow& p : out)
        if (p.eState == SPreviewRow::EState::New && p.src.date.isValid()) {
            if (!first.isValid() || p.src.date < first)
                first = p.src.date;
            if (!last.isValid() || p.src.date > last)
                last = p.src.date;
        }

    // What was imported before, and what the book holds over the file's days.
    QSet<QString> known;
    {
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT \"ExtKey\" FROM \"ImportedId\" WHERE \"UserID\" = ?"), {nUser},
            m_strConnection);
        while (q.next()) {
            known.insert(q.value(0).toString());
            if (progress && known.size() % (ProgressStep * 4) == 0 && !progress(nTotal, nTotal * 2))
                return false;
        }
    }
    QHash<QString, int> inBook;
    if (first.isValid()) {
        const CSqlDialect& d = CDatabase::Dialect(m_strConnection);
        const QVariantList range = {m_strUser, d.BindDate(first), d.BindDate(last.addDays(1))};
        for (ERecordKind eKind : {ERecordKind::Income, ERecordKind::Outlay}) {
            QSqlQuery q = CDatabase::Exec(
                QStringLiteral("SELECT \"Date\", \"Amount\", \"Note\" FROM \"%1\" WHERE "
                               "\"UserName\" = ? AND \"Date\" >= ? AND \"Date\" < ? AND "
                               "\"Amount\" <> 0")
                    .arg(eKind == ERecordKind::Income ? QLatin1String("Income")
                                                      : QLatin1String("Outlay")),
                range, m_strConnection);
            for (int n = 1; q.next(); ++n) {
                ++inBook[RecordKey(eKind, d.ReadDateTime(q.value(0)).date(),
                                   CMoney::ToCents(q.value(1).toDouble()), q.value(2).toString())];
                if (progress && n % (ProgressStep * 4) == 0 && !progress(nTotal, nTotal * 2))
                    return false;
            }
        }
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT \"TrsDate\", \"TrsFrom\", \"TrsIn\", \"TrsAmount\" FROM %1 "
                           "WHERE \"UserName\" = ? AND \"TrsDate\" >= ? AND \"TrsDate\" < ?")
                .arg(CSchema::Trs),
            range, m_strConnection);
        while (q.next()) {
            const std::int64_t n = CMoney::ToCents(q.value(3).toDouble());
            const QDate day = d.ReadDateTime(q.value(0)).date();
            // A negative transfer moved money the other way.
            ++inBook[n < 0 ? TransferKey(day, q.value(2).toString(), q.value(1).toString(), -n)
                           : TransferKey(day, q.value(1).toString(), q.value(2).toString(), n)];
        }
    }
    auto bookKey = [](const SPreviewRow& p) {
        return p.src.eType == SStatementRow::EType::Transfer
                   ? TransferKey(p.src.date, p.strAccount, p.strTransferTo, p.src.nCents)
                   : RecordKey(p.src.Kind(), p.src.date, p.src.nCents, p.Note());
    };
    // Rows imported before take their own record out of the book's count first, so a row
    // typed by hand can still match only one row of the file.
    auto markKnown = [&](SPreviewRow& p) {
        p.bKeyKnown = true;
        p.eState = SPreviewRow::EState::Duplicate;
        p.eDuplicate = SPreviewRow::EDuplicate::Imported;
        p.strReason = Tr("以前导入过这笔交易。");
        auto it = inBook.find(bookKey(p));
        if (it != inBook.end() && it.value() > 0)
            --it.value();
    };
    for (SPreviewRow& p : out)
        if (p.eState == SPreviewRow::EState::New && known.contains(p.strExtKey))
            markKnown(p);
    // Books imported into by earlier copies hold the id and direction only, for one row of
    // each: the row whose record the book holds, else the first of the file.
    QHash<QString, QVector<int>> byLegacy;
    for (int i = 0; i < nTotal; ++i)
        if (out[i].eState == SPreviewRow::EState::New && !out[i].src.strExtId.isEmpty()) {
            const QString strLegacy = LegacyKey(strPrefix, out[i].src);
            if (known.contains(strLegacy))
                byLegacy[strLegacy].append(i);
        }
    for (auto it = byLegacy.cbegin(); it != byLegacy.cend(); ++it) {
        int nPick = it.value().first();
        for (int i : it.value())
            if (inBook.value(bookKey(out[i])) > 0) {
                nPick = i;
                break;
            }
        markKnown(out[nPick]);
        out[nPick].bKeyKnown = false; // its own key is not stored yet
    }
    for (int i = 0; i < nTotal; ++i) {
        if (progress && i % ProgressStep == 0 && !progress(nTotal + i, nTotal * 2))
            return false;
        SPreviewRow& p = out[i];
        if (p.eState != SPreviewRow::EState::New)
            continue;
        auto it = inBook.find(bookKey(p));
        if (it != inBook.end() && it.value() > 0) {
            --it.value();
            p.eState = SPreviewRow::EState::Duplicate;
            p.eDuplicate = SPreviewRow::EDuplicate::InBook;
            p.strReason = Tr("账本中已有同一天、同金额、同备注的记录。");
        }
    }
    for (SPreviewRow& p : out)
        p.bTicked = p.eState == SPreviewRow::EState::New;
    rows = std::move(out);
    return true;
}

CImporter::SResult CImporter::Import(const QVector<SPreviewRow>& rows, const FProgress& progress) {
    SResult result;
    const QStringList accounts = Accounts();
    const QStringList income = CCategories::Income();
    const QStringList outlay = CCategories::Outlay();
    int nTicked = 0;
    for (const SPreviewRow& p : rows) {
        if (!p.bTicked)
            continue;
        ++nTicked;
        const int nLine = p.src.nLine;
        if (!accounts.contains(p.strAccount) ||
            (p.src.eType == SStatementRow::EType::Transfer && !accounts.contains(p.strTransferTo)))
            throw CDBException(
                Tr("第 %1 行：找不到账户“%2”，没有导入任何记录。")
                    .arg(nLine)
                    .arg(accounts.contains(p.strAccount) ? p.strTransferTo : p.strAccount));
        if (!p.src.date.isValid() || p.src.nCents <= 0 ||
            p.src.nCents > CMoney::ToCents(CMoney::Limit))
            throw CDBException(Tr("第 %1 行的日期或金额无效，没有导入任何记录。").arg(nLine));
        if (p.src.eType != SStatementRow::EType::Transfer &&
            !(p.src.eType == SStatementRow::EType::Income ? income : outlay).contains(p.strSort))
            throw CDBException(Tr("第 %1 行没有有效的类别，没有导入任何记录。").arg(nLine));
    }

    CTransaction transaction(m_strConnection);
    CUserAdmin::CheckSession(m_strUser, m_nSessionUser, m_strConnection);
    const int nUser = UserId();
    CBulkRows bulk(m_strConnection); // only inserts below, totals kept in one pass at the end
    // Days that already have a row need no opening.
    QSet<QString> openDays[2];
    QDate first, last;
    for (const SPreviewRow& p : rows) {
        if (!p.bTicked)
            continue;
        if (!first.isValid() || p.src.date < first)
            first = p.src.date;
        if (!last.isValid() || p.src.date > last)
            last = p.src.date;
    }
    if (first.isValid()) {
        const CSqlDialect& d = CDatabase::Dialect(m_strConnection);
        for (int k = 0; k < 2; ++k) {
            QSqlQuery q = CDatabase::Exec(
                QStringLiteral("SELECT DISTINCT \"Date\" FROM \"%1\" WHERE \"UserName\" = ? AND "
                               "\"Date\" >= ? AND \"Date\" < ?")
                    .arg(k == 0 ? QLatin1String("Income") : QLatin1String("Outlay")),
                {m_strUser, d.BindDate(first), d.BindDate(last.addDays(1))}, m_strConnection);
            while (q.next())
                openDays[k].insert(DayText(d.ReadDateTime(q.value(0)).date()));
        }
    }

    QHash<QString, std::int64_t> moves;
    // A key ticked twice (a row repeated in the file) is stored once, by its first row.
    std::vector<int> keyed;
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].bTicked && !rows[i].bKeyKnown)
            keyed.push_back(i);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&rows](int a, int b) { return rows[a].strExtKey < rows[b].strExtKey; });
    std::vector<bool> storeKey(rows.size(), false);
    for (size_t k = 0; k < keyed.size(); ++k)
        storeKey[keyed[k]] = k == 0 || rows[keyed[k]].strExtKey != rows[keyed[k - 1]].strExtKey;
    keyed = std::vector<int>();
    CIncomeSet incomeSet(m_strConnection);
    COutlaySet outlaySet(m_strConnection);
    CTrsSet trsSet(m_strConnection);
    QSqlQuery insertKey(CDatabase::Connection(m_strConnection));
    if (!insertKey.prepare(
            QStringLiteral("INSERT INTO \"ImportedId\" (\"UserID\", \"ExtKey\") VALUES (?, ?)")))
        throw CDBException(
            CDBErrorText::Of(insertKey.lastError(), CDatabase::Dialect(m_strConnection).Kind()));
    int nDone = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const SPreviewRow& p = rows[i];
        if (!p.bTicked)
            continue;
        if (progress && nDone % ProgressStep == 0 && !progress(nDone, nTicked))
            return result; // the transaction rolls back
        ++nDone;
        if (p.src.eType == SStatementRow::EType::Transfer) {
            trsSet.AddNew();
            trsSet.m_UserName = m_strUser;
            trsSet.m_TrsDate = QDateTime(p.src.date, QTime(0, 0));
            trsSet.m_TrsFrom = p.strAccount;
            trsSet.m_TrsIn = p.strTransferTo;
            trsSet.m_TrsAmount = CMoney::FromCents(p.src.nCents);
            trsSet.Update();
            moves[p.strAccount] -= p.src.nCents;
            moves[p.strTransferTo] += p.src.nCents;
            ++result.nTransfers;
        } else {
            const bool bIncome = p.src.eType == SStatementRow::EType::Income;
            const ERecordKind eKind = bIncome ? ERecordKind::Income : ERecordKind::Outlay;
            QSet<QString>& days = openDays[bIncome ? 0 : 1];
            if (!days.contains(DayText(p.src.date))) {
                CDayBook(eKind, m_strUser, m_strConnection).OpenDay(p.src.date);
                days.insert(DayText(p.src.date));
            }
            if (bIncome) {
                InsertRecord(incomeSet, m_strUser, p);
                moves[p.strAccount] += p.src.nCents;
                ++result.nIncome;
            } else {
                InsertRecord(outlaySet, m_strUser, p);
                moves[p.strAccount] -= p.src.nCents;
                ++result.nOutlay;
            }
        }
        if (storeKey[i]) {
            CDatabase::ExecPrepared(insertKey, {nUser, p.strExtKey});
        }
    }
    for (auto it = moves.cbegin(); it != moves.cend(); ++it) {
        if (it.value() == 0)
            continue;
        // With two accounts of the same name only the first one entered moves, as a day does.
        if (!CBalance::Move(m_strUser, it.key(), it.value(), m_strConnection))
            throw CDBException(Tr("找不到账户“%1”，没有导入任何记录。").arg(it.key()));
    }
    if (progress && !progress(nTicked, nTicked))
        return result;
    bulk.Finish();
    transaction.Commit();
    result.bDone = true;
    for (const CAccountList::SAccount& a : CAccountList::Load(m_strUser, m_strConnection))
        result.balances.append({a.strName, a.dCash});
    return result;
}
