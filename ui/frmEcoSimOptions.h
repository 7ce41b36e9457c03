// The EcoSim options dialog: the settings of the co-occurrence test every
// simulated matrix is put through. Every setting exists twice, as the value
// shown in its control and as the committed value the rest of Tessil reads;
// "Make Changes" commits and rewrites the test summary, "Cancel" (or closing
// the dialog's frame) restores the committed values.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <string>
#include <vector>

#include "EcoSimOptionsRules.h"
#include "Public_Declarations.h"
#include "WindowPictures.h"

namespace tessil {

class MessageBoxes;
class FocusValidation;

class frmEcoSimOptions final : public QDialog {
  Q_OBJECT
 public:
  // mainWindow is hidden while the dialog shows and shown again when it
  // closes; the rules keep the working and committed values and write the
  // test summary.
  frmEcoSimOptions(QWidget* mainWindow, MessageBoxes& boxes, EcoSimOptionsPresenter& rules);
  ~frmEcoSimOptions() override;

  // The values the rest of Tessil reads.
  const EcoSimTestOptions& Committed() const { return rules_.Committed(); }
  // The values the controls show.
  const EcoSimTestOptions& Working() const { return rules_.Working(); }

  // Shows the dialog, its controls holding the committed values.
  void ShowCommitted();
  // Program exit: the dialog closes for good.
  void Unload();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  // A group of option buttons, each captioned with its choice, and how the
  // chosen caption is read from the options and told to the rules.
  struct Group {
    std::vector<QRadioButton*> Options;
    std::function<void(EcoSimOptionsPresenter&, std::string_view)> Choose;
    std::function<std::string_view(const EcoSimTestOptions&)> Chosen;
  };
  template <typename Choice>
  static Group GroupOf(Choice EcoSimTestOptions::*field, void (EcoSimOptionsPresenter::*choose)(Choice),
                       std::vector<QRadioButton*> options);
  QRadioButton* AddOption(QWidget* frame, const char* name, std::string_view caption, int left, int top, int width);
  // Shows the working values and the Empty Sites group as the rules say.
  void Draw();
  void cmd1_Click();
  void cmd2_Click();

  QWidget* main_;
  MessageBoxes& boxes_;
  EcoSimOptionsPresenter& rules_;
  std::vector<Group> groups_;
  bool drawing_ = false;
  FocusValidation* validation_ = nullptr;
  bool unloading_ = false;

  TitledGroup emptySites_;
  QLineEdit* txt1_ = nullptr;
  QLineEdit* txt2_ = nullptr;
  QPushButton* cmd1_ = nullptr;
  QPushButton* cmd2_ = nullptr;
};

}  // namespace tessil
