#include "UpdateProgress_Procedures.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

#include "frmProgress.h"

namespace tessil {

std::string RemainingTimeText(double r) {
  std::string text;
  if (r >= 3600) text += WholeNumberText(std::floor(r / 3600)) + "hr ";
  if (r >= 59.5) {
    // One more than the whole minutes of the rounded remainder within the
    // hour: an estimate rather under- than over-promises.
    const double seconds = std::fmod(RoundHalfEven(r), 3600.0);
    text += WholeNumberText(std::floor(seconds / 60) + 1) + "min ";
  } else {
    text += WholeNumberText(std::fmod(RoundHalfEven(r), 60.0)) + "s ";
  }
  return text + "Remaining";
}

std::int64_t TotalMatrices(const RunSettings& s) {
  return std::int64_t{s.NumArguments} * std::int64_t{s.NumIterations};
}

std::string TimeLine(const RunSettings& s, double now) {
  if (s.TestsDone <= 1 || s.WorkDone <= 0) return {};
  // The pace of the work done, not of the matrices begun: tests under way
  // count for the share of their null matrices drawn.
  const double done = std::min(s.WorkDone, static_cast<double>(TotalMatrices(s)));
  // The clock is read at the precision the run's start was taken at.
  const double clock = static_cast<double>(static_cast<float>(now));
  const double remaining = (clock - s.StartTime) * (static_cast<double>(TotalMatrices(s)) - done) / done;
  return RemainingTimeText(remaining);
}

std::int64_t TitlePercent(std::int64_t done, std::int64_t total) {
  if (total <= 0) return 0;
  return static_cast<std::int64_t>(RoundHalfEven(static_cast<double>(done * 100) / static_cast<double>(total)));
}

void UpdateProgress(frmProgress& progress) {
  if (progress.Redraw()) progress.ProcessPendingMessages();
}

void DisableCloseButton(QWidget* window, bool revert) {
  const bool shown = window->isVisible();
  Qt::WindowFlags flags =
      window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint;
  if (revert) {
    flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
  } else {
    flags &= ~Qt::WindowCloseButtonHint;
  }
  const QPoint position = window->pos();
  window->setWindowFlags(flags);
  // Changing the frame takes the window off the screen; put it back.
  window->move(position);
  if (shown) window->show();
}

void ShowEcoSimWindows(EcoSimAutomation& ecosim, std::int32_t value) {
  for (const char* name : {"Main", "Progress", "Coop", "Results"}) ecosim.PlaceEcoSimWindow(name, value);
}

void EnableShowEcoSim(frmProgress& progress) { progress.EnableShowEcoSim(); }

}  // namespace tessil
