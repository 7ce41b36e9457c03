// EcoSim's size, seed and iterations fields are found by the texts they
// carry at start where the window system keeps them, and by their place
// where it does not; no other look-up gives up its text.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "EcoSimSession.h"
#include "WindowSystem.h"

namespace tessil {
namespace {

// Windows as a tree of (class, name), children in the order added; only
// the look-ups do anything.
class TreeWindows final : public WindowSystem {
 public:
  WindowHandle Add(WindowHandle parent, std::string className, std::string name) {
    windows_.push_back({parent, std::move(className), std::move(name)});
    return static_cast<WindowHandle>(windows_.size());
  }

  WindowHandle FindWindow(std::string_view className, std::optional<std::string_view> text) override {
    return FindWindowEx(NoWindow, NoWindow, className, text);
  }
  WindowHandle FindWindowEx(WindowHandle parent, WindowHandle after, std::string_view className,
                            std::optional<std::string_view> text) override {
    for (std::size_t k = after; k < windows_.size(); ++k) {
      const Entry& w = windows_[k];
      if (w.Parent == parent && SameWindowText(w.Class, className) && (!text || SameWindowText(w.Name, *text))) {
        return static_cast<WindowHandle>(k + 1);
      }
    }
    return NoWindow;
  }
  bool IsWindowVisible(WindowHandle) override { return true; }
  bool IsWindow(WindowHandle w) override { return w != NoWindow && w <= windows_.size(); }
  bool PostMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override { return false; }
  std::intptr_t SendMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  std::intptr_t SendTextMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::string_view) override { return 0; }
  std::intptr_t SendBufferMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::span<char>) override { return 0; }
  WindowHandle SetFocus(WindowHandle) override { return NoWindow; }
  int GetWindowText(WindowHandle, std::span<char>) override { return 0; }
  std::int32_t GetWindowLong(WindowHandle, int) override { return 0; }
  std::int32_t SetWindowLong(WindowHandle, int, std::int32_t) override { return 0; }
  bool SetLayeredWindowAttributes(WindowHandle, std::uint32_t, std::uint8_t, std::uint32_t) override { return false; }
  bool SetWindowPos(WindowHandle, WindowHandle, int, int, int, int, std::uint32_t) override { return false; }
  bool ShowWindow(WindowHandle, int) override { return false; }
  bool SetForegroundWindow(WindowHandle) override { return false; }
  void SetSendWait(std::function<void()>) override {}
  std::intptr_t ShellExecute(WindowHandle, std::string_view, const std::string&, const std::string&, const std::string&,
                             int) override {
    return 0;
  }
  bool StartedProgramEnded() override { return false; }
  std::optional<std::uint32_t> StartedProgramExitCode() override { return std::nullopt; }
  void LeaveBehind(WindowHandle) override {}
  void WaitForMessages(int) override {}
  void ProcessPendingMessages() override {}
  ScreenSize ScreenSizeInPixels() override { return {}; }
  double SecondsSinceMidnight() override { return 0; }
  double MonotonicSeconds() override { return 0; }

 private:
  struct Entry {
    WindowHandle Parent;
    std::string Class;
    std::string Name;
  };
  std::vector<Entry> windows_;
};

// EcoSim's resize dialog and the "General" page of its options window. With
// `named`, each field carries its text at start, after a field of the same
// class that carries another one; without, no edit carries a name.
struct Fields {
  WindowHandle Ok, EditA, EditB, Seed, Iterations;
};
Fields BuildEcoSim(TreeWindows& ws, bool named) {
  Fields f{};
  const WindowHandle resize = ws.Add(NoWindow, "TEcoSimRedoMatrix", "Matrix Size");
  const WindowHandle buttons = ws.Add(resize, "TPanel", "");
  // A button keeps its caption on any system; one without is not "&OK".
  f.Ok = ws.Add(buttons, "TButton", named ? "&OK" : "");
  const WindowHandle edits = ws.Add(resize, "TPanel", "");
  if (named) ws.Add(edits, "TEdit", "7");
  ws.Add(edits, "TLabel", "Columns (sites):");
  f.EditA = ws.Add(edits, "TEdit", named ? "5" : "");
  if (named) ws.Add(edits, "TEdit", "12");
  f.EditB = ws.Add(edits, "TEdit", named ? "5" : "");
  const WindowHandle options = ws.Add(NoWindow, "TCoOccurrenceOpts", "");
  const WindowHandle pages = ws.Add(options, "TPageControl", "");
  const WindowHandle general = ws.Add(pages, "TTabSheet", "General");
  const WindowHandle box = ws.Add(general, "TGroupBox", "Iterations");
  if (named) {
    ws.Add(box, "TEdit", "42");
    ws.Add(box, "TMaskEdit", "100");
  }
  f.Seed = ws.Add(box, "TEdit", named ? "0" : "");
  f.Iterations = ws.Add(box, "TMaskEdit", named ? "5000 " : "");
  return f;
}

TEST(EcoSimDirectory, SizeSeedAndIterationsFieldsByTheirTextsFirstElseByClassInOrder) {
  for (const bool named : {true, false}) {
    SCOPED_TRACE(named ? "edits keep their names" : "edits keep no names");
    TreeWindows ws;
    const Fields f = BuildEcoSim(ws, named);
    EcoSimSession s;
    FindEcoSimWindows(ws, s, "Resize", {});
    FindEcoSimWindows(ws, s, "Coop", "Iterations");
    EXPECT_EQ(s.ResizeEditA, f.EditA);
    EXPECT_EQ(s.ResizeEditB, f.EditB);
    EXPECT_EQ(s.SeedEdit, f.Seed);
    EXPECT_EQ(s.IterationsEdit, f.Iterations);
    // Only these four fall back: the button without its caption is not found.
    EXPECT_EQ(s.ResizeOk, named ? f.Ok : NoWindow);
  }
}

TEST(EcoSimDirectory, NoFallbackUnderAParentThatIsMissing) {
  TreeWindows ws;
  ws.Add(NoWindow, "TEcoSimRedoMatrix", "");
  EcoSimSession s;
  s.ResizeEditA = 99;
  s.ResizeEditB = 99;
  FindEcoSimWindows(ws, s, "Resize", {});
  EXPECT_EQ(s.ResizeEditA, NoWindow);
  EXPECT_EQ(s.ResizeEditB, NoWindow);
}

}  // namespace
}  // namespace tessil
