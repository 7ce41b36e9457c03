#include "Incidence.h"

#include <algorithm>
#include <stdexcept>

namespace tessil::cooc {

Incidence::Incidence(int rows, int cols) : rows_(rows), cols_(cols), words_((cols + 63) / 64) {
  if (rows < 0 || cols < 0) {
    throw std::invalid_argument("a presence-absence matrix cannot have a negative size");
  }
  rowWords_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(words_), 0);
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
  for (const std::uint64_t word : rowWords_) {
    fill += std::popcount(word);
  }
  return fill;
}

void Incidence::Clear() { std::fill(rowWords_.begin(), rowWords_.end(), 0); }

namespace {
// Words copied or cleared between two ticks: well under a millisecond.
constexpr std::size_t SliceWords = std::size_t{1} << 16;
}  // namespace

void Incidence::Clear(StopCheck* check) {
  for (std::size_t from = 0; from < rowWords_.size(); from += SliceWords) {
    const std::size_t to = std::min(rowWords_.size(), from + SliceWords);
    std::fill(rowWords_.begin() + static_cast<std::ptrdiff_t>(from),
              rowWords_.begin() + static_cast<std::ptrdiff_t>(to), 0);
    Tick(check, static_cast<std::int64_t>(to - from));
  }
}

void Incidence::Assign(const Incidence& other, StopCheck* check) {
  rows_ = other.rows_;
  cols_ = other.cols_;
  words_ = other.words_;
  rowWords_.resize(other.rowWords_.size());
  for (std::size_t from = 0; from < rowWords_.size(); from += SliceWords) {
    const std::size_t to = std::min(rowWords_.size(), from + SliceWords);
    std::copy(other.rowWords_.begin() + static_cast<std::ptrdiff_t>(from),
              other.rowWords_.begin() + static_cast<std::ptrdiff_t>(to),
              rowWords_.begin() + static_cast<std::ptrdiff_t>(from));
    Tick(check, static_cast<std::int64_t>(to - from));
  }
}

}  // namespace tessil::cooc
