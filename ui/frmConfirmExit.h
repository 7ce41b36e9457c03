// The question asked whenever the main window is about to close. Its tag
// carries the answer: empty until Yes is pressed, then "Exit". It is created
// once and hidden after each answer, so a later request asks again.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <string>

#include "ExitRules.h"

namespace tessil {

class frmConfirmExit final : public QDialog {
  Q_OBJECT
 public:
  // The rules keep the answer and end the program on Yes.
  frmConfirmExit(QWidget* owner, ExitPresenter& rules);
  ~frmConfirmExit() override;

  // Shows the question modal over its owner without waiting for the answer;
  // Hidden is emitted once it has been answered.
  void Ask();
  const std::string& Tag() const { return rules_.Tag(); }

 signals:
  void Hidden();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void cmd1_Click();
  void cmd2_Click();

  ExitPresenter& rules_;
  QPushButton* cmd1_ = nullptr;
  QPushButton* cmd2_ = nullptr;
};

}  // namespace tessil
