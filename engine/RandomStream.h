// The engine's one uniform random stream of single-precision numbers.
#pragma once

#include <cstdint>

namespace tessil {

// A xoshiro128+ generator (Blackman and Vigna) giving floats in [0, 1) from
// the top 24 bits of each output, so every value is exact in single
// precision. Reset() puts it into a fixed start state; Reseed() then mixes a
// 32-bit seed into that state, so one seed always gives one sequence.
class RandomStream {
 public:
  RandomStream() { Reset(); }

  // The repeatable reset: a fixed state, whatever came before.
  void Reset();
  // Mixes the seed into the current state.
  void Reseed(std::int32_t seed);
  // The next number x with 0 <= x < 1.
  float NextSingle() { return static_cast<float>(Next() >> 8) * 0x1.0p-24f; }
  // How many numbers have been drawn since the last Reset or Reseed.
  std::uint64_t Drawn() const { return drawn_; }

 private:
  void Fill(std::uint64_t x);
  std::uint32_t Next();
  std::uint32_t s_[4] = {};
  std::uint64_t drawn_ = 0;
};

}  // namespace tessil
