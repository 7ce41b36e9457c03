// A fixed-fixed matrix that moves by checkerboard swaps, each swap drawn
// uniformly among all checkerboard submatrices of the current matrix.
#pragma once

#include <cstdint>
#include <vector>

#include "Incidence.h"
#include "RandomBits.h"

namespace tessil::cooc {

// The chain keeps, for every pair of species a, b, the number of sites they
// share S_ab and their checkerboard units CU_ab = (r_a - S_ab)(r_b - S_ab),
// which is exactly the number of checkerboard submatrices on rows a and b.
// Drawing a pair in proportion to CU_ab, then one site a has and b lacks and
// one site b has and a lacks, gives every checkerboard submatrix the same
// chance without a single rejected draw. A swap at species a, b and sites
// k, l changes only the overlaps of a and b with the species at exactly one
// of k, l, so it costs O(R) and the C-score numerator stays current.
class SwapChain {
 public:
  explicit SwapChain(const Incidence& start);

  const Incidence& Matrix() const { return matrix_; }
  // The number of checkerboard submatrices, which is also the sum of the
  // checkerboard units over all pairs of species (the C-score numerator).
  std::uint64_t CheckerboardSubmatrices() const { return static_cast<std::uint64_t>(weight_total_ / 2); }
  // Pairs of occurring species that share no site.
  std::uint64_t CheckerboardPairs() const { return checkerboard_pairs_; }
  // Pairs of occurring species, the C-score denominator; swaps keep it.
  std::uint64_t OccurringPairs() const { return occurring_pairs_; }

  // One swap of a checkerboard drawn uniformly; needs CheckerboardSubmatrices() > 0.
  void Swap(RandomBits& rng);

 private:
  std::size_t Pair(int a, int b) const { return static_cast<std::size_t>(a) * static_cast<std::size_t>(rows_) + static_cast<std::size_t>(b); }
  void Shift(int a, int c, int delta);

  Incidence matrix_;
  int rows_ = 0;
  int col_words_ = 0;
  std::vector<std::uint64_t> columns_;  // each site's species as a bitset
  std::vector<std::int64_t> totals_;    // r_i
  std::vector<std::int32_t> shared_;    // S_ab, R x R
  std::vector<std::int64_t> units_;     // CU_ab, R x R, zero diagonal
  std::vector<std::int64_t> weights_;   // sum over b of CU_ab
  std::int64_t weight_total_ = 0;       // sum of weights_ = 2 x checkerboards
  std::uint64_t checkerboard_pairs_ = 0;
  std::uint64_t occurring_pairs_ = 0;
};

}  // namespace tessil::cooc
