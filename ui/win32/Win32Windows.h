// The windows of the Win32 face, one class each, named after the windows of
// the Qt face. Only the face's own sources include this header.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "Win32Desktop.h"

namespace tessil::win32ui {

class frmEcoSimOptions;
class frmConfirmExit;
class frmResults;

class frmMain final : public Window, public RunInputs {
 public:
  frmMain(RunSettings& settings, DesktopServices& services);
  ~frmMain() override;

  // RunInputs, read from the controls.
  std::string RowsText() const override;
  std::string ColsText() const override;
  const EcoSimTestOptions& CommittedOptions() const override;
  MainWindowChoices Choices() const override;
  std::string TestSummary() const override { return testSummary_; }

  void SetTestSummary(std::string summary);
  bool Ended() const { return ended_; }
  int ExitStatus() const { return exitStatus_; }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int DefaultButton() const override;

 private:
  void BuildControls();
  void BuildMenus();
  void Command(int id, int code);
  void optH01_Click();
  void optH02_Click();
  void optH03_Click();
  void chkAIn_Click();
  void cmd1_Click();
  void cmd2_Click();
  void cmd3_Click();
  void mnuHelpAbout_Click();
  // Checks a size box that is losing the focus; a refusal keeps it there.
  void ValidateSize(HWND box, bool rows);
  void AskToExit();
  void ExitProgram(int status);

  RunSettings& settings_;
  DesktopServices& services_;
  EcoSimTestOptions defaultOptions_;
  std::string testSummary_;
  std::unique_ptr<frmEcoSimOptions> options_;
  std::unique_ptr<frmConfirmExit> confirm_;
  std::unique_ptr<frmResults> results_;
  // The size box that holds a refused text: nothing else may take the focus.
  HWND refusedBox_ = nullptr;
  bool validating_ = false;
  bool running_ = false;
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
  frmEcoSimOptions(HWND mainWindow, std::function<void(const std::string&)> writeSummary);
  const EcoSimTestOptions& Committed() const { return committed_; }
  EcoSimTestOptions Working() const;
  void ShowCommitted();
  // Program exit: the dialog closes for good.
  void Unload();

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool PaintBackground(HDC dc) override;
  int DefaultButton() const override;

 private:
  struct Option {
    HWND Button;
    int Group;  // the field of EcoSimTestOptions it chooses
    std::string Caption;
  };
  void Show(const EcoSimTestOptions& options);
  void ShowEmptySites();
  bool Validate(HWND box);
  void cmd1_Click();
  void cmd2_Click();

  HWND main_;
  std::function<void(const std::string&)> writeSummary_;
  EcoSimTestOptions committed_;
  std::vector<Option> options_;
  std::vector<RECT> shapes_;
  std::vector<HWND> emptySites_;
  HWND txt1_ = nullptr, txt2_ = nullptr, cmd1_ = nullptr, cmd2_ = nullptr;
  HWND refusedBox_ = nullptr;
  bool validating_ = false;
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
  RunSettings& settings_;
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
  std::string tag_;
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
// topic on results. The main window returns when it closes.
class frmResults final : public Window {
 public:
  frmResults(DesktopServices& services, std::string report, std::string chartSvg, std::function<void()> unloaded);
  const std::string& Report() const { return report_; }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool PaintBackground(HDC dc) override;
  int DefaultButton() const override;

 private:
  void ShowChart(bool chart);
  void SaveReport();
  void SaveChart();
  void Unload();

  DesktopServices& services_;
  std::string report_;
  std::string chart_;
  std::function<void()> unloaded_;
  bool chartShown_ = false;
  HWND txt1_ = nullptr, cht1_ = nullptr, optReport_ = nullptr, optChart_ = nullptr;
};

}  // namespace tessil::win32ui
