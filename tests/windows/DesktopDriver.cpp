// Drives Tessil's desktop program from outside, the way Tessil drives EcoSim:
// it starts tessil.exe, finds its windows by class and caption, types into
// its boxes, presses its buttons and reads back what they show. A script of
// steps comes on standard input, one a line, fields separated by " | ":
//
//   start | C:\folder\tessil.exe          window | Tessil -- Options
//   click | Run                            type | Random Seed: | 7
//   tab | Rows (Number of Species):        message | Error 05: ... | OK
//   expect | Rows (Number of Species): | 10
//   checked | Sites Equivalent | 1         enabled | Sites Equivalent | 0
//   visible | Include | 0
//   title | Tessil Progress... | 20        gone | Tessil Progress... | 9
//   key | F1                               save | Save | C:\out\report
//   exited | 10                            close
//   photo | C:\pictures | main-window       maximize | TessilChart
//   focus | Help | Tab | Report            focus | Chart | Space
//   press | Tab                            focused | No
//
// Waits end after 20 s unless a step gives its own limit (seconds). The
// first step that fails prints FAIL and ends the driver with status 1; every
// step that passes prints "ok".
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

// Another program's control is read as EcoSim's are: WM_GETTEXT.
std::wstring TextOf(HWND window) {
  const auto length = static_cast<std::size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto copied =
      static_cast<std::size_t>(SendMessageW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(copied, length));
  return text;
}

// A class name without the version that common controls 6 may put before
// it ("6.0.2600.0!Edit").
std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  std::wstring text(name);
  return text.substr(text.rfind(L'!') + 1);
}

// The next child of `parent` after `after` whose class is `className`.
HWND NextChild(HWND parent, HWND after, const wchar_t* className) {
  for (HWND child = FindWindowExW(parent, after, nullptr, nullptr); child != nullptr;
       child = FindWindowExW(parent, child, nullptr, nullptr)) {
    if (CompareStringOrdinal(ClassOf(child).c_str(), -1, className, -1, TRUE) == CSTR_EQUAL) return child;
  }
  return nullptr;
}

// Captions compare without their access-key ampersands.
std::wstring Plain(std::wstring text) {
  std::wstring plain;
  for (wchar_t c : text) {
    if (c != L'&') plain += c;
  }
  return plain;
}

bool Holds(HWND window, const std::wstring& caption) {
  for (HWND child = FindWindowExW(window, nullptr, nullptr, nullptr); child != nullptr;
       child = FindWindowExW(window, child, nullptr, nullptr)) {
    if (Plain(TextOf(child)) == Plain(caption)) return true;
  }
  return false;
}

// "\r" and "\n" in a step stand for CR and LF.
std::string Unescaped(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'r' || text[i + 1] == 'n')) {
      plain += text[++i] == 'r' ? '\r' : '\n';
    } else {
      plain += text[i];
    }
  }
  return plain;
}

struct Failure {
  std::string What;
};

class Driver {
 public:
  void Step(const std::vector<std::string>& f) {
    const std::string& verb = f[0];
    auto arg = [&](std::size_t i) -> const std::string& {
      if (i >= f.size()) throw Failure{"step \"" + verb + "\" needs more fields"};
      return f[i];
    };
    auto limit = [&](std::size_t i) { return i < f.size() ? std::stod(f[i]) : 20.0; };
    if (verb == "start") {
      Start(Wide(arg(1)));
    } else if (verb == "window") {
      // A third field names a control the window must hold, to tell apart
      // windows of one caption (the main window and the exit question).
      const std::wstring holding = f.size() > 3 ? Wide(f[3]) : std::wstring();
      current_ = WaitFor([&] { return TopLevel(Wide(arg(1)), false, holding); }, limit(2), "window \"" + arg(1) + "\"");
    } else if (verb == "title") {
      current_ =
          WaitFor([&] { return TopLevel(Wide(arg(1)), true); }, limit(2), "a window titled \"" + arg(1) + "...\"");
    } else if (verb == "gone") {
      // A third field names a control the window holds, as for "window".
      const std::wstring holding = f.size() > 3 ? Wide(f[3]) : std::wstring();
      WaitFor([&] { return TopLevel(Wide(arg(1)), true, holding) == nullptr ? GetDesktopWindow() : nullptr; }, limit(2),
              "\"" + arg(1) + "\" to go");
    } else if (verb == "click") {
      PostMessageW(Child(L"Button", Wide(arg(1))), BM_CLICK, 0, 0);
    } else if (verb == "type") {
      const std::wstring text = Wide(arg(2));
      SendMessageW(BoxAfter(Wide(arg(1))), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    } else if (verb == "tab") {
      // The box takes the focus, then Tab moves it on, as a user's key would.
      HWND box = BoxAfter(Wide(arg(1)));
      Focus(box);
      PostMessageW(box, WM_KEYDOWN, VK_TAB, 0);
    } else if (verb == "expect") {
      const std::wstring shown = TextOf(BoxAfter(Wide(arg(1))));
      if (shown != Wide(arg(2)))
        throw Failure{"\"" + arg(1) + "\" shows \"" + Narrow(shown) + "\", not \"" + arg(2) + "\""};
    } else if (verb == "box") {
      // The n-th edit box of the window, from 1, for boxes without a label.
      HWND box = nullptr;
      for (int n = std::stoi(arg(1)); n > 0; --n) box = NextChild(Current(), box, L"Edit");
      const std::wstring shown = box != nullptr ? TextOf(box) : std::wstring();
      if (shown != Wide(Unescaped(arg(2)))) throw Failure{"box " + arg(1) + " shows \"" + Narrow(shown) + "\""};
    } else if (verb == "checked" || verb == "enabled" || verb == "visible") {
      // Keys posted by an earlier step may still be on their way: the state
      // is awaited, up to the step's limit.
      HWND button = Child(L"Button", Wide(arg(1)));
      auto on = [&] {
        return verb == "checked"   ? SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED
               : verb == "enabled" ? IsWindowEnabled(button) != 0
                                   : IsWindowVisible(button) != 0;
      };
      const bool wanted = arg(2) == "1";
      try {
        WaitFor([&] { return on() == wanted ? button : nullptr; }, limit(3), verb);
      } catch (const Failure&) {
        throw Failure{"\"" + arg(1) + "\" is " + (on() ? "" : "not ") + verb};
      }
    } else if (verb == "message") {
      Message(Wide(arg(1)), Wide(arg(2)), limit(3));
    } else if (verb == "attach") {
      // A program started otherwise, by the caption of its window.
      HWND window = FindWindowW(nullptr, Wide(arg(1)).c_str());
      if (window == nullptr) throw Failure{"no window \"" + arg(1) + "\""};
      GetWindowThreadProcessId(window, &processId_);
    } else if (verb == "list") {
      // The program's visible windows and their captions, to see where a
      // script went wrong.
      EnumWindows(
          [](HWND window, LPARAM data) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == static_cast<DWORD>(data) && IsWindowVisible(window) != 0) {
              std::printf("  window \"%s\" (%s)\n", Narrow(TextOf(window)).c_str(), Narrow(ClassOf(window)).c_str());
            }
            return TRUE;
          },
          static_cast<LPARAM>(processId_));
    } else if (verb == "command") {
      // A menu command by its number: another process cannot read Wine's
      // menus.
      PostMessageW(Current(), WM_COMMAND, MAKEWPARAM(std::stoi(arg(1)), 0), 0);
    } else if (verb == "key") {
      // A key as the program's message loop sees it: F1 or Esc.
      const WPARAM key = arg(1) == "F1" ? VK_F1 : VK_ESCAPE;
      HWND target = GetWindow(Current(), GW_CHILD);
      PostMessageW(target != nullptr ? target : Current(), WM_KEYDOWN, key, 0);
    } else if (verb == "press") {
      // Tab or Enter, sent where the program's keyboard focus is.
      const WPARAM key = arg(1) == "Tab" ? VK_TAB : VK_RETURN;
      PostMessageW(Focused(), WM_KEYDOWN, key, 0);
    } else if (verb == "focused") {
      // The button holds the focus, shows it, and is the one Enter presses:
      // the only default push button of its window.
      HWND button = Child(L"Button", Wide(arg(1)));
      auto problem = [&]() -> std::string {
        if (Focused() != button) return "\"" + arg(1) + "\" does not hold the focus";
        if ((SendMessageW(button, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0)
          return "\"" + arg(1) + "\" hides its focus";
        for (HWND child = NextChild(Current(), nullptr, L"Button"); child != nullptr;
             child = NextChild(Current(), child, L"Button")) {
          const LONG_PTR type = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
          if ((type == BS_DEFPUSHBUTTON || type == BS_PUSHBUTTON) && (type == BS_DEFPUSHBUTTON) != (child == button)) {
            return "\"" + Narrow(TextOf(child)) + "\" is " + (type == BS_DEFPUSHBUTTON ? "" : "not ") +
                   "the default button while \"" + arg(1) + "\" holds the focus";
          }
        }
        return {};
      };
      try {
        WaitFor([&] { return problem().empty() ? button : nullptr; }, limit(2), "\"" + arg(1) + "\" to hold the focus");
      } catch (const Failure&) {
        throw Failure{problem()};
      }
    } else if (verb == "close") {
      PostMessageW(Current(), WM_CLOSE, 0, 0);
    } else if (verb == "focus") {
      // The button takes the focus and a key is pressed on it; a fourth
      // field names the button that must have the focus afterwards.
      Press(Child(L"Button", Wide(arg(1))), arg(2));
      if (f.size() > 3) {
        HWND wanted = Child(L"Button", Wide(f[3]));
        WaitFor([&] { return FocusOf(wanted) == wanted ? wanted : nullptr; }, limit(4),
                "the focus on \"" + f[3] + "\"");
      }
    } else if (verb == "maximize") {
      Maximize(Wide(arg(1)));
    } else if (verb == "save") {
      Save(Wide(arg(1)), Wide(arg(2)));
    } else if (verb == "photo") {
      // The current window's place on the screen, for a camera outside
      // Wine; the driver waits until the picture is taken (NAME.done appears
      // in the folder).
      Sleep(300);
      RECT r{};
      GetWindowRect(Current(), &r);
      std::printf("photo %s %ld %ld %ld %ld\n", arg(2).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top);
      std::fflush(stdout);
      const std::wstring done = Wide(arg(1)) + L"\\" + Wide(arg(2)) + L".done";
      WaitFor(
          [&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES ? GetDesktopWindow() : nullptr; },
          30, "the picture " + arg(2));
    } else if (verb == "exited") {
      if (WaitForSingleObject(process_, static_cast<DWORD>(limit(1) * 1000)) != WAIT_OBJECT_0) {
        throw Failure{"the program is still running"};
      }
      DWORD code = 0;
      GetExitCodeProcess(process_, &code);
      std::printf("exit status %lu\n", code);
    } else {
      throw Failure{"unknown step \"" + verb + "\""};
    }
  }

  void Kill() {
    if (process_ != nullptr && WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 3);
  }

 private:
  void Start(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info) == 0) {
      throw Failure{"cannot start " + Narrow(program)};
    }
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    CloseHandle(info.hThread);
    WaitForInputIdle(process_, 10000);
  }

  HWND Current() const {
    if (current_ == nullptr || IsWindow(current_) == 0) throw Failure{"no current window"};
    return current_;
  }

  // The control that holds the keyboard focus in the current window's
  // thread.
  HWND Focused() const { return FocusOf(Current()); }

  // A visible top-level window of the program with this caption (or one
  // that starts with it).
  HWND TopLevel(const std::wstring& caption, bool prefix, const std::wstring& holding = {}) const {
    struct Search {
      const Driver* Self;
      const std::wstring* Caption;
      bool Prefix;
      const std::wstring* Holding;
      HWND Found;
    } search{this, &caption, prefix, &holding, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner != s->Self->processId_ || IsWindowVisible(window) == 0) return TRUE;
          const std::wstring text = TextOf(window);
          if (s->Prefix ? text.rfind(*s->Caption, 0) == 0 : text == *s->Caption) {
            if (!s->Holding->empty() && !Holds(window, *s->Holding)) return TRUE;
            s->Found = window;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.Found;
  }

  template <typename Find>
  HWND WaitFor(Find find, double seconds, const std::string& what) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
      if (HWND found = find()) return found;
      if (GetTickCount64() > end) throw Failure{"waited " + std::to_string(seconds) + " s for " + what};
      if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
        throw Failure{"the program ended while waiting for " + what};
      }
      Sleep(50);
    }
  }

  // "Caption #2" names the second control with that caption.
  HWND Child(const wchar_t* className, std::wstring caption) const {
    int wanted = 1;
    if (const std::size_t mark = caption.rfind(L" #"); mark != std::wstring::npos) {
      wanted = std::stoi(caption.substr(mark + 2));
      caption.resize(mark);
    }
    for (HWND child = NextChild(Current(), nullptr, className); child != nullptr;
         child = NextChild(Current(), child, className)) {
      if (Plain(TextOf(child)) == Plain(caption) && --wanted == 0) return child;
    }
    throw Failure{"no " + Narrow(className) + " \"" + Narrow(caption) + "\" in \"" + Narrow(TextOf(Current())) + "\""};
  }

  // The edit box that follows its label, as the windows place them.
  HWND BoxAfter(const std::wstring& label) const {
    HWND box = NextChild(Current(), Child(L"Static", label), L"Edit");
    if (box == nullptr) throw Failure{"no box after \"" + Narrow(label) + "\""};
    return box;
  }

  void Focus(HWND window) const {
    const DWORD theirs = GetWindowThreadProcessId(window, nullptr);
    const DWORD ours = GetCurrentThreadId();
    AttachThreadInput(ours, theirs, TRUE);
    SetFocus(window);
    AttachThreadInput(ours, theirs, FALSE);
  }

  // A message box of the program ("#32770" titled "Tessil"): its text is
  // compared whole, then the answer pressed.
  void Message(const std::wstring& expected, const std::wstring& answer, double seconds) {
    HWND box = WaitFor(
        [&]() -> HWND {
          HWND found = TopLevel(L"Tessil", false);
          return found != nullptr && ClassOf(found) == L"#32770" ? found : nullptr;
        },
        seconds, "a message box saying \"" + Narrow(expected) + "\"");
    std::wstring said;
    for (HWND child = NextChild(box, nullptr, L"Static"); child != nullptr; child = NextChild(box, child, L"Static")) {
      const std::wstring text = TextOf(child);
      if (!text.empty()) said = text;
    }
    if (said.rfind(expected, 0) != 0) {
      throw Failure{"the message box says \"" + Narrow(said) + "\", not \"" + Narrow(expected) + "\""};
    }
    const HWND previous = current_;
    current_ = box;
    PostMessageW(Child(L"Button", answer), BM_CLICK, 0, 0);
    current_ = previous;
    WaitFor([&] { return IsWindow(box) == 0 ? GetDesktopWindow() : nullptr; }, 10, "the message box to go");
  }

  // The common save dialog: the file name typed into its name box, then
  // its OK button.
  // The key by its name (Tab, Space, Enter) pressed on the control, as the
  // program's message loop receives it.
  void Press(HWND control, const std::string& key) const {
    const WPARAM code = key == "Tab" ? VK_TAB : key == "Space" ? VK_SPACE : key == "Enter" ? VK_RETURN : 0;
    if (code == 0) throw Failure{"unknown key \"" + key + "\""};
    Focus(control);
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(code), MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(control, WM_KEYDOWN, code, scan | 1);
    PostMessageW(control, WM_KEYUP, code, scan | 1 | (LPARAM{3} << 30));
  }

  // The control that has the keyboard focus in the window's thread.
  static HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) != 0 ? info.hwndFocus : nullptr;
  }

  // Maximizes the current window and waits until the child of the class
  // (the view that fills it) has grown with it, by 50 pixels at least (a
  // headless Wine's screen is 1024 pixels wide), and the "Close" button has
  // followed the window's right edge.
  void Maximize(const std::wstring& viewClass) {
    HWND view = NextChild(Current(), nullptr, viewClass.c_str());
    if (view == nullptr) throw Failure{"no " + Narrow(viewClass) + " in \"" + Narrow(TextOf(Current())) + "\""};
    auto width = [](HWND window) {
      RECT r{};
      GetClientRect(window, &r);
      return static_cast<int>(r.right);
    };
    const int before = width(view);
    ShowWindowAsync(Current(), SW_MAXIMIZE);
    try {
      WaitFor([&] { return IsZoomed(Current()) != 0 && width(view) > before + 50 ? view : nullptr; }, 20,
              "the view to grow");
    } catch (const Failure& failure) {
      throw Failure{failure.What + ": " + std::to_string(before) + " pixels wide, then " + std::to_string(width(view)) +
                    (IsZoomed(Current()) != 0 ? "" : ", not maximized")};
    }
    RECT client{};
    GetClientRect(Current(), &client);
    RECT close{};
    GetWindowRect(Child(L"Button", L"Close"), &close);
    MapWindowPoints(nullptr, Current(), reinterpret_cast<POINT*>(&close), 2);
    const long margin = client.right - close.right;
    if (margin < 0 || margin > 60) throw Failure{"\"Close\" is " + std::to_string(margin) + " pixels from the right"};
  }

  void Save(const std::wstring& title, const std::wstring& path) {
    HWND dialog = WaitFor(
        [&]() -> HWND {
          HWND found = TopLevel(title, false);
          return found != nullptr && ClassOf(found) == L"#32770" ? found : nullptr;
        },
        20, "the dialog \"" + Narrow(title) + "\"");
    constexpr int NameCombo = 0x47C;  // cmb13
    constexpr int NameEdit = 0x480;   // edt1
    HWND name = GetDlgItem(dialog, NameCombo);
    if (name == nullptr) name = GetDlgItem(dialog, NameEdit);
    if (name == nullptr) throw Failure{"the save dialog has no name box"};
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    WaitFor([&] { return IsWindow(dialog) == 0 ? GetDesktopWindow() : nullptr; }, 20, "the save dialog to close");
  }

  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND current_ = nullptr;
};

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = line.find(" | ", start);
    fields.push_back(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 3;
  }
  return fields;
}

}  // namespace

int main() {
  Driver driver;
  std::string line;
  int number = 0;
  while (std::getline(std::cin, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    try {
      driver.Step(Fields(line));
      std::printf("ok %d: %s\n", number, line.c_str());
      std::fflush(stdout);
    } catch (const Failure& failure) {
      std::printf("FAIL at step %d (%s): %s\n", number, line.c_str(), failure.What.c_str());
      driver.Kill();
      return 1;
    } catch (const std::exception& e) {
      std::printf("FAIL at step %d (%s): %s\n", number, line.c_str(), e.what());
      driver.Kill();
      return 1;
    }
  }
  return 0;
}
