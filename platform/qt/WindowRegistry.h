// The windows of this process as the Qt backend knows them. One registry per
// window world (WindowWorld.h); widgets reach it through QtWindows.h, the
// protocol through QtWindowSystem.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "WindowHandle.h"

namespace tessil::qtwin {

struct WindowEntry {
  QPointer<QWidget> Widget;
  std::string ClassName;
  // An edit control of any class (IsEditLikeClass), known from the class it
  // is made with: its text changes without its name.
  bool EditLike = false;
  // What look-ups compare: the creation text of an edit control, else the
  // current text.
  std::string Name;
  std::string Text;
  WindowHandle Parent = NoWindow;
  std::vector<WindowHandle> Children;  // creation order
  // Made with MakeWindow: visibility and mapping belong to the backend.
  // Otherwise the widget is one of Tessil's own and Qt's state is the truth.
  bool Managed = false;
  bool Shown = false;
  std::int32_t ExStyle = 0;
  std::optional<std::uint8_t> Alpha;
  // The rectangle last given by SetWindowPos, and whether it lies on the
  // screen; a managed top-level window is mapped only then.
  std::optional<QRect> Placed;
  bool OnScreen = false;
  // The widget does not show the text yet: EcoSim's windows are drawn only
  // while they are on the screen, so typing into them stays cheap.
  bool DisplayStale = false;
  // The window's procedures (WindowProcedure), in the order attached: sent
  // messages go to them directly.
  std::vector<QPointer<QObject>> Procedures;
};

class WindowRegistry {
 public:
  WindowRegistry();
  ~WindowRegistry();
  WindowRegistry(const WindowRegistry&) = delete;
  WindowRegistry& operator=(const WindowRegistry&) = delete;

  WindowHandle Add(QWidget* widget, std::string_view className, std::string_view text, bool managed);
  // Every look-up and message finds its window here, several times for
  // each cell of a typed matrix: kept inline.
  WindowEntry* Find(WindowHandle window) {
    WindowEntry* entry = Slot(window);
    return entry == nullptr || entry->Widget.isNull() ? nullptr : entry;
  }
  WindowHandle HandleOf(const QWidget* widget) const;

  const std::vector<WindowHandle>& TopLevels() const { return topLevels_; }
  // Front first.
  std::vector<WindowHandle>& StackingOrder() { return zOrder_; }

  void SetText(WindowEntry& entry, std::string_view text);
  // Shows the texts of a window and its children that changed while it was
  // off the screen.
  void RefreshDisplay(WindowEntry& entry);
  // Maps or unmaps a managed top-level window as its state asks, and keeps
  // the mapped windows in the stacking order.
  void UpdateMapping(WindowEntry& entry);
  void Restack();
  static bool ScreenStacksWindows();
  bool IsVisible(WindowHandle window);

  // Forgets a window and all its children.
  void RemoveTree(WindowHandle window);

  WindowHandle Focus() const { return focus_; }
  void SetFocusRecord(WindowHandle window) { focus_ = window; }

  // The default handling of every window's messages, and the context of the
  // registry's own queued work (deleting destroyed windows).
  QObject& Defaults() { return *defaults_; }

 private:
  void Remove(WindowHandle window, const QWidget* widget);
  // Handles are given out in steps from the first, never twice: a handle
  // names its slot, and a window's slot stays empty once it is destroyed.
  // A handle below the first wraps round to a slot far past the last.
  WindowEntry* Slot(WindowHandle window) const {
    const WindowHandle offset = window - FirstHandle;
    if (offset % HandleStep != 0) return nullptr;
    const std::size_t slot = offset / HandleStep;
    return slot < entries_.size() ? entries_[slot].get() : nullptr;
  }

  static constexpr WindowHandle FirstHandle = 0x00010010;
  static constexpr WindowHandle HandleStep = 4;
  // By handle (Slot): every look-up and message finds its window here, so
  // without hashing; the entries stay where they are while windows come
  // and go. Null once the window is destroyed.
  std::vector<std::unique_ptr<WindowEntry>> entries_;
  std::unordered_map<const QWidget*, WindowHandle> handles_;
  std::vector<WindowHandle> topLevels_;  // creation order
  std::vector<WindowHandle> zOrder_;
  WindowHandle next_ = FirstHandle;
  WindowHandle focus_ = NoWindow;
  std::unique_ptr<QObject> defaults_;
};

}  // namespace tessil::qtwin
