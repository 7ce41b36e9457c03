// The random stream of one co-occurrence test. Every step from raw bits to
// bounded integers is the engine's own, so one seed gives one report on every
// platform and compiler, whatever the thread count.
#pragma once

#include <cstdint>

namespace tessil::cooc {

// The splitmix64 finaliser (Steele, Lea and Flood): a bijection of 64-bit
// words in which every input bit affects every output bit.
constexpr std::uint64_t Mix64(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// The high and low words of the 128-bit product a * b.
struct Wide {
  std::uint64_t High;
  std::uint64_t Low;
};
Wide MultiplyWide(std::uint64_t a, std::uint64_t b);

// xoshiro256** (Blackman and Vigna).
class RandomBits {
 public:
  // A stream whose four state words come from splitmix64 run from `key`.
  explicit RandomBits(std::uint64_t key);

  // The stream of one test: from the value of the seed text and the number
  // of tests run since the seed was set.
  static RandomBits ForTest(double seedValue, std::uint64_t ordinal);

  std::uint64_t Next() {
    const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }

  // A uniform integer in [0, bound), bound > 0, by Lemire's multiply-and-
  // reject method: exact, and almost never more than one draw.
  std::uint64_t Below(std::uint64_t bound) {
    Wide m = MultiplyWide(Next(), bound);
    if (m.Low < bound) {
      const std::uint64_t threshold = (std::uint64_t{0} - bound) % bound;
      while (m.Low < threshold) {
        m = MultiplyWide(Next(), bound);
      }
    }
    return m.High;
  }

  // Two uniform integers below bounds in (0, 2^32), by Lemire's method on the
  // two halves of one draw; a half that falls in its rejection zone is drawn
  // again from a fresh word.
  void TwoBelow(std::uint64_t bound1, std::uint64_t bound2, std::uint64_t& out1, std::uint64_t& out2) {
    const std::uint64_t x = Next();
    out1 = Below32((x & 0xFFFFFFFFu) * bound1, bound1);
    out2 = Below32((x >> 32) * bound2, bound2);
  }

  // A uniform double in [0, 1) from the top 53 bits.
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t Below32(std::uint64_t m, std::uint64_t bound) {
    if ((m & 0xFFFFFFFFu) < bound) {
      const std::uint64_t threshold = (0x100000000u - bound) % bound;
      while ((m & 0xFFFFFFFFu) < threshold) {
        m = (Next() & 0xFFFFFFFFu) * bound;
      }
    }
    return m >> 32;
  }
  static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t s_[4];
};

// The integer that stands for a seed value: the value itself when it is a
// whole number within 64 bits (so "7", "7.0" and "+7" give one stream, and
// -0 gives the stream of 0), its bit pattern otherwise.
std::uint64_t SeedKey(double seedValue);

inline Wide MultiplyWide(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
  __extension__ using U128 = unsigned __int128;
  const U128 p = static_cast<U128>(a) * b;
  return {static_cast<std::uint64_t>(p >> 64), static_cast<std::uint64_t>(p)};
#else
  const std::uint64_t a_lo = a & 0xFFFFFFFFu, a_hi = a >> 32;
  const std::uint64_t b_lo = b & 0xFFFFFFFFu, b_hi = b >> 32;
  const std::uint64_t ll = a_lo * b_lo, lh = a_lo * b_hi, hl = a_hi * b_lo, hh = a_hi * b_hi;
  const std::uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
  return {hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (mid << 32) | (ll & 0xFFFFFFFFu)};
#endif
}

}  // namespace tessil::cooc
