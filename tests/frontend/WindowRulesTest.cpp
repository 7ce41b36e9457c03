// The windows' rules without any window: what each window offers, refuses,
// commits and shows, driven by plain events.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "AdvancedRules.h"
#include "ExitRules.h"
#include "MainWindowRules.h"
#include "ResultsRules.h"

namespace tessil {
namespace {

// Records every box and every call, in one log; answers questions from a script.
struct Recorder final : UserMessages, HelpViewer, ExitFace {
  void Inform(std::string_view text) override { Log.push_back("inform:" + std::string(text)); }
  bool AskYesNo(std::string_view text) override {
    Log.push_back("ask:" + std::string(text));
    const bool yes = !Answers.empty() && Answers.front();
    if (!Answers.empty()) Answers.pop_front();
    return yes;
  }
  void ShowHelpTopic(std::string_view file, std::string_view topic) override {
    Log.push_back("help:" + std::string(file) + "|" + std::string(topic));
  }
  void CloseAllHelp() override { Log.push_back("close all help"); }
  void UnloadWindows() override { Log.push_back("unload windows"); }
  void LeaveMessageLoop(int status) override { Log.push_back("end " + std::to_string(status)); }
  std::vector<std::string> Log;
  std::deque<bool> Answers;
};

TEST(MainWindowRules, EachHypothesisOffersOnlyTheAssumptionsThatDoNotRestateIt) {
  Recorder r;
  MainWindowPresenter main(r);
  EXPECT_FALSE(main.State().NullHypothesis);
  main.Open();
  const MainWindowState& s = main.State();
  EXPECT_EQ(s.NullHypothesis, Hypothesis::NoInteractions);
  EXPECT_EQ(s.AlternativeHypothesis, "Interactions Between Species");
  EXPECT_EQ(s.SitesEquivalent, (CheckBoxState{true, false}));
  EXPECT_EQ(s.SpeciesEquivalent, (CheckBoxState{true, false}));
  EXPECT_EQ(s.Interaction, (CheckBoxState{false, false}));
  EXPECT_FALSE(s.LevelsEnabled);

  // Sites Equivalent unticks and disables its own assumption, keeps the other.
  main.CheckSitesEquivalent(true);
  main.CheckSpeciesEquivalent(true);
  main.SelectHypothesis(Hypothesis::SitesEquivalent);
  EXPECT_EQ(s.AlternativeHypothesis, "Sites Non-equivalent");
  EXPECT_EQ(s.SitesEquivalent, (CheckBoxState{false, false}));
  EXPECT_EQ(s.SpeciesEquivalent, (CheckBoxState{true, true}));
  EXPECT_EQ(s.Interaction, (CheckBoxState{true, false}));
  main.CheckSitesEquivalent(true);  // a disabled box cannot be ticked
  EXPECT_FALSE(s.SitesEquivalent.Checked);

  // Ticking the interaction selects 0 %; switching between equivalences keeps it.
  main.CheckInteraction(true);
  EXPECT_EQ(s.Level, InteractionLevel::None);
  main.SelectLevel(InteractionLevel::Half);
  main.SelectHypothesis(Hypothesis::SpeciesEquivalent);
  EXPECT_EQ(s.AlternativeHypothesis, "Species Non-equivalent");
  EXPECT_EQ(s.SitesEquivalent, (CheckBoxState{true, false}));
  EXPECT_EQ(s.SpeciesEquivalent, (CheckBoxState{false, false}));
  EXPECT_EQ(s.Interaction, (CheckBoxState{true, true}));
  EXPECT_EQ(s.Level, InteractionLevel::Half);
  EXPECT_EQ(main.Choices(), (MainWindowChoices{Hypothesis::SpeciesEquivalent, false, false, InteractionLevel::Half}));

  // Back to no interactions: the interaction and every level go.
  main.SelectHypothesis(Hypothesis::NoInteractions);
  EXPECT_EQ(s.Interaction, (CheckBoxState{false, false}));
  EXPECT_FALSE(s.LevelsEnabled);
  EXPECT_FALSE(s.Level);
  main.SelectLevel(InteractionLevel::All);
  EXPECT_FALSE(s.Level);
  EXPECT_EQ(main.Choices(), MainWindowChoices{});

  main.ShowHelp();
  EXPECT_EQ(r.Log, (std::vector<std::string>{"help:Tessil Help.chm|Getting Started.htm"}));
}

TEST(MainWindowRules, SizesAreWrittenBackRoundedOrRefusedAsTypedAndTheRunReadsThem) {
  Recorder r;
  MainWindowPresenter main(r);
  main.TypeRows("3.5");
  EXPECT_TRUE(main.LeaveRows().Accepted());
  main.TypeCols("1");
  const Checked refused = main.LeaveCols();
  EXPECT_EQ(refused.Refusal, "Error 04: Matrix must have at least 2 columns.");
  EXPECT_EQ(main.RowsText(), "4");
  EXPECT_EQ(main.ColsText(), "1");
  main.TypeRows("abc");
  EXPECT_EQ(main.LeaveRows().Refusal, "Error 05: Matrix must have at least 2 rows.");
  EXPECT_EQ(main.RowsText(), "abc");
}

TEST(EcoSimOptionsRules, MakeChangesCommitsAndRewritesTheSummaryCancelPutsTheCommittedBack) {
  Recorder r;
  MainWindowPresenter main(r);
  EcoSimOptionsPresenter& options = main.EcoSimOptions();
  EXPECT_EQ(main.TestSummary(), InitialTestSummary);
  EXPECT_FALSE(options.EmptySitesShown());

  options.MakeChanges();
  options.MakeChanges();  // rebuilt, never appended to
  EXPECT_EQ(main.TestSummary(),
            "Fixed-Fixed Randomization Algorithm: Sequential Swap\r\nDegenerate Matrices: Retain\r\n"
            "Column Constraints: Equiprobable\r\nRow Constraints: Fixed Sum\r\nCo-occurrence Index: C-score\r\n"
            "Number of iterations: 100\r\nRandom Number Seed: 0");

  options.ChooseIndex(CooccurrenceIndex::VRatio);
  EXPECT_TRUE(options.EmptySitesShown());
  options.ChooseEmptySites(EmptySiteTreatment::Include);
  options.ChooseIndex(CooccurrenceIndex::CScore);  // hidden, choice kept
  EXPECT_FALSE(options.EmptySitesShown());
  EXPECT_EQ(options.Working().EmptySites, EmptySiteTreatment::Include);
  options.ChooseIndex(CooccurrenceIndex::VRatio);
  options.TypeIterations("1 000");
  EXPECT_TRUE(options.LeaveIterations().Accepted());
  options.TypeSeed("-1");
  EXPECT_EQ(options.LeaveSeed().Refusal, "Error 08: Random seed must be nonnegative.");
  EXPECT_EQ(options.Working().EcoSimSeed, "-1");
  EXPECT_EQ(main.CommittedOptions(), EcoSimTestOptions{});  // nothing committed yet

  // Cancel restores index, texts and the group's visibility.
  options.Cancel();
  EXPECT_EQ(options.Working(), EcoSimTestOptions{});
  EXPECT_FALSE(options.EmptySitesShown());

  options.ChooseIndex(CooccurrenceIndex::VRatio);
  options.ChooseEmptySites(EmptySiteTreatment::Include);
  options.TypeIterations("1e3");
  EXPECT_TRUE(options.LeaveIterations().Accepted());
  options.MakeChanges();
  EXPECT_EQ(main.CommittedOptions().Index, CooccurrenceIndex::VRatio);
  EXPECT_EQ(main.CommittedOptions().EcoSimIterations, "1000");
  EXPECT_EQ(main.TestSummary().substr(0, 22), "Empty Sites: Include\r\n");
  EXPECT_NE(main.TestSummary().find("Co-occurrence Index: V-ratio\r\nNumber of iterations: 1000\r\n"),
            std::string::npos);
}

TEST(AdvancedRules, OkRefusesAsksOrStoresInTheDialogsOrder) {
  const std::string iterationsMessage = "inform:Error 07: Number of iterations must be an integer greater than 0.";
  const std::string question =
      "ask:Warning: Simulating with fewer than 100 iterations may yield unreliable results. Continue? (Error 09)";
  const std::string seedMessage = "inform:Random seed must be an integer greater than 0";
  struct Case {
    const char* iterations;
    const char* seed;
    std::deque<bool> answers;
    std::vector<std::string> log;
    bool stored;
    std::int32_t storedIterations, storedSeed;
  };
  const Case cases[] = {
      {"250", "7", {}, {}, true, 250, 7},
      {"100", "0", {}, {}, true, 100, 0},
      {"0", "-1", {}, {iterationsMessage}, false, 0, 0},
      {"abc", "7", {}, {iterationsMessage}, false, 0, 0},
      {"99", "7", {false}, {question}, false, 0, 0},
      {"99", "-1", {true}, {question, seedMessage}, false, 0, 0},
      {"2.5", "3.5", {true}, {question}, true, 2, 4},
      {"0.4", "7", {true}, {question}, true, 0, 7},
  };
  for (const Case& c : cases) {
    RunSettings settings;
    Recorder r;
    r.Answers = c.answers;
    AdvancedPresenter dialog(settings, r);
    EXPECT_EQ(dialog.IterationsText(), "100");
    EXPECT_EQ(dialog.SeedText(), "0");
    dialog.TypeIterations(c.iterations);
    dialog.TypeSeed(c.seed);
    const auto outcome = dialog.Ok();
    EXPECT_EQ(outcome == AdvancedPresenter::Outcome::Stored, c.stored) << c.iterations << " " << c.seed;
    EXPECT_EQ(r.Log, c.log) << c.iterations << " " << c.seed;
    EXPECT_EQ(settings.NumIterations, c.storedIterations) << c.iterations;
    EXPECT_EQ(settings.RandomSeed, c.storedSeed) << c.seed;
    // Reopening shows what was stored; zero shows the defaults.
    const AdvancedPresenter again(settings, r);
    EXPECT_EQ(again.IterationsText(), c.storedIterations == 0 ? "100" : std::to_string(c.storedIterations));
    EXPECT_EQ(again.SeedText(), std::to_string(c.storedSeed));
    if (!c.stored) {
      EXPECT_EQ(dialog.IterationsText(), c.iterations);  // texts kept for correction
    }
  }
}

TEST(ExitRules, NoKeepsEverythingAndYesClosesTheHelpThenTheWindowsThenEnds) {
  Recorder r;
  ExitPresenter exit(r, r);
  exit.No();
  EXPECT_FALSE(exit.CloseAllowed());
  EXPECT_EQ(exit.Tag(), "");
  EXPECT_TRUE(r.Log.empty());
  exit.Yes();
  EXPECT_EQ(exit.Tag(), ExitTag);
  EXPECT_TRUE(exit.CloseAllowed());
  exit.EndProgram(0);  // the end comes once
  EXPECT_EQ(r.Log, (std::vector<std::string>{"close all help", "unload windows", "end 0"}));
}

TEST(ResultsFile, ChosenNamesGetExactlyOneTxtOnTheFileNameOnly) {
  const std::pair<const char*, const char*> table[] = {
      {"/f/Results", "/f/Results.txt"},
      {"/f/run 1.txt", "/f/run 1.txt"},
      {"/f/a.txt.bak", "/f/a.bak.txt"},
      {"/f/A.TXT", "/f/A.TXT.txt"},
      {"/f/report.txt", "/f/report.txt"},
      {"/f/report.TXT", "/f/report.TXT.txt"},
      {"/f/old.txt/report", "/f/old.txt/report.txt"},
      {"/f/old.txt/a.txt", "/f/old.txt/a.txt"},
      {"  /f/x .txt  ", "/f/x.txt"},
  };
  for (const auto& [chosen, written] : table) EXPECT_EQ(ResultsFilePath(chosen), written) << chosen;
  EXPECT_EQ(ResultsFilePath(std::string("/f/na\0me", 8)), "/f/name.txt");
}

TEST(ChartFile, TheTypedExtensionDecidesTheFormatAndAnUnwritableOneIsRefused) {
  using enum ChartFormat;
  const std::tuple<const char*, ChartFormat, const char*, ChartFormat> table[] = {
      {"/f/chart.svg", Png, "/f/chart.svg", Svg},
      {"/f/chart.png", Svg, "/f/chart.png", Png},
      {"/f/Chart.SVG", Png, "/f/Chart.SVG", Svg},
      {"/f/chart.Png", Svg, "/f/chart.Png", Png},
      {"/f/chart", Svg, "/f/chart.svg", Svg},
      {"/f/chart", Png, "/f/chart.png", Png},
      {" /f/chart. ", Png, "/f/chart.png", Png},
      {"/f/my.study/chart", Svg, "/f/my.study/chart.svg", Svg},
      {"/f/my.png/chart", Svg, "/f/my.png/chart.svg", Svg},
  };
  for (const auto& [chosen, filter, path, format] : table) {
    EXPECT_EQ(ChartFilePath(chosen, filter), (ChartFileChoice{path, format, {}})) << chosen;
  }
  const std::pair<const char*, const char*> refused[] = {
      {"/f/chart.jpg", ".jpg"}, {"/f/chart.PDF", ".PDF"}, {"/f/chart.svg.jpg", ".jpg"}, {"/f/a.png/b.c", ".c"}};
  for (const auto& [chosen, extension] : refused) {
    for (const ChartFormat filter : {Svg, Png}) {
      const ChartFileChoice choice = ChartFilePath(chosen, filter);
      EXPECT_TRUE(choice.Path.empty()) << chosen;
      EXPECT_EQ(choice.Refusal, "The chart cannot be saved as \"" + std::string(chosen) +
                                    "\": Tessil writes charts as SVG pictures (\".svg\") or PNG pictures (\".png\"), "
                                    "not as \"" +
                                    extension + "\". Choose a name that ends in \".svg\" or \".png\".");
    }
  }
}

TEST(ResultsRules, SaveWritesTheReportDropsTheMarkAndAFailureKeepsItAndSaysWhereAndWhy) {
  Recorder r;
  std::map<std::string, std::string> files;
  std::vector<SaveFileRequest> asked;
  std::deque<std::string> chosen{"/data/run 1 ", "", "/locked/x"};
  auto choose = [&](const SaveFileRequest& request) {
    asked.push_back(request);
    std::string path = chosen.front();
    chosen.pop_front();
    return path;
  };
  auto write = [&](const std::string& path, const std::string& bytes, std::string& reason) {
    if (path.starts_with("/locked/")) {
      reason = "Permission denied";
      return false;
    }
    files[path] = bytes;
    return true;
  };
  std::map<std::string, std::string> charts;
  auto writeChart = [&](const std::string& path, ChartFormat format, const ResultsChart& chart, std::string& reason) {
    if (path.starts_with("/locked/")) {
      reason = "Permission denied";
      return false;
    }
    charts[path] = (format == ChartFormat::Png ? "png:" : "svg:") + chart.Svg;
    return true;
  };
  std::deque<ChosenFile> chosenCharts{
      {"/data/chart", 0}, {"/data/c.PNG", 0}, {"/data/d", 1}, {"/data/e.jpg", 1}, {"/locked/f.svg", 0}};
  auto chooseChart = [&](const SaveFileRequest& request) {
    asked.push_back(request);
    ChosenFile file = chosenCharts.front();
    chosenCharts.pop_front();
    return file;
  };
  const ResultsChart chart{"<svg/>", {}, {}};
  ResultsPresenter results("line 1\r\nline 2", chart, {r, r, choose, chooseChart, write, writeChart, "/program"});
  EXPECT_EQ(results.Caption(), "Tessil Results*");
  results.Save();
  EXPECT_EQ(asked.at(0), ResultsSaveRequest("/program"));
  EXPECT_EQ(asked[0].Title, "Save");
  EXPECT_EQ(asked[0].Name, "Results");
  EXPECT_EQ(asked[0].Filters.front(), (std::pair<std::string, std::string>{"Text Files (*.txt)", "*.txt"}));
  EXPECT_EQ(files.at("/data/run 1.txt"), "line 1\r\nline 2");
  EXPECT_EQ(results.Caption(), "Tessil Results");
  EXPECT_TRUE(r.Log.empty());

  ResultsPresenter fresh("report", chart, {r, r, choose, chooseChart, write, writeChart, "/program"});
  fresh.Save();  // cancelled: nothing, silently
  fresh.Save();  // refused by the disk
  EXPECT_EQ(fresh.Caption(), "Tessil Results*");
  EXPECT_EQ(r.Log, (std::vector<std::string>{"inform:Error 03: invalid file name\n\nThe report could not be saved "
                                             "as \"/locked/x.txt\": Permission denied."}));
  r.Log.clear();
  for (int i = 0; i < 5; ++i) fresh.SaveChart();
  EXPECT_EQ(asked.at(3), ChartSaveRequest("/program"));
  EXPECT_EQ(charts,
            (std::map<std::string, std::string>{
                {"/data/chart.svg", "svg:<svg/>"}, {"/data/c.PNG", "png:<svg/>"}, {"/data/d.png", "png:<svg/>"}}));
  ASSERT_EQ(r.Log.size(), 2U);
  EXPECT_EQ(r.Log[0], "inform:" + ChartFilePath("/data/e.jpg", ChartFormat::Png).Refusal);
  EXPECT_EQ(r.Log[1], "inform:The chart could not be saved as \"/locked/f.svg\": Permission denied.");
  fresh.ShowHelp();
  EXPECT_EQ(r.Log.back(), "help:Tessil Help.chm|Results.htm");
}

}  // namespace
}  // namespace tessil
