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
};

struct StudyHooks {
  // Called after every matrix begun, and at least once a second while tests
  // run, with the run's counters and the work done.
  std::function<void(const RunSettings&)> OnProgress;
  // Polled after every matrix and at every tick while tests run; true ends
  // the run with RunCancelled and stops the tests under way.
  std::function<bool()> Cancelled;
};

// Makes the automation a headless study runs through (EcoSim driven through
// its windows), over the study's run settings and inputs; `cancelled`
// answers whether the user has asked to stop.
using StudyAutomationFactory = std::function<std::unique_ptr<EcoSimAutomation>(
    RunSettings& settings, const RunInputs& inputs, std::function<bool()> cancelled)>;

// Runs the study; EcoSim is released however the run ends. Fails with
// RunCancelled, RunSettingsError or any failure of the automation. Without a
// factory the tests run in-process on request.Threads threads.
StudyResult RunStudy(const StudyRequest& request, const StudyHooks& hooks, Clock& clock,
                     const StudyAutomationFactory& automation = {});

// The power table as tab-separated values with a header line.
std::string PowerTableTsv(const PowerTable& table);
// The power table, the figures and the verdicts as JSON.
std::string PowerTableJson(const StudyRequest& request, const StudyResult& result);

}  // namespace tessil::cli
