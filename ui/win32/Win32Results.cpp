// The results window, the program's loop, help and message boxes.
#include "Win32Windows.h"
// windows.h first, then the common dialogs
#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "ChartPainter.h"
#include "Win32ChartView.h"
#include "Win32Files.h"

namespace tessil::win32ui {

namespace {

enum : int { ReportBox = 501, Save, Help, ShowReport, ShowChartView, SaveChartFile, ChartView, SwitchView };

std::wstring TrimSpaces(std::wstring text) {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  const std::size_t last = text.find_last_not_of(L' ');
  return text.substr(first, last - first + 1);
}

// The common save dialog as the request asks for it: the Unicode record
// rather than the ANSI one, which cannot name a folder outside the user's
// code page. The name comes back as typed, with the filter in use; the
// results rules decide what an extension means.
ChosenFile ChooseSaveFile(HWND owner, const SaveFileRequest& request) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring name = Wide(request.Name);
  wcsncpy(file.data(), name.c_str(), file.size() - 1);
  std::wstring filters;
  for (const auto& [caption, pattern] : request.Filters) filters += Wide(caption) + L'\0' + Wide(pattern) + L'\0';
  filters += L'\0';
  const std::wstring folder = Wide(request.Folder);
  const std::wstring title = Wide(request.Title);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.hInstance = GetModuleHandleW(nullptr);
  dialog.lpstrFilter = filters.c_str();
  dialog.nFilterIndex = 0;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = title.c_str();
  // No question before replacing a file, no check that it exists, no
  // extension added by the dialog.
  dialog.Flags = OFN_EXPLORER;
  if (GetSaveFileNameW(&dialog) == 0) return {};
  return {Narrow(TrimSpaces(file.data())), dialog.nFilterIndex >= 1 ? dialog.nFilterIndex - 1 : 0};
}

bool WriteReportFile(const std::string& path, const std::string& bytes, std::string& reason) {
  std::wstring why;
  const bool written = WriteFileWhole(Wide(path), bytes, &why);
  reason = Narrow(why);
  return written;
}

// The chart in the format asked for: PNG drawn from the saved chart's
// primitives at its own size, or its SVG text.
bool WriteChartFile(const std::string& path, ChartFormat format, const ResultsChart& chart, std::string& reason) {
  const std::wstring file = Wide(path);
  if (format == ChartFormat::Png) return gdiplus::WriteChartPng(chart.Picture, 0, 0, file, reason);
  std::wstring why;
  const bool written = WriteFileWhole(file, chart.Svg, &why);
  reason = Narrow(why);
  return written;
}

// The smallest client area the window may be made, at 96 dots per inch: the
// buttons at both ends still apart, the chart view as wide as the chart's
// narrowest layout.
constexpr int MinimumWidth = 720;
constexpr int MinimumHeight = 400;

// The keys of tabbed windows: Ctrl+Tab and Ctrl+Page Down for the next view,
// Ctrl+Shift+Tab and Ctrl+Page Up for the previous (of two, the other).
bool SwitchesViews(WPARAM key) {
  return (key == VK_TAB || key == VK_NEXT || key == VK_PRIOR) && (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

// Every control of the window hands those keys to the window whatever has
// the focus; Report and Chart also take Enter for themselves, as push
// buttons do, rather than letting it press Save.
LRESULT CALLBACK ViewKeys(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                          DWORD_PTR viewButton) {
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = DefSubclassProc(control, message, wParam, lParam);
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      if (key != nullptr && key->message == WM_KEYDOWN &&
          (SwitchesViews(key->wParam) || (viewButton != 0 && key->wParam == VK_RETURN))) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    case WM_KEYDOWN:
      if (SwitchesViews(wParam)) {
        const bool next = wParam == VK_NEXT || (wParam == VK_TAB && (GetKeyState(VK_SHIFT) & 0x8000) == 0);
        SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(SwitchView, next ? 1 : 0), 0);
        return 0;
      }
      if (viewButton != 0 && wParam == VK_RETURN) {
        SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
        return 0;
      }
      break;
    case WM_CHAR:
      // The characters those keys make are not typed anywhere.
      if ((wParam == L'\t' && (GetKeyState(VK_CONTROL) & 0x8000) != 0) || (viewButton != 0 && wParam == L'\r')) {
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(control, &ViewKeys, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

frmResults::frmResults(DesktopServices& services, HelpViewer& help, std::string report, ResultsChart chart,
                       std::function<void()> unloaded)
    : messages_(*this),
      rules_(std::move(report), std::move(chart),
             ResultsWindowServices{messages_, help,
                                   [this](const SaveFileRequest& r) { return ChooseSaveFile(Handle(), r).Path; },
                                   [this](const SaveFileRequest& r) { return ChooseSaveFile(Handle(), r); },
                                   &WriteReportFile, &WriteChartFile, Narrow(services.ProgramFolder)}),
      unloaded_(std::move(unloaded)) {
  Create(Wide(rules_.Caption()),
         WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN,
         936, 461, nullptr, nullptr);
  HWND w = Handle();
  txt1_ = AddControl(w, L"Edit", L"",
                     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                     ScaledRect(24, 16, 889, 393), ReportBox);
  // The report's lines keep their CR LF breaks, as the edit control wants.
  SetText(txt1_, Wide(rules_.Report()));
  // The chart lies over the report; Report and Chart choose which shows.
  cht1_ = CreateChartView(w, ScaledRect(24, 16, 889, 393), ChartView);
  ShowWindow(cht1_, SW_HIDE);
  cmd1_ =
      AddControl(w, L"Button", L"Save", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(728, 424, 89, 25), Save);
  cmd2_ =
      AddControl(w, L"Button", L"Close", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(824, 424, 89, 25), IDCANCEL);
  cmd3_ = AddControl(w, L"Button", L"Help", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(24, 424, 81, 25), Help);
  // Two buttons that act as tabs, each a stop of its own for Tab, pressed by
  // Space or Enter; the chosen one stays down.
  optReport_ = AddControl(w, L"Button", L"Report", BS_CHECKBOX | BS_PUSHLIKE | WS_TABSTOP | WS_GROUP,
                          ScaledRect(120, 424, 89, 25), ShowReport);
  optChart_ = AddControl(w, L"Button", L"Chart", BS_CHECKBOX | BS_PUSHLIKE | WS_TABSTOP | WS_GROUP,
                         ScaledRect(209, 424, 89, 25), ShowChartView);
  cmd4_ = AddControl(w, L"Button", L"Save Chart", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(632, 424, 89, 25),
                     SaveChartFile);
  for (HWND control : {txt1_, cht1_, cmd1_, cmd2_, cmd3_, optReport_, optChart_, cmd4_}) {
    SetWindowSubclass(control, &ViewKeys, 1, control == optReport_ || control == optChart_ ? 1 : 0);
  }
  SetChartSource(cht1_, [this](chart::ChartSize room) { return rules_.ChartFor(room); });
  ShowChart(false);
  Layout();
  Show(true);
  SetFocus(txt1_);
}

int frmResults::DefaultButton() const { return Save; }

bool frmResults::PaintBackground(HDC dc) {
  RECT area{};
  GetClientRect(Handle(), &area);
  PaintGradient(dc, area);
  return true;
}

void frmResults::Layout() {
  RECT client{};
  GetClientRect(Handle(), &client);
  const int w = client.right;
  const int h = client.bottom;
  if (txt1_ == nullptr || w <= 0 || h <= 0) return;  // being made, or minimized
  // At the opening size these are the window's own places: the view at 24,
  // 16, 889 x 393 and the buttons' row at 424, in pixels at 96 dots per inch.
  const int row = h - Scaled(37);
  const int buttonHeight = Scaled(25);
  HDWP moves = BeginDeferWindowPos(8);
  auto place = [&moves](HWND control, int left, int top, int width, int height) {
    if (moves != nullptr) {
      moves = DeferWindowPos(moves, control, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  };
  for (HWND view : {txt1_, cht1_}) place(view, Scaled(24), Scaled(16), w - Scaled(47), h - Scaled(68));
  place(cmd3_, Scaled(24), row, Scaled(81), buttonHeight);
  place(optReport_, Scaled(120), row, Scaled(89), buttonHeight);
  place(optChart_, Scaled(209), row, Scaled(89), buttonHeight);
  place(cmd4_, w - Scaled(304), row, Scaled(89), buttonHeight);
  place(cmd1_, w - Scaled(208), row, Scaled(89), buttonHeight);
  place(cmd2_, w - Scaled(112), row, Scaled(89), buttonHeight);
  if (moves != nullptr) EndDeferWindowPos(moves);
  // The gradient runs over the whole client area, whatever its height.
  InvalidateRect(Handle(), nullptr, TRUE);
}

void frmResults::ShowChart(bool chart) {
  HWND shown = chart ? cht1_ : txt1_;
  HWND hidden = chart ? txt1_ : cht1_;
  const bool focusWasInView = GetFocus() == hidden;
  ShowWindow(shown, SW_SHOW);
  ShowWindow(hidden, SW_HIDE);
  if (focusWasInView) SetFocus(shown);
  for (HWND view : {optReport_, optChart_}) {
    const bool chosen = (view == optChart_) == chart;
    SetChecked(view, chosen);
    SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(chosen ? BoldDialogFont() : DialogFont()), TRUE);
  }
}

void frmResults::Unload() {
  // The main window returns however the window is closed.
  Destroy();
  if (unloaded_) unloaded_();
}

LRESULT frmResults::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case Save:
          rules_.Save();
          SetText(Handle(), Wide(rules_.Caption()));
          break;
        case IDCANCEL:
          Unload();
          break;
        case Help:
        case HelpCommand:
          rules_.ShowHelp();
          break;
        case ShowReport:
          ShowChart(false);
          break;
        case ShowChartView:
          ShowChart(true);
          break;
        case SwitchView:
          ShowChart(!IsChecked(optChart_));
          break;
        case SaveChartFile:
          rules_.SaveChart();
          break;
        default:
          break;
      }
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      RECT frame{0, 0, Scaled(MinimumWidth), Scaled(MinimumHeight)};
      AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                         WS_EX_CONTROLPARENT);
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = POINT{frame.right - frame.left, frame.bottom - frame.top};
      return 0;
    }
    case WM_CLOSE:
      Unload();
      return 0;
    case WM_CTLCOLORSTATIC:
      // The read-only report stays black on white.
      if (reinterpret_cast<HWND>(lParam) == txt1_) {
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

// ---- The program -----------------------------------------------------------

void Inform(HWND owner, std::string_view text) {
  const std::wstring wide = Wide(text);
  MessageBoxW(owner, wide.c_str(), L"Tessil", MB_OK);
}

bool AskYesNo(HWND owner, std::string_view text) {
  const std::wstring wide = Wide(text);
  return MessageBoxW(owner, wide.c_str(), L"Tessil", MB_YESNO) == IDYES;
}

int RunDesktop(DesktopServices services) {
  RunSettings settings;
  frmMain main(settings, services);
  main.Show(true);
  SetFocus(GetDlgItem(main.Handle(), 201));
  PumpUntil([&main] { return main.Ended(); });
  return main.ExitStatus();
}

}  // namespace tessil::win32ui
