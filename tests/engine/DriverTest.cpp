#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Distribution_Functions.h"
#include "Kernel_Procedures.h"

namespace tessil {
namespace {

// An EcoSim that records every call and plays back scripted outcomes and
// p-values; unscripted tests show results with p = 1.
class ScriptedEcoSim final : public EcoSimAutomation {
 public:
  std::vector<std::string> Calls;
  std::vector<PresenceAbsenceMatrix> Entered;
  std::deque<RunOutcome> Outcomes;
  std::deque<double> PValues;
  std::function<void()> DuringTest;  // runs inside RunCooccurrenceTest
  std::function<void()> DuringEnter;

  void PrepareEcoSim() override { Calls.push_back("Prepare"); }
  void EnterMatrix(const PresenceAbsenceMatrix& m) override {
    Calls.push_back("Enter");
    Entered.push_back(m);
    if (DuringEnter) DuringEnter();
  }
  void OpenCooccurrenceOptions() override { Calls.push_back("Open"); }
  RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) override {
    Calls.push_back("Run" + std::to_string(toggleBeep));
    if (DuringTest) DuringTest();
    if (Outcomes.empty()) return ResultsShown;
    const RunOutcome o = Outcomes.front();
    Outcomes.pop_front();
    return o;
  }
  double ReadPValue(std::int16_t upperTail) override {
    Calls.push_back("Read" + std::to_string(upperTail));
    if (PValues.empty()) return 1.0;
    const double p = PValues.front();
    PValues.pop_front();
    return p;
  }
  void CloseCooccurrenceResults() override { Calls.push_back("Close"); }
  void PlaceEcoSimWindow(std::string_view, std::int32_t) override { Calls.push_back("Place"); }
  void ReleaseEcoSim() override { Calls.push_back("Release"); }
};

class CountingProgress final : public ProgressLink {
 public:
  explicit CountingProgress(const RunSettings& s) : settings_(s) {}
  std::vector<std::int32_t> SeenTestsDone;
  bool Cancel = false;
  std::function<void()> OnUpdate;
  void UpdateProgress() override {
    SeenTestsDone.push_back(settings_.TestsDone);
    if (OnUpdate) OnUpdate();
  }
  bool CancelRequested() const override { return Cancel; }

 private:
  const RunSettings& settings_;
};

class FakeClock final : public Clock {
 public:
  double Now = 36000.0;
  int Reads = 0;
  double SecondsSinceMidnight() override {
    ++Reads;
    return Now;
  }
};

// A run over small matrices with every collaborator scripted.
struct Harness {
  RunSettings Settings;
  FixedRunInputs Inputs;
  ScriptedEcoSim EcoSim;
  CountingProgress Progress{Settings};
  RandomStream Stream;
  FakeClock Time;
  RunContext Run{Settings, Inputs, EcoSim, Progress, Stream, Time};

  Harness(int rows, int cols, int iterations) {
    Settings.NumRows = rows;
    Settings.NumCols = cols;
    Settings.NumIterations = iterations;
    Settings.UpperTail = 1;
  }
};

// Hypotheses and levels by the driver's numbers; level 0: none assumed.
MainWindowChoices Choices(int hypothesis, bool siEq, bool spEq, int level) {
  MainWindowChoices c{static_cast<Hypothesis>(hypothesis), siEq, spEq, std::nullopt};
  if (level != 0) c.AssumedLevel = static_cast<InteractionLevel>(level);
  return c;
}

TEST(Driver, NoAssumptionsGiveThirtySixArgumentsInScenarioThenLevelOrder) {
  Harness h(2, 2, 100);
  const PowerTable table = RunPowerSimulation(h.Run);
  ASSERT_EQ(table.size(), 36u);
  EXPECT_EQ(h.Settings.NumArguments, 36);
  EXPECT_EQ(h.Settings.TestsDone, 3600);
  for (int k = 0; k < 36; ++k) {
    EXPECT_EQ(table[static_cast<std::size_t>(k)].Scenario, k / 3 + 1);
    EXPECT_EQ(table[static_cast<std::size_t>(k)].Level, k % 3 + 1);
    // Under "No Interactions Between Species" only level 1 is in the null.
    EXPECT_EQ(table[static_cast<std::size_t>(k)].InNull, k % 3 == 0);
  }
  EXPECT_EQ(h.Settings.StartTime, 36000.0);
}

TEST(Driver, AssumptionsChooseTheArguments) {
  struct Case {
    int hypothesis;
    bool siEq, spEq;
    int level;
    std::vector<int> scenarios;
  };
  const Case cases[] = {
      {1, false, false, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {1, true, false, 0, {1, 2, 3, 6, 7}},
      {1, false, true, 0, {1, 2, 3, 4, 5}},
      {1, true, true, 0, {1, 2, 3}},
      {2, false, false, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {2, false, true, 2, {1, 2, 3, 4, 5}},
      {3, true, false, 2, {1, 2, 3, 6, 7}},
      {3, true, false, 3, {1, 2, 3, 6, 7}},
      {2, false, true, 3, {1, 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    Harness h(2, 2, 1);
    h.Inputs.Selected = Choices(c.hypothesis, c.siEq, c.spEq, c.level);
    const PowerTable table = RunPowerSimulation(h.Run);
    std::vector<PowerTableRow> expected;
    for (int s : c.scenarios) {
      for (int l = 1; l <= 3; ++l) {
        if (c.level != 0 && l != c.level) continue;
        expected.push_back({l, s, false, 0});
      }
    }
    ASSERT_EQ(table.size(), expected.size()) << "H" << c.hypothesis << " level " << c.level;
    EXPECT_EQ(h.Settings.NumArguments, static_cast<std::int32_t>(expected.size()));
    for (std::size_t k = 0; k < table.size(); ++k) {
      EXPECT_EQ(table[k].Scenario, expected[k].Scenario);
      EXPECT_EQ(table[k].Level, expected[k].Level);
      EXPECT_EQ(table[k].InNull, InNullHypothesis(static_cast<Hypothesis>(c.hypothesis), expected[k].Level,
                                                  BuildOccupancyMatrix(expected[k].Scenario, 2, 2)));
    }
    EXPECT_EQ(h.Settings.AssumedLevel ? static_cast<int>(*h.Settings.AssumedLevel) : 0, c.level);
    EXPECT_EQ(static_cast<int>(h.Settings.NullHypothesis), c.hypothesis);
  }
}

TEST(Driver, EachTestedMatrixGoesThroughTheCallsInOrder) {
  Harness h(10, 10, 3);
  h.Inputs.Selected = Choices(1, true, true, 0);
  h.EcoSim.Outcomes = {ResultsShown, NoResults, ResultsShown};
  RunPowerSimulation(h.Run);
  const std::vector<std::string> firstThree(h.EcoSim.Calls.begin(), h.EcoSim.Calls.begin() + 13);
  EXPECT_EQ(firstThree, (std::vector<std::string>{"Enter", "Open", "Run0", "Read1", "Close",  // results shown
                                                  "Enter", "Open", "Run0",                    // no results
                                                  "Enter", "Open", "Run0", "Read1", "Close"}));
  // The driver starts and closes nothing.
  for (const std::string& call : h.EcoSim.Calls) {
    EXPECT_NE(call, "Prepare");
    EXPECT_NE(call, "Release");
  }
  // UpdateProgress follows each increment of TestsDone.
  ASSERT_EQ(h.Progress.SeenTestsDone.size(), 27u);
  for (std::size_t k = 0; k < 27; ++k) EXPECT_EQ(h.Progress.SeenTestsDone[k], static_cast<std::int32_t>(k + 1));
}

TEST(Driver, TheLowerTailIsReadForTheCompositionIndices) {
  Harness h(10, 10, 2);
  h.Settings.UpperTail = 0;
  h.Inputs.Selected = Choices(1, true, true, 0);
  RunPowerSimulation(h.Run);
  for (const std::string& call : h.EcoSim.Calls) EXPECT_NE(call, "Read1");
}

// Replays the driver's draws to know which matrices it must submit.
std::vector<GeneratedMatrix> DriverDraws(const RunSettings& settings, const std::vector<Argument>& arguments) {
  RandomStream stream;
  SeedRandomStream(stream, settings.RandomSeed);
  std::vector<GeneratedMatrix> draws;
  for (const Argument& a : arguments) {
    const OccupancyMatrix p = BuildOccupancyMatrix(a.Scenario, settings.NumRows, settings.NumCols);
    const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
    for (int n = 0; n < settings.NumIterations; ++n) {
      draws.push_back(GenerateMatrix(p, c, InteractionProportion(a.Level), stream));
    }
  }
  return draws;
}

TEST(Driver, MatricesWithoutTwoSpeciesOrWithoutASwapAreNeverSubmitted) {
  for (bool fixedFixed : {false, true}) {
    Harness h(3, 3, 40);
    h.Settings.RandomSeed = 11;
    h.Inputs.Selected = Choices(1, true, true, 0);
    if (fixedFixed) h.Inputs.Options.ColumnConstraint = Constraint::Fixed;
    RunPowerSimulation(h.Run);

    std::vector<PresenceAbsenceMatrix> expected;
    int fewSpecies = 0, nested = 0;
    for (const GeneratedMatrix& g : DriverDraws(h.Settings, CoveredArguments(h.Settings))) {
      if (g.OccupiedSpecies < 2) {
        ++fewSpecies;
        continue;
      }
      if (fixedFixed && !HasCheckerboardPair(g.Matrix)) {
        ++nested;
        continue;
      }
      expected.push_back(g.Matrix);
    }
    // Scenario 1 on 3 x 3 leaves many matrices with fewer than two species,
    // and small matrices are often nested, so both rules are exercised.
    EXPECT_GT(fewSpecies, 10);
    if (fixedFixed) {
      EXPECT_GT(nested, 10);
    }
    EXPECT_EQ(h.EcoSim.Entered, expected) << (fixedFixed ? "fixed-fixed" : "rows fixed");
  }
}

TEST(Driver, RejectionsAtAlphaCountAndEverythingElseStaysInTheDenominator) {
  Harness h(10, 10, 8);
  h.Inputs.Selected = Choices(1, true, true, 1);  // scenarios 1-3 at level 1: three arguments
  // Scenario 1 at 10 x 10 almost always has two species, but not surely:
  // script enough values for every submission.
  const double above = std::nextafter(0.05, 1.0);
  for (int k = 0; k < 3; ++k) {
    h.EcoSim.PValues.insert(h.EcoSim.PValues.end(), {0.05, above, 0.0, 0.5, 0.04999});
    h.EcoSim.Outcomes.insert(h.EcoSim.Outcomes.end(), {ResultsShown, ResultsShown, ResultsShown, ResultsShown,
                                                       ResultsShown, NoResults, NoResults, NoResults});
  }
  const PowerTable table = RunPowerSimulation(h.Run);
  ASSERT_EQ(table.size(), 3u);
  ASSERT_EQ(h.EcoSim.Entered.size(), 24u) << "a scenario-1 matrix was skipped; pick another seed";
  // 0.05, 0 and 0.04999 reject; the double above 0.05, 0.5 and NoResults do not.
  for (const PowerTableRow& row : table) {
    EXPECT_EQ(row.Power, 3.0 / 8.0);
    // The counts behind the rate: the matrices without results are neither
    // rejected nor lost from the count.
    EXPECT_EQ(row.Matrices, 8);
    EXPECT_EQ(row.Rejected, 3);
    EXPECT_EQ(row.NotTested, 3);
  }
}

TEST(Driver, CancelDuringAMatrixReadsItsPValueThenStopsBeforeCountingIt) {
  Harness h(10, 10, 5);
  h.Inputs.Selected = Choices(1, true, true, 0);
  int tests = 0;
  h.EcoSim.DuringTest = [&] {
    if (++tests == 7) h.Progress.Cancel = true;  // the second matrix of the second argument
  };
  EXPECT_THROW(RunPowerSimulation(h.Run), RunCancelled);
  EXPECT_EQ(h.Settings.TestsDone, 7);
  const std::vector<std::string> tail(h.EcoSim.Calls.end() - 5, h.EcoSim.Calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Enter", "Open", "Run0", "Read1", "Close"}));
  EXPECT_EQ(h.EcoSim.Calls.size(), 35u);
}

TEST(Driver, CancelIsSeenAfterAMatrixThatIsNotSubmitted) {
  Harness h(2, 2, 10);
  h.Inputs.Selected = Choices(1, true, true, 0);
  h.Progress.OnUpdate = [&] {
    if (h.Settings.TestsDone == 4) h.Progress.Cancel = true;
  };
  try {
    RunPowerSimulation(h.Run);
    FAIL() << "the run was not cancelled";
  } catch (const RunCancelled& e) {
    EXPECT_EQ(e.Number(), 36000u);
  }
  EXPECT_EQ(h.Settings.TestsDone, 4);
}

TEST(Driver, EcoSimFailuresLeaveTheDriverUntouched) {
  Harness h(10, 10, 5);
  h.Inputs.Selected = Choices(1, true, true, 0);
  h.EcoSim.DuringEnter = [] { throw EcoSimWindowMissing(); };
  try {
    RunPowerSimulation(h.Run);
    FAIL() << "the failure was swallowed";
  } catch (const EcoSimWindowMissing& e) {
    EXPECT_EQ(e.Number(), 0x80040201u);
  }
  EXPECT_EQ(h.Settings.TestsDone, 1);
}

TEST(Driver, TooManyTestsForTheCounterEndTheRunBeforeAnyMatrix) {
  Harness h(2, 2, 100000000);  // 36 x 10^8 tests pass 2^31 - 1
  EXPECT_THROW(RunPowerSimulation(h.Run), RunSettingsError);
  EXPECT_EQ(h.Settings.TestsDone, 0);
  EXPECT_TRUE(h.EcoSim.Calls.empty());

  Harness last(2, 2, 2);
  last.Settings.TestsDone = std::numeric_limits<std::int32_t>::max() - 1;
  EXPECT_THROW(RunPowerSimulation(last.Run), RunSettingsError);
  EXPECT_EQ(last.Settings.TestsDone, std::numeric_limits<std::int32_t>::max());
}

TEST(Driver, SameSeedSameTableAndSameMatrices) {
  Harness a(6, 6, 20), b(6, 6, 20);
  for (Harness* h : {&a, &b}) {
    h->Settings.RandomSeed = 42;
    h->Inputs.Selected = Choices(2, false, true, 0);
    // p-values that depend on the matrix, so a different draw shows.
    h->EcoSim.DuringTest = [h] {
      const PresenceAbsenceMatrix& m = h->EcoSim.Entered.back();
      h->EcoSim.PValues.push_back((m(1, 1) + m(2, 2) + m(3, 3)) / 60.0);
    };
  }
  EXPECT_EQ(RunPowerSimulation(a.Run), RunPowerSimulation(b.Run));
  EXPECT_EQ(a.EcoSim.Entered, b.EcoSim.Entered);
}

}  // namespace
}  // namespace tessil

namespace tessil {
namespace {

double PValueOf(const PresenceAbsenceMatrix& m) {
  int ones = 0;
  for (int i = 1; i <= m.Rows(); ++i)
    for (int j = 1; j <= m.Cols(); ++j) ones += m(i, j);
  return (ones % 7) / 50.0;  // rejects about half of the matrices
}

class TickingProgress final : public ProgressLink {
 public:
  explicit TickingProgress(const RunSettings& s) : settings_(s) {}
  std::vector<double> WorkSeen;
  bool Cancel = false;
  void UpdateProgress() override { WorkSeen.push_back(settings_.WorkDone); }
  bool CancelRequested() const override { return Cancel; }

 private:
  const RunSettings& settings_;
};

// The small study run through an EcoSim that does not test one matrix at a
// time, offered to the run as its workers.
template <class EcoSimKind>
struct OtherHarness {
  RunSettings Settings;
  FixedRunInputs Inputs;
  EcoSimKind EcoSim;
  TickingProgress Progress{Settings};
  RandomStream Stream;
  FakeClock Time;
  RunContext Run{Settings, Inputs, EcoSim, Progress, Stream, Time, &EcoSim};
  OtherHarness() {
    Settings.NumRows = 4;
    Settings.NumCols = 4;
    Settings.NumIterations = 30;
    Settings.UpperTail = 1;
    Inputs.Selected = Choices(1, true, true, 0);
    Inputs.Options.ColumnConstraint = Constraint::Fixed;
  }
};

// The small study tested one matrix at a time, every fifth test without results.
struct SequentialRun {
  std::unique_ptr<Harness> Study = std::make_unique<Harness>(4, 4, 30);
  PowerTable Table;
  SequentialRun() {
    Harness& h = *Study;
    h.Inputs.Selected = Choices(1, true, true, 0);
    h.Inputs.Options.ColumnConstraint = Constraint::Fixed;
    h.EcoSim.DuringTest = [&h] {
      if (h.EcoSim.Entered.size() % 5 == 0) {
        h.EcoSim.Outcomes.push_back(NoResults);
      } else {
        h.EcoSim.Outcomes.push_back(ResultsShown);
        h.EcoSim.PValues.push_back(PValueOf(h.EcoSim.Entered.back()));
      }
    };
    Table = RunPowerSimulation(h.Run);
  }
};

}  // namespace
}  // namespace tessil

namespace tessil {
namespace {

// Tests matrices on pretend workers: a submitted test runs for `Ticks` waits
// (drawing a share of its null matrices at each) and then finishes, and the
// tests finish in scrambled order, so only the driver's bookkeeping puts the
// results back in submission order.
class WorkerEcoSim final : public EcoSimAutomation, public EcoSimConcurrentTesting {
 public:
  std::size_t Workers = 3;
  std::size_t Started = 3;  // workers the system lets start
  int Ticks = 2;            // waits a test needs; 0: runs until stopped
  std::vector<PresenceAbsenceMatrix> Tested;
  std::size_t MostInHand = 0;
  int Stops = 0;
  int Awaits = 0;
  std::function<void()> OnAwait;

  void PrepareEcoSim() override {}
  void EnterMatrix(const PresenceAbsenceMatrix& m) override { OneByOne.push_back(m); }
  void OpenCooccurrenceOptions() override {}
  RunOutcome RunCooccurrenceTest(std::int16_t) override {
    // Every fifth matrix ends without results, as in the batch double.
    return OneByOne.size() % 5 == 0 ? NoResults : ResultsShown;
  }
  double ReadPValue(std::int16_t) override { return PValueOf(OneByOne.back()); }
  void CloseCooccurrenceResults() override {}
  void PlaceEcoSimWindow(std::string_view, std::int32_t) override {}
  void ReleaseEcoSim() override {}
  std::vector<PresenceAbsenceMatrix> OneByOne;

  std::size_t StartTestWorkers(std::int16_t) override {
    running_.clear();
    finished_.clear();
    return std::min(Workers, Started);
  }
  bool WorkerFree() override { return running_.size() < std::min(Workers, Started); }
  void SubmitMatrix(PresenceAbsenceMatrix m) override {
    EXPECT_TRUE(WorkerFree()) << "a matrix submitted with every worker busy";
    Tested.push_back(m);
    running_.push_back({Tested.size() - 1, 0});
    MostInHand = std::max(MostInHand, running_.size());
  }
  void AwaitTests(bool) override {
    ++Awaits;
    for (Test& t : running_) ++t.Waited;
    // The youngest test finishes first.
    for (std::size_t k = running_.size(); k-- > 0;) {
      if (Ticks > 0 && running_[k].Waited >= Ticks) {
        finished_[running_[k].Index] = Result(running_[k].Index);
        running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(k));
      }
    }
    if (OnAwait) OnAwait();
  }
  std::vector<std::optional<double>> TakeResultsInOrder() override {
    std::vector<std::optional<double>> taken;
    while (finished_.count(next_) != 0) {
      taken.push_back(finished_[next_]);
      finished_.erase(next_++);
    }
    return taken;
  }
  double WorkInHand() override {
    double work = static_cast<double>(finished_.size());
    for (const Test& t : running_) work += Ticks > 0 ? static_cast<double>(t.Waited) / Ticks : 0.01 * t.Waited;
    return work;
  }
  void StopTestWorkers() noexcept override {
    ++Stops;
    running_.clear();
  }

 private:
  struct Test {
    std::size_t Index;
    int Waited;
  };
  std::optional<double> Result(std::size_t index) const {
    if ((index + 1) % 5 == 0) return std::nullopt;
    return PValueOf(Tested[index]);
  }
  std::vector<Test> running_;
  std::map<std::size_t, std::optional<double>> finished_;
  std::size_t next_ = 0;
};
using WorkerHarness = OtherHarness<WorkerEcoSim>;

// Seven tests at once (the cases once run through EcoSim's batches of seven):
// the sequential table, the sequential matrices, never more held than
// workers.
TEST(Driver, SevenWorkersGiveTheSequentialTable) {
  const SequentialRun sequential;
  WorkerHarness h;
  h.EcoSim.Workers = 7;
  h.EcoSim.Started = 7;
  EXPECT_EQ(RunPowerSimulation(h.Run), sequential.Table);
  EXPECT_EQ(h.EcoSim.Tested, sequential.Study->EcoSim.Entered);
  EXPECT_EQ(h.Settings.TestsDone, 9 * 30);
  EXPECT_LE(h.EcoSim.MostInHand, 7u);
}

// A cancel read while seven tests run stops the run before their results are
// counted and before another matrix is drawn.
TEST(Driver, CancelWhileTestsRunStopsBeforeTheirResultsAreCounted) {
  WorkerHarness h;
  h.EcoSim.Workers = 7;
  h.EcoSim.Started = 7;
  h.EcoSim.Ticks = 2;
  std::size_t drawnAtCancel = 0;
  h.EcoSim.OnAwait = [&] {
    if (h.EcoSim.Awaits == 2) {
      h.Progress.Cancel = true;
      drawnAtCancel = h.EcoSim.Tested.size();
    }
  };
  EXPECT_THROW(RunPowerSimulation(h.Run), RunCancelled);
  EXPECT_EQ(h.EcoSim.Awaits, 2);
  EXPECT_EQ(h.EcoSim.Tested.size(), drawnAtCancel);
  EXPECT_EQ(h.EcoSim.Stops, 1);
}

TEST(Driver, WorkersGetTheSequentialMatricesOneEachAndGiveTheSequentialTable) {
  const SequentialRun sequential;
  const PowerTable& expected = sequential.Table;
  for (int ticks : {1, 2, 5}) {
    SCOPED_TRACE(ticks);
    WorkerHarness h;
    h.EcoSim.Ticks = ticks;
    EXPECT_EQ(RunPowerSimulation(h.Run), expected);
    EXPECT_EQ(h.EcoSim.Tested, sequential.Study->EcoSim.Entered) << "drawn in the sequential order";
    EXPECT_EQ(h.EcoSim.MostInHand, 3u) << "never more matrices held than workers";
    EXPECT_TRUE(h.EcoSim.OneByOne.empty());
    EXPECT_EQ(h.Settings.TestsDone, 9 * 30);
    EXPECT_EQ(h.Settings.WorkDone, 9 * 30.0);
    EXPECT_EQ(h.EcoSim.Stops, 9) << "the workers end with every argument";
    // The work done never goes back.
    EXPECT_TRUE(std::is_sorted(h.Progress.WorkSeen.begin(), h.Progress.WorkSeen.end()));
  }
  // No worker could be started: the tests run one by one on the driver's
  // thread, with the same results.
  WorkerHarness none;
  none.EcoSim.Started = 0;
  EXPECT_EQ(RunPowerSimulation(none.Run), expected);
  EXPECT_EQ(none.EcoSim.OneByOne, sequential.Study->EcoSim.Entered);
  // The same EcoSim not offered to the run as workers tests one by one: the
  // run uses what it is given, not what it could find out.
  WorkerHarness unoffered;
  unoffered.Run.Workers = nullptr;
  EXPECT_EQ(RunPowerSimulation(unoffered.Run), expected);
  EXPECT_TRUE(unoffered.EcoSim.Tested.empty());
  EXPECT_EQ(unoffered.EcoSim.OneByOne, sequential.Study->EcoSim.Entered);
}

TEST(Driver, WhileTestsRunTheProgressMovesAndACancelStopsThemAtTheNextTick) {
  WorkerHarness h;
  h.EcoSim.Ticks = 0;  // tests that run until stopped
  h.EcoSim.OnAwait = [&] {
    if (h.EcoSim.Awaits == 50) h.Progress.Cancel = true;
  };
  EXPECT_THROW(RunPowerSimulation(h.Run), RunCancelled);
  EXPECT_EQ(h.EcoSim.Awaits, 50) << "the cancel was read at the tick that saw it";
  EXPECT_EQ(h.EcoSim.Stops, 1);
  EXPECT_EQ(h.EcoSim.Tested.size(), 3u) << "nothing drawn while every worker was busy";
  // No test finished, yet every tick showed more work done.
  ASSERT_GE(h.Progress.WorkSeen.size(), 50u);
  const std::vector<double> ticks(h.Progress.WorkSeen.end() - 50, h.Progress.WorkSeen.end());
  for (std::size_t k = 1; k < ticks.size(); ++k) EXPECT_GT(ticks[k], ticks[k - 1]);
  EXPECT_LT(ticks.back() - ticks.front(), 3.0) << "three tests in hand, none of them finished";
}

}  // namespace
}  // namespace tessil
