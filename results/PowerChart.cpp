// Pictures of a study and of a single test as SVG text.
#include "PowerChart.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string_view>

#include "NumberText.h"
#include "OutputResults_Procedures.h"
#include "SvgDrawing.h"
#include "TestVocabulary.h"

namespace tessil {

namespace {

// The continued fraction of I_x(a, b) (its even and odd steps), evaluated
// by the modified Lentz method; it converges quickly for x < (a + 1) / (a + b + 2).
double BetaContinuedFraction(double a, double b, double x) {
  constexpr double tiny = 1e-300;
  constexpr double epsilon = 1e-15;
  double c = 1.0;
  double d = 1.0 - (a + b) * x / (a + 1.0);
  if (std::fabs(d) < tiny) d = tiny;
  d = 1.0 / d;
  double h = d;
  for (int m = 1; m <= 10000; ++m) {
    const double dm = m;
    // Even step.
    double step = dm * (b - dm) * x / ((a + 2.0 * dm - 1.0) * (a + 2.0 * dm));
    d = 1.0 + step * d;
    if (std::fabs(d) < tiny) d = tiny;
    c = 1.0 + step / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0 / d;
    h *= d * c;
    // Odd step.
    step = -(a + dm) * (a + b + dm) * x / ((a + 2.0 * dm) * (a + 2.0 * dm + 1.0));
    d = 1.0 + step * d;
    if (std::fabs(d) < tiny) d = tiny;
    c = 1.0 + step / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0 / d;
    const double change = d * c;
    h *= change;
    if (std::fabs(change - 1.0) < epsilon) break;
  }
  return h;
}

}  // namespace

double RegularizedIncompleteBeta(double a, double b, double x) {
  if (x <= 0.0) return 0.0;
  if (x >= 1.0) return 1.0;
  const double logFront = std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x);
  const double front = std::exp(logFront);
  // The fraction converges on one side of the mode; the other side follows
  // from I_x(a, b) = 1 - I_{1-x}(b, a).
  if (x < (a + 1.0) / (a + b + 2.0)) return front * BetaContinuedFraction(a, b, x) / a;
  return 1.0 - front * BetaContinuedFraction(b, a, 1.0 - x) / b;
}

double BetaQuantile(double a, double b, double p) {
  if (p <= 0.0) return 0.0;
  if (p >= 1.0) return 1.0;
  // I_x(a, b) rises monotonically in x: bisection cannot miss the root.
  double low = 0.0;
  double high = 1.0;
  for (int k = 0; k < 200 && high - low > 1e-15; ++k) {
    const double mid = 0.5 * (low + high);
    if (RegularizedIncompleteBeta(a, b, mid) < p) {
      low = mid;
    } else {
      high = mid;
    }
  }
  return 0.5 * (low + high);
}

RateInterval ClopperPearson(std::int64_t successes, std::int64_t trials, double confidence) {
  if (trials <= 0) return {0.0, 1.0};
  const double k = static_cast<double>(std::clamp<std::int64_t>(successes, 0, trials));
  const double n = static_cast<double>(trials);
  const double tail = (1.0 - confidence) / 2.0;
  RateInterval interval;
  interval.Lower = k == 0.0 ? 0.0 : BetaQuantile(k, n - k + 1.0, tail);
  interval.Upper = k == n ? 1.0 : BetaQuantile(k + 1.0, n - k, 1.0 - tail);
  return interval;
}

namespace {

using svg::Escaped;
using svg::Line;
using svg::Num;
using svg::Open;
using svg::Text;

// Type I error rates and power in colours that stay apart for readers with
// the commonest colour-vision deficiencies, and apart in shape too.
constexpr std::string_view NullColour = "#d55e00";
constexpr std::string_view PowerColour = "#0072b2";

std::string Mark(bool inNull, double x, double y, std::string_view argument, std::string_view tip,
                 bool legend = false) {
  std::string out;
  if (inNull) {
    out = std::string("<circle class=\"") + (legend ? "legend-mark" : "mark in-null") + "\" data-argument=\"" +
          std::string(argument) + "\" cx=\"" + Num(x) + "\" cy=\"" + Num(y) + "\" r=\"4.5\" fill=\"" +
          std::string(NullColour) + "\">";
    out += "<title>" + Escaped(tip) + "</title></circle>\n";
  } else {
    out = std::string("<rect class=\"") + (legend ? "legend-mark" : "mark outside-null") + "\" data-argument=\"" +
          std::string(argument) + "\" x=\"" + Num(x - 4.0) + "\" y=\"" + Num(y - 4.0) +
          "\" width=\"8\" height=\"8\" fill=\"" + std::string(PowerColour) + "\">";
    out += "<title>" + Escaped(tip) + "</title></rect>\n";
  }
  return out;
}

std::string LevelCaption(int level) {
  switch (level) {
    case 1:
      return "0%";
    case 2:
      return "50%";
    case 3:
      return "100%";
    default:
      return std::to_string(level);
  }
}

}  // namespace

std::string PowerChartTitle(const RunInputs& inputs) {
  const EcoSimTestOptions& o = inputs.CommittedOptions();
  std::string title = std::string(Caption(o.Index)) + " test, rows " + std::string(Caption(o.RowConstraint)) +
                      ", columns " + std::string(Caption(o.ColumnConstraint));
  if (o.IsFixedFixed()) title += ", " + std::string(Caption(o.Algorithm));
  title += "; " + inputs.RowsText() + " x " + inputs.ColsText() + " matrices (species x sites)";
  return title;
}

std::string PowerChartSvg(const PowerTable& table, const RunInputs& inputs) {
  constexpr int width = 960;
  constexpr int height = 580;
  constexpr double left = 64;
  constexpr double right = width - 24;
  constexpr double top = 70;
  constexpr double bottom = height - 140;
  const auto yOf = [](double rate) { return bottom - std::clamp(rate, 0.0, 1.0) * (bottom - top); };

  // Scenarios in table order, each with the levels it has.
  std::vector<int> scenarios;
  int levels = 0;
  for (const PowerTableRow& row : table) {
    if (scenarios.empty() || scenarios.back() != row.Scenario) scenarios.push_back(row.Scenario);
    levels = std::max(levels, row.Level);
  }
  std::vector<int> levelsShown;
  for (int level = 1; level <= levels; ++level) {
    if (std::any_of(table.begin(), table.end(), [level](const PowerTableRow& r) { return r.Level == level; })) {
      levelsShown.push_back(level);
    }
  }
  const double groupWidth = (right - left) / static_cast<double>(std::max<std::size_t>(1, scenarios.size()));
  const double slotWidth = groupWidth / static_cast<double>(std::max<std::size_t>(1, levelsShown.size()) + 1);

  const EcoSimTestOptions& options = inputs.CommittedOptions();
  const MainWindowChoices choices = inputs.Choices();
  std::string svg = Open(width, height, "Power function: " + PowerChartTitle(inputs));
  // The title in two lines: the test, then the matrices and the hypothesis.
  std::string test = "Power function of the " + std::string(Caption(options.Index)) + " test: rows " +
                     std::string(Caption(options.RowConstraint)) + ", columns " +
                     std::string(Caption(options.ColumnConstraint));
  if (options.IsFixedFixed()) test += ", " + std::string(Caption(options.Algorithm));
  svg += Text(width / 2.0, 26, test, "class=\"title\" text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"");
  svg += Text(width / 2.0, 48,
              inputs.RowsText() + " x " + inputs.ColsText() + " matrices (species x sites); null hypothesis: " +
                  std::string(Caption(choices.NullHypothesis)) + "; each rate with its exact 95 % confidence interval",
              "class=\"title\" text-anchor=\"middle\" font-size=\"12\"");

  // Alternate bands mark the scenarios.
  for (std::size_t g = 0; g < scenarios.size(); ++g) {
    const double x = left + groupWidth * static_cast<double>(g);
    if (g % 2 == 1) {
      svg += "<rect class=\"band\" x=\"" + Num(x) + "\" y=\"" + Num(top) + "\" width=\"" + Num(groupWidth) +
             "\" height=\"" + Num(bottom - top) + "\" fill=\"#f0f0f0\"/>\n";
    }
    svg += Text(x + groupWidth / 2.0, bottom + 18, std::to_string(scenarios[g]),
                "class=\"scenario\" text-anchor=\"middle\" font-size=\"12\"");
  }
  svg += Text((left + right) / 2.0, bottom + 36, "Occupancy scenario",
              "class=\"axis-label\" text-anchor=\"middle\" font-size=\"12\"");

  // The rate axis with a light grid.
  for (int tick = 0; tick <= 10; ++tick) {
    const double rate = tick / 10.0;
    const double y = yOf(rate);
    svg += Line(left, y, right, y, "class=\"grid\" stroke=\"#dddddd\" stroke-width=\"1\"");
    if (tick % 2 == 0) {
      svg += Text(left - 6, y + 4, Num(rate, 1), "class=\"tick\" text-anchor=\"end\" font-size=\"11\"");
    }
  }
  svg += Line(left, top, left, bottom, "stroke=\"#333333\" stroke-width=\"1\"");
  svg += Line(left, bottom, right, bottom, "stroke=\"#333333\" stroke-width=\"1\"");
  svg += "<text class=\"axis-label\" x=\"18\" y=\"" + Num((top + bottom) / 2.0) +
         "\" text-anchor=\"middle\" font-size=\"12\" transform=\"rotate(-90 18 " + Num((top + bottom) / 2.0) +
         ")\">Rejection rate</text>\n";

  // The nominal size, and the rate from which the report warns of high Type
  // I error rates.
  svg += Line(left, yOf(0.05), right, yOf(0.05),
              "class=\"reference\" data-rate=\"0.05\" stroke=\"#444444\" stroke-width=\"1.2\" "
              "stroke-dasharray=\"6 4\"");
  svg += Line(left, yOf(ErrorRateThreshold), right, yOf(ErrorRateThreshold),
              "class=\"reference\" data-rate=\"0.15\" stroke=\"#b00020\" stroke-width=\"1.2\" "
              "stroke-dasharray=\"2 3\"");

  std::int64_t untested = 0;
  std::int64_t matrices = 0;
  for (const PowerTableRow& row : table) {
    const auto group =
        static_cast<std::size_t>(std::find(scenarios.begin(), scenarios.end(), row.Scenario) - scenarios.begin());
    const auto slot =
        static_cast<std::size_t>(std::find(levelsShown.begin(), levelsShown.end(), row.Level) - levelsShown.begin());
    const double x = left + groupWidth * static_cast<double>(group) + slotWidth * (static_cast<double>(slot) + 1.0);
    const std::string argument = "(" + std::to_string(row.Level) + "," + std::to_string(row.Scenario) + ")";
    const std::string_view colour = row.InNull ? NullColour : PowerColour;
    std::string tip = argument + (row.InNull ? " Type I error rate " : " power ") + FormatRate(row.Power);
    double labelY = yOf(row.Power);
    if (row.Matrices > 0) {
      const RateInterval interval = ClopperPearson(row.Rejected, row.Matrices);
      const double yLow = yOf(interval.Lower);
      const double yHigh = yOf(interval.Upper);
      labelY = yHigh;
      const std::string attributes = "class=\"interval\" data-argument=\"" + argument + "\" data-lower=\"" +
                                     Num(interval.Lower, 4) + "\" data-upper=\"" + Num(interval.Upper, 4) +
                                     "\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"";
      svg += Line(x, yLow, x, yHigh, attributes);
      svg += Line(x - 3, yLow, x + 3, yLow, "stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"");
      svg += Line(x - 3, yHigh, x + 3, yHigh, "stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"");
      tip += ", 95 % interval " + FormatRate(interval.Lower) + " to " + FormatRate(interval.Upper) + "; " +
             std::to_string(row.Rejected) + " of " + std::to_string(row.Matrices) + " matrices rejected";
      matrices += row.Matrices;
    }
    if (row.NotTested > 0) {
      tip += ", " + std::to_string(row.NotTested) + " not tested";
      untested += row.NotTested;
      svg += "<text class=\"untested\" data-argument=\"" + argument + "\" x=\"" + Num(x + 9) + "\" y=\"" +
             Num(labelY - 4) + "\" font-size=\"9\" fill=\"#555555\" transform=\"rotate(-90 " + Num(x + 9) + " " +
             Num(labelY - 4) + ")\">" + std::to_string(row.NotTested) + " untested</text>\n";
    }
    svg += Mark(row.InNull, x, yOf(row.Power), argument, tip);
  }

  // The legend.
  const double legendY = bottom + 62;
  svg += "<g class=\"legend\" font-size=\"12\">\n";
  svg += Mark(true, left + 8, legendY - 4, "legend", "inside the null hypothesis", true);
  svg += Text(left + 20, legendY, "Null hypothesis true: Type I error rate");
  svg += Mark(false, left + 300, legendY - 4, "legend", "outside the null hypothesis", true);
  svg += Text(left + 312, legendY, "Null hypothesis false: power");
  svg += Line(left + 540, legendY - 8, left + 540, legendY + 2, "stroke=\"#333333\" stroke-width=\"1.5\"");
  svg += Text(left + 550, legendY, "exact (Clopper-Pearson) 95 % interval");
  const double refY = legendY + 20;
  svg += Line(left, refY - 4, left + 24, refY - 4, "stroke=\"#444444\" stroke-width=\"1.2\" stroke-dasharray=\"6 4\"");
  svg += Text(left + 30, refY, "nominal size 0.05");
  svg += Line(left + 300, refY - 4, left + 324, refY - 4,
              "stroke=\"#b00020\" stroke-width=\"1.2\" stroke-dasharray=\"2 3\"");
  svg += Text(left + 330, refY, "0.15: from here the report warns of high Type I error rates");
  std::string levelsNote = "Within each scenario, left to right:";
  for (std::size_t k = 0; k < levelsShown.size(); ++k) {
    levelsNote += (k == 0 ? " " : ", ") + LevelCaption(levelsShown[k]);
  }
  levelsNote += " of species interacting.";
  svg += Text(left, legendY + 40, levelsNote, "class=\"levels\"");
  if (untested > 0) {
    svg += Text(left, legendY + 58,
                std::to_string(untested) + " of " + std::to_string(matrices) +
                    " matrices could not be tested (fewer than two species, no checkerboard to swap, or no "
                    "results); they count as not rejected.",
                "class=\"untested-note\"");
  }
  svg += "</g>\n</svg>\n";
  return svg;
}

std::string NullDistributionSvg(const NullDistributionPicture& picture) {
  constexpr int width = 800;
  constexpr int height = 480;
  constexpr double left = 70;
  constexpr double right = width - 24;
  constexpr double top = 60;
  constexpr double bottom = height - 110;

  double low = picture.Observed;
  double high = picture.Observed;
  for (const double v : picture.Values) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
  // One bin per distinct value for indices with few values; at most 40.
  const auto n = static_cast<double>(picture.Values.size());
  const int bins = std::clamp(static_cast<int>(std::ceil(std::sqrt(n))), 1, 40);
  if (high <= low) {
    low -= 0.5;
    high += 0.5;
  }
  const double binWidth = (high - low) / bins;
  std::vector<std::int64_t> counts(static_cast<std::size_t>(bins), 0);
  for (const double v : picture.Values) {
    const int bin = std::clamp(static_cast<int>((v - low) / binWidth), 0, bins - 1);
    ++counts[static_cast<std::size_t>(bin)];
  }
  const std::int64_t tallest = std::max<std::int64_t>(1, *std::max_element(counts.begin(), counts.end()));
  const auto xOf = [&](double v) { return left + (v - low) / (high - low) * (right - left); };
  const auto yOf = [&](double count) { return bottom - count / static_cast<double>(tallest) * (bottom - top); };

  std::string svg = Open(width, height, "Null distribution: " + picture.Title);
  svg += Text(width / 2.0, 28, "Null distribution: " + picture.Title,
              "class=\"title\" text-anchor=\"middle\" font-size=\"15\" font-weight=\"bold\"");
  for (std::size_t b = 0; b < counts.size(); ++b) {
    const double x0 = xOf(low + binWidth * static_cast<double>(b));
    const double x1 = xOf(low + binWidth * static_cast<double>(b + 1));
    const double y = yOf(static_cast<double>(counts[b]));
    svg += "<rect class=\"bar\" data-count=\"" + std::to_string(counts[b]) + "\" x=\"" + Num(x0) + "\" y=\"" + Num(y) +
           "\" width=\"" + Num(std::max(0.0, x1 - x0 - 1.0)) + "\" height=\"" + Num(bottom - y) +
           "\" fill=\"#9ecae1\" stroke=\"#3182bd\" stroke-width=\"0.5\"/>\n";
  }
  svg += Line(left, bottom, right, bottom, "stroke=\"#333333\" stroke-width=\"1\"");
  svg += Line(left, top, left, bottom, "stroke=\"#333333\" stroke-width=\"1\"");
  for (int tick = 0; tick <= 4; ++tick) {
    const double value = low + (high - low) * tick / 4.0;
    svg += Text(xOf(value), bottom + 16, Num(value, 3), "class=\"tick\" text-anchor=\"middle\" font-size=\"11\"");
    const double count = static_cast<double>(tallest) * tick / 4.0;
    svg += Text(left - 6, yOf(count) + 4, Num(count, 0), "class=\"tick\" text-anchor=\"end\" font-size=\"11\"");
  }
  svg += Text((left + right) / 2.0, bottom + 34, picture.IndexName + " of the null matrices",
              "class=\"axis-label\" text-anchor=\"middle\" font-size=\"12\"");
  svg += "<text class=\"axis-label\" x=\"20\" y=\"" + Num((top + bottom) / 2.0) +
         "\" text-anchor=\"middle\" font-size=\"12\" transform=\"rotate(-90 20 " + Num((top + bottom) / 2.0) +
         ")\">Null matrices</text>\n";
  const double xObserved = xOf(picture.Observed);
  svg += Line(
      xObserved, top - 6, xObserved, bottom,
      "class=\"observed\" data-value=\"" + Num(picture.Observed, 6) + "\" stroke=\"#d55e00\" stroke-width=\"2.5\"");

  const double legendY = bottom + 60;
  svg += "<g class=\"legend\" font-size=\"12\">\n";
  svg += "<rect x=\"" + Num(left) + "\" y=\"" + Num(legendY - 10) +
         "\" width=\"12\" height=\"10\" fill=\"#9ecae1\" stroke=\"#3182bd\"/>\n";
  svg += Text(left + 18, legendY, std::to_string(picture.Values.size()) + " null matrices");
  svg += Line(left + 200, legendY - 11, left + 200, legendY + 1, "stroke=\"#d55e00\" stroke-width=\"2.5\"");
  svg += Text(left + 208, legendY, "observed index = " + Num(picture.Observed, 3));
  svg += Text(left, legendY + 20, "p(observed <= expected) = " + picture.PLower, "class=\"p-lower\"");
  svg += Text(left + 300, legendY + 20, "p(observed >= expected) = " + picture.PUpper, "class=\"p-upper\"");
  svg += "</g>\n</svg>\n";
  return svg;
}

}  // namespace tessil
