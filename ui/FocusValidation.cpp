#include "FocusValidation.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

namespace tessil {

FocusValidation::FocusValidation(QWidget* window, Tell tell) : QObject(window), tell_(std::move(tell)) {
  qApp->installEventFilter(this);
}

FocusValidation::~FocusValidation() { qApp->removeEventFilter(this); }

void FocusValidation::Watch(QLineEdit* box, Check check) {
  // The application-wide filter sees the box's focus events too.
  boxes_.push_back({box, std::move(check), false});
}

FocusValidation::Watched* FocusValidation::Find(const QObject* box) {
  for (Watched& w : boxes_) {
    if (w.Box.data() == box) return &w;
  }
  return nullptr;
}

FocusValidation::Watched* FocusValidation::Focused() {
  for (Watched& w : boxes_) {
    if (w.Focused && !w.Box.isNull()) return &w;
  }
  return nullptr;
}

bool FocusValidation::Run(Watched& box) {
  if (checking_) return false;
  const QString refusal = box.Verify();
  if (refusal.isEmpty()) return true;
  checking_ = true;
  // Take the focus back before the control it was going to receives it,
  // then say why.
  if (!box.Box.isNull()) box.Box->setFocus(Qt::OtherFocusReason);
  tell_(refusal);
  checking_ = false;
  // The box deselects once it has been told it lost the focus, which comes
  // after this check, and a message box may have let every pending event
  // through meanwhile: select again after both, so that typing replaces
  // the refused value.
  if (!box.Box.isNull()) {
    QLineEdit* edit = box.Box.data();
    QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
  }
  return false;
}

bool FocusValidation::ReleaseFocus() {
  Watched* box = Focused();
  return box == nullptr || Run(*box);
}

namespace {

// Leaving a box because its window lost the activation (another window or a
// menu came up, a message box opened) is not leaving it for another control.
bool MovesToAnotherControl(Qt::FocusReason reason) {
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason &&
         reason != Qt::NoFocusReason;
}

}  // namespace

bool FocusValidation::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::FocusIn: {
      if (Watched* box = Find(watched)) {
        const bool returning = box->Focused;
        box->Focused = true;
        QLineEdit* edit = box->Box.data();
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (returning) break;  // its window was merely activated again
        edit->selectAll();
        // A click that gave the focus places the cursor afterwards, and the
        // box the focus is taken back from deselects once it has been told
        // it lost it: select again once either has been handled, so that
        // typing replaces the text.
        if (reason == Qt::MouseFocusReason || reason == Qt::OtherFocusReason) {
          QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
        }
      }
      break;
    }
    case QEvent::FocusOut: {
      Watched* box = Find(watched);
      if (box == nullptr || !box->Focused) break;
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (!MovesToAnotherControl(reason)) break;
      box->Focused = false;
      if (!Run(*box) && reason == Qt::MouseFocusReason) {
        swallowPress_ = true;
        // Should no press follow, the next one must not be lost.
        QTimer::singleShot(0, this, [this] { swallowPress_ = false; });
      }
      break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // The toolkit gives the focus before it delivers the press: a press
      // whose focus change was refused is swallowed, so the click has no
      // other effect.
      if (swallowPress_) {
        swallowPress_ = false;
        return true;
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tessil
