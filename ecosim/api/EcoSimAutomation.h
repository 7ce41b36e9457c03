// The one boundary between Tessil and EcoSim. Everything that touches EcoSim
// goes through these operations; the window protocol and the in-process
// engine implement them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
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

// An EcoSim that can run many tests at once and still give each matrix the
// result it would have had in a sequential run, because every test is seeded
// by its place in the order of submission. The driver uses it when offered.
class EcoSimBatchTesting {
 public:
  virtual ~EcoSimBatchTesting() = default;
  // How many matrices the driver should collect before submitting them.
  virtual std::size_t BatchSize() const = 0;
  // For each matrix, in submission order: the p-value of the chosen tail, or
  // nothing where the test ended without results.
  virtual std::vector<std::optional<double>> TestMatrices(const std::vector<PresenceAbsenceMatrix>& matrices,
                                                          std::int16_t upperTail) = 0;
};

}  // namespace tessil
