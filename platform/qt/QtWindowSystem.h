// The window system over Qt: handles name widgets of this process made
// windows through QtWindows.h, posted messages become posted Qt events and
// sent messages sent events, and processing pending messages is one turn of
// Qt's event processing. A QApplication must exist while it is used. It
// works in one window world, and its look-ups see only the windows of the
// hosted program it last started: every other window of the world (another
// program's, one of this process's own, a stand-in started otherwise) is
// never found.
#pragma once

#include <QRect>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "Clock.h"
#include "Public_Declarations.h"
#include "QtWindows.h"
#include "WindowSystem.h"
#include "WindowWorld.h"

namespace tessil {

class QtWindowSystem final : public WindowSystem {
 public:
  struct Options {
    // The clock of the waits; the local wall clock when null.
    Clock* Time = nullptr;
    // The screen as the placements see it; the primary screen when empty.
    std::optional<ScreenSize> Screen;
    // When above 0, a turn of message processing delivers the posted
    // messages every time but polls the window system and the timers only
    // once this many (real) seconds have passed since it last did, as the
    // clock read every few turns tells: a wait for EcoSim then costs little
    // while Tessil's own windows, Cancel and "Show EcoSim" stay live. The
    // first turn is a full one. 0: every turn is a full one.
    double FullTurnSeconds = 0.0;
  };

  explicit QtWindowSystem(qtwin::WindowWorld& world);
  QtWindowSystem(qtwin::WindowWorld& world, Options options);

  qtwin::WindowWorld& World() { return world_; }
  // Drives a program of its world started otherwise (ProgramHost::
  // StartProgram) as if ShellExecute had started it: how the stand-in's own
  // tests reach it without a program file.
  void Adopt(const qtwin::HostedProgram* program) { started_ = world_.Programs().IdOf(program); }

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
  std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, const std::string& file,
                             const std::string& parameters, const std::string& directory, int showCommand) override;
  void SetSendWait(std::function<void()> whileWaiting) override;
  bool StartedProgramEnded() override;
  std::optional<std::uint32_t> StartedProgramExitCode() override;
  void LeaveBehind(WindowHandle window) override;
  void ProcessPendingMessages() override;
  void WaitForMessages(int milliseconds) override;
  ScreenSize ScreenSizeInPixels() override;
  double SecondsSinceMidnight() override;
  double MonotonicSeconds() override;

  // What the screen shows, for tests and for the front end.
  // The rectangle last given to the window by SetWindowPos.
  std::optional<QRect> PlacedGeometry(WindowHandle window) const;
  // Top-level windows, front first.
  std::vector<WindowHandle> StackingOrder() const;
  // Whether the window is really shown on the screen (not merely visible to
  // the protocol).
  bool IsMapped(WindowHandle window) const;
  // The layered alpha set on the window, if any.
  std::optional<std::uint8_t> LayeredAlpha(WindowHandle window) const;

 private:
  void ApplyExStyle(WindowHandle window);
  bool Sees(WindowHandle window);
  // Delivers a sent message in the event kept for sends, or, for a send made
  // while another is being handled, in one of its own. `fill` gives it what
  // the message carries beyond its parameters.
  template <typename Fill>
  std::intptr_t Send(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                     Fill fill);
  qtwin::WindowRegistry& Registry() const { return world_.Windows(); }

  qtwin::WindowWorld& world_;
  SystemClock systemClock_;
  Options options_;
  std::chrono::steady_clock::time_point lastFullTurn_{};
  static constexpr int TurnsBetweenClockReads = 16;
  // Turns since the clock was last read; the first turn reads it.
  int turnsSinceClock_ = TurnsBetweenClockReads - 1;
  // Sends within this process are answered at once: the hook is kept for
  // the interface and never called.
  std::function<void()> sendWait_;
  // The event every send is delivered in: typing a matrix sends three
  // messages for every cell, none of them needing an event made anew.
  qtwin::WindowMessageEvent sent_{NoWindow, 0, 0, 0, false};
  bool sending_ = false;
  // The program the last ShellExecute started; 0 when it started none.
  qtwin::ProgramId started_ = 0;
  // The top-level window Sees last found owned by that program, and the
  // start it was found for: each look-up under it then skips asking the
  // program again.
  qtwin::ProgramId ownedProgram_ = 0;
  // Bounds a wait for messages.
  std::unique_ptr<QTimer> wake_;
  WindowHandle ownedTop_ = NoWindow;
};

}  // namespace tessil
