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
// No wait outlives EcoSim or goes on for ever (EcoSimLimits.h): once EcoSim
// is up, every pass of every wait checks that the EcoSim Tessil started is
// still running, and ends the run with EcoSimEnded (its exit code) when it is
// not; a window that must appear or hide and does not ends it with
// EcoSimTimedOut naming the window, as does a warm-up test without results.
// EcoSim's resize dialog still open ResizeRefusedSeconds after "&OK" ends the
// run with EcoSimSizeRefused; a start that failed ends it at once with
// EcoSimNotStarted; a "&Run" or "&OK" button that is not there ends it with
// EcoSimWindowMissing naming the button, rather than a click on no window
// and a wait for its effect. An exit question of EcoSim's (a message form
// with a Cancel button), which Tessil never asks for during a test, is never
// answered: the run ends with EcoSimAskedToClose. A study's tests themselves
// have no limit. A matrix cell other than 0 or 1 is refused with
// MatrixCellNotBinary before anything is typed. Each pass of a wait blocks
// on Tessil's own messages (WindowSystem::WaitForMessages) for at most
// WaitPassMilliseconds, so a wait costs no processor time of its own.
//
// Once `cancelRequested` answers true, the run has CancelGraceSeconds more
// in all, by the window system's monotonic clock: every wait, a send that
// EcoSim never answers (the automation hooks the window system's send wait
// from PrepareEcoSim to the end of ReleaseEcoSim) and ReleaseEcoSim's close
// give up with RunCancelled at that deadline, and an EcoSim that will not
// close is left behind (WindowSystem::LeaveBehind). ReleaseEcoSim fails only
// with EcoSimNotClosed, when EcoSim could not be closed (it did not close in
// time, or the close was cancelled) and was left behind: after a completed
// run, its results are still good.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "AutomationHost.h"
#include "EcoSimAutomation.h"
#include "EcoSimLimits.h"
#include "EcoSimSession.h"
#include "Public_Declarations.h"
#include "WindowSystem.h"

namespace tessil {

class WindowProtocolEcoSim final : public EcoSimAutomation {
 public:
  // How long a wait may go on once Cancel has been pressed.
  static constexpr double CancelGraceSeconds = EcoSimLimits{}.CancelGraceSeconds;
  // How long EcoSim's resize dialog may stay open after "&OK" before the size
  // counts as refused.
  static constexpr double ResizeRefusedSeconds = EcoSimLimits{}.ResizeRefusedSeconds;
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
  // The same, ending the run with EcoSimTimedOut after the window limit,
  // with `what` saying what did not happen ("EcoSim's main window did not
  // appear").
  void WaitUntilVisible(WindowHandle window, std::string_view what);
  void WaitUntilHidden(WindowHandle window, std::string_view what);

  const EcoSimSession& Session() const { return session_; }
  std::filesystem::path ProgramFile() const;
  // The limits of the waits: those of the environment unless set here.
  void SetLimits(const EcoSimLimits& limits) { limits_ = limits; }
  const EcoSimLimits& Limits() const { return limits_; }

 private:
  // One wait: lets the program's pending messages through on each pass,
  // ends the run when EcoSim has ended and, once Cancel has been pressed,
  // gives up when the run's grace is over. With a limit, it gives up with
  // EcoSimTimedOut(what, limit) that many seconds after it began.
  class Wait {
   public:
    explicit Wait(WindowProtocolEcoSim& ecosim, std::string_view what = {}, double limit = 0.0);
    // One turn of message processing, without blocking: for work that
    // goes on between turns (typing a matrix).
    void ProcessMessages();
    // One pass of a poll: blocks for Tessil's messages a moment, handles
    // them, and checks the limit.
    void Pass();
    // Gives up once the grace after Cancel is over, without letting
    // messages through: for long runs of sent messages.
    void CheckCancel() { ecosim_.CheckCancel(); }

   private:
    WindowProtocolEcoSim& ecosim_;
    std::string_view what_;
    double limit_;
    double start_;
  };

  // Gives up with RunCancelled once CancelGraceSeconds have passed since
  // this run first saw the Cancel request.
  void CheckCancel();
  // Ends the run with EcoSimEnded when the EcoSim this run started has
  // ended; from its start until ReleaseEcoSim.
  void CheckEcoSimRunning();
  // A confirmation window that asks whether EcoSim should close (it has a
  // Cancel button) is another program's request, never answered here.
  void RefuseExitQuestion();
  void HookSendWait();
  void UnhookSendWait();
  void Find(std::string_view name, std::string_view section = {});
  void RequireVisible(WindowHandle window);
  void RequireWindow(WindowHandle window);
  // For a window that receives a message whose effect is then waited for.
  void RequireNamedWindow(WindowHandle window, std::string_view name);
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
  EcoSimLimits limits_ = EcoSimLimits::FromEnvironment();
  // Between EcoSim's start and ReleaseEcoSim: an EcoSim that ends is a
  // failure.
  bool watchingEcoSim_ = false;
};

}  // namespace tessil
