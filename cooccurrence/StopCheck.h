// How the long loops of a test notice that a stop was asked for: each loop
// counts the work it does, and every so much work the stop token is read.
// A stop seen unwinds the test at once with StopRequested, from however deep
// in a null model or an index it is.
#pragma once

#include <cstdint>
#include <stop_token>

namespace tessil::cooc {

// Thrown by StopCheck when the stop has been asked for; RunTest ends with
// Stopped set when it meets it.
struct StopRequested {};

class StopCheck {
 public:
  // Work units between two reads of the token. A unit is about one simple
  // operation on a word in cache (a nanosecond or less); on large matrices,
  // whose tables miss the cache, a unit can take many times that, so the
  // interval is kept short: a poll costs a few nanoseconds.
  static constexpr std::int64_t Interval = std::int64_t{1} << 15;

  StopCheck() = default;
  explicit StopCheck(std::stop_token token) : token_(std::move(token)) {}

  // Counts `units` of work done; reads the token once enough has been done.
  void Tick(std::int64_t units) {
    left_ -= units;
    if (left_ <= 0) [[unlikely]] {
      Poll();
    }
  }
  // Reads the token now; throws StopRequested when a stop was asked for.
  void Poll();

 private:
  std::stop_token token_;
  std::int64_t left_ = Interval;
};

// Counts work on a StopCheck that may be absent (models used on their own).
inline void Tick(StopCheck* check, std::int64_t units) {
  if (check != nullptr) {
    check->Tick(units);
  }
}

namespace testing {
// Called at every poll of the calling thread's tests, before the token is
// read, so that a test can ask for a stop after a given amount of work.
using PollObserver = void (*)(void* context);
void ObservePolls(PollObserver observer, void* context);
}  // namespace testing

}  // namespace tessil::cooc
