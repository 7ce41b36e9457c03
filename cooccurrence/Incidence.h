// A presence-absence matrix as the co-occurrence engine holds it.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "StopCheck.h"

namespace tessil::cooc {

// R species (rows) x N sites (columns), cells 0/1, indexed from 0. Each
// species' row is a bitset of 64-bit words, so the sites two species share
// are counted with one AND and popcount per word.
class Incidence {
 public:
  Incidence() = default;
  // Fails with std::invalid_argument for a negative size.
  Incidence(int rows, int cols);

  int Rows() const { return rows_; }
  int Cols() const { return cols_; }
  bool Get(int i, int k) const { return ((rowWords_[Word(i, k)] >> (k & 63)) & 1u) != 0; }
  void Set(int i, int k, bool v) {
    const std::uint64_t bit = std::uint64_t{1} << (k & 63);
    if (v) {
      rowWords_[Word(i, k)] |= bit;
    } else {
      rowWords_[Word(i, k)] &= ~bit;
    }
  }

  // Words per species row; bits past the last site are always 0.
  int WordsPerRow() const { return words_; }
  const std::uint64_t* Row(int i) const { return rowWords_.data() + Offset(i); }
  std::uint64_t* MutableRow(int i) { return rowWords_.data() + Offset(i); }

  // r_i: the number of sites species i occupies.
  int RowTotal(int i) const;
  std::vector<int> RowTotals() const;
  // c_k: the number of species at each site.
  std::vector<int> ColumnTotals() const;
  // F: the number of occurrences.
  std::int64_t Fill() const;
  // Empties every cell.
  void Clear();
  // Empties every cell, or becomes a copy of `other`, a slice at a time, so
  // that a matrix of hundreds of megabytes does not hold up a stop.
  void Clear(StopCheck* check);
  void Assign(const Incidence& other, StopCheck* check);

  bool operator==(const Incidence&) const = default;

 private:
  std::size_t Offset(int i) const { return static_cast<std::size_t>(i) * static_cast<std::size_t>(words_); }
  std::size_t Word(int i, int k) const { return Offset(i) + static_cast<std::size_t>(k >> 6); }

  int rows_ = 0;
  int cols_ = 0;
  int words_ = 0;
  std::vector<std::uint64_t> rowWords_;
};

// Calls visit(k) for every set bit k of a bitset of `words` words, lowest first.
template <typename Visit>
inline void ForEachBit(const std::uint64_t* bits, int words, Visit&& visit) {
  for (int w = 0; w < words; ++w) {
    std::uint64_t x = bits[w];
    while (x != 0) {
      visit(w * 64 + std::countr_zero(x));
      x &= x - 1;
    }
  }
}

namespace detail {
// For each byte value and rank, the position of the set bit with that many
// set bits below it.
struct ByteSelect {
  std::uint8_t At[256][8] = {};
  constexpr ByteSelect() {
    for (int v = 0; v < 256; ++v) {
      int rank = 0;
      for (int bit = 0; bit < 8; ++bit) {
        if (((v >> bit) & 1) != 0) {
          At[v][rank++] = static_cast<std::uint8_t>(bit);
        }
      }
    }
  }
};
inline constexpr ByteSelect kByteSelect{};
}  // namespace detail

// The position of the set bit of x that has `rank` set bits below it
// (rank < popcount(x)), without a branch: byte-wise prefix counts find the
// byte (Vigna's broadword select), a table the bit within it. Swaps pick
// their sites with it, where a data-dependent loop would be mispredicted.
inline int SelectBit(std::uint64_t x, std::uint64_t rank) {
  constexpr std::uint64_t ones = 0x0101010101010101u;
  constexpr std::uint64_t highs = 0x8080808080808080u;
  std::uint64_t s = x - ((x >> 1) & 0x5555555555555555u);
  s = (s & 0x3333333333333333u) + ((s >> 2) & 0x3333333333333333u);
  s = (s + (s >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  const std::uint64_t prefix = s * ones;  // byte i: set bits in bytes 0..i
  // Byte i's high bit stays set when rank >= prefix_i; both are below 128.
  const std::uint64_t passed = (((rank * ones) | highs) - prefix) & highs;
  const auto byte = static_cast<int>(((passed >> 7) * ones) >> 56);
  const std::uint64_t below = ((prefix << 8) >> (8 * byte)) & 0xFF;
  const auto value = static_cast<std::size_t>((x >> (8 * byte)) & 0xFF);
  return 8 * byte + detail::kByteSelect.At[value][rank - below];
}

}  // namespace tessil::cooc
