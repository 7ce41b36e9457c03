#include "Study.h"

#include <nlohmann/json.hpp>

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

std::string PowerTableJson(const StudyRequest& request, const StudyResult& result) {
  using nlohmann::json;
  const EcoSimTestOptions& o = request.Inputs.Options;
  // The counts the run used, not the texts it was given: a count of matrices
  // that rounds to 0 runs the default, and EcoSim rounds its iterations to a
  // whole number of null matrices, halves to even.
  RunSettings ran;
  ran.NumIterations = request.NumIterations;
  LoadRunSettings(ran, request.Inputs);
  const std::string nullMatrices = GeneralDecimal(RoundHalfEven(LeadingNumber(o.EcoSimIterations)));
  json arguments = json::array();
  for (const PowerTableRow& row : result.Table) {
    arguments.push_back({{"level", row.Level}, {"scenario", row.Scenario}, {"in_null", row.InNull}, {"power", row.Power}});
  }
  const json document = {
      {"rows", request.Inputs.Rows},
      {"columns", request.Inputs.Cols},
      {"matrices_per_argument", ran.NumIterations},
      {"seed", request.RandomSeed},
      {"test",
       {{"row_constraint", std::string(Caption(o.RowConstraint))},
        {"column_constraint", std::string(Caption(o.ColumnConstraint))},
        {"index", std::string(Caption(o.Index))},
        {"algorithm", std::string(Caption(o.Algorithm))},
        {"degenerate_matrices", std::string(Caption(o.DegenerateMatrices))},
        {"empty_sites", std::string(Caption(o.EmptySites))},
        {"iterations", nullMatrices},
        {"seed", o.EcoSimSeed}}},
      {"actual_size", result.Summary.ActualSize},
      {"min_power", result.Summary.MinPower},
      {"max_power", result.Summary.MaxPower},
      {"high_type_i_error", result.Summary.HighTypeIError},
      {"biased", result.Summary.Biased},
      {"low_power", result.Summary.LowPower},
      {"adequate_power", result.Summary.AdequatePower},
      {"arguments", arguments},
  };
  return document.dump(2) + "\n";
}

}  // namespace tessil::cli
