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

}  // namespace tessil::cooc
