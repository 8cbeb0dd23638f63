#include "cimporter.h"

#include "accounts/caccountlist.h"
#include "accounts/cbalance.h"
#include "data/cbulkrows.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/cschema.h"
#include "data/ctransaction.h"
#include "data/ctrsset.h"
#include "records/ccategories.h"
#include "records/cdaybook.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CImporter", sz);
}

constexpr int ProgressStep = 500;

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

// Over-long texts are cut to what a column holds, counting characters as the record sets do.
QString Fit(const QString& str) {
    const QList<uint> ucs = str.toUcs4();
    if (ucs.size() <= CDatabase::MaxTextLength)
        return str;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(ucs.constData()),
                             CDatabase::MaxTextLength);
}

// One record set per table for the whole import, so its insert stays prepared.
template <class TSet> void InsertRecord(TSet& set, const QString& strUser, const SPreviewRow& row) {
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(row.src.date, QTime(0, 0));
    set.m_Sort = row.strSort;
    set.m_Note = row.strNote;
    set.m_Amount = CMoney::FromCents(row.src.nCents);
    set.m_Bank = row.strAccount;
    set.Update();
}

} // namespace

CImporter::CImporter(const QString& strUser, qint64 nSessionUser, const QString& strConnection)
    : m_strUser(strUser), m_nSessionUser(nSessionUser), m_strConnection(strConnection) {}

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
    return sorts.last(); // 其它收入 / 其它支出
}

void CImporter::ApplyRules(QVector<SPreviewRow>& rows, const QVector<SImportRule>& rules) {
    for (SPreviewRow& r : rows)
        if (!r.bSortByHand && r.src.eType != SStatementRow::EType::Transfer)
            r.strSort = GuessSort(r.src, rules);
}

bool CImporter::Preview(const SStatement& st, const QString& strAccount,
                        const QVector<SImportRule>& rules, QVector<SPreviewRow>& rows,
                        const FProgress& progress) const {
    const QStringList accounts = Accounts();
    if (!accounts.contains(strAccount))
        throw CDBException(Tr("找不到帐户“%1”。").arg(strAccount));
    const int nUser = UserId();
    const QString strPrefix = SourcePrefix(st.eFormat);
    const int nTotal = int(st.rows.size());
    auto account = [&](const QString& strName) {
        return accounts.contains(strName) ? strName : strAccount;
    };

    QVector<SPreviewRow> out(nTotal);
    QHash<QString, int> occurrences;
    QSet<QString> fileKeys;
    QDate first, last;
    for (int i = 0; i < nTotal; ++i) {
        if (progress && i % ProgressStep == 0 && !progress(i, nTotal * 2))
            return false;
        const SStatementRow& r = st.rows[i];
        SPreviewRow& p = out[i];
        p.src = r;
        p.strNote = NoteOf(r);
        p.strAccount = account(r.strAccount);
        if (r.eType == SStatementRow::EType::Transfer)
            p.strTransferTo = account(r.strTransferTo);
        else
            p.strSort = GuessSort(r, rules);
        if (!r.strExtId.isEmpty()) {
            p.strExtKey = Fit(strPrefix + QLatin1Char(':') + r.strExtId + QLatin1Char(':') +
                              TypeLetter(r.eType));
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
        if (!r.strNotMoney.isEmpty()) {
            p.eState = SPreviewRow::EState::NotMoney;
            p.strReason = r.strNotMoney;
        } else if (r.eType == SStatementRow::EType::Transfer && p.strAccount == p.strTransferTo) {
            p.eState = SPreviewRow::EState::NotMoney;
            p.strReason = Tr("转出和转入是同一个帐户");
        } else if (fileKeys.contains(p.strExtKey)) {
            p.eState = SPreviewRow::EState::Duplicate;
            p.strReason = Tr("文件中重复的交易");
        }
        fileKeys.insert(p.strExtKey);
        if (p.eState == SPreviewRow::EState::New && r.date.isValid()) {
            if (!first.isValid() || r.date < first)
                first = r.date;
            if (!last.isValid() || r.date > last)
                last = r.date;
        }
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
                   : RecordKey(p.src.Kind(), p.src.date, p.src.nCents, p.strNote);
    };
    // Rows imported before take their own record out of the book's count first, so a row
    // typed by hand can still match only one row of the file.
    for (SPreviewRow& p : out) {
        if (p.eState == SPreviewRow::EState::NotMoney || !known.contains(p.strExtKey))
            continue;
        p.bKeyKnown = true;
        p.eState = SPreviewRow::EState::Duplicate;
        p.strReason = Tr("以前导入过（交易号相同）");
        auto it = inBook.find(bookKey(p));
        if (it != inBook.end() && it.value() > 0)
            --it.value();
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
            p.strReason = Tr("帐本中已有同一天、同金额、同备注的记录");
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
                Tr("第 %1 行：找不到帐户“%2”，没有导入任何记录。")
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
    QSet<QString> written; // a key ticked twice (a row repeated in the file) is stored once
    CIncomeSet incomeSet(m_strConnection);
    COutlaySet outlaySet(m_strConnection);
    CTrsSet trsSet(m_strConnection);
    QSqlQuery insertKey(CDatabase::Connection(m_strConnection));
    if (!insertKey.prepare(
            QStringLiteral("INSERT INTO \"ImportedId\" (\"UserID\", \"ExtKey\") VALUES (?, ?)")))
        throw CDBException(CDatabase::ErrorText(insertKey.lastError(),
                                                CDatabase::Dialect(m_strConnection).Kind()));
    int nDone = 0;
    for (const SPreviewRow& p : rows) {
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
        if (!p.bKeyKnown && !written.contains(p.strExtKey)) {
            written.insert(p.strExtKey);
            CDatabase::ExecPrepared(insertKey, {nUser, p.strExtKey});
        }
    }
    for (auto it = moves.cbegin(); it != moves.cend(); ++it) {
        if (it.value() == 0)
            continue;
        // With two accounts of the same name only the first one entered moves, as a day does.
        if (!CBalance::Move(m_strUser, it.key(), it.value(), m_strConnection))
            throw CDBException(Tr("找不到帐户“%1”，没有导入任何记录。").arg(it.key()));
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
