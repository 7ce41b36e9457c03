// The null models with at least one free margin, the margins every model
// keeps, and the handling of degenerate null matrices.
#include <gtest/gtest.h>

#include <bit>
#include <iterator>
#include <memory>
#include <vector>

#include "CooccurrenceTestSupport.h"
#include "NullModels.h"

namespace tessil::cooc {
namespace {

using support::FromRows;

const char* Name(Margin m) {
  switch (m) {
    case Margin::Fixed:
      return "Fixed";
    case Margin::Equiprobable:
      return "Equiprobable";
    case Margin::Proportional:
      return "Proportional";
  }
  return "?";
}

struct Pair {
  Margin rows, cols;
  FixedFixedAlgorithm algorithm = FixedFixedAlgorithm::SequentialSwap;
};

// The eight constraint pairs with at least one free margin.
const Pair kFreePairs[] = {
    {Margin::Fixed, Margin::Equiprobable},        {Margin::Fixed, Margin::Proportional},
    {Margin::Equiprobable, Margin::Fixed},        {Margin::Proportional, Margin::Fixed},
    {Margin::Equiprobable, Margin::Equiprobable}, {Margin::Equiprobable, Margin::Proportional},
    {Margin::Proportional, Margin::Equiprobable}, {Margin::Proportional, Margin::Proportional},
};

std::unique_ptr<NullModel> Make(const Incidence& observed, const Pair& p) {
  if (p.rows != Margin::Fixed || p.cols != Margin::Fixed) {
    return MakeMarginSampler(observed, p.rows, p.cols);
  }
  switch (p.algorithm) {
    case FixedFixedAlgorithm::SequentialSwap:
      return std::make_unique<SequentialSwapModel>(observed, 500);
    case FixedFixedAlgorithm::IndependentSwap:
      return std::make_unique<IndependentSwapModel>(observed, 200);
    case FixedFixedAlgorithm::KnightsTour:
      return std::make_unique<KnightsTourModel>(observed);
  }
  return nullptr;
}

TEST(NullModels, EveryConstraintPairKeepsTheFillAndItsFixedMargins) {
  // 6 species x 70 sites, so every species' row spans two words; site 5 is
  // empty and species 3 absent, which a proportional margin must keep so.
  RandomBits make(11);
  Incidence observed = support::RandomMatrix(6, 70, 0.4, make);
  for (int i = 0; i < 6; ++i) {
    observed.Set(i, 5, false);
  }
  for (int k = 0; k < 70; ++k) {
    observed.Set(3, k, false);
  }
  const std::int64_t fill = observed.Fill();
  const std::vector<int> rows = observed.RowTotals();
  const std::vector<int> cols = observed.ColumnTotals();
  std::vector<Pair> pairs(std::begin(kFreePairs), std::end(kFreePairs));
  for (FixedFixedAlgorithm a :
       {FixedFixedAlgorithm::SequentialSwap, FixedFixedAlgorithm::IndependentSwap, FixedFixedAlgorithm::KnightsTour}) {
    pairs.push_back({Margin::Fixed, Margin::Fixed, a});
  }
  constexpr int draws = 200;
  for (const Pair& p : pairs) {
    SCOPED_TRACE(std::string("rows ") + Name(p.rows) + ", columns " + Name(p.cols) + ", algorithm " +
                 std::to_string(static_cast<int>(p.algorithm)));
    const auto model = Make(observed, p);
    RandomBits rng(5);
    std::vector<double> site_sum(70, 0.0), species_sum(6, 0.0);
    for (int d = 0; d < draws; ++d) {
      ASSERT_TRUE(model->Draw(rng));
      const Incidence& m = model->Current();
      ASSERT_EQ(m.Fill(), fill);
      for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(m.Row(i)[1] >> 6, 0u) << "a cell beyond the last site";
      }
      const std::vector<int> r = m.RowTotals();
      const std::vector<int> c = m.ColumnTotals();
      if (p.rows == Margin::Fixed) {
        ASSERT_EQ(r, rows);
      }
      if (p.cols == Margin::Fixed) {
        ASSERT_EQ(c, cols);
      }
      if (p.cols == Margin::Proportional) {
        ASSERT_EQ(c[5], 0);
      }
      if (p.rows == Margin::Proportional) {
        ASSERT_EQ(r[3], 0);
      }
      for (int k = 0; k < 70; ++k) site_sum[static_cast<std::size_t>(k)] += c[static_cast<std::size_t>(k)];
      for (int i = 0; i < 6; ++i) species_sum[static_cast<std::size_t>(i)] += r[static_cast<std::size_t>(i)];
    }
    // An equiprobable margin spreads the fill evenly. A site's total is at
    // most binomial(6, .) (sd <= 1.23), a species' at most binomial(70, .)
    // (sd <= 4.2); over 200 draws 5 sd of the mean are 0.43 and 1.5.
    for (int k = 0; k < 70 && p.cols == Margin::Equiprobable; ++k) {
      EXPECT_NEAR(site_sum[static_cast<std::size_t>(k)] / draws, static_cast<double>(fill) / 70, 0.44) << "site " << k;
    }
    for (int i = 0; i < 6 && p.rows == Margin::Equiprobable; ++i) {
      EXPECT_NEAR(species_sum[static_cast<std::size_t>(i)] / draws, static_cast<double>(fill) / 6, 1.5)
          << "species " << i;
    }
  }
}

// The chance that each item is among `count` items drawn one after another
// with probability proportional to the weights of those not yet drawn, by
// summing over every order of drawing (items <= 16).
std::vector<double> SuccessiveInclusion(const std::vector<double>& weights, int count) {
  const std::size_t items = weights.size();
  std::vector<double> reach(std::size_t{1} << items, 0.0);
  std::vector<double> included(items, 0.0);
  reach[0] = 1;
  for (std::size_t mask = 0; mask < reach.size(); ++mask) {
    if (reach[mask] == 0) continue;
    if (std::popcount(mask) == count) {
      for (std::size_t x = 0; x < items; ++x) {
        if (((mask >> x) & 1u) != 0) included[x] += reach[mask];
      }
      continue;
    }
    double rest = 0;
    for (std::size_t x = 0; x < items; ++x) {
      if (((mask >> x) & 1u) == 0) rest += weights[x];
    }
    for (std::size_t x = 0; x < items; ++x) {
      if (((mask >> x) & 1u) == 0 && weights[x] > 0)
        reach[mask | (std::size_t{1} << x)] += reach[mask] * weights[x] / rest;
    }
  }
  return included;
}

std::vector<double> MarginWeights(const std::vector<int>& totals, Margin m) {
  std::vector<double> w(totals.size(), 1.0);
  if (m == Margin::Proportional) {
    for (std::size_t x = 0; x < totals.size(); ++x) w[x] = totals[x];
  }
  return w;
}

TEST(NullModels, FreeMarginsFollowSuccessiveSamplingCellByCell) {
  // r = 1, 3, 3 and c = 3, 2, 1, 1: weights unequal enough that a draw with
  // replacement, a draw proportional to the wrong margin or a uniform draw
  // in place of successive sampling shifts some cell's chance by > 0.03.
  const Incidence observed = FromRows({"1000", "1101", "1110"});
  const std::vector<int> rows = observed.RowTotals();
  const std::vector<int> cols = observed.ColumnTotals();
  constexpr int draws = 20000;
  for (const Pair& p : kFreePairs) {
    SCOPED_TRACE(std::string("rows ") + Name(p.rows) + ", columns " + Name(p.cols));
    std::vector<double> exact(12, 0.0);
    const std::vector<double> wr = MarginWeights(rows, p.rows), wc = MarginWeights(cols, p.cols);
    if (p.rows == Margin::Fixed) {
      for (int i = 0; i < 3; ++i) {
        const auto inc = SuccessiveInclusion(wc, rows[static_cast<std::size_t>(i)]);
        for (int k = 0; k < 4; ++k) exact[static_cast<std::size_t>(i * 4 + k)] = inc[static_cast<std::size_t>(k)];
      }
    } else if (p.cols == Margin::Fixed) {
      for (int k = 0; k < 4; ++k) {
        const auto inc = SuccessiveInclusion(wr, cols[static_cast<std::size_t>(k)]);
        for (int i = 0; i < 3; ++i) exact[static_cast<std::size_t>(i * 4 + k)] = inc[static_cast<std::size_t>(i)];
      }
    } else {
      std::vector<double> cells;
      for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 4; ++k) cells.push_back(wr[static_cast<std::size_t>(i)] * wc[static_cast<std::size_t>(k)]);
      exact = SuccessiveInclusion(cells, static_cast<int>(observed.Fill()));
    }
    const auto model = MakeMarginSampler(observed, p.rows, p.cols);
    RandomBits rng(17);
    std::vector<double> seen(12, 0.0);
    for (int d = 0; d < draws; ++d) {
      model->Draw(rng);
      for (int c = 0; c < 12; ++c) seen[static_cast<std::size_t>(c)] += model->Current().Get(c / 4, c % 4) ? 1 : 0;
    }
    // 5 standard errors per cell; 96 cells in all keep a false alarm < 1e-4.
    for (std::size_t c = 0; c < 12; ++c) {
      const double se = std::sqrt(exact[c] * (1 - exact[c]) / draws);
      EXPECT_NEAR(seen[c] / draws, exact[c], 5 * se + 1e-12) << "cell " << c / 4 << "," << c % 4;
    }
  }
}

TEST(NullModels, RowsFixedDrawEverySetOfSitesAlikeAtEverySize) {
  // Rows fixed, sites equiprobable: up to 12 sites a species' row comes from
  // a list of site sets, beyond that from a random bitset trimmed or topped
  // up (with each bit set at 1/4, 1/2 or 3/4 as the total suits), and where
  // neither pays site by site. 6 of 13 sites: all 1716 sets within a
  // chi-square bound at z = 4.75; 6 of 12: all 924 sets likewise.
  for (const int n : {12, 13}) {
    SCOPED_TRACE(std::to_string(n) + " sites");
    Incidence observed(2, n);
    for (int k = 0; k < 6; ++k) observed.Set(0, k, true);
    observed.Set(1, 0, true);
    const auto model = MakeMarginSampler(observed, Margin::Fixed, Margin::Equiprobable);
    std::vector<double> counts(std::size_t{1} << n, 0.0), expected(counts.size(), 0.0);
    constexpr int draws = 200000;
    std::size_t sets = 0;
    for (std::size_t mask = 0; mask < counts.size(); ++mask) sets += std::popcount(mask) == 6 ? 1 : 0;
    for (std::size_t mask = 0; mask < counts.size(); ++mask)
      expected[mask] = std::popcount(mask) == 6 ? draws / static_cast<double>(sets) : 0;
    RandomBits rng(41);
    for (int d = 0; d < draws; ++d) {
      model->Draw(rng);
      counts[model->Current().Row(0)[0]] += 1;
    }
    std::vector<double> seen, wanted;
    for (std::size_t mask = 0; mask < counts.size(); ++mask) {
      if (expected[mask] > 0) {
        seen.push_back(counts[mask]);
        wanted.push_back(expected[mask]);
      } else {
        ASSERT_EQ(counts[mask], 0) << "a row of another total";
      }
    }
    EXPECT_LT(support::ChiSquare(seen, wanted), support::ChiSquareBound(static_cast<int>(sets) - 1, 4.75));
  }
  // 70 sites over two words, totals 3 (site by site), 18, 35 and 52 (bits at
  // 1/4, 1/2, 3/4): every site is taken with chance r / 70, within 5
  // standard errors over 20000 draws.
  const std::vector<int> totals = {3, 18, 35, 52};
  Incidence observed(4, 70);
  for (std::size_t i = 0; i < totals.size(); ++i)
    for (int k = 0; k < totals[i]; ++k) observed.Set(static_cast<int>(i), k, true);
  const auto model = MakeMarginSampler(observed, Margin::Fixed, Margin::Equiprobable);
  constexpr int draws = 20000;
  std::vector<std::vector<double>> seen(totals.size(), std::vector<double>(70, 0.0));
  RandomBits rng(43);
  for (int d = 0; d < draws; ++d) {
    model->Draw(rng);
    ASSERT_EQ(model->Current().RowTotals(), totals);
    for (std::size_t i = 0; i < totals.size(); ++i)
      for (int k = 0; k < 70; ++k) seen[i][static_cast<std::size_t>(k)] += model->Current().Get(static_cast<int>(i), k);
  }
  for (std::size_t i = 0; i < totals.size(); ++i) {
    const double p = totals[i] / 70.0;
    for (int k = 0; k < 70; ++k) {
      EXPECT_NEAR(seen[i][static_cast<std::size_t>(k)] / draws, p, 5 * std::sqrt(p * (1 - p) / draws))
          << "total " << totals[i] << ", site " << k;
    }
  }
}

TEST(Degeneracy, OnlySpeciesAndSitesOfTheObservedMatrixMustStayNonEmpty) {
  const Degeneracy d(FromRows({"110", "011", "000"}));
  struct Case {
    const char* what;
    Incidence null;
    bool degenerate;
  };
  const Case cases[] = {
      {"as observed", FromRows({"110", "011", "000"}), false},
      {"an absent species may occur", FromRows({"100", "010", "001"}), false},
      {"an occurring species emptied", FromRows({"000", "111", "000"}), true},
      {"an occupied site emptied", FromRows({"101", "101", "000"}), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(d.IsDegenerate(c.null), c.degenerate) << c.what;
  }
  EXPECT_EQ(d.EmptyInObserved(), (std::vector<bool>{false, false, false}));
}

TEST(Degeneracy, RepairMovesARandomSpareOccurrenceAndKeepsTheOtherMargin) {
  const Degeneracy d(FromRows({"1100", "0110", "0011", "1001"}));
  struct Case {
    const char* what;
    Incidence null;
    bool species_emptied;  // else a site was emptied
    std::vector<double> chances;
  };
  const Case cases[] = {
      // Species 1 emptied: the 8 spare occurrences sit at sites 0..3 as
      // 2, 1, 2, 3, so species 1 lands there with those chances.
      {"species 1 emptied", FromRows({"1111", "0000", "0011", "1001"}), true, {2 / 8.0, 1 / 8.0, 2 / 8.0, 3 / 8.0}},
      // Site 3 emptied: sites 0, 1, 2 hold 2, 4, 2 of the 8 spare ones.
      {"site 3 emptied", FromRows({"1100", "1100", "0110", "0110"}), false, {2 / 8.0, 4 / 8.0, 2 / 8.0}},
  };
  constexpr int repairs = 8000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RandomBits rng(3);
    std::vector<double> seen(c.chances.size(), 0.0);
    for (int t = 0; t < repairs; ++t) {
      Incidence m = c.null;
      d.Repair(m, rng);
      ASSERT_FALSE(d.IsDegenerate(m));
      if (c.species_emptied) {
        ASSERT_EQ(m.ColumnTotals(), c.null.ColumnTotals());
        for (std::size_t k = 0; k < seen.size(); ++k) seen[k] += m.Get(1, static_cast<int>(k)) ? 1 : 0;
      } else {
        ASSERT_EQ(m.RowTotals(), c.null.RowTotals());
        const std::vector<int> cols = m.ColumnTotals(), before = c.null.ColumnTotals();
        for (std::size_t l = 0; l < seen.size(); ++l) seen[l] += cols[l] < before[l] ? 1 : 0;
      }
    }
    // 5 standard errors of each frequency.
    for (std::size_t x = 0; x < seen.size(); ++x) {
      const double p = c.chances[x];
      EXPECT_NEAR(seen[x] / repairs, p, 5 * std::sqrt(p * (1 - p) / repairs)) << x;
    }
  }
}

TEST(Degeneracy, RepairStopsWhenNoSpeciesCanSpareAnOccurrence) {
  // Species 2 (absent from the observed matrix) holds both occurrences: one
  // goes to species 0, then nobody has two and species 1 stays empty.
  const Degeneracy d(FromRows({"10", "01", "00"}));
  Incidence m = FromRows({"00", "00", "11"});
  RandomBits rng(9);
  d.Repair(m, rng);
  EXPECT_EQ(m.RowTotal(0), 1);
  EXPECT_EQ(m.RowTotal(1), 0);
  EXPECT_EQ(m.RowTotal(2), 1);
  EXPECT_EQ(m.ColumnTotals(), (std::vector<int>{1, 1}));
  EXPECT_TRUE(d.IsDegenerate(m));
}

}  // namespace
}  // namespace tessil::cooc
