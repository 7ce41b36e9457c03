// One whole test: options, p-values, memos, reproducibility and the cases
// in which a test cannot run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <stop_token>
#include <utility>

#include "CooccurrenceRun.h"
#include "CooccurrenceTestSupport.h"
#include "Indices.h"
#include "Public_Declarations.h"

namespace tessil::cooc {
namespace {

using support::FromRows;

std::vector<std::string> Lines(const std::string& memo) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (true) {
    const std::size_t to = memo.find("\r\n", from);
    lines.push_back(memo.substr(from, to - from));
    if (to == std::string::npos) return lines;
    from = to + 2;
  }
}

// Options named by their captions.
TestOptions Options(std::string_view index, std::string_view rows, std::string_view cols,
                    std::string iterations = "200") {
  TestOptions o;
  o.Index = FromCaption<CooccurrenceIndex>(index).value();
  o.RowConstraint = FromCaption<Constraint>(rows).value();
  o.ColumnConstraint = FromCaption<Constraint>(cols).value();
  o.Iterations = std::move(iterations);
  return o;
}

// Two guilds on disjoint sites: species 0-4 share sites 0-4, species 5-9
// sites 5-9.
Incidence TwoGuilds() {
  Incidence m(10, 10);
  for (int i = 0; i < 10; ++i)
    for (int k = 0; k < 10; ++k) m.Set(i, k, (i < 5) == (k < 5));
  return m;
}

// Species i at sites 0..i: no checkerboard anywhere.
Incidence Nested(int size) {
  Incidence m(size, size);
  for (int i = 0; i < size; ++i)
    for (int k = 0; k <= i; ++k) m.Set(i, k, true);
  return m;
}

TEST(RunTest, ObservedIndexOfTheWorkedExample) {
  const Incidence m = FromRows({"11000", "01100", "10110"});
  struct Case {
    const char* index;
    const char* empty;
    double value;
    const char* line0;
  };
  const Case cases[] = {
      {"C-score", "Exclude", 5.0 / 3, "Observed index = 1.66667"},
      {"Number of checkerboards", "Exclude", 0, "Observed index = 0.00000"},
      {"Number of species combinations", "Exclude", 4, "Observed index = 4.00000"},
      {"Number of species combinations", "Include", 5, "Observed index = 5.00000"},
      {"V-ratio", "Exclude", 3.0 / 11, "Observed index = 0.27273"},
      {"V-ratio", "Include", 8.0 / 9, "Observed index = 0.88889"},
  };
  for (const Case& c : cases) {
    TestOptions o = Options(c.index, "Fixed Sum", "Equiprobable", "20");
    o.EmptySites = FromCaption<EmptySiteTreatment>(c.empty).value();
    const TestResult r = RunTest(m, o, 0);
    ASSERT_TRUE(r.HasResults) << c.index << ": " << r.Reason;
    EXPECT_DOUBLE_EQ(r.Observed, c.value) << c.index << " " << c.empty;
    EXPECT_EQ(Lines(r.Memo2)[0], c.line0);
  }
}

TEST(RunTest, SegregatedGuildsLieInTheTailTheirIndexPointsTo) {
  struct Case {
    const char* index;
    const char* rows;
    const char* cols;
    bool upper;  // segregation shows as large values
  };
  const Case cases[] = {
      {"C-score", "Fixed Sum", "Equiprobable", true},
      {"Number of checkerboards", "Fixed Sum", "Equiprobable", true},
      {"Number of species combinations", "Fixed Sum", "Equiprobable", false},
      {"V-ratio", "Fixed Sum", "Equiprobable", false},
      {"C-score", "Fixed Sum", "Fixed Sum", true},
      {"Number of checkerboards", "Fixed Sum", "Fixed Sum", true},
      {"Number of species combinations", "Fixed Sum", "Fixed Sum", false},
  };
  for (const Case& c : cases) {
    const TestResult r = RunTest(TwoGuilds(), Options(c.index, c.rows, c.cols), 0);
    ASSERT_TRUE(r.HasResults) << r.Reason;
    const double toward = c.upper ? r.PUpper() : r.PLower();
    const double away = c.upper ? r.PLower() : r.PUpper();
    EXPECT_LE(toward, 0.01) << c.index << " / " << c.cols;
    EXPECT_GE(away, 0.99) << c.index << " / " << c.cols;
  }
}

TEST(RunTest, NullValuesEqualToTheObservedOneCountInBothTails) {
  // With both margins fixed every null matrix has the observed site totals,
  // so the V-ratio never changes.
  TestOptions o = Options("V-ratio", "Fixed Sum", "Fixed Sum", "50");
  const TestResult r = RunTest(TwoGuilds(), o, 0);
  ASSERT_TRUE(r.HasResults);
  EXPECT_EQ(r.CountLessOrEqual, 50);
  EXPECT_EQ(r.CountGreaterOrEqual, 50);
  EXPECT_EQ(r.NullVariance, 0.0);
  EXPECT_FALSE(r.EffectSize);
  const auto lines = Lines(r.Memo2);
  EXPECT_EQ(lines[3], "Standardized effect size = n/a");
  EXPECT_EQ(lines[5], "p(observed <= expected) = 1.00000");
  EXPECT_EQ(lines[6], "p(observed >= expected) = 1.00000");
}

TEST(RunTest, MeanNullCScoreWithSitesEquiprobableMatchesItsExpectation) {
  // With rows fixed and sites equiprobable S_ij is hypergeometric, so
  // E[CU_ij] = (r_i - mu)(r_j - mu) + v, mu = r_i r_j / N,
  // v = r_i r_j (N - r_i)(N - r_j) / (N^2 (N - 1)).
  const Incidence m = FromRows({"100000000", "110000000", "111100000", "011111000", "111111100", "111111111"});
  const std::vector<int> r = m.RowTotals();
  const double n = m.Cols();
  double expected = 0;
  int pairs = 0;
  for (std::size_t i = 0; i < r.size(); ++i)
    for (std::size_t j = i + 1; j < r.size(); ++j) {
      const double mu = r[i] * r[j] / n;
      const double v = r[i] * r[j] * (n - r[i]) * (n - r[j]) / (n * n * (n - 1));
      expected += (r[i] - mu) * (r[j] - mu) + v;
      ++pairs;
    }
  expected /= pairs;
  const TestResult result = RunTest(m, Options("C-score", "Fixed Sum", "Equiprobable", "50000"), 0);
  ASSERT_TRUE(result.HasResults);
  // 5 standard errors of the mean of 50,000 independent null values.
  EXPECT_NEAR(result.NullMean, expected, 5 * std::sqrt(result.NullVariance / 50000));
  EXPECT_GT(result.NullVariance, 0.1);
}

TEST(RunTest, SameSeedAndOrdinalGiveTheSameResult) {
  RandomBits make(5);
  const Incidence m = support::RandomMatrix(12, 15, 0.5, make);
  for (const char* cols : {"Equiprobable", "Fixed Sum"}) {
    TestOptions o = Options("C-score", "Fixed Sum", cols, "300");
    o.Seed = "7";
    const TestResult a = RunTest(m, o, 3);
    o.Seed = " 7.0";
    const TestResult b = RunTest(m, o, 3);
    const TestResult c = RunTest(m, o, 4);
    o.Seed = "8";
    const TestResult d = RunTest(m, o, 3);
    ASSERT_TRUE(a.HasResults);
    EXPECT_EQ(a.Memo2, b.Memo2);
    EXPECT_EQ(a.NullMean, b.NullMean);
    EXPECT_NE(a.NullMean, c.NullMean);
    EXPECT_NE(a.NullMean, d.NullMean);
  }
}

TEST(RunTest, TestsRunAsABatchGiveWhatEachGivesAlone) {
  // A batch mixing burn-ins that go side by side (at most 16 sites, more,
  // the turned way) with tests that go alone (beyond the pair table, rows
  // fixed and sites free, no checkerboard, a stop asked before the start):
  // each result must be the one its test gives alone, to the byte, and a
  // stopped test must not stop the others.
  RandomBits make(17);
  std::vector<Incidence> matrices = {support::RandomMatrix(10, 10, 0.5, make), support::RandomMatrix(10, 10, 0.4, make),
                                     support::RandomMatrix(7, 30, 0.5, make),  support::RandomMatrix(25, 6, 0.5, make),
                                     support::RandomMatrix(90, 90, 0.5, make), Nested(8),
                                     support::RandomMatrix(12, 12, 0.5, make)};
  std::stop_source stopped;
  stopped.request_stop();
  for (const char* cols : {"Fixed Sum", "Equiprobable"}) {
    SCOPED_TRACE(cols);
    TestOptions o = Options("C-score", "Fixed Sum", cols, "40");
    o.Seed = "11";
    std::vector<TestJob> jobs;
    for (std::size_t i = 0; i < matrices.size(); ++i) jobs.push_back({&matrices[i], 30 + i, {}});
    jobs.push_back({&matrices[0], 50, TestControl{stopped.get_token(), nullptr}});
    const std::vector<TestResult> batch = RunTests(jobs, o);
    ASSERT_EQ(batch.size(), jobs.size());
    for (std::size_t i = 0; i < matrices.size(); ++i) {
      SCOPED_TRACE("test " + std::to_string(i));
      const TestResult alone = RunTest(matrices[i], o, 30 + i);
      EXPECT_EQ(batch[i].HasResults, alone.HasResults);
      EXPECT_EQ(batch[i].Reason, alone.Reason);
      EXPECT_EQ(batch[i].Memo1, alone.Memo1);
      EXPECT_EQ(batch[i].Memo2, alone.Memo2);
      EXPECT_EQ(batch[i].NullValues, alone.NullValues);
    }
    EXPECT_TRUE(batch.back().Stopped);
    EXPECT_FALSE(batch.back().HasResults);
  }
}

TEST(RunTest, ResultMemoHoldsEachPValueInTheFirst33CharactersOfItsLine) {
  RandomBits make(6);
  const Incidence m = support::RandomMatrix(8, 8, 0.5, make);
  const TestResult r = RunTest(m, Options("C-score", "Fixed Sum", "Equiprobable", "999"), 0);
  ASSERT_TRUE(r.HasResults);
  const auto lines = Lines(r.Memo2);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[4].substr(0, 24), "Null matrices used = 999");
  ASSERT_EQ(lines[5].substr(0, 26), "p(observed <= expected) = ");
  ASSERT_EQ(lines[6].substr(0, 26), "p(observed >= expected) = ");
  const double lower = LeadingNumber(lines[5].substr(0, 33).substr(26));
  const double upper = LeadingNumber(lines[6].substr(0, 33).substr(26));
  EXPECT_EQ(lines[5].size(), 33u);
  EXPECT_NEAR(lower, r.PLower(), 0.5e-5);
  EXPECT_NEAR(upper, r.PUpper(), 0.5e-5);
  // Every null value is on one side or both: the tails overlap in the ties.
  EXPECT_GE(r.CountLessOrEqual + r.CountGreaterOrEqual, 999);
  ASSERT_TRUE(r.EffectSize);
  EXPECT_NEAR(*r.EffectSize, (r.Observed - r.NullMean) / std::sqrt(r.NullVariance), 1e-12);
  EXPECT_EQ(Lines(r.Memo1), (std::vector<std::string>{"Co-occurrence Index: C-score", "Row Constraints: Fixed Sum",
                                                      "Column Constraints: Equiprobable", "Degenerate Matrices: Retain",
                                                      "Number of Iterations: 999",
                                                      "Random number seed: 0 (test 1 since the seed was set)"}));
}

TEST(RunTest, IterationsAreRoundedHalfToEven) {
  const Incidence m = FromRows({"1100", "0110", "0011"});
  struct Case {
    const char* text;
    std::int64_t n;
  };
  for (const Case& c : {Case{"1.5", 2}, Case{"2.5", 2}, Case{"0.6", 1}, Case{" 12abc", 12}, Case{"50000", 50000}}) {
    const TestResult r = RunTest(m, Options("C-score", "Fixed Sum", "Equiprobable", c.text), 0);
    ASSERT_TRUE(r.HasResults) << c.text << ": " << r.Reason;
    EXPECT_EQ(r.NullMatrices, c.n) << c.text;
  }
}

TEST(RunTest, DegenerateNullMatricesAreHandledAsChosen) {
  // Sites fixed, species equiprobable: 6 sites of one species each among 6
  // species leave some species out in most null matrices.
  const Incidence m = FromRows({"100000", "010000", "001000", "000100", "000010", "000001"});
  struct Case {
    const char* choice;
    const char* fate;
  };
  for (const Case& c :
       {Case{"Retain", "retained"}, Case{"Discard", "discarded"}, Case{"Split", "split"}, Case{"Fix", "repaired"}}) {
    TestOptions o = Options("C-score", "Equiprobable", "Fixed Sum", "100");
    o.DegenerateMatrices = FromCaption<DegenerateTreatment>(c.choice).value();
    const TestResult r = RunTest(m, o, 0);
    ASSERT_TRUE(r.HasResults) << c.choice << ": " << r.Reason;
    EXPECT_GT(r.DegenerateDraws, 0) << c.choice;
    EXPECT_EQ(r.NullMatrices, 100);
    EXPECT_NE(Lines(r.Memo2)[4].find(c.fate), std::string::npos) << Lines(r.Memo2)[4];
    if (std::string(c.choice) == "Fix" || std::string(c.choice) == "Discard") {
      // Every null value then describes six species at six sites, a
      // permutation matrix: C-score exactly 1.
      EXPECT_EQ(r.NullVariance, 0.0) << c.choice;
      EXPECT_EQ(r.CountGreaterOrEqual, 100);
    }
  }
}

TEST(RunTest, TestsThatCannotRunSayWhy) {
  TestOptions sequential = Options("C-score", "Fixed Sum", "Fixed Sum");
  TestOptions independent = sequential;
  independent.Algorithm = FixedFixedAlgorithm::IndependentSwap;
  TestOptions knight = sequential;
  knight.Algorithm = FixedFixedAlgorithm::KnightsTour;
  knight.Iterations = "1";
  TestOptions discard = Options("C-score", "Equiprobable", "Fixed Sum");
  discard.DegenerateMatrices = DegenerateTreatment::Discard;
  Incidence permutation(20, 20);
  for (int i = 0; i < 20; ++i) permutation.Set(i, i, true);

  const Incidence ordinary = FromRows({"1100", "0110", "0011"});
  struct Case {
    const char* what;
    Incidence matrix;
    TestOptions options;
    const char* reason_holds;
  };
  const Case cases[] = {
      {"C-score of one species", FromRows({"0110", "0000"}), Options("C-score", "Fixed Sum", "Equiprobable"),
       "fewer than two"},
      {"checkerboards of no species", Incidence(3, 3), Options("Number of checkerboards", "Fixed Sum", "Equiprobable"),
       "fewer than two"},
      {"V-ratio without variance", FromRows({"1100", "1100"}), Options("V-ratio", "Fixed Sum", "Equiprobable"),
       "V-ratio is undefined"},
      {"sequential swap, no checkerboard", Nested(6), sequential, "no checkerboard"},
      {"independent swap, no checkerboard", Nested(6), independent, "no checkerboard"},
      {"knight's tour gives up", Nested(30), knight, "gave up"},
      {"discard exhausted", permutation, discard, "degenerate"},
      {"no iterations", ordinary, Options("C-score", "Fixed Sum", "Equiprobable", "0"), "iterations"},
      {"half an iteration", ordinary, Options("C-score", "Fixed Sum", "Equiprobable", "0.5"), "iterations"},
      {"no number", ordinary, Options("C-score", "Fixed Sum", "Equiprobable", "many"), "iterations"},
      {"too many iterations", ordinary, Options("C-score", "Fixed Sum", "Equiprobable", "50001"), "50000"},
  };
  for (const Case& c : cases) {
    const TestResult r = RunTest(c.matrix, c.options, 0);
    EXPECT_FALSE(r.HasResults) << c.what;
    EXPECT_NE(r.Reason.find(c.reason_holds), std::string::npos) << c.what << ": " << r.Reason;
    EXPECT_EQ(r.Reason.back(), '.') << c.what;
    EXPECT_TRUE(r.Memo2.empty()) << c.what;
    EXPECT_FALSE(r.Memo1.empty()) << c.what;
  }
}

// The exact law of a null model with one margin fixed and the other drawn
// by successive sampling: every outcome of every fixed line's ordered draws,
// with its chance. Lines are species when `rows_fixed`, sites otherwise.
struct ExactLaw {
  double undefined = 0;  // chance that the index is undefined
  double defined = 0;
  double mean = 0, variance = 0;  // of the defined values
  double lower = 0, upper = 0;    // chance of <= and >= the observed value, among the defined
};

ExactLaw Enumerate(const Incidence& observed, bool rows_fixed, bool proportional, IndexKind kind) {
  const std::vector<int> totals = rows_fixed ? observed.RowTotals() : observed.ColumnTotals();
  const std::vector<int> other = rows_fixed ? observed.ColumnTotals() : observed.RowTotals();
  std::vector<double> weights(other.size(), 1.0);
  if (proportional) weights.assign(other.begin(), other.end());
  IndexEvaluator evaluator;
  const Fraction x = *evaluator.Evaluate(kind, observed);
  struct Value {
    double chance;
    Fraction f;
  };
  std::vector<Value> outcomes;
  double undefined = 0;
  Incidence m(observed.Rows(), observed.Cols());
  const auto set = [&](std::size_t line, std::size_t member, bool v) {
    rows_fixed ? m.Set(static_cast<int>(line), static_cast<int>(member), v)
               : m.Set(static_cast<int>(member), static_cast<int>(line), v);
  };
  std::vector<bool> taken(other.size());
  std::function<void(std::size_t, int, double, double)> draw = [&](std::size_t line, int left, double left_weight,
                                                                   double chance) {
    if (line == totals.size()) {
      const auto v = evaluator.Evaluate(kind, m);
      if (v) {
        outcomes.push_back({chance, *v});
      } else {
        undefined += chance;
      }
      return;
    }
    if (left == 0) {
      std::fill(taken.begin(), taken.end(), false);
      double total = 0;
      for (const double w : weights) total += w;
      const int next = line + 1 < totals.size() ? totals[line + 1] : 0;
      // The matrix keeps this line's cells; the next line starts afresh.
      draw(line + 1, next, total, chance);
      return;
    }
    for (std::size_t t = 0; t < other.size(); ++t) {
      if (taken[t] || weights[t] == 0) continue;
      const std::vector<bool> before = taken;
      taken[t] = true;
      set(line, t, true);
      draw(line, left - 1, left_weight - weights[t], chance * weights[t] / left_weight);
      set(line, t, false);
      taken = before;
    }
  };
  double total = 0;
  for (const double w : weights) total += w;
  draw(0, totals.empty() ? 0 : totals[0], total, 1.0);
  ExactLaw law;
  law.undefined = undefined;
  law.defined = 1 - undefined;
  for (const Value& v : outcomes) {
    law.mean += v.chance * v.f.Value() / law.defined;
    law.lower += Compare(v.f, x) <= 0 ? v.chance / law.defined : 0;
    law.upper += Compare(v.f, x) >= 0 ? v.chance / law.defined : 0;
  }
  for (const Value& v : outcomes) {
    law.variance += v.chance * (v.f.Value() - law.mean) * (v.f.Value() - law.mean) / law.defined;
  }
  return law;
}

TEST(RunTest, UndefinedNullValuesAreLeftOutAsTheExactLawSays) {
  struct Case {
    const char* what;
    Incidence matrix;
    const char* index;
    IndexKind kind;
    bool rows_fixed;
    bool proportional;
    double lower;  // the exact p(observed <= expected), from the counts by hand
  };
  // The first: each species takes two of three equally weighted sites (the
  // fourth weighs 0), 27 matrices alike; the 3 with one pair of sites for
  // all have no V-ratio, and 6 of the other 24 spread the species evenly.
  // The second: each site takes one of three species, 27 alike; the 3 with
  // one species everywhere have no C-score, 6 of the other 24 give the
  // observed 1 and the rest 2.
  const Case cases[] = {
      {"V-ratio, rows fixed, sites proportional", FromRows({"1100", "0110", "0000", "1010"}), "V-ratio",
       IndexKind::VRatio, true, true, 0.25},
      {"C-score, species equiprobable, sites fixed", FromRows({"100", "010", "001"}), "C-score", IndexKind::CScore,
       false, false, 0.25},
  };
  constexpr std::int64_t iterations = 20000;
  for (const Case& c : cases) {
    const ExactLaw law = Enumerate(c.matrix, c.rows_fixed, c.proportional, c.kind);
    EXPECT_NEAR(law.lower, c.lower, 1e-12) << c.what;
    EXPECT_NEAR(law.undefined, 1.0 / 9, 1e-12) << c.what;
    TestOptions o = Options(c.index, c.rows_fixed ? "Fixed Sum" : "Equiprobable",
                            c.rows_fixed ? (c.proportional ? "Proportional" : "Equiprobable") : "Fixed Sum",
                            std::to_string(iterations));
    const TestResult r = RunTest(c.matrix, o, 0);
    ASSERT_TRUE(r.HasResults) << c.what << ": " << r.Reason;
    // n is what is left once the undefined values are taken out.
    EXPECT_EQ(r.NullMatrices + r.UndefinedNullValues, iterations) << c.what;
    const double left_out = static_cast<double>(r.UndefinedNullValues) / iterations;
    EXPECT_NEAR(left_out, law.undefined, 5 * std::sqrt(law.undefined * law.defined / iterations)) << c.what;
    const auto n = static_cast<double>(r.NullMatrices);
    for (const auto& [p, exact] : {std::pair{r.PLower(), law.lower}, std::pair{r.PUpper(), law.upper}}) {
      EXPECT_NEAR(p, exact, 5 * std::sqrt(std::max(exact * (1 - exact), 1e-9) / n) + 1e-12) << c.what;
    }
    EXPECT_NEAR(r.NullMean, law.mean, 5 * std::sqrt(law.variance / n)) << c.what;
    EXPECT_NEAR(r.NullVariance, law.variance, 0.1 * law.variance) << c.what;
    const auto lines = Lines(r.Memo2);
    ASSERT_EQ(lines.size(), 7u);
    // Beside the degenerate matrices retained, which these are too.
    EXPECT_EQ(lines[4], "Null matrices used = " + std::to_string(r.NullMatrices) + " (" +
                            std::to_string(r.DegenerateDraws) + " degenerate matrices retained; " +
                            std::to_string(r.UndefinedNullValues) + " with an undefined index left out)");
    EXPECT_EQ(lines[5], "p(observed <= expected) = " + FormatPValue(r.CountLessOrEqual, r.NullMatrices));
    EXPECT_EQ(lines[6], "p(observed >= expected) = " + FormatPValue(r.CountGreaterOrEqual, r.NullMatrices));
  }
}

TEST(RunTest, ATestWhoseNullValuesAreAllUndefinedCannotRun) {
  // One null matrix a test: a ninth of them have no V-ratio, and those tests
  // end without results; the others use their one null value.
  const Incidence m = FromRows({"1100", "0110", "0000", "1010"});
  const TestOptions o = Options("V-ratio", "Fixed Sum", "Proportional", "1");
  int cannot_run = 0;
  for (std::uint64_t ordinal = 0; ordinal < 90; ++ordinal) {
    const TestResult r = RunTest(m, o, ordinal);
    if (r.HasResults) {
      EXPECT_EQ(r.NullMatrices, 1);
      EXPECT_EQ(Lines(r.Memo2)[4], "Null matrices used = 1");
      continue;
    }
    ++cannot_run;
    EXPECT_EQ(r.Reason,
              "The V-ratio is undefined in every null matrix drawn (1 of 1): in each, every species occurs at all of "
              "the sites counted or at none, so there is nothing to compare the observed index with.");
    EXPECT_TRUE(r.Memo2.empty());
  }
  EXPECT_GT(cannot_run, 2);
  EXPECT_LT(cannot_run, 25);
}

TEST(RunTest, ATestTooLargeForMemoryCannotRunAndSaysWhatItNeeds) {
  const std::uint64_t limit = TestMemoryLimitBytes();
  EXPECT_LE(limit, std::uint64_t{2} << 30);
  TestOptions swap = Options("V-ratio", "Fixed Sum", "Fixed Sum", "1");
  TestOptions knight = swap;
  knight.Algorithm = FixedFixedAlgorithm::KnightsTour;
  TestOptions cells = Options("V-ratio", "Proportional", "Equiprobable", "1");
  TestOptions rows_fixed = Options("V-ratio", "Fixed Sum", "Equiprobable", "1");
  struct Case {
    const char* what;
    int rows, cols;
    TestOptions options;
    bool fits;
  };
  const Case cases[] = {
      // A species-pair table of 10^10 counts.
      {"swap chain of 100000 species", 100000, 2, swap, false},
      {"swap chain of 2 species", 2, 100000, swap, true},
      {"knight's tour of 4 x 10^8 cells", 20000, 20000, knight, false},
      {"cell urn of 10^8 cells", 10000, 10000, cells, false},
      {"rows fixed, 100000 species", 100000, 2, rows_fixed, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TestWorkingSetBytes(c.rows, c.cols, c.options) <= limit, c.fits) << c.what;
    if (c.fits) continue;
    Incidence m(c.rows, c.cols);
    for (int i = 0; i < std::min(c.rows, c.cols); ++i) m.Set(i, i, true);
    m.Set(0, 1, true);
    const TestResult r = RunTest(m, c.options, 0);
    EXPECT_FALSE(r.HasResults) << c.what;
    EXPECT_EQ(r.Reason, *MemoryRefusal(c.rows, c.cols, c.options)) << c.what;
    EXPECT_NE(r.Reason.find(std::to_string(c.rows) + " species and " + std::to_string(c.cols) + " sites"),
              std::string::npos);
    EXPECT_NE(r.Reason.find("of memory, more than the "), std::string::npos) << r.Reason;
  }
  // The swap chain's table grows with the square of the species.
  EXPECT_GT(TestWorkingSetBytes(20000, 2, swap), 3 * std::uint64_t{20000} * 20000);
  EXPECT_FALSE(MemoryRefusal(100000, 2, rows_fixed));
}

}  // namespace
}  // namespace tessil::cooc
