// The summary picture of a sweep as SVG text.
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

using svg::Escaped;
using svg::Line;
using svg::Num;
using svg::Open;
using svg::Text;

// Okabe and Ito's palette without its yellow, which fades into white: colours
// that stay apart for readers with the commonest colour-vision deficiencies.
constexpr std::array<std::string_view, 7> Colours = {"#0072b2", "#d55e00", "#009e73", "#cc79a7",
                                                     "#e69f00", "#56b4e9", "#000000"};
// Seven colours and five shapes share no factor, so the first 35 settings
// each have a pair of their own.
constexpr int ShapeCount = 5;

std::string_view ColourOf(std::size_t setting) { return Colours[setting % Colours.size()]; }

// A mark's outline around the origin; the group around it places and colours it.
std::string_view Shape(std::size_t setting) {
  switch (setting % ShapeCount) {
    case 0:
      return "<circle r=\"4.5\"/>";
    case 1:
      return "<rect x=\"-4\" y=\"-4\" width=\"8\" height=\"8\"/>";
    case 2:
      return "<polygon points=\"0,-5.5 5,3.5 -5,3.5\"/>";
    case 3:
      return "<polygon points=\"0,-5.5 5,0 0,5.5 -5,0\"/>";
    default:
      return "<polygon points=\"0,5.5 5,-3.5 -5,-3.5\"/>";
  }
}

// Filled marks for the actual size and the least power, open ones for the
// greatest power, so that a setting's two power lines differ in print too.
std::string Mark(std::string_view cls, std::size_t setting, double x, double y, bool open, std::string_view tip,
                 std::string_view data = {}) {
  const std::string colour(ColourOf(setting));
  std::string out = "<g class=\"" + std::string(cls) + "\" data-setting=\"" + std::to_string(setting) + "\"";
  if (!data.empty()) {
    out += ' ';
    out += data;
  }
  out += " transform=\"translate(" + Num(x) + " " + Num(y) + ")\" fill=\"" + (open ? "#ffffff" : colour) +
         "\" stroke=\"" + (open ? colour : "#ffffff") + "\" stroke-width=\"" + (open ? "1.5" : "0.8") + "\">" +
         std::string(Shape(setting));
  if (!tip.empty()) out += "<title>" + Escaped(tip) + "</title>";
  return out + "</g>\n";
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
  std::string_view Dashes;  // empty for a solid line
};

SeriesLook LookOf(Series series) {
  switch (series) {
    case Series::ActualSize:
      return {"actual-size", "actual size", false, {}};
    case Series::LeastPower:
      return {"least-power", "least power", false, {}};
    default:
      return {"greatest-power", "greatest power", true, "5 3"};
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

std::string SweepChartSvg(const std::vector<SweepChartStudy>& studies, const std::string& title) {
  constexpr int width = 1000;
  constexpr double panelWidth = 410;
  constexpr std::array<double, 2> panelLeft = {70, 70 + panelWidth + 94};
  constexpr double top = 92;
  constexpr double bottom = top + 330;

  if (studies.empty()) {
    std::string svg = Open(width, 160, title);
    svg += Text(width / 2.0, 30, title, "class=\"title\" text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"");
    svg += Text(width / 2.0, 90, "Nothing to draw: the sweep has no finished studies.",
                "class=\"empty\" text-anchor=\"middle\" font-size=\"14\"");
    return svg + "</svg>\n";
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

  std::string svg = Open(width, height, title);
  svg += Text(width / 2.0, 30, title, "class=\"title\" text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"");
  svg += Text(width / 2.0, 50,
              std::to_string(studies.size()) + (studies.size() == 1 ? " study" : " studies") + " of " +
                  std::to_string(settings.size()) + (settings.size() == 1 ? " test setting" : " test settings") +
                  " at " + std::to_string(sizes.size()) + (sizes.size() == 1 ? " matrix size" : " matrix sizes") +
                  "; every study is one mark",
              "class=\"title\" text-anchor=\"middle\" font-size=\"12\"");

  constexpr std::array<std::string_view, 2> panelTitles = {"Actual size (Type I error)", "Power"};
  for (std::size_t panel = 0; panel < 2; ++panel) {
    const double left = panelLeft[panel];
    const double right = left + panelWidth;
    svg += Text((left + right) / 2.0, top - 12, panelTitles[panel],
                "class=\"panel-title\" text-anchor=\"middle\" font-size=\"14\" font-weight=\"bold\"");
    for (int tick = 0; tick <= 10; ++tick) {
      const double rate = tick / 10.0;
      svg += Line(left, yOf(rate), right, yOf(rate), "class=\"grid\" stroke=\"#dddddd\" stroke-width=\"1\"");
      if (tick % 2 == 0) {
        svg += Text(left - 6, yOf(rate) + 4, Num(rate, 1), "class=\"tick\" text-anchor=\"end\" font-size=\"11\"");
      }
    }
    svg += Line(left, top, left, bottom, "stroke=\"#333333\" stroke-width=\"1\"");
    svg += Line(left, bottom, right, bottom, "stroke=\"#333333\" stroke-width=\"1\"");
    const double labelX = left - 44;
    svg += "<text class=\"axis-label\" x=\"" + Num(labelX) + "\" y=\"" + Num((top + bottom) / 2.0) +
           "\" text-anchor=\"middle\" font-size=\"12\" transform=\"rotate(-90 " + Num(labelX) + " " +
           Num((top + bottom) / 2.0) + ")\">" + (panel == 0 ? "Type I error rate" : "Power") + "</text>\n";
    for (std::size_t k = 0; k < sizes.size(); ++k) {
      const double x = panelLeft[panel] + slot * (static_cast<double>(k) + 0.5);
      svg += Line(x, bottom, x, bottom + 4, "stroke=\"#333333\" stroke-width=\"1\"");
      if (turnSizes) {
        svg += "<text class=\"size\" x=\"" + Num(x + 3) + "\" y=\"" + Num(bottom + 14) +
               "\" text-anchor=\"end\" font-size=\"11\" transform=\"rotate(-45 " + Num(x + 3) + " " + Num(bottom + 14) +
               ")\">" + Escaped(sizes[k].Caption()) + "</text>\n";
      } else {
        svg += Text(x, bottom + 17, sizes[k].Caption(), "class=\"size\" text-anchor=\"middle\" font-size=\"11\"");
      }
    }
    svg += Text((left + right) / 2.0, bottom + sizeCaptionsHeight + 16, "Matrix size (species x sites)",
                "class=\"axis-label\" text-anchor=\"middle\" font-size=\"12\"");
  }

  // The nominal size, and the rate from which the report warns of high Type
  // I error rates.
  const double sizeRight = panelLeft[0] + panelWidth;
  svg += Line(panelLeft[0], yOf(0.05), sizeRight, yOf(0.05),
              "class=\"reference\" data-rate=\"0.05\" stroke=\"#444444\" stroke-width=\"1.2\" "
              "stroke-dasharray=\"6 4\"");
  svg += Line(panelLeft[0], yOf(ErrorRateThreshold), sizeRight, yOf(ErrorRateThreshold),
              "class=\"reference\" data-rate=\"0.15\" stroke=\"#b00020\" stroke-width=\"1.2\" "
              "stroke-dasharray=\"2 3\"");

  // Lines first, then every mark above every line.
  constexpr std::array<Series, 3> allSeries = {Series::ActualSize, Series::LeastPower, Series::GreatestPower};
  std::string marks;
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
      std::string coordinates;
      for (const auto& [size, study] : line) {
        const double x = xOf(panel, size, setting);
        const double rate = *ValueOf(*study, series);
        const double y = yOf(rate);
        coordinates += (coordinates.empty() ? "" : " ") + Num(x) + "," + Num(y);
        marks += Mark("mark " + std::string(look.Class), setting, x, y, look.Open,
                      settings[setting] + "; " + sizes[size].Caption() + ": " + std::string(look.Caption) + " " +
                          FormatRate(rate),
                      "data-size=\"" + sizes[size].Caption() + "\" data-rate=\"" + Num(rate, 4) + "\"");
      }
      svg += "<polyline class=\"line " + std::string(look.Class) + "\" data-setting=\"" + std::to_string(setting) +
             "\" points=\"" + coordinates + "\" fill=\"none\" stroke=\"" + std::string(ColourOf(setting)) +
             "\" stroke-width=\"1.6\" stroke-linejoin=\"round\"" +
             (look.Dashes.empty() ? std::string() : " stroke-dasharray=\"" + std::string(look.Dashes) + "\"") +
             "><title>" + Escaped(settings[setting] + ": " + std::string(look.Caption)) + "</title></polyline>\n";
    }
  }
  svg += marks;

  // The key to the lines.
  svg += "<g class=\"legend\" font-size=\"12\">\n";
  // A grey sample of each power line: solid with a filled mark, dashed with an open one.
  const auto keySample = [&](double x, bool greatest, std::string_view caption) {
    std::string out = Line(x, keyY - 4, x + 28, keyY - 4,
                           greatest ? "stroke=\"#555555\" stroke-width=\"1.6\" stroke-dasharray=\"5 3\""
                                    : "stroke=\"#555555\" stroke-width=\"1.6\"");
    out += "<circle cx=\"" + Num(x + 14) + "\" cy=\"" + Num(keyY - 4) + "\" r=\"4.5\" " +
           (greatest ? "fill=\"#ffffff\" stroke=\"#555555\" stroke-width=\"1.5\"/>\n" : "fill=\"#555555\"/>\n");
    return out + Text(x + 34, keyY, caption);
  };
  svg += keySample(legendLeft, false, "least power (and actual size)");
  svg += keySample(legendLeft + 230, true, "greatest power");
  svg += Line(legendLeft + 380, keyY - 4, legendLeft + 408, keyY - 4,
              "stroke=\"#444444\" stroke-width=\"1.2\" stroke-dasharray=\"6 4\"");
  svg += Text(legendLeft + 414, keyY, "nominal size 0.05");
  svg += Line(legendLeft + 550, keyY - 4, legendLeft + 578, keyY - 4,
              "stroke=\"#b00020\" stroke-width=\"1.2\" stroke-dasharray=\"2 3\"");
  svg += Text(legendLeft + 584, keyY, "0.15: the report warns from here");

  // One entry per setting, down the columns.
  for (std::size_t setting = 0; setting < settings.size(); ++setting) {
    const std::size_t column = setting / perColumn;
    const double x = legendLeft + columnWidth * static_cast<double>(column);
    const double y = entriesY + entryHeight * static_cast<double>(setting % perColumn);
    const std::string colour(ColourOf(setting));
    svg += "<g class=\"legend-entry\" data-setting=\"" + std::to_string(setting) + "\"><title>" +
           Escaped(settings[setting]) + "</title>\n";
    svg += Line(x, y - 4, x + 28, y - 4, "stroke=\"" + colour + "\" stroke-width=\"1.6\"");
    svg += Mark("legend-mark", setting, x + 14, y - 4, false, {});
    svg += Text(x + 36, y, Shortened(settings[setting], labelChars), "font-size=\"11\"");
    svg += "</g>\n";
  }
  svg += "</g>\n</svg>\n";
  return svg;
}

}  // namespace tessil
