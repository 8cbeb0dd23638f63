#include "cmoney.h"

#include <QByteArray>
#include <cmath>
#include <cstdlib>

namespace CMoney {

bool IsValid(double d) { return std::isfinite(d) && std::fabs(d) <= Limit; }

std::int64_t ToCents(double d) {
    if (!std::isfinite(d))
        return 0;
    return std::llround(d * 100.0);
}

double FromCents(std::int64_t nCents) { return double(nCents) / 100.0; }

QString Format(double d) {
    QString s = QString::asprintf("%4.2f", d);
    return s == QLatin1String("-0.00") ? QStringLiteral("0.00") : s;
}

QString FormatYuan(double d) { return Format(d) + QStringLiteral("元"); }

QString FormatSign(double d) { return QStringLiteral("￥") + Format(d); }

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

bool ParseField(const QString& str, double& dValue) {
    const QString t = str.trimmed();
    if (t.isEmpty())
        return false;
    const QByteArray a = t.toLatin1();
    if (QString::fromLatin1(a) != t)
        return false;
    // The whole text must be one plain decimal number.
    for (char c : a) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return false;
    }
    char* pEnd = nullptr;
    const double d = std::strtod(a.constData(), &pEnd);
    if (pEnd != a.constData() + a.size() || !std::isfinite(d))
        return false;
    dValue = d;
    return true;
}

} // namespace CMoney
