#pragma once

#include <QString>
#include <cstdint>

// Amounts are doubles of yuan, as stored. Shown sums are built in whole cents so they do
// not depend on the order in which rows arrive.
namespace CMoney {
// Largest amount (in yuan) that still keeps two exact decimals in a double.
constexpr double Limit = 1e12;

// true when d is finite and within ±Limit.
bool IsValid(double d);

// The money rule: whole cents, half away from zero (0 for nan and inf).
std::int64_t ToCents(double d);
double FromCents(std::int64_t nCents);
// d kept to the cent by the money rule, as every amount is stored.
double Round(double d);

// "%4.2f", "%4.2f元", "￥%4.2f"
QString Format(double d);
QString FormatYuan(double d);
QString FormatSign(double d);

// The C library's atof on a cell's text: the longest leading decimal number,
// 0 when the text does not begin with one. Leading blanks are skipped.
double Atof(const QString& str);

// An amount as a person types it into any money field (records grid, account, transfer).
// Full-width digits, point, plus and minus (from a Chinese input method) count as their ASCII
// forms; blanks around it, a leading ￥ and a trailing 元 are allowed; an exponent is read.
// The value is taken to the cent by the money rule, from the decimal text itself (so "1.005"
// is 1.01). Whether zero is acceptable is the field's business.
enum class EParse {
    Ok,
    Empty,     // nothing typed
    Comma,     // "12,5" or "1,250": which one is meant cannot be told
    NotNumber, // anything else that is not one number
    TooLarge,  // beyond ±Limit
};
EParse Parse(const QString& str, std::int64_t& nCents);
// The message for a refusal ("" for Ok); with the typed text it can say what was meant
// ("1,000 是 1000 吗？").
QString ParseMessage(EParse eParse, const QString& strTyped = QString());
} // namespace CMoney
