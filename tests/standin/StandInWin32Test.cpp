// The native Windows stand-in EcoSim, driven from another process through
// user32 messages as Tessil drives EcoSim 7.0: it computes the same test as
// the engine in this process for the options and seed typed into it.
#include <gtest/gtest.h>
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "StandInFaults.h"
#include "StandInLogic.h"

namespace tessil::standin {
namespace {

// How long the stand-in may take to answer under Wine; the polls end as
// soon as it has.
constexpr DWORD DeadlineMilliseconds = 30000;

std::string StandInProgram() {
  std::string path(MAX_PATH, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path.substr(0, path.find_last_of("\\/") + 1) + "EcoSim\\EcoSim700.exe";
}

// Another process's window text as Tessil reads it: WM_GETTEXTLENGTH, then
// WM_GETTEXT of the whole control.
std::string ContentOf(HWND window) {
  const auto length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const auto copied = SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

class Win32StandInProcess {
 public:
  // Starts EcoSim700.exe with these faults in its environment.
  explicit Win32StandInProcess(const char* faults) {
    SetEnvironmentVariableA(FaultsVariable, faults);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + StandInProgram() + "\"";
    started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_) != 0;
    SetEnvironmentVariableA(FaultsVariable, nullptr);
  }
  ~Win32StandInProcess() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 9);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Win32StandInProcess(const Win32StandInProcess&) = delete;
  Win32StandInProcess& operator=(const Win32StandInProcess&) = delete;

  bool Started() const { return started_; }
  // The exit code once the process has ended within the deadline.
  std::optional<DWORD> ExitCode() const {
    if (WaitForSingleObject(process_.hProcess, DeadlineMilliseconds) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  bool Owns(HWND window) const {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == process_.dwProcessId;
  }

  // A top-level window of this process, visible when asked.
  HWND TopLevel(const char* className, bool visible) const {
    HWND found = nullptr;
    Until([&] {
      for (HWND w = FindWindowExA(nullptr, nullptr, className, nullptr); w != nullptr;
           w = FindWindowExA(nullptr, w, className, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == process_.dwProcessId && (!visible || IsWindowVisible(w))) {
          found = w;
          return true;
        }
      }
      return false;
    });
    return found;
  }

  // Polls the other process until `condition` holds or the deadline passes.
  static bool Until(const std::function<bool()>& condition) {
    const ULONGLONG end = GetTickCount64() + DeadlineMilliseconds;
    while (!condition()) {
      if (GetTickCount64() > end) return false;
      Sleep(5);
    }
    return true;
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

HWND Child(HWND parent, const char* className, const char* text = nullptr, HWND after = nullptr) {
  return parent == nullptr ? nullptr : FindWindowExA(parent, after, className, text);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

TEST(Win32StandIn, TypedMatrixAndOptionsGiveTheEnginesTestAndClosingAsksFirst) {
  Win32StandInProcess ecosim("");
  ASSERT_TRUE(ecosim.Started()) << StandInProgram();
  HWND main = ecosim.TopLevel("TEcoSim", true);
  ASSERT_NE(main, nullptr);
  EXPECT_NE(ecosim.TopLevel("TApplication", true), nullptr);
  HWND options = ecosim.TopLevel("TCoOccurrenceOpts", false);
  HWND results = ecosim.TopLevel("TCoOccurrence", false);
  ASSERT_NE(options, nullptr);
  ASSERT_NE(results, nullptr);
  EXPECT_FALSE(IsWindowVisible(options));
  EXPECT_FALSE(IsWindowVisible(results));
  EXPECT_EQ(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_NOACTIVATE, WS_EX_NOACTIVATE) << "EcoSim keeps off the focus";

  // Row by row, a character and a Tab for each cell.
  const char* rows[] = {"11000", "01100", "00111", "00011", "10001"};
  HWND grid = Child(main, "TStringGrid");
  ASSERT_NE(grid, nullptr);
  GridCells expectedCells;
  for (const char* row : rows) {
    for (const char* c = row; *c != '\0'; ++c) {
      SendMessageA(grid, WM_CHAR, static_cast<WPARAM>(*c), 0);
      HWND editor = Child(grid, "TInplaceEdit");
      ASSERT_NE(editor, nullptr);
      ASSERT_EQ(ContentOf(editor), std::string(1, *c));
      SendMessageA(grid, WM_KEYDOWN, VK_TAB, 0);
      expectedCells.Tab(expectedCells.Type(*c, ""));
    }
  }

  PostMessageA(main, WM_COMMAND, 22, 0);
  ASSERT_TRUE(Win32StandInProcess::Until([&] { return IsWindowVisible(options) != 0; }));
  EXPECT_FALSE(IsWindowVisible(main)) << "the options window is modal";
  HWND pages = Child(options, "TPageControl");
  HWND preferences = Child(pages, "TTabSheet", "Preferences");
  HWND general = Child(pages, "TTabSheet", "General");
  SendMessageA(pages, TCM_SETCURFOCUS, 1, 0);
  EXPECT_TRUE(IsWindowVisible(general));
  EXPECT_FALSE(IsWindowVisible(preferences));
  // Found by the texts they were made with, whatever they hold.
  HWND iterationsGroup = Child(general, "TGroupBox");
  HWND seed = Child(iterationsGroup, "TEdit", "0");
  HWND iterations = Child(iterationsGroup, "TMaskEdit", "5000 ");
  ASSERT_NE(seed, nullptr);
  ASSERT_NE(iterations, nullptr);
  SendMessageA(iterations, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("300"));
  EXPECT_EQ(Child(iterationsGroup, "TMaskEdit", "5000 "), iterations) << "its content is not its name";
  EXPECT_EQ(ContentOf(iterations), "300");
  // Tessil spells the caption with another letter case.
  HWND columnGroup = Child(preferences, "TRadioGroup", "Co&Lumn Constraints");
  HWND equiprobable = Child(columnGroup, "TGroupButton", "Equiprobable");
  ASSERT_NE(equiprobable, nullptr);
  PostMessageA(columnGroup, WM_COMMAND, 0, reinterpret_cast<LPARAM>(equiprobable));
  HWND index = Child(Child(Child(preferences, "TGroupBox", "Co-occurrence &Index"), "TComboBox"), "Edit");
  ASSERT_NE(index, nullptr);
  SendMessageA(index, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("V-ratio"));
  // Two tests: the first on the old seed, the second the first of seed 7.
  HWND run = Child(Child(options, "TPanel"), "TButton", "&Run");
  ASSERT_NE(run, nullptr);
  for (int test = 0; test < 2; ++test) {
    if (test == 1) {
      SendMessageA(seed, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("7"));
      PostMessageA(main, WM_COMMAND, 22, 0);
      ASSERT_TRUE(Win32StandInProcess::Until([&] { return IsWindowVisible(options) != 0; }));
    }
    PostMessageA(run, BM_CLICK, 0, 0);
    ASSERT_TRUE(Win32StandInProcess::Until([&] { return IsWindowVisible(results) != 0; }));
    HWND sheet = Child(Child(results, "TPageControl"), "TTabSheet", "Index");
    HWND memo = Child(sheet, "TMemo", nullptr, Child(sheet, "TMemo"));
    ASSERT_NE(memo, nullptr);

    cooc::TestOptions o;
    o.RowConstraint = Constraint::Fixed;
    o.ColumnConstraint = Constraint::Equiprobable;
    o.Index = CooccurrenceIndex::VRatio;
    o.Iterations = "300";
    o.Seed = test == 0 ? "0" : "7";
    const cooc::TestResult expected = cooc::RunTest(expectedCells.Matrix(), o, 0);
    ASSERT_TRUE(expected.HasResults);
    const std::string memo2 = ContentOf(memo);
    EXPECT_EQ(memo2, expected.Memo2);
    const std::vector<std::string> lines = Lines(memo2);
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[5], Lines(expected.Memo2)[5]);
    EXPECT_TRUE(lines[5].starts_with("p(observed <= expected) = ")) << lines[5];
    PostMessageA(results, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Win32StandInProcess::Until([&] { return IsWindowVisible(main) != 0; }));
  }

  PostMessageA(main, WM_CLOSE, 0, 0);
  HWND confirm = ecosim.TopLevel("TMessageForm", true);
  ASSERT_NE(confirm, nullptr);
  EXPECT_NE(Child(confirm, "TButton", "Cancel"), nullptr);
  PostMessageA(Child(confirm, "TButton", "OK"), BM_CLICK, 0, 0);
  EXPECT_EQ(ecosim.ExitCode(), std::optional<DWORD>(0));
}

// Types a matrix into a fresh stand-in, opens its options and starts a
// test; its progress window.
HWND StartTest(const Win32StandInProcess& ecosim) {
  HWND main = ecosim.TopLevel("TEcoSim", true);
  HWND grid = Child(main, "TStringGrid");
  for (const char* row : {"11000", "01100", "00111", "00011", "10001"}) {
    for (const char* c = row; *c != '\0'; ++c) {
      SendMessageA(grid, WM_CHAR, static_cast<WPARAM>(*c), 0);
      SendMessageA(grid, WM_KEYDOWN, VK_TAB, 0);
    }
  }
  PostMessageA(main, WM_COMMAND, 22, 0);
  HWND options = ecosim.TopLevel("TCoOccurrenceOpts", true);
  PostMessageA(Child(Child(options, "TPanel"), "TButton", "&Run"), BM_CLICK, 0, 0);
  return ecosim.TopLevel("TProgress", false);
}

std::string Caption(HWND window) {
  char text[64]{};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// Faults reach the stand-in through its environment.
TEST(Win32StandIn, FaultsFromTheEnvironmentEndItAtStartHangItInsideASendOrStopItsTest) {
  {
    Win32StandInProcess ecosim("stall");
    HWND progress = StartTest(ecosim);
    ASSERT_TRUE(Win32StandInProcess::Until([&] { return IsWindowVisible(progress) != 0; }));
    EXPECT_EQ(Caption(progress), "...0 Simulating");
    PostMessageA(Child(progress, "TButton", "&Abort simulation"), BM_CLICK, 0, 0);
    EXPECT_NE(ecosim.TopLevel("TEcoSim", true), nullptr) << "the abort brings the main window back";
  }
  {
    // Without its application window, a confirmation instead of results
    // whatever else is planted.
    Win32StandInProcess ecosim("missing=TApplication;pvalue=0,25;confirm");
    ASSERT_NE(StartTest(ecosim), nullptr);
    HWND message = ecosim.TopLevel("TMessageForm", true);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(Caption(message), "EcoSim");
    EXPECT_NE(Child(message, "TLabel", std::string(NoResultsMessage).c_str()), nullptr);
    EXPECT_EQ(Child(message, "TButton", "Cancel"), nullptr);
    // Other stand-ins may run beside this test (the command line's tests):
    // only this one's windows count.
    for (HWND w = FindWindowExA(nullptr, nullptr, "TApplication", nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, "TApplication", nullptr)) {
      EXPECT_FALSE(ecosim.Owns(w)) << "an application window was made though it is missing";
    }
    PostMessageA(Child(message, "TButton", "OK"), BM_CLICK, 0, 0);
    EXPECT_NE(ecosim.TopLevel("TEcoSim", true), nullptr);
  }
  {
    Win32StandInProcess ecosim("pvalue=0,25");
    ASSERT_NE(StartTest(ecosim), nullptr);
    HWND results = ecosim.TopLevel("TCoOccurrence", true);
    HWND sheet = Child(Child(results, "TPageControl"), "TTabSheet", "Index");
    const std::vector<std::string> lines = Lines(ContentOf(Child(sheet, "TMemo", nullptr, Child(sheet, "TMemo"))));
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[5], "p(observed <= expected) = 0,25");
    EXPECT_EQ(lines[6], "p(observed >= expected) = 0,25");
  }
  {
    Win32StandInProcess ecosim("hang");
    HWND progress = StartTest(ecosim);
    ASSERT_NE(progress, nullptr);
    // The caption moves on, and the test never ends.
    EXPECT_TRUE(Win32StandInProcess::Until([&] { return Caption(progress) == "...3 Simulating"; }));
  }
  {
    Win32StandInProcess ecosim("exit-at-start");
    ASSERT_TRUE(ecosim.Started());
    EXPECT_EQ(ecosim.ExitCode(), std::optional<DWORD>(ExitAtStartCode));
  }
  {
    Win32StandInProcess ecosim("hang-send=2");
    ASSERT_TRUE(ecosim.Started());
    HWND main = ecosim.TopLevel("TEcoSim", true);
    HWND grid = Child(main, "TStringGrid");
    ASSERT_NE(grid, nullptr);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(grid, WM_CHAR, '1', 0, SMTO_ABORTIFHUNG, DeadlineMilliseconds, &answer), 0);
    // The second character is never answered: the send gives up.
    EXPECT_EQ(SendMessageTimeoutA(grid, WM_CHAR, '0', 0, SMTO_ABORTIFHUNG, 2000, &answer), 0);
  }
}

}  // namespace
}  // namespace tessil::standin
