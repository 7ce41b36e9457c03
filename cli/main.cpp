#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "FileOutput.h"
#if TESSIL_WINDOWS_ECOSIM
#include "WindowsEcoSim.h"
#endif
#if TESSIL_PNG_PICTURES
#include "PngPicture.h"
#endif

namespace {

std::atomic<bool> interrupted{false};

#ifdef _WIN32
// The console calls this on a thread of its own; answering TRUE keeps the
// program alive so that the run ends as cancelled, with its message. (A
// closed console or a shutdown ends the process once the handler returns,
// whatever it answers: a sweep's partial study is never read anyway.)
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    interrupted.store(true);
    return TRUE;
  }
  return FALSE;
}
#else
extern "C" void OnInterrupt(int) { interrupted.store(true); }
#endif

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C asks the run to stop, as the progress window's Cancel does; so
  // does SIGTERM, by which Slurm pre-empts a job or ends it at its time
  // limit.
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  // The report's bytes are written as they are: its lines already end in
  // CR LF, and a text-mode stream would add a second CR.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#else
  // Without SA_RESTART, so that a read waiting on a silent pipe returns at
  // once and the reader sees the interruption.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = 0;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif
  tessil::SystemClock clock;
  // Standard output through a buffer that remembers why a write failed.
  tessil::cli::CStreamOutput outBuffer(stdout);
  std::ostream out(&outBuffer);
  tessil::cli::Environment env{out, std::cerr, &interrupted, isatty(STDERR_FILENO) == 1, &clock};
#if TESSIL_WINDOWS_ECOSIM
  // EcoSim through its windows: the stand-in installed beside this program.
  // A build without Qt has none, and `--ecosim windows` says so.
  tessil::cli::WindowsEcoSim windows(tessil::cli::ProgramFolder(), std::cerr);
  env.WindowsEcoSim = windows.Factory();
#endif
  env.Variable = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  };
#if TESSIL_PNG_PICTURES
  env.RenderPng = tessil::cli::RenderChartAsPng;
#endif
  return tessil::cli::RunCommandLine(argc, argv, env);
}
