#include "ctablereader.h"

#include "cimporterror.h"
#include "data/cmoney.h"
#include "records/ccategories.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <functional>
#include <vector>

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CTableReader", sz);
}

// Payment apps write "/" or nothing for an empty cell.
QString Clean(const QString& str) {
    return str == QLatin1String("/") || str == QLatin1String("-") ? QString() : str;
}

// Column names as the exports write them: "金额（元）" and "金额(元)" are one name, and the
// web export pads its names with blanks.
QString NameKey(const QString& str) {
    QString s = str;
    s.replace(QChar(0xFF08), QLatin1Char('(')).replace(QChar(0xFF09), QLatin1Char(')'));
    s.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QChar(0x3000));
    return s;
}

// Column positions of a known layout, by name.
struct SColumns {
    QHash<QString, int> index;
    bool Has(const char* szName) const {
        return index.contains(NameKey(QString::fromUtf8(szName)));
    }
    QString Cell(const STableRow& row, const char* szName) const {
        const int n = index.value(NameKey(QString::fromUtf8(szName)), -1);
        return n >= 0 && n < row.cells.size() ? row.cells[n] : QString();
    }
};

SColumns ColumnsOf(const STableRow& header) {
    SColumns c;
    for (int i = 0; i < header.cells.size(); ++i) {
        const QString strKey = NameKey(header.cells[i]);
        if (!c.index.contains(strKey))
            c.index.insert(strKey, i);
    }
    return c;
}

// Order numbers as the apps write them for spreadsheets: `"123456"<TAB>`, `="123456"`.
QString CleanId(const QString& str) {
    QString s = str;
    s.remove(QLatin1Char('"')).remove(QLatin1Char('\t')).remove(QLatin1Char('\''));
    s = s.trimmed();
    if (s.startsWith(QLatin1Char('=')))
        s = s.mid(1).trimmed();
    return s == QLatin1String("/") || s == QLatin1String("-") ? QString() : s;
}

// The table below a known header ends at the first row that starts with a line of dashes
// (the payment apps' closing notes); rows are read up to there.
bool IsFooter(const STableRow& row) {
    return !row.cells.isEmpty() && row.cells[0].startsWith(QLatin1String("---"));
}

QDate RowDate(const STableRow& row, const QString& strCell, const QString& strFormat = QString()) {
    const QDate d = CTableReader::ParseDate(strCell, strFormat);
    if (!d.isValid())
        throw CImportError(strCell.isEmpty() ? Tr("没有日期。") : Tr("日期“%1”无效。").arg(strCell),
                           row.nLine);
    return d;
}

std::int64_t RowCents(const STableRow& row, const QString& strCell) {
    std::int64_t n = 0;
    if (!CTableReader::ParseCents(strCell, n))
        throw CImportError(strCell.isEmpty() ? Tr("没有金额。") : Tr("金额“%1”无效。").arg(strCell),
                           row.nLine);
    return n;
}

bool AnyOf(const QString& str, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (str.contains(QString::fromUtf8(w)))
            return true;
    return false;
}

} // namespace

const QStringList& CTableReader::AlipayColumns() {
    static const QStringList s = {
        QStringLiteral("交易时间"),   QStringLiteral("交易分类"),    QStringLiteral("交易对方"),
        QStringLiteral("对方账号"),   QStringLiteral("商品说明"),    QStringLiteral("收/支"),
        QStringLiteral("金额"),       QStringLiteral("收/付款方式"), QStringLiteral("交易状态"),
        QStringLiteral("交易订单号"), QStringLiteral("商家订单号"),  QStringLiteral("备注")};
    return s;
}

const QStringList& CTableReader::WechatColumns() {
    static const QStringList s = {
        QStringLiteral("交易时间"), QStringLiteral("交易类型"), QStringLiteral("交易对方"),
        QStringLiteral("商品"),     QStringLiteral("收/支"),    QStringLiteral("金额(元)"),
        QStringLiteral("支付方式"), QStringLiteral("当前状态"), QStringLiteral("交易单号"),
        QStringLiteral("商户单号"), QStringLiteral("备注")};
    return s;
}

const QStringList& CTableReader::AlipayWebColumns() {
    static const QStringList s = {QStringLiteral("交易号"),       QStringLiteral("商家订单号"),
                                  QStringLiteral("交易创建时间"), QStringLiteral("付款时间"),
                                  QStringLiteral("最近修改时间"), QStringLiteral("交易来源地"),
                                  QStringLiteral("类型"),         QStringLiteral("交易对方"),
                                  QStringLiteral("商品名称"),     QStringLiteral("金额（元）"),
                                  QStringLiteral("收/支"),        QStringLiteral("交易状态"),
                                  QStringLiteral("服务费（元）"), QStringLiteral("成功退款（元）"),
                                  QStringLiteral("备注"),         QStringLiteral("资金状态")};
    return s;
}

namespace {
// The columns the reading needs; the others may be missing in some exports.
const QStringList& AlipayNeeded() {
    static const QStringList s = {QStringLiteral("交易时间"), QStringLiteral("收/支"),
                                  QStringLiteral("金额"), QStringLiteral("交易状态"),
                                  QStringLiteral("商品说明")};
    return s;
}
const QStringList& AlipayWebNeeded() {
    static const QStringList s = {QStringLiteral("交易创建时间"), QStringLiteral("金额（元）"),
                                  QStringLiteral("收/支"), QStringLiteral("交易状态"),
                                  QStringLiteral("交易对方")};
    return s;
}
const QStringList& WechatNeeded() {
    static const QStringList s = {QStringLiteral("交易时间"), QStringLiteral("交易类型"),
                                  QStringLiteral("收/支"), QStringLiteral("金额(元)"),
                                  QStringLiteral("当前状态")};
    return s;
}
} // namespace

int CTableReader::FindHeader(const TTable& table, const QStringList& names) {
    // The information block above a header is a few dozen lines at most.
    const int nLimit = int(std::min<qsizetype>(table.size(), 200));
    QStringList keys;
    for (const QString& name : names)
        keys << NameKey(name);
    for (int i = 0; i < nLimit; ++i) {
        QStringList cells;
        for (const QString& c : table[i].cells)
            cells << NameKey(c);
        bool bAll = true;
        for (const QString& key : keys)
            bAll = bAll && cells.contains(key);
        if (bAll)
            return i;
    }
    return -1;
}

EStatementFormat CTableReader::DetectLayout(const TTable& table) {
    if (FindHeader(table, AlipayNeeded()) >= 0 || FindHeader(table, AlipayWebNeeded()) >= 0)
        return EStatementFormat::Alipay;
    if (FindHeader(table, WechatNeeded()) >= 0)
        return EStatementFormat::Wechat;
    return EStatementFormat::Csv;
}

int CTableReader::GuessHeader(const TTable& table) {
    const int nLimit = int(std::min<qsizetype>(table.size(), 200));
    for (int i = 0; i + 1 < nLimit; ++i) {
        const QStringList& cells = table[i].cells;
        int nFilled = 0;
        bool bNames = true;
        for (const QString& c : cells) {
            if (c.isEmpty())
                continue;
            ++nFilled;
            std::int64_t n = 0;
            if (ParseCents(c, n) || ParseDate(c).isValid())
                bNames = false;
        }
        if (bNames && nFilled >= 2 && table[i + 1].cells.size() == cells.size())
            return i;
    }
    return -1;
}

bool CTableReader::ParseCents(const QString& strText, std::int64_t& nCents) {
    QString s = strText.trimmed();
    s.remove(QLatin1Char(',')).remove(QChar(0xA5)).remove(QChar(0xFFE5)).remove(QChar(0x5143));
    s = s.trimmed();
    bool bNegative = false;
    if (s.startsWith(QLatin1Char('+')) || s.startsWith(QLatin1Char('-'))) {
        bNegative = s.startsWith(QLatin1Char('-'));
        s = s.mid(1).trimmed();
        // "-¥12.00": the sign may stand before the currency sign.
        s.remove(QChar(0xA5)).remove(QChar(0xFFE5));
    }
    static const QRegularExpression re(QStringLiteral("^(\\d*)(?:\\.(\\d*))?$"));
    const QRegularExpressionMatch m = re.match(s);
    if (!m.hasMatch() || (m.captured(1).isEmpty() && m.captured(2).isEmpty()))
        return false;
    const QString strWhole = m.captured(1);
    const QString strFrac = m.captured(2);
    if (strWhole.size() > 13)
        return false;
    std::int64_t n = strWhole.isEmpty() ? 0 : strWhole.toLongLong() * 100;
    if (strFrac.size() >= 1)
        n += (strFrac[0].unicode() - '0') * 10;
    if (strFrac.size() >= 2)
        n += strFrac[1].unicode() - '0';
    // Half away from zero on the digits as written, not on a binary double.
    if (strFrac.size() >= 3 && strFrac[2] >= QLatin1Char('5'))
        n += 1;
    if (n > CMoney::ToCents(CMoney::Limit))
        return false;
    nCents = bNegative ? -n : n;
    return true;
}

QStringList CTableReader::DateFormats() {
    return {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/M/d"), QStringLiteral("yyyyMMdd"),
            QStringLiteral("yyyy.M.d"),   QStringLiteral("M/d/yyyy"), QStringLiteral("d/M/yyyy"),
            QStringLiteral("d.M.yyyy")};
}

QDate CTableReader::ParseDate(const QString& strText, const QString& strFormat) {
    const QString s = strText.trimmed();
    if (!strFormat.isEmpty()) {
        // The time of day after the date is not needed.
        const QString strDay = s.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('T'), 0, 0);
        QString strFmt = strFormat;
        // "yyyy-MM-dd" also takes "2024-1-5" as people and banks write it.
        strFmt.replace(QLatin1String("MM"), QLatin1String("M"))
            .replace(QLatin1String("dd"), QLatin1String("d"));
        if (strFormat == QLatin1String("yyyyMMdd"))
            strFmt = strFormat;
        return QDate::fromString(strDay, strFmt);
    }
    static const QRegularExpression re(
        QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:$|[ "
                       "T]\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?$)"));
    const QRegularExpressionMatch m = re.match(s);
    if (m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    // A spreadsheet cell holding a date as its day number (days since 1899-12-30).
    static const QRegularExpression serial(QStringLiteral("^(\\d{5})(?:\\.\\d+)?$"));
    const QRegularExpressionMatch ms = serial.match(s);
    if (ms.hasMatch())
        return QDate(1899, 12, 30).addDays(ms.captured(1).toInt());
    return QDate();
}

namespace {

// The direction a 收/支 cell gives: 1 income, -1 outlay, 0 none (不计收支, 其他, /).
int DirectionOf(const QString& strCell) {
    const QString s = strCell.trimmed();
    if (s.isEmpty() || s.contains(QStringLiteral("不计")))
        return 0;
    if (AnyOf(s, {"收入", "已收入", "存入", "贷", "入账"}) ||
        s.compare(QLatin1String("credit"), Qt::CaseInsensitive) == 0)
        return 1;
    if (AnyOf(s, {"支出", "已支出", "支取", "借", "出账"}) ||
        s.compare(QLatin1String("debit"), Qt::CaseInsensitive) == 0)
        return -1;
    if (s == QStringLiteral("收") || s == QStringLiteral("入"))
        return 1;
    if (s == QStringLiteral("支") || s == QStringLiteral("出"))
        return -1;
    return 0;
}

void SetNotMoney(SStatementRow& r, ENotMoney eWhy, const QString& strWhy) {
    r.eNotMoney = eWhy;
    r.strNotMoney = strWhy;
}

QString NeutralText(const QString& strDir) {
    if (strDir.trimmed().isEmpty())
        return Tr("文件没有写明是收入还是支出，不计收支。");
    return Tr("文件记为“%1”：不是收入也不是支出，钱款没有进出。").arg(strDir.trimmed());
}

// What differs between the payment apps' bills: the column names, which trades are closed
// (no money moved), which rows are moves between the user's own balances, which are refunds,
// and where a row's direction is written.
struct SAppBill {
    EStatementFormat eFormat;
    const QStringList& needed;
    std::initializer_list<const char*> dates; // the first one filled is the row's day
    const char* szAmount;
    const char* szGoods;
    const char* szId;
    const char* szShopId;
    const char* szCategory;
    const char* szStatus;
    std::function<bool(const QString& strStatus)> fnClosed;
    std::function<bool(const SColumns&, const STableRow&)> fnOwnMove;
    std::function<bool(const SColumns&, const STableRow&)> fnRefund;
};

SStatement ReadAppBill(const CRowSource& source, int nHeader, const SAppBill& bill) {
    const TTable& table = source.Head();
    SStatement st;
    st.eFormat = bill.eFormat;
    st.header = table[nHeader].cells;
    const SColumns c = ColumnsOf(table[nHeader]);
    const bool bFundColumn = c.Has("资金状态");
    source.ForEach(nHeader + 1, [&](const STableRow& row) {
        if (IsFooter(row))
            return false;
        SStatementRow r;
        r.nLine = row.nLine;
        QString strDate;
        for (const char* sz : bill.dates)
            if (strDate.isEmpty())
                strDate = c.Cell(row, sz);
        r.date = RowDate(row, strDate);
        static const QRegularExpression time(QStringLiteral("[ T](\\d{1,2}:\\d{2}(?::\\d{2})?)"));
        r.strTime = time.match(strDate).captured(1);
        r.nCents = RowCents(row, c.Cell(row, bill.szAmount));
        if (r.nCents < 0)
            r.nCents = -r.nCents;
        r.strCounterpart = Clean(c.Cell(row, "交易对方"));
        r.strGoods = Clean(c.Cell(row, bill.szGoods));
        const QString strMemo = Clean(c.Cell(row, "备注"));
        if (!strMemo.isEmpty())
            r.strGoods = r.strGoods.isEmpty() ? strMemo : r.strGoods + QLatin1Char(' ') + strMemo;
        r.strAppCategory = Clean(c.Cell(row, bill.szCategory));
        r.strExtId = CleanId(c.Cell(row, bill.szId));
        r.strOrderId = CleanId(c.Cell(row, bill.szShopId));
        if (r.strExtId.isEmpty())
            r.strExtId = r.strOrderId;
        r.bRefund = bill.fnRefund(c, row);

        // The direction is what the file says: its 收/支 column, or for the web export,
        // where a refund leaves 收/支 empty, where its money went (资金状态).
        QString strDir = c.Cell(row, "收/支");
        if (strDir.trimmed().isEmpty() && bFundColumn)
            strDir = c.Cell(row, "资金状态");
        const int nDir = DirectionOf(strDir);
        r.eType = nDir > 0 ? SStatementRow::EType::Income : SStatementRow::EType::Outlay;
        r.bNeutral = nDir == 0;

        const QString strStatus = c.Cell(row, bill.szStatus);
        if (bill.fnClosed(strStatus))
            SetNotMoney(r, ENotMoney::Closed,
                        Tr("交易状态是“%1”：交易没有成交，钱款没有变动。").arg(strStatus));
        else if (bill.fnOwnMove(c, row))
            SetNotMoney(r, ENotMoney::OwnMove, Tr("本人零钱与银行卡之间的转账，不是收支。"));
        else if (r.bNeutral)
            SetNotMoney(r, ENotMoney::Neutral, NeutralText(c.Cell(row, "收/支")));
        st.rows.append(r);
        return true;
    });
    CTableReader::PairRefunds(st.rows);
    return st;
}

} // namespace

namespace {

// Rows of a statement by one of their texts: (32-bit hash of the text, row) in one sorted
// array, 8 bytes a row, where a table of the texts would weigh as much as the texts.
class CRowIndex {
public:
    CRowIndex(const CStatementRows& rows, CStatementRows::EText eText)
        : m_rows(rows), m_eText(eText) {}
    void Add(int i) {
        m_entries.push_back(std::uint64_t(HashOf(m_rows.Text(i, m_eText))) << 32 |
                            std::uint32_t(i));
    }
    void Sort() { std::sort(m_entries.begin(), m_entries.end()); }
    // The rows whose text is str, in the order they stand in the file.
    QVector<int> Rows(const QString& str) const {
        QVector<int> list;
        if (str.isEmpty())
            return list;
        const std::uint64_t nFrom = std::uint64_t(HashOf(str)) << 32;
        for (auto it = std::lower_bound(m_entries.begin(), m_entries.end(), nFrom);
             it != m_entries.end() && (*it >> 32) == (nFrom >> 32); ++it)
            if (m_rows.TextEquals(int(std::uint32_t(*it)), m_eText, str))
                list.append(int(std::uint32_t(*it)));
        return list;
    }

private:
    static std::uint32_t HashOf(const QString& str) { return std::uint32_t(qHash(str)); }
    const CStatementRows& m_rows;
    CStatementRows::EText m_eText;
    std::vector<std::uint64_t> m_entries;
};

} // namespace

void CTableReader::PairRefunds(CStatementRows& rows) {
    using EText = CStatementRows::EText;
    // The payments of the file by trade and merchant order number.
    CRowIndex byId(rows, EText::ExtId), byOrder(rows, EText::OrderId);
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.IsRefund(i) || rows.IsNeutral(i) || rows.Type(i) != SStatementRow::EType::Outlay)
            continue;
        if (rows.HasText(i, EText::ExtId))
            byId.Add(i);
        if (rows.HasText(i, EText::OrderId))
            byOrder.Add(i);
    }
    byId.Sort();
    byOrder.Sort();
    QHash<int, std::int64_t> left; // what of a counted payment is not refunded yet
    for (int i = 0; i < rows.size(); ++i) {
        // Only refunds and income are looked at; the others are never made whole.
        if (!rows.IsRefund(i) && rows.Type(i) != SStatementRow::EType::Income)
            continue;
        SStatementRow r = rows.at(i);
        // Money coming back under a payment's merchant order number is that payment's refund,
        // whatever the row calls itself.
        const bool bComesBack = r.eType == SStatementRow::EType::Income && !r.bNeutral &&
                                !r.strOrderId.isEmpty() && !byOrder.Rows(r.strOrderId).isEmpty();
        if ((!r.bRefund && !bComesBack) || r.eNotMoney == ENotMoney::Closed ||
            r.eNotMoney == ENotMoney::OwnMove)
            continue;
        QVector<int> payments;
        auto add = [&](const QVector<int>& list) {
            for (int j : list)
                if (j != i && !payments.contains(j))
                    payments.append(j);
        };
        add(byOrder.Rows(r.strOrderId));
        add(byId.Rows(r.strExtId));
        // A refund's own trade number is often its payment's with a suffix.
        const int nCut = int(r.strExtId.indexOf(QRegularExpression(QStringLiteral("[_*#-]"))));
        if (nCut > 0)
            add(byId.Rows(r.strExtId.left(nCut)));
        int nClosed = -1;
        for (int j : payments)
            if (rows.NotMoney(j) == ENotMoney::Closed && nClosed < 0)
                nClosed = j;
        if (nClosed >= 0) {
            // The payment never moved money, so its refund moves none either.
            rows.SetNotMoney(
                i, ENotMoney::Refund,
                Tr("这是第 %1 行那笔已关闭交易的退款：付款没有成交，退款也没有钱款变动。")
                    .arg(rows.Line(nClosed)));
            continue;
        }
        if (!r.bNeutral) {
            if (r.bRefund && r.eType == SStatementRow::EType::Income)
                rows.SetText(i, EText::Remark, Tr("退款，记为收入。"));
            continue;
        }
        // A neutral refund counts only against a payment of this file that was counted in
        // full, not after the refund and not smaller than what is refunded.
        int nPaid = -1;
        for (int j : payments) {
            if (rows.NotMoney(j) != ENotMoney::None || rows.Date(j) > r.date)
                continue;
            if (!left.contains(j))
                left.insert(j, rows.Cents(j));
            if (left.value(j) >= r.nCents) {
                nPaid = j;
                break;
            }
        }
        if (nPaid < 0) {
            rows.SetNotMoney(i, ENotMoney::Refund,
                             Tr("不计收支的退款：本文件中没有它退还的那笔付款，钱款不计入。"));
            continue;
        }
        const std::int64_t nPaidCents = rows.Cents(nPaid);
        left[nPaid] -= r.nCents;
        rows.SetType(i, SStatementRow::EType::Income);
        rows.SetNeutral(i, false);
        rows.SetNotMoney(i, ENotMoney::None, QString());
        rows.SetText(i, EText::Remark,
                     (r.nCents < nPaidCents ? Tr("退款：第 %1 行 %2 的部分退款")
                                            : Tr("退款：第 %1 行 %2 的全额退款"))
                         .arg(rows.Line(nPaid))
                         .arg(CMoney::Format(CMoney::FromCents(nPaidCents))));
    }
}

SStatement CTableReader::ReadAlipay(const CRowSource& source) {
    const TTable& table = source.Head();
    auto closed = [](const QString& strStatus) {
        return AnyOf(strStatus, {"关闭", "失败", "撤销", "取消", "等待付款", "未付款"});
    };
    auto refund = [](const SColumns& c, const STableRow& row) {
        return c.Cell(row, "交易状态").startsWith(QStringLiteral("退款")) ||
               c.Cell(row, "交易分类") == QStringLiteral("退款") ||
               c.Cell(row, "类型").contains(QStringLiteral("退款")) ||
               Clean(c.Cell(row, "商品说明")).startsWith(QStringLiteral("退款")) ||
               Clean(c.Cell(row, "商品名称")).startsWith(QStringLiteral("退款"));
    };
    auto none = [](const SColumns&, const STableRow&) { return false; };
    const int nApp = FindHeader(table, AlipayNeeded());
    if (nApp >= 0)
        return ReadAppBill(source, nApp,
                           {EStatementFormat::Alipay,
                            AlipayNeeded(),
                            {"交易时间"},
                            "金额",
                            "商品说明",
                            "交易订单号",
                            "商家订单号",
                            "交易分类",
                            "交易状态",
                            closed,
                            none,
                            refund});
    // The web export (交易记录明细查询): the day the money moved, else the day of the trade.
    const int nWeb = FindHeader(table, AlipayWebNeeded());
    if (nWeb >= 0)
        return ReadAppBill(source, nWeb,
                           {EStatementFormat::Alipay,
                            AlipayWebNeeded(),
                            {"付款时间", "交易创建时间"},
                            "金额（元）",
                            "商品名称",
                            "交易号",
                            "商家订单号",
                            "类型",
                            "交易状态",
                            closed,
                            none,
                            refund});
    throw CImportError(Tr("找不到表头（应有列“%1”，或网页版导出的“%2”）。")
                           .arg(AlipayNeeded().join(QStringLiteral("”“")),
                                AlipayWebNeeded().join(QStringLiteral("”“"))));
}

SStatement CTableReader::ReadWechat(const CRowSource& source) {
    const TTable& table = source.Head();
    const int nHeader = FindHeader(table, WechatNeeded());
    if (nHeader < 0)
        throw CImportError(
            Tr("找不到表头（应有列“%1”）。").arg(WechatNeeded().join(QStringLiteral("”“"))));
    return ReadAppBill(
        source, nHeader,
        {EStatementFormat::Wechat,
         WechatNeeded(),
         {"交易时间"},
         "金额(元)",
         "商品",
         "交易单号",
         "商户单号",
         "交易类型",
         "当前状态",
         [](const QString& strStatus) {
             return AnyOf(strStatus, {"失败", "关闭", "撤销", "已取消", "对方已退还", "未支付"});
         },
         [](const SColumns& c, const STableRow& row) {
             return AnyOf(c.Cell(row, "交易类型"), {"零钱充值", "零钱提现", "零钱通", "理财通"});
         },
         [](const SColumns& c, const STableRow& row) {
             return c.Cell(row, "交易类型").contains(QStringLiteral("退款"));
         }});
}
SStatement CTableReader::ReadMapped(const CRowSource& source, int nHeader,
                                    const SColumnMapping& m) {
    const TTable& table = source.Head();
    SStatement st;
    st.eFormat = EStatementFormat::Csv;
    if (nHeader >= table.size())
        throw CImportError(Tr("找不到表头。"));
    if (!m.IsUsable())
        throw CImportError(Tr("请指定日期列和金额列。"));
    // nHeader < 0: the file has no header row, its first row is a transaction.
    if (nHeader >= 0)
        st.header = table[nHeader].cells;
    const QStringList categories = CCategories::Income() + CCategories::Outlay();
    auto cell = [](const STableRow& row, int n) {
        return n >= 0 && n < row.cells.size() ? row.cells[n] : QString();
    };
    source.ForEach(std::max(0, nHeader + 1), [&](const STableRow& row) {
        if (IsFooter(row))
            return false;
        SStatementRow r;
        r.nLine = row.nLine;
        r.date = RowDate(row, cell(row, m.nDate), m.strDateFormat);
        std::int64_t nSigned = 0;
        if (m.nAmount >= 0) {
            nSigned = RowCents(row, cell(row, m.nAmount));
        } else {
            const QString strIn = cell(row, m.nIn);
            const QString strOut = cell(row, m.nOut);
            std::int64_t nIn = 0, nOut = 0;
            if (!strIn.isEmpty())
                nIn = RowCents(row, strIn);
            if (!strOut.isEmpty())
                nOut = RowCents(row, strOut);
            if (strIn.isEmpty() && strOut.isEmpty())
                throw CImportError(Tr("没有金额。"), row.nLine);
            // An outlay column may hold the amount with or without its minus sign.
            nSigned = nIn - (nOut < 0 ? -nOut : nOut);
        }
        r.eType = nSigned < 0 ? SStatementRow::EType::Outlay : SStatementRow::EType::Income;
        r.nCents = nSigned < 0 ? -nSigned : nSigned;
        if (m.nDirection >= 0) {
            // The file's 收/支 words decide; the amount gives only the size.
            const QString strDir = cell(row, m.nDirection);
            const int nDir = DirectionOf(strDir);
            r.eType = nDir > 0 ? SStatementRow::EType::Income : SStatementRow::EType::Outlay;
            r.bNeutral = nDir == 0;
            if (r.bNeutral)
                SetNotMoney(r, ENotMoney::Neutral, NeutralText(strDir));
        }
        if (r.nCents == 0 && r.eNotMoney == ENotMoney::None)
            SetNotMoney(r, ENotMoney::Zero, Tr("金额为 0，没有钱款变动。"));
        r.strCounterpart = cell(row, m.nCounterpart);
        r.strGoods = cell(row, m.nNote);
        const QString strCategory = cell(row, m.nCategory);
        if (categories.contains(strCategory))
            r.strCategory = strCategory;
        else
            r.strAppCategory = strCategory;
        st.rows.append(r);
        return true;
    });
    return st;
}

namespace {

bool IsAmount(const QString& str) {
    std::int64_t n = 0;
    return CTableReader::ParseCents(str, n);
}

// The first of the offered date formats that reads the text, "" for none.
QString DateFormatOf(const QString& str) {
    for (const QString& f : CTableReader::DateFormats())
        if (CTableReader::ParseDate(str, f).isValid())
            return f;
    return QString();
}

// A cell that holds a date: written with separators, or eight digits of a plausible
// yyyyMMdd (which would read as an amount too).
bool IsDate(const QString& str) {
    static const QRegularExpression digits(QStringLiteral("^(19[7-9]\\d|20\\d\\d)\\d{4}$"));
    if (digits.match(str).hasMatch())
        return QDate::fromString(str, QStringLiteral("yyyyMMdd")).isValid();
    return !IsAmount(str) && !DateFormatOf(str).isEmpty();
}

// A row that reads as a transaction: a date, and an amount in another cell.
bool IsDataRow(const STableRow& row) {
    int nDate = -1;
    for (int i = 0; i < row.cells.size() && nDate < 0; ++i)
        if (!row.cells[i].isEmpty() && IsDate(row.cells[i]))
            nDate = i;
    if (nDate < 0)
        return false;
    for (int i = 0; i < row.cells.size(); ++i)
        if (i != nDate && !row.cells[i].isEmpty() && IsAmount(row.cells[i]))
            return true;
    return false;
}

} // namespace

bool CTableReader::GuessLayout(const TTable& table, int& nHeader, SColumnMapping& m) {
    m = SColumnMapping();
    nHeader = -1;
    if (table.isEmpty())
        return false;
    if (!IsDataRow(table[0])) {
        nHeader = GuessHeader(table);
        if (nHeader < 0)
            return false;
    }
    const int nFirst = nHeader + 1;
    const int nEnd = int(std::min<qsizetype>(table.size(), nFirst + 50));
    int nWidth = 0;
    for (int i = std::max(0, nHeader); i < nEnd; ++i)
        nWidth = std::max(nWidth, int(table[i].cells.size()));

    // What each column holds over the first rows: dates, amounts, 收/支 words, or text.
    QVector<bool> dates(nWidth, true), amounts(nWidth, true), dirs(nWidth, true);
    QVector<bool> filled(nWidth, false), always(nWidth, true);
    for (int i = nFirst; i < nEnd; ++i) {
        for (int c = 0; c < nWidth; ++c) {
            const QString s = table[i].cells.value(c);
            if (s.isEmpty()) {
                always[c] = false;
                continue;
            }
            filled[c] = true;
            const bool bAmount = IsAmount(s);
            amounts[c] = amounts[c] && bAmount;
            dates[c] = dates[c] && IsDate(s);
            dirs[c] = dirs[c] && !bAmount && s.size() <= 4 &&
                      (DirectionOf(s) != 0 || s == QLatin1String("/") ||
                       AnyOf(s, {"不计收支", "其他", "其它"}));
        }
    }
    QStringList header;
    if (nHeader >= 0)
        header = table[nHeader].cells;
    auto named = [&header](std::initializer_list<const char*> names, const QVector<bool>& ok) {
        for (int i = 0; i < header.size(); ++i)
            for (const char* n : names)
                if (header[i].contains(QString::fromUtf8(n), Qt::CaseInsensitive) &&
                    (ok.isEmpty() || ok.value(i)))
                    return i;
        return -1;
    };
    auto firstOf = [&](const QVector<bool>& kind, int nSkip = -1) {
        for (int c = 0; c < nWidth; ++c)
            if (c != nSkip && kind[c] && filled[c])
                return c;
        return -1;
    };
    const QVector<bool> any;
    m.nDate = named({"日期", "时间", "Date"}, dates);
    if (m.nDate < 0)
        m.nDate = firstOf(dates);
    m.nDirection = named({"收/支", "收支", "收付", "借贷", "方向"}, dirs);
    if (m.nDirection < 0)
        m.nDirection = firstOf(dirs);
    m.nIn = named({"收入", "存入", "贷方", "Credit"}, amounts);
    m.nOut = named({"支出", "支取", "借方", "Debit"}, amounts);
    if (m.nIn < 0 || m.nOut < 0 || m.nIn == m.nOut) {
        m.nIn = m.nOut = -1;
        m.nAmount = named({"金额", "Amount"}, amounts);
    }
    if (header.isEmpty() && m.nAmount < 0 && m.nIn < 0) {
        QVector<int> cols;
        for (int c = 0; c < nWidth; ++c)
            if (amounts[c] && filled[c] && c != m.nDate)
                cols << c;
        // Without names: one amount column is signed; two always filled are an amount and
        // a balance; otherwise the first is the outlay, the second the income (a bank's
        // debit and credit), and a third the balance.
        if (cols.size() == 1 || (cols.size() >= 2 && always[cols[0]] && always[cols[1]]) ||
            (cols.size() >= 1 && m.nDirection >= 0)) {
            m.nAmount = cols.value(0, -1);
        } else if (cols.size() >= 2) {
            m.nOut = cols[0];
            m.nIn = cols[1];
        }
    }
    if (m.nDirection >= 0 && m.nAmount < 0 && m.nIn >= 0)
        m.nDirection = -1; // separate columns say the direction themselves
    if (header.isEmpty()) {
        // Text columns: the first is the note, the second the counterpart.
        for (int c = 0; c < nWidth; ++c) {
            if (!filled[c] || amounts[c] || dates[c] || c == m.nDirection)
                continue;
            if (m.nNote < 0)
                m.nNote = c;
            else if (m.nCounterpart < 0)
                m.nCounterpart = c;
        }
    } else {
        m.nNote = named({"摘要", "备注", "说明", "用途", "商品", "Memo", "Description"}, any);
        m.nCounterpart = named({"对方", "Payee"}, any);
        m.nCategory = named({"类别", "分类", "Category"}, any);
    }
    if (m.nDate >= 0 && nFirst < table.size()) {
        const QString strFormat = DateFormatOf(table[nFirst].cells.value(m.nDate));
        if (!strFormat.isEmpty())
            m.strDateFormat = strFormat;
    }
    return m.IsUsable();
}
