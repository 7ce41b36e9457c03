// The stand-in EcoSim as a Windows program of its own (EcoSim700.exe):
// EcoSim's window classes, texts, child order, menu commands and behaviour,
// driven by another process through user32 messages exactly as Tessil
// drives EcoSim 7.0. Windows' own edit and button controls stand under the
// classes that behave as they do (WM_SETTEXT, WM_GETTEXT, BM_CLICK); the
// rest are windows of its own. Each test is computed on a worker thread by
// the stand-in's shared logic while the window thread stays live.
#pragma once

#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "EcoSimFacts.h"
#include "StandInFaults.h"
#include "StandInLogic.h"

namespace tessil::standin {

class Win32StandIn {
 public:
  // Registers EcoSim's window classes and makes its windows; the
  // application window and the main window show at once.
  Win32StandIn(HINSTANCE instance, StandInFaults faults);
  ~Win32StandIn();
  Win32StandIn(const Win32StandIn&) = delete;
  Win32StandIn& operator=(const Win32StandIn&) = delete;

  // Processes messages until EcoSim ends; the program's exit code.
  int Run();

 private:
  struct RadioGroup {
    HWND Box = nullptr;
    std::vector<HWND> Buttons;
  };

  static LRESULT CALLBACK OwnProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void RegisterClasses(HINSTANCE instance);

  // The answer to a message of one of EcoSim's windows, or false to leave
  // it to the window's class.
  bool Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool HandleGrid(UINT message, WPARAM wParam);
  void Clicked(HWND button);

  // A window of `className`, none when the class is missing (a test's
  // fault) or the parent of a child window is.
  HWND Make(std::string_view className, std::string_view text, HWND parent, DWORD style, int width = 100,
            int height = 24);
  HWND TopLevel(std::string_view className, std::string_view text, ecosim::WindowSize size);
  void BuildMainWindow();
  void BuildResizeDialog();
  void BuildOptionsWindow();
  void BuildPreferencesPage();
  void BuildGeneralPage();
  template <typename Choice>
  RadioGroup BuildRadioGroup(HWND page, std::string_view caption, const std::vector<Choice>& buttons, Choice selected);
  void BuildProgressWindow();
  void BuildResultsWindow();

  void TakeForeground();
  static void HoldShift(bool held);
  static void Show(HWND window, bool shown);
  static bool IsShown(HWND window);
  void ShowPage(std::uintptr_t index);
  void AcceptResize();
  void StartTest();
  void Advance();
  void EndTest(const cooc::TestResult& result);
  void Abort();
  void StopWorker();
  void ShowMessage(const std::string& text, bool exitOnOk);
  void CloseMessage(HWND form, bool exits);
  std::string Selected(const RadioGroup& group) const;
  OptionTexts HeldTexts() const;
  bool Busy() const { return running_; }

  HINSTANCE instance_;
  StandInFaults faults_;
  std::vector<HWND> topLevels_;
  int nextId_ = 100;
  // Where the next child of each window goes.
  std::map<HWND, int> nextY_;

  HWND application_ = nullptr;
  HWND main_ = nullptr;
  HWND grid_ = nullptr;
  HWND editor_ = nullptr;
  GridCells cells_;
  long long charactersReceived_ = 0;
  HWND resize_ = nullptr;
  HWND resizeOk_ = nullptr;
  HWND resizeColumns_ = nullptr;
  HWND resizeRows_ = nullptr;
  HWND options_ = nullptr;
  HWND pages_ = nullptr;
  std::vector<HWND> sheets_;  // by page index
  RadioGroup rows_, columns_, algorithm_, degenerate_, empty_;
  HWND index_ = nullptr;
  HWND iterations_ = nullptr;
  HWND seed_ = nullptr;
  HWND run_ = nullptr;
  HWND progress_ = nullptr;
  HWND beep_ = nullptr;
  HWND abort_ = nullptr;
  bool spaceDown_ = false;
  HWND results_ = nullptr;
  HWND memo1_ = nullptr;
  HWND memo2_ = nullptr;
  struct MessageForm {
    HWND Form = nullptr;
    HWND Ok = nullptr;
    HWND Cancel = nullptr;
    bool ExitsOnOk = false;
  };
  std::vector<MessageForm> messages_;

  bool running_ = false;
  bool hung_ = false;
  // Tests started since EcoSim started, and whether the one in hand is hit
  // by the test faults.
  int testsStarted_ = 0;
  bool faultyTest_ = false;
  UINT_PTR timer_ = 0;
  std::shared_ptr<Job> job_;
  std::thread worker_;
  std::atomic<int> workersRunning_{0};
  std::uint64_t ticks_ = 0;
  TestOrdinals ordinals_;
};

}  // namespace tessil::standin
