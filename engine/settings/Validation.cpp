#include "Validation.h"

#include <cmath>
#include <limits>

namespace tessil {

Checked CheckMatrixSize(std::string_view text, bool rows) {
  const double value = LeadingNumber(text);
  if (!(value >= 2)) return {std::string(text), std::string(rows ? message::TwoRows : message::TwoColumns)};
  const double whole = RoundHalfEven(value);
  if (whole > std::numeric_limits<std::int32_t>::max()) {
    return {std::string(text), std::string(rows ? "The number of rows is too large." : "The number of columns is too large.")};
  }
  return {GeneralDecimal(whole), {}};
}

Checked CheckEcoSimIterations(std::string_view text) {
  const double value = LeadingNumber(text);
  if (!(value >= 1)) return {std::string(text), std::string(message::AtLeastOneIteration)};
  if (value > 50000) return {std::string(text), std::string(message::TooManyIterations)};
  return {GeneralDecimal(value), {}};
}

Checked CheckEcoSimSeed(std::string_view text) {
  const double value = LeadingNumber(text);
  if (value < 0) return {std::string(text), std::string(message::SeedNonnegative)};
  if (!std::isfinite(value)) return {std::string(text), "The random number seed is too large."};
  return {GeneralDecimal(value), {}};
}

namespace {

bool FitsInt32(double value) {
  return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

SimulationOptions CheckSimulationOptions(std::string_view iterationsText, std::string_view seedText) {
  SimulationOptions result;
  const double iterations = LeadingNumber(iterationsText);
  if (!(iterations > 0)) {
    result.Refusal = message::IterationsPositive;
    return result;
  }
  result.AsksToContinue = iterations < 100;
  const double seed = LeadingNumber(seedText);
  if (seed < 0) {
    result.Refusal = message::SeedPositive;
    return result;
  }
  const double wholeIterations = RoundHalfEven(iterations);
  const double wholeSeed = RoundHalfEven(seed);
  // A count or seed past the 32-bit range cannot be stored; say so rather
  // than wrap around.
  if (!FitsInt32(wholeIterations)) {
    result.Refusal = "The number of iterations cannot exceed 2147483647.";
    return result;
  }
  if (!FitsInt32(wholeSeed)) {
    result.Refusal = "The random seed cannot exceed 2147483647.";
    return result;
  }
  result.NumIterations = static_cast<std::int32_t>(wholeIterations);
  result.RandomSeed = static_cast<std::int32_t>(wholeSeed);
  return result;
}

std::string BuildTestSummary(const EcoSimTestOptions& o) {
  std::string summary;
  auto line = [&summary](std::string_view group, const std::string& choice) {
    if (choice.empty()) return;
    summary.append(group).append(": ").append(choice).append("\r\n");
  };
  if (o.UsesEmptySites()) line("Empty Sites", o.EmptySites);
  line("Fixed-Fixed Randomization Algorithm", o.Algorithm);
  line("Degenerate Matrices", o.DegenerateMatrices);
  line("Column Constraints", o.ColumnConstraint);
  line("Row Constraints", o.RowConstraint);
  line("Co-occurrence Index", o.Index);
  summary.append("Number of iterations: ").append(o.EcoSimIterations).append("\r\n");
  summary.append("Random Number Seed: ").append(o.EcoSimSeed);
  return summary;
}

}  // namespace tessil
