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

// Draws the toolkit's push button as if it had no focus, then a dark frame
// two pixels wide inside it while it holds the focus. The frame alone says
// where the focus is: some toolkit styles draw a default button and a
// focused one alike, which would make Yes look focused beside a focused No.
// A default button keeps its own look, so Enter's button stays visible while
// the focus is in a text box.
class FocusMarkStyle final : public QProxyStyle {
 public:
  FocusMarkStyle();
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
};

// Gives every push button of every window, message boxes included, the focus
// mark: the program's style becomes a FocusMarkStyle over the toolkit's.
// Called once at start-up, after the application object exists; calling it
// again changes nothing.
void ShowButtonFocusClearly();

}  // namespace tessil
