#include "Win32Controls.h"

#include <commctrl.h>

#include <algorithm>

namespace tessil::win32ui {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

int ScreenDpi() {
  static const int dpi = [] {
    HDC screen = GetDC(nullptr);
    const int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return value > 0 ? value : 96;
  }();
  return dpi;
}

int Scaled(int pixels) { return MulDiv(pixels, ScreenDpi(), 96); }

RECT ScaledRect(int left, int top, int width, int height) {
  return RECT{Scaled(left), Scaled(top), Scaled(left + width), Scaled(top + height)};
}

RECT TwipsRect(int left, int top, int width, int height) {
  // 15 twips to the pixel at 96 dots per inch.
  return ScaledRect(left / 15, top / 15, width / 15, height / 15);
}

namespace {

LOGFONTW MessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != 0 &&
      metrics.lfMessageFont.lfFaceName[0] != L'\0') {
    return metrics.lfMessageFont;
  }
  // A machine that answers nothing still has the stock GUI font.
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  return font;
}

}  // namespace

HFONT DialogFont() {
  static HFONT font = [] {
    LOGFONTW log = MessageFont();
    return CreateFontIndirectW(&log);
  }();
  return font;
}

HFONT BoldDialogFont() {
  static HFONT font = [] {
    LOGFONTW log = MessageFont();
    log.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&log);
  }();
  return font;
}

HFONT TitleFont() {
  static HFONT font = [] {
    LOGFONTW log = MessageFont();
    // 24 points; a serif face where the machine has one, else the dialog's.
    log.lfHeight = -MulDiv(24, ScreenDpi(), 72);
    log.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    wcsncpy(log.lfFaceName, L"Times New Roman", LF_FACESIZE - 1);
    return CreateFontIndirectW(&log);
  }();
  return font;
}

namespace {

// Posted to a window of the program when one of its push buttons has lost
// the focus: once the focus has settled, the default button follows it.
constexpr UINT FollowFocusMessage = WM_APP + 0x7E0;
constexpr UINT_PTR FocusMarkSubclass = 0x7E55;

bool IsPushButton(HWND control) {
  wchar_t name[16] = {};
  if (control == nullptr || GetClassNameW(control, name, 16) == 0) return false;
  if (CompareStringOrdinal(name, -1, L"Button", -1, TRUE) != CSTR_EQUAL) return false;
  const LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// A button that looks like a push button: a push button, or a check box or
// radio button drawn as one (the results window's "Report" and "Chart").
// Each carries the same focus frame.
bool LooksLikePushButton(HWND control) {
  if (IsPushButton(control)) return true;
  wchar_t name[16] = {};
  if (control == nullptr || GetClassNameW(control, name, 16) == 0) return false;
  return CompareStringOrdinal(name, -1, L"Button", -1, TRUE) == CSTR_EQUAL &&
         (GetWindowLongPtrW(control, GWL_STYLE) & BS_PUSHLIKE) != 0;
}

// Makes `chosen` the window's one default push button, the one drawn with
// the heavy border, which Enter presses.
void MarkDefault(HWND window, HWND chosen) {
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsPushButton(child)) continue;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
    const DWORD wanted = child == chosen ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if ((style & BS_TYPEMASK) != wanted)
      SendMessageW(child, BM_SETSTYLE, (style & 0xFFFF & ~BS_TYPEMASK) | wanted, TRUE);
  }
}

// A dark frame inside the focused button, wider than the system's dotted
// rectangle and drawn whether or not the keyboard has been used yet. It
// takes the button's text colour, which stands out on the button's face in
// every colour scheme, high contrast included.
void DrawFocusFrame(HWND button, HDC dc) {
  RECT inside{};
  GetClientRect(button, &inside);
  const int inset = Scaled(3);
  const int width = std::max(2, Scaled(2));
  InflateRect(&inside, -inset, -inset);
  if (inside.right - inside.left <= 2 * width || inside.bottom - inside.top <= 2 * width) return;
  HBRUSH dark = GetSysColorBrush(COLOR_BTNTEXT);
  const RECT sides[] = {{inside.left, inside.top, inside.right, inside.top + width},
                        {inside.left, inside.bottom - width, inside.right, inside.bottom},
                        {inside.left, inside.top, inside.left + width, inside.bottom},
                        {inside.right - width, inside.top, inside.right, inside.bottom}};
  for (const RECT& side : sides) FillRect(dc, &side, dark);
}

LRESULT CALLBACK MarkedButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      const LRESULT result = DefSubclassProc(button, message, wParam, lParam);
      if (GetFocus() == button) {
        HDC dc = wParam != 0 ? reinterpret_cast<HDC>(wParam) : GetDC(button);
        DrawFocusFrame(button, dc);
        if (wParam == 0) ReleaseDC(button, dc);
      }
      return result;
    }
    case WM_SETFOCUS: {
      const LRESULT result = DefSubclassProc(button, message, wParam, lParam);
      // Only a push button becomes the default one; the push-like choices
      // answer Enter themselves.
      if (IsPushButton(button)) MarkDefault(GetParent(button), button);
      InvalidateRect(button, nullptr, FALSE);
      return result;
    }
    case WM_KILLFOCUS: {
      const LRESULT result = DefSubclassProc(button, message, wParam, lParam);
      PostMessageW(GetParent(button), FollowFocusMessage, 0, 0);
      InvalidateRect(button, nullptr, FALSE);
      return result;
    }
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE: {
      // The button paints itself at once for these, over the frame.
      const LRESULT result = DefSubclassProc(button, message, wParam, lParam);
      if (GetFocus() == button) InvalidateRect(button, nullptr, FALSE);
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(button, &MarkedButtonProcedure, FocusMarkSubclass);
      break;
    default:
      break;
  }
  return DefSubclassProc(button, message, wParam, lParam);
}

// Windows hides focus rectangles until the keyboard is used; a user who
// answers the exit question by the keyboard must see which button Enter
// presses before touching a key.
void ShowFocusCues(HWND window) { SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0); }

}  // namespace

HWND AddControl(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style, RECT where, int id) {
  const std::wstring caption(text);
  HWND control = CreateWindowExW(0, className, caption.c_str(), WS_CHILD | WS_VISIBLE | style, where.left, where.top,
                                 where.right - where.left, where.bottom - where.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  if (LooksLikePushButton(control)) SetWindowSubclass(control, &MarkedButtonProcedure, FocusMarkSubclass, 0);
  return control;
}

std::wstring TextOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

void SetText(HWND window, std::wstring_view text) {
  const std::wstring copy(text);
  SetWindowTextW(window, copy.c_str());
}

bool IsChecked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked) {
  SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void PaintGradient(HDC dc, const RECT& area) {
  const int height = std::max(1, static_cast<int>(area.bottom - area.top));
  for (int y = 0; y < height; ++y) {
    auto blend = [&](int top, int bottom) { return static_cast<BYTE>(top + (bottom - top) * y / height); };
    HBRUSH brush = CreateSolidBrush(RGB(blend(202, 43), blend(202, 133), blend(202, 190)));
    const RECT line{area.left, area.top + y, area.right, area.top + y + 1};
    FillRect(dc, &line, brush);
    DeleteObject(brush);
  }
}

Window::~Window() { Destroy(); }

void Window::Show(bool shown) {
  if (handle_ != nullptr) ShowWindow(handle_, shown ? SW_SHOW : SW_HIDE);
}

bool Window::Visible() const { return handle_ != nullptr && IsWindowVisible(handle_) != 0; }

void Window::Destroy() {
  if (handle_ == nullptr) return;
  HWND window = handle_;
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  handle_ = nullptr;
  DestroyWindow(window);
}

void Window::Create(std::wstring_view caption, DWORD style, int clientWidth, int clientHeight, HWND owner,
                    HWND centreOn, HMENU menu) {
  static const ATOM registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Window::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    windowClass.lpszClassName = WindowClassName;
    return RegisterClassExW(&windowClass);
  }();
  (void)registered;
  RECT frame{0, 0, Scaled(clientWidth), Scaled(clientHeight)};
  AdjustWindowRectEx(&frame, style, menu != nullptr ? TRUE : FALSE, WS_EX_CONTROLPARENT);
  const std::wstring text(caption);
  handle_ =
      CreateWindowExW(WS_EX_CONTROLPARENT, WindowClassName, text.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                      frame.right - frame.left, frame.bottom - frame.top, owner, menu, GetModuleHandleW(nullptr), this);
  RECT around{};
  if (centreOn != nullptr) {
    GetWindowRect(centreOn, &around);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  }
  RECT own{};
  GetWindowRect(handle_, &own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  SetWindowPos(handle_, nullptr, std::max(0L, (around.left + around.right - width) / 2),
               std::max(0L, (around.top + around.bottom - height) / 2), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(handle_, message, wParam, lParam);
}

bool Window::PaintBackground(HDC) { return false; }

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<Window*>(created->lpCreateParams);
    self->handle_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      if (self->PaintBackground(reinterpret_cast<HDC>(wParam))) return 1;
      break;
    case DM_GETDEFID: {
      // The dialog manager asks which button Enter presses: the focused
      // push button, else the window's own default.
      HWND focus = GetFocus();
      if (IsPushButton(focus) && GetParent(focus) == window) return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
      if (self->DefaultButton() != 0) return MAKELRESULT(self->DefaultButton(), DC_HASDEFID);
      return 0;
    }
    case FollowFocusMessage: {
      HWND focus = GetFocus();
      // Off the buttons, the window's own default returns; labels have the
      // id 0, which is no button.
      const bool onButton = IsPushButton(focus) && GetParent(focus) == window;
      const int own = self->DefaultButton();
      MarkDefault(window, onButton ? focus : own != 0 ? GetDlgItem(window, own) : nullptr);
      return 0;
    }
    default:
      break;
  }
  const LRESULT result = self->OnMessage(message, wParam, lParam);
  if ((message == WM_SHOWWINDOW && wParam != 0) || (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE)) {
    ShowFocusCues(window);
  }
  return result;
}

namespace {

bool IsProgramWindow(HWND window) {
  wchar_t name[64] = {};
  return window != nullptr && GetClassNameW(window, name, 64) > 0 && std::wstring_view(name) == WindowClassName;
}

}  // namespace

void DispatchMessageOfProgram(MSG& message) {
  HWND top = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (IsProgramWindow(top)) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_F1) {
      PostMessageW(top, WM_COMMAND, MAKEWPARAM(HelpCommand, 0), 0);
      return;
    }
    // Tab, Shift+Tab, arrows within a group, Enter, Esc and access keys.
    // Only keys go through the dialog manager: it dispatches every other
    // message itself, which inside the waits for EcoSim held the run still.
    const bool key = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
    if (key && IsDialogMessageW(top, &message) != 0) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    DispatchMessageOfProgram(message);
  }
}

bool PumpUntil(const std::function<bool()>& done) {
  MSG message;
  while (!done()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    DispatchMessageOfProgram(message);
  }
  return true;
}

void RunModal(HWND owner, const std::function<bool()>& done) {
  const bool ownerEnabled = owner != nullptr && IsWindowEnabled(owner) != 0;
  if (ownerEnabled) EnableWindow(owner, FALSE);
  PumpUntil(done);
  if (ownerEnabled) {
    // The owner takes input again before the modal window goes, so that
    // Windows activates it rather than another program.
    EnableWindow(owner, TRUE);
    if (IsWindowVisible(owner) != 0) SetActiveWindow(owner);
  }
}

}  // namespace tessil::win32ui
