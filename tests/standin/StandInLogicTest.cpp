// What the stand-in EcoSim does behind its windows, the same for its Qt face
// and its native Windows face.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "StandInFaults.h"
#include "StandInLogic.h"

namespace tessil::standin {
namespace {

TEST(StandInFaults, EveryItemOfTheFaultsTextSetsItsFaultAndNothingElse) {
  const StandInFaults none = ParseFaults("");
  EXPECT_FALSE(none.Stall || none.Hang || none.ConfirmInsteadOfResults || none.ExitAtStart);
  EXPECT_FALSE(none.PValueText.has_value());
  EXPECT_EQ(none.HangAtCharacter, 0);

  const StandInFaults all = ParseFaults(
      ";stall;hang;confirm;exit-at-start;pvalue=0,25;missing=TMemo;missing=TApplication;hang-send=7;"
      "mistype=2;from-test=2;hold-shift=4");
  EXPECT_TRUE(all.Stall && all.Hang && all.ConfirmInsteadOfResults && all.ExitAtStart);
  EXPECT_EQ(all.PValueText, "0,25") << "a comma belongs to the text";
  EXPECT_EQ(all.MissingClasses, (std::vector<std::string>{"TMemo", "TApplication"}));
  EXPECT_TRUE(all.Missing("TApplication"));
  EXPECT_FALSE(all.Missing("tmemo")) << "class names as EcoSim registers them";
  EXPECT_EQ(all.HangAtCharacter, 7);
  EXPECT_EQ(all.MistypedCharacters, 2);
  EXPECT_EQ(all.FirstFaultyTest, 2);
  EXPECT_EQ(all.HoldShiftAtCharacter, 4);
  EXPECT_EQ(none.HoldShiftAtCharacter, 0);
  EXPECT_TRUE(StrictSwitch("1") && StrictSwitch("yes"));
  EXPECT_FALSE(StrictSwitch(nullptr) || StrictSwitch("") || StrictSwitch("0"));
  EXPECT_EQ(none.FirstFaultyTest, 1) << "the test faults hit every test unless told otherwise";

  // The faults of an EcoSim ended from outside, and of one whose close
  // question is of its own kind; a window left out by class and text.
  const StandInFaults ended = ParseFaults("end-at-char=12;end-in-test;other-close-question;missing=TButton/&Run");
  EXPECT_EQ(ended.EndAtCharacter, 12);
  EXPECT_TRUE(ended.EndInTest && ended.OtherCloseQuestion);
  EXPECT_FALSE(none.EndInTest || none.OtherCloseQuestion || none.EndAtCharacter != 0);
  EXPECT_TRUE(ended.Missing("TButton", "&Run"));
  EXPECT_FALSE(ended.Missing("TButton", "&OK")) << "only the button named";
  EXPECT_FALSE(ended.Missing("TButton"));
  EXPECT_THROW(ParseFaults("end-at-char=0"), FaultsTextError);

  const StandInFaults one = ParseFaults("pvalue=");
  EXPECT_EQ(one.PValueText, "") << "an empty p-value text is a fault too";
  EXPECT_FALSE(one.Stall);
  EXPECT_EQ(ParseFaults("pvalue=a=b").PValueText, "a=b");

  struct Refused {
    const char* text;
    const char* named;  // the item the message names
  };
  for (const Refused r : {Refused{"stal", "\"stal\""},
                          {"stall=1", "\"stall=1\""},
                          {"Stall", "\"Stall\""},
                          {"stall ;hang", "\"stall \""},
                          {"pvalue", "\"pvalue\""},
                          {"missing=", "\"missing=\""},
                          {"hang-send=0", "\"hang-send=0\" needs a whole number from 1"},
                          {"hang-send=", "\"hang-send=\""},
                          {"hang-send=+3", "\"hang-send=+3\""},
                          {"hang-send=2x", "\"hang-send=2x\""},
                          {"mistype=-1", "\"mistype=-1\""},
                          {"confirm;mistype=1.5", "\"mistype=1.5\""}}) {
    try {
      ParseFaults(r.text);
      ADD_FAILURE() << r.text << " was taken";
    } catch (const FaultsTextError& e) {
      EXPECT_NE(std::string(e.what()).find(r.named), std::string::npos) << r.text << ": " << e.what();
    }
  }
  EXPECT_EQ(ParseFaults("mistype=0").MistypedCharacters, 0);
}

TEST(StandInGrid, TypingEditsTheCurrentCellAndTabCommitsItInRowOrderRoundTheGrid) {
  GridCells grid;
  EXPECT_EQ(grid.Rows(), 5);
  EXPECT_EQ(grid.Cols(), 5);
  grid.Resize(2, 3);
  std::string editor = grid.Type('1', "stale text of the last cell");
  EXPECT_EQ(editor, "1") << "a new cell's editor starts from the character";
  editor = grid.Type('0', editor);
  EXPECT_EQ(editor, "10");
  grid.Tab(editor);
  grid.Tab("ignored: nothing typed");
  grid.Tab(grid.Type('1', ""));
  EXPECT_EQ(grid.Cell(0, 0), "10");
  EXPECT_EQ(grid.Cell(0, 1), "");
  EXPECT_EQ(grid.Cell(0, 2), "1");
  EXPECT_EQ(grid.CurrentRow(), 1);
  EXPECT_EQ(grid.CurrentCol(), 0);
  for (int k = 0; k < 3; ++k) grid.Tab(grid.Type(k == 1 ? '1' : '0', ""));
  EXPECT_EQ(grid.CurrentRow(), 0) << "from the last cell back to the first";
  EXPECT_EQ(grid.CurrentCol(), 0);
  const cooc::Incidence m = grid.Matrix();
  const bool expected[2][3] = {{false, false, true}, {false, true, false}};
  for (int i = 0; i < 2; ++i) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m.Get(i, k), expected[i][k]) << i << "," << k << " (\"10\" is no presence)";
  }
  // Shift+Tab commits too, then goes from the first cell back to the last.
  grid.Tab(grid.Type('1', ""), true);
  EXPECT_EQ(grid.Cell(0, 0), "1");
  EXPECT_EQ(grid.CurrentRow(), 1);
  EXPECT_EQ(grid.CurrentCol(), 2);
  grid.Tab(grid.Type('1', ""), true);
  grid.Tab({}, true);
  EXPECT_EQ(grid.Cell(1, 2), "1");
  EXPECT_EQ(grid.Cell(1, 1), "1") << "a Tab with nothing typed leaves the cell";
  EXPECT_EQ(grid.CurrentRow(), 1);
  EXPECT_EQ(grid.CurrentCol(), 0);

  StandInFaults faults;
  faults.MistypedCharacters = 2;
  EXPECT_EQ(TypedCharacter('x', faults), 'x');
  EXPECT_EQ(TypedCharacter('1', faults), '0');
  EXPECT_EQ(TypedCharacter('0', faults), '1');
  EXPECT_EQ(TypedCharacter('1', faults), '1') << "only the next two digits are mistyped";
}

TEST(StandInResize, TheDialogTakesWholeSidesFromOneWithinTheGridsCells) {
  struct Case {
    const char* columns;
    const char* rows;
    int wantRows;  // 0: refused, the dialog stays open
    int wantCols;
  };
  for (const Case c : {Case{"5", "5", 5, 5},
                       {" 7 ", "3", 3, 7},
                       {"100000", "167", 167, 100000},
                       {"100000", "168", 0, 0},
                       {"100001", "2", 0, 0},
                       {"2", "0", 0, 0},
                       {"1.5", "2", 0, 0},
                       {"", "2", 0, 0},
                       {"+3", "2", 0, 0},
                       {"3", "2a", 0, 0},
                       {"-1", "2", 0, 0},
                       {"4096", "4096", 4096, 4096},
                       {"4097", "4096", 0, 0}}) {
    const std::optional<GridSize> size = AcceptedSize(c.columns, c.rows);
    EXPECT_EQ(size.has_value(), c.wantRows != 0) << c.columns << " x " << c.rows;
    if (size) {
      EXPECT_EQ(size->Rows, c.wantRows);
      EXPECT_EQ(size->Cols, c.wantCols);
    }
  }
}

OptionTexts UsualTexts() {
  return {"Fixed Sum", "Equiprobable", "C-score", "Sequential Swap", "Retain", "Exclude", "30", "11"};
}

cooc::Incidence SmallMatrix() {
  GridCells grid;
  for (const char* row : {"11000", "01100", "00111", "00011", "10001"}) {
    for (const char* c = row; *c != '\0'; ++c) grid.Tab(grid.Type(*c, ""));
  }
  return grid.Matrix();
}

TEST(StandInJob, AJobComputesTheEnginesTestForItsOrdinalOnAThreadOfItsOwn) {
  TestOrdinals ordinals;
  EXPECT_EQ(ordinals.Take(), 0u);
  EXPECT_EQ(ordinals.Take(), 1u);
  const std::uint64_t third = ordinals.Take();
  std::shared_ptr<Job> job = MakeJob(SmallMatrix(), UsualTexts(), third);
  EXPECT_EQ(job->Work, 5.0 * 5.0 * 30.0);
  std::atomic<int> running{0};
  std::atomic<bool> finished{false};
  std::thread worker = StartWorker(job, running, [&finished] { finished = true; });
  worker.join();
  EXPECT_EQ(running.load(), 0);
  EXPECT_TRUE(finished.load());
  ASSERT_TRUE(job->IsDone());

  const HeldOptions held = ReadOptions(UsualTexts());
  ASSERT_TRUE(held.Refusal.empty());
  const cooc::TestResult expected = cooc::RunTest(SmallMatrix(), held.Options, 2);
  ASSERT_TRUE(job->Result.HasResults);
  EXPECT_EQ(job->Result.Memo2, expected.Memo2);
  EXPECT_NE(job->Result.Memo2, cooc::RunTest(SmallMatrix(), held.Options, 0).Memo2) << "the ordinal matters";
  ordinals.SeedSet();
  EXPECT_EQ(ordinals.Take(), 0u) << "a new seed starts the count again";

  // Texts naming no choice end the test with the refusal as its reason.
  OptionTexts unknown = UsualTexts();
  unknown.Index = "C score";
  std::shared_ptr<Job> refused = MakeJob(SmallMatrix(), unknown, 0);
  refused->Run();
  EXPECT_FALSE(refused->Result.HasResults);
  EXPECT_EQ(refused->Result.Reason.rfind("The co-occurrence index \"C score\" is unknown", 0), 0u);

  // A stop asked for before the thread runs abandons the test.
  OptionTexts many = UsualTexts();
  many.Iterations = "50000";
  std::shared_ptr<Job> stopped = MakeJob(SmallMatrix(), many, 0);
  stopped->Stop.request_stop();
  StartWorker(stopped, running).join();
  EXPECT_TRUE(stopped->Result.Stopped);
  EXPECT_FALSE(stopped->Result.HasResults);
}

TEST(StandInJob, TheNextTestGetsAThreadWhenTheLastOneScaledByWorkWouldHoldUpASlice) {
  DurationEstimate estimate;
  EXPECT_FALSE(estimate.NeedsThread(1e12)) << "the first test is judged short";
  Job last;
  last.Work = 1000;
  last.Seconds = 0.001;
  estimate.Record(last);
  EXPECT_DOUBLE_EQ(estimate.ExpectedSeconds(4000), 0.004);
  EXPECT_TRUE(estimate.NeedsThread(2001));
  EXPECT_FALSE(estimate.NeedsThread(2000)) << "exactly one slice still fits";
}

TEST(StandInResults, APlantedPValueTextReplacesOnlyTheTwoPValueLinesAfterTheirPrefix) {
  const std::string memo =
      "l0\r\nl1\r\nl2\r\nl3\r\nl4\r\np(observed <= expected) = 0.12300\r\np(observed >= expected) = "
      "0.87700\r\nl7 ) = x";
  cooc::TestResult result;
  result.HasResults = true;
  result.Memo1 = "about the test";
  result.Memo2 = memo;
  StandInFaults faults;
  TestEnding ending = EndingOf(result, faults);
  ASSERT_TRUE(ending.ShowsResults);
  EXPECT_EQ(ending.Memo1, "about the test");
  EXPECT_EQ(ending.Memo2, memo);

  faults.PValueText = "nan";
  ending = EndingOf(result, faults);
  EXPECT_EQ(ending.Memo2,
            "l0\r\nl1\r\nl2\r\nl3\r\nl4\r\np(observed <= expected) = nan\r\np(observed >= expected) = nan\r\nl7 ) = x");
  EXPECT_EQ(ReplacePValues("a\r\nb\r\nc\r\nd\r\ne\r\nno prefix\r\np) = 1", "0,5"),
            "a\r\nb\r\nc\r\nd\r\ne\r\nno prefix\r\np) = 0,5");

  faults.ConfirmInsteadOfResults = true;
  ending = EndingOf(result, faults);
  EXPECT_FALSE(ending.ShowsResults);
  EXPECT_EQ(ending.Message, NoResultsMessage);
  cooc::TestResult refused;
  refused.Reason = "Why not.";
  EXPECT_EQ(EndingOf(refused, StandInFaults{}).Message, "Why not.");
  EXPECT_EQ(ProgressCaption(0), "...0 Simulating");
  EXPECT_EQ(ProgressCaption(1000003), "...3 Simulating");
}

}  // namespace
}  // namespace tessil::standin
