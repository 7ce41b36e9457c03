// What every native window of the desktop program shares: texts between
// UTF-8 and UTF-16, sizes given in pixels at 96 dots per inch scaled to the
// screen's, the system's dialog font, standard controls, the gradient
// background, and one window class whose procedure calls the window object.
//
// Built for Windows only; <windows.h> stays inside the face's source files.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tessil::win32ui {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view text);

// Pixels at 96 dots per inch scaled to the screen's dots per inch.
int ScreenDpi();
int Scaled(int pixels);
RECT ScaledRect(int left, int top, int width, int height);
// Twips (1/1440 inch), as some windows' layouts are given, in scaled pixels.
RECT TwipsRect(int left, int top, int width, int height);

// The font Windows uses for message boxes (SPI_GETNONCLIENTMETRICS), made
// once; a bold one and a large serif one for headings and the About box.
HFONT DialogFont();
HFONT BoldDialogFont();
HFONT TitleFont();

// A child control, in the dialog font, at a place given in scaled pixels.
// The order of creation is the tab order.
HWND AddControl(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style, RECT where, int id);

std::wstring TextOf(HWND window);
void SetText(HWND window, std::wstring_view text);
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);

// The vertical gradient of the results window, the exit question and the
// About box: light grey at the top to blue at the bottom.
void PaintGradient(HDC dc, const RECT& area);

// A top-level window of the program. Its object handles its messages; the
// window class is registered once.
class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return handle_; }
  void Show(bool shown);
  bool Visible() const;
  void Destroy();

 protected:
  // Creates the window with a client area of the given scaled size, centred
  // on `centreOn` or, when that is null, on the screen.
  void Create(std::wstring_view caption, DWORD style, int clientWidth, int clientHeight, HWND owner, HWND centreOn,
              HMENU menu = nullptr);
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Paints the client area's background; the default leaves the system's.
  virtual bool PaintBackground(HDC dc);
  // The button Enter presses when the focus is on no button; 0 for none.
  virtual int DefaultButton() const { return 0; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND handle_ = nullptr;
};

// The name of the class every window of the program has; the message pump
// lets dialog keys (Tab, Enter, Esc, access keys) reach windows of it.
inline constexpr wchar_t WindowClassName[] = L"TessilWindow";

// Control id that Esc sends (IDCANCEL) and F1 sends to the active window.
inline constexpr int HelpCommand = 0x7F01;

// Handles one message as the program's pump does: F1 asks the active window
// for help, dialog keys go to the window they belong to, everything else is
// translated and dispatched.
void DispatchMessageOfProgram(MSG& message);
// Handles every message waiting now, and returns.
void ProcessPendingMessages();
// Waits for messages and handles them until `done` answers true; false when
// the program was asked to quit (WM_QUIT, which is put back).
bool PumpUntil(const std::function<bool()>& done);

// Shows `window` modally over `owner`: the owner takes no input until
// `done` answers true or the window is gone.
void RunModal(HWND owner, const std::function<bool()>& done);

}  // namespace tessil::win32ui
