#include "ProgressRules.h"

#include <algorithm>
#include <cmath>
#include <utility>

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

void ShowEcoSimWindows(EcoSimAutomation& ecosim, std::int32_t value) {
  for (const char* name : {"Main", "Progress", "Coop", "Results"}) ecosim.PlaceEcoSimWindow(name, value);
}

ProgressPresenter::ProgressPresenter(RunSettings& settings, Clock& clock, std::function<void()> processPendingMessages)
    : settings_(settings), clock_(clock), processPending_(std::move(processPendingMessages)) {}

void ProgressPresenter::SetView(ProgressView* view) {
  view_ = view;
  Draw();
}

void ProgressPresenter::Draw() {
  if (view_ != nullptr) view_->Draw(state_);
}

void ProgressPresenter::ProcessPendingMessages() {
  if (processPending_) processPending_();
}

bool ProgressPresenter::Redraw() {
  const std::int64_t done = settings_.TestsDone;
  const std::int64_t total = TotalMatrices(settings_);
  // Once the user has pressed Cancel, the time line says so until the run
  // ends; a repaint must not put a new estimate over it.
  if (!closing_) state_.TimeLine = TimeLine(settings_, clock_.SecondsSinceMidnight());
  state_.Title = "Tessil Progress... " + std::to_string(TitlePercent(done, total)) + "%";
  state_.StatusLine = "EcoSim Simulation: " + std::to_string(done) + " of " + std::to_string(total);
  const bool inRange = done <= total;
  if (inRange) {
    state_.BarDone = done;
    state_.BarTotal = total;
  }
  Draw();
  return inRange;
}

void ProgressPresenter::UpdateProgress() {
  if (Redraw()) ProcessPendingMessages();
}

void ProgressPresenter::Repaint() {
  if (settings_.TestsDone <= 0) {
    state_.Title = "Tessil Progress... Initializing";
    state_.StatusLine = "Initializing Ecosim...";
    state_.CancelEnabled = true;
    Draw();
    return;
  }
  Redraw();
}

void ProgressPresenter::Cancel() {
  if (!state_.CancelEnabled) return;
  closing_ = true;
  state_.CancelEnabled = false;
  state_.TimeLine = "Closing EcoSim...";
  Draw();
  ProcessPendingMessages();
  cancelRequested_ = true;
}

void ProgressPresenter::CheckShowEcoSim(bool checked) {
  if (!state_.ShowEcoSimEnabled) return;
  state_.ShowEcoSimChecked = checked;
  Draw();
  if (ecosim_ == nullptr) return;
  try {
    ShowEcoSimWindows(*ecosim_, checked ? 1 : 0);
  } catch (const EcoSimWindowMissing&) {
    // EcoSim's windows come and go with its start-up and shutdown; a window
    // that is not there at this moment is simply not placed, and the run
    // goes on.
  }
}

void ProgressPresenter::ClickShowEcoSimLabel() {
  if (state_.ShowEcoSimEnabled) CheckShowEcoSim(!state_.ShowEcoSimChecked);
}

void ProgressPresenter::EnableShowEcoSim() {
  state_.ShowEcoSimEnabled = true;
  Draw();
}

void ProgressPresenter::ReportProgramMissing(std::string_view message) {
  if (view_ != nullptr) view_->Inform(message);
}

}  // namespace tessil
