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
#include "records/ccategorybook.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CImporter", sz);
}

constexpr int ProgressStep = 500;

QString DayText(const QDate& d) {
    return d.toString(Qt::ISODate);
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
template <class TSet>
void InsertRecord(TSet& set, const QString& strUser, const CPreviewRows& rows, int i,
                  const QHash<QString, QString>& renamed) {
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(rows.Source().Date(i), QTime(0, 0));
    set.m_Sort = renamed.value(rows.Sort(i), rows.Sort(i));
    set.m_Note = rows.Note(i);
    set.m_Amount = CMoney::FromCents(rows.Source().Cents(i));
    set.m_Bank = rows.Account(i);
    set.Update();
}

// The category the rules and the file give a row of that type and those texts.
QString GuessSortOf(SStatementRow::EType eType, const QString& strCategory,
                    const QString& strCounterpart, const QString& strGoods,
                    const QString& strAppCategory, const QVector<SImportRule>& rules,
                    const SImportSorts& lists) {
    if (eType == SStatementRow::EType::Transfer)
        return QString();
    const ERecordKind eKind =
        eType == SStatementRow::EType::Income ? ERecordKind::Income : ERecordKind::Outlay;
    const QStringList& sorts = lists.Of(eKind);
    // The file names a category of the user's list (its own column, or the one a payment app
    // or another program wrote).
    for (const QString* pCategory : {&strCategory, &strAppCategory})
        if (!pCategory->isEmpty() && sorts.contains(*pCategory))
            return *pCategory;
    const QString strText = strCounterpart + QLatin1Char(' ') + strGoods;
    for (const SImportRule& r : rules)
        if (r.eKind == eKind && !r.strKeyword.isEmpty() && sorts.contains(r.strSort) &&
            strText.contains(r.strKeyword, Qt::CaseInsensitive))
            return r.strSort;
    const QString strApp = CImporter::AppSort(strAppCategory, eKind, lists);
    if (!strApp.isEmpty())
        return strApp;
    // 其它收入 / 其它支出 while the user keeps it, else the last category of the list.
    const QString strOther = CCategories::Of(eKind).last();
    return sorts.contains(strOther) || sorts.isEmpty() ? strOther : sorts.last();
}

// Keys as 16-byte digests, sorted, each with how often it came: for the keys of a big book
// a table of the texts would weigh many times more.
class CDigestCount {
public:
    using TDigest = CPreviewRows::TDigest;
    void Add(const QString& strKey) { m_added.push_back(CPreviewRows::DigestOf(strKey)); }
    size_t Added() const { return m_added.size(); }
    void Finish() {
        std::sort(m_added.begin(), m_added.end());
        for (const TDigest& d : m_added)
            if (!m_counts.empty() && m_counts.back().first == d)
                ++m_counts.back().second;
            else
                m_counts.push_back({d, 1});
        m_added = std::vector<TDigest>();
    }
    int Count(const TDigest& d) const {
        const auto it = Lower(d);
        return it != m_counts.end() && it->first == d ? it->second : 0;
    }
    // One fewer of d left, if any is.
    bool Take(const TDigest& d) {
        const auto it = m_counts.begin() + (Lower(d) - m_counts.cbegin());
        if (it == m_counts.end() || it->first != d || it->second == 0)
            return false;
        --it->second;
        return true;
    }

private:
    std::vector<std::pair<TDigest, int>>::const_iterator Lower(const TDigest& d) const {
        return std::lower_bound(
            m_counts.cbegin(), m_counts.cend(), d,
            [](const std::pair<TDigest, int>& e, const TDigest& k) { return e.first < k; });
    }
    std::vector<TDigest> m_added;
    std::vector<std::pair<TDigest, int>> m_counts;
};

} // namespace

QString CImporter::Fit(const QString& str) {
    return FitText(str);
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
    return NoteOf(row.strCounterpart, row.strGoods);
}

QString CImporter::NoteOf(const QString& strCounterpart, const QString& strGoods) {
    return StatementNote(strCounterpart, strGoods);
}

QString CImporter::GuessSort(const SStatementRow& row, const QVector<SImportRule>& rules,
                             const SImportSorts& sorts) {
    return GuessSortOf(row.eType, row.strCategory, row.strCounterpart, row.strGoods,
                       row.strAppCategory, rules, sorts);
}

SImportSorts CImporter::Sorts() const {
    SImportSorts sorts;
    sorts.income = CCategoryBook(ERecordKind::Income, m_strUser, 0, m_strConnection).Names();
    sorts.outlay = CCategoryBook(ERecordKind::Outlay, m_strUser, 0, m_strConnection).Names();
    return sorts;
}

QString CImporter::AppSort(const QString& strAppCategory, ERecordKind eKind,
                           const SImportSorts& lists) {
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
    const QStringList& sorts = lists.Of(eKind);
    for (const auto& e : eKind == ERecordKind::Income ? income : outlay)
        if (strAppCategory.contains(QString::fromUtf8(e.first)) &&
            sorts.contains(QString::fromUtf8(e.second)))
            return QString::fromUtf8(e.second);
    return QString();
}

bool CImporter::SetTransferAccount(SPreviewRow& row, const QString& strAccount,
                                   const QVector<SImportRule>& rules, const SImportSorts& sorts) {
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
        row.strSort = GuessSort(row.src, rules, sorts);
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

CImporter::STotals CImporter::Totals(const CPreviewRows& rows) {
    STotals t;
    t.nRows = int(rows.size());
    // Short names of the reasons, in the order the preview lists them.
    const QStringList names = {Tr("交易关闭"),   Tr("不计收支"),   Tr("本人账户间转账"),
                               Tr("退款不计"),   Tr("金额为 0"),   Tr("期初余额"),
                               Tr("转账另一半"), Tr("同一账户"),   Tr("文件中重复"),
                               Tr("以前导入过"), Tr("账本中已有"), Tr("未勾选")};
    QVector<int> counts(names.size(), 0);
    const CStatementRows& src = rows.Source();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.IsTicked(i)) {
            ++t.nTicked;
            if (src.Type(i) == SStatementRow::EType::Income)
                t.nIncome += src.Cents(i);
            else if (src.Type(i) == SStatementRow::EType::Outlay)
                t.nOutlay += src.Cents(i);
            continue;
        }
        int n = 11;
        if (rows.State(i) == SPreviewRow::EState::NotMoney)
            n = std::max(0, int(src.NotMoney(i)) - 1);
        else if (rows.State(i) == SPreviewRow::EState::Duplicate)
            n = 7 + int(rows.Duplicate(i));
        ++counts[std::min(n, 11)];
    }
    for (int i = 0; i < names.size(); ++i)
        if (counts[i] > 0)
            t.greyed.append({names[i], counts[i]});
    return t;
}

void CImporter::ApplyRules(CPreviewRows& rows, const QVector<SImportRule>& rules) {
    using EText = CStatementRows::EText;
    const CStatementRows& src = rows.Source();
    for (int i = 0; i < rows.size(); ++i)
        if (!rows.IsSortByHand(i) && src.Type(i) != SStatementRow::EType::Transfer)
            rows.SetShared(rows.Edit(i).hSort,
                           GuessSortOf(src.Type(i), src.Text(i, EText::Category),
                                       src.Text(i, EText::Counterpart), src.Text(i, EText::Goods),
                                       src.Text(i, EText::AppCategory), rules, rows.Sorts()));
}

bool CImporter::Preview(const SStatement& st, const QString& strAccount,
                        const QVector<SImportRule>& rules, CPreviewRows& rows,
                        const FProgress& progress) const {
    return PreviewRows(st, nullptr, strAccount, rules, rows, progress);
}

bool CImporter::Preview(SStatement&& st, const QString& strAccount,
                        const QVector<SImportRule>& rules, CPreviewRows& rows,
                        const FProgress& progress) const {
    const bool bDone = PreviewRows(st, &st, strAccount, rules, rows, progress);
    st.rows.clear();
    return bDone;
}

bool CImporter::PreviewRows(const SStatement& st, SStatement* pConsume, const QString& strAccount,
                            const QVector<SImportRule>& rules, CPreviewRows& rows,
                            const FProgress& progress) const {
    using EText = CStatementRows::EText;
    using EType = SStatementRow::EType;
    using EState = SPreviewRow::EState;
    using TDigest = CPreviewRows::TDigest;
    const QStringList accounts = Accounts();
    if (!accounts.contains(strAccount))
        throw CDBException(Tr("找不到账户“%1”。").arg(strAccount));
    const int nUser = UserId();
    const SImportSorts sorts = Sorts();
    const int nTotal = int(st.rows.size());
    auto account = [&](const QString& strName) {
        return accounts.contains(strName) ? strName : strAccount;
    };

    // The accounts the file has blocks for: a transfer to one of them stays a transfer,
    // to the account that block goes to.
    QSet<QString> fileAccounts;
    for (int i = 0; i < nTotal; ++i)
        if (st.rows.HasText(i, EText::Account))
            fileAccounts.insert(st.rows.Text(i, EText::Account));

    // A statement handed over gives its rows, texts and all, to the preview: a big file is
    // never held twice.
    CPreviewRows out;
    out.Adopt(pConsume ? std::move(pConsume->rows) : CStatementRows(st.rows), st.eFormat);
    CStatementRows& src = out.m_src;
    struct SBase {
        TDigest digest;
        int i;
        bool operator<(const SBase& o) const {
            return digest < o.digest || (digest == o.digest && i < o.i);
        }
    };
    std::vector<SBase> bases; // rows without an id, by what they say
    std::vector<int> counted; // rows that claim their key, unless an earlier one has it
    for (int i = 0; i < nTotal; ++i) {
        if (progress && i % ProgressStep == 0 && !progress(i, nTotal * 2))
            return false;
        const SStatementRow r = src.at(i);
        // The keys from what the file says, before a transfer may become an outlay below.
        out.Edit(i).nKeyType = std::uint8_t(r.eType);
        if (!r.strExtId.isEmpty()) {
            out.Edit(i).eKey = std::uint8_t(CPreviewRows::EKey::Identity);
            out.Edit(i).digest = CPreviewRows::DigestOf(out.Key(i));
        } else {
            // Numbered below, when a file holds the same row twice, so an overlapping
            // statement finds the same keys.
            out.Edit(i).eKey = std::uint8_t(CPreviewRows::EKey::Content);
            bases.push_back({CPreviewRows::DigestOf(out.ContentBase(i)), i});
        }
        QString strOwn = account(r.strAccount), strTo, strSort, strUnknown;
        EType eType = r.eType;
        if (r.eType == EType::Transfer) {
            const QString strOther = r.strTransferTo;
            const bool bOut = r.bTransferOut;
            if (accounts.contains(strOther) || fileAccounts.contains(strOther)) {
                strTo = bOut ? account(strOther) : strOwn;
                strOwn = bOut ? strOwn : account(strOther);
            } else {
                // The book lacks the other account: the money left or came into this one.
                strUnknown = strOther;
                eType = bOut ? EType::Outlay : EType::Income;
                const QString strRemark = (bOut ? Tr("转账到“%1”：账本中没有这个账户，记为支出；")
                                                : Tr("从“%1”转来：账本中没有这个账户，记为收入；"))
                                              .arg(strOther) +
                                          Tr("在类别中选一个账户可改为转账。");
                src.SetType(i, eType);
                src.SetText(i, EText::Remark, strRemark);
                strSort = GuessSortOf(eType, r.strCategory, r.strCounterpart, r.strGoods,
                                      r.strAppCategory, rules, sorts);
            }
        } else {
            strSort = GuessSort(r, rules, sorts);
        }
        CPreviewRows::SFields& f = out.Edit(i);
        f.hAccount = out.Shared(strOwn);
        f.hTransferTo = out.Shared(strTo);
        f.hSort = out.Shared(strSort);
        f.hUnknownAccount = out.Shared(strUnknown);
        if (r.eNotMoney != ENotMoney::None || !r.strNotMoney.isEmpty()) {
            f.nState = std::uint8_t(EState::NotMoney);
            f.hReason = out.Shared(r.strNotMoney);
        } else if (eType == EType::Transfer && strOwn == strTo) {
            f.nState = std::uint8_t(EState::NotMoney);
            f.hReason = out.Shared(Tr("转出和转入是同一个账户，余额不变。"));
            src.SetNotMoney(i, ENotMoney::SameAccount, QString());
        } else {
            // Only a row that is counted claims its key: a greyed one hides nothing.
            counted.push_back(i);
        }
    }
    // The same row twice in a file: the second is "row:…:2". Numbered by sorting rather than
    // with a table of the texts, which for a big file would weigh as much as the rows.
    std::sort(bases.begin(), bases.end());
    for (size_t k = 0, n = 0; k < bases.size(); ++k) {
        n = k > 0 && bases[k].digest == bases[k - 1].digest ? n + 1 : 1;
        CPreviewRows::SFields& f = out.Edit(bases[k].i);
        f.nOccurrence = std::int32_t(n);
        f.digest = CPreviewRows::DigestOf(out.Key(bases[k].i));
    }
    bases = std::vector<SBase>();
    // The first counted row with a key claims it; the others with it are the file's repeats.
    std::stable_sort(counted.begin(), counted.end(),
                     [&out](int a, int b) { return out.Digest(a) < out.Digest(b); });
    for (size_t k = 1, nClaim = 0; k < counted.size(); ++k) {
        if (out.Digest(counted[k]) != out.Digest(counted[nClaim])) {
            nClaim = k;
            continue;
        }
        CPreviewRows::SFields& f = out.Edit(counted[k]);
        f.nState = std::uint8_t(EState::Duplicate);
        f.nDuplicate = std::uint8_t(SPreviewRow::EDuplicate::InFile);
        f.hReason = out.Shared(
            Tr("与第 %1 行完全相同，是文件中重复的一行。").arg(src.Line(counted[nClaim])));
    }
    counted = std::vector<int>();
    QDate first, last;
    for (int i = 0; i < nTotal; ++i) {
        const QDate day = src.Date(i);
        if (out.State(i) == EState::New && day.isValid()) {
            if (!first.isValid() || day < first)
                first = day;
            if (!last.isValid() || day > last)
                last = day;
        }
    }

    // What was imported before, and what the book holds over the file's days: digests of
    // their keys, sorted.
    CDigestCount known;
    {
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT \"ExtKey\" FROM \"ImportedId\" WHERE \"UserID\" = ?"), {nUser},
            m_strConnection);
        while (q.next()) {
            known.Add(q.value(0).toString());
            if (progress && known.Added() % (ProgressStep * 4) == 0 &&
                !progress(nTotal, nTotal * 2))
                return false;
        }
        known.Finish();
    }
    CDigestCount inBook;
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
                inBook.Add(RecordKey(eKind, d.ReadDateTime(q.value(0)).date(),
                                     CMoney::ToCents(q.value(1).toDouble()),
                                     q.value(2).toString()));
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
            inBook.Add(n < 0 ? TransferKey(day, q.value(2).toString(), q.value(1).toString(), -n)
                             : TransferKey(day, q.value(1).toString(), q.value(2).toString(), n));
        }
    }
    inBook.Finish();
    auto bookKey = [&](int i) {
        const EType eType = src.Type(i);
        return CPreviewRows::DigestOf(
            eType == EType::Transfer
                ? TransferKey(src.Date(i), out.Account(i), out.TransferTo(i), src.Cents(i))
                : RecordKey(eType == EType::Income ? ERecordKind::Income : ERecordKind::Outlay,
                            src.Date(i), src.Cents(i), out.Note(i)));
    };
    // Rows imported before take their own record out of the book's count first, so a row
    // typed by hand can still match only one row of the file.
    const CTextStore::THandle hImported = out.Shared(Tr("以前导入过这笔交易。"));
    auto markKnown = [&](int i) {
        CPreviewRows::SFields& f = out.Edit(i);
        f.nFlags |= CPreviewRows::KeyKnownFlag;
        f.nState = std::uint8_t(EState::Duplicate);
        f.nDuplicate = std::uint8_t(SPreviewRow::EDuplicate::Imported);
        f.hReason = hImported;
        inBook.Take(bookKey(i));
    };
    for (int i = 0; i < nTotal; ++i)
        if (out.State(i) == EState::New && known.Count(out.Digest(i)) > 0)
            markKnown(i);
    // Books imported into by earlier copies hold the id and direction only, for one row of
    // each: the row whose record the book holds, else the first of the file.
    QHash<QString, QVector<int>> byLegacy;
    for (int i = 0; i < nTotal; ++i)
        if (out.State(i) == EState::New && src.HasText(i, EText::ExtId)) {
            const QString strLegacy = out.LegacyKey(i);
            if (known.Count(CPreviewRows::DigestOf(strLegacy)) > 0)
                byLegacy[strLegacy].append(i);
        }
    for (auto it = byLegacy.cbegin(); it != byLegacy.cend(); ++it) {
        int nPick = it.value().first();
        for (int i : it.value())
            if (inBook.Count(bookKey(i)) > 0) {
                nPick = i;
                break;
            }
        markKnown(nPick);
        out.Edit(nPick).nFlags &= ~CPreviewRows::KeyKnownFlag; // its own key is not stored yet
    }
    const CTextStore::THandle hInBook = out.Shared(Tr("账本中已有同一天、同金额、同备注的记录。"));
    for (int i = 0; i < nTotal; ++i) {
        if (progress && i % ProgressStep == 0 && !progress(nTotal + i, nTotal * 2))
            return false;
        if (out.State(i) != EState::New)
            continue;
        if (inBook.Take(bookKey(i))) {
            CPreviewRows::SFields& f = out.Edit(i);
            f.nState = std::uint8_t(EState::Duplicate);
            f.nDuplicate = std::uint8_t(SPreviewRow::EDuplicate::InBook);
            f.hReason = hInBook;
        }
    }
    for (int i = 0; i < nTotal; ++i)
        out.SetTicked(i, out.State(i) == EState::New);
    out.SetSorts(sorts);
    rows = std::move(out);
    return true;
}

CImporter::SResult CImporter::Import(const CPreviewRows& rows, const FProgress& progress) {
    using EType = SStatementRow::EType;
    SResult result;
    const QStringList accounts = Accounts();
    // Any category of the user's lists (a hidden one too), as it is now.
    // A category renamed by another copy since the preview counts under its new name.
    const CCategoryBook incomeBook(ERecordKind::Income, m_strUser, 0, m_strConnection);
    const CCategoryBook outlayBook(ERecordKind::Outlay, m_strUser, 0, m_strConnection);
    const QStringList income = incomeBook.AllNames() + incomeBook.Renamed().keys();
    const QStringList outlay = outlayBook.AllNames() + outlayBook.Renamed().keys();
    const CStatementRows& src = rows.Source();
    int nTicked = 0;
    for (int i = 0; i < rows.size(); ++i) {
        if (!rows.IsTicked(i))
            continue;
        ++nTicked;
        const int nLine = src.Line(i);
        const EType eType = src.Type(i);
        const QString strAccount = rows.Account(i);
        const QString strTo = rows.TransferTo(i);
        if (!accounts.contains(strAccount) ||
            (eType == EType::Transfer && !accounts.contains(strTo)))
            throw CDBException(Tr("第 %1 行：找不到账户“%2”，没有导入任何记录。")
                                   .arg(nLine)
                                   .arg(accounts.contains(strAccount) ? strTo : strAccount));
        if (!src.Date(i).isValid() || src.Cents(i) <= 0 ||
            src.Cents(i) > CMoney::ToCents(CMoney::Limit))
            throw CDBException(Tr("第 %1 行的日期或金额无效，没有导入任何记录。").arg(nLine));
        if (eType != EType::Transfer &&
            !(eType == EType::Income ? income : outlay).contains(rows.Sort(i)))
            throw CDBException(Tr("第 %1 行没有有效的类别，没有导入任何记录。").arg(nLine));
    }

    CTransaction transaction(m_strConnection);
    CUserAdmin::CheckSession(m_strUser, m_nSessionUser, m_strConnection);
    const int nUser = UserId();
    const QHash<QString, QString> renamed[2] = {incomeBook.Renamed(), outlayBook.Renamed()};
    CBulkRows bulk(m_strConnection); // only inserts below, totals kept in one pass at the end
    // Days that already have a row need no opening.
    QSet<QString> openDays[2];
    QDate first, last;
    for (int i = 0; i < rows.size(); ++i) {
        if (!rows.IsTicked(i))
            continue;
        const QDate day = src.Date(i);
        if (!first.isValid() || day < first)
            first = day;
        if (!last.isValid() || day > last)
            last = day;
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
        if (rows.IsTicked(i) && !rows.IsKeyKnown(i))
            keyed.push_back(i);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&rows](int a, int b) { return rows.Digest(a) < rows.Digest(b); });
    std::vector<bool> storeKey(size_t(rows.size()), false);
    for (size_t k = 0; k < keyed.size(); ++k)
        storeKey[size_t(keyed[k])] = k == 0 || rows.Digest(keyed[k]) != rows.Digest(keyed[k - 1]);
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
        if (!rows.IsTicked(i))
            continue;
        if (progress && nDone % ProgressStep == 0 && !progress(nDone, nTicked))
            return result; // the transaction rolls back
        ++nDone;
        const QDate day = src.Date(i);
        const std::int64_t nCents = src.Cents(i);
        const QString strAccount = rows.Account(i);
        if (src.Type(i) == EType::Transfer) {
            const QString strTo = rows.TransferTo(i);
            trsSet.AddNew();
            trsSet.m_UserName = m_strUser;
            trsSet.m_TrsDate = QDateTime(day, QTime(0, 0));
            trsSet.m_TrsFrom = strAccount;
            trsSet.m_TrsIn = strTo;
            trsSet.m_TrsAmount = CMoney::FromCents(nCents);
            trsSet.Update();
            moves[strAccount] -= nCents;
            moves[strTo] += nCents;
            ++result.nTransfers;
        } else {
            const bool bIncome = src.Type(i) == EType::Income;
            const ERecordKind eKind = bIncome ? ERecordKind::Income : ERecordKind::Outlay;
            QSet<QString>& days = openDays[bIncome ? 0 : 1];
            if (!days.contains(DayText(day))) {
                CDayBook(eKind, m_strUser, m_strConnection).OpenDay(day);
                days.insert(DayText(day));
            }
            if (bIncome) {
                InsertRecord(incomeSet, m_strUser, rows, i, renamed[0]);
                moves[strAccount] += nCents;
                ++result.nIncome;
            } else {
                InsertRecord(outlaySet, m_strUser, rows, i, renamed[1]);
                moves[strAccount] -= nCents;
                ++result.nOutlay;
            }
        }
        if (storeKey[size_t(i)])
            CDatabase::ExecPrepared(insertKey, {nUser, rows.Key(i)});
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
