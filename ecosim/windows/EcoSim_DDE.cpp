// The per-matrix protocol with EcoSim: entering a matrix into its grid,
// opening its options window, running the test and waiting for its outcome,
// reading the p-value and closing the results; and the waits they share.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "Errors.h"
#include "PValueLine.h"
#include "WindowMessages.h"
#include "WindowProtocolEcoSim.h"

namespace tessil {

namespace {

// The key data EcoSim's grid receives with each character and Tab.
constexpr std::intptr_t CharOneKeyData = 0x00020001;   // repeat 1, scan code 0x02
constexpr std::intptr_t CharZeroKeyData = 0x000B0001;  // repeat 1, scan code 0x0B
constexpr std::intptr_t TabKeyData = 0x000F0001;       // repeat 1, scan code 0x0F
constexpr std::intptr_t SpaceDownKeyData = 0x00390001;
constexpr std::intptr_t SpaceUpKeyData = static_cast<std::intptr_t>(0xC0390001u);  // previous state down, released

using ecosim::CooccurrenceCommand;
using ecosim::ResizeCommand;

// The capacities of the line buffers: the grid's in-place editor and the
// results memo.
constexpr std::size_t GridEditorCapacity = 2;
// The caption of EcoSim's progress window is read into a 10-byte buffer:
// its first 9 characters.
constexpr std::size_t CaptionBuffer = 10;
// Tabs of a retyping round sent between two turns of message processing.
constexpr std::int64_t TabsBetweenPasses = 256;
// How long the progress caption must stand still before a test counts as
// stalled.
constexpr double StallSeconds = 2.5;

}  // namespace

WindowProtocolEcoSim::Wait::Wait(WindowProtocolEcoSim& ecosim, std::string_view what, double limit)
    : ecosim_(ecosim), what_(what), limit_(limit), start_(limit > 0.0 ? ecosim.windows_.MonotonicSeconds() : 0.0) {}

void WindowProtocolEcoSim::Wait::ProcessMessages() {
  // A message refused for want of rights has no effect to wait for. An
  // EcoSim that is ending refuses every message too: when its end follows
  // at once, the end is what happened.
  if (ecosim_.windows_.MessagesRefused()) {
    const double until = ecosim_.windows_.MonotonicSeconds() + 1.0;
    while (!ecosim_.windows_.StartedProgramEnded() && ecosim_.windows_.MonotonicSeconds() < until) {
      ecosim_.windows_.WaitForMessages(WaitPassMilliseconds);
    }
    ecosim_.CheckEcoSimRunning();
    throw EcoSimHigherRights();
  }
  ecosim_.windows_.ProcessPendingMessages();
  ecosim_.CheckEcoSimRunning();
  ecosim_.CheckCancel();
}

void WindowProtocolEcoSim::Wait::Pass() {
  // Tessil's own messages (Cancel, "Show EcoSim", repainting) wake the pass
  // at once, as does the end of EcoSim.
  ecosim_.windows_.WaitForMessages(WaitPassMilliseconds);
  ProcessMessages();
  if (limit_ > 0.0 && ecosim_.windows_.MonotonicSeconds() - start_ >= limit_) throw EcoSimTimedOut(what_, limit_);
}

void WindowProtocolEcoSim::CheckCancel() {
  if (!cancelSeen_ && !CancelRequested()) return;
  // The run is being cancelled: it may last only a little longer, so an
  // EcoSim that stops answering cannot hold Tessil. One deadline for the
  // whole run, on a clock that midnight and clock changes do not move.
  const double now = windows_.MonotonicSeconds();
  if (!cancelSeen_) cancelSeen_ = now;
  if (now - *cancelSeen_ >= limits_.CancelGraceSeconds) throw RunCancelled();
}

void WindowProtocolEcoSim::CheckEcoSimRunning() {
  // An EcoSim that crashed or was ended from outside answers nothing and
  // shows nothing again: whatever the run waits for will never come.
  if (watchingEcoSim_ && windows_.StartedProgramEnded()) throw EcoSimEnded(windows_.StartedProgramExitCode());
}

void WindowProtocolEcoSim::RefuseExitQuestion() {
  if (windows_.FindWindowEx(session_.ConfirmWindow, NoWindow, "TButton", "Cancel") != NoWindow) {
    throw EcoSimAskedToClose();
  }
}

void WindowProtocolEcoSim::HookSendWait() {
  cancelSeen_.reset();
  // A send EcoSim never answers holds the run until Cancel's grace is over.
  windows_.SetSendWait([this] { CheckCancel(); });
  sendWaitHooked_ = true;
}

void WindowProtocolEcoSim::UnhookSendWait() {
  if (sendWaitHooked_) windows_.SetSendWait(nullptr);
  sendWaitHooked_ = false;
  cancelSeen_.reset();
}

void WindowProtocolEcoSim::Find(std::string_view name, std::string_view section) {
  FindEcoSimWindows(windows_, session_, name, section);
}

// A window that is gone because EcoSim itself is gone is told as such.
void WindowProtocolEcoSim::RequireVisible(WindowHandle window) {
  if (windows_.IsWindowVisible(window)) return;
  CheckEcoSimRunning();
  throw EcoSimWindowMissing();
}

void WindowProtocolEcoSim::RequireWindow(WindowHandle window) {
  if (window != NoWindow) return;
  CheckEcoSimRunning();
  throw EcoSimWindowMissing();
}

void WindowProtocolEcoSim::RequireNamedWindow(WindowHandle window, std::string_view name) {
  if (window != NoWindow) return;
  CheckEcoSimRunning();
  throw EcoSimWindowMissing(name);
}

void WindowProtocolEcoSim::WaitUntilVisible(WindowHandle window) {
  WaitUntilVisible(window, "An EcoSim window did not appear");
}

void WindowProtocolEcoSim::WaitUntilHidden(WindowHandle window) {
  WaitUntilHidden(window, "An EcoSim window did not close");
}

void WindowProtocolEcoSim::WaitUntilVisible(WindowHandle window, std::string_view what) {
  Wait wait(*this, what, limits_.WindowSeconds);
  while (!windows_.IsWindowVisible(window)) wait.Pass();
}

void WindowProtocolEcoSim::WaitUntilHidden(WindowHandle window, std::string_view what) {
  Wait wait(*this, what, limits_.WindowSeconds);
  while (windows_.IsWindowVisible(window)) wait.Pass();
}

void WindowProtocolEcoSim::ResizeEcoSimMatrix(std::int32_t rows, std::int32_t columns) {
  Find("Main");
  Find("Resize");
  RequireVisible(session_.MainWindow);
  windows_.PostMessage(session_.MainWindow, win::WM_COMMAND, ResizeCommand, 0);
  WaitUntilVisible(session_.ResizeDialog, "EcoSim's resize dialog did not appear");
  Find("Resize");
  // The second size field takes the rows, the first the columns.
  windows_.SendTextMessage(session_.ResizeEditB, win::WM_SETTEXT, 0, std::to_string(rows));
  windows_.SendTextMessage(session_.ResizeEditA, win::WM_SETTEXT, 0, std::to_string(columns));
  // Without the button the dialog would stay open and pass for a size
  // EcoSim refuses.
  RequireNamedWindow(session_.ResizeOk, "the \"&OK\" button of EcoSim's resize dialog");
  windows_.PostMessage(session_.ResizeOk, win::BM_CLICK, 0, 0);
  // EcoSim keeps the dialog open over a size it will not take.
  const double clicked = windows_.MonotonicSeconds();
  Wait wait(*this);
  while (windows_.IsWindowVisible(session_.ResizeDialog)) {
    if (windows_.MonotonicSeconds() - clicked >= limits_.ResizeRefusedSeconds) throw EcoSimSizeRefused(rows, columns);
    wait.Pass();
  }
}

void WindowProtocolEcoSim::EnterMatrix(const PresenceAbsenceMatrix& matrix) {
  // EcoSim's grid reads back only what was typed: any other value would be
  // typed again for ever.
  for (std::int32_t i = 1; i <= matrix.Rows(); ++i) {
    for (std::int32_t j = 1; j <= matrix.Cols(); ++j) {
      if (matrix(i, j) != 0 && matrix(i, j) != 1) throw MatrixCellNotBinary(i, j, matrix(i, j));
    }
  }
  Find("Grid");
  RequireVisible(session_.MainWindow);
  // A full round of Tabs brings the grid back to the same cell.
  const std::int64_t cells = std::int64_t{settings_.NumRows} * settings_.NumCols;
  // One wait for the whole matrix: once Cancel is pressed, the entry ends
  // within the grace however many cells are left.
  Wait wait(*this);
  for (std::int32_t i = 1; i <= matrix.Rows(); ++i) {
    for (std::int32_t j = 1; j <= matrix.Cols(); ++j) {
      const std::int16_t cell = matrix(i, j);
      const char expected = cell == 1 ? '1' : '0';
      for (;;) {
        if (cell == 1) {
          windows_.SendMessage(session_.Grid, win::WM_CHAR, '1', CharOneKeyData);
        } else {
          windows_.SendMessage(session_.Grid, win::WM_CHAR, '0', CharZeroKeyData);
        }
        wait.ProcessMessages();
        Find("GridEdit");
        // Without the in-place editor a typed character opens (or without
        // the grid itself) no cell could ever read back as typed: the entry
        // would retype the first cell for ever.
        RequireWindow(session_.GridEditor);
        const std::string typed = ReadEditLine(session_.GridEditor, 0, GridEditorCapacity);
        if (typed.front() == expected) break;
        // A full round brings the grid back to this cell only if every Tab
        // goes one way.
        WaitForShiftUp(wait);
        for (std::int64_t k = 0; k < cells; ++k) {
          windows_.SendMessage(session_.Grid, win::WM_KEYDOWN, win::VK_TAB, TabKeyData);
          // A round on a large grid is long: Cancel is served and read
          // along the way.
          if (k % TabsBetweenPasses == TabsBetweenPasses - 1) {
            wait.ProcessMessages();
          } else {
            wait.CheckCancel();
          }
        }
      }
      WaitForShiftUp(wait);
      windows_.SendMessage(session_.Grid, win::WM_KEYDOWN, win::VK_TAB, TabKeyData);
    }
  }
}

void WindowProtocolEcoSim::WaitForShiftUp(Wait& wait) {
  // EcoSim's grid moves back on a Tab while its thread sees Shift held (the
  // user's hand on the key, or a key-up it never received): the next value
  // would land in the cell before. The Tab waits until the key is up, with
  // Cancel served; Tessil never touches the key state itself.
  while (windows_.IsKeyDownFor(session_.Grid, win::VK_SHIFT)) wait.ProcessMessages();
}

void WindowProtocolEcoSim::OpenCooccurrenceOptions() {
  Find("Main");
  Find("Coop");
  RequireVisible(session_.MainWindow);
  windows_.PostMessage(session_.MainWindow, win::WM_COMMAND, CooccurrenceCommand, 0);
  WaitUntilVisible(session_.PreferencesSheet, "EcoSim's co-occurrence options window did not appear");
  // Both pages are shown once, the General page in between.
  windows_.SendMessage(session_.OptionsPages, win::TCM_SETCURFOCUS, 1, 0);
  WaitUntilVisible(session_.GeneralSheet, "The \"General\" page of EcoSim's co-occurrence options did not appear");
  windows_.SendMessage(session_.OptionsPages, win::TCM_SETCURFOCUS, 0, 0);
}

RunOutcome WindowProtocolEcoSim::RunCooccurrenceTest(std::int16_t toggleBeep) {
  Find("Coop", "Run");
  Find("Results");
  Find("Main");
  RequireVisible(session_.OptionsWindow);
  // A click on no button would start no test, and its outcome would be
  // waited for in vain.
  RequireNamedWindow(session_.RunButton, "the \"&Run\" button of EcoSim's co-occurrence options window");
  windows_.SetFocus(session_.RunButton);
  windows_.PostMessage(session_.RunButton, win::BM_CLICK, 0, 0);

  double start = windows_.MonotonicSeconds();
  std::string previousCaption;
  bool beepDone = false;
  // Only the warm-up test, on its tiny matrix, has a limit: a study's test
  // may take hours.
  Wait wait(*this, "EcoSim's warm-up test did not show its results", toggleBeep == 1 ? limits_.WarmUpSeconds : 0.0);
  for (;;) {
    // The results window of the last "Results" look-up: this call's, or a
    // fresher one of AbortEcoSimRun or of the "Show EcoSim" box.
    if (windows_.IsWindowVisible(session_.ResultsWindow)) return ResultsShown;
    if (toggleBeep == 1 && !beepDone) {
      Find("Progress");
      if (session_.BeepCheck != NoWindow) {
        windows_.SetFocus(session_.BeepCheck);
        windows_.SendMessage(session_.BeepCheck, win::WM_KEYDOWN, win::VK_SPACE, SpaceDownKeyData);
        windows_.SendMessage(session_.BeepCheck, win::WM_KEYUP, win::VK_SPACE, SpaceUpKeyData);
        beepDone = true;
      }
    }
    Find("Confirm");
    if (session_.ConfirmWindow != NoWindow) {
      RefuseExitQuestion();
      return ConfirmationPath(wait);
    }
    if (windows_.MonotonicSeconds() - start <= StallSeconds) {
      wait.Pass();
      continue;
    }
    std::array<char, CaptionBuffer> buffer{};
    windows_.GetWindowText(session_.ProgressWindow, buffer);
    const std::string caption(buffer.data());
    if (!(caption.starts_with("...") && caption == previousCaption)) {
      previousCaption = caption;
      start = windows_.MonotonicSeconds();
      wait.Pass();
      continue;
    }
    // The caption has stood still: the test has stalled.
    Find("Confirm");
    if (session_.ConfirmWindow != NoWindow || AbortEcoSimRun() != 0) {
      wait.Pass();
      continue;
    }
    return NoResults;
  }
}

RunOutcome WindowProtocolEcoSim::ConfirmationPath(Wait& wait) {
  Wait forOk(*this, "EcoSim's confirmation showed no \"OK\" button", limits_.WindowSeconds);
  while (session_.ConfirmOk == NoWindow) {
    Find("Confirm");
    RefuseExitQuestion();
    forOk.Pass();
  }
  wait.CheckCancel();
  windows_.PostMessage(session_.ConfirmOk, win::BM_CLICK, 0, 0);
  WaitUntilVisible(session_.MainWindow, "EcoSim's main window did not come back after its confirmation");
  return NoResults;
}

std::int32_t WindowProtocolEcoSim::AbortEcoSimRun() {
  Find("Main");
  Find("Progress");
  Find("Results");
  if (!windows_.IsWindowVisible(session_.AbortButton)) return 1;
  windows_.PostMessage(session_.AbortButton, win::BM_CLICK, 0, 0);
  Wait wait(*this, "EcoSim's main window did not come back after \"&Abort simulation\"", limits_.WindowSeconds);
  while (!windows_.IsWindowVisible(session_.MainWindow)) {
    // A results window that comes up after the abort is closed unread.
    if (windows_.IsWindowVisible(session_.ResultsWindow)) CloseCooccurrenceResults();
    wait.Pass();
  }
  return 0;
}

std::string WindowProtocolEcoSim::ReadEditLine(WindowHandle window, std::int32_t line, std::size_t capacity) {
  // The whole text of the control, as another program may read it: its
  // length, then the text itself. The line is cut from it and handed on as
  // a line buffer of this capacity would return it.
  // The first line needs only its first `capacity` characters and one more,
  // which shows whether a line break starts among them: one send instead of
  // two for every cell typed into the grid.
  std::size_t wanted = capacity + 1;
  if (line != 0) {
    const std::intptr_t length = windows_.SendMessage(window, win::WM_GETTEXTLENGTH, 0, 0);
    wanted = static_cast<std::size_t>(std::max<std::intptr_t>(length, 0));
  }
  std::string text(wanted + 1, '\0');
  const std::intptr_t copied = windows_.SendBufferMessage(window, win::WM_GETTEXT, text.size(), text);
  text.resize(
      static_cast<std::size_t>(std::clamp<std::intptr_t>(copied, 0, static_cast<std::intptr_t>(text.size()) - 1)));
  std::string_view rest = text;
  for (std::int32_t k = 0; k < line; ++k) {
    const std::size_t end = rest.find("\r\n");
    // Past the last line: an empty line.
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
  }
  return LineBuffer(rest.substr(0, rest.find("\r\n")), capacity);
}

double WindowProtocolEcoSim::ReadPValue(std::int16_t upperTail) {
  Find("Results");
  RequireVisible(session_.ResultsWindow);
  const std::string line = ReadEditLine(session_.ResultsMemo, LowerTailLine + upperTail, PValueLineCapacity);
  return PValueFromLine(line, upperTail);
}

void WindowProtocolEcoSim::CloseCooccurrenceResults() {
  Find("Results");
  RequireVisible(session_.ResultsWindow);
  windows_.PostMessage(session_.ResultsWindow, win::WM_CLOSE, 0, 0);
  WaitUntilVisible(session_.MainWindow, "EcoSim's main window did not come back after its results were closed");
}

}  // namespace tessil
