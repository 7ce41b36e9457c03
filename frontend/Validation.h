// The checks the windows make on what a user types, with their messages, so
// that every front end refuses the same texts in the same words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "MemoryLimit.h"
#include "Public_Declarations.h"

namespace tessil {

namespace message {
inline constexpr std::string_view AtLeastOneIteration = "Error 01: At least 1 iteration required.";
inline constexpr std::string_view InvalidFileName = "Error 03: invalid file name";
inline constexpr std::string_view TwoColumns = "Error 04: Matrix must have at least 2 columns.";
inline constexpr std::string_view TwoRows = "Error 05: Matrix must have at least 2 rows.";
inline constexpr std::string_view TooManyIterations = "Error 06: Number of iterations cannot exceed 50000.";
inline constexpr std::string_view IterationsPositive =
    "Error 07: Number of iterations must be an integer greater than 0.";
inline constexpr std::string_view SeedNonnegative = "Error 08: Random seed must be nonnegative.";
inline constexpr std::string_view FewIterations =
    "Warning: Simulating with fewer than 100 iterations may yield unreliable results. Continue? (Error 09)";
inline constexpr std::string_view SeedPositive = "Random seed must be an integer greater than 0";
}  // namespace message

// A checked text: the text to show in its box, or the message refusing it.
struct Checked {
  std::string Text;
  std::string Refusal;  // empty when accepted
  bool Accepted() const { return Refusal.empty(); }
};

// Rows or columns: a leading number of 2 or more, rounded halves to even.
Checked CheckMatrixSize(std::string_view text, bool rows);
// EcoSim's number of iterations: 1 to 50000, written back in general form.
Checked CheckEcoSimIterations(std::string_view text);
// EcoSim's seed: 0 or more, written back in general form.
Checked CheckEcoSimSeed(std::string_view text);

// The simulation options as the options dialog's OK stores them. A refusal
// of the iterations comes before the question about few matrices; a refusal
// of the seed (filled only once the iterations are acceptable) after it.
struct SimulationOptions {
  std::int32_t NumIterations = 0;
  std::int32_t RandomSeed = 0;
  bool AsksToContinue = false;  // fewer than 100 matrices: the user must confirm
  std::string Refusal;          // empty when accepted
};
SimulationOptions CheckSimulationOptions(std::string_view iterationsText, std::string_view seedText);

// What a study keeps for every cell of its matrix while a test runs: the
// occupancy probabilities (8 bytes), the conditional pair (16) and the
// presence-absence cell of the matrix being tested (2).
inline constexpr std::uint64_t StudyBytesPerCell = 26;

// Why a matrix of this size cannot be simulated within the memory limit,
// naming the largest size accepted; empty when it can.
std::string RefuseMatrixSize(std::int32_t rows, std::int32_t cols, std::uint64_t memoryLimit);
// Why a run of `arguments` x `matricesPerArgument` matrices cannot be counted
// by the run's counter, naming the most matrices per argument accepted;
// empty when it can.
std::string RefuseMatrixCount(std::int32_t arguments, std::int32_t matricesPerArgument);

// Why a text is not a whole number of threads from 1 to `most`; empty when
// it is one. A leading "+" is allowed.
std::string RefuseThreadCount(std::string_view text, unsigned most);

// The description of the test that the options dialog writes when its
// changes are made: one line per shown choice in the dialog's control order,
// then the iterations and, without a line end, the seed.
std::string BuildTestSummary(const EcoSimTestOptions& options);

}  // namespace tessil
