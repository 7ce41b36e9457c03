// The summary picture of a sweep as drawing primitives.
#include "SweepChart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "ChartLook.h"
#include "ChartText.h"
#include "NumberText.h"
#include "OutputResults_Procedures.h"
#include "SvgDrawing.h"

namespace tessil {

namespace {

using chart::Anchor;
using chart::AxisPen;
using chart::GridPen;
using chart::NominalPen;
using chart::NullColour;
using chart::PowerColour;
using chart::Rgb;
using chart::WarningPen;
using svg::Num;

// The argument's rates in pale tints of the series' colours.
constexpr chart::Colour PaleNullColour = Rgb(0xf0b998);
constexpr chart::Colour PalePowerColour = Rgb(0x9cc3e0);

using chart::Label;

chart::Line Rule(double x1, double y1, double x2, double y2, chart::Pen pen, chart::Tag tag = {}) {
  return {{x1, y1}, {x2, y2}, std::move(pen), std::move(tag)};
}

struct MatrixSize {
  std::int32_t Rows = 0;
  std::int32_t Cols = 0;
  [[nodiscard]] std::string Caption() const { return std::to_string(Rows) + " x " + std::to_string(Cols); }
  bool operator==(const MatrixSize& other) const { return Rows == other.Rows && Cols == other.Cols; }
};

// Sizes by rows, then columns: a sweep of rows at each column count reads
// along the axis as it was planned, without the zig-zag an order by cells
// gives when both vary.
bool SmallerMatrix(const MatrixSize& a, const MatrixSize& b) {
  if (a.Rows != b.Rows) return a.Rows < b.Rows;
  return a.Cols < b.Cols;
}

// Roughly how wide a line of 11-point DejaVu Sans is, per character.
constexpr double CharWidth = 6.0;

enum class Series { ActualSize, LeastPower, GreatestPower };

struct SeriesLook {
  std::string_view Class;    // the marks' and the line's class after "mark " or "line "
  std::string_view Caption;  // how a tooltip and the key name the rate
  chart::Colour Ink;
  chart::Shape Form;
  bool Open = false;
  std::vector<double> Dashes;  // empty for a solid line
};

SeriesLook LookOf(Series series) {
  switch (series) {
    case Series::ActualSize:
      return {"actual-size", "actual size", NullColour, chart::Shape::Circle, false, {}};
    case Series::LeastPower:
      return {"least-power", "least power", PowerColour, chart::Shape::Square, false, {}};
    default:
      return {"greatest-power", "greatest power", PowerColour, chart::Shape::TriangleUp, true, {5, 3}};
  }
}

chart::Mark SeriesMark(const SeriesLook& look, double x, double y, std::string role, chart::Tag tag = {}) {
  chart::Mark mark;
  mark.Centre = {x, y};
  mark.Form = look.Form;
  mark.Fill = look.Open ? chart::White : look.Ink;
  mark.Outline = chart::Pen{look.Open ? look.Ink : chart::White, look.Open ? 1.5 : 0.8, {}};
  mark.Translated = true;
  mark.Is = std::move(tag);
  mark.Is.Role = std::move(role);
  return mark;
}

std::optional<double> ValueOf(const SweepChartStudy& study, Series series) {
  const std::optional<double>& value = series == Series::ActualSize   ? study.ActualSize
                                       : series == Series::LeastPower ? study.MinPower
                                                                      : study.MaxPower;
  // A rate that is not a number has nowhere to go on the axis.
  if (value && !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<SweepInterval> IntervalOf(const SweepChartStudy& study, Series series) {
  const std::optional<SweepInterval>& interval = series == Series::ActualSize   ? study.ActualSizeInterval
                                                 : series == Series::LeastPower ? study.MinPowerInterval
                                                                                : study.MaxPowerInterval;
  if (interval && (!std::isfinite(interval->Lower) || !std::isfinite(interval->Upper))) return std::nullopt;
  return interval;
}

}  // namespace

chart::Chart SweepChart(const std::vector<SweepChartStudy>& studies, const std::string& title) {
  constexpr int width = 1000;
  // The title wraps to the picture over at most three lines, and what lies
  // below it moves down by the lines it takes beyond the first.
  constexpr double titleRow = 20;
  const std::vector<std::string> titleLines = chart::WrapTitle(title, width - 40, 16);
  const auto drawTitle = [&titleLines](std::vector<chart::Primitive>& items) {
    for (std::size_t k = 0; k < titleLines.size(); ++k) {
      chart::Text heading = Label(width / 2.0, 30 + titleRow * static_cast<double>(k), titleLines[k], 16,
                                  Anchor::Middle, chart::TitleRole);
      heading.Bold = true;
      items.emplace_back(std::move(heading));
    }
  };
  double below = titleRow * static_cast<double>(titleLines.size() - 1);
  if (studies.empty()) {
    chart::Chart empty{width, 160 + static_cast<int>(below), title, {}};
    drawTitle(empty.Items);
    empty.Items.emplace_back(Label(width / 2.0, 90 + below, "Nothing to draw: the sweep has no finished studies.", 14,
                                   Anchor::Middle, "empty"));
    return empty;
  }

  // Settings in order of first appearance; sizes by rows, then columns.
  std::vector<std::string> settings;
  std::unordered_map<std::string, std::size_t> settingOf;
  std::vector<MatrixSize> sizes;
  for (const SweepChartStudy& study : studies) {
    if (settingOf.emplace(study.Setting, settings.size()).second) settings.push_back(study.Setting);
    sizes.push_back({study.Rows, study.Cols});
  }
  std::sort(sizes.begin(), sizes.end(), SmallerMatrix);
  sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
  const auto sizeIndex = [&](const SweepChartStudy& study) {
    return static_cast<std::size_t>(
        std::lower_bound(sizes.begin(), sizes.end(), MatrixSize{study.Rows, study.Cols}, SmallerMatrix) -
        sizes.begin());
  };

  // The layout: the title, its caption and the key, then the panels in up
  // to three columns, each with its setting above and its sizes below.
  const std::size_t columns = std::min<std::size_t>(3, settings.size());
  const std::size_t panelRows = (settings.size() + columns - 1) / columns;
  constexpr double marginLeft = 64;
  constexpr double marginRight = 20;
  constexpr double gap = 56;
  const double panelWidth =
      (width - marginLeft - marginRight - gap * static_cast<double>(columns - 1)) / static_cast<double>(columns);
  constexpr double panelHeight = 200;
  const std::string subtitle = std::to_string(studies.size()) + (studies.size() == 1 ? " study" : " studies") + " of " +
                               std::to_string(settings.size()) +
                               (settings.size() == 1 ? " test setting" : " test settings") + " at " +
                               std::to_string(sizes.size()) + (sizes.size() == 1 ? " matrix size" : " matrix sizes") +
                               "; each point with its exact 95 % interval (Clopper-Pearson)";
  const double subtitleY = 50 + below;
  const std::vector<std::string> subtitleLines = chart::WrapText(subtitle, width - 40, 12);
  below += 16 * static_cast<double>(subtitleLines.size() - 1);
  const double firstTop = 124 + below;
  const double slot = panelWidth / static_cast<double>(sizes.size());
  std::size_t longestSize = 0;
  for (const MatrixSize& size : sizes) longestSize = std::max(longestSize, size.Caption().size());
  // Size captions turn when they would run into each other.
  const bool turnSizes = static_cast<double>(longestSize) * CharWidth + 8.0 > slot;
  const double sizeCaptionsHeight = turnSizes ? static_cast<double>(longestSize) * CharWidth * 0.71 + 16.0 : 20.0;
  const double rowHeight = 34 + panelHeight + sizeCaptionsHeight + 30;
  const int height = static_cast<int>(firstTop + rowHeight * static_cast<double>(panelRows));
  // The three series of a size sit a little apart, so that equal rates and
  // their intervals do not hide each other.
  const double dodge = std::min(6.0, slot * 0.18);

  chart::Chart picture{width, height, title, {}};
  auto& items = picture.Items;
  drawTitle(items);
  for (std::size_t k = 0; k < subtitleLines.size(); ++k) {
    items.emplace_back(Label(width / 2.0, subtitleY + 16 * static_cast<double>(k), subtitleLines[k], 12, Anchor::Middle,
                             chart::TitleRole));
  }

  // The key: the three series and the two reference lines.
  const double keyY = 80 + below;
  items.emplace_back(chart::GroupStart{12, chart::Role("legend")});
  double keyX = marginLeft;
  for (const Series series : {Series::ActualSize, Series::LeastPower, Series::GreatestPower}) {
    const SeriesLook look = LookOf(series);
    items.emplace_back(Rule(keyX, keyY - 4, keyX + 28, keyY - 4, chart::Pen{look.Ink, 1.6, look.Dashes}));
    items.emplace_back(SeriesMark(look, keyX + 14, keyY - 4, "legend-mark"));
    const std::string caption = series == Series::ActualSize ? "actual size (Type I error)" : std::string(look.Caption);
    items.emplace_back(Label(keyX + 34, keyY, caption, 12));
    keyX += 34 + static_cast<double>(caption.size()) * 6.6 + 18;
  }
  items.emplace_back(Rule(keyX, keyY - 4, keyX + 28, keyY - 4, NominalPen));
  items.emplace_back(Label(keyX + 34, keyY, "nominal size 0.05", 12));
  items.emplace_back(Rule(marginLeft + 4, keyY + 18, marginLeft + 14, keyY + 18, chart::Pen{PaleNullColour, 1.5, {}}));
  items.emplace_back(
      Rule(marginLeft + 16, keyY + 18, marginLeft + 26, keyY + 18, chart::Pen{PalePowerColour, 1.5, {}}));
  items.emplace_back(Label(marginLeft + 34, keyY + 22,
                           "the rate at each argument (scenario and interaction level), inside and outside the null "
                           "hypothesis",
                           12));
  keyX += 34 + 17 * 6.6 + 18;
  items.emplace_back(Rule(keyX, keyY - 4, keyX + 28, keyY - 4, WarningPen));
  items.emplace_back(Label(keyX + 34, keyY, "0.15: the report warns from here", 12));
  items.emplace_back(chart::GroupEnd{});

  std::vector<chart::Primitive> marks;
  for (std::size_t setting = 0; setting < settings.size(); ++setting) {
    const double left = marginLeft + (panelWidth + gap) * static_cast<double>(setting % columns);
    const double right = left + panelWidth;
    const std::size_t panelRow = setting / columns;
    const double top = firstTop + 34 + rowHeight * static_cast<double>(panelRow);
    const double bottom = top + panelHeight;
    const auto yOf = [&](double rate) { return bottom - std::clamp(rate, 0.0, 1.0) * (bottom - top); };
    const auto xOf = [&](std::size_t size, int offset) {
      return left + slot * (static_cast<double>(size) + 0.5) + dodge * offset;
    };

    items.emplace_back(chart::GroupStart{{}, {"panel", {{"setting", std::to_string(setting)}}, settings[setting]}});
    // The setting's label over at most two lines, the last just above the
    // panel; the full label stays in the panel's tooltip.
    const std::vector<std::string> labelLines = chart::WrapTitle(settings[setting], panelWidth, 12, true, 2);
    for (std::size_t k = 0; k < labelLines.size(); ++k) {
      chart::Text panelTitle =
          Label((left + right) / 2.0, top - 12 - 14 * static_cast<double>(labelLines.size() - 1 - k), labelLines[k], 12,
                Anchor::Middle, "panel-title");
      panelTitle.Bold = true;
      items.emplace_back(std::move(panelTitle));
    }
    for (int tick = 0; tick <= 10; tick += 2) {
      const double rate = tick / 10.0;
      items.emplace_back(Rule(left, yOf(rate), right, yOf(rate), GridPen, chart::Role("grid")));
      items.emplace_back(Label(left - 5, yOf(rate) + 4, Num(rate, 1), 10, Anchor::End, "tick"));
    }
    items.emplace_back(Rule(left, top, left, bottom, AxisPen));
    items.emplace_back(Rule(left, bottom, right, bottom, AxisPen));
    if (setting % columns == 0) {
      chart::Text axis = Label(left - 36, (top + bottom) / 2.0, "Rejection rate", 12, Anchor::Middle, "axis-label");
      axis.Rotation = -90;
      items.emplace_back(std::move(axis));
    }
    for (std::size_t k = 0; k < sizes.size(); ++k) {
      const double x = xOf(k, 0);
      items.emplace_back(Rule(x, bottom, x, bottom + 4, AxisPen));
      if (turnSizes) {
        chart::Text caption = Label(x + 3, bottom + 14, sizes[k].Caption(), 10, Anchor::End, "size");
        caption.Rotation = -45;
        items.emplace_back(std::move(caption));
      } else {
        items.emplace_back(Label(x, bottom + 16, sizes[k].Caption(), 10, Anchor::Middle, "size"));
      }
    }
    items.emplace_back(Label((left + right) / 2.0, bottom + sizeCaptionsHeight + 14, "Matrix size (species x sites)",
                             11, Anchor::Middle, "axis-label"));
    items.emplace_back(Rule(left, yOf(0.05), right, yOf(0.05), NominalPen, {"reference", {{"rate", "0.05"}}, {}}));
    items.emplace_back(Rule(left, yOf(ErrorRateThreshold), right, yOf(ErrorRateThreshold), WarningPen,
                            {"reference", {{"rate", "0.15"}}, {}}));

    // Every argument's rate as a pale tick, under the lines and marks.
    for (const SweepChartStudy& study : studies) {
      if (settingOf.at(study.Setting) != setting) continue;
      const std::size_t size = sizeIndex(study);
      for (const auto& [rates, ink, place, role] :
           {std::tuple{&study.InsideRates, PaleNullColour, -1.0, "argument-rate in-null"},
            std::tuple{&study.OutsideRates, PalePowerColour, 0.5, "argument-rate outside-null"}}) {
        const double x = left + slot * (static_cast<double>(size) + 0.5) + dodge * place;
        for (const double rate : *rates) {
          if (!std::isfinite(rate)) continue;
          items.emplace_back(Rule(x - 5, yOf(rate), x + 5, yOf(rate), chart::Pen{ink, 1.5, {}},
                                  {role, {{"size", sizes[size].Caption()}, {"rate", Num(rate, 4)}}, {}}));
        }
      }
    }

    // Lines first, then the intervals and the marks above every line.
    int offset = -1;
    for (const Series series : {Series::ActualSize, Series::LeastPower, Series::GreatestPower}) {
      const SeriesLook look = LookOf(series);
      std::vector<std::pair<std::size_t, const SweepChartStudy*>> points;
      for (const SweepChartStudy& study : studies) {
        if (settingOf.at(study.Setting) == setting && ValueOf(study, series))
          points.emplace_back(sizeIndex(study), &study);
      }
      std::stable_sort(points.begin(), points.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
      chart::Polyline path;
      for (const auto& [size, study] : points) {
        const double x = xOf(size, offset);
        const double rate = *ValueOf(*study, series);
        path.Points.push_back({x, yOf(rate)});
        std::string tip = settings[setting] + "; " + sizes[size].Caption() + ": " + std::string(look.Caption) + " " +
                          FormatRate(rate);
        chart::Tag tag{
            {}, {{"setting", std::to_string(setting)}, {"size", sizes[size].Caption()}, {"rate", Num(rate, 4)}}, {}};
        if (const std::optional<SweepInterval> interval = IntervalOf(*study, series)) {
          tip += " (95 % interval " + FormatRate(interval->Lower) + " to " + FormatRate(interval->Upper) + ")";
          tag.Data.emplace_back("lower", Num(interval->Lower, 4));
          tag.Data.emplace_back("upper", Num(interval->Upper, 4));
          const chart::Pen whisker{look.Ink, 1.2, {}};
          const double low = yOf(interval->Lower);
          const double high = yOf(interval->Upper);
          marks.emplace_back(Rule(x, low, x, high, whisker, {"interval " + std::string(look.Class), tag.Data, tip}));
          marks.emplace_back(Rule(x - 3, low, x + 3, low, whisker));
          marks.emplace_back(Rule(x - 3, high, x + 3, high, whisker));
        }
        tag.Tip = tip;
        marks.emplace_back(SeriesMark(look, x, yOf(rate), "mark " + std::string(look.Class), std::move(tag)));
      }
      if (!path.Points.empty()) {
        path.Stroke = {look.Ink, 1.6, look.Dashes};
        path.Is = {"line " + std::string(look.Class),
                   {{"setting", std::to_string(setting)}},
                   settings[setting] + ": " + std::string(look.Caption)};
        items.emplace_back(std::move(path));
      }
      ++offset;
    }
    items.insert(items.end(), marks.begin(), marks.end());
    marks.clear();
    items.emplace_back(chart::GroupEnd{});
  }
  return picture;
}

std::string SweepChartSvg(const std::vector<SweepChartStudy>& studies, const std::string& title) {
  return svg::Document(SweepChart(studies, title));
}

}  // namespace tessil
