#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <iostream>

#include "CommandLine.h"
#include "FileOutput.h"
#if TESSIL_WINDOWS_ECOSIM
#include "WindowsEcoSim.h"
#endif

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted.store(true); }

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C asks the run to stop, as the progress window's Cancel does.
#ifdef _WIN32
  std::signal(SIGINT, OnInterrupt);
#else
  // Without SA_RESTART, so that a read waiting on a silent pipe returns at
  // once and the reader sees the interruption.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = 0;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
#endif

  tessil::SystemClock clock;
  // Standard output through a buffer that remembers why a write failed.
  tessil::cli::CStreamOutput outBuffer(stdout);
  std::ostream out(&outBuffer);
  tessil::cli::Environment env{out, std::cerr, &interrupted, isatty(STDERR_FILENO) == 1, &clock};
#if TESSIL_WINDOWS_ECOSIM
  // EcoSim through its windows: the stand-in installed beside this program.
  // A build without Qt has none, and `--ecosim windows` says so.
  tessil::cli::WindowsEcoSim windows(tessil::cli::RunningProgramFolder(), std::cerr);
  env.WindowsEcoSim = windows.Factory();
#endif
  return tessil::cli::RunCommandLine(argc, argv, env);
}
