// The results window, the program's loop, help and message boxes.
#include "Win32Windows.h"
// windows.h first, then the common dialogs
#include <commdlg.h>

#include <vector>

#include "ChartPainter.h"
#include "Win32ChartView.h"
#include "Win32Files.h"

namespace tessil::win32ui {

namespace {

enum : int { ReportBox = 501, Save, Help, ShowReport, ShowChartView, SaveChartFile, ChartView };

std::wstring TrimSpaces(std::wstring text) {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  const std::size_t last = text.find_last_not_of(L' ');
  return text.substr(first, last - first + 1);
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() &&
         CompareStringOrdinal(text.c_str() + text.size() - tail.size(), static_cast<int>(tail.size()), tail.c_str(),
                              static_cast<int>(tail.size()), TRUE) == CSTR_EQUAL;
}

// The common save dialog as the request asks for it: the Unicode record
// rather than the ANSI one, which cannot name a folder outside the user's
// code page. A chooser whose filters are all of one kind of file each adds
// the extension of the filter in use to a name that has none of theirs.
std::string ChooseSaveFile(HWND owner, const SaveFileRequest& request) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring name = Wide(request.Name);
  wcsncpy(file.data(), name.c_str(), file.size() - 1);
  std::wstring filters;
  bool everyFilterOneKind = !request.Filters.empty();
  for (const auto& [caption, pattern] : request.Filters) {
    filters += Wide(caption) + L'\0' + Wide(pattern) + L'\0';
    everyFilterOneKind = everyFilterOneKind && pattern.rfind("*.", 0) == 0 && pattern != "*.*";
  }
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
  std::wstring chosen = TrimSpaces(file.data());
  if (everyFilterOneKind && !chosen.empty()) {
    bool hasOne = false;
    for (const auto& filter : request.Filters) hasOne = hasOne || EndsWithNoCase(chosen, Wide(filter.second.substr(1)));
    const std::size_t index = dialog.nFilterIndex >= 1 ? dialog.nFilterIndex - 1 : 0;
    if (!hasOne && index < request.Filters.size()) chosen += Wide(request.Filters[index].second.substr(1));
  }
  return Narrow(chosen);
}

bool WriteReportFile(const std::string& path, const std::string& bytes, std::string& reason) {
  std::wstring why;
  const bool written = WriteFileWhole(Wide(path), bytes, &why);
  reason = Narrow(why);
  return written;
}

// The chart as the path's extension asks: PNG drawn from the primitives
// at the chart's own size, else the SVG text.
FileWriter ChartWriter(const chart::Chart& picture) {
  return [&picture](const std::string& path, const std::string& svg, std::string& reason) {
    const std::wstring file = Wide(path);
    if (EndsWithNoCase(file, L".png")) return gdiplus::WriteChartPng(picture, 0, 0, file, reason);
    std::wstring why;
    const bool written = WriteFileWhole(file, svg, &why);
    reason = Narrow(why);
    return written;
  };
}

}  // namespace

frmResults::frmResults(DesktopServices& services, HelpViewer& help, std::string report, std::string chartSvg,
                       chart::Chart picture, std::function<void()> unloaded)
    : messages_(*this),
      picture_(std::move(picture)),
      rules_(std::move(report), std::move(chartSvg),
             ResultsWindowServices{messages_, help,
                                   [this](const SaveFileRequest& r) { return ChooseSaveFile(Handle(), r); },
                                   [this](const SaveFileRequest& r) { return ChooseSaveFile(Handle(), r); },
                                   &WriteReportFile, ChartWriter(picture_), Narrow(services.ProgramFolder)}),
      unloaded_(std::move(unloaded)) {
  Create(Wide(rules_.Caption()), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 936, 461, nullptr, nullptr);
  HWND w = Handle();
  txt1_ = AddControl(w, L"Edit", L"",
                     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                     ScaledRect(24, 16, 889, 393), ReportBox);
  // The report's lines keep their CR LF breaks, as the edit control wants.
  SetText(txt1_, Wide(rules_.Report()));
  cht1_ = CreateChartView(w, ScaledRect(24, 16, 889, 393), ChartView);
  ShowWindow(cht1_, SW_HIDE);
  AddControl(w, L"Button", L"Save", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(728, 424, 89, 25), Save);
  AddControl(w, L"Button", L"Close", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(824, 424, 89, 25), IDCANCEL);
  AddControl(w, L"Button", L"Help", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(24, 424, 81, 25), Help);
  // Two buttons that act as tabs: one of them is always down.
  optReport_ = AddControl(w, L"Button", L"Report", BS_AUTORADIOBUTTON | BS_PUSHLIKE | WS_TABSTOP | WS_GROUP,
                          ScaledRect(120, 424, 89, 25), ShowReport);
  optChart_ =
      AddControl(w, L"Button", L"Chart", BS_AUTORADIOBUTTON | BS_PUSHLIKE, ScaledRect(209, 424, 89, 25), ShowChartView);
  AddControl(w, L"Button", L"Save Chart", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(632, 424, 89, 25),
             SaveChartFile);
  SetChecked(optReport_, true);
  SetChartPicture(cht1_, &picture_);
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
  ShowWindow(txt1_, chart ? SW_HIDE : SW_SHOW);
  ShowWindow(cht1_, chart ? SW_SHOW : SW_HIDE);
  SetChecked(optReport_, !chart);
  SetChecked(optChart_, chart);
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
        case SaveChartFile:
          rules_.SaveChart();
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

int RunDesktop(DesktopServices services) {
  RunSettings settings;
  frmMain main(settings, services);
  main.Show(true);
  SetFocus(GetDlgItem(main.Handle(), 201));
  PumpUntil([&main] { return main.Ended(); });
  return main.ExitStatus();
}

}  // namespace tessil::win32ui
