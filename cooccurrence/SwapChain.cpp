#include "SwapChain.h"

#include <algorithm>
#include <cassert>

namespace tessil::cooc {
namespace {

// The site of `rank` among those set in `have` and clear in `lack`.
inline int SelectAmong(const std::uint64_t* have, const std::uint64_t* lack, std::uint64_t rank) {
  for (int w = 0;; ++w) {
    const std::uint64_t x = have[w] & ~lack[w];
    const auto count = static_cast<std::uint64_t>(std::popcount(x));
    if (rank < count) {
      return w * 64 + SelectBit(x, rank);
    }
    rank -= count;
  }
}

}  // namespace

SwapChain::SwapChain(const Incidence& start, StopCheck* check)
    : matrix_(start), rows_(start.Rows()), col_words_((start.Rows() + 63) / 64) {
  const int n = start.Cols();
  columns_.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(col_words_), 0);
  totals_.resize(static_cast<std::size_t>(rows_));
  std::uint64_t occurring = 0;
  for (int i = 0; i < rows_; ++i) {
    totals_[static_cast<std::size_t>(i)] = start.RowTotal(i);
    occurring += totals_[static_cast<std::size_t>(i)] > 0 ? 1 : 0;
    ForEachBit(start.Row(i), start.WordsPerRow(), [&](int k) {
      columns_[static_cast<std::size_t>(k) * static_cast<std::size_t>(col_words_) + static_cast<std::size_t>(i >> 6)] |=
          std::uint64_t{1} << (i & 63);
    });
  }
  occurring_pairs_ = occurring * (occurring - (occurring > 0 ? 1 : 0)) / 2;
  shared_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(rows_), 0);
  weights_.assign(static_cast<std::size_t>(rows_), 0);
  const int words = start.WordsPerRow();
  for (int a = 0; a < rows_; ++a) {
    const std::int64_t r_a = totals_[static_cast<std::size_t>(a)];
    // S_aa = r_a makes CU_aa = 0, so row scans need not skip the diagonal.
    shared_[Pair(a, a)] = static_cast<std::int32_t>(r_a);
    Tick(check, static_cast<std::int64_t>(rows_ - a) * (words + 4));
    for (int b = a + 1; b < rows_; ++b) {
      int s = 0;
      for (int w = 0; w < words; ++w) {
        s += std::popcount(start.Row(a)[w] & start.Row(b)[w]);
      }
      const std::int64_t r_b = totals_[static_cast<std::size_t>(b)];
      const std::int64_t cu = (r_a - s) * (r_b - s);
      shared_[Pair(a, b)] = shared_[Pair(b, a)] = s;
      weights_[static_cast<std::size_t>(a)] += cu;
      weights_[static_cast<std::size_t>(b)] += cu;
      weight_total_ += 2 * cu;
    }
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
  col_words_ = other.col_words_;
  AssignSliced(columns_, other.columns_, check);
  AssignSliced(totals_, other.totals_, check);
  AssignSliced(shared_, other.shared_, check);
  AssignSliced(weights_, other.weights_, check);
  weight_total_ = other.weight_total_;
  occurring_pairs_ = other.occurring_pairs_;
}

void SwapChain::Swap(RandomBits& rng) {
  // One draw picks the ordered pair (a, b) with chance CU_ab / (2 x total):
  // what is left of it after choosing a is uniform below a's weight, and
  // picks b among a's partners.
  const std::int64_t* weights = weights_.data();
  const std::int64_t* totals = totals_.data();
  std::int32_t* shared = shared_.data();
  // A chain without a checkerboard cannot move; corrupted weights would
  // walk the scans below past the last species.
  assert(weight_total_ > 0 && weight_total_ % 2 == 0);
  std::uint64_t u = rng.Below(static_cast<std::uint64_t>(weight_total_));
  int a = 0;
  while (u >= static_cast<std::uint64_t>(weights[a])) {
    u -= static_cast<std::uint64_t>(weights[a]);
    ++a;
    assert(a < rows_ && "the species' weights add up to less than their total");
  }
  std::int32_t* shared_a = shared + Pair(a, 0);
  const std::int64_t r_a = totals[a];
  int b = 0;
  for (;; ++b) {
    const auto cu = static_cast<std::uint64_t>((r_a - shared_a[b]) * (totals[b] - shared_a[b]));
    if (u < cu) {
      break;
    }
    u -= cu;
    assert(b + 1 < rows_ && "a species' pair units add up to less than its weight");
  }
  const auto only_a = static_cast<std::uint64_t>(r_a - shared_a[b]);
  const auto only_b = static_cast<std::uint64_t>(totals[b] - shared_a[b]);
  std::int32_t* shared_b = shared + Pair(b, 0);
  const std::int64_t r_b = totals[b];
  assert(a != b && only_a > 0 && only_b > 0);
  assert(shared[Pair(b, a)] == shared_a[b] && "the pair table is no longer symmetric");

  // k: a site a occupies and b lacks; l: the reverse. Each is uniform.
  std::uint64_t* row_a = matrix_.MutableRow(a);
  std::uint64_t* row_b = matrix_.MutableRow(b);
  std::uint64_t rank_k = 0;
  std::uint64_t rank_l = 0;
  rng.TwoBelow(only_a, only_b, rank_k, rank_l);
  const int k = SelectAmong(row_a, row_b, rank_k);
  const int l = SelectAmong(row_b, row_a, rank_l);
  // The flip keeps both margins only on a checkerboard: a at k and not l, b
  // at l and not k.
  assert(k < matrix_.Cols() && l < matrix_.Cols());
  assert(matrix_.Get(a, k) && !matrix_.Get(a, l) && matrix_.Get(b, l) && !matrix_.Get(b, k));

  // a moves from k to l, b from l to k: only the species at exactly one of
  // the two sites change their overlap with a and with b.
  std::uint64_t* col_k = columns_.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(col_words_);
  std::uint64_t* col_l = columns_.data() + static_cast<std::size_t>(l) * static_cast<std::size_t>(col_words_);
  const std::uint64_t bit_a = std::uint64_t{1} << (a & 63);
  const std::uint64_t bit_b = std::uint64_t{1} << (b & 63);
  const int word_a = a >> 6;
  const int word_b = b >> 6;
  // With CU(s) = (r_x - s)(r_c - s), moving s by d (+1 or -1) changes CU
  // by -d (r_x + r_c - 2 s') - 1, where s' is the new overlap.
  std::int64_t change_a = 0;
  std::int64_t change_b = 0;
  const auto shift = [&](int c, std::int32_t d) {
    const std::int64_t r_c = totals[c];
    const std::int32_t ac = shared_a[c] + d;
    const std::int32_t bc = shared_b[c] - d;
    // An overlap never exceeds either species' total.
    assert(ac >= 0 && ac <= std::min(r_a, r_c) && bc >= 0 && bc <= std::min(r_b, r_c));
    shared_a[c] = ac;
    shared[Pair(c, a)] = ac;
    shared_b[c] = bc;
    shared[Pair(c, b)] = bc;
    const std::int64_t da = -d * (r_a + r_c - 2 * ac) - 1;
    const std::int64_t db = d * (r_b + r_c - 2 * bc) - 1;
    change_a += da;
    change_b += db;
    weights_[static_cast<std::size_t>(c)] += da + db;
    assert(weights_[static_cast<std::size_t>(c)] >= 0);
  };
  for (int w = 0; w < col_words_; ++w) {
    std::uint64_t at_l = col_l[w] & ~col_k[w];
    std::uint64_t at_k = col_k[w] & ~col_l[w];
    if (w == word_a) {
      at_k &= ~bit_a;
    }
    if (w == word_b) {
      at_l &= ~bit_b;
    }
    for (; at_l != 0; at_l &= at_l - 1) {
      shift(w * 64 + std::countr_zero(at_l), +1);
    }
    for (; at_k != 0; at_k &= at_k - 1) {
      shift(w * 64 + std::countr_zero(at_k), -1);
    }
  }
  weights_[static_cast<std::size_t>(a)] += change_a;
  weights_[static_cast<std::size_t>(b)] += change_b;
  weight_total_ += 2 * (change_a + change_b);
  assert(weights_[static_cast<std::size_t>(a)] >= 0 && weights_[static_cast<std::size_t>(b)] >= 0);
  // The pair just swapped is still a checkerboard, the other way round.
  assert(weight_total_ > 0);

  const std::uint64_t bit_k = std::uint64_t{1} << (k & 63);
  const std::uint64_t bit_l = std::uint64_t{1} << (l & 63);
  row_a[k >> 6] ^= bit_k;
  row_a[l >> 6] ^= bit_l;
  row_b[k >> 6] ^= bit_k;
  row_b[l >> 6] ^= bit_l;
  col_k[word_a] ^= bit_a;
  col_k[word_b] ^= bit_b;
  col_l[word_a] ^= bit_a;
  col_l[word_b] ^= bit_b;
  // The site bitsets follow the rows.
  assert((col_k[word_b] & bit_b) != 0 && (col_k[word_a] & bit_a) == 0);
  assert((col_l[word_a] & bit_a) != 0 && (col_l[word_b] & bit_b) == 0);
}

bool HasCheckerboard(const Incidence& m, StopCheck* check) {
  const int words = m.WordsPerRow();
  for (int a = 0; a < m.Rows(); ++a) {
    Tick(check, static_cast<std::int64_t>(m.Rows() - a) * (words + 2));
    const std::uint64_t* row_a = m.Row(a);
    for (int b = a + 1; b < m.Rows(); ++b) {
      const std::uint64_t* row_b = m.Row(b);
      bool a_only = false;
      bool b_only = false;
      for (int w = 0; w < words; ++w) {
        a_only = a_only || (row_a[w] & ~row_b[w]) != 0;
        b_only = b_only || (row_b[w] & ~row_a[w]) != 0;
      }
      if (a_only && b_only) {
        return true;
      }
    }
  }
  return false;
}

TrialSwapper::TrialSwapper(const Incidence& m, StopCheck* check) : species_(static_cast<std::uint64_t>(m.Rows())) {
  // |A \ B| <= min(r_a, N - r_b) and |B \ A| <= min(r_b, N - r_a): the
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
  narrow_ = species_ >= 2 && species_ < 65536 && bound_ > 0 && bound_ < (std::uint64_t{1} << 32);
  if (narrow_) {
    threshold_[0] = (65536u - species_) % species_;
    threshold_[1] = (65536u - (species_ - 1)) % (species_ - 1);
    threshold_[2] = ((std::uint64_t{1} << 32) - bound_) % bound_;
  }
}

bool TrialSwapper::Pays(std::uint64_t checkerboards) const {
  // A trial costs a few dozen instructions, a weighted swap a few hundred
  // plus a few per species: trials pay while the acceptance is not too low.
  if (bound_ == 0 || species_ < 2) {
    return false;
  }
  const double r = static_cast<double>(species_);
  const double acceptance = 2.0 * static_cast<double>(checkerboards) / (r * (r - 1) * static_cast<double>(bound_));
  return acceptance * (8 + r) > 1.0;
}

void TrialSwapper::Swap(Incidence& m, RandomBits& rng) const {
  // Most studies' matrices have at most 64 sites: one word per species.
  if (m.WordsPerRow() == 1) {
    SwapWith<1>(m, rng);
  } else {
    SwapWith<0>(m, rng);
  }
}

template <int FixedWords>
void TrialSwapper::SwapWith(Incidence& m, RandomBits& rng) const {
  const int words = FixedWords > 0 ? FixedWords : m.WordsPerRow();
  std::uint64_t* rows = m.MutableRow(0);
  for (;;) {
    std::uint64_t a = 0, b = 0, u = 0;
    if (narrow_) {
      // Two 16-bit and one 32-bit Lemire draw from one word; a draw in its
      // rejection zone throws the whole trial away, which leaves the rest
      // uniform.
      const std::uint64_t x = rng.Next();
      const std::uint64_t m0 = (x & 0xFFFFu) * species_;
      const std::uint64_t m1 = ((x >> 16) & 0xFFFFu) * (species_ - 1);
      const std::uint64_t m2 = (x >> 32) * bound_;
      if (((m0 & 0xFFFFu) < threshold_[0]) | ((m1 & 0xFFFFu) < threshold_[1]) | ((m2 & 0xFFFFFFFFu) < threshold_[2])) {
        continue;
      }
      a = m0 >> 16;
      b = m1 >> 16;
      u = m2 >> 32;
    } else {
      a = rng.Below(species_);
      b = rng.Below(species_ - 1);
      u = rng.Below(bound_);
    }
    b += b >= a ? 1 : 0;
    std::uint64_t* row_a = rows + a * static_cast<std::uint64_t>(words);
    std::uint64_t* row_b = rows + b * static_cast<std::uint64_t>(words);
    std::uint64_t only_a = 0, only_b = 0;
    for (int w = 0; w < words; ++w) {
      only_a += static_cast<std::uint64_t>(std::popcount(row_a[w] & ~row_b[w]));
      only_b += static_cast<std::uint64_t>(std::popcount(row_b[w] & ~row_a[w]));
    }
    // The pair is kept with chance CU_ab / bound, so kept pairs come in
    // proportion to their checkerboard units; the sites are then uniform.
    if (u >= only_a * only_b) {
      continue;
    }
    std::uint64_t rank_k = 0, rank_l = 0;
    rng.TwoBelow(only_a, only_b, rank_k, rank_l);
    const int k = SelectAmong(row_a, row_b, rank_k);
    const int l = SelectAmong(row_b, row_a, rank_l);
    const std::uint64_t bit_k = std::uint64_t{1} << (k & 63), bit_l = std::uint64_t{1} << (l & 63);
    row_a[k >> 6] ^= bit_k;
    row_a[l >> 6] ^= bit_l;
    row_b[k >> 6] ^= bit_k;
    row_b[l >> 6] ^= bit_l;
    return;
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
    const std::int32_t* shared_a = shared_.data() + Pair(a, 0);
    Tick(check, rows_ - a);
    for (int b = a + 1; b < rows_; ++b) {
      pairs += shared_a[b] == 0 && totals_[static_cast<std::size_t>(b)] > 0 ? 1 : 0;
    }
  }
  return pairs;
}

}  // namespace tessil::cooc
