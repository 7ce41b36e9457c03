// The 12 occupancy scenarios and the 3 interaction levels at which the power
// function is evaluated.
#pragma once

#include <cstdint>

#include "Matrices.h"

namespace tessil {

inline constexpr int NumScenarios = 12;
inline constexpr int NumLevels = 3;

// The occupancy probabilities of a scenario (1..12) for a rows x cols matrix.
// The upper half of the rows is 1..floor(rows/2), the left half of the
// columns 1..floor(cols/2); an odd count gives the larger half to the lower
// or right side. A scenario outside 1..12 leaves every cell at 0.
OccupancyMatrix BuildOccupancyMatrix(int scenario, std::int32_t rows, std::int32_t cols);

// The proportion of species interacting at a level: 1 -> 0, 2 -> 0.5,
// 3 -> 1, anything else -> 0.
double InteractionProportion(int level);

}  // namespace tessil
