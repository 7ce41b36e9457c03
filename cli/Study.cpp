#include "Study.h"

#include <array>
#include <charconv>

#include "InProcessEcoSim.h"
#include "PowerChart.h"

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

namespace {

// Interval bounds to six decimals with a point, whatever the locale.
std::string Bound(double value) {
  std::array<char, 32> buffer{};
  const auto [end, error] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 6);
  return error == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

}  // namespace

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
