// The windows of the Win32 face, one class each, named after the windows of
// the Qt face. Each draws its presenter's state and forwards its controls'
// events to it. Only the face's own sources include this header.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "AdvancedRules.h"
#include "ExitRules.h"
#include "MainWindowRules.h"
#include "ProgressRules.h"
#include "ResultsRules.h"
#include "RunRules.h"
#include "Win32Desktop.h"

namespace tessil::win32ui {

// Message boxes owned by one window of the face.
class WindowMessages final : public UserMessages {
 public:
  explicit WindowMessages(const Window& owner) : owner_(owner) {}
  void Inform(std::string_view text) override { win32ui::Inform(owner_.Handle(), text); }
  bool AskYesNo(std::string_view text) override { return win32ui::AskYesNo(owner_.Handle(), text); }

 private:
  const Window& owner_;
};

// HTML Help through the function the program hands in, the help file looked
// for beside the program.
class HtmlHelpViewer final : public HelpViewer {
 public:
  explicit HtmlHelpViewer(const DesktopServices& services) : services_(services) {}
  void ShowHelpTopic(std::string_view file, std::string_view topic) override;
  void CloseAllHelp() override;

 private:
  const DesktopServices& services_;
};

class frmEcoSimOptions;
class frmConfirmExit;
class frmResults;
class frmProgress;

class frmMain final : public Window, public RunFace, public ExitFace {
 public:
  frmMain(RunSettings& settings, DesktopServices& services);
  ~frmMain() override;

  bool Ended() const { return ended_; }
  int ExitStatus() const { return exitStatus_; }
  // Draws the presenter's state into the controls.
  void Draw();

  // RunFace
  void HideMainWindow() override { Show(false); }
  void ShowMainWindow() override;
  void OpenProgressWindow(ProgressPresenter& progress) override;
  void HideProgressWindow() override;
  void UnloadProgressWindow() override;
  MadeAutomation MakeAutomation(RunSettings& settings, const RunInputs& inputs, ProgressPresenter& progress) override;
  void ShowResults(std::string report, ResultsChart chart) override;
  void EndProgram(int status) override { exit_.EndProgram(status); }
  // ExitFace
  void UnloadWindows() override;
  void LeaveMessageLoop(int status) override;

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int DefaultButton() const override;

 private:
  void BuildControls();
  void Command(int id, int code, HWND control);
  // A size box is about to lose the focus: a refusal keeps it there.
  void LeaveSize(HWND box);
  void AskToExit();

  RunSettings& settings_;
  DesktopServices& services_;
  HtmlHelpViewer help_;
  WindowMessages messages_;
  MainWindowPresenter main_;
  RunPresenter run_;
  ExitPresenter exit_;
  std::unique_ptr<frmEcoSimOptions> options_;
  std::unique_ptr<frmConfirmExit> confirm_;
  std::unique_ptr<frmResults> results_;
  std::unique_ptr<frmProgress> progress_;
  // The size box that holds a refused text: nothing else may take the focus.
  HWND refusedBox_ = nullptr;
  bool validating_ = false;
  bool drawing_ = false;
  bool ended_ = false;
  int exitStatus_ = 0;
  HWND tooltips_ = nullptr;

  HWND optH01_ = nullptr, optH02_ = nullptr, optH03_ = nullptr, txtHA_ = nullptr;
  HWND chkASiEq_ = nullptr, chkASpEq_ = nullptr, chkAIn_ = nullptr, fra6_ = nullptr;
  HWND optAIn0_ = nullptr, optAIn50_ = nullptr, optAIn100_ = nullptr;
  HWND txtTest_ = nullptr, cmd1_ = nullptr, txtRows_ = nullptr, txtCols_ = nullptr, cmd2_ = nullptr, cmd3_ = nullptr;
};

class frmEcoSimOptions final : public Window {
 public:
  // `closed` runs when the dialog has given the screen back to the main
  // window.
  frmEcoSimOptions(EcoSimOptionsPresenter& rules, HWND mainWindow, std::function<void()> closed);
  // Shows the dialog, its controls holding the committed values.
  void ShowCommitted();
  // Program exit: the dialog closes for good.
  void Unload() { Destroy(); }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool PaintBackground(HDC dc) override;
  int DefaultButton() const override { return IDOK; }

 private:
  struct Option {
    HWND Button;
    int Group;
    std::string Caption;
  };
  void Draw();
  void Choose(const Option& option);
  // A text box is about to lose the focus: a refusal keeps it there.
  bool Leave(HWND box);
  void Close(bool commit);

  EcoSimOptionsPresenter& rules_;
  HWND main_;
  std::function<void()> closed_;
  std::vector<Option> options_;
  std::vector<RECT> shapes_;
  std::vector<HWND> emptySites_;
  HWND txt1_ = nullptr, txt2_ = nullptr;
  HWND refusedBox_ = nullptr;
  bool validating_ = false;
  bool drawing_ = false;
};

class frmAdvanced final : public Window {
 public:
  frmAdvanced(RunSettings& settings, HWND owner);
  // Shows the dialog modally until OK stores the values or Cancel leaves.
  void Open();

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool PaintBackground(HDC dc) override;
  int DefaultButton() const override { return IDOK; }

 private:
  void cmd1_Click();
  WindowMessages messages_;
  AdvancedPresenter rules_;
  HWND owner_;
  HWND txt1_ = nullptr, txt2_ = nullptr;
  bool closed_ = false;
};

class frmConfirmExit final : public Window {
 public:
  explicit frmConfirmExit(HWND owner);
  // Asks modally; true when Yes was pressed.
  bool Ask();

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool PaintBackground(HDC dc) override;
  int DefaultButton() const override { return IDYES; }

 private:
  HWND owner_;
  bool yes_ = false;
};

class frmAbout final : public Window {
 public:
  explicit frmAbout(HWND owner);
  void Open();

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool PaintBackground(HDC dc) override;
  int DefaultButton() const override { return IDCANCEL; }

 private:
  HWND owner_;
  bool closed_ = false;
};

// The results of one run: the report, its chart, saving both, the help
// topic on results. It opens at its own size and may be resized or
// maximized; the chart is laid out again for its view's size. The main
// window returns when it closes.
class frmResults final : public Window {
 public:
  frmResults(DesktopServices& services, HelpViewer& help, std::string report, ResultsChart chart,
             std::function<void()> unloaded);
  const ResultsPresenter& Rules() const { return rules_; }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool PaintBackground(HDC dc) override;
  int DefaultButton() const override;

 private:
  // Shows the chart or the report: the chosen view's button stays down with
  // a bold caption, and the focus follows into the view shown.
  void ShowChart(bool chart);
  // The controls placed for the client area's size.
  void Layout();
  void Unload();

  WindowMessages messages_;
  ResultsPresenter rules_;
  std::function<void()> unloaded_;
  HWND txt1_ = nullptr, cht1_ = nullptr, optReport_ = nullptr, optChart_ = nullptr;
  HWND cmd1_ = nullptr, cmd2_ = nullptr, cmd3_ = nullptr, cmd4_ = nullptr;
};

// The progress window of a run, over the progress window's rules.
class frmProgress final : public Window, public ProgressView {
 public:
  explicit frmProgress(ProgressPresenter& rules);

  // ProgressView
  void Draw(const ProgressState& state) override;
  void Inform(std::string_view text) override { win32ui::Inform(Handle(), text); }

  // Closes the window at the end of a run; every other close is refused.
  void Unload();

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int DefaultButton() const override { return IDCANCEL; }

 private:
  void PaintBar(HDC dc, const RECT& area) const;

  ProgressPresenter& rules_;
  ProgressState shown_;
  bool unloading_ = false;
  bool painting_ = false;
  HWND pbx2_ = nullptr, pbxProgressBar_ = nullptr, pbx1_ = nullptr, chk1_ = nullptr, lbl1_ = nullptr, cmd1_ = nullptr;
};

// Takes the Close command off the window's system menu, which also greys
// its title bar's close button.
void DisableCloseButton(HWND window);

}  // namespace tessil::win32ui
