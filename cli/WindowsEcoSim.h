// The EcoSim of `tessil-cli run --ecosim windows`, started from its program
// file EcoSim/EcoSim700.exe beside tessil-cli and driven through its windows,
// exactly as the desktop program drives EcoSim.
//
// On Windows it is EcoSim itself, in a process of its own, reached by
// user32's window messages (TESSIL_WINDOWS_ECOSIM_WIN32). Elsewhere it is
// the stand-in EcoSim hosted in this process: Qt runs on its offscreen
// platform when there is no display, and nothing is ever shown.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>

#include "AutomationHost.h"
#include "ProgramFolder.h"
#include "Study.h"

#if TESSIL_WINDOWS_ECOSIM_WIN32
#include "Win32WindowSystem.h"
#else
#include <QApplication>

#include "StandInAutomation.h"
#endif

namespace tessil::cli {

// "Error 02: EcoSim700.exe not found.", then the full path where Tessil
// looked: the likely slip is EcoSim700.exe beside tessil-cli rather than in
// the EcoSim folder.
void ReportMissing(std::ostream& err, std::string_view message, const std::filesystem::path& programFolder);

#if TESSIL_WINDOWS_ECOSIM_WIN32

class WindowsEcoSim final : private AutomationHost {
 public:
  // `err` receives "Error 02: EcoSim700.exe not found." when the program
  // file is missing.
  WindowsEcoSim(std::filesystem::path programFolder, std::ostream& err);
  WindowsEcoSim(const WindowsEcoSim&) = delete;
  WindowsEcoSim& operator=(const WindowsEcoSim&) = delete;

  // Makes the automation of one study; valid while this object lives.
  StudyAutomationFactory Factory();

 private:
  void EnableShowEcoSim() override {}
  void ReportProgramMissing(std::string_view message) override;

  std::filesystem::path programFolder_;
  std::ostream& err_;
  Win32WindowSystem windows_;
};

#else

class WindowsEcoSim final : private AutomationHost {
 public:
  // Nothing of Qt starts until the first automation is made. `err` receives
  // "Error 02: EcoSim700.exe not found." when the program file is missing.
  // `fullTurnSeconds`: how often the waits poll the window system and the
  // timers besides delivering posted messages (QtWindowSystem::Options).
  WindowsEcoSim(std::filesystem::path programFolder, std::ostream& err, double fullTurnSeconds = DefaultFullTurn);

  static constexpr double DefaultFullTurn = 0.0005;
  ~WindowsEcoSim() override;
  WindowsEcoSim(const WindowsEcoSim&) = delete;
  WindowsEcoSim& operator=(const WindowsEcoSim&) = delete;

  // Makes the automation of one study; valid while this object lives.
  StudyAutomationFactory Factory();

 private:
  void EnableShowEcoSim() override {}
  void ReportProgramMissing(std::string_view message) override;
  void Start();

  std::filesystem::path programFolder_;
  std::ostream& err_;
  double fullTurnSeconds_;
  int argc_ = 1;
  char name_[12] = "tessil-cli";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<qtwin::WindowWorld> world_;
  std::unique_ptr<standin::StandInAutomation> standin_;
};

#endif

}  // namespace tessil::cli
