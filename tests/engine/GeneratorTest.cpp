#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "Distribution_Functions.h"
#include "Kernel_Procedures.h"

namespace tessil {
namespace {

// A frequency estimated from n independent draws of probability p lies within
// four binomial standard deviations with probability above 0.9999; with a few
// hundred cells checked per test the chance of a false alarm stays below 1 %.
double FourSigma(double p, int n) { return 4.0 * std::sqrt(p * (1 - p) / n) + 1e-12; }

// The single-precision probability a cell is actually drawn against.
double Drawn(double q) { return static_cast<double>(static_cast<float>(q)); }

TEST(RandomStream, SameSeedSameNumbersAndResetMatters) {
  RandomStream a;
  RandomStream b;
  SeedRandomStream(a, 12345);
  b.NextSingle();  // an earlier run left the stream elsewhere
  SeedRandomStream(b, 12345);
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(a.NextSingle(), b.NextSingle());

  SeedRandomStream(a, 1);
  SeedRandomStream(b, 2);
  int same = 0;
  for (int k = 0; k < 1000; ++k) same += a.NextSingle() == b.NextSingle();
  EXPECT_LT(same, 5);
}

TEST(RandomStream, NumbersAreUniformOnTheUnitInterval) {
  RandomStream s;
  SeedRandomStream(s, 0);
  const int n = 200000;
  int bins[10] = {};
  for (int k = 0; k < n; ++k) {
    const float x = s.NextSingle();
    ASSERT_GE(x, 0.0f);
    ASSERT_LT(x, 1.0f);
    ++bins[static_cast<int>(x * 10)];
  }
  for (int b : bins) EXPECT_NEAR(b / static_cast<double>(n), 0.1, FourSigma(0.1, n));
}

TEST(Generator, WithoutInteractionEachCellIsOneExactlyWhenItsProbabilityExceedsItsDraw) {
  const OccupancyMatrix p = BuildOccupancyMatrix(12, 5, 6);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 99);
  for (int draw = 0; draw < 50; ++draw) {
    RandomStream replay = stream;
    const GeneratedMatrix g = GenerateMatrix(p, c, 0.0, stream);
    for (int i = 1; i <= 5; ++i)
      for (int j = 1; j <= 6; ++j) {
        const float x = replay.NextSingle();
        ASSERT_EQ(g.Matrix(i, j), static_cast<float>(p(i, j)) > x ? 1 : 0) << i << "," << j;
      }
  }
}

TEST(Generator, CellFrequenciesMatchTheirProbabilities) {
  const int n = 20000;
  for (int scenario : {5, 12}) {
    const OccupancyMatrix p = BuildOccupancyMatrix(scenario, 5, 5);
    const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
    RandomStream stream;
    SeedRandomStream(stream, scenario);
    std::vector<int> ones(25, 0);
    for (int k = 0; k < n; ++k) {
      const GeneratedMatrix g = GenerateMatrix(p, c, 0.0, stream);
      for (int i = 1; i <= 5; ++i)
        for (int j = 1; j <= 5; ++j) ones[static_cast<std::size_t>((i - 1) * 5 + j - 1)] += g.Matrix(i, j);
    }
    for (int i = 1; i <= 5; ++i)
      for (int j = 1; j <= 5; ++j) {
        const double q = Drawn(p(i, j));
        EXPECT_NEAR(ones[static_cast<std::size_t>((i - 1) * 5 + j - 1)] / static_cast<double>(n), q, FourSigma(q, n))
            << "scenario " << scenario << " cell " << i << "," << j;
      }
  }
}

TEST(Generator, InteractingSpeciesKeepTheirScenarioOccupancyOnAverage) {
  // Six rows put the pair (3, 4) across the boundary of the row halves, so the
  // adjusted pairs of scenarios 11 and 12 are drawn too.
  const int n = 6000;
  for (int scenario = 1; scenario <= 12; ++scenario) {
    const OccupancyMatrix p = BuildOccupancyMatrix(scenario, 6, 4);
    const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
    RandomStream stream;
    SeedRandomStream(stream, 1000 + scenario);
    std::vector<int> ones(24, 0);
    for (int k = 0; k < n; ++k) {
      const GeneratedMatrix g = GenerateMatrix(p, c, 1.0, stream);
      for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 4; ++j) ones[static_cast<std::size_t>((i - 1) * 4 + j - 1)] += g.Matrix(i, j);
    }
    for (int i = 1; i <= 6; ++i)
      for (int j = 1; j <= 4; ++j) {
        const double v = p(i, j);
        EXPECT_NEAR(ones[static_cast<std::size_t>((i - 1) * 4 + j - 1)] / static_cast<double>(n), v,
                    FourSigma(v, n) + 1e-6)
            << "scenario " << scenario << " cell " << i << "," << j;
      }
  }
}

TEST(Generator, PairedSpeciesSegregateTwiceAsOftenWhereThePartnerIsAbsent) {
  // Scenario 2, all species interacting: the even species is drawn against
  // 1/3 where its partner occurs and 2/3 where it does not.
  const OccupancyMatrix p = BuildOccupancyMatrix(2, 4, 4);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 5);
  int present = 0, presentOnes = 0, absent = 0, absentOnes = 0;
  for (int k = 0; k < 20000; ++k) {
    const GeneratedMatrix g = GenerateMatrix(p, c, 1.0, stream);
    for (int i : {2, 4})
      for (int j = 1; j <= 4; ++j) {
        if (g.Matrix(i - 1, j)) {
          ++present;
          presentOnes += g.Matrix(i, j);
        } else {
          ++absent;
          absentOnes += g.Matrix(i, j);
        }
      }
  }
  EXPECT_NEAR(presentOnes / static_cast<double>(present), 1.0 / 3, FourSigma(1.0 / 3, present));
  EXPECT_NEAR(absentOnes / static_cast<double>(absent), 2.0 / 3, FourSigma(2.0 / 3, absent));
}

TEST(ConditionalOccupancy, PairsComeOutAsTheAdjustmentTableLists) {
  struct Case {
    int scenario;
    int row, col;  // an even row and a column of a 6 x 4 matrix
    double u, v, present, absent;
  };
  const Case cases[] = {
      {7, 6, 1, 0.8, 0.8, 1.0, 0.0},               // inside a 0.8 block
      {3, 2, 1, 0.9, 0.9, 1.0, 0.0},               // inside a 0.9 block
      {12, 4, 3, 0.8, 0.9, 1.0, 0.5},              // scenario 12, right columns, across the halves
      {2, 2, 1, 0.5, 0.5, 1.0 / 3, 2.0 / 3},       // unadjusted
      {1, 2, 1, 0.1, 0.1, 0.1 / 1.9, 0.2 / 1.9},   // unadjusted, rare
      {11, 4, 1, 0.1, 0.9, 0.9 / 1.9, 1.8 / 1.9},  // scenario 11 across the halves keeps ratio 2
  };
  for (const Case& k : cases) {
    const OccupancyMatrix p = BuildOccupancyMatrix(k.scenario, 6, 4);
    ASSERT_EQ(p(k.row - 1, k.col), k.u);
    ASSERT_EQ(p(k.row, k.col), k.v);
    const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
    const ConditionalPair& pair = c(k.row, k.col);
    EXPECT_NEAR(pair.IfPartnerPresent, k.present, 1e-12) << "scenario " << k.scenario;
    EXPECT_NEAR(pair.IfPartnerAbsent, k.absent, 1e-12) << "scenario " << k.scenario;
    EXPECT_NEAR(k.u * pair.IfPartnerPresent + (1 - k.u) * pair.IfPartnerAbsent, k.v, 1e-12);
    // In single precision the certain cases are exactly certain.
    if (k.present == 1.0) {
      EXPECT_EQ(static_cast<float>(pair.IfPartnerPresent), 1.0f);
    }
  }
  // Odd rows are never filled.
  const ConditionalOccupancy c = BuildConditionalOccupancy(BuildOccupancyMatrix(2, 5, 3), 2.0);
  for (int i : {1, 3, 5})
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(c(i, j), ConditionalPair{});
}

TEST(Generator, CommonSpeciesPairsCopyTheirPartnerAndStillDrawEveryCell) {
  const OccupancyMatrix p = BuildOccupancyMatrix(3, 7, 9);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 3);
  for (int k = 0; k < 200; ++k) {
    const std::uint64_t before = stream.Drawn();
    const GeneratedMatrix g = GenerateMatrix(p, c, 1.0, stream);
    ASSERT_EQ(stream.Drawn() - before, 63u);
    for (int i : {2, 4, 6})
      for (int j = 1; j <= 9; ++j) ASSERT_EQ(g.Matrix(i, j), g.Matrix(i - 1, j));
  }
}

TEST(Generator, OnlyEvenRowsUpToTheLimitInteract) {
  // With 0.9 everywhere an interacting species copies its partner; a free one
  // differs from the row above in about 18 % of its cells.
  struct Case {
    int rows;
    std::vector<int> interacting;
    std::vector<int> free;
  };
  for (const Case& k : {Case{10, {2, 4}, {6, 8, 10}}, Case{12, {2, 4, 6}, {8, 10, 12}}, Case{7, {2}, {4, 6}}}) {
    const OccupancyMatrix p = BuildOccupancyMatrix(3, k.rows, 20);
    const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
    RandomStream stream;
    SeedRandomStream(stream, k.rows);
    std::vector<int> differing(static_cast<std::size_t>(k.rows) + 1, 0);
    for (int draw = 0; draw < 50; ++draw) {
      const GeneratedMatrix g = GenerateMatrix(p, c, 0.5, stream);
      for (int i = 2; i <= k.rows; i += 2)
        for (int j = 1; j <= 20; ++j) differing[static_cast<std::size_t>(i)] += g.Matrix(i, j) != g.Matrix(i - 1, j);
    }
    for (int i : k.interacting) EXPECT_EQ(differing[static_cast<std::size_t>(i)], 0) << k.rows << " rows, row " << i;
    for (int i : k.free) EXPECT_GT(differing[static_cast<std::size_t>(i)], 50) << k.rows << " rows, row " << i;
  }
}

TEST(Generator, CertainAndImpossibleCells) {
  OccupancyMatrix p(3, 3);
  for (int j = 1; j <= 3; ++j) p(1, j) = 1.0, p(2, j) = 0.0, p(3, j) = 1.0;
  const ConditionalOccupancy c(3, 3);
  RandomStream stream;
  SeedRandomStream(stream, 0);
  for (int k = 0; k < 500; ++k) {
    const GeneratedMatrix g = GenerateMatrix(p, c, 0.0, stream);
    for (int j = 1; j <= 3; ++j) {
      ASSERT_EQ(g.Matrix(1, j), 1);
      ASSERT_EQ(g.Matrix(2, j), 0);
    }
    ASSERT_EQ(g.OccupiedSpecies, 2);
  }
}

TEST(Generator, SameSeedSameMatricesInSameOrder) {
  const OccupancyMatrix p = BuildOccupancyMatrix(10, 8, 8);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream a, b;
  SeedRandomStream(a, 77);
  SeedRandomStream(b, 77);
  for (int k = 0; k < 100; ++k) {
    const double proportion = InteractionProportion(1 + k % 3);
    ASSERT_EQ(GenerateMatrix(p, c, proportion, a).Matrix, GenerateMatrix(p, c, proportion, b).Matrix);
  }
}

PresenceAbsenceMatrix FromRows(std::initializer_list<std::initializer_list<int>> rows) {
  PresenceAbsenceMatrix m(static_cast<std::int32_t>(rows.size()), static_cast<std::int32_t>(rows.begin()->size()));
  int i = 1;
  for (auto& row : rows) {
    int j = 1;
    for (int v : row) m(i, j++) = static_cast<std::int16_t>(v);
    ++i;
  }
  return m;
}

TEST(CheckerboardPair, NestedRowsHaveNoneOppositeRowsHaveOne) {
  EXPECT_FALSE(HasCheckerboardPair(FromRows({{1, 1, 1, 0}, {1, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}})));
  EXPECT_FALSE(HasCheckerboardPair(FromRows({{1, 0, 1}, {1, 0, 1}})));
  EXPECT_TRUE(HasCheckerboardPair(FromRows({{1, 0}, {0, 1}})));
  EXPECT_TRUE(HasCheckerboardPair(FromRows({{1, 1, 1}, {0, 0, 1}, {1, 1, 0}})));
  EXPECT_FALSE(HasCheckerboardPair(FromRows({{0, 0}, {0, 0}})));
}

TEST(CheckerboardPair, AgreesWithASearchForSwappableSubmatrices) {
  std::mt19937 rng(4);
  for (int k = 0; k < 2000; ++k) {
    const int rows = 2 + static_cast<int>(rng() % 4);
    const int cols = 2 + static_cast<int>(rng() % 4);
    PresenceAbsenceMatrix m(rows, cols);
    for (int i = 1; i <= rows; ++i)
      for (int j = 1; j <= cols; ++j) m(i, j) = static_cast<std::int16_t>(rng() % 3 == 0);
    bool found = false;
    for (int a = 1; a <= rows; ++a)
      for (int b = a + 1; b <= rows; ++b)
        for (int x = 1; x <= cols; ++x)
          for (int y = 1; y <= cols; ++y)
            found = found || (m(a, x) == 1 && m(b, x) == 0 && m(a, y) == 0 && m(b, y) == 1);
    ASSERT_EQ(HasCheckerboardPair(m), found);
  }
}

TEST(OccupiedSpecies, CountsRowsWithAnOccurrence) {
  EXPECT_EQ(OccupiedSpecies(FromRows({{0, 0}, {0, 0}, {0, 0}})), 0);
  EXPECT_EQ(OccupiedSpecies(FromRows({{0, 0}, {0, 1}, {0, 0}})), 1);
  EXPECT_EQ(OccupiedSpecies(FromRows({{1, 0}, {0, 1}, {1, 1}})), 3);
  // The generator's own count agrees.
  const OccupancyMatrix p = BuildOccupancyMatrix(1, 6, 3);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 8);
  for (int k = 0; k < 300; ++k) {
    const GeneratedMatrix g = GenerateMatrix(p, c, 1.0, stream);
    ASSERT_EQ(g.OccupiedSpecies, OccupiedSpecies(g.Matrix));
  }
}

}  // namespace
}  // namespace tessil
