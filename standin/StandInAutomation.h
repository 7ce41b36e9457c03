// The window protocol against the stand-in EcoSim, ready for a front end
// that has a QApplication and a progress window: one object for the life of
// the program, one automation per run.
//
//   qtwin::WindowWorld world;
//   StandInAutomation windows(world, programFolder);
//   services.MakeAutomation = [&](RunSettings& s, const RunInputs& in, AutomationHost& host,
//                                 const ProgressLink& link, QWidget* progress) {
//     return windows.MakeAutomation(s, in, host, progress, [&link] { return link.CancelRequested(); });
//   };
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "AutomationHost.h"
#include "EcoSimAutomation.h"
#include "Public_Declarations.h"
#include "QtWindowSystem.h"
#include "StandInEcoSim.h"
#include "WindowWorld.h"

namespace tessil::standin {

class StandInAutomation {
 public:
  // The waits poll the window system and the timers every 0.5 ms besides
  // delivering posted messages on every pass: cheap waits, live windows.
  static QtWindowSystem::Options DefaultOptions();

  // Registers the stand-in for EcoSim's program file in `world`.
  // `programFolder` holds EcoSim/EcoSim700.exe. Needs the QApplication.
  StandInAutomation(qtwin::WindowWorld& world, std::filesystem::path programFolder,
                    QtWindowSystem::Options options = DefaultOptions());
  // Ends every program still running in the world: the stand-ins go before
  // their switches do.
  ~StandInAutomation();
  StandInAutomation(const StandInAutomation&) = delete;
  StandInAutomation& operator=(const StandInAutomation&) = delete;

  // The automation of one run. EcoSim's windows are placed beside
  // `progressWindow` (may be null). The waits read Cancel from `cancelled`.
  std::unique_ptr<EcoSimAutomation> MakeAutomation(RunSettings& settings, const RunInputs& inputs, AutomationHost& host,
                                                   QWidget* progressWindow, std::function<bool()> cancelled);

  QtWindowSystem& Windows() { return windows_; }

 private:
  std::filesystem::path programFolder_;
  // No faults: the program's stand-ins behave.
  StandInSwitches switches_;
  QtWindowSystem windows_;
};

}  // namespace tessil::standin
