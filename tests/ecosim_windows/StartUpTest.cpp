// Starting EcoSim: closing the EcoSims that run, the warm-up test, the
// resize, the transfer of the test options, and a missing program file.
#include <gtest/gtest.h>

#include <QPushButton>

#include "InProcessEcoSim.h"
#include "ProtocolTestSupport.h"
#include "Validation.h"

namespace tessil::testing {
namespace {

using StartUp = ProtocolTest;

TEST_F(StartUp, WarmsUpSizesTheGridAndSendsTheOptionsWithTheirExactMessages) {
  inputs_.Cols = "6";
  WindowProtocolEcoSim& ecosim = EcoSim();
  ecosim.PrepareEcoSim();
  const EcoSimSession& s = ecosim.Session();
  const WindowHandle tessil = qtwin::HandleOf(world_.Windows(), progress_.get());

  std::vector<Call> expected;
  const std::string ecosimFolder = (folder_ / "EcoSim" / "").string();
  expected.push_back({"open", NoWindow, 0, win::SW_SHOWNORMAL, 0,
                      "open|" + (folder_ / "EcoSim" / "EcoSim700.exe").string() + "||" + ecosimFolder});
  expected.push_back({"show", s.ApplicationWindow, 0, win::SW_HIDE});
  expected.push_back({"front", tessil});
  Append(expected, Translucent(s.MainWindow));
  expected.push_back(OffScreen(s.MainWindow));
  Append(expected, Translucent(s.ProgressWindow));
  expected.push_back(OffScreen(s.ProgressWindow));
  PresenceAbsenceMatrix warmUp(5, 5);
  for (int i = 1; i <= 5; ++i)
    for (int j = 1; j <= 5; ++j) warmUp(i, j) = static_cast<std::int16_t>((i + j) % 2);
  Append(expected, Typing(s, warmUp));
  Append(expected, Opening(s));
  Append(expected, Translucent(s.OptionsWindow));
  expected.push_back(OffScreen(s.OptionsWindow));
  expected.push_back(Select(s.RowGroup, s.RowEquiprobable));
  expected.push_back(SetText(s.IterationsEdit, "100"));
  Append(expected, {Focus(s.RunButton), Post(s.RunButton, win::BM_CLICK), Focus(s.BeepCheck),
                    Send(s.BeepCheck, win::WM_KEYDOWN, 0x20, 0x00390001),
                    Send(s.BeepCheck, win::WM_KEYUP, 0x20, static_cast<std::intptr_t>(0xC0390001u))});
  Append(expected, Translucent(s.ResultsWindow));
  expected.push_back(OffScreen(s.ResultsWindow));
  expected.push_back(Post(s.ResultsWindow, win::WM_CLOSE));
  expected.push_back(Select(s.RowGroup, s.RowFixedSum));
  expected.push_back(SetText(s.IterationsEdit, "5000"));
  Append(expected, Translucent(s.ResizeDialog));
  Append(expected, {Post(s.MainWindow, win::WM_COMMAND, 17), SetText(s.ResizeEditB, "4"), SetText(s.ResizeEditA, "6"),
                    Post(s.ResizeOk, win::BM_CLICK)});
  Append(expected, Opening(s));
  Append(expected, {Select(s.RowGroup, s.RowFixedSum), Select(s.ColumnGroup, s.ColumnEquiprobable),
                    SetText(s.IndexEdit, "C-score"), SetText(s.IterationsEdit, "100"), SetText(s.SeedEdit, "0"),
                    Select(s.AlgorithmGroup, s.AlgorithmSequential), Select(s.DegenerateGroup, s.DegenerateRetain),
                    Post(s.OptionsWindow, win::WM_CLOSE)});
  ASSERT_EQ(windows_.Calls.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k) ASSERT_EQ(windows_.Calls[k], expected[k]) << "call " << k;

  // What EcoSim holds afterwards.
  standin::StandInEcoSim& e = StandIn();
  EXPECT_EQ(host_.Enabled, 1) << "\"Show EcoSim\" is enabled once EcoSim is ready";
  EXPECT_EQ(e.Grid().Rows(), 4);
  EXPECT_EQ(e.Grid().Cols(), 6);
  EXPECT_EQ(e.TestsStarted(), 1) << "the warm-up test";
  EXPECT_EQ(e.TestOrdinal(), 0u) << "the seed was set after the warm-up";
  EXPECT_FALSE(e.BeepChecked()) << "the warm-up turned the beep off";
  EXPECT_EQ(e.LastResult().Memo1.find("Row Constraints: Equiprobable\r\n"), e.LastResult().Memo1.find("Row"));
  EXPECT_NE(e.LastResult().Memo1.find("Number of Iterations: 100\r\n"), std::string::npos);
  EXPECT_TRUE(windows_.IsWindowVisible(s.MainWindow));
  EXPECT_FALSE(windows_.IsWindowVisible(s.ApplicationWindow));
  EXPECT_FALSE(windows_.IsWindowVisible(s.OptionsWindow));
  EXPECT_EQ(settings_.NumRows, 4);
  EXPECT_EQ(settings_.NumCols, 6);
}

// The choices of the options dialog and the setter calls they must become.
TEST_F(StartUp, EachChoiceReachesEcoSimAndEmptySitesOnlyForTheSiteIndices) {
  struct Case {
    EcoSimTestOptions options;
    bool sendsEmptySites;
  };
  auto with = [](auto change) {
    EcoSimTestOptions o;
    change(o);
    return o;
  };
  const Case cases[] = {
      {EcoSimTestOptions{}, false},
      {with([](auto& o) {
         o.Index = CooccurrenceIndex::VRatio;
         o.EmptySites = EmptySiteTreatment::Include;
       }),
       true},
      {with([](auto& o) {
         o.Index = CooccurrenceIndex::Combinations;
         o.EmptySites = EmptySiteTreatment::Exclude;
       }),
       true},
      {with([](auto& o) {
         o.Index = CooccurrenceIndex::Checkerboards;
         o.EmptySites = EmptySiteTreatment::Include;
       }),
       false},
      {with([](auto& o) {
         o.RowConstraint = Constraint::Proportional;
         o.ColumnConstraint = Constraint::Fixed;
         o.DegenerateMatrices = DegenerateTreatment::Split;
         o.EcoSimIterations = " 250";
         o.EcoSimSeed = "007";
       }),
       false},
      {with([](auto& o) {
         o.RowConstraint = Constraint::Equiprobable;
         o.ColumnConstraint = Constraint::Proportional;
         o.DegenerateMatrices = DegenerateTreatment::Fix;
       }),
       false},
      {with([](auto& o) {
         o.ColumnConstraint = Constraint::Fixed;
         o.Algorithm = FixedFixedAlgorithm::KnightsTour;
         o.DegenerateMatrices = DegenerateTreatment::Discard;
       }),
       false},
      {with([](auto& o) {
         o.ColumnConstraint = Constraint::Fixed;
         o.Algorithm = FixedFixedAlgorithm::IndependentSwap;
       }),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Caption(c.options.Index)) + " / " + std::string(Caption(c.options.RowConstraint)) + " / " +
                 std::string(Caption(c.options.ColumnConstraint)));
    inputs_.Options = c.options;
    WindowProtocolEcoSim& ecosim = EcoSim();
    ecosim.PrepareEcoSim();
    const EcoSimSession& s = ecosim.Session();
    // The transfer: after the four calls of the resize.
    std::vector<Call> transfer = windows_.From(Post(s.MainWindow, win::WM_COMMAND, 17));
    ASSERT_GE(transfer.size(), 4u);
    transfer.erase(transfer.begin(), transfer.begin() + 4);

    const auto button = [](Constraint margin, WindowHandle equi, WindowHandle fixed, WindowHandle prop) {
      return margin == Constraint::Equiprobable ? equi : margin == Constraint::Fixed ? fixed : prop;
    };
    const EcoSimTestOptions& o = c.options;
    std::vector<Call> expected = Opening(s);
    expected.push_back(
        Select(s.RowGroup, button(o.RowConstraint, s.RowEquiprobable, s.RowFixedSum, s.RowProportional)));
    expected.push_back(Select(
        s.ColumnGroup, button(o.ColumnConstraint, s.ColumnEquiprobable, s.ColumnFixedSum, s.ColumnProportional)));
    expected.push_back(SetText(s.IndexEdit, std::string(Caption(o.Index))));
    expected.push_back(SetText(s.IterationsEdit, o.EcoSimIterations));
    expected.push_back(SetText(s.SeedEdit, o.EcoSimSeed));
    const WindowHandle algorithm = o.Algorithm == FixedFixedAlgorithm::SequentialSwap    ? s.AlgorithmSequential
                                   : o.Algorithm == FixedFixedAlgorithm::IndependentSwap ? s.AlgorithmIndependent
                                                                                         : s.AlgorithmKnight;
    expected.push_back(Select(s.AlgorithmGroup, algorithm));
    const WindowHandle degenerate = o.DegenerateMatrices == DegenerateTreatment::Retain    ? s.DegenerateRetain
                                    : o.DegenerateMatrices == DegenerateTreatment::Discard ? s.DegenerateDiscard
                                    : o.DegenerateMatrices == DegenerateTreatment::Split   ? s.DegenerateSplit
                                                                                           : s.DegenerateFix;
    expected.push_back(Select(s.DegenerateGroup, degenerate));
    if (c.sendsEmptySites) {
      // The buttons were looked up by this transfer only.
      ASSERT_NE(s.EmptyInclude, NoWindow);
      expected.push_back(
          Select(s.EmptyGroup, o.EmptySites == EmptySiteTreatment::Include ? s.EmptyInclude : s.EmptyExclude));
    }
    expected.push_back(Post(s.OptionsWindow, win::WM_CLOSE));
    EXPECT_EQ(transfer, expected);
    // EcoSim holds exactly what the in-process engine assumes it holds.
    const cooc::TestOptions held = StandIn().HeldOptions().Options;
    const cooc::TestOptions assumed = EcoSimHeldOptions(o);
    EXPECT_EQ(held.RowConstraint, assumed.RowConstraint);
    EXPECT_EQ(held.ColumnConstraint, assumed.ColumnConstraint);
    EXPECT_EQ(held.Index, assumed.Index);
    EXPECT_EQ(held.Algorithm, assumed.Algorithm);
    EXPECT_EQ(held.DegenerateMatrices, assumed.DegenerateMatrices);
    EXPECT_EQ(held.EmptySites, assumed.EmptySites);
    EXPECT_EQ(held.Iterations, assumed.Iterations);
    EXPECT_EQ(held.Seed, assumed.Seed);
    ecosim.ReleaseEcoSim();
    windows_.Calls.clear();
  }
}

TEST_F(StartUp, SetterArgumentsOutsideTheirTextsSelectNothing) {
  Prepare();
  WindowProtocolEcoSim& ecosim = *ecosim_;
  ecosim.OpenCooccurrenceOptions();
  windows_.Calls.clear();
  ecosim.SetRowConstraint("Fixed Sum");  // the caption, not the argument
  ecosim.SetColumnConstraint("equiprobable");
  ecosim.SetRandomizationAlgorithm("Knight's Tour");
  ecosim.SetDegenerateMatrices("");
  ecosim.SetEmptySites("Both");
  EXPECT_TRUE(windows_.Calls.empty());
  ecosim.SetEmptySites("Include");
  EXPECT_EQ(windows_.Calls, (std::vector<Call>{Select(ecosim.Session().EmptyGroup, ecosim.Session().EmptyInclude)}));
  ecosim.CloseCooccurrenceOptions();
  EXPECT_EQ(StandIn().HeldOptions().Options.EmptySites, EmptySiteTreatment::Include);
  EXPECT_EQ(StandIn().HeldOptions().Options.RowConstraint, Constraint::Fixed);
}

// The EcoSim the user had open (unsaved work, perhaps) and another program's
// message box with an "OK" look like EcoSim's own windows: neither is ever
// closed nor clicked, before, during or after a whole study.
TEST_F(StartUp, AnEcoSimTheUserHadOpenAndAnotherProgramsMessageAreNeverTouched) {
  const std::string file = (folder_ / "EcoSim" / "EcoSim700.exe").string();
  qtwin::HostedProgram* users = world_.Programs().StartProgram(file, "the user's");
  ASSERT_NE(users, nullptr);
  QWidget message;
  const WindowHandle foreign = qtwin::MakeWindow(world_.Windows(), &message, "TMessageForm", "Save changes?");
  auto* ok = new QPushButton(&message);
  const WindowHandle foreignOk = qtwin::MakeWindow(world_.Windows(), ok, "TButton", "OK");
  qtwin::SetShown(world_.Windows(), &message, true);
  int clicks = 0;
  QObject::connect(ok, &QPushButton::clicked, [&clicks] { ++clicks; });
  standin::StandInEcoSim& user = *standin::RunningStandIns(world_).front();
  const cooc::Incidence usersGrid = user.GridMatrix();

  windows_.PassLimit = 200000;
  inputs_.Selected.AssumeSitesEquivalent = true;
  const RunSettings before = settings_;
  WindowProtocolEcoSim& ecosim = EcoSim();
  SilentProgress progress;
  RandomStream stream;
  RunContext run{settings_, inputs_, ecosim, progress, stream, clock_};
  const PowerTable table = RunWithFinishSteps(ecosim, run);
  windows_.ProcessPendingMessages();

  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(windows_.IsWindow(foreign));
  EXPECT_TRUE(windows_.IsWindow(foreignOk));
  ASSERT_EQ(standin::RunningStandIns(world_), std::vector<standin::StandInEcoSim*>{&user}) << "Tessil's own is gone";
  EXPECT_EQ(user.TestsStarted(), 0);
  EXPECT_EQ(user.GridMatrix(), usersGrid);
  bool opened = false;
  for (const Call& c : windows_.Calls) {
    opened = opened || c.Op == "open";
    EXPECT_TRUE(opened) << "nothing before EcoSim is started: " << c;
    EXPECT_FALSE(users->OwnsWindow(c.Window)) << c;
    EXPECT_NE(c.Window, foreign) << c;
    EXPECT_NE(c.Window, foreignOk) << c;
  }
  // Every test had its results: none was taken for a confirmation.
  RunSettings inProcessSettings = before;
  InProcessEcoSim inProcess(inProcessSettings, inputs_);
  RandomStream inProcessStream;
  RunContext direct{inProcessSettings, inputs_, inProcess, progress, inProcessStream, clock_};
  EXPECT_EQ(RunWithFinishSteps(inProcess, direct), table);
}

// A size EcoSim will not take keeps its resize dialog open after "&OK".
TEST_F(StartUp, ASizeEcoSimRefusesEndsTheRunTenSecondsAfterOkNamingTheSize) {
  struct Case {
    const char* rows;
    const char* cols;
    const char* message;
  };
  const Case cases[] = {
      {"2", "100001", "EcoSim would not take a matrix of 2 rows (species) x 100001 columns (sites)."},
      {"4097", "4097", "EcoSim would not take a matrix of 4097 rows (species) x 4097 columns (sites)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    inputs_.Rows = c.rows;
    inputs_.Cols = c.cols;
    clock_.Step = 0.0;
    windows_.PassLimit = windows_.Passes + 100000;
    // The clock runs once the dialog is up.
    double okAt = 0;
    windows_.OnPass = [&] {
      const WindowHandle dialog = windows_.FindWindow("TEcoSimRedoMatrix", std::nullopt);
      if (clock_.Step == 0.0 && windows_.IsWindowVisible(dialog)) {
        clock_.Step = 0.25;
        okAt = clock_.Now;
      }
    };
    WindowProtocolEcoSim& ecosim = EcoSim();
    try {
      ecosim.PrepareEcoSim();
      ADD_FAILURE() << "EcoSim was taken to hold a size it refused";
    } catch (const EcoSimSizeRefused& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_EQ(e.Number(), 0x80040202u);
      EXPECT_GE(clock_.Now - okAt, WindowProtocolEcoSim::ResizeRefusedSeconds);
      EXPECT_LE(clock_.Now - okAt, WindowProtocolEcoSim::ResizeRefusedSeconds + 2 * 0.25);
    }
    EXPECT_EQ(host_.Enabled, 0) << "no results will come";
    // The run's finish step.
    ecosim.ReleaseEcoSim();
    windows_.OnPass = nullptr;
    windows_.ProcessPendingMessages();
    EXPECT_EQ(world_.Programs().RunningPrograms(), 0u) << "the finish steps closed EcoSim";
    EXPECT_EQ(settings_.NumRows, 0);
  }
}

// A program file that would not run, and an EcoSim that ends before its main
// window shows, or while Tessil waits for it: the run ends there and then.
TEST_F(StartUp, AStartThatFailsEndsTheRunAtOnce) {
  const std::string file = (folder_ / "EcoSim" / "EcoSim700.exe").string();
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string message;
    long passes;  // at most
  };
  const Case cases[] = {
      {"no program the system knows", [this] { world_.Programs().UnregisterProgram("EcoSim700.exe"); },
       "EcoSim could not be started: \"" + file + "\" would not run (error 31).", 0},
      {"ends as it starts",
       [this] {
         world_.Programs().RegisterProgram(
             "EcoSim700.exe", [](const std::string&) -> std::unique_ptr<qtwin::HostedProgram> { return nullptr; });
       },
       "EcoSim could not be started: it ended before its main window appeared.", 1},
      {"ends before its main window shows",
       [this] {
         switches_.FaultsForNew.MissingClasses = {"TEcoSim"};
         windows_.OnPass = [this] {
           if (windows_.Passes == 5) world_.Programs().EndAllPrograms();
         };
       },
       "EcoSim could not be started: it ended before its main window appeared.", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    standin::RegisterStandInEcoSim(world_, switches_);
    switches_.FaultsForNew.MissingClasses.clear();
    windows_.Passes = 0;
    windows_.PassLimit = 100000;
    c.arrange();
    WindowProtocolEcoSim& ecosim = EcoSim();
    try {
      ecosim.PrepareEcoSim();
      ADD_FAILURE() << "EcoSim was taken for started";
    } catch (const EcoSimNotStarted& e) {
      EXPECT_EQ(e.what(), c.message);
      EXPECT_EQ(e.Number(), 0x80040203u);
    }
    EXPECT_LE(windows_.Passes, c.passes);
    EXPECT_EQ(host_.Missing, "") << "Error 02 is for a missing file only";
    ecosim.ReleaseEcoSim();
    windows_.OnPass = nullptr;
  }
}

TEST_F(StartUp, AMissingProgramFileShowsError02AndStartsNothing) {
  std::filesystem::remove(folder_ / "EcoSim" / "EcoSim700.exe");
  WindowProtocolEcoSim& ecosim = EcoSim();
  try {
    ecosim.PrepareEcoSim();
    FAIL() << "EcoSim started without its program file";
  } catch (const EcoSimProgramMissing& e) {
    EXPECT_STREQ(e.what(), "Error 02: EcoSim700.exe not found.");
  }
  EXPECT_EQ(host_.Missing, message::EcoSimNotFound);
  EXPECT_EQ(host_.Enabled, 0);
  for (const Call& c : windows_.Calls) EXPECT_NE(c.Op, "open");
  windows_.ProcessPendingMessages();
  EXPECT_EQ(world_.Programs().RunningPrograms(), 0u);
}

// The windows that must be there, by the operation that misses them.
TEST_F(StartUp, AMissingWindowFailsTheRunWithItsCodeAndEcoSimIsStillClosed) {
  for (const char* missing : {"TApplication", "TProgress", "TRadioGroup", "TStringGrid"}) {
    SCOPED_TRACE(missing);
    switches_.FaultsForNew.MissingClasses = {missing};
    WindowProtocolEcoSim& ecosim = EcoSim();
    PassClock runClock;
    SilentProgress progress;
    RandomStream stream;
    RunContext run{settings_, inputs_, ecosim, progress, stream, runClock};
    try {
      RunWithFinishSteps(ecosim, run);
      ADD_FAILURE() << "the run went on without the window";
    } catch (const TessilError& e) {
      EXPECT_EQ(e.Number(), 0x80040201u);
    }
    EXPECT_EQ(world_.Programs().RunningPrograms(), 0u) << "the finish steps closed EcoSim";
    EXPECT_EQ(settings_.NumRows, 0) << "and reset the run";
    windows_.ProcessPendingMessages();
    EXPECT_EQ(windows_.FindWindow("TEcoSim", std::nullopt), NoWindow);
  }
}

}  // namespace
}  // namespace tessil::testing
