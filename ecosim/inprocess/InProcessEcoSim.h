// The automation interface carried out by a direct call into Tessil's own
// co-occurrence engine, with no windows: the same tests, seeded the same way
// as the stand-in EcoSim seeds them, so both give the same report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AutomationHost.h"
#include "CooccurrenceTest.h"
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

class InProcessEcoSim final : public EcoSimAutomation, public EcoSimBatchTesting {
 public:
  // threads: how many tests may run at once; 1 runs them one after another.
  // The host, when given, learns when EcoSim is ready.
  InProcessEcoSim(RunSettings& settings, const RunInputs& inputs, unsigned threads = 1,
                  AutomationHost* host = nullptr);

  void PrepareEcoSim() override;
  void EnterMatrix(const PresenceAbsenceMatrix& matrix) override;
  void OpenCooccurrenceOptions() override;
  RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) override;
  double ReadPValue(std::int16_t upperTail) override;
  void CloseCooccurrenceResults() override;
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override;
  void ReleaseEcoSim() override;

  std::size_t BatchSize() const override;
  std::vector<std::optional<double>> TestMatrices(const std::vector<PresenceAbsenceMatrix>& matrices,
                                                  std::int16_t upperTail) override;

  // The results of the last test run one at a time.
  const cooc::TestResult& LastResult() const { return last_; }
  // Tests run since the options were taken.
  std::uint64_t TestsRun() const { return ordinal_; }

 private:
  // Where EcoSim would be: which of its windows is showing.
  enum class Stage { Closed, MainWindow, MatrixEntered, OptionsOpen, ResultsShown };
  void Expect(Stage stage) const;

  RunSettings& settings_;
  const RunInputs& inputs_;
  unsigned threads_;
  AutomationHost* host_;
  Stage stage_ = Stage::Closed;
  cooc::TestOptions options_;
  cooc::Incidence matrix_;
  cooc::TestResult last_;
  std::uint64_t ordinal_ = 0;
};

// The p-value of a finished test's chosen tail, read from its results text
// exactly as from EcoSim's results window.
double ReadPValueFromResults(const cooc::TestResult& result, std::int16_t upperTail);

}  // namespace tessil
