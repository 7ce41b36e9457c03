// The window protocol's own rules over a scripted window system: how a
// p-value line is read, that every wait for a window blocks and ends at its
// limit naming what did not happen, that an EcoSim that ends or is asked to
// close by another program ends the run at once, and Cancel's deadline.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "Errors.h"
#include "ScriptedWindows.h"
#include "WindowMessages.h"
#include "WindowProtocolEcoSim.h"

namespace tessil::testing {
namespace {

void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value == nullptr ? "" : value);
#else
  if (value == nullptr) {
    unsetenv(name);
  } else {
    setenv(name, value, 1);
  }
#endif
}

// EcoSim's windows as the protocol looks them up; the options window, its
// results, its progress window hidden, as after its start.
struct EcoSim {
  WindowHandle Main, Grid, Editor, Options, Pages, Panel, General, Preferences, Run, Progress, Results, Memo;
};

class ProtocolRules : public ::testing::Test {
 public:
  // A folder of each test's own: ctest runs the tests of this program at
  // once, and other builds on the machine may run them too.
  ProtocolRules()
      : folder_(std::filesystem::temp_directory_path() /
                ("tessil-protocol-rules-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                 std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(folder_ / "EcoSim");
    std::ofstream(folder_ / "EcoSim" / "EcoSim700.exe") << "program";
    SetVariable("TESSIL_TEST_WAIT_SECONDS", nullptr);
  }
  ~ProtocolRules() override { std::filesystem::remove_all(folder_); }

  EcoSim Build(bool withRun = true) {
    ScriptedWindows& w = windows_;
    EcoSim e{};
    e.Main = w.Add("TEcoSim", "EcoSim");
    e.Grid = w.Add("TStringGrid", "", e.Main);
    e.Editor = w.Add("TInplaceEdit", "", e.Grid);
    e.Options = w.Add("TCoOccurrenceOpts", "Co-occurrence", NoWindow, false);
    e.Pages = w.Add("TPageControl", "", e.Options);
    e.Panel = w.Add("TPanel", "", e.Options);
    e.General = w.Add("TTabSheet", "General", e.Pages);
    e.Preferences = w.Add("TTabSheet", "Preferences", e.Pages);
    e.Run = withRun ? w.Add("TButton", "&Run", e.Panel) : NoWindow;
    e.Progress = w.Add("TProgress", "", NoWindow, false);
    e.Results = w.Add("TCoOccurrence", "EcoSim -- Co-occurrence Results", NoWindow, false);
    const WindowHandle pages = w.Add("TPageControl", "", e.Results);
    const WindowHandle index = w.Add("TTabSheet", "Index", pages);
    w.Add("TMemo", "", index);
    e.Memo = w.Add("TMemo", "", index);
    // A healthy EcoSim: the menu opens the options, "&Run" starts a test
    // (the script ends it), closing the results brings back the main window.
    w.OnMessage = [this, e](const Message& m) {
      auto& win = windows_.Windows;
      if (m.Window == e.Main && m.Id == win::WM_COMMAND) {
        if (!OptionsNeverOpen) {
          win[e.Main].Visible = false;
          win[e.Options].Visible = true;
        }
      } else if (m.Window == e.Run && m.Id == win::BM_CLICK) {
        win[e.Options].Visible = false;
        win[e.Progress].Visible = true;
      } else if (m.Window == e.Results && m.Id == win::WM_CLOSE) {
        win[e.Results].Visible = false;
        win[e.Main].Visible = true;
      } else if (m.Window == e.Grid && m.Id == win::WM_CHAR) {
        win[e.Editor].Content = std::string(1, static_cast<char>(m.WParam));
      }
    };
    return e;
  }

  // The options window open, as the driver has it before "&Run".
  void OpenOptions(const EcoSim& e) {
    windows_.Windows[e.Main].Visible = false;
    windows_.Windows[e.Options].Visible = true;
  }

  WindowProtocolEcoSim& Automation() {
    ecosim_ = std::make_unique<WindowProtocolEcoSim>(
        windows_, settings_, inputs_, nullptr, [] { return NoWindow; }, folder_, [this] { return Cancel; });
    return *ecosim_;
  }

  // EcoSim started: from now on its end is watched.
  WindowProtocolEcoSim& Started() {
    WindowProtocolEcoSim& ecosim = Automation();
    ecosim.LaunchEcoSim();
    return ecosim;
  }

  std::filesystem::path folder_;
  ScriptedWindows windows_;
  RunSettings settings_;
  FixedRunInputs inputs_;
  std::unique_ptr<WindowProtocolEcoSim> ecosim_;
  bool Cancel = false;
  bool OptionsNeverOpen = false;
};

TEST_F(ProtocolRules, APValueIsReadInTheUsersLocaleAndOnlyANumberFromZeroToOneIsTaken) {
  struct Case {
    const char* written;
    std::int16_t tail;
    double expected;  // below 0: refused
  };
  const Case cases[] = {
      {"0,0312", 0, 0.0312},        // a decimal comma, as EcoSim writes it in much of Europe
      {"0.5", 1, 0.5},              // the upper tail, from the next line
      {"0.123456789", 0, 0.12345},  // only the first 33 characters of the line are read
      {"1", 0, 1.0},
      {"nan", 0, -1},
      {"inf", 1, -1},
      {"-0.1", 0, -1},
      {"1.5", 0, -1},
      {"", 0, -1},
  };
  const EcoSim e = Build();
  windows_.Windows[e.Results].Visible = true;
  WindowProtocolEcoSim& ecosim = Automation();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    const std::string other = "0.999";
    const std::string lower = c.tail == 0 ? c.written : other;
    const std::string upper = c.tail == 1 ? c.written : other;
    windows_.Windows[e.Memo].Content = "a\r\nb\r\nc\r\nd\r\ne\r\np(observed <= expected) = " + lower +
                                       "\r\np(observed >= expected) = " + upper + "\r\n";
    if (c.expected < 0) {
      EXPECT_THROW(ecosim.ReadPValue(c.tail), PValueNotANumber);
    } else {
      EXPECT_DOUBLE_EQ(ecosim.ReadPValue(c.tail), c.expected);
    }
  }
}

TEST_F(ProtocolRules, EveryWaitForAWindowBlocksAndEndsAtItsLimitNamingWhatDidNotHappen) {
  struct Case {
    const char* what;
    const char* shortWaits;  // TESSIL_TEST_WAIT_SECONDS, or none
    double limit;
    std::function<void(ProtocolRules&, const EcoSim&)> act;
    const char* message;
  };
  const Case cases[] = {
      {"start", nullptr, 60,
       [](ProtocolRules& t, const EcoSim& e) {
         t.windows_.Windows[e.Main].Visible = false;
         t.Automation().LaunchEcoSim();
       },
       "EcoSim's main window did not appear within 60 seconds."},
      {"options", nullptr, 60,
       [](ProtocolRules& t, const EcoSim&) {
         t.OptionsNeverOpen = true;
         t.Started().OpenCooccurrenceOptions();
       },
       "EcoSim's co-occurrence options window did not appear within 60 seconds."},
      {"options, shortened for a test", "3", 3,
       [](ProtocolRules& t, const EcoSim&) {
         t.OptionsNeverOpen = true;
         t.Started().OpenCooccurrenceOptions();
       },
       "EcoSim's co-occurrence options window did not appear within 3 seconds."},
      {"warm-up test", nullptr, 120,
       [](ProtocolRules& t, const EcoSim& e) {
         WindowProtocolEcoSim& ecosim = t.Started();
         t.OpenOptions(e);
         ecosim.RunCooccurrenceTest(1);
       },
       "EcoSim's warm-up test did not show its results within 120 seconds."},
      {"close without a message form", nullptr, 60,
       [](ProtocolRules& t, const EcoSim&) { t.Started().ReleaseEcoSim(); },
       "EcoSim could not be closed: EcoSim did not close within 60 seconds. Tessil ended it."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    windows_ = ScriptedWindows();
    OptionsNeverOpen = false;
    SetVariable("TESSIL_TEST_WAIT_SECONDS", c.shortWaits);
    const EcoSim e = Build();
    const double start = windows_.Now;
    try {
      c.act(*this, e);
      ADD_FAILURE() << "the wait ended although nothing happened";
    } catch (const TessilError& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
    // It waited its limit, and each pass slept rather than spun: a
    // blocking wait for every turn of message processing.
    EXPECT_NEAR(windows_.Now - start, c.limit, 0.01);
    EXPECT_EQ(windows_.Blocks, windows_.Passes);
    EXPECT_NEAR(static_cast<double>(windows_.Passes), c.limit * 1000 / WaitPassMilliseconds, 5);
  }
  // A close that fails leaves EcoSim behind: it is ended.
  EXPECT_EQ(windows_.LeftBehind, std::vector<WindowHandle>{windows_.FindWindow("TEcoSim", std::nullopt)});
  SetVariable("TESSIL_TEST_WAIT_SECONDS", nullptr);
}

TEST_F(ProtocolRules, AStudysTestHasNoLimitButAnEcoSimThatEndsEndsTheRunAtOnceWithItsExitCode) {
  const EcoSim e = Build();
  WindowProtocolEcoSim& ecosim = Started();
  OpenOptions(e);
  // A test of two hours, its caption moving, then EcoSim is ended.
  windows_.StepPerPass = 0.5;
  long calls = 0;
  windows_.OnPass = [&] {
    windows_.Windows[e.Progress].Text = "..." + std::to_string(++calls);
    if (windows_.Now > 2 * 3600.0 + 1000 && !windows_.Ended) {
      windows_.Ended = true;
      windows_.ExitCode = 9;
      for (auto& [h, w] : windows_.Windows) w.Alive = false;
    }
  };
  try {
    ecosim.RunCooccurrenceTest(0);
    ADD_FAILURE() << "the test ended although EcoSim did";
  } catch (const EcoSimEnded& error) {
    EXPECT_EQ(std::string(error.what()), "EcoSim ended during the run (exit code 9).");
  }
  EXPECT_LT(windows_.Now - (2 * 3600.0 + 1000), 0.51) << "seen within the pass it ended in";
  // Nothing is left to close.
  const std::size_t sent = windows_.Messages.size();
  EXPECT_NO_THROW(ecosim.ReleaseEcoSim());
  EXPECT_EQ(windows_.Messages.size(), sent);

  // Ended during the matrix entry, it is told as such rather than as a
  // missing window.
  windows_ = ScriptedWindows();
  const EcoSim again = Build();
  WindowProtocolEcoSim& typing = Started();
  settings_.NumRows = 3;
  settings_.NumCols = 3;
  windows_.OnPass = [&] {
    if (windows_.Count(again.Grid, win::WM_CHAR) == 4) {
      windows_.Ended = true;
      for (auto& [h, w] : windows_.Windows) w.Alive = false;
    }
  };
  PresenceAbsenceMatrix m(3, 3);
  EXPECT_THROW(typing.EnterMatrix(m), EcoSimEnded);
  EXPECT_EQ(windows_.Count(again.Grid, win::WM_CHAR), 4);
}

TEST_F(ProtocolRules, TheExitQuestionOfAnotherProgramIsNeverAnsweredWhileATestsConfirmationIs) {
  for (const bool exitQuestion : {false, true}) {
    SCOPED_TRACE(exitQuestion ? "exit question" : "confirmation");
    windows_ = ScriptedWindows();
    const EcoSim e = Build();
    WindowProtocolEcoSim& ecosim = Started();
    OpenOptions(e);
    const WindowHandle form = windows_.Add("TMessageForm", "Confirm");
    const WindowHandle ok = windows_.Add("TButton", "OK", form);
    const WindowHandle cancel = exitQuestion ? windows_.Add("TButton", "Cancel", form) : NoWindow;
    windows_.OnMessage = [&, inner = windows_.OnMessage](const Message& m) {
      inner(m);
      if (m.Window == ok && m.Id == win::BM_CLICK) {
        windows_.Windows[form].Alive = false;
        windows_.Windows[e.Main].Visible = true;
      }
    };
    if (exitQuestion) {
      EXPECT_THROW(ecosim.RunCooccurrenceTest(0), EcoSimAskedToClose);
      EXPECT_EQ(windows_.Count(ok, win::BM_CLICK) + windows_.Count(cancel, win::BM_CLICK), 0);
    } else {
      EXPECT_EQ(ecosim.RunCooccurrenceTest(0), NoResults);
      EXPECT_EQ(windows_.Count(ok, win::BM_CLICK), 1);
    }
  }
}

TEST_F(ProtocolRules, WithoutItsRunButtonTheTestFailsNamingItAndClicksNothing) {
  const EcoSim e = Build(false);
  WindowProtocolEcoSim& ecosim = Started();
  OpenOptions(e);
  try {
    ecosim.RunCooccurrenceTest(0);
    ADD_FAILURE() << "a test was awaited without its button";
  } catch (const EcoSimWindowMissing& error) {
    EXPECT_EQ(error.Number(), 0x80040201u);
    EXPECT_NE(std::string(error.what()).find("\"&Run\" button"), std::string::npos) << error.what();
  }
  EXPECT_EQ(windows_.Count(NoWindow, win::BM_CLICK), 0);
}

TEST_F(ProtocolRules, CancelEndsAHungTestWellWithinNineSeconds) {
  const EcoSim e = Build();
  WindowProtocolEcoSim& ecosim = Started();
  OpenOptions(e);
  // The test runs on for ever, its caption moving; Cancel comes after a
  // minute.
  windows_.StepPerPass = 0.01;
  long calls = 0;
  double pressed = 0;
  windows_.OnPass = [&] {
    windows_.Windows[e.Progress].Text = "..." + std::to_string(++calls);
    if (!Cancel && windows_.Now > 1060) {
      Cancel = true;
      pressed = windows_.Now;
    }
  };
  EXPECT_THROW(ecosim.RunCooccurrenceTest(0), RunCancelled);
  // Ending EcoSim and Tessil afterwards takes well under the 2 seconds left.
  EXPECT_LE(windows_.Now - pressed, 7.0);
  EXPECT_GE(windows_.Now - pressed, ecosim.Limits().CancelGraceSeconds);
}

}  // namespace
}  // namespace tessil::testing
