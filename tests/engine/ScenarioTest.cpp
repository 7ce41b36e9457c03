#include <gtest/gtest.h>

#include "Distribution_Functions.h"
#include "Kernel_Procedures.h"

namespace tessil {
namespace {

// Quadrants (upper-left, upper-right, lower-left, lower-right) as an ecologist
// reads the scenario table.
struct Expected {
  double ul, ur, ll, lr;
};
const Expected kScenarios[12] = {
    {0.1, 0.1, 0.1, 0.1}, {0.5, 0.5, 0.5, 0.5}, {0.9, 0.9, 0.9, 0.9}, {0.1, 0.3, 0.1, 0.3},
    {0.2, 0.8, 0.2, 0.8}, {0.1, 0.1, 0.3, 0.3}, {0.2, 0.2, 0.8, 0.8}, {0.8, 0.8, 0.2, 0.8},
    {0.9, 0.9, 0.1, 0.9}, {0.2, 0.8, 0.8, 0.2}, {0.1, 0.9, 0.9, 0.1}, {0.2, 0.8, 0.8, 0.9},
};

TEST(Scenarios, EveryCellFollowsItsQuadrantAtOddAndEvenSizes) {
  for (auto [rows, cols] : {std::pair{2, 2}, std::pair{5, 7}, std::pair{3, 3}, std::pair{10, 10}, std::pair{7, 2}}) {
    const int h = rows / 2;
    const int w = cols / 2;
    for (int s = 1; s <= 12; ++s) {
      const OccupancyMatrix p = BuildOccupancyMatrix(s, rows, cols);
      ASSERT_EQ(p.Rows(), rows);
      ASSERT_EQ(p.Cols(), cols);
      const Expected& e = kScenarios[s - 1];
      for (int i = 1; i <= rows; ++i) {
        for (int j = 1; j <= cols; ++j) {
          const double want = i <= h ? (j <= w ? e.ul : e.ur) : (j <= w ? e.ll : e.lr);
          EXPECT_EQ(p(i, j), want) << "scenario " << s << " " << rows << "x" << cols << " cell " << i << "," << j;
        }
      }
    }
  }
}

TEST(Scenarios, WorkedSizes) {
  const OccupancyMatrix s10 = BuildOccupancyMatrix(10, 2, 2);
  OccupancyMatrix diagonal(2, 2);
  diagonal(1, 1) = 0.2;
  diagonal(1, 2) = 0.8;
  diagonal(2, 1) = 0.8;
  diagonal(2, 2) = 0.2;
  EXPECT_EQ(s10, diagonal);
  const OccupancyMatrix s12 = BuildOccupancyMatrix(12, 2, 2);
  EXPECT_EQ(s12(2, 2), 0.9);
  EXPECT_EQ(s12(1, 1), 0.2);
  const OccupancyMatrix s8 = BuildOccupancyMatrix(8, 5, 7);
  for (int j = 1; j <= 7; ++j) {
    EXPECT_EQ(s8(1, j), 0.8);
    EXPECT_EQ(s8(2, j), 0.8);
    for (int i = 3; i <= 5; ++i) EXPECT_EQ(s8(i, j), j <= 3 ? 0.2 : 0.8);
  }
}

TEST(Scenarios, OutsideTheRangeEveryCellIsZero) {
  for (int s : {0, 13, -1}) {
    const OccupancyMatrix p = BuildOccupancyMatrix(s, 3, 4);
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 4; ++j) EXPECT_EQ(p(i, j), 0.0);
  }
}

TEST(Scenarios, InteractionProportions) {
  EXPECT_EQ(InteractionProportion(1), 0.0);
  EXPECT_EQ(InteractionProportion(2), 0.5);
  EXPECT_EQ(InteractionProportion(3), 1.0);
  EXPECT_EQ(InteractionProportion(0), 0.0);
  EXPECT_EQ(InteractionProportion(4), 0.0);
}

// Membership: the decision table, which must hold at every allowed size.
bool ExpectedInNull(int hypothesis, int scenario, int level) {
  switch (hypothesis) {
    case 1:
      return level == 1;
    case 2:
      return scenario <= 3 || scenario == 6 || scenario == 7;
    case 3:
      return scenario <= 5;
    default:
      return true;
  }
}

TEST(Membership, DecisionTableHoldsAtEverySize) {
  for (auto [rows, cols] : {std::pair{2, 2}, std::pair{50, 40}, std::pair{3, 5}, std::pair{7, 2}}) {
    for (int s = 1; s <= 12; ++s) {
      const OccupancyMatrix p = BuildOccupancyMatrix(s, rows, cols);
      for (int hypothesis = 1; hypothesis <= 3; ++hypothesis) {
        for (int level = 1; level <= 3; ++level) {
          EXPECT_EQ(InNullHypothesis(static_cast<Hypothesis>(hypothesis), level, p),
                    ExpectedInNull(hypothesis, s, level))
              << "H" << hypothesis << " scenario " << s << " level " << level << " at " << rows << "x" << cols;
        }
      }
    }
  }
}

TEST(Membership, LevelAndOccupancyHalves) {
  EXPECT_FALSE(NullAdmitsLevel(Hypothesis::NoInteractions, 2));
  EXPECT_FALSE(NullAdmitsLevel(Hypothesis::NoInteractions, 3));
  EXPECT_TRUE(NullAdmitsLevel(Hypothesis::NoInteractions, 1));
  EXPECT_TRUE(NullAdmitsLevel(Hypothesis::NoInteractions, 4));  // an unknown level has no interacting species
  EXPECT_TRUE(NullAdmitsLevel(Hypothesis::SitesEquivalent, 3));
  // Scenario 8's upper rows are constant, its lower rows are not.
  EXPECT_FALSE(NullAdmitsOccupancy(Hypothesis::SitesEquivalent, BuildOccupancyMatrix(8, 6, 6)));
  EXPECT_TRUE(NullAdmitsOccupancy(Hypothesis::NoInteractions, BuildOccupancyMatrix(12, 6, 6)));
}

}  // namespace
}  // namespace tessil
