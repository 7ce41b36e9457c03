// The analysis of a run's power function and the text of its results report.
#pragma once

#include <string>

#include "Kernel_Procedures.h"
#include "Public_Declarations.h"

namespace tessil {

// One threshold serves the Type I verdict and the power verdict.
inline constexpr double ErrorRateThreshold = 0.15;

struct ErrorRateSummary {
  double ActualSize = 0.0;
  double MinPower = 0.0;
  double MaxPower = 0.0;
  bool HighTypeIError = false;
  bool Biased = false;
  bool LowPower = false;
  bool AdequatePower = false;
};

// Size, least and greatest power and the four verdicts of a finished run.
// A table without rows inside (outside) the null hypothesis gives an actual
// size (least and greatest power) of 0.
ErrorRateSummary AnalyzeErrorRates(const PowerTable& table);

// The report of a run: seven sections, CR LF line breaks, no final break.
std::string BuildResultsReport(const PowerTable& table, const ErrorRateSummary& summary, const RunInputs& inputs);

}  // namespace tessil
