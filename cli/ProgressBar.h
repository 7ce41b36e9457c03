// The command line's progress on standard error: a one-line bar with the
// time remaining, and a word up front when the run will be long.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

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
  // A sweep's bar over its studies. StartSweep is called once, before the
  // first study, with the studies to run now; UpdateSweep at every study
  // finished and whenever the study under way (if any) reports, which
  // counts by its share of the work done. The time remaining follows the
  // pace of the studies run since StartSweep.
  void StartSweep(std::int32_t studies);
  void UpdateSweep(std::int32_t finished, const RunSettings* current);
  void Finish();

 private:
  // Draws the bar unless it was drawn less than a tenth of a second ago and
  // this is not its last state.
  void Draw(double fraction, const std::string& count, double remaining, bool last, double now);

  std::ostream& err_;
  Clock& clock_;
  bool drawBar_;
  bool drawn_ = false;
  double drawnAt_ = 0.0;
  bool shown_ = false;  // a bar stands on the current line
  bool estimated_ = false;
  std::int32_t studies_ = 0;
  double sweepStart_ = 0.0;
};

}  // namespace tessil::cli
