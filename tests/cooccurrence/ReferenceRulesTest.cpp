// Whole tests and null matrices checked against small reference versions of
// two rules whose details change the numbers without breaking anything
// visibly: "Split" with the site-composition indices, and the Knight's Tour's
// retreat after max(R, N) picks in a row that land on filled cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "CooccurrenceRun.h"
#include "CooccurrenceTestSupport.h"
#include "Indices.h"
#include "NullModels.h"
#include "RandomBits.h"

namespace tessil::cooc {
namespace {

using support::FromRows;

// Which sites a null value counts.
enum class SiteCount { Split, KeepNewlyEmpty, DropEmptyFromTheStart };

// The number of distinct compositions, or the V-ratio, over the counted
// sites, straight from the definitions.
std::optional<Fraction> ReferenceIndex(IndexKind kind, const Incidence& m, const std::vector<bool>& counted) {
  std::vector<std::vector<bool>> compositions;
  std::int64_t n = 0, fill = 0, squares = 0;
  for (int k = 0; k < m.Cols(); ++k) {
    if (!counted[static_cast<std::size_t>(k)]) continue;
    std::vector<bool> column;
    std::int64_t c = 0;
    for (int i = 0; i < m.Rows(); ++i) {
      column.push_back(m.Get(i, k));
      c += m.Get(i, k) ? 1 : 0;
    }
    if (std::find(compositions.begin(), compositions.end(), column) == compositions.end()) {
      compositions.push_back(column);
    }
    ++n;
    fill += c;
    squares += c * c;
  }
  if (kind == IndexKind::Combinations) {
    return Fraction{compositions.size(), 1};
  }
  std::int64_t den = 0;
  for (const int r : m.RowTotals()) den += std::int64_t{r} * (n - r);
  if (den == 0) return std::nullopt;
  return Fraction{static_cast<std::uint64_t>(n * squares - fill * fill), static_cast<std::uint64_t>(den)};
}

struct Counts {
  std::int64_t Used = 0, Undefined = 0, LessOrEqual = 0, GreaterOrEqual = 0, Degenerate = 0;
  bool operator==(const Counts&) const = default;
};

// A "Split" test with species fixed and sites equiprobable, drawn with the
// test's own stream and counted by the reference rule.
Counts ReferenceSplitTest(const Incidence& observed, IndexKind kind, bool include_empty, int iterations, double seed,
                          std::uint64_t ordinal, SiteCount rule) {
  std::vector<bool> empty_at_start(static_cast<std::size_t>(observed.Cols()));
  for (int k = 0; k < observed.Cols(); ++k)
    empty_at_start[static_cast<std::size_t>(k)] = observed.ColumnTotals()[static_cast<std::size_t>(k)] == 0;
  const auto counted = [&](const Incidence& m, bool split) {
    const std::vector<int> totals = m.ColumnTotals();
    std::vector<bool> flags(totals.size());
    for (std::size_t k = 0; k < totals.size(); ++k) {
      bool empty_counts = include_empty;
      if (split && rule == SiteCount::Split) empty_counts = include_empty && empty_at_start[k];
      if (split && rule == SiteCount::DropEmptyFromTheStart) empty_counts = false;
      flags[k] = totals[k] > 0 || empty_counts;
    }
    return flags;
  };
  const Fraction x = *ReferenceIndex(kind, observed, counted(observed, false));
  RandomBits rng = RandomBits::ForTest(seed, ordinal);
  const auto model = MakeMarginSampler(observed, Margin::Fixed, Margin::Equiprobable);
  const Degeneracy degeneracy(observed);
  Counts counts;
  for (int t = 0; t < iterations; ++t) {
    model->Draw(rng);
    const bool degenerate = degeneracy.IsDegenerate(model->Current());
    counts.Degenerate += degenerate ? 1 : 0;
    const std::optional<Fraction> v = ReferenceIndex(kind, model->Current(), counted(model->Current(), degenerate));
    if (!v) {
      ++counts.Undefined;
      continue;
    }
    ++counts.Used;
    counts.LessOrEqual += Compare(*v, x) <= 0 ? 1 : 0;
    counts.GreaterOrEqual += Compare(*v, x) >= 0 ? 1 : 0;
  }
  return counts;
}

TEST(SplitInAWholeTest, NewlyEmptySitesAreSplitOffWhileSitesEmptyFromTheStartStillCount) {
  // Sites 4 and 5 empty from the start; with few occurrences per species the
  // null matrices often empty one of sites 0-3 as well.
  const Incidence observed = FromRows({"100100", "011000", "100000", "001100"});
  for (const IndexKind kind : {IndexKind::Combinations, IndexKind::VRatio}) {
    for (const bool include : {true, false}) {
      SCOPED_TRACE(::testing::Message() << Caption(kind) << (include ? ", Include" : ", Exclude"));
      const TestOptions o{.Index = kind,
                          .DegenerateMatrices = DegenerateTreatment::Split,
                          .EmptySites = include ? EmptySiteTreatment::Include : EmptySiteTreatment::Exclude,
                          .Iterations = "400",
                          .Seed = "11"};
      const TestResult r = RunTest(observed, o, 2);
      ASSERT_TRUE(r.HasResults) << r.Reason;
      const Counts expected = ReferenceSplitTest(observed, kind, include, 400, 11, 2, SiteCount::Split);
      EXPECT_EQ(
          (Counts{r.NullMatrices, r.UndefinedNullValues, r.CountLessOrEqual, r.CountGreaterOrEqual, r.DegenerateDraws}),
          expected);
      EXPECT_GT(expected.Degenerate, 40);
      if (include) {
        // The case tells the rule apart from both ways of getting it wrong.
        EXPECT_NE(ReferenceSplitTest(observed, kind, true, 400, 11, 2, SiteCount::KeepNewlyEmpty), expected);
        EXPECT_NE(ReferenceSplitTest(observed, kind, true, 400, 11, 2, SiteCount::DropEmptyFromTheStart), expected);
      }
    }
  }
}

// The Knight's Tour as described: species and site drawn uniformly among
// those still in need (kept in lists from which a member leaves by taking
// the last one's place), a retreat after `patience` misses in a row that
// empties a filled cell drawn uniformly (kept the same way).
struct Tour {
  Incidence Matrix;
  std::int64_t Picks = 0;
};
Tour ReferenceTour(const Incidence& observed, int patience, RandomBits& rng) {
  const int rows = observed.Rows(), cols = observed.Cols();
  std::vector<int> row_need = observed.RowTotals(), col_need = observed.ColumnTotals();
  std::vector<int> needy_rows, needy_cols;
  for (int i = 0; i < rows; ++i)
    if (row_need[static_cast<std::size_t>(i)] > 0) needy_rows.push_back(i);
  for (int k = 0; k < cols; ++k)
    if (col_need[static_cast<std::size_t>(k)] > 0) needy_cols.push_back(k);
  const auto leave = [](std::vector<int>& list, int member) {
    auto at = std::find(list.begin(), list.end(), member);
    *at = list.back();
    list.pop_back();
  };
  Tour tour{Incidence(rows, cols), 0};
  std::vector<int> filled;
  int misses = 0;
  while (static_cast<std::int64_t>(filled.size()) < observed.Fill()) {
    ++tour.Picks;
    const int i = needy_rows[rng.Below(needy_rows.size())];
    const int k = needy_cols[rng.Below(needy_cols.size())];
    if (!tour.Matrix.Get(i, k)) {
      tour.Matrix.Set(i, k, true);
      filled.push_back(i * cols + k);
      if (--row_need[static_cast<std::size_t>(i)] == 0) leave(needy_rows, i);
      if (--col_need[static_cast<std::size_t>(k)] == 0) leave(needy_cols, k);
      misses = 0;
    } else if (++misses == patience) {
      const std::size_t hole = rng.Below(filled.size());
      const int cell = filled[hole];
      filled[hole] = filled.back();
      filled.pop_back();
      tour.Matrix.Set(cell / cols, cell % cols, false);
      if (row_need[static_cast<std::size_t>(cell / cols)]++ == 0) needy_rows.push_back(cell / cols);
      if (col_need[static_cast<std::size_t>(cell % cols)]++ == 0) needy_cols.push_back(cell % cols);
      misses = 0;
    }
  }
  return tour;
}

TEST(KnightsTour, RetreatsAfterExactlyMaxOfSpeciesAndSitesMissesInARow) {
  // 3 species x 5 sites, crowded enough that picks often land on filled
  // cells and the tour gets stuck: max(R, N) = 5, min(R, N) = 3.
  const Incidence observed = FromRows({"11110", "11011", "01111"});
  KnightsTourModel model(observed);
  RandomBits rng(2024);
  RandomBits reference(2024);
  RandomBits longer(2024), shorter(2024);
  int told_apart_longer = 0, told_apart_shorter = 0;
  for (int draw = 0; draw < 200; ++draw) {
    SCOPED_TRACE(draw);
    ASSERT_TRUE(model.Draw(rng));
    const Tour expected = ReferenceTour(observed, 5, reference);
    ASSERT_EQ(model.Picks(), expected.Picks);
    ASSERT_EQ(model.Current(), expected.Matrix);
    EXPECT_EQ(model.Current().RowTotals(), observed.RowTotals());
    EXPECT_EQ(model.Current().ColumnTotals(), observed.ColumnTotals());
    told_apart_longer += ReferenceTour(observed, 6, longer).Picks != expected.Picks ? 1 : 0;
    told_apart_shorter += ReferenceTour(observed, 3, shorter).Picks != expected.Picks ? 1 : 0;
  }
  // A tour allowed one miss more, or min(R, N) misses, before a retreat goes
  // differently on this matrix.
  EXPECT_GT(told_apart_longer, 0);
  EXPECT_GT(told_apart_shorter, 0);
}

}  // namespace
}  // namespace tessil::cooc
