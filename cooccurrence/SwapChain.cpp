#include "SwapChain.h"

namespace tessil::cooc {

SwapChain::SwapChain(const Incidence& start)
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
  const std::size_t cells = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(rows_);
  shared_.assign(cells, 0);
  units_.assign(cells, 0);
  weights_.assign(static_cast<std::size_t>(rows_), 0);
  const int words = start.WordsPerRow();
  for (int a = 0; a < rows_; ++a) {
    for (int b = a + 1; b < rows_; ++b) {
      int s = 0;
      for (int w = 0; w < words; ++w) {
        s += std::popcount(start.Row(a)[w] & start.Row(b)[w]);
      }
      const std::int64_t cu = (totals_[static_cast<std::size_t>(a)] - s) * (totals_[static_cast<std::size_t>(b)] - s);
      shared_[Pair(a, b)] = shared_[Pair(b, a)] = s;
      units_[Pair(a, b)] = units_[Pair(b, a)] = cu;
      weights_[static_cast<std::size_t>(a)] += cu;
      weights_[static_cast<std::size_t>(b)] += cu;
      weight_total_ += 2 * cu;
      if (s == 0 && totals_[static_cast<std::size_t>(a)] > 0 && totals_[static_cast<std::size_t>(b)] > 0) {
        ++checkerboard_pairs_;
      }
    }
  }
}

// S_ac changes by delta (+1 or -1); both species occur, since c sits at one
// of the swapped sites and a at the other.
void SwapChain::Shift(int a, int c, int delta) {
  const std::int32_t before = shared_[Pair(a, c)];
  const std::int32_t after = before + delta;
  shared_[Pair(a, c)] = shared_[Pair(c, a)] = after;
  const std::int64_t cu = (totals_[static_cast<std::size_t>(a)] - after) * (totals_[static_cast<std::size_t>(c)] - after);
  const std::int64_t change = cu - units_[Pair(a, c)];
  units_[Pair(a, c)] = units_[Pair(c, a)] = cu;
  weights_[static_cast<std::size_t>(a)] += change;
  weights_[static_cast<std::size_t>(c)] += change;
  weight_total_ += 2 * change;
  if (before == 0) {
    --checkerboard_pairs_;
  } else if (after == 0) {
    ++checkerboard_pairs_;
  }
}

void SwapChain::Swap(RandomBits& rng) {
  // One draw picks the ordered pair (a, b) with chance CU_ab / (2 x total)
  // and, from what is left of it, the two sites: the remainder after each
  // step is uniform over that step's range.
  std::uint64_t u = rng.Below(static_cast<std::uint64_t>(weight_total_));
  int a = 0;
  while (u >= static_cast<std::uint64_t>(weights_[static_cast<std::size_t>(a)])) {
    u -= static_cast<std::uint64_t>(weights_[static_cast<std::size_t>(a)]);
    ++a;
  }
  const std::int64_t* unit_row = units_.data() + Pair(a, 0);
  int b = 0;
  while (u >= static_cast<std::uint64_t>(unit_row[b])) {
    u -= static_cast<std::uint64_t>(unit_row[b]);
    ++b;
  }
  const std::uint64_t only_a = static_cast<std::uint64_t>(totals_[static_cast<std::size_t>(a)] - shared_[Pair(a, b)]);
  int rank_k = static_cast<int>(u % only_a);
  int rank_l = static_cast<int>(u / only_a);

  // k: a site a occupies and b does not; l: the reverse.
  std::uint64_t* row_a = matrix_.MutableRow(a);
  std::uint64_t* row_b = matrix_.MutableRow(b);
  int k = -1;
  int l = -1;
  for (int w = 0; k < 0; ++w) {
    const std::uint64_t x = row_a[w] & ~row_b[w];
    const int c = std::popcount(x);
    if (rank_k < c) {
      k = w * 64 + SelectBit(x, rank_k);
    }
    rank_k -= c;
  }
  for (int w = 0; l < 0; ++w) {
    const std::uint64_t x = row_b[w] & ~row_a[w];
    const int c = std::popcount(x);
    if (rank_l < c) {
      l = w * 64 + SelectBit(x, rank_l);
    }
    rank_l -= c;
  }

  // Species at exactly one of the two sites change their overlap with a and
  // b: a moves from k to l, b from l to k.
  std::uint64_t* col_k = columns_.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(col_words_);
  std::uint64_t* col_l = columns_.data() + static_cast<std::size_t>(l) * static_cast<std::size_t>(col_words_);
  const std::uint64_t bit_a = std::uint64_t{1} << (a & 63);
  const std::uint64_t bit_b = std::uint64_t{1} << (b & 63);
  const int word_a = a >> 6;
  const int word_b = b >> 6;
  for (int w = 0; w < col_words_; ++w) {
    std::uint64_t at_l = col_l[w] & ~col_k[w];
    std::uint64_t at_k = col_k[w] & ~col_l[w];
    if (w == word_a) {
      at_k &= ~bit_a;
    }
    if (w == word_b) {
      at_l &= ~bit_b;
    }
    while (at_l != 0) {
      const int c = w * 64 + std::countr_zero(at_l);
      Shift(a, c, +1);
      Shift(b, c, -1);
      at_l &= at_l - 1;
    }
    while (at_k != 0) {
      const int c = w * 64 + std::countr_zero(at_k);
      Shift(a, c, -1);
      Shift(b, c, +1);
      at_k &= at_k - 1;
    }
  }

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
}

}  // namespace tessil::cooc
