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

// Writes a finite value with the given number of decimals. The value is
// first written with 15 significant digits, and that decimal text is rounded,
// so that a rate such as 0.0625 or 1.0005 rounds the way a reader of the
// decimal figure expects rather than the way its binary neighbour would.
// std::to_chars never consults the locale, so the separator is always a point.
std::string FixedDecimals(double value, int decimals) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value < 0 ? "-inf" : "inf";
  }

  constexpr int SignificantDigits = 15;
  std::array<char, 64> buffer{};
  const std::to_chars_result written =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                    std::chars_format::scientific, SignificantDigits - 1);
  if (written.ec != std::errc{}) {
    return "nan";
  }
  // The text reads d.ddddddddddddddde±x: fifteen digits and an exponent.
  const std::string_view text(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data()));
  const std::size_t exponentAt = text.find('e');
  std::string digits;
  for (const char c : text.substr(0, exponentAt)) {
    if (c != '.') {
      digits.push_back(c);
    }
  }
  int exponent = 0;
  for (const char c : text.substr(exponentAt + 2)) {
    exponent = exponent * 10 + (c - '0');
  }
  if (text[exponentAt + 1] == '-') {
    exponent = -exponent;
  }

  // The value times 10^decimals, as a whole number of digits kept from the
  // 15 significant ones (more digits than that are zeros).
  const int kept = exponent + 1 + decimals;
  std::string scaled;
  bool roundUp = false;
  if (kept < 0) {
    // Below half a unit of the last decimal: the value rounds to zero.
  } else if (kept < SignificantDigits) {
    scaled = digits.substr(0, static_cast<std::size_t>(kept));
    roundUp = digits[static_cast<std::size_t>(kept)] >= '5';
  } else {
    scaled = digits;
    scaled.append(static_cast<std::size_t>(kept - SignificantDigits), '0');
  }
  if (roundUp) {
    // Halves go away from zero: the magnitude is rounded up.
    std::size_t i = scaled.size();
    while (i > 0 && scaled[i - 1] == '9') {
      scaled[i - 1] = '0';
      --i;
    }
    if (i == 0) {
      scaled.insert(scaled.begin(), '1');
    } else {
      ++scaled[i - 1];
    }
  }

  const std::size_t fraction = static_cast<std::size_t>(decimals);
  if (scaled.size() < fraction + 1) {
    scaled.insert(0, fraction + 1 - scaled.size(), '0');
  }
  // A value that rounds to zero is written without a sign.
  const bool negative = value < 0 && scaled.find_first_not_of('0') != std::string::npos;
  std::string out;
  if (negative) {
    out.push_back('-');
  }
  out.append(scaled, 0, scaled.size() - fraction);
  if (fraction > 0) {
    out.push_back('.');
    out.append(scaled, scaled.size() - fraction, fraction);
  }
  return out;
}

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

std::string FormatRate(double value) { return FixedDecimals(value, 3); }

std::string FormatPercent(double value) { return FixedDecimals(value * 100.0, 1) + "%"; }

std::string BuildResultsReport(const PowerTable& table, const ErrorRateSummary& summary,
                               const RunInputs& inputs) {
  const MainWindowChoices choices = inputs.Choices();
  std::string out;

  AppendHeading(out, "TYPE I ERROR RATES:  Null hypothesis rejection rates when the null hypothesis is true",
                129);
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

  AppendHeading(out,
                "TYPE II ERROR RATES:  Null hypothesis acceptance rates when the null hypothesis is false", 137);
  AppendLine(out,
             "Power: Null hypothesis rejection rates when the null hypothesis is false (1 - Type II error rate).");
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
  AppendLine(out, "Matrix dimensions: " + inputs.RowsText() + " rows (species) x " + inputs.ColsText() +
                      " columns (sites)");
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
