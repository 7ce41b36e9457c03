#include "Incidence.h"

#include <algorithm>
#include <stdexcept>

namespace tessil::cooc {

Incidence::Incidence(int rows, int cols) : rows_(rows), cols_(cols), words_((cols + 63) / 64) {
  if (rows < 0 || cols < 0) {
    throw std::invalid_argument("a presence-absence matrix cannot have a negative size");
  }
  row_words_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(words_), 0);
}

int Incidence::RowTotal(int i) const {
  const std::uint64_t* row = Row(i);
  int total = 0;
  for (int w = 0; w < words_; ++w) {
    total += std::popcount(row[w]);
  }
  return total;
}

std::vector<int> Incidence::RowTotals() const {
  std::vector<int> totals(static_cast<std::size_t>(rows_));
  for (int i = 0; i < rows_; ++i) {
    totals[static_cast<std::size_t>(i)] = RowTotal(i);
  }
  return totals;
}

std::vector<int> Incidence::ColumnTotals() const {
  std::vector<int> totals(static_cast<std::size_t>(cols_), 0);
  for (int i = 0; i < rows_; ++i) {
    ForEachBit(Row(i), words_, [&](int k) { ++totals[static_cast<std::size_t>(k)]; });
  }
  return totals;
}

std::int64_t Incidence::Fill() const {
  std::int64_t fill = 0;
  for (const std::uint64_t word : row_words_) {
    fill += std::popcount(word);
  }
  return fill;
}

void Incidence::Clear() { std::fill(row_words_.begin(), row_words_.end(), 0); }

int SelectBit(std::uint64_t x, int rank) {
  // Halve the word until the wanted bit is within one byte, then walk it.
  int base = 0;
  for (int width = 32; width >= 8; width /= 2) {
    const std::uint64_t low = x & ((std::uint64_t{1} << width) - 1);
    const int count = std::popcount(low);
    if (rank >= count) {
      rank -= count;
      x >>= width;
      base += width;
    } else {
      x = low;
    }
  }
  for (; rank > 0; --rank) {
    x &= x - 1;
  }
  return base + std::countr_zero(x);
}

}  // namespace tessil::cooc
