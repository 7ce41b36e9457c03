#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// windows.h first
#include <shellapi.h>
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
#include <streambuf>
#include <string>
#include <vector>

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
// The command line as the user typed it, in UTF-8, as every text inside
// Tessil is: main's own arguments come in the ANSI code page, which holds
// few of the letters of ecologists' names and folders.
std::vector<std::string> Utf8Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int k = 0; k < count; ++k) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide[k], -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    if (length > 0) WideCharToMultiByte(CP_UTF8, 0, wide[k], -1, text.data(), length, nullptr, nullptr);
    text.resize(text.size() - 1);
    arguments.push_back(std::move(text));
  }
  LocalFree(wide);
  return arguments;
}

// Standard error when it is a console: the UTF-8 text turned into UTF-16
// for WriteConsoleW, so that a path in any language shows as it is named,
// whatever the console's code page. Into a file or a pipe the bytes go
// unchanged.
class ConsoleText final : public std::streambuf {
 public:
  explicit ConsoleText(HANDLE console) : console_(console) {}
  ConsoleText(const ConsoleText&) = delete;
  ConsoleText& operator=(const ConsoleText&) = delete;
  ~ConsoleText() override { Write(); }

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) pending_.push_back(static_cast<char>(c));
    Write();
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* bytes, std::streamsize count) override {
    pending_.append(bytes, static_cast<std::size_t>(count));
    Write();
    return count;
  }
  int sync() override {
    Write();
    return 0;
  }

 private:
  void Write() {
    // Whole characters only: a sequence cut by the end waits for its rest.
    std::size_t whole = pending_.size();
    for (std::size_t back = 0; back < 3 && back < whole; ++back) {
      const auto c = static_cast<unsigned char>(pending_[whole - 1 - back]);
      if ((c & 0xC0) != 0x80) {
        const std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (need > back + 1) whole -= back + 1;
        break;
      }
    }
    if (whole == 0) return;
    const int size = static_cast<int>(whole);
    const int length = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, pending_.data(), size, text.data(), length);
    DWORD written = 0;
    WriteConsoleW(console_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    pending_.erase(0, whole);
  }

  HANDLE console_;
  std::string pending_;
};
#else
extern "C" void OnInterrupt(int) { interrupted.store(true); }
#endif

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C asks the run to stop, as the progress window's Cancel does; so
  // does SIGTERM, by which Slurm pre-empts a job or ends it at its time
  // limit.
  int count = argc;
  const char* const* args = argv;
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  // The report's bytes are written as they are: its lines already end in
  // CR LF, and a text-mode stream would add a second CR.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const std::vector<std::string> arguments = Utf8Arguments();
  std::vector<const char*> utf8;
  for (const std::string& a : arguments) utf8.push_back(a.c_str());
  utf8.push_back(nullptr);
  if (!arguments.empty()) {
    count = static_cast<int>(arguments.size());
    args = utf8.data();
  }
  HANDLE errorHandle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD consoleMode = 0;
  ConsoleText console(errorHandle);
  std::streambuf* const plainError = std::cerr.rdbuf();
  if (GetConsoleMode(errorHandle, &consoleMode) != FALSE) std::cerr.rdbuf(&console);
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
  const int status = tessil::cli::RunCommandLine(count, args, env);
#ifdef _WIN32
  std::cerr.rdbuf(plainError);
#endif
  return status;
}
