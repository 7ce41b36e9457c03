// The EcoSim options dialog, the simulation options dialog, the exit
// question and the About box.
#include <string>

#include "Win32Windows.h"

namespace tessil::win32ui {

namespace {

enum : int { Iterations = 301, Seed, FirstOption = 400 };
enum Field : int { RowField, ColumnField, IndexField, AlgorithmField, DegenerateField, EmptySitesField };

constexpr DWORD RadioStyle = BS_AUTORADIOBUTTON;
constexpr DWORD BoxStyle = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP;

// A group drawn as the options dialogs draw theirs: a grey rectangle 15
// twips larger than the frame on every side, and a bold title above it.
RECT GroupShape(int left, int top, int width, int height) {
  return TwipsRect(left - 15, top - 15, width + 30, height + 30);
}

HWND Title(HWND window, const wchar_t* text, int left, int top) {
  HWND label = AddControl(window, L"Static", text, SS_LEFTNOWORDWRAP, TwipsRect(left, top, 4200, 285), 0);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(BoldDialogFont()), FALSE);
  return label;
}

void PaintShapes(HDC dc, const std::vector<RECT>& shapes, const std::vector<bool>& shown) {
  HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  HGDIOBJ oldPen = SelectObject(dc, grey);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    if (shown[i]) Rectangle(dc, shapes[i].left, shapes[i].top, shapes[i].right, shapes[i].bottom);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(grey);
}

template <typename Choice>
std::string CaptionText(Choice value) {
  return std::string(Caption(value));
}

}  // namespace

// ---- EcoSim options --------------------------------------------------------

frmEcoSimOptions::frmEcoSimOptions(EcoSimOptionsPresenter& rules, HWND mainWindow, std::function<void()> closed)
    : rules_(rules), main_(mainWindow), closed_(std::move(closed)) {
  // Client area 10095 x 5850 twips, centred on the screen.
  Create(L"Tessil -- EcoSim Options", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 673, 390, nullptr, nullptr);
  HWND w = Handle();
  int next = FirstOption;
  // Option buttons of one group, at places within the group's frame.
  auto group = [&](Field field, int frameLeft, int frameTop, int width,
                   std::initializer_list<std::pair<std::string, POINT>> buttons) {
    bool first = true;
    for (const auto& [caption, at] : buttons) {
      DWORD style = RadioStyle | (first ? WS_GROUP | WS_TABSTOP : 0);
      HWND button = AddControl(w, L"Button", Wide(caption), style,
                               TwipsRect(frameLeft + at.x, frameTop + at.y, width, 285), next++);
      options_.push_back(Option{button, field, caption});
      first = false;
    }
  };
  // Created in the tab order: index, row and column constraints, degenerate
  // matrices, the two texts, the algorithm, the buttons, empty sites.
  group(IndexField, 240, 2640, 3495,
        {{CaptionText(CooccurrenceIndex::CScore), {240, 120}},
         {CaptionText(CooccurrenceIndex::Checkerboards), {240, 600}},
         {CaptionText(CooccurrenceIndex::Combinations), {240, 1080}},
         {CaptionText(CooccurrenceIndex::VRatio), {240, 1560}}});
  group(RowField, 240, 480, 1815,
        {{CaptionText(Constraint::Equiprobable), {240, 120}},
         {CaptionText(Constraint::Fixed), {240, 600}},
         {CaptionText(Constraint::Proportional), {240, 1080}}});
  group(ColumnField, 2640, 480, 1815,
        {{CaptionText(Constraint::Equiprobable), {240, 120}},
         {CaptionText(Constraint::Fixed), {240, 600}},
         {CaptionText(Constraint::Proportional), {240, 1080}}});
  group(DegenerateField, 5160, 4200, 1215,
        {{CaptionText(DegenerateTreatment::Retain), {240, 120}},
         {CaptionText(DegenerateTreatment::Discard), {1440, 120}},
         {CaptionText(DegenerateTreatment::Split), {240, 720}},
         {CaptionText(DegenerateTreatment::Fix), {1440, 720}}});
  AddControl(w, L"Static", L"Number of iterations:", SS_LEFT, TwipsRect(5160 + 240, 480 + 240, 2220, 285), 0);
  txt1_ = AddControl(w, L"Edit", L"100", BoxStyle, TwipsRect(5160 + 2520, 480 + 120, 1935, 315), Iterations);
  AddControl(w, L"Static", L"Random number seed:", SS_LEFT, TwipsRect(5160 + 240, 480 + 720, 2220, 285), 0);
  txt2_ = AddControl(w, L"Edit", L"0", BoxStyle, TwipsRect(5160 + 2520, 480 + 720, 1935, 315), Seed);
  group(AlgorithmField, 5160, 2160, 4215,
        {{CaptionText(FixedFixedAlgorithm::SequentialSwap), {360, 120}},
         {CaptionText(FixedFixedAlgorithm::IndependentSwap), {360, 600}},
         {CaptionText(FixedFixedAlgorithm::KnightsTour), {360, 1080}}});
  AddControl(w, L"Button", L"Make Changes", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, TwipsRect(360, 5040, 1455, 375),
             IDOK);
  AddControl(w, L"Button", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, TwipsRect(1920, 5040, 1095, 375),
             IDCANCEL);
  const std::size_t beforeEmptySites = options_.size();
  group(
      EmptySitesField, 8160, 4200, 1395,
      {{CaptionText(EmptySiteTreatment::Include), {240, 240}}, {CaptionText(EmptySiteTreatment::Exclude), {240, 720}}});
  // The next control starts a group of its own, so that the arrows stay
  // among the empty-sites options.
  Title(w, L"Row Constraints", 360, 180);
  Title(w, L"Column Constraints", 2760, 180);
  Title(w, L"Co-occurrence Index", 360, 2340);
  Title(w, L"Iterations", 5280, 180);
  Title(w, L"Fixed-Fixed Randomization Algorithm", 5280, 1860);
  Title(w, L"Degenerate Matrices", 5280, 3900);
  HWND sitesTitle = Title(w, L"Empty Sites", 8280, 3900);
  SetWindowLongPtrW(sitesTitle, GWL_STYLE, GetWindowLongPtrW(sitesTitle, GWL_STYLE) | WS_GROUP);
  emptySites_ = {sitesTitle};
  for (std::size_t i = beforeEmptySites; i < options_.size(); ++i) emptySites_.push_back(options_[i].Button);
  shapes_ = {GroupShape(240, 480, 2175, 1695),  GroupShape(2640, 480, 2175, 1695),  GroupShape(240, 2640, 3855, 2175),
             GroupShape(5160, 480, 4695, 1215), GroupShape(5160, 2160, 4695, 1575), GroupShape(5160, 4200, 2775, 1215),
             GroupShape(8160, 4200, 1695, 1215)};
  Draw();
}

void frmEcoSimOptions::Draw() {
  const EcoSimTestOptions& o = rules_.Working();
  auto chosen = [&](int field) -> std::string_view {
    switch (field) {
      case RowField:
        return Caption(o.RowConstraint);
      case ColumnField:
        return Caption(o.ColumnConstraint);
      case IndexField:
        return Caption(o.Index);
      case AlgorithmField:
        return Caption(o.Algorithm);
      case DegenerateField:
        return Caption(o.DegenerateMatrices);
      default:
        return Caption(o.EmptySites);
    }
  };
  drawing_ = true;
  for (const Option& option : options_) SetChecked(option.Button, option.Caption == chosen(option.Group));
  for (auto [box, text] : {std::pair{txt1_, &o.EcoSimIterations}, std::pair{txt2_, &o.EcoSimSeed}}) {
    // Rewriting an unchanged box would move the user's caret.
    if (Narrow(TextOf(box)) != *text) SetText(box, Wide(*text));
  }
  const bool shown = rules_.EmptySitesShown();
  // The group's own visibility, whether or not the dialog is on screen.
  const bool visible = (GetWindowLongPtrW(emptySites_.front(), GWL_STYLE) & WS_VISIBLE) != 0;
  if (visible != shown) {
    for (HWND control : emptySites_) ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
  drawing_ = false;
}

void frmEcoSimOptions::Choose(const Option& option) {
  const std::string_view c = option.Caption;
  switch (option.Group) {
    case RowField:
      rules_.ChooseRowConstraint(*FromCaption<Constraint>(c));
      break;
    case ColumnField:
      rules_.ChooseColumnConstraint(*FromCaption<Constraint>(c));
      break;
    case IndexField:
      rules_.ChooseIndex(*FromCaption<CooccurrenceIndex>(c));
      break;
    case AlgorithmField:
      rules_.ChooseAlgorithm(*FromCaption<FixedFixedAlgorithm>(c));
      break;
    case DegenerateField:
      rules_.ChooseDegenerateMatrices(*FromCaption<DegenerateTreatment>(c));
      break;
    default:
      rules_.ChooseEmptySites(*FromCaption<EmptySiteTreatment>(c));
      break;
  }
}

void frmEcoSimOptions::ShowCommitted() {
  rules_.Cancel();
  refusedBox_ = nullptr;
  Draw();
  Window::Show(true);
  SetForegroundWindow(Handle());
}

bool frmEcoSimOptions::PaintBackground(HDC dc) {
  RECT area{};
  GetClientRect(Handle(), &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  std::vector<bool> shown(shapes_.size(), true);
  shown.back() = rules_.EmptySitesShown();
  PaintShapes(dc, shapes_, shown);
  return true;
}

bool frmEcoSimOptions::Leave(HWND box) {
  if (validating_) return refusedBox_ == nullptr;
  const Checked checked = box == txt1_ ? rules_.LeaveIterations() : rules_.LeaveSeed();
  Draw();
  if (checked.Accepted()) {
    if (refusedBox_ == box) refusedBox_ = nullptr;
    return true;
  }
  // The text stays as typed and the box keeps the focus.
  validating_ = true;
  refusedBox_ = box;
  Inform(Handle(), checked.Refusal);
  SetFocus(box);
  SendMessageW(box, EM_SETSEL, 0, -1);
  validating_ = false;
  return false;
}

void frmEcoSimOptions::Close(bool commit) {
  if (commit) {
    rules_.MakeChanges();
  } else {
    refusedBox_ = nullptr;
    rules_.Cancel();
  }
  Draw();
  Window::Show(false);
  ShowWindow(main_, SW_SHOW);
  SetForegroundWindow(main_);
  // The main window shows the summary the changes wrote.
  if (closed_) closed_();
}

LRESULT frmEcoSimOptions::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (drawing_) return 0;
      if (id == Iterations || id == Seed) {
        if (code == EN_CHANGE) {
          const std::string text = Narrow(TextOf(reinterpret_cast<HWND>(lParam)));
          if (id == Iterations) rules_.TypeIterations(text);
          if (id == Seed) rules_.TypeSeed(text);
        }
        if (code == EN_KILLFOCUS) Leave(reinterpret_cast<HWND>(lParam));
        return 0;
      }
      // Cancel and Esc abandon a refused text; every other press repeats
      // the refusal and does nothing else.
      if (id == IDCANCEL) {
        Close(false);
        return 0;
      }
      if (refusedBox_ != nullptr && code == BN_CLICKED) {
        if (!Leave(refusedBox_)) {
          Draw();
          return 0;
        }
      }
      if (id == IDOK) {
        Close(true);
        return 0;
      }
      for (const Option& option : options_) {
        if (option.Button == reinterpret_cast<HWND>(lParam) && code == BN_CLICKED && IsChecked(option.Button)) {
          Choose(option);
          Draw();
        }
      }
      return 0;
    }
    case WM_CLOSE:
      // The frame's close acts as Cancel; the dialog stays, hidden.
      Close(false);
      return 0;
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

// ---- Simulation options ----------------------------------------------------

frmAdvanced::frmAdvanced(RunSettings& settings, HWND owner)
    : messages_(*this), rules_(settings, messages_), owner_(owner) {
  // Client area 3690 x 2160 twips, centred on the main window.
  Create(L"Tessil -- Options", WS_CAPTION | WS_SYSMENU, 246, 144, owner, owner);
  HWND w = Handle();
  AddControl(w, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, TwipsRect(1200, 1650, 1095, 375), IDOK);
  AddControl(w, L"Button", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, TwipsRect(2400, 1650, 1095, 375),
             IDCANCEL);
  AddControl(w, L"Static", L"Number of Iterations:", SS_LEFT, TwipsRect(240 + 240, 480 + 120, 2000, 285), 0);
  txt1_ = AddControl(w, L"Edit", L"100", BoxStyle, TwipsRect(240 + 2280, 480 + 120, 615, 285), Iterations);
  AddControl(w, L"Static", L"Random Seed:", SS_LEFT, TwipsRect(240 + 240, 480 + 600, 2000, 285), 0);
  txt2_ = AddControl(w, L"Edit", L"0", BoxStyle, TwipsRect(240 + 2280, 480 + 600, 615, 285), Seed);
  Title(w, L"Simulations", 360, 180);
  SetText(txt1_, Wide(rules_.IterationsText()));
  SetText(txt2_, Wide(rules_.SeedText()));
}

void frmAdvanced::Open() {
  Show(true);
  SetFocus(GetDlgItem(Handle(), IDOK));
  RunModal(owner_, [this] { return closed_; });
}

bool frmAdvanced::PaintBackground(HDC dc) {
  RECT area{};
  GetClientRect(Handle(), &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  PaintShapes(dc, {GroupShape(240, 480, 3255, 1020)}, {true});
  return true;
}

void frmAdvanced::cmd1_Click() {
  // The dialog steps aside while a message is shown, and comes back with the
  // texts as the user left them when a value is refused or the user would
  // rather correct it.
  rules_.TypeIterations(Narrow(TextOf(txt1_)));
  rules_.TypeSeed(Narrow(TextOf(txt2_)));
  Show(false);
  if (rules_.Ok() == AdvancedPresenter::Outcome::Stored) {
    closed_ = true;
    return;
  }
  Show(true);
  SetFocus(GetDlgItem(Handle(), IDOK));
}

LRESULT frmAdvanced::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) cmd1_Click();
      if (LOWORD(wParam) == IDCANCEL) closed_ = true;
      return 0;
    case WM_CLOSE:
      closed_ = true;
      return 0;
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

// ---- Exit question ---------------------------------------------------------

frmConfirmExit::frmConfirmExit(HWND owner) : owner_(owner) {
  Create(L"Tessil", WS_CAPTION | WS_SYSMENU, 185, 90, owner, nullptr);
  HWND w = Handle();
  AddControl(w, L"Button", L"Yes", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(16, 53, 73, 25), IDYES);
  AddControl(w, L"Button", L"No", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(96, 53, 73, 25), IDNO);
  AddControl(w, L"Static", Wide(ExitQuestionText), SS_LEFT, ScaledRect(22, 16, 129, 25), 0);
}

bool frmConfirmExit::Ask() {
  Show(true);
  SetFocus(GetDlgItem(Handle(), IDYES));
  RunModal(owner_, [this] { return !Visible(); });
  const bool yes = yes_;
  yes_ = false;
  return yes;
}

bool frmConfirmExit::PaintBackground(HDC dc) {
  RECT area{};
  GetClientRect(Handle(), &area);
  PaintGradient(dc, area);
  return true;
}

LRESULT frmConfirmExit::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      yes_ = LOWORD(wParam) == IDYES;
      // No, Esc and the close box hide the question; the tag stays empty.
      if (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO || LOWORD(wParam) == IDCANCEL) Show(false);
      return 0;
    case WM_CLOSE:
      Show(false);
      return 0;
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

// ---- About -----------------------------------------------------------------

frmAbout::frmAbout(HWND owner) : owner_(owner) {
  Create(L"About Tessil", WS_CAPTION | WS_SYSMENU, 370, 185, owner, owner);
  HWND w = Handle();
  AddControl(w, L"Button", L"Close", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(232, 144, 73, 25), IDCANCEL);
  HWND logo = AddControl(w, L"Static", L"", SS_ICON | SS_REALSIZECONTROL, ScaledRect(17, 17, 151, 151), 0);
  auto* icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, Scaled(151), Scaled(151), 0));
  SendMessageW(logo, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  HWND title = AddControl(w, L"Static", L"Tessil", SS_LEFT, ScaledRect(208, 10, 140, 40), 0);
  SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(TitleFont()), FALSE);
  AddControl(w, L"Static", L"Version 1.0", SS_LEFT, ScaledRect(232, 58, 110, 18), 0);
  AddControl(w, L"Static", L"Made by the Tessil authors.", SS_CENTER, ScaledRect(182, 84, 180, 41), 0);
}

void frmAbout::Open() {
  Show(true);
  SetFocus(GetDlgItem(Handle(), IDCANCEL));
  RunModal(owner_, [this] { return closed_; });
  Destroy();
}

bool frmAbout::PaintBackground(HDC dc) {
  RECT area{};
  GetClientRect(Handle(), &area);
  PaintGradient(dc, area);
  // The logo's grey frame.
  HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  HGDIOBJ oldPen = SelectObject(dc, grey);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  const RECT frame = ScaledRect(16, 16, 153, 153);
  Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(grey);
  return true;
}

LRESULT frmAbout::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) closed_ = true;
      return 0;
    case WM_CLOSE:
      closed_ = true;
      return 0;
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

}  // namespace tessil::win32ui
