// The window system over user32 and shell32: EcoSim runs in a process of its
// own, started with ShellExecuteExW, and is driven by real window messages.
// Only the windows of that process are ever found. A message for a window of
// another thread is handed to a sender thread, so that a busy or hung EcoSim
// never freezes Tessil: while the answer is awaited this thread keeps
// processing its own messages and calls the send-wait hook.
//
// Built for Windows only; <windows.h> stays inside the source file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "WindowSystem.h"

namespace tessil {

class Win32WindowSystem final : public WindowSystem {
 public:
  struct Options {
    // Processes this thread's pending messages in place of the plain
    // PeekMessage / DispatchMessage loop, for a front end that pumps its own
    // way (Qt's processEvents). Null: the plain loop.
    std::function<void()> ProcessMessages;
    // While a send waits for its answer, this thread wakes at least this
    // often to process its messages and call the send-wait hook.
    int SendPassMilliseconds = 10;
  };

  Win32WindowSystem();
  explicit Win32WindowSystem(Options options);
  // Closes the started process's handle; the process itself runs on.
  ~Win32WindowSystem() override;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  WindowHandle FindWindow(std::string_view className, std::optional<std::string_view> text) override;
  WindowHandle FindWindowEx(WindowHandle parent, WindowHandle after, std::string_view className,
                            std::optional<std::string_view> text) override;
  bool IsWindowVisible(WindowHandle window) override;
  bool IsWindow(WindowHandle window) override;
  bool PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::intptr_t SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  std::intptr_t SendTextMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                std::string_view text) override;
  std::intptr_t SendBufferMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                  std::span<char> buffer) override;
  WindowHandle SetFocus(WindowHandle window) override;
  int GetWindowText(WindowHandle window, std::span<char> buffer) override;
  std::int32_t GetWindowLong(WindowHandle window, int index) override;
  std::int32_t SetWindowLong(WindowHandle window, int index, std::int32_t value) override;
  bool SetLayeredWindowAttributes(WindowHandle window, std::uint32_t colorKey, std::uint8_t alpha,
                                  std::uint32_t flags) override;
  bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int width, int height,
                    std::uint32_t flags) override;
  bool ShowWindow(WindowHandle window, int command) override;
  bool SetForegroundWindow(WindowHandle window) override;
  bool IsKeyDownFor(WindowHandle window, std::uintptr_t virtualKey) override;
  bool MessagesRefused() override { return refused_->load(); }
  void SetSendWait(std::function<void()> whileWaiting) override;
  std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, const std::string& file,
                             const std::string& parameters, const std::string& directory, int showCommand) override;
  bool StartedProgramEnded() override;
  std::optional<std::uint32_t> StartedProgramExitCode() override;
  // Ends the started process when the window is one of its; any other
  // program is never touched. Waits at most LeaveBehindMilliseconds for its
  // end, processing this thread's messages.
  void LeaveBehind(WindowHandle window) override;
  void ProcessPendingMessages() override;
  // MsgWaitForMultipleObjectsEx on this thread's queue and the started
  // process.
  void WaitForMessages(int milliseconds) override;
  static constexpr unsigned LeaveBehindMilliseconds = 5000;
  ScreenSize ScreenSizeInPixels() override;
  double SecondsSinceMidnight() override;
  double MonotonicSeconds() override;

  // The id of the process the last ShellExecute started; 0 when none.
  std::uint32_t StartedProcessId() const { return startedProcessId_; }

 private:
  struct Sender;
  // Runs `job` where a window of another thread cannot block this one: on a
  // sender thread, while this thread processes its messages and calls the
  // hook. Windows of this thread (and no window) run it here at once.
  std::intptr_t RunForWindow(WindowHandle window, std::function<std::intptr_t()> job);
  bool IsStartedProgramWindow(WindowHandle window) const;
  std::unique_ptr<Sender> TakeSender();

  Options options_;
  std::function<void()> sendWait_;
  // Idle sender threads; a busy one is taken out, an abandoned one is let go.
  std::vector<std::unique_ptr<Sender>> idleSenders_;
  // The started process (a HANDLE) and its id.
  void* startedProcess_ = nullptr;
  std::uint32_t startedProcessId_ = 0;
  // Windows' timer runs at 1 ms while this window system lives, once it
  // has started a program.
  bool fineTimer_ = false;
  // Set by any thread whose message the system refused for want of rights;
  // shared with abandoned senders.
  std::shared_ptr<std::atomic<bool>> refused_ = std::make_shared<std::atomic<bool>>(false);
  // Whether this thread's COM was started here, for ShellExecuteExW.
  bool comStarted_ = false;
};

}  // namespace tessil
