#include "Public_Declarations.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

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
  const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                         std::chars_format::general);
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

namespace {

// A size text as a 32-bit whole number, the way a text box's contents are
// converted: blanks around it are allowed, anything else that is not part of
// the number makes it unusable.
std::int32_t SizeFromText(const std::string& text, const char* what) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  const std::string trimmed = text.substr(begin, end - begin);
  double value = 0.0;
  const char* first = trimmed.data();
  const char* last = trimmed.data() + trimmed.size();
  if (first != last && *first == '+') ++first;
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (trimmed.empty() || ec == std::errc::invalid_argument || ptr != last) {
    throw RunSettingsError(RunSettingsError::TypeMismatch,
                           std::string("The number of ") + what + " \"" + text + "\" is not a number.");
  }
  const double rounded = RoundHalfEven(value);
  if (ec == std::errc::result_out_of_range || !(rounded >= std::numeric_limits<std::int32_t>::min()) ||
      !(rounded <= std::numeric_limits<std::int32_t>::max())) {
    throw RunSettingsError(RunSettingsError::Overflow,
                           std::string("The number of ") + what + " \"" + text + "\" is too large.");
  }
  return static_cast<std::int32_t>(rounded);
}

}  // namespace

void LoadRunSettings(RunSettings& settings, const RunInputs& inputs) {
  settings.NumRows = SizeFromText(inputs.RowsText(), "rows");
  settings.NumCols = SizeFromText(inputs.ColsText(), "columns");
  if (settings.NumRows < 2) {
    throw RunSettingsError(RunSettingsError::Overflow, "Error 05: Matrix must have at least 2 rows.");
  }
  if (settings.NumCols < 2) {
    throw RunSettingsError(RunSettingsError::Overflow, "Error 04: Matrix must have at least 2 columns.");
  }
  const std::int64_t cells = std::int64_t{settings.NumRows} * settings.NumCols;
  if (cells > MaxMatrixCells) {
    throw RunSettingsError(RunSettingsError::OutOfMemory,
                           "A matrix of " + std::to_string(settings.NumRows) + " rows x " +
                               std::to_string(settings.NumCols) + " columns has too many cells to simulate (at most " +
                               std::to_string(MaxMatrixCells) + ").");
  }

  settings.UpperTail = UpperTailIndex(inputs.CommittedOptions().Index) ? 1 : 0;

  if (settings.NumIterations == 0) settings.NumIterations = 100;
}

void ResetRunSettings(RunSettings& settings) {
  settings.NumRows = 0;
  settings.NumCols = 0;
  settings.UpperTail = 0;
  settings.StartTime = 0.0;
  settings.NumArguments = 0;
  settings.TestsDone = 0;
  settings.WorkDone = 0.0;
}

void TakeMainWindowChoices(RunSettings& settings, const MainWindowChoices& c) {
  settings.NullHypothesis = c.NullHypothesis;
  settings.AssumeSitesEquivalent = c.AssumeSitesEquivalent;
  settings.AssumeSpeciesEquivalent = c.AssumeSpeciesEquivalent;
  settings.AssumedLevel = c.AssumedLevel;
}

}  // namespace tessil
