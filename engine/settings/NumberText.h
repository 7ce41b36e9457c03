// Numbers as Tessil reads them from text and writes them as text: what a
// text box holds, the figures of the report, the p-values of EcoSim's
// results, the sizes in messages. One place, so that every window, the
// report, the stand-in and the command line write a number the same way,
// byte for byte, and never by the locale.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessil {

// The numeric value of a text typed into a text box. Blanks, tabs and line
// feeds are removed first; then the longest prefix that forms a number is
// read: an optional sign, digits with at most one decimal point and an
// optional exponent, or "&H"/"&O" followed by a hexadecimal or octal whole
// number. A text without such a prefix gives 0. A value too large for a
// double gives an infinity of its sign.
double LeadingNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour.
double RoundHalfEven(double value);

// Writes a value in general decimal form: up to 15 significant digits, a
// point, no leading zeros and no trailing zeros after the point.
std::string GeneralDecimal(double value);

// A finite value with the given number of decimals, halves away from zero
// after writing it with 15 significant digits; "nan", "inf", "-inf"
// otherwise.
std::string FixedDecimals(double value, int decimals);
// "0.000": three decimals, halves away from zero after writing the value with
// 15 significant digits.
std::string FormatRate(double value);
// "0.0%": the value times 100 with one decimal, then a percent sign.
std::string FormatPercent(double value);

// Five decimals, correctly rounded; never "-0.00000". The figures of a
// co-occurrence test's results.
std::string Fixed5(double value);
// count / n with exactly five decimals after a point, the last rounded half
// to even: "0.04700", "1.00000". Needs 0 <= count <= n and n > 0.
std::string FormatPValue(std::int64_t count, std::int64_t n);

// A whole number of the value, rounded as printf rounds ("%.0f").
std::string WholeNumberText(double value);
// Bytes in GiB with one decimal, rounded: "2.0 GiB", "0.5 GiB".
std::string GibibytesText(double bytes);
// Bytes in GiB to one decimal, cut rather than rounded, from 1 GiB on, else
// whole MiB: "2 GiB", "1.5 GiB", "768 MiB".
std::string MemorySizeText(std::uint64_t bytes);

// A whole text as a decimal number: blanks and tabs around it are allowed,
// and a leading "+"; anything else that is not part of the number makes it
// not Valid. A number beyond a double's range is Valid and OutOfRange, with
// Value 0.
struct DecimalText {
  double Value = 0.0;
  bool Valid = false;
  bool OutOfRange = false;
};
DecimalText ReadDecimal(std::string_view text, std::chars_format format);

}  // namespace tessil
