// The four co-occurrence indices, computed exactly as ratios of integers.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "Incidence.h"
#include "TestVocabulary.h"

namespace tessil::cooc {

// The C-score is the mean checkerboard units over pairs of occurring
// species; the checkerboards count the pairs of occurring species that share
// no site; the combinations are the distinct site compositions; the V-ratio
// is the variance ratio of the site totals.
using IndexKind = CooccurrenceIndex;

// A non-negative ratio Num / Den (Den > 0). Null values are compared with the
// observed value exactly, so that ties are ties and nothing else.
struct Fraction {
  std::uint64_t Num = 0;
  std::uint64_t Den = 1;
  double Value() const { return static_cast<double>(Num) / static_cast<double>(Den); }
};
// -1, 0 or 1 as a < b, a == b, a > b, by exact cross multiplication.
int Compare(const Fraction& a, const Fraction& b);

// Which sites the two site-composition indices count. Occupied sites always
// count; an empty site counts only when empty sites are included, and then,
// when `countable` is given, only if its flag is set (sites that a null matrix
// emptied are split off, while sites empty from the start still count).
struct SiteRule {
  bool IncludeEmpty = false;
  const std::vector<bool>* Countable = nullptr;
};

// Computes indices of whole matrices; keeps its scratch space between calls so
// that a test's thousands of null matrices allocate nothing.
class IndexEvaluator {
 public:
  // The index of `m`, or nothing when it is undefined: fewer than two
  // occurring species (C-score, checkerboards) or a zero V denominator.
  std::optional<Fraction> Evaluate(IndexKind kind, const Incidence& m, SiteRule sites = {});
  // Counts the work of every later evaluation on `check` (none when null).
  void Watch(StopCheck* check) { check_ = check; }

 private:
  std::optional<Fraction> PairIndex(IndexKind kind, const Incidence& m);
  // The checkerboard units, or with Boards the checkerboard pairs, of the
  // species packed in packed_ (two words each, the second read when Words
  // is 2) with their totals in occurring_.
  template <int Words, bool Boards>
  std::pair<std::uint64_t, std::uint64_t> PackedUnits(std::size_t species);
  std::uint64_t Combinations(const Incidence& m, SiteRule sites);
  std::optional<Fraction> VRatio(const Incidence& m, SiteRule sites);
  bool Counts(SiteRule sites, int k, int total) const;

  std::vector<int> occurring_;  // occurring species, or their totals when packed
  std::vector<std::uint64_t> packed_;
  std::vector<int> totals_;
  std::vector<int> colTotals_;
  std::vector<std::uint64_t> columns_;
  std::vector<int> order_;
  StopCheck* check_ = nullptr;
};

}  // namespace tessil::cooc
