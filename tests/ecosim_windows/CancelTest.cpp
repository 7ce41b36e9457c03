// Once Cancel has been pressed, no wait for EcoSim lasts more than its grace
// of a few seconds: an EcoSim that stops answering cannot hold Tessil, and
// one that will not close is left behind, which the finish step reports.
#include <gtest/gtest.h>

#include <cmath>

#include "ProtocolTestSupport.h"

namespace tessil::testing {
namespace {

constexpr double Grace = WindowProtocolEcoSim::CancelGraceSeconds;

class Cancel : public ProtocolTest {
 protected:
  // Cancel is pressed once the clock passes `at`; returns when it was seen.
  void PressCancelAt(double at) {
    cancel_at_ = at;
    windows_.OnPass = [this] {
      if (!cancel_ && clock_.Now >= cancel_at_) {
        cancel_ = true;
        pressed_ = clock_.Now;
      }
    };
  }
  double cancel_at_ = 0;
  double pressed_ = 0;
};

TEST_F(Cancel, AHungEcoSimKeepsTheRunWaitingUntilCancelThenIsGivenUpAndLeftBehind) {
  // Hung during the warm-up, or during a matrix of the run.
  for (const bool duringStartUp : {true, false}) {
    SCOPED_TRACE(duringStartUp ? "start-up" : "run");
    cancel_ = false;
    clock_.Step = 0.25;
    switches_.FaultsForNew.Hang = duringStartUp;
    WindowProtocolEcoSim& ecosim = EcoSim();
    SilentProgress progress;
    RandomStream stream;
    RunContext run{settings_, inputs_, ecosim, progress, stream, clock_};
    if (!duringStartUp) {
      ecosim.PrepareEcoSim();
      StandIn().Faults().Hang = true;
    }
    // Long after EcoSim stopped answering, the run still waits for it (the
    // warm-up test within its own limit).
    PressCancelAt(clock_.Now + (duringStartUp ? 60 : 600));
    double gaveUp = 0;
    try {
      if (duringStartUp) ecosim.PrepareEcoSim();
      RunPowerSimulation(run);
      ADD_FAILURE() << "the run ended although EcoSim never answered";
    } catch (const RunCancelled& e) {
      EXPECT_EQ(e.Number(), 36000u);
      gaveUp = clock_.Now;
    }
    EXPECT_TRUE(cancel_);
    EXPECT_GE(gaveUp - pressed_, Grace - clock_.Step);
    EXPECT_LE(gaveUp - pressed_, Grace + clock_.Step);
    for (const Call& c : windows_.Calls) {
      EXPECT_NE(c.Window, ecosim.Session().AbortButton) << "a changing caption is no stall";
    }

    const WindowHandle main = ecosim.Session().MainWindow;
    ASSERT_NE(main, NoWindow);
    // The finish step asks EcoSim to close, gives up as well, and ends the
    // stand-in instead.
    windows_.Calls.clear();
    const double releasing = clock_.Now;
    EXPECT_THROW(ecosim.ReleaseEcoSim(), EcoSimNotClosed);
    EXPECT_LE(clock_.Now - releasing, Grace + clock_.Step);
    EXPECT_EQ(windows_.Calls, (std::vector<Call>{Post(main, win::WM_CLOSE), Call("leave", main)}));
    EXPECT_EQ(world_.Programs().RunningPrograms(), 0u);
    EXPECT_FALSE(windows_.IsWindow(main));
    EXPECT_EQ(settings_.NumRows, 0);
    switches_.FaultsForNew.Hang = false;
    windows_.OnPass = nullptr;
  }
}

TEST_F(Cancel, AnEcoSimThatNeverComesUpEndsTheStartUpAfterCancel) {
  // It runs, but its main window never appears.
  switches_.FaultsForNew.MissingClasses = {"TEcoSim"};
  clock_.Step = 1.0;
  WindowProtocolEcoSim& ecosim = EcoSim();
  PressCancelAt(clock_.Now + 30);
  EXPECT_THROW(ecosim.PrepareEcoSim(), RunCancelled);
  EXPECT_LE(clock_.Now - pressed_, Grace + clock_.Step);
  EXPECT_GE(clock_.Now - pressed_, Grace - clock_.Step);
  windows_.Calls.clear();
  ecosim.ReleaseEcoSim();
  EXPECT_TRUE(windows_.Calls.empty()) << "no EcoSim to close";
}

TEST_F(Cancel, TheGraceHoldsAcrossTheEntryOfALargeMatrixAndItsRetyping) {
  // A 30 x 30 matrix takes 45 s to type at 0.05 s a cell; a cell that keeps
  // reading back wrong makes EcoSim's grid take 9 s for every round of Tabs.
  for (const bool retyping : {false, true}) {
    SCOPED_TRACE(retyping ? "retyping" : "typing");
    inputs_.Rows = "30";
    inputs_.Cols = "30";
    cancel_ = false;
    Prepare();
    clock_.Step = 0.05;
    if (retyping) {
      StandIn().Faults().MistypedCharacters = 1 << 30;
      windows_.OnSend = [this] { clock_.Now += 0.01; };
    }
    PressCancelAt(clock_.Now + 20);
    PresenceAbsenceMatrix m(30, 30);
    for (int i = 1; i <= 30; ++i) m(i, i) = 1;
    EXPECT_THROW(ecosim_->EnterMatrix(m), RunCancelled);
    EXPECT_TRUE(cancel_);
    EXPECT_GE(clock_.Now - pressed_, Grace);
    EXPECT_LE(clock_.Now - pressed_, Grace + clock_.Step + 0.01);
    windows_.OnSend = nullptr;
    windows_.OnPass = nullptr;
    StandIn().Faults().MistypedCharacters = 0;
    EXPECT_THROW(ecosim_->ReleaseEcoSim(), EcoSimNotClosed);
  }
}

// Once Cancel is seen the run has its grace in all, whatever it is doing
// then and after (a send EcoSim never answers included, and the finish
// step's close), measured on a clock that midnight and the autumn clock
// change do not move.
TEST_F(Cancel, TheRunEndsWithinOneGraceOfCancelOnTheMonotonicClock) {
  struct Case {
    const char* what;
    bool hangSend;      // else the test hangs
    double dayAtPress;  // the time of day when Cancel is pressed
    double dayJump;     // the time of day moves by this 2 s after the press
  };
  const Case cases[] = {
      {"a hung test, the clock set back an hour", false, 10 * 3600.0, -3600},
      {"a hung test across midnight", false, 86400 - 3, 0},
      {"a keystroke never answered, the clock set back an hour", true, 2 * 3600.0 + 1, -3600},
      {"a keystroke never answered across midnight", true, 86400 - 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    cancel_ = false;
    clock_.Step = 0.25;
    clock_.DayShift = 0;
    windows_.PassLimit = windows_.Passes + 100000;
    Prepare();
    ASSERT_NE(windows_.SendWait, nullptr) << "the automation waits on its sends";
    const WindowHandle grid = ecosim_->Session().Grid;
    StandIn().Faults().Hang = !c.hangSend;
    // The seventh keystroke of the matrix is never answered.
    int keys = 0;
    windows_.NeverAnswers = [&](const Call& call) {
      return c.hangSend && call.Window == grid && call.Message == win::WM_CHAR && ++keys == 7;
    };
    bool jumped = false;
    windows_.OnPass = [&] {
      if (!cancel_ && (c.hangSend ? keys >= 7 : windows_.IsWindowVisible(ecosim_->Session().ProgressWindow))) {
        cancel_ = true;
        pressed_ = clock_.Now;
        clock_.DayShift = c.dayAtPress - std::fmod(clock_.Now, 86400.0);
      }
      if (cancel_ && !jumped && clock_.Now - pressed_ >= 2) {
        jumped = true;
        clock_.DayShift += c.dayJump;
      }
    };
    EXPECT_THROW(TestMatrix(MatrixOf({"1100", "1100", "0011", "0111"})), RunCancelled);
    EXPECT_TRUE(cancel_);
    EXPECT_GE(clock_.Now - pressed_, Grace);
    EXPECT_LE(clock_.Now - pressed_, Grace + clock_.Step);

    // The finish step has no grace of its own left: it asks EcoSim to close
    // and leaves it behind at once.
    const WindowHandle main = ecosim_->Session().MainWindow;
    windows_.Calls.clear();
    EXPECT_THROW(ecosim_->ReleaseEcoSim(), EcoSimNotClosed);
    EXPECT_LE(clock_.Now - pressed_, Grace + 2 * clock_.Step);
    EXPECT_EQ(windows_.Calls, (std::vector<Call>{Post(main, win::WM_CLOSE), Call("leave", main)}));
    EXPECT_EQ(world_.Programs().RunningPrograms(), 0u);
    EXPECT_EQ(windows_.SendWait, nullptr) << "the hook goes with the run";
    windows_.OnPass = nullptr;
    windows_.NeverAnswers = nullptr;
  }
}

TEST_F(Cancel, AnEcoSimThatAnswersIsNotCutShort) {
  // Cancel is read after the matrix; until then EcoSim finishes its work.
  Prepare();
  cancel_ = true;
  clock_.Step = 1e-5;
  const std::optional<double> p = TestMatrix(MatrixOf({"1100", "1100", "0011", "0111"}));
  EXPECT_TRUE(p.has_value());
  ecosim_->ReleaseEcoSim();
  windows_.ProcessPendingMessages();
  EXPECT_EQ(world_.Programs().RunningPrograms(), 0u);
  for (const Call& c : windows_.Calls) EXPECT_NE(c.Op, "leave") << "EcoSim closed as asked";
}

}  // namespace
}  // namespace tessil::testing
