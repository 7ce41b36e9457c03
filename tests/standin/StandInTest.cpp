// The stand-in EcoSim answers the window protocol as EcoSim 7.0 does.
#include <gtest/gtest.h>

#include <QTabWidget>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "EcoSimSession.h"
#include "QtTestApplication.h"
#include "QtWindowSystem.h"
#include "StandInEcoSim.h"
#include "StringGrid.h"
#include "WindowMessages.h"
#include "WindowRegistry.h"
#include "WindowWorld.h"

namespace tessil::standin {
namespace {

class StandIn : public ::testing::Test {
 protected:
  StandIn() {
    RegisterStandInEcoSim(world_, switches_);
    ecosim_ = dynamic_cast<StandInEcoSim*>(world_.Programs().StartProgram("EcoSim700.exe", "folder/"));
    ws_.Adopt(ecosim_);
    Find("Main");
  }

  void Find(std::string_view name, std::string_view section = {}) { FindEcoSimWindows(ws_, s_, name, section); }
  // Turns of message processing until the condition holds; false when it
  // does not within the limit.
  bool Until(const std::function<bool()>& condition, int limit = 200000) {
    for (int turn = 0; turn < limit; ++turn) {
      if (condition()) return true;
      ws_.ProcessPendingMessages();
    }
    return condition();
  }
  void OpenOptions() {
    Find("Coop", "Run");
    ws_.PostMessage(s_.MainWindow, win::WM_COMMAND, 22, 0);
    ASSERT_TRUE(Until([&] { return ws_.IsWindowVisible(s_.OptionsWindow); }));
  }

  // Types one text per species into the grid, a cell at a time.
  void TypeMatrix(std::initializer_list<std::string_view> rows) {
    Find("Grid");
    for (const std::string_view row : rows) {
      for (const char c : row) {
        ws_.SendMessage(s_.Grid, win::WM_CHAR, static_cast<std::uintptr_t>(c), 0);
        ws_.SendMessage(s_.Grid, win::WM_KEYDOWN, win::VK_TAB, 0);
      }
    }
  }
  // Opens the options, sets the iterations and the algorithm, and clicks
  // Run; the test has started when this returns, and its slices wait for
  // the next turn of message processing.
  void ClickRun(const std::string& iterations, bool independent) {
    OpenOptions();
    Find("Coop", "Iterations");
    Find("Coop", "Algorithm");
    ws_.SendTextMessage(s_.IterationsEdit, win::WM_SETTEXT, 0, iterations);
    const WindowHandle algorithm = independent ? s_.AlgorithmIndependent : s_.AlgorithmSequential;
    ws_.PostMessage(s_.AlgorithmGroup, win::WM_COMMAND, 0, static_cast<std::intptr_t>(algorithm));
    ws_.ProcessPendingMessages();
    ws_.SendMessage(s_.RunButton, win::BM_CLICK, 0, 0);
  }
  // A short first test, computed in one slice, from which the stand-in
  // judges the next one long enough for a thread of its own.
  void RunShortTest() {
    TypeMatrix({"11000", "01100", "00110", "00011", "10001"});
    ClickRun("1", false);
    Find("Results");
    ASSERT_TRUE(Until([&] { return ws_.IsWindowVisible(s_.ResultsWindow); }));
    ws_.PostMessage(s_.ResultsWindow, win::WM_CLOSE, 0, 0);
    ASSERT_TRUE(Until([&] { return ws_.IsWindowVisible(s_.MainWindow); }));
  }

  // A fresh world for each test; the switches outlive its stand-ins.
  StandInSwitches switches_;
  qtwin::WindowWorld world_;
  QtWindowSystem ws_{world_};
  EcoSimSession s_;
  StandInEcoSim* ecosim_ = nullptr;
};

TEST_F(StandIn, StartsWithEveryWindowTessilLooksUpAndItsOwnSettings) {
  for (const char* name : {"Application", "Main", "Grid", "Resize", "Progress", "Results"}) Find(name);
  for (const char* section : {"Run", "Iterations", "Algorithm", "Degenerate", "Columns", "Rows", "Index", "Empty"}) {
    Find("Coop", section);
  }
  Find("Confirm");
  const EcoSimSession& s = s_;
  // clang-format off
  for (const WindowHandle found :
       {s.ApplicationWindow, s.MainWindow, s.Grid, s.ResizeDialog, s.ResizeButtonPanel, s.ResizeEditPanel, s.ResizeOk,
        s.ResizeEditA, s.ResizeEditB, s.OptionsWindow, s.OptionsPages, s.OptionsPanel, s.GeneralSheet,
        s.PreferencesSheet, s.RunButton, s.IterationsGroup, s.SeedEdit, s.IterationsEdit, s.AlgorithmGroup,
        s.AlgorithmKnight, s.AlgorithmIndependent, s.AlgorithmSequential, s.DegenerateGroup, s.DegenerateFix,
        s.DegenerateSplit, s.DegenerateDiscard, s.DegenerateRetain, s.ColumnGroup, s.ColumnProportional,
        s.ColumnFixedSum, s.ColumnEquiprobable, s.RowGroup, s.RowProportional, s.RowFixedSum, s.RowEquiprobable,
        s.IndexGroup, s.IndexCombo, s.IndexEdit, s.EmptyGroup, s.EmptyInclude, s.EmptyExclude, s.ProgressWindow,
        s.BeepCheck, s.AbortButton, s.ResultsWindow, s.ResultsPages, s.IndexSheet, s.ResultsMemo}) {
    // clang-format on
    EXPECT_NE(found, NoWindow);
  }
  EXPECT_NE(s.ResizeEditA, s.ResizeEditB);
  EXPECT_EQ(s.ConfirmWindow, NoWindow);
  EXPECT_EQ(ws_.FindWindowEx(s.IndexSheet, s.ResultsMemo, "TMemo", std::nullopt), NoWindow)
      << "the p-values are in the second memo";
  EXPECT_NE(ws_.FindWindowEx(s.IndexSheet, NoWindow, "TMemo", std::nullopt), s.ResultsMemo);

  struct Visibility {
    WindowHandle window;
    bool visible;
  };
  for (const Visibility v : {Visibility{s.ApplicationWindow, true},
                             {s.MainWindow, true},
                             {s.Grid, true},
                             {s.ResizeDialog, false},
                             {s.OptionsWindow, false},
                             {s.PreferencesSheet, false},
                             {s.ProgressWindow, false},
                             {s.AbortButton, false},
                             {s.ResultsWindow, false}}) {
    EXPECT_EQ(ws_.IsWindowVisible(v.window), v.visible) << std::hex << v.window;
  }
  const cooc::TestOptions held = ecosim_->HeldOptions().Options;
  EXPECT_EQ(held.RowConstraint, Constraint::Fixed);
  EXPECT_EQ(held.ColumnConstraint, Constraint::Fixed);
  EXPECT_EQ(held.Index, CooccurrenceIndex::CScore);
  EXPECT_EQ(held.Algorithm, FixedFixedAlgorithm::SequentialSwap);
  EXPECT_EQ(held.DegenerateMatrices, DegenerateTreatment::Retain);
  EXPECT_EQ(held.EmptySites, EmptySiteTreatment::Exclude);
  EXPECT_EQ(held.Iterations, "5000 ");
  EXPECT_EQ(held.Seed, "0");
  EXPECT_EQ(ecosim_->Grid().Rows(), 5);
  EXPECT_EQ(ecosim_->Grid().Cols(), 5);
  EXPECT_TRUE(ecosim_->BeepChecked());
  EXPECT_EQ(ecosim_->WorkingFolder(), "folder/");
}

TEST_F(StandIn, LookUpsUseTheParentsOfTheirOwnCallOnly) {
  EcoSimSession fresh;
  FindEcoSimWindows(ws_, fresh, "GridEdit");
  EXPECT_EQ(fresh.GridEditor, NoWindow) << "no grid looked up yet";
  FindEcoSimWindows(ws_, fresh, "Coop", "Run");
  EXPECT_NE(fresh.RunButton, NoWindow);
  EXPECT_EQ(fresh.SeedEdit, NoWindow) << "other sections are left as they were";
  FindEcoSimWindows(ws_, fresh, "Coop", "Unknown");
  EXPECT_NE(fresh.OptionsWindow, NoWindow);
  const EcoSimSession before = fresh;
  FindEcoSimWindows(ws_, fresh, "Nothing");
  EXPECT_EQ(fresh, before);
}

TEST_F(StandIn, OptionsAreChosenByTheButtonHandleAndPagesByIndex) {
  OpenOptions();
  EXPECT_FALSE(ws_.IsWindowVisible(s_.MainWindow)) << "EcoSim's options window is modal";
  EXPECT_TRUE(ws_.IsWindowVisible(s_.PreferencesSheet));
  EXPECT_FALSE(ws_.IsWindowVisible(s_.GeneralSheet));
  ws_.SendMessage(s_.OptionsPages, win::TCM_SETCURFOCUS, 1, 0);
  EXPECT_TRUE(ws_.IsWindowVisible(s_.GeneralSheet));
  EXPECT_FALSE(ws_.IsWindowVisible(s_.PreferencesSheet));
  // Drawn, the window shows the page turned to while it was off the screen,
  // and follows each turn from then on.
  auto* tabs = qobject_cast<QTabWidget*>(qtwin::WidgetOf(world_.Windows(), s_.OptionsPages));
  ASSERT_NE(tabs, nullptr);
  ws_.SetWindowPos(s_.OptionsWindow, win::HWND_TOP, 0, 0, 402, 483, win::SWP_NOACTIVATE);
  ASSERT_TRUE(ws_.IsMapped(s_.OptionsWindow));
  EXPECT_EQ(tabs->currentWidget(), qtwin::WidgetOf(world_.Windows(), s_.GeneralSheet));
  ws_.SendMessage(s_.OptionsPages, win::TCM_SETCURFOCUS, 0, 0);
  EXPECT_EQ(tabs->currentWidget(), qtwin::WidgetOf(world_.Windows(), s_.PreferencesSheet));

  Find("Coop", "Rows");
  Find("Coop", "Columns");
  // The button named by lParam is chosen; wParam carries only its low bits.
  ws_.PostMessage(s_.RowGroup, win::WM_COMMAND, s_.RowEquiprobable % 4096,
                  static_cast<std::intptr_t>(s_.RowEquiprobable));
  ws_.PostMessage(s_.RowGroup, win::WM_COMMAND, s_.RowProportional % 4096,
                  static_cast<std::intptr_t>(s_.ColumnProportional));
  ws_.PostMessage(s_.ColumnGroup, win::WM_COMMAND, 0, static_cast<std::intptr_t>(s_.ColumnProportional));
  EXPECT_EQ(ecosim_->HeldOptions().Options.RowConstraint, Constraint::Fixed) << "posted: not yet handled";
  ws_.ProcessPendingMessages();
  EXPECT_EQ(ecosim_->HeldOptions().Options.RowConstraint, Constraint::Equiprobable)
      << "another group's button chooses nothing";
  EXPECT_EQ(ecosim_->HeldOptions().Options.ColumnConstraint, Constraint::Proportional);

  Find("Coop", "Iterations");
  Find("Coop", "Index");
  ws_.SendTextMessage(s_.IterationsEdit, win::WM_SETTEXT, 0, "250");
  ws_.SendTextMessage(s_.IndexEdit, win::WM_SETTEXT, 0, "V-ratio");
  ws_.SendTextMessage(s_.SeedEdit, win::WM_SETTEXT, 0, "17");
  EXPECT_EQ(ecosim_->HeldOptions().Options.Iterations, "250");
  EXPECT_EQ(ecosim_->HeldOptions().Options.Index, CooccurrenceIndex::VRatio);
  EXPECT_EQ(ecosim_->HeldOptions().Options.Seed, "17");

  ws_.PostMessage(s_.OptionsWindow, win::WM_CLOSE, 0, 0);
  ASSERT_TRUE(Until([&] { return ws_.IsWindowVisible(s_.MainWindow); }));
  EXPECT_FALSE(ws_.IsWindowVisible(s_.OptionsWindow));
  EXPECT_EQ(ecosim_->HeldOptions().Options.ColumnConstraint, Constraint::Proportional) << "choices stay in force";
}

TEST_F(StandIn, ClosingAsksForConfirmationAndThenEveryWindowGoesAtOnce) {
  ws_.PostMessage(s_.MainWindow, win::WM_CLOSE, 0, 0);
  ASSERT_TRUE(Until([&] {
    Find("Confirm");
    return s_.ConfirmOk != NoWindow;
  }));
  EXPECT_TRUE(ws_.IsWindowVisible(s_.ConfirmWindow));
  // Cancel keeps EcoSim.
  ws_.PostMessage(ws_.FindWindowEx(s_.ConfirmWindow, NoWindow, "TButton", "Cancel"), win::BM_CLICK, 0, 0);
  ws_.ProcessPendingMessages();
  EXPECT_FALSE(ws_.IsWindow(s_.ConfirmWindow));
  EXPECT_TRUE(ws_.IsWindowVisible(s_.MainWindow));

  ws_.PostMessage(s_.MainWindow, win::WM_CLOSE, 0, 0);
  ASSERT_TRUE(Until([&] {
    Find("Confirm");
    return s_.ConfirmOk != NoWindow;
  }));
  Find("Results");
  ws_.PostMessage(s_.ConfirmOk, win::BM_CLICK, 0, 0);
  ws_.ProcessPendingMessages();
  for (const WindowHandle w : {s_.ConfirmOk, s_.MainWindow, s_.Grid, s_.ResultsMemo}) EXPECT_FALSE(ws_.IsWindow(w));
  EXPECT_EQ(ws_.FindWindow("TApplication", "EcoSim"), NoWindow);
  ws_.ProcessPendingMessages();
  EXPECT_EQ(world_.Programs().RunningPrograms(), 0u);
}

TEST_F(StandIn, AbortStopsTheTestAndWaitsForItsThread) {
  RunShortTest();
  // 50,000 null matrices of 1,000 swaps each: far longer than the abort
  // takes to arrive.
  ClickRun("50000", true);
  EXPECT_EQ(switches_.WorkersRunning.load(), 1);
  Find("Progress");
  ws_.SendMessage(s_.AbortButton, win::BM_CLICK, 0, 0);
  // The test's thread has ended, stopped part-way, not left to run on.
  EXPECT_EQ(switches_.WorkersRunning.load(), 0);
  EXPECT_TRUE(ecosim_->AbortedResult().Stopped);
  EXPECT_FALSE(ws_.IsWindowVisible(s_.ProgressWindow));
  EXPECT_TRUE(ws_.IsWindowVisible(s_.MainWindow));

  // Closing EcoSim during a test stops it the same way.
  ClickRun("50000", true);
  EXPECT_EQ(switches_.WorkersRunning.load(), 1);
  world_.Programs().EndAllPrograms();
  EXPECT_EQ(switches_.WorkersRunning.load(), 0);
}

TEST_F(StandIn, ATestWhoseThreadCannotStartIsComputedInTheMessageLoop) {
  RunShortTest();
  ecosim_->Faults().WorkerThreadFails = true;
  ClickRun("300", true);
  ASSERT_TRUE(Until([&] { return ws_.IsWindowVisible(s_.ResultsWindow); }));
  EXPECT_EQ(switches_.WorkersRunning.load(), 0);
  const cooc::TestResult expected = cooc::RunTest(ecosim_->GridMatrix(), ecosim_->HeldOptions().Options, 1);
  ASSERT_TRUE(ecosim_->LastResult().HasResults);
  EXPECT_EQ(ecosim_->LastResult().Memo2, expected.Memo2);
}

// What EcoSim's option controls show becomes the test's options; a text
// naming no choice refuses the test in words that name the choices, but
// only where the test would use that option.
TEST(StandInOptions, TextsNamingNoChoiceRefuseOnlyWhereTheyAreUsed) {
  const OptionTexts usual{"Fixed Sum", "Equiprobable", "C-score", "Sequential Swap", "Retain", "Exclude", "10", "0"};
  const auto with = [&usual](std::string OptionTexts::*field, std::string text) {
    OptionTexts t = usual;
    t.*field = std::move(text);
    return t;
  };
  OptionTexts fixedFixed = with(&OptionTexts::ColumnConstraint, "Fixed Sum");
  OptionTexts pairIndex = usual;
  pairIndex.Algorithm = "";
  pairIndex.EmptySites = "";
  OptionTexts fixedFixedCombinations = with(&OptionTexts::Index, "Number of species combinations");
  fixedFixedCombinations.ColumnConstraint = "Fixed Sum";
  fixedFixedCombinations.DegenerateMatrices = "";
  struct Case {
    const char* what;
    OptionTexts texts;
    const char* refusal;  // empty: the test can run
  };
  const Case cases[] = {
      {"unknown index", with(&OptionTexts::Index, "C score"),
       "The co-occurrence index \"C score\" is unknown: choose C-score, Number of checkerboards, Number of species "
       "combinations or V-ratio."},
      {"unknown rows", with(&OptionTexts::RowConstraint, "Fixed"),
       "The row constraint \"Fixed\" is unknown: choose Fixed Sum, Equiprobable or Proportional."},
      {"unknown columns", with(&OptionTexts::ColumnConstraint, "equiprobable"),
       "The column constraint \"equiprobable\" is unknown: choose Fixed Sum, Equiprobable or Proportional."},
      {"unknown algorithm",
       [&] {
         OptionTexts t = fixedFixed;
         t.Algorithm = "Trial Swap";
         return t;
       }(),
       "The fixed-fixed randomization algorithm \"Trial Swap\" is unknown: choose Sequential Swap, Independent Swap "
       "or Random Knight's Tour."},
      {"unknown degenerate choice", with(&OptionTexts::DegenerateMatrices, "Keep"),
       "The choice for degenerate matrices \"Keep\" is unknown: choose Retain, Discard, Split or Fix."},
      {"unknown empty-site choice",
       [&] {
         OptionTexts t = with(&OptionTexts::Index, "V-ratio");
         t.EmptySites = "";
         return t;
       }(),
       "The choice for empty sites \"\" is unknown: choose Include or Exclude."},
      {"the index comes first",
       [&] {
         OptionTexts t = with(&OptionTexts::Index, "?");
         t.RowConstraint = "?";
         return t;
       }(),
       "The co-occurrence index \"?\""},
      {"algorithm and empty sites of a pair index, margins free", pairIndex, ""},
      {"degenerate matrices, both margins fixed", fixedFixedCombinations, ""},
  };
  for (const Case& c : cases) {
    const HeldOptions held = ReadOptions(c.texts);
    EXPECT_EQ(held.Refusal.substr(0, std::string_view(c.refusal).size()), c.refusal) << c.what;
    EXPECT_EQ(held.Refusal.empty(), std::string_view(c.refusal).empty()) << c.what;
  }
  const HeldOptions read = ReadOptions(fixedFixedCombinations);
  EXPECT_EQ(read.Options.Index, CooccurrenceIndex::Combinations);
  EXPECT_EQ(read.Options.ColumnConstraint, Constraint::Fixed);
  EXPECT_EQ(read.Options.Iterations, "10");
}

// The index box takes any text: a test run on a text that names no index
// ends with EcoSim's confirmation, which gives the reason.
TEST_F(StandIn, AnUnknownIndexTypedIntoItsBoxEndsTheTestWithTheReason) {
  TypeMatrix({"1100", "0110", "0011"});
  OpenOptions();
  Find("Coop", "Index");
  ws_.SendTextMessage(s_.IndexEdit, win::WM_SETTEXT, 0, "C score");
  Find("Coop", "Run");
  ws_.SendMessage(s_.RunButton, win::BM_CLICK, 0, 0);
  ASSERT_TRUE(Until([&] {
    Find("Confirm");
    return s_.ConfirmOk != NoWindow;
  }));
  EXPECT_FALSE(ecosim_->LastResult().HasResults);
  const std::string reason = ecosim_->LastResult().Reason;
  EXPECT_EQ(reason,
            "The co-occurrence index \"C score\" is unknown: choose C-score, Number of checkerboards, Number of "
            "species combinations or V-ratio.");
  EXPECT_NE(ws_.FindWindowEx(s_.ConfirmWindow, NoWindow, "TLabel", reason), NoWindow);
}

TEST_F(StandIn, MissingClassesAreNeverCreated) {
  world_.Programs().EndAllPrograms();
  switches_.FaultsForNew.MissingClasses = {"TApplication", "TMemo"};
  ws_.Adopt(world_.Programs().StartProgram("EcoSim700.exe", "second/"));
  Find("Application");
  Find("Results");
  EXPECT_EQ(s_.ApplicationWindow, NoWindow);
  EXPECT_NE(s_.ResultsWindow, NoWindow);
  EXPECT_NE(s_.IndexSheet, NoWindow);
  EXPECT_EQ(s_.ResultsMemo, NoWindow);
}

// A stand-in on the screen draws, for each cell typed, the cell left and the
// cell entered, not the whole matrix: entering a matrix costs the same per
// cell whatever its size.
TEST(StandInGrid, TypingIntoAVisibleGridDrawsOnlyTheCellsItChanges) {
  for (const int size : {10, 200}) {
    qtwin::WindowRegistry windows;
    QWidget window;
    window.resize(600, 400);
    auto* grid = new StringGrid(windows, &window);
    grid->setGeometry(window.rect());
    grid->Resize(size, size);
    window.show();
    window.repaint();
    QCoreApplication::processEvents();
    ASSERT_GT(grid->CellsPainted(), 0) << "the grid was never drawn";
    const std::int64_t before = grid->CellsPainted();
    constexpr int Typed = 30;
    for (int k = 0; k < Typed; ++k) {
      grid->Type('1');
      QCoreApplication::processEvents();
      grid->Tab();
      QCoreApplication::processEvents();
    }
    const std::int64_t drawn = grid->CellsPainted() - before;
    EXPECT_GT(drawn, 0) << size;  // what was typed is shown
    EXPECT_LE(drawn, 4 * Typed) << "cells drawn for " << Typed << " typed into " << size << " x " << size;
    EXPECT_EQ(grid->Cell((Typed - 1) / size, (Typed - 1) % size), "1") << size;
  }
}

}  // namespace
}  // namespace tessil::standin
