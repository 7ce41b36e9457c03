// The charts: exact binomial intervals against published values, and what
// the power-function and sweep pictures carry, read from their text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "ChartText.h"
#include "PowerChart.h"
#include "SvgDrawing.h"
#include "SweepChart.h"
#include "VerdictCertainty.h"

namespace tessil {
namespace {

TEST(Chart, ClopperPearsonBoundsMatchPublishedValues) {
  struct Case {
    int k, n;
    double lower, upper;
  };
  // Exact 95 % bounds as tabulated for the binomial (beta quantiles).
  const Case cases[] = {
      {0, 100, 0.0, 0.0362},   {5, 100, 0.0164, 0.1128}, {100, 100, 0.9638, 1.0},
      {7, 20, 0.1539, 0.5922}, {1, 10, 0.0025, 0.4450},  {50, 100, 0.3983, 0.6017},
  };
  for (const Case& c : cases) {
    const RateInterval interval = ClopperPearson(c.k, c.n);
    EXPECT_NEAR(interval.Lower, c.lower, 5e-5) << c.k << "/" << c.n;
    EXPECT_NEAR(interval.Upper, c.upper, 5e-5) << c.k << "/" << c.n;
  }
  // The bounds are the beta quantiles that the incomplete beta undoes.
  EXPECT_NEAR(RegularizedIncompleteBeta(5, 96, ClopperPearson(5, 100).Lower), 0.025, 1e-9);
  EXPECT_NEAR(RegularizedIncompleteBeta(2, 3, 0.4), 0.5248, 1e-12);  // 1 - (1-x)^3 (1+3x)
  EXPECT_NEAR(BetaQuantile(3, 3, 0.5), 0.5, 1e-12);
}

// Every element with exactly the given class, as a map of its attributes.
std::vector<std::map<std::string, std::string>> Elements(const std::string& svg, const std::string& cls) {
  std::vector<std::map<std::string, std::string>> found;
  const std::string marker = " class=\"" + cls + "\"";
  for (std::size_t at = svg.find(marker); at != std::string::npos; at = svg.find(marker, at + 1)) {
    const std::size_t open = svg.rfind('<', at);
    const std::size_t close = svg.find('>', at);
    // Only where the class is the element's first attribute, after its name.
    if (svg.find(' ', open) != at) continue;
    std::map<std::string, std::string> attributes;
    const std::string inside = svg.substr(at + 1, close - at - 1);
    for (std::size_t k = 0; k < inside.size();) {
      const std::size_t equals = inside.find("=\"", k);
      if (equals == std::string::npos) break;
      const std::size_t end = inside.find('"', equals + 2);
      attributes[inside.substr(k, equals - k)] = inside.substr(equals + 2, end - equals - 2);
      k = end + 2;  // past the quote and the space
    }
    found.push_back(attributes);
  }
  return found;
}

TEST(Chart, PowerChartCarriesOneMarkAndIntervalPerArgumentTheReferenceLinesAndTheTitle) {
  PowerTable table;
  for (int s = 1; s <= 4; ++s) {
    for (int l = 1; l <= 3; ++l) {
      const int rejected = l == 1 ? s : 20 * l + s;
      table.push_back({l, s, l == 1, rejected / 100.0, 100, rejected, s == 2 ? 3 * l : 0});
    }
  }
  FixedRunInputs inputs;
  inputs.Rows = "12";
  inputs.Cols = "30";
  inputs.Options.ColumnConstraint = Constraint::Fixed;
  inputs.Options.Algorithm = FixedFixedAlgorithm::IndependentSwap;
  const std::string svg = PowerChartSvg(table, inputs);
  // The rate axis's two parts give the plot's ends; every rate drawn goes
  // through the two-part scale between them.
  const auto upper = Elements(svg, "rate-axis upper");
  const auto lower = Elements(svg, "rate-axis lower");
  ASSERT_EQ(upper.size(), 1u);
  ASSERT_EQ(lower.size(), 1u);
  const RateScale scale{std::stod(upper[0].at("y1")), std::stod(lower[0].at("y2"))};

  const auto inNull = Elements(svg, "mark in-null");
  const auto outside = Elements(svg, "mark outside-null");
  const auto intervals = Elements(svg, "interval");
  ASSERT_EQ(inNull.size(), 4u);
  ASSERT_EQ(outside.size(), 8u);
  ASSERT_EQ(intervals.size(), table.size());
  std::map<std::string, int> marks;
  for (const auto& m : inNull) ++marks[m.at("data-argument")];
  for (const auto& m : outside) ++marks[m.at("data-argument")];
  for (std::size_t k = 0; k < table.size(); ++k) {
    const PowerTableRow& row = table[k];
    const std::string argument = "(" + std::to_string(row.Level) + "," + std::to_string(row.Scenario) + ")";
    EXPECT_EQ(marks[argument], 1) << argument;
    // Intervals in table order, each from its own counts, the rate inside it.
    const auto& interval = intervals[k];
    EXPECT_EQ(interval.at("data-argument"), argument);
    const RateInterval expected = ClopperPearson(row.Rejected, row.Matrices);
    EXPECT_NEAR(std::stod(interval.at("data-lower")), expected.Lower, 1e-4) << argument;
    EXPECT_NEAR(std::stod(interval.at("data-upper")), expected.Upper, 1e-4) << argument;
    EXPECT_NEAR(std::stod(interval.at("y1")), scale.Y(expected.Lower), 0.01) << argument;
    EXPECT_NEAR(std::stod(interval.at("y2")), scale.Y(expected.Upper), 0.01) << argument;
  }

  const auto references = Elements(svg, "reference");
  ASSERT_EQ(references.size(), 2u);
  EXPECT_EQ(references[0].at("data-rate"), "0.05");
  EXPECT_EQ(references[1].at("data-rate"), "0.15");
  EXPECT_NEAR(std::stod(references[0].at("y1")), scale.Y(0.05), 0.01);
  EXPECT_NEAR(std::stod(references[1].at("y1")), scale.Y(0.15), 0.01);
  // Level 1's marks are circles, at their rates.
  for (const auto& m : inNull) {
    const PowerTableRow& row = table[static_cast<std::size_t>(std::stoi(m.at("data-argument").substr(3)) - 1) * 3];
    EXPECT_NEAR(std::stod(m.at("cy")), scale.Y(row.Power), 0.01) << m.at("data-argument");
  }

  EXPECT_NE(svg.find("class=\"title\""), std::string::npos);
  for (const char* part : {"C-score", "rows Fixed Sum", "columns Fixed Sum", "Independent Swap", "12 x 30"}) {
    EXPECT_NE(svg.find(part), std::string::npos) << part;
  }
  // Scenario 2's untested matrices are told per argument and in all.
  EXPECT_EQ(Elements(svg, "untested").size(), 3u);
  EXPECT_NE(svg.find("18 of 1,200 matrices could not be tested"), std::string::npos);

  // The verdicts' simultaneous intervals as brackets on the rate axis, each
  // at the place of its figure's interval, and the verdicts' sentences in
  // words under the legend, every word of them, none wider than the picture.
  const VerdictCertainty certainty = AssessVerdicts(table);
  const auto yOfRate = [&scale](double rate) { return scale.Y(rate); };
  const std::pair<const char*, ExtremeInterval> brackets[] = {{"certainty actual-size", certainty.ActualSize},
                                                              {"certainty least-power", certainty.MinPower},
                                                              {"certainty greatest-power", certainty.MaxPower}};
  for (const auto& [name, extreme] : brackets) {
    const auto drawn = Elements(svg, name);
    ASSERT_EQ(drawn.size(), 1u) << name;
    EXPECT_NEAR(std::stod(drawn[0].at("y1")), yOfRate(extreme.Lower), 0.01) << name;
    EXPECT_NEAR(std::stod(drawn[0].at("y2")), yOfRate(extreme.Upper), 0.01) << name;
  }
  std::string words;
  const chart::Chart picture = PowerChart(table, inputs);
  double lowest = 0;
  for (const chart::Primitive& item : picture.Items) {
    const auto* text = std::get_if<chart::Text>(&item);
    if (text == nullptr || text->Is.Role.rfind("certainty-line", 0) != 0) continue;
    words += (words.empty() ? "" : " ") + text->Content;
    EXPECT_LE(text->At.X.Value + 6.0 * static_cast<double>(text->Content.size()), picture.Width) << text->Content;
    lowest = std::max(lowest, text->At.Y.Value);
  }
  EXPECT_EQ(words, ActualSizeCertaintyLine(certainty) + " " + PowerCertaintyLine(certainty) + " " +
                       BiasCertaintyLine(certainty));
  EXPECT_LT(lowest, picture.Height);
}

// A mark's place, from its "translate(x y)".
std::pair<double, double> Place(const std::map<std::string, std::string>& mark) {
  const std::string& t = mark.at("transform");
  const std::size_t open = t.find('(');
  const std::size_t space = t.find(' ', open);
  return {std::stod(t.substr(open + 1, space - open - 1)), std::stod(t.substr(space + 1))};
}

TEST(Chart, SweepChartGivesEachSettingAPanelOfSizesByRowsThenColumnsWithEveryRatesInterval) {
  const std::string hostile = "C-score <&\">";
  // Sizes out of order: 12 x 12 (144 cells) belongs between 10 x 20 and
  // 20 x 10 (200 cells each), as rows come first.
  std::vector<SweepChartStudy> studies = {
      {"A", 12, 12, std::nullopt, 0.4, 1.0}, {"A", 20, 10, 0.30, 0.5, 0.9}, {hostile, 12, 12, 0.05, std::nullopt, {}},
      {"A", 10, 20, 0.05, 0.6, 0.8},         {"A", 10, 20, 0.10, 0.2, 0.3},
  };
  studies[1].ActualSizeInterval = SweepInterval{0.2, 0.4};
  studies[1].MinPowerInterval = SweepInterval{0.4, 0.6};
  studies[1].MaxPowerInterval = SweepInterval{0.8, 1.0};
  studies[1].InsideRates = {0.0, 0.30, 0.1};
  studies[1].OutsideRates = {0.5, 0.9};
  const std::string svg = SweepChartSvg(studies, "Sweep of " + hostile);
  EXPECT_EQ(svg.find(hostile), std::string::npos);
  EXPECT_NE(svg.find("Sweep of C-score &lt;&amp;&quot;&gt;"), std::string::npos);

  // One panel per setting, in order of first appearance, side by side.
  const auto panels = Elements(svg, "panel");
  ASSERT_EQ(panels.size(), 2u);
  EXPECT_EQ(panels[1].at("data-setting"), "1");
  const auto grid = Elements(svg, "grid");  // rates 0, 0.2, ..., 1 in each panel
  ASSERT_EQ(grid.size(), 12u);
  const auto yAt = [&](double rate) {
    const double zero = std::stod(grid[0].at("y1"));
    return zero + rate * (std::stod(grid[5].at("y1")) - zero);
  };
  const double secondLeft = std::stod(grid[6].at("x1"));
  const auto references = Elements(svg, "reference");
  ASSERT_EQ(references.size(), 4u) << "the nominal size and the warning rate in each panel";
  EXPECT_DOUBLE_EQ(std::stod(references[0].at("y1")), yAt(0.05));
  EXPECT_DOUBLE_EQ(std::stod(references[1].at("y1")), yAt(0.15));

  // A study without an actual size leaves no mark; the two of one size are both drawn.
  const auto sizes = Elements(svg, "mark actual-size");
  ASSERT_EQ(sizes.size(), 4u);
  std::map<std::string, std::vector<std::pair<double, double>>> bySize;  // "setting size" -> places
  for (const auto& m : sizes) bySize[m.at("data-setting") + " " + m.at("data-size")].push_back(Place(m));
  ASSERT_EQ(bySize["0 10 x 20"].size(), 2u);
  ASSERT_EQ(bySize["0 20 x 10"].size(), 1u);
  ASSERT_EQ(bySize["1 12 x 12"].size(), 1u);
  EXPECT_EQ(bySize.count("0 12 x 12"), 0u);
  EXPECT_DOUBLE_EQ(bySize["0 10 x 20"][0].second, yAt(0.05));
  EXPECT_DOUBLE_EQ(bySize["0 10 x 20"][1].second, yAt(0.10));
  EXPECT_DOUBLE_EQ(bySize["0 20 x 10"][0].second, yAt(0.30));
  EXPECT_GT(bySize["1 12 x 12"][0].first, secondLeft) << "the second setting in its own panel";
  // x follows rows, then columns: 10 x 20, 12 x 12, 20 x 10, in equal steps.
  const auto least = Elements(svg, "mark least-power");
  ASSERT_EQ(least.size(), 4u);
  std::map<std::string, double> leastX;
  for (const auto& m : least) leastX[m.at("data-size")] = Place(m).first;
  EXPECT_LT(leastX["10 x 20"], leastX["12 x 12"]);
  EXPECT_NEAR(leastX["12 x 12"] - leastX["10 x 20"], leastX["20 x 10"] - leastX["12 x 12"], 1e-9);

  // Each rate's interval is a whisker from its lower to its upper bound,
  // through its mark; rates without one have none.
  for (const auto& [series, lower, upper, rate] :
       {std::tuple{"actual-size", 0.2, 0.4, 0.30}, {"least-power", 0.4, 0.6, 0.5}, {"greatest-power", 0.8, 1.0, 0.9}}) {
    const auto whiskers = Elements(svg, "interval " + std::string(series));
    ASSERT_EQ(whiskers.size(), 1u) << series;
    EXPECT_DOUBLE_EQ(std::stod(whiskers[0].at("y1")), yAt(lower)) << series;
    EXPECT_DOUBLE_EQ(std::stod(whiskers[0].at("y2")), yAt(upper)) << series;
    for (const auto& m : Elements(svg, "mark " + std::string(series))) {
      if (m.at("data-size") != "20 x 10") continue;
      EXPECT_DOUBLE_EQ(Place(m).first, std::stod(whiskers[0].at("x1"))) << series;
      EXPECT_DOUBLE_EQ(Place(m).second, yAt(rate)) << series;
    }
  }

  // Behind them, every argument's rate: inside the null hypothesis beside
  // the actual size, outside it beside the powers.
  const auto inside = Elements(svg, "argument-rate in-null");
  const auto outside = Elements(svg, "argument-rate outside-null");
  ASSERT_EQ(inside.size(), 3u);
  ASSERT_EQ(outside.size(), 2u);
  EXPECT_DOUBLE_EQ(std::stod(inside[2].at("y1")), yAt(0.1));
  EXPECT_DOUBLE_EQ(std::stod(outside[1].at("y1")), yAt(0.9));
  EXPECT_LT(std::stod(inside[0].at("x1")), std::stod(outside[0].at("x1")));
  EXPECT_EQ(inside[0].at("data-size"), "20 x 10");

  // One line per setting and series, through that setting's marks in size order.
  const auto lines = Elements(svg, "line actual-size");
  ASSERT_EQ(lines.size(), 2u);
  std::string expected;
  for (const auto& place : {bySize["0 10 x 20"][0], bySize["0 10 x 20"][1], bySize["0 20 x 10"][0]}) {
    expected += (expected.empty() ? "" : " ") + svg::Num(place.first) + "," + svg::Num(place.second);
  }
  EXPECT_EQ(lines[0].at("points"), expected);
  EXPECT_EQ(Elements(svg, "line least-power").size(), 1u);
  EXPECT_EQ(Elements(svg, "line greatest-power").size(), 1u);

  const std::string empty = SweepChartSvg({}, "Nothing yet");
  EXPECT_EQ(empty.rfind("<?xml", 0), 0u);
  EXPECT_NE(empty.find("Nothing to draw"), std::string::npos);
  EXPECT_EQ(empty.substr(empty.size() - 7), "</svg>\n");
}

TEST(Chart, NullDistributionShowsEveryValueTheObservedOneAndBothTails) {
  NullDistributionPicture picture;
  picture.Title = "C-score";
  picture.IndexName = "C-score";
  for (int k = 0; k < 100; ++k) picture.Values.push_back(k % 10);
  picture.Observed = 12.5;
  picture.PLower = "1.00000";
  picture.PUpper = "0.00000";
  const std::string svg = NullDistributionSvg(picture);
  long total = 0;
  for (const auto& bar : Elements(svg, "bar")) total += std::stol(bar.at("data-count"));
  EXPECT_EQ(total, 100);
  const auto observed = Elements(svg, "observed");
  ASSERT_EQ(observed.size(), 1u);
  EXPECT_EQ(observed[0].at("data-value"), "12.500000");
  EXPECT_NE(svg.find("p(observed &lt;= expected) = 1.00000"), std::string::npos);
  EXPECT_NE(svg.find("p(observed &gt;= expected) = 0.00000"), std::string::npos);
}

// Read from the primitives: each bar's middle and width in pixels with its
// count, the observed line's place, and the value and count ticks' captions.
struct DrawnHistogram {
  std::vector<std::tuple<double, double, long>> Bars;  // middle, width, count
  double Observed = -1;
  std::vector<std::pair<double, double>> ValueTicks;  // place, value
  std::vector<std::string> CountTicks;
};

DrawnHistogram Drawn(const chart::Chart& picture) {
  DrawnHistogram drawn;
  for (const chart::Primitive& item : picture.Items) {
    if (const auto* box = std::get_if<chart::Box>(&item); box && box->Is.Role == "bar") {
      long count = 0;
      for (const auto& [name, value] : box->Is.Data) {
        if (name == "count") count = std::stol(value);
      }
      drawn.Bars.emplace_back(box->Corner.X.Value + box->Width.Value / 2, box->Width.Value, count);
    } else if (const auto* line = std::get_if<chart::Line>(&item); line && line->Is.Role == "observed") {
      drawn.Observed = line->From.X.Value;
    } else if (const auto* text = std::get_if<chart::Text>(&item)) {
      if (text->Is.Role == "tick value") drawn.ValueTicks.emplace_back(text->At.X.Value, std::stod(text->Content));
      if (text->Is.Role == "tick count") drawn.CountTicks.push_back(text->Content);
    }
  }
  return drawn;
}

TEST(Chart, NullHistogramGivesFewValuesABarEachAndPutsTheObservedValueWhereItIs) {
  struct Case {
    const char* name;
    std::vector<double> values;
    double observed;
    std::vector<std::pair<double, long>> bars;  // each value drawn and its count
  };
  std::vector<double> integers;  // 0..15, value v taken v + 1 times
  for (int v = 0; v < 16; ++v) integers.insert(integers.end(), static_cast<std::size_t>(v + 1), v);
  // C-scores of a 4 x 6 matrix lie on a lattice of step 1/6 (6 species pairs).
  std::vector<double> lattice;
  for (int k : {7, 8, 8, 9, 9, 9, 11, 12}) lattice.push_back(k / 6.0);
  const Case cases[] = {
      {"one value", {4, 4, 4, 4, 4}, 4, {{4, 5}}},
      {"two values", {0, 1, 1, 0, 1}, 0.5, {{0, 2}, {1, 3}}},
      {"16 integers", integers, 16, {}},
      {"C-score lattice", lattice, 10 / 6.0, {{7 / 6.0, 1}, {8 / 6.0, 2}, {9 / 6.0, 3}, {11 / 6.0, 1}, {2, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NullDistributionPicture picture;
    picture.Values = c.values;
    picture.Observed = c.observed;
    const DrawnHistogram drawn = Drawn(NullDistributionChart(picture));
    // The value axis, read back from two ticks, maps values to pixels.
    ASSERT_GE(drawn.ValueTicks.size(), 2u);
    const auto [x0, v0] = drawn.ValueTicks.front();
    const auto [x1, v1] = drawn.ValueTicks.back();
    const auto xOf = [&](double v) { return x0 + (v - v0) / (v1 - v0) * (x1 - x0); };
    for (std::size_t k = 1; k + 1 < drawn.ValueTicks.size(); ++k) {
      EXPECT_NEAR(drawn.ValueTicks[k].first, xOf(drawn.ValueTicks[k].second), 0.01);
    }
    std::vector<std::pair<double, long>> bars = c.bars;
    if (bars.empty()) {
      for (int v = 0; v < 16; ++v) bars.emplace_back(v, v + 1);
    }
    ASSERT_EQ(drawn.Bars.size(), bars.size());
    for (std::size_t k = 0; k < bars.size(); ++k) {
      EXPECT_NEAR(std::get<0>(drawn.Bars[k]), xOf(bars[k].first), 0.01) << k;
      EXPECT_EQ(std::get<2>(drawn.Bars[k]), bars[k].second) << k;
      // Narrower than the lattice's step, so the values stand apart.
      if (k > 0) {
        EXPECT_LT(std::get<1>(drawn.Bars[k]), std::get<0>(drawn.Bars[k]) - std::get<0>(drawn.Bars[k - 1]));
      }
    }
    EXPECT_NEAR(drawn.Observed, xOf(c.observed), 0.01);
    // Whole numbers of matrices from 0 up.
    ASSERT_FALSE(drawn.CountTicks.empty());
    EXPECT_EQ(drawn.CountTicks.front(), "0");
    for (const std::string& tick : drawn.CountTicks) EXPECT_EQ(tick.find('.'), std::string::npos) << tick;
  }
}

TEST(Chart, NullHistogramOfManyValuesBinsThemOnRoundEdges) {
  std::vector<double> values;
  for (int k = 0; k < 1000; ++k) values.push_back(10.0 + 3.0 * std::sin(k * 0.7) + 0.001 * k);
  const NullHistogram histogram = NullDistributionBars(values, 12.25);
  EXPECT_FALSE(histogram.Discrete);
  ASSERT_FALSE(histogram.Bars.empty());
  std::int64_t total = 0;
  for (const NullHistogramBar& bar : histogram.Bars) {
    total += bar.Count;
    EXPECT_NEAR(bar.To - bar.From, histogram.Step, 1e-12);
    EXPECT_NEAR(bar.From / histogram.Step, std::round(bar.From / histogram.Step), 1e-9);
  }
  EXPECT_EQ(total, 1000);
  EXPECT_DOUBLE_EQ(histogram.Step, 0.2);  // a span of about 7 in about 30 bins
}

// The texts of a chart with the given role (a prefix of it), in order.
std::vector<chart::Text> Texts(const chart::Chart& picture, const std::string& role) {
  std::vector<chart::Text> found;
  for (const chart::Primitive& item : picture.Items) {
    if (const auto* text = std::get_if<chart::Text>(&item); text && text->Is.Role.rfind(role, 0) == 0) {
      found.push_back(*text);
    }
  }
  return found;
}

// Where a text lies, from its place, anchor, size and turn (none or a
// quarter to the left), with DejaVu Sans's ascent and descent and a
// character width no narrower than the face's widest common letters.
struct Box {
  double Left, Top, Right, Bottom;
};
Box Covered(const chart::Text& text) {
  const double length = 0.58 * (text.Bold ? 1.14 : 1.0) * text.Size *
                        static_cast<double>(std::count_if(text.Content.begin(), text.Content.end(),
                                                          [](char c) { return (c & 0xC0) != 0x80; }));
  const double before = text.Align == chart::Anchor::Start    ? 0
                        : text.Align == chart::Anchor::Middle ? length / 2
                                                              : length;
  const double x = text.At.X.Value;
  const double y = text.At.Y.Value;
  if (text.Rotation == -90) return {x - 0.76 * text.Size, y - length + before, x + 0.24 * text.Size, y + before};
  return {x - before, y - 0.76 * text.Size, x - before + length, y + 0.24 * text.Size};
}
bool Overlap(const Box& a, const Box& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

TEST(Chart, TextWrapsAtSpacesWithinItsWidthAndCountsKeepTheirThousandsApart) {
  const std::string sentence =
      "Bias, half the actual size (0.020 to 0.128) against the least power (0.167 to 0.462) with 95 % confidence "
      "over all 36 arguments: settled: the test is not biased.";
  for (const double width : {120.0, 300.0, 641.0, 2000.0}) {
    SCOPED_TRACE(width);
    const std::vector<std::string> lines = chart::WrapText(sentence, width, 11);
    std::string joined;
    for (const std::string& line : lines) {
      EXPECT_LE(chart::TextWidth(line, 11), width) << line;
      joined += (joined.empty() ? "" : " ") + line;
    }
    EXPECT_EQ(joined, sentence);
    if (width == 2000.0) {
      EXPECT_EQ(lines.size(), 1u);
    }
  }
  // A word wider than a line is broken between characters, never inside one.
  const std::string word = "bird-communities-of-the-gal\xC3\xA1pagos-islands.csv";
  std::string whole;
  for (const std::string& line : chart::WrapText(word, 60, 10)) {
    EXPECT_LE(chart::TextWidth(line, 10), 60) << line;
    EXPECT_NE(static_cast<unsigned char>(line.front()) & 0xC0U, 0x80U) << line;
    whole += line;
  }
  EXPECT_EQ(whole, word);
  // Too long for the lines allowed: the last ends in an ellipsis within the width.
  const std::vector<std::string> two = chart::WrapText(sentence, 300, 11, true, 2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[1].substr(two[1].size() - 3), "\xE2\x80\xA6");
  EXPECT_LE(chart::TextWidth(two[1], 11, true), 300);
  // A title's lines part at its clauses when they can.
  const std::string title =
      "Power function of the C-score test: rows Fixed Sum, columns Fixed Sum, Random Knight's Tour";
  const std::vector<std::string> titled = chart::WrapTitle(title, 841, 16);
  ASSERT_EQ(titled.size(), 2u);
  EXPECT_EQ(titled[0], "Power function of the C-score test: rows Fixed Sum,");
  EXPECT_EQ(titled[1], "columns Fixed Sum, Random Knight's Tour");

  for (const auto& [value, text] : {std::pair<std::int64_t, const char*>{0, "0"},
                                    {950, "950"},
                                    {1000, "1,000"},
                                    {11000, "11,000"},
                                    {-1234567, "-1,234,567"},
                                    {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808"}}) {
    EXPECT_EQ(GroupedNumber(value), text);
  }
}

PowerTable StudyWithUntestedNearOne() {
  PowerTable table;
  for (int s = 1; s <= 12; ++s) {
    for (int l = 1; l <= 3; ++l) {
      // Rates at 1 and near it, and low ones; untested matrices everywhere.
      const int rejected = l == 1 ? s % 4 : (s % 3 == 0 ? 100 : 90 + s % 10);
      table.push_back({l, s, l == 1, rejected / 100.0, 100, rejected, 1000 + 37 * s + l});
    }
  }
  return table;
}

FixedRunInputs KnightsTour() {
  FixedRunInputs inputs;
  inputs.Rows = "30";
  inputs.Cols = "30";
  inputs.Options.ColumnConstraint = Constraint::Fixed;
  inputs.Options.Algorithm = FixedFixedAlgorithm::KnightsTour;
  return inputs;
}

// Every title line within the picture's width; the lines hold the title
// whole or, ending in an ellipsis, its start (spaces aside, as a word too
// long for a line is broken between letters).
void ExpectTitleWithin(const chart::Chart& picture, const std::string& title) {
  std::string joined;
  for (const chart::Text& line : Texts(picture, chart::TitleRole)) {
    if (!line.Bold) continue;
    const Box box = Covered(line);
    EXPECT_GE(box.Left, 0) << line.Content;
    EXPECT_LE(box.Right, picture.Width) << line.Content;
    joined += line.Content;
  }
  std::string whole = title;
  std::erase(whole, ' ');
  std::erase(joined, ' ');
  const std::string ellipsis = "\xE2\x80\xA6";
  if (joined.size() > ellipsis.size() && joined.ends_with(ellipsis)) {
    joined.resize(joined.size() - ellipsis.size());
    EXPECT_TRUE(whole.starts_with(joined)) << joined;
    EXPECT_GT(joined.size(), 100u) << "the lines allowed are used";
  } else {
    EXPECT_EQ(joined, whole);
  }
}

TEST(Chart, LongTitlesWrapWithinEveryChartAndUntestedNotesKeepClearOfTitlesAndEachOther) {
  const PowerTable table = StudyWithUntestedNearOne();
  const FixedRunInputs inputs = KnightsTour();
  for (const chart::ChartSize room :
       {chart::ChartSize{640, 300}, chart::ChartSize{889, 393}, chart::ChartSize{1900, 950}}) {
    SCOPED_TRACE(room.Width);
    const chart::Chart picture = PowerChart(table, inputs, room);
    ExpectTitleWithin(picture,
                      "Power function of the C-score test: rows Fixed Sum, columns Fixed Sum, Random Knight's Tour");
    std::vector<Box> titles;
    for (const chart::Text& line : Texts(picture, chart::TitleRole)) titles.push_back(Covered(line));
    std::vector<chart::Text> notes = Texts(picture, "untested");
    std::erase_if(notes, [](const chart::Text& t) { return t.Is.Role != "untested"; });
    ASSERT_EQ(notes.size(), table.size());
    for (std::size_t a = 0; a < notes.size(); ++a) {
      const Box box = Covered(notes[a]);
      for (const Box& title : titles) EXPECT_FALSE(Overlap(box, title)) << notes[a].Content;
      for (std::size_t b = 0; b < a; ++b) {
        EXPECT_FALSE(Overlap(box, Covered(notes[b]))) << notes[a].Content << " and " << notes[b].Content;
      }
    }
  }

  NullDistributionPicture null;
  null.Values = {1, 2, 2, 3};
  for (const std::string& title :
       {std::string(
            "C-score of bird-communities-of-the-galapagos-islands-1970-to-1990.csv, rows Fixed Sum, columns Fixed Sum, "
            "Random Knight's Tour"),
        "C-score of " + std::string(300, 'x') + ".csv, rows Fixed Sum, columns Fixed Sum"}) {
    null.Title = title;
    ExpectTitleWithin(NullDistributionChart(null), "Null distribution: " + title);
  }
  const std::string sweepTitle = "Sweep of plan: " + std::string(40, 'y') +
                                 " species combinations under the C-score "
                                 "with the Random Knight's Tour, rows and columns fixed, 10 to 100 species";
  ExpectTitleWithin(SweepChart({{"A", 10, 10, 0.05, 0.5, 0.9}}, sweepTitle), sweepTitle);
}

TEST(Chart, RateAxisGivesTheLowerRatesTheirOwnPartAndStaysInOrder) {
  const RateScale scale{70, 470};
  EXPECT_DOUBLE_EQ(scale.Y(0), 470);
  EXPECT_DOUBLE_EQ(scale.Y(1), 70);
  EXPECT_DOUBLE_EQ(scale.Y(0.15), scale.BreakY());
  EXPECT_NEAR(470 - scale.BreakY(), 0.42 * 400, 1e-9) << "0 to 0.15 over about two fifths of the plot";
  EXPECT_DOUBLE_EQ(scale.Y(-0.5), 470);
  EXPECT_DOUBLE_EQ(scale.Y(7), 70);
  for (int k = 1; k <= 1000; ++k) EXPECT_LT(scale.Y(k / 1000.0), scale.Y((k - 1) / 1000.0)) << k;
}

TEST(Chart, PowerChartFillsTheRoomItIsLaidOutForWithTextAtItsOwnSize) {
  const PowerTable table = StudyWithUntestedNearOne();
  const FixedRunInputs inputs = KnightsTour();
  struct Case {
    chart::ChartSize room;
    int width;
    bool scrolls;  // too low for a readable plot and its words: taller than the room
  };
  for (const Case& c : {Case{{889, 393}, 889, true}, Case{{1900, 950}, 1900, false}, Case{{400, 300}, 640, true},
                        Case{{960, 1200}, 960, false}}) {
    SCOPED_TRACE(c.room.Width);
    const chart::Chart picture = PowerChart(table, inputs, c.room);
    EXPECT_EQ(picture.Width, c.width);
    double plotTop = 0;
    double plotBottom = 0;
    for (const chart::Primitive& item : picture.Items) {
      if (const auto* text = std::get_if<chart::Text>(&item)) {
        EXPECT_GE(text->Size, 11) << text->Content;
        EXPECT_LE(Covered(*text).Bottom, picture.Height) << text->Content;
      }
      if (const auto* line = std::get_if<chart::Line>(&item)) {
        if (line->Is.Role == "rate-axis upper") plotTop = line->From.Y.Value;
        if (line->Is.Role == "rate-axis lower") plotBottom = line->To.Y.Value;
      }
    }
    if (c.scrolls) {
      EXPECT_GT(picture.Height, c.room.Height);
      EXPECT_NEAR(plotBottom - plotTop, 220, 1);
    } else {
      EXPECT_LE(picture.Height, c.room.Height);
      EXPECT_GE(picture.Height, c.room.Height - 1);
      EXPECT_GT(plotBottom - plotTop, 220);
    }
  }
  // The saved picture keeps its width.
  EXPECT_EQ(PowerChart(table, inputs).Width, 960);
}

}  // namespace
}  // namespace tessil
