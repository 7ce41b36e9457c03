// The one boundary between Tessil and EcoSim. Everything that touches EcoSim
// goes through these operations; the window protocol and the in-process
// engine implement them.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "Errors.h"
#include "Matrices.h"

namespace tessil {

// How one EcoSim test ended.
enum RunOutcome : std::int32_t {
  ResultsShown = 0,  // the results window shows both p-values
  NoResults = 1,     // EcoSim asked for confirmation, or a stalled test was aborted
};

class EcoSimAutomation {
 public:
  virtual ~EcoSimAutomation() = default;

  // Loads the run settings, closes every running EcoSim, starts a fresh one,
  // warms it up, sizes its matrix and sends the committed test options.
  virtual void PrepareEcoSim() = 0;
  // EcoSim holds the matrix: 1 as "1", every other cell as "0".
  virtual void EnterMatrix(const PresenceAbsenceMatrix& matrix) = 0;
  // The co-occurrence options window is open with the options sent.
  virtual void OpenCooccurrenceOptions() = 0;
  // The test on the entered matrix has ended, with results or without.
  virtual RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) = 0;
  // The one-tailed p-value: "p(observed >= expected)" when upperTail is not
  // 0, "p(observed <= expected)" when it is. Only after ResultsShown.
  virtual double ReadPValue(std::int16_t upperTail) = 0;
  // The results are closed and EcoSim is ready for the next matrix.
  virtual void CloseCooccurrenceResults() = 0;
  // Mode 1 brings the named EcoSim window ("Main", "Progress", "Coop",
  // "Results") into view beside the progress window, mode 0 moves it off the
  // screen, other modes do nothing.
  virtual void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) = 0;
  // Resets the run settings, then closes EcoSim. Called however a run ends.
  virtual void ReleaseEcoSim() = 0;
};

// An EcoSim that tests matrices on worker threads while the driver draws the
// next ones. Each test is seeded by its place in the order of submission, so
// every matrix gets the result it would have had in a sequential run, and the
// driver counts the results in that order. Only the matrices under test and
// a few small ones queued behind them are held, however long the run. The driver uses it when
// the run is given it (RunContext::Workers).
class EcoSimConcurrentTesting {
 public:
  virtual ~EcoSimConcurrentTesting() = default;
  // Starts the workers for a run of tests on the chosen tail; returns how
  // many could be started. With none, the tests run one by one instead.
  virtual std::size_t StartTestWorkers(std::int16_t upperTail) = 0;
  // True when the workers have room for another matrix.
  virtual bool WorkerFree() = 0;
  // Hands the matrix to the workers as the next test in submission order.
  virtual void SubmitMatrix(PresenceAbsenceMatrix matrix) = 0;
  // Waits until the workers have room for more matrices when `forAWorker`,
  // or until every test handed over has ended, or a tick of at most a tenth
  // of a second passes.
  virtual void AwaitTests(bool forAWorker) = 0;
  // The results ready next in submission order, each the p-value of the
  // chosen tail or nothing where the test ended without results. A test that
  // failed throws its failure at its place.
  virtual std::vector<std::optional<double>> TakeResultsInOrder() = 0;
  // The work, in tests, in hand and not yet taken: a finished test counts
  // one, a running one the share of its null matrices drawn so far.
  virtual double WorkInHand() = 0;
  // Asks every running test to stop, waits for those tests to end and drops
  // the matrices and results not taken. Called however the tests end.
  virtual void StopTestWorkers() noexcept = 0;
};

// An automation made for one run, with the same EcoSim's worker face when it
// has one. Whoever makes the automation knows what it can do, so the run is
// told rather than left to find out.
struct MadeAutomation {
  // Any automation converts, with no worker face.
  template <std::derived_from<EcoSimAutomation> Automation>
  MadeAutomation(std::unique_ptr<Automation> ecosim, EcoSimConcurrentTesting* workers = nullptr)  // NOLINT
      : EcoSim(std::move(ecosim)), Workers(workers) {}
  std::unique_ptr<EcoSimAutomation> EcoSim;
  EcoSimConcurrentTesting* Workers = nullptr;
};

}  // namespace tessil
