#include "Win32Progress.h"

#include "FaceRules.h"

namespace tessil::win32ui {

namespace {

enum : int { Status = 101, Bar, TimeText, ShowEcoSim, ShowEcoSimLabel };

// The bar's class: a sunken box that the window paints.
constexpr wchar_t BarClass[] = L"TessilProgressBar";

LRESULT CALLBACK BarProcedure(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(bar, &paint);
    // The window that owns the bar knows how far the run has come.
    SendMessageW(GetParent(bar), WM_APP, reinterpret_cast<WPARAM>(dc), 0);
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

frmProgress::frmProgress(RunSettings& settings, Clock& clock) : settings_(settings), clock_(clock) {
  static const ATOM bar = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &BarProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = BarClass;
    return RegisterClassExW(&windowClass);
  }();
  (void)bar;
  // Client area 5550 x 1950 twips.
  Create(L"Tessil Progress...", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 370, 130, nullptr, nullptr);
  pbx2_ = AddControl(Handle(), L"Static", L"", SS_LEFTNOWORDWRAP, TwipsRect(240, 240, 5055, 255), Status);
  pbxProgressBar_ = AddControl(Handle(), BarClass, L"", 0, TwipsRect(240, 600, 5055, 350), Bar);
  SetWindowLongPtrW(pbxProgressBar_, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
  SetWindowPos(pbxProgressBar_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  pbx1_ = AddControl(Handle(), L"Static", L"", SS_LEFTNOWORDWRAP, TwipsRect(240, 1080, 3735, 255), TimeText);
  // The box alone, its caption a label that toggles it: tab order Cancel,
  // then the box.
  cmd1_ = AddControl(Handle(), L"Button", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP | WS_DISABLED,
                     TwipsRect(3960, 1440, 1215, 375), IDCANCEL);
  chk1_ = AddControl(Handle(), L"Button", L"", BS_CHECKBOX | WS_TABSTOP | WS_GROUP | WS_DISABLED,
                     TwipsRect(3960, 1110, 195, 195), ShowEcoSim);
  lbl1_ = AddControl(Handle(), L"Static", L"Show EcoSim", SS_NOTIFY, TwipsRect(4220, 1120, 1335, 255),
                     ShowEcoSimLabel);
}

void frmProgress::UpdateProgress() {
  if (Redraw()) ProcessPendingMessages();
}

bool frmProgress::Redraw() {
  const std::int64_t done = settings_.TestsDone;
  const std::int64_t total = TotalMatrices(settings_);
  // Once Cancel has been pressed the time line says so until the run ends.
  if (!closing_) SetText(pbx1_, Wide(TimeLine(settings_, clock_.SecondsSinceMidnight())));
  SetText(Handle(), L"Tessil Progress... " + std::to_wstring(TitlePercent(done, total)) + L"%");
  SetText(pbx2_, L"EcoSim Simulation: " + std::to_wstring(done) + L" of " + std::to_wstring(total));
  if (done > total) return false;
  barDone_ = done;
  barTotal_ = total;
  InvalidateRect(pbxProgressBar_, nullptr, TRUE);
  UpdateWindow(pbxProgressBar_);
  return true;
}

void frmProgress::Repaint() {
  if (settings_.TestsDone <= 0) {
    SetText(Handle(), L"Tessil Progress... Initializing");
    SetText(pbx2_, L"Initializing Ecosim...");
    if (!closing_) EnableWindow(cmd1_, TRUE);
    return;
  }
  Redraw();
}

void frmProgress::PaintBar(HDC dc, const RECT& area) const {
  if (barTotal_ <= 0) return;
  const auto width = static_cast<double>(area.right - area.left);
  RECT filled = area;
  filled.right = area.left + static_cast<LONG>(width * static_cast<double>(barDone_) / static_cast<double>(barTotal_));
  HBRUSH navy = CreateSolidBrush(RGB(0, 0, 128));
  FillRect(dc, &filled, navy);
  DeleteObject(navy);
}

void frmProgress::cmd1_Click() {
  closing_ = true;
  // The focus leaves the button before it is disabled, so that the keys of
  // the window still work.
  SetFocus(chk1_);
  EnableWindow(cmd1_, FALSE);
  SetText(pbx1_, L"Closing EcoSim...");
  ProcessPendingMessages();
  cancelRequested_ = true;
}

void frmProgress::chk1_Click() {
  if (IsWindowEnabled(chk1_) == 0) return;
  const bool checked = !IsChecked(chk1_);
  SetChecked(chk1_, checked);
  if (ecosim_ == nullptr) return;
  try {
    for (const char* name : {"Main", "Progress", "Coop", "Results"}) ecosim_->PlaceEcoSimWindow(name, checked ? 1 : 0);
  } catch (const EcoSimWindowMissing&) {
    // EcoSim's windows come and go with its start-up and shutdown; one that
    // is not there now is not placed, and the run goes on.
  }
}

void frmProgress::EnableShowEcoSim() { EnableWindow(chk1_, TRUE); }

void frmProgress::ReportProgramMissing(std::string_view message) { Inform(Handle(), message); }

void frmProgress::Unload() {
  unloading_ = true;
  Destroy();
}

LRESULT frmProgress::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_APP: {
      RECT area{};
      GetClientRect(pbxProgressBar_, &area);
      PaintBar(reinterpret_cast<HDC>(wParam), area);
      return 0;
    }
    case WM_PAINT:
      // A repaint during the run recomputes the estimate from the clock.
      if (!painting_) {
        painting_ = true;
        Repaint();
        painting_ = false;
      }
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL && IsWindowEnabled(cmd1_) != 0) cmd1_Click();
      if (LOWORD(wParam) == ShowEcoSim && HIWORD(wParam) == BN_CLICKED) chk1_Click();
      if (LOWORD(wParam) == ShowEcoSimLabel && HIWORD(wParam) == STN_CLICKED) chk1_Click();
      return 0;
    case WM_CLOSE:
      // Only the end of the run closes the window: Cancel is the way out.
      if (!unloading_) return 0;
      break;
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

}  // namespace tessil::win32ui
