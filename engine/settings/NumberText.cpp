#include "NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>

namespace tessil {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A whole number in base 16 or 8 after "&H" or "&O". Accumulated in double so
// long digit strings grow large instead of wrapping.
double RadixPrefix(std::string_view s, int radix) {
  double value = 0.0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0 || d >= radix) break;
    value = value * radix + d;
  }
  return value;
}

}  // namespace

double LeadingNumber(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s.push_back(c);
  }

  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'H' || s[1] == 'h') return RadixPrefix(std::string_view(s).substr(2), 16);
    if (s[1] == 'O' || s[1] == 'o') return RadixPrefix(std::string_view(s).substr(2), 8);
    return 0.0;
  }

  // Find the longest prefix of the form [sign] digits [. digits] [E [sign] digits].
  std::size_t pos = 0;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
    negative = s[pos] == '-';
    ++pos;
  }
  const std::size_t mantissaStart = pos;
  std::size_t digits = 0;
  while (pos < s.size() && IsDigit(s[pos])) ++pos, ++digits;
  if (pos < s.size() && s[pos] == '.') {
    ++pos;
    while (pos < s.size() && IsDigit(s[pos])) ++pos, ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = pos;
  if (pos < s.size() && (s[pos] == 'E' || s[pos] == 'e')) {
    std::size_t e = pos + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    const std::size_t expDigitsStart = e;
    while (e < s.size() && IsDigit(s[e])) ++e;
    if (e > expDigitsStart) end = e;
  }

  std::string number = s.substr(mantissaStart, end - mantissaStart);
  // from_chars wants a digit before an exponent when the mantissa is "5."
  // or ".5"; both forms are accepted by it, but a bare "+" exponent sign is not.
  for (std::size_t i = 0; i < number.size(); ++i) {
    if ((number[i] == 'e' || number[i] == 'E') && i + 1 < number.size() && number[i + 1] == '+') {
      number.erase(i + 1, 1);
      break;
    }
  }
  double value = 0.0;
  const auto [ptr, ec] =
      std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Distinguish overflow from underflow by the sign of the decimal exponent.
    const auto epos = number.find_first_of("eE");
    const bool tiny = epos != std::string::npos && epos + 1 < number.size() && number[epos + 1] == '-';
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (ec != std::errc() || ptr != number.data() + number.size()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::string GeneralDecimal(double value) {
  if (value == 0.0) return "0";
  char buffer[64];
  // Up to 15 significant digits, fixed notation for the magnitudes a text box
  // sensibly holds, scientific beyond them.
  const double magnitude = std::fabs(value);
  std::to_chars_result r{};
  if (magnitude >= 1e15 || magnitude < 1e-5) {
    r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    std::string s(buffer, r.ptr);
    // Trim zeros of the mantissa: 1.50000000000000e+20 -> 1.5E+20.
    const auto e = s.find('e');
    std::string mantissa = s.substr(0, e);
    std::string exponent = s.substr(e + 1);
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    return mantissa + "E" + exponent;
  }
  const int decimals = std::max(0, 14 - static_cast<int>(std::floor(std::log10(magnitude))));
  r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string s(buffer, r.ptr);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

// Writes a finite value with the given number of decimals. The value is
// first written with 15 significant digits, and that decimal text is rounded,
// so that a rate such as 0.0625 or 1.0005 rounds the way a reader of the
// decimal figure expects rather than the way its binary neighbour would.
// std::to_chars never consults the locale, so the separator is always a point.
std::string FixedDecimals(double value, int decimals) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value < 0 ? "-inf" : "inf";
  }

  constexpr int significantDigits = 15;
  std::array<char, 64> buffer{};
  const std::to_chars_result written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                                     std::chars_format::scientific, significantDigits - 1);
  if (written.ec != std::errc{}) {
    return "nan";
  }
  // The text reads d.ddddddddddddddde±x: fifteen digits and an exponent.
  const std::string_view text(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data()));
  const std::size_t exponentAt = text.find('e');
  std::string digits;
  for (const char c : text.substr(0, exponentAt)) {
    if (c != '.') {
      digits.push_back(c);
    }
  }
  int exponent = 0;
  for (const char c : text.substr(exponentAt + 2)) {
    exponent = exponent * 10 + (c - '0');
  }
  if (text[exponentAt + 1] == '-') {
    exponent = -exponent;
  }

  // The value times 10^decimals, as a whole number of digits kept from the
  // 15 significant ones (more digits than that are zeros).
  const int kept = exponent + 1 + decimals;
  std::string scaled;
  bool roundUp = false;
  if (kept < 0) {
    // Below half a unit of the last decimal: the value rounds to zero.
  } else if (kept < significantDigits) {
    scaled = digits.substr(0, static_cast<std::size_t>(kept));
    roundUp = digits[static_cast<std::size_t>(kept)] >= '5';
  } else {
    scaled = digits;
    scaled.append(static_cast<std::size_t>(kept - significantDigits), '0');
  }
  if (roundUp) {
    // Halves go away from zero: the magnitude is rounded up.
    std::size_t i = scaled.size();
    while (i > 0 && scaled[i - 1] == '9') {
      scaled[i - 1] = '0';
      --i;
    }
    if (i == 0) {
      scaled.insert(scaled.begin(), '1');
    } else {
      ++scaled[i - 1];
    }
  }

  const std::size_t fraction = static_cast<std::size_t>(decimals);
  if (scaled.size() < fraction + 1) {
    scaled.insert(0, fraction + 1 - scaled.size(), '0');
  }
  // A value that rounds to zero is written without a sign.
  const bool negative = value < 0 && scaled.find_first_not_of('0') != std::string::npos;
  std::string out;
  if (negative) {
    out.push_back('-');
  }
  out.append(scaled, 0, scaled.size() - fraction);
  if (fraction > 0) {
    out.push_back('.');
    out.append(scaled, scaled.size() - fraction, fraction);
  }
  return out;
}

std::string FormatRate(double value) { return FixedDecimals(value, 3); }

std::string FormatPercent(double value) { return FixedDecimals(value * 100.0, 1) + "%"; }

// Five decimals, correctly rounded by std::to_chars on every platform. The
// buffer holds the longest such text: 309 digits, a point and five decimals.
std::string Fixed5(double value) {
  char buffer[400];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 5).ptr;
  std::string text(buffer, end);
  if (text == "-0.00000") {
    text.erase(0, 1);
  }
  return text;
}

std::string FormatPValue(std::int64_t count, std::int64_t n) {
  // Integer arithmetic, so that a p-value exactly halfway between two
  // five-decimal values rounds the same way everywhere.
  std::int64_t scaled = count * 100000 / n;
  const std::int64_t rest = count * 100000 % n;
  if (2 * rest > n || (2 * rest == n && scaled % 2 == 1)) {
    ++scaled;
  }
  std::string decimals = std::to_string(scaled % 100000);
  decimals.insert(0, 5 - decimals.size(), '0');
  return std::to_string(scaled / 100000) + "." + decimals;
}

std::string WholeNumberText(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.0f", value);
  return buffer;
}

std::string GibibytesText(double bytes) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, bytes / 1073741824.0, std::chars_format::fixed, 1).ptr;
  return std::string(text, end) + " GiB";
}

std::string MemorySizeText(std::uint64_t bytes) {
  const double gib = static_cast<double>(bytes) / (1u << 30);
  if (gib >= 1) return GeneralDecimal(std::floor(gib * 10) / 10) + " GiB";
  return std::to_string(bytes >> 20) + " MiB";
}

DecimalText ReadDecimal(std::string_view text, std::chars_format format) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  const char* first = text.data() + begin;
  const char* last = text.data() + end;
  if (first != last && *first == '+') ++first;
  DecimalText read;
  const auto [ptr, ec] = std::from_chars(first, last, read.Value, format);
  read.Valid = first != last && ec != std::errc::invalid_argument && ptr == last;
  read.OutOfRange = read.Valid && ec == std::errc::result_out_of_range;
  if (!read.Valid || read.OutOfRange) read.Value = 0.0;
  return read;
}

}  // namespace tessil
