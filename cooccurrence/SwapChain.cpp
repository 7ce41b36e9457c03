#include "SwapChain.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>
#include <type_traits>

namespace tessil::cooc {
namespace {

// A correct chain keeps a trial with chance at least 1 / (table size) and a
// quarter word lands in the rejection zone with chance below 1/8, so it
// needs on average fewer than 8/7 x size trials a kept swap; 64 times that
// is never reached but by a chain whose trials can no longer be kept.
std::int64_t RoundLimit(std::int64_t swaps, std::uint64_t tableSize) {
  return swaps * (16 * static_cast<std::int64_t>(tableSize) + 256);
}

// Trials within which a chain that keeps each with chance at least
// 1 / `worst` keeps one, but for a chance below e^-60.
std::int64_t TrialLimit(double worst) {
  const double limit = 64.0 * worst + 1024.0;
  return limit >= 4.0e18 ? std::int64_t{4'000'000'000'000'000'000} : static_cast<std::int64_t>(limit);
}

[[noreturn]] void RunawayChain() {
  throw std::logic_error(
      "a swap chain reached a state no correct chain reaches (no checkerboard left to swap, a site beyond its row, "
      "or far more trials than a swap ever needs): its bookkeeping is corrupt");
}

// The site of `rank` among those set in `have` and clear in `lack`.
// Throws where the rank is beyond the sites there are, which only a corrupt
// pair table gives: the scan would otherwise run on past the row.
inline int SelectAmong(const std::uint64_t* have, const std::uint64_t* lack, std::uint64_t rank, int words) {
  for (int w = 0;; ++w) {
    if (w == words) [[unlikely]] {
      RunawayChain();
    }
    const std::uint64_t x = have[w] & ~lack[w];
    const auto count = static_cast<std::uint64_t>(std::popcount(x));
    if (rank < count) {
      return w * 64 + SelectBit(x, rank);
    }
    rank -= count;
  }
}

// SelectBit for a word of at most 16 bits: a shorter chain of steps, which
// matters where every swap waits for the one before.
inline int Select16(std::uint64_t x, std::uint64_t rank) {
  const auto low = static_cast<std::uint64_t>(std::popcount(x & 0xFFu));
  const int high = rank >= low ? 1 : 0;
  return 8 * high + detail::kByteSelect.At[(x >> (8 * high)) & 0xFFu][rank - (high != 0 ? low : 0)];
}

}  // namespace

SwapChain::SwapChain(const Incidence& start, StopCheck* check)
    : matrix_(start), rows_(start.Rows()), colWords_((start.Rows() + 63) / 64) {
  const int n = start.Cols();
  columns_.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(colWords_), 0);
  totals_.resize(static_cast<std::size_t>(rows_));
  std::uint64_t occurring = 0;
  for (int i = 0; i < rows_; ++i) {
    totals_[static_cast<std::size_t>(i)] = start.RowTotal(i);
    occurring += totals_[static_cast<std::size_t>(i)] > 0 ? 1 : 0;
    ForEachBit(start.Row(i), start.WordsPerRow(), [&](int k) {
      columns_[static_cast<std::size_t>(k) * static_cast<std::size_t>(colWords_) + static_cast<std::size_t>(i >> 6)] |=
          std::uint64_t{1} << (i & 63);
    });
  }
  occurringPairs_ = occurring * (occurring - (occurring > 0 ? 1 : 0)) / 2;
  shared_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(rows_), 0);
  weights_.assign(static_cast<std::size_t>(rows_), 0);
  const int words = start.WordsPerRow();
  for (int a = 0; a < rows_; ++a) {
    const std::int64_t rA = totals_[static_cast<std::size_t>(a)];
    // S_aa = rA makes CU_aa = 0, so row scans need not skip the diagonal.
    shared_[Pair(a, a)] = static_cast<std::int32_t>(rA);
    Tick(check, static_cast<std::int64_t>(rows_ - a) * (words + 4));
    for (int b = a + 1; b < rows_; ++b) {
      int s = 0;
      for (int w = 0; w < words; ++w) {
        s += std::popcount(start.Row(a)[w] & start.Row(b)[w]);
      }
      const std::int64_t rB = totals_[static_cast<std::size_t>(b)];
      const std::int64_t cu = (rA - s) * (rB - s);
      shared_[Pair(a, b)] = shared_[Pair(b, a)] = s;
      weights_[static_cast<std::size_t>(a)] += cu;
      weights_[static_cast<std::size_t>(b)] += cu;
      weightTotal_ += 2 * cu;
    }
  }
  blockWeights_.assign(static_cast<std::size_t>((rows_ + Block - 1) / Block), 0);
  for (int a = 0; a < rows_; ++a) {
    blockWeights_[static_cast<std::size_t>(a / Block)] += weights_[static_cast<std::size_t>(a)];
  }
}

namespace {
template <typename T>
void AssignSliced(std::vector<T>& to, const std::vector<T>& from, StopCheck* check) {
  constexpr std::size_t slice = std::size_t{1} << 16;
  to.resize(from.size());
  for (std::size_t at = 0; at < from.size(); at += slice) {
    const std::size_t end = std::min(from.size(), at + slice);
    std::copy(from.begin() + static_cast<std::ptrdiff_t>(at), from.begin() + static_cast<std::ptrdiff_t>(end),
              to.begin() + static_cast<std::ptrdiff_t>(at));
    Tick(check, static_cast<std::int64_t>(end - at));
  }
}
}  // namespace

void SwapChain::Assign(const SwapChain& other, StopCheck* check) {
  matrix_.Assign(other.matrix_, check);
  rows_ = other.rows_;
  colWords_ = other.colWords_;
  AssignSliced(columns_, other.columns_, check);
  AssignSliced(totals_, other.totals_, check);
  AssignSliced(shared_, other.shared_, check);
  AssignSliced(weights_, other.weights_, check);
  AssignSliced(blockWeights_, other.blockWeights_, check);
  weightTotal_ = other.weightTotal_;
  occurringPairs_ = other.occurringPairs_;
  weightsStale_ = other.weightsStale_;
}

void SwapChain::RebuildWeights() {
  std::fill(weights_.begin(), weights_.end(), 0);
  std::fill(blockWeights_.begin(), blockWeights_.end(), 0);
  for (int a = 0; a < rows_; ++a) {
    const std::int32_t* sharedA = shared_.data() + Pair(a, 0);
    const std::int64_t rA = totals_[static_cast<std::size_t>(a)];
    std::int64_t sum = 0;
    for (int b = 0; b < rows_; ++b) {
      sum += (rA - sharedA[b]) * (totals_[static_cast<std::size_t>(b)] - sharedA[b]);
    }
    weights_[static_cast<std::size_t>(a)] = sum;
    blockWeights_[static_cast<std::size_t>(a / Block)] += sum;
  }
  weightsStale_ = false;
}

void SwapChain::Swap(RandomBits& rng) {
  // One draw picks the ordered pair (a, b) with chance CU_ab / (2 x total):
  // what is left of it after choosing a is uniform below a's weight, and
  // picks b among a's partners.
  if (weightsStale_) {
    RebuildWeights();
  }
  const std::int64_t* weights = weights_.data();
  const std::int64_t* totals = totals_.data();
  std::int32_t* shared = shared_.data();
  // A chain without a checkerboard cannot move; corrupted weights would
  // walk the scans below past the last species.
  // Checked in every build, once a swap: a chain without a checkerboard
  // has nothing to draw.
  if (weightTotal_ <= 0) [[unlikely]] {
    RunawayChain();
  }
  assert(weightTotal_ % 2 == 0);
  std::uint64_t u = rng.Below(static_cast<std::uint64_t>(weightTotal_));
  // The block of species that holds u, then the species within it.
  int a = 0;
  for (const std::int64_t* block = blockWeights_.data(); u >= static_cast<std::uint64_t>(*block); ++block) {
    u -= static_cast<std::uint64_t>(*block);
    a += Block;
    // Checked in every build: corrupt weights would walk the scan off the
    // table, and it costs one compare a block.
    if (a >= rows_) [[unlikely]] {
      RunawayChain();
    }
  }
  while (u >= static_cast<std::uint64_t>(weights[a])) {
    u -= static_cast<std::uint64_t>(weights[a]);
    ++a;
    if (a >= rows_) [[unlikely]] {
      RunawayChain();
    }
  }
  std::int32_t* sharedA = shared + Pair(a, 0);
  const std::int64_t rA = totals[a];
  // Likewise for b: whole blocks of partners are summed, which has no chain
  // of dependent steps, before the partner is sought within one.
  int b = 0;
  for (; b + Block <= rows_; b += Block) {
    std::uint64_t sum = 0;
    for (int c = b; c < b + Block; ++c) {
      sum += static_cast<std::uint64_t>((rA - sharedA[c]) * (totals[c] - sharedA[c]));
    }
    if (u < sum) {
      break;
    }
    u -= sum;
  }
  for (;; ++b) {
    const auto cu = static_cast<std::uint64_t>((rA - sharedA[b]) * (totals[b] - sharedA[b]));
    if (u < cu) {
      break;
    }
    u -= cu;
    if (b + 1 >= rows_) [[unlikely]] {
      RunawayChain();
    }
  }
  const auto onlyA = static_cast<std::uint64_t>(rA - sharedA[b]);
  const auto onlyB = static_cast<std::uint64_t>(totals[b] - sharedA[b]);
  std::int32_t* sharedB = shared + Pair(b, 0);
  const std::int64_t rB = totals[b];
  assert(a != b && onlyA > 0 && onlyB > 0);
  assert(shared[Pair(b, a)] == sharedA[b] && "the pair table is no longer symmetric");
  if ((onlyA | onlyB) > static_cast<std::uint64_t>(matrix_.Cols())) [[unlikely]] {
    RunawayChain();
  }

  // k: a site a occupies and b lacks; l: the reverse. Each is uniform.
  std::uint64_t* rowA = matrix_.MutableRow(a);
  std::uint64_t* rowB = matrix_.MutableRow(b);
  std::uint64_t rankK = 0;
  std::uint64_t rankL = 0;
  rng.TwoBelow(onlyA, onlyB, rankK, rankL);
  const int k = SelectAmong(rowA, rowB, rankK, matrix_.WordsPerRow());
  const int l = SelectAmong(rowB, rowA, rankL, matrix_.WordsPerRow());
  // The flip keeps both margins only on a checkerboard: a at k and not l, b
  // at l and not k.
  assert(k < matrix_.Cols() && l < matrix_.Cols());
  assert(matrix_.Get(a, k) && !matrix_.Get(a, l) && matrix_.Get(b, l) && !matrix_.Get(b, k));

  // a moves from k to l, b from l to k: only the species at exactly one of
  // the two sites change their overlap with a and with b.
  std::uint64_t* colK = columns_.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(colWords_);
  std::uint64_t* colL = columns_.data() + static_cast<std::size_t>(l) * static_cast<std::size_t>(colWords_);
  const std::uint64_t bitA = std::uint64_t{1} << (a & 63);
  const std::uint64_t bitB = std::uint64_t{1} << (b & 63);
  const int wordA = a >> 6;
  const int wordB = b >> 6;
  // With CU(s) = (r_x - s)(r_c - s), moving s by d (+1 or -1) changes CU
  // by -d (r_x + r_c - 2 s') - 1, where s' is the new overlap.
  std::int64_t changeA = 0;
  std::int64_t changeB = 0;
  const auto shift = [&](int c, std::int32_t d) {
    const std::int64_t rC = totals[c];
    const std::int32_t ac = sharedA[c] + d;
    const std::int32_t bc = sharedB[c] - d;
    // An overlap never exceeds either species' total.
    assert(ac >= 0 && ac <= std::min(rA, rC) && bc >= 0 && bc <= std::min(rB, rC));
    sharedA[c] = ac;
    shared[Pair(c, a)] = ac;
    sharedB[c] = bc;
    shared[Pair(c, b)] = bc;
    const std::int64_t da = -d * (rA + rC - 2 * ac) - 1;
    const std::int64_t db = d * (rB + rC - 2 * bc) - 1;
    changeA += da;
    changeB += db;
    weights_[static_cast<std::size_t>(c)] += da + db;
    blockWeights_[static_cast<std::size_t>(c / Block)] += da + db;
    assert(weights_[static_cast<std::size_t>(c)] >= 0);
  };
  for (int w = 0; w < colWords_; ++w) {
    std::uint64_t atL = colL[w] & ~colK[w];
    std::uint64_t atK = colK[w] & ~colL[w];
    if (w == wordA) {
      atK &= ~bitA;
    }
    if (w == wordB) {
      atL &= ~bitB;
    }
    for (; atL != 0; atL &= atL - 1) {
      shift(w * 64 + std::countr_zero(atL), +1);
    }
    for (; atK != 0; atK &= atK - 1) {
      shift(w * 64 + std::countr_zero(atK), -1);
    }
  }
  weights_[static_cast<std::size_t>(a)] += changeA;
  weights_[static_cast<std::size_t>(b)] += changeB;
  blockWeights_[static_cast<std::size_t>(a / Block)] += changeA;
  blockWeights_[static_cast<std::size_t>(b / Block)] += changeB;
  weightTotal_ += 2 * (changeA + changeB);
  assert(weights_[static_cast<std::size_t>(a)] >= 0 && weights_[static_cast<std::size_t>(b)] >= 0);
  // The pair just swapped is still a checkerboard, the other way round.
  assert(weightTotal_ > 0);

  const std::uint64_t bitK = std::uint64_t{1} << (k & 63);
  const std::uint64_t bitL = std::uint64_t{1} << (l & 63);
  rowA[k >> 6] ^= bitK;
  rowA[l >> 6] ^= bitL;
  rowB[k >> 6] ^= bitK;
  rowB[l >> 6] ^= bitL;
  colK[wordA] ^= bitA;
  colK[wordB] ^= bitB;
  colL[wordA] ^= bitA;
  colL[wordB] ^= bitB;
  // The site bitsets follow the rows.
  assert((colK[wordB] & bitB) != 0 && (colK[wordA] & bitA) == 0);
  assert((colL[wordA] & bitA) != 0 && (colL[wordB] & bitB) == 0);
}

void SwapChain::TrialSwap(const TrialSwapper& trials, RandomBits& rng) {
  const std::int64_t* totals = totals_.data();
  std::int32_t* shared = shared_.data();
  if (weightTotal_ <= 0) [[unlikely]] {
    RunawayChain();
  }
  int a = 0;
  int b = 0;
  std::uint64_t onlyA = 0;
  std::uint64_t onlyB = 0;
  for (std::int64_t left = trials.TrialLimit();; --left) {
    if (left == 0) [[unlikely]] {
      RunawayChain();
    }
    const TrialSwapper::Proposal p = trials.Propose(rng);
    a = static_cast<int>(p.A);
    b = static_cast<int>(p.B);
    const std::int32_t s = shared[Pair(a, b)];
    onlyA = static_cast<std::uint64_t>(totals[a] - s);
    onlyB = static_cast<std::uint64_t>(totals[b] - s);
    // Kept with chance CU_ab / bound: kept pairs come in proportion to
    // their checkerboard units.
    if (p.U < onlyA * onlyB) {
      break;
    }
  }
  // An overlap above a species' total (a corrupt pair table) would ask for
  // a site among more than there are, and the draw below it would never
  // end: checked in every build, once a kept swap.
  if ((onlyA | onlyB) > static_cast<std::uint64_t>(matrix_.Cols())) [[unlikely]] {
    RunawayChain();
  }
  std::int32_t* sharedA = shared + Pair(a, 0);
  std::int32_t* sharedB = shared + Pair(b, 0);
  const std::int64_t rA = totals[a];
  const std::int64_t rB = totals[b];

  std::uint64_t* rowA = matrix_.MutableRow(a);
  std::uint64_t* rowB = matrix_.MutableRow(b);
  std::uint64_t rankK = 0;
  std::uint64_t rankL = 0;
  rng.TwoBelow(onlyA, onlyB, rankK, rankL);
  const int k = SelectAmong(rowA, rowB, rankK, matrix_.WordsPerRow());
  const int l = SelectAmong(rowB, rowA, rankL, matrix_.WordsPerRow());
  assert(k < matrix_.Cols() && l < matrix_.Cols());
  assert(matrix_.Get(a, k) && !matrix_.Get(a, l) && matrix_.Get(b, l) && !matrix_.Get(b, k));

  std::uint64_t* colK = columns_.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(colWords_);
  std::uint64_t* colL = columns_.data() + static_cast<std::size_t>(l) * static_cast<std::size_t>(colWords_);
  const std::uint64_t bitA = std::uint64_t{1} << (a & 63);
  const std::uint64_t bitB = std::uint64_t{1} << (b & 63);
  const int wordA = a >> 6;
  const int wordB = b >> 6;
  // A species x at l only gains a site with a and loses one with b; with
  // the old overlaps s_a, s_b the units of its two pairs change by
  // (r_b - r_a) + 2 (s_a - s_b) + 2 together, whatever r_x; at k only,
  // by (r_a - r_b) - 2 (s_a - s_b) + 2.
  // Locals, not members: the stores into the pair table below could
  // otherwise alias them and force a reload after each.
  const auto stride = static_cast<std::size_t>(rows_);
  std::int32_t* columnA = shared + a;
  std::int32_t* columnB = shared + b;
  const int colWords = colWords_;
  std::int64_t atLOnly = 0;
  std::int64_t atKOnly = 0;
  std::int64_t gapL = 0;
  std::int64_t gapK = 0;
  for (int w = 0; w < colWords; ++w) {
    std::uint64_t atL = colL[w] & ~colK[w];
    std::uint64_t atK = colK[w] & ~colL[w];
    if (w == wordA) {
      atK &= ~bitA;
    }
    if (w == wordB) {
      atL &= ~bitB;
    }
    atLOnly += std::popcount(atL);
    atKOnly += std::popcount(atK);
    for (; atL != 0; atL &= atL - 1) {
      const int x = w * 64 + std::countr_zero(atL);
      const std::int32_t sa = sharedA[x];
      const std::int32_t sb = sharedB[x];
      assert(sa < std::min(rA, totals[x]) && sb > 0);
      gapL += sa - sb;
      sharedA[x] = sa + 1;
      columnA[static_cast<std::size_t>(x) * stride] = sa + 1;
      sharedB[x] = sb - 1;
      columnB[static_cast<std::size_t>(x) * stride] = sb - 1;
    }
    for (; atK != 0; atK &= atK - 1) {
      const int x = w * 64 + std::countr_zero(atK);
      const std::int32_t sa = sharedA[x];
      const std::int32_t sb = sharedB[x];
      assert(sa > 0 && sb < std::min(rB, totals[x]));
      gapK += sa - sb;
      sharedA[x] = sa - 1;
      columnA[static_cast<std::size_t>(x) * stride] = sa - 1;
      sharedB[x] = sb + 1;
      columnB[static_cast<std::size_t>(x) * stride] = sb + 1;
    }
  }
  const std::int64_t change = (atLOnly - atKOnly) * (rB - rA) + 2 * (atLOnly + atKOnly) + 2 * (gapL - gapK);
  weightTotal_ += 2 * change;
  weightsStale_ = true;
  // The pair just swapped is still a checkerboard, the other way round.
  assert(weightTotal_ > 0);

  const std::uint64_t bitK = std::uint64_t{1} << (k & 63);
  const std::uint64_t bitL = std::uint64_t{1} << (l & 63);
  rowA[k >> 6] ^= bitK;
  rowA[l >> 6] ^= bitL;
  rowB[k >> 6] ^= bitK;
  rowB[l >> 6] ^= bitL;
  colK[wordA] ^= bitA;
  colK[wordB] ^= bitB;
  colL[wordA] ^= bitA;
  colL[wordB] ^= bitB;
}

bool HasCheckerboard(const Incidence& m, StopCheck* check) {
  const int words = m.WordsPerRow();
  for (int a = 0; a < m.Rows(); ++a) {
    Tick(check, static_cast<std::int64_t>(m.Rows() - a) * (words + 2));
    const std::uint64_t* rowA = m.Row(a);
    for (int b = a + 1; b < m.Rows(); ++b) {
      const std::uint64_t* rowB = m.Row(b);
      bool aOnly = false;
      bool bOnly = false;
      for (int w = 0; w < words; ++w) {
        aOnly = aOnly || (rowA[w] & ~rowB[w]) != 0;
        bOnly = bOnly || (rowB[w] & ~rowA[w]) != 0;
      }
      if (aOnly && bOnly) {
        return true;
      }
    }
  }
  return false;
}

TrialSwapper::TrialSwapper(const Incidence& m, StopCheck* check, bool pairTable)
    : species_(static_cast<std::uint64_t>(m.Rows())) {
  // |A \ B| <= min(rA, N - rB) and |B \ A| <= min(rB, N - rA): the
  // largest product over pairs bounds every pair's checkerboard units.
  const std::vector<int> totals = m.RowTotals();
  const std::int64_t n = m.Cols();
  for (std::size_t a = 0; a < totals.size(); ++a) {
    Tick(check, static_cast<std::int64_t>(totals.size() - a));
    for (std::size_t b = a + 1; b < totals.size(); ++b) {
      const std::int64_t ra = totals[a], rb = totals[b];
      const auto most = static_cast<std::uint64_t>(std::min(ra, n - rb) * std::min(rb, n - ra));
      bound_ = std::max(bound_, most);
    }
  }
  if (pairTable && m.WordsPerRow() == 1 && species_ <= 256) {
    std::uint64_t sum = 0;
    for (std::size_t a = 0; a < totals.size() && sum <= PairTableLimit; ++a) {
      for (std::size_t b = a + 1; b < totals.size(); ++b) {
        const std::int64_t ra = totals[a], rb = totals[b];
        sum += static_cast<std::uint64_t>(std::min(ra, n - rb) * std::min(rb, n - ra));
      }
    }
    if (sum > 0 && sum <= PairTableLimit) {
      Tick(check, static_cast<std::int64_t>(sum + species_ * species_));
      // Within the limit, which a 32-bit size holds too.
      pairTable_.reserve(static_cast<std::size_t>(sum));
      for (std::size_t a = 0; a < totals.size(); ++a) {
        for (std::size_t b = a + 1; b < totals.size(); ++b) {
          const std::int64_t ra = totals[a], rb = totals[b];
          const auto most = static_cast<std::uint32_t>(std::min(ra, n - rb) * std::min(rb, n - ra));
          for (std::uint32_t place = 0; place < most; ++place) {
            pairTable_.push_back(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b) << 8 | place << 16);
          }
        }
      }
      tableThreshold_ = ((std::uint64_t{1} << 16) - sum) % sum;
    }
  }
  narrow_ = species_ >= 2 && species_ < 65536 && bound_ > 0 && bound_ < (std::uint64_t{1} << 32);
  if (narrow_) {
    threshold_[0] = (65536u - species_) % species_;
    threshold_[1] = (65536u - (species_ - 1)) % (species_ - 1);
    threshold_[2] = ((std::uint64_t{1} << 32) - bound_) % bound_;
  }
}

void TrialSwapper::Swaps(Incidence& m, RandomBits& rng, std::int64_t count, StopCheck* check) const {
  const std::int64_t work = SwapWork(m);
  if (pairTable_.empty()) {
    for (std::int64_t s = 0; s < count; ++s) {
      Swap(m, rng);
      Tick(check, work);
    }
    return;
  }
  // In runs short enough for a stop to be seen in time.
  const std::int64_t run = std::max<std::int64_t>(1, StopCheck::Interval / work);
  for (std::int64_t done = 0; done < count; done += run) {
    const std::int64_t now = std::min(run, count - done);
    m.Cols() <= 16 ? SwapsByTable<true>(m, rng, now) : SwapsByTable<false>(m, rng, now);
    Tick(check, now * work);
  }
}

std::int64_t TrialSwapper::TrialLimit() const {
  // Without the pair table, one checkerboard is kept by one trial in
  // R (R - 1) x bound / 2 at worst.
  const double r = static_cast<double>(species_);
  return ::tessil::cooc::TrialLimit(r * (r - 1) * static_cast<double>(bound_) / 2.0);
}

double TrialSwapper::TrialsPerSwap(std::uint64_t checkerboards) const {
  const double r = static_cast<double>(species_);
  return pairTable_.empty() ? r * (r - 1) * static_cast<double>(bound_) / (2.0 * static_cast<double>(checkerboards))
                            : static_cast<double>(pairTable_.size()) / static_cast<double>(checkerboards);
}

Incidence Transposed(const Incidence& m, StopCheck* check) {
  Incidence t(m.Cols(), m.Rows());
  for (int i = 0; i < m.Rows(); ++i) {
    Tick(check, 64 * m.WordsPerRow() + 4);
    ForEachBit(m.Row(i), m.WordsPerRow(), [&](int k) { t.Set(k, i, true); });
  }
  return t;
}

bool TrialSwapper::Pays(std::uint64_t checkerboards) const {
  // A trial costs a few dozen instructions, a weighted swap a few hundred
  // plus a few per species: trials pay while the acceptance is not too low.
  if (bound_ == 0 || species_ < 2) {
    return false;
  }
  const double r = static_cast<double>(species_);
  const double acceptance = pairTable_.empty()
                                ? 2.0 * static_cast<double>(checkerboards) / (r * (r - 1) * static_cast<double>(bound_))
                                : static_cast<double>(checkerboards) / static_cast<double>(pairTable_.size());
  return acceptance * (8 + r) > 1.0;
}

void TrialSwapper::Swap(Incidence& m, RandomBits& rng) const {
  // Most studies' matrices have at most 64 sites: one word per species.
  if (!pairTable_.empty()) {
    m.Cols() <= 16 ? SwapsByTable<true>(m, rng, 1) : SwapsByTable<false>(m, rng, 1);
  } else if (m.WordsPerRow() == 1) {
    SwapWith<1>(m, rng);
  } else if (m.WordsPerRow() == 2) {
    SwapWith<2>(m, rng);
  } else {
    SwapWith<0>(m, rng);
  }
}

template <int FixedWords>
void TrialSwapper::SwapWith(Incidence& m, RandomBits& rng) const {
  const int words = FixedWords > 0 ? FixedWords : m.WordsPerRow();
  std::uint64_t* rows = m.MutableRow(0);
  for (std::int64_t left = TrialLimit();; --left) {
    if (left == 0) [[unlikely]] {
      RunawayChain();
    }
    // A rejected word is redrawn inside Propose, as a rejected trial would
    // be here: the same random words either way.
    const auto [a, b, u] = Propose(rng);
    std::uint64_t* rowA = rows + a * static_cast<std::uint64_t>(words);
    std::uint64_t* rowB = rows + b * static_cast<std::uint64_t>(words);
    std::uint64_t onlyA = 0, onlyB = 0;
    for (int w = 0; w < words; ++w) {
      onlyA += static_cast<std::uint64_t>(std::popcount(rowA[w] & ~rowB[w]));
      onlyB += static_cast<std::uint64_t>(std::popcount(rowB[w] & ~rowA[w]));
    }
    // The pair is kept with chance CU_ab / bound, so kept pairs come in
    // proportion to their checkerboard units; the sites are then uniform.
    if (u >= onlyA * onlyB) {
      continue;
    }
    std::uint64_t rankK = 0, rankL = 0;
    rng.TwoBelow(onlyA, onlyB, rankK, rankL);
    const int k = SelectAmong(rowA, rowB, rankK, words);
    const int l = SelectAmong(rowB, rowA, rankL, words);
    const std::uint64_t bitK = std::uint64_t{1} << (k & 63), bitL = std::uint64_t{1} << (l & 63);
    rowA[k >> 6] ^= bitK;
    rowA[l >> 6] ^= bitL;
    rowB[k >> 6] ^= bitK;
    rowB[l >> 6] ^= bitL;
    return;
  }
}

template <bool Narrow>
void TrialSwapper::SwapsByTable(Incidence& m, RandomBits& rng, std::int64_t count) const {
  std::uint64_t* rows = m.MutableRow(0);
  const std::uint32_t* table = pairTable_.data();
  const std::uint64_t sum = pairTable_.size();
  std::uint64_t x = 0;
  int left = 0;  // quarters of x not used yet
  std::int64_t rounds = 0;
  const std::int64_t roundLimit = RoundLimit(count, sum);
  while (count > 0) {
    // Four trials from one word, each by Lemire's method on a quarter of
    // it; a quarter in the rejection zone is skipped, which leaves the
    // others uniform.
    if (left == 0) {
      if (++rounds > roundLimit) [[unlikely]] {
        RunawayChain();
      }
      x = rng.Next();
      left = 4;
    }
    const std::uint64_t product = (x & 0xFFFFu) * sum;
    x >>= 16;
    --left;
    if ((product & 0xFFFFu) < tableThreshold_) {
      continue;
    }
    const std::uint32_t entry = table[product >> 16];
    std::uint64_t& rowA = rows[entry & 0xFFu];
    std::uint64_t& rowB = rows[(entry >> 8) & 0xFFu];
    const std::uint32_t place = entry >> 16;
    const std::uint64_t onlyA = rowA & ~rowB;
    const std::uint64_t onlyB = rowB & ~rowA;
    const auto countA = static_cast<std::uint32_t>(std::popcount(onlyA));
    const auto countB = static_cast<std::uint32_t>(std::popcount(onlyB));
    if (place >= countA * countB) {
      continue;
    }
    // The place is uniform below countA x countB: its quotient and
    // remainder by countB are independent uniform ranks.
    const std::uint64_t flip = Narrow ? std::uint64_t{1} << Select16(onlyA, place / countB) |
                                            std::uint64_t{1} << Select16(onlyB, place % countB)
                                      : std::uint64_t{1} << SelectBit(onlyA, place / countB) |
                                            std::uint64_t{1} << SelectBit(onlyB, place % countB);
    rowA ^= flip;
    rowB ^= flip;
    --count;
  }
}

namespace {

// ceil(2^32 / d) for d from 1 to 64 (0 for 0): for a place below 2^16,
// (place x it) >> 32 is place / d exactly (Lemire, Kaser and Kurz 2019), a
// multiply where a division would hold up every trial.
struct Reciprocals {
  std::uint64_t Of[65] = {};
  constexpr Reciprocals() {
    for (std::uint64_t d = 1; d <= 64; ++d) {
      Of[d] = ((std::uint64_t{1} << 32) + d - 1) / d;
    }
  }
};
inline constexpr Reciprocals kReciprocals{};

// One chain's state while it runs beside others, kept together so that a
// trial reads one line or two of it.
struct HotLane {
  explicit HotLane(const RandomBits& rng) : Rng(rng) {}
  std::uint64_t* Rows = nullptr;
  const std::uint32_t* Table = nullptr;
  std::uint64_t Sum = 0;
  std::uint64_t Threshold = 0;
  std::uint64_t Word = 0;
  std::uint32_t Entry = 0;   // the pair table's entry of this quarter's trial
  std::int64_t RunLeft = 0;  // kept swaps still to make in this run
  std::int64_t Later = 0;    // kept swaps after this run
  std::int64_t Rounds = 0;   // random words drawn in this run
  std::int64_t Limit = 0;    // rounds a run may take
  std::int64_t Run = 0;      // kept swaps in a whole run
  std::int64_t Now = 0;      // kept swaps in this run
  std::int64_t Work = 0;     // units of work one swap counts
  RandomBits Rng;
  std::size_t Lane = 0;
};

template <bool Narrow>
std::uint64_t SelectPair(std::uint64_t onlyA, std::uint64_t onlyB, std::uint64_t rankK, std::uint64_t rankL) {
  if constexpr (Narrow) {
    return std::uint64_t{1} << Select16(onlyA, rankK) | std::uint64_t{1} << Select16(onlyB, rankL);
  } else {
    return std::uint64_t{1} << SelectBit(onlyA, rankK) | std::uint64_t{1} << SelectBit(onlyB, rankL);
  }
}

// Rounds of one random word a lane: four trials from its four quarters, as
// SwapsByTable draws them, taken a quarter at a time across all lanes.
template <bool Narrow>
void RoundsSideBySide(std::span<TrialSwapper::Lane> lanes, std::vector<HotLane>& hot) {
  std::size_t active = hot.size();
  HotLane* h = hot.data();
  std::vector<std::uint32_t> keptLanes(active);
  while (active > 0) {
    for (std::size_t j = 0; j < active; ++j) {
      h[j].Word = h[j].Rng.Next();
    }
    // The quarter's shift is a constant in each copy of the step.
    const auto step = [&](auto quarter) {
      constexpr int shift = 16 * decltype(quarter)::value;
      // First every lane's trial is judged, without a branch, and the lanes
      // that keep theirs are listed; then only those select their sites
      // and flip, so a trial thrown away costs no selection.
      std::size_t kept = 0;
      for (std::size_t j = 0; j < active; ++j) {
        HotLane& lane = h[j];
        const std::uint64_t product = ((lane.Word >> shift) & 0xFFFFu) * lane.Sum;
        const std::uint32_t entry = lane.Table[product >> 16];
        const std::uint64_t rowA = lane.Rows[entry & 0xFFu];
        const std::uint64_t rowB = lane.Rows[(entry >> 8) & 0xFFu];
        const auto countA = static_cast<std::uint32_t>(std::popcount(rowA & ~rowB));
        const auto countB = static_cast<std::uint32_t>(std::popcount(rowB & ~rowA));
        // Kept: the quarter is outside its rejection zone, the place is
        // below the pair's checkerboard units, and the run wants a swap.
        const std::uint32_t keep = static_cast<std::uint32_t>((product & 0xFFFFu) >= lane.Threshold) &
                                   static_cast<std::uint32_t>((entry >> 16) < countA * countB) &
                                   static_cast<std::uint32_t>(lane.RunLeft > 0);
        lane.Entry = entry;
        keptLanes[kept] = static_cast<std::uint32_t>(j);
        kept += keep;
        lane.RunLeft -= keep;
      }
      for (std::size_t i = 0; i < kept; ++i) {
        HotLane& lane = h[keptLanes[i]];
        const std::uint32_t entry = lane.Entry;
        std::uint64_t& rowA = lane.Rows[entry & 0xFFu];
        std::uint64_t& rowB = lane.Rows[(entry >> 8) & 0xFFu];
        const std::uint64_t onlyA = rowA & ~rowB;
        const std::uint64_t onlyB = rowB & ~rowA;
        const std::uint64_t place = entry >> 16;
        // The place is uniform below countA x countB: its quotient and
        // remainder by countB are independent uniform ranks.
        const auto countB = static_cast<std::uint64_t>(std::popcount(onlyB));
        const std::uint64_t rankK = (place * kReciprocals.Of[countB]) >> 32;
        const std::uint64_t rankL = place - rankK * countB;
        const std::uint64_t flip = SelectPair<Narrow>(onlyA, onlyB, rankK, rankL);
        rowA ^= flip;
        rowB ^= flip;
      }
    };
    step(std::integral_constant<int, 0>{});
    step(std::integral_constant<int, 1>{});
    step(std::integral_constant<int, 2>{});
    step(std::integral_constant<int, 3>{});
    for (std::size_t j = 0; j < active; ++j) {
      HotLane& lane = h[j];
      if (lane.RunLeft > 0) {
        if (++lane.Rounds > lane.Limit) [[unlikely]] {
          RunawayChain();
        }
        continue;
      }
      TrialSwapper::Lane& out = lanes[lane.Lane];
      bool done = lane.Later == 0;
      try {
        Tick(out.Check, lane.Now * lane.Work);
      } catch (const StopRequested&) {
        out.Stopped = true;
        done = true;
      }
      if (!done) {
        lane.Now = std::min(lane.Run, lane.Later);
        lane.Later -= lane.Now;
        lane.RunLeft = lane.Now;
        lane.Rounds = 0;
        lane.Limit = RoundLimit(lane.Now, lane.Sum);
        continue;
      }
      *out.Rng = lane.Rng;
      h[j] = h[active - 1];
      --active;
      --j;
    }
  }
}

}  // namespace

void TrialSwapper::SwapsSideBySide(std::span<Lane> lanes) {
  std::vector<HotLane> narrow;
  std::vector<HotLane> wide;
  for (std::size_t i = 0; i < lanes.size(); ++i) {
    Lane& lane = lanes[i];
    const TrialSwapper& trials = *lane.Trials;
    Incidence& m = *lane.Matrix;
    if (trials.pairTable_.empty() || m.WordsPerRow() != 1) {
      throw std::invalid_argument("only chains that use the pair table can run side by side");
    }
    if (lane.Count <= 0) {
      continue;
    }
    HotLane h(*lane.Rng);
    h.Rows = m.MutableRow(0);
    h.Table = trials.pairTable_.data();
    h.Sum = trials.pairTable_.size();
    h.Threshold = trials.tableThreshold_;
    h.Work = trials.SwapWork(m);
    // The runs of Swaps, so that the random words and the ticks are the
    // same as there.
    h.Run = std::max<std::int64_t>(1, StopCheck::Interval / h.Work);
    h.Now = std::min(h.Run, lane.Count);
    h.Later = lane.Count - h.Now;
    h.RunLeft = h.Now;
    h.Limit = RoundLimit(h.Now, h.Sum);
    h.Lane = i;
    (m.Cols() <= 16 ? narrow : wide).push_back(h);
  }
  RoundsSideBySide<true>(lanes, narrow);
  RoundsSideBySide<false>(lanes, wide);
}

CellSwapper::CellSwapper(const Incidence& m, StopCheck* check) {
  const std::int64_t fill = m.Fill();
  usable_ = m.Rows() <= 65536 && m.Cols() <= 65536 && fill > 0 && fill < (std::int64_t{1} << 32);
  if (!usable_) {
    return;
  }
  cells_.reserve(static_cast<std::size_t>(fill));
  for (int i = 0; i < m.Rows(); ++i) {
    Tick(check, 64 * m.WordsPerRow() + 4);
    ForEachBit(m.Row(i), m.WordsPerRow(),
               [&](int k) { cells_.push_back(static_cast<std::uint32_t>(i) << 16 | static_cast<std::uint32_t>(k)); });
  }
  const std::uint64_t f = cells_.size();
  threshold_ = f < 65536 ? (65536u - f) % f : ((std::uint64_t{1} << 32) - f) % f;
}

void CellSwapper::Swaps(Incidence& m, RandomBits& rng, std::int64_t count, StopCheck* check) {
  assert(usable_);
  const std::int64_t work = 2 * m.WordsPerRow() + 16;
  const std::int64_t run = std::max<std::int64_t>(1, StopCheck::Interval / work);
  for (std::int64_t done = 0; done < count; done += run) {
    const std::int64_t now = std::min(run, count - done);
    cells_.size() < 65536 ? SwapsOf<true>(m, rng, now) : SwapsOf<false>(m, rng, now);
    Tick(check, now * work);
  }
}

template <bool Narrow>
void CellSwapper::SwapsOf(Incidence& m, RandomBits& rng, std::int64_t count) {
  std::uint64_t* rows = m.MutableRow(0);
  const auto words = static_cast<std::uint64_t>(m.WordsPerRow());
  std::uint32_t* cells = cells_.data();
  const std::uint64_t f = cells_.size();
  constexpr int bits = Narrow ? 16 : 32;
  constexpr std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
  std::uint64_t x = 0;
  int left = 0;  // trials left in x
  // Each swap has at least two of the F^2 ordered draws of two cells.
  std::int64_t drawn = 0;
  const double worst = static_cast<double>(f) * static_cast<double>(f) / 2.0;
  const std::int64_t wordLimit = TrialLimit(worst * static_cast<double>(count));
  while (count > 0) {
    if (left == 0) {
      if (++drawn > wordLimit) [[unlikely]] {
        RunawayChain();
      }
      x = rng.Next();
      left = Narrow ? 2 : 1;
    }
    // Two Lemire draws below F; one in its rejection zone throws the trial
    // away, which leaves the others uniform.
    const std::uint64_t p1 = (x & mask) * f;
    const std::uint64_t p2 = ((x >> bits) & mask) * f;
    x = Narrow ? x >> 32 : 0;
    --left;
    if (((p1 & mask) < threshold_) | ((p2 & mask) < threshold_)) {
      continue;
    }
    const std::uint64_t i1 = p1 >> bits;
    const std::uint64_t i2 = p2 >> bits;
    const std::uint32_t c1 = cells[i1];
    const std::uint32_t c2 = cells[i2];
    const std::uint64_t a = c1 >> 16;
    const std::uint64_t k = c1 & 0xFFFFu;
    const std::uint64_t b = c2 >> 16;
    const std::uint64_t l = c2 & 0xFFFFu;
    std::uint64_t& al = rows[a * words + (l >> 6)];
    std::uint64_t& bk = rows[b * words + (k >> 6)];
    if ((((al >> (l & 63)) | (bk >> (k & 63))) & 1u) != 0) {
      continue;
    }
    al ^= std::uint64_t{1} << (l & 63);
    bk ^= std::uint64_t{1} << (k & 63);
    rows[a * words + (k >> 6)] ^= std::uint64_t{1} << (k & 63);
    rows[b * words + (l >> 6)] ^= std::uint64_t{1} << (l & 63);
    cells[i1] = static_cast<std::uint32_t>(a << 16 | l);
    cells[i2] = static_cast<std::uint32_t>(b << 16 | k);
    --count;
  }
}

std::uint64_t SwapChain::CheckerboardPairs(StopCheck* check) const {
  // Counted when asked, from the overlaps: only null matrices need it, not
  // the swaps between them.
  std::uint64_t pairs = 0;
  for (int a = 0; a < rows_; ++a) {
    if (totals_[static_cast<std::size_t>(a)] == 0) {
      continue;
    }
    const std::int32_t* sharedA = shared_.data() + Pair(a, 0);
    Tick(check, rows_ - a);
    for (int b = a + 1; b < rows_; ++b) {
      pairs += sharedA[b] == 0 && totals_[static_cast<std::size_t>(b)] > 0 ? 1 : 0;
    }
  }
  return pairs;
}

}  // namespace tessil::cooc
