// How Qt widgets of this process take part in the window system that
// Tessil's window protocol sees: each window widget gets a 32-bit handle, a
// window class and a name; messages reach it as Qt events (posted messages
// as posted events, sent messages as sent events); its visibility as the
// protocol sees it is kept apart from whether it is mapped on the screen.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "WindowHandle.h"

namespace tessil::qtwin {

class WindowRegistry;

// A window message as a Qt event. Sent messages are delivered with
// QCoreApplication::sendEvent and answer through Result; posted ones with
// postEvent.
class WindowMessageEvent final : public QEvent {
 public:
  // Made for every message sent, three times for each cell of a typed
  // matrix: both kept inline.
  static QEvent::Type EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }

  WindowMessageEvent(WindowHandle target, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                     bool posted)
      : QEvent(EventType()), Target(target), Message(message), WParam(wParam), LParam(lParam), Posted(posted) {}

  WindowHandle Target;
  std::uint32_t Message;
  std::uintptr_t WParam;
  std::intptr_t LParam;
  bool Posted;
  // WM_SETTEXT: the single-byte text lParam names.
  std::string Text;
  // EM_GETLINE, WM_GETTEXT: the buffer lParam names (sent messages only).
  std::span<char> Buffer;
  // Set by the window that handled the message; the default handling of
  // the window system then stays out.
  bool Handled = false;
  std::intptr_t Result = 0;
};

// Each function below works in the registry of one window world
// (WindowWorld.h): the windows a window system of that world sees.

// Makes a widget a window of the window system, with a window class and the
// text it is created with. Its parent window is the nearest ancestor widget
// that is a window; children are ordered by creation. A top-level window
// made this way starts hidden and is only ever mapped on the screen once it
// is both visible to the protocol and placed on the screen.
WindowHandle MakeWindow(WindowRegistry& registry, QWidget* widget, std::string_view className, std::string_view text);
// The handle of any widget. A widget that is not yet a window becomes one,
// with its Qt class name as class and its window title as text; its
// visibility and geometry stay Qt's own (Tessil's own windows).
WindowHandle HandleOf(WindowRegistry& registry, QWidget* widget);
// The handle of a widget that is a window; 0 for any other widget.
WindowHandle FindHandle(const WindowRegistry& registry, const QWidget* widget);
// The widget of a handle; null for 0 and for a destroyed window.
QWidget* WidgetOf(WindowRegistry& registry, WindowHandle window);

// Destroys a window and its children as the window system sees them at
// once (look-ups no longer find them, IsWindow is false); the widget itself
// is deleted at the next turn of message processing, so a window may
// destroy itself from one of its own handlers.
void DestroyWindow(WindowRegistry& registry, QWidget* window);

// The window's own visible flag. A window is visible to the protocol when it
// and every window above it have the flag.
void SetShown(WindowRegistry& registry, QWidget* window, bool shown);
bool IsShown(WindowRegistry& registry, QWidget* window);
// The window's text: a caption, or an edit control's content. Edit controls
// keep the name they were created with for look-ups.
void SetText(WindowRegistry& registry, QWidget* window, std::string_view text);
std::string TextOf(WindowRegistry& registry, const QWidget* window);

// Delivers a sent message at once and returns the window's answer (0 for
// 0 and for a destroyed window). A window made with MakeWindow gets it from
// its procedures, the last attached first, then from the default handling,
// without a trip through Qt's event delivery: typing a matrix sends three
// messages for every cell. Tessil's own windows get it as a sent Qt event.
std::intptr_t SendWindowMessage(WindowRegistry& registry, WindowHandle window, WindowMessageEvent& message);

// A window's message handler: attach it to windows made with MakeWindow;
// it sees each message before the window system's default handling.
class WindowProcedure : public QObject {
 public:
  // `window` must be a window of `registry`.
  void Attach(WindowRegistry& registry, QWidget* window);
  // Hands the message to the handler unless an earlier one took it; true
  // when this one took it.
  bool Deliver(QWidget* window, WindowMessageEvent& message);

 protected:
  // Handles one message; return true (and set Result) when it was handled.
  virtual bool HandleMessage(QWidget* window, WindowMessageEvent& message) = 0;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tessil::qtwin
