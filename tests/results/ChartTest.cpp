// The charts: exact binomial intervals against published values, and what
// the power-function picture carries, read from its text.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "PowerChart.h"

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
    // The interval's lower end is drawn below (larger y) its upper end.
    EXPECT_GT(std::stod(interval.at("y1")), std::stod(interval.at("y2"))) << argument;
  }

  const auto references = Elements(svg, "reference");
  ASSERT_EQ(references.size(), 2u);
  EXPECT_EQ(references[0].at("data-rate"), "0.05");
  EXPECT_EQ(references[1].at("data-rate"), "0.15");
  // 0.15 lies above 0.05, both within the plot.
  EXPECT_LT(std::stod(references[1].at("y1")), std::stod(references[0].at("y1")));

  EXPECT_NE(svg.find("class=\"title\""), std::string::npos);
  for (const char* part : {"C-score", "rows Fixed Sum", "columns Fixed Sum", "Independent Swap", "12 x 30"}) {
    EXPECT_NE(svg.find(part), std::string::npos) << part;
  }
  // Scenario 2's untested matrices are told per argument and in all.
  EXPECT_EQ(Elements(svg, "untested").size(), 3u);
  EXPECT_NE(svg.find("18 of 1200 matrices could not be tested"), std::string::npos);
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

}  // namespace
}  // namespace tessil
