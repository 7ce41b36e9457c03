// A whole study run headless: the same run as the desktop program's, through
// the in-process automation, with the report and the power table as outputs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

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
  // Called after every matrix begun, with the run's counters.
  std::function<void(const RunSettings&)> OnProgress;
  // Polled after every matrix; true ends the run with RunCancelled.
  std::function<bool()> Cancelled;
};

// Runs the study; EcoSim is released however the run ends. Fails with
// RunCancelled, RunSettingsError or any failure of the automation.
StudyResult RunStudy(const StudyRequest& request, const StudyHooks& hooks, Clock& clock);

// The power table as tab-separated values with a header line.
std::string PowerTableTsv(const PowerTable& table);
// The power table, the figures and the verdicts as JSON.
std::string PowerTableJson(const StudyRequest& request, const StudyResult& result);

}  // namespace tessil::cli
