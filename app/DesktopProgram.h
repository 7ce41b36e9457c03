// The desktop program put together: the one run record, the message boxes,
// the help windows, the clock and the automation the Run button uses.
#pragma once

#include <filesystem>
#include <memory>

#include "Clock.h"
#include "Help_Procedures.h"
#include "MessageBoxes.h"
#include "Public_Declarations.h"
#include "frmMain.h"

namespace tessil {

namespace standin {
class StandInAutomation;
}
class WindowSystem;

// The same tests computed in-process, one after another, with no windows.
DesktopAutomationFactory InProcessAutomation();
// The window protocol driving the stand-in EcoSim, as the program does by
// default. `windows` must outlive every run.
DesktopAutomationFactory WindowProtocolAutomation(standin::StandInAutomation& windows);

class DesktopProgram {
 public:
  explicit DesktopProgram(DesktopAutomationFactory automation = InProcessAutomation());
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
