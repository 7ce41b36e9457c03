// The Run handler's rules, without any window system: the steps of a run
// (prepare EcoSim, run the driver, finish) in their order, whatever fails
// where, and what the user is told. The face that shows the windows
// implements RunFace; the presenter calls it in this order:
//
//   1. HideMainWindow, OpenProgressWindow (shown, its Close command gone, its
//      first painting done, pending messages let through once);
//   2. MakeAutomation, then PrepareEcoSim; 3. the driver;
//   4. HideProgressWindow;
//   5. a completed run: ShowResults, and only then EcoSim is released, so
//      that closing EcoSim cannot cost the results; a failure of that
//      release is told after them, in a message box of its own;
//      a cancelled or failed run: EcoSim is released, then ShowMainWindow,
//      and a failure (not a cancellation) is told in a message box;
//   6. UnloadProgressWindow; when EcoSim's program file is missing (the user
//      has been told by the progress window) EndProgram(1).
//
// Settings are reset however the run ends. Time comes from the injected
// clock, read at single precision as the run's start is.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "Clock.h"
#include "EcoSimAutomation.h"
#include "ProgressRules.h"
#include "Public_Declarations.h"
#include "ResultsRules.h"
#include "WindowServices.h"

namespace tessil {

// Says what failed, in a user's words, and that no results were produced.
std::string RunFailureMessage(std::exception_ptr failure);
// Says why EcoSim could not be closed, and that the results are complete.
std::string ReleaseFailureMessage(std::exception_ptr failure);
// True when the failure is EcoSim's program file missing, after which the
// program ends.
bool FailedForMissingProgram(std::exception_ptr failure);

class RunFace {
 public:
  virtual ~RunFace() = default;
  virtual void HideMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  // Creates the progress window over the presenter and shows it, not modal,
  // without the Close command of its frame; the presenter then paints it.
  virtual void OpenProgressWindow(ProgressPresenter& progress) = 0;
  virtual void HideProgressWindow() = 0;
  // Destroys the progress window; the presenter is destroyed after it.
  virtual void UnloadProgressWindow() = 0;
  // The automation of this run: EcoSim's windows are placed beside the
  // progress window, which is also its host and its cancel link.
  virtual MadeAutomation MakeAutomation(RunSettings& settings, const RunInputs& inputs,
                                        ProgressPresenter& progress) = 0;
  // Shows the results window with the report and the chart (as saved, and
  // laid out for the window's view at whatever size it takes), without
  // waiting; the main window returns when it closes.
  virtual void ShowResults(std::string report, ResultsChart chart) = 0;
  // Ends the program with the status, after closing its windows.
  virtual void EndProgram(int status) = 0;
  // A message box owned by the results window just shown; false leaves the
  // message to the main window's boxes.
  virtual bool InformOverResults(std::string_view text) {
    static_cast<void>(text);
    return false;
  }
};

struct RunServices {
  RunSettings& Settings;
  const RunInputs& Inputs;
  Clock& Time;
  UserMessages& Messages;                        // owned by the main window
  std::function<void()> ProcessPendingMessages;  // the face's message loop, once
};

class RunPresenter {
 public:
  RunPresenter(RunServices services, RunFace& face);

  // True while a run is under way; a second Run then does nothing.
  bool Running() const { return running_; }
  // The progress window's rules while a run is under way, else null.
  ProgressPresenter* Progress() const { return progress_; }

  // "Run": the whole run, returning when it has ended.
  void Run();

 private:
  RunServices services_;
  RunFace& face_;
  bool running_ = false;
  ProgressPresenter* progress_ = nullptr;
};

}  // namespace tessil
