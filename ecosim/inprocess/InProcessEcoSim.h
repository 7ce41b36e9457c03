// The automation interface carried out by a direct call into Tessil's own
// co-occurrence engine, with no windows: the same tests, seeded the same way
// as the stand-in EcoSim seeds them, so both give the same report.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "AutomationHost.h"
#include "CooccurrenceRun.h"
#include "EcoSimAutomation.h"
#include "Public_Declarations.h"

namespace tessil {

// The test options EcoSim holds once the committed options have been sent:
// the empty-site choice reaches it only for the two indices that use it, and
// otherwise EcoSim keeps its own start-up choice.
cooc::TestOptions EcoSimHeldOptions(const EcoSimTestOptions& options);

// A matrix as EcoSim's grid holds it: a cell equal to 1 is present, every
// other cell absent.
cooc::Incidence ToIncidence(const PresenceAbsenceMatrix& matrix);

// Starts one worker thread running `work`, or fails with std::system_error
// when the system will not start another thread.
using ThreadStarter = std::function<std::jthread(std::function<void(std::stop_token)> work)>;

class InProcessEcoSim final : public EcoSimAutomation, public EcoSimConcurrentTesting {
 public:
  // threads: how many tests may run at once, each on a worker thread of its
  // own. The host, when given, learns when EcoSim is ready. The starter makes
  // the worker threads (tests make it fail).
  InProcessEcoSim(RunSettings& settings, const RunInputs& inputs, unsigned threads = 1, AutomationHost* host = nullptr,
                  ThreadStarter starter = {});
  ~InProcessEcoSim() override;

  void PrepareEcoSim() override;
  void EnterMatrix(const PresenceAbsenceMatrix& matrix) override;
  void OpenCooccurrenceOptions() override;
  RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) override;
  double ReadPValue(std::int16_t upperTail) override;
  void CloseCooccurrenceResults() override;
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override;
  void ReleaseEcoSim() override;

  std::size_t StartTestWorkers(std::int16_t upperTail) override;
  bool WorkerFree() override;
  void SubmitMatrix(PresenceAbsenceMatrix matrix) override;
  void AwaitTests(bool forAWorker) override;
  std::vector<std::optional<double>> TakeResultsInOrder() override;
  double WorkInHand() override;
  void StopTestWorkers() noexcept override;

  // The results of the last test run one at a time.
  const cooc::TestResult& LastResult() const { return last_; }
  // Tests run since the options were taken.
  std::uint64_t TestsRun() const { return ordinal_; }
  // Null matrices drawn by the tests on worker threads, stopped ones included.
  std::int64_t NullMatricesDrawn() const { return nullsDrawn_.load(); }

 private:
  // Where EcoSim would be: which of its windows is showing.
  enum class Stage { Closed, MainWindow, MatrixEntered, OptionsOpen, ResultsShown };
  void Expect(Stage stage) const;
  struct Workers;

  RunSettings& settings_;
  const RunInputs& inputs_;
  unsigned threads_;
  AutomationHost* host_;
  Stage stage_ = Stage::Closed;
  cooc::TestOptions options_;
  cooc::Incidence matrix_;
  cooc::TestResult last_;
  std::uint64_t ordinal_ = 0;
  ThreadStarter starter_;
  std::atomic<std::int64_t> nullsDrawn_{0};
  std::unique_ptr<Workers> workers_;
};

// The p-value of a finished test's chosen tail, read from its results text
// exactly as from EcoSim's results window.
double ReadPValueFromResults(const cooc::TestResult& result, std::int16_t upperTail);

}  // namespace tessil
