// The stand-in EcoSim answers the window protocol as EcoSim 7.0 does.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "EcoSimSession.h"
#include "HostedPrograms.h"
#include "QtTestApplication.h"
#include "QtWindowSystem.h"
#include "StandInEcoSim.h"
#include "StringGrid.h"
#include "WindowMessages.h"

namespace tessil::standin {
namespace {

class StandIn : public ::testing::Test {
 protected:
  StandIn() {
    FaultsForNewStandIns() = StandInFaults{};
    RegisterStandInEcoSim();
    ecosim_ = dynamic_cast<StandInEcoSim*>(qtwin::StartProgram("EcoSim700.exe", "folder/"));
    Find("Main");
  }
  ~StandIn() override { qtwin::EndAllPrograms(); }

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

  QtWindowSystem ws_;
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
  for (const WindowHandle found :
       {s.ApplicationWindow, s.MainWindow, s.Grid, s.ResizeDialog, s.ResizeButtonPanel, s.ResizeEditPanel, s.ResizeOk,
        s.ResizeEditA, s.ResizeEditB, s.OptionsWindow, s.OptionsPages, s.OptionsPanel, s.GeneralSheet,
        s.PreferencesSheet, s.RunButton, s.IterationsGroup, s.SeedEdit, s.IterationsEdit, s.AlgorithmGroup,
        s.AlgorithmKnight, s.AlgorithmIndependent, s.AlgorithmSequential, s.DegenerateGroup, s.DegenerateFix,
        s.DegenerateSplit, s.DegenerateDiscard, s.DegenerateRetain, s.ColumnGroup, s.ColumnProportional,
        s.ColumnFixedSum, s.ColumnEquiprobable, s.RowGroup, s.RowProportional, s.RowFixedSum, s.RowEquiprobable,
        s.IndexGroup, s.IndexCombo, s.IndexEdit, s.EmptyGroup, s.EmptyInclude, s.EmptyExclude, s.ProgressWindow,
        s.BeepCheck, s.AbortButton, s.ResultsWindow, s.ResultsPages, s.IndexSheet, s.ResultsMemo}) {
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
  for (const Visibility v : {Visibility{s.ApplicationWindow, true}, {s.MainWindow, true}, {s.Grid, true},
                             {s.ResizeDialog, false}, {s.OptionsWindow, false}, {s.PreferencesSheet, false},
                             {s.ProgressWindow, false}, {s.AbortButton, false}, {s.ResultsWindow, false}}) {
    EXPECT_EQ(ws_.IsWindowVisible(v.window), v.visible) << std::hex << v.window;
  }
  const cooc::TestOptions held = ecosim_->HeldOptions();
  EXPECT_EQ(held.RowConstraint, "Fixed Sum");
  EXPECT_EQ(held.ColumnConstraint, "Fixed Sum");
  EXPECT_EQ(held.Index, "C-score");
  EXPECT_EQ(held.Algorithm, "Sequential Swap");
  EXPECT_EQ(held.DegenerateMatrices, "Retain");
  EXPECT_EQ(held.EmptySites, "Exclude");
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
  ws_.SendMessage(s_.OptionsPages, win::TCM_SETCURFOCUS, 0, 0);

  Find("Coop", "Rows");
  Find("Coop", "Columns");
  // The button named by lParam is chosen; wParam carries only its low bits.
  ws_.PostMessage(s_.RowGroup, win::WM_COMMAND, s_.RowEquiprobable % 4096, static_cast<std::intptr_t>(s_.RowEquiprobable));
  ws_.PostMessage(s_.RowGroup, win::WM_COMMAND, s_.RowProportional % 4096, static_cast<std::intptr_t>(s_.ColumnProportional));
  ws_.PostMessage(s_.ColumnGroup, win::WM_COMMAND, 0, static_cast<std::intptr_t>(s_.ColumnProportional));
  EXPECT_EQ(ecosim_->HeldOptions().RowConstraint, "Fixed Sum") << "posted: not yet handled";
  ws_.ProcessPendingMessages();
  EXPECT_EQ(ecosim_->HeldOptions().RowConstraint, "Equiprobable") << "another group's button chooses nothing";
  EXPECT_EQ(ecosim_->HeldOptions().ColumnConstraint, "Proportional");

  Find("Coop", "Iterations");
  Find("Coop", "Index");
  ws_.SendTextMessage(s_.IterationsEdit, win::WM_SETTEXT, 0, "250");
  ws_.SendTextMessage(s_.IndexEdit, win::WM_SETTEXT, 0, "V-ratio");
  ws_.SendTextMessage(s_.SeedEdit, win::WM_SETTEXT, 0, "17");
  EXPECT_EQ(ecosim_->HeldOptions().Iterations, "250");
  EXPECT_EQ(ecosim_->HeldOptions().Index, "V-ratio");
  EXPECT_EQ(ecosim_->HeldOptions().Seed, "17");

  ws_.PostMessage(s_.OptionsWindow, win::WM_CLOSE, 0, 0);
  ASSERT_TRUE(Until([&] { return ws_.IsWindowVisible(s_.MainWindow); }));
  EXPECT_FALSE(ws_.IsWindowVisible(s_.OptionsWindow));
  EXPECT_EQ(ecosim_->HeldOptions().ColumnConstraint, "Proportional") << "choices stay in force";
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
  EXPECT_EQ(qtwin::RunningPrograms(), 0u);
}

TEST_F(StandIn, MissingClassesAreNeverCreated) {
  qtwin::EndAllPrograms();
  FaultsForNewStandIns().MissingClasses = {"TApplication", "TMemo"};
  qtwin::StartProgram("EcoSim700.exe", "second/");
  Find("Application");
  Find("Results");
  EXPECT_EQ(s_.ApplicationWindow, NoWindow);
  EXPECT_NE(s_.ResultsWindow, NoWindow);
  EXPECT_NE(s_.IndexSheet, NoWindow);
  EXPECT_EQ(s_.ResultsMemo, NoWindow);
}

}  // namespace
}  // namespace tessil::standin
