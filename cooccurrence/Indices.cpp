#include "Indices.h"

#include <algorithm>
#include <bit>
#include <numeric>

#include "RandomBits.h"

namespace tessil::cooc {

int Compare(const Fraction& a, const Fraction& b) {
  const Wide left = MultiplyWide(a.Num, b.Den);
  const Wide right = MultiplyWide(b.Num, a.Den);
  if (left.High != right.High) {
    return left.High < right.High ? -1 : 1;
  }
  if (left.Low != right.Low) {
    return left.Low < right.Low ? -1 : 1;
  }
  return 0;
}

std::optional<Fraction> IndexEvaluator::Evaluate(IndexKind kind, const Incidence& m, SiteRule sites) {
  switch (kind) {
    case IndexKind::CScore:
    case IndexKind::Checkerboards:
      return PairIndex(kind, m);
    case IndexKind::Combinations:
      return Fraction{Combinations(m, sites), 1};
    case IndexKind::VRatio:
      return VRatio(m, sites);
  }
  return std::nullopt;
}

template <int Words, bool Boards>
std::pair<std::uint64_t, std::uint64_t> IndexEvaluator::PackedUnits(std::size_t species) {
  const std::uint64_t* rows = packed_.data();
  const int* totals = occurring_.data();
  std::uint64_t units = 0;
  std::uint64_t checkerboards = 0;
  for (std::size_t x = 0; x + 1 < species; ++x) {
    Tick(check_, static_cast<std::int64_t>(species - x) * 4);
    const std::uint64_t i0 = rows[2 * x], i1 = rows[2 * x + 1];
    const std::int64_t rI = totals[x];
    for (std::size_t y = x + 1; y < species; ++y) {
      std::int64_t shared = std::popcount(i0 & rows[2 * y]);
      if constexpr (Words == 2) {
        shared += std::popcount(i1 & rows[2 * y + 1]);
      }
      if constexpr (Boards) {
        checkerboards += shared == 0 ? 1 : 0;
      } else {
        units += static_cast<std::uint64_t>((rI - shared) * (totals[y] - shared));
      }
    }
  }
  return {units, checkerboards};
}

std::optional<Fraction> IndexEvaluator::PairIndex(IndexKind kind, const Incidence& m) {
  const int words = m.WordsPerRow();
  const auto rows = static_cast<std::size_t>(m.Rows());
  Tick(check_, static_cast<std::int64_t>(rows) * (words + 1));
  std::uint64_t units = 0;
  std::uint64_t checkerboards = 0;
  std::size_t species = 0;
  if (words <= 2) {
    // Most matrices have at most 128 sites: the occurring species' rows are
    // packed side by side, their totals likewise, so that the pair loop
    // reads two arrays and nothing else.
    packed_.resize(std::max<std::size_t>(rows, 1) * 2);
    occurring_.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
      const std::uint64_t* row = m.Row(static_cast<int>(i));
      const std::uint64_t w0 = words > 0 ? row[0] : 0;
      const std::uint64_t w1 = words == 2 ? row[1] : 0;
      const int r = std::popcount(w0) + std::popcount(w1);
      packed_[2 * species] = w0;
      packed_[2 * species + 1] = w1;
      occurring_[species] = r;
      species += r > 0 ? 1 : 0;
    }
    if (species < 2) {
      return std::nullopt;
    }
    const bool boards = kind == IndexKind::Checkerboards;
    const auto count = words == 1 ? (boards ? PackedUnits<1, true>(species) : PackedUnits<1, false>(species))
                                  : (boards ? PackedUnits<2, true>(species) : PackedUnits<2, false>(species));
    units = count.first;
    checkerboards = count.second;
  } else {
    occurring_.clear();
    totals_.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
      const int r = m.RowTotal(static_cast<int>(i));
      totals_[i] = r;
      if (r > 0) {
        occurring_.push_back(static_cast<int>(i));
      }
    }
    species = occurring_.size();
    if (species < 2) {
      return std::nullopt;
    }
  }
  for (std::size_t x = 0; words > 2 && x + 1 < species; ++x) {
    Tick(check_, static_cast<std::int64_t>(species - x) * (words + 2));
    const int i = occurring_[x];
    const std::uint64_t* rowI = m.Row(i);
    const std::int64_t rI = totals_[static_cast<std::size_t>(i)];
    for (std::size_t y = x + 1; y < species; ++y) {
      const int j = occurring_[y];
      const std::uint64_t* rowJ = m.Row(j);
      std::int64_t shared = 0;
      for (int w = 0; w < words; ++w) {
        shared += std::popcount(rowI[w] & rowJ[w]);
      }
      units += static_cast<std::uint64_t>((rI - shared) * (totals_[static_cast<std::size_t>(j)] - shared));
      checkerboards += shared == 0 ? 1 : 0;
    }
  }
  if (kind == IndexKind::Checkerboards) {
    return Fraction{checkerboards, 1};
  }
  return Fraction{units, static_cast<std::uint64_t>(species * (species - 1) / 2)};
}

bool IndexEvaluator::Counts(SiteRule sites, int k, int total) const {
  if (total > 0) {
    return true;
  }
  return sites.IncludeEmpty && (sites.Countable == nullptr || (*sites.Countable)[static_cast<std::size_t>(k)]);
}

std::uint64_t IndexEvaluator::Combinations(const Incidence& m, SiteRule sites) {
  // Each site's composition as a bitset over species, so that equal
  // compositions sort next to each other.
  const int n = m.Cols();
  const int words = (m.Rows() + 63) / 64;
  columns_.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(words));
  for (std::size_t from = 0; from < columns_.size(); from += 65536) {
    const std::size_t to = std::min(columns_.size(), from + 65536);
    std::fill(columns_.begin() + static_cast<std::ptrdiff_t>(from), columns_.begin() + static_cast<std::ptrdiff_t>(to),
              0);
    Tick(check_, static_cast<std::int64_t>(to - from));
  }
  for (int i = 0; i < m.Rows(); ++i) {
    const std::uint64_t bit = std::uint64_t{1} << (i & 63);
    const std::size_t word = static_cast<std::size_t>(i >> 6);
    ForEachBit(m.Row(i), m.WordsPerRow(),
               [&](int k) { columns_[static_cast<std::size_t>(k) * static_cast<std::size_t>(words) + word] |= bit; });
    Tick(check_, 64 * m.WordsPerRow() + 8);
  }
  order_.clear();
  bool emptyCounted = false;
  for (int k = 0; k < n; ++k) {
    const std::uint64_t* col = columns_.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(words);
    const bool empty = std::all_of(col, col + words, [](std::uint64_t w) { return w == 0; });
    if (!empty) {
      order_.push_back(k);
    } else if (Counts(sites, k, 0)) {
      emptyCounted = true;
    }
    if ((k & 4095) == 4095) Tick(check_, 4096 * (words + 1));
  }
  const auto column = [&](int k) {
    return columns_.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(words);
  };
  const auto before = [&](int a, int b) {
    return std::lexicographical_compare(column(a), column(a) + words, column(b), column(b) + words);
  };
  // A sort that would outlast a poll interval counts its comparisons, so
  // that a stop reaches it; a small one is left as fast as it is.
  const auto occupied = static_cast<std::int64_t>(order_.size());
  const std::int64_t sortWork = occupied * std::bit_width(static_cast<std::uint64_t>(occupied)) * (words + 2);
  if (check_ == nullptr || sortWork < StopCheck::Interval) {
    std::sort(order_.begin(), order_.end(), before);
  } else {
    std::sort(order_.begin(), order_.end(), [&](int a, int b) {
      check_->Tick(words + 2);
      return before(a, b);
    });
  }
  std::uint64_t distinct = emptyCounted ? 1 : 0;
  for (std::size_t x = 0; x < order_.size(); ++x) {
    if (x == 0 || !std::equal(column(order_[x]), column(order_[x]) + words, column(order_[x - 1]))) {
      ++distinct;
    }
    if ((x & 4095) == 4095) Tick(check_, 4096 * (words + 1));
  }
  return distinct;
}

std::optional<Fraction> IndexEvaluator::VRatio(const Incidence& m, SiteRule sites) {
  colTotals_.assign(static_cast<std::size_t>(m.Cols()), 0);
  for (int i = 0; i < m.Rows(); ++i) {
    ForEachBit(m.Row(i), m.WordsPerRow(), [&](int k) { ++colTotals_[static_cast<std::size_t>(k)]; });
    Tick(check_, 64 * m.WordsPerRow() + 8);
  }
  std::int64_t counted = 0;
  std::int64_t fill = 0;
  std::int64_t squares = 0;
  for (int k = 0; k < m.Cols(); ++k) {
    const std::int64_t c = colTotals_[static_cast<std::size_t>(k)];
    if (Counts(sites, k, static_cast<int>(c))) {
      ++counted;
      fill += c;
      squares += c * c;
    }
    if ((k & 4095) == 4095) Tick(check_, 4096);
  }
  // Only occupied sites hold occurrences, so a species' total over the
  // counted sites is its whole row total.
  std::int64_t denominator = 0;
  for (int i = 0; i < m.Rows(); ++i) {
    const std::int64_t r = m.RowTotal(i);
    denominator += r * (counted - r);
    Tick(check_, m.WordsPerRow() + 1);
  }
  if (denominator <= 0) {
    return std::nullopt;
  }
  // Cauchy-Schwarz makes N * sum(c^2) >= (sum c)^2, so the numerator is never negative.
  return Fraction{static_cast<std::uint64_t>(counted * squares - fill * fill), static_cast<std::uint64_t>(denominator)};
}

}  // namespace tessil::cooc
