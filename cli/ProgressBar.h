// The command line's progress on standard error: a one-line bar with the
// time remaining, and a word up front when the run will be long.
#pragma once

#include <ostream>

#include "Clock.h"
#include "Public_Declarations.h"

namespace tessil::cli {

class ProgressBar {
 public:
  // How long the run works before its length is first estimated.
  static constexpr double EstimateAfterSeconds = 5.0;
  // A run expected to take longer than this is announced.
  static constexpr double LongRunSeconds = 600.0;

  // drawBar: whether the bar is drawn (standard error is a terminal); the
  // word on a long run is given either way.
  ProgressBar(std::ostream& err, Clock& clock, bool drawBar);
  // Called at every matrix begun and at every tick while tests run. The bar
  // is redrawn at most ten times a second, from the work done.
  void Update(const RunSettings& s);
  void Finish();

 private:
  std::ostream& err_;
  Clock& clock_;
  bool drawBar_;
  bool drawn_ = false;
  double drawnAt_ = 0.0;
  bool shown_ = false;  // a bar stands on the current line
  bool estimated_ = false;
};

}  // namespace tessil::cli
