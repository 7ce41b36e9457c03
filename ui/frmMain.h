// The main window: the null hypothesis to examine, the assumptions that hold
// for the data set, the matrix size, the summary of the EcoSim test; the
// doors to the two option dialogs, and Run.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <memory>
#include <string>

#include "AutomationHost.h"
#include "Clock.h"
#include "EcoSimAutomation.h"
#include "Public_Declarations.h"
#include "frmResults.h"

class QAction;

namespace tessil {

class MessageBoxes;
class HelpViewer;
class FocusValidation;
class frmEcoSimOptions;
class frmConfirmExit;

// Makes the automation through which one desktop run uses EcoSim. It is
// given the run's settings and inputs, the progress window as the host that
// learns when EcoSim is ready (and tells the user when EcoSim cannot be
// found), the same window as the run's cancel link, which an automation whose
// waits must notice Cancel reads, and that window itself, beside which
// EcoSim's windows are placed. What it makes says whether the EcoSim can also
// test matrices on workers.
using DesktopAutomationFactory =
    std::function<MadeAutomation(RunSettings& settings, const RunInputs& inputs, AutomationHost& host,
                                 const ProgressLink& cancelLink, QWidget* progressWindow)>;

struct MainWindowServices {
  MessageBoxes& Boxes;
  HelpViewer& Help;
  Clock& Time;
  DesktopAutomationFactory MakeAutomation;
  SaveFileChooser ChooseFile;                    // empty: the save dialog
  QString ProgramFolder;                         // where results are saved by default
  std::function<void()> EndProgram;              // empty: leave the event loop
  std::function<void()> ProcessPendingMessages;  // empty: the toolkit's
};

// A frame of the main window: a translucent panel whose heading, in bold,
// sits on a band across its top.
class PanelFrame final : public QWidget {
 public:
  PanelFrame(QWidget* parent, const QString& name, const QString& caption, const QString& toolTip);
  QString Caption() const { return caption_; }
  QLabel* Heading() const { return heading_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QString caption_;
  QLabel* heading_ = nullptr;
};

class frmMain final : public QMainWindow, public RunInputs {
  Q_OBJECT
 public:
  frmMain(RunSettings& settings, MainWindowServices services);
  ~frmMain() override;

  // RunInputs, read from the controls.
  std::string RowsText() const override;
  std::string ColsText() const override;
  const EcoSimTestOptions& CommittedOptions() const override;
  MainWindowChoices Choices() const override;
  std::string TestSummary() const override { return testSummary_; }

  // The "Hypothesis Test" box's text, as the EcoSim options dialog writes it.
  void SetTestSummary(std::string summary);

  // The EcoSim options dialog, created at its first use and kept until exit.
  frmEcoSimOptions& EcoSimOptions();
  frmEcoSimOptions* EcoSimOptionsIfLoaded() const { return options_.get(); }
  // The results window of the last run while it is open.
  frmResults* ResultsWindow() const { return results_.data(); }
  // The exit confirmation, once it has been asked.
  frmConfirmExit* ConfirmExit() const { return confirm_; }
  // True while a run is under way.
  bool Running() const { return running_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void optH01_Click();
  void optH02_Click();
  void optH03_Click();
  void chkAIn_Click();
  void cmd1_Click();
  void cmd2_Click();
  void cmd3_Click();
  void mnuHelpHelp_Click();
  void mnuHelpAbout_Click();
  void ExitAnswered();
  // Closes every window and leaves the event loop with the program's exit
  // status.
  void ExitProgram(int status = 0);
  bool CheckSize(QLineEdit* box, bool rows);

  RunSettings& settings_;
  MainWindowServices services_;
  EcoSimTestOptions defaultOptions_;
  std::string testSummary_;
  std::unique_ptr<frmEcoSimOptions> options_;
  frmConfirmExit* confirm_ = nullptr;
  QPointer<frmResults> results_;
  FocusValidation* validation_ = nullptr;
  QString lastRefusal_;
  bool running_ = false;
  bool exitConfirmed_ = false;

  PanelFrame* fra1_ = nullptr;
  QRadioButton* optH01_ = nullptr;
  QRadioButton* optH02_ = nullptr;
  QRadioButton* optH03_ = nullptr;
  PanelFrame* fra2_ = nullptr;
  QLineEdit* txtHA_ = nullptr;
  PanelFrame* fra3_ = nullptr;
  QCheckBox* chkASiEq_ = nullptr;
  QCheckBox* chkASpEq_ = nullptr;
  QCheckBox* chkAIn_ = nullptr;
  PanelFrame* fra6_ = nullptr;
  QRadioButton* optAIn0_ = nullptr;
  QRadioButton* optAIn50_ = nullptr;
  QRadioButton* optAIn100_ = nullptr;
  PanelFrame* fra4_ = nullptr;
  QPlainTextEdit* txtTest_ = nullptr;
  QPushButton* cmd1_ = nullptr;
  PanelFrame* fra5_ = nullptr;
  QLabel* lbl1_ = nullptr;
  QLineEdit* txtRows_ = nullptr;
  QLabel* lbl2_ = nullptr;
  QLineEdit* txtCols_ = nullptr;
  PanelFrame* fra8_ = nullptr;
  QPushButton* cmd2_ = nullptr;
  QPushButton* cmd3_ = nullptr;
  QAction* mnuFileExit_ = nullptr;
  QAction* mnuHelpHelp_ = nullptr;
  QAction* mnuHelpAbout_ = nullptr;
};

// Deselects an option button, which an exclusive group does not allow by a
// click alone.
void Deselect(QRadioButton* option);

}  // namespace tessil
