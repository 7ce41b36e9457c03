// The matrix type, the random stream and the four indices.
#include <gtest/gtest.h>

#include <set>

#include "CooccurrenceTestSupport.h"
#include "Indices.h"
#include "RandomBits.h"

namespace tessil::cooc {
namespace {

using support::FromRows;

TEST(Incidence, SelectBitFindsEveryRank) {
  const std::uint64_t words[] = {0x1u, 0x8000000000000001u, 0xF0F0F0F0F0F0F0F0u, ~std::uint64_t{0},
                                 0x0000100000020000u};
  for (const std::uint64_t x : words) {
    int rank = 0;
    for (int bit = 0; bit < 64; ++bit) {
      if (((x >> bit) & 1u) != 0) {
        EXPECT_EQ(SelectBit(x, rank), bit) << std::hex << x << " rank " << std::dec << rank;
        ++rank;
      }
    }
  }
}

TEST(RandomBits, StreamDependsOnlyOnSeedValueAndOrdinal) {
  const auto first = [](double seed, std::uint64_t ordinal) { return RandomBits::ForTest(seed, ordinal).Next(); };
  EXPECT_EQ(first(7, 3), first(7.0, 3));
  EXPECT_EQ(first(0.0, 0), first(-0.0, 0));
  std::set<std::uint64_t> distinct;
  for (const double seed : {0.0, 1.0, -1.0, 2.0, 0.5, 1e300, 4294967296.0}) {
    for (std::uint64_t ordinal = 0; ordinal < 4; ++ordinal) {
      distinct.insert(first(seed, ordinal));
    }
  }
  EXPECT_EQ(distinct.size(), 28u);
}

TEST(RandomBits, BoundedIntegersAreUniform) {
  // 70,000 draws over 7 values: each count has sd sqrt(10000 * 6/7) ~ 93;
  // chi-square with 6 df at z = 4.75 (~1e-6) is ~40, while a modulo bias or
  // an off-by-one bound moves it into the thousands.
  RandomBits rng(42);
  std::vector<double> counts(7, 0.0);
  for (int t = 0; t < 70000; ++t) {
    const std::uint64_t v = rng.Below(7);
    ASSERT_LT(v, 7u);
    counts[v] += 1;
  }
  EXPECT_LT(support::ChiSquare(counts, std::vector<double>(7, 10000.0)), support::ChiSquareBound(6, 4.75));
  // A bound near 2^63 splits the draws evenly about its half.
  const std::uint64_t big = (std::uint64_t{1} << 63) + 12345;
  int low = 0;
  for (int t = 0; t < 10000; ++t) {
    const std::uint64_t v = rng.Below(big);
    ASSERT_LT(v, big);
    low += v < big / 2 ? 1 : 0;
  }
  EXPECT_NEAR(low, 5000, 250);  // 5 sd
  for (int t = 0; t < 1000; ++t) {
    const double u = rng.Unit();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
}

// 3 species x 5 sites, rows 11000 / 01100 / 10110: site totals 2, 2, 2, 1, 0.
Incidence WorkedExample() { return FromRows({"11000", "01100", "10110"}); }

struct IndexCase {
  const char* name;
  IndexKind kind;
  bool include_empty;
  std::uint64_t num, den;
};

TEST(Indices, WorkedExample) {
  const IndexCase cases[] = {
      {"C-score", IndexKind::CScore, false, 5, 3},
      {"checkerboards", IndexKind::Checkerboards, false, 0, 1},
      {"combinations, empty sites excluded", IndexKind::Combinations, false, 4, 1},
      {"combinations, empty sites included", IndexKind::Combinations, true, 5, 1},
      {"V-ratio, empty sites excluded", IndexKind::VRatio, false, 3, 11},
      {"V-ratio, empty sites included", IndexKind::VRatio, true, 8, 9},
  };
  IndexEvaluator evaluator;
  for (const IndexCase& c : cases) {
    const std::optional<Fraction> v = evaluator.Evaluate(c.kind, WorkedExample(), SiteRule{c.include_empty});
    ASSERT_TRUE(v) << c.name;
    EXPECT_EQ(Compare(*v, Fraction{c.num, c.den}), 0) << c.name << ": " << v->Num << "/" << v->Den;
  }
}

TEST(Indices, PairIndicesIgnoreSpeciesThatDoNotOccur) {
  // Two disjoint species and an absent one: one checkerboard pair, C-score
  // (2 * 3) over that single pair; the absent species adds no pair.
  const Incidence m = FromRows({"110000", "000000", "001110"});
  IndexEvaluator evaluator;
  EXPECT_EQ(Compare(*evaluator.Evaluate(IndexKind::CScore, m), Fraction{6, 1}), 0);
  EXPECT_EQ(Compare(*evaluator.Evaluate(IndexKind::Checkerboards, m), Fraction{1, 1}), 0);
}

TEST(Indices, SplitSitesStopCountingWhileSitesEmptyFromTheStartStillCount) {
  // Sites 2 and 4 are empty; only site 4 was empty in the observed matrix.
  const Incidence m = FromRows({"11000", "01010", "10010"});
  const std::vector<bool> empty_at_start = {false, false, false, false, true};
  IndexEvaluator evaluator;
  const SiteRule split{true, &empty_at_start};
  // Compositions {0,2}, {0,1}, {1,2} and the empty one of site 4.
  EXPECT_EQ(evaluator.Evaluate(IndexKind::Combinations, m, split)->Num, 4u);
  EXPECT_EQ(evaluator.Evaluate(IndexKind::Combinations, m, SiteRule{true})->Num, 4u);
  EXPECT_EQ(evaluator.Evaluate(IndexKind::Combinations, m, SiteRule{false})->Num, 3u);
  // Site totals 2, 2, 0, 2, 0 with r = 2, 2, 2. Counting sites 0, 1, 3, 4:
  // N = 4, V = (4 * 12 - 36) / (3 * 2 * 2) = 12 / 12.
  EXPECT_EQ(Compare(*evaluator.Evaluate(IndexKind::VRatio, m, split), Fraction{1, 1}), 0);
  // All five: (5 * 12 - 36) / (3 * 2 * 3) = 24 / 18.
  EXPECT_EQ(Compare(*evaluator.Evaluate(IndexKind::VRatio, m, SiteRule{true}), Fraction{4, 3}), 0);
}

TEST(Indices, UndefinedWithoutTwoOccurringSpeciesOrSpeciesVariance) {
  IndexEvaluator evaluator;
  const Incidence single = FromRows({"0110", "0000"});
  EXPECT_FALSE(evaluator.Evaluate(IndexKind::CScore, single));
  EXPECT_FALSE(evaluator.Evaluate(IndexKind::Checkerboards, single));
  EXPECT_FALSE(evaluator.Evaluate(IndexKind::CScore, Incidence(0, 0)));
  // Both species at both occupied sites: no variance once the empty sites
  // are excluded, some once they are included.
  const Incidence full = FromRows({"1100", "1100"});
  EXPECT_FALSE(evaluator.Evaluate(IndexKind::VRatio, full, SiteRule{false}));
  EXPECT_TRUE(evaluator.Evaluate(IndexKind::VRatio, full, SiteRule{true}));
  EXPECT_EQ(evaluator.Evaluate(IndexKind::Combinations, Incidence(2, 3), SiteRule{true})->Num, 1u);
  EXPECT_EQ(evaluator.Evaluate(IndexKind::Combinations, Incidence(2, 3), SiteRule{false})->Num, 0u);
}

TEST(Indices, CombinationsCompareWholeCompositionsOfManySpecies) {
  // 70 species: the compositions differ only in species 69, beyond the first word.
  Incidence m(70, 3);
  for (int i = 0; i < 70; ++i) {
    m.Set(i, 0, true);
    m.Set(i, 1, true);
    m.Set(i, 2, i != 69);
  }
  IndexEvaluator evaluator;
  EXPECT_EQ(evaluator.Evaluate(IndexKind::Combinations, m)->Num, 2u);
  m.Set(69, 2, true);
  EXPECT_EQ(evaluator.Evaluate(IndexKind::Combinations, m)->Num, 1u);
}

TEST(Fraction, ComparisonIsExactWhereDoublesTie) {
  // 1/3 and 6004799503160661/18014398509481984 are the same double.
  const Fraction third{1, 3};
  const Fraction near{6004799503160661u, 18014398509481984u};
  ASSERT_EQ(third.Value(), near.Value());
  EXPECT_EQ(Compare(third, near), 1);
  EXPECT_EQ(Compare(near, third), -1);
  EXPECT_EQ(Compare(Fraction{10, 6}, Fraction{5, 3}), 0);
  EXPECT_EQ(Compare(Fraction{~std::uint64_t{0}, 2}, Fraction{~std::uint64_t{0} - 1, 2}), 1);
}

}  // namespace
}  // namespace tessil::cooc
