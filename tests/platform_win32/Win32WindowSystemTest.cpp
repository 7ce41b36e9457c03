// The Win32 window system against a program of another process
// (Win32TestHelper.exe beside this test), under Windows or Wine.
#include "WindowsApi.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Win32WindowSystem.h"

namespace tessil {
namespace {

constexpr double StartSeconds = 30.0;

std::filesystem::path ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).parent_path();
}

std::string Helper() { return (ProgramFolder() / "Win32TestHelper.exe").string(); }

HWND ToHwnd(WindowHandle w) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<std::int32_t>(w))); }

WindowHandle ToHandle(HWND w) { return static_cast<WindowHandle>(reinterpret_cast<UINT_PTR>(w) & 0xFFFFFFFFu); }

bool ownMessageHandled = false;

LRESULT CALLBACK OwnProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) ownMessageHandled = true;
  return DefWindowProcA(window, message, wParam, lParam);
}

// A window of this (the test's) process with the helper's class and text:
// another program's window that must never be found.
struct OwnWindow {
  HWND Top = nullptr;
  HWND Button = nullptr;
  OwnWindow() {
    WNDCLASSA c{};
    c.lpfnWndProc = OwnProc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "TessilProbe";
    RegisterClassA(&c);
    Top = CreateWindowExA(0, "TessilProbe", "Probe &One", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                          nullptr, GetModuleHandleA(nullptr), nullptr);
    Button = CreateWindowExA(0, "BUTTON", "One", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, Top, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  }
  ~OwnWindow() { DestroyWindow(Top); }
  OwnWindow(const OwnWindow&) = delete;
  OwnWindow& operator=(const OwnWindow&) = delete;
};

// A test that fails half-way leaves no program of its running.
struct EndsStartedProgram {
  Win32WindowSystem& Windows;
  ~EndsStartedProgram() {
    if (Windows.StartedProcessId() == 0 || Windows.StartedProgramEnded()) return;
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, Windows.StartedProcessId())) {
      TerminateProcess(p, 1);
      CloseHandle(p);
    }
  }
};

// Waits, with a deadline, for the other process to show its window.
WindowHandle WaitForWindow(Win32WindowSystem& windows, std::string_view cls, std::string_view text) {
  const double deadline = windows.MonotonicSeconds() + StartSeconds;
  while (windows.MonotonicSeconds() < deadline) {
    const WindowHandle found = windows.FindWindow(cls, text);
    if (found != NoWindow && windows.IsWindowVisible(found)) return found;
    windows.ProcessPendingMessages();
    Sleep(20);
  }
  return NoWindow;
}

bool WaitForEnd(Win32WindowSystem& windows) {
  const double deadline = windows.MonotonicSeconds() + StartSeconds;
  while (windows.MonotonicSeconds() < deadline) {
    if (windows.StartedProgramEnded()) return true;
    Sleep(20);
  }
  return false;
}

std::string ReadText(Win32WindowSystem& windows, WindowHandle w) {
  const auto length = windows.SendMessage(w, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const auto copied = windows.SendBufferMessage(w, WM_GETTEXT, text.size(), text);
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

TEST(Win32WindowSystem, SeesOnlyTheStartedProgramsWindowsInCreationOrder) {
  Win32WindowSystem windows;
  const EndsStartedProgram ends{windows};
  const OwnWindow before;
  EXPECT_EQ(windows.FindWindow("TessilProbe", std::nullopt), NoWindow) << "nothing started yet";

  ASSERT_GT(windows.ShellExecute(NoWindow, "open", Helper(), "windows", ProgramFolder().string(), SW_SHOWNORMAL), 32);
  EXPECT_FALSE(windows.StartedProgramEnded());
  const WindowHandle top = WaitForWindow(windows, "TessilProbe", "Probe &One");
  ASSERT_NE(top, NoWindow);
  // Ours is now the newest, in front of the helper's in the z-order.
  const OwnWindow after;
  DWORD process = 0;
  GetWindowThreadProcessId(ToHwnd(top), &process);
  EXPECT_EQ(process, windows.StartedProcessId());
  EXPECT_NE(process, GetCurrentProcessId());

  struct TopCase {
    const char* cls;
    std::optional<std::string_view> text;
    WindowHandle expected;
  };
  for (const TopCase& c : {TopCase{"TessilProbe", std::nullopt, top}, TopCase{"tessilPROBE", "probe &ONE", top},
                           TopCase{"TessilProbe", "Probe One", NoWindow}, TopCase{"TessilProbe", "Probe &On", NoWindow},
                           TopCase{"TessilProbe", "Probe &One ", NoWindow}, TopCase{"Button", "One", NoWindow}}) {
    EXPECT_EQ(windows.FindWindow(c.cls, c.text), c.expected) << c.cls << " " << c.text.value_or("(any)");
  }

  // Children in creation order, texts whole and with their ampersands.
  const WindowHandle one = windows.FindWindowEx(top, NoWindow, "Button", std::nullopt);
  const WindowHandle three = windows.FindWindowEx(top, one, "BUTTON", std::nullopt);
  const WindowHandle threeAmp = windows.FindWindowEx(top, three, "button", std::nullopt);
  ASSERT_NE(one, NoWindow);
  std::array<char, 16> text{};
  EXPECT_EQ(windows.GetWindowText(one, text), 3);
  EXPECT_STREQ(text.data(), "One");
  EXPECT_EQ(windows.FindWindowEx(top, NoWindow, "Button", "THREE"), three);
  EXPECT_EQ(windows.FindWindowEx(top, NoWindow, "Button", "thr&ee"), threeAmp);
  EXPECT_NE(three, threeAmp);
  EXPECT_EQ(windows.FindWindowEx(top, threeAmp, "Button", std::nullopt), NoWindow);
  EXPECT_EQ(windows.FindWindowEx(top, NoWindow, "Static", "Two"), windows.FindWindowEx(top, one, "Static", "Two"));
  EXPECT_EQ(windows.FindWindowEx(top, NoWindow, "Button", "Thre"), NoWindow);
  EXPECT_EQ(windows.FindWindowEx(NoWindow, NoWindow, "Button", "One"), NoWindow);
  EXPECT_EQ(windows.FindWindowEx(ToHandle(after.Top), NoWindow, "Button", "One"), NoWindow) << "our own window";

  // The edit is found by the text it was created with; its content is read
  // by message, bytes the answer does not fill keep their value.
  const WindowHandle edit = windows.FindWindowEx(top, NoWindow, "TessilEdit", "first");
  ASSERT_NE(edit, NoWindow);
  EXPECT_EQ(windows.FindWindowEx(top, NoWindow, "TessilEdit", "line one\r\nline two"), NoWindow);
  EXPECT_EQ(ReadText(windows, edit), "line one\r\nline two");
  std::array<char, 8> small;
  small.fill('#');
  EXPECT_EQ(windows.SendBufferMessage(edit, WM_GETTEXT, 5, small), 4);
  EXPECT_EQ(std::string(small.data(), small.size()), std::string("line\0###", 8));
  EXPECT_EQ(windows.SendTextMessage(edit, WM_SETTEXT, 0, "a\r\nb"), TRUE);
  EXPECT_EQ(ReadText(windows, edit), "a\r\nb");
  EXPECT_EQ(windows.FindWindowEx(top, NoWindow, "TessilEdit", "first"), edit);

  // Leaving behind a window that is not the started program's ends nothing.
  windows.LeaveBehind(ToHandle(after.Top));
  EXPECT_FALSE(windows.StartedProgramEnded());

  EXPECT_TRUE(windows.PostMessage(top, WM_CLOSE, 0, 0));
  EXPECT_TRUE(WaitForEnd(windows));
  EXPECT_EQ(windows.FindWindow("TessilProbe", std::nullopt), NoWindow);
}

struct Abandoned {};

TEST(Win32WindowSystem, AHungWindowNeitherFreezesTheCallerNorGetsTheMessageTwice) {
  const std::string id = std::to_string(GetCurrentProcessId());
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, ("TessilWin32TestRelease-" + id).c_str());
  ASSERT_NE(release, nullptr);
  Win32WindowSystem windows;
  const EndsStartedProgram ends{windows};
  const OwnWindow own;
  ASSERT_GT(windows.ShellExecute(NoWindow, "open", Helper(), "hang " + id, "", SW_SHOWNORMAL), 32);
  const WindowHandle hang = WaitForWindow(windows, "TessilHang", "Hang");
  ASSERT_NE(hang, NoWindow);

  // While the send waits, this thread's own messages are handled and the
  // hook is called; its exception abandons the send.
  int passes = 0;
  windows.SetSendWait([&] {
    if (++passes == 3) throw Abandoned();
  });
  ownMessageHandled = false;
  PostMessageA(own.Top, WM_APP, 0, 0);
  {
    std::array<char, 32> buffer;
    buffer.fill('#');
    EXPECT_THROW(windows.SendBufferMessage(hang, WM_GETTEXT, buffer.size(), buffer), Abandoned);
    EXPECT_EQ(passes, 3);
    EXPECT_TRUE(ownMessageHandled);

    // Answered at last: into memory of the abandoned send's own, never the
    // caller's, and only once.
    SetEvent(release);
    std::array<char, 16> title{};
    const double deadline = windows.MonotonicSeconds() + StartSeconds;
    while (windows.MonotonicSeconds() < deadline && std::string(title.data()) != "gets=1") {
      windows.GetWindowText(hang, title);
      Sleep(20);
    }
    EXPECT_STREQ(title.data(), "gets=1");
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(32, '#'));
  }
  windows.SetSendWait(nullptr);
  EXPECT_EQ(windows.SendMessage(hang, WM_GETTEXTLENGTH, 0, 0), 6);
  std::array<char, 16> title{};
  windows.GetWindowText(hang, title);
  EXPECT_STREQ(title.data(), "gets=1");

  // Hung for good: the send is given up, and leaving the window behind ends
  // the process Tessil started.
  passes = 0;
  windows.SetSendWait([&] {
    if (++passes == 2) throw Abandoned();
  });
  EXPECT_TRUE(windows.PostMessage(hang, WM_APP, 0, 0));
  EXPECT_THROW(windows.SendMessage(hang, WM_NULL, 0, 0), Abandoned);
  EXPECT_FALSE(windows.StartedProgramEnded());
  windows.LeaveBehind(hang);
  EXPECT_TRUE(WaitForEnd(windows));
  CloseHandle(release);
}

TEST(Win32WindowSystem, AStartThatFailsIsReportedAndFindsNothing) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tessil-win32-test-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path notProgram = folder / "NotAProgram.exe";
  std::ofstream(notProgram) << "This file is text, not a program.\r\n";

  Win32WindowSystem windows;
  const OwnWindow own;
  for (const std::filesystem::path& file : {notProgram, folder / "Missing.exe"}) {
    EXPECT_LE(windows.ShellExecute(NoWindow, "open", file.string(), "", folder.string(), SW_SHOWNORMAL), 32)
        << file.string();
    EXPECT_EQ(windows.StartedProcessId(), 0u);
    EXPECT_FALSE(windows.StartedProgramEnded());
    EXPECT_EQ(windows.FindWindow("TessilProbe", "Probe &One"), NoWindow);
  }
  std::error_code error;
  std::filesystem::remove_all(folder, error);
}

}  // namespace
}  // namespace tessil
