// Species x sites matrices, indexed from 1 in both dimensions, row first:
// rows are species, columns are sites.
#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

namespace tessil {

template <typename Cell>
class Grid {
 public:
  Grid() = default;
  // Fails with a RunSettingsError when the cell count is too large to hold.
  Grid(std::int32_t rows, std::int32_t cols);

  std::int32_t Rows() const { return rows_; }
  std::int32_t Cols() const { return cols_; }

  Cell& operator()(std::int32_t i, std::int32_t j) {
    assert(i >= 1 && i <= rows_ && j >= 1 && j <= cols_);
    return cells_[Offset(i, j)];
  }
  const Cell& operator()(std::int32_t i, std::int32_t j) const {
    assert(i >= 1 && i <= rows_ && j >= 1 && j <= cols_);
    return cells_[Offset(i, j)];
  }
  // Row i's cells, contiguous, site 1 first.
  const Cell* Row(std::int32_t i) const { return cells_.data() + Offset(i, 1); }
  Cell* Row(std::int32_t i) { return cells_.data() + Offset(i, 1); }

  bool operator==(const Grid&) const = default;

 private:
  std::size_t Offset(std::int32_t i, std::int32_t j) const {
    return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(j - 1);
  }
  std::int32_t rows_ = 0;
  std::int32_t cols_ = 0;
  std::vector<Cell> cells_;
};

// Probability that species i occupies site j.
using OccupancyMatrix = Grid<double>;
// 1 = present, 0 = absent. A new matrix is all 0.
using PresenceAbsenceMatrix = Grid<std::int16_t>;

// For the interacting member of a pair: its occupancy probability at a site
// where its partner is present, and where it is absent.
struct ConditionalPair {
  double IfPartnerPresent = 0.0;
  double IfPartnerAbsent = 0.0;
  bool operator==(const ConditionalPair&) const = default;
};
using ConditionalOccupancy = Grid<ConditionalPair>;

extern template class Grid<double>;
extern template class Grid<std::int16_t>;
extern template class Grid<ConditionalPair>;

}  // namespace tessil
