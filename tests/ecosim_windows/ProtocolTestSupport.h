// What the window-protocol tests share: a clock that only moves when the
// window system processes messages, a window system that records every
// message and call the automation makes, a front end that records what it
// is told, and a fixture with a program folder holding EcoSim's file.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Kernel_Procedures.h"
#include "PValueLine.h"
#include "QtTestApplication.h"
#include "QtWindowSystem.h"
#include "QtWindows.h"
#include "StandInEcoSim.h"
#include "StringGrid.h"
#include "WindowMessages.h"
#include "WindowProtocolEcoSim.h"
#include "WindowWorld.h"

namespace tessil::testing {

// A clock that advances by Step on every turn of message processing, so the
// stall and cancel rules are met after a known number of passes and no test
// sleeps. Now is the monotonic reading the waits use; the time of day is Now
// moved by DayShift (a clock change) and taken modulo a day (midnight).
class PassClock final : public Clock {
 public:
  double Now = 10 * 3600.0;
  double Step = 0.0;
  double DayShift = 0.0;
  double SecondsSinceMidnight() override {
    const double t = std::fmod(Now + DayShift, 86400.0);
    return t < 0 ? t + 86400.0 : t;
  }
};

// One thing the automation did to EcoSim's windows or to the screen.
struct Call {
  Call(std::string op, WindowHandle window = NoWindow, std::uint32_t message = 0, std::uintptr_t wParam = 0,
       std::intptr_t lParam = 0, std::string text = {})
      : Op(std::move(op)), Window(window), Message(message), WParam(wParam), LParam(lParam), Text(std::move(text)) {}

  std::string
      Op;  // "post", "send", "text", "buffer", "focus", "style", "alpha", "pos", "show", "front", "open", "leave"
  WindowHandle Window = NoWindow;
  std::uint32_t Message = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::string Text;
  int X = 0, Y = 0, Width = 0, Height = 0;
  WindowHandle After = NoWindow;
  std::uint32_t Flags = 0;

  bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& c);

inline Call Post(WindowHandle w, std::uint32_t m, std::uintptr_t wp = 0, std::intptr_t lp = 0) {
  return {"post", w, m, wp, lp};
}
inline Call Send(WindowHandle w, std::uint32_t m, std::uintptr_t wp = 0, std::intptr_t lp = 0) {
  return {"send", w, m, wp, lp};
}
inline Call SetText(WindowHandle w, std::string text) { return {"text", w, win::WM_SETTEXT, 0, 0, std::move(text)}; }
// Reading a control's whole text of this length: its length asked, then the
// text into a zeroed buffer with room for it and its terminating zero.
inline std::vector<Call> ReadText(WindowHandle w, std::size_t length) {
  return {{"send", w, win::WM_GETTEXTLENGTH},
          {"buffer", w, win::WM_GETTEXT, length + 1, static_cast<std::intptr_t>(length + 1),
           std::string(length + 1, '\0')}};
}
// Reading the first line of a control, `capacity` characters of it: only its
// first capacity + 1 characters are asked for, into a zeroed buffer.
inline Call ReadFirstLine(WindowHandle w, std::size_t capacity) {
  return {"buffer",
          w,
          win::WM_GETTEXT,
          capacity + 2,
          static_cast<std::intptr_t>(capacity + 2),
          std::string(capacity + 2, '\0')};
}
inline Call Focus(WindowHandle w) { return {"focus", w}; }
inline Call Place(WindowHandle w, WindowHandle after, int x, int y, int width, int height) {
  Call c{"pos", w};
  c.After = after;
  c.X = x;
  c.Y = y;
  c.Width = width;
  c.Height = height;
  c.Flags = win::SWP_NOACTIVATE;
  return c;
}
// The three calls that make a window translucent and click-through, from an
// extended style of 0.
std::vector<Call> Translucent(WindowHandle w);
// The click on a radio group's button.
inline Call Select(WindowHandle group, WindowHandle button) {
  return Post(group, win::WM_COMMAND, button % 4096, static_cast<std::intptr_t>(button));
}

void Append(std::vector<Call>& to, const std::vector<Call>& more);
// Every cell of a matrix typed into the grid and read back, row by row.
std::vector<Call> Typing(const EcoSimSession& s, const PresenceAbsenceMatrix& m);
// Menu command 22 and both pages of the options window shown once.
std::vector<Call> Opening(const EcoSimSession& s);
inline Call OffScreen(WindowHandle w) { return Place(w, win::HWND_BOTTOM, 1025, 0, 1, 1); }

class RecordingWindowSystem final : public WindowSystem {
 public:
  RecordingWindowSystem(QtWindowSystem& inner, PassClock& clock) : inner_(inner), clock_(clock) {}

  std::vector<Call> Calls;
  long Passes = 0;
  // Runs after every turn of message processing.
  std::function<void()> OnPass;
  // Runs after every message sent, for sends that take time.
  std::function<void()> OnSend;
  // A sent message for which this answers true is never answered: the send
  // waits, a turn of message processing and the send-wait hook at a time,
  // until the hook gives up on it.
  std::function<bool(const Call&)> NeverAnswers;
  // The hook the automation installed (SetSendWait).
  std::function<void()> SendWait;
  // Turns of message processing after which a wait counts as endless: the
  // test fails instead of hanging. 0: no limit.
  long PassLimit = 0;

  WindowHandle FindWindow(std::string_view className, std::optional<std::string_view> text) override {
    return inner_.FindWindow(className, text);
  }
  WindowHandle FindWindowEx(WindowHandle parent, WindowHandle after, std::string_view className,
                            std::optional<std::string_view> text) override {
    return inner_.FindWindowEx(parent, after, className, text);
  }
  bool IsWindowVisible(WindowHandle w) override { return inner_.IsWindowVisible(w); }
  bool IsWindow(WindowHandle w) override { return inner_.IsWindow(w); }
  bool PostMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) override {
    Calls.push_back(Post(w, m, wp, lp));
    return inner_.PostMessage(w, m, wp, lp);
  }
  std::intptr_t SendMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) override {
    Calls.push_back(Send(w, m, wp, lp));
    if (NeverAnswers && NeverAnswers(Calls.back())) {
      for (;;) {
        ProcessPendingMessages();
        if (SendWait) SendWait();
      }
    }
    const std::intptr_t result = inner_.SendMessage(w, m, wp, lp);
    if (OnSend) OnSend();
    return result;
  }
  std::intptr_t SendTextMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::string_view text) override {
    Calls.push_back({"text", w, m, wp, 0, std::string(text)});
    return inner_.SendTextMessage(w, m, wp, text);
  }
  std::intptr_t SendBufferMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::span<char> buffer) override {
    // What the buffer held before the window wrote into it.
    Calls.push_back(
        {"buffer", w, m, wp, static_cast<std::intptr_t>(buffer.size()), std::string(buffer.begin(), buffer.end())});
    return inner_.SendBufferMessage(w, m, wp, buffer);
  }
  WindowHandle SetFocus(WindowHandle w) override {
    Calls.push_back(Focus(w));
    return inner_.SetFocus(w);
  }
  int GetWindowText(WindowHandle w, std::span<char> buffer) override { return inner_.GetWindowText(w, buffer); }
  std::int32_t GetWindowLong(WindowHandle w, int index) override { return inner_.GetWindowLong(w, index); }
  std::int32_t SetWindowLong(WindowHandle w, int index, std::int32_t value) override {
    Calls.push_back({"style", w, 0, static_cast<std::uintptr_t>(static_cast<std::uint32_t>(index)), value});
    return inner_.SetWindowLong(w, index, value);
  }
  bool SetLayeredWindowAttributes(WindowHandle w, std::uint32_t key, std::uint8_t alpha, std::uint32_t flags) override {
    Call c{"alpha", w, 0, key, alpha};
    c.Flags = flags;
    Calls.push_back(c);
    return inner_.SetLayeredWindowAttributes(w, key, alpha, flags);
  }
  bool SetWindowPos(WindowHandle w, WindowHandle after, int x, int y, int width, int height,
                    std::uint32_t flags) override {
    Call c = Place(w, after, x, y, width, height);
    c.Flags = flags;
    Calls.push_back(c);
    return inner_.SetWindowPos(w, after, x, y, width, height, flags);
  }
  bool ShowWindow(WindowHandle w, int command) override {
    Calls.push_back({"show", w, 0, static_cast<std::uintptr_t>(command)});
    return inner_.ShowWindow(w, command);
  }
  bool SetForegroundWindow(WindowHandle w) override {
    Calls.push_back({"front", w});
    return inner_.SetForegroundWindow(w);
  }
  std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, const std::string& file,
                             const std::string& parameters, const std::string& directory, int show) override {
    Calls.push_back({"open", owner, 0, static_cast<std::uintptr_t>(show), 0,
                     std::string(verb) + "|" + file + "|" + parameters + "|" + directory});
    return inner_.ShellExecute(owner, verb, file, parameters, directory, show);
  }
  void LeaveBehind(WindowHandle w) override {
    Calls.push_back({"leave", w});
    inner_.LeaveBehind(w);
  }
  void ProcessPendingMessages() override {
    inner_.ProcessPendingMessages();
    ++Passes;
    clock_.Now += clock_.Step;
    if (OnPass) OnPass();
    if (PassLimit > 0 && Passes > PassLimit) throw std::runtime_error("a wait for EcoSim never ended");
  }
  ScreenSize ScreenSizeInPixels() override { return inner_.ScreenSizeInPixels(); }
  double SecondsSinceMidnight() override { return inner_.SecondsSinceMidnight(); }
  double MonotonicSeconds() override { return clock_.Now; }
  void SetSendWait(std::function<void()> whileWaiting) override {
    SendWait = whileWaiting;
    inner_.SetSendWait(std::move(whileWaiting));
  }
  bool StartedProgramEnded() override { return inner_.StartedProgramEnded(); }
  std::optional<std::uint32_t> StartedProgramExitCode() override { return inner_.StartedProgramExitCode(); }
  // The waits' blocking for messages: counted, never slept; the turn of
  // message processing that follows each does the work.
  long Blocks = 0;
  void WaitForMessages(int) override { ++Blocks; }

  // The calls from the first one that matches, on.
  std::vector<Call> From(const Call& first) const;

 private:
  QtWindowSystem& inner_;
  PassClock& clock_;
};

// The front end as the automation sees it.
struct RecordingHost final : AutomationHost {
  int Enabled = 0;
  std::string Missing;
  void EnableShowEcoSim() override { ++Enabled; }
  void ReportProgramMissing(std::string_view message) override { Missing = message; }
};

// A fresh window world, a program folder with EcoSim's program file, the
// stand-in registered for it, Tessil's progress window, and an automation
// over a recording window system on a 1024 x 768 screen.
class ProtocolTest : public ::testing::Test {
 protected:
  ProtocolTest();
  ~ProtocolTest() override;

  // A fresh automation, after the inputs have been set.
  WindowProtocolEcoSim& EcoSim();
  standin::StandInEcoSim& StandIn();
  // Prepares EcoSim and forgets the calls made so far.
  void Prepare();
  // One matrix through the driver's sequence; the p-value, or nothing.
  std::optional<double> TestMatrix(const PresenceAbsenceMatrix& matrix, std::int16_t upperTail = 0);

  std::filesystem::path folder_;
  PassClock clock_;
  // The faults each stand-in starts with; they outlive the world's programs.
  standin::StandInSwitches switches_;
  qtwin::WindowWorld world_;
  QtWindowSystem qt_;
  RecordingWindowSystem windows_;
  RecordingHost host_;
  RunSettings settings_;
  FixedRunInputs inputs_;
  std::unique_ptr<QWidget> progress_;
  bool cancel_ = false;
  std::unique_ptr<WindowProtocolEcoSim> ecosim_;
};

// A matrix from rows of '0' and '1'.
PresenceAbsenceMatrix MatrixOf(const std::vector<std::string>& rows);

// Runs a whole study as the Run handler does: EcoSim is released however the
// run ends.
PowerTable RunWithFinishSteps(EcoSimAutomation& ecosim, RunContext& run);

}  // namespace tessil::testing
