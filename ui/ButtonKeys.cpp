#include "ButtonKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>

namespace tessil {

EnterPressesButtons::EnterPressesButtons(QObject* owner) : QObject(owner) { qApp->installEventFilter(this); }

EnterPressesButtons::~EnterPressesButtons() { qApp->removeEventFilter(this); }

bool EnterPressesButtons::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  auto* button = qobject_cast<QPushButton*>(watched);
  if (button == nullptr || !button->hasFocus() || !button->isEnabled()) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers others = key->modifiers() & ~Qt::KeypadModifier;
  if (!enter || others != Qt::NoModifier) return QObject::eventFilter(watched, event);
  // A held key presses the button once.
  if (!key->isAutoRepeat()) button->click();
  return true;
}

FocusMarkStyle::FocusMarkStyle() = default;

void FocusMarkStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
  const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
  if (element != CE_PushButton || button == nullptr) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  QStyleOptionButton unfocused(*button);
  unfocused.state &= ~State_HasFocus;
  QProxyStyle::drawControl(element, &unfocused, painter, widget);
  if (!button->state.testFlag(State_HasFocus)) return;
  // The button's text colour: it stands out on the button's face in every
  // colour scheme, high contrast included.
  constexpr int inset = 3;
  constexpr int width = 2;
  const QRect outer = button->rect.adjusted(inset, inset, -inset, -inset);
  const QColor dark = button->palette.color(QPalette::Active, QPalette::ButtonText);
  painter->save();
  painter->fillRect(QRect(outer.left(), outer.top(), outer.width(), width), dark);
  painter->fillRect(QRect(outer.left(), outer.bottom() - width + 1, outer.width(), width), dark);
  painter->fillRect(QRect(outer.left(), outer.top(), width, outer.height()), dark);
  painter->fillRect(QRect(outer.right() - width + 1, outer.top(), width, outer.height()), dark);
  painter->restore();
}

void ShowButtonFocusClearly() {
  if (dynamic_cast<FocusMarkStyle*>(QApplication::style()) != nullptr) return;
  // The application takes the style and keeps it for the life of the program.
  QApplication::setStyle(new FocusMarkStyle());
}

}  // namespace tessil
