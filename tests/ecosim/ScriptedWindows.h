// A window system with no windows behind it: a table of named windows that a
// test builds and changes, a clock that moves only when a wait blocks for
// messages (WaitForMessages) or by a step per turn of message processing,
// and hooks that play EcoSim's part when a message arrives. It needs no Qt,
// so the protocol's own rules are checked by every build, the Windows one
// under Wine included.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "WindowSystem.h"

namespace tessil::testing {

struct ScriptedWindow {
  std::string Class;
  std::string Text;  // the caption
  WindowHandle Parent = NoWindow;
  bool Visible = true;
  bool Alive = true;
  std::string Content;  // what WM_GETTEXT reads
};

struct Message {
  WindowHandle Window;
  std::uint32_t Id;
  std::uintptr_t WParam;
  bool Posted;
};

class ScriptedWindows final : public WindowSystem {
 public:
  std::map<WindowHandle, ScriptedWindow> Windows;
  std::vector<Message> Messages;
  std::vector<WindowHandle> LeftBehind;
  // EcoSim's part: called for every message posted or sent.
  std::function<void(const Message&)> OnMessage;
  // Called after every turn of message processing.
  std::function<void()> OnPass;
  double Now = 1000.0;
  // Seconds the clock moves on every turn of message processing.
  double StepPerPass = 0.0;
  long Passes = 0;
  long Blocks = 0;
  // A wait that spins instead of blocking, or never ends, fails the test.
  long PassLimit = 2'000'000;
  bool Ended = false;
  std::optional<std::uint32_t> ExitCode;

  WindowHandle Add(std::string cls, std::string text, WindowHandle parent = NoWindow, bool visible = true) {
    const WindowHandle h = next_;
    next_ += 4;
    ScriptedWindow& w = Windows[h];
    w.Class = std::move(cls);
    w.Text = std::move(text);
    w.Parent = parent;
    w.Visible = visible;
    return h;
  }
  const ScriptedWindow* Get(WindowHandle h) const {
    const auto it = Windows.find(h);
    return it == Windows.end() || !it->second.Alive ? nullptr : &it->second;
  }
  long Count(WindowHandle w, std::uint32_t id) const {
    long n = 0;
    for (const Message& m : Messages) n += m.Window == w && m.Id == id ? 1 : 0;
    return n;
  }

  WindowHandle FindWindow(std::string_view cls, std::optional<std::string_view> text) override {
    return Search(NoWindow, NoWindow, cls, text);
  }
  WindowHandle FindWindowEx(WindowHandle parent, WindowHandle after, std::string_view cls,
                            std::optional<std::string_view> text) override {
    return parent == NoWindow ? NoWindow : Search(parent, after, cls, text);
  }
  bool IsWindowVisible(WindowHandle w) override {
    for (const ScriptedWindow* s = Get(w); s != nullptr; s = Get(s->Parent)) {
      if (!s->Visible) return false;
      if (s->Parent == NoWindow) return true;
    }
    return false;
  }
  bool IsWindow(WindowHandle w) override { return Get(w) != nullptr; }
  bool PostMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::intptr_t) override {
    Deliver({w, m, wp, true});
    return Get(w) != nullptr;
  }
  std::intptr_t SendMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::intptr_t) override {
    Deliver({w, m, wp, false});
    const ScriptedWindow* s = Get(w);
    return m == 0x000E && s != nullptr ? static_cast<std::intptr_t>(s->Content.size()) : 0;  // WM_GETTEXTLENGTH
  }
  std::intptr_t SendTextMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::string_view text) override {
    Deliver({w, m, wp, false});
    if (auto it = Windows.find(w); it != Windows.end()) it->second.Content = text;
    return 1;
  }
  std::intptr_t SendBufferMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::span<char> buffer) override {
    Deliver({w, m, wp, false});
    const ScriptedWindow* s = Get(w);
    if (s == nullptr || buffer.empty()) return 0;
    const std::size_t n = std::min(s->Content.size(), buffer.size() - 1);
    std::copy_n(s->Content.data(), n, buffer.data());
    buffer[n] = '\0';
    return static_cast<std::intptr_t>(n);
  }
  WindowHandle SetFocus(WindowHandle) override { return NoWindow; }
  int GetWindowText(WindowHandle w, std::span<char> buffer) override {
    const ScriptedWindow* s = Get(w);
    if (buffer.empty()) return 0;
    const std::size_t n = s == nullptr ? 0 : std::min(s->Text.size(), buffer.size() - 1);
    if (n > 0) std::copy_n(s->Text.data(), n, buffer.data());
    buffer[n] = '\0';
    return static_cast<int>(n);
  }
  std::int32_t GetWindowLong(WindowHandle, int) override { return 0; }
  std::int32_t SetWindowLong(WindowHandle, int, std::int32_t) override { return 0; }
  bool SetLayeredWindowAttributes(WindowHandle, std::uint32_t, std::uint8_t, std::uint32_t) override { return true; }
  bool SetWindowPos(WindowHandle, WindowHandle, int, int, int, int, std::uint32_t) override { return true; }
  bool ShowWindow(WindowHandle, int) override { return true; }
  bool SetForegroundWindow(WindowHandle) override { return true; }
  void SetSendWait(std::function<void()>) override {}
  std::intptr_t ShellExecute(WindowHandle, std::string_view, const std::string&, const std::string&, const std::string&,
                             int) override {
    return 42;
  }
  bool StartedProgramEnded() override { return Ended; }
  std::optional<std::uint32_t> StartedProgramExitCode() override { return Ended ? ExitCode : std::nullopt; }
  void LeaveBehind(WindowHandle w) override { LeftBehind.push_back(w); }
  void ProcessPendingMessages() override {
    ++Passes;
    Now += StepPerPass;
    if (OnPass) OnPass();
    if (Passes > PassLimit) throw std::runtime_error("a wait for EcoSim never ended, or spun without blocking");
  }
  void WaitForMessages(int milliseconds) override {
    ++Blocks;
    Now += milliseconds / 1000.0;
  }
  ScreenSize ScreenSizeInPixels() override { return {1024, 768}; }
  double SecondsSinceMidnight() override { return Now; }
  double MonotonicSeconds() override { return Now; }

 private:
  WindowHandle Search(WindowHandle parent, WindowHandle after, std::string_view cls,
                      std::optional<std::string_view> text) {
    bool passed = after == NoWindow;
    for (const auto& [h, w] : Windows) {
      if (!w.Alive || w.Parent != parent) continue;
      if (!passed) {
        passed = h == after;
        continue;
      }
      if (SameWindowText(w.Class, cls) && (!text || SameWindowText(w.Text, *text))) return h;
    }
    return NoWindow;
  }
  void Deliver(const Message& m) {
    Messages.push_back(m);
    if (OnMessage) OnMessage(m);
  }
  WindowHandle next_ = 0x100;
};

}  // namespace tessil::testing
