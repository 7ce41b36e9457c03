// A sweep plan: many studies described in one TOML file, every study setting
// of `tessil-cli run` one value or a list, the sweep being the product of the
// lists plus any studies listed one by one. Each study has an identity drawn
// from its settings and seeds drawn from the plan's seeds and that identity,
// so its result never depends on how the sweep is split, ordered or resumed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Study.h"

namespace tessil::cli {

// One setting of a study by its name in `tessil-cli run` (without "--") and
// its canonical value text.
struct SweepSetting {
  std::string_view Name;  // one of the plan's setting names, which live as long as the program
  std::string Value;
};

struct SweepStudy {
  std::string Id;                      // 16 lower-case hex digits
  std::vector<SweepSetting> Settings;  // all 13 columns in column order (non-applying ones with their default)
  // As `tessil-cli run` builds it with the same options and the study's own
  // seeds; on one thread. Its test summary is left empty, to keep a plan of
  // many studies small: RequestToRun gives the whole request.
  StudyRequest Request;
  std::string RunCommand;  // the `tessil-cli run ...` command line that reproduces this study alone
};

struct SweepPlan {
  std::string Hash;   // 16 lower-case hex digits
  std::string Title;  // the plan's optional `title`, for its summary chart; not part of the hash
  std::int32_t NumIterations = 100;
  bool AsksToContinue = false;      // fewer than 100 iterations
  std::vector<SweepStudy> Studies;  // plan order, repeats removed
  std::size_t Repeats = 0;          // combinations that were the same study as an earlier one
};

// The whole message of a refused plan: "FILE:LINE: SETTING: MESSAGE".
class SweepPlanError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// A plan reading stopped by Ctrl-C or SIGTERM.
class SweepPlanInterrupted : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// The largest plan file read: far beyond any plan a person writes, and
// small enough that reading it can never exhaust the memory.
inline constexpr std::uintmax_t MostPlanBytes = std::uintmax_t{16} << 20;

// The study's request with its test summary, as tessil-cli run makes it.
StudyRequest RequestToRun(const SweepStudy& study);

// Reads a plan from its text; `fileName` names it in refusals. Throws
// SweepPlanInterrupted soon after `interrupted` is set.
SweepPlan ParseSweepPlan(std::string_view text, const std::string& fileName,
                         const std::atomic<bool>* interrupted = nullptr);
// The bytes of a plan file: a regular file of at most MostPlanBytes; a
// folder, a pipe or a device is refused without being read from.
std::string ReadSweepPlanBytes(const std::filesystem::path& file, const std::atomic<bool>* interrupted = nullptr);
SweepPlan ReadSweepPlan(const std::filesystem::path& file, const std::atomic<bool>* interrupted = nullptr);

// The 64-bit FNV-1a hash of the bytes, and a value as 16 lower-case hex digits.
std::uint64_t Fnv1a64(std::string_view bytes);
std::string Hex16(std::uint64_t value);

}  // namespace tessil::cli
