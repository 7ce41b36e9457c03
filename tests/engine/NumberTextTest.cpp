// Every way Tessil turns a number into text or text into a number, in one
// table: the unit, what it is given (a number as its shortest decimal text,
// a text as it is typed, a count as "count/n") and the exact bytes it gives.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "NumberText.h"

namespace tessil {
namespace {

struct NumberCase {
  const char* Unit;
  std::string In;
  std::string Out;
};

double Number(const std::string& text) {
  double value = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::int64_t Whole(std::string_view text) {
  std::int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// The shortest text that reads back as the same double: a parser's result
// shown exactly.
std::string Shortest(double value) {
  char buffer[64];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string Read(const DecimalText& read) {
  if (!read.Valid) return "not a number";
  return read.OutOfRange ? "out of range" : Shortest(read.Value);
}

std::string Apply(std::string_view unit, const std::string& in) {
  if (unit == "LeadingNumber") return Shortest(LeadingNumber(in));
  if (unit == "RoundHalfEven") return Shortest(RoundHalfEven(Number(in)));
  if (unit == "GeneralDecimal") return GeneralDecimal(Number(in));
  if (unit == "FormatRate") return FormatRate(Number(in));
  if (unit == "FormatPercent") return FormatPercent(Number(in));
  if (unit == "Fixed5") return Fixed5(Number(in));
  if (unit == "FormatPValue") {
    const std::size_t slash = in.find('/');
    return FormatPValue(Whole(std::string_view(in).substr(0, slash)), Whole(std::string_view(in).substr(slash + 1)));
  }
  if (unit == "WholeNumberText") return WholeNumberText(Number(in));
  if (unit == "GibibytesText") return GibibytesText(Number(in));
  if (unit == "MemorySizeText") return MemorySizeText(static_cast<std::uint64_t>(Whole(in)));
  if (unit == "ReadFixed") return Read(ReadDecimal(in, std::chars_format::fixed));
  if (unit == "ReadGeneral") return Read(ReadDecimal(in, std::chars_format::general));
  ADD_FAILURE() << "no unit " << unit;
  return {};
}

std::string Visible(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      shown += c;
    }
  }
  return shown;
}

TEST(NumberText, EveryUnitGivesItsExactBytes) {
  // clang-format off
  const std::vector<NumberCase> table = {
        // LeadingNumber: plain numbers
        {"LeadingNumber", "10", "10"}, {"LeadingNumber", "0", "0"}, {"LeadingNumber", "0250", "250"},
        {"LeadingNumber", "2.5", "2.5"}, {"LeadingNumber", ".5", "0.5"}, {"LeadingNumber", "5.", "5"},
        {"LeadingNumber", "-3", "-3"}, {"LeadingNumber", "+7", "7"}, {"LeadingNumber", "-.25", "-0.25"},
        // blanks, tabs and line feeds vanish wherever they are
        {"LeadingNumber", "1 000", "1000"}, {"LeadingNumber", "  42  ", "42"}, {"LeadingNumber", "\t1\t2", "12"},
        {"LeadingNumber", "1\n5", "15"}, {"LeadingNumber", "- 4", "-4"}, {"LeadingNumber", "1 e 3", "1000"},
        // a carriage return is not a blank: it ends the number
        {"LeadingNumber", "1\r5", "1"},
        // the number ends at the first character that cannot continue it
        {"LeadingNumber", "12abc", "12"}, {"LeadingNumber", "1,000", "1"}, {"LeadingNumber", "$5", "0"},
        {"LeadingNumber", "1.2.3", "1.2"}, {"LeadingNumber", "3%", "3"}, {"LeadingNumber", "--5", "0"},
        {"LeadingNumber", "+-5", "0"},
        // exponents, in either case, complete or not
        {"LeadingNumber", "1e3", "1000"}, {"LeadingNumber", "1E3", "1000"}, {"LeadingNumber", "2.5e-1", "0.25"},
        {"LeadingNumber", "1e+2", "100"}, {"LeadingNumber", "1e", "1"}, {"LeadingNumber", "1e+", "1"},
        {"LeadingNumber", "1e-x", "1"}, {"LeadingNumber", "1d3", "1"}, {"LeadingNumber", ".5e1", "5"},
        // hexadecimal and octal whole numbers
        {"LeadingNumber", "&H1F", "31"}, {"LeadingNumber", "&hff", "255"}, {"LeadingNumber", "&O17", "15"},
        {"LeadingNumber", "&o8", "0"}, {"LeadingNumber", "&H", "0"}, {"LeadingNumber", "&HG", "0"},
        {"LeadingNumber", "&H1.5", "1"}, {"LeadingNumber", "& H10", "16"}, {"LeadingNumber", "&X1", "0"},
        {"LeadingNumber", "&", "0"},
        // nothing numeric at the front
        {"LeadingNumber", "", "0"}, {"LeadingNumber", "abc", "0"}, {"LeadingNumber", ".", "0"},
        {"LeadingNumber", "-", "0"}, {"LeadingNumber", "e5", "0"}, {"LeadingNumber", "-.e1", "0"},
        // huge and tiny values stay finite or become an infinity of their sign
        {"LeadingNumber", "1e999", "inf"}, {"LeadingNumber", "-1e999", "-inf"}, {"LeadingNumber", "1e-999", "0"},
        {"LeadingNumber", "&HFFFFFFFFFF", "1099511627775"},

        // RoundHalfEven: halves go to the even neighbour
        {"RoundHalfEven", "2.5", "2"}, {"RoundHalfEven", "3.5", "4"}, {"RoundHalfEven", "0.5", "0"},
        {"RoundHalfEven", "1.5", "2"}, {"RoundHalfEven", "-2.5", "-2"}, {"RoundHalfEven", "-3.5", "-4"},
        {"RoundHalfEven", "2.4999", "2"}, {"RoundHalfEven", "2.5001", "3"}, {"RoundHalfEven", "0.4", "0"},
        {"RoundHalfEven", "7", "7"}, {"RoundHalfEven", "-0.5", "0"},

        // GeneralDecimal: the shortest plain decimal
        {"GeneralDecimal", "1000", "1000"}, {"GeneralDecimal", "2.5", "2.5"}, {"GeneralDecimal", "250", "250"},
        {"GeneralDecimal", "0", "0"}, {"GeneralDecimal", "123456789", "123456789"}, {"GeneralDecimal", "0.1", "0.1"},
        {"GeneralDecimal", "-1", "-1"}, {"GeneralDecimal", "0.3333333333333333", "0.333333333333333"},
        {"GeneralDecimal", "50000", "50000"}, {"GeneralDecimal", "1e20", "1E+20"},

        // FormatRate and FormatPercent
        // the figures a reader checks first
        {"FormatRate", "0.0", "0.000"}, {"FormatPercent", "0.0", "0.0%"},
        {"FormatRate", "0.15", "0.150"}, {"FormatPercent", "0.15", "15.0%"},
        {"FormatRate", "0.0625", "0.063"}, {"FormatPercent", "0.0625", "6.3%"},
        {"FormatRate", "0.1235", "0.124"}, {"FormatPercent", "0.1235", "12.4%"},
        {"FormatRate", "1.0", "1.000"}, {"FormatPercent", "1.0", "100.0%"},
        // halves go away from zero, judged on the 15-digit decimal figure
        {"FormatRate", "0.0005", "0.001"}, {"FormatPercent", "0.0005", "0.1%"},
        {"FormatRate", "0.1245", "0.125"}, {"FormatPercent", "0.1245", "12.5%"},
        {"FormatRate", "0.9995", "1.000"}, {"FormatPercent", "0.9995", "100.0%"},
        {"FormatRate", "0.00049999", "0.000"}, {"FormatPercent", "0.00049999", "0.0%"},
        // binary value lies just below the half
        {"FormatRate", "1.0005", "1.001"}, {"FormatPercent", "1.0005", "100.1%"},
        // below the half until written with 15 digits
        {"FormatRate", "0.0004999999999999999", "0.001"}, {"FormatPercent", "0.0004999999999999999", "0.1%"},
        {"FormatRate", "0.0115", "0.012"}, {"FormatPercent", "0.0115", "1.2%"},
        // not to the even neighbour
        {"FormatRate", "0.0125", "0.013"}, {"FormatPercent", "0.0125", "1.3%"},
        {"FormatRate", "0.9999999", "1.000"}, {"FormatPercent", "0.9999999", "100.0%"},
        {"FormatRate", "9.9995", "10.000"}, {"FormatPercent", "9.9995", "1000.0%"},
        {"FormatRate", "123.4567", "123.457"}, {"FormatPercent", "123.4567", "12345.7%"},
        {"FormatRate", "1e-300", "0.000"}, {"FormatPercent", "1e-300", "0.0%"},
        {"FormatRate", "1e20", "100000000000000000000.000"}, {"FormatPercent", "1e20", "10000000000000000000000.0%"},
        // negative figures keep their sign unless they round to zero
        {"FormatRate", "-0.0625", "-0.063"}, {"FormatPercent", "-0.0625", "-6.3%"},
        {"FormatRate", "-0.0001", "0.000"}, {"FormatPercent", "-0.0001", "0.0%"},
        {"FormatRate", "-0.0", "0.000"}, {"FormatPercent", "-0.0", "0.0%"},
        // values that are not finite still give text
        {"FormatRate", "nan", "nan"}, {"FormatRate", "inf", "inf"}, {"FormatRate", "-inf", "-inf"},
        {"FormatPercent", "nan", "nan%"}, {"FormatPercent", "1e308", "inf%"},

        // FormatPValue: count/n with five decimals, the last rounded half to even
        {"FormatPValue", "47/1000", "0.04700"},
        {"FormatPValue", "1/1", "1.00000"},
        {"FormatPValue", "0/7", "0.00000"},
        {"FormatPValue", "1/3", "0.33333"},
        {"FormatPValue", "2/3", "0.66667"},
        {"FormatPValue", "1/64", "0.01562"},
        {"FormatPValue", "3/64", "0.04688"},
        {"FormatPValue", "1/32", "0.03125"},
        {"FormatPValue", "49999/50000", "0.99998"},
        {"FormatPValue", "50000/50000", "1.00000"},
        {"FormatPValue", "1/50000", "0.00002"},

        // Fixed5: the figures of a test's results; never a negative zero
        {"Fixed5", "0.047", "0.04700"}, {"Fixed5", "-1.5", "-1.50000"}, {"Fixed5", "0.6666666", "0.66667"},
        {"Fixed5", "-0.000001", "0.00000"}, {"Fixed5", "12345.678901", "12345.67890"},

        // WholeNumberText: the whole numbers of the time remaining
        {"WholeNumberText", "0", "0"}, {"WholeNumberText", "59", "59"}, {"WholeNumberText", "2.5", "2"},
        {"WholeNumberText", "3.5", "4"}, {"WholeNumberText", "3599.4", "3599"},

        // GibibytesText and MemorySizeText: the sizes of memory in messages
        {"GibibytesText", "2147483648", "2.0 GiB"}, {"GibibytesText", "1610612736", "1.5 GiB"},
        {"GibibytesText", "118111600", "0.1 GiB"},
        {"MemorySizeText", "0", "0 MiB"}, {"MemorySizeText", "805306368", "768 MiB"},
        {"MemorySizeText", "1073741823", "1023 MiB"}, {"MemorySizeText", "1610612736", "1.5 GiB"},
        {"MemorySizeText", "2147483648", "2 GiB"}, {"MemorySizeText", "2254857831", "2.1 GiB"},
        {"MemorySizeText", "2254857830", "2 GiB"},  // a byte short of 2.1 GiB: cut, not rounded

        // ReadDecimal: a whole text, blanks around it and a leading "+" allowed
        {"ReadFixed", "0.04700", "0.047"}, {"ReadFixed", " +1.00000\t", "1"}, {"ReadFixed", "1e3", "not a number"},
        {"ReadFixed", "", "not a number"}, {"ReadFixed", "+", "not a number"}, {"ReadFixed", "0.5x", "not a number"},
        {"ReadFixed", "-0.25", "-0.25"}, {"ReadFixed", "++1", "not a number"},
        {"ReadGeneral", "1e3", "1000"}, {"ReadGeneral", " 12\t", "12"}, {"ReadGeneral", "1e999", "out of range"},
        {"ReadGeneral", "1 2", "not a number"}, {"ReadGeneral", "12abc", "not a number"},
  };
  // clang-format on
  for (const NumberCase& c : table) {
    EXPECT_EQ(Apply(c.Unit, c.In), c.Out) << c.Unit << "(\"" << Visible(c.In) << "\")";
  }
}

// The report's figures keep their decimal point under a locale that writes a
// comma.
TEST(NumberText, DecimalPointWhateverTheLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  bool commaLocale = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      commaLocale = true;
      break;
    }
  }
  if (!commaLocale) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  const std::string rate = FormatRate(0.0625);
  const std::string percent = FormatPercent(0.1235);
  const std::string whole = WholeNumberText(2.5);
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(rate, "0.063");
  EXPECT_EQ(percent, "12.4%");
  EXPECT_EQ(whole, "2");
}

}  // namespace
}  // namespace tessil
