#include "Distribution_Functions.h"

namespace tessil {

namespace {

// The probabilities of one scenario by quadrant: upper-left, upper-right,
// lower-left, lower-right. Each constant comes from a single literal so that
// equal probabilities compare equal exactly.
struct Quadrants {
  double UpperLeft, UpperRight, LowerLeft, LowerRight;
};

constexpr double P01 = 0.1, P02 = 0.2, P03 = 0.3, P05 = 0.5, P08 = 0.8, P09 = 0.9;

constexpr Quadrants ScenarioQuadrants[NumScenarios] = {
    {P01, P01, P01, P01},  // 1: all alike, rare
    {P05, P05, P05, P05},  // 2: all alike, half
    {P09, P09, P09, P09},  // 3: all alike, common
    {P01, P03, P01, P03},  // 4: by site
    {P02, P08, P02, P08},  // 5: by site, strongly
    {P01, P01, P03, P03},  // 6: by species
    {P02, P02, P08, P08},  // 7: by species, strongly
    {P08, P08, P02, P08},  // 8: one poor quadrant
    {P09, P09, P01, P09},  // 9: one very poor quadrant
    {P02, P08, P08, P02},  // 10: diagonal
    {P01, P09, P09, P01},  // 11: diagonal, strongly
    {P02, P08, P08, P09},  // 12: three levels
};

}  // namespace

OccupancyMatrix BuildOccupancyMatrix(int scenario, std::int32_t rows, std::int32_t cols) {
  OccupancyMatrix p(rows, cols);
  if (scenario < 1 || scenario > NumScenarios) return p;
  const Quadrants& q = ScenarioQuadrants[scenario - 1];
  const std::int32_t h = rows / 2;
  const std::int32_t w = cols / 2;
  for (std::int32_t i = 1; i <= rows; ++i) {
    for (std::int32_t j = 1; j <= cols; ++j) {
      const bool upper = i <= h;
      const bool left = j <= w;
      p(i, j) = upper ? (left ? q.UpperLeft : q.UpperRight) : (left ? q.LowerLeft : q.LowerRight);
    }
  }
  return p;
}

double InteractionProportion(int level) {
  switch (level) {
    case 2:
      return 0.5;
    case 3:
      return 1.0;
    default:
      return 0.0;
  }
}

}  // namespace tessil
