// The EcoSim options dialog: what "Make Changes" writes into the main
// window's test summary, what "Cancel" and the frame close restore, the
// Empty Sites group, and the checks of the iterations and seed boxes.
#include <gtest/gtest.h>

#include <QWindow>

#include <QCloseEvent>
#include <QTest>

#include "UiTestSupport.h"
#include "Validation.h"
#include "frmEcoSimOptions.h"

namespace tessil::test {
namespace {

struct OptionsHarness : MainWindowHarness {
  OptionsHarness() {
    Find<QPushButton>("cmd1")->click();
    Dialog = Main->EcoSimOptionsIfLoaded();
    Activate(Dialog);
  }
  template <class T>
  T* In(const char* name) {
    return Child<T>(Dialog, name);
  }
  bool EmptySitesShown() {
    const bool frame = In<QWidget>("fra7")->isVisibleTo(Dialog);
    EXPECT_EQ(In<QWidget>("lbl1")->isVisibleTo(Dialog), frame);
    EXPECT_EQ(In<QWidget>("shp7")->isVisibleTo(Dialog), frame);
    return frame;
  }
  frmEcoSimOptions* Dialog = nullptr;
};

TEST(EcoSimOptions, MakeChangesWithTheDefaultsWritesTheSevenLinesInControlOrder) {
  OptionsHarness h;
  EXPECT_EQ(h.Dialog->windowTitle(), "Tessil -- EcoSim Options");
  EXPECT_FALSE(h.EmptySitesShown());
  h.In<QPushButton>("cmd1")->click();
  const std::string expected =
      "Fixed-Fixed Randomization Algorithm: Sequential Swap\r\n"
      "Degenerate Matrices: Retain\r\n"
      "Column Constraints: Equiprobable\r\n"
      "Row Constraints: Fixed Sum\r\n"
      "Co-occurrence Index: C-score\r\n"
      "Number of iterations: 100\r\n"
      "Random Number Seed: 0";
  EXPECT_EQ(h.Main->TestSummary(), expected);
  EXPECT_EQ(h.Find<QPlainTextEdit>("txtTest")->toPlainText(), Q(expected).replace("\r\n", "\n"));
  EXPECT_FALSE(h.Dialog->isVisible());
  EXPECT_TRUE(h.Main->isVisible());
  // Rebuilt, never appended to.
  h.Find<QPushButton>("cmd1")->click();
  h.In<QPushButton>("cmd1")->click();
  EXPECT_EQ(h.Main->TestSummary(), expected);
}

TEST(EcoSimOptions, VRatioWithIncludeAddsTheEmptySitesLineFirst) {
  OptionsHarness h;
  h.In<QRadioButton>("opt10")->click();
  EXPECT_TRUE(h.EmptySitesShown());
  h.In<QRadioButton>("opt18")->click();
  h.In<QPushButton>("cmd1")->click();
  const std::string summary = h.Main->TestSummary();
  EXPECT_EQ(summary.substr(0, summary.find("\r\n")), "Empty Sites: Include");
  EXPECT_NE(summary.find("\r\nCo-occurrence Index: V-ratio\r\n"), std::string::npos);
  EXPECT_EQ(h.Main->CommittedOptions().Index, CooccurrenceIndex::VRatio);
  EXPECT_EQ(h.Main->CommittedOptions().EmptySites, EmptySiteTreatment::Include);
}

TEST(EcoSimOptions, TheEmptySitesGroupFollowsTheIndexAndKeepsItsChoice) {
  OptionsHarness h;
  const std::pair<const char*, bool> indices[] = {{"opt10", true}, {"opt7", false}, {"opt9", true}, {"opt8", false}};
  h.In<QRadioButton>("opt10")->click();
  h.In<QRadioButton>("opt18")->click();
  for (const auto& [option, shown] : indices) {
    h.In<QRadioButton>(option)->click();
    EXPECT_EQ(h.EmptySitesShown(), shown) << option;
    EXPECT_TRUE(h.In<QRadioButton>("opt18")->isChecked()) << option;
  }
  // Hidden, its choice is neither summarised nor committed as in force.
  h.In<QPushButton>("cmd1")->click();
  EXPECT_EQ(h.Main->TestSummary().find("Empty Sites"), std::string::npos);
}

TEST(EcoSimOptions, CancelRestoresTheCommittedIndexAndHidesTheEmptySitesAgain) {
  OptionsHarness h;
  h.In<QRadioButton>("opt10")->click();
  h.In<QRadioButton>("opt3")->click();
  TypeAndLeave(h.In<QLineEdit>("txt1"), "500");
  h.In<QPushButton>("cmd2")->click();
  EXPECT_FALSE(h.Dialog->isVisible());
  EXPECT_TRUE(h.Main->isVisible());
  EXPECT_EQ(h.Main->TestSummary(), InitialTestSummary);
  EXPECT_EQ(h.Main->CommittedOptions(), EcoSimTestOptions{});
  // Opened again, it shows the committed values.
  h.Find<QPushButton>("cmd1")->click();
  EXPECT_TRUE(h.In<QRadioButton>("opt7")->isChecked());
  EXPECT_TRUE(h.In<QRadioButton>("opt2")->isChecked());
  EXPECT_EQ(h.In<QLineEdit>("txt1")->text(), "100");
  EXPECT_FALSE(h.EmptySitesShown());
  EXPECT_EQ(h.Dialog->Working(), h.Dialog->Committed());
}

TEST(EcoSimOptions, ClosingTheFrameActsAsCancelAndKeepsTheDialog) {
  OptionsHarness h;
  h.In<QRadioButton>("opt16")->click();
  TypeAndLeave(h.In<QLineEdit>("txt1"), "0");  // refused, still in the box
  h.Boxes.Clear();
  h.Dialog->windowHandle()->close();
  QCoreApplication::processEvents();
  EXPECT_FALSE(h.Dialog->isVisible());
  EXPECT_EQ(h.Main->EcoSimOptionsIfLoaded(), h.Dialog);
  EXPECT_TRUE(h.Main->isVisible());
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  EXPECT_EQ(h.Main->CommittedOptions(), EcoSimTestOptions{});
  EXPECT_EQ(h.Main->TestSummary(), InitialTestSummary);
  EXPECT_EQ(h.In<QLineEdit>("txt1")->text(), "100");
  EXPECT_TRUE(h.In<QRadioButton>("opt14")->isChecked());
}

struct TextCase {
  const char* Box;
  const char* Typed;
  const char* Shown;
  std::string_view Refusal;
};

TEST(EcoSimOptions, IterationsAndSeedAreCheckedWhenTheFocusLeavesThem) {
  const TextCase table[] = {
      {"txt1", "50000", "50000", ""},
      {"txt1", "50001", "50001", message::TooManyIterations},
      {"txt1", "0", "0", message::AtLeastOneIteration},
      {"txt1", "0.5", "0.5", message::AtLeastOneIteration},
      {"txt1", "abc", "abc", message::AtLeastOneIteration},
      {"txt1", "1 000", "1000", ""},
      {"txt1", "1e3", "1000", ""},
      {"txt1", "2.5", "2.5", ""},
      {"txt1", "0250", "250", ""},
      {"txt2", "0", "0", ""},
      {"txt2", "-1", "-1", message::SeedNonnegative},
      {"txt2", "123456789", "123456789", ""},
  };
  for (const TextCase& c : table) {
    SCOPED_TRACE(std::string(c.Box) + " <- " + c.Typed);
    OptionsHarness h;
    ExpectLeaving(h.In<QLineEdit>(c.Box), c.Typed, c.Shown, std::string(c.Refusal), h.Boxes);
  }
}

TEST(EcoSimOptions, ARefusedTextBlocksBothButtonsAndCommitsNothing) {
  OptionsHarness h;
  auto* txt1 = h.In<QLineEdit>("txt1");
  TypeAndLeave(txt1, "50001");
  h.Boxes.Clear();
  QTest::mouseClick(h.In<QPushButton>("cmd1"), Qt::LeftButton);
  QTest::mouseClick(h.In<QPushButton>("cmd2"), Qt::LeftButton);
  QTest::mouseClick(h.In<QRadioButton>("opt8"), Qt::LeftButton);
  EXPECT_EQ(h.Boxes.Texts(), QStringList(3, Q(message::TooManyIterations)));
  EXPECT_TRUE(h.Dialog->isVisible());
  EXPECT_TRUE(h.In<QRadioButton>("opt7")->isChecked());
  EXPECT_EQ(h.Main->TestSummary(), InitialTestSummary);
  // Enter presses "Make Changes" without leaving the box: refused as well.
  h.Boxes.Clear();
  QTest::keyClick(txt1, Qt::Key_Return);
  EXPECT_EQ(h.Boxes.Texts(), QStringList{Q(message::TooManyIterations)});
  EXPECT_EQ(h.Main->CommittedOptions().EcoSimIterations, "100");
}

TEST(EcoSimOptions, CommittedTextsAreWhatTheRunReads) {
  OptionsHarness h;
  TypeAndLeave(h.In<QLineEdit>("txt1"), "1e3");
  TypeAndLeave(h.In<QLineEdit>("txt2"), "42");
  h.In<QRadioButton>("opt5")->click();
  h.In<QRadioButton>("opt2")->click();
  h.In<QPushButton>("cmd1")->click();
  const EcoSimTestOptions& committed = h.Main->CommittedOptions();
  EXPECT_EQ(committed.EcoSimIterations, "1000");
  EXPECT_EQ(committed.EcoSimSeed, "42");
  EXPECT_TRUE(committed.IsFixedFixed());
  EXPECT_NE(h.Main->TestSummary().find("Random Number Seed: 42"), std::string::npos);
}

TEST(EcoSimOptions, TheTabOrderRunsFromTheIndexToTheEmptySites) {
  OptionsHarness h;
  const char* order[] = {"opt7",  "opt8",  "opt9",  "opt10", "opt1",  "opt2",  "opt3", "opt4",
                         "opt5",  "opt6",  "opt14", "opt15", "opt16", "opt17", "txt1", "txt2",
                         "opt11", "opt12", "opt13", "cmd1",  "cmd2",  "opt18", "opt19"};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    EXPECT_EQ(h.In<QWidget>(order[i - 1])->nextInFocusChain(), h.In<QWidget>(order[i])) << order[i - 1];
  }
}

}  // namespace
}  // namespace tessil::test
