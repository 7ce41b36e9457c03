// Pictures of a study and of a single test, computed once as drawing
// primitives so that every front end, with or without a windowing toolkit,
// shows the same chart; and those primitives as SVG text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ChartPrimitives.h"
#include "Kernel_Procedures.h"
#include "Public_Declarations.h"

namespace tessil {

// A confidence interval for a proportion.
struct RateInterval {
  double Lower = 0.0;
  double Upper = 1.0;
};

// The regularized incomplete beta function I_x(a, b), for a, b > 0 and x in
// [0, 1].
double RegularizedIncompleteBeta(double a, double b, double x);

// The p-quantile of the beta distribution with parameters a, b > 0.
double BetaQuantile(double a, double b, double p);

// The exact (Clopper-Pearson) two-sided interval for a binomial proportion
// with `successes` of `trials`, at the given confidence. Conservative: it
// covers the true rate at least that often whatever the rate. No trials
// give [0, 1].
RateInterval ClopperPearson(std::int64_t successes, std::int64_t trials, double confidence = 0.95);

// The title that lets a saved chart stand on its own: the index, the row
// and column constraints, the fixed-fixed algorithm where there is one, and
// the matrix size.
std::string PowerChartTitle(const RunInputs& inputs);

// The power chart's rate axis, in two parts: the rates from 0 to the
// warning threshold 0.15, where the verdicts on Type I error rates are
// made, over the lower LowerShare of the plot's height, and the rates from
// 0.15 to 1 compressed over the rest, so that power up to 1 stays in view.
// Top and Bottom are the pixels of the rates 1 and 0; every rate drawn
// (marks, intervals, reference lines, certainty brackets) goes through Y.
struct RateScale {
  static constexpr double Split = 0.15;
  static constexpr double LowerShare = 0.42;
  double Top = 0.0;
  double Bottom = 1.0;
  [[nodiscard]] double BreakY() const { return Bottom - LowerShare * (Bottom - Top); }
  // Rates outside [0, 1] are drawn at its ends.
  [[nodiscard]] double Y(double rate) const;
};

// The power function of a finished run: the rejection rate at every argument
// in table order, grouped by occupancy scenario with the interaction levels
// side by side, each with its 95 % interval; arguments inside the null
// hypothesis (Type I error rates) and outside it (power) drawn apart; lines
// at the nominal size and at the Type I warning threshold. The interaction
// level is the mark's shape (circle 0 %, square 50 %, diamond 100 % of
// species interacting); the null hypothesis its colour. The saved picture's
// form: 960 pixels wide, as tall as its words need.
chart::Chart PowerChart(const PowerTable& table, const RunInputs& inputs);
// The same chart laid out for a view of the given room: as wide as the room
// (never narrower than a readable minimum) with text at its own size, the
// plot grown to fill the room's height; when the room is too low for a
// readable plot and the words under it, the chart is taller than the room
// and the view scrolls.
chart::Chart PowerChart(const PowerTable& table, const RunInputs& inputs, chart::ChartSize room);
std::string PowerChartSvg(const PowerTable& table, const RunInputs& inputs);

// A single test's null distribution and where the observed index lies in it.
struct NullDistributionPicture {
  std::string Title;      // the test, as its description names it
  std::string IndexName;  // the index's caption, for the axis
  std::vector<double> Values;
  double Observed = 0.0;
  std::string PLower;  // as the results print them
  std::string PUpper;
};

// The bars of a null distribution. An index that takes few values (whole
// numbers over a short range, or at most 60 distinct values, as C-scores
// and checkerboard counts of small matrices do) gets one bar per value it
// takes, centred on it; any other gets bins of a round width whose edges are
// multiples of that width. Low and High bound the value axis, with room for
// the observed value; Step is the lattice's spacing or the bins' width.
struct NullHistogramBar {
  double From = 0.0;
  double To = 0.0;
  double Value = 0.0;  // the value itself, or the bin's middle
  std::int64_t Count = 0;
};
struct NullHistogram {
  bool Discrete = false;
  std::vector<NullHistogramBar> Bars;
  double Low = 0.0;
  double High = 1.0;
  double Step = 1.0;
};
NullHistogram NullDistributionBars(const std::vector<double>& values, double observed);

// A histogram of the null values with the observed value marked and both
// tails' p-values in the legend.
chart::Chart NullDistributionChart(const NullDistributionPicture& picture);
std::string NullDistributionSvg(const NullDistributionPicture& picture);

}  // namespace tessil
