// The state that crosses Tessil's subsystems: the run settings and counters,
// the EcoSim test options, the progress-and-cancellation link, and the inputs
// through which a front end hands its choices to a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Errors.h"
#include "NumberText.h"
#include "TestVocabulary.h"

namespace tessil {

// The one run record. Every field is zero when the process starts.
struct RunSettings {
  std::int32_t NumRows = 0;
  std::int32_t NumCols = 0;
  std::int16_t UpperTail = 0;
  std::int32_t NumIterations = 0;
  std::int32_t RandomSeed = 0;
  double StartTime = 0.0;
  std::int32_t NumArguments = 0;
  std::int32_t TestsDone = 0;
  // The work done, in matrices: those whose test has ended, plus the share
  // of null matrices already drawn in tests under way. Estimates of the time
  // remaining rest on it; TestsDone counts the matrices begun.
  double WorkDone = 0.0;
  Hypothesis NullHypothesis = Hypothesis::NoInteractions;
  bool AssumeSitesEquivalent = false;
  bool AssumeSpeciesEquivalent = false;
  // Set when a proportion of species interacting is assumed.
  std::optional<InteractionLevel> AssumedLevel;
};

// The settings of the co-occurrence test every matrix of a run goes through.
// The iterations and the seed stay texts, exactly as the dialog holds them:
// EcoSim is given them as typed.
struct EcoSimTestOptions {
  Constraint RowConstraint = Constraint::Fixed;
  Constraint ColumnConstraint = Constraint::Equiprobable;
  CooccurrenceIndex Index = CooccurrenceIndex::CScore;
  FixedFixedAlgorithm Algorithm = FixedFixedAlgorithm::SequentialSwap;
  DegenerateTreatment DegenerateMatrices = DegenerateTreatment::Retain;
  EmptySiteTreatment EmptySites = EmptySiteTreatment::Exclude;
  std::string EcoSimIterations{"100"};
  std::string EcoSimSeed{"0"};

  bool IsFixedFixed() const { return RowConstraint == Constraint::Fixed && ColumnConstraint == Constraint::Fixed; }
  // Empty sites matter only to the two indices computed over site compositions.
  bool UsesEmptySites() const { return UsesSiteCompositions(Index); }
  bool operator==(const EcoSimTestOptions&) const = default;
};

// The main window's hypothesis and assumptions: one hypothesis, and a
// proportion of species interacting only when that assumption is made.
struct MainWindowChoices {
  Hypothesis NullHypothesis = Hypothesis::NoInteractions;
  bool AssumeSitesEquivalent = false;
  bool AssumeSpeciesEquivalent = false;
  std::optional<InteractionLevel> AssumedLevel;
  bool operator==(const MainWindowChoices&) const = default;
};

// The main window's default test description, shown before the options
// dialog first rewrites it.
inline constexpr std::string_view InitialTestSummary =
    "Fixed-Fixed Randomization Algorithm: Sequential Swap\r\n"
    "Random number seed: 0\r\n"
    "Number of Iterations: 100\r\n"
    "Degenerate Matrices: Retain\r\n"
    "Column Constraints: Equiprobable\r\n"
    "Row Constraints: Fixed Sum\r\n"
    "Co-occurrence Index: C-score\r\n";

// What a run reads from its front end: the matrix size texts, the committed
// test options, the hypothesis and assumption controls, and the test summary.
// The main window implements it over its controls; other front ends and tests
// over plain values.
class RunInputs {
 public:
  virtual ~RunInputs() = default;
  virtual std::string RowsText() const = 0;
  virtual std::string ColsText() const = 0;
  virtual const EcoSimTestOptions& CommittedOptions() const = 0;
  virtual MainWindowChoices Choices() const = 0;
  virtual std::string TestSummary() const = 0;
};

// RunInputs held as plain values.
struct FixedRunInputs final : RunInputs {
  std::string Rows = "10";
  std::string Cols = "10";
  EcoSimTestOptions Options;
  MainWindowChoices Selected;
  std::string Summary{InitialTestSummary};

  std::string RowsText() const override { return Rows; }
  std::string ColsText() const override { return Cols; }
  const EcoSimTestOptions& CommittedOptions() const override { return Options; }
  MainWindowChoices Choices() const override { return Selected; }
  std::string TestSummary() const override { return Summary; }
};

// The link by which the driver refreshes the progress display after every
// matrix begun, and learns that the user asked to stop. UpdateProgress also
// lets the front end's pending events through, which is when Cancel is served.
class ProgressLink {
 public:
  virtual ~ProgressLink() = default;
  virtual void UpdateProgress() = 0;
  virtual bool CancelRequested() const = 0;
};

// A progress link for runs nobody watches.
struct SilentProgress final : ProgressLink {
  bool Cancel = false;
  void UpdateProgress() override {}
  bool CancelRequested() const override { return Cancel; }
};

// Loads the matrix size and the p-value tail at the start of a run. Fails
// with a RunSettingsError when a size text is not a whole number within range
// or when the matrix would be too large to hold.
void LoadRunSettings(RunSettings& settings, const RunInputs& inputs);

// Clears the matrix size, the tail and the counters at the end of a run; the
// simulation options and the main-window choices stay.
void ResetRunSettings(RunSettings& settings);

// Takes the main window's hypothesis and assumption controls into the record.
void TakeMainWindowChoices(RunSettings& settings, const MainWindowChoices& choices);

// The largest number of cells a generated matrix may hold. The engine keeps
// about 26 bytes per cell (occupancy, conditional pair, presence), so this
// stays within a few gigabytes.
inline constexpr std::int64_t MaxMatrixCells = std::int64_t{1} << 27;

}  // namespace tessil
