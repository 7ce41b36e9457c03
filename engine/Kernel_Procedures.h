// Random presence-absence matrices, null-hypothesis membership and the
// power-function driver.
#pragma once

#include <cstdint>
#include <vector>

#include "Clock.h"
#include "EcoSimAutomation.h"
#include "Matrices.h"
#include "Public_Declarations.h"
#include "RandomStream.h"

namespace tessil {

// The ratio of the interacting species' occupancy where its partner is absent
// to where it is present, before any adjustment.
inline constexpr double InteractionRatio = 2.0;
// A p-value at or below this is a rejection.
inline constexpr double RejectionAlpha = 0.05;

// The repeatable reset of the stream followed by reseeding from the seed.
void SeedRandomStream(RandomStream& stream, std::int32_t seed);

// Conditional occupancy of every even (interacting) row given its partner,
// the row above. Keeps each species' scenario occupancy on average over its
// partner's states; where the ratio would push a probability past 1 it is
// replaced for that cell by the largest ratio that keeps both within [0, 1].
ConditionalOccupancy BuildConditionalOccupancy(const OccupancyMatrix& occupancy, double ratio);

struct GeneratedMatrix {
  PresenceAbsenceMatrix Matrix;
  std::int32_t OccupiedSpecies = 0;
};

// Draws one matrix, one number per cell, row after row. Even rows up to
// floor(rows x proportion) interact with the row above them.
GeneratedMatrix GenerateMatrix(const OccupancyMatrix& occupancy, const ConditionalOccupancy& conditional,
                               double proportion, RandomStream& stream);

// The number of species (rows) that occur at least once.
std::int32_t OccupiedSpecies(const PresenceAbsenceMatrix& matrix);

// True when some pair of species each occupies a site the other does not,
// that is, the matrix holds a 2 x 2 checkerboard and admits a swap.
bool HasCheckerboardPair(const PresenceAbsenceMatrix& matrix);

bool NullAdmitsLevel(Hypothesis hypothesis, int level);
bool NullAdmitsOccupancy(Hypothesis hypothesis, const OccupancyMatrix& occupancy);
bool InNullHypothesis(Hypothesis hypothesis, int level, const OccupancyMatrix& occupancy);

struct PowerTableRow {
  std::int32_t Level = 0;
  std::int32_t Scenario = 0;
  bool InNull = false;
  double Power = 0.0;
  // The counts behind Power: matrices drawn at the argument, those whose test
  // rejected, and those that could not be tested (fewer than two species
  // occur, no checkerboard for a swap, or the test gave no results), which
  // count as not rejected.
  std::int32_t Matrices = 0;
  std::int32_t Rejected = 0;
  std::int32_t NotTested = 0;
  bool operator==(const PowerTableRow&) const = default;
};
using PowerTable = std::vector<PowerTableRow>;

// The arguments (scenario, level) a run covers, in table order.
struct Argument {
  int Scenario = 0;
  int Level = 0;
};
std::vector<Argument> CoveredArguments(const RunSettings& settings);

// Everything a run uses, owned elsewhere and reached through references.
struct RunContext {
  RunSettings& Settings;
  const RunInputs& Inputs;
  EcoSimAutomation& EcoSim;
  ProgressLink& Progress;
  RandomStream& Stream;
  Clock& Time;
  // The same EcoSim's worker face, when whoever built the run offers it: the
  // tests then run on workers while the next matrices are drawn. Null: one
  // test at a time through EcoSim.
  EcoSimConcurrentTesting* Workers = nullptr;
};

// Evaluates the power function at every covered argument. Fails with
// RunCancelled when the user cancels, and lets every EcoSim failure through.
PowerTable RunPowerSimulation(RunContext& run);

// What the tests of one argument's matrices gave.
struct RejectionCount {
  double Rate = 0.0;  // rejections / matrices
  std::int32_t Matrices = 0;
  std::int32_t Rejected = 0;
  std::int32_t NotTested = 0;
};

// The fraction of NumIterations matrices drawn at one argument on which the
// test rejects, with the counts behind it.
RejectionCount EstimateRejectionRate(RunContext& run, const OccupancyMatrix& occupancy,
                                     const ConditionalOccupancy& conditional, double proportion);

}  // namespace tessil
