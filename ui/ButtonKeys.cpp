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
  QProxyStyle::drawControl(element, option, painter, widget);
  if (element != CE_PushButton || !option->state.testFlag(State_HasFocus)) return;
  painter->save();
  QPen pen(QColor(0, 0, 0));
  // Every other pixel, as the focus rectangle Windows draws.
  pen.setDashPattern({1, 1});
  pen.setWidth(1);
  painter->setPen(pen);
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(option->rect.adjusted(4, 4, -5, -5));
  painter->restore();
}

void ShowButtonFocusClearly(QWidget* window) {
  auto* style = new FocusMarkStyle();
  style->setParent(window);
  for (QPushButton* button : window->findChildren<QPushButton*>()) button->setStyle(style);
}

}  // namespace tessil
