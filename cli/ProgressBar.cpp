#include "ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace tessil::cli {

namespace {

std::string HoursMinutesSeconds(double seconds) {
  const long total = std::lround(std::max(0.0, seconds));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return buffer;
}

// Seconds from `from` to `to` on a clock that restarts at midnight.
double SecondsBetween(double from, double to) {
  const double d = to - from;
  return d < 0 ? d + 86400.0 : d;
}

}  // namespace

ProgressBar::ProgressBar(std::ostream& err, Clock& clock, bool drawBar) : err_(err), clock_(clock), drawBar_(drawBar) {}

void ProgressBar::Update(const RunSettings& s) {
  const double now = clock_.SecondsSinceMidnight();
  const double total = static_cast<double>(s.NumArguments) * s.NumIterations;
  const double done = std::min(s.WorkDone, total);
  const double elapsed = SecondsBetween(s.StartTime, now);
  // The pace so far, from the work done rather than the matrices begun.
  const double remaining = done > 0 ? elapsed * (total - done) / done : 0.0;

  if (!estimated_ && done > 0 && elapsed >= EstimateAfterSeconds) {
    estimated_ = true;
    if (remaining > LongRunSeconds) {
      if (shown_) err_ << "\n";
      shown_ = false;
      err_ << "tessil-cli: at its pace so far this run needs about " << HoursMinutesSeconds(remaining)
           << " more; Ctrl-C stops it.\n"
           << std::flush;
    }
  }
  if (!drawBar_) return;
  char count[64];
  std::snprintf(count, sizeof count, "%.0f/%.0f matrices", std::floor(done), total);
  Draw(total > 0 ? done / total : 0.0, count, remaining, total > 0 && done >= total, now);
}

void ProgressBar::StartSweep(std::int32_t studies) {
  studies_ = studies;
  sweepStart_ = clock_.SecondsSinceMidnight();
}

void ProgressBar::UpdateSweep(std::int32_t finished, const RunSettings* current) {
  if (!drawBar_) return;
  const double now = clock_.SecondsSinceMidnight();
  double done = finished;
  if (current != nullptr) {
    const double total = static_cast<double>(current->NumArguments) * current->NumIterations;
    if (total > 0) done += std::min(current->WorkDone, total) / total;
  }
  const double elapsed = SecondsBetween(sweepStart_, now);
  const double remaining = done > 0 ? elapsed * (studies_ - done) / done : 0.0;
  const std::string count = std::to_string(finished) + "/" + std::to_string(studies_) + " studies";
  Draw(studies_ > 0 ? done / studies_ : 1.0, count, remaining, finished >= studies_, now);
}

void ProgressBar::Draw(double fraction, const std::string& count, double remaining, bool last, double now) {
  if (!last && drawn_ && SecondsBetween(drawnAt_, now) < 0.1) return;
  drawn_ = true;
  drawnAt_ = now;
  const int width = 30;
  const int filled = static_cast<int>(fraction * width);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(width, '.');
  char line[160];
  std::snprintf(line, sizeof line, "\r[%s] %5.1f%%  %s  time remaining %s ", bar.c_str(), 100.0 * fraction,
                count.c_str(), HoursMinutesSeconds(remaining).c_str());
  err_ << line << std::flush;
  shown_ = true;
}

void ProgressBar::Finish() {
  if (shown_) err_ << "\n" << std::flush;
  shown_ = false;
}

}  // namespace tessil::cli
