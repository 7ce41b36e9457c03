// The window-system operations through which Tessil drives EcoSim: exactly
// what the window protocol needs of user32 and shell32, plus the processing
// of this program's pending messages, the screen size and the clock. A
// backend maps them onto a real window system (Qt widgets of this process;
// later Win32), so the protocol itself stays portable and headless. The
// operations keep user32's names: a Win32 backend includes <windows.h> in its
// source file only and undefines the A/W macros of these names there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "WindowHandle.h"

namespace tessil {

struct ScreenSize {
  int Width = 0;
  int Height = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // The first top-level window with this class and, when a text is given,
  // this text. Only the windows of the program this window system started
  // (ShellExecute) are seen: an EcoSim the user had open, and every other
  // program's windows, are never found, clicked or closed. Texts compare
  // whole, without regard to case, ampersands included.
  virtual WindowHandle FindWindow(std::string_view className, std::optional<std::string_view> text) = 0;
  // Among the direct children of `parent`, in creation order, the first one
  // after `after` (from the first child when `after` is 0) with this class
  // and, when given, this text. Finds nothing under a parent of 0.
  virtual WindowHandle FindWindowEx(WindowHandle parent, WindowHandle after, std::string_view className,
                                    std::optional<std::string_view> text) = 0;

  // False for 0, for a destroyed window, and for a window that is hidden or
  // has a hidden ancestor.
  virtual bool IsWindowVisible(WindowHandle window) = 0;
  virtual bool IsWindow(WindowHandle window) = 0;

  // Queues a message; the call returns at once. False when there is no such
  // window.
  virtual bool PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Sends a message and returns the window's answer once it has handled it.
  // A send to another program never blocks Tessil: while it waits for the
  // answer, this program's own pending messages are processed and the hook
  // of SetSendWait is called (see there).
  virtual std::intptr_t SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;
  // Sends a message whose lParam is a single-byte (ANSI) text (WM_SETTEXT).
  virtual std::intptr_t SendTextMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                        std::string_view text) = 0;
  // Sends a message whose lParam is a buffer the window writes into
  // (WM_GETTEXT, EM_GETLINE); the bytes the window does not write keep their
  // value.
  virtual std::intptr_t SendBufferMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                          std::span<char> buffer) = 0;

  // Gives the window the keyboard focus; returns the window that had it.
  virtual WindowHandle SetFocus(WindowHandle window) = 0;
  // Copies at most buffer.size() - 1 characters of the window's text into the
  // buffer, then a terminating zero; returns the number of characters copied.
  virtual int GetWindowText(WindowHandle window, std::span<char> buffer) = 0;

  // The extended window style (index GWL_EXSTYLE).
  virtual std::int32_t GetWindowLong(WindowHandle window, int index) = 0;
  // Returns the previous value.
  virtual std::int32_t SetWindowLong(WindowHandle window, int index, std::int32_t value) = 0;
  virtual bool SetLayeredWindowAttributes(WindowHandle window, std::uint32_t colorKey, std::uint8_t alpha,
                                          std::uint32_t flags) = 0;
  // Moves and sizes a window (pixels) and places it in the stacking order
  // after (below) `insertAfter`, or at HWND_BOTTOM / HWND_TOP.
  virtual bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int width, int height,
                            std::uint32_t flags) = 0;
  virtual bool ShowWindow(WindowHandle window, int command) = 0;
  virtual bool SetForegroundWindow(WindowHandle window) = 0;
  // Whether the thread that owns `window` sees the key held down, as
  // GetKeyState reads it there: a grid takes Tab's direction from Shift so.
  // Only read, never set. A window system without keys of its own: false.
  virtual bool IsKeyDownFor(WindowHandle /*window*/, std::uintptr_t /*virtualKey*/) { return false; }
  // Whether the system has refused a message to the started program for
  // want of rights: Windows drops the messages of a program to one that runs
  // with higher rights (as administrator). Stays true once seen.
  virtual bool MessagesRefused() { return false; }

  // Called on every pass while a send waits for the other program's answer.
  // An exception from it abandons the send and leaves it: the message is
  // never sent again (a cell would be typed twice). Null: wait until the
  // answer comes.
  virtual void SetSendWait(std::function<void()> whileWaiting) = 0;

  // Starts a program file as the shell's `verb` would; a result above 32
  // means it was started. The program started is remembered: look-ups see
  // only its windows.
  virtual std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, const std::string& file,
                                     const std::string& parameters, const std::string& directory, int showCommand) = 0;
  // True once the program the last ShellExecute started has ended (it
  // crashed, or exited before showing its main window); false while it runs
  // and when nothing was started.
  virtual bool StartedProgramEnded() = 0;
  // The exit code of the program the last ShellExecute started, once it has
  // ended and where the window system knows one (a program of a process of
  // its own); empty otherwise.
  virtual std::optional<std::uint32_t> StartedProgramExitCode() = 0;
  // Tessil gives up on the program that owns this window because it does
  // not close: when this window system started that program, it is ended
  // (hosted in this process, or a process of its own); any other program is
  // left alone.
  virtual void LeaveBehind(WindowHandle window) = 0;

  // Lets this program's own pending window messages be handled once.
  virtual void ProcessPendingMessages() = 0;
  // Blocks until a message for this program is waiting, the started program
  // ends, or `milliseconds` have passed, whichever comes first: a wait for
  // another program's windows then costs no processor time between its
  // looks. What it handles of this program's own is left to the backend;
  // ProcessPendingMessages still follows it.
  virtual void WaitForMessages(int milliseconds) = 0;
  virtual ScreenSize ScreenSizeInPixels() = 0;
  virtual double SecondsSinceMidnight() = 0;
  // Seconds on a clock that never jumps (midnight, clock changes): for the
  // waits and their time limits.
  virtual double MonotonicSeconds() = 0;
};

}  // namespace tessil

namespace tessil {

// Look-ups compare window texts whole, without regard to (ASCII) case,
// ampersands included: "Co&Lumn Constraints" finds "Co&lumn Constraints".
bool SameWindowText(std::string_view a, std::string_view b);

// Edit controls (TEdit, TMaskEdit, TInplaceEdit, Edit, TMemo) are found by
// the text they were created with: setting their content does not rename
// them.
bool IsEditLikeClass(std::string_view className);

}  // namespace tessil
