#include <gtest/gtest.h>

#include "Errors.h"
#include "Public_Declarations.h"

namespace tessil {
namespace {

TEST(RunSettings, FirstRunUsesOneHundredMatricesAndKeepsThem) {
  RunSettings settings;
  FixedRunInputs inputs;
  LoadRunSettings(settings, inputs);
  EXPECT_EQ(settings.NumRows, 10);
  EXPECT_EQ(settings.NumCols, 10);
  EXPECT_EQ(settings.NumIterations, 100);
  EXPECT_EQ(settings.RandomSeed, 0);
  ResetRunSettings(settings);
  EXPECT_EQ(settings.NumIterations, 100);
}

TEST(RunSettings, ResetClearsSizeTailAndCountersOnly) {
  RunSettings settings;
  settings.NumRows = 7;
  settings.NumCols = 8;
  settings.UpperTail = 1;
  settings.StartTime = 3600.5;
  settings.NumArguments = 36;
  settings.TestsDone = 99;
  settings.NumIterations = 250;
  settings.RandomSeed = 7;
  settings.NullHypothesis = SitesEquivalent;
  settings.AssumeSpeciesEquivalent = true;
  settings.AssumeInteractionLevel = true;
  settings.AssumedLevel = 2;
  ResetRunSettings(settings);
  EXPECT_EQ(settings.NumRows, 0);
  EXPECT_EQ(settings.NumCols, 0);
  EXPECT_EQ(settings.UpperTail, 0);
  EXPECT_EQ(settings.StartTime, 0.0);
  EXPECT_EQ(settings.NumArguments, 0);
  EXPECT_EQ(settings.TestsDone, 0);
  EXPECT_EQ(settings.NumIterations, 250);
  EXPECT_EQ(settings.RandomSeed, 7);
  EXPECT_EQ(settings.NullHypothesis, SitesEquivalent);
  EXPECT_TRUE(settings.AssumeSpeciesEquivalent);
  EXPECT_EQ(settings.AssumedLevel, 2);
}

TEST(RunSettings, TailFollowsTheIndex) {
  struct Case {
    const char* index;
    int tail;
  };
  for (const Case& c : {Case{"C-score", 1}, Case{"Number of checkerboards", 1},
                        Case{"Number of species combinations", 0}, Case{"V-ratio", 0}}) {
    for (int before : {0, 1}) {
      RunSettings settings;
      settings.UpperTail = static_cast<std::int16_t>(before);
      FixedRunInputs inputs;
      inputs.Options.Index = c.index;
      LoadRunSettings(settings, inputs);
      EXPECT_EQ(settings.UpperTail, c.tail) << c.index;
    }
  }
  // With no index chosen the tail keeps its value.
  RunSettings settings;
  settings.UpperTail = 1;
  FixedRunInputs inputs;
  inputs.Options.Index = "";
  LoadRunSettings(settings, inputs);
  EXPECT_EQ(settings.UpperTail, 1);
}

TEST(RunSettings, SizeTextsMustBeWholeNumbersInRange) {
  struct Case {
    const char* rows;
    const char* cols;
    std::uint32_t number;  // 0: accepted
  };
  for (const Case& c : {Case{"10", "12", 0}, Case{" 20 ", "2", 0}, Case{"abc", "10", RunSettingsError::TypeMismatch},
                        Case{"10", "", RunSettingsError::TypeMismatch}, Case{"12abc", "10", RunSettingsError::TypeMismatch},
                        Case{"3000000000", "10", RunSettingsError::Overflow},
                        Case{"1", "10", RunSettingsError::Overflow}, Case{"10", "1", RunSettingsError::Overflow},
                        // 65536 x 65536 cells would wrap a 32-bit count and cannot be held
                        Case{"65536", "65536", RunSettingsError::OutOfMemory},
                        Case{"2147483647", "2147483647", RunSettingsError::OutOfMemory}}) {
    RunSettings settings;
    FixedRunInputs inputs;
    inputs.Rows = c.rows;
    inputs.Cols = c.cols;
    if (c.number == 0) {
      EXPECT_NO_THROW(LoadRunSettings(settings, inputs)) << c.rows << " x " << c.cols;
    } else {
      try {
        LoadRunSettings(settings, inputs);
        ADD_FAILURE() << c.rows << " x " << c.cols << " was accepted";
      } catch (const RunSettingsError& e) {
        EXPECT_EQ(e.Number(), c.number) << c.rows << " x " << c.cols << ": " << e.what();
        EXPECT_STRNE(e.what(), "");
      }
    }
  }
}

TEST(RunSettings, LastSelectedHypothesisAndLevelWin) {
  RunSettings settings;
  MainWindowChoices c;
  c.optH01 = true;
  c.optH03 = true;
  c.chkAIn = true;
  c.optAIn0 = true;
  c.optAIn100 = true;
  TakeMainWindowChoices(settings, c);
  EXPECT_EQ(settings.NullHypothesis, SpeciesEquivalent);
  EXPECT_EQ(settings.AssumedLevel, 3);
  EXPECT_TRUE(settings.AssumeInteractionLevel);

  TakeMainWindowChoices(settings, MainWindowChoices{false, false, false, false, false, false, false, false, false});
  EXPECT_EQ(settings.NullHypothesis, NoHypothesis);
  EXPECT_EQ(settings.AssumedLevel, 0);
  EXPECT_FALSE(settings.AssumeInteractionLevel);
}

TEST(RunSettings, ChoicesTheMainWindowRulesOutAreRefused) {
  auto choices = [](int h, bool siEq, bool spEq, int level) {
    MainWindowChoices c{h == 1, h == 2, h == 3, siEq, spEq, level != 0, level == 1, level == 2, level == 3};
    return c;
  };
  EXPECT_EQ(RefuseChoices(choices(1, true, true, 0)), "");
  EXPECT_EQ(RefuseChoices(choices(2, false, true, 2)), "");
  EXPECT_EQ(RefuseChoices(choices(3, true, false, 3)), "");
  EXPECT_NE(RefuseChoices(choices(0, false, false, 0)), "");
  EXPECT_NE(RefuseChoices(choices(1, false, false, 1)), "");
  EXPECT_NE(RefuseChoices(choices(2, true, false, 0)), "");
  EXPECT_NE(RefuseChoices(choices(3, false, true, 0)), "");
  MainWindowChoices noLevel = choices(2, false, false, 0);
  noLevel.chkAIn = true;
  EXPECT_NE(RefuseChoices(noLevel), "");
}

}  // namespace
}  // namespace tessil
