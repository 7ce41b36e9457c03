// A fixed-fixed matrix that moves by checkerboard swaps, each swap drawn
// uniformly among all checkerboard submatrices of the current matrix.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Incidence.h"
#include "RandomBits.h"

namespace tessil::cooc {

// The chain keeps, for every pair of species a, b, the number of sites they
// share S_ab; their checkerboard units CU_ab = (r_a - S_ab)(r_b - S_ab) are
// exactly the number of checkerboard submatrices on rows a and b, and each
// species' sum of units over its partners is kept too. Drawing a pair in
// proportion to CU_ab, then one site a has and b lacks and one site b has and
// a lacks, gives every checkerboard submatrix the same chance without a
// single rejected draw. A swap at species a, b and sites k, l changes only
// the overlaps of a and b with the species at exactly one of k, l, so it
// costs O(R) and the C-score numerator stays current.
class TrialSwapper;

class SwapChain {
 public:
  // Counts the work of building the pair table on `check` when given.
  explicit SwapChain(const Incidence& start, StopCheck* check = nullptr);
  // Becomes a copy of `other`, a slice at a time.
  void Assign(const SwapChain& other, StopCheck* check);

  const Incidence& Matrix() const { return matrix_; }
  // The number of checkerboard submatrices, which is also the sum of the
  // checkerboard units over all pairs of species (the C-score numerator).
  std::uint64_t CheckerboardSubmatrices() const { return static_cast<std::uint64_t>(weightTotal_ / 2); }
  // Pairs of occurring species that share no site.
  std::uint64_t CheckerboardPairs(StopCheck* check = nullptr) const;
  // Pairs of occurring species, the C-score denominator; swaps keep it.
  std::uint64_t OccurringPairs() const { return occurringPairs_; }

  // One swap of a checkerboard drawn uniformly; needs CheckerboardSubmatrices() > 0.
  void Swap(RandomBits& rng);
  // The same step drawn by trials: `trials` (made for this chain's species
  // totals) proposes pairs against its bound, and each is kept with chance
  // CU_ab / bound read from the pair table, without a popcount. Only the
  // overlaps are kept up to date, not the species' weights, which the next
  // Swap rebuilds; where most pairs are kept this is the cheaper way.
  void TrialSwap(const TrialSwapper& trials, RandomBits& rng);
  // The most work one Swap does, in StopCheck units.
  std::int64_t SwapWork() const { return 3 * std::int64_t{rows_} + 2 * std::int64_t{colWords_} + 32; }

 private:
  void RebuildWeights();
  std::size_t Pair(int a, int b) const {
    return static_cast<std::size_t>(a) * static_cast<std::size_t>(rows_) + static_cast<std::size_t>(b);
  }

  Incidence matrix_;
  int rows_ = 0;
  int colWords_ = 0;
  std::vector<std::uint64_t> columns_;  // each site's species as a bitset
  std::vector<std::int64_t> totals_;    // r_i
  std::vector<std::int32_t> shared_;    // S_ab, R x R, symmetric; S_aa = r_a
  std::vector<std::int64_t> weights_;   // sum over b of CU_ab
  // The sums of weights_ over blocks of Block species, so that the species
  // holding a draw is found a block at a time.
  static constexpr int Block = 16;
  std::vector<std::int64_t> blockWeights_;
  std::int64_t weightTotal_ = 0;  // sum of weights_ = 2 x checkerboards
  std::uint64_t occurringPairs_ = 0;
  // Whether trial swaps have moved the overlaps since weights_ was summed.
  bool weightsStale_ = false;
};

// The matrix with species and sites exchanged. Its checkerboard submatrices
// are those of `m`, turned, so a uniform swap of one is a uniform swap of the
// other.
Incidence Transposed(const Incidence& m, StopCheck* check = nullptr);

// Whether `m` has a checkerboard submatrix, that is two species neither of
// whose site sets holds the other; without building a chain's pair table.
bool HasCheckerboard(const Incidence& m, StopCheck* check = nullptr);

// Swaps drawn by trial: an ordered pair of distinct species uniformly, kept
// with chance CU_ab / M where M bounds every pair's checkerboard units (from
// the species totals, which swaps keep), then one site a has and b lacks and
// one the reverse, uniformly. Kept pairs come in proportion to CU_ab, so every
// checkerboard has the same chance, as with SwapChain::Swap, but nothing is
// kept up to date between swaps; where a fair share of pairs is kept that is
// the cheaper way.
//
// On matrices of at most 64 sites whose pair bounds add up to little, each
// pair gets a bound of its own, B_ab = min(r_a, N - r_b) x min(r_b, N - r_a),
// and a table maps a draw v below their sum to the pair whose range holds it
// and the place of v in that range: a pair is proposed with chance B_ab / sum
// and kept when the place is below CU_ab, which is again in proportion to
// CU_ab. Where the totals differ, B_ab is far below the largest bound, so
// far fewer trials are thrown away; and the place of a kept draw, uniform
// below CU_ab = |A \ B| x |B \ A|, gives both sites without another draw.
class TrialSwapper {
 public:
  // The most entries the pair table may have (32-bit each); a draw below
  // their number takes 16 random bits.
  static constexpr std::uint64_t PairTableLimit = std::uint64_t{1} << 13;
  // For matrices with this one's species totals; `pairTable` false keeps to
  // uniform pairs and one bound at every size.
  explicit TrialSwapper(const Incidence& m, StopCheck* check = nullptr, bool pairTable = true);
  // The work one Swap does on average where trials pay, in StopCheck units.
  std::int64_t SwapWork(const Incidence& m) const {
    return (8 + static_cast<std::int64_t>(species_)) * (m.WordsPerRow() + 4);
  }
  // Whether trials beat SwapChain::Swap on a matrix with this many
  // checkerboard submatrices.
  bool Pays(std::uint64_t checkerboards) const;
  // Trials proposed for each swap kept, on average, on a matrix with this
  // many checkerboard submatrices (which needs at least one).
  double TrialsPerSwap(std::uint64_t checkerboards) const;
  bool UsesPairTable() const { return !pairTable_.empty(); }
  // Trials without the pair table after which a chain that has not kept
  // one is taken for corrupt (a correct one never gets there).
  std::int64_t TrialLimit() const;
  // One swap of `m`, which needs a checkerboard.
  void Swap(Incidence& m, RandomBits& rng) const;
  // One trial without the pair table: an ordered pair of distinct species,
  // each pair equally likely, and a draw uniform below the bound.
  struct Proposal {
    std::uint64_t A;
    std::uint64_t B;
    std::uint64_t U;
  };
  Proposal Propose(RandomBits& rng) const;
  // `count` swaps of `m`, counting their work on `check`. With the pair
  // table, random bits left over from one swap serve the next, so the
  // swaps follow the law of `count` calls of Swap but not their stream.
  void Swaps(Incidence& m, RandomBits& rng, std::int64_t count, StopCheck* check) const;

  // One chain's swaps, to be made beside other chains' (the burn-ins of
  // several tests in one thread).
  struct Lane {
    const TrialSwapper* Trials = nullptr;  // uses the pair table
    Incidence* Matrix = nullptr;
    RandomBits* Rng = nullptr;
    std::int64_t Count = 0;
    StopCheck* Check = nullptr;
    // Set when this chain's check met a stop: its swaps end there, the
    // other chains go on.
    bool Stopped = false;
  };
  // For every lane, what Trials->Swaps(*Matrix, *Rng, Count, Check) does:
  // the same random words, the same swaps, the same work counted. The
  // chains take their trials in turn, so that one chain's trial runs while
  // the chain before waits for its loads, and a trial is kept or dropped
  // without a branch, which a processor cannot guess for a chain that
  // keeps about a third of its trials.
  static void SwapsSideBySide(std::span<Lane> lanes);

 private:
  template <int FixedWords>
  void SwapWith(Incidence& m, RandomBits& rng) const;
  // Narrow: at most 16 sites.
  template <bool Narrow>
  void SwapsByTable(Incidence& m, RandomBits& rng, std::int64_t count) const;

  // For each draw below the sum of the pair bounds: a | b << 8 | place << 16.
  std::vector<std::uint32_t> pairTable_;
  std::uint64_t tableThreshold_ = 0;
  std::uint64_t species_;
  std::uint64_t bound_ = 0;
  bool narrow_ = false;
  std::uint64_t threshold_[3] = {};
};

// Swaps drawn by trials on the occupied cells: two of them, (a, k) and
// (b, l), drawn uniformly and independently, make a checkerboard exactly when
// (a, l) and (b, k) are empty (which also rules out a = b and k = l). Each
// checkerboard submatrix holds two occupied cells, so it is proposed by two
// of the F^2 ordered draws, the same for all: kept trials are uniform among
// the checkerboards. A trial reads two list entries and tests two cells, and
// a kept one needs no site to be selected, so where about as many trials are
// kept as by TrialSwapper this is the cheaper way.
class CellSwapper {
 public:
  // Lists the occupied cells of `m`; usable only below 2^16 species and
  // sites and 2^32 occurrences.
  explicit CellSwapper(const Incidence& m, StopCheck* check = nullptr);
  bool Usable() const { return usable_; }
  // Trials proposed for each swap kept, on average (needs a checkerboard).
  double TrialsPerSwap(std::uint64_t checkerboards) const {
    const auto f = static_cast<double>(cells_.size());
    return f * f / (2.0 * static_cast<double>(checkerboards));
  }
  // `count` swaps of `m`, which must be the matrix listed (or a matrix that
  // these swaps have made from it).
  void Swaps(Incidence& m, RandomBits& rng, std::int64_t count, StopCheck* check);

 private:
  // Narrow: fewer than 2^16 occurrences, two trials from one random word.
  template <bool Narrow>
  void SwapsOf(Incidence& m, RandomBits& rng, std::int64_t count);

  std::vector<std::uint32_t> cells_;  // species << 16 | site
  std::uint64_t threshold_ = 0;
  bool usable_ = false;
};

inline TrialSwapper::Proposal TrialSwapper::Propose(RandomBits& rng) const {
  Proposal p{};
  if (narrow_) {
    // Two 16-bit and one 32-bit Lemire draw from one word; a draw in its
    // rejection zone throws the whole word away, which leaves the rest
    // uniform.
    for (;;) {
      const std::uint64_t x = rng.Next();
      const std::uint64_t m0 = (x & 0xFFFFu) * species_;
      const std::uint64_t m1 = ((x >> 16) & 0xFFFFu) * (species_ - 1);
      const std::uint64_t m2 = (x >> 32) * bound_;
      if (((m0 & 0xFFFFu) < threshold_[0]) | ((m1 & 0xFFFFu) < threshold_[1]) | ((m2 & 0xFFFFFFFFu) < threshold_[2])) {
        continue;
      }
      p = {m0 >> 16, m1 >> 16, m2 >> 32};
      break;
    }
  } else {
    p.A = rng.Below(species_);
    p.B = rng.Below(species_ - 1);
    p.U = rng.Below(bound_);
  }
  p.B += p.B >= p.A ? 1 : 0;
  return p;
}

}  // namespace tessil::cooc
