#include "Win32StandIn.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <system_error>
#include <utility>

#include "TestVocabulary.h"

namespace tessil::standin {

namespace {

// The one stand-in of this process, whose windows the class procedures
// serve; set while it lives, used on the window thread only.
Win32StandIn* current = nullptr;

// The worker tells the window thread that its test has ended; the timer
// advances the progress caption meanwhile. Both are messages of the thread,
// so that they arrive whichever of EcoSim's windows a test has left out.
constexpr UINT TestEndedMessage = WM_APP + 1;
constexpr UINT AdvanceMilliseconds = 20;
// The grid's timer that lets a held Shift key go.
constexpr UINT_PTR ReleaseShiftTimer = 1;

// EcoSim's classes that behave as Windows' own controls do: an edit control
// answers WM_SETTEXT, WM_GETTEXT and EM_GETLINE, a button BM_CLICK.
struct ControlClass {
  const char* Name;
  const char* Base;
};
constexpr ControlClass ControlClasses[] = {
    {"TMemo", "EDIT"},          {"TEdit", "EDIT"},       {"TMaskEdit", "EDIT"},
    {"TInplaceEdit", "EDIT"},   {"Edit", "EDIT"},        {"TButton", "BUTTON"},
    {"TGroupButton", "BUTTON"}, {"TCheckBox", "BUTTON"}, {"TLabel", "STATIC"},
};
// EcoSim's classes that are windows of the stand-in's own.
constexpr const char* OwnClasses[] = {
    "TApplication",      "TEcoSim",      "TStringGrid",   "TEcoSimRedoMatrix", "TPanel",
    "TCoOccurrenceOpts", "TPageControl", "TTabSheet",     "TGroupBox",         "TRadioGroup",
    "TComboBox",         "TProgress",    "TCoOccurrence", "TMessageForm",      "TCloseQuestion",
};

bool IsEditClass(std::string_view className) {
  return std::any_of(std::begin(ControlClasses), std::end(ControlClasses), [className](const ControlClass& c) {
    return c.Name == className && std::string_view(c.Base) == "EDIT";
  });
}

// The procedures of the system classes the control classes stand on.
std::map<ATOM, WNDPROC>& BaseProcedures() {
  static std::map<ATOM, WNDPROC> procedures;
  return procedures;
}

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD EditStyle = Child | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD MemoStyle = Child | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
constexpr DWORD ButtonStyle = Child | BS_PUSHBUTTON;

unsigned HighWord(WPARAM value) { return static_cast<unsigned>((value >> 16) & 0xFFFF); }

// A window's text as its own process reads it: an edit control's content.
std::string TextOf(HWND window) {
  if (window == nullptr) return {};
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(0, copied)));
  return text;
}

void SetText(HWND window, const std::string& text) {
  if (window != nullptr) SetWindowTextA(window, text.c_str());
}

}  // namespace

void Win32StandIn::RegisterClasses(HINSTANCE instance) {
  for (const char* name : OwnClasses) {
    WNDCLASSEXA own{};
    own.cbSize = sizeof own;
    own.style = CS_HREDRAW | CS_VREDRAW;
    own.lpfnWndProc = &Win32StandIn::OwnProcedure;
    own.hInstance = instance;
    own.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    own.lpszClassName = name;
    RegisterClassExA(&own);
  }
  for (const ControlClass& c : ControlClasses) {
    WNDCLASSEXA control{};
    control.cbSize = sizeof control;
    if (!GetClassInfoExA(nullptr, c.Base, &control)) continue;
    const WNDPROC base = control.lpfnWndProc;
    control.cbSize = sizeof control;
    control.lpfnWndProc = &Win32StandIn::ControlProcedure;
    control.hInstance = instance;
    control.lpszClassName = c.Name;
    const ATOM atom = RegisterClassExA(&control);
    if (atom != 0) BaseProcedures()[atom] = base;
  }
}

LRESULT CALLBACK Win32StandIn::OwnProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (current != nullptr && current->Handle(window, message, wParam, lParam, result)) return result;
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK Win32StandIn::ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (current != nullptr && current->Handle(window, message, wParam, lParam, result)) return result;
  const auto atom = static_cast<ATOM>(GetClassWord(window, GCW_ATOM));
  const auto base = BaseProcedures().find(atom);
  if (base == BaseProcedures().end()) return DefWindowProcA(window, message, wParam, lParam);
  return CallWindowProcA(base->second, window, message, wParam, lParam);
}

Win32StandIn::Win32StandIn(HINSTANCE instance, StandInFaults faults) : instance_(instance), faults_(std::move(faults)) {
  current = this;
  RegisterClasses(instance);
  application_ = TopLevel("TApplication", "EcoSim", {0, 0});
  BuildMainWindow();
  BuildResizeDialog();
  BuildOptionsWindow();
  BuildProgressWindow();
  BuildResultsWindow();
  // At start only the application window and the main window are up.
  Show(application_, true);
  Show(main_, true);
  if (faults_.Strict) TakeForeground();
}

void Win32StandIn::TakeForeground() {
  // A program started normally comes to the front with its main window
  // active, where the keys the user types then go.
  if (main_ == nullptr) return;
  SetWindowLongA(main_, GWL_EXSTYLE, GetWindowLongA(main_, GWL_EXSTYLE) & ~WS_EX_NOACTIVATE);
  SetForegroundWindow(main_);
  SetActiveWindow(main_);
}

void Win32StandIn::HoldShift(bool held) {
  // This thread's own key state, as GetKeyState reads it; the keyboard and
  // every other thread are left as they are.
  BYTE keys[256] = {};
  if (GetKeyboardState(keys) == FALSE) return;
  const BYTE state = held ? 0x80 : 0x00;
  keys[VK_SHIFT] = state;
  keys[VK_LSHIFT] = state;
  SetKeyboardState(keys);
}

Win32StandIn::~Win32StandIn() {
  // A test still being computed is stopped: no thread outlives EcoSim.
  StopWorker();
  if (timer_ != 0) KillTimer(nullptr, timer_);
  for (HWND window : topLevels_) {
    if (IsWindow(window)) DestroyWindow(window);
  }
  current = nullptr;
}

int Win32StandIn::Run() {
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && (message.message == WM_TIMER || message.message == TestEndedMessage)) {
      Advance();
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

HWND Win32StandIn::Make(std::string_view className, std::string_view text, HWND parent, DWORD style, int width,
                        int height) {
  if (faults_.Missing(className, text)) return nullptr;
  const bool child = (style & WS_CHILD) != 0;
  if (child && parent == nullptr) return nullptr;
  const std::string name(className);
  const std::string caption(text);
  // Children stand one below the other; their order is the order made.
  int y = 0;
  if (child) {
    y = nextY_[parent];
    nextY_[parent] = y + height + 4;
  }
  HMENU id = child ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)) : nullptr;
  const DWORD extended = child ? 0 : WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  HWND window = CreateWindowExA(extended, name.c_str(), caption.c_str(), style, child ? 4 : 0, child ? y + 4 : 0, width,
                                height, parent, id, instance_, nullptr);
  if (window != nullptr && !child) topLevels_.push_back(window);
  // Windows keeps the name an edit control was made with, which look-ups
  // compare and its content does not change; Wine's edit control keeps none,
  // so the name is given here, leaving the content alone. A strict EcoSim
  // leaves it unnamed, as if its edits were made empty and filled after.
  if (window != nullptr && !faults_.Strict && IsEditClass(className) && !caption.empty()) {
    DefWindowProcA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption.c_str()));
  }
  return window;
}

HWND Win32StandIn::TopLevel(std::string_view className, std::string_view text, ecosim::WindowSize size) {
  return Make(className, text, nullptr, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, size.Width, size.Height);
}

void Win32StandIn::BuildMainWindow() {
  main_ = TopLevel("TEcoSim", "EcoSim 7.0", ecosim::MainWindowSize);
  if (main_ != nullptr) {
    HMENU bar = CreateMenu();
    HMENU edit = CreatePopupMenu();
    AppendMenuA(edit, MF_STRING, ecosim::ResizeCommand, "&Matrix Size...");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), "&Edit");
    HMENU analysis = CreatePopupMenu();
    AppendMenuA(analysis, MF_STRING, ecosim::CooccurrenceCommand, "&Co-occurrence...");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(analysis), "&Analysis");
    SetMenu(main_, bar);
  }
  grid_ = Make("TStringGrid", "", main_, Child | WS_BORDER, 670, 340);
}

void Win32StandIn::BuildResizeDialog() {
  resize_ = TopLevel("TEcoSimRedoMatrix", "Matrix Size", {260, 220});
  HWND buttons = Make("TPanel", "", resize_, Child, 240, 32);
  resizeOk_ = Make("TButton", "&OK", buttons, ButtonStyle);
  HWND edits = Make("TPanel", "", resize_, Child, 240, 120);
  Make("TLabel", "Columns (sites):", edits, Child);
  resizeColumns_ = Make("TEdit", "5", edits, EditStyle);
  Make("TLabel", "Rows (species):", edits, Child);
  resizeRows_ = Make("TEdit", "5", edits, EditStyle);
}

template <typename Choice>
Win32StandIn::RadioGroup Win32StandIn::BuildRadioGroup(HWND page, std::string_view caption,
                                                       const std::vector<Choice>& buttons, Choice selected) {
  RadioGroup group;
  group.Box = Make("TRadioGroup", caption, page, Child, 360, 24 * static_cast<int>(buttons.size() + 1));
  for (const Choice choice : buttons) {
    HWND button = Make("TGroupButton", Caption(choice), group.Box, Child | BS_RADIOBUTTON, 300, 20);
    if (button == nullptr) continue;
    if (choice == selected) SendMessageA(button, BM_SETCHECK, BST_CHECKED, 0);
    group.Buttons.push_back(button);
  }
  return group;
}

void Win32StandIn::BuildPreferencesPage() {
  HWND page = Make("TTabSheet", "Preferences", pages_, WS_CHILD, 380, 400);
  sheets_.push_back(page);
  // EcoSim's buttons, in its child order, and the ones selected when it starts.
  using D = DegenerateTreatment;
  degenerate_ =
      BuildRadioGroup(page, "Degenerate &Matrices", std::vector{D::Fix, D::Split, D::Discard, D::Retain}, D::Retain);
  const std::vector margins{Constraint::Proportional, Constraint::Fixed, Constraint::Equiprobable};
  // EcoSim's caption differs in letter case from the text Tessil looks for.
  columns_ = BuildRadioGroup(page, "Co&lumn Constraints", margins, Constraint::Fixed);
  rows_ = BuildRadioGroup(page, "Ro&w Constraints", margins, Constraint::Fixed);
  HWND indexBox = Make("TGroupBox", "Co-occurrence &Index", page, Child, 360, 56);
  HWND combo = Make("TComboBox", "", indexBox, Child, 300, 24);
  index_ = Make("Edit", Caption(CooccurrenceIndex::CScore), combo, EditStyle, 290, 20);
  empty_ = BuildRadioGroup(page, "&Empty Sites", std::vector{EmptySiteTreatment::Include, EmptySiteTreatment::Exclude},
                           EmptySiteTreatment::Exclude);
}

void Win32StandIn::BuildGeneralPage() {
  HWND page = Make("TTabSheet", "General", pages_, WS_CHILD, 380, 400);
  sheets_.push_back(page);
  HWND box = Make("TGroupBox", "Iterations", page, Child, 360, 130);
  Make("TLabel", "Random number seed (0 = clock):", box, Child, 300, 20);
  seed_ = Make("TEdit", "0", box, EditStyle);
  Make("TLabel", "Number of iterations:", box, Child, 300, 20);
  iterations_ = Make("TMaskEdit", "5000 ", box, EditStyle);
  using A = FixedFixedAlgorithm;
  algorithm_ = BuildRadioGroup(page, "Fixed-Fixed Randomization Algorithm",
                               std::vector{A::KnightsTour, A::IndependentSwap, A::SequentialSwap}, A::SequentialSwap);
}

void Win32StandIn::BuildOptionsWindow() {
  options_ = TopLevel("TCoOccurrenceOpts", "Co-occurrence Options", ecosim::OptionsWindowSize);
  pages_ = Make("TPageControl", "", options_, Child, 390, 410);
  BuildPreferencesPage();
  BuildGeneralPage();
  HWND panel = Make("TPanel", "", options_, Child, 390, 32);
  run_ = Make("TButton", "&Run", panel, ButtonStyle);
  ShowPage(0);
}

void Win32StandIn::BuildProgressWindow() {
  progress_ = TopLevel("TProgress", "Progress", ecosim::ProgressWindowSize);
  beep_ = Make("TCheckBox", "Beep", progress_, Child | BS_CHECKBOX);
  if (beep_ != nullptr) SendMessageA(beep_, BM_SETCHECK, BST_CHECKED, 0);
  abort_ = Make("TButton", "&Abort simulation", progress_, ButtonStyle, 160, 28);
}

void Win32StandIn::BuildResultsWindow() {
  results_ = TopLevel("TCoOccurrence", "EcoSim -- Co-occurrence Results", ecosim::ResultsWindowSize);
  HWND pages = Make("TPageControl", "", results_, Child, 505, 515);
  HWND index = Make("TTabSheet", "Index", pages, Child, 500, 505);
  memo1_ = Make("TMemo", "", index, MemoStyle, 490, 240);
  memo2_ = Make("TMemo", "", index, MemoStyle, 490, 240);
}

void Win32StandIn::Show(HWND window, bool shown) {
  if (window != nullptr) ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
}

bool Win32StandIn::IsShown(HWND window) {
  return window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32StandIn::ShowPage(std::uintptr_t index) {
  if (index >= sheets_.size()) return;
  for (std::size_t k = 0; k < sheets_.size(); ++k) Show(sheets_[k], k == index);
}

bool Win32StandIn::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  if (window == main_) {
    if (message == WM_COMMAND && wParam == ecosim::ResizeCommand) {
      if (!Busy()) Show(resize_, true);
      return true;
    }
    if (message == WM_COMMAND && wParam == ecosim::CooccurrenceCommand) {
      if (!Busy() && !IsShown(options_)) {
        Show(main_, false);
        Show(options_, true);
      }
      return true;
    }
    // A simulation in hand keeps EcoSim from closing.
    if (message == WM_CLOSE) {
      if (!Busy()) ShowMessage(std::string(ExitQuestion), true);
      return true;
    }
    return false;
  }
  if (window == grid_) return HandleGrid(message, wParam);
  if (window == pages_ && message == TCM_SETCURFOCUS) {
    ShowPage(wParam);
    return true;
  }
  if (message == BM_CLICK) {
    // A click needs neither the focus nor the mouse.
    if (IsWindowEnabled(window)) Clicked(window);
    return true;
  }
  if (message == WM_COMMAND) {
    // A radio group selects the button named by lParam.
    for (RadioGroup* group : {&rows_, &columns_, &algorithm_, &degenerate_, &empty_}) {
      if (window != group->Box) continue;
      const auto named = reinterpret_cast<HWND>(lParam);
      if (std::find(group->Buttons.begin(), group->Buttons.end(), named) == group->Buttons.end()) return true;
      for (HWND button : group->Buttons) {
        SendMessageA(button, BM_SETCHECK, button == named ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      return true;
    }
    // A button clicked with the mouse, when the user watches EcoSim.
    if (HighWord(wParam) == BN_CLICKED && lParam != 0) {
      Clicked(reinterpret_cast<HWND>(lParam));
      return true;
    }
    return false;
  }
  if (message == WM_CLOSE) {
    if (window == options_ || window == results_) {
      Show(window, false);
      Show(main_, true);
    }
    // EcoSim's other windows stay.
    return true;
  }
  if (window == seed_ && message == WM_SETTEXT) {
    // A new seed starts a new run of tests; the edit control takes the text.
    ordinals_.SeedSet();
    return false;
  }
  if (window == beep_ && (message == WM_KEYDOWN || message == WM_KEYUP) && wParam == VK_SPACE) {
    // A check box toggles when the space bar is released after a press.
    if (message == WM_KEYDOWN) {
      spaceDown_ = true;
    } else if (spaceDown_) {
      spaceDown_ = false;
      Clicked(beep_);
    }
    return true;
  }
  return false;
}

bool Win32StandIn::HandleGrid(UINT message, WPARAM wParam) {
  if (message == WM_CHAR) {
    if (++charactersReceived_ == faults_.HangAtCharacter) {
      // EcoSim hung inside a message sent to it: it never answers again.
      for (;;) Sleep(INFINITE);
    }
    // Ended from outside (Task Manager) or crashed while a matrix is typed.
    if (charactersReceived_ == faults_.EndAtCharacter) TerminateProcess(GetCurrentProcess(), EndedExitCode);
    if (charactersReceived_ == faults_.HoldShiftAtCharacter) {
      HoldShift(true);
      SetTimer(grid_, ReleaseShiftTimer, HeldShiftMilliseconds, nullptr);
    }
    const char c = TypedCharacter(static_cast<char>(wParam & 0xFF), faults_);
    if (editor_ == nullptr) {
      // The in-place editor is made when first needed, whatever the faults.
      editor_ = CreateWindowExA(0, "TInplaceEdit", "", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 40, 20, grid_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)), instance_, nullptr);
    }
    SetText(editor_, cells_.Type(c, TextOf(editor_)));
    if (editor_ != nullptr) {
      SetWindowPos(editor_, nullptr, cells_.CurrentCol() * 40, cells_.CurrentRow() * 20, 40, 20,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    return true;
  }
  if (message == WM_TIMER && wParam == ReleaseShiftTimer) {
    KillTimer(grid_, ReleaseShiftTimer);
    HoldShift(false);
    return true;
  }
  if (message == WM_KEYDOWN && wParam == VK_TAB) {
    // A VCL grid takes Tab's direction from the Shift key as its own thread
    // last saw it, not from the message.
    const bool backwards = faults_.Strict && (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if (cells_.Editing()) {
      cells_.Tab(TextOf(editor_), backwards);
      Show(editor_, false);
    } else {
      cells_.Tab({}, backwards);
    }
    InvalidateRect(grid_, nullptr, TRUE);
    return true;
  }
  if (message == WM_PAINT) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(grid_, &paint);
    // The cells that fit, each 40 x 20 pixels.
    RECT area{};
    GetClientRect(grid_, &area);
    const int cols = std::min(cells_.Cols(), static_cast<int>(area.right / 40 + 1));
    const int rows = std::min(cells_.Rows(), static_cast<int>(area.bottom / 20 + 1));
    for (int i = 0; i < rows; ++i) {
      for (int k = 0; k < cols; ++k) {
        RECT cell{k * 40, i * 20, k * 40 + 40, i * 20 + 20};
        FrameRect(dc, &cell, GetSysColorBrush(COLOR_WINDOWFRAME));
        const std::string& text = cells_.Cell(i, k);
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      }
    }
    EndPaint(grid_, &paint);
    return true;
  }
  return false;
}

void Win32StandIn::Clicked(HWND button) {
  if (button == nullptr) return;
  if (button == run_) {
    StartTest();
  } else if (button == resizeOk_) {
    AcceptResize();
  } else if (button == abort_) {
    Abort();
  } else if (button == beep_) {
    const bool checked = SendMessageA(beep_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageA(beep_, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
  } else {
    for (const MessageForm& form : messages_) {
      if (button == form.Ok) {
        CloseMessage(form.Form, form.ExitsOnOk);
        return;
      }
      if (button == form.Cancel) {
        CloseMessage(form.Form, false);
        return;
      }
    }
    // A radio button clicked is selected in its group.
    for (RadioGroup* group : {&rows_, &columns_, &algorithm_, &degenerate_, &empty_}) {
      if (std::find(group->Buttons.begin(), group->Buttons.end(), button) == group->Buttons.end()) continue;
      for (HWND other : group->Buttons) {
        SendMessageA(other, BM_SETCHECK, other == button ? BST_CHECKED : BST_UNCHECKED, 0);
      }
    }
  }
}

void Win32StandIn::AcceptResize() {
  // A size that is not a number keeps the dialog open.
  const std::optional<GridSize> size = AcceptedSize(TextOf(resizeColumns_), TextOf(resizeRows_));
  if (!size) return;
  cells_.Resize(size->Rows, size->Cols);
  Show(editor_, false);
  if (grid_ != nullptr) InvalidateRect(grid_, nullptr, TRUE);
  Show(resize_, false);
}

std::string Win32StandIn::Selected(const RadioGroup& group) const {
  for (HWND button : group.Buttons) {
    if (SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED) return TextOf(button);
  }
  return {};
}

OptionTexts Win32StandIn::HeldTexts() const {
  OptionTexts o;
  o.RowConstraint = Selected(rows_);
  o.ColumnConstraint = Selected(columns_);
  o.Index = TextOf(index_);
  o.Algorithm = Selected(algorithm_);
  o.DegenerateMatrices = Selected(degenerate_);
  o.EmptySites = Selected(empty_);
  o.Iterations = TextOf(iterations_);
  o.Seed = TextOf(seed_);
  return o;
}

void Win32StandIn::StartTest() {
  if (Busy() || !IsShown(options_)) return;
  running_ = true;
  // Every test counts, from the last time the seed was set.
  const std::uint64_t ordinal = ordinals_.Take();
  Show(options_, false);
  ticks_ = 0;
  SetText(progress_, ProgressCaption(0));
  Show(progress_, true);
  faultyTest_ = ++testsStarted_ >= faults_.FirstFaultyTest;
  hung_ = faultyTest_ && faults_.Hang;
  // Ended from outside or crashed while a test runs.
  if (faultyTest_ && faults_.EndInTest) TerminateProcess(GetCurrentProcess(), EndedExitCode);
  // A stalled test's caption stands still; only "&Abort simulation" ends it.
  if (faultyTest_ && faults_.Stall) return;
  if (!hung_) {
    job_ = MakeJob(cells_.Matrix(), HeldTexts(), ordinal);
    const DWORD thread = GetCurrentThreadId();
    try {
      worker_ = StartWorker(job_, workersRunning_, [thread] { PostThreadMessageA(thread, TestEndedMessage, 0, 0); });
    } catch (const std::system_error&) {
      // Where no thread can be started the test is computed here, holding
      // up the windows while it runs but ending as it would.
      job_->Run();
    }
  }
  timer_ = SetTimer(nullptr, 0, AdvanceMilliseconds, nullptr);
}

void Win32StandIn::Advance() {
  if (!running_) return;
  ++ticks_;
  SetText(progress_, ProgressCaption(ticks_));
  if (job_ == nullptr || !job_->IsDone()) return;
  KillTimer(nullptr, timer_);
  timer_ = 0;
  if (worker_.joinable()) worker_.join();
  const std::shared_ptr<Job> job = std::move(job_);
  EndTest(job->Result);
}

void Win32StandIn::EndTest(const cooc::TestResult& result) {
  running_ = false;
  Show(progress_, false);
  if (beep_ != nullptr && SendMessageA(beep_, BM_GETCHECK, 0, 0) == BST_CHECKED) MessageBeep(MB_OK);
  const TestEnding ending = EndingOf(result, faultyTest_ ? faults_ : StandInFaults{});
  if (ending.ShowsResults) {
    SetText(memo1_, ending.Memo1);
    SetText(memo2_, ending.Memo2);
    Show(results_, true);
    return;
  }
  ShowMessage(ending.Message, false);
}

void Win32StandIn::Abort() {
  if (!running_ || hung_) return;
  if (timer_ != 0) KillTimer(nullptr, timer_);
  timer_ = 0;
  StopWorker();
  job_.reset();
  running_ = false;
  Show(progress_, false);
  Show(main_, true);
}

void Win32StandIn::StopWorker() {
  if (job_ == nullptr) return;
  job_->Stop.request_stop();
  if (worker_.joinable()) worker_.join();
}

void Win32StandIn::ShowMessage(const std::string& text, bool exitOnOk) {
  MessageForm form;
  form.ExitsOnOk = exitOnOk;
  // An EcoSim whose close question is a form of another kind than its
  // message boxes.
  const std::string_view formClass = exitOnOk && faults_.OtherCloseQuestion ? "TCloseQuestion" : "TMessageForm";
  form.Form = Make(formClass, exitOnOk ? ExitQuestionTitle : MessageTitle, nullptr,
                   WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN, 320, 150);
  Make("TLabel", text, form.Form, Child, 300, 40);
  form.Ok = Make("TButton", "OK", form.Form, ButtonStyle, 80, 26);
  if (exitOnOk) form.Cancel = Make("TButton", "Cancel", form.Form, ButtonStyle, 80, 26);
  messages_.push_back(form);
  Show(form.Form, true);
}

void Win32StandIn::CloseMessage(HWND form, bool exits) {
  const bool answersExit = std::any_of(messages_.begin(), messages_.end(),
                                       [form](const MessageForm& m) { return m.Form == form && m.ExitsOnOk; });
  messages_.erase(
      std::remove_if(messages_.begin(), messages_.end(), [form](const MessageForm& m) { return m.Form == form; }),
      messages_.end());
  topLevels_.erase(std::remove(topLevels_.begin(), topLevels_.end(), form), topLevels_.end());
  nextY_.erase(form);
  DestroyWindow(form);
  if (!exits) {
    // Cancel on the exit question leaves EcoSim as it was.
    if (!answersExit) Show(main_, true);
    return;
  }
  // EcoSim ends: every window goes at once.
  StopWorker();
  for (HWND window : topLevels_) {
    if (IsWindow(window)) DestroyWindow(window);
  }
  topLevels_.clear();
  PostQuitMessage(0);
}

}  // namespace tessil::standin
