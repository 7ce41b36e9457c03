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
  // clang-format off
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
  // clang-format on
  for (const AnalysisCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectSummary(AnalyzeErrorRates(c.table), c);
  }
}

TEST(AnalyzeErrorRates, RowOrderChangesNothing) {
  PowerTable table = {Row(false, 0.3), Row(true, 0.02),  Row(false, 0.07),
                      Row(true, 0.16), Row(false, 0.95), Row(false, 0.41)};
  const AnalysisCase want{"", {}, 0.16, 0.07, 0.95, true, true, false, false};
  std::sort(table.begin(), table.end(),
            [](const PowerTableRow& a, const PowerTableRow& b) { return a.Power < b.Power; });
  int orders = 0;
  do {
    SCOPED_TRACE(orders);
    ExpectSummary(AnalyzeErrorRates(table), want);
    ++orders;
  } while (std::next_permutation(table.begin(), table.end(),
                                 [](const PowerTableRow& a, const PowerTableRow& b) { return a.Power < b.Power; }));
  EXPECT_EQ(orders, 720);
}

TEST(AnalyzeErrorRates, UnmeasurablePowersDoNotCrash) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const ErrorRateSummary summary = AnalyzeErrorRates({Row(true, nan), Row(false, 0.4), Row(false, nan)});
  EXPECT_EQ(summary.ActualSize, 0.0);
  EXPECT_EQ(summary.MaxPower, 0.4);
}

}  // namespace
}  // namespace tessil
