// How far a study's verdicts can be trusted. The report's actual size is the
// largest of several estimated Type I error rates, and its least and
// greatest power are extremes of estimated rates too: with few matrices per
// argument an extreme of noisy rates sits well away from the true extreme.
// This puts simultaneous exact intervals around those three figures, says
// for each verdict whether the study settles it, and, where it does not,
// about how many matrices per argument would, were the rates what the study
// measured. The report itself is not changed by any of this.
#pragma once

#include <cstdint>
#include <string>

#include "Kernel_Procedures.h"

namespace tessil {

// An extreme of several rates and where it lies with the family's
// confidence. `Arguments` is the number of rates the extreme ranges over (0:
// the figure has no arguments, and its interval is [0, 0]).
struct ExtremeInterval {
  double Estimate = 0.0;
  double Lower = 0.0;
  double Upper = 0.0;
  std::int32_t Arguments = 0;
};

// What a study says of one verdict.
enum class Settlement {
  Holds,        // the verdict holds at the confidence stated
  DoesNotHold,  // its opposite holds at that confidence
  Open,         // the intervals straddle the verdict's threshold
};

struct VerdictSettlement {
  // The verdict as the report gives it.
  bool Verdict = false;
  Settlement State = Settlement::Open;
  // For an open verdict: the fewest matrices per argument (the same at every
  // argument, two significant figures, rounded up) that would settle it were
  // every rate what this study measured; 0 when no number up to
  // MaxMatricesToSettle would, because a measured rate lies on (or within a
  // hair of) the threshold.
  std::int64_t MatricesToSettle = 0;
};

// How sure the verdicts are. Every interval is simultaneous at `Confidence`
// over the arguments it ranges over, by Bonferroni: each argument's exact
// (Clopper-Pearson) interval at 1 - (1 - Confidence) / m, m the number of
// arguments in the family. The actual size's family is the Type I arguments;
// the least and greatest power share the power arguments; the bias verdict,
// which compares the actual size with the least power, uses every argument
// (its own intervals, `BiasActualSize` and `BiasMinPower`).
struct VerdictCertainty {
  double Confidence = 0.95;
  std::int32_t MatricesPerArgument = 0;  // the fewest drawn at any argument
  ExtremeInterval ActualSize;
  ExtremeInterval MinPower;
  ExtremeInterval MaxPower;
  ExtremeInterval BiasActualSize;
  ExtremeInterval BiasMinPower;
  VerdictSettlement HighTypeIError;
  VerdictSettlement Biased;
  VerdictSettlement LowPower;
};

// The largest number of matrices per argument the search for a settling
// number looks at.
inline constexpr std::int64_t MaxMatricesToSettle = 10'000'000;

// Computed exactly from the table's counts (matrices drawn and rejected at
// every argument; untested matrices count as not rejected, as in the rate).
// Without `findMatricesToSettle` every MatricesToSettle is left 0: the
// intervals alone, cheaply.
VerdictCertainty AssessVerdicts(const PowerTable& table, double confidence = 0.95, bool findMatricesToSettle = true);

// One short paragraph for a reader of the report, lines ending in LF, the
// last one too.
std::string VerdictCertaintyText(const VerdictCertainty& certainty);

// The same for one verdict, as one sentence without a final line break: for
// a line under a chart.
std::string ActualSizeCertaintyLine(const VerdictCertainty& certainty);
std::string PowerCertaintyLine(const VerdictCertainty& certainty);
std::string BiasCertaintyLine(const VerdictCertainty& certainty);

}  // namespace tessil
