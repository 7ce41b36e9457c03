// The progress window's and the Run handler's rules without any window: the
// time remaining, the percentage, Cancel's steps, "Show EcoSim", and the steps
// of a run in their order however it ends.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "RunRules.h"

namespace tessil {
namespace {

TEST(ProgressTime, RemainingSecondsAreShownAsTheUserReadsThem) {
  const std::pair<double, const char*> table[] = {
      {1.5, "2s Remaining"},        {2.5, "2s Remaining"},        {45.2, "45s Remaining"},
      {59.4, "59s Remaining"},      {59.5, "2min Remaining"},     {60, "2min Remaining"},
      {120, "3min Remaining"},      {3599.4, "60min Remaining"},  {3599.6, "1min Remaining"},
      {3600, "1hr 1min Remaining"}, {7325, "2hr 3min Remaining"}, {0.4, "0s Remaining"},
  };
  for (const auto& [remaining, text] : table) EXPECT_EQ(RemainingTimeText(remaining), text) << remaining;
}

TEST(ProgressTime, TheEstimateUsesTheMatricesDoneSoFar) {
  RunSettings s;
  s.NumArguments = 36;
  s.NumIterations = 100;
  s.StartTime = 1000.0;
  s.TestsDone = 1;
  EXPECT_EQ(TimeLine(s, 1010.0), "");  // one matrix tells nothing yet
  s.WorkDone = 1;
  EXPECT_EQ(TimeLine(s, 1010.0), "");
  s.TestsDone = 900;  // a quarter in 45 s: 135 s to go
  s.WorkDone = 900;
  EXPECT_EQ(TimeLine(s, 1045.0), "3min Remaining");
  s.TestsDone = 3599;
  s.WorkDone = 3599;
  EXPECT_EQ(TimeLine(s, 4599.0), "1s Remaining");
}

TEST(ProgressTime, MatricesBegunButNotDoneDoNotShortenTheEstimate) {
  RunSettings s;
  s.NumArguments = 36;
  s.NumIterations = 100;
  s.StartTime = 1000.0;
  // Half the matrices handed out, a quarter's work done, in 45 s.
  s.TestsDone = 1800;
  s.WorkDone = 900;
  EXPECT_EQ(TimeLine(s, 1045.0), "3min Remaining");
  // Within one long test: a sixteenth of the work in 15 min.
  s.TestsDone = 2;
  s.WorkDone = 225;
  EXPECT_EQ(TimeLine(s, 1900.0), "3hr 46min Remaining");
}

TEST(ProgressTitle, PercentagesRoundHalvesToEven) {
  const std::tuple<int, int, int> table[] = {{1, 8, 12}, {3, 8, 38}, {8, 8, 100}, {1, 3600, 0}, {5, 8, 62}};
  for (const auto& [done, total, percent] : table) EXPECT_EQ(TitlePercent(done, total), percent);
}

struct FixedClock final : Clock {
  double SecondsSinceMidnight() override { return Now; }
  double Now = 36000.0;
};

// Records what the window is shown, and lets a test act while pending
// messages are let through.
struct RecordingView final : ProgressView {
  void Draw(const ProgressState& state) override { Drawn.push_back(state); }
  void Inform(std::string_view text) override { Told.emplace_back(text); }
  std::vector<ProgressState> Drawn;
  std::vector<std::string> Told;
};

// Places EcoSim's windows into a log; one may be missing.
struct PlacementLog final : EcoSimAutomation {
  void PrepareEcoSim() override {}
  void EnterMatrix(const PresenceAbsenceMatrix&) override {}
  void OpenCooccurrenceOptions() override {}
  RunOutcome RunCooccurrenceTest(std::int16_t) override { return ResultsShown; }
  double ReadPValue(std::int16_t) override { return 1; }
  void CloseCooccurrenceResults() override {}
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override {
    if (name == Missing) throw EcoSimWindowMissing();
    Placed.push_back(std::string(name) + "=" + std::to_string(mode));
  }
  void ReleaseEcoSim() override {}
  std::vector<std::string> Placed;
  std::string Missing;
};

TEST(ProgressRules, RepaintUpdateAndCancelShowWhatTheRunHasDoneInTheirOrder) {
  RunSettings settings;
  FixedClock clock;
  RecordingView view;
  ProgressPresenter* self = nullptr;
  std::vector<std::string> yields;  // what was on screen whenever messages were let through
  ProgressPresenter progress(settings, clock, [&] {
    yields.push_back(view.Drawn.back().TimeLine + "|" + (self->CancelRequested() ? "cancelled" : "running"));
  });
  self = &progress;
  progress.SetView(&view);
  EXPECT_EQ(view.Drawn.back(), ProgressState{});  // "Tessil Progress...", Cancel and the box disabled
  progress.Repaint();                             // EcoSim is being started
  EXPECT_EQ(view.Drawn.back().Title, "Tessil Progress... Initializing");
  EXPECT_EQ(view.Drawn.back().StatusLine, "Initializing Ecosim...");
  EXPECT_TRUE(view.Drawn.back().CancelEnabled);
  EXPECT_TRUE(yields.empty());  // painting lets nothing through

  settings.NumArguments = 36;
  settings.NumIterations = 100;
  settings.StartTime = clock.Now;
  settings.TestsDone = 1;
  progress.UpdateProgress();
  EXPECT_EQ(view.Drawn.back().Title, "Tessil Progress... 0%");
  EXPECT_EQ(view.Drawn.back().StatusLine, "EcoSim Simulation: 1 of 3600");
  EXPECT_EQ(yields, std::vector<std::string>{"|running"});  // no estimate from one matrix

  settings.TestsDone = 1800;
  settings.WorkDone = 1800;
  clock.Now += 100;
  progress.UpdateProgress();
  EXPECT_EQ(view.Drawn.back().TimeLine, "2min Remaining");
  EXPECT_EQ(view.Drawn.back().Title, "Tessil Progress... 50%");
  EXPECT_EQ(std::tie(view.Drawn.back().BarDone, view.Drawn.back().BarTotal), std::make_tuple(1800, 3600));
  clock.Now += 200;  // slower: a repaint recomputes from the clock
  progress.Repaint();
  EXPECT_EQ(view.Drawn.back().TimeLine, "6min Remaining");

  progress.Cancel();  // disabled, says so, lets messages through, then the flag
  EXPECT_FALSE(view.Drawn.back().CancelEnabled);
  EXPECT_EQ(yields.back(), "Closing EcoSim...|running");
  EXPECT_TRUE(progress.CancelRequested());
  settings.TestsDone = 1801;
  progress.Repaint();
  EXPECT_EQ(view.Drawn.back().TimeLine, "Closing EcoSim...");  // until the run ends

  // More matrices than the run has: the bar stays and nothing is let through.
  const std::size_t before = yields.size();
  settings.TestsDone = 3601;
  progress.UpdateProgress();
  EXPECT_EQ(view.Drawn.back().StatusLine, "EcoSim Simulation: 3601 of 3600");
  EXPECT_EQ(view.Drawn.back().BarDone, 1801);
  EXPECT_EQ(yields.size(), before);
}

TEST(ProgressRules, ShowEcoSimPlacesTheFourWindowsOnlyOnceReadyAndSurvivesAMissingOne) {
  RunSettings settings;
  FixedClock clock;
  RecordingView view;
  ProgressPresenter progress(settings, clock, [] {});
  progress.SetView(&view);
  PlacementLog ecosim;
  progress.AttachAutomation(&ecosim);
  progress.ClickShowEcoSimLabel();  // not yet ready
  EXPECT_FALSE(progress.State().ShowEcoSimChecked);
  progress.EnableShowEcoSim();
  progress.ClickShowEcoSimLabel();
  progress.CheckShowEcoSim(false);
  EXPECT_EQ(ecosim.Placed, (std::vector<std::string>{"Main=1", "Progress=1", "Coop=1", "Results=1", "Main=0",
                                                     "Progress=0", "Coop=0", "Results=0"}));
  ecosim.Placed.clear();
  ecosim.Missing = "Coop";
  progress.ClickShowEcoSimLabel();
  EXPECT_EQ(ecosim.Placed, (std::vector<std::string>{"Main=1", "Progress=1"}));
  EXPECT_TRUE(progress.State().ShowEcoSimChecked);
  EXPECT_FALSE(progress.CancelRequested());
  progress.ReportProgramMissing("Error 02: EcoSim700.exe not found.");
  EXPECT_EQ(view.Told, std::vector<std::string>{"Error 02: EcoSim700.exe not found."});
}

// An EcoSim that answers every test with p = 1, into the same log as the face.
struct ScriptedEcoSim final : EcoSimAutomation {
  ScriptedEcoSim(std::vector<std::string>& log, RunSettings& settings, const RunInputs& inputs)
      : Log(log), Settings(settings), Inputs(inputs) {}
  void PrepareEcoSim() override {
    Log.push_back("prepare");
    LoadRunSettings(Settings, Inputs);
    if (FailPrepare) std::rethrow_exception(FailPrepare);
  }
  void EnterMatrix(const PresenceAbsenceMatrix&) override {
    if (++Entered == FailAtMatrix) throw EcoSimWindowMissing();
  }
  void OpenCooccurrenceOptions() override {}
  RunOutcome RunCooccurrenceTest(std::int16_t) override { return ResultsShown; }
  double ReadPValue(std::int16_t) override { return 1; }
  void CloseCooccurrenceResults() override {}
  void PlaceEcoSimWindow(std::string_view, std::int32_t) override {}
  void ReleaseEcoSim() override {
    Log.push_back("release");
    ResetRunSettings(Settings);
    if (FailRelease) throw TessilError(1, "EcoSim did not close");
  }
  std::vector<std::string>& Log;
  RunSettings& Settings;
  const RunInputs& Inputs;
  std::exception_ptr FailPrepare;
  bool FailRelease = false;
  int Entered = 0;
  int FailAtMatrix = -1;
};

struct RunHarness final : RunFace, UserMessages {
  RunHarness() : Presenter({Settings, Inputs, Clock, *this, [this] { Pending(); }}, *this) {
    Settings.NumIterations = 2;
  }
  void HideMainWindow() override { Log.push_back("hide main"); }
  void ShowMainWindow() override { Log.push_back("show main"); }
  void OpenProgressWindow(ProgressPresenter&) override { Log.push_back("open progress"); }
  void HideProgressWindow() override { Log.push_back("hide progress"); }
  void UnloadProgressWindow() override { Log.push_back("unload progress"); }
  MadeAutomation MakeAutomation(RunSettings& settings, const RunInputs& inputs, ProgressPresenter&) override {
    auto ecosim = std::make_unique<ScriptedEcoSim>(Log, settings, inputs);
    Configure(*ecosim);
    return ecosim;
  }
  void ShowResults(std::string report, ResultsChart chart) override {
    Log.push_back("results");
    Report = std::move(report);
    Chart = chart.Svg;
    Shown = std::move(chart);
  }
  void EndProgram(int status) override { Log.push_back("end " + std::to_string(status)); }
  void Inform(std::string_view text) override { Log.push_back("inform:" + std::string(text)); }
  bool AskYesNo(std::string_view) override { return false; }
  void Pending() {
    if (CancelAtMatrix > 0 && Settings.TestsDone == CancelAtMatrix && Presenter.Progress() != nullptr) {
      CancelAtMatrix = 0;
      Presenter.Progress()->Cancel();
    }
  }

  RunSettings Settings;
  FixedRunInputs Inputs;
  FixedClock Clock;
  std::vector<std::string> Log;
  std::function<void(ScriptedEcoSim&)> Configure = [](ScriptedEcoSim&) {};
  int CancelAtMatrix = 0;
  std::string Report, Chart;
  ResultsChart Shown;
  RunPresenter Presenter;
};

TEST(RunRules, ACompletedRunShowsItsResultsBeforeEcoSimIsReleasedAndTellsAFailedCloseAfterThem) {
  for (const bool failRelease : {false, true}) {
    RunHarness h;
    h.Configure = [&](ScriptedEcoSim& e) { e.FailRelease = failRelease; };
    h.Presenter.Run();
    std::vector<std::string> expected{"hide main", "open progress", "prepare", "hide progress", "results", "release"};
    if (failRelease) {
      expected.push_back("inform:EcoSim did not close.\n\nThe results are complete.");
    }
    expected.push_back("unload progress");
    EXPECT_EQ(h.Log, expected);
    EXPECT_NE(h.Report.find("Fixed-Fixed Randomization Algorithm: Sequential Swap"), std::string::npos);
    EXPECT_NE(h.Chart.find("<svg"), std::string::npos);
    // The view's chart is the run's, whatever the main window shows later.
    h.Inputs.Rows = "99";
    ASSERT_TRUE(h.Shown.ForView);
    EXPECT_EQ(h.Shown.ForView({900, 400}).Title, h.Shown.Picture.Title);
    EXPECT_EQ(h.Settings.TestsDone, 0);  // reset however it ends
    EXPECT_EQ(h.Settings.NumRows, 0);
    EXPECT_FALSE(h.Presenter.Running());
  }
}

TEST(RunRules, ACancelledOrFailedRunReleasesEcoSimThenBringsBackTheMainWindow) {
  const std::string windowMissing =
      "inform:The run could not be completed. EcoSim stopped answering: a window of EcoSim that Tessil needs could "
      "not be found.\n\nNo results were produced.";
  struct Case {
    const char* name;
    std::function<void(RunHarness&)> arrange;
    std::vector<std::string> log;
  };
  const std::vector<Case> cases{
      {"cancel",
       [](RunHarness& h) { h.CancelAtMatrix = 3; },
       {"hide main", "open progress", "prepare", "release", "hide progress", "show main", "unload progress"}},
      {"cancel with a failed close",
       [](RunHarness& h) {
         h.CancelAtMatrix = 3;
         h.Configure = [](ScriptedEcoSim& e) { e.FailRelease = true; };
       },
       {"hide main", "open progress", "prepare", "release", "hide progress", "show main", "unload progress"}},
      {"window missing",
       [](RunHarness& h) { h.Configure = [](ScriptedEcoSim& e) { e.FailAtMatrix = 2; }; },
       {"hide main", "open progress", "prepare", "release", "hide progress", "show main", windowMissing,
        "unload progress"}},
      {"program missing",
       [](RunHarness& h) {
         h.Configure = [](ScriptedEcoSim& e) { e.FailPrepare = std::make_exception_ptr(EcoSimProgramMissing()); };
       },
       {"hide main", "open progress", "prepare", "release", "hide progress", "unload progress", "end 1"}},
  };
  for (const Case& c : cases) {
    RunHarness h;
    c.arrange(h);
    h.Presenter.Run();
    EXPECT_EQ(h.Log, c.log) << c.name;
    EXPECT_EQ(h.Settings.TestsDone, 0) << c.name;
  }
}

}  // namespace
}  // namespace tessil
