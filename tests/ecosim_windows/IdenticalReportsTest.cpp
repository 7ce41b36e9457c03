// Whole studies through EcoSim's windows (the stand-in) and through the
// in-process engine give the same report, byte for byte.
#include <gtest/gtest.h>

#include "InProcessEcoSim.h"
#include "OutputResults_Procedures.h"
#include "ProtocolTestSupport.h"
#include "Validation.h"

namespace tessil::testing {
namespace {

// Keeps every p-value read: a pair of studies in which nothing was tested
// cannot pass for identical, and a test seeded wrongly shows even where it
// does not change a rejection.
class CountingEcoSim final : public EcoSimAutomation {
 public:
  explicit CountingEcoSim(EcoSimAutomation& inner) : inner_(inner) {}
  std::vector<double> PValues;
  void PrepareEcoSim() override { inner_.PrepareEcoSim(); }
  void EnterMatrix(const PresenceAbsenceMatrix& m) override { inner_.EnterMatrix(m); }
  void OpenCooccurrenceOptions() override { inner_.OpenCooccurrenceOptions(); }
  RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) override { return inner_.RunCooccurrenceTest(toggleBeep); }
  double ReadPValue(std::int16_t upperTail) override {
    PValues.push_back(inner_.ReadPValue(upperTail));
    return PValues.back();
  }
  void CloseCooccurrenceResults() override { inner_.CloseCooccurrenceResults(); }
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override { inner_.PlaceEcoSimWindow(name, mode); }
  void ReleaseEcoSim() override { inner_.ReleaseEcoSim(); }

 private:
  EcoSimAutomation& inner_;
};

class IdenticalReports : public ProtocolTest {
 protected:
  std::string Study(EcoSimAutomation& ecosim, std::vector<double>& pValues) {
    settings_ = RunSettings{};
    settings_.NumIterations = 4;
    settings_.RandomSeed = 11;
    CountingEcoSim counting(ecosim);
    SilentProgress progress;
    RandomStream stream;
    RunContext run{settings_, inputs_, counting, progress, stream, clock_};
    const PowerTable table = RunWithFinishSteps(counting, run);
    pValues = counting.PValues;
    return BuildResultsReport(table, AnalyzeErrorRates(table), inputs_);
  }
};

TEST_F(IdenticalReports, ForTheDefaultsAndOtherIndicesConstraintsAndAlgorithms) {
  struct Case {
    const char* what;
    const char* index;
    const char* emptySites;
    const char* rows;
    const char* columns;
    const char* algorithm;
  };
  const Case cases[] = {
      {"the defaults", "C-score", "Exclude", "Fixed Sum", "Equiprobable", "Sequential Swap"},
      {"V-ratio with empty sites included", "V-ratio", "Include", "Fixed Sum", "Equiprobable", "Sequential Swap"},
      {"species combinations, proportional rows, fixed columns", "Number of species combinations", "Include",
       "Proportional", "Fixed Sum", "Sequential Swap"},
      {"fixed-fixed, sequential swap", "C-score", "Exclude", "Fixed Sum", "Fixed Sum", "Sequential Swap"},
      {"fixed-fixed, independent swap", "Number of checkerboards", "Include", "Fixed Sum", "Fixed Sum",
       "Independent Swap"},
      {"fixed-fixed, random knight's tour", "C-score", "Exclude", "Fixed Sum", "Fixed Sum", "Random Knight's Tour"},
  };
  inputs_.Rows = "5";
  inputs_.Cols = "5";
  // Three scenarios at three levels: nine arguments of four matrices each.
  inputs_.Selected.AssumeSitesEquivalent = true;
  inputs_.Selected.AssumeSpeciesEquivalent = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EcoSimTestOptions& o = inputs_.Options;
    o = EcoSimTestOptions{};
    o.Index = *FromCaption<CooccurrenceIndex>(c.index);
    o.EmptySites = *FromCaption<EmptySiteTreatment>(c.emptySites);
    o.RowConstraint = *FromCaption<Constraint>(c.rows);
    o.ColumnConstraint = *FromCaption<Constraint>(c.columns);
    o.Algorithm = *FromCaption<FixedFixedAlgorithm>(c.algorithm);
    o.EcoSimIterations = "60";
    o.EcoSimSeed = "3";
    inputs_.Summary = BuildTestSummary(o);

    std::vector<double> windowPValues;
    const std::string throughWindows = Study(EcoSim(), windowPValues);
    EXPECT_EQ(world_.Programs().RunningPrograms(), 0u);
    std::vector<double> inProcessPValues;
    InProcessEcoSim inProcess(settings_, inputs_);
    const std::string direct = Study(inProcess, inProcessPValues);

    EXPECT_EQ(throughWindows, direct);
    EXPECT_EQ(windowPValues, inProcessPValues);
    EXPECT_GT(inProcessPValues.size(), 18u);
  }
}

TEST_F(IdenticalReports, WhenTheWaitsPollTheWindowSystemOnlyNowAndThen) {
  inputs_.Rows = "6";
  inputs_.Cols = "4";
  inputs_.Selected.AssumeSitesEquivalent = true;
  inputs_.Selected.AssumeSpeciesEquivalent = true;
  inputs_.Options.EcoSimIterations = "200";
  QtWindowSystem::Options options{&clock_, ScreenSize{1024, 768}};
  options.FullTurnSeconds = 0.0005;
  QtWindowSystem throttled(world_, options);
  WindowProtocolEcoSim ecosim(throttled, settings_, inputs_, &host_, {}, folder_, {});
  std::vector<double> windowPValues;
  const std::string throughWindows = Study(ecosim, windowPValues);
  InProcessEcoSim inProcess(settings_, inputs_);
  std::vector<double> inProcessPValues;
  EXPECT_EQ(throughWindows, Study(inProcess, inProcessPValues));
  EXPECT_EQ(windowPValues, inProcessPValues);
}

}  // namespace
}  // namespace tessil::testing
