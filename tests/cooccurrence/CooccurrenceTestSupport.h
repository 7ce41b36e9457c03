// Small matrices, exhaustive margin classes and chi-square bounds shared by
// the co-occurrence engine's tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "Incidence.h"
#include "RandomBits.h"

namespace tessil::cooc::support {

// A matrix from one text per species, '1' for presence.
inline Incidence FromRows(std::initializer_list<std::string_view> rows) {
  const int cols = rows.size() == 0 ? 0 : static_cast<int>(rows.begin()->size());
  Incidence m(static_cast<int>(rows.size()), cols);
  int i = 0;
  for (const std::string_view row : rows) {
    for (int k = 0; k < cols; ++k) {
      m.Set(i, k, row[static_cast<std::size_t>(k)] == '1');
    }
    ++i;
  }
  return m;
}

// The cells of a matrix of at most 64 cells as one word, row after row.
inline std::uint64_t Code(const Incidence& m) {
  std::uint64_t code = 0;
  for (int i = 0; i < m.Rows(); ++i) {
    for (int k = 0; k < m.Cols(); ++k) {
      if (m.Get(i, k)) {
        code |= std::uint64_t{1} << (i * m.Cols() + k);
      }
    }
  }
  return code;
}

// Every 0/1 matrix with the given species and site totals.
inline std::vector<Incidence> MarginClass(const std::vector<int>& rows, const std::vector<int>& cols) {
  const int r = static_cast<int>(rows.size());
  const int n = static_cast<int>(cols.size());
  std::vector<Incidence> found;
  Incidence m(r, n);
  std::vector<int> left = cols;
  std::function<void(int, int, int)> place = [&](int i, int k, int needed) {
    if (i == r) {
      for (const int c : left) {
        if (c != 0) return;
      }
      found.push_back(m);
      return;
    }
    if (needed == 0) {
      place(i + 1, 0, i + 1 < r ? rows[static_cast<std::size_t>(i + 1)] : 0);
      return;
    }
    if (n - k < needed) return;
    if (left[static_cast<std::size_t>(k)] > 0) {
      m.Set(i, k, true);
      --left[static_cast<std::size_t>(k)];
      place(i, k + 1, needed - 1);
      ++left[static_cast<std::size_t>(k)];
      m.Set(i, k, false);
    }
    place(i, k + 1, needed);
  };
  place(0, 0, r > 0 ? rows[0] : 0);
  return found;
}

// The upper quantile of the chi-square distribution with `df` degrees of
// freedom that a standard normal deviate z corresponds to (Wilson and
// Hilferty's cube-root approximation, within a few percent for df >= 3).
inline double ChiSquareBound(int df, double z) {
  const double a = 2.0 / (9.0 * df);
  return df * std::pow(1.0 - a + z * std::sqrt(a), 3.0);
}

inline double ChiSquare(const std::vector<double>& counts, const std::vector<double>& expected) {
  double statistic = 0;
  for (std::size_t s = 0; s < counts.size(); ++s) {
    const double d = counts[s] - expected[s];
    statistic += d * d / expected[s];
  }
  return statistic;
}

// Independent cells, each present with probability p.
inline Incidence RandomMatrix(int rows, int cols, double p, RandomBits& rng) {
  Incidence m(rows, cols);
  for (int i = 0; i < rows; ++i) {
    for (int k = 0; k < cols; ++k) {
      m.Set(i, k, rng.Unit() < p);
    }
  }
  return m;
}

}  // namespace tessil::cooc::support
