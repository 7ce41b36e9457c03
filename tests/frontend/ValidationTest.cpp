#include <gtest/gtest.h>

#include "Validation.h"

namespace tessil {
namespace {

struct TextCase {
  const char* typed;
  const char* shown;    // the text written back when accepted
  const char* refusal;  // nullptr when accepted
};

void ExpectChecks(Checked (*check)(std::string_view), std::initializer_list<TextCase> cases) {
  for (const TextCase& c : cases) {
    const Checked got = check(c.typed);
    if (c.refusal == nullptr) {
      EXPECT_TRUE(got.Accepted()) << c.typed << ": " << got.Refusal;
      EXPECT_EQ(got.Text, c.shown) << c.typed;
    } else {
      EXPECT_EQ(got.Refusal, c.refusal) << c.typed;
      EXPECT_EQ(got.Text, c.typed) << "a refused text stays as typed";
    }
  }
}

TEST(Validation, MatrixSizesRoundHalvesToEvenAndNeedTwo) {
  ExpectChecks([](std::string_view t) { return CheckMatrixSize(t, true); },
               {{"2.5", "2", nullptr},
                {"3.5", "4", nullptr},
                {"12abc", "12", nullptr},
                {" 1 0", "10", nullptr},
                {"1e2", "100", nullptr},
                {"&H10", "16", nullptr},
                {"2.4", "2", nullptr},
                {"1.99", nullptr, "Error 05: Matrix must have at least 2 rows."},
                {"1", nullptr, "Error 05: Matrix must have at least 2 rows."},
                {"abc", nullptr, "Error 05: Matrix must have at least 2 rows."},
                {"-5", nullptr, "Error 05: Matrix must have at least 2 rows."}});
  EXPECT_EQ(CheckMatrixSize("0", false).Refusal, "Error 04: Matrix must have at least 2 columns.");
  EXPECT_FALSE(CheckMatrixSize("1e12", true).Accepted());
}

TEST(Validation, EcoSimIterationsBetweenOneAndFiftyThousand) {
  ExpectChecks(&CheckEcoSimIterations, {{"50000", "50000", nullptr},
                                        {"2.5", "2.5", nullptr},
                                        {"1e3", "1000", nullptr},
                                        {"0250", "250", nullptr},
                                        {"1 000", "1000", nullptr},
                                        {"1", "1", nullptr},
                                        {"100 matrices", "100", nullptr},
                                        {"50001", nullptr, "Error 06: Number of iterations cannot exceed 50000."},
                                        {"0", nullptr, "Error 01: At least 1 iteration required."},
                                        {"0.5", nullptr, "Error 01: At least 1 iteration required."},
                                        {"abc", nullptr, "Error 01: At least 1 iteration required."}});
}

TEST(Validation, EcoSimSeedIsNonnegative) {
  ExpectChecks(&CheckEcoSimSeed, {{"0", "0", nullptr},
                                  {"123456789", "123456789", nullptr},
                                  {"7.25", "7.25", nullptr},
                                  {"-1", nullptr, "Error 08: Random seed must be nonnegative."}});
}

TEST(Validation, SimulationOptionsAsTheDialogStoresThem) {
  struct Case {
    const char* iterations;
    const char* seed;
    bool asks;
    const char* refusal;
    std::int32_t storedIterations, storedSeed;
  };
  for (const Case& c :
       {Case{"250", "7", false, "", 250, 7}, Case{"100", "0", false, "", 100, 0}, Case{"99", "0", true, "", 99, 0},
        Case{"2.5", "0", true, "", 2, 0}, Case{"3.5", "0", true, "", 4, 0}, Case{"0.4", "0", true, "", 0, 0},
        Case{"0", "0", false, "Error 07: Number of iterations must be an integer greater than 0.", 0, 0},
        Case{"-5", "0", false, "Error 07: Number of iterations must be an integer greater than 0.", 0, 0},
        Case{"abc", "0", false, "Error 07: Number of iterations must be an integer greater than 0.", 0, 0},
        Case{"50", "-1", true, "Random seed must be an integer greater than 0", 0, 0},
        Case{"100", "2.5", false, "", 100, 2},
        Case{"3e9", "0", false, "The number of iterations cannot exceed 2147483647.", 0, 0}}) {
    const SimulationOptions got = CheckSimulationOptions(c.iterations, c.seed);
    EXPECT_EQ(got.AsksToContinue, c.asks) << c.iterations;
    EXPECT_EQ(got.Refusal, c.refusal) << c.iterations << " / " << c.seed;
    if (got.Refusal.empty()) {
      EXPECT_EQ(got.NumIterations, c.storedIterations) << c.iterations;
      EXPECT_EQ(got.RandomSeed, c.storedSeed) << c.seed;
    }
  }
}

TEST(Validation, TestSummaryFollowsTheDialogsControlOrder) {
  EXPECT_EQ(BuildTestSummary(EcoSimTestOptions{}),
            "Fixed-Fixed Randomization Algorithm: Sequential Swap\r\n"
            "Degenerate Matrices: Retain\r\n"
            "Column Constraints: Equiprobable\r\n"
            "Row Constraints: Fixed Sum\r\n"
            "Co-occurrence Index: C-score\r\n"
            "Number of iterations: 100\r\n"
            "Random Number Seed: 0");
  EcoSimTestOptions o;
  o.Index = CooccurrenceIndex::VRatio;
  o.EmptySites = EmptySiteTreatment::Include;
  const std::string summary = BuildTestSummary(o);
  EXPECT_EQ(summary.rfind("Empty Sites: Include\r\nFixed-Fixed Randomization Algorithm: Sequential Swap\r\n", 0), 0u);
  EXPECT_NE(summary.find("Co-occurrence Index: V-ratio\r\n"), std::string::npos);
  // A choice kept for another index is not summarised.
  o.Index = CooccurrenceIndex::Checkerboards;
  EXPECT_EQ(BuildTestSummary(o).find("Empty Sites"), std::string::npos);
}

TEST(Validation, AStudyMustFitItsMemoryLimitAndTheRunsCounter) {
  const std::uint64_t gib = std::uint64_t{1} << 30;
  EXPECT_EQ(StudyMemoryLimit(0), 2 * gib);  // unknown memory: the stated limit
  EXPECT_EQ(StudyMemoryLimit(64 * gib), 2 * gib);
  EXPECT_EQ(StudyMemoryLimit(3 * gib), 3 * gib / 2);

  // 2600 bytes hold 100 cells at 26 bytes each.
  EXPECT_EQ(RefuseMatrixSize(10, 10, 2600), "");
  EXPECT_EQ(RefuseMatrixSize(2, 50, 2600), "");
  EXPECT_EQ(RefuseMatrixSize(10, 11, 2600),
            "A matrix of 10 rows x 11 columns is too large: it has 110 cells, and a study can hold at most 100 cells "
            "(rows x columns, such as 10 x 10) in 0 MiB of memory.");
  EXPECT_EQ(RefuseMatrixSize(9088, 9088, 2 * gib), "");
  EXPECT_EQ(RefuseMatrixSize(2147483647, 2147483647, 2 * gib),
            "A matrix of 2147483647 rows x 2147483647 columns is too large: it has 4611686014132420609 cells, and a "
            "study can hold at most 82595524 cells (rows x columns, such as 9088 x 9088) in 2 GiB of memory.");
  EXPECT_NE(RefuseMatrixSize(9088, 9089, 2 * gib), "");
  EXPECT_NE(RefuseMatrixSize(6000, 6000, 3 * gib / 2 / 2).find("in 768 MiB of memory"), std::string::npos);
  EXPECT_NE(RefuseMatrixSize(9088, 9089, 3 * gib / 2).find("in 1.5 GiB of memory"), std::string::npos);

  EXPECT_EQ(RefuseMatrixCount(36, 59652323), "");
  EXPECT_EQ(RefuseMatrixCount(36, 59652324),
            "The number of iterations is too large: 36 arguments x 59652324 matrices are more than one run can count "
            "(2147483647); this study takes at most 59652323 matrices per argument.");
  EXPECT_EQ(RefuseMatrixCount(1, 2147483647), "");
}

}  // namespace
}  // namespace tessil
