// The desktop program put together: the one run record, the message boxes,
// the help windows, the clock and the automation the Run button uses.
#pragma once

#include <memory>

#include "Help_Procedures.h"
#include "MessageBoxes.h"
#include "Public_Declarations.h"
#include "frmMain.h"

namespace tessil {

// The automation a run uses until the window protocol drives the stand-in
// EcoSim: the same tests computed in-process, one after another.
AutomationFactory InProcessAutomation();

class DesktopProgram {
 public:
  explicit DesktopProgram(AutomationFactory automation = InProcessAutomation());
  frmMain& MainWindow() { return *main_; }
  RunSettings& Settings() { return settings_; }
  HelpWindows& Help() { return help_; }

 private:
  RunSettings settings_;
  QtMessageBoxes boxes_;
  HelpWindows help_;
  SystemClock clock_;
  std::unique_ptr<frmMain> main_;
};

}  // namespace tessil
