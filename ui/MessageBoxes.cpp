#include "MessageBoxes.h"

#include <QMessageBox>
#include <QWidget>

namespace tessil {

QString ProgramTitle() { return QStringLiteral("Tessil"); }

namespace {

// A hidden window cannot own a box the user is to see: during a run the main
// window is hidden, and a box centred on it would appear nowhere sensible.
QWidget* VisibleOwner(QWidget* owner) { return owner != nullptr && owner->isVisible() ? owner : nullptr; }

}  // namespace

void QtMessageBoxes::Inform(QWidget* owner, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, ProgramTitle(), text, QMessageBox::Ok, VisibleOwner(owner));
  box.exec();
}

bool QtMessageBoxes::AskYesNo(QWidget* owner, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, ProgramTitle(), text, QMessageBox::Yes | QMessageBox::No, VisibleOwner(owner));
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QString FromRules(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

void OwnedMessages::Inform(std::string_view text) { boxes_.Inform(owner_, FromRules(text)); }

bool OwnedMessages::AskYesNo(std::string_view text) { return boxes_.AskYesNo(owner_, FromRules(text)); }

}  // namespace tessil
