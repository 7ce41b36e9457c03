#include "Study.h"

#include <array>
#include <charconv>
#include <utility>

#include "ChoiceRefusals.h"
#include "CooccurrenceRun.h"
#include "InProcessEcoSim.h"
#include "PowerChart.h"
#include "Validation.h"

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

  // A run without results says why it ended, not what closing EcoSim then
  // did.
  const auto releaseQuietly = [&ecosim] {
    try {
      ecosim.ReleaseEcoSim();
    } catch (const TessilError&) {
    }
  };
  StudyResult result;
  try {
    ecosim.PrepareEcoSim();
    result.Table = RunPowerSimulation(run);
    // A cancel that came after the last matrix still discards the table.
    if (progress.CancelRequested()) throw RunCancelled();
    result.Summary = AnalyzeErrorRates(result.Table);
    result.Report = BuildResultsReport(result.Table, result.Summary, request.Inputs);
    // Finished work is handed on before EcoSim is closed: an EcoSim that
    // will not close cannot cost it.
    if (hooks.OnResults) hooks.OnResults(result);
  } catch (...) {
    releaseQuietly();
    throw;
  }
  try {
    ecosim.ReleaseEcoSim();
  } catch (const EcoSimNotClosed& e) {
    result.NotClosed = e.what();
  }
  return result;
}

namespace {

// Interval bounds to six decimals with a point, whatever the locale.
std::string Bound(double value) {
  std::array<char, 32> buffer{};
  const auto [end, error] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 6);
  return error == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

}  // namespace

namespace {

// A study too large to hold in memory or to count is refused before it
// starts, with the limit it passed and the setting that passed it. The counts
// are those the run will use.
std::pair<std::string, std::string> RefuseStudySize(const StudyRequest& request) {
  RunSettings planned;
  planned.NumIterations = request.NumIterations;
  const std::int32_t rows = static_cast<std::int32_t>(LeadingNumber(request.Inputs.Rows));
  const std::int32_t cols = static_cast<std::int32_t>(LeadingNumber(request.Inputs.Cols));
  if (std::string refusal = RefuseMatrixSize(rows, cols, StudyMemoryLimit(PhysicalMemory())); !refusal.empty()) {
    return {"rows", refusal};
  }
  // Every test of such a study would end without results and count as not
  // rejected: a table of zeros that says nothing. Better said before it starts.
  if (std::optional<std::string> refusal = cooc::MemoryRefusal(rows, cols, EcoSimHeldOptions(request.Inputs.Options))) {
    return {"rows", *refusal};
  }
  try {
    LoadRunSettings(planned, request.Inputs);
  } catch (const RunSettingsError& e) {
    return {"rows", e.what()};
  }
  TakeMainWindowChoices(planned, request.Inputs.Selected);
  return {"iterations",
          RefuseMatrixCount(static_cast<std::int32_t>(CoveredArguments(planned).size()), planned.NumIterations)};
}

}  // namespace

CheckedStudy CheckStudy(const StudyTexts& texts) {
  CheckedStudy out;
  const auto refuse = [&out](std::string setting, std::string refusal) {
    out.Setting = std::move(setting);
    out.Refusal = std::move(refusal);
    return out;
  };
  StudyRequest& request = out.Request;
  request.Inputs.Selected = texts.Choices;
  if (std::string refusal = RefuseChoices(texts.Choices); !refusal.empty()) return refuse("hypothesis", refusal);

  const Checked rows = CheckMatrixSize(texts.Rows, true);
  if (!rows.Accepted()) return refuse("rows", rows.Refusal);
  const Checked cols = CheckMatrixSize(texts.Cols, false);
  if (!cols.Accepted()) return refuse("cols", cols.Refusal);
  request.Inputs.Rows = rows.Text;
  request.Inputs.Cols = cols.Text;

  EcoSimTestOptions& options = request.Inputs.Options;
  options = texts.Options;
  const Checked ecosimIterations = CheckEcoSimIterations(options.EcoSimIterations);
  if (!ecosimIterations.Accepted()) return refuse("ecosim-iterations", ecosimIterations.Refusal);
  const Checked ecosimSeed = CheckEcoSimSeed(options.EcoSimSeed);
  if (!ecosimSeed.Accepted()) return refuse("ecosim-seed", ecosimSeed.Refusal);
  options.EcoSimIterations = ecosimIterations.Text;
  options.EcoSimSeed = ecosimSeed.Text;
  // Until its options are changed the main window shows its own first text.
  request.Inputs.Summary = options == EcoSimTestOptions{} ? std::string(InitialTestSummary) : BuildTestSummary(options);

  const SimulationOptions simulation = CheckSimulationOptions(texts.Iterations, texts.Seed);
  if (simulation.Refusal == message::IterationsPositive) return refuse("iterations", simulation.Refusal);
  out.AsksToContinue = simulation.AsksToContinue;
  if (!simulation.Refusal.empty()) {
    const bool seed = simulation.Refusal.find("seed") != std::string::npos;
    return refuse(seed ? "seed" : "iterations", simulation.Refusal);
  }
  // An iteration count that rounds to 0 means none was chosen: 100.
  request.NumIterations = simulation.NumIterations;
  request.RandomSeed = simulation.RandomSeed;
  if (auto [setting, refusal] = RefuseStudySize(request); !refusal.empty()) return refuse(setting, refusal);
  return out;
}

std::string PowerTableTsv(const PowerTable& table) {
  // The first four columns are those of the report's raw results; the counts
  // and the interval behind each rate follow them.
  std::string out = "Level\tScenario\tInNull\tPower\tMatrices\tRejected\tNotTested\tCILower\tCIUpper\n";
  for (const PowerTableRow& row : table) {
    const RateInterval interval = ClopperPearson(row.Rejected, row.Matrices);
    out += std::to_string(row.Level) + "\t" + std::to_string(row.Scenario) + "\t" + (row.InNull ? "True" : "False") +
           "\t" + FormatRate(row.Power) + "\t" + std::to_string(row.Matrices) + "\t" + std::to_string(row.Rejected) +
           "\t" + std::to_string(row.NotTested) + "\t" + Bound(interval.Lower) + "\t" + Bound(interval.Upper) + "\n";
  }
  return out;
}

}  // namespace tessil::cli
