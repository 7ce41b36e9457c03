#include "ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace tessil::cli {

namespace {

std::string Clock(double seconds) {
  const long total = std::lround(std::max(0.0, seconds));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return buffer;
}

}  // namespace

ProgressBar::ProgressBar(std::ostream& err) : err_(err), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::Update(const RunSettings& s) {
  const auto now = std::chrono::steady_clock::now();
  const double total = static_cast<double>(s.NumArguments) * s.NumIterations;
  const bool last = total > 0 && s.TestsDone >= total;
  if (!last && now - drawn_ < std::chrono::milliseconds(100)) return;
  drawn_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double fraction = total > 0 ? s.TestsDone / total : 0.0;
  const int width = 30;
  const int filled = static_cast<int>(fraction * width);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(width, '.');
  const double remaining = s.TestsDone > 0 ? elapsed * (total - s.TestsDone) / s.TestsDone : 0.0;
  char line[160];
  std::snprintf(line, sizeof line, "\r[%s] %5.1f%%  %d/%.0f matrices  time remaining %s ", bar.c_str(),
                100.0 * fraction, s.TestsDone, total, Clock(remaining).c_str());
  err_ << line << std::flush;
  shown_ = true;
}

void ProgressBar::Finish() {
  if (shown_) err_ << "\n" << std::flush;
}

}  // namespace tessil::cli
