// The simulation options dialog: the number of random matrices drawn for each
// argument of the power function, and the seed of their random stream. It is
// created at every opening, modal over the main window, and destroyed when it
// closes; the values live in the run settings only.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "AdvancedRules.h"
#include "MessageBoxes.h"
#include "Public_Declarations.h"

namespace tessil {

struct TitledGroup;

class frmAdvanced final : public QDialog {
  Q_OBJECT
 public:
  frmAdvanced(RunSettings& settings, MessageBoxes& boxes, QWidget* owner);
  ~frmAdvanced() override;

  // Shows the dialog modal over its owner, centred on it, the focus on "OK".
  void Open();

 private:
  void cmd1_Click();
  void WidenForLargestValue(const TitledGroup& group);

  QWidget* owner_;
  OwnedMessages messages_;
  AdvancedPresenter rules_;
  QLineEdit* txt1_ = nullptr;
  QLineEdit* txt2_ = nullptr;
  QPushButton* cmd1_ = nullptr;
  QPushButton* cmd2_ = nullptr;
};

}  // namespace tessil
