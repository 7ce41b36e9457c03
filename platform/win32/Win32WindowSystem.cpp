#include "WindowsApi.h"
// windows.h first, then the multimedia timer
#include <timeapi.h>
// WindowsApi.h first: COM for the shell's start of a program
#include <objbase.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "Win32WindowSystem.h"

namespace tessil {

namespace {

// Handles are 32 bits wide: a 64-bit HWND is the sign extension of its low
// half, as Windows itself converts them for 32-bit programs.
HWND ToHwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<std::int32_t>(window)));
}

WindowHandle ToHandle(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<UINT_PTR>(window) & 0xFFFFFFFFu);
}

std::string TextOf(HWND window) {
  // GetWindowTextA of another process's window does not send it a message:
  // it gives the caption Windows keeps, which for an edit control is the
  // text it was created with, whatever its content is now.
  // (GetWindowTextLengthA would send one, and wait on a hung window.) The
  // texts looked for are short; a longer one never equals them.
  std::array<char, 1024> text{};
  const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return std::string(text.data(), static_cast<std::size_t>(std::max(copied, 0)));
}

std::string ClassOf(HWND window) {
  std::array<char, 256> name{};
  const int length = GetClassNameA(window, name.data(), static_cast<int>(name.size()));
  return std::string(name.data(), static_cast<std::size_t>(std::max(length, 0)));
}

// UTF-8, as Tessil holds every text, to the UTF-16 of Windows' wide calls.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

// Runs a call that answers 0 on failure and notes whether Windows refused
// it for want of rights (a program running as administrator does not take
// the messages of one that does not).
std::intptr_t NotingRefusal(const std::function<std::intptr_t()>& call, std::atomic<bool>& refused) {
  SetLastError(ERROR_SUCCESS);
  const std::intptr_t result = call();
  if (result == 0 && GetLastError() == ERROR_ACCESS_DENIED) refused.store(true);
  return result;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

}  // namespace

// A thread that carries out one job at a time for the window system's
// thread. Its state is shared with the thread itself, so that a sender whose
// job was abandoned (stuck in a hung window) can be let go: the thread
// finishes the job whenever the window answers, into memory it owns, and
// then ends.
struct Win32WindowSystem::Sender {
  struct State {
    HANDLE Work = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE Done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::function<std::intptr_t()> Job;
    std::intptr_t Result = 0;
    std::atomic<bool> Quit{false};
    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
      CloseHandle(Work);
      CloseHandle(Done);
    }
  };

  Sender() : Shared(std::make_shared<State>()), Thread(Loop, Shared) {}
  ~Sender() {
    if (Thread.joinable()) {
      Shared->Quit = true;
      SetEvent(Shared->Work);
      Thread.join();
    }
  }
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;

  void Start(std::function<std::intptr_t()> job) {
    Shared->Job = std::move(job);
    SetEvent(Shared->Work);
  }

  // The job will never be waited for: the thread ends once it is done.
  void LetGo() {
    Shared->Quit = true;
    SetEvent(Shared->Work);
    Thread.detach();
  }

  static void Loop(std::shared_ptr<State> state) {
    for (;;) {
      WaitForSingleObject(state->Work, INFINITE);
      if (state->Quit) return;
      state->Result = state->Job();
      state->Job = nullptr;
      SetEvent(state->Done);
    }
  }

  std::shared_ptr<State> Shared;
  std::thread Thread;
};

Win32WindowSystem::Win32WindowSystem() : Win32WindowSystem(Options{}) {}

Win32WindowSystem::Win32WindowSystem(Options options) : options_(std::move(options)) {}

Win32WindowSystem::~Win32WindowSystem() {
  idleSenders_.clear();
  if (startedProcess_ != nullptr) CloseHandle(startedProcess_);
  if (fineTimer_) timeEndPeriod(1);
  if (comStarted_) CoUninitialize();
}

bool Win32WindowSystem::IsStartedProgramWindow(WindowHandle window) const {
  return startedProcessId_ != 0 && window != NoWindow && ProcessOf(ToHwnd(window)) == startedProcessId_;
}

WindowHandle Win32WindowSystem::FindWindow(std::string_view className, std::optional<std::string_view> text) {
  if (startedProcessId_ == 0) return NoWindow;
  const std::string cls(className);
  // Top-level windows front first; FindWindowExA compares the class without
  // regard to case.
  for (HWND w = FindWindowExA(nullptr, nullptr, cls.c_str(), nullptr); w != nullptr;
       w = FindWindowExA(nullptr, w, cls.c_str(), nullptr)) {
    if (ProcessOf(w) != startedProcessId_) continue;
    if (!text || SameWindowText(TextOf(w), *text)) return ToHandle(w);
  }
  return NoWindow;
}

WindowHandle Win32WindowSystem::FindWindowEx(WindowHandle parent, WindowHandle after, std::string_view className,
                                             std::optional<std::string_view> text) {
  if (!IsStartedProgramWindow(parent)) return NoWindow;
  const HWND p = ToHwnd(parent);
  // The children in z-order, which for siblings nobody restacked is the
  // order they were created in. Walked here rather than by FindWindowExA,
  // which under Wine finds nothing after a sibling of another class.
  HWND w = GetWindow(p, GW_CHILD);
  if (after != NoWindow) {
    const HWND a = ToHwnd(after);
    if (GetAncestor(a, GA_PARENT) != p) return NoWindow;
    w = GetWindow(a, GW_HWNDNEXT);
  }
  for (; w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    if (SameWindowText(ClassOf(w), className) && (!text || SameWindowText(TextOf(w), *text))) return ToHandle(w);
  }
  return NoWindow;
}

bool Win32WindowSystem::IsWindowVisible(WindowHandle window) {
  return window != NoWindow && ::IsWindowVisible(ToHwnd(window)) != FALSE;
}

bool Win32WindowSystem::IsWindow(WindowHandle window) {
  return window != NoWindow && ::IsWindow(ToHwnd(window)) != FALSE;
}

bool Win32WindowSystem::PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
  if (window == NoWindow) return false;
  const HWND w = ToHwnd(window);
  return NotingRefusal([&] { return static_cast<std::intptr_t>(PostMessageA(w, message, wParam, lParam)); },
                       *refused_) != 0;
}

std::intptr_t Win32WindowSystem::RunForWindow(WindowHandle window, std::function<std::intptr_t()> job) {
  const DWORD thread = window == NoWindow ? 0 : GetWindowThreadProcessId(ToHwnd(window), nullptr);
  if (thread == 0 || thread == GetCurrentThreadId()) return job();

  std::unique_ptr<Sender> sender = TakeSender();
  sender->Start(std::move(job));
  try {
    for (;;) {
      const DWORD woke = MsgWaitForMultipleObjects(1, &sender->Shared->Done, FALSE,
                                                   static_cast<DWORD>(options_.SendPassMilliseconds), QS_ALLINPUT);
      if (woke == WAIT_OBJECT_0) break;
      ProcessPendingMessages();
      if (sendWait_) sendWait_();
    }
  } catch (...) {
    // Abandoned: the message is never sent again, and whatever the window
    // answers some day lands in the job's own memory.
    sender->LetGo();
    throw;
  }
  const std::intptr_t result = sender->Shared->Result;
  idleSenders_.push_back(std::move(sender));
  return result;
}

std::unique_ptr<Win32WindowSystem::Sender> Win32WindowSystem::TakeSender() {
  if (idleSenders_.empty()) return std::make_unique<Sender>();
  std::unique_ptr<Sender> sender = std::move(idleSenders_.back());
  idleSenders_.pop_back();
  return sender;
}

std::intptr_t Win32WindowSystem::SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                             std::intptr_t lParam) {
  const HWND w = ToHwnd(window);
  return RunForWindow(window, [w, message, wParam, lParam, refused = refused_] {
    return NotingRefusal([&] { return SendMessageA(w, message, wParam, lParam); }, *refused);
  });
}

std::intptr_t Win32WindowSystem::SendTextMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                                 std::string_view text) {
  // Windows copies the text across to the other process. The job owns it.
  auto owned = std::make_shared<std::string>(text);
  const HWND w = ToHwnd(window);
  return RunForWindow(window, [w, message, wParam, owned, refused = refused_] {
    return NotingRefusal([&] { return SendMessageA(w, message, wParam, reinterpret_cast<LPARAM>(owned->c_str())); },
                         *refused);
  });
}

std::intptr_t Win32WindowSystem::SendBufferMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                                   std::span<char> buffer) {
  // The window writes into a copy the job owns, which comes back to the
  // caller only when the answer does: an abandoned send cannot write into
  // the caller's memory later.
  auto owned = std::make_shared<std::vector<char>>(buffer.begin(), buffer.end());
  const HWND w = ToHwnd(window);
  const std::intptr_t result = RunForWindow(window, [w, message, wParam, owned, refused = refused_] {
    return NotingRefusal([&] { return SendMessageA(w, message, wParam, reinterpret_cast<LPARAM>(owned->data())); },
                         *refused);
  });
  std::copy(owned->begin(), owned->end(), buffer.begin());
  return result;
}

WindowHandle Win32WindowSystem::SetFocus(WindowHandle window) {
  const HWND w = ToHwnd(window);
  const DWORD target = window == NoWindow ? 0 : GetWindowThreadProcessId(w, nullptr);
  if (target == 0 || target == GetCurrentThreadId()) return ToHandle(::SetFocus(w));
  // The focus belongs to the input state of the window's thread: the sender
  // joins that state for the moment of the call.
  return static_cast<WindowHandle>(RunForWindow(window, [w, target] {
    const DWORD self = GetCurrentThreadId();
    if (AttachThreadInput(self, target, TRUE) == FALSE) return std::intptr_t{0};
    const HWND previous = ::SetFocus(w);
    AttachThreadInput(self, target, FALSE);
    return static_cast<std::intptr_t>(ToHandle(previous));
  }));
}

int Win32WindowSystem::GetWindowText(WindowHandle window, std::span<char> buffer) {
  if (buffer.empty()) return 0;
  buffer[0] = '\0';
  if (window == NoWindow) return 0;
  return std::max(GetWindowTextA(ToHwnd(window), buffer.data(), static_cast<int>(buffer.size())), 0);
}

std::int32_t Win32WindowSystem::GetWindowLong(WindowHandle window, int index) {
  if (window == NoWindow) return 0;
  return GetWindowLongA(ToHwnd(window), index);
}

std::int32_t Win32WindowSystem::SetWindowLong(WindowHandle window, int index, std::int32_t value) {
  if (window == NoWindow) return 0;
  // A new style is announced to the window (WM_STYLECHANGING): it may wait
  // on another program.
  const HWND w = ToHwnd(window);
  return static_cast<std::int32_t>(RunForWindow(window, [w, index, value] {
    return static_cast<std::intptr_t>(SetWindowLongA(w, index, static_cast<LONG>(value)));
  }));
}

bool Win32WindowSystem::SetLayeredWindowAttributes(WindowHandle window, std::uint32_t colorKey, std::uint8_t alpha,
                                                   std::uint32_t flags) {
  if (window == NoWindow) return false;
  return ::SetLayeredWindowAttributes(ToHwnd(window), colorKey, alpha, flags) != FALSE;
}

bool Win32WindowSystem::SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int width, int height,
                                     std::uint32_t flags) {
  if (window == NoWindow) return false;
  // Moving another program's window waits for its answers
  // (WM_WINDOWPOSCHANGING and the like).
  const HWND w = ToHwnd(window);
  const HWND afterWindow = ToHwnd(insertAfter);
  return RunForWindow(window, [=] {
           return static_cast<std::intptr_t>(::SetWindowPos(w, afterWindow, x, y, width, height, flags));
         }) != 0;
}

bool Win32WindowSystem::ShowWindow(WindowHandle window, int command) {
  if (window == NoWindow) return false;
  const HWND w = ToHwnd(window);
  return RunForWindow(window, [w, command] { return static_cast<std::intptr_t>(::ShowWindow(w, command)); }) != 0;
}

bool Win32WindowSystem::SetForegroundWindow(WindowHandle window) {
  if (window == NoWindow) return false;
  const HWND w = ToHwnd(window);
  if (::SetForegroundWindow(w) != FALSE && GetForegroundWindow() == w) return true;
  // Windows gives the foreground only to the program that holds it (here
  // EcoSim, which took it when it started): joined for a moment to the input
  // of the program in front, the call may take it back.
  const HWND front = GetForegroundWindow();
  const DWORD frontThread = front == nullptr ? 0 : GetWindowThreadProcessId(front, nullptr);
  if (frontThread == 0 || frontThread == GetCurrentThreadId()) return false;
  return RunForWindow(ToHandle(front), [w, frontThread] {
           MSG none;
           PeekMessageA(&none, nullptr, 0, 0, PM_NOREMOVE);
           const DWORD self = GetCurrentThreadId();
           if (AttachThreadInput(self, frontThread, TRUE) == FALSE) return std::intptr_t{0};
           const BOOL done = ::SetForegroundWindow(w);
           AttachThreadInput(self, frontThread, FALSE);
           return static_cast<std::intptr_t>(done);
         }) != 0;
}

bool Win32WindowSystem::IsKeyDownFor(WindowHandle window, std::uintptr_t virtualKey) {
  const HWND w = ToHwnd(window);
  const DWORD target = window == NoWindow ? 0 : GetWindowThreadProcessId(w, nullptr);
  if (target == 0) return false;
  const int key = static_cast<int>(virtualKey);
  if (target == GetCurrentThreadId()) return (GetKeyState(key) & 0x8000) != 0;
  // A thread's key state is its input state's: the sender joins the
  // window's for the moment of the read, and only reads it, so neither that
  // thread's state nor the user's keyboard changes.
  return RunForWindow(window, [target, key] {
           MSG none;
           // A thread needs a message queue of its own to join another's input.
           PeekMessageA(&none, nullptr, 0, 0, PM_NOREMOVE);
           const DWORD self = GetCurrentThreadId();
           if (AttachThreadInput(self, target, TRUE) == FALSE) return std::intptr_t{0};
           const bool down = (GetKeyState(key) & 0x8000) != 0;
           AttachThreadInput(self, target, FALSE);
           return std::intptr_t{down ? 1 : 0};
         }) != 0;
}

void Win32WindowSystem::SetSendWait(std::function<void()> whileWaiting) { sendWait_ = std::move(whileWaiting); }

std::intptr_t Win32WindowSystem::ShellExecute(WindowHandle owner, std::string_view verb, const std::string& file,
                                              const std::string& parameters, const std::string& directory,
                                              int showCommand) {
  // Whatever happens, the program started before is no longer the one the
  // look-ups see.
  if (startedProcess_ != nullptr) CloseHandle(startedProcess_);
  startedProcess_ = nullptr;
  startedProcessId_ = 0;

  // The shell may hand the start to COM components (its extensions), which
  // need COM started on the calling thread first.
  if (!comStarted_) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    comStarted_ = com == S_OK || com == S_FALSE;
  }
  // Wide characters: a folder named in any language is started from as it
  // is named, not through the ANSI code page.
  const std::wstring verbText = Wide(std::string(verb));
  const std::wstring fileText = Wide(file);
  const std::wstring parametersText = Wide(parameters);
  const std::wstring directoryText = Wide(directory);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // No error box of the shell's own: the caller reports a failed start.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.hwnd = owner == NoWindow ? nullptr : ToHwnd(owner);
  info.lpVerb = verbText.c_str();
  info.lpFile = fileText.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parametersText.c_str();
  info.lpDirectory = directory.empty() ? nullptr : directoryText.c_str();
  info.nShow = showCommand;
  const BOOL started = ShellExecuteExW(&info);
  const auto code = reinterpret_cast<std::intptr_t>(info.hInstApp);
  if (started == FALSE) {
    if (info.hProcess != nullptr) CloseHandle(info.hProcess);
    // The shell's own reason when it gave one, otherwise "no program for it".
    return code > 0 && code <= 32 ? code : SE_ERR_NOASSOC;
  }
  if (info.hProcess != nullptr) {
    startedProcess_ = info.hProcess;
    startedProcessId_ = GetProcessId(info.hProcess);
  }
  // The waits block a few milliseconds at a time: with Windows' default
  // timer of 15.6 ms each look at EcoSim's windows would come that late.
  if (!fineTimer_) fineTimer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  // Above 32, as the shell answers a start.
  return code > 32 ? code : 42;
}

bool Win32WindowSystem::StartedProgramEnded() {
  return startedProcess_ != nullptr && WaitForSingleObject(startedProcess_, 0) == WAIT_OBJECT_0;
}

std::optional<std::uint32_t> Win32WindowSystem::StartedProgramExitCode() {
  DWORD code = 0;
  if (!StartedProgramEnded() || GetExitCodeProcess(startedProcess_, &code) == FALSE) return std::nullopt;
  return static_cast<std::uint32_t>(code);
}

void Win32WindowSystem::LeaveBehind(WindowHandle window) {
  if (!IsStartedProgramWindow(window) || StartedProgramEnded()) return;
  // Our own EcoSim that no longer answers: it is ended, so that it does not
  // stand in the way of the next run. Nobody else's program is touched.
  TerminateProcess(startedProcess_, 1);
  // Tessil's own windows stay live while it goes.
  const ULONGLONG until = GetTickCount64() + LeaveBehindMilliseconds;
  for (ULONGLONG now = GetTickCount64(); now < until && !StartedProgramEnded(); now = GetTickCount64()) {
    MsgWaitForMultipleObjectsEx(1, &startedProcess_, static_cast<DWORD>(until - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    ProcessPendingMessages();
  }
}

void Win32WindowSystem::WaitForMessages(int milliseconds) {
  // Wakes for any input of this thread, already queued ones included
  // (MWMO_INPUTAVAILABLE: a message that arrived before the call counts),
  // and when EcoSim's process ends. An ended one would wake every call at
  // once: it is no longer waited on.
  HANDLE process = startedProcess_;
  const DWORD count = process != nullptr && !StartedProgramEnded() ? 1 : 0;
  MsgWaitForMultipleObjectsEx(count, count == 1 ? &process : nullptr, static_cast<DWORD>(std::max(milliseconds, 0)),
                              QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32WindowSystem::ProcessPendingMessages() {
  if (options_.ProcessMessages) {
    options_.ProcessMessages();
    return;
  }
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    if (message.message == WM_QUIT) {
      // Left for the program's own message loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

ScreenSize Win32WindowSystem::ScreenSizeInPixels() {
  return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

double Win32WindowSystem::SecondsSinceMidnight() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

double Win32WindowSystem::MonotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace tessil
