#include "RunRules.h"

#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "Errors.h"
#include "Kernel_Procedures.h"
#include "OutputResults_Procedures.h"
#include "RandomStream.h"

namespace tessil {

namespace {

std::string Reason(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EcoSimWindowMissing& e) {
    // A window named by the run says which one.
    if (std::string_view(e.what()).find(": ") != std::string_view::npos) return e.what();
    return "EcoSim stopped answering: a window of EcoSim that Tessil needs could not be found.";
  } catch (const PValueNotANumber& e) {
    return std::string("Tessil could not read EcoSim's results. ") + e.what() + ".";
  } catch (const TessilError& e) {
    return e.what();
  } catch (const std::bad_alloc&) {
    return "There was not enough memory for a matrix of this size.";
  } catch (const std::exception& e) {
    return std::string("An unexpected error occurred: ") + e.what();
  } catch (...) {
    return "An unexpected error occurred.";
  }
}

std::string Sentence(std::exception_ptr failure) {
  std::string reason = failure ? Reason(failure) : "An unexpected error occurred.";
  if (reason.empty() || reason.back() != '.') reason += '.';
  return reason;
}

// The clock as the run reads it: seconds since midnight at single precision,
// so that the start of the run and every later reading agree in precision.
class SinglePrecisionClock final : public Clock {
 public:
  explicit SinglePrecisionClock(Clock& inner) : inner_(inner) {}
  double SecondsSinceMidnight() override {
    return static_cast<double>(static_cast<float>(inner_.SecondsSinceMidnight()));
  }

 private:
  Clock& inner_;
};

}  // namespace

std::string RunFailureMessage(std::exception_ptr failure) {
  return "The run could not be completed. " + Sentence(failure) + "\n\nNo results were produced.";
}

std::string ReleaseFailureMessage(std::exception_ptr failure) {
  return Sentence(failure) + "\n\nThe results are complete.";
}

bool FailedForMissingProgram(std::exception_ptr failure) {
  if (!failure) return false;
  try {
    std::rethrow_exception(failure);
  } catch (const EcoSimProgramMissing&) {
    return true;
  } catch (...) {
    return false;
  }
}

RunPresenter::RunPresenter(RunServices services, RunFace& face) : services_(std::move(services)), face_(face) {}

void RunPresenter::Run() {
  if (running_) return;
  running_ = true;
  RunSettings& settings = services_.Settings;
  std::unique_ptr<ProgressPresenter> progress;
  std::unique_ptr<EcoSimAutomation> ecosim;
  bool progressShown = false;
  PowerTable table;
  std::exception_ptr failure;

  try {
    face_.HideMainWindow();
    progress = std::make_unique<ProgressPresenter>(settings, services_.Time, services_.ProcessPendingMessages);
    progress_ = progress.get();
    face_.OpenProgressWindow(*progress);
    progressShown = true;
    // The window's first painting comes before EcoSim is started: it says
    // that EcoSim is being initialized and offers Cancel.
    progress->Repaint();
    progress->ProcessPendingMessages();
    MadeAutomation made = face_.MakeAutomation(settings, services_.Inputs, *progress);
    ecosim = std::move(made.EcoSim);
    progress->AttachAutomation(ecosim.get());
    ecosim->PrepareEcoSim();
    SinglePrecisionClock clock(services_.Time);
    RandomStream stream;
    RunContext run{settings, services_.Inputs, *ecosim, *progress, stream, clock, made.Workers};
    table = RunPowerSimulation(run);
  } catch (...) {
    failure = std::current_exception();
  }

  auto hideProgress = [&] {
    if (progress) progress->AttachAutomation(nullptr);
    if (progressShown) face_.HideProgressWindow();
    progressShown = false;
  };
  // However the run ended, EcoSim is released and the settings are reset.
  auto release = [&]() -> std::exception_ptr {
    std::exception_ptr releaseFailure;
    try {
      if (ecosim) {
        ecosim->ReleaseEcoSim();
      } else {
        ResetRunSettings(settings);
      }
    } catch (...) {
      ResetRunSettings(settings);
      releaseFailure = std::current_exception();
    }
    ecosim.reset();
    return releaseFailure;
  };

  bool completed = !failure && progress && !progress->CancelRequested();
  if (completed) {
    // The results are shown while EcoSim still runs: closing it comes after
    // them and cannot cost them.
    hideProgress();
    try {
      const ErrorRateSummary summary = AnalyzeErrorRates(table);
      std::string report = BuildResultsReport(table, summary, services_.Inputs);
      face_.ShowResults(std::move(report), MakeResultsChart(table, services_.Inputs));
    } catch (...) {
      failure = std::current_exception();
      completed = false;
    }
  }
  const std::exception_ptr releaseFailure = release();
  bool programMissing = false;
  if (completed) {
    if (releaseFailure) {
      const std::string text = ReleaseFailureMessage(releaseFailure);
      // Said over the results, which stand.
      if (!face_.InformOverResults(text)) services_.Messages.Inform(text);
    }
  } else {
    hideProgress();
    if (!failure) failure = releaseFailure;
    const bool cancelled = progress && progress->CancelRequested();
    programMissing = !cancelled && FailedForMissingProgram(failure);
    if (cancelled) {
      face_.ShowMainWindow();
    } else if (!programMissing) {
      // The user has been told that EcoSim cannot be found when it is
      // missing; Tessil cannot work without it.
      face_.ShowMainWindow();
      services_.Messages.Inform(RunFailureMessage(failure));
    }
  }
  if (progress) face_.UnloadProgressWindow();
  progress_ = nullptr;
  progress.reset();
  running_ = false;
  if (programMissing) face_.EndProgram(1);
}

}  // namespace tessil
