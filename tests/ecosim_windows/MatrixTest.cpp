// The per-matrix protocol: entering the matrix, the test's three endings
// (results, confirmation, stall), reading the p-value, and "Show EcoSim".
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "InProcessEcoSim.h"
#include "ProtocolTestSupport.h"

namespace tessil::testing {
namespace {

const std::vector<std::string> Segregated = {"1100", "1100", "0011", "0111"};

using Matrix = ProtocolTest;

TEST_F(Matrix, ACellThatReadsBackWrongIsTypedAgainAfterAFullRoundOfTabs) {
  for (int mistyped : {0, 1, 2}) {
    SCOPED_TRACE(mistyped);
    Prepare();
    const EcoSimSession& s = ecosim_->Session();
    const PresenceAbsenceMatrix m = MatrixOf(Segregated);
    StandIn().Faults().MistypedCharacters = mistyped;
    ecosim_->EnterMatrix(m);

    // The first cell is typed 1 + mistyped times, with 4 x 4 Tabs after
    // each wrong reading.
    std::vector<Call> expected;
    for (int attempt = 0; attempt < mistyped; ++attempt) {
      expected.push_back(Send(s.Grid, win::WM_CHAR, 0x31, 0x00020001));
      expected.push_back(ReadFirstLine(s.GridEditor, 2));
      for (int tab = 0; tab < 16; ++tab) expected.push_back(Send(s.Grid, win::WM_KEYDOWN, win::VK_TAB, 0x000F0001));
    }
    Append(expected, Typing(s, m));
    EXPECT_EQ(windows_.Calls, expected);
    EXPECT_EQ(StandIn().GridMatrix(), ToIncidence(m)) << "EcoSim's grid holds the matrix";
    EXPECT_EQ(StandIn().Grid().CurrentRow(), 0) << "the next matrix starts at the first cell";
    EXPECT_EQ(StandIn().Grid().CurrentCol(), 0);
    ecosim_->ReleaseEcoSim();
  }
}

TEST_F(Matrix, ACellOtherThanZeroOrOneIsRefusedBeforeAnythingIsTyped) {
  Prepare();
  windows_.PassLimit = windows_.Passes + 100000;
  for (const std::int16_t value : {std::int16_t{2}, std::int16_t{-1}, std::int16_t{10}}) {
    SCOPED_TRACE(value);
    PresenceAbsenceMatrix m = MatrixOf(Segregated);
    m(2, 3) = value;
    try {
      ecosim_->EnterMatrix(m);
      ADD_FAILURE() << "the matrix was taken";
    } catch (const MatrixCellNotBinary& e) {
      EXPECT_EQ(e.what(), "Cell (2, 3) of the matrix holds " + std::to_string(value) + "; EcoSim takes only 0 and 1.");
      EXPECT_EQ(e.Number(), 0x80040204u);
    }
    EXPECT_TRUE(windows_.Calls.empty());
  }
  EXPECT_TRUE(TestMatrix(MatrixOf(Segregated)).has_value()) << "EcoSim goes on as before";
}

TEST_F(Matrix, EachTailIsReadFromItsLineAsTheInProcessPathReadsIt) {
  Prepare();
  const PresenceAbsenceMatrix m = MatrixOf(Segregated);
  // The in-process EcoSim, told the same options and given the same tests,
  // counts its ordinals on its own: each test must match it, not merely the
  // ordinal the stand-in says it used.
  RunSettings inProcessSettings;
  InProcessEcoSim inProcess(inProcessSettings, inputs_);
  inProcess.PrepareEcoSim();
  std::vector<std::string> memos;
  for (const std::int16_t tail : {std::int16_t{0}, std::int16_t{1}, std::int16_t{0}}) {
    windows_.Calls.clear();
    const std::optional<double> p = TestMatrix(m, tail);
    ASSERT_TRUE(p.has_value());
    inProcess.EnterMatrix(m);
    inProcess.OpenCooccurrenceOptions();
    ASSERT_EQ(inProcess.RunCooccurrenceTest(0), ResultsShown);
    const cooc::TestResult& expected = inProcess.LastResult();
    inProcess.CloseCooccurrenceResults();
    EXPECT_EQ(StandIn().LastResult().Memo2, expected.Memo2) << "seeded by the test's ordinal";
    EXPECT_EQ(std::count(memos.begin(), memos.end(), expected.Memo2), 0) << "another ordinal, another stream";
    memos.push_back(expected.Memo2);
    EXPECT_EQ(*p, ReadPValueFromResults(expected, tail));
    const WindowHandle memo = ecosim_->Session().ResultsMemo;
    // The whole memo is read; never a line of it by EM_GETLINE.
    const std::vector<Call> reading = ReadText(memo, StandIn().LastResult().Memo2.size());
    EXPECT_NE(std::search(windows_.Calls.begin(), windows_.Calls.end(), reading.begin(), reading.end()),
              windows_.Calls.end());
    for (const Call& c : windows_.Calls) EXPECT_NE(c.Message, win::EM_GETLINE);
    EXPECT_EQ(windows_.Calls.back(), Post(ecosim_->Session().ResultsWindow, win::WM_CLOSE));
  }
  EXPECT_EQ(StandIn().TestOrdinal(), 3u);
}

TEST_F(Matrix, APValueIsReadFromTheFirstThirtyThreeCharactersOnly) {
  struct Case {
    const char* shown;
    std::optional<double> read;  // empty: the line holds no number
  };
  const Case cases[] = {{"0.0470000009", 0.047},
                        {" 0.5 ", 0.5},
                        {"n/a", std::nullopt},
                        {"", std::nullopt},
                        // Written in a locale with a decimal comma.
                        {"0,25", 0.25},
                        {"0,0470000009", 0.047},
                        {"1,00000", 1.0},
                        // Read as numbers by the number reader, yet no p-value.
                        {"nan", std::nullopt},
                        {"inf", std::nullopt},
                        {"-inf", std::nullopt},
                        {"infinity", std::nullopt},
                        {"1.5", std::nullopt},
                        {"-0.25", std::nullopt},
                        {"0,2,5", std::nullopt}};
  Prepare();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    StandIn().Faults().PValueText = c.shown;
    ecosim_->EnterMatrix(MatrixOf(Segregated));
    ecosim_->OpenCooccurrenceOptions();
    ASSERT_EQ(ecosim_->RunCooccurrenceTest(0), ResultsShown);
    for (const std::int16_t tail : {std::int16_t{0}, std::int16_t{1}}) {
      if (c.read) {
        EXPECT_EQ(ecosim_->ReadPValue(tail), *c.read);
      } else {
        try {
          ecosim_->ReadPValue(tail);
          ADD_FAILURE() << "a line without a number gave a p-value";
        } catch (const PValueNotANumber& e) {
          EXPECT_EQ(e.Number(), 13u);
        }
      }
    }
    ecosim_->CloseCooccurrenceResults();
  }
}

TEST_F(Matrix, AConfirmationIsAnsweredWithOkAndTheTestHasNoResults) {
  struct Case {
    const char* what;
    std::vector<std::string> matrix;
    bool fault;
  };
  const Case cases[] = {{"EcoSim asks instead of showing results", Segregated, true},
                        // One species occurs: the C-score is undefined.
                        {"a test EcoSim cannot run", {"1111", "0000", "0000", "0000"}, false}};
  Prepare();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StandIn().Faults().ConfirmInsteadOfResults = c.fault;
    ecosim_->EnterMatrix(MatrixOf(c.matrix));
    ecosim_->OpenCooccurrenceOptions();
    windows_.Calls.clear();
    EXPECT_EQ(ecosim_->RunCooccurrenceTest(0), NoResults);
    const EcoSimSession& s = ecosim_->Session();
    EXPECT_EQ(windows_.Calls, (std::vector<Call>{Focus(s.RunButton), Post(s.RunButton, win::BM_CLICK),
                                                 Post(s.ConfirmOk, win::BM_CLICK)}));
    EXPECT_FALSE(windows_.IsWindow(s.ConfirmWindow));
    EXPECT_TRUE(windows_.IsWindowVisible(s.MainWindow));
    EXPECT_FALSE(windows_.IsWindowVisible(s.ResultsWindow));
  }
  // EcoSim goes on as before.
  StandIn().Faults().ConfirmInsteadOfResults = false;
  EXPECT_TRUE(TestMatrix(MatrixOf(Segregated)).has_value());
}

TEST_F(Matrix, AStalledTestIsAbortedOnceItsCaptionHasStoodStillForTwoReadings) {
  // The 2.5 s between readings are counted on the monotonic clock, whatever
  // the time of day does meanwhile.
  struct Case {
    const char* what;
    double dayAtRun;  // the time of day when "&Run" is pressed
    double dayJump;   // the time of day moves by this 1 s later
  };
  const Case cases[] = {
      {"an ordinary hour", 10 * 3600.0, 0},
      {"across midnight", 86400 - 1, 0},
      {"the clock set back an hour", 3 * 3600.0, -3600},
      {"the clock set back an hour just after midnight", 30, -3600},
  };
  Prepare();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    windows_.PassLimit = windows_.Passes + 100000;
    clock_.Step = 0.01;
    StandIn().Faults().Stall = true;
    ecosim_->EnterMatrix(MatrixOf(Segregated));
    ecosim_->OpenCooccurrenceOptions();
    windows_.Calls.clear();
    const double pressed = clock_.Now;
    clock_.DayShift = c.dayAtRun - std::fmod(clock_.Now, 86400.0);
    bool jumped = false;
    windows_.OnPass = [&] {
      if (!jumped && clock_.Now - pressed >= 1) {
        jumped = true;
        clock_.DayShift += c.dayJump;
      }
    };
    EXPECT_EQ(ecosim_->RunCooccurrenceTest(0), NoResults);
    const EcoSimSession& s = ecosim_->Session();
    EXPECT_EQ(windows_.Calls, (std::vector<Call>{Focus(s.RunButton), Post(s.RunButton, win::BM_CLICK),
                                                 Post(s.AbortButton, win::BM_CLICK)}));
    // The first reading after 2.5 s only takes the caption; the second, 2.5 s
    // later, finds it unchanged.
    EXPECT_GT(clock_.Now - pressed, 5.0);
    EXPECT_LT(clock_.Now - pressed, 5.1);
    EXPECT_TRUE(windows_.IsWindowVisible(s.MainWindow));
    windows_.OnPass = nullptr;
  }

  StandIn().Faults().Stall = false;
  EXPECT_TRUE(TestMatrix(MatrixOf(Segregated)).has_value()) << "the next test runs";
}

TEST_F(Matrix, AWorkingTestIsNeverTakenForAStall) {
  // Many turns of message processing pass for every second: EcoSim's caption
  // changes between any two readings.
  inputs_.Options.EcoSimIterations = "5000";
  Prepare();
  clock_.Step = 0.5;
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(TestMatrix(MatrixOf(Segregated)).has_value());
  for (const Call& c : windows_.Calls) EXPECT_NE(c.Window, ecosim_->Session().AbortButton);
}

TEST_F(Matrix, ShowEcoSimPlacesTheWindowsBesideTessilsAndNeverMapsAHiddenOne) {
  Prepare();
  const EcoSimSession& s = ecosim_->Session();
  const WindowHandle tessil = qtwin::HandleOf(world_.Windows(), progress_.get());
  for (const char* name : {"Main", "Progress", "Coop", "Results"}) ecosim_->PlaceEcoSimWindow(name, 1);
  EXPECT_EQ(windows_.Calls,
            (std::vector<Call>{
                Place(s.MainWindow, tessil, 228, 77, 694, 418), Place(s.ProgressWindow, tessil, 421, 187, 307, 197),
                Place(s.OptionsWindow, tessil, 374, 44, 402, 483), Place(s.ResultsWindow, tessil, 314, 6, 522, 559)}));
  std::vector<WindowHandle> order = qt_.StackingOrder();
  std::erase_if(order, [&](WindowHandle h) {
    return h != tessil && h != s.MainWindow && h != s.ProgressWindow && h != s.OptionsWindow && h != s.ResultsWindow;
  });
  EXPECT_EQ(order,
            (std::vector<WindowHandle>{tessil, s.ResultsWindow, s.OptionsWindow, s.ProgressWindow, s.MainWindow}));
  EXPECT_EQ(qt_.PlacedGeometry(s.OptionsWindow), QRect(374, 44, 402, 483));
  EXPECT_TRUE(qt_.IsMapped(s.MainWindow)) << "EcoSim's main window shows";
  for (WindowHandle hidden : {s.ProgressWindow, s.OptionsWindow, s.ResultsWindow}) EXPECT_FALSE(qt_.IsMapped(hidden));
  EXPECT_EQ(qt_.LayeredAlpha(s.MainWindow), std::uint8_t{150});

  // While the box is ticked, each window appears when EcoSim shows it.
  ecosim_->EnterMatrix(MatrixOf(Segregated));
  ecosim_->OpenCooccurrenceOptions();
  EXPECT_TRUE(qt_.IsMapped(s.OptionsWindow));
  EXPECT_FALSE(qt_.IsMapped(s.MainWindow));
  ASSERT_EQ(ecosim_->RunCooccurrenceTest(0), ResultsShown);
  EXPECT_TRUE(qt_.IsMapped(s.ResultsWindow));

  windows_.Calls.clear();
  for (const char* name : {"Main", "Progress", "Coop", "Results"}) ecosim_->PlaceEcoSimWindow(name, 0);
  EXPECT_EQ(windows_.Calls, (std::vector<Call>{OffScreen(s.MainWindow), OffScreen(s.ProgressWindow),
                                               OffScreen(s.OptionsWindow), OffScreen(s.ResultsWindow)}));
  EXPECT_FALSE(qt_.IsMapped(s.ResultsWindow));
  EXPECT_TRUE(windows_.IsWindowVisible(s.ResultsWindow)) << "out of sight, not hidden";

  windows_.Calls.clear();
  ecosim_->PlaceEcoSimWindow("Results", 2);
  EXPECT_TRUE(windows_.Calls.empty());
  ecosim_->CloseCooccurrenceResults();
  ecosim_->ReleaseEcoSim();
  windows_.ProcessPendingMessages();
  EXPECT_THROW(ecosim_->PlaceEcoSimWindow("Main", 2), EcoSimWindowMissing) << "looked up even for another mode";
}

}  // namespace
}  // namespace tessil::testing
