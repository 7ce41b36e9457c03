// One co-occurrence null-model test, as EcoSim's "Co-occurrence" module runs
// it: the observed index against its values in n null matrices, ending with
// two one-tailed p-values or without results.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "Incidence.h"
#include "NumberText.h"
#include "TestVocabulary.h"

namespace tessil::cooc {

// The options EcoSim's options window holds; the iterations and the seed as
// the texts typed into it.
struct TestOptions {
  Constraint RowConstraint = Constraint::Fixed;
  Constraint ColumnConstraint = Constraint::Equiprobable;
  CooccurrenceIndex Index = CooccurrenceIndex::CScore;
  FixedFixedAlgorithm Algorithm = FixedFixedAlgorithm::SequentialSwap;
  DegenerateTreatment DegenerateMatrices = DegenerateTreatment::Retain;
  EmptySiteTreatment EmptySites = EmptySiteTreatment::Exclude;
  std::string Iterations = "100";
  std::string Seed = "0";
};

struct TestResult {
  // False: the test cannot run (EcoSim's confirmation window).
  bool HasResults = false;
  // True when the test was abandoned because a stop was asked for; it then
  // has no results and no reason.
  bool Stopped = false;
  // Without results: one sentence saying why.
  std::string Reason;
  // The description of the test, lines joined by "\r\n".
  std::string Memo1;
  // The results, lines 0 to 6 joined by "\r\n"; line 5 holds the lower-tail
  // and line 6 the upper-tail p-value within its first 33 characters.
  std::string Memo2;

  // The null matrices whose index is defined: the n of the p-values.
  std::int64_t NullMatrices = 0;
  // Null matrices left out because their index is undefined.
  std::int64_t UndefinedNullValues = 0;
  std::int64_t CountLessOrEqual = 0;
  std::int64_t CountGreaterOrEqual = 0;
  // Degenerate null matrices met: discarded, repaired, split or retained.
  std::int64_t DegenerateDraws = 0;
  double Observed = 0;
  double NullMean = 0;
  double NullVariance = 0;
  // Empty when the null values do not vary.
  std::optional<double> EffectSize;
  // The defined null values in the order drawn: the null distribution a
  // picture of the test shows.
  std::vector<double> NullValues;

  double PLower() const;  // p(observed <= expected)
  double PUpper() const;  // p(observed >= expected)
};

// The most null matrices one test may ask for.
inline constexpr std::int64_t MaxIterations = 50000;
// Degenerate draws in a row after which "Discard" gives up.
inline constexpr int DiscardLimit = 1000;

// How a caller watches and stops a running test.
struct TestControl {
  // A stop requested here abandons the test after a bounded amount of work;
  // the result then has Stopped set.
  std::stop_token Stop;
  // When given, counts the null matrices drawn, as the test goes.
  std::atomic<std::int64_t>* NullsDrawn = nullptr;
};

// Runs one test. `ordinal` is the number of tests run since the seed field
// was last set (0 for the first); with the seed's value it alone decides the
// random stream, so a test gives the same result whatever ran before it.
TestResult RunTest(const Incidence& matrix, const TestOptions& options, std::uint64_t ordinal,
                   const TestControl& control);
TestResult RunTest(const Incidence& matrix, const TestOptions& options, std::uint64_t ordinal);

// One test of a batch run by RunTests.
struct TestJob {
  const Incidence* Matrix = nullptr;
  std::uint64_t Ordinal = 0;
  TestControl Control;
};
// Runs several tests in this thread, each giving exactly what RunTest gives
// for it (its own stream from the seed and its ordinal); the Sequential
// Swap burn-ins of small matrices are made side by side, one chain's trials
// filling another's waits.
std::vector<TestResult> RunTests(std::span<const TestJob> jobs, const TestOptions& options);

// The most memory one test of a `rows` x `cols` matrix may take with these
// options, in bytes: the null model's tables (the swap chain's species-pair
// table, the knight's tour's cell table, the margin samplers' urns), the
// matrices it copies and the index's scratch space. A number of iterations
// a test refuses counts for nothing (such a test cannot run anyway).
std::uint64_t TestWorkingSetBytes(std::int64_t rows, std::int64_t cols, const TestOptions& options);
// The most memory one test may take: 2 GiB, or half of this computer's
// physical memory where that is less.
std::uint64_t TestMemoryLimitBytes();
// Why a test of this size cannot run for want of memory, as one sentence; or
// nothing when it fits within TestMemoryLimitBytes().
std::optional<std::string> MemoryRefusal(std::int64_t rows, std::int64_t cols, const TestOptions& options);

// How the results write their p-values (NumberText.h).
using tessil::FormatPValue;

}  // namespace tessil::cooc
