// The summary picture of a sweep as drawing primitives.
#include "SweepChart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "NumberText.h"
#include "OutputResults_Procedures.h"
#include "SvgDrawing.h"

namespace tessil {

namespace {

using chart::Anchor;
using chart::Rgb;
using svg::Num;

// Okabe and Ito's palette without its yellow, which fades into white: colours
// that stay apart for readers with the commonest colour-vision deficiencies.
constexpr std::array<chart::Colour, 7> Colours = {Rgb(0x0072b2), Rgb(0xd55e00), Rgb(0x009e73), Rgb(0xcc79a7),
                                                  Rgb(0xe69f00), Rgb(0x56b4e9), Rgb(0x000000)};
// Seven colours and five shapes share no factor, so the first 35 settings
// each have a pair of their own.
constexpr std::array<chart::Shape, 5> Shapes = {chart::Shape::Circle, chart::Shape::Square, chart::Shape::TriangleUp,
                                                chart::Shape::Diamond, chart::Shape::TriangleDown};
constexpr chart::Colour AxisColour = Rgb(0x333333);
constexpr chart::Colour KeyColour = Rgb(0x555555);
const chart::Pen AxisPen{AxisColour, 1, {}};
// The nominal size, and the rate from which the report warns of high Type I
// error rates.
const chart::Pen NominalPen{Rgb(0x444444), 1.2, {6, 4}};
const chart::Pen WarningPen{Rgb(0xb00020), 1.2, {2, 3}};

chart::Colour ColourOf(std::size_t setting) { return Colours[setting % Colours.size()]; }

chart::Text Label(double x, double y, std::string content, double size, Anchor align = Anchor::Start,
                  std::string role = {}) {
  chart::Text text;
  text.At = {x, y};
  text.Content = std::move(content);
  text.Size = size;
  text.Align = align;
  text.Is.Role = std::move(role);
  return text;
}

chart::Line Rule(double x1, double y1, double x2, double y2, chart::Pen pen, chart::Tag tag = {}) {
  return {{x1, y1}, {x2, y2}, std::move(pen), std::move(tag)};
}

// Filled marks for the actual size and the least power, open ones for the
// greatest power, so that a setting's two power lines differ in print too.
chart::Mark Mark(std::string role, std::size_t setting, double x, double y, bool open, std::string tip,
                 std::vector<std::pair<std::string, std::string>> data = {}) {
  chart::Mark mark;
  mark.Centre = {x, y};
  mark.Form = Shapes[setting % Shapes.size()];
  mark.Fill = open ? chart::White : ColourOf(setting);
  mark.Outline = chart::Pen{open ? ColourOf(setting) : chart::White, open ? 1.5 : 0.8, {}};
  mark.Translated = true;
  mark.Is.Role = std::move(role);
  mark.Is.Data = {{"setting", std::to_string(setting)}};
  mark.Is.Data.insert(mark.Is.Data.end(), data.begin(), data.end());
  mark.Is.Tip = std::move(tip);
  return mark;
}

struct MatrixSize {
  std::int32_t Rows = 0;
  std::int32_t Cols = 0;
  [[nodiscard]] std::int64_t Cells() const { return static_cast<std::int64_t>(Rows) * Cols; }
  [[nodiscard]] std::string Caption() const { return std::to_string(Rows) + " x " + std::to_string(Cols); }
  bool operator==(const MatrixSize& other) const { return Rows == other.Rows && Cols == other.Cols; }
};

bool SmallerMatrix(const MatrixSize& a, const MatrixSize& b) {
  if (a.Cells() != b.Cells()) return a.Cells() < b.Cells();
  if (a.Rows != b.Rows) return a.Rows < b.Rows;
  return a.Cols < b.Cols;
}

// A label cut to about `chars` characters with an ellipsis, never inside a
// UTF-8 sequence; the full label stays in the entry's tooltip.
std::string Shortened(const std::string& label, std::size_t chars) {
  if (label.size() <= chars) return label;
  std::size_t cut = chars > 1 ? chars - 1 : 0;
  while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0U) == 0x80U) --cut;
  return label.substr(0, cut) + "\xE2\x80\xA6";
}

// Roughly how wide a line of 11-point DejaVu Sans is, per character.
constexpr double CharWidth = 6.0;

enum class Series { ActualSize, LeastPower, GreatestPower };

struct SeriesLook {
  std::string_view Class;    // the marks' and the line's class after "mark " or "line "
  std::string_view Caption;  // how a tooltip names the rate
  bool Open = false;
  std::vector<double> Dashes;  // empty for a solid line
};

SeriesLook LookOf(Series series) {
  switch (series) {
    case Series::ActualSize:
      return {"actual-size", "actual size", false, {}};
    case Series::LeastPower:
      return {"least-power", "least power", false, {}};
    default:
      return {"greatest-power", "greatest power", true, {5, 3}};
  }
}

std::optional<double> ValueOf(const SweepChartStudy& study, Series series) {
  const std::optional<double>& value = series == Series::ActualSize   ? study.ActualSize
                                       : series == Series::LeastPower ? study.MinPower
                                                                      : study.MaxPower;
  // A rate that is not a number has nowhere to go on the axis.
  if (value && !std::isfinite(*value)) return std::nullopt;
  return value;
}

}  // namespace

chart::Chart SweepChart(const std::vector<SweepChartStudy>& studies, const std::string& title) {
  // The layout: two panels side by side over the same sizes, then the size
  // captions, the key to the lines and the settings' legend below them.
  constexpr int width = 1000;
  constexpr double panelWidth = 410;
  constexpr std::array<double, 2> panelLeft = {70, 70 + panelWidth + 94};
  constexpr double top = 92;
  constexpr double bottom = top + 330;

  if (studies.empty()) {
    chart::Chart empty{width, 160, title, {}};
    chart::Text heading = Label(width / 2.0, 30, title, 16, Anchor::Middle, chart::TitleRole);
    heading.Bold = true;
    empty.Items.emplace_back(std::move(heading));
    empty.Items.emplace_back(
        Label(width / 2.0, 90, "Nothing to draw: the sweep has no finished studies.", 14, Anchor::Middle, "empty"));
    return empty;
  }

  // Settings in order of first appearance; sizes by cells, then rows.
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

  // One place per size; a setting's marks sit a little apart from the
  // others' so that equal rates do not hide each other.
  const double slot = panelWidth / static_cast<double>(sizes.size());
  const double settingCount = static_cast<double>(settings.size());
  const double dodge = settings.size() > 1 ? std::min(4.0, slot * 0.4 / (settingCount - 1.0)) : 0.0;
  const auto xOf = [&](std::size_t panel, std::size_t size, std::size_t setting) {
    return panelLeft[panel] + slot * (static_cast<double>(size) + 0.5) +
           dodge * (static_cast<double>(setting) - (settingCount - 1.0) / 2.0);
  };
  const auto yOf = [&](double rate) { return bottom - std::clamp(rate, 0.0, 1.0) * (bottom - top); };

  // Size captions turn when they would run into each other.
  std::size_t longestSize = 0;
  for (const MatrixSize& size : sizes) longestSize = std::max(longestSize, size.Caption().size());
  const bool turnSizes = static_cast<double>(longestSize) * CharWidth + 8.0 > slot;
  const double sizeCaptionsHeight = turnSizes ? static_cast<double>(longestSize) * CharWidth * 0.71 + 16.0 : 20.0;

  // The legend: a key to the lines, then one entry per setting, in as many
  // columns as the longest label allows.
  std::size_t longestLabel = 0;
  for (const std::string& label : settings) longestLabel = std::max(longestLabel, label.size());
  const double legendLeft = panelLeft[0];
  const double legendWidth = panelLeft[1] + panelWidth - legendLeft;
  const double entryWidth = std::max(220.0, static_cast<double>(longestLabel) * CharWidth + 44.0);
  const std::size_t columns = std::clamp<std::size_t>(static_cast<std::size_t>(legendWidth / entryWidth), 1, 3);
  const std::size_t perColumn = (settings.size() + columns - 1) / columns;
  const double columnWidth = legendWidth / static_cast<double>(columns);
  const auto labelChars = static_cast<std::size_t>((columnWidth - 44.0) / CharWidth);
  const double keyY = bottom + sizeCaptionsHeight + 42;
  const double entriesY = keyY + 30;
  constexpr double entryHeight = 18;
  const int height = static_cast<int>(entriesY + static_cast<double>(perColumn) * entryHeight + 16);

  chart::Chart picture{width, height, title, {}};
  auto& items = picture.Items;
  chart::Text heading = Label(width / 2.0, 30, title, 16, Anchor::Middle, chart::TitleRole);
  heading.Bold = true;
  items.emplace_back(std::move(heading));
  items.emplace_back(Label(width / 2.0, 50,
                           std::to_string(studies.size()) + (studies.size() == 1 ? " study" : " studies") + " of " +
                               std::to_string(settings.size()) +
                               (settings.size() == 1 ? " test setting" : " test settings") + " at " +
                               std::to_string(sizes.size()) + (sizes.size() == 1 ? " matrix size" : " matrix sizes") +
                               "; every study is one mark",
                           12, Anchor::Middle, chart::TitleRole));

  constexpr std::array<std::string_view, 2> panelTitles = {"Actual size (Type I error)", "Power"};
  for (std::size_t panel = 0; panel < 2; ++panel) {
    const double left = panelLeft[panel];
    const double right = left + panelWidth;
    chart::Text panelTitle =
        Label((left + right) / 2.0, top - 12, std::string(panelTitles[panel]), 14, Anchor::Middle, "panel-title");
    panelTitle.Bold = true;
    items.emplace_back(std::move(panelTitle));
    for (int tick = 0; tick <= 10; ++tick) {
      const double rate = tick / 10.0;
      items.emplace_back(
          Rule(left, yOf(rate), right, yOf(rate), chart::Pen{Rgb(0xdddddd), 1, {}}, chart::Role("grid")));
      if (tick % 2 == 0) items.emplace_back(Label(left - 6, yOf(rate) + 4, Num(rate, 1), 11, Anchor::End, "tick"));
    }
    items.emplace_back(Rule(left, top, left, bottom, AxisPen));
    items.emplace_back(Rule(left, bottom, right, bottom, AxisPen));
    chart::Text axis = Label(left - 44, (top + bottom) / 2.0, panel == 0 ? "Type I error rate" : "Power", 12,
                             Anchor::Middle, "axis-label");
    axis.Rotation = -90;
    items.emplace_back(std::move(axis));
    for (std::size_t k = 0; k < sizes.size(); ++k) {
      const double x = panelLeft[panel] + slot * (static_cast<double>(k) + 0.5);
      items.emplace_back(Rule(x, bottom, x, bottom + 4, AxisPen));
      if (turnSizes) {
        chart::Text caption = Label(x + 3, bottom + 14, sizes[k].Caption(), 11, Anchor::End, "size");
        caption.Rotation = -45;
        items.emplace_back(std::move(caption));
      } else {
        items.emplace_back(Label(x, bottom + 17, sizes[k].Caption(), 11, Anchor::Middle, "size"));
      }
    }
    items.emplace_back(Label((left + right) / 2.0, bottom + sizeCaptionsHeight + 16, "Matrix size (species x sites)",
                             12, Anchor::Middle, "axis-label"));
  }

  const double sizeRight = panelLeft[0] + panelWidth;
  items.emplace_back(
      Rule(panelLeft[0], yOf(0.05), sizeRight, yOf(0.05), NominalPen, {"reference", {{"rate", "0.05"}}, {}}));
  items.emplace_back(Rule(panelLeft[0], yOf(ErrorRateThreshold), sizeRight, yOf(ErrorRateThreshold), WarningPen,
                          {"reference", {{"rate", "0.15"}}, {}}));

  // Lines first, then every mark above every line.
  constexpr std::array<Series, 3> allSeries = {Series::ActualSize, Series::LeastPower, Series::GreatestPower};
  std::vector<chart::Primitive> marks;
  for (const Series series : allSeries) {
    const SeriesLook look = LookOf(series);
    const std::size_t panel = series == Series::ActualSize ? 0 : 1;
    // Each setting's studies by size; studies of one size keep their order.
    std::vector<std::vector<std::pair<std::size_t, const SweepChartStudy*>>> points(settings.size());
    for (const SweepChartStudy& study : studies) {
      if (ValueOf(study, series)) points[settingOf.at(study.Setting)].emplace_back(sizeIndex(study), &study);
    }
    for (std::size_t setting = 0; setting < settings.size(); ++setting) {
      auto& line = points[setting];
      if (line.empty()) continue;
      std::stable_sort(line.begin(), line.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
      chart::Polyline path;
      for (const auto& [size, study] : line) {
        const double x = xOf(panel, size, setting);
        const double rate = *ValueOf(*study, series);
        const double y = yOf(rate);
        path.Points.push_back({x, y});
        marks.emplace_back(Mark("mark " + std::string(look.Class), setting, x, y, look.Open,
                                settings[setting] + "; " + sizes[size].Caption() + ": " + std::string(look.Caption) +
                                    " " + FormatRate(rate),
                                {{"size", sizes[size].Caption()}, {"rate", Num(rate, 4)}}));
      }
      path.Stroke = {ColourOf(setting), 1.6, look.Dashes};
      path.Is = {"line " + std::string(look.Class),
                 {{"setting", std::to_string(setting)}},
                 settings[setting] + ": " + std::string(look.Caption)};
      items.emplace_back(std::move(path));
    }
  }
  items.insert(items.end(), marks.begin(), marks.end());

  // The key to the lines.
  items.emplace_back(chart::GroupStart{12, chart::Role("legend")});
  // A grey sample of each power line: solid with a filled mark, dashed with an open one.
  const auto keySample = [&](double x, bool greatest, std::string caption) {
    items.emplace_back(Rule(x, keyY - 4, x + 28, keyY - 4,
                            chart::Pen{KeyColour, 1.6, greatest ? std::vector<double>{5, 3} : std::vector<double>{}}));
    chart::Mark sample;
    sample.Centre = {x + 14, keyY - 4};
    sample.Fill = greatest ? chart::White : KeyColour;
    if (greatest) sample.Outline = chart::Pen{KeyColour, 1.5, {}};
    items.emplace_back(std::move(sample));
    items.emplace_back(Label(x + 34, keyY, std::move(caption), 12));
  };
  keySample(legendLeft, false, "least power (and actual size)");
  keySample(legendLeft + 230, true, "greatest power");
  items.emplace_back(Rule(legendLeft + 380, keyY - 4, legendLeft + 408, keyY - 4, NominalPen));
  items.emplace_back(Label(legendLeft + 414, keyY, "nominal size 0.05", 12));
  items.emplace_back(Rule(legendLeft + 550, keyY - 4, legendLeft + 578, keyY - 4, WarningPen));
  items.emplace_back(Label(legendLeft + 584, keyY, "0.15: the report warns from here", 12));

  // One entry per setting, down the columns.
  for (std::size_t setting = 0; setting < settings.size(); ++setting) {
    const std::size_t column = setting / perColumn;
    const double x = legendLeft + columnWidth * static_cast<double>(column);
    const double y = entriesY + entryHeight * static_cast<double>(setting % perColumn);
    items.emplace_back(
        chart::GroupStart{{}, {"legend-entry", {{"setting", std::to_string(setting)}}, settings[setting]}});
    items.emplace_back(Rule(x, y - 4, x + 28, y - 4, chart::Pen{ColourOf(setting), 1.6, {}}));
    items.emplace_back(Mark("legend-mark", setting, x + 14, y - 4, false, {}));
    items.emplace_back(Label(x + 36, y, Shortened(settings[setting], labelChars), 11));
    items.emplace_back(chart::GroupEnd{});
  }
  items.emplace_back(chart::GroupEnd{});
  return picture;
}

std::string SweepChartSvg(const std::vector<SweepChartStudy>& studies, const std::string& title) {
  return svg::Document(SweepChart(studies, title));
}

}  // namespace tessil
