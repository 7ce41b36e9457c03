#include "SweepPlan.h"

#include <toml++/toml.h>

namespace tessil::cli {

std::uint64_t Fnv1a64(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::string Hex16(std::uint64_t value) {
  std::string text(16, '0');
  for (int k = 15; k >= 0; --k, value >>= 4) text[static_cast<std::size_t>(k)] = "0123456789abcdef"[value & 15];
  return text;
}

SweepPlan ParseSweepPlan(std::string_view, const std::string& fileName) {
  throw SweepPlanError(fileName + ": sweep plans are not read yet");
}

SweepPlan ReadSweepPlan(const std::filesystem::path& file) { return ParseSweepPlan({}, file.string()); }

}  // namespace tessil::cli
