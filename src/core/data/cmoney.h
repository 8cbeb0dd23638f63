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

std::int64_t ToCents(double d);
double FromCents(std::int64_t nCents);

// "%4.2f", "%4.2f元", "￥%4.2f"
QString Format(double d);
QString FormatYuan(double d);
QString FormatSign(double d);

// The C library's atof on a cell's text: the longest leading decimal number,
// 0 when the text does not begin with one. Leading blanks are skipped.
double Atof(const QString& str);

// A number typed into a dialog field: the whole text (blanks around it allowed) must be a
// decimal number. Returns false for anything else, including nan and inf.
bool ParseField(const QString& str, double& dValue);
} // namespace CMoney
