// The charts' SVG text byte for byte against pictures kept in the source
// tree: a change in how a chart is laid out or written shows up here, and is
// accepted by writing the pictures again (TESSIL_WRITE_CHART_PICTURES=1)
// and reviewing their difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "PowerChart.h"
#include "SvgDrawing.h"
#include "SweepChart.h"

namespace tessil {
namespace {

std::string Folder() { return TESSIL_CHART_PICTURES; }

// Compares with the kept picture, or keeps this one when asked to.
void ExpectSamePicture(const std::string& name, const std::string& svg) {
  const std::string path = Folder() + "/" + name;
  if (std::getenv("TESSIL_WRITE_CHART_PICTURES") != nullptr) {
    std::ofstream(path, std::ios::binary) << svg;
    return;
  }
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << "no kept picture " << path;
  const std::string kept((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (kept == svg) return;
  std::size_t at = 0;
  while (at < kept.size() && at < svg.size() && kept[at] == svg[at]) ++at;
  const std::size_t from = at < 80 ? 0 : at - 80;
  ADD_FAILURE() << name << " differs from byte " << at << ":\n kept: " << kept.substr(from, 160)
                << "\n made: " << svg.substr(from, 160);
}

TEST(ChartPictures, PowerFunctionsAreWrittenAsBefore) {
  // Four scenarios by three levels, some untested, one argument never drawn.
  PowerTable table;
  for (int s = 1; s <= 4; ++s) {
    for (int l = 1; l <= 3; ++l) {
      const int rejected = l == 1 ? s : 20 * l + s;
      table.push_back({l, s, l == 1, rejected / 100.0, s == 3 && l == 2 ? 0 : 100, rejected, s == 2 ? 3 * l : 0});
    }
  }
  FixedRunInputs swap;
  swap.Rows = "12";
  swap.Cols = "30";
  swap.Options.ColumnConstraint = Constraint::Fixed;
  swap.Options.Algorithm = FixedFixedAlgorithm::IndependentSwap;
  ExpectSamePicture("power-fixed-fixed.svg", PowerChartSvg(table, swap));

  // Twelve scenarios at two levels, every rate at an edge or between.
  PowerTable wide;
  for (int s = 1; s <= 12; ++s) {
    for (const int l : {1, 3}) {
      const int rejected = (s * 37 + l * 11) % 101;
      wide.push_back({l, s, s % 3 == 0, rejected / 100.0, 100, rejected, 0});
    }
  }
  FixedRunInputs other;
  other.Selected.NullHypothesis = Hypothesis::SpeciesEquivalent;
  other.Options.Index = CooccurrenceIndex::VRatio;
  other.Options.RowConstraint = Constraint::Proportional;
  other.Options.ColumnConstraint = Constraint::Equiprobable;
  ExpectSamePicture("power-twelve-scenarios.svg", PowerChartSvg(wide, other));
}

// A default study's table: twelve scenarios at three levels, 100 matrices
// each, the null hypothesis true at the first level; power near 1 at some
// arguments, with untested matrices there.
PowerTable DefaultStudy() {
  PowerTable table;
  for (int s = 1; s <= 12; ++s) {
    for (int l = 1; l <= 3; ++l) {
      const int rejected = l == 1 ? (s * 7) % 13 : std::min(100, 30 + (s * 17 + l * 29) % 75);
      const int untested = rejected > 95 ? 100 - rejected + 1 : (s == 4 ? 12 : 0);
      table.push_back({l, s, l == 1, rejected / 100.0, 100, rejected, untested});
    }
  }
  return table;
}

TEST(ChartPictures, PowerFunctionsLaidOutForAViewAreWrittenAsBefore) {
  FixedRunInputs tour;
  tour.Rows = "30";
  tour.Cols = "30";
  tour.Options.ColumnConstraint = Constraint::Fixed;
  tour.Options.Algorithm = FixedFixedAlgorithm::KnightsTour;
  const PowerTable table = DefaultStudy();
  ExpectSamePicture("power-knights-tour.svg", PowerChartSvg(table, tour));
  // The results window as it opens, and maximized.
  ExpectSamePicture("power-view-889x393.svg", svg::Document(PowerChart(table, tour, {889, 393})));
  ExpectSamePicture("power-view-1900x950.svg", svg::Document(PowerChart(table, tour, {1900, 950})));
}

TEST(ChartPictures, NullDistributionsAreWrittenAsBefore) {
  NullDistributionPicture picture;
  // A test's description as tessil-cli writes it, long enough to wrap.
  picture.Title =
      "C-score of bird-communities-of-the-galapagos-islands-1970-to-1990.csv <rows & columns>, rows Fixed Sum, "
      "columns Fixed Sum, Random Knight's Tour";
  picture.IndexName = "C-score";
  for (int k = 0; k < 1000; ++k) picture.Values.push_back(std::sin(k * 0.7) * 3.0 + (k % 7) * 0.25 + 10.0);
  picture.Observed = 12.25;
  picture.PLower = "0.98100";
  picture.PUpper = "0.02000";
  ExpectSamePicture("null-spread.svg", NullDistributionSvg(picture));

  // Every null value equal to the observed one.
  picture.Values.assign(5, 4.0);
  picture.Observed = 4.0;
  ExpectSamePicture("null-single-value.svg", NullDistributionSvg(picture));
}

TEST(ChartPictures, SweepSummariesAreWrittenAsBefore) {
  const std::vector<SweepChartStudy> few = {
      {"A", 12, 12, std::nullopt, 0.4, 1.0}, {"A", 20, 10, 0.30, 0.5, 0.9}, {"C-score <&\">", 12, 12, 0.05, {}, {}},
      {"A", 10, 20, 0.05, 0.6, 0.8},         {"A", 10, 20, 0.10, 0.2, 0.3},
  };
  ExpectSamePicture("sweep-few.svg", SweepChartSvg(few, "Sweep of plan 0123abcd"));

  // Eight settings at seven sizes: turned size captions, colours and shapes
  // used round, a rate that is not a number, and one label so long that it
  // is shortened next to a two-byte letter.
  std::vector<SweepChartStudy> many;
  for (int setting = 0; setting < 8; ++setting) {
    std::string label = "C-score, rows Fixed Sum, setting " + std::to_string(setting);
    if (setting == 5) label = std::string(144, 'x') + "\xC3\xA9t\xC3\xA9 and more";
    for (int size = 0; size < 7; ++size) {
      const double rate = ((setting * 13 + size * 7) % 100) / 100.0;
      const std::optional<double> greatest = size == 4 ? std::nan("") : std::min(1.0, rate + 0.2);
      many.push_back({label, 10 + size * 15, 100 + size * 20, rate / 4.0, rate, greatest});
    }
  }
  ExpectSamePicture("sweep-many.svg",
                    SweepChartSvg(many,
                                  "Sweep of plan with many settings: species combinations under the C-score with "
                                  "the Random Knight's Tour, rows and columns fixed, from 10 to 100 species"));
  ExpectSamePicture("sweep-empty.svg", SweepChartSvg({}, "Sweep of nothing yet"));
}

}  // namespace
}  // namespace tessil
