// tessil-cli's commands: a whole study headless, or one co-occurrence test on
// a user's own matrix.
#pragma once

#include <atomic>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>

#include "ChartPrimitives.h"
#include "Clock.h"
#include "Public_Declarations.h"
#include "Study.h"

namespace tessil::cli {

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitRefused = 2;
// The run's results were written, then EcoSim could not be closed.
inline constexpr int ExitEcoSimNotClosed = 3;
inline constexpr int ExitCancelled = 130;

// Draws a chart as PNG bytes; false with the reason when it cannot.
using PngRenderer = std::function<bool(const chart::Chart& chart, std::string& png, std::string& reason)>;

// Reads a variable of the process's environment (a Slurm task's), empty
// when it is not set.
using EnvironmentVariable = std::function<std::optional<std::string>(const std::string& name)>;

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
  // Draws `--plot` pictures as PNG; a build without Qt has none, and PNG
  // is then refused.
  PngRenderer RenderPng;
  // The environment's variables; without a reader none is set.
  EnvironmentVariable Variable;
};

// A picture file (--plot) is refused before any work, said on the error
// stream, when its extension names no format this build can write.
bool RefusePlotFile(const std::string& path, const Environment& env);
// Writes the chart as the file's extension asks: as SVG text, or drawn as
// PNG; false once the failure is said.
bool WritePicture(const std::string& path, const chart::Chart& chart, const Environment& env);

int RunCommandLine(int argc, const char* const* argv, Environment& env);

}  // namespace tessil::cli
