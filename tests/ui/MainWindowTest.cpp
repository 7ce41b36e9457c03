// The main window as the user finds it and works it: its start-up state, the
// hypothesis table and the assumptions it allows, and the matrix size boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QTest>

#include "ChoiceRefusals.h"
#include "UiTestSupport.h"
#include "Validation.h"
#include "frmAdvanced.h"
#include "frmEcoSimOptions.h"

namespace tessil::test {
namespace {

struct ControlState {
  const char* Name;
  const char* Caption;
  bool Enabled;
  bool Checked;
};

TEST(MainWindow, StartsWithNoInteractionsSelectedAndOnlyItsAssumptionsAvailable) {
  MainWindowHarness h;
  EXPECT_EQ(h.Main->windowTitle(), "Tessil");
  const ControlState expected[] = {
      {"optH01", "No Interactions Between Species", true, true},
      {"optH02", "Sites Equivalent", true, false},
      {"optH03", "Species Equivalent", true, false},
      {"chkASiEq", "Sites Equivalent", true, false},
      {"chkASpEq", "Species Equivalent", true, false},
      {"chkAIn", "Interactions Between Species:", false, false},
      {"optAIn0", "0%", false, false},
      {"optAIn50", "50%", false, false},
      {"optAIn100", "100%", false, false},
  };
  for (const ControlState& c : expected) {
    auto* button = h.Find<QAbstractButton>(c.Name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), c.Caption) << c.Name;
    EXPECT_EQ(button->isEnabled(), c.Enabled) << c.Name;
    EXPECT_EQ(button->isChecked(), c.Checked) << c.Name;
  }
  EXPECT_FALSE(h.Find<QWidget>("fra6")->isEnabled());
  EXPECT_EQ(h.Find<QLineEdit>("txtHA")->text(), "Interactions Between Species");
  EXPECT_EQ(h.Find<QLineEdit>("txtRows")->text(), "10");
  EXPECT_EQ(h.Find<QLineEdit>("txtCols")->text(), "10");
  EXPECT_EQ(h.Find<QPlainTextEdit>("txtTest")->toPlainText(), Q(InitialTestSummary).replace("\r\n", "\n"));
  EXPECT_EQ(h.Main->TestSummary(), InitialTestSummary);
  EXPECT_EQ(h.Find<QPushButton>("cmd1")->text(), "Change...");
  EXPECT_EQ(h.Find<QPushButton>("cmd2")->text(), "Run");
  EXPECT_EQ(h.Find<QPushButton>("cmd3")->text(), "Advanced Options...");
  EXPECT_EQ(h.Find<QLabel>("lbl1")->text(), "Rows (Number of Species):");
  EXPECT_EQ(h.Find<QLabel>("lbl2")->text(), "Columns (Number of Sites):");
  // The first control of the tab order holds the focus.
  EXPECT_EQ(QApplication::focusWidget(), h.Find<QWidget>("optH01"));
  EXPECT_EQ(h.Main->Choices(), MainWindowChoices{});
}

TEST(MainWindow, EveryControlOfAFrameSharesTheFramesTooltip) {
  MainWindowHarness h;
  const std::pair<const char*, const char*> frames[] = {
      {"fra1", "Enter the null hypothesis of that you would like to test."},
      {"fra2", "The alternative hypothesis is the complement of the null hypothesis."},
      {"fra3", "Check the assumptions that are appropriate for data set being analyzed."},
      {"fra4", "Select the test that you are using."},
      {"fra5", "Enter the dimensions of the presence-absence matrix being analyzed."},
      {"fra8",
       "Click Run to measure error rates, robustness, and bias.   Click Advanced Options for additional options."},
  };
  for (const auto& [name, tip] : frames) {
    auto* frame = h.Find<PanelFrame>(name);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->toolTip(), tip) << name;
    for (QWidget* control : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      EXPECT_EQ(control->toolTip(), tip) << control->objectName().toStdString() << " in " << name;
    }
  }
  EXPECT_EQ(h.Find<PanelFrame>("fra6")->Caption(), "Proportion of Species Interacting");
}

TEST(MainWindow, MenusCarryTheirCaptionsAndHelpOpensGettingStarted) {
  MainWindowHarness h;
  const std::pair<const char*, const char*> actions[] = {
      {"mnuFileExit", "E&xit"}, {"mnuHelpHelp", "Tessil &Help"}, {"mnuHelpAbout", "&About Tessil"}};
  for (const auto& [name, caption] : actions) EXPECT_EQ(h.Find<QAction>(name)->text(), caption);
  EXPECT_EQ(h.Find<QMenu>("mnuFile")->title(), "&File");
  EXPECT_EQ(h.Find<QMenu>("mnuHelp")->title(), "&Help");
  EXPECT_TRUE(h.Find<QAction>("mnuHelpDivider")->isSeparator());
  EXPECT_EQ(h.Find<QAction>("mnuHelpHelp")->shortcut(), QKeySequence(Qt::Key_F1));
  QTest::keyClick(h.Main.get(), Qt::Key_F1);
  EXPECT_EQ(h.Help.Opened, std::vector<std::string>{"Tessil Help.chm|Getting Started.htm"});
}

struct HypothesisRow {
  const char* Option;
  const char* Alternative;
  const char* Restated;  // the assumption box that would restate it
  std::vector<const char*> Available;
};

TEST(MainWindow, EachHypothesisDisablesAndClearsTheAssumptionThatRestatesIt) {
  const HypothesisRow table[] = {
      {"optH01", "Interactions Between Species", "chkAIn", {"chkASiEq", "chkASpEq"}},
      {"optH02", "Sites Non-equivalent", "chkASiEq", {"chkASpEq", "chkAIn"}},
      {"optH03", "Species Non-equivalent", "chkASpEq", {"chkASiEq", "chkAIn"}},
  };
  for (const HypothesisRow& row : table) {
    SCOPED_TRACE(row.Option);
    MainWindowHarness h;
    // Tick every assumption that some hypothesis allows, then choose.
    h.Find<QRadioButton>("optH02")->click();
    h.Find<QCheckBox>("chkASpEq")->click();
    h.Find<QCheckBox>("chkAIn")->click();
    h.Find<QRadioButton>("optH03")->click();
    h.Find<QCheckBox>("chkASiEq")->click();
    h.Find<QRadioButton>(row.Option)->click();

    EXPECT_EQ(h.Find<QLineEdit>("txtHA")->text(), row.Alternative);
    auto* restated = h.Find<QCheckBox>(row.Restated);
    EXPECT_FALSE(restated->isEnabled());
    EXPECT_FALSE(restated->isChecked());
    for (const char* name : row.Available) EXPECT_TRUE(h.Find<QCheckBox>(name)->isEnabled()) << name;
    EXPECT_EQ(RefuseChoices(h.Main->Choices()), "");
  }
}

TEST(MainWindow, SwitchingBetweenEquivalencesKeepsTheInteractionAssumption) {
  MainWindowHarness h;
  h.Find<QRadioButton>("optH02")->click();
  h.Find<QCheckBox>("chkAIn")->click();
  h.Find<QRadioButton>("optAIn50")->click();
  h.Find<QRadioButton>("optH03")->click();
  EXPECT_TRUE(h.Find<QCheckBox>("chkAIn")->isChecked());
  EXPECT_TRUE(h.Find<QRadioButton>("optAIn50")->isChecked());
  EXPECT_TRUE(h.Find<QCheckBox>("chkASiEq")->isEnabled());
  EXPECT_FALSE(h.Find<QCheckBox>("chkASiEq")->isChecked());
  // Back to "No Interactions": the assumption and its level go.
  h.Find<QRadioButton>("optH01")->click();
  const MainWindowChoices c = h.Main->Choices();
  EXPECT_FALSE(c.AssumedLevel);
  EXPECT_FALSE(h.Find<QWidget>("fra6")->isEnabled());
}

TEST(MainWindow, TheInteractionAssumptionSelectsZeroPercentAndClearsAllLevels) {
  MainWindowHarness h;
  h.Find<QRadioButton>("optH02")->click();
  auto* chkAIn = h.Find<QCheckBox>("chkAIn");
  chkAIn->click();
  EXPECT_TRUE(h.Find<QWidget>("fra6")->isEnabled());
  EXPECT_TRUE(h.Find<QRadioButton>("optAIn0")->isChecked());
  for (const char* level : {"optAIn0", "optAIn50", "optAIn100"}) EXPECT_TRUE(h.Find<QWidget>(level)->isEnabled());
  h.Find<QRadioButton>("optAIn100")->click();
  chkAIn->click();
  for (const char* level : {"optAIn0", "optAIn50", "optAIn100"}) {
    EXPECT_FALSE(h.Find<QRadioButton>(level)->isChecked()) << level;
    EXPECT_FALSE(h.Find<QWidget>(level)->isEnabled()) << level;
  }
  EXPECT_FALSE(h.Find<QWidget>("fra6")->isEnabled());
}

struct SizeCase {
  const char* Box;
  const char* Typed;
  const char* Shown;         // the text after leaving the box
  std::string_view Refusal;  // empty when accepted
};

TEST(MainWindow, MatrixSizesAreRoundedHalvesToEvenOrRefusedWithTheFocusKept) {
  const SizeCase table[] = {
      {"txtRows", "2.5", "2", ""},
      {"txtRows", "3.5", "4", ""},
      {"txtRows", "12abc", "12", ""},
      {"txtRows", " 2 0 ", "20", ""},
      {"txtRows", "1", "1", message::TwoRows},
      {"txtRows", "abc", "abc", message::TwoRows},
      {"txtCols", "1.9", "1.9", message::TwoColumns},
      {"txtCols", "7.5", "8", ""},
  };
  for (const SizeCase& c : table) {
    SCOPED_TRACE(std::string(c.Box) + " <- " + c.Typed);
    MainWindowHarness h;
    ExpectLeaving(h.Find<QLineEdit>(c.Box), c.Typed, c.Shown, std::string(c.Refusal), h.Boxes);
  }
}

TEST(MainWindow, ARefusedSizeSwallowsClicksElsewhereUntilCorrected) {
  MainWindowHarness h;
  auto* rows = h.Find<QLineEdit>("txtRows");
  TypeAndLeave(rows, "1");
  h.Boxes.Clear();
  // Run, Change... and another option: each click repeats the refusal and
  // does nothing else.
  QTest::mouseClick(h.Find<QPushButton>("cmd2"), Qt::LeftButton);
  QTest::mouseClick(h.Find<QPushButton>("cmd1"), Qt::LeftButton);
  QTest::mouseClick(h.Find<QRadioButton>("optH02"), Qt::LeftButton);
  EXPECT_EQ(h.Boxes.Texts(), QStringList(3, Q(message::TwoRows)));
  EXPECT_TRUE(h.Main->isVisible());
  EXPECT_EQ(ObservedAutomation::Observed.Prepared, 0);
  EXPECT_EQ(h.Main->EcoSimOptionsIfLoaded(), nullptr);
  EXPECT_TRUE(h.Find<QRadioButton>("optH01")->isChecked());
  EXPECT_EQ(QApplication::focusWidget(), rows);
  QCoreApplication::processEvents();
  EXPECT_EQ(rows->selectedText(), "1");  // typing replaces the refused value
  // Corrected, the focus moves on.
  h.Boxes.Clear();
  TypeAndLeave(rows, "6");
  EXPECT_EQ(rows->text(), "6");
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  EXPECT_EQ(QApplication::focusWidget(), h.Find<QLineEdit>("txtCols"));
}

TEST(MainWindow, ChangeHidesTheMainWindowBehindTheEcoSimOptions) {
  MainWindowHarness h;
  h.Find<QPushButton>("cmd1")->click();
  EXPECT_FALSE(h.Main->isVisible());
  ASSERT_NE(h.Main->EcoSimOptionsIfLoaded(), nullptr);
  EXPECT_TRUE(h.Main->EcoSimOptionsIfLoaded()->isVisible());
  EXPECT_FALSE(h.Main->EcoSimOptionsIfLoaded()->isModal());
  Child<QPushButton>(h.Main->EcoSimOptionsIfLoaded(), "cmd2")->click();
  EXPECT_TRUE(h.Main->isVisible());
  EXPECT_FALSE(h.Main->EcoSimOptionsIfLoaded()->isVisible());
}

TEST(MainWindow, AdvancedOptionsOpensModalOverTheVisibleMainWindow) {
  MainWindowHarness h;
  h.Find<QPushButton>("cmd3")->click();
  auto* dialog = h.Main->findChild<frmAdvanced*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
  EXPECT_TRUE(h.Main->isVisible());
}

}  // namespace
}  // namespace tessil::test
