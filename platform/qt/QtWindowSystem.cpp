#include "QtWindowSystem.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "QtWindows.h"
#include "WindowMessages.h"
#include "WindowRegistry.h"

namespace tessil {

using qtwin::WindowEntry;
using qtwin::WindowMessageEvent;
using qtwin::WindowRegistry;

namespace {

std::string Latin1(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Tessil's own windows keep their text in Qt; EcoSim's in the registry.
std::string CurrentText(const WindowEntry& entry) {
  return entry.Managed ? entry.Text : Latin1(entry.Widget->windowTitle());
}

bool Matches(const WindowEntry& entry, std::string_view className, std::optional<std::string_view> text) {
  if (!SameWindowText(entry.ClassName, className)) return false;
  if (!text) return true;
  // What look-ups compare: EcoSim's windows keep it in the registry,
  // Tessil's own in Qt.
  return entry.Managed ? SameWindowText(entry.Name, *text) : SameWindowText(Latin1(entry.Widget->windowTitle()), *text);
}

std::intptr_t Deliver(WindowRegistry& registry, WindowHandle window, WindowMessageEvent& message) {
  return qtwin::SendWindowMessage(registry, window, message);
}

}  // namespace

QtWindowSystem::QtWindowSystem(qtwin::WindowWorld& world) : QtWindowSystem(world, Options{}) {}

QtWindowSystem::QtWindowSystem(qtwin::WindowWorld& world, Options options) : world_(world), options_(options) {}

// Whether the window belongs to the program this window system started: the
// program owns the top-level window the window lies in.
bool QtWindowSystem::Sees(WindowHandle window) {
  const qtwin::HostedProgram* started = world_.Programs().Running(started_);
  if (started == nullptr) return false;
  WindowHandle top = window;
  const WindowEntry* entry = Registry().Find(window);
  for (; entry != nullptr && entry->Parent != NoWindow; entry = Registry().Find(entry->Parent)) top = entry->Parent;
  // A top-level window that exists, and was found the program's before
  // while the same start of it runs, is the program's still: handles and
  // starts are never given out twice, and a window never changes program.
  if (entry != nullptr && started_ == ownedProgram_ && top == ownedTop_) return true;
  if (!started->OwnsWindow(top)) return false;
  ownedProgram_ = started_;
  ownedTop_ = top;
  return true;
}

WindowHandle QtWindowSystem::FindWindow(std::string_view className, std::optional<std::string_view> text) {
  for (const WindowHandle window : Registry().TopLevels()) {
    const WindowEntry* entry = Registry().Find(window);
    if (entry != nullptr && Matches(*entry, className, text) && Sees(window)) return window;
  }
  return NoWindow;
}

WindowHandle QtWindowSystem::FindWindowEx(WindowHandle parent, WindowHandle after, std::string_view className,
                                          std::optional<std::string_view> text) {
  const WindowEntry* p = Registry().Find(parent);
  if (p == nullptr || !Sees(parent)) return NoWindow;
  auto child = p->Children.begin();
  if (after != NoWindow) {
    child = std::find(p->Children.begin(), p->Children.end(), after);
    // A sibling that is not a child of this parent finds nothing.
    if (child == p->Children.end()) return NoWindow;
    ++child;
  }
  for (; child != p->Children.end(); ++child) {
    const WindowEntry* entry = Registry().Find(*child);
    if (entry != nullptr && Matches(*entry, className, text)) return *child;
  }
  return NoWindow;
}

bool QtWindowSystem::IsWindowVisible(WindowHandle window) { return Registry().IsVisible(window); }

bool QtWindowSystem::IsWindow(WindowHandle window) { return Registry().Find(window) != nullptr; }

bool QtWindowSystem::PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  QWidget* widget = qtwin::WidgetOf(Registry(), window);
  if (widget == nullptr) return false;
  QCoreApplication::postEvent(widget, new WindowMessageEvent(window, message, wParam, lParam, true));
  return true;
}

template <typename Fill>
std::intptr_t QtWindowSystem::Send(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam, Fill fill) {
  if (sending_) {
    WindowMessageEvent m(window, message, wParam, lParam, false);
    fill(m);
    return Deliver(Registry(), window, m);
  }
  // Each send starts from an event as new: nothing of the last one's is
  // left in it.
  WindowMessageEvent& m = sent_;
  m.Target = window;
  m.Message = message;
  m.WParam = wParam;
  m.LParam = lParam;
  m.Text.clear();
  m.Buffer = {};
  m.Handled = false;
  m.Result = 0;
  m.setAccepted(true);
  fill(m);
  struct Sending {
    bool& Flag;
    explicit Sending(bool& flag) : Flag(flag) { Flag = true; }
    ~Sending() { Flag = false; }
    Sending(const Sending&) = delete;
    Sending& operator=(const Sending&) = delete;
  } sending(sending_);
  return Deliver(Registry(), window, m);
}

std::intptr_t QtWindowSystem::SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return Send(window, message, wParam, lParam, [](WindowMessageEvent&) {});
}

std::intptr_t QtWindowSystem::SendTextMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                              std::string_view text) {
  return Send(window, message, wParam, 0, [text](WindowMessageEvent& m) { m.Text = text; });
}

std::intptr_t QtWindowSystem::SendBufferMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                                std::span<char> buffer) {
  return Send(window, message, wParam, 0, [buffer](WindowMessageEvent& m) { m.Buffer = buffer; });
}

WindowHandle QtWindowSystem::SetFocus(WindowHandle window) {
  const WindowHandle previous = Registry().Focus();
  if (QWidget* widget = qtwin::WidgetOf(Registry(), window)) {
    widget->setFocus(Qt::OtherFocusReason);
    Registry().SetFocusRecord(window);
  } else if (window == NoWindow) {
    Registry().SetFocusRecord(NoWindow);
  }
  return previous;
}

int QtWindowSystem::GetWindowText(WindowHandle window, std::span<char> buffer) {
  if (buffer.empty()) return 0;
  const WindowEntry* entry = Registry().Find(window);
  const std::string text = entry == nullptr ? std::string() : CurrentText(*entry);
  const std::size_t copied = std::min(text.size(), buffer.size() - 1);
  std::memcpy(buffer.data(), text.data(), copied);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}

std::int32_t QtWindowSystem::GetWindowLong(WindowHandle window, int index) {
  const WindowEntry* entry = Registry().Find(window);
  return entry != nullptr && index == win::GWL_EXSTYLE ? entry->ExStyle : 0;
}

std::int32_t QtWindowSystem::SetWindowLong(WindowHandle window, int index, std::int32_t value) {
  WindowEntry* entry = Registry().Find(window);
  if (entry == nullptr || index != win::GWL_EXSTYLE) return 0;
  const std::int32_t previous = entry->ExStyle;
  entry->ExStyle = value;
  ApplyExStyle(window);
  return previous;
}

bool QtWindowSystem::SetLayeredWindowAttributes(WindowHandle window, std::uint32_t, std::uint8_t alpha,
                                                std::uint32_t flags) {
  WindowEntry* entry = Registry().Find(window);
  if (entry == nullptr) return false;
  if ((flags & win::LWA_ALPHA) != 0) entry->Alpha = alpha;
  ApplyExStyle(window);
  return true;
}

// A layered window is drawn with its alpha; a transparent one lets the mouse
// through to what lies beneath.
void QtWindowSystem::ApplyExStyle(WindowHandle window) {
  WindowEntry* entry = Registry().Find(window);
  QWidget* widget = entry->Widget.data();
  if (!widget->isWindow()) return;
  const bool layered = (entry->ExStyle & win::WS_EX_LAYERED) != 0;
  widget->setWindowOpacity(layered && entry->Alpha ? *entry->Alpha / 255.0 : 1.0);
  const bool transparent = (entry->ExStyle & win::WS_EX_TRANSPARENT) != 0;
  widget->setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
  if (widget->windowFlags().testFlag(Qt::WindowTransparentForInput) != transparent) {
    // Qt hides a window whose flags change; put it back as it was.
    const bool wasMapped = widget->isVisible();
    widget->setWindowFlag(Qt::WindowTransparentForInput, transparent);
    if (entry->Managed) {
      Registry().UpdateMapping(*entry);
    } else if (wasMapped) {
      widget->show();
    }
  }
}

bool QtWindowSystem::SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int width, int height,
                                  std::uint32_t flags) {
  WindowEntry* entry = Registry().Find(window);
  if (entry == nullptr) return false;
  QWidget* widget = entry->Widget.data();
  QRect rect = entry->Placed.value_or(widget->geometry());
  if ((flags & win::SWP_NOMOVE) == 0) rect.moveTo(x, y);
  if ((flags & win::SWP_NOSIZE) == 0) rect.setSize(QSize(width, height));
  entry->Placed = rect;
  widget->setGeometry(rect);
  if (entry->Parent != NoWindow) return true;

  const ScreenSize screen = ScreenSizeInPixels();
  entry->OnScreen = rect.intersects(QRect(0, 0, screen.Width, screen.Height));
  if ((flags & win::SWP_NOZORDER) == 0) {
    std::vector<WindowHandle>& z = Registry().StackingOrder();
    std::erase(z, window);
    if (insertAfter == win::HWND_BOTTOM) {
      z.push_back(window);
    } else if (const auto at = std::find(z.begin(), z.end(), insertAfter); at != z.end()) {
      z.insert(at + 1, window);
    } else {
      z.insert(z.begin(), window);
    }
  }
  Registry().UpdateMapping(*entry);
  Registry().Restack();
  return true;
}

bool QtWindowSystem::ShowWindow(WindowHandle window, int command) {
  WindowEntry* entry = Registry().Find(window);
  if (entry == nullptr) return false;
  const bool wasVisible = entry->Managed ? entry->Shown : entry->Widget->isVisible();
  qtwin::SetShown(Registry(), entry->Widget.data(), command != win::SW_HIDE);
  return wasVisible;
}

bool QtWindowSystem::SetForegroundWindow(WindowHandle window) {
  WindowEntry* entry = Registry().Find(window);
  if (entry == nullptr || entry->Parent != NoWindow) return false;
  std::vector<WindowHandle>& z = Registry().StackingOrder();
  std::erase(z, window);
  z.insert(z.begin(), window);
  if (entry->Widget->isVisible() && WindowRegistry::ScreenStacksWindows()) {
    entry->Widget->raise();
    entry->Widget->activateWindow();
  }
  return true;
}

std::intptr_t QtWindowSystem::ShellExecute(WindowHandle, std::string_view verb, const std::string& file,
                                           const std::string&, const std::string& directory, int) {
  // Whatever happens, the program started before is no longer Tessil's.
  started_ = 0;
  if (!SameWindowText(verb, "open")) return win::SE_ERR_NOASSOC;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return win::SE_ERR_FNF;
  // A file that starts no program this world knows will not run.
  started_ = world_.Programs().StartProgramLater(file, directory);
  return started_ != 0 ? win::SE_STARTED : win::SE_ERR_NOASSOC;
}

void QtWindowSystem::SetSendWait(std::function<void()> whileWaiting) { sendWait_ = std::move(whileWaiting); }

bool QtWindowSystem::StartedProgramEnded() { return world_.Programs().HasEnded(started_); }

// A program hosted in this process has no exit code of its own.
std::optional<std::uint32_t> QtWindowSystem::StartedProgramExitCode() { return std::nullopt; }

void QtWindowSystem::WaitForMessages(int milliseconds) {
  // Qt's event loop sleeps until an event, a timer or a posted event comes:
  // the stand-in hosted here runs on the same loop (its timers, its
  // workers' posted results) and so goes on at full speed, and ends on it.
  // The timer bounds the sleep.
  if (!wake_) {
    wake_ = std::make_unique<QTimer>();
    wake_->setSingleShot(true);
    wake_->setTimerType(Qt::PreciseTimer);
  }
  wake_->start(std::max(milliseconds, 0));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  wake_->stop();
}

void QtWindowSystem::LeaveBehind(WindowHandle window) { world_.Programs().EndProgramOwning(window); }

void QtWindowSystem::ProcessPendingMessages() {
  if (options_.FullTurnSeconds > 0) {
    QCoreApplication::sendPostedEvents();
    // Reading the clock costs as much as the rest of a turn that finds
    // nothing posted: it is read only every few turns.
    if (++turnsSinceClock_ < TurnsBetweenClockReads) return;
    turnsSinceClock_ = 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastFullTurn_ < std::chrono::duration<double>(options_.FullTurnSeconds)) return;
    lastFullTurn_ = now;
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

ScreenSize QtWindowSystem::ScreenSizeInPixels() {
  if (options_.Screen) return *options_.Screen;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QSizeF size = screen->size();
  return {static_cast<int>(std::lround(size.width())), static_cast<int>(std::lround(size.height()))};
}

double QtWindowSystem::SecondsSinceMidnight() {
  return options_.Time != nullptr ? options_.Time->SecondsSinceMidnight() : systemClock_.SecondsSinceMidnight();
}

double QtWindowSystem::MonotonicSeconds() {
  if (options_.Time != nullptr) return options_.Time->SecondsSinceMidnight();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::optional<QRect> QtWindowSystem::PlacedGeometry(WindowHandle window) const {
  const WindowEntry* entry = Registry().Find(window);
  return entry == nullptr ? std::nullopt : entry->Placed;
}

std::vector<WindowHandle> QtWindowSystem::StackingOrder() const { return Registry().StackingOrder(); }

bool QtWindowSystem::IsMapped(WindowHandle window) const {
  const WindowEntry* entry = Registry().Find(window);
  return entry != nullptr && entry->Widget->isVisible();
}

std::optional<std::uint8_t> QtWindowSystem::LayeredAlpha(WindowHandle window) const {
  const WindowEntry* entry = Registry().Find(window);
  return entry == nullptr ? std::nullopt : entry->Alpha;
}

}  // namespace tessil
