#include "RandomStream.h"

namespace tessil {

namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint32_t Rotl(std::uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }

}  // namespace

// Fills the four state words from a 64-bit value through SplitMix64, the
// seeding its authors recommend for the xoshiro family.
void RandomStream::Fill(std::uint64_t x) {
  const std::uint64_t a = SplitMix64(x);
  const std::uint64_t b = SplitMix64(x);
  s_[0] = static_cast<std::uint32_t>(a);
  s_[1] = static_cast<std::uint32_t>(a >> 32);
  s_[2] = static_cast<std::uint32_t>(b);
  s_[3] = static_cast<std::uint32_t>(b >> 32);
  if ((s_[0] | s_[1] | s_[2] | s_[3]) == 0) s_[0] = 1;  // the all-zero state is a fixed point
  drawn_ = 0;
}

void RandomStream::Reset() {
  // A fixed start state; the constant has no meaning beyond being fixed.
  Fill(0x5EED'0000'0000'0064ull);
}

void RandomStream::Reseed(std::int32_t seed) {
  const std::uint64_t state =
      (std::uint64_t{s_[0]} | (std::uint64_t{s_[1]} << 32)) ^ (std::uint64_t{s_[2]} | (std::uint64_t{s_[3]} << 32));
  Fill(state ^ (static_cast<std::uint64_t>(static_cast<std::uint32_t>(seed)) * 0xD1B54A32D192ED03ull));
}

std::uint32_t RandomStream::Next() {
  const std::uint32_t result = s_[0] + s_[3];
  const std::uint32_t t = s_[1] << 9;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = Rotl(s_[3], 11);
  ++drawn_;
  return result;
}

}  // namespace tessil
