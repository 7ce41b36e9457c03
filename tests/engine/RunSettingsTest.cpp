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
  settings.NullHypothesis = Hypothesis::SitesEquivalent;
  settings.AssumeSpeciesEquivalent = true;
  settings.AssumedLevel = InteractionLevel::Half;
  ResetRunSettings(settings);
  EXPECT_EQ(settings.NumRows, 0);
  EXPECT_EQ(settings.NumCols, 0);
  EXPECT_EQ(settings.UpperTail, 0);
  EXPECT_EQ(settings.StartTime, 0.0);
  EXPECT_EQ(settings.NumArguments, 0);
  EXPECT_EQ(settings.TestsDone, 0);
  EXPECT_EQ(settings.NumIterations, 250);
  EXPECT_EQ(settings.RandomSeed, 7);
  EXPECT_EQ(settings.NullHypothesis, Hypothesis::SitesEquivalent);
  EXPECT_TRUE(settings.AssumeSpeciesEquivalent);
  EXPECT_EQ(settings.AssumedLevel, InteractionLevel::Half);
}

TEST(RunSettings, TailFollowsTheIndex) {
  struct Case {
    CooccurrenceIndex index;
    int tail;
  };
  for (const Case& c : {Case{CooccurrenceIndex::CScore, 1}, Case{CooccurrenceIndex::Checkerboards, 1},
                        Case{CooccurrenceIndex::Combinations, 0}, Case{CooccurrenceIndex::VRatio, 0}}) {
    for (int before : {0, 1}) {
      RunSettings settings;
      settings.UpperTail = static_cast<std::int16_t>(before);
      FixedRunInputs inputs;
      inputs.Options.Index = c.index;
      LoadRunSettings(settings, inputs);
      EXPECT_EQ(settings.UpperTail, c.tail) << Caption(c.index);
    }
  }
}

TEST(RunSettings, SizeTextsMustBeWholeNumbersInRange) {
  struct Case {
    const char* rows;
    const char* cols;
    std::uint32_t number;  // 0: accepted
  };
  for (const Case& c :
       {Case{"10", "12", 0}, Case{" 20 ", "2", 0}, Case{"abc", "10", RunSettingsError::TypeMismatch},
        Case{"10", "", RunSettingsError::TypeMismatch}, Case{"12abc", "10", RunSettingsError::TypeMismatch},
        Case{"3000000000", "10", RunSettingsError::Overflow}, Case{"1", "10", RunSettingsError::Overflow},
        Case{"10", "1", RunSettingsError::Overflow},
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

TEST(RunSettings, TakesTheHypothesisAndTheAssumptions) {
  RunSettings settings;
  MainWindowChoices c;
  c.NullHypothesis = Hypothesis::SpeciesEquivalent;
  c.AssumeSitesEquivalent = true;
  c.AssumedLevel = InteractionLevel::All;
  TakeMainWindowChoices(settings, c);
  EXPECT_EQ(settings.NullHypothesis, Hypothesis::SpeciesEquivalent);
  EXPECT_TRUE(settings.AssumeSitesEquivalent);
  EXPECT_FALSE(settings.AssumeSpeciesEquivalent);
  EXPECT_EQ(settings.AssumedLevel, InteractionLevel::All);

  TakeMainWindowChoices(settings, MainWindowChoices{});
  EXPECT_EQ(settings.NullHypothesis, Hypothesis::NoInteractions);
  EXPECT_FALSE(settings.AssumeSitesEquivalent);
  EXPECT_FALSE(settings.AssumedLevel);
}

}  // namespace
}  // namespace tessil
