// The automation interface carried out by driving EcoSim through its
// windows: EcoSim is started from its program file, its windows are found by
// class and text, every matrix is typed into its grid, its options are set
// and its buttons pressed by window messages, and the p-value is read back
// from its results window. Works over any WindowSystem: the Qt backend with
// the stand-in EcoSim, or one that reaches EcoSim 7.0 itself.
//
// How a front end wires it (one UI thread; the window system's pending
// messages are processed inside every wait, which is when the front end's own
// windows stay live):
//
//   qtwin::WindowWorld world;                       // the program's windows and hosted programs
//   QtWindowSystem::Options options;
//   options.FullTurnSeconds = 0.0005;               // cheap waits, windows still live
//   QtWindowSystem windows(world, options);         // needs the QApplication
//   standin::StandInSwitches switches;
//   standin::RegisterStandInEcoSim(world, switches);  // where EcoSim 7.0 cannot run
//   WindowProtocolEcoSim ecosim(windows, runSettings, mainWindowInputs, &host,
//       [&] { return qtwin::HandleOf(world.Windows(), progressWindow); },  // Tessil's progress window
//       programFolder,                                     // holds EcoSim/EcoSim700.exe
//       [&] { return progressLink.CancelRequested(); });
//
// `host` enables the progress window's "Show EcoSim" box at the end of
// PrepareEcoSim, and shows "Error 02: EcoSim700.exe not found." when the
// program file is missing (PrepareEcoSim then fails with
// EcoSimProgramMissing; the program ends after the run's finish steps). The
// box's handler calls PlaceEcoSimWindow for "Main", "Progress", "Coop" and
// "Results" with the box's value; that call may come in while another
// operation waits, and fails with EcoSimWindowMissing when EcoSim's windows
// are gone, which the handler must catch. The automation may live for the
// whole program or be made for each run.
//
// Every wait is unbounded while the run goes on, but for two: EcoSim's
// resize dialog still open ResizeRefusedSeconds after "&OK" ends the run
// with EcoSimSizeRefused, and a start that failed (the program would not
// run, or ended before its main window appeared) ends it at once with
// EcoSimNotStarted. A matrix cell other than 0 or 1 is refused with
// MatrixCellNotBinary before anything is typed.
//
// Once `cancelRequested` answers true, the run has CancelGraceSeconds more
// in all, by the window system's monotonic clock: every wait, a send that
// EcoSim never answers (the automation hooks the window system's send wait
// from PrepareEcoSim to the end of ReleaseEcoSim) and ReleaseEcoSim's close
// give up with RunCancelled at that deadline, and an EcoSim that will not
// close is left behind (WindowSystem::LeaveBehind); ReleaseEcoSim itself
// never fails.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "AutomationHost.h"
#include "EcoSimAutomation.h"
#include "EcoSimSession.h"
#include "Public_Declarations.h"
#include "WindowSystem.h"

namespace tessil {

class WindowProtocolEcoSim final : public EcoSimAutomation {
 public:
  // How long a wait may go on once Cancel has been pressed.
  static constexpr double CancelGraceSeconds = 10.0;
  // How long EcoSim's resize dialog may stay open after "&OK" before the size
  // counts as refused.
  static constexpr double ResizeRefusedSeconds = 10.0;
  // EcoSim's place below the program's folder.
  static constexpr std::string_view EcoSimFolder = "EcoSim";
  static constexpr std::string_view EcoSimProgram = "EcoSim700.exe";

  // The references must outlive the automation. `progressWindow` gives the
  // handle of Tessil's progress window (0 when there is none); `host` may be
  // null; a null `cancelRequested` never cancels.
  WindowProtocolEcoSim(WindowSystem& windows, RunSettings& settings, const RunInputs& inputs, AutomationHost* host,
                       std::function<WindowHandle()> progressWindow, std::filesystem::path programFolder,
                       std::function<bool()> cancelRequested);
  ~WindowProtocolEcoSim() override;
  WindowProtocolEcoSim(const WindowProtocolEcoSim&) = delete;
  WindowProtocolEcoSim& operator=(const WindowProtocolEcoSim&) = delete;

  void PrepareEcoSim() override;
  void EnterMatrix(const PresenceAbsenceMatrix& matrix) override;
  void OpenCooccurrenceOptions() override;
  RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) override;
  double ReadPValue(std::int16_t upperTail) override;
  void CloseCooccurrenceResults() override;
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override;
  void ReleaseEcoSim() override;

  // The steps the operations above are made of.
  void LaunchEcoSim();
  void HideEcoSimApplication();
  void TransferTestOptions();
  void CloseCooccurrenceOptions();
  void SelectGroupButton(WindowHandle group, WindowHandle button);
  void SetRowConstraint(std::string_view choice);
  void SetColumnConstraint(std::string_view choice);
  void SetRandomizationAlgorithm(std::string_view choice);
  void SetDegenerateMatrices(std::string_view choice);
  void SetEmptySites(std::string_view choice);
  void SetCooccurrenceIndex(std::string_view text);
  void SetEcoSimIterations(std::string_view text);
  void SetEcoSimSeed(std::string_view text);
  void ResizeEcoSimMatrix(std::int32_t rows, std::int32_t columns);
  std::int32_t AbortEcoSimRun();
  // Line `line` (from 0) of an edit control, read as another program reads
  // it (WM_GETTEXTLENGTH, then WM_GETTEXT of the whole text, split at CR
  // LF) and returned as a line buffer of `capacity` bytes (LineBuffer).
  std::string ReadEditLine(WindowHandle window, std::int32_t line, std::size_t capacity);
  void MakeEcoSimWindowTranslucent(std::string_view name);
  // True when an EcoSim main window was found and has been closed.
  bool CloseEcoSim();
  void WaitUntilVisible(WindowHandle window);
  void WaitUntilHidden(WindowHandle window);

  const EcoSimSession& Session() const { return session_; }
  std::filesystem::path ProgramFile() const;

 private:
  // One wait: lets the program's pending messages through on each pass and,
  // once Cancel has been pressed, gives up when the run's grace is over.
  class Wait {
   public:
    explicit Wait(WindowProtocolEcoSim& ecosim) : ecosim_(ecosim) {}
    void ProcessMessages();
    // Gives up once the grace after Cancel is over, without letting
    // messages through: for long runs of sent messages.
    void CheckCancel() { ecosim_.CheckCancel(); }

   private:
    WindowProtocolEcoSim& ecosim_;
  };

  // Gives up with RunCancelled once CancelGraceSeconds have passed since
  // this run first saw the Cancel request.
  void CheckCancel();
  void HookSendWait();
  void UnhookSendWait();
  void Find(std::string_view name, std::string_view section = {});
  void RequireVisible(WindowHandle window);
  void RequireWindow(WindowHandle window);
  RunOutcome ConfirmationPath(Wait& wait);
  void WaitForShiftUp(Wait& wait);
  bool CancelRequested() const { return cancelRequested_ && cancelRequested_(); }

  WindowSystem& windows_;
  RunSettings& settings_;
  const RunInputs& inputs_;
  AutomationHost* host_;
  std::function<WindowHandle()> progressWindow_;
  std::filesystem::path programFolder_;
  std::function<bool()> cancelRequested_;
  EcoSimSession session_;
  // When this run first saw the Cancel request (monotonic seconds).
  std::optional<double> cancelSeen_;
  bool sendWaitHooked_ = false;
};

}  // namespace tessil
