#include <algorithm>
#include <cmath>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Distribution_Functions.h"
#include "InProcessEcoSim.h"
#include "Kernel_Procedures.h"
#include "PValueLine.h"

namespace tessil {
namespace {

TEST(PValueLine, ReadsTheChosenTailWithinThirtyThreeCharacters) {
  struct Case {
    const char* line;
    int tail;
    double value;
  };
  for (const Case& c :
       {Case{"p(observed <= expected) = 0.04700", 0, 0.047}, Case{"p(observed >= expected) = 1.00000", 1, 1.0},
        Case{"p(observed >= expected) = 0.05", 1, 0.05},            // short: trailing spaces
        Case{"p(observed >= expected) = 0.123456789", 1, 0.12345},  // cut after 7 characters
        Case{"p(observed <= expected) =  0.5  ", 0, 0.5}}) {
    EXPECT_DOUBLE_EQ(PValueFromLine(LineBuffer(c.line, PValueLineCapacity), static_cast<std::int16_t>(c.tail)), c.value)
        << c.line;
  }
}

TEST(PValueLine, AnythingButANumberFails) {
  for (auto [line, tail] : {std::pair{"p(observed <= expected) = n/a", 0},
                            std::pair{"p(observed <= expected) = 0.04700", 1},  // the other tail's line
                            std::pair{"", 0}, std::pair{"p(observed >= expected) = ", 1}, std::pair{"x", 1}}) {
    EXPECT_THROW(PValueFromLine(LineBuffer(line, PValueLineCapacity), static_cast<std::int16_t>(tail)),
                 PValueNotANumber)
        << line;
  }
  // The buffer keeps the length field where a short line did not reach.
  const std::string buffer = LineBuffer("", 33);
  ASSERT_EQ(buffer.size(), 33u);
  EXPECT_EQ(buffer[0], '\x21');
  EXPECT_EQ(buffer[1], '\0');
  EXPECT_EQ(buffer[2], ' ');
}

PresenceAbsenceMatrix Segregated() {
  // Two guilds on disjoint halves of the sites.
  PresenceAbsenceMatrix m(8, 8);
  for (int i = 1; i <= 8; ++i)
    for (int j = 1; j <= 8; ++j) m(i, j) = static_cast<std::int16_t>((i <= 4) == (j <= 4) && (i + j) % 3 != 0);
  return m;
}

TEST(InProcessEcoSim, CallsOutOfOrderFindTheirWindowMissing) {
  RunSettings settings;
  FixedRunInputs inputs;
  InProcessEcoSim ecosim(settings, inputs);
  EXPECT_THROW(ecosim.EnterMatrix(Segregated()), EcoSimWindowMissing);
  ecosim.PrepareEcoSim();
  EXPECT_THROW(ecosim.ReadPValue(1), EcoSimWindowMissing);
  EXPECT_THROW(ecosim.RunCooccurrenceTest(0), EcoSimWindowMissing);
  ecosim.EnterMatrix(Segregated());
  ecosim.OpenCooccurrenceOptions();
  ASSERT_EQ(ecosim.RunCooccurrenceTest(0), ResultsShown);
  EXPECT_THROW(ecosim.EnterMatrix(Segregated()), EcoSimWindowMissing);
  ecosim.ReadPValue(1);
  ecosim.CloseCooccurrenceResults();
  EXPECT_THROW(ecosim.CloseCooccurrenceResults(), EcoSimWindowMissing);
}

TEST(InProcessEcoSim, PrepareLoadsTheRunAndReleaseResetsIt) {
  RunSettings settings;
  FixedRunInputs inputs;
  inputs.Rows = "7";
  inputs.Cols = "9";
  inputs.Options.Index = CooccurrenceIndex::VRatio;
  InProcessEcoSim ecosim(settings, inputs);
  ecosim.PrepareEcoSim();
  EXPECT_EQ(settings.NumRows, 7);
  EXPECT_EQ(settings.NumCols, 9);
  EXPECT_EQ(settings.UpperTail, 0);
  EXPECT_EQ(settings.NumIterations, 100);
  ecosim.ReleaseEcoSim();
  EXPECT_EQ(settings.NumRows, 0);
  EXPECT_EQ(settings.NumIterations, 100);
}

TEST(InProcessEcoSim, EachTestIsSeededByItsOrdinalAndReadBackExactly) {
  RunSettings settings;
  FixedRunInputs inputs;
  inputs.Options.EcoSimSeed = "17";
  InProcessEcoSim ecosim(settings, inputs);
  ecosim.PrepareEcoSim();
  const cooc::TestOptions held = EcoSimHeldOptions(inputs.Options);
  const PresenceAbsenceMatrix m = Segregated();
  std::vector<std::string> memos;
  for (std::uint64_t k = 0; k < 4; ++k) {
    ecosim.EnterMatrix(m);
    ecosim.OpenCooccurrenceOptions();
    ASSERT_EQ(ecosim.RunCooccurrenceTest(0), ResultsShown);
    const cooc::TestResult expected = cooc::RunTest(ToIncidence(m), held, k);
    EXPECT_EQ(ecosim.LastResult().Memo2, expected.Memo2) << "test " << k;
    // Five decimals: the p-value read back is the exact fraction, rounded.
    EXPECT_NEAR(ecosim.ReadPValue(1), expected.PUpper(), 0.5e-5);
    EXPECT_NEAR(ecosim.ReadPValue(0), expected.PLower(), 0.5e-5);
    ecosim.CloseCooccurrenceResults();
    memos.push_back(ecosim.LastResult().Memo2);
  }
  // A segregated matrix has a large C-score: the upper tail is small.
  EXPECT_LE(ecosim.LastResult().PUpper(), 0.05);
  // The same matrix tested again under the next ordinal draws other null
  // matrices: no two of the four results are alike.
  for (std::size_t a = 0; a < memos.size(); ++a)
    for (std::size_t b = a + 1; b < memos.size(); ++b) EXPECT_NE(memos[a], memos[b]) << a << " and " << b;
  // Another EcoSim with the same seed gives the same four results in turn,
  // and so does this one once the options are taken again.
  InProcessEcoSim other(settings, inputs);
  other.PrepareEcoSim();
  ecosim.PrepareEcoSim();
  for (std::size_t k = 0; k < memos.size(); ++k) {
    for (InProcessEcoSim* e : {&other, &ecosim}) {
      e->EnterMatrix(m);
      e->OpenCooccurrenceOptions();
      ASSERT_EQ(e->RunCooccurrenceTest(0), ResultsShown);
      EXPECT_EQ(e->LastResult().Memo2, memos[k]) << "test " << k;
      e->CloseCooccurrenceResults();
    }
  }
  // A different seed is a different stream for the same ordinal.
  inputs.Options.EcoSimSeed = "18";
  InProcessEcoSim reseeded(settings, inputs);
  reseeded.PrepareEcoSim();
  reseeded.EnterMatrix(m);
  reseeded.OpenCooccurrenceOptions();
  ASSERT_EQ(reseeded.RunCooccurrenceTest(0), ResultsShown);
  EXPECT_NE(reseeded.LastResult().Memo2, memos[0]);
}

TEST(InProcessEcoSim, EmptySitesReachEcoSimOnlyForTheCompositionIndices) {
  EcoSimTestOptions o;
  o.EmptySites = EmptySiteTreatment::Include;
  EXPECT_EQ(EcoSimHeldOptions(o).EmptySites, EmptySiteTreatment::Exclude);
  o.Index = CooccurrenceIndex::VRatio;
  EXPECT_EQ(EcoSimHeldOptions(o).EmptySites, EmptySiteTreatment::Include);
  o.Index = CooccurrenceIndex::Combinations;
  EXPECT_EQ(EcoSimHeldOptions(o).EmptySites, EmptySiteTreatment::Include);
}

TEST(InProcessEcoSim, OnlyCellsEqualToOneArePresent) {
  PresenceAbsenceMatrix m(2, 3);
  m(1, 1) = 1;
  m(1, 2) = 2;
  m(2, 3) = -1;
  m(2, 2) = 1;
  const cooc::Incidence incidence = ToIncidence(m);
  EXPECT_TRUE(incidence.Get(0, 0));
  EXPECT_FALSE(incidence.Get(0, 1));
  EXPECT_FALSE(incidence.Get(1, 2));
  EXPECT_TRUE(incidence.Get(1, 1));
}

TEST(InProcessEcoSim, TestsRunTogetherGiveTheSequentialResults) {
  RunSettings settings;
  FixedRunInputs inputs;
  inputs.Options.ColumnConstraint = Constraint::Fixed;  // the swap chain, the slowest and most stateful
  inputs.Options.EcoSimIterations = "50";
  std::vector<PresenceAbsenceMatrix> matrices;
  const OccupancyMatrix p = BuildOccupancyMatrix(2, 8, 8);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 3);
  while (matrices.size() < 24) {
    GeneratedMatrix g = GenerateMatrix(p, c, 0.0, stream);
    if (HasCheckerboardPair(g.Matrix)) matrices.push_back(g.Matrix);
  }
  InProcessEcoSim sequential(settings, inputs, 1);
  sequential.PrepareEcoSim();
  // The workers' first run is stopped after three submissions, which take
  // their ordinals all the same.
  for (int skipped = 0; skipped < 3; ++skipped) {
    sequential.EnterMatrix(matrices[0]);
    sequential.OpenCooccurrenceOptions();
    if (sequential.RunCooccurrenceTest(0) == ResultsShown) sequential.CloseCooccurrenceResults();
  }
  std::vector<std::optional<double>> expected;
  for (const PresenceAbsenceMatrix& m : matrices) {
    sequential.EnterMatrix(m);
    sequential.OpenCooccurrenceOptions();
    if (sequential.RunCooccurrenceTest(0) == NoResults) {
      expected.emplace_back();
      continue;
    }
    expected.push_back(sequential.ReadPValue(1));
    sequential.CloseCooccurrenceResults();
  }
  InProcessEcoSim parallel(settings, inputs, 3);
  parallel.PrepareEcoSim();
  // Tested on the workers in two runs of tests, as the driver hands them over
  // argument by argument.
  const auto onWorkers = [&parallel](std::vector<PresenceAbsenceMatrix> some) {
    std::vector<std::optional<double>> pValues;
    EXPECT_GT(parallel.StartTestWorkers(1), 1u);
    std::size_t next = 0;
    // Bounded, so that results that never come fail rather than hang.
    for (int ticks = 0; pValues.size() < some.size() && ticks < 300; ++ticks) {
      while (next < some.size() && parallel.WorkerFree()) parallel.SubmitMatrix(some[next++]);
      const std::vector<std::optional<double>> taken = parallel.TakeResultsInOrder();
      pValues.insert(pValues.end(), taken.begin(), taken.end());
      if (pValues.size() < some.size() && taken.empty()) parallel.AwaitTests(next < some.size());
    }
    parallel.StopTestWorkers();
    return pValues;
  };
  ASSERT_GT(parallel.StartTestWorkers(1), 1u);
  for (int stopped = 0; stopped < 3; ++stopped) parallel.SubmitMatrix(matrices[0]);
  parallel.StopTestWorkers();
  std::vector<std::optional<double>> got = onWorkers({matrices.begin(), matrices.begin() + 10});
  const std::vector<std::optional<double>> more = onWorkers({matrices.begin() + 10, matrices.end()});
  got.insert(got.end(), more.begin(), more.end());
  EXPECT_EQ(got, expected);
  EXPECT_EQ(parallel.TestsRun(), 27u);
}

}  // namespace
}  // namespace tessil

namespace tessil {
namespace {

class FrozenClock final : public Clock {
 public:
  double SecondsSinceMidnight() override { return 0.0; }
};

struct Study {
  RunSettings Settings;
  FixedRunInputs Inputs;
  SilentProgress Progress;
  RandomStream Stream;
  FrozenClock Time;
  Study() {
    Inputs.Rows = "6";
    Inputs.Cols = "5";
    Inputs.Options.EcoSimIterations = "40";
    Inputs.Selected.AssumeSitesEquivalent = true;
    Inputs.Selected.AssumeSpeciesEquivalent = true;
    Settings.NumIterations = 12;
  }
  PowerTable Run(InProcessEcoSim& ecosim, ProgressLink& progress) {
    ecosim.PrepareEcoSim();
    RunContext run{Settings, Inputs, ecosim, progress, Stream, Time, &ecosim};
    return RunPowerSimulation(run);
  }
};

TEST(InProcessEcoSim, ThreadsThatCannotBeStartedLeaveTheTestsToThoseThatWere) {
  Study reference;
  InProcessEcoSim alone(reference.Settings, reference.Inputs, 1);
  const PowerTable expected = reference.Run(alone, reference.Progress);
  // The system refuses every thread after the first `allowed`.
  for (const int allowed : {0, 1, 3}) {
    SCOPED_TRACE(allowed);
    int asked = 0;
    ThreadStarter refusing = [&](std::function<void(std::stop_token)> work) {
      if (++asked > allowed) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      return std::jthread(std::move(work));
    };
    Study study;
    InProcessEcoSim ecosim(study.Settings, study.Inputs, 4, nullptr, refusing);
    EXPECT_EQ(study.Run(ecosim, study.Progress), expected);
    ecosim.PrepareEcoSim();
    asked = 0;
    EXPECT_EQ(ecosim.StartTestWorkers(1), static_cast<std::size_t>(allowed));
  }
}

// Cancels the run as soon as a test under way has drawn null matrices.
class CancelMidTest final : public ProgressLink {
 public:
  explicit CancelMidTest(const RunSettings& s) : settings_(s) {}
  void UpdateProgress() override {
    if (settings_.WorkDone != std::floor(settings_.WorkDone)) cancel_ = true;
  }
  bool CancelRequested() const override { return cancel_; }

 private:
  const RunSettings& settings_;
  bool cancel_ = false;
};

TEST(InProcessEcoSim, ACancelStopsTheTestsUnderWayAndNoMoreMatricesAreHeldThanWorkers) {
  constexpr std::int64_t Nulls = 50000;
  Study study;
  // Tests of a second or more each: the null matrices are drawn afresh.
  study.Inputs.Rows = "60";
  study.Inputs.Cols = "60";
  study.Inputs.Options.EcoSimIterations = std::to_string(Nulls);
  study.Settings.NumIterations = 6;
  CancelMidTest progress(study.Settings);
  InProcessEcoSim ecosim(study.Settings, study.Inputs, 2);
  EXPECT_THROW(study.Run(ecosim, progress), RunCancelled);
  EXPECT_LE(ecosim.TestsRun(), 2u) << "a matrix this large is drawn only for a free worker";
  EXPECT_GT(ecosim.NullMatricesDrawn(), 0);
  EXPECT_LT(ecosim.NullMatricesDrawn(), 2 * Nulls) << "the tests under way were not stopped";
}

// The in-process EcoSim tested one matrix at a time, with every p-value it
// gives noted.
class NotedPValues final : public EcoSimAutomation {
 public:
  explicit NotedPValues(InProcessEcoSim& inner) : inner_(inner) {}
  std::vector<double> Read;
  void PrepareEcoSim() override { inner_.PrepareEcoSim(); }
  void EnterMatrix(const PresenceAbsenceMatrix& m) override { inner_.EnterMatrix(m); }
  void OpenCooccurrenceOptions() override { inner_.OpenCooccurrenceOptions(); }
  RunOutcome RunCooccurrenceTest(std::int16_t beep) override { return inner_.RunCooccurrenceTest(beep); }
  double ReadPValue(std::int16_t tail) override { return Read.emplace_back(inner_.ReadPValue(tail)); }
  void CloseCooccurrenceResults() override { inner_.CloseCooccurrenceResults(); }
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override { inner_.PlaceEcoSimWindow(name, mode); }
  void ReleaseEcoSim() override { inner_.ReleaseEcoSim(); }

 private:
  InProcessEcoSim& inner_;
};

TEST(InProcessEcoSim, APValueOfExactlyAlphaIsARejectionOnTheWorkersAsOneByOne) {
  // With 20 null matrices every p-value is a multiple of 1/20, so p = 0.05
  // comes up often.
  Study alone;
  alone.Inputs.Options.EcoSimIterations = "20";
  alone.Settings.NumIterations = 40;
  InProcessEcoSim inner(alone.Settings, alone.Inputs, 1);
  NotedPValues noted(inner);
  inner.PrepareEcoSim();
  RunContext oneByOne{alone.Settings, alone.Inputs, noted, alone.Progress, alone.Stream, alone.Time, nullptr};
  const PowerTable expected = RunPowerSimulation(oneByOne);
  const auto atAlpha = std::count(noted.Read.begin(), noted.Read.end(), RejectionAlpha);
  ASSERT_GT(atAlpha, 5) << noted.Read.size()
                        << " p-values read; the study no longer meets p = 0.05; pick other settings";
  // Rejections at exactly alpha are in the table: had they not counted, the
  // powers would be smaller.
  double power = 0;
  for (const PowerTableRow& row : expected) power += row.Power;
  const auto below = std::count_if(noted.Read.begin(), noted.Read.end(), [](double p) { return p < RejectionAlpha; });
  EXPECT_NEAR(power * alone.Settings.NumIterations, static_cast<double>(below + atAlpha), 1e-9);

  Study together;
  together.Inputs.Options.EcoSimIterations = "20";
  together.Settings.NumIterations = 40;
  InProcessEcoSim workers(together.Settings, together.Inputs, 3);
  EXPECT_EQ(together.Run(workers, together.Progress), expected);
}

}  // namespace
}  // namespace tessil
