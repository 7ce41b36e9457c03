// A small program of its own process for the Win32 window system's tests:
//   Win32TestHelper windows   a window "Probe &One" (class TessilProbe) with
//                             buttons, a label and an edit (TessilEdit) whose content is
//                             not its creation text; WM_CLOSE ends it
//   Win32TestHelper hang <id> a window "Hang" (class TessilHang) whose
//                             WM_GETTEXT of a 32-byte buffer waits until the test sets the event
//                             TessilWin32TestRelease-<id>, then answers
//                             "late answer" and shows how many it got; a
//                             posted WM_APP hangs it for good
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HANDLE releaseEvent = nullptr;
int textRequests = 0;
constexpr WPARAM HangBuffer = 32;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK HangProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETTEXT: {
      // Only the test's own request (its buffer of HangBuffer bytes) hangs:
      // Wine's desktop asks for window texts too.
      if (wParam != HangBuffer) break;
      ++textRequests;
      // Bounded, so that a failed test leaves nothing running for long.
      WaitForSingleObject(releaseEvent, 60000);
      const std::string count = "gets=" + std::to_string(textRequests);
      SetWindowTextA(window, count.c_str());
      const char answer[] = "late answer";
      const std::size_t n = std::min<std::size_t>(wParam == 0 ? 0 : wParam - 1, sizeof answer - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), answer, n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_APP:
      Sleep(60000);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

WNDPROC editProc = nullptr;

// An edit that keeps the text it was created with as its caption, as
// Windows' own edit control does (Wine's keeps none): look-ups find it by
// that text whatever its content becomes.
LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) DefWindowProcA(window, message, wParam, lParam);
  return CallWindowProcA(editProc, window, message, wParam, lParam);
}

void Register(const char* name, WNDPROC proc) {
  WNDCLASSA c{};
  c.lpfnWndProc = proc;
  c.hInstance = GetModuleHandleA(nullptr);
  c.lpszClassName = name;
  RegisterClassA(&c);
}

HWND Child(HWND parent, const char* cls, const char* text, DWORD style = 0) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 50, 20, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  const std::string mode = __argc > 1 ? __argv[1] : "";
  HWND top = nullptr;
  if (mode == "windows") {
    Register("TessilProbe", ProbeProc);
    WNDCLASSA editClass{};
    GetClassInfoA(nullptr, "EDIT", &editClass);
    editProc = editClass.lpfnWndProc;
    editClass.lpfnWndProc = EditProc;
    editClass.hInstance = GetModuleHandleA(nullptr);
    editClass.lpszClassName = "TessilEdit";
    RegisterClassA(&editClass);
    top = CreateWindowExA(0, "TessilProbe", "Probe &One", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
    Child(top, "BUTTON", "One");
    Child(top, "STATIC", "Two");
    Child(top, "BUTTON", "Three");
    Child(top, "BUTTON", "Thr&ee");
    HWND edit = Child(top, "TessilEdit", "first", ES_MULTILINE | ES_AUTOVSCROLL);
    SetWindowTextA(edit, "line one\r\nline two");
  } else if (mode == "hang" && __argc > 2) {
    releaseEvent = OpenEventA(SYNCHRONIZE, FALSE, (std::string("TessilWin32TestRelease-") + __argv[2]).c_str());
    if (releaseEvent == nullptr) return 2;
    Register("TessilHang", HangProc);
    top = CreateWindowExA(0, "TessilHang", "Hang", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
  } else {
    return 1;
  }
  ShowWindow(top, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
