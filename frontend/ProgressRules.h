// The progress window's rules, without any window system: the title with its
// percentage, the status line, the time remaining, the bar, Cancel and its
// steps in their order, and "Show EcoSim". The run's driver reaches it as its
// ProgressLink, EcoSim's start-up as its AutomationHost; the face forwards
// its repaint, Cancel, the box and its label, and draws what the presenter
// hands its ProgressView.
//
//   ProgressPresenter progress(settings, clock, [&] { face.ProcessPendingMessages(); });
//   progress.SetView(&face);     // face.Draw(state) after every change
//   progress.Repaint();          // "Tessil Progress... Initializing", Cancel enabled
//   progress.Cancel();           // Cancel disabled, "Closing EcoSim...", pending messages, then the flag
//
// Times come from the injected clock; "process pending messages" is the
// function handed in (the face's message loop), never a thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "AutomationHost.h"
#include "Clock.h"
#include "EcoSimAutomation.h"
#include "Public_Declarations.h"

namespace tessil {

// The time line for R seconds remaining: hours when there is at least one,
// then one more minute than the whole minutes (so 60 s reads "2min"), or,
// below 59.5 s, the seconds alone; then "Remaining".
std::string RemainingTimeText(double remainingSeconds);

// The time line of a run at the clock reading `now` (seconds since midnight):
// empty until the second matrix, then the estimate from the work done.
std::string TimeLine(const RunSettings& settings, double now);

// Matrices done as a whole percentage of the run's total, halves to even.
std::int64_t TitlePercent(std::int64_t done, std::int64_t total);

// The matrices the run uses in all.
std::int64_t TotalMatrices(const RunSettings& settings);

// Brings EcoSim's windows into view beside the progress window (value 1) or
// moves them off the screen (0), in the order Main, Progress, Coop, Results.
// Fails with EcoSimWindowMissing at the first window that is not there.
void ShowEcoSimWindows(EcoSimAutomation& ecosim, std::int32_t value);

// What the progress window shows.
struct ProgressState {
  std::string Title{"Tessil Progress..."};
  std::string StatusLine;  // pbx2
  std::string TimeLine;    // pbx1
  // The bar: Done of Total units filled navy blue (none while Total is 0).
  std::int64_t BarDone = 0;
  std::int64_t BarTotal = 0;
  bool CancelEnabled = false;      // cmd1
  bool ShowEcoSimEnabled = false;  // chk1
  bool ShowEcoSimChecked = false;
  bool operator==(const ProgressState&) const = default;
};

// The progress window's face.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  // Shows the state; called after every change, before pending messages
  // are let through.
  virtual void Draw(const ProgressState& state) = 0;
  // A message box owned by the progress window.
  virtual void Inform(std::string_view text) = 0;
};

class ProgressPresenter final : public ProgressLink, public AutomationHost {
 public:
  // processPendingMessages lets the program's pending window messages
  // through once.
  ProgressPresenter(RunSettings& settings, Clock& clock, std::function<void()> processPendingMessages);

  void SetView(ProgressView* view);
  const ProgressState& State() const { return state_; }

  // ProgressLink: redraws from the run's counters, then lets pending
  // messages through once; when more matrices are done than the run has,
  // the bar is left alone and nothing is let through.
  void UpdateProgress() override;
  bool CancelRequested() const override { return cancelRequested_; }

  // AutomationHost
  void EnableShowEcoSim() override;
  void ReportProgramMissing(std::string_view message) override;

  // The automation whose windows "Show EcoSim" places; null when none runs.
  void AttachAutomation(EcoSimAutomation* ecosim) { ecosim_ = ecosim; }

  // Redraws title, status line, time line and bar from the run's counters.
  // False when more matrices are done than the run has.
  bool Redraw();
  // The window needs painting: while EcoSim is being started it says so and
  // offers Cancel; later it recomputes the estimate from the clock. Lets no
  // messages through (the painting is the message loop's own).
  void Repaint();
  // Cancel: disables itself, says EcoSim is being closed, lets pending
  // messages through once, then asks the driver to stop. The time line keeps
  // saying so until the run ends.
  void Cancel();
  // The "Show EcoSim" box took the value; EcoSim's windows follow it. A
  // window missing at that moment is not placed, and the run goes on.
  void CheckShowEcoSim(bool checked);
  // A click on the box's caption toggles the box while it is enabled.
  void ClickShowEcoSimLabel();
  // Only the end of the run closes the window; a close from its frame is
  // refused.
  static bool FrameCloseAllowed() { return false; }

  void ProcessPendingMessages();

 private:
  void Draw();

  RunSettings& settings_;
  Clock& clock_;
  std::function<void()> processPending_;
  ProgressView* view_ = nullptr;
  EcoSimAutomation* ecosim_ = nullptr;
  ProgressState state_;
  bool cancelRequested_ = false;
  bool closing_ = false;
};

}  // namespace tessil
