// Pictures of a study and of a single test as SVG text.
#include "PowerChart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "ChartLook.h"
#include "ChartText.h"
#include "NumberText.h"
#include "OutputResults_Procedures.h"
#include "SvgDrawing.h"
#include "TestVocabulary.h"
#include "VerdictCertainty.h"

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

using chart::Anchor;
using chart::Coord;
using chart::Rgb;

// The colours and lines every chart of a study shares (ChartLook.h).
using chart::AxisColour;
using chart::AxisPen;
using chart::GridPen;
using chart::NominalPen;
using chart::NullColour;
using chart::PowerColour;
using chart::WarningPen;

using chart::Label;

chart::Text Heading(double x, double y, std::string content, double size) {
  chart::Text text = Label(x, y, std::move(content), size, Anchor::Middle, chart::TitleRole);
  text.Bold = true;
  return text;
}

// An axis's caption read from below, turned a quarter to the left about its
// place.
chart::Text AxisCaption(Coord x, double y, std::string content) {
  chart::Text text = Label(0, y, std::move(content), 12, Anchor::Middle, "axis-label");
  text.At.X = x;
  text.Rotation = -90;
  return text;
}

chart::Line Rule(double x1, double y1, double x2, double y2, chart::Pen pen, chart::Tag tag = {}) {
  return {{x1, y1}, {x2, y2}, std::move(pen), std::move(tag)};
}

chart::Mark Mark(bool inNull, double x, double y, std::string argument, std::string tip, bool legend = false) {
  chart::Mark mark;
  mark.Centre = {x, y};
  mark.Form = inNull ? chart::Shape::Circle : chart::Shape::Square;
  mark.Fill = inNull ? NullColour : PowerColour;
  mark.Is.Role = legend ? "legend-mark" : inNull ? "mark in-null" : "mark outside-null";
  mark.Is.Data = {{"argument", std::move(argument)}};
  mark.Is.Tip = std::move(tip);
  return mark;
}

std::string LevelCaption(int level) {
  switch (level) {
    case 1:
      return "0 %";
    case 2:
      return "50 %";
    case 3:
      return "100 %";
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

double RateScale::Y(double rate) const {
  const double r = std::isnan(rate) ? 0.0 : std::clamp(rate, 0.0, 1.0);
  const double breakY = BreakY();
  if (r <= Split) return Bottom - r / Split * (Bottom - breakY);
  return breakY - (r - Split) / (1.0 - Split) * (breakY - Top);
}

namespace {

// The power chart's measures in pixels. Text keeps its size whatever the
// room; the plot takes the height that is left.
constexpr double MinimumWidth = 640;
constexpr double SavedWidth = 960;
constexpr double SavedPlotHeight = 340;
constexpr double MinimumPlotHeight = 220;
constexpr double TitleSize = 16;
constexpr double CaptionSize = 12;
constexpr double TickSize = 11;
constexpr double NoteSize = 11;
constexpr double CertaintySize = 11;

// How far a line of turned text reaches either side of its baseline: the
// face's ascent above it, its descent below.
constexpr double AscentEm = 0.76;
constexpr double DescentEm = 0.24;

chart::Shape LevelShape(int level) {
  switch (level) {
    case 1:
      return chart::Shape::Circle;
    case 2:
      return chart::Shape::Square;
    case 3:
      return chart::Shape::Diamond;
    default:
      return chart::Shape::TriangleDown;
  }
}

// "100 matrices per argument", or the range where a run drew different
// numbers at different arguments; empty when nothing was drawn.
std::string MatricesPerArgument(const PowerTable& table) {
  std::int32_t fewest = 0;
  std::int32_t most = 0;
  for (const PowerTableRow& row : table) {
    if (row.Matrices <= 0) continue;
    fewest = fewest == 0 ? row.Matrices : std::min(fewest, row.Matrices);
    most = std::max(most, row.Matrices);
  }
  if (most == 0) return {};
  const std::string count = fewest == most ? GroupedNumber(most) : GroupedNumber(fewest) + " to " + GroupedNumber(most);
  return count + (most == 1 ? " matrix per argument" : " matrices per argument");
}

// A rectangle in the picture, for keeping labels apart.
struct Area {
  double Left = 0;
  double Top = 0;
  double Right = 0;
  double Bottom = 0;
  [[nodiscard]] bool Meets(const Area& other) const {
    return Left < other.Right && other.Left < Right && Top < other.Bottom && other.Top < Bottom;
  }
};

// One key of the legend, drawn with its left edge at x and its caption's
// baseline at y.
struct LegendKey {
  double Width = 0;
  std::function<void(double x, double y, std::vector<chart::Primitive>& items)> Draw;
};

LegendKey CaptionedKey(std::string caption, double sampleWidth,
                       std::function<void(double x, double y, std::vector<chart::Primitive>& items)> sample) {
  const double width = sampleWidth + 6 + chart::TextWidth(caption, CaptionSize);
  return {width, [caption = std::move(caption), sampleWidth, sample = std::move(sample)](
                     double x, double y, std::vector<chart::Primitive>& items) {
            sample(x, y, items);
            items.emplace_back(Label(x + sampleWidth + 6, y, caption, CaptionSize));
          }};
}

struct PowerLayout {
  double Width = SavedWidth;
  std::optional<double> RoomHeight;  // none: the saved picture's plot height
};

chart::Chart LaidOutPowerChart(const PowerTable& table, const RunInputs& inputs, const PowerLayout& layout) {
  // The columns: the rate axis's captions left of the plot, the certainty
  // brackets right of it.
  const double width = std::max(MinimumWidth, std::round(layout.Width));
  constexpr double left = 70;
  const double right = width - 44;
  constexpr double rateCaptionX = 18;
  constexpr double margin = 24;  // between the text and the picture's edges
  constexpr double legendRow = 20;

  // Scenarios in table order, each with the levels it has.
  std::vector<int> scenarios;
  int levels = 0;
  std::int64_t untested = 0;
  std::int64_t matrices = 0;
  for (const PowerTableRow& row : table) {
    if (scenarios.empty() || scenarios.back() != row.Scenario) scenarios.push_back(row.Scenario);
    levels = std::max(levels, row.Level);
    untested += row.NotTested;
    matrices += std::max(0, row.Matrices);
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
  chart::Chart picture{static_cast<int>(width), 0, "Power function: " + PowerChartTitle(inputs), {}};
  auto& items = picture.Items;

  // The title, wrapped to the picture: the test; then a caption with the
  // matrices, how many at each argument, and the hypothesis.
  std::string test = "Power function of the " + std::string(Caption(options.Index)) + " test: rows " +
                     std::string(Caption(options.RowConstraint)) + ", columns " +
                     std::string(Caption(options.ColumnConstraint));
  if (options.IsFixedFixed()) test += ", " + std::string(Caption(options.Algorithm));
  double y = 6;
  for (const std::string& line : chart::WrapTitle(test, width - 2 * margin, TitleSize)) {
    y += 20;
    items.emplace_back(Heading(width / 2.0, y, line, TitleSize));
  }
  std::string caption = inputs.RowsText() + " x " + inputs.ColsText() + " matrices (species x sites)";
  const std::string perArgument = MatricesPerArgument(table);
  if (!perArgument.empty()) caption += ", " + perArgument;
  caption += "; null hypothesis: " + std::string(Caption(choices.NullHypothesis));
  for (const std::string& line : chart::WrapText(caption, width - 2 * margin, CaptionSize, false, 3)) {
    y += 16;
    items.emplace_back(Label(width / 2.0, y, line, CaptionSize, Anchor::Middle, chart::TitleRole));
  }
  const double top = y + 22;

  // The words under the plot: the legend's keys left to right, a row
  // further when a row is full; the untested matrices; how sure the
  // verdicts are. Drawn from the plot's foot; returns how far they reach.
  const VerdictCertainty certainty = AssessVerdicts(table);
  std::vector<LegendKey> keys;
  for (const auto& [inNull, words] :
       {std::pair{true, "Null hypothesis true: Type I error rate"}, std::pair{false, "Null hypothesis false: power"}}) {
    keys.push_back(CaptionedKey(words, 12, [inNull = inNull](double x, double keyY, auto& out) {
      out.emplace_back(chart::Box{{x, keyY - 10}, {12, 0}, {10, 0}, inNull ? NullColour : PowerColour, {}, {}, {}});
    }));
  }
  {
    // The interaction levels' shapes as one key, never split over rows.
    const std::string lead = "Species interacting:";
    double keyWidth = chart::TextWidth(lead, CaptionSize);
    std::vector<std::pair<int, std::string>> shapes;
    for (const int level : levelsShown) {
      std::string words = LevelCaption(level);
      keyWidth += 10 + 12 + chart::TextWidth(words, CaptionSize);
      shapes.emplace_back(level, std::move(words));
    }
    keys.push_back(
        {keyWidth, [lead, shapes](double x, double keyY, auto& out) {
           out.emplace_back(Label(x, keyY, lead, CaptionSize));
           double at = x + chart::TextWidth(lead, CaptionSize) + 10;
           for (const auto& [level, words] : shapes) {
             chart::Mark mark;
             mark.Centre = {at + 5, keyY - 4};
             mark.Form = LevelShape(level);
             mark.Fill = AxisColour;
             mark.Is = {"legend-mark", {{"level", std::to_string(level)}}, words + " of species interacting"};
             out.emplace_back(std::move(mark));
             out.emplace_back(Label(at + 12, keyY, words, CaptionSize));
             at += 10 + 12 + chart::TextWidth(words, CaptionSize);
           }
         }});
  }
  keys.push_back(CaptionedKey("nominal size 0.05", 24, [](double x, double keyY, auto& out) {
    out.emplace_back(Rule(x, keyY - 4, x + 24, keyY - 4, NominalPen));
  }));
  keys.push_back(CaptionedKey(
      "0.15: from here the report warns of high Type I error rates", 24,
      [](double x, double keyY, auto& out) { out.emplace_back(Rule(x, keyY - 4, x + 24, keyY - 4, WarningPen)); }));

  keys.push_back(
      CaptionedKey("exact (Clopper-Pearson) 95 % interval; untested matrices count as drawn and not rejected", 8,
                   [](double x, double keyY, auto& out) {
                     const chart::Pen pen{AxisColour, 1.5, {}};
                     out.emplace_back(Rule(x + 4, keyY - 10, x + 4, keyY + 2, pen));
                     out.emplace_back(Rule(x + 1, keyY - 10, x + 7, keyY - 10, pen));
                     out.emplace_back(Rule(x + 1, keyY + 2, x + 7, keyY + 2, pen));
                   }));
  const auto wordsUnder = [&](double bottom, std::vector<chart::Primitive>& out) {
    // The words run from the picture's margin, wider than the plot.
    constexpr double keyGap = 20;
    constexpr double textLeft = margin;
    const double keysRight = width - margin;
    double lineY = bottom + 62;
    out.emplace_back(chart::GroupStart{CaptionSize, chart::Role("legend")});
    double x = textLeft;
    for (const LegendKey& key : keys) {
      if (x > textLeft && x + key.Width > keysRight) {
        x = textLeft;
        lineY += legendRow;
      }
      key.Draw(x, lineY, out);
      x += key.Width + keyGap;
    }
    if (untested > 0) {
      const std::string note =
          GroupedNumber(untested) + " of " + GroupedNumber(matrices) +
          " matrices could not be tested (fewer than two species, no checkerboard to swap, or no results); they "
          "count as not rejected.";
      for (const std::string& line : chart::WrapText(note, keysRight - textLeft, CaptionSize)) {
        lineY += 18;
        out.emplace_back(Label(textLeft, lineY, line, CaptionSize, Anchor::Start, "untested-note"));
      }
    }
    out.emplace_back(chart::GroupEnd{});

    out.emplace_back(chart::GroupStart{CertaintySize, chart::Role("certainty")});
    lineY += 8;
    for (const std::string& line : chart::WrapText(
             "Brackets at the right: the actual size and the least and greatest power, each with its simultaneous 95 "
             "% interval. How sure the verdicts are:",
             keysRight - textLeft, CertaintySize)) {
      lineY += 16;
      out.emplace_back(Label(textLeft, lineY, line, CertaintySize, Anchor::Start, "certainty-caption"));
    }
    // A sentence too wide for the picture goes on over further lines,
    // indented.
    constexpr double indent = 24;
    for (const std::string& sentence :
         {ActualSizeCertaintyLine(certainty), PowerCertaintyLine(certainty), BiasCertaintyLine(certainty)}) {
      const std::vector<std::string> first = chart::WrapText(sentence, keysRight - textLeft, CertaintySize);
      std::vector<std::string> lines{first.front()};
      if (first.size() > 1) {
        const std::string rest = sentence.substr(std::min(sentence.size(), first.front().size() + 1));
        for (std::string& line : chart::WrapText(rest, keysRight - textLeft - indent, CertaintySize)) {
          lines.push_back(std::move(line));
        }
      }
      for (std::size_t k = 0; k < lines.size(); ++k) {
        lineY += 16;
        out.emplace_back(Label(k == 0 ? textLeft : textLeft + indent, lineY, lines[k], CertaintySize, Anchor::Start,
                               k == 0 ? "certainty-line" : "certainty-line continued"));
      }
    }
    out.emplace_back(chart::GroupEnd{});
    return lineY + 12 - bottom;
  };
  std::vector<chart::Primitive> measured;
  const double under = wordsUnder(0, measured);
  const double plotHeight =
      layout.RoomHeight ? std::max(MinimumPlotHeight, std::floor(*layout.RoomHeight - top - under)) : SavedPlotHeight;
  const double bottom = top + plotHeight;
  const RateScale scale{top, bottom};
  const auto yOf = [&scale](double rate) { return scale.Y(rate); };

  // Alternate bands mark the scenarios.
  for (std::size_t g = 0; g < scenarios.size(); ++g) {
    const double x = left + groupWidth * static_cast<double>(g);
    if (g % 2 == 1)
      items.emplace_back(chart::Box{{x, top}, groupWidth, bottom - top, Rgb(0xf0f0f0), {}, {}, chart::Role("band")});
    items.emplace_back(Label(x + groupWidth / 2.0, bottom + 18, std::to_string(scenarios[g]), CaptionSize,
                             Anchor::Middle, "scenario"));
  }
  items.emplace_back(
      Label((left + right) / 2.0, bottom + 36, "Occupancy scenario", CaptionSize, Anchor::Middle, "axis-label"));

  // The rate axis in its two parts, with a light grid: every 0.05 up to the
  // threshold, every 0.1 above it, a caption wherever it keeps clear of the
  // one below.
  double lastLabelY = std::numeric_limits<double>::infinity();
  for (int step = 0; step <= 20; ++step) {
    const double rate = step * 0.05;
    if (rate > RateScale::Split + 1e-9 && step % 2 == 1) continue;
    const double tickY = yOf(rate);
    items.emplace_back(Rule(left, tickY, right, tickY, GridPen, {"grid", {{"rate", svg::Num(rate, 2)}}, {}}));
    const bool lower = rate <= RateScale::Split + 1e-9;
    if (lastLabelY - tickY >= TickSize + 3 && (lower || step % 4 == 0 || step == 20)) {
      items.emplace_back(
          Label(left - 6, tickY + 4, rate == 0 ? "0" : svg::Num(rate, lower ? 2 : 1), TickSize, Anchor::End, "tick"));
      lastLabelY = tickY;
    }
  }
  // The axis broken where its scale changes: a gap with two slanted
  // strokes.
  const double breakY = scale.BreakY();
  items.emplace_back(Rule(left, top, left, breakY - 3, AxisPen, chart::Role("rate-axis upper")));
  items.emplace_back(Rule(left, breakY + 3, left, bottom, AxisPen, chart::Role("rate-axis lower")));
  items.emplace_back(Rule(left - 5, breakY + 1, left + 5, breakY - 5, AxisPen, chart::Role("axis-break")));
  items.emplace_back(Rule(left - 5, breakY + 5, left + 5, breakY - 1, AxisPen, chart::Role("axis-break")));
  items.emplace_back(Rule(left, bottom, right, bottom, AxisPen));
  // The rate axis's caption says that its lower part is enlarged, in two
  // lines when one is longer than the plot is high.
  const std::string rateCaption = "Rejection rate (0 to 0.15 enlarged)";
  if (chart::TextWidth(rateCaption, CaptionSize) <= plotHeight) {
    items.emplace_back(AxisCaption({rateCaptionX, 0}, (top + bottom) / 2.0, rateCaption));
  } else {
    items.emplace_back(AxisCaption({rateCaptionX - 4, 0}, (top + bottom) / 2.0, "Rejection rate"));
    items.emplace_back(AxisCaption({rateCaptionX + 10, 0}, (top + bottom) / 2.0, "(0 to 0.15 enlarged)"));
  }

  items.emplace_back(Rule(left, yOf(0.05), right, yOf(0.05), NominalPen, {"reference", {{"rate", "0.05"}}, {}}));
  items.emplace_back(Rule(left, yOf(ErrorRateThreshold), right, yOf(ErrorRateThreshold), WarningPen,
                          {"reference", {{"rate", "0.15"}}, {}}));

  std::vector<Area> notes;
  for (const PowerTableRow& row : table) {
    const auto group =
        static_cast<std::size_t>(std::find(scenarios.begin(), scenarios.end(), row.Scenario) - scenarios.begin());
    const auto slot =
        static_cast<std::size_t>(std::find(levelsShown.begin(), levelsShown.end(), row.Level) - levelsShown.begin());
    const double x = left + groupWidth * static_cast<double>(group) + slotWidth * (static_cast<double>(slot) + 1.0);
    const std::string argument = "(" + std::to_string(row.Level) + "," + std::to_string(row.Scenario) + ")";
    const chart::Pen pen{row.InNull ? NullColour : PowerColour, 1.5, {}};
    std::string tip = argument + (row.InNull ? " Type I error rate " : " power ") + FormatRate(row.Power) + ", " +
                      LevelCaption(row.Level) + " of species interacting";
    const double markY = yOf(row.Power);
    // How far the argument's drawing reaches up and down: its interval and
    // its mark.
    double reachTop = markY - 6;
    double reachBottom = markY + 6;
    if (row.Matrices > 0) {
      const RateInterval interval = ClopperPearson(row.Rejected, row.Matrices);
      const double yLow = yOf(interval.Lower);
      const double yHigh = yOf(interval.Upper);
      reachTop = std::min(reachTop, yHigh);
      reachBottom = std::max(reachBottom, yLow);
      items.emplace_back(Rule(
          x, yLow, x, yHigh, pen,
          {"interval",
           {{"argument", argument}, {"lower", svg::Num(interval.Lower, 4)}, {"upper", svg::Num(interval.Upper, 4)}},
           {}}));
      items.emplace_back(Rule(x - 3, yLow, x + 3, yLow, pen));
      items.emplace_back(Rule(x - 3, yHigh, x + 3, yHigh, pen));
      tip += ", 95 % interval " + FormatRate(interval.Lower) + " to " + FormatRate(interval.Upper) + "; " +
             GroupedNumber(row.Rejected) + " of " + GroupedNumber(row.Matrices) + " matrices rejected";
    }
    if (row.NotTested > 0) {
      tip += ", " + GroupedNumber(row.NotTested) + " not tested";
      // The note reads upwards in the argument's own column: above its
      // interval, else below it, as near to it as the notes already placed
      // leave room for; always inside the plot. Only a plot too crowded
      // for that puts it beside the interval.
      const std::string words = GroupedNumber(row.NotTested) + " untested";
      const double length = chart::TextWidth(words, NoteSize);
      const double ascent = AscentEm * NoteSize;
      const double descent = DescentEm * NoteSize;
      const double half = (ascent + descent) / 2.0;
      struct Place {
        double X, Y;
        Anchor Align;
        Area Covers;
      };
      const auto inColumn = [&](double from, bool upwards) {
        return upwards ? Place{x + ascent - half, from, Anchor::Start, {x - half, from - length, x + half, from}}
                       : Place{x + ascent - half, from, Anchor::End, {x - half, from, x + half, from + length}};
      };
      const auto inside = [&](const Place& p) { return p.Covers.Top >= top && p.Covers.Bottom <= bottom; };
      const auto clear = [&](const Place& p) {
        return std::none_of(notes.begin(), notes.end(), [&p](const Area& a) { return a.Meets(p.Covers); });
      };
      std::optional<Place> chosen;
      for (double away = 0; !chosen && away <= bottom - top; away += 4) {
        for (const Place& p : {inColumn(reachTop - 5 - away, true), inColumn(reachBottom + 5 + away, false)}) {
          if (!chosen && inside(p) && clear(p)) chosen = p;
        }
      }
      if (!chosen) {
        const double besideY = std::max(top + length, std::min(bottom, reachBottom));
        chosen = Place{x + 6 + ascent, besideY, Anchor::Start, {x + 6, besideY - length, x + 6 + 2 * half, besideY}};
      }
      chart::Text note = Label(chosen->X, chosen->Y, words, NoteSize, chosen->Align);
      note.Ink = Rgb(0x555555);
      note.Rotation = -90;
      note.Is = {"untested", {{"argument", argument}}, {}};
      items.emplace_back(std::move(note));
      notes.push_back(chosen->Covers);
    }
    chart::Mark mark = Mark(row.InNull, x, markY, argument, tip);
    mark.Form = LevelShape(row.Level);
    mark.Is.Data.emplace_back("level", std::to_string(row.Level));
    items.emplace_back(std::move(mark));
  }

  // How sure the study's verdicts are: the simultaneous intervals of the
  // actual size and of the least and greatest power, as brackets in the
  // plot's right margin; in words under the legend.
  const auto bracket = [&](const ExtremeInterval& extreme, double x, chart::Colour ink, const char* figure) {
    if (extreme.Arguments == 0) return;
    const chart::Pen pen{ink, 2.0, {}};
    const double yLow = yOf(extreme.Lower);
    const double yHigh = yOf(extreme.Upper);
    items.emplace_back(
        Rule(x, yLow, x, yHigh, pen,
             {std::string("certainty ") + figure,
              {{"estimate", svg::Num(extreme.Estimate, 4)},
               {"lower", svg::Num(extreme.Lower, 4)},
               {"upper", svg::Num(extreme.Upper, 4)}},
              std::string(figure) + " " + FormatRate(extreme.Estimate) + ", simultaneous 95 % interval " +
                  FormatRate(extreme.Lower) + " to " + FormatRate(extreme.Upper)}));
    items.emplace_back(Rule(x - 3, yLow, x, yLow, pen));
    items.emplace_back(Rule(x - 3, yHigh, x, yHigh, pen));
    items.emplace_back(Rule(x - 4, yOf(extreme.Estimate), x + 2, yOf(extreme.Estimate), pen));
  };
  bracket(certainty.ActualSize, right + 10, NullColour, "actual-size");
  bracket(certainty.MinPower, right + 20, PowerColour, "least-power");
  bracket(certainty.MaxPower, right + 30, PowerColour, "greatest-power");

  picture.Height = static_cast<int>(std::ceil(bottom + wordsUnder(bottom, items)));
  return picture;
}

}  // namespace

chart::Chart PowerChart(const PowerTable& table, const RunInputs& inputs) {
  return LaidOutPowerChart(table, inputs, {SavedWidth, std::nullopt});
}

chart::Chart PowerChart(const PowerTable& table, const RunInputs& inputs, chart::ChartSize room) {
  return LaidOutPowerChart(table, inputs, {static_cast<double>(room.Width), static_cast<double>(room.Height)});
}

std::string PowerChartSvg(const PowerTable& table, const RunInputs& inputs) {
  return svg::Document(PowerChart(table, inputs));
}

namespace {

// A round step (1, 2 or 5 times a power of ten) that cuts the span into
// about `count` parts, so that ticks and bin edges fall on numbers a reader
// can say.
double RoundStep(double span, int count) {
  if (!(span > 0.0) || !std::isfinite(span)) return 1.0;
  const double raw = span / count;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double best = magnitude;
  for (const double multiple : {2.0, 5.0, 10.0}) {
    if (std::fabs(std::log(multiple * magnitude / raw)) < std::fabs(std::log(best / raw))) best = multiple * magnitude;
  }
  return best;
}

// The decimals that write every multiple of the step exactly.
int DecimalsOf(double step) {
  int decimals = 0;
  while (decimals < 8 && std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) >
                             1e-6 * step * std::pow(10.0, decimals)) {
    ++decimals;
  }
  return decimals;
}

}  // namespace

NullHistogram NullDistributionBars(const std::vector<double>& values, double observed) {
  NullHistogram out;
  std::vector<double> sorted;
  for (const double v : values) {
    if (std::isfinite(v)) sorted.push_back(v);
  }
  std::sort(sorted.begin(), sorted.end());
  // Values that differ only by rounding in the index's arithmetic are one
  // value of the lattice.
  std::vector<std::pair<double, std::int64_t>> distinct;
  for (const double v : sorted) {
    if (!distinct.empty() && std::fabs(v - distinct.back().first) <= 1e-9 * std::max(1.0, std::fabs(v))) {
      ++distinct.back().second;
    } else {
      distinct.emplace_back(v, 1);
    }
  }
  const bool integers = std::all_of(distinct.begin(), distinct.end(),
                                    [](const auto& d) { return std::fabs(d.first - std::round(d.first)) < 1e-9; });
  const double spread = distinct.empty() ? 0.0 : distinct.back().first - distinct.front().first;
  constexpr std::size_t fewValues = 60;
  out.Discrete = !distinct.empty() && (distinct.size() <= fewValues || (integers && spread <= fewValues));
  if (out.Discrete) {
    // One bar per value, as wide as most of the lattice's step so that the
    // gaps between values the index cannot take show.
    double step = integers ? 1.0 : 0.0;
    for (std::size_t k = 1; k < distinct.size(); ++k) {
      const double gap = distinct[k].first - distinct[k - 1].first;
      if (!integers && (step == 0.0 || gap < step)) step = gap;
    }
    if (step == 0.0) step = RoundStep(std::max(1e-9, std::fabs(distinct.front().first)), 10);
    for (const auto& [value, count] : distinct) {
      out.Bars.push_back({value - 0.4 * step, value + 0.4 * step, value, count});
    }
    out.Low = distinct.front().first - step / 2.0;
    out.High = distinct.back().first + step / 2.0;
    out.Step = step;
  } else if (!distinct.empty()) {
    // Bins of a round width with edges on its multiples.
    const double width = RoundStep(spread, 30);
    const double first = std::floor(distinct.front().first / width) * width;
    const auto bins = static_cast<std::size_t>(std::floor((distinct.back().first - first) / width)) + 1;
    std::vector<std::int64_t> counts(bins, 0);
    for (const auto& [value, count] : distinct) {
      const auto bin = std::min(bins - 1, static_cast<std::size_t>(std::max(0.0, std::floor((value - first) / width))));
      counts[bin] += count;
    }
    for (std::size_t b = 0; b < bins; ++b) {
      const double from = first + width * static_cast<double>(b);
      out.Bars.push_back({from, from + width, from + width / 2.0, counts[b]});
    }
    out.Low = first;
    out.High = first + width * static_cast<double>(bins);
    out.Step = width;
  } else {
    out.Low = observed - 0.5;
    out.High = observed + 0.5;
    out.Step = 1.0;
  }
  // The observed value is always inside the picture, a step's half beyond
  // its line at least when it lies outside the null values.
  if (std::isfinite(observed)) {
    out.Low = std::min(out.Low, observed - out.Step / 2.0);
    out.High = std::max(out.High, observed + out.Step / 2.0);
  }
  return out;
}

chart::Chart NullDistributionChart(const NullDistributionPicture& picture) {
  // The layout: the histogram's edges in the picture and the legend below.
  // The title wraps to the picture, over at most three lines; each line
  // further moves everything below it down.
  constexpr int width = 800;
  constexpr double titleSize = 15;
  constexpr double titleRow = 19;
  const std::string title = "Null distribution: " + picture.Title;
  const std::vector<std::string> titleLines = chart::WrapTitle(title, width - 40, titleSize);
  const double below = titleRow * static_cast<double>(titleLines.size() - 1);
  const int height = 480 + static_cast<int>(below);
  constexpr double left = 70;
  constexpr double right = width - 24;
  const double top = 60 + below;
  const double bottom = height - 110;
  constexpr double titleY = 28;
  const double valueCaptionsY = bottom + 16;
  const double axisCaptionY = bottom + 34;
  constexpr double countCaptionX = 20;
  // The legend in two columns and two rows.
  const double legendY = bottom + 60;
  constexpr double legendRow = 20;
  constexpr std::array<double, 2> legendColumn = {left, left + 300};
  constexpr chart::Colour barFill = Rgb(0x9ecae1);
  constexpr chart::Colour barOutline = Rgb(0x3182bd);
  const chart::Pen observedPen{NullColour, 2.5, {}};

  const NullHistogram histogram = NullDistributionBars(picture.Values, picture.Observed);
  double low = histogram.Low;
  double high = histogram.High;
  // Value ticks on multiples of a round step (whole steps for an index of
  // whole numbers); a narrow axis widens to show a tick either side.
  double tickStep = RoundStep(high - low, 6);
  if (histogram.Discrete && histogram.Step == 1.0) tickStep = std::max(1.0, tickStep);
  if (std::floor(high / tickStep + 1e-9) - std::ceil(low / tickStep - 1e-9) < 1.0) {
    low = std::min(low, (std::ceil(low / tickStep - 1e-9) - 1.0) * tickStep - tickStep / 2.0);
    high = std::max(high, (std::floor(high / tickStep + 1e-9) + 1.0) * tickStep + tickStep / 2.0);
  }
  std::int64_t tallest = 1;
  for (const NullHistogramBar& bar : histogram.Bars) tallest = std::max(tallest, bar.Count);
  // Whole numbers of matrices on the count axis, up to a round top.
  const auto countStep = static_cast<std::int64_t>(std::max(1.0, RoundStep(static_cast<double>(tallest), 5)));
  const std::int64_t countTop = (tallest + countStep - 1) / countStep * countStep;
  const auto xOf = [&](double v) { return left + (v - low) / (high - low) * (right - left); };
  const auto yOf = [&](double count) { return bottom - count / static_cast<double>(countTop) * (bottom - top); };

  chart::Chart out{width, height, title, {}};
  auto& items = out.Items;
  for (std::size_t k = 0; k < titleLines.size(); ++k) {
    items.emplace_back(Heading(width / 2.0, titleY + titleRow * static_cast<double>(k), titleLines[k], titleSize));
  }
  const int valueDecimals = std::min(DecimalsOf(histogram.Step), 4);
  for (const NullHistogramBar& bar : histogram.Bars) {
    const double x0 = xOf(bar.From);
    const double x1 = xOf(bar.To);
    const double y = yOf(static_cast<double>(bar.Count));
    chart::Tag tag{"bar", {{"count", std::to_string(bar.Count)}}, {}};
    if (histogram.Discrete) {
      tag.Data.emplace_back("value", svg::Num(bar.Value, 6));
      tag.Tip = svg::Num(bar.Value, valueDecimals) + ": " + std::to_string(bar.Count);
    } else {
      tag.Data.emplace_back("from", svg::Num(bar.From, 6));
      tag.Data.emplace_back("to", svg::Num(bar.To, 6));
      tag.Tip = "[" + svg::Num(bar.From, valueDecimals) + ", " + svg::Num(bar.To, valueDecimals) +
                "): " + std::to_string(bar.Count);
    }
    // Adjacent bins keep a pixel between them; a lattice's bars have gaps.
    const double barWidth = histogram.Discrete ? x1 - x0 : x1 - x0 - 1.0;
    items.emplace_back(chart::Box{{x0, y}, std::max(1.0, barWidth), bottom - y, barFill, barOutline, 0.5, tag});
  }
  items.emplace_back(Rule(left, bottom, right, bottom, AxisPen));
  items.emplace_back(Rule(left, top, left, bottom, AxisPen));
  const int tickDecimals = DecimalsOf(tickStep);
  for (double k = std::ceil(low / tickStep - 1e-9); k * tickStep <= high + 1e-9 * tickStep; k += 1.0) {
    const double value = k * tickStep;
    const double x = xOf(value);
    items.emplace_back(Rule(x, bottom, x, bottom + 4, AxisPen, chart::Role("value-tick")));
    items.emplace_back(
        Label(x, valueCaptionsY, svg::Num(k == 0 ? 0.0 : value, tickDecimals), 11, Anchor::Middle, "tick value"));
  }
  for (std::int64_t count = 0; count <= countTop; count += countStep) {
    const double y = yOf(static_cast<double>(count));
    items.emplace_back(Label(left - 6, y + 4, std::to_string(count), 11, Anchor::End, "tick count"));
  }
  items.emplace_back(Label((left + right) / 2.0, axisCaptionY, picture.IndexName + " of the null matrices", 12,
                           Anchor::Middle, "axis-label"));
  items.emplace_back(AxisCaption({countCaptionX, 0}, (top + bottom) / 2.0, "Null matrices"));
  const double xObserved = xOf(picture.Observed);
  items.emplace_back(Rule(xObserved, top - 6, xObserved, bottom, observedPen,
                          {"observed", {{"value", svg::Num(picture.Observed, 6)}}, {}}));

  items.emplace_back(chart::GroupStart{12, chart::Role("legend")});
  items.emplace_back(chart::Box{{legendColumn[0], legendY - 10}, {12, 0}, {10, 0}, barFill, barOutline, {}, {}});
  items.emplace_back(Label(legendColumn[0] + 18, legendY,
                           GroupedNumber(static_cast<std::int64_t>(picture.Values.size())) + " null matrices", 12));
  items.emplace_back(Rule(legendColumn[0] + 200, legendY - 11, legendColumn[0] + 200, legendY + 1, observedPen));
  items.emplace_back(Label(legendColumn[0] + 208, legendY, "observed index = " + svg::Num(picture.Observed, 3), 12));
  items.emplace_back(Label(legendColumn[0], legendY + legendRow, "p(observed <= expected) = " + picture.PLower, 12,
                           Anchor::Start, "p-lower"));
  items.emplace_back(Label(legendColumn[1], legendY + legendRow, "p(observed >= expected) = " + picture.PUpper, 12,
                           Anchor::Start, "p-upper"));
  items.emplace_back(chart::GroupEnd{});
  return out;
}

std::string NullDistributionSvg(const NullDistributionPicture& picture) {
  return svg::Document(NullDistributionChart(picture));
}

}  // namespace tessil
