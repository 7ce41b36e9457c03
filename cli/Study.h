// A whole study run headless: the same run as the desktop program's, through
// the in-process automation or any other, with the report and the power table
// as outputs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "EcoSimAutomation.h"
#include "Kernel_Procedures.h"
#include "OutputResults_Procedures.h"
#include "Public_Declarations.h"

namespace tessil::cli {

struct StudyRequest {
  FixedRunInputs Inputs;  // size texts, committed options, choices, summary
  std::int32_t NumIterations = 100;
  std::int32_t RandomSeed = 0;
  unsigned Threads = 1;
};

struct StudyResult {
  PowerTable Table;
  ErrorRateSummary Summary;
  std::string Report;
  // Why EcoSim could not be closed after the results were in (it was ended
  // instead); empty when it closed. The results are good either way.
  std::string NotClosed;
};

struct StudyHooks {
  // Called after every matrix begun, and at least once a second while tests
  // run, with the run's counters and the work done.
  std::function<void(const RunSettings&)> OnProgress;
  // Polled after every matrix and at every tick while tests run; true ends
  // the run with RunCancelled and stops the tests under way.
  std::function<bool()> Cancelled;
  // Called with the finished results as soon as the last matrix's result is
  // in, before EcoSim is closed: whatever closing EcoSim does, they are
  // kept.
  std::function<void(const StudyResult&)> OnResults;
};

// Makes the automation a headless study runs through (EcoSim driven through
// its windows), over the study's run settings and inputs; `cancelled`
// answers whether the user has asked to stop.
using StudyAutomationFactory = std::function<std::unique_ptr<EcoSimAutomation>(
    RunSettings& settings, const RunInputs& inputs, std::function<bool()> cancelled)>;

// Runs the study; EcoSim is released however the run ends, after OnResults
// when the run completed. Fails with RunCancelled, RunSettingsError or any
// failure of the automation; EcoSim's failing to close fails only a run that
// has no results (StudyResult::NotClosed). Without a
// factory the tests run in-process on request.Threads threads.
StudyResult RunStudy(const StudyRequest& request, const StudyHooks& hooks, Clock& clock,
                     const StudyAutomationFactory& automation = {});

// A study's settings as tessil-cli run takes them: the choices by value, the
// numbers as typed.
struct StudyTexts {
  MainWindowChoices Choices;
  std::string Rows = "10";
  std::string Cols = "10";
  EcoSimTestOptions Options;  // EcoSimIterations and EcoSimSeed as typed
  std::string Iterations = "100";
  std::string Seed = "0";
};

// A study request built with the windows' checks, in the order the windows
// make them, or the first refusal. A refusal that comes with AsksToContinue
// is of a text checked after the iterations: it is said only once the
// question about few iterations has been answered Yes.
struct CheckedStudy {
  StudyRequest Request;  // on one thread
  bool AsksToContinue = false;
  std::string Setting;  // the option refused, as tessil-cli run names it without "--"
  std::string Refusal;  // empty when the study can run
};
CheckedStudy CheckStudy(const StudyTexts& texts);

// The power table as tab-separated values with a header line.
std::string PowerTableTsv(const PowerTable& table);
// The power table, the figures and the verdicts as JSON.
std::string PowerTableJson(const StudyRequest& request, const StudyResult& result);

}  // namespace tessil::cli
