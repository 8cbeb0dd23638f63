#include "cmoney.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace CMoney {

bool IsValid(double d) {
    return std::isfinite(d) && std::fabs(d) <= Limit;
}

std::int64_t ToCents(double d) {
    if (!std::isfinite(d))
        return 0;
    return std::llround(d * 100.0);
}

double FromCents(std::int64_t nCents) {
    return double(nCents) / 100.0;
}

double Round(double d) {
    return FromCents(ToCents(d));
}

QString Format(double d) {
    // A whole number of cents, as every stored amount is, is written from that integer: the
    // same digits the C library gives it (a double that near a number of cents rounds to it),
    // without its formatting machinery, for every figure of a brief. Anything else, as the C
    // library writes it.
    if (std::fabs(d) < 1e13) {
        const std::int64_t nCents = std::llround(d * 100.0);
        if (FromCents(nCents) == d) {
            const std::int64_t nAbs = nCents < 0 ? -nCents : nCents;
            const int nFraction = static_cast<int>(nAbs % 100);
            QString s = QString::number(nAbs / 100);
            s += QLatin1Char('.');
            s += QLatin1Char(char('0' + nFraction / 10));
            s += QLatin1Char(char('0' + nFraction % 10));
            return nCents < 0 ? QLatin1Char('-') + s : s;
        }
    }
    QString s = QString::asprintf("%4.2f", d);
    return s == QLatin1String("-0.00") ? QStringLiteral("0.00") : s;
}

QString FormatYuan(double d) {
    return Format(d) + QStringLiteral("元");
}

QString FormatSign(double d) {
    return QStringLiteral("￥") + Format(d);
}

double Atof(const QString& str) {
    // Only plain decimal numbers: digits, one point, an exponent. No hex, nan or inf,
    // which the C library would also take but no person means as an amount.
    const QByteArray a = str.toLatin1();
    int i = 0;
    const int n = a.size();
    while (i < n && (a[i] == ' ' || a[i] == '\t' || a[i] == '\n' || a[i] == '\r'))
        ++i;
    const int start = i;
    if (i < n && (a[i] == '+' || a[i] == '-'))
        ++i;
    int digits = 0;
    while (i < n && a[i] >= '0' && a[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < n && a[i] == '.') {
        ++i;
        while (i < n && a[i] >= '0' && a[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    int end = i;
    if (i < n && (a[i] == 'e' || a[i] == 'E')) {
        int j = i + 1;
        if (j < n && (a[j] == '+' || a[j] == '-'))
            ++j;
        int expDigits = 0;
        while (j < n && a[j] >= '0' && a[j] <= '9') {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            end = j;
    }
    return std::strtod(a.mid(start, end - start).constData(), nullptr);
}

namespace {
// The typed text as plain ASCII: full-width forms read as their ASCII ones, blanks around
// it, a leading ￥ and a trailing 元 gone.
QString Plain(const QString& str) {
    // Full-width forms first, so everything after reads plain ASCII.
    QString t;
    t.reserve(str.size());
    for (QChar c : str) {
        const char16_t u = c.unicode();
        if (u >= 0xFF10 && u <= 0xFF19)
            t += QChar(u'0' + (u - 0xFF10));
        else if (u == 0xFF0E || u == 0x3002) // ． and the ideographic full stop 。
            t += QLatin1Char('.');
        else if (u == 0xFF0D || u == 0x2212) // － and the minus sign −
            t += QLatin1Char('-');
        else if (u == 0xFF0B)
            t += QLatin1Char('+');
        else if (u == 0xFF0C || u == 0x3001) // ， and 、
            t += QLatin1Char(',');
        else if (u == 0xFF45 || u == 0xFF25) // ｅ Ｅ
            t += QLatin1Char('e');
        else if (u == 0x3000)
            t += QLatin1Char(' ');
        else
            t += c;
    }
    t = t.trimmed();
    if (t.startsWith(QStringLiteral("￥")) || t.startsWith(QStringLiteral("¥")))
        t = t.mid(1).trimmed();
    if (t.endsWith(QStringLiteral("元")))
        t = t.chopped(1).trimmed();
    return t;
}
} // namespace

EParse Parse(const QString& str, std::int64_t& nCents) {
    nCents = 0;
    const QString t = Plain(str);
    if (t.isEmpty())
        return EParse::Empty;
    if (t.contains(QLatin1Char(',')))
        return EParse::Comma;

    // sign, digits with at most one point, then an optional exponent
    int i = 0;
    const int n = int(t.size());
    bool bNegative = false;
    if (t[i] == u'+' || t[i] == u'-')
        bNegative = t[i++] == u'-';
    QString strDigits;
    int nExp = 0; // value = strDigits x 10^nExp
    bool bPoint = false;
    for (; i < n; ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            strDigits += c;
            if (bPoint)
                --nExp;
        } else if (c == u'.' && !bPoint) {
            bPoint = true;
        } else {
            break;
        }
    }
    if (strDigits.isEmpty())
        return EParse::NotNumber;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        bool bExpNegative = false;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            bExpNegative = t[i++] == u'-';
        if (i >= n)
            return EParse::NotNumber;
        long long nE = 0;
        for (; i < n && t[i] >= u'0' && t[i] <= u'9'; ++i)
            nE = std::min(nE * 10 + (t[i].unicode() - u'0'), 100000LL);
        nExp += int(bExpNegative ? -nE : nE);
    }
    if (i != n)
        return EParse::NotNumber;

    // Leading zeros say nothing; then the count of digits before the point tells the size.
    int nFirst = 0;
    while (nFirst < strDigits.size() - 1 && strDigits[nFirst] == u'0')
        ++nFirst;
    strDigits = strDigits.mid(nFirst);
    if (strDigits == QLatin1String("0"))
        return EParse::Ok;
    const int nWhole = int(strDigits.size()) + nExp; // digits before the point
    if (nWhole > 13)
        return EParse::TooLarge;
    // Whole cents: the digits up to the second after the point, rounded on the next one.
    const int nKeep = nWhole + 2;
    std::int64_t nValue = 0;
    for (int k = 0; k < nKeep; ++k) {
        const int nDigit = k < strDigits.size() && k >= 0 ? strDigits[k].unicode() - u'0' : 0;
        nValue = nValue * 10 + nDigit;
    }
    if (nKeep >= 0 && nKeep < strDigits.size() && strDigits[nKeep] >= u'5')
        ++nValue;
    if (nValue > std::llround(Limit * 100))
        return EParse::TooLarge;
    nCents = bNegative ? -nValue : nValue;
    return EParse::Ok;
}

QString ParseMessage(EParse eParse, const QString& strTyped) {
    switch (eParse) {
    case EParse::Ok:
        return QString();
    case EParse::Empty:
        return QCoreApplication::translate("CMoney", "请输入金额，例如 12.50");
    case EParse::Comma: {
        // Commas between groups of three digits are a thousands separator: say the number
        // meant, so nobody is led to type "1.000" for a thousand.
        const QString t = Plain(strTyped);
        static const QRegularExpression thousands(
            QStringLiteral("^[+-]?[0-9]{1,3}(,[0-9]{3})+(\\.[0-9]*)?$"));
        if (thousands.match(t).hasMatch()) {
            const QString strMeant = QString(t).remove(QLatin1Char(','));
            return QCoreApplication::translate("CMoney", "%1 是 %2 吗？请写 %2，不加逗号")
                .arg(t, strMeant);
        }
        return QCoreApplication::translate(
            "CMoney", "金额中不能有逗号：小数请用小数点（例如 12.50），整数直接写（例如 1000）");
    }
    case EParse::NotNumber:
        return QCoreApplication::translate("CMoney", "金额只能是数字，请用小数点，例如 12.50");
    case EParse::TooLarge:
        return QCoreApplication::translate("CMoney",
                                           "金额太大：不能超过 1000000000000（一万亿）元。");
    }
    return QString();
}

} // namespace CMoney
