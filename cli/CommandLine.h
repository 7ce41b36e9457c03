// tessil-cli's commands: a whole study headless, or one co-occurrence test on
// a user's own matrix.
#pragma once

#include <atomic>
#include <iosfwd>
#include <utility>

#include "Clock.h"
#include "Public_Declarations.h"
#include "Study.h"

namespace tessil::cli {

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitRefused = 2;
inline constexpr int ExitCancelled = 130;

struct Environment {
  Environment(std::ostream& out, std::ostream& err, const std::atomic<bool>* interrupted = nullptr,
              bool errIsTerminal = false, Clock* time = nullptr, StudyAutomationFactory windowsEcoSim = {})
      : Out(out),
        Err(err),
        Interrupted(interrupted),
        ErrIsTerminal(errIsTerminal),
        Time(time),
        WindowsEcoSim(std::move(windowsEcoSim)) {}

  std::ostream& Out;
  std::ostream& Err;
  // Set when the user interrupts (Ctrl-C); the run then ends as cancelled.
  const std::atomic<bool>* Interrupted = nullptr;
  // Whether the error stream is a terminal that can show a progress bar.
  bool ErrIsTerminal = false;
  Clock* Time = nullptr;
  // The EcoSim driven through its windows (`--ecosim windows`); unavailable
  // when empty.
  StudyAutomationFactory WindowsEcoSim;
};

int RunCommandLine(int argc, const char* const* argv, Environment& env);

}  // namespace tessil::cli
