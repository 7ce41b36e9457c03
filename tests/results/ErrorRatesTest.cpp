// The reduction of a power table to size, power and verdicts, and the two
// number formats of the results report.
#include <algorithm>
#include <clocale>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "OutputResults_Procedures.h"

namespace tessil {
namespace {

PowerTableRow Row(bool inNull, double power) { return PowerTableRow{1, 1, inNull, power}; }

struct AnalysisCase {
  const char* name;
  PowerTable table;
  double actualSize;
  double minPower;
  double maxPower;
  bool high;
  bool biased;
  bool low;
  bool adequate;
};

void ExpectSummary(const ErrorRateSummary& got, const AnalysisCase& want) {
  EXPECT_EQ(got.ActualSize, want.actualSize);
  EXPECT_EQ(got.MinPower, want.minPower);
  EXPECT_EQ(got.MaxPower, want.maxPower);
  EXPECT_EQ(got.HighTypeIError, want.high);
  EXPECT_EQ(got.Biased, want.biased);
  EXPECT_EQ(got.LowPower, want.low);
  EXPECT_EQ(got.AdequatePower, want.adequate);
}

TEST(AnalyzeErrorRates, FiguresAndVerdicts) {
  const std::vector<AnalysisCase> cases = {
      {"three levels by three scenarios",
       {Row(true, 0.04), Row(false, 0.31), Row(false, 0.87), Row(true, 0.16), Row(false, 0.45), Row(false, 0.99),
        Row(true, 0.03), Row(false, 0.07), Row(false, 0.64)},
       0.16, 0.07, 0.99, true, true, false, false},
      {"no row inside the null hypothesis: size 0, tolerable",
       {Row(false, 0.5), Row(false, 0.9)}, 0.0, 0.5, 0.9, false, false, false, true},
      {"size exactly at the threshold is high",
       {Row(true, 15.0 / 100.0), Row(false, 0.8)}, 0.15, 0.8, 0.8, true, false, false, true},
      {"size just under the threshold is tolerable",
       {Row(true, 0.1499999), Row(false, 0.8)}, 0.1499999, 0.8, 0.8, false, false, false, true},
      {"greatest power exactly at the threshold is not low",
       {Row(true, 0.05), Row(false, 0.15), Row(false, 0.15)}, 0.05, 0.15, 0.15, false, false, false, true},
      {"greatest power just under the threshold is low",
       {Row(true, 0.05), Row(false, 0.1499999)}, 0.05, 0.1499999, 0.1499999, false, false, true, false},
      {"least power equal to half the size is biased",
       {Row(true, 0.10), Row(false, 0.05), Row(false, 0.9)}, 0.10, 0.05, 0.9, false, true, false, false},
      {"least power just above half the size is not biased",
       {Row(true, 0.10), Row(false, 0.0500001), Row(false, 0.9)}, 0.10, 0.0500001, 0.9, false, false, false, true},
      {"never rejected: biased and low, not adequate",
       {Row(true, 0.0), Row(false, 0.0), Row(false, 0.0)}, 0.0, 0.0, 0.0, false, true, true, false},
      {"least power is the smallest, not the first or the last",
       {Row(false, 0.5), Row(false, 0.2), Row(false, 0.7), Row(true, 0.01)}, 0.01, 0.2, 0.7, false, false, false,
       true},
      {"rows inside the null hypothesis never count as power",
       {Row(true, 0.9), Row(false, 0.6), Row(true, 0.001)}, 0.9, 0.6, 0.6, true, false, false, true},
      {"no row outside the null hypothesis: both powers 0",
       {Row(true, 0.04), Row(true, 0.06)}, 0.06, 0.0, 0.0, false, true, true, false},
      {"empty table", {}, 0.0, 0.0, 0.0, false, true, true, false},
  };
  for (const AnalysisCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectSummary(AnalyzeErrorRates(c.table), c);
  }
}

TEST(AnalyzeErrorRates, RowOrderChangesNothing) {
  PowerTable table = {Row(false, 0.3), Row(true, 0.02), Row(false, 0.07), Row(true, 0.16), Row(false, 0.95),
                      Row(false, 0.41)};
  const AnalysisCase want{"", {}, 0.16, 0.07, 0.95, true, true, false, false};
  std::sort(table.begin(), table.end(),
            [](const PowerTableRow& a, const PowerTableRow& b) { return a.Power < b.Power; });
  int orders = 0;
  do {
    SCOPED_TRACE(orders);
    ExpectSummary(AnalyzeErrorRates(table), want);
    ++orders;
  } while (std::next_permutation(table.begin(), table.end(), [](const PowerTableRow& a, const PowerTableRow& b) {
    return a.Power < b.Power;
  }));
  EXPECT_EQ(orders, 720);
}

TEST(AnalyzeErrorRates, UnmeasurablePowersDoNotCrash) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const ErrorRateSummary summary = AnalyzeErrorRates({Row(true, nan), Row(false, 0.4), Row(false, nan)});
  EXPECT_EQ(summary.ActualSize, 0.0);
  EXPECT_EQ(summary.MaxPower, 0.4);
}

struct FormatCase {
  double value;
  const char* rate;
  const char* percent;
};

TEST(NumberFormats, RateAndPercent) {
  const std::vector<FormatCase> cases = {
      // The figures a reader checks first.
      {0.0, "0.000", "0.0%"},
      {0.15, "0.150", "15.0%"},
      {0.0625, "0.063", "6.3%"},
      {0.1235, "0.124", "12.4%"},
      {1.0, "1.000", "100.0%"},
      // Halves go away from zero, judged on the 15-digit decimal figure.
      {0.0005, "0.001", "0.1%"},
      {0.1245, "0.125", "12.5%"},
      {0.9995, "1.000", "100.0%"},
      {0.00049999, "0.000", "0.0%"},
      {1.0005, "1.001", "100.1%"},               // binary value lies just below the half
      {0.0004999999999999999, "0.001", "0.1%"},  // below the half until written with 15 digits
      {0.0115, "0.012", "1.2%"},
      {0.0125, "0.013", "1.3%"},                 // not to the even neighbour
      {0.9999999, "1.000", "100.0%"},
      {9.9995, "10.000", "1000.0%"},
      {123.4567, "123.457", "12345.7%"},
      {1e-300, "0.000", "0.0%"},
      {1e20, "100000000000000000000.000", "10000000000000000000000.0%"},
      // Negative figures keep their sign unless they round to zero.
      {-0.0625, "-0.063", "-6.3%"},
      {-0.0001, "0.000", "0.0%"},
      {-0.0, "0.000", "0.0%"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FormatRate(c.value), c.rate);
    EXPECT_EQ(FormatPercent(c.value), c.percent);
  }
}

TEST(NumberFormats, NonFiniteValuesGiveText) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(FormatRate(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(FormatRate(inf), "inf");
  EXPECT_EQ(FormatRate(-inf), "-inf");
  EXPECT_EQ(FormatPercent(std::numeric_limits<double>::quiet_NaN()), "nan%");
  EXPECT_EQ(FormatPercent(1e308), "inf%");
}

TEST(NumberFormats, DecimalPointWhateverTheLocale) {
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
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(rate, "0.063");
  EXPECT_EQ(percent, "12.4%");
}

}  // namespace
}  // namespace tessil
