#include "InProcessEcoSim.h"

#include <atomic>
#include <exception>
#include <thread>

#include "PValueLine.h"

namespace tessil {

cooc::TestOptions EcoSimHeldOptions(const EcoSimTestOptions& o) {
  cooc::TestOptions held;
  held.RowConstraint = o.RowConstraint;
  held.ColumnConstraint = o.ColumnConstraint;
  held.Index = o.Index;
  held.Algorithm = o.Algorithm;
  held.DegenerateMatrices = o.DegenerateMatrices;
  held.EmptySites = o.UsesEmptySites() ? o.EmptySites : std::string(caption::Exclude);
  held.Iterations = o.EcoSimIterations;
  held.Seed = o.EcoSimSeed;
  return held;
}

cooc::Incidence ToIncidence(const PresenceAbsenceMatrix& m) {
  cooc::Incidence incidence(m.Rows(), m.Cols());
  for (std::int32_t i = 1; i <= m.Rows(); ++i) {
    const std::int16_t* row = m.Row(i);
    for (std::int32_t j = 0; j < m.Cols(); ++j) {
      if (row[j] == 1) incidence.Set(i - 1, j, true);
    }
  }
  return incidence;
}

double ReadPValueFromResults(const cooc::TestResult& result, std::int16_t upperTail) {
  const int wanted = LowerTailLine + (upperTail != 0 ? 1 : 0);
  std::string_view memo = result.Memo2;
  std::string_view line;
  for (int index = 0; index <= wanted; ++index) {
    const std::size_t end = memo.find("\r\n");
    line = memo.substr(0, end);
    if (end == std::string_view::npos) {
      memo = {};
      if (index < wanted) line = {};
    } else {
      memo.remove_prefix(end + 2);
    }
  }
  return PValueFromLine(LineBuffer(line, PValueLineCapacity), upperTail);
}

InProcessEcoSim::InProcessEcoSim(RunSettings& settings, const RunInputs& inputs, unsigned threads,
                                 AutomationHost* host)
    : settings_(settings), inputs_(inputs), threads_(threads == 0 ? 1 : threads), host_(host) {}

// A call made when EcoSim is not where it should be finds the window it
// needs missing, as it would through the windows.
void InProcessEcoSim::Expect(Stage stage) const {
  if (stage_ != stage) throw EcoSimWindowMissing();
}

void InProcessEcoSim::PrepareEcoSim() {
  LoadRunSettings(settings_, inputs_);
  options_ = EcoSimHeldOptions(inputs_.CommittedOptions());
  // The seed field has just been set: the next test is the first of its seed.
  ordinal_ = 0;
  stage_ = Stage::MainWindow;
  if (host_ != nullptr) host_->EnableShowEcoSim();
}

void InProcessEcoSim::EnterMatrix(const PresenceAbsenceMatrix& matrix) {
  Expect(Stage::MainWindow);
  matrix_ = ToIncidence(matrix);
  stage_ = Stage::MatrixEntered;
}

void InProcessEcoSim::OpenCooccurrenceOptions() {
  if (stage_ != Stage::MatrixEntered) Expect(Stage::MainWindow);
  stage_ = Stage::OptionsOpen;
}

RunOutcome InProcessEcoSim::RunCooccurrenceTest(std::int16_t) {
  Expect(Stage::OptionsOpen);
  last_ = cooc::RunTest(matrix_, options_, ordinal_++);
  stage_ = last_.HasResults ? Stage::ResultsShown : Stage::MainWindow;
  return last_.HasResults ? ResultsShown : NoResults;
}

double InProcessEcoSim::ReadPValue(std::int16_t upperTail) {
  Expect(Stage::ResultsShown);
  return ReadPValueFromResults(last_, upperTail);
}

void InProcessEcoSim::CloseCooccurrenceResults() {
  Expect(Stage::ResultsShown);
  stage_ = Stage::MainWindow;
}

void InProcessEcoSim::PlaceEcoSimWindow(std::string_view, std::int32_t) {
  // No window to place.
}

void InProcessEcoSim::ReleaseEcoSim() {
  ResetRunSettings(settings_);
  stage_ = Stage::Closed;
}

std::size_t InProcessEcoSim::BatchSize() const { return threads_ > 1 ? 64 * std::size_t{threads_} : 1; }

std::vector<std::optional<double>> InProcessEcoSim::TestMatrices(const std::vector<PresenceAbsenceMatrix>& matrices,
                                                                 std::int16_t upperTail) {
  Expect(Stage::MainWindow);
  const std::uint64_t firstOrdinal = ordinal_;
  ordinal_ += matrices.size();
  std::vector<std::optional<double>> pValues(matrices.size());
  std::vector<std::exception_ptr> failures(matrices.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t k = next++; k < matrices.size(); k = next++) {
      try {
        const cooc::TestResult result = cooc::RunTest(ToIncidence(matrices[k]), options_, firstOrdinal + k);
        if (result.HasResults) pValues[k] = ReadPValueFromResults(result, upperTail);
      } catch (...) {
        failures[k] = std::current_exception();
      }
    }
  };
  const unsigned helpers = static_cast<unsigned>(std::min<std::size_t>(threads_, matrices.size())) - 1;
  std::vector<std::thread> pool;
  pool.reserve(helpers);
  for (unsigned t = 0; t < helpers; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  // A failure surfaces where the sequential run would have met it.
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
  return pValues;
}

}  // namespace tessil
