// Push buttons as a Windows user knows them: Enter (on the main keys or the
// keypad) presses the button that holds the focus, as Space does, in every
// window of the program; and a button holding the focus carries a focus mark
// that can be seen at a glance.
#pragma once

#include <QObject>
#include <QProxyStyle>

class QWidget;

namespace tessil {

// Installed once for the whole program by its main window; every window,
// the results window among them, then answers Enter on a focused button.
class EnterPressesButtons final : public QObject {
 public:
  explicit EnterPressesButtons(QObject* owner);
  ~EnterPressesButtons() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Draws the toolkit's push button, then a dark dotted rectangle inside it
// while it holds the focus, so the focus shows on any background.
class FocusMarkStyle final : public QProxyStyle {
 public:
  FocusMarkStyle();
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
};

// Gives every push button of the window the clear focus mark. The style is
// owned by the window.
void ShowButtonFocusClearly(QWidget* window);

}  // namespace tessil
