#include "Kernel_Procedures.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <string>

#include "Distribution_Functions.h"

namespace tessil {

void SeedRandomStream(RandomStream& stream, std::int32_t seed) {
  stream.Reset();
  stream.Reseed(seed);
}

ConditionalOccupancy BuildConditionalOccupancy(const OccupancyMatrix& p, double ratio) {
  ConditionalOccupancy c(p.Rows(), p.Cols());
  for (std::int32_t i = 2; i <= p.Rows(); i += 2) {
    for (std::int32_t j = 1; j <= p.Cols(); ++j) {
      const double v = p(i, j);      // this species
      const double u = p(i - 1, j);  // its partner
      ConditionalPair& pair = c(i, j);
      pair.IfPartnerPresent = v / (u + (1 - u) * ratio);
      pair.IfPartnerAbsent = pair.IfPartnerPresent * ratio;
      if (pair.IfPartnerPresent > 1 || pair.IfPartnerAbsent > 1) {
        // The largest ratio that keeps both probabilities within [0, 1]
        // while the species keeps its occupancy v on average.
        const double first = std::fabs((v - u) / (1 - u));
        const double second = u / (v + u - 1);
        const double adjusted = second < first ? second : first;
        pair.IfPartnerPresent = v / (u + (1 - u) * adjusted);
        pair.IfPartnerAbsent = adjusted * pair.IfPartnerPresent;
      }
    }
  }
  return c;
}

GeneratedMatrix GenerateMatrix(const OccupancyMatrix& p, const ConditionalOccupancy& c, double proportion,
                               RandomStream& stream) {
  const std::int32_t rows = p.Rows();
  const std::int32_t cols = p.Cols();
  GeneratedMatrix result{PresenceAbsenceMatrix(rows, cols), 0};
  PresenceAbsenceMatrix& m = result.Matrix;
  const double limit = std::floor(static_cast<double>(rows) * proportion);
  for (std::int32_t i = 1; i <= rows; ++i) {
    const bool interacting = i % 2 == 0 && i <= limit;
    const double* occupancy = p.Row(i);
    const ConditionalPair* conditional = c.Row(i);
    std::int16_t* cells = m.Row(i);
    const std::int16_t* partner = interacting ? m.Row(i - 1) : nullptr;
    int occupied = 0;
    for (std::int32_t j = 0; j < cols; ++j) {
      double q = occupancy[j];
      if (interacting) {
        q = partner[j] != 0 ? conditional[j].IfPartnerPresent : conditional[j].IfPartnerAbsent;
      }
      // One number per cell, whichever probability applies, so the stream
      // advances the same way at every level.
      const float x = stream.NextSingle();
      const int present = static_cast<float>(q) > x;
      cells[j] = static_cast<std::int16_t>(present);
      occupied |= present;
    }
    result.OccupiedSpecies += occupied;
  }
  return result;
}

std::int32_t OccupiedSpecies(const PresenceAbsenceMatrix& m) {
  std::int32_t count = 0;
  for (std::int32_t i = 1; i <= m.Rows(); ++i) {
    const std::int16_t* row = m.Row(i);
    for (std::int32_t j = 0; j < m.Cols(); ++j) {
      if (row[j] != 0) {
        ++count;
        break;
      }
    }
  }
  return count;
}

bool HasCheckerboardPair(const PresenceAbsenceMatrix& m) {
  const std::int32_t cols = m.Cols();
  std::vector<std::int64_t> totals(static_cast<std::size_t>(m.Rows()) + 1, 0);
  for (std::int32_t i = 1; i <= m.Rows(); ++i) {
    const std::int16_t* row = m.Row(i);
    for (std::int32_t j = 0; j < cols; ++j) totals[static_cast<std::size_t>(i)] += row[j] != 0;
  }
  for (std::int32_t a = 2; a <= m.Rows(); ++a) {
    const std::int16_t* ra = m.Row(a);
    for (std::int32_t b = 1; b < a; ++b) {
      const std::int16_t* rb = m.Row(b);
      std::int64_t shared = 0;
      for (std::int32_t j = 0; j < cols; ++j) shared += (ra[j] != 0) & (rb[j] != 0);
      if ((totals[static_cast<std::size_t>(b)] - shared) * (totals[static_cast<std::size_t>(a)] - shared) > 0) {
        return true;
      }
    }
  }
  return false;
}

bool NullAdmitsLevel(Hypothesis hypothesis, int level) {
  return !(hypothesis == Hypothesis::NoInteractions && InteractionProportion(level) != 0.0);
}

bool NullAdmitsOccupancy(Hypothesis hypothesis, const OccupancyMatrix& p) {
  if (hypothesis == Hypothesis::SitesEquivalent) {
    for (std::int32_t i = 1; i <= p.Rows(); ++i) {
      for (std::int32_t j = 2; j <= p.Cols(); ++j) {
        if (p(i, j) != p(i, 1)) return false;
      }
    }
    return true;
  }
  if (hypothesis == Hypothesis::SpeciesEquivalent) {
    for (std::int32_t j = 1; j <= p.Cols(); ++j) {
      for (std::int32_t i = 2; i <= p.Rows(); ++i) {
        if (p(i, j) != p(1, j)) return false;
      }
    }
    return true;
  }
  return true;
}

bool InNullHypothesis(Hypothesis hypothesis, int level, const OccupancyMatrix& p) {
  const bool admitsLevel = NullAdmitsLevel(hypothesis, level);
  const bool admitsOccupancy = NullAdmitsOccupancy(hypothesis, p);
  return admitsLevel && admitsOccupancy;
}

std::vector<Argument> CoveredArguments(const RunSettings& settings) {
  bool levels[NumLevels + 1] = {false, true, true, true};
  bool scenarios[NumScenarios + 1];
  for (bool& s : scenarios) s = true;
  if (settings.AssumedLevel) {
    levels[1] = levels[2] = levels[3] = false;
    levels[static_cast<int>(*settings.AssumedLevel)] = true;
  }
  // Scenarios whose probabilities vary between sites, then between species.
  if (settings.AssumeSitesEquivalent) {
    for (int s : {4, 5, 8, 9, 10, 11, 12}) scenarios[s] = false;
  }
  if (settings.AssumeSpeciesEquivalent) {
    for (int s : {6, 7, 8, 9, 10, 11, 12}) scenarios[s] = false;
  }
  std::vector<Argument> arguments;
  for (int s = 1; s <= NumScenarios; ++s) {
    if (!scenarios[s]) continue;
    for (int l = 1; l <= NumLevels; ++l) {
      if (levels[l]) arguments.push_back({s, l});
    }
  }
  return arguments;
}

namespace {

std::int32_t CountArguments(const RunSettings& settings) {
  // The count is not multiplied by the levels once one level is assumed.
  std::int32_t scenarios = 0;
  RunSettings allLevels = settings;
  allLevels.AssumedLevel.reset();
  for (const Argument& a : CoveredArguments(allLevels)) scenarios += a.Level == 1;
  return settings.AssumedLevel ? scenarios : scenarios * NumLevels;
}

}  // namespace

PowerTable RunPowerSimulation(RunContext& run) {
  RunSettings& settings = run.Settings;
  SeedRandomStream(run.Stream, settings.RandomSeed);
  TakeMainWindowChoices(settings, run.Inputs.Choices());

  const std::vector<Argument> arguments = CoveredArguments(settings);
  settings.NumArguments = CountArguments(settings);
  const std::int64_t totalTests = std::int64_t{settings.NumArguments} * settings.NumIterations;
  if (totalTests > std::numeric_limits<std::int32_t>::max()) {
    throw RunSettingsError(RunSettingsError::Overflow,
                           std::to_string(settings.NumArguments) + " arguments x " +
                               std::to_string(settings.NumIterations) +
                               " matrices are more tests than one run can count (at most 2147483647).");
  }

  PowerTable table;
  table.reserve(arguments.size());
  settings.StartTime = run.Time.SecondsSinceMidnight();
  settings.WorkDone = 0.0;

  std::size_t next = 0;
  for (int s = 1; s <= NumScenarios && next < arguments.size(); ++s) {
    if (arguments[next].Scenario != s) continue;
    const OccupancyMatrix p = BuildOccupancyMatrix(s, settings.NumRows, settings.NumCols);
    const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
    for (; next < arguments.size() && arguments[next].Scenario == s; ++next) {
      const int level = arguments[next].Level;
      PowerTableRow row{level, s, InNullHypothesis(settings.NullHypothesis, level, p), 0.0};
      const RejectionCount count = EstimateRejectionRate(run, p, c, InteractionProportion(level));
      row.Power = count.Rate;
      row.Matrices = count.Matrices;
      row.Rejected = count.Rejected;
      row.NotTested = count.NotTested;
      table.push_back(row);
    }
  }
  return table;
}

namespace {

void CountMatrixBegun(RunContext& run) {
  RunSettings& settings = run.Settings;
  if (settings.TestsDone == std::numeric_limits<std::int32_t>::max()) {
    throw RunSettingsError(RunSettingsError::Overflow, "The count of matrices tested passed 2147483647.");
  }
  ++settings.TestsDone;
  run.Progress.UpdateProgress();
}

// A test needs two species that occur; the swap algorithms also need a
// checkerboard to swap. Other matrices count as not rejected.
bool Testable(const GeneratedMatrix& generated, bool fixedFixed) {
  return generated.OccupiedSpecies >= 2 && !(fixedFixed && !HasCheckerboardPair(generated.Matrix));
}

// Stops the workers however the tests of an argument end: a cancel or a
// failure leaves no test running and no thread behind.
class WorkersStopper {
 public:
  explicit WorkersStopper(EcoSimConcurrentTesting& tests) : tests_(tests) {}
  ~WorkersStopper() { tests_.StopTestWorkers(); }
  WorkersStopper(const WorkersStopper&) = delete;
  WorkersStopper& operator=(const WorkersStopper&) = delete;

 private:
  EcoSimConcurrentTesting& tests_;
};

// The sequential walk with the tests on workers: each matrix is drawn in the
// sequential order as soon as a worker is free for it, and the results are
// counted in that order, with the cancel check before each, as if they had
// been tested one by one. While the workers are busy the driver wakes at
// every tick to refresh the progress from the work done and to read Cancel,
// so a cancel stops the running tests within a tick.
RejectionCount EstimateRejectionRateConcurrently(RunContext& run, EcoSimConcurrentTesting& tests,
                                                 const OccupancyMatrix& p, const ConditionalOccupancy& c,
                                                 double proportion) {
  RunSettings& settings = run.Settings;
  const bool fixedFixed = run.Inputs.CommittedOptions().IsFixedFixed();
  const WorkersStopper stopper(tests);
  // Matrices drawn and not yet counted: whether each was submitted.
  std::deque<bool> drawn;
  std::deque<std::optional<double>> results;
  const double workBefore = settings.WorkDone;
  std::int32_t n = 0;
  std::int32_t counted = 0;
  std::int32_t notTested = 0;
  double rejections = 0.0;
  while (counted < settings.NumIterations) {
    for (const std::optional<double>& result : tests.TakeResultsInOrder()) results.push_back(result);
    bool progressed = false;
    while (!drawn.empty() && (!drawn.front() || !results.empty())) {
      double pValue = 1.0;
      bool tested = false;
      if (drawn.front()) {
        if (results.front()) {
          pValue = *results.front();
          tested = true;
        }
        results.pop_front();
      }
      drawn.pop_front();
      if (run.Progress.CancelRequested()) throw RunCancelled();
      if (pValue <= RejectionAlpha) rejections += 1.0;
      if (!tested) ++notTested;
      ++counted;
      progressed = true;
    }
    if (counted == settings.NumIterations) break;
    if (n < settings.NumIterations && tests.WorkerFree()) {
      CountMatrixBegun(run);
      ++n;
      GeneratedMatrix generated = GenerateMatrix(p, c, proportion, run.Stream);
      const bool testable = Testable(generated, fixedFixed);
      if (testable) tests.SubmitMatrix(std::move(generated.Matrix));
      drawn.push_back(testable);
      if (run.Progress.CancelRequested()) throw RunCancelled();
      continue;
    }
    if (!progressed) tests.AwaitTests(n < settings.NumIterations);
    // Counted matrices, the untested ones drawn, the results waiting for
    // their turn and the tests in hand; never less than shown before.
    const double inHand = static_cast<double>(counted + std::count(drawn.begin(), drawn.end(), false)) +
                          static_cast<double>(results.size()) + tests.WorkInHand();
    settings.WorkDone = std::max(settings.WorkDone, workBefore + inHand);
    run.Progress.UpdateProgress();
    if (run.Progress.CancelRequested()) throw RunCancelled();
  }
  settings.WorkDone = workBefore + settings.NumIterations;
  return {rejections / settings.NumIterations, settings.NumIterations, static_cast<std::int32_t>(rejections),
          notTested};
}

}  // namespace

RejectionCount EstimateRejectionRate(RunContext& run, const OccupancyMatrix& p, const ConditionalOccupancy& c,
                                     double proportion) {
  if (run.Workers != nullptr && run.Workers->StartTestWorkers(run.Settings.UpperTail) > 0) {
    return EstimateRejectionRateConcurrently(run, *run.Workers, p, c, proportion);
  }
  // No workers offered, or none could be started: the tests run one by one
  // on this thread.
  RunSettings& settings = run.Settings;
  const bool fixedFixed = run.Inputs.CommittedOptions().IsFixedFixed();
  double rejections = 0.0;
  std::int32_t notTested = 0;
  for (std::int32_t n = 0; n < settings.NumIterations; ++n) {
    CountMatrixBegun(run);
    const GeneratedMatrix generated = GenerateMatrix(p, c, proportion, run.Stream);
    double pValue = 1.0;
    bool tested = false;
    if (Testable(generated, fixedFixed)) {
      run.EcoSim.EnterMatrix(generated.Matrix);
      run.EcoSim.OpenCooccurrenceOptions();
      if (run.EcoSim.RunCooccurrenceTest(0) == ResultsShown) {
        pValue = run.EcoSim.ReadPValue(settings.UpperTail);
        run.EcoSim.CloseCooccurrenceResults();
        tested = true;
      }
    }
    // The matrix in hand is not counted once the user has cancelled.
    if (run.Progress.CancelRequested()) throw RunCancelled();
    if (pValue <= RejectionAlpha) rejections += 1.0;
    if (!tested) ++notTested;
    settings.WorkDone += 1.0;
  }
  return {rejections / settings.NumIterations, settings.NumIterations, static_cast<std::int32_t>(rejections),
          notTested};
}

}  // namespace tessil
