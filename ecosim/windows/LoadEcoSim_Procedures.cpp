// Starting EcoSim and sending it the run's test options; keeping its windows
// translucent and out of sight, placing them for "Show EcoSim"; closing it.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "EcoSimFacts.h"
#include "Errors.h"
#include "WindowMessages.h"
#include "WindowProtocolEcoSim.h"

namespace tessil {

namespace {

using Field = WindowHandle EcoSimSession::*;
using S = EcoSimSession;

// The matrix typed in during the warm-up test: cell (i, j) = (i + j) mod 2.
PresenceAbsenceMatrix WarmUpMatrix() {
  PresenceAbsenceMatrix m(5, 5);
  for (std::int32_t i = 1; i <= 5; ++i) {
    for (std::int32_t j = 1; j <= 5; ++j) m(i, j) = static_cast<std::int16_t>((i + j) % 2);
  }
  return m;
}

// A radio button of EcoSim's options window, by the choice it stands for.
template <typename Choice>
struct Button {
  Choice Value;
  Field Handle;
};

// A radio-group setter: the "Coop" section that finds the group, the group,
// and its buttons; each is selected by the argument its choice's vocabulary
// gives EcoSim.
template <typename Choice>
struct GroupSetter {
  std::string_view Section;
  Field Group;
  std::vector<Button<Choice>> Buttons;
};

const GroupSetter<Constraint> RowSetter{"Rows",
                                        &S::RowGroup,
                                        {{Constraint::Equiprobable, &S::RowEquiprobable},
                                         {Constraint::Fixed, &S::RowFixedSum},
                                         {Constraint::Proportional, &S::RowProportional}}};
const GroupSetter<Constraint> ColumnSetter{"Columns",
                                           &S::ColumnGroup,
                                           {{Constraint::Equiprobable, &S::ColumnEquiprobable},
                                            {Constraint::Fixed, &S::ColumnFixedSum},
                                            {Constraint::Proportional, &S::ColumnProportional}}};
const GroupSetter<FixedFixedAlgorithm> AlgorithmSetter{
    "Algorithm",
    &S::AlgorithmGroup,
    {{FixedFixedAlgorithm::SequentialSwap, &S::AlgorithmSequential},
     {FixedFixedAlgorithm::IndependentSwap, &S::AlgorithmIndependent},
     {FixedFixedAlgorithm::KnightsTour, &S::AlgorithmKnight}}};
const GroupSetter<DegenerateTreatment> DegenerateSetter{"Degenerate",
                                                        &S::DegenerateGroup,
                                                        {{DegenerateTreatment::Retain, &S::DegenerateRetain},
                                                         {DegenerateTreatment::Discard, &S::DegenerateDiscard},
                                                         {DegenerateTreatment::Fix, &S::DegenerateFix},
                                                         {DegenerateTreatment::Split, &S::DegenerateSplit}}};
const GroupSetter<EmptySiteTreatment> EmptySetter{
    "Empty",
    &S::EmptyGroup,
    {{EmptySiteTreatment::Include, &S::EmptyInclude}, {EmptySiteTreatment::Exclude, &S::EmptyExclude}}};

// EcoSim's windows, and their sizes when brought into view.
struct Placement {
  std::string_view Name;
  Field Window;
  ecosim::WindowSize Size;
};
constexpr Placement Placements[] = {
    {"Main", &S::MainWindow, ecosim::MainWindowSize},
    {"Coop", &S::OptionsWindow, ecosim::OptionsWindowSize},
    {"Results", &S::ResultsWindow, ecosim::ResultsWindowSize},
    {"Progress", &S::ProgressWindow, ecosim::ProgressWindowSize},
};

}  // namespace

WindowProtocolEcoSim::WindowProtocolEcoSim(WindowSystem& windows, RunSettings& settings, const RunInputs& inputs,
                                           AutomationHost* host, std::function<WindowHandle()> progressWindow,
                                           std::filesystem::path programFolder, std::function<bool()> cancelRequested)
    : windows_(windows),
      settings_(settings),
      inputs_(inputs),
      host_(host),
      progressWindow_(std::move(progressWindow)),
      programFolder_(std::move(programFolder)),
      cancelRequested_(std::move(cancelRequested)) {}

WindowProtocolEcoSim::~WindowProtocolEcoSim() { UnhookSendWait(); }

std::filesystem::path WindowProtocolEcoSim::ProgramFile() const {
  return programFolder_ / EcoSimFolder / EcoSimProgram;
}

void WindowProtocolEcoSim::PrepareEcoSim() {
  watchingEcoSim_ = false;
  HookSendWait();
  LoadRunSettings(settings_, inputs_);
  // Only an EcoSim that Tessil started is ever found: the user's own are
  // left alone.
  while (CloseEcoSim()) {
  }
  LaunchEcoSim();
  HideEcoSimApplication();
  windows_.SetForegroundWindow(progressWindow_ ? progressWindow_() : NoWindow);
  MakeEcoSimWindowTranslucent("Main");
  PlaceEcoSimWindow("Main", 0);
  MakeEcoSimWindowTranslucent("Progress");
  PlaceEcoSimWindow("Progress", 0);
  // The warm-up test, on its own matrix, rows equiprobable and 100
  // iterations, whatever the user chose; its outcome is not used.
  EnterMatrix(WarmUpMatrix());
  OpenCooccurrenceOptions();
  MakeEcoSimWindowTranslucent("Coop");
  PlaceEcoSimWindow("Coop", 0);
  SetRowConstraint(EcoSimArgument(Constraint::Equiprobable));
  SetEcoSimIterations("100");
  RunCooccurrenceTest(1);
  MakeEcoSimWindowTranslucent("Results");
  PlaceEcoSimWindow("Results", 0);
  CloseCooccurrenceResults();
  SetRowConstraint(EcoSimArgument(Constraint::Fixed));
  SetEcoSimIterations("5000");
  MakeEcoSimWindowTranslucent("Resize");
  ResizeEcoSimMatrix(settings_.NumRows, settings_.NumCols);
  TransferTestOptions();
  if (host_ != nullptr) host_->EnableShowEcoSim();
}

void WindowProtocolEcoSim::LaunchEcoSim() {
  const std::filesystem::path file = ProgramFile();
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    if (host_ != nullptr) host_->ReportProgramMissing(message::EcoSimNotFound);
    throw EcoSimProgramMissing();
  }
  const std::string folder = (programFolder_ / EcoSimFolder / "").string();
  const std::intptr_t started = windows_.ShellExecute(NoWindow, "open", file.string(), "", folder, win::SW_SHOWNORMAL);
  if (started <= 32) {
    throw EcoSimNotStarted("\"" + file.string() + "\" would not run (error " + std::to_string(started) + ")");
  }
  Wait wait(*this, "EcoSim's main window did not appear", limits_.WindowSeconds);
  do {
    wait.Pass();
    Find("Main");
    if (windows_.IsWindowVisible(session_.MainWindow)) {
      // From now on an EcoSim that ends is a failure of the run.
      watchingEcoSim_ = true;
      return;
    }
  } while (!windows_.StartedProgramEnded());
  throw EcoSimNotStarted("it ended before its main window appeared");
}

void WindowProtocolEcoSim::HideEcoSimApplication() {
  Find("Application");
  RequireWindow(session_.ApplicationWindow);
  windows_.ShowWindow(session_.ApplicationWindow, win::SW_HIDE);
}

void WindowProtocolEcoSim::TransferTestOptions() {
  const EcoSimTestOptions& o = inputs_.CommittedOptions();
  OpenCooccurrenceOptions();
  SetRowConstraint(EcoSimArgument(o.RowConstraint));
  SetColumnConstraint(EcoSimArgument(o.ColumnConstraint));
  SetCooccurrenceIndex(EcoSimArgument(o.Index));
  SetEcoSimIterations(o.EcoSimIterations);
  SetEcoSimSeed(o.EcoSimSeed);
  SetRandomizationAlgorithm(EcoSimArgument(o.Algorithm));
  SetDegenerateMatrices(EcoSimArgument(o.DegenerateMatrices));
  // Empty sites matter to EcoSim only for the two indices computed over
  // site compositions; otherwise it keeps its own setting.
  if (o.UsesEmptySites()) SetEmptySites(EcoSimArgument(o.EmptySites));
  CloseCooccurrenceOptions();
}

void WindowProtocolEcoSim::CloseCooccurrenceOptions() {
  Find("Coop");
  RequireVisible(session_.OptionsWindow);
  windows_.PostMessage(session_.OptionsWindow, win::WM_CLOSE, 0, 0);
  WaitUntilVisible(session_.MainWindow, "EcoSim's main window did not come back after its options were closed");
}

void WindowProtocolEcoSim::SelectGroupButton(WindowHandle group, WindowHandle button) {
  // The notification code in the high half of wParam is 0: a click.
  windows_.PostMessage(group, win::WM_COMMAND, button % 4096, static_cast<std::intptr_t>(button));
}

namespace {

template <typename Choice, typename Select>
void SetGroup(WindowSystem& windows, EcoSimSession& session, const GroupSetter<Choice>& setter,
              std::string_view argument, Select&& select) {
  FindEcoSimWindows(windows, session, "Coop", setter.Section);
  if (session.*setter.Group == NoWindow) throw EcoSimWindowMissing();
  // An argument outside the accepted texts selects nothing.
  for (const Button<Choice>& button : setter.Buttons) {
    if (argument == EcoSimArgument(button.Value)) select(session.*setter.Group, session.*button.Handle);
  }
}

}  // namespace

void WindowProtocolEcoSim::SetRowConstraint(std::string_view choice) {
  SetGroup(windows_, session_, RowSetter, choice, [this](WindowHandle g, WindowHandle b) { SelectGroupButton(g, b); });
}

void WindowProtocolEcoSim::SetColumnConstraint(std::string_view choice) {
  SetGroup(windows_, session_, ColumnSetter, choice,
           [this](WindowHandle g, WindowHandle b) { SelectGroupButton(g, b); });
}

void WindowProtocolEcoSim::SetRandomizationAlgorithm(std::string_view choice) {
  SetGroup(windows_, session_, AlgorithmSetter, choice,
           [this](WindowHandle g, WindowHandle b) { SelectGroupButton(g, b); });
}

void WindowProtocolEcoSim::SetDegenerateMatrices(std::string_view choice) {
  SetGroup(windows_, session_, DegenerateSetter, choice,
           [this](WindowHandle g, WindowHandle b) { SelectGroupButton(g, b); });
}

void WindowProtocolEcoSim::SetEmptySites(std::string_view choice) {
  SetGroup(windows_, session_, EmptySetter, choice,
           [this](WindowHandle g, WindowHandle b) { SelectGroupButton(g, b); });
}

void WindowProtocolEcoSim::SetCooccurrenceIndex(std::string_view text) {
  Find("Coop", "Index");
  RequireWindow(session_.IndexEdit);
  windows_.SendTextMessage(session_.IndexEdit, win::WM_SETTEXT, 0, text);
}

void WindowProtocolEcoSim::SetEcoSimIterations(std::string_view text) {
  // Found again by the text it carried when EcoSim started.
  Find("Coop", "Iterations");
  RequireWindow(session_.IterationsEdit);
  windows_.SendTextMessage(session_.IterationsEdit, win::WM_SETTEXT, 0, text);
}

void WindowProtocolEcoSim::SetEcoSimSeed(std::string_view text) {
  Find("Coop", "Iterations");
  RequireWindow(session_.SeedEdit);
  windows_.SendTextMessage(session_.SeedEdit, win::WM_SETTEXT, 0, text);
}

void WindowProtocolEcoSim::MakeEcoSimWindowTranslucent(std::string_view name) {
  WindowHandle target = NoWindow;
  if (name == "Main") {
    Find("Main");
    RequireVisible(session_.MainWindow);
    target = session_.MainWindow;
  } else if (name == "Resize") {
    Find("Resize");
    RequireWindow(session_.ResizeDialog);
    target = session_.ResizeDialog;
  } else if (name == "Coop") {
    Find("Coop");
    RequireVisible(session_.OptionsWindow);
    target = session_.OptionsWindow;
  } else if (name == "Progress") {
    Find("Progress");
    RequireWindow(session_.ProgressWindow);
    target = session_.ProgressWindow;
  } else if (name == "Results") {
    Find("Results");
    RequireVisible(session_.ResultsWindow);
    target = session_.ResultsWindow;
  } else {
    return;
  }
  // Drawn at 150/255 opacity, and the mouse passes through to what lies
  // beneath: the user may watch EcoSim but not operate it.
  windows_.SetWindowLong(target, win::GWL_EXSTYLE,
                         windows_.GetWindowLong(target, win::GWL_EXSTYLE) | win::WS_EX_LAYERED);
  windows_.SetLayeredWindowAttributes(target, 0, 150, win::LWA_ALPHA);
  windows_.SetWindowLong(target, win::GWL_EXSTYLE,
                         windows_.GetWindowLong(target, win::GWL_EXSTYLE) | win::WS_EX_TRANSPARENT);
}

void WindowProtocolEcoSim::PlaceEcoSimWindow(std::string_view name, std::int32_t mode) {
  const Placement* placement = nullptr;
  for (const Placement& p : Placements) {
    if (p.Name == name) placement = &p;
  }
  if (placement == nullptr) return;
  Find(name);
  const WindowHandle window = session_.*placement->Window;
  RequireWindow(window);
  const ScreenSize screen = windows_.ScreenSizeInPixels();
  if (mode == 0) {
    windows_.SetWindowPos(window, win::HWND_BOTTOM, screen.Width + 1, 0, 1, 1, win::SWP_NOACTIVATE);
  } else if (mode == 1) {
    // Every window is centred on the middle of the 694 x 418 area whose
    // top-right corner is at (9/10 of the width, 1/10 of the height), and
    // goes directly below Tessil's progress window.
    const double w = screen.Width;
    const double h = screen.Height;
    const ecosim::WindowSize area = ecosim::MainWindowSize;
    const double x = 9.0 * w / 10.0 - area.Width / 2.0 - placement->Size.Width / 2.0;
    const double y = h / 10.0 + area.Height / 2.0 - placement->Size.Height / 2.0;
    windows_.SetWindowPos(window, progressWindow_ ? progressWindow_() : NoWindow, static_cast<int>(RoundHalfEven(x)),
                          static_cast<int>(RoundHalfEven(y)), placement->Size.Width, placement->Size.Height,
                          win::SWP_NOACTIVATE);
  }
}

bool WindowProtocolEcoSim::CloseEcoSim() {
  Find("Main");
  const WindowHandle main = session_.MainWindow;
  if (main == NoWindow) return false;
  // One limit for the whole close: the question, its answer and EcoSim's
  // end.
  Wait wait(*this, "EcoSim did not close", limits_.CloseSeconds);
  try {
    windows_.PostMessage(main, win::WM_CLOSE, 0, 0);
    // EcoSim asks for confirmation before it ends.
    do {
      wait.Pass();
      Find("Confirm");
    } while (session_.ConfirmOk == NoWindow);
    windows_.PostMessage(session_.ConfirmOk, win::BM_CLICK, 0, 0);
    do {
      wait.Pass();
    } while (windows_.IsWindow(session_.ConfirmOk));
    do {
      wait.Pass();
    } while (windows_.IsWindow(session_.MainWindow));
  } catch (const RunCancelled&) {
    // An EcoSim that will not close is left behind.
    windows_.LeaveBehind(main);
    throw;
  } catch (const EcoSimTimedOut&) {
    windows_.LeaveBehind(main);
    throw;
  } catch (const EcoSimHigherRights&) {
    // Nor can one that takes no message from Tessil be closed by it.
    windows_.LeaveBehind(main);
    throw;
  }
  return true;
}

void WindowProtocolEcoSim::ReleaseEcoSim() {
  ResetRunSettings(settings_);
  // EcoSim is meant to end now.
  watchingEcoSim_ = false;
  std::optional<EcoSimNotClosed> notClosed;
  try {
    CloseEcoSim();
  } catch (const RunCancelled&) {
    notClosed.emplace("the close was cancelled.");
  } catch (const EcoSimTimedOut& e) {
    // Its close question was not the one Tessil answers, or EcoSim did not
    // end after it.
    notClosed.emplace(e.what());
  } catch (const EcoSimHigherRights&) {
    // The run has ended on this already, or ends without the close.
  }
  UnhookSendWait();
  if (notClosed) throw *notClosed;
}

}  // namespace tessil
