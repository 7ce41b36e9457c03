// How sure a study's verdicts are: the simultaneous intervals against closed
// forms and binomial tails summed term by term, what they settle, the number
// of matrices that would settle an open verdict, and the intervals' coverage
// over counts drawn from binomial laws with known rates.
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ChartText.h"
#include "VerdictCertainty.h"

namespace tessil {
namespace {

PowerTableRow Counted(bool inNull, std::int32_t rejected, std::int32_t matrices) {
  PowerTableRow row;
  row.InNull = inNull;
  row.Matrices = matrices;
  row.Rejected = rejected;
  row.Power = static_cast<double>(rejected) / matrices;
  return row;
}

PowerTable Table(std::int32_t typeI, std::int32_t typeIRejected, std::int32_t power, std::int32_t powerRejected,
                 std::int32_t matrices) {
  PowerTable table;
  for (int i = 0; i < typeI; ++i) table.push_back(Counted(true, typeIRejected, matrices));
  for (int i = 0; i < power; ++i) table.push_back(Counted(false, powerRejected, matrices));
  return table;
}

// P(X >= k) and P(X <= k) for X ~ Binomial(n, p), summed term by term.
double UpperTail(int k, int n, double p) {
  double sum = 0.0;
  for (int j = k; j <= n; ++j) {
    sum += std::exp(std::lgamma(n + 1.0) - std::lgamma(j + 1.0) - std::lgamma(n - j + 1.0) + j * std::log(p) +
                    (n - j) * std::log1p(-p));
  }
  return sum;
}
double LowerTail(int k, int n, double p) { return 1.0 - UpperTail(k + 1, n, p); }

TEST(VerdictCertainty, IntervalsMatchClosedFormsAndBinomialTails) {
  // 12 Type I arguments, none rejected of 20; 24 power arguments, all
  // rejected. With no (all) rejections the exact bounds have closed forms:
  // (1 - p)^n = tail and p^n = tail.
  const VerdictCertainty c = AssessVerdicts(Table(12, 0, 24, 20, 20));
  const double sizeTail = 0.05 / 24.0;
  const double powerTail = 0.05 / 48.0;
  const double biasTail = 0.05 / 72.0;
  EXPECT_EQ(c.ActualSize.Arguments, 12);
  EXPECT_EQ(c.ActualSize.Lower, 0.0);
  EXPECT_NEAR(c.ActualSize.Upper, 1.0 - std::pow(sizeTail, 1.0 / 20.0), 1e-12);
  EXPECT_NEAR(c.MinPower.Lower, std::pow(powerTail, 1.0 / 20.0), 1e-12);
  EXPECT_NEAR(c.MaxPower.Lower, std::pow(powerTail, 1.0 / 20.0), 1e-12);
  EXPECT_EQ(c.MaxPower.Upper, 1.0);
  EXPECT_NEAR(c.BiasActualSize.Upper, 1.0 - std::pow(biasTail, 1.0 / 20.0), 1e-12);
  EXPECT_NEAR(c.BiasMinPower.Lower, std::pow(biasTail, 1.0 / 20.0), 1e-12);
  // The size may still be as high as 0.266: open. The smallest n with
  // 1 - (0.05 / 24)^(1 / n) < 0.15 is 38.
  EXPECT_EQ(c.HighTypeIError.State, Settlement::Open);
  EXPECT_EQ(c.HighTypeIError.MatricesToSettle, 38);
  EXPECT_EQ(c.LowPower.State, Settlement::DoesNotHold);
  EXPECT_EQ(c.Biased.State, Settlement::DoesNotHold);

  // Interior counts: each bound leaves exactly the Bonferroni tail beyond it.
  PowerTable table = Table(11, 1, 1, 15, 40);
  table.insert(table.begin() + 4, Counted(true, 7, 40));
  const VerdictCertainty interior = AssessVerdicts(table);
  EXPECT_NEAR(UpperTail(7, 40, interior.ActualSize.Lower), sizeTail, 1e-9);
  EXPECT_NEAR(LowerTail(7, 40, interior.ActualSize.Upper), sizeTail, 1e-9);
  EXPECT_EQ(interior.ActualSize.Estimate, 7.0 / 40.0);
  // One power argument: its own 95 % interval.
  EXPECT_NEAR(UpperTail(15, 40, interior.MinPower.Lower), 0.025, 1e-9);
  EXPECT_NEAR(LowerTail(15, 40, interior.MaxPower.Upper), 0.025, 1e-9);
}

TEST(VerdictCertainty, SettlesOrSaysHowManyMatricesWould) {
  // A size measured exactly on the threshold stays open whatever is drawn.
  const VerdictCertainty tie = AssessVerdicts(Table(12, 15, 24, 60, 100));
  EXPECT_TRUE(tie.HighTypeIError.Verdict);
  EXPECT_EQ(tie.HighTypeIError.State, Settlement::Open);
  EXPECT_EQ(tie.HighTypeIError.MatricesToSettle, 0);
  EXPECT_NE(ActualSizeCertaintyLine(tie).find("more matrices would not settle it"), std::string::npos);

  // A size of 0.10 with 100 matrices per argument is open; at the number of
  // matrices the study names it is settled as tolerable, and at four fifths
  // of it not yet.
  const VerdictCertainty open = AssessVerdicts(Table(12, 10, 24, 60, 100));
  ASSERT_EQ(open.HighTypeIError.State, Settlement::Open);
  const std::int64_t n = open.HighTypeIError.MatricesToSettle;
  ASSERT_GT(n, 100);
  auto at = [](std::int64_t m) {
    const auto k = static_cast<std::int32_t>(m / 10);
    return AssessVerdicts(Table(12, k, 24, static_cast<std::int32_t>(m * 6 / 10), static_cast<std::int32_t>(m)), 0.95,
                          false);
  };
  EXPECT_EQ(at(n).HighTypeIError.State, Settlement::DoesNotHold);
  EXPECT_EQ(at(n * 4 / 5).HighTypeIError.State, Settlement::Open);
  const std::string line = ActualSizeCertaintyLine(open);
  EXPECT_NE(line.find("Actual size 0.100 ("), std::string::npos) << line;
  EXPECT_NE(line.find("with 95 % confidence over the 12 Type I arguments): not settled; about " + GroupedNumber(n) +
                      " matrices per argument would settle it."),
            std::string::npos)
      << line;
  // Thousands are set apart in the words, as a reader says them.
  const VerdictCertainty closer = AssessVerdicts(Table(12, 12, 24, 60, 100));
  ASSERT_GE(closer.HighTypeIError.MatricesToSettle, 1000);
  const std::string text = VerdictCertaintyText(closer);
  EXPECT_NE(text.find("about " + GroupedNumber(closer.HighTypeIError.MatricesToSettle) + " matrices"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find(std::to_string(closer.HighTypeIError.MatricesToSettle)), std::string::npos) << text;
}

// Counts drawn from binomial laws with known rates: the simultaneous
// intervals hold the true extremes at least as often as promised. Each
// argument's own 95 % interval would not: the largest of 12 equal rates is
// then missed about a quarter of the time.
TEST(VerdictCertainty, CoverageOfTheTrueExtremes) {
  std::vector<double> typeI(12, 0.05);
  std::vector<double> power;
  for (int i = 0; i < 24; ++i) power.push_back(0.2 + 0.03 * i);
  std::mt19937_64 random(20261210);
  constexpr int Replicates = 300;
  for (const int n : {20, 100, 1000}) {
    int size = 0;
    int least = 0;
    int greatest = 0;
    for (int r = 0; r < Replicates; ++r) {
      PowerTable table;
      for (const double p : typeI) {
        table.push_back(Counted(true, std::binomial_distribution<int>(n, p)(random), n));
      }
      for (const double p : power) {
        table.push_back(Counted(false, std::binomial_distribution<int>(n, p)(random), n));
      }
      const VerdictCertainty c = AssessVerdicts(table, 0.95, false);
      size += c.ActualSize.Lower <= 0.05 && 0.05 <= c.ActualSize.Upper;
      least += c.MinPower.Lower <= power.front() && power.front() <= c.MinPower.Upper;
      greatest += c.MaxPower.Lower <= power.back() && power.back() <= c.MaxPower.Upper;
    }
    // At least 95 % less three standard errors of the simulation.
    const int floor = static_cast<int>(Replicates * (0.95 - 3.0 * std::sqrt(0.95 * 0.05 / Replicates)));
    EXPECT_GE(size, floor) << n << " matrices per argument";
    EXPECT_GE(least, floor) << n << " matrices per argument";
    EXPECT_GE(greatest, floor) << n << " matrices per argument";
  }
}

}  // namespace
}  // namespace tessil
