#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "Public_Declarations.h"

namespace tessil {
namespace {

struct LeadingCase {
  const char* text;
  double value;
};

// Names each case after its text in test listings.
void PrintTo(const LeadingCase& c, std::ostream* os) {
  *os << "\"";
  for (const char* p = c.text; *p != '\0'; ++p) {
    if (*p == '\n') {
      *os << "\\n";
    } else if (*p == '\t') {
      *os << "\\t";
    } else if (*p == '\r') {
      *os << "\\r";
    } else {
      *os << *p;
    }
  }
  *os << "\"";
}

class LeadingNumberTable : public testing::TestWithParam<LeadingCase> {};

TEST_P(LeadingNumberTable, ReadsTheLongestNumericPrefix) {
  const LeadingCase& c = GetParam();
  EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << "text: \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LeadingNumberTable,
    testing::Values(
        // plain numbers
        LeadingCase{"10", 10}, LeadingCase{"0", 0}, LeadingCase{"0250", 250}, LeadingCase{"2.5", 2.5},
        LeadingCase{".5", 0.5}, LeadingCase{"5.", 5}, LeadingCase{"-3", -3}, LeadingCase{"+7", 7},
        LeadingCase{"-.25", -0.25},
        // blanks, tabs and line feeds vanish wherever they are
        LeadingCase{"1 000", 1000}, LeadingCase{"  42  ", 42}, LeadingCase{"\t1\t2", 12},
        LeadingCase{"1\n5", 15}, LeadingCase{"- 4", -4}, LeadingCase{"1 e 3", 1000},
        // a carriage return is not a blank: it ends the number
        LeadingCase{"1\r5", 1},
        // the number ends at the first character that cannot continue it
        LeadingCase{"12abc", 12}, LeadingCase{"1,000", 1}, LeadingCase{"$5", 0}, LeadingCase{"1.2.3", 1.2},
        LeadingCase{"3%", 3}, LeadingCase{"--5", 0}, LeadingCase{"+-5", 0},
        // exponents, in either case, complete or not
        LeadingCase{"1e3", 1000}, LeadingCase{"1E3", 1000}, LeadingCase{"2.5e-1", 0.25},
        LeadingCase{"1e+2", 100}, LeadingCase{"1e", 1}, LeadingCase{"1e+", 1}, LeadingCase{"1e-x", 1},
        LeadingCase{"1d3", 1}, LeadingCase{".5e1", 5},
        // hexadecimal and octal whole numbers
        LeadingCase{"&H1F", 31}, LeadingCase{"&hff", 255}, LeadingCase{"&O17", 15}, LeadingCase{"&o8", 0},
        LeadingCase{"&H", 0}, LeadingCase{"&HG", 0}, LeadingCase{"&H1.5", 1}, LeadingCase{"& H10", 16},
        LeadingCase{"&X1", 0}, LeadingCase{"&", 0},
        // nothing numeric at the front
        LeadingCase{"", 0}, LeadingCase{"abc", 0}, LeadingCase{".", 0}, LeadingCase{"-", 0},
        LeadingCase{"e5", 0}, LeadingCase{"-.e1", 0}));

TEST(LeadingNumber, HugeAndTinyValuesStayFiniteOrBecomeInfinity) {
  EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
  EXPECT_GT(LeadingNumber("1e999"), 0);
  EXPECT_LT(LeadingNumber("-1e999"), 0);
  EXPECT_EQ(LeadingNumber("1e-999"), 0.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("&HFFFFFFFFFF"), 1099511627775.0);
}

struct RoundCase {
  double in;
  double out;
};

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  for (const RoundCase& c : {RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{0.5, 0}, RoundCase{1.5, 2},
                             RoundCase{-2.5, -2}, RoundCase{-3.5, -4}, RoundCase{2.4999, 2}, RoundCase{2.5001, 3},
                             RoundCase{0.4, 0}, RoundCase{7, 7}, RoundCase{-0.5, 0}}) {
    EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
  }
}

struct DecimalCase {
  double in;
  const char* out;
};

TEST(GeneralDecimal, WritesShortestPlainDecimal) {
  for (const DecimalCase& c :
       {DecimalCase{1000, "1000"}, DecimalCase{2.5, "2.5"}, DecimalCase{250, "250"}, DecimalCase{0, "0"},
        DecimalCase{123456789, "123456789"}, DecimalCase{0.1, "0.1"}, DecimalCase{-1, "-1"},
        DecimalCase{1.0 / 3.0, "0.333333333333333"}, DecimalCase{50000, "50000"}, DecimalCase{1e20, "1E+20"}}) {
    EXPECT_EQ(GeneralDecimal(c.in), c.out) << c.in;
  }
}

}  // namespace
}  // namespace tessil
