// The results report: its sections, their fixed wording, rules and breaks,
// and what each of the main window's choices puts into it.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "OutputResults_Procedures.h"

namespace tessil {
namespace {

// The report as a reader sees it: tabs shown as [TAB], one line per line.
std::string FromShownText(std::string_view shown) {
  std::string out;
  for (std::size_t i = 0; i < shown.size();) {
    if (shown.substr(i, 5) == "[TAB]") {
      out += '\t';
      i += 5;
    } else if (shown[i] == '\n') {
      out += "\r\n";
      ++i;
    } else {
      out += shown[i++];
    }
  }
  return out;
}

// Nine arguments, three scenarios at three levels, level 1 inside the null
// hypothesis of no interactions.
const PowerTable NineArguments = {
    {1, 1, true, 0.04},  {2, 1, false, 0.31}, {3, 1, false, 0.87}, {1, 2, true, 0.16},  {2, 2, false, 0.45},
    {3, 2, false, 0.99}, {1, 3, true, 0.03},  {2, 3, false, 0.07}, {3, 3, false, 0.64},
};

constexpr std::string_view NineArgumentsReport =
    R"(TYPE I ERROR RATES:  Null hypothesis rejection rates when the null hypothesis is true
---------------------------------------------------------------------------------------------------------------------------------
Size (alpha): Maximum Type I error rate.
Nominal size = 0.050
Actual size = 0.160
*****Warning: Test has high Type I error rates.  The null hypothesis will be rejected as much as 16.0% of the time when it is true.*****


TYPE II ERROR RATES:  Null hypothesis acceptance rates when the null hypothesis is false
-----------------------------------------------------------------------------------------------------------------------------------------
Power: Null hypothesis rejection rates when the null hypothesis is false (1 - Type II error rate).
Minimum power = 0.070
Maximum power = 0.990
*****Warning: Test is biased. The null hypothesis will be rejected more often when it is true than when it is false.*****


NULL HYPOTHESIS
-------------------------------
No Interactions Between Species


ASSUMPTIONS
-------------------------
Sites Equivalent
Species Equivalent


HYPOTHESIS TEST
--------------------------------
Fixed-Fixed Randomization Algorithm: Sequential Swap
Random number seed: 0
Number of Iterations: 100
Degenerate Matrices: Retain
Column Constraints: Equiprobable
Row Constraints: Fixed Sum
Co-occurrence Index: C-score



CONDITIONS
---------------------
Matrix dimensions: 10 rows (species) x 10 columns (sites)


RAW RESULTS
-------------------------
Value of Argument*[TAB]Element of Null Hypothesis[TAB]Value of Power Function
(1,1)[TAB][TAB]True[TAB][TAB][TAB]0.040
(2,1)[TAB][TAB]False[TAB][TAB][TAB]0.310
(3,1)[TAB][TAB]False[TAB][TAB][TAB]0.870
(1,2)[TAB][TAB]True[TAB][TAB][TAB]0.160
(2,2)[TAB][TAB]False[TAB][TAB][TAB]0.450
(3,2)[TAB][TAB]False[TAB][TAB][TAB]0.990
(1,3)[TAB][TAB]True[TAB][TAB][TAB]0.030
(2,3)[TAB][TAB]False[TAB][TAB][TAB]0.070
(3,3)[TAB][TAB]False[TAB][TAB][TAB]0.640
*Defined in Tessil Help.)";

std::string Rule(std::size_t length) { return std::string(length, '-'); }

// The text between the first occurrence of `from` and the next `to`.
std::string Between(const std::string& report, const std::string& from, const std::string& to) {
  const std::size_t start = report.find(from);
  if (start == std::string::npos) {
    ADD_FAILURE() << "missing: " << from;
    return {};
  }
  const std::size_t end = report.find(to, start + from.size());
  if (end == std::string::npos) {
    ADD_FAILURE() << "missing after " << from << ": " << to;
    return {};
  }
  return report.substr(start + from.size(), end - start - from.size());
}

FixedRunInputs InputsWith(MainWindowChoices choices) {
  FixedRunInputs inputs;
  inputs.Selected = choices;
  return inputs;
}

TEST(ResultsReport, NineArgumentRunByteForByte) {
  MainWindowChoices choices;
  choices.AssumeSitesEquivalent = true;
  choices.AssumeSpeciesEquivalent = true;
  const FixedRunInputs inputs = InputsWith(choices);
  const std::string report = BuildResultsReport(NineArguments, AnalyzeErrorRates(NineArguments), inputs);
  EXPECT_EQ(report, FromShownText(NineArgumentsReport));
}

TEST(ResultsReport, TypeIVerdictAndFiguresComeFromTheSummary) {
  struct Case {
    const char* name;
    ErrorRateSummary summary;
    const char* lines;
  };
  const std::vector<Case> cases = {
      {"tolerable",
       {0.149, 0.5, 0.9, false, false, false, true},
       "Actual size = 0.149\r\n*****Test has tolerable Type I error rates.*****\r\n"},
      {"high at a size of 1",
       {1.0, 0.5, 0.9, true, false, false, true},
       "Actual size = 1.000\r\n*****Warning: Test has high Type I error rates.  The null hypothesis will be "
       "rejected as much as 100.0% of the time when it is true.*****\r\n"},
  };
  const FixedRunInputs inputs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The table disagrees with the summary on purpose: the figures are the summary's.
    const std::string report = BuildResultsReport({{1, 1, true, 0.0}}, c.summary, inputs);
    EXPECT_EQ(Between(report, "Nominal size = 0.050\r\n", "\r\nTYPE II"), std::string(c.lines) + "\r\n");
  }
}

TEST(ResultsReport, TypeIILinesForEachCombinationOfVerdicts) {
  const std::string bias =
      "*****Warning: Test is biased. The null hypothesis will be rejected more often when it is true than when "
      "it is false.*****\r\n";
  const std::string low =
      "*****Warning: Test has low power.  The null hypothesis will be rejected no more than 10.0% of the time "
      "when it is false.*****\r\n";
  const std::string adequate = "*****Test has adequate power.*****\r\n";
  struct Case {
    const char* name;
    ErrorRateSummary summary;
    std::string lines;
  };
  const std::vector<Case> cases = {
      {"adequate",
       {0.05, 0.0625, 0.9, false, false, false, true},
       "Minimum power = 0.063\r\nMaximum power = 0.900\r\n" + adequate},
      {"biased",
       {0.12, 0.04, 0.9, false, true, false, false},
       "Minimum power = 0.040\r\nMaximum power = 0.900\r\n" + bias},
      {"low power",
       {0.01, 0.08, 0.1, false, false, true, false},
       "Minimum power = 0.080\r\nMaximum power = 0.100\r\n" + low},
      {"biased and low power",
       {0.2, 0.02, 0.1, true, true, true, false},
       "Minimum power = 0.020\r\nMaximum power = 0.100\r\n" + bias + low},
  };
  const FixedRunInputs inputs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string report = BuildResultsReport({}, c.summary, inputs);
    EXPECT_EQ(Between(report, "(1 - Type II error rate).\r\n", "\r\nNULL HYPOTHESIS"), c.lines + "\r\n");
  }
}

TEST(ResultsReport, NullHypothesisLineNamesTheHypothesis) {
  struct Case {
    Hypothesis hypothesis;
    const char* line;
  };
  const std::vector<Case> cases = {
      {Hypothesis::NoInteractions, "No Interactions Between Species"},
      {Hypothesis::SitesEquivalent, "Sites Equivalent"},
      {Hypothesis::SpeciesEquivalent, "Species Equivalent"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    MainWindowChoices choices;
    choices.NullHypothesis = c.hypothesis;
    const std::string report = BuildResultsReport({}, {}, InputsWith(choices));
    EXPECT_EQ(Between(report, "NULL HYPOTHESIS\r\n" + Rule(31) + "\r\n", "ASSUMPTIONS\r\n"),
              std::string(c.line) + "\r\n\r\n\r\n");
  }
}

TEST(ResultsReport, AssumptionLinesInTheirOrder) {
  struct Case {
    const char* name;
    MainWindowChoices choices;
    const char* lines;
  };
  using H = Hypothesis;
  using L = InteractionLevel;
  // Fields: hypothesis, sites equivalent, species equivalent, level.
  const std::vector<Case> cases = {
      {"nothing ticked", {H::NoInteractions, false, false, std::nullopt}, "[none]\r\n"},
      {"100% alone", {H::SitesEquivalent, false, false, L::All}, "100% of species interacting\r\n"},
      {"0% alone", {H::SitesEquivalent, false, false, L::None}, "0% of species interacting\r\n"},
      {"all three",
       {H::SpeciesEquivalent, true, true, L::Half},
       "50% of species interacting\r\nSites Equivalent\r\nSpecies Equivalent\r\n"},
      {"species equivalent alone", {H::SitesEquivalent, false, true, std::nullopt}, "Species Equivalent\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string report = BuildResultsReport({}, {}, InputsWith(c.choices));
    EXPECT_EQ(Between(report, "ASSUMPTIONS\r\n" + Rule(25) + "\r\n", "HYPOTHESIS TEST\r\n"),
              std::string(c.lines) + "\r\n\r\n");
  }
}

TEST(ResultsReport, TestSummaryCopiedThenThreeBreaks) {
  struct Case {
    const char* name;
    std::string summary;
    std::string section;
  };
  const std::vector<Case> cases = {
      {"whole lines: three empty lines follow", "Index: C-score\r\nSeed: 4\r\n",
       "Index: C-score\r\nSeed: 4\r\n\r\n\r\n\r\n"},
      {"last line open: the first break closes it", "Index: C-score\r\nSeed: 4",
       "Index: C-score\r\nSeed: 4\r\n\r\n\r\n"},
      {"empty", "", "\r\n\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FixedRunInputs inputs;
    inputs.Summary = c.summary;
    const std::string report = BuildResultsReport({}, {}, inputs);
    EXPECT_EQ(Between(report, "HYPOTHESIS TEST\r\n" + Rule(32) + "\r\n", "CONDITIONS\r\n"), c.section);
  }
}

TEST(ResultsReport, ConditionsAndRawResultsClose) {
  FixedRunInputs inputs;
  inputs.Rows = std::string("7");
  inputs.Cols = std::string("120");
  const PowerTable table = {{2, 12, false, 1.0}, {1, 3, true, 0.0005}};
  const std::string report = BuildResultsReport(table, AnalyzeErrorRates(table), inputs);
  const std::string tail = "CONDITIONS\r\n" + Rule(21) +
                           "\r\n"
                           "Matrix dimensions: 7 rows (species) x 120 columns (sites)\r\n"
                           "\r\n"
                           "\r\n"
                           "RAW RESULTS\r\n" +
                           Rule(25) +
                           "\r\n"
                           "Value of Argument*\tElement of Null Hypothesis\tValue of Power Function\r\n"
                           "(2,12)\t\tFalse\t\t\t1.000\r\n"
                           "(1,3)\t\tTrue\t\t\t0.001\r\n"
                           "*Defined in Tessil Help.";
  ASSERT_GE(report.size(), tail.size());
  EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
}

}  // namespace
}  // namespace tessil
