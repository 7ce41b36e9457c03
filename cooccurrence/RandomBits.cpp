#include "RandomBits.h"

#include <bit>
#include <cmath>

namespace tessil::cooc {

RandomBits::RandomBits(std::uint64_t key) {
  std::uint64_t x = key;
  for (std::uint64_t& word : s_) {
    x += 0x9E3779B97F4A7C15u;
    word = Mix64(x);
  }
  // The all-zero state is xoshiro's one fixed point; splitmix64 never yields
  // four zero words in a row, but a stream must never be able to stall.
  if ((s_[0] | s_[1] | s_[2] | s_[3]) == 0) {
    s_[0] = 1;
  }
}

std::uint64_t SeedKey(double seedValue) {
  constexpr double two63 = 9223372036854775808.0;
  if (std::isfinite(seedValue) && seedValue == std::trunc(seedValue) && seedValue >= -two63 && seedValue < two63) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(seedValue));
  }
  // Fractions, infinities and huge values: the exact bits, under a tag so
  // that a small fraction's bit pattern is not read as a small whole number.
  return std::bit_cast<std::uint64_t>(seedValue) ^ 0xA5A5F00DC0FFEE11u;
}

RandomBits RandomBits::ForTest(double seedValue, std::uint64_t ordinal) {
  // Two mixing rounds, so that nearby seeds and nearby ordinals give streams
  // with nothing in common.
  const std::uint64_t seedPart = Mix64(SeedKey(seedValue) + 0x243F6A8885A308D3u);
  return RandomBits(Mix64(seedPart ^ Mix64(ordinal + 0x13198A2E03707344u)));
}

}  // namespace tessil::cooc
