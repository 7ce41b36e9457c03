// The window protocol against the stand-in EcoSim, ready for a front end
// that has a QApplication and a progress window: one object for the life of
// the program, one automation per run.
//
//   StandInAutomation windows(programFolder);
//   services.MakeAutomation = [&](RunSettings& s, const RunInputs& in, AutomationHost& host, QWidget* progress) {
//     return windows.MakeAutomation(s, in, host, progress);
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

namespace tessil::standin {

class StandInAutomation {
 public:
  // The waits poll the window system and the timers every 0.5 ms besides
  // delivering posted messages on every pass: cheap waits, live windows.
  static QtWindowSystem::Options DefaultOptions();

  // Registers the stand-in for EcoSim's program file. `programFolder` holds
  // EcoSim/EcoSim700.exe. Needs the QApplication.
  explicit StandInAutomation(std::filesystem::path programFolder,
                             QtWindowSystem::Options options = DefaultOptions());
  // Ends every stand-in still running.
  ~StandInAutomation();
  StandInAutomation(const StandInAutomation&) = delete;
  StandInAutomation& operator=(const StandInAutomation&) = delete;

  // The automation of one run. EcoSim's windows are placed beside
  // `progressWindow` (may be null). Cancel is read from `cancelled` or,
  // when that is empty, from `host` when it is also the run's ProgressLink.
  std::unique_ptr<EcoSimAutomation> MakeAutomation(RunSettings& settings, const RunInputs& inputs,
                                                   AutomationHost& host, QWidget* progressWindow,
                                                   std::function<bool()> cancelled = {});

  QtWindowSystem& Windows() { return windows_; }

 private:
  std::filesystem::path program_folder_;
  QtWindowSystem windows_;
};

}  // namespace tessil::standin
