// The analysis of a run's power function and the text of its results report.
#include "OutputResults_Procedures.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <system_error>

namespace tessil {

ErrorRateSummary AnalyzeErrorRates(const PowerTable& table) {
  ErrorRateSummary summary;
  // ActualSize and MaxPower are running maxima that start at 0, so a table
  // without rows inside the null hypothesis shows a size of 0 and the Type I
  // error rates count as tolerable.
  //
  // A table without rows outside the null hypothesis has no power to speak
  // of; MinPower is then left at 0 as well, like MaxPower, so both figures
  // are defined and the verdicts that follow (biased, low power) warn the
  // user that nothing was measured where the null hypothesis is false.
  bool anyOutsideNull = false;
  for (const PowerTableRow& row : table) {
    if (row.InNull) {
      if (row.Power > summary.ActualSize) {
        summary.ActualSize = row.Power;
      }
    } else {
      if (row.Power > summary.MaxPower) {
        summary.MaxPower = row.Power;
      }
      if (!anyOutsideNull || row.Power < summary.MinPower) {
        summary.MinPower = row.Power;
      }
      anyOutsideNull = true;
    }
  }
  summary.HighTypeIError = summary.ActualSize >= ErrorRateThreshold;
  // The least power at most half the actual size: the test rejects a false
  // null hypothesis markedly less often than a true one.
  summary.Biased = summary.ActualSize / 2.0 >= summary.MinPower;
  summary.LowPower = summary.MaxPower < ErrorRateThreshold;
  summary.AdequatePower = !summary.Biased && !summary.LowPower;
  return summary;
}

namespace {

constexpr std::string_view Break = "\r\n";

void AppendLine(std::string& out, std::string_view line) {
  out += line;
  out += Break;
}

void AppendHeading(std::string& out, std::string_view heading, std::size_t ruleLength) {
  AppendLine(out, heading);
  out.append(ruleLength, '-');
  out += Break;
}

}  // namespace

std::string BuildResultsReport(const PowerTable& table, const ErrorRateSummary& summary, const RunInputs& inputs) {
  const MainWindowChoices choices = inputs.Choices();
  std::string out;

  AppendHeading(out, "TYPE I ERROR RATES:  Null hypothesis rejection rates when the null hypothesis is true", 129);
  AppendLine(out, "Size (alpha): Maximum Type I error rate.");
  AppendLine(out, "Nominal size = 0.050");
  AppendLine(out, "Actual size = " + FormatRate(summary.ActualSize));
  if (summary.HighTypeIError) {
    AppendLine(out,
               "*****Warning: Test has high Type I error rates.  The null hypothesis will be rejected as much as " +
                   FormatPercent(summary.ActualSize) + " of the time when it is true.*****");
  } else {
    AppendLine(out, "*****Test has tolerable Type I error rates.*****");
  }
  out += Break;
  out += Break;

  AppendHeading(out, "TYPE II ERROR RATES:  Null hypothesis acceptance rates when the null hypothesis is false", 137);
  AppendLine(out, "Power: Null hypothesis rejection rates when the null hypothesis is false (1 - Type II error rate).");
  AppendLine(out, "Minimum power = " + FormatRate(summary.MinPower));
  AppendLine(out, "Maximum power = " + FormatRate(summary.MaxPower));
  if (summary.Biased) {
    AppendLine(out,
               "*****Warning: Test is biased. The null hypothesis will be rejected more often when it is true "
               "than when it is false.*****");
  }
  if (summary.LowPower) {
    AppendLine(out, "*****Warning: Test has low power.  The null hypothesis will be rejected no more than " +
                        FormatPercent(summary.MaxPower) + " of the time when it is false.*****");
  }
  if (summary.AdequatePower) {
    AppendLine(out, "*****Test has adequate power.*****");
  }
  out += Break;
  out += Break;

  AppendHeading(out, "NULL HYPOTHESIS", 31);
  AppendLine(out, Caption(choices.NullHypothesis));
  out += Break;
  out += Break;

  AppendHeading(out, "ASSUMPTIONS", 25);
  if (choices.AssumedLevel) {
    AppendLine(out, std::string(Caption(*choices.AssumedLevel)) + " of species interacting");
  }
  if (choices.AssumeSitesEquivalent) {
    AppendLine(out, Caption(Assumption::SitesEquivalent));
  }
  if (choices.AssumeSpeciesEquivalent) {
    AppendLine(out, Caption(Assumption::SpeciesEquivalent));
  }
  if (!choices.AssumedLevel && !choices.AssumeSitesEquivalent && !choices.AssumeSpeciesEquivalent) {
    AppendLine(out, "[none]");
  }
  out += Break;
  out += Break;

  // The test description is copied as the user saw it; the first of the three
  // breaks closes its last line when it lacks one.
  AppendHeading(out, "HYPOTHESIS TEST", 32);
  out += inputs.TestSummary();
  out += Break;
  out += Break;
  out += Break;

  AppendHeading(out, "CONDITIONS", 21);
  AppendLine(out,
             "Matrix dimensions: " + inputs.RowsText() + " rows (species) x " + inputs.ColsText() + " columns (sites)");
  out += Break;
  out += Break;

  AppendHeading(out, "RAW RESULTS", 25);
  AppendLine(out, "Value of Argument*\tElement of Null Hypothesis\tValue of Power Function");
  for (const PowerTableRow& row : table) {
    out += '(';
    out += std::to_string(row.Level);
    out += ',';
    out += std::to_string(row.Scenario);
    out += ")\t\t";
    out += row.InNull ? "True" : "False";
    out += "\t\t\t";
    out += FormatRate(row.Power);
    out += Break;
  }
  out += "*Defined in Tessil Help.";
  return out;
}

}  // namespace tessil
