// The command line's progress bar on standard error.
#pragma once

#include <chrono>
#include <ostream>

#include "Public_Declarations.h"

namespace tessil::cli {

// A one-line progress bar with the time remaining, redrawn at most ten times
// a second.
class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& err);
  void Update(const RunSettings& s);
  void Finish();

 private:
  std::ostream& err_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point drawn_{};
  bool shown_ = false;
};

}  // namespace tessil::cli
