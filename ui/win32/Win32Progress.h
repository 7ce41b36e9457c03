// The progress window of a run: the status line, the bar, the time line, the
// "Show EcoSim" box and Cancel. The Run handler creates, shows, hides and
// destroys it; the driver advances the counter and calls UpdateProgress;
// EcoSim's start-up enables the box.
#pragma once

#include <string>

#include "Win32Desktop.h"

namespace tessil::win32ui {

class frmProgress final : public Window, public ProgressLink, public AutomationHost {
 public:
  frmProgress(RunSettings& settings, Clock& clock);

  // ProgressLink
  void UpdateProgress() override;
  bool CancelRequested() const override { return cancelRequested_; }
  // AutomationHost
  void EnableShowEcoSim() override;
  void ReportProgramMissing(std::string_view message) override;

  // The automation whose windows "Show EcoSim" places; null when none runs.
  void AttachAutomation(EcoSimAutomation* ecosim) { ecosim_ = ecosim; }
  // What the window does whenever it needs painting: while EcoSim is being
  // started it says so and offers Cancel; later it recomputes the estimate.
  void Repaint();
  // Closes the window at the end of a run; every other close is refused.
  void Unload();

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int DefaultButton() const override { return IDCANCEL; }

 private:
  // Redraws from the run's counters; false when more matrices are done than
  // the run has (the bar is then left alone).
  bool Redraw();
  void cmd1_Click();
  void chk1_Click();
  void PaintBar(HDC dc, const RECT& area) const;

  RunSettings& settings_;
  Clock& clock_;
  EcoSimAutomation* ecosim_ = nullptr;
  bool cancelRequested_ = false;
  bool closing_ = false;
  bool unloading_ = false;
  bool painting_ = false;
  std::int64_t barDone_ = 0;
  std::int64_t barTotal_ = 0;
  HWND pbx2_ = nullptr, pbxProgressBar_ = nullptr, pbx1_ = nullptr, chk1_ = nullptr, lbl1_ = nullptr,
       cmd1_ = nullptr;
};

// Takes the Close command off the window's system menu, which also greys
// its title bar's close button.
void DisableCloseButton(HWND window);

}  // namespace tessil::win32ui
