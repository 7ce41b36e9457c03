#include "Study.h"

#include "InProcessEcoSim.h"

namespace tessil::cli {

namespace {

class HookedProgress final : public ProgressLink {
 public:
  HookedProgress(const RunSettings& settings, const StudyHooks& hooks) : settings_(settings), hooks_(hooks) {}
  void UpdateProgress() override {
    if (hooks_.OnProgress) hooks_.OnProgress(settings_);
  }
  bool CancelRequested() const override { return hooks_.Cancelled && hooks_.Cancelled(); }

 private:
  const RunSettings& settings_;
  const StudyHooks& hooks_;
};

}  // namespace

StudyResult RunStudy(const StudyRequest& request, const StudyHooks& hooks, Clock& clock,
                     const StudyAutomationFactory& automation) {
  RunSettings settings;
  settings.NumIterations = request.NumIterations;
  settings.RandomSeed = request.RandomSeed;
  HookedProgress progress(settings, hooks);
  MadeAutomation made = [&]() -> MadeAutomation {
    if (automation) return automation(settings, request.Inputs, [&progress] { return progress.CancelRequested(); });
    auto inProcess = std::make_unique<InProcessEcoSim>(settings, request.Inputs, request.Threads);
    EcoSimConcurrentTesting* workers = inProcess.get();
    return {std::move(inProcess), workers};
  }();
  EcoSimAutomation& ecosim = *made.EcoSim;
  RandomStream stream;
  RunContext run{settings, request.Inputs, ecosim, progress, stream, clock, made.Workers};

  StudyResult result;
  try {
    ecosim.PrepareEcoSim();
    result.Table = RunPowerSimulation(run);
  } catch (...) {
    ecosim.ReleaseEcoSim();
    throw;
  }
  ecosim.ReleaseEcoSim();
  // A cancel that came after the last matrix still discards the table.
  if (progress.CancelRequested()) throw RunCancelled();
  result.Summary = AnalyzeErrorRates(result.Table);
  result.Report = BuildResultsReport(result.Table, result.Summary, request.Inputs);
  return result;
}

std::string PowerTableTsv(const PowerTable& table) {
  std::string out = "Level\tScenario\tInNull\tPower\n";
  for (const PowerTableRow& row : table) {
    out += std::to_string(row.Level) + "\t" + std::to_string(row.Scenario) + "\t" + (row.InNull ? "True" : "False") +
           "\t" + FormatRate(row.Power) + "\n";
  }
  return out;
}

}  // namespace tessil::cli
