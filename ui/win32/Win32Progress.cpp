// The progress window: draws what the progress window's rules decide and
// forwards its repaint, Cancel, the "Show EcoSim" box and its caption.
#include "Win32Windows.h"

namespace tessil::win32ui {

namespace {

enum : int { Status = 101, Bar, TimeText, ShowEcoSim, ShowEcoSimLabel };
constexpr UINT PaintBarMessage = WM_APP + 1;

// The bar's class: a sunken box that the window paints.
constexpr wchar_t BarClass[] = L"TessilProgressBar";

LRESULT CALLBACK BarProcedure(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(bar, &paint);
    // The window that owns the bar knows how far the run has come.
    SendMessageW(GetParent(bar), PaintBarMessage, reinterpret_cast<WPARAM>(dc), 0);
    EndPaint(bar, &paint);
    return 0;
  }
  return DefWindowProcW(bar, message, wParam, lParam);
}

}  // namespace

void DisableCloseButton(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  RemoveMenu(menu, SC_CLOSE, MF_BYCOMMAND);
  DrawMenuBar(window);
}

frmProgress::frmProgress(ProgressPresenter& rules) : rules_(rules) {
  static const ATOM barClass = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &BarProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = BarClass;
    return RegisterClassExW(&windowClass);
  }();
  (void)barClass;
  // Client area 5550 x 1950 twips, centred on the screen.
  Create(Wide(rules_.State().Title), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 370, 130, nullptr, nullptr);
  pbx2_ = AddControl(Handle(), L"Static", L"", SS_LEFTNOWORDWRAP, TwipsRect(240, 240, 5055, 255), Status);
  pbxProgressBar_ =
      CreateWindowExW(WS_EX_CLIENTEDGE, BarClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, Handle(),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(Bar)), GetModuleHandleW(nullptr), nullptr);
  const RECT bar = TwipsRect(240, 600, 5055, 350);
  MoveWindow(pbxProgressBar_, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, FALSE);
  pbx1_ = AddControl(Handle(), L"Static", L"", SS_LEFTNOWORDWRAP, TwipsRect(240, 1080, 3735, 255), TimeText);
  // Tab order: Cancel, then the box; the box's caption is a label that
  // toggles it.
  cmd1_ = AddControl(Handle(), L"Button", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP | WS_DISABLED,
                     TwipsRect(3960, 1440, 1215, 375), IDCANCEL);
  chk1_ = AddControl(Handle(), L"Button", L"", BS_CHECKBOX | WS_TABSTOP | WS_GROUP | WS_DISABLED,
                     TwipsRect(3960, 1110, 195, 195), ShowEcoSim);
  lbl1_ = AddControl(Handle(), L"Static", L"Show EcoSim", SS_NOTIFY, TwipsRect(4220, 1120, 1335, 255), ShowEcoSimLabel);
}

void frmProgress::Draw(const ProgressState& state) {
  auto text = [](HWND window, const std::string& now, const std::string& before) {
    if (now != before) SetText(window, Wide(now));
  };
  text(Handle(), state.Title, shown_.Title);
  text(pbx2_, state.StatusLine, shown_.StatusLine);
  text(pbx1_, state.TimeLine, shown_.TimeLine);
  if (state.BarDone != shown_.BarDone || state.BarTotal != shown_.BarTotal) {
    InvalidateRect(pbxProgressBar_, nullptr, TRUE);
  }
  if (state.CancelEnabled != shown_.CancelEnabled) {
    // The focus leaves the button before it is disabled, so that the
    // window's keys still work.
    if (!state.CancelEnabled && GetFocus() == cmd1_) SetFocus(Handle());
    EnableWindow(cmd1_, state.CancelEnabled ? TRUE : FALSE);
  }
  EnableWindow(chk1_, state.ShowEcoSimEnabled ? TRUE : FALSE);
  SetChecked(chk1_, state.ShowEcoSimChecked);
  shown_ = state;
  UpdateWindow(Handle());
}

void frmProgress::PaintBar(HDC dc, const RECT& area) const {
  if (shown_.BarTotal <= 0) return;
  const auto width = static_cast<double>(area.right - area.left);
  RECT filled = area;
  filled.right = area.left + static_cast<LONG>(width * static_cast<double>(std::min(shown_.BarDone, shown_.BarTotal)) /
                                               static_cast<double>(shown_.BarTotal));
  HBRUSH navy = CreateSolidBrush(RGB(0, 0, 128));
  FillRect(dc, &filled, navy);
  DeleteObject(navy);
}

void frmProgress::Unload() {
  unloading_ = true;
  Destroy();
}

LRESULT frmProgress::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case PaintBarMessage: {
      RECT area{};
      GetClientRect(pbxProgressBar_, &area);
      PaintBar(reinterpret_cast<HDC>(wParam), area);
      return 0;
    }
    case WM_PAINT:
      // A repaint during the run recomputes the estimate from the clock.
      if (!painting_) {
        painting_ = true;
        rules_.Repaint();
        painting_ = false;
      }
      break;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
          if (shown_.CancelEnabled) rules_.Cancel();
          break;
        case ShowEcoSim:
          if (HIWORD(wParam) == BN_CLICKED && shown_.ShowEcoSimEnabled)
            rules_.CheckShowEcoSim(!shown_.ShowEcoSimChecked);
          break;
        case ShowEcoSimLabel:
          if (HIWORD(wParam) == STN_CLICKED) rules_.ClickShowEcoSimLabel();
          break;
        default:
          break;
      }
      return 0;
    case WM_CLOSE:
      // Only the end of the run closes the window: Cancel is the way out.
      if (!unloading_ && !ProgressPresenter::FrameCloseAllowed()) return 0;
      break;
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

}  // namespace tessil::win32ui
