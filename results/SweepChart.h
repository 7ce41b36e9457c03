// The summary picture of a sweep: how the Type I error rate and the power of
// each test setting change with the matrix size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ChartPrimitives.h"

namespace tessil {

struct SweepChartStudy {
  std::string Setting;  // the test setting's label; one line per distinct label, in order of first appearance
  std::int32_t Rows = 0;
  std::int32_t Cols = 0;
  std::optional<double> ActualSize;  // absent when the study had no argument inside the null hypothesis
  std::optional<double> MinPower;    // absent when it had none outside
  std::optional<double> MaxPower;
};

// Actual size and power against matrix size, one line per test setting, in
// two panels side by side: the actual size (Type I error rate) with lines at
// the nominal 0.05 and at the rate from which the report warns, and the
// power, least as a solid line with filled marks and greatest as a dashed
// line with open marks of the same colour. The x axis has one place per
// distinct size "R x C", ordered by cells, then rows; both rate axes run from
// 0 to 1. Settings are told apart by colour and mark shape together, and each
// mark's tooltip names its setting, size and rate. Studies of the same
// setting and size are each drawn, never averaged. No studies give a picture
// that says there is nothing to draw.
chart::Chart SweepChart(const std::vector<SweepChartStudy>& studies, const std::string& title);
std::string SweepChartSvg(const std::vector<SweepChartStudy>& studies, const std::string& title);

}  // namespace tessil
