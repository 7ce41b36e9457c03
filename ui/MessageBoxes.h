// Every message the user reads in a box goes through one service, titled
// "Tessil", with an OK button (Yes and No for the one question) and no icon.
// Tests replace it with a scripted one.
#pragma once

#include <QString>
#include <string_view>

#include "WindowServices.h"

class QWidget;

namespace tessil {

// The caption of every message box.
QString ProgramTitle();

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A message with an OK button; returns once the user has pressed it.
  virtual void Inform(QWidget* owner, const QString& text) = 0;
  // A question answered Yes (true) or No (false).
  virtual bool AskYesNo(QWidget* owner, const QString& text) = 0;
};

// Modal message boxes on screen.
class QtMessageBoxes final : public MessageBoxes {
 public:
  void Inform(QWidget* owner, const QString& text) override;
  bool AskYesNo(QWidget* owner, const QString& text) override;
};

// The window rules' message boxes, shown through the service and owned by one
// window.
class OwnedMessages final : public UserMessages {
 public:
  OwnedMessages(MessageBoxes& boxes, QWidget* owner) : boxes_(boxes), owner_(owner) {}
  void Inform(std::string_view text) override;
  bool AskYesNo(std::string_view text) override;

 private:
  MessageBoxes& boxes_;
  QWidget* owner_;
};

// A text of the window rules (UTF-8) as the toolkit shows it.
QString FromRules(std::string_view text);

}  // namespace tessil
