// The summary picture of a sweep: how the Type I error rate and the power of
// each test setting change with the matrix size, with exact intervals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ChartPrimitives.h"

namespace tessil {

// A rate's exact 95 % interval.
struct SweepInterval {
  double Lower = 0.0;
  double Upper = 1.0;
};

struct SweepChartStudy {
  std::string Setting;  // the test setting's label; one panel per distinct label, in order of first appearance
  std::int32_t Rows = 0;
  std::int32_t Cols = 0;
  std::optional<double> ActualSize;  // absent when the study had no argument inside the null hypothesis
  std::optional<double> MinPower;    // absent when it had none outside
  std::optional<double> MaxPower;
  // Each rate's exact interval, from the counts of the argument that gave
  // it; absent: no whiskers.
  std::optional<SweepInterval> ActualSizeInterval{};
  std::optional<SweepInterval> MinPowerInterval{};
  std::optional<SweepInterval> MaxPowerInterval{};
  // The rate at every argument of the power function, inside and outside
  // the null hypothesis: the per-scenario picture behind the three figures.
  std::vector<double> InsideRates{};
  std::vector<double> OutsideRates{};
};

// Small multiples: one panel per test setting, in up to three columns, each
// with the same axes: matrix size "R x C" across, ordered by rows, then
// columns, and the rate from 0 to 1 up. In each panel three series over the
// sizes, each point with its exact 95 % interval as a whisker: the actual
// size (Type I error rate, the colour of arguments inside the null
// hypothesis in the power chart, filled circles), the least power (the power
// colour, filled squares, solid line) and the greatest power (the power
// colour, open triangles, dashed line); lines at the nominal 0.05 and at the
// rate from which the report warns. Behind them, a pale tick for the rate at
// every argument (scenario and interaction level), inside the null
// hypothesis beside the actual size and outside it beside the powers, so
// that a panel shows how the rates spread, not only their extremes. A
// setting has a panel of its own rather
// than a colour, so any number of settings stay apart; the key at the top
// names the series. Each mark's tooltip names its setting, size, rate and
// interval. Studies of the same setting and size are each drawn, never
// averaged. No studies give a picture that says there is nothing to draw.
chart::Chart SweepChart(const std::vector<SweepChartStudy>& studies, const std::string& title);
std::string SweepChartSvg(const std::vector<SweepChartStudy>& studies, const std::string& title);

}  // namespace tessil
