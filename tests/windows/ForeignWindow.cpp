// A test helper for the Windows end-to-end checks, standing for programs that
// are not Tessil's own EcoSim:
//   ForeignWindow show <log>        shows a top-level "TMessageForm" with an
//                                   "OK" button, as another program's message
//                                   box, writes "ready" to <log> once shown
//                                   and "clicked" or "closed" when anything
//                                   presses its OK or asks it to close (it
//                                   stays open either way);
//   ForeignWindow wait <class> <s>  ends with 0 once a top-level window of
//                                   that class exists, 1 after <s> seconds;
//   ForeignWindow list <class>      prints "<process id> <title>" for each
//                                   top-level window of that class;
//   ForeignWindow close <class> <s> asks every top-level window of that class
//                                   to close (a posted WM_CLOSE, as taskkill
//                                   without /F and Task Manager's End task
//                                   do), again every 100 ms until a window
//                                   with a "Cancel" button asks whether to
//                                   close (0) or <s> seconds have passed (1).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* logPath = nullptr;

void Log(const char* what) {
  if (std::FILE* file = std::fopen(logPath, "ab")) {
    std::fprintf(file, "%s\n", what);
    std::fclose(file);
  }
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    Log("clicked");
    return 0;
  }
  if (message == WM_CLOSE) {
    Log("closed");
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int Show() {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA form{};
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  form.lpszClassName = "TMessageForm";
  // The button is EcoSim's class name over the system button, so that a
  // click works as on EcoSim's own.
  WNDCLASSA button{};
  if (RegisterClassA(&form) == 0 || !GetClassInfoA(nullptr, "BUTTON", &button)) return 2;
  button.hInstance = instance;
  button.lpszClassName = "TButton";
  if (RegisterClassA(&button) == 0) return 2;
  const HWND window = CreateWindowExA(0, "TMessageForm", "Confirm", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 100, 100,
                                      300, 150, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 2;
  if (CreateWindowExA(0, "TButton", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 110, 60, 75, 25, window, nullptr,
                      instance, nullptr) == nullptr) {
    return 2;
  }
  Log("ready");
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

struct Listing {
  const char* ClassName;
  int Found = 0;
  bool Print = false;
  bool Close = false;
};

// A "Cancel" button. Its class is another process's own: compared by name,
// as FindWindowExA finds only classes this process knows.
BOOL CALLBACK FindCancel(HWND window, LPARAM data) {
  char className[256] = {};
  char text[64] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, text, sizeof text);
  if (lstrcmpiA(className, "TButton") != 0 || lstrcmpA(text, "Cancel") != 0) return TRUE;
  *reinterpret_cast<bool*>(data) = true;
  return FALSE;
}

// A top-level window of any class with a "Cancel" button: a question.
BOOL CALLBACK FindQuestion(HWND window, LPARAM data) {
  EnumChildWindows(window, FindCancel, data);
  return *reinterpret_cast<bool*>(data) ? FALSE : TRUE;
}

BOOL CALLBACK Visit(HWND window, LPARAM data) {
  auto& listing = *reinterpret_cast<Listing*>(data);
  char className[256] = {};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpiA(className, listing.ClassName) != 0) return TRUE;
  ++listing.Found;
  if (listing.Close) PostMessageA(window, WM_CLOSE, 0, 0);
  if (listing.Print) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    std::printf("%lu %s\n", static_cast<unsigned long>(process), title);
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "show" && argc == 3) {
    logPath = argv[2];
    return Show();
  }
  if (command == "wait" && argc == 4) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::atoi(argv[3])) * 1000;
    for (;;) {
      Listing listing{argv[2]};
      EnumWindows(Visit, reinterpret_cast<LPARAM>(&listing));
      if (listing.Found > 0) return 0;
      if (GetTickCount64() >= end) return 1;
      Sleep(100);
    }
  }
  if (command == "close" && argc == 4) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::atoi(argv[3])) * 1000;
    for (;;) {
      Listing listing{argv[2]};
      listing.Close = true;
      EnumWindows(Visit, reinterpret_cast<LPARAM>(&listing));
      // The question may stand only for moments: Tessil ends its run at
      // once when it sees it, and EcoSim with it.
      for (int look = 0; look < 20; ++look) {
        Sleep(5);
        bool asked = false;
        EnumWindows(FindQuestion, reinterpret_cast<LPARAM>(&asked));
        if (asked) return 0;
      }
      if (GetTickCount64() >= end) return 1;
    }
  }
  if (command == "list" && argc == 3) {
    Listing listing{argv[2]};
    listing.Print = true;
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&listing));
    return 0;
  }
  std::fprintf(stderr,
               "usage: ForeignWindow show <log> | wait <class> <seconds> | list <class> | close <class> <seconds>\n");
  return 2;
}
