// The results window, the program's loop, help and message boxes.
#include "Win32Windows.h"
// windows.h first, then the common dialogs
#include <commdlg.h>

#include <vector>

#include "FaceRules.h"
#include "Validation.h"
#include "Win32ChartView.h"
#include "Win32Files.h"

namespace tessil::win32ui {

namespace {

enum : int { ReportBox = 501, Save, Help, ShowReport, ShowChartView, SaveChartFile, ChartView };

constexpr wchar_t UnsavedCaption[] = L"Tessil Results*";
constexpr wchar_t SavedCaption[] = L"Tessil Results";

std::wstring TrimSpaces(std::wstring text) {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  const std::size_t last = text.find_last_not_of(L' ');
  return text.substr(first, last - first + 1);
}

// The common save dialog: the Unicode record rather than the ANSI one,
// which cannot name a folder outside the user's code page. Returns the
// chosen path, or an empty text when the user cancelled; `filter` is the
// index (from 1) of the filter in use when the dialog closed.
std::wstring ChooseSaveFile(HWND owner, const std::wstring& folder, const wchar_t* name, const wchar_t* title,
                            const wchar_t* filters, std::size_t filtersSize, DWORD* filter) {
  std::vector<wchar_t> file(32768, L'\0');
  wcsncpy(file.data(), name, file.size() - 1);
  const std::wstring filterText(filters, filtersSize);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.hInstance = GetModuleHandleW(nullptr);
  dialog.lpstrFilter = filterText.c_str();
  dialog.nFilterIndex = 0;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = title;
  // No question before replacing a file, no check that it exists, no
  // extension added: the window adds ".txt" itself.
  dialog.Flags = OFN_EXPLORER;
  if (GetSaveFileNameW(&dialog) == 0) return {};
  if (filter != nullptr) *filter = dialog.nFilterIndex;
  return TrimSpaces(file.data());
}

}  // namespace

frmResults::frmResults(DesktopServices& services, std::string report, std::string chartSvg,
                       std::function<void()> unloaded)
    : services_(services), report_(std::move(report)), chart_(std::move(chartSvg)), unloaded_(std::move(unloaded)) {
  Create(UnsavedCaption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 936, 461, nullptr, nullptr);
  HWND w = Handle();
  txt1_ = AddControl(w, L"Edit", L"",
                     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                     ScaledRect(24, 16, 889, 393), ReportBox);
  // The report's lines keep their CR LF breaks, as the edit control wants.
  SetText(txt1_, Wide(report_));
  cht1_ = CreateChartView(w, ScaledRect(24, 16, 889, 393), ChartView);
  ShowWindow(cht1_, SW_HIDE);
  AddControl(w, L"Button", L"Save", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(728, 424, 89, 25), Save);
  AddControl(w, L"Button", L"Close", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(824, 424, 89, 25), IDCANCEL);
  AddControl(w, L"Button", L"Help", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(24, 424, 81, 25), Help);
  // Two buttons that act as tabs: one of them is always down.
  optReport_ = AddControl(w, L"Button", L"Report", BS_AUTORADIOBUTTON | BS_PUSHLIKE | WS_TABSTOP | WS_GROUP,
                          ScaledRect(120, 424, 89, 25), ShowReport);
  optChart_ = AddControl(w, L"Button", L"Chart", BS_AUTORADIOBUTTON | BS_PUSHLIKE, ScaledRect(209, 424, 89, 25),
                         ShowChartView);
  AddControl(w, L"Button", L"Save Chart", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(632, 424, 89, 25),
             SaveChartFile);
  SetChecked(optReport_, true);
  SetChartPicture(cht1_, chart_);
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

void frmResults::ShowChart(bool chart) {
  chartShown_ = chart;
  ShowWindow(txt1_, chart ? SW_HIDE : SW_SHOW);
  ShowWindow(cht1_, chart ? SW_SHOW : SW_HIDE);
  SetChecked(optReport_, !chart);
  SetChecked(optChart_, chart);
}

void frmResults::SaveReport() {
  static constexpr wchar_t Filters[] = L"Text Files (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";
  const std::wstring chosen =
      ChooseSaveFile(Handle(), services_.ProgramFolder, L"Results", L"Save", Filters, std::size(Filters), nullptr);
  if (chosen.empty()) return;
  const std::wstring file = Wide(ResultsFilePath(Narrow(chosen)));
  std::wstring reason;
  if (!WriteFileWhole(file, report_, &reason)) {
    // The windows' message first, then where and why, so that the user can
    // choose another place.
    Inform(Handle(), std::string(message::InvalidFileName) + "\n\nThe report could not be saved as \"" + Narrow(file) +
                         "\": " + Narrow(reason) + ".");
    return;
  }
  SetText(Handle(), SavedCaption);
}

void frmResults::SaveChart() {
  static constexpr wchar_t Filters[] = L"SVG Pictures (*.svg)\0*.svg\0PNG Pictures (*.png)\0*.png\0";
  DWORD filter = 1;
  std::wstring file = ChooseSaveFile(Handle(), services_.ProgramFolder, L"Power function", L"Save Chart", Filters,
                                     std::size(Filters), &filter);
  if (file.empty()) return;
  auto endsWith = [&file](const wchar_t* extension) {
    const std::wstring tail(extension);
    return file.size() >= tail.size() &&
           CompareStringOrdinal(file.c_str() + file.size() - tail.size(), static_cast<int>(tail.size()), tail.c_str(),
                                static_cast<int>(tail.size()), TRUE) == CSTR_EQUAL;
  };
  // A name without an extension gets the one of the filter in use.
  if (!endsWith(L".svg") && !endsWith(L".png")) file += filter == 2 ? L".png" : L".svg";
  std::wstring reason;
  const bool written = endsWith(L".png") ? WriteChartPng(file, chart_, &reason)
                                         : WriteFileWhole(file, chart_, &reason);
  if (!written) {
    Inform(Handle(), "The chart could not be saved as \"" + Narrow(file) + "\": " + Narrow(reason) + ".");
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
          SaveReport();
          break;
        case IDCANCEL:
          Unload();
          break;
        case Help:
        case HelpCommand:
          ShowHelpTopic(services_, "Results.htm");
          break;
        case ShowReport:
          ShowChart(false);
          break;
        case ShowChartView:
          ShowChart(true);
          break;
        case SaveChartFile:
          SaveChart();
          break;
        default:
          break;
      }
      return 0;
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

void ShowHelpTopic(const DesktopServices& services, std::string_view topic) {
  // The help file is looked for beside the program, whatever folder the
  // program was started from.
  if (services.HtmlHelp) services.HtmlHelp(services.ProgramFolder + L"\\Tessil Help.chm", HelpDisplayTopic, Wide(topic));
}

void CloseAllHelp(const DesktopServices& services) {
  if (services.HtmlHelp) services.HtmlHelp(L"", HelpCloseAll, L"");
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
