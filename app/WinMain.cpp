// Tessil's desktop program on Windows: the native Win32 face, whose runs
// drive EcoSim 7.0 (EcoSim\EcoSim700.exe beside the program) in a process of
// its own through the Win32 window system.
#include "Win32Desktop.h"
// windows.h first, then comctl32 and HTML Help
#include <commctrl.h>
#include <htmlhelp.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "Clock.h"
#include "Win32WindowSystem.h"
#include "WindowProtocolEcoSim.h"

namespace {

using namespace tessil;

std::wstring ProgramFolder() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return std::filesystem::path(path).parent_path().wstring();
}

std::wstring Variable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

// Windows' HTML Help viewer; its result tells the user nothing, so it is not
// read.
void CallHtmlHelp(const std::wstring& file, unsigned command, const std::wstring& data) {
  const DWORD_PTR argument = command == win32ui::HelpDisplayTopic ? reinterpret_cast<DWORD_PTR>(data.c_str()) : 0;
  HtmlHelpW(nullptr, file.empty() ? nullptr : file.c_str(), command, argument);
}

// Where no help viewer can be shown (Wine has none without Gecko), the calls
// are written one a line into the file TESSIL_HELP_LOG names, so that the
// tests see them.
win32ui::HtmlHelpCall RecordedHtmlHelp(std::wstring logFile) {
  return [logFile](const std::wstring& file, unsigned command, const std::wstring& data) {
    const std::string line =
        win32ui::Narrow(L"HtmlHelp(\"" + file + L"\", " + std::to_wstring(command) + L", \"" + data + L"\")\r\n");
    HANDLE log = CreateFileW(logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
  };
}

WindowHandle HandleOf(HWND window) {
  // Window handles fit in 32 bits, also for 64-bit programs.
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window) & 0xFFFFFFFFu);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  const std::wstring folder = ProgramFolder();
  // The protocol's waits keep Tessil's own windows live, dialog keys
  // included, while EcoSim computes.
  Win32WindowSystem::Options options;
  options.ProcessMessages = [] { win32ui::ProcessPendingMessages(); };
  Win32WindowSystem windows(options);
  SystemClock clock;

  const std::wstring helpLog = Variable(L"TESSIL_HELP_LOG");
  win32ui::DesktopServices services{
      clock,
      [&windows, &folder](RunSettings& settings, const RunInputs& inputs, AutomationHost& host,
                          const ProgressLink& link, HWND progress) -> MadeAutomation {
        return std::make_unique<WindowProtocolEcoSim>(
            windows, settings, inputs, &host,
            [progress] { return IsWindow(progress) != 0 ? HandleOf(progress) : NoWindow; },
            std::filesystem::path(folder), [&link] { return link.CancelRequested(); });
      },
      helpLog.empty() ? win32ui::HtmlHelpCall(&CallHtmlHelp) : RecordedHtmlHelp(helpLog),
      folder,
  };
  return win32ui::RunDesktop(std::move(services));
}
