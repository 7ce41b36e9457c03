// Simultaneous exact intervals on the extremes of a study's rates, and what
// they settle.
#include "VerdictCertainty.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "ChartText.h"
#include "NumberText.h"
#include "OutputResults_Procedures.h"
#include "PowerChart.h"

namespace tessil {

namespace {

// One argument's rate as counts; the count of rejections may be fractional
// when a larger study with the same rates is imagined.
struct Counts {
  double Rejected = 0.0;
  double Matrices = 0.0;
};

// The exact interval of a binomial rate, for fractional counts too (the
// beta quantiles take any positive parameters); for whole counts it is
// ClopperPearson's.
RateInterval ExactInterval(Counts c, double confidence) {
  if (c.Matrices <= 0.0) return {0.0, 1.0};
  const double n = c.Matrices;
  const double k = std::clamp(c.Rejected, 0.0, n);
  const double tail = (1.0 - confidence) / 2.0;
  RateInterval interval;
  interval.Lower = k <= 0.0 ? 0.0 : BetaQuantile(k, n - k + 1.0, tail);
  interval.Upper = k >= n ? 1.0 : BetaQuantile(k + 1.0, n - k, 1.0 - tail);
  return interval;
}

// The Bonferroni level of each argument's interval that makes `arguments`
// intervals hold together at `confidence`.
double EachLevel(double confidence, std::size_t arguments) {
  return 1.0 - (1.0 - confidence) / static_cast<double>(std::max<std::size_t>(arguments, 1));
}

// The largest (or least) of a family's rates, each argument's interval at
// the level `each`. When the intervals hold together, the extreme of the
// rates lies between the same extreme of the lower bounds and of the upper
// bounds.
ExtremeInterval Extreme(const std::vector<Counts>& family, double each, bool largest) {
  ExtremeInterval out;
  out.Arguments = static_cast<std::int32_t>(family.size());
  if (family.empty()) return out;
  bool first = true;
  for (const Counts& c : family) {
    const RateInterval interval = ExactInterval(c, each);
    const double rate = c.Matrices > 0.0 ? c.Rejected / c.Matrices : 0.0;
    if (first) {
      out = {rate, interval.Lower, interval.Upper, out.Arguments};
      first = false;
    } else if (largest) {
      out.Estimate = std::max(out.Estimate, rate);
      out.Lower = std::max(out.Lower, interval.Lower);
      out.Upper = std::max(out.Upper, interval.Upper);
    } else {
      out.Estimate = std::min(out.Estimate, rate);
      out.Lower = std::min(out.Lower, interval.Lower);
      out.Upper = std::min(out.Upper, interval.Upper);
    }
  }
  return out;
}

// The three families of a table, with every argument's counts scaled to
// `matrices` per argument at the measured rate (0: as measured).
struct Families {
  std::vector<Counts> TypeI;
  std::vector<Counts> Power;
};

Families FamiliesOf(const PowerTable& table, double matrices) {
  Families f;
  for (const PowerTableRow& row : table) {
    Counts c{static_cast<double>(row.Rejected), static_cast<double>(row.Matrices)};
    if (matrices > 0.0 && row.Matrices > 0) c = {c.Rejected / c.Matrices * matrices, matrices};
    (row.InNull ? f.TypeI : f.Power).push_back(c);
  }
  return f;
}

Settlement HighTypeIState(const ExtremeInterval& size) {
  if (size.Lower >= ErrorRateThreshold) return Settlement::Holds;
  if (size.Upper < ErrorRateThreshold) return Settlement::DoesNotHold;
  return Settlement::Open;
}

Settlement LowPowerState(const ExtremeInterval& maxPower) {
  if (maxPower.Upper < ErrorRateThreshold) return Settlement::Holds;
  if (maxPower.Lower >= ErrorRateThreshold) return Settlement::DoesNotHold;
  return Settlement::Open;
}

// The bias verdict compares half the actual size with the least power; with
// no power argument the least power is 0 and the verdict holds as the
// report's does.
Settlement BiasState(const ExtremeInterval& size, const ExtremeInterval& minPower) {
  if (size.Lower / 2.0 >= minPower.Upper) return Settlement::Holds;
  if (size.Upper / 2.0 < minPower.Lower) return Settlement::DoesNotHold;
  return Settlement::Open;
}

using StateAt = std::function<Settlement(double matrices)>;

// The fewest matrices per argument at which the state is no longer open,
// two significant figures rounded up; 0 when none up to the limit is. The
// intervals narrow as the matrices grow, at fixed rates, so a doubling
// search and then a bisection find the first.
std::int64_t MatricesToSettle(const StateAt& state, std::int64_t from) {
  auto settles = [&](std::int64_t n) { return state(static_cast<double>(n)) != Settlement::Open; };
  std::int64_t low = std::max<std::int64_t>(from, 1);
  if (!settles(MaxMatricesToSettle)) return 0;
  std::int64_t high = low;
  while (high < MaxMatricesToSettle && !settles(high)) {
    low = high;
    high = std::min(high * 2, MaxMatricesToSettle);
  }
  while (high - low > 1 && (high - low) * 100 > high) {
    const std::int64_t mid = low + (high - low) / 2;
    if (settles(mid)) {
      high = mid;
    } else {
      low = mid;
    }
  }
  // Two significant figures, rounded up: a figure to plan by, not a promise.
  std::int64_t scale = 1;
  while (high / scale >= 100) scale *= 10;
  return (high + scale - 1) / scale * scale;
}

std::string Arguments(std::int32_t count, std::string_view kind) {
  return (count == 1 ? std::string("the 1 ") : "the " + std::to_string(count) + " ") + std::string(kind) +
         (count == 1 ? " argument" : " arguments");
}

std::string Range(const ExtremeInterval& figure) {
  return FormatRate(figure.Lower) + " to " + FormatRate(figure.Upper);
}

std::string Confidence(double confidence) { return GeneralDecimal(confidence * 100.0) + " % confidence"; }

std::string Outcome(const VerdictSettlement& s, std::string_view holds, std::string_view fails,
                    std::string_view threshold) {
  switch (s.State) {
    case Settlement::Holds:
      return "settled: " + std::string(holds) + ".";
    case Settlement::DoesNotHold:
      return "settled: " + std::string(fails) + ".";
    case Settlement::Open:
      break;
  }
  if (s.MatricesToSettle > 0) {
    return "not settled; about " + GroupedNumber(s.MatricesToSettle) + " matrices per argument would settle it.";
  }
  return "not settled, and more matrices would not settle it: " + std::string(threshold) + ".";
}

}  // namespace

VerdictCertainty AssessVerdicts(const PowerTable& table, double confidence, bool findMatricesToSettle) {
  VerdictCertainty out;
  out.Confidence = confidence;
  out.MatricesPerArgument = 0;
  for (const PowerTableRow& row : table) {
    if (out.MatricesPerArgument == 0 || row.Matrices < out.MatricesPerArgument) {
      out.MatricesPerArgument = row.Matrices;
    }
  }

  auto figures = [confidence](const Families& f) {
    struct {
      ExtremeInterval Size, MinPower, MaxPower, BiasSize, BiasMinPower;
    } x;
    x.Size = Extreme(f.TypeI, EachLevel(confidence, f.TypeI.size()), true);
    x.MinPower = Extreme(f.Power, EachLevel(confidence, f.Power.size()), false);
    x.MaxPower = Extreme(f.Power, EachLevel(confidence, f.Power.size()), true);
    // The bias verdict's family is every argument: both extremes at the
    // level of the whole table.
    const double all = EachLevel(confidence, f.TypeI.size() + f.Power.size());
    x.BiasSize = Extreme(f.TypeI, all, true);
    x.BiasMinPower = Extreme(f.Power, all, false);
    return x;
  };
  auto families = [&table](double matrices) { return FamiliesOf(table, matrices); };

  const auto measured = figures(families(0.0));
  out.ActualSize = measured.Size;
  out.MinPower = measured.MinPower;
  out.MaxPower = measured.MaxPower;
  out.BiasActualSize = measured.BiasSize;
  out.BiasMinPower = measured.BiasMinPower;
  // The estimates are the report's figures, rate for rate.
  const ErrorRateSummary summary = AnalyzeErrorRates(table);
  out.ActualSize.Estimate = out.BiasActualSize.Estimate = summary.ActualSize;
  out.MinPower.Estimate = out.BiasMinPower.Estimate = summary.MinPower;
  out.MaxPower.Estimate = summary.MaxPower;

  out.HighTypeIError = {summary.HighTypeIError, HighTypeIState(out.ActualSize), 0};
  out.LowPower = {summary.LowPower, LowPowerState(out.MaxPower), 0};
  out.Biased = {summary.Biased, BiasState(out.BiasActualSize, out.BiasMinPower), 0};

  if (!findMatricesToSettle) return out;
  // A measured figure exactly on its threshold stays open however many
  // matrices are drawn; the search would only confirm it at length.
  const std::int64_t from = std::max<std::int64_t>(out.MatricesPerArgument, 1);
  if (out.HighTypeIError.State == Settlement::Open && summary.ActualSize != ErrorRateThreshold) {
    out.HighTypeIError.MatricesToSettle =
        MatricesToSettle([&](double n) { return HighTypeIState(figures(families(n)).Size); }, from);
  }
  if (out.LowPower.State == Settlement::Open && summary.MaxPower != ErrorRateThreshold) {
    out.LowPower.MatricesToSettle =
        MatricesToSettle([&](double n) { return LowPowerState(figures(families(n)).MaxPower); }, from);
  }
  if (out.Biased.State == Settlement::Open && summary.ActualSize / 2.0 != summary.MinPower) {
    out.Biased.MatricesToSettle = MatricesToSettle(
        [&](double n) {
          const auto x = figures(families(n));
          return BiasState(x.BiasSize, x.BiasMinPower);
        },
        from);
  }
  return out;
}

std::string ActualSizeCertaintyLine(const VerdictCertainty& c) {
  if (c.ActualSize.Arguments == 0) return "Actual size 0.000: no argument lies inside the null hypothesis.";
  return "Actual size " + FormatRate(c.ActualSize.Estimate) + " (" + Range(c.ActualSize) + " with " +
         Confidence(c.Confidence) + " over " + Arguments(c.ActualSize.Arguments, "Type I") + "): " +
         Outcome(c.HighTypeIError, "the Type I error rates are high", "the Type I error rates are not high",
                 "the actual size lies on the threshold " + FormatRate(ErrorRateThreshold));
}

std::string PowerCertaintyLine(const VerdictCertainty& c) {
  if (c.MaxPower.Arguments == 0) return "Power: no argument lies outside the null hypothesis.";
  return "Least power " + FormatRate(c.MinPower.Estimate) + " (" + Range(c.MinPower) + ") and greatest power " +
         FormatRate(c.MaxPower.Estimate) + " (" + Range(c.MaxPower) + ") with " + Confidence(c.Confidence) + " over " +
         Arguments(c.MaxPower.Arguments, "power") + ": " +
         Outcome(c.LowPower, "the power is low", "the power is not low",
                 "the greatest power lies on the threshold " + FormatRate(ErrorRateThreshold));
}

std::string BiasCertaintyLine(const VerdictCertainty& c) {
  const std::int32_t all = c.ActualSize.Arguments + c.MaxPower.Arguments;
  return "Bias, half the actual size (" + FormatRate(c.BiasActualSize.Lower / 2.0) + " to " +
         FormatRate(c.BiasActualSize.Upper / 2.0) + ") against the least power (" + Range(c.BiasMinPower) + ") with " +
         Confidence(c.Confidence) + " over all " + std::to_string(all) + (all == 1 ? " argument: " : " arguments: ") +
         Outcome(c.Biased, "the test is biased", "the test is not biased",
                 "half the actual size equals the least power");
}

std::string VerdictCertaintyText(const VerdictCertainty& c) {
  return "How sure the verdicts are (exact intervals, simultaneous over the arguments each figure ranges over):\n" +
         ActualSizeCertaintyLine(c) + "\n" + PowerCertaintyLine(c) + "\n" + BiasCertaintyLine(c) + "\n";
}

}  // namespace tessil
