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
#include "ExitRules.h"
#include "MainWindowRules.h"
#include "MessageBoxes.h"
#include "Public_Declarations.h"
#include "RunRules.h"
#include "frmResults.h"

class QAction;

namespace tessil {

class HelpViewer;
class FocusValidation;
class frmEcoSimOptions;
class frmConfirmExit;
class frmProgress;

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

// The main window's face: it draws what the main window's rules decide and
// forwards the user's events to them; it is also the face through which the
// run's rules and the exit's rules show and hide the program's windows.
class frmMain final : public QMainWindow, public RunInputs, public RunFace, public ExitFace {
  Q_OBJECT
 public:
  frmMain(RunSettings& settings, MainWindowServices services);
  ~frmMain() override;

  // RunInputs, as the rules hold them.
  std::string RowsText() const override { return rules_.RowsText(); }
  std::string ColsText() const override { return rules_.ColsText(); }
  const EcoSimTestOptions& CommittedOptions() const override { return rules_.CommittedOptions(); }
  MainWindowChoices Choices() const override { return rules_.Choices(); }
  std::string TestSummary() const override { return rules_.TestSummary(); }

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
  bool Running() const { return run_.Running(); }

  // RunFace
  void HideMainWindow() override { hide(); }
  void ShowMainWindow() override { show(); }
  void OpenProgressWindow(ProgressPresenter& progress) override;
  void HideProgressWindow() override;
  void UnloadProgressWindow() override;
  MadeAutomation MakeAutomation(RunSettings& settings, const RunInputs& inputs, ProgressPresenter& progress) override;
  void ShowResults(std::string report, ResultsChart chart) override;
  void EndProgram(int status) override;
  bool InformOverResults(std::string_view text) override;

  // ExitFace
  void UnloadWindows() override;
  void LeaveMessageLoop(int status) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The options dialog may have rewritten the test summary while the window
  // was hidden.
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  // Shows what the rules hold.
  void Draw();
  void cmd1_Click();
  void cmd2_Click();
  void cmd3_Click();
  void mnuHelpHelp_Click();
  void mnuHelpAbout_Click();
  void ProcessPendingMessages();

  RunSettings& settings_;
  MainWindowServices services_;
  OwnedMessages messages_;
  MainWindowPresenter rules_;
  RunPresenter run_;
  ExitPresenter exit_;
  std::unique_ptr<frmEcoSimOptions> options_;
  std::unique_ptr<frmProgress> progress_;
  frmConfirmExit* confirm_ = nullptr;
  QPointer<frmResults> results_;
  FocusValidation* validation_ = nullptr;
  bool drawing_ = false;

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
