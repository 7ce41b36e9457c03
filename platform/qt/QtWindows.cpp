#include "QtWindows.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <algorithm>
#include <cstring>

#include "WindowMessages.h"
#include "WindowRegistry.h"
#include "WindowSystem.h"

namespace tessil::qtwin {

namespace {

// Line `index` of an edit control's text; a single-line edit has only its
// whole text, whatever line is asked for.
std::optional<std::string_view> EditLine(const WindowEntry& entry, std::uintptr_t index) {
  std::string_view text = entry.Text;
  if (entry.ClassName != "TMemo") return text;
  for (std::uintptr_t line = 0;; ++line) {
    const std::size_t end = text.find('\n');
    std::string_view current = text.substr(0, end);
    if (!current.empty() && current.back() == '\r') current.remove_suffix(1);
    if (line == index) return current;
    if (end == std::string_view::npos) return std::nullopt;
    text.remove_prefix(end + 1);
  }
}

// The text WM_GETTEXT reads: an edit control's content, a window's caption.
// Tessil's own windows keep theirs in Qt.
std::string CurrentText(const WindowEntry& entry) {
  if (entry.Managed) return entry.Text;
  const QByteArray title = entry.Widget->windowTitle().toLatin1();
  return std::string(title.constData(), static_cast<std::size_t>(title.size()));
}

// What a window does with a message its own handler leaves alone, as an
// edit control, a button or any window would.
void DefaultHandling(WindowRegistry& registry, WindowEntry& entry, WindowMessageEvent& m) {
  switch (m.Message) {
    case win::WM_SETTEXT:
      registry.SetText(entry, m.Text);
      m.Result = 1;
      break;
    case win::WM_GETTEXTLENGTH:
      m.Result = static_cast<std::intptr_t>(CurrentText(entry).size());
      break;
    case win::WM_GETTEXT: {
      // wParam is the buffer's size: at most wParam - 1 characters are
      // copied, then a terminating zero.
      m.Result = 0;
      const std::size_t room = std::min(static_cast<std::size_t>(m.WParam), m.Buffer.size());
      if (room == 0) break;
      const std::string text = CurrentText(entry);
      const std::size_t copied = std::min(text.size(), room - 1);
      std::memcpy(m.Buffer.data(), text.data(), copied);
      m.Buffer[copied] = '\0';
      m.Result = static_cast<std::intptr_t>(copied);
      break;
    }
    case win::EM_GETLINE: {
      m.Result = 0;
      if (!entry.EditLike || m.Buffer.empty()) break;
      // The first two bytes of the buffer give its capacity, as EM_GETLINE
      // expects; the line is copied without a terminating zero.
      std::size_t capacity = static_cast<unsigned char>(m.Buffer[0]);
      if (m.Buffer.size() >= 2) capacity |= std::size_t{static_cast<unsigned char>(m.Buffer[1])} << 8;
      const std::optional<std::string_view> line = EditLine(entry, m.WParam);
      if (!line) break;
      const std::size_t copied = std::min({capacity, line->size(), m.Buffer.size()});
      std::memcpy(m.Buffer.data(), line->data(), copied);
      m.Result = static_cast<std::intptr_t>(copied);
      break;
    }
    case win::BM_CLICK:
      if (auto* button = qobject_cast<QAbstractButton*>(entry.Widget.data())) button->click();
      break;
    default:
      break;
  }
}

// Installed first on every window, so it runs after the window's own
// handlers.
class DefaultProcedure final : public QObject {
 public:
  explicit DefaultProcedure(WindowRegistry& registry) : registry_(registry) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != WindowMessageEvent::EventType()) return false;
    auto& m = static_cast<WindowMessageEvent&>(*event);
    if (m.Handled) return true;
    m.Handled = true;
    WindowEntry* entry = registry_.Find(m.Target);
    if (entry != nullptr && entry->Widget == watched) DefaultHandling(registry_, *entry, m);
    return true;
  }

 private:
  WindowRegistry& registry_;
};

void Display(QWidget* widget, const std::string& text) {
  const QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(shown);
  } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
    box->setTitle(shown);
  } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    line->setText(shown);
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) {
    QString plain = shown;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    memo->setPlainText(plain);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(shown);
  } else if (widget->isWindow()) {
    widget->setWindowTitle(shown);
  } else {
    // A page of a tab widget shows its text on its tab.
    for (QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
      if (auto* tabs = qobject_cast<QTabWidget*>(up)) {
        if (const int index = tabs->indexOf(widget); index >= 0) tabs->setTabText(index, shown);
        break;
      }
    }
  }
}

}  // namespace

WindowRegistry::WindowRegistry() : defaults_(std::make_unique<DefaultProcedure>(*this)) {}

// The filters and connections of the windows that outlive the registry go
// with its default procedure.
WindowRegistry::~WindowRegistry() = default;

WindowHandle WindowRegistry::Add(QWidget* widget, std::string_view className, std::string_view text, bool managed) {
  const WindowHandle handle = next_;
  next_ += HandleStep;
  WindowEntry entry;
  entry.Widget = widget;
  entry.ClassName = className;
  entry.EditLike = IsEditLikeClass(className);
  entry.Name = text;
  entry.Text = text;
  entry.Managed = managed;
  entry.Shown = !managed || !widget->isWindow();
  for (QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
    if (const WindowHandle parent = HandleOf(up); parent != NoWindow) {
      entry.Parent = parent;
      break;
    }
  }
  if (entry.Parent != NoWindow) {
    Slot(entry.Parent)->Children.push_back(handle);
  } else {
    topLevels_.push_back(handle);
    zOrder_.insert(zOrder_.begin(), handle);
  }
  entries_.push_back(std::make_unique<WindowEntry>(std::move(entry)));
  handles_[widget] = handle;
  widget->installEventFilter(defaults_.get());
  QObject::connect(widget, &QObject::destroyed, defaults_.get(), [this, handle, widget] { Remove(handle, widget); });
  return handle;
}

void WindowRegistry::Remove(WindowHandle window, const QWidget* widget) {
  WindowEntry* entry = Slot(window);
  if (entry == nullptr) return;
  if (const WindowHandle parent = entry->Parent; parent != NoWindow) {
    if (WindowEntry* p = Find(parent)) std::erase(p->Children, window);
  }
  // Children whose widgets outlive this one become unreachable with it.
  for (const WindowHandle child : entry->Children) {
    if (WindowEntry* c = Find(child)) c->Parent = NoWindow;
  }
  std::erase(topLevels_, window);
  std::erase(zOrder_, window);
  handles_.erase(widget);
  entries_[(window - FirstHandle) / HandleStep].reset();
  if (focus_ == window) focus_ = NoWindow;
}

void WindowRegistry::RemoveTree(WindowHandle window) {
  const WindowEntry* entry = Slot(window);
  if (entry == nullptr) return;
  const std::vector<WindowHandle> children = entry->Children;
  for (const WindowHandle child : children) RemoveTree(child);
  Remove(window, entry->Widget.data());
}

WindowHandle WindowRegistry::HandleOf(const QWidget* widget) const {
  const auto found = handles_.find(widget);
  return found == handles_.end() ? NoWindow : found->second;
}

void WindowRegistry::SetText(WindowEntry& entry, std::string_view text) {
  entry.Text = text;
  if (!entry.EditLike) entry.Name = text;
  QWidget* widget = entry.Widget.data();
  if (!entry.Managed || widget->window()->isVisible()) {
    Display(widget, entry.Text);
    entry.DisplayStale = false;
  } else {
    entry.DisplayStale = true;
  }
}

void WindowRegistry::RefreshDisplay(WindowEntry& entry) {
  if (entry.DisplayStale) {
    Display(entry.Widget.data(), entry.Text);
    entry.DisplayStale = false;
  }
  for (const WindowHandle child : entry.Children) {
    if (WindowEntry* c = Find(child)) RefreshDisplay(*c);
  }
}

void WindowRegistry::UpdateMapping(WindowEntry& entry) {
  QWidget* widget = entry.Widget.data();
  if (!entry.Managed || widget == nullptr || entry.Parent != NoWindow) return;
  const bool mapped = entry.Shown && entry.OnScreen;
  if (mapped == widget->isVisible()) return;
  if (mapped) {
    RefreshDisplay(entry);
    widget->setAttribute(Qt::WA_ShowWithoutActivating);
    widget->show();
    Restack();
  } else {
    widget->hide();
  }
}

bool WindowRegistry::ScreenStacksWindows() {
  // The offscreen platform keeps no stacking order; the registry's order is
  // all there is.
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void WindowRegistry::Restack() {
  if (!ScreenStacksWindows()) return;
  for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
    if (WindowEntry* e = Find(*it); e != nullptr && e->Widget->isVisible()) e->Widget->raise();
  }
}

bool WindowRegistry::IsVisible(WindowHandle window) {
  WindowEntry* entry = Find(window);
  if (entry == nullptr) return false;
  if (!entry->Managed) return entry->Widget->isVisible();
  for (WindowEntry* e = entry; e != nullptr; e = Find(e->Parent)) {
    if (!e->Shown) return false;
    if (e->Parent == NoWindow) break;
  }
  return true;
}

WindowHandle MakeWindow(WindowRegistry& registry, QWidget* widget, std::string_view className, std::string_view text) {
  if (const WindowHandle known = registry.HandleOf(widget); known != NoWindow) return known;
  const WindowHandle handle = registry.Add(widget, className, text, true);
  registry.Find(handle)->DisplayStale = true;
  return handle;
}

WindowHandle HandleOf(WindowRegistry& registry, QWidget* widget) {
  if (widget == nullptr) return NoWindow;
  if (const WindowHandle known = registry.HandleOf(widget); known != NoWindow) return known;
  const QByteArray title = widget->windowTitle().toLatin1();
  return registry.Add(widget, widget->metaObject()->className(), std::string_view(title.data(), title.size()), false);
}

WindowHandle FindHandle(const WindowRegistry& registry, const QWidget* widget) { return registry.HandleOf(widget); }

QWidget* WidgetOf(WindowRegistry& registry, WindowHandle window) {
  WindowEntry* entry = registry.Find(window);
  return entry == nullptr ? nullptr : entry->Widget.data();
}

void DestroyWindow(WindowRegistry& registry, QWidget* window) {
  if (window == nullptr) return;
  registry.RemoveTree(registry.HandleOf(window));
  window->hide();
  QMetaObject::invokeMethod(
      &registry.Defaults(), [doomed = QPointer<QWidget>(window)] { delete doomed.data(); }, Qt::QueuedConnection);
}

void SetShown(WindowRegistry& registry, QWidget* window, bool shown) {
  WindowEntry* entry = registry.Find(registry.HandleOf(window));
  if (entry == nullptr) return;
  if (!entry->Managed) {
    window->setVisible(shown);
    return;
  }
  entry->Shown = shown;
  registry.UpdateMapping(*entry);
}

bool IsShown(WindowRegistry& registry, QWidget* window) {
  const WindowEntry* entry = registry.Find(registry.HandleOf(window));
  return entry != nullptr && (entry->Managed ? entry->Shown : window->isVisible());
}

void SetText(WindowRegistry& registry, QWidget* window, std::string_view text) {
  if (WindowEntry* entry = registry.Find(registry.HandleOf(window))) registry.SetText(*entry, text);
}

std::string TextOf(WindowRegistry& registry, const QWidget* window) {
  const WindowEntry* entry = registry.Find(registry.HandleOf(window));
  return entry == nullptr ? std::string() : entry->Text;
}

std::intptr_t SendWindowMessage(WindowRegistry& registry, WindowHandle window, WindowMessageEvent& message) {
  WindowEntry* entry = registry.Find(window);
  if (entry == nullptr) return 0;
  QWidget* widget = entry->Widget.data();
  if (!entry->Managed) {
    QCoreApplication::sendEvent(widget, &message);
    return message.Result;
  }
  // In the order Qt calls event filters: the last attached first.
  for (std::size_t k = entry->Procedures.size(); k-- > 0;) {
    auto* procedure = static_cast<WindowProcedure*>(entry->Procedures[k].data());
    if (procedure != nullptr && procedure->Deliver(widget, message)) return message.Result;
    // A handler may have destroyed the window: then no default handling.
    entry = registry.Find(window);
    if (entry == nullptr) return message.Result;
    k = std::min(k, entry->Procedures.size());
  }
  message.Handled = true;
  DefaultHandling(registry, *entry, message);
  return message.Result;
}

void WindowProcedure::Attach(WindowRegistry& registry, QWidget* window) {
  // Posted messages come through Qt's queue, in turn with everything else
  // posted; sent ones through the registry.
  window->installEventFilter(this);
  if (WindowEntry* entry = registry.Find(registry.HandleOf(window))) entry->Procedures.emplace_back(this);
}

bool WindowProcedure::Deliver(QWidget* window, WindowMessageEvent& message) {
  if (message.Handled || window == nullptr) return false;
  if (!HandleMessage(window, message)) return false;
  message.Handled = true;
  return true;
}

bool WindowProcedure::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != WindowMessageEvent::EventType()) return QObject::eventFilter(watched, event);
  return Deliver(qobject_cast<QWidget*>(watched), static_cast<WindowMessageEvent&>(*event));
}

}  // namespace tessil::qtwin
