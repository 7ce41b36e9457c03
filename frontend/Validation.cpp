#include "Validation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tessil {

Checked CheckMatrixSize(std::string_view text, bool rows) {
  const double value = LeadingNumber(text);
  if (!(value >= 2)) return {std::string(text), std::string(rows ? message::TwoRows : message::TwoColumns)};
  const double whole = RoundHalfEven(value);
  if (whole > std::numeric_limits<std::int32_t>::max()) {
    return {std::string(text),
            std::string(rows ? "The number of rows is too large." : "The number of columns is too large.")};
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

std::string RefuseMatrixSize(std::int32_t rows, std::int32_t cols, std::uint64_t memoryLimit) {
  const std::uint64_t cells = static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(cols);
  const std::uint64_t mostCells = memoryLimit / StudyBytesPerCell;
  if (cells <= mostCells) return {};
  const auto side = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(mostCells)));
  return "A matrix of " + std::to_string(rows) + " rows x " + std::to_string(cols) +
         " columns is too large: " + "it has " + std::to_string(cells) + " cells, and a study can hold at most " +
         std::to_string(mostCells) + " cells (rows x columns, such as " + std::to_string(side) + " x " +
         std::to_string(side) + ") in " + MemorySizeText(memoryLimit) + " of memory.";
}

std::string RefuseMatrixCount(std::int32_t arguments, std::int32_t matricesPerArgument) {
  const std::int64_t most = std::numeric_limits<std::int32_t>::max();
  if (arguments <= 0 || std::int64_t{arguments} * matricesPerArgument <= most) return {};
  return "The number of iterations is too large: " + std::to_string(arguments) + " arguments x " +
         std::to_string(matricesPerArgument) + " matrices are more than one run can count (" + std::to_string(most) +
         "); this study takes at most " + std::to_string(most / arguments) + " matrices per argument.";
}

std::string RefuseThreadCount(std::string_view text, unsigned most) {
  const char* first = text.data() + (text.starts_with('+') ? 1 : 0);
  const char* last = text.data() + text.size();
  long long number = 0;
  const auto [end, error] = std::from_chars(first, last, number);
  const bool whole = first != last && end == last;
  const std::string value(text);
  if (!whole && error != std::errc::result_out_of_range) {
    return "\"" + value + "\" is not a number; give a whole number of threads from 1 to " + std::to_string(most);
  }
  if (error == std::errc::result_out_of_range || number < 1 || number > static_cast<long long>(most)) {
    return value + " is out of range; give a whole number of threads from 1 to " + std::to_string(most);
  }
  return {};
}

std::string BuildTestSummary(const EcoSimTestOptions& o) {
  std::string summary;
  auto line = [&summary](std::string_view group, std::string_view choice) {
    summary.append(group).append(": ").append(choice).append("\r\n");
  };
  if (o.UsesEmptySites()) line("Empty Sites", Caption(o.EmptySites));
  line("Fixed-Fixed Randomization Algorithm", Caption(o.Algorithm));
  line("Degenerate Matrices", Caption(o.DegenerateMatrices));
  line("Column Constraints", Caption(o.ColumnConstraint));
  line("Row Constraints", Caption(o.RowConstraint));
  line("Co-occurrence Index", Caption(o.Index));
  summary.append("Number of iterations: ").append(o.EcoSimIterations).append("\r\n");
  summary.append("Random Number Seed: ").append(o.EcoSimSeed);
  return summary;
}

}  // namespace tessil
