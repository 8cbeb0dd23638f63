#include "ctablereader.h"

#include "cimporterror.h"
#include "data/cmoney.h"
#include "records/ccategories.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <functional>

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CTableReader", sz);
}

// Payment apps write "/" or nothing for an empty cell.
QString Clean(const QString& str) {
    return str == QLatin1String("/") || str == QLatin1String("-") ? QString() : str;
}

// Column positions of a known layout, by name.
struct SColumns {
    QHash<QString, int> index;
    QString Cell(const STableRow& row, const char* szName) const {
        const int n = index.value(QString::fromUtf8(szName), -1);
        return n >= 0 && n < row.cells.size() ? row.cells[n] : QString();
    }
};

SColumns ColumnsOf(const STableRow& header) {
    SColumns c;
    for (int i = 0; i < header.cells.size(); ++i)
        if (!c.index.contains(header.cells[i]))
            c.index.insert(header.cells[i], i);
    return c;
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

int HeaderOrThrow(const TTable& table, const QStringList& names) {
    const int n = CTableReader::FindHeader(table, names);
    if (n < 0)
        throw CImportError(Tr("找不到表头（应有列“%1”）。").arg(names.join(QStringLiteral("”“"))));
    return n;
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

namespace {
// The columns the reading needs; the others may be missing in some exports.
const QStringList& AlipayNeeded() {
    static const QStringList s = {QStringLiteral("交易时间"), QStringLiteral("收/支"),
                                  QStringLiteral("金额"), QStringLiteral("交易状态"),
                                  QStringLiteral("商品说明")};
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
    for (int i = 0; i < nLimit; ++i) {
        bool bAll = true;
        for (const QString& name : names)
            bAll = bAll && table[i].cells.contains(name);
        if (bAll)
            return i;
    }
    return -1;
}

EStatementFormat CTableReader::DetectLayout(const TTable& table) {
    if (FindHeader(table, AlipayNeeded()) >= 0)
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

// What differs between the payment apps' bills: some column names, and how a row's own
// columns say that it moves no money for the user (checked first), that it is a refund, and
// what a row that is neither income nor outlay is called.
struct SAppBill {
    EStatementFormat eFormat;
    const QStringList& needed;
    const char* szAmount;
    const char* szGoods;
    const char* szId;
    const char* szShopId;
    std::function<QString(const SColumns&, const STableRow&)> fnNotMoney;
    std::function<bool(const SColumns&, const STableRow&)> fnRefund;
    std::function<QString(const QString& strDir)> fnNeutral;
};

SStatement ReadAppBill(const TTable& table, const SAppBill& bill) {
    SStatement st;
    st.eFormat = bill.eFormat;
    const int nHeader = HeaderOrThrow(table, bill.needed);
    st.header = table[nHeader].cells;
    const SColumns c = ColumnsOf(table[nHeader]);
    for (int i = nHeader + 1; i < table.size(); ++i) {
        const STableRow& row = table[i];
        if (IsFooter(row))
            break;
        SStatementRow r;
        r.nLine = row.nLine;
        r.date = RowDate(row, c.Cell(row, "交易时间"));
        r.nCents = RowCents(row, c.Cell(row, bill.szAmount));
        if (r.nCents < 0)
            r.nCents = -r.nCents;
        r.strCounterpart = Clean(c.Cell(row, "交易对方"));
        r.strGoods = Clean(c.Cell(row, bill.szGoods));
        const QString strMemo = Clean(c.Cell(row, "备注"));
        if (!strMemo.isEmpty())
            r.strGoods = r.strGoods.isEmpty() ? strMemo : r.strGoods + QLatin1Char(' ') + strMemo;
        r.strExtId = Clean(c.Cell(row, bill.szId));
        if (r.strExtId.isEmpty())
            r.strExtId = Clean(c.Cell(row, bill.szShopId));
        const QString strDir = c.Cell(row, "收/支");
        // A row that moves no money is greyed in the preview, whatever its direction.
        r.strNotMoney = bill.fnNotMoney(c, row);
        if (r.strNotMoney.isEmpty()) {
            r.bRefund = bill.fnRefund(c, row);
            if (r.bRefund || strDir == QStringLiteral("收入"))
                r.eType = SStatementRow::EType::Income;
            else if (strDir == QStringLiteral("支出"))
                r.eType = SStatementRow::EType::Outlay;
            else
                r.strNotMoney = bill.fnNeutral(strDir);
        }
        st.rows.append(r);
    }
    return st;
}

} // namespace

SStatement CTableReader::ReadAlipay(const TTable& table) {
    return ReadAppBill(
        table,
        {EStatementFormat::Alipay, AlipayNeeded(), "金额", "商品说明", "交易订单号", "商家订单号",
         [](const SColumns& c, const STableRow& row) {
             const QString strStatus = c.Cell(row, "交易状态");
             return AnyOf(strStatus, {"关闭", "失败", "撤销", "取消"}) ? strStatus : QString();
         },
         [](const SColumns& c, const STableRow& row) {
             return c.Cell(row, "交易状态").contains(QStringLiteral("退款"));
         },
         // 余额宝 and card moves are "不计收支": money between the user's own balances.
         [](const QString& strDir) { return strDir.isEmpty() ? Tr("不计收支") : strDir; }});
}

SStatement CTableReader::ReadWechat(const TTable& table) {
    return ReadAppBill(
        table,
        {EStatementFormat::Wechat, WechatNeeded(), "金额(元)", "商品", "交易单号", "商户单号",
         [](const SColumns& c, const STableRow& row) {
             const QString strStatus = c.Cell(row, "当前状态");
             if (AnyOf(strStatus, {"失败", "关闭", "撤销", "已取消", "对方已退还"}))
                 return strStatus;
             if (AnyOf(c.Cell(row, "交易类型"), {"零钱充值", "零钱提现", "零钱通", "理财通"}))
                 return Tr("本人零钱与银行卡之间的转帐");
             return QString();
         },
         [](const SColumns& c, const STableRow& row) {
             return c.Cell(row, "交易类型").contains(QStringLiteral("退款"));
         },
         [](const QString&) { return Tr("不计收支（/）"); }});
}

SStatement CTableReader::ReadMapped(const TTable& table, int nHeader, const SColumnMapping& m) {
    SStatement st;
    st.eFormat = EStatementFormat::Csv;
    if (nHeader < 0 || nHeader >= table.size())
        throw CImportError(Tr("找不到表头。"));
    if (!m.IsUsable())
        throw CImportError(Tr("请指定日期列和金额列。"));
    st.header = table[nHeader].cells;
    const QStringList categories = CCategories::Income() + CCategories::Outlay();
    auto cell = [](const STableRow& row, int n) {
        return n >= 0 && n < row.cells.size() ? row.cells[n] : QString();
    };
    for (int i = nHeader + 1; i < table.size(); ++i) {
        const STableRow& row = table[i];
        if (IsFooter(row))
            break;
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
        if (r.nCents == 0)
            r.strNotMoney = Tr("金额为 0");
        r.strCounterpart = cell(row, m.nCounterpart);
        r.strGoods = cell(row, m.nNote);
        const QString strCategory = cell(row, m.nCategory);
        if (categories.contains(strCategory))
            r.strCategory = strCategory;
        st.rows.append(r);
    }
    return st;
}
